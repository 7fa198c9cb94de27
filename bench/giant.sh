#!/usr/bin/env bash
# Giant and slow pictures against the codecs' own tools, whole processes in
# one run under Xvfb (1600x1000), medians of RUNS:
#  - a 20000x13000 JPEG (260 MP, inside the pixel limit) fitted, against
#    `djpeg -scale 1/8` of the same file (the scale the fitted decode uses);
#  - the same in As Is: first paint, peak resident memory of the viewer and
#    its loaders after it and after panning to each corner, and the longest
#    stretch the GUI thread did not turn while panning (wall clock, and the
#    GUI thread's own CPU time in one turn: on a shared machine the wall
#    clock also counts waiting for a core and for the X server);
#  - the corpus's 12-MP HEIC fitted, against `heif-convert` (to y4m, the
#    cheapest output it writes) and `vips copy` (to its own raw format).
# KIND=png|ipng|webp|lwebp|tif makes the giant picture of that kind instead
# (ipng: an interlaced PNG, its kind told by its content; lwebp: a lossless
# WebP; WebP 16000 wide: it allows 16383 at most) and measures only As Is,
# and fitted for a lossless WebP, with the probe of BEFORE (another build
# directory) too in the same run when given.
# Usage: [KIND=png|ipng|webp|lwebp|tif] [BEFORE=OTHER_BUILD_DIR] bench/giant.sh BUILD_DIR
set -euo pipefail

BUILD=$(cd "${1:-build}" && pwd)
PROBE=$BUILD/bench/giant_probe
RUNS=${RUNS:-5}
HEIC=$(cd "$(dirname "$0")/.." && pwd)/../shared/corpus/camera/IMG_5195.HEIC
[ -f "$HEIC" ] || HEIC=$(cd "$(dirname "$0")/.." && pwd)/../../shared/corpus/camera/IMG_5195.HEIC
WORK=$(mktemp -d "${TMPDIR:-/tmp}/pictavo-giant.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
for tool in djpeg heif-convert vips xvfb-run; do
  command -v "$tool" >/dev/null || { echo "giant: $tool missing (scripts/install-deps.sh bench)"; exit 1; }
done
KIND=${KIND:-jpg}
WIDTH=20000
NAME=giant.$KIND
[ "$KIND" = webp ] && WIDTH=16000
[ "$KIND" = lwebp ] && WIDTH=16000 && NAME=giant-lossless.webp
"$PROBE" make "$WORK/$NAME" "$WIDTH" 13000

# The median of each As Is figure over the runs in $1, and its range.
asis() {
  awk '{ $1 = $1 } { print }' "$1" | sed 's/^rss_kib /rss_kib_/' | awk '{ print $1, $2 }' | sort -s -k1,1 |
    awk '{ v[$1] = v[$1] " " $2 } END { for (k in v) print k, v[k] }' | sort |
    while read -r name values; do
      m=$(tr ' ' '\n' <<< "$values" | grep . | median)
      range=$(tr ' ' '\n' <<< "$values" | grep . | sort -n | sed -n '1p;$p' | paste -sd-)
      echo "  $name $m (range $range)"
    done
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

if [ "$KIND" != jpg ]; then
  echo "giant $KIND: ${WIDTH}x13000, $(stat -c %s "$WORK/$NAME") bytes"
  probes=("$PROBE")
  [ -n "${BEFORE:-}" ] && probes+=("$(cd "$BEFORE" && pwd)/bench/giant_probe")
  cat > "$WORK/runs.sh" <<'RUNS'
#!/usr/bin/env bash
set -u
WORK=$1; RUNS=$2; NAME=$3; shift 3
for ((r = 1; r <= RUNS; r++)); do
  n=0
  for probe in "$@"; do
    n=$((n + 1))
    PICTAVO_T0=$(date +%s%N) timeout 300 "$probe" view "$WORK/$NAME" asis >> "$WORK/asis$n.txt"
    if [ "$NAME" = giant-lossless.webp ]; then
      PICTAVO_T0=$(date +%s%N) timeout 300 "$probe" view "$WORK/$NAME" fit >> "$WORK/fit$n.txt"
    fi
  done
done
RUNS
  xvfb-run -a -s "-screen 0 1600x1000x24" bash "$WORK/runs.sh" "$WORK" "$RUNS" "$NAME" "${probes[@]}" 2>/dev/null
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  n=0
  for probe in "${probes[@]}"; do
    n=$((n + 1))
    echo "giant $KIND as is, $probe (median of $RUNS):"
    asis "$WORK/asis$n.txt"
    if [ -f "$WORK/fit$n.txt" ]; then
      echo "giant $KIND fitted, $probe (median of $RUNS):"
      asis "$WORK/fit$n.txt"
    fi
  done
  exit 0
fi

cat > "$WORK/runs.sh" <<'RUNS'
#!/usr/bin/env bash
set -eu
WORK=$1; RUNS=$2; PROBE=$3; HEIC=$4
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
for ((r = 0; r <= RUNS; r++)); do
  t=$(date +%s%N); djpeg -scale 1/8 "$WORK/giant.jpg" > /dev/null; djpeg=$(ms "$t")
  fit=$(PICTAVO_T0=$(date +%s%N) timeout 120 "$PROBE" view "$WORK/giant.jpg" fit | awk '/paint_ms/ { print $2 }')
  t=$(date +%s%N); heif-convert "$HEIC" "$WORK/out.y4m" > /dev/null; heifc=$(ms "$t")
  t=$(date +%s%N); vips copy "$HEIC" "$WORK/out.v"; vipsc=$(ms "$t")
  heic=$(PICTAVO_T0=$(date +%s%N) timeout 120 "$PROBE" view "$HEIC" fit | awk '/paint_ms/ { print $2 }')
  # The first round warms the caches and is not counted.
  [ "$r" -gt 0 ] && echo "$djpeg $fit $heifc $vipsc $heic" >> "$WORK/times.txt"
done
for ((r = 1; r <= RUNS; r++)); do
  PICTAVO_T0=$(date +%s%N) timeout 120 "$PROBE" view "$WORK/giant.jpg" asis >> "$WORK/asis.txt"
done
RUNS
xvfb-run -a -s "-screen 0 1600x1000x24" bash "$WORK/runs.sh" "$WORK" "$RUNS" "$PROBE" "$HEIC" 2>/dev/null

col() { awk -v c="$1" '{ print $c }' "$WORK/times.txt" | median; }
djpeg=$(col 1); fit=$(col 2); heifc=$(col 3); vipsc=$(col 4); heic=$(col 5)
fastest=$(( heifc < vipsc ? heifc : vipsc ))
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "giant JPEG fitted: ${fit} ms, djpeg -scale 1/8 ${djpeg} ms, ratio $(awk -v a="$fit" -v b="$djpeg" 'BEGIN { printf "%.2f", a / b }')"
echo "12-MP HEIC fitted: ${heic} ms, heif-convert ${heifc} ms, vips copy ${vipsc} ms, ratio to the fastest $(awk -v a="$heic" -v b="$fastest" 'BEGIN { printf "%.2f", a / b }')"
# As Is: the median of each figure over the runs, and the stall's range.
echo "giant JPEG as is (median of $RUNS):"
asis "$WORK/asis.txt"
