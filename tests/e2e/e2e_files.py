"""The sandbox, the flow runner and the file-system helpers shared by the
wizard and the headless flows; no display and no accessibility modules
needed."""
import argparse
import contextlib
import os
import shutil
import subprocess
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO_KIT = os.path.join(HERE, "..", "..", "assets", "demo-kit")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


DEFAULT_DEADLINE = 20.0
RUN_DEADLINE = 60
POLL = 0.05
SKIP = 77  # CTest's SKIP_RETURN_CODE


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


class Sandbox:
    """A private HOME, TMPDIR and application folder for one flow, and a fake
    xdg-open that logs what it is asked to open. The kit lies in the
    application folder, which is also the program's current directory."""

    def __init__(self, options):
        self.options = options
        # Inside the folder of the run's own session when there is one, so
        # that the session's end removes it even if this process aborts.
        self.root = tempfile.mkdtemp(prefix="tplsetup-e2e-", dir=os.environ.get("TPL_E2E_ROOT"))
        self.home = self.mkdir("home")
        self.tmp = self.mkdir("tmp")
        self.app = self.mkdir("app")
        self.bin = self.mkdir("bin")
        self.kit = os.path.join(self.app, "qbx4.tkx")
        self.xdg_log = os.path.join(self.root, "xdg-open.log")
        fake = os.path.join(self.bin, "xdg-open")
        with open(fake, "w") as f:
            f.write('#!/bin/sh\nfor a in "$@"; do printf "%s\\n" "$a" >> "$XDG_OPEN_LOG"; done\n')
        os.chmod(fake, 0o755)
        self.mounts = []

    def mkdir(self, *parts):
        path = os.path.join(self.root, *parts)
        os.makedirs(path, exist_ok=True)
        return path

    def cleanup(self):
        for mount in reversed(self.mounts):
            subprocess.run(["umount", mount], stderr=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)

    def install_program(self, program, name="tplsetup"):
        """The kit is looked for beside the executable's real path, so the
        program is linked (or copied) into the application folder."""
        target = os.path.join(self.app, name)
        try:
            os.link(program, target)
        except OSError:
            shutil.copy2(program, target)
        return target

    def xdg_open_calls(self):
        if not os.path.exists(self.xdg_log):
            return []
        with open(self.xdg_log) as f:
            return f.read().splitlines()

    # --- the kit and what an installation leaves --------------------------
    def pack_demo_kit(self):
        pack_demo_kit(self.options.tkx, self.kit)

    def minisign_key(self, name):
        """A minisign key pair made now, without a password: the public key
        file's path; None when minisign is not installed."""
        public = os.path.join(self.root, name + ".pub")
        try:
            subprocess.run(["minisign", "-G", "-W", "-p", public, "-s", os.path.join(self.root, name + ".key")],
                           check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        except (OSError, subprocess.CalledProcessError):
            return None
        return public

    def pack_tree(self, tree):
        pack_tree(self.options.tkx, self.kit, tree)

    def hold(self, *entries):
        return WorkerHold(self.mkdir("hold"), *entries)

    @property
    def default_target(self):
        return os.path.join(self.home, ".qbx4", "Vq", "qbx4", "tmplts") + "/"

    @property
    def launcher_file(self):
        return os.path.join(self.home, ".Vq", "pivotrun", "pivotrun.cfg")

    def name_target(self, target):
        """Makes the launcher file name target, so it is proposed."""
        os.makedirs(os.path.dirname(self.launcher_file), exist_ok=True)
        with open(self.launcher_file, "w") as f:
            f.write("ConfigurationTemplatesLocation=%s\n" % target)

    def blocked_target(self):
        """A proposed template directory the demo kit cannot install into (a
        file stands where it needs a folder), with a file it would replace."""
        target = self.mkdir("templates")
        with open(os.path.join(target, "network"), "w") as f:
            f.write("a file where the kit wants a folder\n")
        os.makedirs(os.path.join(target, "desktop"))
        with open(os.path.join(target, "desktop", "panel.cfg"), "w") as f:
            f.write("an older panel that the kit would replace\n")
        os.utime(os.path.join(target, "desktop", "panel.cfg"), (1000000000, 1000000000))
        self.name_target(target)
        return target

    def recorded_locations(self):
        if not os.path.exists(self.launcher_file):
            return []
        with open(self.launcher_file, encoding="utf-8") as f:
            return [line.split("=", 1)[1].strip() for line in f
                    if line.startswith("ConfigurationTemplatesLocation=")]

    # --- running the program ----------------------------------------------
    def env(self, tmpdir=None, display=None):
        """The program's environment: the sandbox's folders, a plain UTF-8
        locale, and no display unless one is given."""
        env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "LC_ALL", "LANGUAGE", "NO_AT_BRIDGE"):
            env.pop(name, None)
        env.update({
            "HOME": self.home,
            "TMPDIR": tmpdir or self.tmp,
            "PATH": self.bin + os.pathsep + env.get("PATH", "/usr/bin:/bin"),
            "LANG": "C.UTF-8",
            "XDG_OPEN_LOG": self.xdg_log,
            # The machine's own trusted keys decide no flow.
            "TPLSETUP_TRUSTED_KEYS_DIR": os.path.join(self.root, "trusted-keys"),
        })
        if display:
            env["DISPLAY"] = display
        return env

    def run(self, *args, tmpdir=None, extra_env=None, encoding="utf-8"):
        """Runs tplsetup without a display to its end; returns (status,
        stdout lines, stderr lines), read in the given encoding."""
        env = self.env(tmpdir)
        env.update(extra_env or {})
        result = subprocess.run([self.options.tplsetup] + list(args), cwd=self.app,
                                env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=RUN_DEADLINE)
        return (result.returncode, result.stdout.decode(encoding).splitlines(),
                result.stderr.decode(encoding).splitlines())

    def start(self, program, *args, extra_env=None):
        """Starts program without a display; its standard error is a pipe."""
        env = self.env()
        env.update(extra_env or {})
        return subprocess.Popen([program] + list(args), cwd=self.app, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def start_held(self, hold, *args):
        """Starts the test build that holds its worker as hold says."""
        return self.start(self.options.tplsetup_held, *args, extra_env=hold.env)


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

    def wait_left(self, entry, process=None, deadline=DEFAULT_DEADLINE):
        """Waits until the worker, released after entry, has gone on."""
        left = os.path.join(self.directory, "left-%d" % entry)

        def gone_on():
            if process is not None and process.poll() is not None:
                raise Failure("tplsetup ended (status %d) before leaving the hold after entry %d"
                              % (process.returncode, entry))
            return os.path.exists(left)
        wait_for("the worker to leave the hold after entry %d" % entry, gone_on, deadline)

    def is_held(self, entry):
        return os.path.exists(os.path.join(self.directory, "held-%d" % entry))

    def held_since(self, entry):
        """When the worker began to hold after entry, by the file clock."""
        return os.stat(os.path.join(self.directory, "held-%d" % entry)).st_mtime_ns

    def mark(self, name):
        """Now, by the same file clock as the worker's marks."""
        path = os.path.join(self.directory, name)
        with open(path, "w"):
            pass
        return os.stat(path).st_mtime_ns

    def release(self, entry):
        with open(os.path.join(self.directory, "release-%d" % entry), "w"):
            pass

    def release_and_finish(self, entry, process):
        """Releases the worker held after entry and waits for process to end;
        returns its exit status and standard error (bytes)."""
        self.release(entry)
        _, err = process.communicate(timeout=RUN_DEADLINE)
        return process.returncode, err


@contextlib.contextmanager
def ended_on_failure(process):
    """Kills process when the block fails, so that no held run outlives its flow."""
    try:
        yield process
    except BaseException:
        process.kill()
        process.communicate()
        raise


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


def run_flow(flows, make_context=None):
    """Parses the command line (the programs, the flow's name) and runs
    that flow in a fresh sandbox.
    make_context(options, sandbox) gives what the flows take (the sandbox
    itself by default); its stop() and diagnostics(), where it has them, run
    on the way out. Returns the exit status: 0 passed, 1 failed; a flow
    exits with SKIP itself."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--tplsetup")
    parser.add_argument("--tplsetup-held", required=True)
    parser.add_argument("--tkx", required=True)
    parser.add_argument("flow", choices=sorted(flows))
    options = parser.parse_args()
    sandbox = Sandbox(options)
    ctx = None
    try:
        ctx = make_context(options, sandbox) if make_context else sandbox
        flows[options.flow](ctx)
        print("passed:", options.flow)
        return 0
    except Failure as failure:
        print("FAILED:", options.flow, "-", failure)
        if hasattr(ctx, "diagnostics"):
            print(ctx.diagnostics())
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        if hasattr(ctx, "stop"):
            ctx.stop()
        sandbox.cleanup()


def flows_of(namespace):
    """The flow functions (flow_NAME) of a module's namespace, by NAME."""
    return {name[len("flow_"):]: f for name, f in namespace.items() if name.startswith("flow_")}
