#!/usr/bin/env python3
"""End-to-end flows of the installation without a display, one per run:

    headless_flows.py --tplsetup BIN --tkx BIN FLOW

The real tplsetup runs with DISPLAY unset and its own HOME and TMPDIR, the
kit in the current directory (usecwd). Exit status 0 passed, 1 failed,
77 skipped.
"""
import gettext
import json
import os
import re
import signal
import subprocess
import sys
import time

from e2e_files import (SKIP, check, check_demo_installed, ended_on_failure, flows_of, run_flow,
                       snapshot, temporary_leftovers, write_tree)

ENTRIES = 300  # in the kit of the interrupted runs

NOT_FOUND = "Distribution kit file qbx4.tkx not found"
DAMAGED = "Distribution kit file qbx4.tkx corrupted or not designed for this installation program"
NO_SPACE = "Insufficient space available in the directory Temp"
SUCCESS = "Configuration installed successfully."
INSTALL_ERROR = "Installation error"
ERROR_FINISH = "An error occurred during the installation process."
CANCELLED = "Installation canceled. Template directory has not been changed."
TARGET_BUSY = "Another installation is already using the template directory"
NOT_RECORDED = "could not be recorded in the settings file"
PROGRESS = re.compile(r"^Files being copied\.\.\. (\d+)%$")
SUMMARY = re.compile(r"^(\d+) added, (\d+) replaced, (\d+) kept$")
# One line per error: "tplsetup: PATH: what failed: reason".
ERROR_LINE = re.compile(r"^tplsetup: (.+?): ([^:]+)(?:: (.+))?$")


def error_lines(err):
    """The error lines of a run's standard error, as (path, what, reason)."""
    return [m.groups() for m in (ERROR_LINE.match(line) for line in err) if m]


def check_no_windows_numbers(err):
    check(not any(re.search(r"\((?:error )?\d+\)", line) for line in err), "an error number in %r" % err)


def progress_values(lines):
    return [int(m.group(1)) for m in (PROGRESS.match(line) for line in lines) if m]


def expect_preparation_error(sb, text, tmpdir=None):
    status, _, err = sb.run("usecwd", "-S", tmpdir=tmpdir)
    check(status == 1, "exit status %d after a preparation error" % status)
    check(len(err) == 1 and error_lines(err) and error_lines(err)[0][1] == text, "standard error reads %r" % err)
    check_no_windows_numbers(err)
    check(not os.path.exists(sb.default_target), "something was installed")
    check(temporary_leftovers(tmpdir or sb.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(tmpdir or sb.tmp))


def prepared_target(sb, count, size):
    """A kit of count files and a target that already holds older copies of
    every seventh of them and a file of the user's: what an interrupted run
    must leave exactly as it was."""
    tree = write_tree(sb.mkdir("tree"), count, size)
    sb.pack_tree(tree)
    target = sb.mkdir("templates")
    for i in range(0, count, 7):
        rel = os.path.join("group%02d" % (i % 30), "t%05d.cfg" % i)
        os.makedirs(os.path.dirname(os.path.join(target, rel)), exist_ok=True)
        with open(os.path.join(target, rel), "wb") as f:
            f.write(b"the user's older version\n")
        os.utime(os.path.join(target, rel), (1000000000, 1000000000))
    with open(os.path.join(target, "mine.txt"), "w") as f:
        f.write("not from the kit\n")
    sb.name_target(target)
    return target


def interrupt_mid_installation(sb, sig, count):
    """Starts a headless run of count entries, sends sig while its worker is
    held after a tenth of them, lets it go; returns (status, stderr lines)."""
    hold = sb.hold(count // 10)
    process = sb.start_held(hold, "usecwd", "-S")
    with ended_on_failure(process):
        hold.wait_held(count // 10, process)
        process.send_signal(sig)
        status, err = hold.release_and_finish(count // 10, process)
    return status, err.decode().splitlines()


# --- flows -------------------------------------------------------------------

def flow_success(sb):
    """-S without a display installs, records and reports its progress."""
    tree = write_tree(sb.mkdir("tree"), 400, 2048)
    sb.pack_tree(tree)
    status, out, err = sb.run("usecwd", "-S")
    check(status == 0, "exit status %d; stderr %r" % (status, err))
    check(out == [], "standard output %r" % out)
    def contents(root):
        return {rel: entry[:2] for rel, entry in snapshot(root).items()}
    check(contents(sb.default_target) == contents(tree), "the installed tree differs from the kit's")
    check(sb.recorded_locations() == [sb.default_target.rstrip("/")], "recorded %r" % sb.recorded_locations())
    values = progress_values(err)
    # Not a terminal: one line per ten percent, rising, ending at 100.
    check(values and values[0] < 10 and values[-1] == 100, "progress lines %r" % values)
    check(values == sorted(values) and len(set(v // 10 for v in values)) == len(values),
          "more than one line per ten percent: %r" % values)
    check(err[-2:] == [SUCCESS, "400 added, 0 replaced, 0 kept"], "last lines %r" % err[-2:])
    check(temporary_leftovers(sb.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(sb.tmp))


def flow_german(sb):
    """-Lde: the messages in German."""
    sb.pack_demo_kit()
    status, _, err = sb.run("usecwd", "-S", "-Lde")
    check(status == 0, "exit status %d" % status)
    check("Die Konfiguration wurde erfolgreich installiert." in err, "stderr %r" % err)
    # The closing counts too, not the English form of the log.
    check(any(re.fullmatch(r"\d+ hinzugef\u00fcgt, 0 ersetzt, 0 beibehalten", line) for line in err),
          "no German summary: %r" % err)
    check(any(line.startswith("Dateien werden kopiert... ") for line in err), "stderr %r" % err)
    check_demo_installed(sb.default_target)
    os.remove(sb.kit)
    status, _, err = sb.run("usecwd", "-S", "-Lde")
    check(status == 1 and any("Die Datei des Distributionspakets qbx4.tkx wurde nicht gefunden" in line
                              for line in err),
          "no kit in German: %d %r" % (status, err))
    # A kit given by name is named, with its full path.
    missing = os.path.join(sb.mkdir("kits"), "missing.tkx")
    status, _, err = sb.run("usecwd", "-S", "-Lde", "--kit=" + missing)
    check(status == 1 and err[-1].startswith("tplsetup: " + missing + ": ") and "missing.tkx wurde nicht" in err[-1]
          and "qbx4.tkx" not in err[-1], "the given kit is not named: %d %r" % (status, err))


def flow_target(sb):
    """--target: a relative directory from the current one instead of the
    proposal, recorded first; an empty one is refused before anything changes."""
    sb.pack_demo_kit()
    proposed = sb.mkdir("proposed")
    sb.name_target(proposed)
    status, _, err = sb.run("usecwd", "-S", "--target=")
    check(status == 64 and any("--target" in line for line in err), "empty --target: %d %r" % (status, err))
    check(sb.recorded_locations() == [proposed], "launcher file changed: %r" % sb.recorded_locations())

    status, _, err = sb.run("usecwd", "-Lde", "--target=chosen/tpl", "-S")
    check(status == 1 and os.listdir(proposed) == [], "-S after -L is still no switch: %d %r" % (status, err))
    status, _, err = sb.run("usecwd", "-S", "-Lde", "--target=chosen/tpl")
    chosen = os.path.join(sb.app, "chosen", "tpl")
    check(status == 0, "exit status %d; stderr %r" % (status, err))
    check_demo_installed(chosen)
    check(os.listdir(proposed) == [], "installed into the proposal too")
    check(sb.recorded_locations()[:2] == [chosen, proposed], "recorded %r" % sb.recorded_locations())


def flow_log(sb):
    """--log: a log that cannot be opened stops the run before anything
    changes; a good one gets each run's steps appended, with no file contents."""
    sb.pack_demo_kit()
    for bad, expected in (("--log=missing/dir/install.log", 1), ("--log=" + sb.app, 1), ("--log=", 64)):
        status, _, err = sb.run("usecwd", "-S", bad)
        check(status == expected and any("log" in line for line in err), "%s: %d %r" % (bad, status, err))
        check(not os.path.exists(sb.default_target), "%s: installed anyway" % bad)
        check(not os.path.exists(sb.launcher_file), "%s: launcher file written" % bad)

    for run in range(2):
        status, _, err = sb.run("usecwd", "--log=install.log", "-S")
        check(status == 0, "exit status %d; stderr %r" % (status, err))
    with open(os.path.join(sb.app, "install.log"), encoding="utf-8") as f:
        stamped = [line.split(" ", 2) for line in f.read().splitlines()]
    # Each line names its run's process: two runs, two ids.
    check(len({pid for _, pid, _ in stamped}) == 2, "process ids %r" % {pid for _, pid, _ in stamped})
    lines = [text for _, _, text in stamped]
    check(lines.count("exit status 0") == 2 and lines[-1] == "exit status 0", "log ends %r" % lines[-3:])
    check(sum(line.startswith("added: ") for line in lines) > 0, "nothing added in %r" % lines)
    check(sum(line.startswith("kept (up to date): ") for line in lines) ==
          sum(line.startswith("added: ") for line in lines), "the second run did not keep every file")
    recorded = sb.default_target.rstrip("/")
    check(lines.count("launcher file: recorded %s in %s (created)" % (recorded, sb.launcher_file)) == 1 and
          lines.count("launcher file: %s already lists %s first; nothing written" % (sb.launcher_file, recorded)) == 1,
          "no recording in %r" % lines)
    # The second run found every file up to date: no transaction at all.
    check(lines.count("committed") == 1 and lines.count("nothing to do: every file is up to date") == 1,
          "the second run committed: %r" % lines)
    demo = snapshot(sb.default_target)
    check(lines.count("0 added, 0 replaced, %d kept" % sum(line.startswith("added: ") for line in lines)) == 1,
          "no summary of the second run in %r" % lines)
    with open(os.path.join(sb.app, "install.log"), "rb") as f:
        log = f.read()
    for rel, entry in demo.items():
        if entry[0] == "file" and len(entry[1]) > 8:
            check(entry[1] not in log, "contents of %s in the log" % rel)


def flow_no_kit(sb):
    expect_preparation_error(sb, NOT_FOUND)


def flow_damaged_kit(sb):
    with open(sb.kit, "wb") as f:
        f.write(os.urandom(3000))
    expect_preparation_error(sb, DAMAGED)


def flow_flipped_byte(sb):
    """One byte changed in the middle of a good kit is reported as damage."""
    sb.pack_demo_kit()
    with open(sb.kit, "r+b") as f:
        data = bytearray(f.read())
        data[len(data) // 2] ^= 0x01
        f.seek(0)
        f.write(data)
    expect_preparation_error(sb, DAMAGED)


def flow_no_space(sb):
    """A kit three times larger than the free temporary space is refused."""
    tree = sb.mkdir("big")
    with open(os.path.join(tree, "noise.bin"), "wb") as f:
        f.write(os.urandom(200 * 1024))
    sb.pack_tree(tree)
    small = sb.mkdir("small-tmp")
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=128k", "tmpfs", small],
                      stderr=subprocess.DEVNULL).returncode != 0:
        print("cannot mount a tmpfs here; skipped")
        sys.exit(SKIP)
    sb.mounts.append(small)
    expect_preparation_error(sb, NO_SPACE, tmpdir=small)


def flow_failing_installation(sb):
    """A regular file where the kit needs a folder: status 1, rolled back."""
    sb.pack_demo_kit()
    target = sb.blocked_target()
    before = snapshot(target)
    launcher_before = snapshot(os.path.dirname(sb.launcher_file))
    status, _, err = sb.run("usecwd", "-S")
    check(status == 1, "exit status %d" % status)
    check([what for _, what, _ in error_lines(err)] == [INSTALL_ERROR], "stderr %r" % err)
    check_no_windows_numbers(err)
    check(any(ERROR_FINISH in line for line in err), "stderr %r" % err)
    check(snapshot(target) == before, "the template directory changed")
    check(snapshot(os.path.dirname(sb.launcher_file)) == launcher_before, "the launcher file changed")
    check(temporary_leftovers(sb.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(sb.tmp))
    check_one_language_per_run(sb, err)


def compiled_locale(name):
    """The environment that selects a locale the build compiled for the
    tests (LOCPATH), or None when it could not."""
    directory = os.environ.get("TPL_TEST_LOCALES", "")
    if not directory or not os.path.exists(os.path.join(directory, name, "LC_CTYPE")):
        return None
    return {"LOCPATH": directory, "LC_ALL": name}


# Each run in one language: the chosen one where the terminal's encoding can
# show all of its texts, else English throughout, the system's reason
# included. (locale, encoding, -L code, language expected)
ONE_LANGUAGE_RUNS = [
    ("C", "ascii", "de", "en"),
    ("de_DE.UTF-8", "utf-8", "de", "de"),
    ("de_DE.ISO-8859-1", "latin-1", "de", "de"),
    ("ru_RU.KOI8-R", "koi8_r", "de", "en"),
    ("ru_RU.KOI8-R", "koi8_r", "ru", "ru"),
    ("de_DE.ISO-8859-1", "latin-1", "ru", "en"),
]
FAILED_RUN_TEXTS = {
    "de": ["Vorlagenverzeichnis:", ": Installationsfehler: ", "Während der Installation ist ein Fehler"],
    "ru": ["Каталог шаблонов:", ": Ошибка установки: ", "В процессе установки произошла ошибка."],
}


def without_progress(lines):
    """The lines that do not depend on how far the copy got when it failed."""
    return [line for line in lines if not re.search(r"\d+%$", line)]


def check_one_language_per_run(sb, english):
    """The failing run of flow_failing_installation in other locales and
    languages; english is the stderr of the English run."""
    english = without_progress(english)
    for locale, encoding, code, language in ONE_LANGUAGE_RUNS:
        env = {"LC_ALL": "C"} if locale == "C" else compiled_locale(locale)
        if env is None:
            raise SKIP("the build could not compile the locale %s" % locale)
        status, _, err = sb.run("usecwd", "-S", "-L" + code, extra_env=env, encoding=encoding)
        err = without_progress(err)
        where = "%s -L%s: %r" % (locale, code, err)
        check(status == 1, "exit status %d under %s" % (status, where))
        if language == "en":
            check(err == english, "not the English run %r under %s" % (english, where))
            continue
        reason = gettext.translation("libc", "/usr/share/locale", [language]).gettext("Not a directory")
        check(reason != "Not a directory" and any(line.endswith(": " + reason) for line in err),
              "the system's reason %r is missing under %s" % (reason, where))
        for text in FAILED_RUN_TEXTS[language]:
            check(any(line.startswith(text) or text in line for line in err), "%r missing under %s" % (text, where))
        # Paths are in no language.
        check(not {line for line in set(err) & set(english) if not line.startswith("/")},
              "English lines under " + where)


def flow_help_and_version(sb):
    """--help and its spellings, and --version, without a display."""
    for spelling in ("--help", "-h", "-?", "/?"):
        status, out, err = sb.run(spelling)
        check(status == 0, "%s: exit status %d" % (spelling, status))
        check(out and out[0] == "Installing configuration", "%s: heading %r" % (spelling, out[:1]))
        text = "\n".join(out)
        for word in ("usecwd", "-S", "-L<code>", "Exit status:", "pivotrun.cfg", "TMPDIR"):
            check(word in text, "%s: no %r in the usage" % (spelling, word))
        check(err == [], "%s: stderr %r" % (spelling, err))
    status, out, _ = sb.run("-Lde", "--help")
    check(status == 0 and out[0] == "Konfiguration wird installiert" and "Rückgabewert:" in out,
          "German usage: %r" % out[:3])
    # A terminal that cannot show German: English throughout, not a German
    # heading over the English body.
    status, out, _ = sb.run("-Lde", "--help", extra_env={"LC_ALL": "C"}, encoding="ascii")
    check(status == 0 and out[0] == "Installing configuration" and "Exit status:" in out,
          "German usage under C: %r" % out[:3])
    # A language without its own usage: localized heading, English body.
    status, out, _ = sb.run("-Lfr", "--help")
    check(status == 0 and out[0] != "Installing configuration" and "Exit status:" in out,
          "French usage: %r" % out[:3])
    status, out, err = sb.run("--version")
    check(status == 0 and out == ["tplsetup 1.0.0"], "version: %d %r %r" % (status, out, err))
    check(not os.path.exists(sb.default_target), "something was installed")


def flow_no_display(sb):
    """Without -S and without a display: one line naming -S, status 1."""
    sb.pack_demo_kit()
    status, out, err = sb.run("usecwd")
    check(status == 1, "exit status %d" % status)
    check(len(err) == 1 and "-S" in err[0] and "display" in err[0], "stderr %r" % err)
    check(not os.path.exists(sb.default_target), "something was installed")
    status, out, err = sb.run("usecwd", "--json")
    document = json.loads("\n".join(out)) if out else {}
    check(status == 1 and document.get("error", {}).get("code") == "no-display", "--json: %d %r" % (status, out))
    check(temporary_leftovers(sb.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(sb.tmp))


def flow_sigterm(sb):
    """SIGTERM mid-installation: rolled back, status 2, nothing left behind."""
    target = prepared_target(sb, ENTRIES, 2048)
    before = snapshot(target)
    launcher_before = snapshot(os.path.dirname(sb.launcher_file))
    status, err = interrupt_mid_installation(sb, signal.SIGTERM, ENTRIES)
    check(status == 2, "exit status %d; stderr %r" % (status, err[-3:]))
    check(err[-1] == CANCELLED, "last line %r" % err[-1])
    check(snapshot(target) == before, "the template directory changed")
    check(snapshot(os.path.dirname(sb.launcher_file)) == launcher_before, "the launcher file changed")
    check(temporary_leftovers(sb.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(sb.tmp))


def flow_sigkill_recovery(sb):
    """SIGKILL mid-installation; the next start rolls it back and says so."""
    target = prepared_target(sb, ENTRIES, 2048)
    before = snapshot(target)
    status, _ = interrupt_mid_installation(sb, signal.SIGKILL, ENTRIES)
    check(status == -signal.SIGKILL, "exit status %d" % status)
    check(snapshot(target) != before, "the killed run had not changed anything yet")
    check(any(n.startswith("wz4sx") for n in temporary_leftovers(sb.tmp)), "no backup left by the killed run")
    # The killed run's unpacked kit is no longer claimed by anyone; once it
    # is older than a run could be between creating and claiming it, the
    # next start removes it too.
    kits = [n for n in temporary_leftovers(sb.tmp) if n.startswith("txk")]
    check(len(kits) == 1, "unpacked kits after the kill: %r" % kits)
    an_hour_ago = time.time() - 3600
    os.utime(os.path.join(sb.tmp, kits[0]), (an_hour_ago, an_hour_ago))
    # The second start has no kit: it can only recover, then report the kit missing.
    os.remove(sb.kit)
    status, out, err = sb.run("usecwd", "-S", "--json")
    check(status == 1 and error_lines(err[-1:])[0][1] == NOT_FOUND, "second start: %d %r" % (status, err))
    document = json.loads("\n".join(out))
    check(document["changed"] and document["error"]["code"] == "kit-missing" and
          [r["directory"].rstrip("/") for r in document["recovered"]] == [target] and
          document["recovered"][0]["removed"] > 0 and document["recovered"][0]["complete"],
          "second start's document: %r" % document)
    check(any(line.startswith("An interrupted installation was rolled back.") and
              "Template directory: " + target.rstrip("/") in line for line in err),
          "no report of the recovery: %r" % err)
    check(snapshot(target) == before, "the template directory is not as before the killed run")
    check(any("unpacked kit file" in line for line in err), "no report of the removed kit: %r" % err)
    check(temporary_leftovers(sb.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(sb.tmp))


def flow_concurrent_run(sb):
    """A second run into the directory of a running one is refused before it
    changes anything, names the directory and exits 1; the first goes on."""
    target = prepared_target(sb, ENTRIES, 2048)
    hold = sb.hold(ENTRIES // 10)
    first = sb.start_held(hold, "usecwd", "-S")
    with ended_on_failure(first):
        hold.wait_held(ENTRIES // 10, first)
        during = snapshot(target)
        launcher_during = snapshot(os.path.dirname(sb.launcher_file))
        # Foretold by a dry run, then met: 75, worth a retry.
        status, out, err = sb.run("usecwd", "--dry-run")
        check(status == 75 and any(line.startswith("lock: " + target) for line in out),
              "dry run: exit status %d; %r %r" % (status, out[-4:], err))
        status, _, err = sb.run("usecwd", "-S")
        check(status == 75, "second run: exit status %d; stderr %r" % (status, err))
        busy = [line for line in error_lines(err) if line[:2] == (target + "/", TARGET_BUSY)]
        check(len(busy) == 1, "second run names no busy directory: %r" % err)
        holder = re.match(r"held by process (\d+) of user .+ \(uid \d+\)$", busy[0][2] or "") if busy else None
        check(holder is not None, "second run names no holder of the lock: %r" % err)
        check(snapshot(target) == during, "the second run changed the template directory")
        check(snapshot(os.path.dirname(sb.launcher_file)) == launcher_during, "the launcher file changed")
        first_status, first_err = hold.release_and_finish(ENTRIES // 10, first)
    check(first_status == 0, "first run: exit status %d; %r" % (first_status, first_err[-300:]))
    check(temporary_leftovers(sb.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(sb.tmp))


def flow_usage_error(sb):
    """A misspelled long option changes nothing and exits 64 with the usage
    line; the toolkit's own options and anything after "--" are no error."""
    sb.pack_demo_kit()
    proposed = sb.mkdir("proposed")
    sb.name_target(proposed)
    launcher_before = snapshot(os.path.dirname(sb.launcher_file))
    status, out, err = sb.run("usecwd", "-S", "--tagret=" + sb.mkdir("elsewhere"))
    check(status == 64, "exit status %d" % status)
    check(err[:1] == ["tplsetup: unknown option '--tagret'"] and len(err) == 2 and err[1].startswith("Usage: "),
          "stderr %r" % err)
    check(out == [] and os.listdir(proposed) == [], "something was installed")
    check(snapshot(os.path.dirname(sb.launcher_file)) == launcher_before, "the launcher file changed")
    # Given a long option, a forgotten --target= is no /S switch and -n no
    # habit to pass over; with --json the error is a document too.
    for stray, said in (("/srv/templates/qbx4", "did you mean --target=/srv/templates/qbx4?"), ("-n", "'-n'")):
        status, out, err = sb.run("--kit=" + sb.kit, stray, "--json")
        check(status == 64 and said in err[0], "%s: exit status %d; %r" % (stray, status, err))
        document = json.loads("\n".join(out))
        check(document["error"]["code"] == "usage" and said in document["error"]["message"] and
              document["exitStatus"] == 64 and document["schemaVersion"] == 1, "%s: %r" % (stray, document))
    check(os.listdir(proposed) == [] and not os.path.exists(sb.default_target), "something was installed")
    status, _, err = sb.run("usecwd", "-S", "--class", "Tpl", "--name=tpl", "--", "--not-an-option")
    check(status == 0, "toolkit options: exit status %d; %r" % (status, err))
    check_demo_installed(proposed)


def flow_dry_run(sb):
    """--dry-run needs neither a display nor -S, prints the plan and changes
    nothing; --json gives it as one document; the installation after it does
    what it said, and a second one has nothing to do."""
    sb.pack_demo_kit()
    before = snapshot(sb.root)
    status, out, err = sb.run("usecwd", "--dry-run")
    check(status == 0 and err == [], "exit status %d; stderr %r" % (status, err))
    check(snapshot(sb.root) == before, "the dry run changed something")
    check(not os.path.exists(sb.default_target), "the dry run made the target")
    added = [line for line in out if line.startswith("add  ")]
    check(len(added) > 0 and out[-1].endswith("exit status 0"), "plan %r" % out)
    check(any(line.startswith("launcher file: ") and line.endswith(": would be created") for line in out),
          "plan %r" % out)

    status, out, _ = sb.run("usecwd", "--dry-run", "--json")
    plan = json.loads("\n".join(out))
    check(status == 0 and plan["exitStatus"] == 0 and plan["error"] is None and plan["changed"], "JSON plan %r" % plan)
    check([e["action"] for e in plan["entries"]] == ["add"] * len(added), "actions %r" % plan["entries"])
    check(plan["target"] == sb.default_target and plan["lock"]["available"], "JSON plan %r" % plan)
    check(snapshot(sb.root) == before, "the JSON dry run changed something")

    status, out, err = sb.run("usecwd", "-S", "--json")
    summary = json.loads("\n".join(out))
    check(status == 0 and summary["summary"]["added"] == len(added) and summary["changed"] and
          summary["launcherFile"]["action"] == "created", "first run: %d %r %r" % (status, summary, err[-2:]))
    # Up to date: the dry run says so, the run keeps everything and says so,
    # and with --quiet says nothing at all.
    status, out, _ = sb.run("usecwd", "--dry-run", "--json")
    check(status == 0 and {e["action"] for e in json.loads("\n".join(out))["entries"]} == {"keep"},
          "second plan %r" % out)
    status, out, err = sb.run("usecwd", "-S", "--quiet", "--json")
    summary = json.loads("\n".join(out))
    check(status == 0 and err == [], "quiet run: %d %r" % (status, err))
    check(summary["summary"]["kept"] == len(added) and summary["summary"]["added"] == 0, "quiet run: %r" % summary)
    check(not summary["changed"] and summary["launcherFile"]["action"] == "unchanged", "quiet run: %r" % summary)
    check(temporary_leftovers(sb.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(sb.tmp))


def flow_not_recorded(sb):
    """A launcher file that cannot be written: foretold by the dry run, and
    the run installs, names the file on one line and exits 3."""
    sb.pack_demo_kit()
    os.makedirs(os.path.join(sb.launcher_file, "in-the-way"))
    status, out, _ = sb.run("usecwd", "--dry-run")
    check(status == 3 and any(line.startswith("launcher file: " + sb.launcher_file + ": cannot be written: ")
                              for line in out), "dry run: %d %r" % (status, out[-3:]))
    status, _, err = sb.run("usecwd", "-S")
    check(status == 3, "exit status %d; %r" % (status, err))
    check_demo_installed(sb.default_target)
    check(any(path == sb.launcher_file and NOT_RECORDED in what for path, what, _ in error_lines(err)),
          "stderr %r" % err)


FLOWS = flows_of(globals())

if __name__ == "__main__":
    sys.exit(run_flow(FLOWS))
