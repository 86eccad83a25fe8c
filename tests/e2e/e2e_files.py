"""File-system helpers shared by the wizard and the headless flows; no
display and no accessibility modules needed."""
import os
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO_KIT = os.path.join(HERE, "..", "..", "assets", "demo-kit")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


DEFAULT_DEADLINE = 20.0
POLL = 0.05


def wait_for(what, predicate, deadline=DEFAULT_DEADLINE):
    """Polls predicate until it returns something true; fails after deadline."""
    end = time.monotonic() + deadline
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(POLL)


class WorkerHold:
    """Holds the installation worker of tplsetup_held (the test build) after
    the given entries (0-based) until released, so that a flow acts while
    the copy is surely under way. Pass env to the program's environment."""

    def __init__(self, directory, *entries):
        self.directory = directory
        os.makedirs(directory, exist_ok=True)
        self.env = {"TPL_HOLD_AFTER": ",".join(str(e) for e in entries), "TPL_HOLD_DIR": directory}

    def wait_held(self, entry, process=None, deadline=60.0):
        """Waits until the worker holds after entry; fails if process ends first."""
        held = os.path.join(self.directory, "held-%d" % entry)

        def holding():
            if process is not None and process.poll() is not None:
                raise Failure("tplsetup ended (status %d) before holding after entry %d"
                              % (process.returncode, entry))
            return os.path.exists(held)
        wait_for("the worker to hold after entry %d" % entry, holding, deadline)

    def is_held(self, entry):
        return os.path.exists(os.path.join(self.directory, "held-%d" % entry))

    def release(self, entry):
        with open(os.path.join(self.directory, "release-%d" % entry), "w"):
            pass


def pack_demo_kit(tkx, kit):
    subprocess.run([os.path.join(DEMO_KIT, "pack.sh"), tkx, kit], check=True, stdout=subprocess.DEVNULL)


def pack_tree(tkx, kit, tree):
    subprocess.run([tkx, "pack", "-o", kit, tree], check=True, stdout=subprocess.DEVNULL)


def check_demo_installed(target):
    """Every file of the demo kit stands in target with its bytes and kind."""
    demo = snapshot(os.path.join(DEMO_KIT, "tree"))
    installed = snapshot(target)
    for rel, entry in demo.items():
        check(rel in installed, "missing after installation: " + rel)
        check(installed[rel][:2] == entry[:2], "differs after installation: " + rel)


def snapshot(root):
    """Every entry below root with its kind, bytes and modification time."""
    tree = {}
    for directory, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(directory, name)
            rel = os.path.relpath(path, root)
            if os.path.isdir(path) and not os.path.islink(path):
                tree[rel] = ("dir",)
            else:
                with open(path, "rb") as f:
                    tree[rel] = ("file", f.read(), os.stat(path).st_mtime_ns)
    return tree


def write_tree(root, count, size, groups=30):
    """count files of size random bytes in groups sub-folders; returns root."""
    for i in range(count):
        sub = os.path.join(root, "group%02d" % (i % groups))
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, "t%05d.cfg" % i), "wb") as f:
            f.write(os.urandom(size))
    return root


def temporary_leftovers(tmpdir):
    """The unpacked kits ("txk...") and backup directories ("wz4sx...") left
    in a temporary directory."""
    if not os.path.isdir(tmpdir):
        return []
    return sorted(n for n in os.listdir(tmpdir) if n.startswith("txk") or n.startswith("wz4sx"))
