#!/usr/bin/env bash
# Builds the kit loader's fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer), makes a seed corpus with tkx and fuzzes for
# about a minute. Fails on any crash, leak, hang or excessive memory use.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build/fuzz
SECONDS_TO_RUN=${FUZZ_SECONDS:-60}
JOBS=${FUZZ_JOBS:-2}

FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DTPL_BUILD_UI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$BUILD" --target kit_load_fuzzer tkx -j "$JOBS"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/kitfuzz.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
TKX="$BUILD/tools/tkx/tkx"

# Seeds: small kits of both language forms, levels 0 and 9, with and without
# the integrity trailer, and one with bytes after the stream.
mkdir -p "$WORK/tree/sub" "$WORK/seeds" "$WORK/corpus"
printf 'key=value\n' > "$WORK/tree/a.cfg"
printf '' > "$WORK/tree/empty"
head -c 3000 /dev/urandom > "$WORK/tree/sub/noise.bin"
"$TKX" pack -o "$WORK/seeds/single.tkx" --lang en --product P --vendor V --description a.cfg "$WORK/tree" >/dev/null
"$TKX" pack -o "$WORK/seeds/table.tkx" -l 0 --lang de --product Produkt --lang en --vendor V "$WORK/tree" >/dev/null
head -c -16 "$WORK/seeds/single.tkx" > "$WORK/seeds/bare.tkx"
cat "$WORK/seeds/bare.tkx" > "$WORK/seeds/trailing.tkx"
printf 'trailing bytes' >> "$WORK/seeds/trailing.tkx"

"$BUILD/fuzz/kit_load_fuzzer" -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=1024 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$WORK/" "$WORK/corpus" "$WORK/seeds" \
  2> "$WORK/fuzz.log" || {
    status=$?
    tail -60 "$WORK/fuzz.log"
    for crash in "$WORK"/crash-* "$WORK"/leak-* "$WORK"/timeout-* "$WORK"/oom-*; do
      [ -e "$crash" ] && cp "$crash" . && echo "kept $(basename "$crash") in $(pwd)"
    done
    echo "fuzzing the kit loader failed (status $status)"
    exit 1
  }
grep -E '^stat::number_of_executed_units|^#[0-9]+ *DONE' "$WORK/fuzz.log" || true
echo "fuzzing the kit loader: no crash, leak or hang in ${SECONDS_TO_RUN}s"
