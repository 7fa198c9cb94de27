#!/usr/bin/env bash
# Start-up: milliseconds from exec to the main window's first frame and to
# the picture on it, for a one-picture collection of a 6000x4000 JPEG, under
# Xvfb. Each probe (default: BUILD_DIR/bench/startup_probe; more may be given
# to compare builds) runs RUNS times, interleaved; medians are printed with
# the load average.
# Usage: bench/startup.sh BUILD_DIR [PROBE...]
set -euo pipefail

BUILD=${1:-build}
shift || true
PROBES=("$@")
[ ${#PROBES[@]} -gt 0 ] || PROBES=("$(cd "$BUILD" && pwd)/bench/startup_probe")
RUNS=${RUNS:-7}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/pictavo-startup.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

IM=/usr/bin/convert
if command -v magick >/dev/null; then IM=$(command -v magick); fi
command -v xvfb-run >/dev/null || { echo "startup: xvfb-run missing"; exit 1; }
"$IM" -size 6000x4000 -seed 7 plasma:fractal -quality 90 "$WORK/big.jpg"
printf '%s^one photo^\r\n' "$WORK/big.jpg" > "$WORK/one.pvx"

# One display for every run, so its start is not timed.
cat > "$WORK/runs.sh" <<'RUNS'
#!/usr/bin/env bash
set -eu
WORK=$1; RUNS=$2; shift 2
for ((r = 0; r <= RUNS; r++)); do
  for ((i = 1; i <= $#; i++)); do
    probe=${!i}
    out=$(PICTAVO_PROBE_INI="$WORK/p$i.ini" PICTAVO_T0=$(date +%s%N) "$probe" "$WORK/one.pvx")
    # The first round warms the caches and is not counted.
    [ "$r" -gt 0 ] && echo "$out" | sed "s/^/$i /" >> "$WORK/times.txt"
  done
done
RUNS
xvfb-run -a -s "-screen 0 1600x1000x24" bash "$WORK/runs.sh" "$WORK" "$RUNS" "${PROBES[@]}"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((i = 1; i <= ${#PROBES[@]}; i++)); do
  frame=$(awk -v i="$i" '$1 == i && $2 == "first_frame_ms" { print $3 }' "$WORK/times.txt" | median)
  pic=$(awk -v i="$i" '$1 == i && $2 == "picture_ms" { print $3 }' "$WORK/times.txt" | median)
  echo "${PROBES[$((i - 1))]}: first frame ${frame} ms, picture ${pic} ms (medians of $RUNS)"
done
