#!/usr/bin/env bash
# Tavlick.exe and Orrel.exe as Windows runs them: the windows workflow's build
# (MinGW-w64, static) with every test under Wine, the DLLs the programs
# import, and the same bytes as the Linux release build from the samples,
# under ASCII names and names beyond it.
# Run from anywhere. Needs: cmake ninja-build g++-mingw-w64-x86-64 googletest
# locales and Wine (Debian package wine64, or wine on testing), and the
# release build's samples
# (cmake --workflow --preset samples) to compare against.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
work="$PWD/build/windows-run" # scratch space, made anew each run
rm -rf "$work" && mkdir -p "$work"
[ -f build/release/samples/chart.tga ] || cmake --workflow --preset samples > /dev/null

# The windows preset's Wine settings; the prefix is made before the build so
# that test discovery does not race to create it.
# Wine names files in the locale's character set, so it must be UTF-8.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$PWD/build/windows/wine" LC_ALL=C.UTF-8
# The first of its arguments that is a command, or nothing. A loop rather
# than a pipe to head, which may stop before command -v has written.
first_command() {
  local name
  for name in "$@"; do
    command -v "$name" && return
  done
  return 0
}
# Wine's loader and server under the names either package gives them.
wine=$(first_command /usr/lib/wine/wine64 /usr/lib/wine/wine wine64 wine)
wineserver=$(first_command /usr/lib/wine/wineserver wineserver)
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
  echo "Wine is not installed (Debian package wine64, or wine on testing)"
  exit 1
fi
cmake --preset windows
"$wine" wineboot --init > /dev/null 2>&1 || true
# One server for the whole script: left to itself it exits a few seconds
# after its last client, and a test starting in that moment loses its
# connection. Its helper processes (services, explorer) are started here with
# no pipes open, since they outlive every test and would hold a test's output
# pipe open. The trap stops them all however the script ends.
trap '"$wineserver" -k > /dev/null 2>&1 || true' EXIT
"$wineserver" -w # the server wineboot started must be gone first
"$wineserver" -p < /dev/null > /dev/null 2>&1
"$wine" wineboot < /dev/null > /dev/null 2>&1
cmake --build --preset windows
for exe in build/windows/texture/Tavlick.exe build/windows/lights/Orrel.exe; do
  # Statically linked: no DLL beyond those every Windows system has.
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }' | sort | xargs)
  echo "$exe imports $dlls"
  [ "$dlls" = "KERNEL32.dll msvcrt.dll" ]
done
ctest --preset windows
# The .exe files write the same bytes as the Linux build.
cp samples/chart.wal samples/base1.txt "$work"
(cd "$work" && "$wine" "$repo/build/windows/texture/Tavlick.exe" chart.wal &&
  "$wine" "$repo/build/windows/lights/Orrel.exe" base1.txt)
cmp "$work/chart.tga" build/release/samples/chart.tga
cmp "$work/base1.lit" build/release/samples/base1.lit
# The same under names beyond ASCII, typed at a shell: the same bytes, and
# the names in the lines as UTF-8 with Windows line ends.
tex="chart café Grüße Привет 紋理 🎨.wal" lights="base1 日本 🎨.txt"
cp samples/chart.wal "$work/$tex" && cp samples/base1.txt "$work/$lights"
(cd "$work" && "$wine" "$repo/build/windows/texture/Tavlick.exe" "$tex" &&
  "$wine" "$repo/build/windows/lights/Orrel.exe" "$lights") | tee "$work/log"
printf 'Converted: %s -> %s\r\n' "$tex" "${tex%wal}tga" "$lights" "${lights%txt}lit" |
  cmp - "$work/log"
cmp "$work/${tex%wal}tga" build/release/samples/chart.tga
cmp "$work/${lights%txt}lit" build/release/samples/base1.lit
echo "Windows programs: every test passed under Wine, outputs the same bytes as the Linux build"
