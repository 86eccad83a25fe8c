#!/usr/bin/env bash
# Installation speed against tar: a synthetic tree (2,000 files, >= 300 MB,
# nested, mixed compressibility) is packed with tkx and with tar -czf, then
# timed in the same run: tar -xzf, a fresh installation (kit load + engine
# run, no pause) and an upgrade installation where every file exists and is
# older (every file is backed up). Each is timed REPEAT times (default 5)
# and the best time counts.
#
# Then the same through the real program: tplsetup usecwd -S without a
# display (DISPLAY unset, private HOME and TMPDIR, the kit as qbx4.tkx in the
# current directory, the launcher file naming a target on the same file
# system), fresh and upgrade, against tar -xzf; and how its time grows from
# a tree of SCALE_MB to one four times as large. Prints ratios and peak
# memory as its last lines.
#
# Environment: BUILD_DIR (default build/bench), BENCH_DIR (where the trees
# go, default $TMPDIR or /tmp; needs about 4 GB), REPEAT, SCALE_MB (size of
# the 1x tree of the growth measurement, default 100).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/bench}
REPEAT=${REPEAT:-5}
SCALE_MB=${SCALE_MB:-100}

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target tkx engine_bench tplsetup -j 2 >/dev/null
TKX="$BUILD_DIR/tools/tkx/tkx"
DRIVER="$BUILD_DIR/bench/engine/engine_bench"
TPLSETUP="$BUILD_DIR/src/app/tplsetup"

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
fresh_peak=$(biggest "${fresh_rss[@]}")
upgrade_peak=$(biggest "${upgrade_rss[@]}")

# --- the real program, headless ------------------------------------------
# Its HOME names the target in the launcher file; the kit lies in the
# current directory; no display, so -S runs without a window.
setup_program() {  # KIT TARGET
    rm -rf "$WORK/prog" "$WORK/home"
    mkdir -p "$WORK/prog" "$WORK/home/.Vq/pivotrun"
    ln "$1" "$WORK/prog/qbx4.tkx" 2>/dev/null || cp "$1" "$WORK/prog/qbx4.tkx"
    printf 'ConfigurationTemplatesLocation=%s\n' "$2" > "$WORK/home/.Vq/pivotrun/pivotrun.cfg"
}
# Times one run; prints "seconds peak_kib". Its messages go to program.log.
timed_program() {
    (cd "$WORK/prog" &&
     timed env -u DISPLAY -u LC_ALL LANG=C.UTF-8 HOME="$WORK/home" TMPDIR="$WORK/tmp" \
         "$TPLSETUP" usecwd -S 2>>"$WORK/program.log")
}
program_succeeded() {
    [ "$(tail -n 1 "$WORK/program.log")" = "Configuration installed successfully." ] ||
        { echo "tplsetup failed:" >&2; tail -n 5 "$WORK/program.log" >&2; exit 1; }
}
# One fresh installation of KIT; prints "seconds peak_kib".
program_fresh() {  # KIT
    # Empty but present: the proposal only takes a directory it can write to.
    rm -rf "$WORK/target"; mkdir "$WORK/target"
    setup_program "$1" "$WORK/target"
    timed_program
}

prog_fresh_times=(); prog_upgrade_times=(); prog_rss=()
for i in $(seq "$REPEAT"); do
    read -r t m < <(program_fresh "$WORK/qbx4.tkx")
    prog_fresh_times+=("$t"); prog_rss+=("$m")
    program_succeeded
    cmp -s "$WORK/source/d00/f0000.cfg" "$WORK/target/d00/f0000.cfg" || { echo "program install differs" >&2; exit 1; }

    rm -rf "$WORK/target"
    cp -a "$WORK/source" "$WORK/target"
    find "$WORK/target" -type f -exec touch -d "2001-01-01 00:00:00" {} +
    setup_program "$WORK/qbx4.tkx" "$WORK/target"
    read -r t m < <(timed_program)
    program_succeeded
    prog_upgrade_times+=("$t"); prog_rss+=("$m")
    old=$(find "$WORK/target" -type f ! -newermt "2001-01-02" | wc -l)
    [ "$old" -eq 0 ] || { echo "program upgrade left $old files unreplaced" >&2; exit 1; }
    rm -rf "$WORK/target"
    echo "program run $i: fresh ${prog_fresh_times[-1]} s, upgrade ${prog_upgrade_times[-1]} s"
done

# --- growth from 1x to 4x -------------------------------------------------
rm -rf "$WORK/source" "$WORK/qbx4.tkx" "$WORK/tree.tar.gz"
scale_times() {  # MEGABYTES -> "program_best tar_best"
    rm -rf "$WORK/scaled"
    python3 "$ROOT/bench/engine/make_tree.py" "$WORK/scaled" "$1" >&2
    "$TKX" pack -o "$WORK/scaled.tkx" "$WORK/scaled" >/dev/null
    tar -czf "$WORK/scaled.tar.gz" -C "$WORK/scaled" .
    rm -rf "$WORK/scaled"
    local prog=() tars=() t m
    for i in $(seq "$REPEAT"); do
        read -r t m < <(program_fresh "$WORK/scaled.tkx")
        program_succeeded
        prog+=("$t")
        rm -rf "$WORK/target" "$WORK/out"; mkdir "$WORK/out"
        read -r t m < <(timed tar -xzf "$WORK/scaled.tar.gz" -C "$WORK/out")
        tars+=("$t")
        rm -rf "$WORK/out"
    done
    rm -f "$WORK/scaled.tkx" "$WORK/scaled.tar.gz"
    echo "$(best "${prog[@]}") $(best "${tars[@]}")"
}
# The growth is measured in memory when a tmpfs has room: on a disk, a
# small tree ends in the page cache while a large one is slowed to the
# disk's pace once the kernel's dirty-page limit is reached, which bends
# tar's growth as much as ours and says nothing about the program.
DISK_WORK=$WORK
GROWTH_BASE=${GROWTH_DIR:-/dev/shm}
need_kb=$((SCALE_MB * 4 * 1024 * 4))
if [ -d "$GROWTH_BASE" ] && [ -w "$GROWTH_BASE" ] &&
   [ "$(df -Pk "$GROWTH_BASE" | awk 'NR == 2 { print $4 }')" -gt "$need_kb" ]; then
    WORK=$(mktemp -d "$GROWTH_BASE/engine_bench.XXXXXX")
    trap 'rm -rf "$WORK" "$DISK_WORK"' EXIT
    mkdir "$WORK/tmp"
    export TMPDIR="$WORK/tmp"
    echo "growth measured in $GROWTH_BASE (memory)"
else
    echo "growth measured on disk ($GROWTH_BASE has no room): page-cache effects included"
fi
# More runs than the rest: the small tree takes well under a second.
GROWTH_REPEAT=$((REPEAT < 5 ? 5 : REPEAT))
REPEAT=$GROWTH_REPEAT
read -r scale1_prog scale1_tar < <(scale_times "$SCALE_MB")
read -r scale4_prog scale4_tar < <(scale_times "$((SCALE_MB * 4))")

leftover=$(find "$WORK/tmp" -mindepth 1 | wc -l)
[ "$leftover" -eq 0 ] || echo "warning: $leftover entries left in the temporary directory" >&2

python3 - "$tar_best" "$fresh_best" "$upgrade_best" "$fresh_peak" "$upgrade_peak" \
    "$(best "${prog_fresh_times[@]}")" "$(best "${prog_upgrade_times[@]}")" "$(biggest "${prog_rss[@]}")" \
    "$SCALE_MB" "$scale1_prog" "$scale4_prog" "$scale1_tar" "$scale4_tar" <<'PY'
import sys
(tar, fresh, upgrade, fresh_kib, upgrade_kib, prog_fresh, prog_upgrade, prog_kib,
 scale_mb, s1, s4, t1, t4) = (float(x) for x in sys.argv[1:])
def verdict(ok): return "ok" if ok else "MISSED"
print("engine: best times: tar -xzf %.3f s, fresh install %.3f s, upgrade install %.3f s" % (tar, fresh, upgrade))
print("engine: fresh / tar -xzf = %.2f (target <= 1.25) %s" % (fresh / tar, verdict(fresh / tar <= 1.25)))
print("engine: upgrade / fresh = %.2f (target <= 2.00) %s" % (upgrade / fresh, verdict(upgrade / fresh <= 2.0)))
print("engine: peak RSS fresh = %.1f MiB, upgrade = %.1f MiB (target < 16) %s"
      % (fresh_kib / 1024, upgrade_kib / 1024, verdict(max(fresh_kib, upgrade_kib) < 16 * 1024)))
print("tplsetup -S: best times: fresh %.3f s, upgrade %.3f s" % (prog_fresh, prog_upgrade))
print("tplsetup -S: fresh / tar -xzf = %.2f (target <= 1.25) %s" % (prog_fresh / tar, verdict(prog_fresh / tar <= 1.25)))
print("tplsetup -S: upgrade / tar -xzf = %.2f (target <= 2.50) %s"
      % (prog_upgrade / tar, verdict(prog_upgrade / tar <= 2.5)))
print("tplsetup -S: peak RSS = %.1f MiB (target < 16) %s" % (prog_kib / 1024, verdict(prog_kib < 16 * 1024)))
growth = s4 / s1
print("tplsetup -S: %g MB tree %.3f s, %g MB tree %.3f s: x%.2f for x4 (tar -xzf x%.2f)"
      % (scale_mb, s1, 4 * scale_mb, s4, growth, t4 / t1))
print("tplsetup -S: growth / linear = %.2f (target 0.90 .. 1.10) %s"
      % (growth / 4, verdict(0.9 <= growth / 4 <= 1.1)))
# On a busy machine the page cache bends tar's growth as much; this shows it.
print("tplsetup -S: growth / tar -xzf's growth = %.2f" % (growth / (t4 / t1)))
PY
