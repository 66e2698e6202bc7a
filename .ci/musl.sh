#!/usr/bin/env bash
# x86-64 Linux on musl: the programs and the tests built static under -Werror
# with zig's clang and libc++ for x86_64-linux-musl (preset musl), every test
# run here, then the outputs compared byte for byte with the native glibc
# build's (.ci/same-bytes.sh).
#
#   .ci/musl.sh
#
# zig comes from the npm registry at a pinned version, checked (.ci/zig.sh).
# Needs: cmake ninja-build googletest npm python3 binutils (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."
zig=$(.ci/zig.sh)

# The build's output goes to a log that is shown when it fails.
log=$PWD/build/musl-build.log
if ! { cmake --preset musl -DTOOLS_ZIG="$zig" && cmake --build --preset musl; } > "$log" 2>&1; then
  cat "$log"
  echo "musl: the build failed (its log: $log)"
  exit 1
fi
for program in texture/Tavlick lights/Orrel; do
  # A static program has no interpreter (dynamic loader) to name.
  headers=$(readelf -l "build/musl/$program")
  if [[ $headers == *"program interpreter"* ]]; then
    echo "musl: $program is not static"
    exit 1
  fi
  echo "musl: built $program static under -Werror"
done

ctest --preset musl
.ci/same-bytes.sh musl build/musl/texture/Tavlick build/musl/lights/Orrel
