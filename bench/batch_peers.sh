#!/usr/bin/env bash
# Batch effects against their peers, whole processes, wall time and peak
# resident memory: `pictavo-fx render` JPEG -> JPEG against `vips linear`,
# BMP -> BMP against ImageMagick, `pictavo-fx apply` over 8 JPEGs against
# eight `vips linear` runs one after another, and a lossless quarter turn
# (`pictavo-fx rotate right`) against `jpegtran -perfect -copy all`, and
# against the same with -optimize: the bench JPEG has Huffman tables fitted
# to it, which the turn fits again so that the file keeps its size. Brightness 10, contrast 20 on
# a 6000x4000 q90 JPEG and its 24-bit BMP. Medians of RUNS interleaved runs.
# Usage: bench/batch_peers.sh BUILD_DIR
set -euo pipefail

BUILD=${1:-build}
RUNS=${RUNS:-5}
FX=$(cd "$BUILD" && pwd)/pictavo-fx
WORK=$(mktemp -d "${TMPDIR:-/tmp}/pictavo-batch.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

IM=/usr/bin/convert
if command -v magick >/dev/null; then IM=$(command -v magick); fi
for tool in vips djpeg cjpeg jpegtran /usr/bin/time "$IM"; do
  command -v "$tool" >/dev/null || { echo "batch_peers: $tool missing (scripts/install-deps.sh bench)"; exit 1; }
done

# A fixed fractal: smooth areas and fine detail, the same every run.
"$IM" -size 6000x4000 -seed 7 plasma:fractal -quality 90 -sampling-factor 2x2 big.jpg
"$IM" big.jpg -type TrueColor BMP3:big.bmp
for k in 1 2 3 4 5 6 7 8; do cp big.jpg "orig$k.jpg"; printf '%s^picture %d^\r\n' "$WORK/p$k.jpg" "$k"; done > set.pvx

# Contrast 20 as a linear map around 127, then brightness 10.
A=$(awk 'BEGIN { printf "%.6f", 1 + 20 / 255 }')
B=$(awk 'BEGIN { printf "%.6f", 10 - 127 * 20 / 255 }')

# run NAME CMD...: one timed run, "wall user sys maxrss_kb" appended to NAME.
run() {
  local name=$1; shift
  /usr/bin/time -f "%e %U %S %M" -o t.txt "$@" >/dev/null 2>&1
  cat t.txt >> "$name.txt"
}
reset_set() { for k in 1 2 3 4 5 6 7 8; do cp "orig$k.jpg" "p$k.jpg"; done; }
eight_vips() { for k in 1 2 3 4 5 6 7 8; do vips linear "p$k.jpg" "v$k.jpg[Q=90]" "$A" "$B"; done; }
export -f eight_vips; export A B

for ((r = 0; r < RUNS; r++)); do
  run fx_jpeg "$FX" render --brightness=10 --contrast=20 big.jpg out.jpg
  run vips_jpeg vips linear big.jpg "vout.jpg[Q=90]" "$A" "$B"
  run fx_bmp "$FX" render --brightness=10 --contrast=20 big.bmp out.bmp
  run im_bmp "$IM" big.bmp -brightness-contrast 4x8 BMP3:imout.bmp
  reset_set
  run fx_apply "$FX" apply --brightness=10 --contrast=20 set.pvx
  reset_set
  run vips_eight bash -c eight_vips
  cp big.jpg turn.jpg
  run fx_turn "$FX" rotate right turn.jpg
  run jpegtran_turn jpegtran -perfect -copy all -rotate 90 -outfile jt.jpg big.jpg
  run jpegtran_turn_optimize jpegtran -optimize -perfect -copy all -rotate 90 -outfile jt.jpg big.jpg
  run djpeg djpeg -outfile dec.ppm big.jpg
  run cjpeg cjpeg -quality 90 -outfile enc.jpg dec.ppm
done

# median NAME COLUMN: the median of one column over the runs.
median() { awk -v c="$2" '{ print $c }' "$1.txt" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cpu() { awk '{ print ($2 + $3) / ($1 > 0 ? $1 : 1) }' "$1.txt" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mb() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }

echo "batch effects, 6000x4000, brightness 10 contrast 20, medians of $RUNS interleaved runs"
printf '%-34s %8s %8s %9s\n' job wall_s peak_MB cpu/wall
for n in fx_jpeg vips_jpeg fx_bmp im_bmp fx_apply vips_eight fx_turn jpegtran_turn jpegtran_turn_optimize djpeg cjpeg; do
  printf '%-34s %8s %8s %9s\n' "$n" "$(median $n 1)" "$(mb "$(median $n 4)")" "$(cpu $n)"
done
echo "render JPEG->JPEG / vips linear:      $(ratio "$(median fx_jpeg 1)" "$(median vips_jpeg 1)")  (target <= 0.7; peak $(mb "$(median fx_jpeg 4)") MB, target <= 64)"
echo "render BMP->BMP / ImageMagick:         $(ratio "$(median fx_bmp 1)" "$(median im_bmp 1)")  (target <= 0.3; peak $(mb "$(median fx_bmp 4)") MB, target <= 64)"
echo "apply 8 JPEGs / eight vips runs:       $(ratio "$(median fx_apply 1)" "$(median vips_eight 1)")  (target <= 0.7; cpu/wall $(cpu fx_apply), target >= 1.6)"
echo "lossless turn / jpegtran -perfect:     $(ratio "$(median fx_turn 1)" "$(median jpegtran_turn 1)")  (target <= 1.2)"
echo "lossless turn / jpegtran -optimize:    $(ratio "$(median fx_turn 1)" "$(median jpegtran_turn_optimize 1)")  (the same work: tables fitted again)"
