#!/bin/bash
# Peak memory of the viewer playing an animation against the same window
# showing a still of the same size: VmHWM of the viewer and of its loaders
# (the animation's own loader included) after SECONDS of showing each, in
# KiB. Usage: bench/animation_memory.sh [build dir] [seconds]
# Runs under xvfb-run; the pictures are copied into a temporary folder so
# that the window's strip holds that picture alone.
set -eu
BUILD=${1:-build}
SECONDS_SHOWN=${2:-8}
CORPUS=$(cd "$(dirname "$0")/../.." && pwd)/shared/corpus/more
[ -d "$CORPUS" ] || CORPUS=$(cd "$(dirname "$0")/../../.." && pwd)/shared/corpus/more
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

measure() { # name picture
    local dir="$WORK/$1"
    mkdir -p "$dir/home"
    cp "$2" "$dir/"
    HOME="$dir/home" XDG_CONFIG_HOME="$dir/home" XDG_CACHE_HOME="$dir/home" \
        "$BUILD/pictavo" "$dir/$(basename "$2")" &
    local pid=$!
    sleep "$SECONDS_SHOWN"
    local viewer loaders=0
    viewer=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
    for child in $(pgrep -P "$pid"); do
        loaders=$((loaders + $(awk '/VmHWM/ {print $2}' "/proc/$child/status")))
    done
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    printf '%-34s viewer %7d KiB  loaders %7d KiB\n' "$1" "$viewer" "$loaders"
}

# The stills: the APNG's own bytes without its animation control chunk (a
# still of the same file size, its frames' chunks skipped as unknown), and
# stills of the other animations' canvas sizes.
python3 - "$CORPUS/apng-icos4d.png" "$WORK/apng-icos4d-still.png" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
out, at = bytearray(data[:8]), 8
while at < len(data):
    length, = struct.unpack('>I', data[at:at + 4])
    if data[at + 4:at + 8] != b'acTL':
        out += data[at:at + 12 + length]
    at += 12 + length
open(sys.argv[2], 'wb').write(out)
PY
convert "$CORPUS/webp-anim-rotating-squares.webp[0]" "PNG32:$WORK/still-80.png"
djxl "$CORPUS/jxl-animated-spline.jxl" "$WORK/spline.png" >/dev/null 2>&1
convert "$WORK/spline.png[0]" "PNG32:$WORK/still-320.png"
for run in 1 2; do
    measure "apng-icos4d-still (run $run)" "$WORK/apng-icos4d-still.png"
    measure "apng-icos4d-48-frames (run $run)" "$CORPUS/apng-icos4d.png"
    measure "still-80x80 (run $run)" "$WORK/still-80.png"
    measure "webp-anim-rotating-squares (run $run)" "$CORPUS/webp-anim-rotating-squares.webp"
    measure "still-320x320 (run $run)" "$WORK/still-320.png"
    measure "jxl-animated-spline-60 (run $run)" "$CORPUS/jxl-animated-spline.jxl"
done
