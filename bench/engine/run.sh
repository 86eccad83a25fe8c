#!/usr/bin/env bash
# Installation speed against tar, in one run:
#  - a synthetic tree (2,000 files, >= 300 MB, nested, mixed compressibility)
#    packed with tkx and with tar -czf; tar -xzf, and the engine alone (kit
#    load + engine run, no pause) fresh and as an upgrade where every file
#    exists and is older, with the share of the fresh time spent unpacking
#    the kit, making the entries and finishing (the last copies and the commit);
#  - the real program, tplsetup usecwd -S without a display (private HOME and
#    TMPDIR, the kit as qbx4.tkx in the current directory, the launcher file
#    naming a target on the same file system), fresh and upgrade, each run
#    paired with the durable floor: `igzip -dc | tar -x && sync -f` of the
#    same tree (left out, with a word, when igzip is not installed);
#  - many small entries: SMALL_FILES files in SMALL_MB (default 50,000 in
#    50 MB), tplsetup -S fresh and upgrade against tar -xzf, and (as the
#    reason a goal may miss) against tar -xzf && sync -f, and the upgrade
#    against tar -xzf over the same older tree; for both trees, the
#    deletion of the older files alone (the upgrade's commit frees them);
#  - its peak memory at 2,000 entries (the main tree), SMALL_FILES entries
#    (fresh and upgrade) and MANY_FILES entries (default 200,000 in 200 MB; 0 leaves it out) and a
#    BIG_MB tree (only when BENCH_DIR has room);
#  - the time from its start to the first window on the screen (the unpacking
#    window or the wizard) under Xvfb, for the demo kit and the main kit;
#  - how its time grows from a tree of SCALE_MB to one four times as large.
# Each time is the median of REPEAT runs (default 5; the machine may be
# shared); every timed run starts after a sync and a pause of PAUSE seconds
# (default 1); all runs that delete files come after all that delete none
# (see below why). The ratios against the goals come last, with the spread
# (lowest and highest of the runs' own ratios) beside the medians' ratio.
#
# Environment: BUILD_DIR (default build/bench), BENCH_DIR (where the trees
# go, default $TMPDIR or /tmp; about 25 GB, as every tree is kept to the end), REPEAT,
# SCALE_MB (size of the 1x tree of the growth measurement, default 100),
# BIG_MB (default 1000; 0 leaves the 1 GB tree out).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/bench}
REPEAT=${REPEAT:-5}
SCALE_MB=${SCALE_MB:-100}
BIG_MB=${BIG_MB:-1000}
SMALL_MB=${SMALL_MB:-50}
SMALL_FILES=${SMALL_FILES:-50000}
MANY_FILES=${MANY_FILES:-200000}
PAUSE=${PAUSE:-1}
if command -v igzip >/dev/null; then
    HAVE_IGZIP=1
else
    HAVE_IGZIP=0
    echo "igzip not found (ISA-L's command-line tool, Debian package isal): the durable floor is left out"
fi

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target tkx engine_bench tplsetup -j 2 >/dev/null
TKX="$BUILD_DIR/tools/tkx/tkx"
DRIVER="$BUILD_DIR/bench/engine/engine_bench"
TPLSETUP="$BUILD_DIR/src/app/tplsetup"
grep -q "kit_raw_inflater_isal" "$BUILD_DIR/build.ninja" && echo "kit inflate: ISA-L" || echo "kit inflate: zlib"

WORK=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/engine_bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/tmp"
# The engine's temporary files and backup live on the same file system as the target.
export TMPDIR="$WORK/tmp"
echo "load before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
# Where the backup and the unpacked kit go decides what a replaced file
# costs (a rename, or a copy across file systems), and a file system that
# discards freed blocks at once makes every deletion wait for the device.
echo "work and TMPDIR: $(stat -f -c %T "$WORK") ($(findmnt -no OPTIONS -T "$WORK" 2>/dev/null || echo "options unknown"))"

python3 "$ROOT/bench/engine/make_tree.py" "$WORK/source"
"$TKX" pack -o "$WORK/qbx4.tkx" "$WORK/source" >/dev/null
tar -czf "$WORK/tree.tar.gz" -C "$WORK/source" .
echo "kit: $(stat -c %s "$WORK/qbx4.tkx") bytes; tar.gz: $(stat -c %s "$WORK/tree.tar.gz") bytes"
MAIN_MB=$(du -sm --apparent-size "$WORK/source" | cut -f 1)

# Trees of earlier runs are set aside, not deleted, until the end: on a file
# system without a journal (ext4 as here) an inode freed in the last seconds
# is not given out again, and every file created right after a deletion of
# thousands makes the kernel scan past them (seconds of system time), which
# would bill one run, tar's or ours, for the clean-up of the one before.
# In memory (tmpfs) deleting costs nothing of the kind.
TRASH="$WORK/trash"
mkdir "$TRASH"
set_aside() {
    local path
    for path in "$@"; do
        [ -e "$path" ] || continue
        if [ -n "$TRASH" ]; then mv "$path" "$(mktemp -u "$TRASH/XXXXXX")"; else rm -rf "$path"; fi
    done
}

now() { date +%s.%N; }
elapsed() { python3 -c "print('%.3f' % ($2 - $1))"; }
median() { python3 -c "import statistics, sys; print(statistics.median(float(x) for x in sys.argv[1:]))" "$@"; }
biggest() { python3 -c "import sys; print(max(int(x) for x in sys.argv[1:]))" "$@"; }

# The runs' own ratios A[i] / B[i]: "lowest highest".
spread() {  # "A1 A2 ..." "B1 B2 ..."
    python3 -c "import sys; a = sys.argv[1].split(); b = sys.argv[2].split(); r = [float(x) / float(y) for x, y in zip(a, b)]; print('%.2f %.2f' % (min(r), max(r)))" "$1" "$2"
}

# Runs a command under /usr/bin/time; prints "seconds peak_kib cpu_seconds"
# (user and system time of the command and the children it waited for, such
# as tar's gzip): on a shared machine the wall time says how long the user
# waits, the CPU time what the work costs.
timed() {
    sync
    sleep "$PAUSE"
    local start end
    start=$(now)
    /usr/bin/time -f "%M %U %S" -o "$WORK/rss" "$@"
    end=$(now)
    echo "$(elapsed "$start" "$end") $(tail -n 1 "$WORK/rss" | awk '{ printf "%s %.2f", $1, $2 + $3 }')"
}

# --- the real program, headless ------------------------------------------
# Its HOME names the target in the launcher file; the kit lies in the
# current directory; no display, so -S runs without a window.
setup_program() {  # KIT TARGET
    rm -rf "$WORK/prog" "$WORK/home"
    mkdir -p "$WORK/prog" "$WORK/home/.Vq/pivotrun"
    ln "$1" "$WORK/prog/qbx4.tkx" 2>/dev/null || cp "$1" "$WORK/prog/qbx4.tkx"
    printf 'ConfigurationTemplatesLocation=%s\n' "$2" > "$WORK/home/.Vq/pivotrun/pivotrun.cfg"
}
# Times one run; prints "seconds peak_kib cpu_seconds". Its messages go to program.log.
timed_program() {
    (cd "$WORK/prog" &&
     timed env -u DISPLAY -u LC_ALL LANG=C.UTF-8 HOME="$WORK/home" TMPDIR="$WORK/tmp" \
         "$TPLSETUP" usecwd -S 2>>"$WORK/program.log")
}
program_succeeded() {
    # The success line, then the counts of what was added, replaced and kept.
    tail -n 2 "$WORK/program.log" | grep -qx "Configuration installed successfully." ||
        { echo "tplsetup failed:" >&2; tail -n 5 "$WORK/program.log" >&2; exit 1; }
}
# One fresh installation of KIT; prints "seconds peak_kib cpu_seconds".
program_fresh() {  # KIT
    # Empty but present: the proposal only takes a directory it can write to.
    set_aside "$WORK/target"; mkdir "$WORK/target"
    setup_program "$1" "$WORK/target"
    timed_program
}
# One upgrade of the older tree TARGET by KIT; prints "seconds peak_kib cpu_seconds".
program_upgrade() {  # KIT TARGET
    setup_program "$1" "$2"
    timed_program
}

# What a durable extraction costs at least: inflate on one core, write on
# the other, then the tree's file system to disk.
durable_floor() {  # TAR_GZ -> "seconds peak_kib cpu_seconds"
    set_aside "$WORK/out"; mkdir "$WORK/out"
    timed sh -c 'igzip -dc "$1" | tar -x -C "$2" && sync -f "$2"' floor "$1" "$WORK/out"
}

# Makes DESTINATION as an upgrade finds it: every file there, older.
older_copy() {  # SOURCE DESTINATION
    set_aside "$2"
    cp -a "$1" "$2"
    find "$2" -type f -exec touch -d "2001-01-01 00:00:00" {} +
}
upgrade_complete() {  # TARGET
    local old
    old=$(find "$1" -type f ! -newermt "2001-01-02" | wc -l)
    [ "$old" -eq 0 ] || { echo "upgrade left $old files unreplaced in $1" >&2; exit 1; }
}
# What freeing the files an upgrade replaced costs by itself on this file
# system, eight at a time as the commit deletes them: work that neither a
# fresh run nor tar into an empty directory does.
deletion_time() {  # OLDER_TREE -> seconds
    local t
    read -r t _ _ < <(timed sh -c 'find "$1" -type f -print0 | xargs -0 -n 64 -P 8 rm -f' delete "$1")
    set_aside "$1"
    echo "$t"
}

# Deletions slow every file made after them here: ext4 without a journal
# gives out no inode freed in the last minute (in the last six once its
# inode table block is written to again), and each file made in the same
# block group checks every such inode anew. Right after 50,000 files were
# deleted, tar -xzf of the small tree took 8 to 20 s instead of 1.5 to 2 s;
# dropping the caches or waiting a minute did not help. So every run that
# deletes nothing (tar, the durable floor, fresh installations) comes
# first, then the ones that delete (upgrades, tar over an older tree, the
# deletion alone), each on an older tree copied before any of them ran.
# Those may still pay for the deletions before them: that counts against
# the upgrade's goals, never for them.

# --- deleting nothing: the main tree ----------------------------------------
tar_times=(); tar_cpus=(); fresh_times=(); upgrade_times=(); unpack_times=(); write_times=(); commit_times=()
floor_times=(); delete_times=(); prog_fresh_times=(); prog_upgrade_times=(); prog_fresh_cpus=(); prog_upgrade_cpus=(); prog_rss=()
for i in $(seq "$REPEAT"); do
    set_aside "$WORK/out"; mkdir "$WORK/out"
    read -r t _ c < <(timed tar -xzf "$WORK/tree.tar.gz" -C "$WORK/out")
    tar_times+=("$t"); tar_cpus+=("$c")

    set_aside "$WORK/fresh"
    read -r t m _ < <(timed "$DRIVER" "$WORK/qbx4.tkx" "$WORK/fresh" "$WORK/phases")
    fresh_times+=("$t")
    read -r u w f < "$WORK/phases"
    unpack_times+=("$u"); write_times+=("$w"); commit_times+=("$f")
    cmp -s "$WORK/source/d00/f0000.cfg" "$WORK/fresh/d00/f0000.cfg" || { echo "fresh install differs" >&2; exit 1; }
    set_aside "$WORK/fresh"

    if [ "$HAVE_IGZIP" = 1 ]; then
        read -r t _ _ < <(durable_floor "$WORK/tree.tar.gz")
        floor_times+=("$t")
        set_aside "$WORK/out"
    fi
    read -r t m c < <(program_fresh "$WORK/qbx4.tkx")
    prog_fresh_times+=("$t"); prog_fresh_cpus+=("$c"); prog_rss+=("$m")
    program_succeeded
    cmp -s "$WORK/source/d00/f0000.cfg" "$WORK/target/d00/f0000.cfg" || { echo "program install differs" >&2; exit 1; }
    set_aside "$WORK/target"
    # Without igzip the array is empty, and taking its last element fails.
    floor_shown="(no igzip)"
    [ "${#floor_times[@]}" -eq 0 ] || floor_shown="${floor_times[-1]} s"
    echo "run $i: tar ${tar_times[-1]} s, engine fresh ${fresh_times[-1]} s ($u unpacking, $w making entries, $f finishing); tplsetup: $floor_shown durable floor, fresh ${prog_fresh_times[-1]} s"
done

# --- first feedback under Xvfb ---------------------------------------------
"$ROOT/assets/demo-kit/pack.sh" "$TKX" "$WORK/demo.tkx" >/dev/null
read -r feedback_small _ < <(python3 "$ROOT/bench/engine/first_feedback.py" "$TPLSETUP" "$WORK/demo.tkx" "$REPEAT")
read -r feedback_big _ < <(python3 "$ROOT/bench/engine/first_feedback.py" "$TPLSETUP" "$WORK/qbx4.tkx" "$REPEAT")
echo "first window: demo kit $feedback_small s, main kit $feedback_big s"

# --- deleting nothing: many small entries -------------------------------------
python3 "$ROOT/bench/engine/make_tree.py" "$WORK/small" "$SMALL_MB" "$SMALL_FILES"
"$TKX" pack -o "$WORK/small.tkx" "$WORK/small" >/dev/null
tar -czf "$WORK/small.tar.gz" -C "$WORK/small" .
small_tar_times=(); small_durable_times=(); small_tar_over_times=(); small_delete_times=(); small_fresh_times=(); small_upgrade_times=(); small_fresh_rss=(); small_upgrade_rss=()
for i in $(seq "$REPEAT"); do
    set_aside "$WORK/out"; mkdir "$WORK/out"
    read -r t _ _ < <(timed tar -xzf "$WORK/small.tar.gz" -C "$WORK/out")
    small_tar_times+=("$t")
    set_aside "$WORK/out"; mkdir "$WORK/out"
    # The same made durable, as the program's run is: what the goal's
    # comparison leaves out.
    read -r t _ _ < <(timed sh -c 'tar -xzf "$1" -C "$2" && sync -f "$2"' durable "$WORK/small.tar.gz" "$WORK/out")
    small_durable_times+=("$t")
    set_aside "$WORK/out"
    read -r t m _ < <(program_fresh "$WORK/small.tkx")
    program_succeeded
    small_fresh_times+=("$t"); small_fresh_rss+=("$m")
    set_aside "$WORK/target"
    echo "small entries run $i: tar -xzf ${small_tar_times[-1]} s (durable ${small_durable_times[-1]} s), fresh ${small_fresh_times[-1]} s"
done

# --- deleting: upgrades, tar over an older tree, the deletion alone ------------
mkdir "$WORK/older"
for i in $(seq "$REPEAT"); do
    for what in engine program delete; do older_copy "$WORK/source" "$WORK/older/$what$i"; done
    for what in program tar delete; do older_copy "$WORK/small" "$WORK/older/small_$what$i"; done
done
for i in $(seq "$REPEAT"); do
    read -r t m _ < <(timed "$DRIVER" "$WORK/qbx4.tkx" "$WORK/older/engine$i")
    upgrade_times+=("$t")
    upgrade_complete "$WORK/older/engine$i"
    set_aside "$WORK/older/engine$i"

    read -r t m c < <(program_upgrade "$WORK/qbx4.tkx" "$WORK/older/program$i")
    program_succeeded
    prog_upgrade_times+=("$t"); prog_upgrade_cpus+=("$c"); prog_rss+=("$m")
    upgrade_complete "$WORK/older/program$i"
    set_aside "$WORK/older/program$i"

    delete_times+=("$(deletion_time "$WORK/older/delete$i")")
    echo "upgrade run $i: engine ${upgrade_times[-1]} s, tplsetup ${prog_upgrade_times[-1]} s, deleting the older files alone ${delete_times[-1]} s"
done
for i in $(seq "$REPEAT"); do
    read -r t m _ < <(program_upgrade "$WORK/small.tkx" "$WORK/older/small_program$i")
    program_succeeded
    small_upgrade_times+=("$t"); small_upgrade_rss+=("$m")
    upgrade_complete "$WORK/older/small_program$i"
    set_aside "$WORK/older/small_program$i"
    # tar doing the upgrade's work: over the same older tree it removes
    # every file before it makes the new one (GNU tar's default), as the
    # upgrade sets each aside; it neither keeps them nor syncs.
    read -r t _ _ < <(timed tar -xzf "$WORK/small.tar.gz" -C "$WORK/older/small_tar$i")
    small_tar_over_times+=("$t")
    set_aside "$WORK/older/small_tar$i"
    small_delete_times+=("$(deletion_time "$WORK/older/small_delete$i")")
    echo "small entries upgrade run $i: tplsetup ${small_upgrade_times[-1]} s, tar -xzf over the older tree ${small_tar_over_times[-1]} s, deleting the older files alone ${small_delete_times[-1]} s"
done

main_peak=$(biggest "${prog_rss[@]}")
floor_median=0; floor_spread="0 0"
if [ "$HAVE_IGZIP" = 1 ]; then
    floor_median=$(median "${floor_times[@]}")
    floor_spread=$(spread "${prog_fresh_times[*]}" "${floor_times[*]}")
fi
upgrade_spread=$(spread "${prog_upgrade_times[*]}" "${prog_fresh_times[*]}")
small_peak=$(biggest "${small_fresh_rss[@]}")
small_upgrade_peak=$(biggest "${small_upgrade_rss[@]}")
small_fresh_spread=$(spread "${small_fresh_times[*]}" "${small_tar_times[*]}")
small_upgrade_spread=$(spread "${small_upgrade_times[*]}" "${small_tar_times[*]}")
set_aside "$WORK/source" "$WORK/small"
rm -f "$WORK/qbx4.tkx" "$WORK/tree.tar.gz" "$WORK/small.tkx" "$WORK/small.tar.gz"

# --- peak memory at other sizes --------------------------------------------
peak_at() {  # MEGABYTES [FILES] -> peak KiB of one fresh run
    set_aside "$WORK/sized"
    python3 "$ROOT/bench/engine/make_tree.py" "$WORK/sized" "$@" >&2
    "$TKX" pack -o "$WORK/sized.tkx" "$WORK/sized" >/dev/null
    set_aside "$WORK/sized"
    local t m
    read -r t m _ < <(program_fresh "$WORK/sized.tkx")
    program_succeeded
    set_aside "$WORK/target"
    rm -f "$WORK/sized.tkx"
    echo "$m"
}
many_peak=0
[ "$MANY_FILES" -gt 0 ] && many_peak=$(peak_at $((MANY_FILES / 1000)) "$MANY_FILES")
big_peak=0
free_kb=$(df -Pk "$WORK" | awk 'NR == 2 { print $4 }')
if [ "$BIG_MB" -gt 0 ] && [ "$free_kb" -gt $((BIG_MB * 1024 * 4)) ]; then
    big_peak=$(peak_at "$BIG_MB")
elif [ "$BIG_MB" -gt 0 ]; then
    echo "no room for a $BIG_MB MB tree: its peak memory is left out"
fi

# --- growth from 1x to 4x -------------------------------------------------
scaled_kit() {  # MEGABYTES: packs scaled_MEGABYTES.tkx and .tar.gz in $WORK
    set_aside "$WORK/scaled"
    python3 "$ROOT/bench/engine/make_tree.py" "$WORK/scaled" "$1" >&2
    "$TKX" pack -o "$WORK/scaled_$1.tkx" "$WORK/scaled" >/dev/null
    tar -czf "$WORK/scaled_$1.tar.gz" -C "$WORK/scaled" .
    set_aside "$WORK/scaled"
}
scaled_run() {  # MEGABYTES -> "program_seconds tar_seconds"
    local t p m
    read -r p m _ < <(program_fresh "$WORK/scaled_$1.tkx")
    program_succeeded
    set_aside "$WORK/target" "$WORK/out"; mkdir "$WORK/out"
    read -r t m _ < <(timed tar -xzf "$WORK/scaled_$1.tar.gz" -C "$WORK/out")
    set_aside "$WORK/out"
    echo "$p $t"
}
# Both sizes in turn within each round, so that a slow spell of the
# machine falls on both rather than on one size's runs.
scale_times() {  # MEGABYTES -> "program_1x program_4x tar_1x tar_4x" (medians)
    local big=$(($1 * 4)) p1=() p4=() t1=() t4=() p t
    scaled_kit "$1"; scaled_kit "$big"
    for i in $(seq "$REPEAT"); do
        read -r p t < <(scaled_run "$1"); p1+=("$p"); t1+=("$t")
        read -r p t < <(scaled_run "$big"); p4+=("$p"); t4+=("$t")
    done
    rm -f "$WORK/scaled_$1.tkx" "$WORK/scaled_$1.tar.gz" "$WORK/scaled_$big.tkx" "$WORK/scaled_$big.tar.gz"
    echo "$(median "${p1[@]}") $(median "${p4[@]}") $(median "${t1[@]}") $(median "${t4[@]}")"
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
    TRASH=""
    echo "growth measured in $GROWTH_BASE (memory)"
else
    echo "growth measured on disk ($GROWTH_BASE has no room): page-cache effects included"
fi
read -r scale1_prog scale4_prog scale1_tar scale4_tar < <(scale_times "$SCALE_MB")

# The per-user lock directory stays, with one lock file per directory that
# was locked: removing a lock file another run may be about to take would
# let two runs lock the same directory. Anything else is a leftover.
leftover=$(find "$WORK/tmp" "$DISK_WORK/tmp" -mindepth 1 ! -path '*/.wz4lock-*' | wc -l)
locks=$(find "$WORK/tmp" "$DISK_WORK/tmp" -mindepth 2 -path '*/.wz4lock-*' | wc -l)
echo "lock files kept in the temporary directory: $locks"
[ "$leftover" -eq 0 ] || echo "warning: $leftover entries left in the temporary directory" >&2
echo "load after: $(cut -d ' ' -f 1-3 /proc/loadavg)"

python3 - "$(median "${tar_times[@]}")" "$(median "${fresh_times[@]}")" "$(median "${upgrade_times[@]}")" \
    "$(median "${unpack_times[@]}")" "$(median "${write_times[@]}")" "$(median "${commit_times[@]}")" \
    "$(median "${prog_fresh_times[@]}")" "$(median "${prog_upgrade_times[@]}")" \
    "$main_peak" "$small_peak" "$small_upgrade_peak" "$many_peak" "$big_peak" "$MAIN_MB" "$BIG_MB" "$SMALL_FILES" "$MANY_FILES" \
    "$feedback_small" "$feedback_big" \
    "$SCALE_MB" "$scale1_prog" "$scale4_prog" "$scale1_tar" "$scale4_tar" \
    "$(median "${tar_cpus[@]}")" "$(median "${prog_fresh_cpus[@]}")" "$(median "${prog_upgrade_cpus[@]}")" \
    "$floor_median" $floor_spread $upgrade_spread \
    "$(median "${small_tar_times[@]}")" "$(median "${small_fresh_times[@]}")" "$(median "${small_upgrade_times[@]}")" \
    $small_fresh_spread $small_upgrade_spread "$(median "${small_durable_times[@]}")" \
    "$(median "${small_tar_over_times[@]}")" "$(median "${small_delete_times[@]}")" "$(median "${delete_times[@]}")" <<'PY'
import sys
(tar, fresh, upgrade, unpack, write, commit, prog_fresh, prog_upgrade,
 main_kib, small_kib, small_up_kib, many_kib, big_kib, main_mb, big_mb, small_files, many_files, fb_small, fb_big,
 scale_mb, s1, s4, t1, t4, tar_cpu, fresh_cpu, upgrade_cpu,
 floor, floor_lo, floor_hi, upgrade_lo, upgrade_hi,
 small_tar, small_fresh, small_upgrade, sf_lo, sf_hi, su_lo, su_hi, small_durable, small_tar_over, small_delete, main_delete) = (float(x) for x in sys.argv[1:])
def verdict(ok): return "ok" if ok else "MISSED"
phases = unpack + write + commit
print("engine: median times: tar -xzf %.3f s, fresh install %.3f s, upgrade install %.3f s" % (tar, fresh, upgrade))
print("engine: fresh install = unpacking the kit %.3f s (%.0f %%), making the entries %.3f s (%.0f %%), "
      "finishing (last copies, commit) %.3f s (%.0f %%)" % (unpack, 100 * unpack / phases, write, 100 * write / phases,
                                       commit, 100 * commit / phases))
print("tplsetup -S: median times: fresh %.3f s, upgrade %.3f s%s" % (
    prog_fresh, prog_upgrade, ", durable floor (igzip -dc | tar -x && sync -f) %.3f s" % floor if floor > 0 else ""))
print("CPU time (user + system): tar -xzf %.2f s (gzip included), tplsetup -S fresh %.2f s, upgrade %.2f s"
      % (tar_cpu, fresh_cpu, upgrade_cpu))
print("tplsetup -S, %d entries: tar -xzf %.3f s (and sync -f: %.3f s; over the older tree: %.3f s), fresh %.3f s, upgrade %.3f s"
      % (small_files, small_tar, small_durable, small_tar_over, small_fresh, small_upgrade))
peaks = [(2000, "%g MB" % main_mb, main_kib), (small_files, "fresh", small_kib), (small_files, "upgrade", small_up_kib)]
if many_kib > 0: peaks.append((many_files, "", many_kib))
if big_kib > 0: peaks.append((None, "%g MB tree" % big_mb, big_kib))
def label(entries, what): return ("%d entries" % entries if entries else what) + (" (%s)" % what if entries and what else "")
print("tplsetup -S: peak RSS " + ", ".join("%s %.1f MiB" % (label(n, w), kib / 1024) for n, w, kib in peaks))
print("tplsetup (wizard, Xvfb): first window after %.3f s (demo kit), %.3f s (%g MB tree)" % (fb_small, fb_big, main_mb))
growth = s4 / s1
print("tplsetup -S: %g MB tree %.3f s, %g MB tree %.3f s: x%.2f for x4 (tar -xzf x%.2f)"
      % (scale_mb, s1, 4 * scale_mb, s4, growth, t4 / t1))
print("--- ratios (goal): median ratio [lowest .. highest of the runs' own]")
if floor > 0:
    r = prog_fresh / floor
    print("tplsetup -S fresh / durable floor = %.2f [%.2f .. %.2f] (<= 0.90) %s" % (r, floor_lo, floor_hi, verdict(r <= 0.9)))
else:
    print("tplsetup -S fresh / durable floor: not measured (no igzip)")
r = prog_upgrade / prog_fresh
print("tplsetup -S upgrade / fresh = %.2f [%.2f .. %.2f] (<= 1.20) %s" % (r, upgrade_lo, upgrade_hi, verdict(r <= 1.2)))
# Freeing the replaced files is work a fresh run does not do.
print("(reason) upgrade: deleting the older files alone, 8 at a time, %.3f s; (upgrade - that) / fresh = %.2f"
      % (main_delete, (prog_upgrade - main_delete) / prog_fresh))
r = small_fresh / small_tar
print("%d entries: fresh / tar -xzf = %.2f [%.2f .. %.2f] (<= 1.00) %s" % (small_files, r, sf_lo, sf_hi, verdict(r <= 1.0)))
r = small_upgrade / small_tar
print("%d entries: upgrade / tar -xzf = %.2f [%.2f .. %.2f] (<= 1.00) %s" % (small_files, r, su_lo, su_hi, verdict(r <= 1.0)))
# Why the two above may miss: tar -xzf makes nothing durable.
print("(reason) %d entries: fresh / (tar -xzf && sync -f) = %.2f, upgrade / (tar -xzf && sync -f) = %.2f"
      % (small_files, small_fresh / small_durable, small_upgrade / small_durable))
# The upgrade replaces what tar into an empty directory only makes: against
# tar replacing the same older tree it pays only its backup and its sync.
print("(reason) %d entries: upgrade / tar -xzf over the same older tree = %.2f"
      % (small_files, small_upgrade / small_tar_over))
# Freeing the files it replaced, which tar into an empty directory never
# does, costs this much by itself here.
print("(reason) %d entries: deleting the older files alone, 8 at a time, %.3f s = %.2f x tar -xzf; "
      "(upgrade - that) / (tar -xzf && sync -f) = %.2f"
      % (small_files, small_delete, small_delete / small_tar, (small_upgrade - small_delete) / small_durable))
for n, w, kib in peaks:
    print("peak RSS at %s = %.1f MiB (< 16) %s" % (label(n, w), kib / 1024, verdict(kib < 16 * 1024)))
print("first window = %.3f s (<= 0.30) %s" % (max(fb_small, fb_big), verdict(max(fb_small, fb_big) <= 0.3)))
print("growth / linear = %.2f (0.90 .. 1.10) %s" % (growth / 4, verdict(0.9 <= growth / 4 <= 1.1)))
print("(no goal) tplsetup -S fresh / tar -xzf = %.2f; CPU time: fresh / tar -xzf = %.2f, upgrade / fresh = %.2f"
      % (prog_fresh / tar, fresh_cpu / tar_cpu, upgrade_cpu / fresh_cpu))
# On a busy machine the page cache bends tar's growth as much; this shows it.
print("(no goal) growth / tar -xzf's growth = %.2f" % (growth / (t4 / t1)))
PY
