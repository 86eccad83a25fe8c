#!/usr/bin/env bash
# Installation speed against tar: a synthetic tree (2,000 files, >= 300 MB,
# nested, mixed compressibility) is packed with tkx and with tar -czf, then
# timed in the same run: tar -xzf, a fresh installation (kit load + engine
# run, no pause) and an upgrade installation where every file exists and is
# older (every file is backed up). Each is timed REPEAT times (default 5)
# and the best time counts. Prints ratios and peak memory as its last lines.
#
# Environment: BUILD_DIR (default build/bench), BENCH_DIR (where the trees
# go, default $TMPDIR or /tmp; needs about 2 GB), REPEAT.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/bench}
REPEAT=${REPEAT:-5}

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target tkx engine_bench -j 2 >/dev/null
TKX="$BUILD_DIR/tools/tkx/tkx"
DRIVER="$BUILD_DIR/bench/engine/engine_bench"

WORK=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/engine_bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/tmp"
# The engine's temporary files and backup live on the same file system as the target.
export TMPDIR="$WORK/tmp"

python3 "$ROOT/bench/engine/make_tree.py" "$WORK/source"
"$TKX" pack -o "$WORK/qbx4.tkx" "$WORK/source" >/dev/null
tar -czf "$WORK/tree.tar.gz" -C "$WORK/source" .
echo "kit: $(stat -c %s "$WORK/qbx4.tkx") bytes; tar.gz: $(stat -c %s "$WORK/tree.tar.gz") bytes"

now() { date +%s.%N; }
elapsed() { python3 -c "print('%.3f' % ($2 - $1))"; }
best() { python3 -c "import sys; print(min(float(x) for x in sys.argv[1:]))" "$@"; }
biggest() { python3 -c "import sys; print(max(int(x) for x in sys.argv[1:]))" "$@"; }

# Runs a command under /usr/bin/time; prints "seconds peak_kib".
timed() {
    sync
    local start end
    start=$(now)
    /usr/bin/time -f "%M" -o "$WORK/rss" "$@"
    end=$(now)
    echo "$(elapsed "$start" "$end") $(tail -n 1 "$WORK/rss")"
}

tar_times=(); fresh_times=(); upgrade_times=(); fresh_rss=(); upgrade_rss=()
for i in $(seq "$REPEAT"); do
    rm -rf "$WORK/out"; mkdir "$WORK/out"
    read -r t _ < <(timed tar -xzf "$WORK/tree.tar.gz" -C "$WORK/out")
    tar_times+=("$t")

    rm -rf "$WORK/fresh"
    read -r t m < <(timed "$DRIVER" "$WORK/qbx4.tkx" "$WORK/fresh")
    fresh_times+=("$t"); fresh_rss+=("$m")
    cmp -s "$WORK/source/d00/f0000.cfg" "$WORK/fresh/d00/f0000.cfg" || { echo "fresh install differs" >&2; exit 1; }

    rm -rf "$WORK/fresh"
    cp -a "$WORK/source" "$WORK/upgrade"
    find "$WORK/upgrade" -type f -exec touch -d "2001-01-01 00:00:00" {} +
    read -r t m < <(timed "$DRIVER" "$WORK/qbx4.tkx" "$WORK/upgrade")
    upgrade_times+=("$t"); upgrade_rss+=("$m")
    old=$(find "$WORK/upgrade" -type f ! -newermt "2001-01-02" | wc -l)
    [ "$old" -eq 0 ] || { echo "upgrade left $old files unreplaced" >&2; exit 1; }
    rm -rf "$WORK/upgrade" "$WORK/out"
    echo "run $i: tar ${tar_times[-1]} s, fresh ${fresh_times[-1]} s, upgrade ${upgrade_times[-1]} s"
done
leftover=$(find "$WORK/tmp" -mindepth 1 | wc -l)
[ "$leftover" -eq 0 ] || echo "warning: $leftover entries left in the temporary directory" >&2

tar_best=$(best "${tar_times[@]}")
fresh_best=$(best "${fresh_times[@]}")
upgrade_best=$(best "${upgrade_times[@]}")
python3 - "$tar_best" "$fresh_best" "$upgrade_best" "$(biggest "${fresh_rss[@]}")" "$(biggest "${upgrade_rss[@]}")" <<'PY'
import sys
tar, fresh, upgrade, fresh_kib, upgrade_kib = (float(x) for x in sys.argv[1:])
def verdict(ok): return "ok" if ok else "MISSED"
print("best times: tar -xzf %.3f s, fresh install %.3f s, upgrade install %.3f s" % (tar, fresh, upgrade))
print("fresh / tar -xzf = %.2f (target <= 1.25) %s" % (fresh / tar, verdict(fresh / tar <= 1.25)))
print("upgrade / fresh = %.2f (target <= 2.00) %s" % (upgrade / fresh, verdict(upgrade / fresh <= 2.0)))
print("peak RSS fresh = %.1f MiB, upgrade = %.1f MiB (target < 16) %s"
      % (fresh_kib / 1024, upgrade_kib / 1024, verdict(max(fresh_kib, upgrade_kib) < 16 * 1024)))
PY
