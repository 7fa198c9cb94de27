#!/usr/bin/env bash
# How close `pictavo-fx render` comes to ImageMagick's own decode, file kind
# by file kind: ImageMagick makes each file (PNG 8/16-bit, palette, alpha,
# GIF, WebP lossy and lossless, TIFF LZW, AVIF) and decodes it upright and
# flattened over white; the corpus's phone photo (HEIC) joins them. Prints
# the mean absolute error in 8-bit levels (`compare -metric MAE`).
# Usage: bench/decode_vs_magick.sh BUILD_DIR
set -euo pipefail

BUILD=${1:-build}
FX=$(cd "$BUILD" && pwd)/pictavo-fx
HEIC=$(cd "$(dirname "$0")/.." && pwd)/../shared/corpus/camera/IMG_5195.HEIC
WORK=$(mktemp -d "${TMPDIR:-/tmp}/pictavo-kinds.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
for tool in convert compare; do
  command -v "$tool" >/dev/null || { echo "decode_vs_magick: $tool missing (scripts/install-deps.sh bench)"; exit 1; }
done

convert -size 640x480 -seed 3 plasma:fractal -depth 8 src.ppm
convert src.ppm PNG24:png8.png
convert src.ppm -depth 16 PNG48:png16.png
convert src.ppm -colors 200 PNG8:palette.png
convert src.ppm \( -size 640x480 gradient:white-black \) -alpha off -compose CopyOpacity -composite PNG32:alpha.png
convert src.ppm gif.gif
convert src.ppm -quality 85 lossy.webp
convert src.ppm -define webp:lossless=true lossless.webp
convert src.ppm -compress lzw lzw.tif
convert src.ppm -quality 60 photo.avif
[ -f "$HEIC" ] && cp "$HEIC" phone.heic

printf '%-14s %10s\n' file "MAE levels"
for f in png8.png png16.png palette.png alpha.png gif.gif lossy.webp lossless.webp lzw.tif photo.avif phone.heic; do
  [ -f "$f" ] || continue
  "$FX" render "$f" "ours_$f.bmp"
  convert "$f" -auto-orient -background white -flatten -depth 8 "magick_$f.bmp"
  # compare prints "absolute (normalised)"; the normalised part times 255.
  mae=$( (compare -metric MAE "ours_$f.bmp" "magick_$f.bmp" null: 2>&1 || true) | sed 's/.*(\(.*\))/\1/')
  printf '%-14s %10.3f\n' "$f" "$(awk -v m="$mae" 'BEGIN { print m * 255 }')"
done
