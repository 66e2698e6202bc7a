#!/usr/bin/env bash
# Times the conversion of a whole tree of palette textures three ways:
# find | xargs -P, make -j and ninja. Makes COUNT small textures (64 x 64,
# 100 to a directory) in a scratch tree and converts them all each way.
#   docs/convert_tree_timing.sh [TAVLICK [COUNT]]
#   default: build/release/texture/Tavlick, 10000 textures
set -euo pipefail
cd "$(dirname "$0")/.."

tavlick=$(realpath "${1:-build/release/texture/Tavlick}")
count=${2:-10000}
jobs=$(nproc)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

# 64 x 64 textures in directories of 100, each with its own pixels.
python3 - "$tree" "$count" <<'PY'
import os, struct, sys
root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    d = os.path.join(root, "set%03d" % (i // 100))
    os.makedirs(d, exist_ok=True)
    header = bytearray(44)
    struct.pack_into("<iii", header, 32, 64, 64, 44)
    pixels = bytes((x * 3 + y * 5 + i) % 256 for y in range(64) for x in range(64))
    with open(os.path.join(d, "wall%05d.wal" % i), "wb") as f:
        f.write(bytes(header) + pixels)
PY

# Tavlick's exit status is always 0: a build tool learns of a failure only
# from the missing "Converted:" line, so each recipe checks for it. Each runs
# in the texture's directory, which keeps the argument short (names of 64
# characters or more would be cut to 63).

# The README's find and xargs recipe as it stands there, with the program
# on PATH under its own name.
mkdir "$tree/bin"
ln -s "$tavlick" "$tree/bin/Tavlick"
export PATH="$tree/bin:$PATH"
recipe=$(cat <<'SH'
find . -name '*.wal' -print0 |
  xargs -0 -n 1 -P "$(nproc)" sh -c 'cd "${1%/*}" && out=$(Tavlick "${1##*/}") &&
    case $out in Converted:*) ;; *) echo "$1: $out"; exit 1 ;; esac' sh
SH
)
cat > "$tree/Makefile" <<MK
# No built-in rules: searching them for 10,000 targets costs more than the work.
MAKEFLAGS += --no-builtin-rules
.SUFFIXES:
.DELETE_ON_ERROR:
WALS := \$(shell find . -name '*.wal')
all: \$(WALS:.wal=.tga)
%.tga: %.wal
	@cd \$(@D) && out=\$\$("$tavlick" \$(<F)) && case \$\$out in Converted:*) ;; *) echo "\$\$out"; exit 1;; esac
MK

{
  echo "rule tavlick"
  echo "  command = cd \$dir && out=\$\$(\"$tavlick\" \$name) && case \$\$out in Converted:*) ;; *) echo \"\$\$out\"; exit 1;; esac"
  (cd "$tree" && find . -name '*.wal' | sort) | while read -r wal; do
    dir=${wal%/*}; name=${wal##*/}
    echo "build ${wal%.wal}.tga: tavlick $wal"
    echo "  dir = $dir"
    echo "  name = $name"
  done
} > "$tree/build.ninja"

clean() { find "$tree" -name '*.tga' -delete; sync; }

# Runs one way; checks that every texture was converted (with a count of
# 0, that none was: the last way starts /bin/true per texture and converts
# nothing).
measure() {
  local label=$1 command=$2 want=${3:-$count}
  clean
  local start end
  start=$(date +%s.%N)
  if ! (cd "$tree" && eval "$command") > "$tree/log"; then
    echo "$label: failed" >&2
    cat "$tree/log" >&2
    exit 1
  fi
  end=$(date +%s.%N)
  local made
  made=$(find "$tree" -name '*.tga' | wc -l)
  if [ "$made" -ne "$want" ]; then
    echo "$label: $made of $count converted" >&2
    exit 1
  fi
  # The command on one line, however it was written: each of its line
  # breaks follows a | or &&, where a space does as well.
  local line
  line=$(printf '%s' "$command" | tr -s '\n ' ' ')
  awk -v l="$label" -v s="$start" -v e="$end" -v n="$count" -v c="$line" \
    'BEGIN { t = e - s; printf "%-8s %6.2f s %8.0f textures/s   %s\n", l, t, n / t, c }'
}

echo "$count textures of 64 x 64, $jobs jobs"
measure xargs "$recipe"
measure make "make -j$jobs"
measure ninja "ninja -j$jobs --quiet"
measure true "find . -name '*.wal' -print0 | xargs -0 -n 1 -P $jobs true" 0
