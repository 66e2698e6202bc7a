#!/usr/bin/env bash
# The Windows zip as a Windows user unpacks it, built the way the README says
# (cmake --workflow --preset windows-package) with Wine out of reach: its
# files, programs that need no DLL beside them, text files with CR LF and
# printable ASCII alone, entry times from the release date, and the same
# bytes from a second build of the sources alone (no .git, another
# directory, another time zone). The tests under Wine are the windows
# workflow's, not this script's.
# Run from anywhere. Needs: cmake ninja-build g++-mingw-w64-x86-64 groff-base
# python3 (Debian packages); util-linux's unshare, as root, to hide Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
step() { printf '\n=== %s\n' "$*"; }
work="$PWD/build/windows-check" # scratch space, made anew each run
# A fresh tree, so that nothing found before (Wine) is taken from its cache.
rm -rf "$work" build/package-windows build/windows-package && mkdir -p "$work"

step "Windows package: the windows-package workflow with Wine hidden"
# An empty directory mounted over Wine's, in a mount namespace of this
# command alone; where that is not allowed the workflow runs as it is.
workflow=(cmake --workflow --preset windows-package)
if [ "$(id -u)" -eq 0 ] && [ -d /usr/lib/wine ] &&
  unshare --mount --propagation private true 2> /dev/null; then
  mkdir "$work/no-wine"
  unshare --mount --propagation private bash -c \
    'mount --bind "$1" /usr/lib/wine && shift && ! command -v wine wine64 > /dev/null && "$@"' \
    bash "$work/no-wine" "${workflow[@]}" > "$work/workflow.log"
  echo "built with /usr/lib/wine empty and no wine on PATH"
else
  "${workflow[@]}" > "$work/workflow.log"
  echo "built with Wine left in place (hiding it needs root and a mount namespace)"
fi
zip=$(echo build/package-windows/content-tools-*-win64.zip)
python3 -m zipfile -l "$zip"

step "Windows package: its files, their imports, their text and their times"
mkdir "$work/unpacked"
python3 -m zipfile -e "$zip" "$work/unpacked"
for exe in "$work"/unpacked/{Tavlick,Orrel}.exe; do
  # Statically linked: no DLL beyond those every Windows system has.
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }' | sort | xargs)
  echo "$(basename "$exe") imports $dlls"
  [ "$dlls" = "KERNEL32.dll msvcrt.dll" ]
done
release_date=$(sed -n 's/^set(TOOLS_RELEASE_DATE \([0-9-]*\))$/\1/p' CMakeLists.txt)
python3 - "$zip" "$release_date" << 'EOF'
import sys, zipfile
path, date = sys.argv[1], tuple(int(part) for part in sys.argv[2].split("-"))
archive = zipfile.ZipFile(path)
names = sorted(archive.namelist())
want = ["LICENSE.txt", "Orrel-manual.txt", "Orrel.exe", "Tavlick-manual.txt", "Tavlick.exe"]
if names != want:
    sys.exit(f"the zip holds {names}, not {want}")
for entry in archive.infolist():
    if entry.date_time != date + (0, 0, 0):
        sys.exit(f"{entry.filename} is dated {entry.date_time}, not the release date {date}")
    if not entry.filename.endswith(".txt"):
        continue
    data = archive.read(entry)
    # Every line ends in CR LF, and nothing else but printable ASCII is there.
    lines = data.split(b"\r\n")
    if lines[-1] != b"":
        sys.exit(f"{entry.filename} does not end in CR LF")
    for number, line in enumerate(lines[:-1], 1):
        odd = [byte for byte in line if not 0x20 <= byte <= 0x7E]
        if odd:
            sys.exit(f"{entry.filename}:{number}: byte 0x{odd[0]:02x} in {line!r}")
    print(f"{entry.filename}: {len(lines) - 1} lines, CR LF, printable ASCII")
print(f"every entry dated {sys.argv[2]} 00:00")
EOF

step "Windows package: the same bytes from the sources alone, built in another directory"
mkdir "$work/sources"
tar -c --exclude=./.git --exclude=./build --exclude=./bench-data . | tar -x -C "$work/sources"
(cd "$work/sources" && cmake --preset windows-package -B "$work/again" --log-level=WARNING > /dev/null)
cmake --build "$work/again" > /dev/null
(cd "$work/again" && TZ=Pacific/Kiritimati cpack -B "$work/again-package" > /dev/null)
cmp "$zip" "$work/again-package/$(basename "$zip")"
echo "reproducible: two builds give the same $(stat -c %s "$zip") bytes," \
  "sha256 $(sha256sum < "$zip" | cut -c1-16)"
