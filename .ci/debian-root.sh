#!/usr/bin/env bash
# The README's Quick start on a newer Debian than the machine's: builds a
# minimal root of SUITE (Debian 13, trixie, unless told otherwise) with
# mmdebstrap from the Debian mirror this machine's apt already uses, installs
# the packages the Quick start names there and nothing else, and runs its two
# commands as an ordinary user in a 0700 home. Everything it made or mounted
# is gone when it ends, however it ends.
#
#   .ci/debian-root.sh [SUITE]      e.g. .ci/debian-root.sh testing
#
# Needs root and mmdebstrap (Debian package mmdebstrap).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
suite=${1:-trixie}

if [ "$(id -u)" -ne 0 ] || ! command -v mmdebstrap > /dev/null; then
  echo "$0 needs root and mmdebstrap (Debian package mmdebstrap)"
  exit 1
fi

# The Quick start's packages, as the README names them for apt-get.
packages=$(sed -n 's/^ *sudo apt-get install //p' README.md | head -n 1)
if [ -z "$packages" ]; then
  echo "README.md has no 'sudo apt-get install' line naming the Quick start's packages"
  exit 1
fi

# The mirror apt uses here, so that nothing else is reached.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2> /dev/null |
  grep -v security | head -n 1 || true)
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  mirror=$(awk '$1 == "deb" && $0 !~ /security/ { print $2; exit }' /etc/apt/sources.list)
fi
if [ -z "$mirror" ]; then
  echo "no Debian mirror found in /etc/apt/sources.list or /etc/apt/sources.list.d"
  exit 1
fi

work=$(mktemp -d /var/tmp/debian-root.XXXXXX)
log=$work/quickstart.log
cleanup() {
  local status=$?
  if [ $status -ne 0 ] && [ -s "$log" ]; then
    grep -E '\*\*\*|Failed|Error|error:' "$log" | head -n 40 || true
    tail -n 12 "$log"
  fi
  # mmdebstrap unmounts what it mounted; this covers a run cut short.
  findmnt -rn -o TARGET | grep "^$work/" | sort -r | xargs -r umount -l || true
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

# The tracked files as they are now, uncommitted changes included.
git ls-files -z | tar --null -T - -cf "$work/src.tar"

echo "building a minimal $suite root with: $packages"
# Testing's release files may be past their date on a mirror that lags; a
# root that is thrown away at once loses nothing by taking them.
# shellcheck disable=SC2086 # one word a package
mmdebstrap --quiet --variant=minbase --aptopt='Acquire::Check-Valid-Until "false"' \
  --include="${packages// /,}" \
  --customize-hook='chroot "$1" useradd --create-home --shell /bin/bash builder' \
  --customize-hook='chroot "$1" chmod 0700 /home/builder' \
  --customize-hook='mkdir "$1/home/builder/src"' \
  --customize-hook="tar-in $work/src.tar /home/builder/src" \
  --customize-hook='chroot "$1" chown -R builder: /home/builder/src' \
  --customize-hook='chroot "$1" sh -c "g++ --version | head -n 1; cmake --version | head -n 1"' \
  --customize-hook='chroot "$1" runuser -l builder -c "cd src && export CI=true CTEST_PARALLEL_LEVEL=$(nproc) && cmake --workflow --preset samples && cmake --workflow --preset test" > '"$log"' 2>&1' \
  "$suite" "$work/root" "$mirror"
tail -n 12 "$log"
echo "Quick start passed on $suite as an ordinary user"
