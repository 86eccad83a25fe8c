"""Time from the start of tplsetup (the wizard, in its own Xvfb) to the
first window on the screen: the unpacking window of a large kit or the
wizard's own. Each run is ended with SIGTERM once the window shows (the
program then deletes its unpacked kit and exits 2).

Usage: first_feedback.py TPLSETUP KIT RUNS
Prints the median seconds, then each run's."""
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TITLE = "Installing configuration"
DEADLINE = 30.0


def start_xvfb():
    """An Xvfb on a display it picks itself; returns (process, ':N')."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            raise SystemExit("Xvfb did not start")
        number += chunk
    os.close(read)
    return xvfb, ":" + number.decode().strip()


def visible(display):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % TITLE],
                         env=dict(os.environ, DISPLAY=display), stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True).stdout
    return bool(out.split())


class DisplayLost(Exception):
    """The program could not open the display: another test's Xvfb took or
    dropped the number meanwhile. The run is repeated on a new server."""


def one_run(program, folder, display):
    env = dict(os.environ, DISPLAY=display, HOME=os.path.join(folder, "home"),
               TMPDIR=os.path.join(folder, "tmp"), LANG="C.UTF-8")
    env.pop("LC_ALL", None)
    start = time.monotonic()
    with open(os.path.join(folder, "stderr"), "w") as errors:
        process = subprocess.Popen([program, "usecwd"], cwd=folder, env=env,
                                   stdout=subprocess.DEVNULL, stderr=errors)
    while not visible(display):
        if process.poll() is not None or time.monotonic() - start > DEADLINE:
            with open(os.path.join(folder, "stderr")) as errors:
                text = errors.read()
            if process.poll() == 1 and "X display" in text:
                raise DisplayLost()
            raise SystemExit("no window appeared (status %r): %s" % (process.poll(), text))
        time.sleep(0.002)
    seconds = time.monotonic() - start
    process.send_signal(signal.SIGTERM)
    process.wait(DEADLINE)
    left = os.listdir(os.path.join(folder, "tmp"))
    if left:
        raise SystemExit("left in TMPDIR: %r" % left)
    return seconds


def main():
    program, kit, runs = os.path.abspath(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    folder = tempfile.mkdtemp(prefix="first_feedback.", dir=os.path.dirname(os.path.abspath(kit)))
    xvfb = None
    try:
        for sub in ("home", "tmp"):
            os.mkdir(os.path.join(folder, sub))
        try:
            os.link(kit, os.path.join(folder, "qbx4.tkx"))
        except OSError:
            shutil.copy(kit, os.path.join(folder, "qbx4.tkx"))
        xvfb, display = start_xvfb()
        times = []
        attempts = 0
        while len(times) < runs:
            try:
                times.append(one_run(program, folder, display))
            except DisplayLost:
                attempts += 1
                if attempts > 3:
                    raise SystemExit("the display was lost three times")
                xvfb.terminate()
                xvfb.wait()
                xvfb, display = start_xvfb()
        print("%.3f %s" % (statistics.median(times), " ".join("%.3f" % t for t in times)))
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
