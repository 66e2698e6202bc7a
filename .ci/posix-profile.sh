#!/usr/bin/env bash
# The programs built under a strict POSIX profile (-U_GNU_SOURCE
# -D_POSIX_C_SOURCE=200809L), as a stand-in for the systems this machine has
# no headers of (the BSDs): every call beyond POSIX must sit behind a probe,
# and the probes then pick the plain POSIX ways.
#
#   .ci/posix-profile.sh          (build tree build/posix)
set -euo pipefail
cd "$(dirname "$0")/.."

tree=build/posix
cmake -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOOLS_WERROR=ON -DBUILD_TESTING=OFF \
  "-DCMAKE_CXX_FLAGS=-U_GNU_SOURCE -D_POSIX_C_SOURCE=200809L" > "$tree.configure.log" 2>&1 ||
  { tail -n 30 "$tree.configure.log"; exit 1; }
sed -n 's/^-- Frame: /strict POSIX: /p' "$tree.configure.log"
cmake --build "$tree" --target Tavlick Orrel > "$tree.build.log" 2>&1 ||
  { tail -n 30 "$tree.build.log"; exit 1; }
# The build works as any other.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/chart.wal samples/base1.txt "$work"
(cd "$work" && "$OLDPWD/$tree/texture/Tavlick" chart.wal && "$OLDPWD/$tree/lights/Orrel" base1.txt)
