#!/usr/bin/env bash
# Checks of the built .exe files that need the build machine's tools:
#   windows_check.sh resources EXE VERSION LICENSE   the version resource and
#       manifest read back with windres, and no symbols left
#   windows_check.sh code-page WINE TAVLICK ORREL TAVLICK_ANSI WORKDIR
#       both programs started from a Linux shell with Wine's ANSI code page
#       set to 1251, as on a Cyrillic Windows
set -euo pipefail
fail() { echo "FAIL: $*"; exit 1; }

case "$1" in
resources)
  exe=$2 version=$3 license=$4
  name=$(basename "$exe")
  rc=$(x86_64-w64-mingw32-windres -i "$exe" -O rc)
  IFS=. read -r major minor patch <<< "$version"
  for want in "FILEVERSION $major, $minor, $patch, 0" "PRODUCTVERSION $major, $minor, $patch, 0" \
    "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
    "VALUE \"ProductName\", \"content-tools\"" "VALUE \"OriginalFilename\", \"$name\"" \
    "VALUE \"LegalCopyright\", \"$(grep -m1 '^Copyright (c) ' "$license")\"" \
    'VALUE "FileDescription", "'"${name%.exe}"' ' \
    'UTF-8</activeCodePage>' 'true</longPathAware>' "version=\"\"$version.0\"\""; do
    grep -qF -- "$want" <<< "$rc" || fail "$name: no '$want' in its resources"
  done
  echo "$name: version $version, manifest with UTF-8 code page and long paths"
  symbols=$(x86_64-w64-mingw32-nm "$exe" 2>&1 || true)
  [[ "$symbols" == *"no symbols"* ]] || fail "$name is not stripped"
  echo "$name: stripped, $(stat -c %s "$exe") bytes"
  ;;
code-page)
  wine=$2 tavlick=$3 orrel=$4 tavlick_ansi=$5 work=$6
  # Wine takes the ANSI code page from the locale; glibc finds it in LOCPATH,
  # so nothing is installed on the machine.
  locales="$work/locales"
  if [ ! -e "$locales/ru_RU.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$locales"
    localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8" ||
      fail "localedef could not make ru_RU.UTF-8 (Debian package locales)"
  fi
  dir=$(mktemp -d "$work/code-page.XXXXXX")
  trap 'rm -rf "$dir"' EXIT
  cd "$dir"
  run() { LOCPATH="$locales" LC_ALL=ru_RU.UTF-8 "$wine" "$@" | od -An -c | tr -s ' '; }
  # café.wal is a 2 x 1 texture; cafe.* are the look-alikes.
  head -c 32 /dev/zero > café.wal
  printf '\x02\x00\x00\x00\x01\x00\x00\x00\x2c\x00\x00\x00\x05\x07' >> café.wal
  printf 'decoy' > cafe.wal
  printf 'decoy' > cafe.tga
  printf '{ origin 1 2 3 }' > café.txt
  printf '{ origin 9 9 9 }' > cafe.txt
  printf 'decoy' > cafe.lit
  # Without the manifest the name arrives as the look-alike "cafe.wal": that
  # build must refuse it, which shows the code page is really 1251 here.
  got=$(run "$tavlick_ansi" café.wal)
  want=$(printf "Couldn't open café.wal\r\n" | od -An -c | tr -s ' ')
  [ "$got" = "$want" ] || fail "without the manifest: $got"
  for case in "$tavlick café.wal café.tga" "$orrel café.txt café.lit"; do
    read -r program input output <<< "$case"
    got=$(run "$program" "$input")
    want=$(printf 'Converted: %s -> %s\r\n' "$input" "$output" | od -An -c | tr -s ' ')
    [ "$got" = "$want" ] || fail "$(basename "$program") $input printed$got"
    echo "$(basename "$program") $input under code page 1251: Converted: $input -> $output"
  done
  [ "$(cat cafe.tga)" = decoy ] && [ "$(cat cafe.lit)" = decoy ] || fail "a look-alike was written"
  [ "$(stat -c %s café.tga)" = 24 ] || fail "café.tga is not the 2 x 1 image"
  grep -q '"origin" "1 2 3"' café.lit || fail "café.lit is not café.txt's lights"
  echo "cafe.tga and cafe.lit untouched"
  ;;
*)
  fail "unknown check $1"
  ;;
esac
