#!/usr/bin/env bash
# Leak check of whole runs: both programs, built without sanitizers and with
# dynamic linking, so that valgrind sees every allocation, run under
# valgrind's memcheck on success and failure paths alike. A run fails the check when valgrind reports any
# error or leak, or when the program leaves a file descriptor open that it
# did not inherit.
set -euo pipefail
trap 'echo "leak check stopped: \"$BASH_COMMAND\" failed (line $LINENO)"' ERR
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/leaks

cmake --preset release -B "$build" -DTOOLS_STATIC=OFF -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS=-g --log-level=WARNING >/dev/null
cmake --build "$build" --target Tavlick Orrel >/dev/null
tavlick=$build/texture/Tavlick
orrel=$build/lights/Orrel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

vg=(valgrind -q --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all
    --error-exitcode=99 --track-fds=yes)
# Runs a command with only standard input, output and error open: whatever
# else the calling shell or CI holds would count as the program's own, and
# newer valgrind reports such descriptors as errors.
alone() {
  (
    for fd in /proc/$BASHPID/fd/*; do
      fd=${fd##*/}
      [ "$fd" -gt 2 ] && eval "exec $fd>&-"
    done
    exec "$@"
  )
}
open_fds() { sed -n 's/.*FILE DESCRIPTORS: \([0-9]*\) open.*/\1/p' "$1" | tail -1; }
if ! alone "${vg[@]}" --log-file=baseline.vg /bin/true; then
  echo "leak check: valgrind finds errors in /bin/true itself:"
  head -n 40 baseline.vg
  exit 1
fi
baseline=$(open_fds baseline.vg)

failed=0
runs=0
# check WHAT EXPECTED-LINE PROGRAM ARGS...: one run under valgrind.
check() {
  local what=$1 expected=$2
  shift 2
  local code=0
  alone "${vg[@]}" --log-file=run.vg "$@" >run.out 2>run.err </dev/null || code=$?
  runs=$((runs + 1))
  local printed
  printed=$(head -n 1 run.out)
  if [ "$code" -ne 0 ] || [ "$(open_fds run.vg)" != "$baseline" ] || [ -s run.err ] ||
    [[ "$printed" != "$expected"* ]]; then
    failed=$((failed + 1))
    printf 'FAIL %s (exit %s): %s\n' "$what" "$code" "$printed"
    grep -v -m 40 'inherited from parent' run.vg || true
  fi
}

# Textures: a 44-byte header naming WIDTH x HEIGHT at OFFSET, then LENGTH
# bytes of pixels.
texture() {
  python3 - "$@" <<'PY'
import struct, sys
name, w, h, off, length = sys.argv[1], *map(int, sys.argv[2:])
with open(name, "wb") as f:
    f.write(b"\x5a" * 32 + struct.pack("<iii", w, h, off) + bytes(i % 251 for i in range(length)))
PY
}
cp "$root/samples/chart.wal" chart.wal
texture small.wal 2 2 44 4
texture empty.wal 0 9 44 0
texture large.wal 1024 2048 44 2097152
texture neg.wal -1 4 44 16
texture past.wal 4 4 45 16
texture wrap.wal 65537 65537 44 131073
head -c 43 small.wal >short.wal
mkdir dir.wal dir.txt busy.tga busy.lit
texture busy.wal 2 2 44 4
texture full.wal 64 64 44 4096
ln -s /dev/full full.tga
texture same.tga 2 2 44 4

check "Tavlick: no argument" "Tavlick" "$tavlick"
check "Tavlick: short name" "Funny argument size." "$tavlick" a.b
check "Tavlick: sample" "Converted: chart.wal" "$tavlick" chart.wal
check "Tavlick: 2 x 2" "Converted: small.wal" "$tavlick" small.wal
check "Tavlick: empty image" "Converted: empty.wal" "$tavlick" empty.wal
check "Tavlick: 2 MiB texture" "Converted: large.wal" "$tavlick" large.wal
check "Tavlick: missing input" "Couldn't open nope.wal" "$tavlick" nope.wal
check "Tavlick: directory input" "Couldn't read dir.wal" "$tavlick" dir.wal
check "Tavlick: 43 bytes" "Bad texture short.wal" "$tavlick" short.wal
check "Tavlick: negative width" "Bad texture neg.wal" "$tavlick" neg.wal
check "Tavlick: block past the end" "Bad texture past.wal" "$tavlick" past.wal
check "Tavlick: 32-bit wrap" "Bad texture wrap.wal" "$tavlick" wrap.wal
check "Tavlick: same file" "Input and output are the same file" "$tavlick" same.tga
check "Tavlick: output a directory" "Couldn't create busy.tga" "$tavlick" busy.wal
check "Tavlick: output /dev/full" "Couldn't write full.tga" "$tavlick" full.wal

cp "$root/samples/base1.txt" base1.txt
printf '' >empty.txt
printf '{ origin 1 2 3 }\nbrightness 5\n' >bad.txt
printf '{ }' >busy.txt
printf '{ }' >same.lit
python3 -c "open('full.txt', 'w').write('{ origin 1 2 3 color 1 1 1 }\n' * 50000)"
ln -s /dev/full full.lit

check "Orrel: no argument" "Orrel" "$orrel"
check "Orrel: short name" "Funny argument." "$orrel" a.b
check "Orrel: sample" "Converted: base1.txt" "$orrel" base1.txt
check "Orrel: empty list" "Converted: empty.txt" "$orrel" empty.txt
check "Orrel: unknown key" "Error: Token \"brightness\"" "$orrel" bad.txt
check "Orrel: missing input" "Couldn't open nope.txt" "$orrel" nope.txt
check "Orrel: directory input" "Couldn't read dir.txt" "$orrel" dir.txt
check "Orrel: same file" "Input and output are the same file" "$orrel" same.lit
check "Orrel: output a directory" "Couldn't create busy.lit" "$orrel" busy.txt
check "Orrel: output /dev/full" "Couldn't write full.lit" "$orrel" full.txt

echo "leak check: $runs runs, $failed failed"
[ "$failed" -eq 0 ]
