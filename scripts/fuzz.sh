#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) for the readers of untrusted bytes: the kit
# loader (seeds made with tkx), the journal reader and the launcher file's
# reader. Fuzzes each for a bounded time (about a minute and a half in all).
# Fails on any crash, leak, hang or excessive memory use.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build/fuzz
SECONDS_TO_RUN=${FUZZ_SECONDS:-50}
SECONDS_PER_READER=${FUZZ_READER_SECONDS:-20}
JOBS=${FUZZ_JOBS:-2}

FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DTPL_BUILD_UI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$BUILD" --target kit_load_fuzzer journal_decode_fuzzer launcher_file_fuzzer tkx -j "$JOBS"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tplfuzz.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
TKX="$BUILD/tools/tkx/tkx"

# Seeds: small kits of both language forms, levels 0 and 9, with and without
# the integrity trailer, and one with bytes after the stream.
mkdir -p "$WORK/tree/sub" "$WORK/seeds"
printf 'key=value\n' > "$WORK/tree/a.cfg"
printf '' > "$WORK/tree/empty"
head -c 3000 /dev/urandom > "$WORK/tree/sub/noise.bin"
"$TKX" pack -o "$WORK/seeds/single.tkx" --lang en --product P --vendor V --description a.cfg "$WORK/tree" >/dev/null
"$TKX" pack -o "$WORK/seeds/table.tkx" -l 0 --lang de --product Produkt --lang en --vendor V "$WORK/tree" >/dev/null
head -c -16 "$WORK/seeds/single.tkx" > "$WORK/seeds/bare.tkx"
cat "$WORK/seeds/bare.tkx" > "$WORK/seeds/trailing.tkx"
printf 'trailing bytes' >> "$WORK/seeds/trailing.tkx"

# Fuzzes one target from its seeds for the given seconds; keeps what failed.
fuzz() {
  local target=$1 seconds=$2 max_len=$3
  mkdir -p "$WORK/$target/corpus"
  "$BUILD/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$WORK/$target/" \
    "$WORK/$target/corpus" "$WORK/$target/seeds" 2> "$WORK/$target/fuzz.log" || {
      status=$?
      tail -60 "$WORK/$target/fuzz.log"
      for crash in "$WORK/$target"/crash-* "$WORK/$target"/leak-* "$WORK/$target"/timeout-* "$WORK/$target"/oom-*; do
        [ -e "$crash" ] && cp "$crash" . && echo "kept $(basename "$crash") in $(pwd)"
      done
      echo "fuzzing $target failed (status $status)"
      exit 1
    }
  grep -E '^stat::number_of_executed_units' "$WORK/$target/fuzz.log" || true
  echo "fuzzing $target: no crash, leak or hang in ${seconds}s"
}

# The journal: records of every kind, one cut short, one with bytes after it.
mkdir -p "$WORK/journal_decode_fuzzer/seeds" "$WORK/launcher_file_fuzzer/seeds"
J="$WORK/journal_decode_fuzzer/seeds"
record() { LC_ALL=C printf '%s %d:%s\n' "$1" "${#2}" "$2"; }
{
  record T /tpl/; record D /tpl/new/; record I "2049 131077:/tpl/new"; record N "1 2 1700000000 300:/tpl/"
  record F /tpl/a.cfg; record B /tpl/b.cfg; record M /tpl/b.cfg; record W "133000000000000000:/tpl"
  record R ""; record C ""
} > "$J/steps"
head -c 40 "$J/steps" > "$J/torn"
{ record T /t/; printf 'F 6:/t/\n\n\n'; } > "$J/linefeeds"

# The launcher file: its keys, line ends, bytes no locale spells, long values.
L="$WORK/launcher_file_fuzzer/seeds"
printf 'ConfigurationTemplatesLocation=/home/u/tpl\nInstalledLocation=/opt/x\n=v\nk\n' > "$L/plain"
printf 'ConfigurationTemplatesLocation=C:\\tpl\r\nK=1\r\nk=2\r\nK=1\r\na=b=c' > "$L/crlf"
printf '\xef\xbb\xbfKey=caf\xe9 \xe2\x82 \xf0\x9f\x98\x80\x00end\n' > "$L/bytes"
head -c 3000 /dev/zero | tr '\0' 'x' | sed 's/^/V=/' > "$L/long"

mkdir -p "$WORK/kit_load_fuzzer"
mv "$WORK/seeds" "$WORK/kit_load_fuzzer/seeds"
fuzz kit_load_fuzzer "$SECONDS_TO_RUN" 65536
fuzz journal_decode_fuzzer "$SECONDS_PER_READER" 4096
fuzz launcher_file_fuzzer "$SECONDS_PER_READER" 8192
