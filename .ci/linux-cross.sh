#!/usr/bin/env bash
# Linux on another processor: arm64 (glibc) or s390x (glibc, big-endian),
# cross-built under -Werror with Debian's compilers (presets arm64, s390x),
# every test run under qemu-user, then the outputs compared byte for byte
# with the native build's (.ci/same-bytes.sh).
#
#   .ci/linux-cross.sh arm64|s390x
#
# Nothing depends on qemu being registered with the kernel: CTest starts each
# test program through qemu (the toolchain's emulator), and the tests that run
# Tavlick and Orrel as a user would are handed wrappers that start them
# through qemu (TAVLICK and ORREL in the environment).
# Needs: cmake ninja-build googletest qemu-user binutils, and
# g++-aarch64-linux-gnu or g++-s390x-linux-gnu (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."
case ${1:-} in
arm64) qemu="qemu-aarch64" ;;
s390x) qemu="qemu-s390x" ;;
*)
  echo "usage: .ci/linux-cross.sh arm64|s390x"
  exit 2
  ;;
esac
system=$1
if ! qemu=$(command -v "$qemu"); then
  echo "$system: $qemu is missing (Debian package qemu-user)"
  exit 1
fi

# The build's output goes to a log that is shown when it fails: linking the
# static test programs gives GoogleTest's notes on getaddrinfo, no fault.
log=$PWD/build/$system-build.log
mkdir -p build
if ! { cmake --preset "$system" && cmake --build --preset "$system"; } > "$log" 2>&1; then
  cat "$log"
  echo "$system: the build failed (its log: $log)"
  exit 1
fi
for program in texture/Tavlick lights/Orrel; do
  header=$(readelf -h "build/$system/$program")
  machine=$(awk -F': *' '$1 ~ /Machine/ { print $2 }' <<< "$header")
  order=$(awk -F', *' '/Data:/ { print $2 }' <<< "$header")
  echo "$system: built $program under -Werror, for $machine, $order"
done

# The wrappers and copies of the programs sit in a folder every user can
# enter: some tests run the programs as nobody, who may not reach the tree.
runner=$(mktemp -d)
trap 'rm -rf "$runner"' EXIT
chmod 755 "$runner"
for program in texture/Tavlick lights/Orrel; do
  name=${program#*/}
  cp "build/$system/$program" "$runner/$name.$system"
  printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$qemu" "$runner/$name.$system" > "$runner/$name"
  chmod 755 "$runner/$name" "$runner/$name.$system"
done

TAVLICK=$runner/Tavlick ORREL=$runner/Orrel ctest --preset "$system"
# What a test left out under the emulator, with its reason (a signal qemu
# cannot raise), read from the test log: one line each, with how often.
skipped=$(grep -h '^skipped ' "build/$system/Testing/Temporary/LastTest.log" || true)
if [ -n "$skipped" ]; then
  sort <<< "$skipped" | uniq -c | while read -r count line; do
    echo "$system: under $qemu, $line ($count times)"
  done
fi

.ci/same-bytes.sh "$system" "$runner/Tavlick" "$runner/Orrel"
