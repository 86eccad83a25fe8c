#!/usr/bin/python3
"""End-to-end flows of the wizard, one per run:

    wizard_flows.py --tplsetup BIN --tkx BIN FLOW

Exit status 0 passed, 1 failed, 77 skipped.
"""
import gettext
import os
import signal
import subprocess
import sys

import pyatspi

from e2e_driver import BACK, BROWSE, CANCEL, CHECK_BUTTON, SKIP, Failure, WizardContext, run_flows, wait_for
from e2e_files import (DEMO_KIT, check, check_demo_installed, flows_of, snapshot, temporary_leftovers,
                       write_tree)

TITLE = "Installing configuration"
GERMAN_TITLE = "Konfiguration wird installiert"
WELCOME = "Welcome to the product installation program Demo configuration templates (Sample Vendor)."
GENERIC_WELCOME = "Welcome to the product installation program <Product> (<Vendor>)."
PROMPT = "Specify path to template directory."
SUCCESS = "Configuration installed successfully."
FAILURE = "An error occurred during the installation process."
CANCELLED = "Installation canceled. Template directory has not been changed."
QUESTION = "Do you really want to cancel installation?"
# The flows that act mid-copy: a kit of ENTRIES files, the worker held after
# entry HELD_AT (and HELD_AGAIN_AT) until the flow lets it go.
ENTRIES = 60
HELD_AT = 10
HELD_AGAIN_AT = 30
EMPTY_NOTICE = "Specify correct path to template directory."
COPYING = "Files being copied..."
ROLLBACK = "Restoring the template directory..."
COMPLETE = "Copying complete..."
KEPT_NEWER = "kept because the copy already there is as new or newer"
DEMO_FILES = 6


class Context(WizardContext):
    """The shipped tplsetup and the test build that holds its worker, both
    in the sandbox's application folder."""

    def __init__(self, options, sandbox):
        self.program = sandbox.install_program(options.tplsetup)
        self.held_program = sandbox.install_program(options.tplsetup_held, "tplsetup_held")
        super().__init__(options, sandbox)

    def start(self, *args, **kwargs):
        return self.start_program(self.program, args, **kwargs)

    def start_held(self, hold, *args):
        """The test build, its worker held as hold says."""
        return self.start_program(self.held_program, args, extra_env=hold.env)

    def check_installed_tree(self):
        """The default target holds exactly what tree (packed by a flow) holds."""
        def contents(root):
            return {rel: entry[:2] for rel, entry in snapshot(root).items()}
        tree = os.path.join(self.sandbox.root, "tree")
        check(contents(self.sandbox.default_target) == contents(tree), "the installed tree differs from the kit's")

    def go_to_directory_page(self, title=TITLE, welcome=WELCOME):
        w = self.wizard
        w.wait_main_window(title)
        w.wait_page_text(welcome)
        w.advance()
        w.wait_page_text(PROMPT)


# --- flows -------------------------------------------------------------------

def flow_install_and_open(ctx):
    """Next, Next, Finish: installs, records the launcher file, opens the description."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start()
    ctx.go_to_directory_page()
    check(w.entry_text() == ctx.sandbox.default_target, "proposed %r" % w.entry_text())
    check(w.button_state("Back") == (True, True), "Back not sensitive on the directory page")
    w.advance()
    w.wait_page_text(SUCCESS)
    # Below the success text: how many files went where; nothing was there
    # before, so nothing was replaced or kept.
    w.wait_page_text("%d files installed in\n%s" % (DEMO_FILES, ctx.sandbox.default_target))
    check(not any("replaced" in t for t in w.page_texts()), "the page reads %r" % w.page_texts())
    check(w.button_state("Finish") == (True, True), "no Finish button on the success page")
    check(w.button_state("Back")[0] is False, "Back still shown on the success page")
    check(w.button_state("Cancel")[1] is False, "Cancel still sensitive on the success page")
    check(ctx.sandbox.recorded_locations() == [ctx.sandbox.default_target.rstrip("/")],
          "recorded %r" % ctx.sandbox.recorded_locations())
    check_demo_installed(ctx.sandbox.default_target)
    w.advance()
    check(w.exit_status() == 0, "exit status after a successful installation")
    check(ctx.sandbox.xdg_open_calls() == [ctx.sandbox.default_target + "README.txt"],
          "xdg-open got %r" % ctx.sandbox.xdg_open_calls())


def flow_chosen_target(ctx):
    """--target starts the directory page with that directory, which is
    installed into and recorded; the user's own newer README stays, and the
    success page says so."""
    ctx.sandbox.pack_demo_kit()
    chosen = os.path.join(ctx.sandbox.root, "chosen templates")
    readme = os.path.join(chosen, "README.txt")
    os.makedirs(chosen)
    with open(readme, "w") as f:
        f.write("my own notes\n")
    w = ctx.start("--target=" + chosen)
    ctx.go_to_directory_page()
    check(w.entry_text() == chosen, "directory page shows %r" % w.entry_text())
    w.advance()
    w.wait_page_text(SUCCESS)
    w.wait_page_text("%d files installed in\n%s" % (DEMO_FILES - 1, chosen))
    w.wait_page_text("0 replaced; 1 " + KEPT_NEWER)
    with open(readme) as f:
        check(f.read() == "my own notes\n", "the user's newer README was overwritten")
    installed, demo = snapshot(chosen), snapshot(os.path.join(DEMO_KIT, "tree"))
    check(all(installed.get(rel, ())[:2] == entry[:2] for rel, entry in demo.items() if rel != "README.txt"),
          "the kit's other files are not installed")
    check(not os.path.exists(ctx.sandbox.default_target), "installed into the proposal too")
    check(ctx.sandbox.recorded_locations() == [chosen], "recorded %r" % ctx.sandbox.recorded_locations())
    w.click(CHECK_BUTTON)
    w.advance()
    check(w.exit_status() == 0, "exit status")


def flow_unrecorded_directory(ctx):
    """A launcher file that cannot be written: the templates stay installed,
    the success page says the directory was not recorded and names the file,
    and the run exits 1."""
    ctx.sandbox.pack_demo_kit()
    os.makedirs(os.path.join(ctx.sandbox.launcher_file, "in-the-way"))
    w = ctx.start()
    ctx.go_to_directory_page()
    w.advance()
    w.wait_page_text(SUCCESS)
    w.wait_page_text("could not be recorded in the settings file:")
    w.wait_page_text(ctx.sandbox.launcher_file)
    check_demo_installed(ctx.sandbox.default_target)
    w.click(CHECK_BUTTON)
    w.advance()
    check(w.exit_status() == 3, "exit status when the directory was not recorded")


def flow_check_button_cleared(ctx):
    """With the check button cleared, Finish opens nothing."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start()
    ctx.go_to_directory_page()
    w.advance()
    w.wait_page_text(SUCCESS)
    w.click(CHECK_BUTTON)
    w.advance()
    check(w.exit_status() == 0, "exit status")
    check(ctx.sandbox.xdg_open_calls() == [], "xdg-open ran: %r" % ctx.sandbox.xdg_open_calls())
    check_demo_installed(ctx.sandbox.default_target)


def flow_back_restores_path(ctx):
    """A typed path left with Back is replaced by the proposal on the way back."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start()
    ctx.go_to_directory_page()
    w.type_into_entry("/somewhere/else")
    wait_for("the typed path", lambda: w.entry_text() == "/somewhere/else")
    w.advance(BACK)
    w.wait_page_text(WELCOME)
    check(w.button_state("Back") == (True, False), "Back sensitive on the welcome page")
    w.advance()
    w.wait_page_text(PROMPT)
    check(w.entry_text() == ctx.sandbox.default_target, "entry holds %r" % w.entry_text())
    w.key("Escape")
    w.wait_message_box()
    w.answer_message_box("Yes")
    check(w.exit_status() == 2, "exit status after a confirmed cancel")


def flow_browse_folder(ctx):
    """The folder chooser: cancelling keeps the typed path; a chosen folder is
    written into the entry as the file system spells it."""
    ctx.sandbox.pack_demo_kit()
    chosen = ctx.sandbox.mkdir("Vorlagen für Büro")
    w = ctx.start()
    ctx.go_to_directory_page()
    w.type_into_entry("/typed/path")
    wait_for("the typed path", lambda: w.entry_text() == "/typed/path")
    w.click(BROWSE)
    w.wait_file_chooser()
    w.xdotool("key", "--clearmodifiers", "Escape")
    wait_for("the chooser to close", lambda: not w.file_choosers())
    check(w.entry_text() == "/typed/path", "cancelled chooser changed the entry")
    w.click(BROWSE)
    w.wait_file_chooser()
    w.click_chooser_place("File System")
    w.xdotool("key", "--clearmodifiers", "ctrl+l")
    w.wait_chooser_location()
    w.set_chooser_location(chosen + "/")
    try:
        wait_for("the typed location", lambda: w.chooser_location() == chosen + "/")
    except Failure:
        raise Failure("the location entry holds %r" % w.chooser_location())
    w.xdotool("key", "--clearmodifiers", "Return")
    wait_for("the chooser to close", lambda: not w.file_choosers())
    wait_for("the chosen folder in the entry", lambda: w.entry_text() == chosen)
    w.advance()
    w.wait_page_text(SUCCESS)
    check_demo_installed(chosen)
    w.advance()
    check(w.exit_status() == 0, "exit status")


def flow_empty_entry_notice(ctx):
    """An empty entry gives the notice and the directory page stays."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start()
    ctx.go_to_directory_page()
    w.type_into_entry("")
    wait_for("an empty entry", lambda: w.entry_text() == "")
    w.advance()
    texts = w.wait_message_box()
    check(EMPTY_NOTICE in texts, "notice reads %r" % texts)
    w.answer_message_box("OK")
    w.wait_page_text(PROMPT)
    check(w.process.poll() is None, "the wizard ended after the notice")
    check(not os.path.exists(ctx.sandbox.default_target), "something was installed")
    w.click(CANCEL)
    w.wait_message_box()
    w.answer_message_box("Yes")
    check(w.exit_status() == 2, "exit status")


def flow_cancel_no_then_yes(ctx):
    """Cancel asks; No keeps the wizard; Yes ends it with status 2."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start()
    w.wait_main_window(TITLE)
    w.wait_page_text(WELCOME)
    w.click(CANCEL)
    texts = w.wait_message_box()
    check(QUESTION in texts, "question reads %r" % texts)
    w.answer_message_box("No")
    w.wait_page_text(WELCOME)
    check(w.process.poll() is None, "No ended the wizard")
    w.advance()
    w.wait_page_text(PROMPT)
    w.click(CANCEL)
    w.wait_message_box()
    w.answer_message_box("Yes")
    check(w.exit_status() == 2, "exit status after a confirmed cancel")
    check(not os.path.exists(ctx.sandbox.default_target), "something was installed")
    check(not os.path.exists(ctx.sandbox.launcher_file), "the launcher file was written")


def flow_escape_on_success(ctx):
    """Escape on the success page asks; Yes closes without opening the description."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start()
    ctx.go_to_directory_page()
    w.advance()
    w.wait_page_text(SUCCESS)
    w.key("Escape")
    texts = w.wait_message_box()
    check(QUESTION in texts, "question reads %r" % texts)
    w.answer_message_box("Yes")
    # The installation had succeeded before the user left.
    check(w.exit_status() == 0, "exit status")
    check(ctx.sandbox.xdg_open_calls() == [], "xdg-open ran")


def flow_failing_installation(ctx):
    """A regular file where the kit needs a directory: error box, failure page,
    template directory exactly as before."""
    ctx.sandbox.pack_demo_kit()
    target = ctx.sandbox.blocked_target()
    before = snapshot(target)
    launcher_before = snapshot(os.path.dirname(ctx.sandbox.launcher_file))

    w = ctx.start()
    ctx.go_to_directory_page()
    check(w.entry_text() == target, "proposed %r" % w.entry_text())
    w.advance()
    texts = w.wait_message_box()
    check("Installation error" in texts, "error box reads %r" % texts)
    # Below it, where it failed and what the system said.
    failed_at = [t for t in texts if t.startswith(os.path.join(target, "network") + "/") and
                 t.endswith("Not a directory")]
    check(failed_at, "error box reads %r" % texts)
    # Behind the box the page says that the directory is being restored, and
    # its bar comes down to nothing as the run is undone.
    w.wait_page_text(ROLLBACK)
    wait_for("the bar to count back", lambda: w.progress_value() == 0.0)
    w.answer_message_box("OK")
    w.wait_page_text(FAILURE)
    # The page repeats the reason and the place below its own text.
    page = "\n".join(w.page_texts())
    check("Installation error" in page and failed_at[0] in page, "the failure page reads %r" % page)
    check(snapshot(target) == before, "the template directory changed")
    w.advance()
    check(w.exit_status() == 1, "exit status after a failed installation")
    check(snapshot(os.path.dirname(ctx.sandbox.launcher_file)) == launcher_before, "launcher file changed")
    check(ctx.sandbox.xdg_open_calls() == [], "xdg-open ran")


def expect_preparation_error(ctx, text, *context, args=(), **start):
    """The box before any window: its text, a second line with what the
    user can act on, and a place in the taskbar, being the program's only
    window."""
    w = ctx.start(*args, **start)
    texts = w.wait_message_box()
    check(any(text in t for t in texts), "error box reads %r" % texts)
    for line in context:
        check(any(line in t for t in texts), "error box reads %r, without %r" % (texts, line))
    boxes = w.windows_named(TITLE)
    check(boxes and not any(w.has_skip_taskbar(box) for box in boxes), "the box is left out of the taskbar")
    check(not w.windows_named(TITLE) or
          all(w.geometry(win) != (500, 360) for win in w.windows_named(TITLE)),
          "the wizard window appeared")
    w.answer_message_box("OK")
    check(w.exit_status() == 1, "exit status after a preparation error")
    check(not os.path.exists(ctx.sandbox.default_target), "something was installed")


def flow_no_kit(ctx):
    expect_preparation_error(ctx, "qbx4.tkx not found", "Looked for it in:\n" + ctx.sandbox.app)


def flow_damaged_kit(ctx):
    with open(ctx.sandbox.kit, "wb") as f:
        f.write(os.urandom(3000))
    expect_preparation_error(ctx, "corrupted or not designed")


def flow_unsigned_kit(ctx):
    """With a trusted key, a kit without its signature is refused before
    any window, and the box names the signature file looked for."""
    ctx.sandbox.pack_demo_kit()
    key = ctx.sandbox.minisign_key("vendor")
    if key is None:
        print("minisign is not installed; skipped")
        sys.exit(SKIP)
    expect_preparation_error(ctx, "The distribution kit is not signed", ctx.sandbox.kit + ".minisig",
                             args=("--trusted-key=" + key,))


def flow_no_space(ctx):
    """A kit three times larger than the free temporary space is refused."""
    tree = ctx.sandbox.mkdir("big")
    with open(os.path.join(tree, "noise.bin"), "wb") as f:
        f.write(os.urandom(200 * 1024))
    ctx.sandbox.pack_tree(tree)
    small = ctx.sandbox.mkdir("small-tmp")
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=128k", "tmpfs", small],
                      stderr=subprocess.DEVNULL).returncode != 0:
        print("cannot mount a tmpfs here; skipped")
        sys.exit(SKIP)
    ctx.sandbox.mounts.append(small)
    expect_preparation_error(ctx, "Insufficient space", "Temporary directory:\n%s\nSpace needed: " % small,
                             " KB, free: ", tmpdir=small)


def flow_silent(ctx):
    """-S installs into the proposal without any input."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start("-S")
    check(w.exit_status(deadline=30) == 0, "exit status of the silent run")
    check_demo_installed(ctx.sandbox.default_target)
    check(ctx.sandbox.recorded_locations() == [ctx.sandbox.default_target.rstrip("/")], "not recorded")
    check(ctx.sandbox.xdg_open_calls() == [], "xdg-open ran")


def flow_silent_empty_proposal(ctx):
    """A silent run whose proposal is cleaned away reports it instead of
    installing into the current directory."""
    ctx.sandbox.pack_demo_kit()
    target = ctx.sandbox.mkdir("web")
    os.makedirs(os.path.dirname(ctx.sandbox.launcher_file))
    # Written with the URL in the middle so that the probe still finds a
    # writable directory, which the cleaning then empties.
    odd = os.path.join(target, "http:")
    os.makedirs(os.path.join(odd, "x"))
    with open(ctx.sandbox.launcher_file, "w") as f:
        f.write("ConfigurationTemplatesLocation=%s//x\n" % odd)
    before = snapshot(ctx.sandbox.app)
    w = ctx.start("-S")
    texts = w.wait_message_box()
    check(EMPTY_NOTICE in texts, "box reads %r" % texts)
    w.answer_message_box("OK")
    check(w.exit_status() == 1, "exit status")
    check(snapshot(ctx.sandbox.app) == before, "files were installed beside the program")


def flow_german_title(ctx):
    """-Lde gives the German window title."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start("-Lde")
    w.wait_main_window(GERMAN_TITLE)
    w.key("Escape")
    w.wait_message_box()
    w.answer_message_box("Ja")
    check(w.exit_status() == 2, "exit status")


def flow_c_locale_russian(ctx):
    """Under the C locale -Lru shows its Russian texts whole, the toolkit's
    folder chooser speaks Russian too, and a directory typed with letters the
    locale lacks is installed into and recorded under that very name, spelt
    in UTF-8 on disk."""
    ctx.sandbox.pack_demo_kit()
    target = os.path.join(ctx.sandbox.root, "Шаблоны üß")
    w = ctx.start("-Lru", extra_env={"LC_ALL": "C"})
    w.wait_main_window("Установка конфигурации")
    w.wait_page_text("Вас приветствует программа установки продукта")
    w.advance()
    w.wait_page_text("Укажите путь к каталогу шаблонов.")
    # The toolkit's own words, as its Russian catalog has them (not English).
    create_folder = gettext.translation("gtk20", "/usr/share/locale", ["ru"]).gettext("Create Fo_lder").replace("_", "")
    w.click(BROWSE)
    chooser = w.wait_file_chooser()
    texts = wait_for("the chooser's buttons", lambda: w.shown_texts(chooser, (pyatspi.ROLE_PUSH_BUTTON,)))
    check(create_folder in texts, "the chooser reads %r" % texts)
    w.xdotool("key", "--clearmodifiers", "Escape")
    wait_for("the chooser to close", lambda: not w.file_choosers())
    w.type_into_entry(target)
    wait_for("the typed path", lambda: w.entry_text() == target, deadline=5.0)
    w.advance()
    w.wait_page_text("Конфигурация успешно установлена.")
    check_demo_installed(target)
    w.advance()
    status = w.exit_status()
    check(status == 0, "exit status %d" % status)
    recorded = [location.rstrip("/") for location in ctx.sandbox.recorded_locations()]
    check(recorded[:1] == [target], "recorded %r" % recorded)


def flow_window_close(ctx):
    """Closing the window asks first while copying (No: the copy goes on to
    success); before an installation it ends the wizard at once."""
    ctx.sandbox.pack_tree(write_tree(ctx.sandbox.mkdir("tree"), ENTRIES, 1024))
    hold = ctx.sandbox.hold(HELD_AT)
    w = ctx.start_held(hold)
    ctx.go_to_directory_page(welcome=GENERIC_WELCOME)
    w.advance()
    hold.wait_held(HELD_AT, w.process)
    w.wait_page_text("Files being copied...")
    w.request_close()
    texts = w.wait_message_box()
    check(QUESTION in texts, "question reads %r" % texts)
    w.answer_message_box("No")
    hold.release(HELD_AT)
    w.wait_page_text(SUCCESS, 60)
    w.advance()
    check(w.exit_status() == 0, "exit status after the copy went on")
    ctx.check_installed_tree()

    w = ctx.start()
    w.wait_main_window(TITLE)
    w.wait_page_text(GENERIC_WELCOME)
    w.request_close()
    check(w.exit_status() == 2, "exit status after closing the welcome page")


def flow_cancel_during_installation(ctx):
    """Escape while copying asks, and the copy holds while the question is
    open: nothing more is written and the bar stands still. No lets it go on;
    Yes says the directory is being restored, rolls back and ends on the
    cancelled page."""
    ctx.sandbox.pack_tree(write_tree(ctx.sandbox.mkdir("tree"), ENTRIES, 1024))
    hold = ctx.sandbox.hold(HELD_AT, HELD_AGAIN_AT)
    w = ctx.start_held(hold)
    ctx.go_to_directory_page(welcome=GENERIC_WELCOME)
    w.advance()
    hold.wait_held(HELD_AT, w.process)
    w.wait_page_text(COPYING)
    w.key("Escape")
    texts = w.wait_message_box()
    check(QUESTION in texts, "question reads %r" % texts)
    seen = wait_for("the bar to show the held entry", lambda: w.progress_value())
    copied = files_below(ctx.sandbox.default_target)
    hold.release(HELD_AT)
    # Let go by the test, the worker must still wait for the answer. Once it
    # has left the hold, the next thing it does is ask whether it is paused.
    hold.wait_left(HELD_AT, w.process)
    check(not hold.is_held(HELD_AGAIN_AT), "the copy went on while the question was open")
    check(files_below(ctx.sandbox.default_target) == copied, "files were written while the question was open")
    check(w.progress_value() == seen, "the bar moved while the question was open")
    answered = hold.mark("answered")
    w.answer_message_box("No")
    hold.wait_held(HELD_AGAIN_AT, w.process)
    # However slowly it went on, it went on only after the answer.
    check(hold.held_since(HELD_AGAIN_AT) >= answered, "the copy went on before the answer")
    check(w.progress_value() > seen, "the bar did not move after No")

    w.key("Escape")
    w.wait_message_box()
    # Yes by its key.
    w.key("alt+y")
    # The worker is still held: the page says what comes next, and so does
    # the description of the control that carried the copying text.
    w.wait_page_text(ROLLBACK)
    cancel = w.find_widget(w.main_window(), pyatspi.ROLE_PUSH_BUTTON, "Cancel")
    check(cancel is not None and COPYING not in cancel.description and ROLLBACK in cancel.description,
          "Cancel describes %r while restoring" % (cancel and cancel.description))
    hold.release(HELD_AGAIN_AT)
    w.wait_page_text(CANCELLED, 60)
    check(not os.path.exists(ctx.sandbox.default_target) or snapshot(ctx.sandbox.default_target) == {},
          "files left after the cancel")
    check(not os.path.exists(ctx.sandbox.launcher_file), "launcher file written after the cancel")
    w.advance()
    check(w.exit_status() == 2, "exit status after a cancelled installation")


def files_below(root):
    return sum(len(files) for _, _, files in os.walk(root))


def flow_sighup_on_welcome(ctx):
    """A hang-up (the session ends) while the wizard waits: it leaves with
    status 2 and deletes its unpacked kit."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start()
    w.wait_main_window(TITLE)
    w.wait_page_text(WELCOME)
    check(temporary_leftovers(ctx.sandbox.tmp) != [], "no unpacked kit while the wizard runs")
    w.process.send_signal(signal.SIGHUP)
    check(w.exit_status() == 2, "exit status after SIGHUP")
    check(temporary_leftovers(ctx.sandbox.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(ctx.sandbox.tmp))
    check(not os.path.exists(ctx.sandbox.default_target), "something was installed")


def flow_sigterm_during_installation(ctx):
    """SIGTERM while copying: rolled back, the program ends by itself with
    status 2 without waiting on a final page."""
    ctx.sandbox.pack_tree(write_tree(ctx.sandbox.mkdir("tree"), ENTRIES, 1024))
    hold = ctx.sandbox.hold(HELD_AT)
    w = ctx.start_held(hold)
    ctx.go_to_directory_page(welcome=GENERIC_WELCOME)
    w.advance()
    hold.wait_held(HELD_AT, w.process)
    w.process.send_signal(signal.SIGTERM)
    # The page says what comes next while the undo waits for the worker.
    w.wait_page_text(ROLLBACK)
    hold.release(HELD_AT)
    status = w.exit_status(deadline=60)
    check(status == 2, "exit status %d after SIGTERM" % status)
    check(not os.path.exists(ctx.sandbox.default_target) or snapshot(ctx.sandbox.default_target) == {},
          "files left after the interruption")
    check(not os.path.exists(ctx.sandbox.launcher_file), "launcher file written after the interruption")
    check(temporary_leftovers(ctx.sandbox.tmp) == [], "left in TMPDIR: %r" % temporary_leftovers(ctx.sandbox.tmp))


FLOWS = flows_of(globals())

if __name__ == "__main__":
    sys.exit(run_flows(FLOWS, __file__, Context))
