#!/usr/bin/env bash
# Makes docs/chart.png, the picture in the README: the sample palette chart
# as Tavlick converts it, turned into a PNG by ImageMagick's convert
# (Debian package imagemagick).
#   docs/make_chart_png.sh [TAVLICK]     default: build/release/texture/Tavlick
set -euo pipefail
cd "$(dirname "$0")/.."

tavlick=$(realpath "${1:-build/release/texture/Tavlick}")
convert=/usr/bin/convert # /usr/local/bin may hold a stand-in
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp samples/chart.wal "$work/chart.wal"
(cd "$work" && "$tavlick" chart.wal)
# The Targa file stores the bottom row first; ImageMagick 6 keeps that as
# an orientation tag unless told to turn the pixels upright. -strip and the
# excluded chunks keep time stamps out, so the PNG changes only with the
# picture.
"$convert" "$work/chart.tga" -auto-orient -strip -define png:exclude-chunks=date,time \
  docs/chart.png
echo "Wrote docs/chart.png"
