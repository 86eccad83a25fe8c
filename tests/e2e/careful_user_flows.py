#!/usr/bin/python3
"""The wizard as a careful user meets it, one flow per run: a checked
directory, no accidental installation, dialogs that belong to the wizard, a
cancel question that holds the copy, and keyboard and screen-reader use.

    careful_user_flows.py --tplsetup BIN --tkx BIN FLOW

Exit status 0 passed, 1 failed, 77 skipped.
"""
import os
import re
import subprocess
import sys
import time

import pyatspi

from e2e_driver import BACK, BROWSE, NEXT, NameChanges, accessibles, run_flows, wait_for
from e2e_files import check, check_demo_installed, ended_on_failure, flows_of, snapshot, write_tree
from wizard_flows import (COMPLETE, COPYING, EMPTY_NOTICE, ENTRIES, GENERIC_WELCOME, GERMAN_TITLE, HELD_AT,
                          PROMPT, SUCCESS, TITLE, WELCOME, Context)

RELATIVE = "The template directory must be a full path that starts with / or ~/."
IS_FILE = "The specified path is a file, not a directory."
CANNOT_CREATE = "The specified directory cannot be created."
CONTROL_CHARACTER = "The path contains a control character (\\n)."
NOT_WRITABLE = "Files cannot be written to the specified directory."
BUSY = "Another installation is already using the template directory:"


def refused_on_the_page(w, typed, *texts, pasted=False):
    """Next with typed in the entry (or pasted into it): a box with texts;
    then the page stays, with the typed text, and the focus back in the
    entry."""
    if pasted:
        w.set_entry_text(typed)
    else:
        w.type_into_entry(typed)
    wait_for("the typed path", lambda: w.entry_text() == typed)
    w.advance()
    shown = w.wait_message_box()
    for text in texts:
        check(any(text in t for t in shown), "the box reads %r, not %r" % (shown, text))
    w.answer_message_box("OK")
    w.wait_page_text(PROMPT)
    check(w.entry_text() == typed, "the entry holds %r after the refusal" % w.entry_text())
    w.wait_focus(pyatspi.ROLE_TEXT)


def flow_typed_directory_checked(ctx):
    """Blanks, relative paths, "~user" and a pasted line feed: refused, with
    what was typed, before anything is made; "~" expanded; the home
    directory's templates are recorded absolute."""
    ctx.sandbox.pack_demo_kit()
    before = snapshot(ctx.sandbox.app)
    w = ctx.start()
    ctx.go_to_directory_page()
    refused_on_the_page(w, "   ", EMPTY_NOTICE)
    refused_on_the_page(w, "templates/here", RELATIVE, "templates/here")
    refused_on_the_page(w, "~root/x", RELATIVE, "~root/x")
    pasted = os.path.join(ctx.sandbox.root, "a\nb")
    refused_on_the_page(w, pasted, CONTROL_CHARACTER, os.path.join(ctx.sandbox.root, "a\\nb"), pasted=True)
    check(snapshot(ctx.sandbox.app) == before, "something was written beside the program")
    check(not os.path.lexists(pasted), "the directory with a line feed was made")
    w.type_into_entry(" ~/templates ")
    w.advance()
    w.wait_page_text(SUCCESS)
    installed = os.path.join(ctx.sandbox.home, "templates")
    check_demo_installed(installed)
    check(ctx.sandbox.recorded_locations() == [installed], "recorded %r" % ctx.sandbox.recorded_locations())
    check(snapshot(ctx.sandbox.app) == before, "a directory named ~ appeared beside the program")
    w.advance()
    check(w.exit_status() == 0, "exit status")


def flow_unusable_directory_refused(ctx):
    """A file, a path below a file and a read-only directory are refused on
    the page with the reason and the path; nothing is installed."""
    ctx.sandbox.pack_demo_kit()
    plain = os.path.join(ctx.sandbox.root, "plain.txt")
    with open(plain, "w") as f:
        f.write("a file, not a directory\n")
    w = ctx.start()
    ctx.go_to_directory_page()
    refused_on_the_page(w, plain, IS_FILE, plain)
    refused_on_the_page(w, plain + "/templates", CANNOT_CREATE, plain)
    locked = ctx.sandbox.mkdir("locked")
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "ro,size=64k", "tmpfs", locked],
                      stderr=subprocess.DEVNULL).returncode == 0:
        ctx.sandbox.mounts.append(locked)
        refused_on_the_page(w, locked, NOT_WRITABLE, locked, "Read-only file system")
    else:
        print("cannot mount a read-only tmpfs here; that case skipped")
    check(not os.path.exists(ctx.sandbox.default_target), "something was installed")
    w.key("Escape")
    w.wait_message_box()
    w.answer_message_box("Yes")
    check(w.exit_status() == 2, "exit status")


def flow_double_click_never_installs(ctx):
    """A double click on Next and a held Enter on the welcome page stop at the
    directory page; Enter in the entry is Next."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start()
    w.wait_main_window(TITLE)
    w.wait_page_text(WELCOME)
    # A page ignores clicks for its first moment: both clicks come after it.
    time.sleep(0.4)
    w.xdotool("mousemove", "--window", w.window, NEXT[0], NEXT[1], "click", "--repeat", "2",
              "--delay", "80", "1")
    w.wait_page_text(PROMPT)
    w.wait_focus(pyatspi.ROLE_TEXT)
    # Once the wizard has handled the second click, it must not have acted on it.
    all_input_handled(w)
    check(any(PROMPT in t for t in w.page_texts()), "the double click left the directory page")
    check(not os.path.exists(ctx.sandbox.default_target), "the double click installed")

    w.advance(BACK)
    w.wait_page_text(WELCOME)
    w.wait_focus(pyatspi.ROLE_PUSH_BUTTON, "Next")
    time.sleep(0.4)
    w.xdotool("mousemove", "--window", w.window, 250, 200)
    w.xdotool("key", "--repeat", "6", "--delay", "40", "Return")
    w.wait_page_text(PROMPT)
    w.wait_focus(pyatspi.ROLE_TEXT)
    all_input_handled(w)
    check(any(PROMPT in t for t in w.page_texts()), "a held Enter left the directory page")
    check(not os.path.exists(ctx.sandbox.default_target), "a held Enter installed")

    w.press_until("Return", "the installation", lambda: any(SUCCESS in t for t in w.page_texts()))
    check_demo_installed(ctx.sandbox.default_target)
    w.press_until("Return", "the end", lambda: w.process.poll() is not None)
    check(w.exit_status() == 0, "exit status")


def all_input_handled(w):
    """Returns once the wizard has handled every click and key sent before:
    a key typed into the entry after them (the X server hands input over in
    the order it came) shows up there, and is taken back. Typing is never
    held back by the moment the wizard ignores Next and Enter."""
    before = w.entry_text()
    w.key("End", "x")
    wait_for("a key after the others to reach the entry", lambda: w.entry_text() == before + "x")
    w.key("BackSpace")
    wait_for("the entry as it was", lambda: w.entry_text() == before)


def box_window(w, title):
    """The X window of a message box or chooser titled title (not the wizard)."""
    def find():
        return [win for win in w.windows_named(title) if win != w.window]
    return wait_for("the window %r" % title, find)[0]


def centre(extents):
    x, y, width, height = extents
    return x + width / 2.0, y + height / 2.0


def flow_dialogs_belong_to_wizard(ctx):
    """-Lde in an English locale: the question's buttons are German, the box
    and the folder chooser are owned by the wizard and centred on it, and the
    chooser opens at the entry's nearest existing folder."""
    ctx.sandbox.pack_demo_kit()
    w = ctx.start("-Lde")
    w.wait_main_window(GERMAN_TITLE)
    w.wait_focus(pyatspi.ROLE_PUSH_BUTTON)
    w.key("Escape")
    w.wait_message_box()
    check(w.message_box_buttons() == ["Nein", "Ja"], "buttons %r" % w.message_box_buttons())
    box = box_window(w, GERMAN_TITLE)
    check(w.transient_for(box) == w.window, "the question is not owned by the wizard")
    frame = w.extents(w.main_window())
    alert = w.extents(w.top_levels(pyatspi.ROLE_ALERT)[0])
    (fx, fy), (ax, ay) = centre(frame), centre(alert)
    check(abs(fx - ax) <= 2 and abs(fy - ay) <= 2, "the box is centred at %r, the wizard at %r"
          % ((ax, ay), (fx, fy)))
    w.answer_message_box("Nein")

    w.advance()
    w.wait_focus(pyatspi.ROLE_TEXT)
    start = ctx.sandbox.mkdir("app", "vorhanden")
    w.type_into_entry(os.path.join(start, "neu", "tiefer"))
    w.click(BROWSE)
    chooser = w.wait_file_chooser()
    check(w.transient_for(box_window(w, "Verzeichnis auswählen")) == w.window,
          "the chooser is not owned by the wizard")
    buttons = [b.name for b in find_all(chooser, pyatspi.ROLE_PUSH_BUTTON)]
    check("Abbrechen" in buttons and "Auswählen" in buttons, "chooser buttons %r" % buttons)
    # The path bar marks the folder the chooser shows.
    wait_for("the chooser at %r" % start, lambda: any(
        b.name == "vorhanden" and b.getState().contains(pyatspi.STATE_CHECKED)
        for b in find_all(w.file_choosers()[0], pyatspi.ROLE_TOGGLE_BUTTON)))
    w.xdotool("key", "--clearmodifiers", "Escape")
    wait_for("the chooser to close", lambda: not w.file_choosers())
    w.wait_focus(pyatspi.ROLE_TEXT)
    w.key("Escape")
    w.wait_message_box()
    w.answer_message_box("Ja")
    check(w.exit_status() == 2, "exit status")


def find_all(root, role):
    return accessibles(root, lambda node: node.getRole() == role)


def named(node, role, name):
    found = [n for n in find_all(node, role) if n.name == name]
    return found[0] if found else None


def flow_accessibility_tree(ctx):
    """Names, roles, the entry's label, the progress bar's value and the
    focus after every page change, as a screen reader finds them; a page's
    text describes only the control that has the focus on it."""
    ctx.sandbox.pack_tree(write_tree(ctx.sandbox.mkdir("tree"), ENTRIES, 1024))
    hold = ctx.sandbox.hold(HELD_AT)
    w = ctx.start_held(hold)
    w.wait_main_window(TITLE)
    w.wait_page_text(GENERIC_WELCOME)
    check(not w.top_levels(pyatspi.ROLE_FRAME), "the wizard reads as a frame, not a dialog")
    frame = w.main_window()
    check(frame is not None, "no dialog named %r" % TITLE)
    focus = w.wait_focus(pyatspi.ROLE_PUSH_BUTTON, "Next")
    check(GENERIC_WELCOME in focus.description, "the focused Next describes %r" % focus.description)
    check(named(frame, pyatspi.ROLE_PUSH_BUTTON, "Back") is not None, "no button named Back")
    check(not [i for i in find_all(frame, pyatspi.ROLE_IMAGE)
               if i.getState().contains(pyatspi.STATE_SHOWING)], "the picture is an image to read")

    w.advance()
    entry = w.wait_focus(pyatspi.ROLE_TEXT)
    check(entry.name == "Template directory:", "the entry is named %r" % entry.name)
    labels = [target.name for relation in entry.getRelationSet()
              if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
              for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
    check(labels == ["Template directory:"], "the entry is labelled by %r" % labels)
    check(PROMPT in entry.description, "the entry describes %r" % entry.description)
    next_button = named(frame, pyatspi.ROLE_PUSH_BUTTON, "Next")
    check(next_button.description == "", "Next still describes %r" % next_button.description)
    check(named(frame, pyatspi.ROLE_PUSH_BUTTON, "Choose Directory") is not None,
          "no browse button named Choose Directory")
    check(named(frame, pyatspi.ROLE_PUSH_BUTTON, "...") is None, "a button is named ...")
    browse = named(frame, pyatspi.ROLE_PUSH_BUTTON, "Choose Directory")
    check(browse.description != browse.name, "the browse button's name is read twice")

    w.type_into_entry("")
    w.advance()
    w.wait_message_box()
    w.answer_message_box("OK")
    w.wait_focus(pyatspi.ROLE_TEXT)
    w.advance(BACK)
    w.wait_focus(pyatspi.ROLE_PUSH_BUTTON, "Next")
    w.advance()
    w.wait_focus(pyatspi.ROLE_TEXT)
    w.advance()

    hold.wait_held(HELD_AT, w.process)
    cancel = w.wait_focus(pyatspi.ROLE_PUSH_BUTTON, "Cancel")
    check(COPYING in cancel.description, "the focused Cancel describes %r" % cancel.description)
    bar = w.find_widget(frame, pyatspi.ROLE_PROGRESS_BAR)
    check(bar.name == COPYING, "the bar is named %r" % bar.name)
    value = wait_for("the bar at the held entry", lambda: bar.queryValue().currentValue)
    check(value == (HELD_AT * 100) // ENTRIES, "the bar reads %r" % value)
    # The file the worker is at, below the directory being installed into.
    wait_for("the file being copied", lambda: any(t.startswith(ctx.sandbox.default_target) for t in w.page_texts()))
    # Heard before the success page: the bar's last name is the end of the copy.
    names = NameChanges(pyatspi.ROLE_PROGRESS_BAR)
    hold.release(HELD_AT)
    w.wait_page_text(SUCCESS, 60)
    check(COMPLETE in names.seen(), "the bar never read %r; it read %r" % (COMPLETE, names.seen()))
    names.stop()
    finish = w.wait_focus(pyatspi.ROLE_PUSH_BUTTON, "Finish")
    check(SUCCESS in finish.description, "the focused Finish describes %r" % finish.description)
    cancel = named(frame, pyatspi.ROLE_PUSH_BUTTON, "Cancel")
    check(cancel.description == "", "Cancel still describes %r" % cancel.description)
    w.advance()
    check(w.exit_status() == 0, "exit status")


def flow_keyboard_only(ctx):
    """Start to Finish with Tab, Enter, Escape, the controls' Alt keys and
    typing, no click."""
    ctx.sandbox.pack_demo_kit()
    target = os.path.join(ctx.sandbox.home, "kbd")
    w = ctx.start()
    w.wait_main_window(TITLE)
    w.wait_page_text(WELCOME)
    w.wait_focus(pyatspi.ROLE_PUSH_BUTTON, "Next")
    w.press_until("alt+n", "the directory page", lambda: any(PROMPT in t for t in w.page_texts()))
    w.wait_focus(pyatspi.ROLE_TEXT)
    w.press_until("alt+b", "the welcome page", lambda: any(WELCOME in t for t in w.page_texts()))
    w.press_until("Return", "the directory page", lambda: any(PROMPT in t for t in w.page_texts()))
    w.wait_focus(pyatspi.ROLE_TEXT)
    w.key("Escape")
    w.wait_message_box()
    w.key("Return")  # No is the default answer
    wait_for("the question to close", lambda: not w.top_levels(pyatspi.ROLE_ALERT))
    w.key("alt+c")
    w.wait_message_box()
    w.key("alt+n")
    wait_for("the question to close", lambda: not w.top_levels(pyatspi.ROLE_ALERT))
    w.wait_focus(pyatspi.ROLE_TEXT)
    w.key("ctrl+a", "BackSpace")
    w.xdotool("type", "--delay", "5", target)
    wait_for("the typed path", lambda: w.entry_text() == target)
    w.press_until("Return", "the success page", lambda: any(SUCCESS in t for t in w.page_texts()))
    w.wait_focus(pyatspi.ROLE_PUSH_BUTTON, "Finish")
    w.key("Tab")
    w.wait_focus(pyatspi.ROLE_CHECK_BOX)
    w.key("space")
    w.key("alt+o")
    w.key("alt+o")
    w.key("shift+Tab")
    w.wait_focus(pyatspi.ROLE_PUSH_BUTTON, "Finish")
    w.press_until("alt+f", "the end", lambda: w.process.poll() is not None)
    check(w.exit_status() == 0, "exit status")
    check_demo_installed(target)
    check(ctx.sandbox.xdg_open_calls() == [], "the cleared check box still opened the description")


def flow_silent_unusable_directory(ctx):
    """-S into a file's place: the directory page's refusal, with the path,
    in a box; then status 1, with nothing unpacked, installed or recorded."""
    ctx.sandbox.pack_demo_kit()
    plain = os.path.join(ctx.sandbox.root, "plain.txt")
    with open(plain, "w") as f:
        f.write("a file, not a directory\n")
    with_line_feed = os.path.join(ctx.sandbox.root, "a\nb")
    for target, texts in ((plain, (IS_FILE, plain)),
                          (with_line_feed, (CONTROL_CHARACTER, os.path.join(ctx.sandbox.root, "a\\nb")))):
        before = snapshot(ctx.sandbox.home), snapshot(ctx.sandbox.tmp), snapshot(ctx.sandbox.app)
        w = ctx.start("-S", "--target=" + target)
        shown = w.wait_message_box()
        for text in texts:
            check(any(text in t for t in shown), "the box reads %r, not %r" % (shown, text))
        w.answer_message_box("OK")
        check(w.exit_status() == 1, "exit status")
        after = snapshot(ctx.sandbox.home), snapshot(ctx.sandbox.tmp), snapshot(ctx.sandbox.app)
        check(after == before and not os.path.lexists(with_line_feed), "the refused silent run wrote something")


def flow_second_run_refused(ctx):
    """A wizard into the directory a held run is installing into: a box of
    the wizard's own names the directory, the final page says nothing was
    changed, and nothing was; the first run then completes."""
    tree = write_tree(ctx.sandbox.mkdir("tree"), ENTRIES, 1024)
    ctx.sandbox.pack_tree(tree)
    target = ctx.sandbox.mkdir("templates")
    with open(os.path.join(target, "mine.txt"), "w") as f:
        f.write("not from the kit\n")
    hold = ctx.sandbox.hold(HELD_AT)
    first = ctx.sandbox.start_held(hold, "usecwd", "-S", "--target=" + target)
    with ended_on_failure(first):
        hold.wait_held(HELD_AT, first)
        during = snapshot(target), snapshot(ctx.sandbox.home)
        w = ctx.start()
        ctx.go_to_directory_page(welcome=GENERIC_WELCOME)
        w.type_into_entry(target)
        wait_for("the typed path", lambda: w.entry_text() == target)
        w.advance()
        shown = w.wait_message_box()
        check(any(BUSY in t and target in t for t in shown), "the box reads %r" % shown)
        check(sum(target in t for t in shown) == 1, "the box names the directory twice: %r" % shown)
        check(any(re.search(r"held by process \d+ of user ", t) for t in shown), "the box names no holder: %r" % shown)
        check(w.transient_for(box_window(w, TITLE)) == w.window, "the box is not owned by the wizard")
        w.answer_message_box("OK")
        w.wait_page_text("Template directory has not been changed.")
        check(w.button_state("Finish") == (True, True), "no Finish button on the final page")
        check((snapshot(target), snapshot(ctx.sandbox.home)) == during, "the refused run changed something")
        w.advance()
        check(w.exit_status() == 75, "exit status of the refused run")
        first_status, first_err = hold.release_and_finish(HELD_AT, first)
    check(first_status == 0, "first run: exit status %d; %r" % (first_status, first_err[-300:]))
    installed = {rel for rel, entry in snapshot(target).items() if entry[0] == "file"}
    kit = {rel for rel, entry in snapshot(tree).items() if entry[0] == "file"}
    check(installed == kit | {"mine.txt"}, "the first run's tree differs from the kit's")
    check(ctx.sandbox.recorded_locations() == [target], "recorded %r" % ctx.sandbox.recorded_locations())


FLOWS = flows_of(globals())

if __name__ == "__main__":
    sys.exit(run_flows(FLOWS, __file__, Context))
