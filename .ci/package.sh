#!/usr/bin/env bash
# The install tree and the Debian package as a user and a Debian reviewer see
# them: cmake --install --strip and its undoing, the .deb unpacked and run,
# its hardening, the code it declares, lintian's verdict, and the same bytes
# from a second build of the sources alone (no .git, another directory).
# Run from anywhere; builds the release preset as needed.
# Needs: cmake ninja-build g++ binutils dpkg lintian (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
step() { printf '\n=== %s\n' "$*"; }
work="$PWD/build/package-check" # scratch space, made anew each run
rm -rf "$work" && mkdir -p "$work"

cmake --preset release --log-level=WARNING > /dev/null
cmake --build --preset release > /dev/null

step "install tree: cmake --install --strip, then removed by its manifest"
prefix="$work/install/usr/local"
cmake --install build/release --prefix "$prefix" --strip > /dev/null
(cd "$work/install" && find . -type f | sort)
gzip -t "$prefix"/share/man/man1/{Tavlick,Orrel}.1.gz
for program in "$prefix"/bin/{Tavlick,Orrel}; do
  sections=$(readelf -SW "$program")
  if grep -qE ' \.(symtab|comment) ' <<< "$sections"; then
    echo "$program keeps a symbol table or a .comment section"
    exit 1
  fi
done
xargs -d '\n' rm -f < build/release/install_manifest.txt
left=$(find "$work/install" -type f)
[ -z "$left" ] || { echo "left after removing the manifest's files: $left"; exit 1; }
echo "stripped, without .comment; install_manifest.txt removes every file installed"

step "Debian package: cpack, unpacked with dpkg -x, the installed tools run on the samples"
rm -rf build/package
cpack --preset deb
deb=$(echo build/package/content-tools_*.deb)
dpkg-deb --info "$deb"
dpkg -c "$deb"
root="$work/root"
dpkg -x "$deb" "$root"
mkdir "$work/run" "$work/reference"
cp samples/chart.wal samples/base1.txt "$work/run"
cp samples/chart.wal samples/base1.txt "$work/reference"
(cd "$work/run" && "$root/usr/bin/Tavlick" chart.wal && "$root/usr/bin/Orrel" base1.txt) |
  tee "$work/run/log"
printf 'Converted: chart.wal -> chart.tga\nConverted: base1.txt -> base1.lit\n' | cmp - "$work/run/log"
(cd "$work/reference" && "$repo/build/release/texture/Tavlick" chart.wal > /dev/null &&
  "$repo/build/release/lights/Orrel" base1.txt > /dev/null)
cmp "$work/run/chart.tga" "$work/reference/chart.tga"
cmp "$work/run/base1.lit" "$work/reference/base1.lit"

step "Debian package: one version throughout"
version=$(dpkg-deb -f "$deb" Version)
echo "package version $version"
tavlick_banner=$("$root/usr/bin/Tavlick" | sed -n 1p)
orrel_banner=$("$root/usr/bin/Orrel" | sed -n 1p)
printf '%s\n' "$tavlick_banner" "$orrel_banner"
[[ "$tavlick_banner" == "Tavlick $version palette texture converter (released "*")" ]]
[[ "$orrel_banner" == "Orrel $version light list converter ("*")" ]]
# Each file is read whole before it is matched: a reader that stops at the
# first match or line would cut zcat off, which pipefail counts as a failure.
tavlick_page=$(zcat "$root/usr/share/man/man1/Tavlick.1.gz")
orrel_page=$(zcat "$root/usr/share/man/man1/Orrel.1.gz")
changelog=$(zcat "$root/usr/share/doc/content-tools/changelog.gz")
grep -q "^\.TH TAVLICK 1 .* \"Tavlick $version\"" <<< "$tavlick_page"
grep -q "^\.TH ORREL 1 .* \"Orrel $version\"" <<< "$orrel_page"
[[ "${changelog%%$'\n'*}" == "content-tools ($version) "* ]]

# lintian's hardening tags skip static programs, so the ELF is read here.
step "Debian package: hardened programs (PIE, read-only relocations bound at start, no .comment)"
for program in "$root"/usr/bin/{Tavlick,Orrel}; do
  header=$(readelf -hlSdW "$program")
  for want in 'Type: *DYN' 'GNU_RELRO' 'FLAGS.*BIND_NOW'; do
    grep -qE "$want" <<< "$header" || { echo "$program: no $want"; exit 1; }
  done
  if grep -q ' \.comment ' <<< "$header"; then
    echo "$program: a .comment section"
    exit 1
  fi
done
# The stack protector and the checked calls show in the objects' references.
refs=$(nm -u build/release/frame/libframe.a build/release/texture/libtexture.a \
  build/release/lights/liblights.a)
grep -q ' __stack_chk_fail$' <<< "$refs" || { echo "no stack protector in the objects"; exit 1; }
grep -qE ' __[a-z]+_chk$' <<< "$refs" || { echo "no checked C library calls in the objects"; exit 1; }
echo "static PIEs with RELRO and BIND_NOW, stack protector and _FORTIFY_SOURCE calls in the code"

step "Debian package: the statically linked code it declares"
built_using=$(dpkg-deb -f "$deb" Built-Using)
echo "Built-Using: $built_using"
copyright="$root/usr/share/doc/content-tools/copyright"
for library in libc.a libstdc++.a; do
  owner=$(dpkg -S "$(realpath -s "$(g++ -print-file-name=$library)")" | cut -d: -f1)
  source=$(dpkg-query -W --showformat='${source:Package} (= ${source:Version})' "$owner")
  grep -qF "$source" <<< "$built_using" || { echo "Built-Using lacks $source ($library)"; exit 1; }
  name=${source%% *} version=${source##*= }
  grep -qF " $name ${version%)}: " "$copyright" ||
    { echo "the copyright file does not name $source"; exit 1; }
done
echo "Maintainer: $(dpkg-deb -f "$deb" Maintainer)"

step "Debian package: lintian --pedantic, every tag a failure unless overridden"
# Its own verdict counts a shown override as a failure, so the tags decide.
lintian --info --display-info --pedantic --show-overrides --fail-on none "$deb" 2>&1 |
  tee "$work/lintian.log"
if grep -qE '^[EWIPX]: ' "$work/lintian.log"; then
  echo "lintian: tags above"
  exit 1
fi
echo "lintian: no tag ($(grep -c '^O: ' "$work/lintian.log" || true) overridden)"

step "Debian package: the same bytes from the sources alone, built in another directory"
# No .git in the copy: a build from a release tarball.
mkdir "$work/sources"
tar -c --exclude=./.git --exclude=./build --exclude=./bench-data . | tar -x -C "$work/sources"
(cd "$work/sources" &&
  cmake --preset release -B "$work/again" -DBUILD_TESTING=OFF --log-level=WARNING > /dev/null)
cmake --build "$work/again" --target Tavlick Orrel man_pages > /dev/null
(cd "$work/again" && TZ=Pacific/Kiritimati cpack -B "$work/again-package" > /dev/null)
cmp "$deb" "$work/again-package/$(basename "$deb")"
echo "reproducible: two builds give the same $(stat -c %s "$deb") bytes," \
  "sha256 $(sha256sum < "$deb" | cut -c1-16)"
