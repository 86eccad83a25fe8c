#!/usr/bin/env bash
# Kit load benchmark: KitReader::Load (raw inflate into the temporary file,
# then the tables) against `gzip -dc` of the same body into a file, on
# synthetic trees of mixed compressibility. Prints the time ratio and the
# loader's peak resident memory for each size. Not part of the test command.
#   bench/kit/run.sh            30 MB, 300 MB and 1 GB trees of 2,000 files
#   SIZES="300" bench/kit/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=build/bench-kit
SIZES=${SIZES:-"30 300 1024"}
FILES=${FILES:-2000}
LEVEL=${LEVEL:-9}
RUNS=${RUNS:-3}

cmake -S . -B "$BUILD" -G Ninja -DTPL_BUILD_UI=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target kit_load_bench tkx -j 2 >/dev/null
DRIVER="$BUILD/bench/kit/kit_load_bench"
TKX="$BUILD/tools/tkx/tkx"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/kitbench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export TMPDIR="$WORK"   # the loader's temporary file lands beside the gzip output

now() { date +%s.%N; }

bench_size() {
  local mb=$1
  rm -rf "$WORK/tree" "$WORK"/*.tkx "$WORK"/body* "$WORK"/txk*
  "$DRIVER" tree "$WORK/tree" "$mb" "$FILES"
  "$TKX" pack -o "$WORK/k.tkx" -l "$LEVEL" "$WORK/tree" >/dev/null
  rm -rf "$WORK/tree"
  "$DRIVER" body "$WORK/k.tkx" "$WORK/body"
  local body_bytes
  body_bytes=$(stat -c %s "$WORK/body")
  gzip -"$LEVEL" -c "$WORK/body" > "$WORK/body.gz"
  rm -f "$WORK/body"

  local best_load=999999 best_gzip=999999 peak=0 line t rss start end
  for _ in $(seq "$RUNS"); do
    line=$("$DRIVER" load "$WORK/k.tkx")
    t=${line% *}; rss=${line#* }
    best_load=$(echo "$t $best_load" | awk '{print ($1 < $2) ? $1 : $2}')
    [ "$rss" -gt "$peak" ] && peak=$rss
    start=$(now); gzip -dc "$WORK/body.gz" > "$WORK/body.out"; end=$(now)
    rm -f "$WORK/body.out"
    best_gzip=$(echo "$start $end $best_gzip" | awk '{d = $2 - $1; print (d < $3) ? d : $3}')
  done
  awk -v mb="$mb" -v body="$body_bytes" -v kit="$(stat -c %s "$WORK/k.tkx")" -v l="$best_load" \
      -v g="$best_gzip" -v rss="$peak" 'BEGIN {
    printf "tree %5d MB  body %11d B  kit %11d B  load %7.3f s  gzip -dc %7.3f s  time ratio %.3f (target <= 1.1)  peak RSS %.1f MiB (target < 16)\n",
      mb, body, kit, l, g, l / g, rss / 1024 }'
  rm -f "$WORK/k.tkx" "$WORK/body.gz"
}

echo "kit load benchmark: $FILES files per tree, level $LEVEL, best of $RUNS runs"
for mb in $SIZES; do bench_size "$mb"; done
