#!/usr/bin/env bash
# A minimal root of a Debian release, built with mmdebstrap from the Debian
# mirror this machine's apt already uses, for one of two runs:
#
#   .ci/debian-root.sh [SUITE]          e.g. .ci/debian-root.sh testing
#     The README's Quick start on SUITE (Debian 13, trixie, unless told
#     otherwise): installs the packages the Quick start names there and
#     nothing else, and runs its two commands as an ordinary user in a 0700
#     home, on the tracked files as they are now.
#
#   .ci/debian-root.sh --gate [SUITE]   e.g. .ci/debian-root.sh --gate bookworm
#     The whole gate on a new machine: a root with nothing but git and
#     ca-certificates, a fresh clone of the committed HEAD, and
#     CI=true bash .ci/run < /dev/null in it as root. Not a step of .ci/run,
#     which would run the gate inside the gate.
#
# Everything it made or mounted is gone when it ends, however it ends.
# Needs root and mmdebstrap (Debian package mmdebstrap).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
gate=false
if [ "${1:-}" = --gate ]; then
  gate=true
  shift
fi
suite=${1:-trixie}

if [ "$(id -u)" -ne 0 ] || ! command -v mmdebstrap > /dev/null; then
  echo "$0 needs root and mmdebstrap (Debian package mmdebstrap)"
  exit 1
fi

# The mirror apt uses here, so that nothing else is reached: the first that
# is not the security archive, in the deb822 files or in sources.list. One
# awk reads them all and stops there, so no reader cuts a writer off.
sources=()
for file in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list; do
  if [ -f "$file" ]; then
    sources+=("$file")
  fi
done
mirror=
if [ ${#sources[@]} -gt 0 ]; then
  mirror=$(awk '($1 == "URIs:" || $1 == "deb") && !/security/ { print $2; exit }' "${sources[@]}")
fi
if [ -z "$mirror" ]; then
  echo "no Debian mirror found in /etc/apt/sources.list or /etc/apt/sources.list.d"
  exit 1
fi

work=$(mktemp -d /var/tmp/debian-root.XXXXXX)
root=$work/root
log=$work/quickstart.log
cleanup() {
  local status=$?
  if [ $status -ne 0 ] && [ -s "$log" ]; then
    grep -m 40 -E '\*\*\*|Failed|Error|error:' "$log" || true
    tail -n 12 "$log"
  fi
  # Whatever is still mounted below the work folder (a nested root's too),
  # the deepest first; lazily, so that one still busy does not keep the
  # others. rm then stays on this file system whatever is left.
  findmnt -rn -o TARGET | grep "^$work/" | sort -r | xargs -r umount -l || true
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

# Testing's release files may be past their date on a mirror that lags; a
# root that is thrown away at once loses nothing by taking them. The option
# stays in the root's apt configuration, for the gate's own apt-get.
make_root=(mmdebstrap --quiet --variant=minbase --aptopt='Acquire::Check-Valid-Until "false"')

# The gate as on a new machine. Its mounts are made private, so that nothing
# mounted below them reaches the machine's own /dev.
if $gate; then
  echo "building a minimal $suite root with git and ca-certificates"
  "${make_root[@]}" --include=git,ca-certificates "$suite" "$root" "$mirror"
  # The root a mount point of its own, as / is on a machine: mmdebstrap in
  # the Quick start's step makes / private, which fails on a plain folder.
  mount --bind "$root" "$root"
  mount --make-private "$root"
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  mount --bind /dev "$root/dev"
  mount --make-private "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
  mount --make-private "$root/dev/pts"
  mount -t tmpfs tmpfs "$root/dev/shm"
  mount -t tmpfs tmpfs "$root/tmp"
  # What a new machine of this kind has before anything is installed: its
  # name server, the certificates it trusts (a registry reached over TLS
  # may need one that Debian does not ship) and npm's setting that points
  # at them. Each copy replaces whatever the root holds there rather than
  # writing through a link.
  for file in /etc/resolv.conf /etc/ssl/certs/ca-certificates.crt /etc/npmrc; do
    if [ -f "$file" ]; then
      rm -f "$root$file"
      cp -L "$file" "$root$file"
    fi
  done
  if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "uncommitted changes are left out: the clone holds the committed HEAD alone"
  fi
  git clone --quiet "$repo" "$root/root/src"
  echo "running .ci/run as root in a fresh clone of $(git -C "$root/root/src" log -1 --format='%h %s')"
  begun=$SECONDS
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    CI=true bash -c 'cd /root/src && bash .ci/run' < /dev/null
  echo "the gate passed in a new $suite root in $((SECONDS - begun)) s"
  exit 0
fi

# The Quick start's packages, as the README names them for apt-get.
packages=$(awk 'sub(/^ *sudo apt-get install /, "") { print; exit }' README.md)
if [ -z "$packages" ]; then
  echo "README.md has no 'sudo apt-get install' line naming the Quick start's packages"
  exit 1
fi

# The tracked files as they are now, uncommitted changes included.
git ls-files -z | tar --null -T - -cf "$work/src.tar"

echo "building a minimal $suite root with: $packages"
# shellcheck disable=SC2086 # one word a package
"${make_root[@]}" --include="${packages// /,}" \
  --customize-hook='chroot "$1" useradd --create-home --shell /bin/bash builder' \
  --customize-hook='chroot "$1" chmod 0700 /home/builder' \
  --customize-hook='mkdir "$1/home/builder/src"' \
  --customize-hook="tar-in $work/src.tar /home/builder/src" \
  --customize-hook='chroot "$1" chown -R builder: /home/builder/src' \
  --customize-hook='chroot "$1" sh -c "g++ --version | sed -n 1p; cmake --version | sed -n 1p"' \
  --customize-hook='chroot "$1" runuser -l builder -c "cd src && export CI=true CTEST_PARALLEL_LEVEL=$(nproc) && cmake --workflow --preset samples && cmake --workflow --preset test" > '"$log"' 2>&1' \
  "$suite" "$root" "$mirror"
tail -n 12 "$log"
echo "Quick start passed on $suite as an ordinary user"
