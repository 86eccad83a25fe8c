#!/usr/bin/python3
"""End-to-end flows of a long unpacking, one per run:

    unpacking_flows.py --tplsetup-held BIN --tkx BIN FLOW

The test build of tplsetup (tplsetup_held) waits at the start of the
unpacking while the file TPL_HOLD_UNPACKING names exists, so a flow acts while the
unpacking is known to run (a demo kit unpacks in milliseconds otherwise).
The headless flows need no X server. Exit status 0 passed, 1 failed.
"""
import os
import signal
import sys
import time

import pyatspi

from e2e_driver import Failure, WizardContext, run_flows, wait_for
from e2e_files import check, flows_of, temporary_leftovers

TITLE = "Installing configuration"
PREPARING = "Preparing to copy..."
WELCOME = "Welcome to the product installation program Demo configuration templates (Sample Vendor)."
SUCCESS = "Configuration installed successfully."
CANCELLED = "Installation canceled. Template directory has not been changed."
HOLD_VARIABLE = "TPL_HOLD_UNPACKING"
DEADLINE = 30


class Context(WizardContext):
    """The test build in the sandbox's application folder, its unpacking
    held until the flow removes the file self.hold; the flows without a
    display get no X server."""

    def __init__(self, options, sandbox):
        self.program = sandbox.install_program(options.tplsetup_held, "tplsetup_held")
        sandbox.pack_demo_kit()
        self.hold = os.path.join(sandbox.root, "hold-unpacking")
        open(self.hold, "w").close()
        super().__init__(options, sandbox, without_display=options.flow.startswith("headless_"))

    def start(self, *args):
        return self.start_program(self.program, args, extra_env={HOLD_VARIABLE: self.hold})

    def check_nothing_left(self):
        left = temporary_leftovers(self.sandbox.tmp)
        check(left == [], "left in TMPDIR: %r" % left)
        check(not os.path.exists(self.sandbox.default_target), "something was installed")


def wait_unpacking_window(ctx):
    """Waits for the small window (the wizard's is 500 x 360) and checks what
    it shows while the unpacked kit is being written."""
    w = ctx.wizard

    def find():
        for window in w.windows_named(TITLE):
            if w.geometry(window) != (500, 360):
                return window
        return None
    w.window = wait_for("the unpacking window", find)
    frame = wait_for("the unpacking window's frame", lambda: w.top_levels(pyatspi.ROLE_FRAME))[0]
    texts = wait_for("its text", lambda: w.shown_texts(frame))
    check(texts == [PREPARING], "the unpacking window shows %r" % texts)
    bar = w.find_widget(frame, pyatspi.ROLE_PROGRESS_BAR)
    check(bar is not None and bar.name == PREPARING, "the bar is named %r" % (bar and bar.name))
    check(len(temporary_leftovers(ctx.sandbox.tmp)) == 1, "no unpacked kit while unpacking")
    return frame


def click_widget(w, widget):
    e = widget.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    w.xdotool("mousemove", e.x + e.width // 2, e.y + e.height // 2, "click", "1")


# --- flows with a display ------------------------------------------------------

def flow_cancel(ctx):
    """Cancel in the unpacking window ends the run: status 2, no unpacked kit,
    no wizard window, nothing installed."""
    w = ctx.start()
    frame = wait_unpacking_window(ctx)
    click_widget(w, w.find_widget(frame, pyatspi.ROLE_PUSH_BUTTON, "Cancel"))
    check(w.exit_status() == 2, "exit status after Cancel")
    ctx.check_nothing_left()


def flow_close(ctx):
    """The window manager's close of the unpacking window ends the run too."""
    w = ctx.start()
    wait_unpacking_window(ctx)
    w.request_close()
    check(w.exit_status() == 2, "exit status after closing")
    ctx.check_nothing_left()


def flow_then_welcome(ctx):
    """When the unpacking ends the small window goes and the wizard's welcome
    page follows alone."""
    w = ctx.start()
    small = w.window if wait_unpacking_window(ctx) else None
    os.unlink(ctx.hold)
    w.wait_main_window(TITLE)
    w.wait_page_text(WELCOME)
    wait_for("the unpacking window to go", lambda: small not in w.windows_named(TITLE))
    check(w.windows_named(TITLE) == [w.window], "windows: %r" % w.windows_named(TITLE))
    w.request_close()
    check(w.exit_status() == 2, "exit status after closing the welcome page")
    ctx.check_nothing_left()


# --- flows without a display ---------------------------------------------------

def start_headless(ctx):
    return ctx.sandbox.start(ctx.program, "-S", extra_env={HOLD_VARIABLE: ctx.hold})


def read_until(process, wanted, lines):
    """Reads standard error lines until one equals wanted."""
    deadline = time.monotonic() + DEADLINE
    for raw in process.stderr:
        lines.append(raw.decode().rstrip("\n"))
        if lines[-1] == wanted:
            return
        if time.monotonic() > deadline:
            break
    process.kill()
    raise Failure("%r never appeared: %r" % (wanted, lines))


def flow_headless_progress(ctx):
    """Without a window a long unpacking shows its progress line before the
    template directory and the copying."""
    process = start_headless(ctx)
    lines = []
    read_until(process, PREPARING + " 0%", lines)
    check(len(temporary_leftovers(ctx.sandbox.tmp)) == 1, "no unpacked kit while unpacking")
    os.unlink(ctx.hold)
    lines += [raw.decode().rstrip("\n") for raw in process.stderr]
    check(process.wait(DEADLINE) == 0, "exit status; stderr %r" % lines)
    check(lines[:3] == [PREPARING + " 0%", PREPARING + " 100%", "Template directory: " + ctx.sandbox.default_target],
          "stderr begins %r" % lines[:3])
    check(lines[-2] == SUCCESS and lines[-1] == "6 added, 0 replaced, 0 kept", "stderr ends %r" % lines[-2:])


def flow_headless_sigterm(ctx):
    """SIGTERM during the unpacking: status 2, the cancel text, nothing left."""
    process = start_headless(ctx)
    lines = []
    read_until(process, PREPARING + " 0%", lines)
    process.send_signal(signal.SIGTERM)
    lines += [raw.decode().rstrip("\n") for raw in process.stderr]
    check(process.wait(DEADLINE) == 2, "exit status; stderr %r" % lines)
    check(lines[-1] == CANCELLED, "stderr ends %r" % lines)
    ctx.check_nothing_left()


FLOWS = flows_of(globals())


if __name__ == "__main__":
    sys.exit(run_flows(FLOWS, __file__, Context))
