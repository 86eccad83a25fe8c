#!/usr/bin/env python3
"""Kill campaign: SIGKILL the real installer at random moments of an upgrade,
and its recovery at random moments too, then check that the template
directory is exactly as before (paths, bytes, modes, link targets, file and
directory modification times to the nanosecond), or exactly installed when
the run had committed, and that nothing of ours outlived the kill.

    kill_campaign.py --tplsetup BIN --tkx BIN [--points N] [--large-mb M]
                     [--other-fs DIR] [--work DIR]

Half the points run with TMPDIR on the target's file system, half with it
on another one (--other-fs, default /dev/shm), where every replaced file is
copied to the backup and back. Kills during the recovery (`tkx recover`)
are aimed inside its real duration: such points come in pairs with the
same kill time of the run, the first recovering unkilled and timed, the
second killing the recovery at a moment within that time
(--recovery-pairs: the share of pairs among the draws). Slow with large
files: off by default, not part of CTest. Prints one line per point that
failed and a summary; exit status 1 when any point failed.
"""
import argparse
import ctypes
import hashlib
import os
import random
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

PR_SET_CHILD_SUBREAPER = 36
OLD_NS = 1400000000 * 10**9 + 123456789
KIT_DIRS = 12
SMALL_FILES = 600


def make_source(root, large_mb):
    """The kit's tree: small files in nested folders and three large ones."""
    rng = random.Random(7)
    for i in range(SMALL_FILES):
        rel = os.path.join("g%02d" % (i % KIT_DIRS), "s%02d" % (i % 5), "f%04d.cfg" % i)
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(("kit file %d\n" % i).encode() * rng.randint(1, 200))
    for name in ("large-a.bin", "large-b.bin", "big/large-c.bin"):
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            block = os.urandom(1 << 20)
            for _ in range(large_mb):
                f.write(block)


def make_before(target, large_mb):
    """The user's tree: older versions of every third kit file and of the
    large ones, files of the user's, an empty folder, a FIFO beside them and
    a link where the kit has a file; odd modes; times with nanoseconds."""
    if os.path.lexists(target):
        shutil.rmtree(target)
    os.makedirs(target)
    directories = []
    for i in range(0, SMALL_FILES, 3):
        rel = os.path.join("g%02d" % (i % KIT_DIRS), "s%02d" % (i % 5), "f%04d.cfg" % i)
        path = os.path.join(target, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(b"the user's older version %d\n" % i)
        os.chmod(path, 0o640 if i % 2 else 0o600)
        os.utime(path, ns=(OLD_NS + i, OLD_NS + i))
    for name in ("large-a.bin", "big/large-c.bin"):
        path = os.path.join(target, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            block = b"old" * 349525 + b"o"
            for _ in range(large_mb):
                f.write(block)
        os.utime(path, ns=(OLD_NS, OLD_NS))
    with open(os.path.join(target, "g00", "mine.txt"), "w") as f:
        f.write("not from the kit\n")
    os.utime(os.path.join(target, "g00", "mine.txt"), ns=(OLD_NS + 9, OLD_NS + 9))
    os.makedirs(os.path.join(target, "g01", "empty"))
    os.makedirs(os.path.join(target, "g01", "s01"))
    os.makedirs(os.path.join(target, "g02", "s02"))
    # Beside the kit's files: where a template goes, a FIFO blocks the run.
    os.mkfifo(os.path.join(target, "g01", "s01", "pipe"))
    os.symlink("../s00/f0000.cfg", os.path.join(target, "g02", "s02", "f0002.cfg"))
    os.utime(os.path.join(target, "g02", "s02", "f0002.cfg"), ns=(OLD_NS + 3, OLD_NS + 3), follow_symlinks=False)
    for dirpath, dirnames, filenames in os.walk(target):
        for name in filenames:
            path = os.path.join(dirpath, name)
            if stat.S_ISFIFO(os.lstat(path).st_mode):
                os.utime(path, ns=(OLD_NS + 5, OLD_NS + 5))
        directories.append(dirpath)
    for path in sorted(directories, key=len, reverse=True):
        os.utime(path, ns=(OLD_NS + 77, OLD_NS + 77))


def snapshot(root, directory_times=True):
    result = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            path = os.path.join(dirpath, name)
            st = os.lstat(path)
            kind = stat.S_IFMT(st.st_mode)
            if stat.S_ISREG(st.st_mode):
                h = hashlib.sha1()
                with open(path, "rb") as f:
                    for chunk in iter(lambda: f.read(1 << 20), b""):
                        h.update(chunk)
                content = h.hexdigest()
            elif stat.S_ISLNK(st.st_mode):
                content = os.readlink(path)
            else:
                content = ""
            mtime = st.st_mtime_ns if (directory_times or not stat.S_ISDIR(st.st_mode)) else 0
            result[os.path.relpath(path, root)] = (kind, stat.S_IMODE(st.st_mode), content, mtime)
    st = os.lstat(root)
    result["."] = (stat.S_IFDIR, stat.S_IMODE(st.st_mode), "", st.st_mtime_ns if directory_times else 0)
    return result


def first_difference(expected, actual):
    for path in sorted(set(expected) | set(actual)):
        if expected.get(path) != actual.get(path):
            return "%s: %r -> %r" % (path, expected.get(path), actual.get(path))
    return None


def orphans_alive():
    """Something of ours reparented to this process (the sub-reaper) still runs."""
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return False
        if pid == 0:
            return True


def run_killed(argv, env, cwd, delay):
    """Runs argv, SIGKILLs it after delay seconds unless it ended; returns
    (killed, exit status, output)."""
    process = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        out, _ = process.communicate(timeout=delay)
        return False, process.returncode, out.decode(errors="replace")
    except subprocess.TimeoutExpired:
        process.kill()
        out, _ = process.communicate()
        return True, process.returncode, out.decode(errors="replace")


class Campaign:
    def __init__(self, options, tmpdir, label):
        self.o = options
        self.label = label
        self.work = tempfile.mkdtemp(prefix="kill-campaign-", dir=options.work)
        self.home = os.path.join(self.work, "home")
        self.cwd = os.path.join(self.work, "cwd")
        self.target = os.path.join(self.work, "templates")
        self.tmp = tempfile.mkdtemp(prefix="kill-campaign-tmp-", dir=tmpdir)
        os.makedirs(self.cwd)
        os.makedirs(os.path.join(self.home, ".Vq", "pivotrun"))
        source = os.path.join(self.work, "source")
        make_source(source, options.large_mb)
        subprocess.run([options.tkx, "pack", "-o", os.path.join(self.cwd, "qbx4.tkx"), source],
                       check=True, stdout=subprocess.DEVNULL)
        shutil.rmtree(source)
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.env.update({"HOME": self.home, "TMPDIR": self.tmp, "LANG": "C.UTF-8"})

    def reset(self):
        make_before(self.target, self.o.large_mb)
        with open(os.path.join(self.home, ".Vq", "pivotrun", "pivotrun.cfg"), "w") as f:
            f.write("ConfigurationTemplatesLocation=%s\n" % self.target)

    def install(self, delay):
        return run_killed([self.o.tplsetup, "usecwd", "-S"], self.env, self.cwd, delay)

    def recover(self, delay=None):
        return run_killed([self.o.tkx, "recover"], self.env, self.cwd, delay if delay is not None else 600)

    def clean_temporary(self):
        # Unpacked kits of killed runs: the installer removes them only once
        # they are a minute old, and they would fill a memory file system.
        for name in os.listdir(self.tmp):
            if name.startswith("txk"):
                os.remove(os.path.join(self.tmp, name))

    def run(self, points, rng, stats):
        self.reset()
        self.before = snapshot(self.target)
        start = time.monotonic()
        killed, status, out = self.install(600)
        full = time.monotonic() - start
        if killed or status != 0:
            raise SystemExit("%s: the full run failed: %s" % (self.label, out[-500:]))
        self.installed = snapshot(self.target, directory_times=False)
        print("%s: a full upgrade takes %.2f s" % (self.label, full), flush=True)
        point = 0
        while point < points:
            delay = rng.uniform(0.0, full * 1.05)
            if point + 1 < points and rng.random() < self.o.recovery_pairs:
                took = self.point(point, delay, None, stats)
                self.point(point + 1, delay, rng.uniform(0.0, took), stats)
                point += 2
            else:
                self.point(point, delay, None, stats)
                point += 1

    def point(self, number, delay, recovery_kill, stats):
        """One kill of the run after delay seconds, the recovery killed after
        recovery_kill seconds unless None, then a whole recovery; checks the
        tree and returns how long that whole recovery took."""
        self.reset()
        killed, status, _ = self.install(delay)
        stats["runs killed"] += killed
        problems = []
        if orphans_alive():
            problems.append("a process of the run outlived it")
        recovery_killed = False
        if recovery_kill is not None:
            stats["recoveries aimed"] += 1
            recovery_killed, _, _ = self.recover(recovery_kill)
            stats["recoveries killed"] += recovery_killed
            if orphans_alive():
                problems.append("a process of the recovery outlived it")
        start = time.monotonic()
        _, recover_status, recover_out = self.recover()
        took = time.monotonic() - start
        self.clean_temporary()
        # A run killed after its commit and the removal of its backup
        # leaves nothing to recover: the whole installed tree tells.
        after = snapshot(self.target)
        if first_difference(self.installed, snapshot(self.target, False)) is None:
            stats["installed exactly"] += 1
        elif first_difference(self.before, after) is None:
            stats["restored exactly"] += 1
        else:
            problems.append("tree differs: " + (first_difference(self.before, after) or ""))
        if recover_status != 0:
            problems.append("recovery status %d: %s" % (recover_status, recover_out.strip()[-300:]))
        left = [n for n in os.listdir(self.tmp) if n.startswith("wz4sx")]
        left += [n for n in os.listdir(self.work) if n.startswith(".wz4sx")]
        if left:
            problems.append("backups left: %r" % left)
        stats["points"] += 1
        if problems:
            stats["failed"] += 1
            print("%s point %d (kill after %.3f s%s): %s" % (
                self.label, number, delay,
                ", recovery killed after %.3f s" % recovery_kill if recovery_killed else "",
                "; ".join(problems)), flush=True)
        return took

    def cleanup(self):
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(self.tmp, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tplsetup", required=True)
    parser.add_argument("--tkx", required=True)
    parser.add_argument("--points", type=int, default=100, help="kill points in all (half per file system)")
    parser.add_argument("--large-mb", type=int, default=16, help="size of each of the three large files")
    parser.add_argument("--other-fs", default="/dev/shm", help="a directory on another file system")
    parser.add_argument("--work", default=None, help="where the trees go (the target's file system)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--recovery-pairs", type=float, default=0.5,
                        help="share of draws that make a pair: timed recovery, then one killed within that time")
    options = parser.parse_args()
    options.tplsetup = os.path.abspath(options.tplsetup)
    options.tkx = os.path.abspath(options.tkx)
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    rng = random.Random(options.seed)
    work = options.work or tempfile.gettempdir()
    failed = 0
    for label, tmpdir in (("same file system", work), ("other file system", options.other_fs)):
        if os.stat(tmpdir).st_dev == os.stat(work).st_dev and label != "same file system":
            print("%s: %s is on the target's file system; skipped" % (label, tmpdir))
            continue
        stats = {k: 0 for k in ("points", "runs killed", "recoveries aimed", "recoveries killed",
                                "restored exactly", "installed exactly", "failed")}
        campaign = Campaign(options, tmpdir, label)
        try:
            campaign.run(options.points // 2, rng, stats)
        finally:
            campaign.cleanup()
        print("%s: %s" % (label, ", ".join("%s %d" % kv for kv in stats.items())), flush=True)
        failed += stats["failed"]
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
