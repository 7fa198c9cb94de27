#!/usr/bin/env bash
# Renders every demo picture through every effect option of pictavo-fx at a
# few values, to .bmp and to .jpg, and prints the sha256 of every output and
# the exit status of every render that wrote none. Run it before and after a
# change that must not alter a pixel, and compare the two lists. A tool, not
# a test.
#
#   scripts/render-hashes.sh [BUILD_DIR] > hashes.txt
#
# Environment: VALUES (default "1 37 -20 100"), JOBS (default 2).
set -euo pipefail

cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
VALUES=${VALUES:-"1 37 -20 100"}
JOBS=${JOBS:-2}
FX=$(realpath "$BUILD_DIR/pictavo-fx")
DEMO=$(realpath "$BUILD_DIR/demo")
OUT=$(mktemp -d /tmp/render-hashes.XXXXXX)
trap 'rm -rf "$OUT"' EXIT

# The options as the program lists them in its usage text.
mapfile -t OPTIONS < <("$FX" --help | sed -n '/^OPTIONS/,/^  render also/p' |
    grep -o -- '--[a-z-]*' | grep -v -- '--show-properties' | sort -u)
[[ ${#OPTIONS[@]} -gt 0 ]] || { echo "render-hashes: no options found" >&2; exit 1; }

jobs_file="$OUT/jobs"
for picture in "$DEMO"/*.bmp "$DEMO"/*.jpg "$DEMO"/*.jpeg; do
    [[ -e $picture ]] || continue
    for option in "${OPTIONS[@]}"; do
        for value in $VALUES; do
            for ext in bmp jpg; do
                name="$(basename "$picture")${option}=${value}.${ext}"
                printf '%s\t%s\t%s\n' "$picture" "$option=$value" "$name"
            done
        done
    done
done >"$jobs_file"

render() {
    local picture setting name
    IFS=$'\t' read -r picture setting name <<<"$1"
    local status=0
    "$FX" render "$setting" "$picture" "$OUT/$name" >/dev/null 2>&1 || status=$?
    if [[ -f $OUT/$name ]]; then
        echo "$(sha256sum <"$OUT/$name" | cut -d' ' -f1)  $name"
        rm -f "$OUT/$name"
    else
        echo "exit-$status  $name"
    fi
}
export -f render
export FX OUT

nice xargs -d '\n' -n 1 -P "$JOBS" bash -c 'render "$1"' _ <"$jobs_file" | sort -k2 >"$OUT/list"
cat "$OUT/list"
# Settings of which at least one output was written, and the files written.
renders=$(grep -v '^exit-' "$OUT/list" | awk '{ sub(/\.(bmp|jpg)$/, "", $2); print $2 }' | sort -u | wc -l)
files=$(grep -vc '^exit-' "$OUT/list" || true)
echo "render-hashes: $renders renders, $files files, $(grep -c '^exit-' "$OUT/list" || true) refused" >&2
