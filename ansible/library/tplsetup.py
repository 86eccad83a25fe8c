#!/usr/bin/python3
# -*- coding: utf-8 -*-
"""Installs a configuration template kit with tplsetup, the way a fleet needs
it: changed, ok and failed told apart from the installer's JSON document."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: tplsetup
short_description: Install a configuration template kit into a template directory
description:
  - Runs C(tplsetup -S --json) without a display and reports C(changed) exactly
    as the installer reports it in its JSON document (files added or replaced,
    directories made, the launcher file created or updated, an interrupted
    installation rolled back).
  - Check mode runs C(tplsetup --dry-run --json), which changes nothing and says
    whether the run would change anything.
  - Diff mode shows the plan, each entry added, replaced or kept, and what
    happens to the launcher file.
  - A failure's C(msg) is the installer's one-line error and carries its JSON
    error code, for example C(signature-invalid) or C(busy).
options:
  kit:
    description:
      - Path of the kit file (C(qbx4.tkx)) on the managed host.
      - Required with I(state=present).
    type: path
  target:
    description:
      - The template directory. Without it the installer's proposal is used
        (the first writable directory the launcher already knows, else its
        default in the user's home).
      - Required with I(state=absent).
    type: path
  state:
    description:
      - C(present) installs the kit; C(absent) removes what the installations
        recorded in I(target) (C(tplsetup --uninstall)).
    type: str
    choices: [present, absent]
    default: present
  user:
    description:
      - Run the installer as this user, with the user's home as C(HOME), so
        that the launcher file, the templates and the proposal are the user's
        own. Needs the module to run as root unless it is the current user.
      - Without it the installer runs as the module's user.
    type: str
  trusted_keys:
    description:
      - minisign public key files to trust (C(--trusted-key)). With any key
        trusted, here or in C(/etc/tplsetup/trusted-keys/), the kit must carry
        a valid signature by one of them in C(KIT.minisig).
    type: list
    elements: path
    default: []
  record:
    description:
      - Whether a successful installation records the template directory in
        the user's launcher file; C(false) passes C(--no-record).
    type: bool
    default: true
  executable:
    description:
      - The installer to run.
    type: path
    default: tplsetup
  busy_timeout:
    description:
      - Seconds to keep retrying while another installation holds the
        template directory (exit status 75); 0 fails at once with C(busy).
    type: int
    default: 0
notes:
  - Supports check mode and diff mode.
  - The installer's exit statuses are 0 installed, 1 failed (nothing
    changed), 2 cancelled, 3 installed but the launcher file could not be
    written, 64 usage error, 75 busy.
author:
  - tplsetup developers
"""

EXAMPLES = r"""
- name: Deploy the templates to three users
  tplsetup:
    kit: /srv/kits/qbx4.tkx
    target: "/home/{{ item }}/templates/qbx4"
    user: "{{ item }}"
    trusted_keys: [/etc/qbx4/vendor.pub]
    busy_timeout: 60
  loop: [ann, bob, eve]

- name: Remove them again
  tplsetup:
    target: /home/ann/templates/qbx4
    user: ann
    state: absent
"""

RETURN = r"""
exit_status:
  description: The installer's exit status.
  returned: always
  type: int
error_code:
  description: The JSON error code of a failure (C(kit-damaged), C(busy), C(signature-invalid), ...), else null.
  returned: always
  type: str
summary:
  description: Entries added, replaced and kept (and, with newer installers, blocked and directories created).
  returned: when the installer got as far as the entries
  type: dict
signature:
  description: The kit's signature once verified, C(keyId) and C(trustedComment).
  returned: when a trusted key verified the kit
  type: dict
attempts:
  description: How many times the installer ran (more than 1 after waiting for a busy directory).
  returned: always
  type: int
document:
  description: The installer's whole JSON document.
  returned: when the installer printed one
  type: dict
"""

import json
import os
import pwd
import subprocess
import time

from ansible.module_utils.basic import AnsibleModule

EXIT_BUSY = 75
RETRY_INTERVAL = 1.0


def read_outcome(document):
    """What the module needs from the installer's JSON document: changed,
    the error (code and one line) and the plan for diff mode. Documents of
    schema version 1 say it all; older installers' documents (no
    schemaVersion) are read as well as they allow."""
    error = document.get("error") or None
    outcome = {
        "changed": False,
        "error_code": error.get("code") if error else None,
        "error_line": None,
        "summary": document.get("summary"),
        "entries": document.get("entries") or [],
        "launcher_action": None,
        "signature": document.get("signature"),
    }
    if error:
        parts = [error.get("message") or "failed"]
        for key in ("path", "reason"):
            if error.get(key):
                parts.append(error[key])
        outcome["error_line"] = ": ".join(parts)
    if document.get("schemaVersion") == 1:
        outcome["changed"] = bool(document.get("changed"))
        launcher = document.get("launcherFile") or {}
        outcome["launcher_action"] = launcher.get("action")
        outcome["launcher_path"] = launcher.get("path")
        return outcome
    # Before version 1: a run counted "added" and "replaced"; a dry run
    # counted each action as {"count", "bytes"}; the launcher file went
    # unreported.
    summary = document.get("summary") or {}
    if document.get("dryRun"):
        outcome["changed"] = any((summary.get(action) or {}).get("count", 0) > 0 for action in ("add", "replace"))
    else:
        outcome["changed"] = summary.get("added", 0) + summary.get("replaced", 0) > 0
    return outcome


def plan_text(outcome):
    """The plan as diff mode shows it: one line per entry and the launcher file."""
    lines = []
    for entry in outcome["entries"]:
        lines.append("%s %s" % (entry.get("action"), entry.get("name")))
    if outcome.get("launcher_action"):
        lines.append("launcher file %s %s" % (outcome.get("launcher_path") or "", outcome["launcher_action"]))
    summary = outcome.get("summary")
    if summary and not outcome["entries"]:
        lines.append(json.dumps(summary, sort_keys=True))
    return "\n".join(lines) + ("\n" if lines else "")


def user_environment(module, user):
    """The account to run as and its environment; None for the module's own."""
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)  # never a window, whatever the controller forwarded
    if not user:
        return None, env
    try:
        account = pwd.getpwnam(user)
    except KeyError:
        module.fail_json(msg="no such user: %s" % user)
    if os.geteuid() != 0 and account.pw_uid != os.geteuid():
        module.fail_json(msg="running as %s needs root (become: true)" % user)
    env.update({"HOME": account.pw_dir, "USER": user, "LOGNAME": user})
    return account, env


def run_installer(module, argv, account, env):
    """Runs the installer once; (exit status, document or None, stderr)."""
    kwargs = {}
    if account is not None and account.pw_uid != os.geteuid():
        kwargs = {"user": account.pw_uid, "group": account.pw_gid,
                  "extra_groups": os.getgrouplist(account.pw_name, account.pw_gid)}
    try:
        process = subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, cwd=account.pw_dir if account else None, **kwargs)
    except OSError as exc:
        module.fail_json(msg="cannot run %s: %s" % (argv[0], exc), exit_status=None, error_code=None, attempts=0)
    stdout = process.stdout.decode("utf-8", "replace")
    stderr = process.stderr.decode("utf-8", "replace")
    try:
        document = json.loads(stdout) if stdout.strip() else None
    except ValueError:
        document = None
    return process.returncode, document, stderr


def main():
    module = AnsibleModule(
        argument_spec=dict(
            kit=dict(type="path"),
            target=dict(type="path"),
            state=dict(type="str", default="present", choices=["present", "absent"]),
            user=dict(type="str"),
            trusted_keys=dict(type="list", elements="path", default=[]),
            record=dict(type="bool", default=True),
            executable=dict(type="path", default="tplsetup"),
            busy_timeout=dict(type="int", default=0),
        ),
        required_if=[("state", "present", ["kit"]), ("state", "absent", ["target"])],
        supports_check_mode=True,
    )
    p = module.params
    account, env = user_environment(module, p["user"])

    argv = [p["executable"]]
    if p["state"] == "absent":
        argv.append("--uninstall")
    else:
        argv += ["-S", "--kit=" + p["kit"]]
        argv += ["--trusted-key=" + key for key in p["trusted_keys"]]
        if not p["record"]:
            argv.append("--no-record")
    if p["target"]:
        argv.append("--target=" + p["target"])
    argv += ["--json", "--quiet"]

    result = {"changed": False, "exit_status": None, "error_code": None, "attempts": 0, "cmd": argv}
    # Diff mode shows the plan: a dry run first, which changes nothing.
    if module.check_mode or module._diff:
        status, document, stderr = run_installer(module, argv + ["--dry-run"], account, env)
        result["attempts"] += 1
        planned = read_outcome(document) if document is not None else None
        if planned is not None and module._diff:
            result["diff"] = {"prepared": plan_text(planned)}
        if module.check_mode:
            finish(module, result, status, document, stderr, planned, p["state"])

    deadline = time.monotonic() + max(p["busy_timeout"], 0)
    while True:
        status, document, stderr = run_installer(module, argv, account, env)
        result["attempts"] += 1
        if status != EXIT_BUSY or time.monotonic() + RETRY_INTERVAL > deadline:
            break
        time.sleep(RETRY_INTERVAL)
    outcome = read_outcome(document) if document is not None else None
    finish(module, result, status, document, stderr, outcome, p["state"])


def finish(module, result, status, document, stderr, outcome, state):
    result["exit_status"] = status
    if document is not None:
        result["document"] = document
    if outcome is not None:
        result["changed"] = outcome["changed"]
        result["error_code"] = outcome["error_code"]
        for key in ("summary", "signature"):
            if outcome.get(key) is not None:
                result[key] = outcome[key]
    if status == 0:
        module.exit_json(**result)
    if status == 64 and state == "absent" and "--uninstall" in stderr:
        module.fail_json(msg="this tplsetup does not support --uninstall (state=absent needs a newer installer)",
                         stderr=stderr, **result)
    # The one line the installer printed, with the code a playbook can test.
    line = outcome["error_line"] if outcome and outcome["error_line"] else (stderr.strip().splitlines() or [""])[-1]
    code = result["error_code"] or ("busy" if status == EXIT_BUSY else "exit-%d" % status)
    module.fail_json(msg="tplsetup failed (%s): %s" % (code, line), stderr=stderr, **result)


if __name__ == "__main__":
    main()
