#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz, writes the seed corpora
# and runs every target for FUZZ_SECONDS (default 60) one after another.
# FUZZ_TARGETS="fuzz_bmp fuzz_ini" narrows the list. Findings land in
# build-fuzz/fuzz/artifacts/<target>/ and make the run fail.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${FUZZ_BUILD:-build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}
ALL="fuzz_bmp fuzz_jpeg fuzz_picture fuzz_plugin fuzz_heif fuzz_raw fuzz_jxl fuzz_svg fuzz_animation fuzz_webp fuzz_exif fuzz_collection fuzz_ini fuzz_chm fuzz_sitemap"
TARGETS=${FUZZ_TARGETS:-$ALL}

if [ ! -f "$BUILD/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPICTAVO_FUZZ=ON -DPICTAVO_TESTS=OFF -DPICTAVO_BENCH=OFF
fi
# shellcheck disable=SC2086
cmake --build "$BUILD" --target fuzz_make_seeds $TARGETS -j "$JOBS"

OUT="$BUILD/fuzz"
SEEDS="$OUT/seeds"
rm -rf "$SEEDS"
# The HEIF encoder behind the seeds (x265) keeps a few buffers to its end.
ASAN_OPTIONS=detect_leaks=0 "$OUT/fuzz_make_seeds" "$SEEDS"

# Real camera RAW, JPEG XL and SVG files: no encoder of ours makes them.
MORE=../shared/corpus/more
[ -d "$MORE" ] || MORE=../../shared/corpus/more
mkdir -p "$SEEDS/raw" "$SEEDS/jxl" "$SEEDS/svg" "$SEEDS/animation"
for f in "$MORE"/*; do
  case "${f,,}" in
    *.cr2 | *.cr3 | *.crw | *.dng | *.rw2 | *.kdc | *.nef) cp "$f" "$SEEDS/raw/" ;;
    *.jxl) cp "$f" "$SEEDS/jxl/" ;;
    *.svg) cp "$f" "$SEEDS/svg/" ;;
  esac
  # The animation target's first byte picks the kind.
  case "${f,,}" in
    *.gif) k='\000' ;; *.webp) k='\001' ;; *apng*.png) k='\002' ;; *.jxl) k='\003' ;; *.avif) k='\004' ;; *) k= ;;
  esac
  if [ -n "$k" ]; then { printf "$k"; cat "$f"; } >"$SEEDS/animation/$(basename "$f")"; fi
done

# A help file compiled by the same tool the program's help is built with.
mkdir -p "$SEEDS/chm" "$OUT/chm-src"
cat >"$OUT/chm-src/t.hhp" <<'HHP'
[OPTIONS]
Compiled file=t.chm
Contents file=t.hhc
Default topic=a.htm
Title=T

[FILES]
a.htm
HHP
printf '<html><body><p>A <a href="b.htm#x">b</a></p></body></html>\n' >"$OUT/chm-src/a.htm"
head -c 400 "$SEEDS/sitemap/contents.hhc" | sed 's#pages/welcome.htm#a.htm#' >"$OUT/chm-src/t.hhc"
printf '</UL></BODY></HTML>\n' >>"$OUT/chm-src/t.hhc"
(cd "$OUT/chm-src" && chmcmd --no-html-scan --verbosity 0 t.hhp >/dev/null && cp t.chm "../seeds/chm/t.chm")

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen

status=0
for t in $TARGETS; do
  mkdir -p "$OUT/corpus/$t" "$OUT/artifacts/$t"
  echo "== $t for ${SECONDS_EACH}s"
  seeds="$SEEDS/${t#fuzz_}"
  [ -d "$seeds" ] || seeds="$SEEDS/bmp"
  # A RAW's preview sits hundreds of kilobytes in: shorter inputs never reach it.
  max_len=65536
  [ "$t" = fuzz_raw ] && max_len=600000
  if ! "$OUT/$t" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=3072 -malloc_limit_mb=1200 \
      -max_len="$max_len" -print_final_stats=1 \
      -artifact_prefix="$OUT/artifacts/$t/" "$OUT/corpus/$t" "$seeds" >"$OUT/$t.log" 2>&1; then
    echo "!! $t found a problem: see $OUT/$t.log and $OUT/artifacts/$t/"
    status=1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "$OUT/$t.log" || tail -n 3 "$OUT/$t.log"
done
exit $status
