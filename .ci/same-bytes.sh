#!/usr/bin/env bash
# Byte order and C library never change a byte of output: what another
# build's programs write, and print, is compared byte for byte with what the
# native release build writes from the same inputs: the two samples and
# bench_gen's smaller inputs (textures of 64 and 1024 pixels square, lists of
# 10 and 10,000 lights), small enough to stay quick under an emulator.
#
#   .ci/same-bytes.sh NAME TAVLICK ORREL
#
# NAME names the work folder, build/NAME-bytes, made anew each run; TAVLICK
# and ORREL are the programs to check, or wrappers that start them under an
# emulator. Builds the release preset's programs and bench_gen first.
# Needs: cmake ninja-build g++ (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 3 ]; then
  echo "usage: .ci/same-bytes.sh NAME TAVLICK ORREL"
  exit 2
fi
name=$1 tavlick=$(realpath "$2") orrel=$(realpath "$3")
work=$PWD/build/$name-bytes
native=$PWD/build/release
rm -rf "$work" && mkdir -p "$work/inputs"

cmake --preset release > /dev/null
cmake --build --preset release --target Tavlick Orrel bench_gen > /dev/null
"$native/bench/bench_gen" "$work/inputs" tex64 tex1024 lights10 lights10k > /dev/null
cp samples/chart.wal samples/base1.txt "$work/inputs"
# bench_gen writes each input's expected output beside it; only inputs are taken.
inputs=(chart.wal tex64.wal tex1024.wal base1.txt lights10.txt lights10k.txt)

# Converts every input in folder $1 with Tavlick $2 and Orrel $3; what they
# print goes to $1.printed.
convert() {
  mkdir -p "$1"
  local input
  for input in "${inputs[@]}"; do
    cp "$work/inputs/$input" "$1"
  done
  (
    cd "$1"
    for input in "${inputs[@]}"; do
      case $input in
      *.wal) "$2" "$input" ;;
      *.txt) "$3" "$input" ;;
      esac
    done
  ) > "$1.printed"
}
convert "$work/native" "$native/texture/Tavlick" "$native/lights/Orrel"
convert "$work/$name" "$tavlick" "$orrel"

# Compares one file of the native run with the same of the other run.
same() {
  if ! cmp "$work/native$1" "$work/$name$1"; then
    echo "$name: ${1#/} differs from the native build's (both in $work)"
    exit 1
  fi
}
same .printed
outputs=(chart.tga tex64.tga tex1024.tga base1.lit lights10.lit lights10k.lit)
for output in "${outputs[@]}"; do
  same "/$output"
done
echo "$name: ${#outputs[@]} outputs (${outputs[*]}) and the lines printed the same bytes as the native build's"
