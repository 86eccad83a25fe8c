#!/usr/bin/env python3
"""The Ansible module as a playbook uses it: ansible-playbook against
localhost (connection local) deploys a signed kit to three throwaway users'
directories; check mode before and after, the run and a second run, a
damaged kit, a busy directory and state absent, each judged from what
Ansible reports and what is on disk. Needs root (for the users) and
ansible-core; skipped, saying why, without either."""

import argparse
import fcntl
import json
import os
import pwd
import random
import shutil
import stat
import string
import subprocess
import sys
import tempfile
import threading

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
LIBRARY = os.path.join(HERE, "..", "..", "ansible", "library")

PLAYBOOK = """\
- hosts: localhost
  connection: local
  gather_facts: false
  environment:
    TMPDIR: "{{ tmpdir }}"
  tasks:
    - name: deploy the templates
      tplsetup:
        kit: "{{ kit }}"
        target: "{{ homes[item] }}/templates"
        user: "{{ item }}"
        trusted_keys: ["{{ key }}"]
        executable: "{{ tplsetup }}"
        busy_timeout: "{{ busy_timeout | default(0) }}"
        state: "{{ state | default('present') }}"
      loop: "{{ users }}"
      ignore_errors: true
"""


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


class Fleet:
    """Three users with homes in a private folder, the programs where they
    can run them, and a kit signed by a key made now."""

    def __init__(self, args):
        self.root = tempfile.mkdtemp(prefix="tplsetup-ansible-")
        os.chmod(self.root, 0o755)
        self.users = []
        self.tmpdir = self.mkdir("tmp")
        os.chmod(self.tmpdir, 0o1777)
        bin_dir = self.mkdir("bin")
        self.tplsetup = os.path.join(bin_dir, "tplsetup")
        shutil.copy2(args.tplsetup, self.tplsetup)
        self.tkx = args.tkx

    def mkdir(self, *parts):
        path = os.path.join(self.root, *parts)
        os.makedirs(path, exist_ok=True)
        return path

    def add_users(self, count):
        tag = "".join(random.choice(string.ascii_lowercase) for _ in range(5))
        for i in range(count):
            name = "tpa%s%d" % (tag, i)
            home = os.path.join(self.root, "home", name)
            subprocess.run(["useradd", "-M", "-U", "-d", home, "-s", "/usr/sbin/nologin", name], check=True)
            self.users.append(name)
            os.makedirs(home)
            account = pwd.getpwnam(name)
            os.chown(home, account.pw_uid, account.pw_gid)

    def home(self, user):
        return pwd.getpwnam(user).pw_dir

    def target(self, user):
        return os.path.join(self.home(user), "templates")

    def make_kit(self):
        tree = self.mkdir("tree")
        os.makedirs(os.path.join(tree, "sub"), exist_ok=True)
        for name, text in (("a.cfg", "alpha\n"), ("sub/b.cfg", "beta\n")):
            with open(os.path.join(tree, name), "w") as f:
                f.write(text)
        self.kit = os.path.join(self.root, "qbx4.tkx")
        subprocess.run([self.tkx, "pack", "-o", self.kit, tree], check=True, stdout=subprocess.DEVNULL)
        self.key = os.path.join(self.root, "vendor.pub")
        secret = os.path.join(self.root, "vendor.key")
        subprocess.run(["minisign", "-G", "-W", "-p", self.key, "-s", secret], check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["minisign", "-S", "-s", secret, "-m", self.kit, "-t", "qbx4 for the fleet"], check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # A copy with one byte flipped, under the same signature.
        self.damaged = os.path.join(self.root, "damaged.tkx")
        with open(self.kit, "rb") as f:
            data = bytearray(f.read())
        data[len(data) // 2] ^= 0x01
        with open(self.damaged, "wb") as f:
            f.write(data)
        shutil.copy(self.kit + ".minisig", self.damaged + ".minisig")
        for path in (self.kit, self.kit + ".minisig", self.damaged, self.damaged + ".minisig", self.key):
            os.chmod(path, 0o644)

    def playbook(self, *options, **variables):
        """Runs the playbook; the module's result for each user, in order."""
        playbook = os.path.join(self.root, "deploy.yml")
        with open(playbook, "w") as f:
            f.write(PLAYBOOK)
        values = {"kit": self.kit, "key": self.key, "tplsetup": self.tplsetup, "tmpdir": self.tmpdir,
                  "users": self.users, "homes": {u: self.home(u) for u in self.users}}
        values.update(variables)
        extra = os.path.join(self.root, "vars.json")
        with open(extra, "w") as f:
            json.dump(values, f)
        env = dict(os.environ)
        env.update({
            "ANSIBLE_LIBRARY": os.path.abspath(LIBRARY),
            "ANSIBLE_HOME": self.mkdir("ansible-home"),
            "ANSIBLE_LOCAL_TEMP": self.mkdir("ansible-tmp"),
            "ANSIBLE_STDOUT_CALLBACK": "json",
            "ANSIBLE_PYTHON_INTERPRETER": "/usr/bin/python3",
            "ANSIBLE_RETRY_FILES_ENABLED": "0",
            "ANSIBLE_NOCOLOR": "1",
        })
        result = subprocess.run(["ansible-playbook", "-i", "localhost,", "-e", "@" + extra, playbook] + list(options),
                                env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, cwd=self.root)
        try:
            report = json.loads(result.stdout)
            return report["plays"][0]["tasks"][0]["hosts"]["localhost"]["results"]
        except (ValueError, KeyError, IndexError):
            raise Failure("ansible-playbook %s printed no results:\n%s\n%s" % (options, result.stdout[-3000:],
                                                                              result.stderr[-3000:]))

    def installed(self, user):
        """The files in the user's target, with their owner's name."""
        found = {}
        target = self.target(user)
        for directory, _, files in os.walk(target):
            for name in files:
                path = os.path.join(directory, name)
                with open(path) as f:
                    found[os.path.relpath(path, target)] = (f.read(), pwd.getpwuid(os.stat(path).st_uid).pw_name)
        return found

    def cleanup(self):
        for user in self.users:
            uid = pwd.getpwnam(user).pw_uid
            subprocess.run(["userdel", user], stderr=subprocess.DEVNULL)
            shutil.rmtree(os.path.join(tempfile.gettempdir(), ".wz4lock-%d" % uid), ignore_errors=True)
        shutil.rmtree(self.root, ignore_errors=True)


def expect(results, what, changed=None, failed=False, text=None):
    check(len(results) == 3, "%s: %d results" % (what, len(results)))
    for r in results:
        label = "%s, %s: %s" % (what, r.get("item"), r.get("msg"))
        check(bool(r.get("failed")) == failed, label + " (failed is %r)" % r.get("failed"))
        if changed is not None:
            check(bool(r.get("changed")) == changed, label + " (changed is %r)" % r.get("changed"))
        if text is not None:
            check(text in (r.get("msg") or ""), label + " (without %r)" % text)


def prepared_diff(result):
    """The plan diff mode showed (Ansible keeps one diff or a list of them)."""
    diff = result.get("diff") or {}
    if isinstance(diff, list):
        diff = diff[0] if diff else {}
    return diff.get("prepared", "")


def flows(fleet):
    expected = {"a.cfg": "alpha\n", os.path.join("sub", "b.cfg"): "beta\n"}

    results = fleet.playbook("--check", "--diff")
    expect(results, "check mode before", changed=True)
    check(all("add a.cfg" in prepared_diff(r) for r in results), "the diff shows no plan: %r" % results[0].get("diff"))
    check(not any(os.path.exists(fleet.target(u)) for u in fleet.users), "check mode installed something")

    results = fleet.playbook("--diff")
    expect(results, "the run", changed=True)
    check(all("add a.cfg" in prepared_diff(r) for r in results), "the run's diff: %r" % results[0].get("diff"))
    for user, r in zip(fleet.users, results):
        check(r.get("signature", {}).get("trustedComment") == "qbx4 for the fleet", "signature: %r" % r)
        check(fleet.installed(user) == {name: (text, user) for name, text in expected.items()},
              "%s: installed %r" % (user, fleet.installed(user)))
        launcher = os.path.join(fleet.home(user), ".Vq", "pivotrun", "pivotrun.cfg")
        check(os.path.exists(launcher) and pwd.getpwuid(os.stat(launcher).st_uid).pw_name == user,
              "%s: the launcher file is missing or not the user's" % user)

    expect(fleet.playbook(), "the second run", changed=False)
    expect(fleet.playbook("--check"), "check mode after", changed=False)

    results = fleet.playbook(kit=fleet.damaged)
    expect(results, "the damaged kit", failed=True, text="(signature-invalid): The signature of the distribution kit")
    check(all(fleet.installed(u) == {n: (t, u) for n, t in expected.items()} for u in fleet.users),
          "the damaged kit changed a target")

    # Another installation holds the first user's directory for a while:
    # without patience that user's task fails busy, with it it waits.
    directory = os.open(fleet.target(fleet.users[0]), os.O_RDONLY | os.O_DIRECTORY)
    try:
        fcntl.flock(directory, fcntl.LOCK_EX)
        results = fleet.playbook()
        check(results[0].get("failed") and "(busy)" in results[0].get("msg", ""), "busy: %r" % results[0])
        release = threading.Timer(3.0, fcntl.flock, (directory, fcntl.LOCK_UN))
        release.start()
        results = fleet.playbook(busy_timeout=60)
        release.join()
    finally:
        os.close(directory)
    expect(results, "waiting for a busy directory", changed=False)
    check(results[0].get("attempts", 0) > 1, "the busy directory was not retried: %r" % results[0])

    results = fleet.playbook(state="absent")
    help_text = subprocess.run([fleet.tplsetup, "--help"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, env={"PATH": os.environ.get("PATH", "")}).stdout
    if "--uninstall" in help_text:
        expect(results, "state absent", changed=True)
        check(not any(fleet.installed(u) for u in fleet.users), "state absent left files")
    else:
        # An installer without --uninstall is told apart from a failed removal.
        expect(results, "state absent", failed=True, text="does not support --uninstall")
        print("note: this tplsetup has no --uninstall; state absent checked for its refusal only")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tplsetup", required=True)
    parser.add_argument("--tkx", required=True)
    args = parser.parse_args()
    if os.geteuid() != 0:
        print("skipped: the playbook test makes three throwaway users and must run as root")
        return SKIP
    for program in ("ansible-playbook", "minisign", "useradd"):
        if shutil.which(program) is None:
            print("skipped: %s is not installed (the test command installs ansible-core and minisign)" % program)
            return SKIP
    fleet = Fleet(args)
    try:
        fleet.add_users(3)
        fleet.make_kit()
        flows(fleet)
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    finally:
        fleet.cleanup()
    print("passed: the playbook over three users")
    return 0


if __name__ == "__main__":
    sys.exit(main())
