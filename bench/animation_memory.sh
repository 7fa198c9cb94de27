#!/bin/bash
# Peak memory of the viewer playing an animation against the same window
# showing a still of the same size: VmHWM of the viewer and of its loaders
# (the pool's, one of which plays the animation) after SECONDS of showing each, in
# KiB; one frame of 640x480 is 1,200 KiB. Usage:
# bench/animation_memory.sh [build dir] [seconds]
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
    local viewer loaders=0 list="" each
    viewer=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
    for child in $(pgrep -P "$pid"); do
        each=$(awk '/VmHWM/ {print $2}' "/proc/$child/status")
        loaders=$((loaders + each))
        list="$list $each"
    done
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    printf '%-34s viewer %7d KiB  loaders %7d KiB (%s)\n' "$1" "$viewer" "$loaders" "${list# }"
}

# The stills: the APNG's own bytes without its animation control chunk (a
# still of the same file size, its frames' chunks skipped as unknown), and
# stills of the other animations' canvas sizes.
cat >"$WORK/still.py" <<'PY'
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
python3 "$WORK/still.py" "$CORPUS/apng-icos4d.png" "$WORK/apng-icos4d-still.png"
convert "$CORPUS/webp-anim-rotating-squares.webp[0]" "PNG32:$WORK/still-80.png"
djxl "$CORPUS/jxl-animated-spline.jxl" "$WORK/spline.png" >/dev/null 2>&1
convert "$WORK/spline.png[0]" "PNG32:$WORK/still-320.png"
# Longer ones than the corpus holds: a 60-frame APNG and a 200-frame WebP,
# 640x480, each frame unlike the last, and for each a still of the same
# file size (the APNG without its animation chunk; the WebP's first frame
# padded with a chunk readers skip), so that what differs is the playing.
python3 - "$WORK/apng-60-frames.png" <<'PY'
import struct, sys, zlib
W, H, N = 640, 480, 60
def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
def frame(k):
    rows = bytearray()
    for y in range(H):
        rows.append(0)
        rows += bytes(((x + 7 * k) & 255, (y + 5 * k) & 255, (x * y + k) & 255, 255)[c]
                      for x in range(W) for c in range(4))
    return zlib.compress(bytes(rows), 1)
out, seq = bytearray(b'\x89PNG\r\n\x1a\n'), 0
out += chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, 8, 6, 0, 0, 0))
out += chunk(b'acTL', struct.pack('>II', N, 0))
for k in range(N):
    out += chunk(b'fcTL', struct.pack('>IIIIIHHBB', seq, W, H, 0, 0, 1, 20, 0, 0))
    seq += 1
    data = frame(k)
    if k == 0:
        out += chunk(b'IDAT', data)
    else:
        out += chunk(b'fdAT', struct.pack('>I', seq) + data)
        seq += 1
out += chunk(b'IEND', b'')
open(sys.argv[1], 'wb').write(out)
PY
cat >"$WORK/longwebp.c" <<'C'
#include <stdio.h>
#include <stdint.h>
#include <stdlib.h>
#include <webp/encode.h>
#include <webp/mux.h>
int main(int argc, char** argv) {
    const int w = 640, h = 480, n = 200;
    WebPAnimEncoderOptions options;
    WebPConfig config;
    WebPAnimEncoderOptionsInit(&options);
    WebPConfigInit(&config);
    WebPAnimEncoder* enc = WebPAnimEncoderNew(w, h, &options);
    unsigned char* rgba = malloc((size_t)w * h * 4);
    for (int k = 0; k < n; ++k) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char* p = rgba + 4 * ((size_t)y * w + x);
                p[0] = (unsigned char)(x + 7 * k); p[1] = (unsigned char)(y + 5 * k);
                p[2] = (unsigned char)(x * y + k); p[3] = 255;
            }
        WebPPicture pic;
        WebPPictureInit(&pic);
        pic.width = w; pic.height = h;
        WebPPictureImportRGBA(&pic, rgba, 4 * w);
        WebPAnimEncoderAdd(enc, &pic, 40 * k, &config);
        WebPPictureFree(&pic);
    }
    WebPAnimEncoderAdd(enc, NULL, 40 * n, NULL);
    WebPData out;
    WebPDataInit(&out);
    if (!WebPAnimEncoderAssemble(enc, &out)) return 1;
    FILE* f = fopen(argv[1], "wb");
    fwrite(out.bytes, 1, out.size, f);
    fclose(f);
    /* The still: frame 0 and padding up to the animation's size. */
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = rgba + 4 * ((size_t)y * w + x);
            p[0] = (unsigned char)x; p[1] = (unsigned char)y; p[2] = (unsigned char)(x * y); p[3] = 255;
        }
    uint8_t* still = NULL;
    size_t stillSize = WebPEncodeRGBA(rgba, w, h, 4 * w, 75, &still);
    WebPMux* mux = WebPMuxNew();
    WebPData image = {still, stillSize};
    WebPMuxSetImage(mux, &image, 1);
    WebPData padding = {calloc(out.size, 1), out.size > stillSize ? out.size - stillSize : 0};
    WebPMuxSetChunk(mux, "XPAD", &padding, 1);
    WebPData whole;
    WebPDataInit(&whole);
    if (WebPMuxAssemble(mux, &whole) != WEBP_MUX_OK) return 1;
    f = fopen(argv[2], "wb");
    fwrite(whole.bytes, 1, whole.size, f);
    fclose(f);
    return 0;
}
C
cc -O2 -o "$WORK/longwebp" "$WORK/longwebp.c" -lwebpmux -lwebp
"$WORK/longwebp" "$WORK/webp-200-frames.webp" "$WORK/webp-200-still.webp"
python3 "$WORK/still.py" "$WORK/apng-60-frames.png" "$WORK/apng-60-still.png"
for run in 1 2; do
    measure "apng-60-still-640x480 (run $run)" "$WORK/apng-60-still.png"
    measure "apng-60-frames-640x480 (run $run)" "$WORK/apng-60-frames.png"
    measure "webp-200-still-640x480 (run $run)" "$WORK/webp-200-still.webp"
    measure "webp-200-frames-640x480 (run $run)" "$WORK/webp-200-frames.webp"
done
for run in 1 2; do
    measure "apng-icos4d-still (run $run)" "$WORK/apng-icos4d-still.png"
    measure "apng-icos4d-48-frames (run $run)" "$CORPUS/apng-icos4d.png"
    measure "still-80x80 (run $run)" "$WORK/still-80.png"
    measure "webp-anim-rotating-squares (run $run)" "$CORPUS/webp-anim-rotating-squares.webp"
    measure "still-320x320 (run $run)" "$WORK/still-320.png"
    measure "jxl-animated-spline-60 (run $run)" "$CORPUS/jxl-animated-spline.jxl"
done
