#!/usr/bin/env bash
# The programs and every test built for macOS, on Intel and on Apple silicon,
# with zig's clang and the macOS headers and libraries it carries, under
# -Werror. Nothing runs: this machine cannot run macOS programs.
#
#   .ci/macos.sh          (build trees build/macos-x86_64, build/macos-aarch64)
set -euo pipefail
cd "$(dirname "$0")/.."

zig=$(.ci/zig.sh)

for target in x86_64-macos.13.0 aarch64-macos.13.0; do
  tree=build/macos-${target%%-*}
  cmake -B "$tree" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE=cmake/zig.cmake -DTOOLS_ZIG="$zig" \
    -DTOOLS_ZIG_TARGET="$target" -DCMAKE_BUILD_TYPE=Release -DTOOLS_WERROR=ON \
    -DTOOLS_GTEST_SOURCE=/usr/src/googletest > "$tree.configure.log" 2>&1 ||
    { tail -n 30 "$tree.configure.log"; exit 1; }
  sed -n "s/^-- Frame: /$target: /p" "$tree.configure.log"
  cmake --build "$tree" > "$tree.build.log" 2>&1 || { tail -n 30 "$tree.build.log"; exit 1; }
  # A 64-bit Mach-O program starts with the bytes cf fa ed fe.
  for program in texture/Tavlick lights/Orrel tests/output_test; do
    magic=$(od -An -tx1 -N4 "$tree/$program" | tr -d ' \n')
    if [ "$magic" != cffaedfe ]; then
      echo "$target: $program is no 64-bit Mach-O program (it starts with $magic)"
      exit 1
    fi
  done
  echo "$target: the programs and every test built"
done
