"""Runs the real tplsetup in its own Xvfb and drives it as a person would:
xdotool moves the pointer, clicks and types; the accessibility tree (ATK
through AT-SPI) is only read, to learn what the windows show and where a
message box put its buttons.

Needs the system interpreter (/usr/bin/python3, for pyatspi) inside
dbus-run-session; the application is started with GTK_MODULES=gail:atk-bridge.
"""
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import pyatspi

from e2e_files import DEFAULT_DEADLINE, SKIP, Failure, run_flow, wait_for  # noqa: F401 (shared by every flow)

# The wizard's fixed layout, relative to its window.
BACK = (270, 335)
NEXT = (350, 335)
CANCEL = (450, 335)
ENTRY = (310, 290)
BROWSE = (475, 290)
CHECK_BUTTON = (180, 180)


def keysym_name(char):
    """The X keysym of a letter as xmodmap and xdotool name it."""
    return "U%04X" % ord(char)


_libc = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1


def accessibles(root, keep, shown_only=False):
    """Every accessible at or below root for which keep(node) holds, in tree
    order. shown_only: what is not showing is neither kept nor entered. A node
    that goes away while it is read (a closing dialog) is passed over."""
    found = []

    def walk(node):
        try:
            if shown_only and not node.getState().contains(pyatspi.STATE_SHOWING):
                return
            if keep(node):
                found.append(node)
            children = list(node)
        except Exception:
            return
        for child in children:
            if child is not None:
                walk(child)
    if root is not None:
        walk(root)
    return found


def die_with_driver():
    """Run in the child before exec: if the driver dies (a crash in the
    accessibility library aborts it), the X server and the wizard go too."""
    _libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


class XServer:
    """One Xvfb per test, on a display number it picks itself: given no
    number, Xvfb takes the first free one (it claims the number by its lock
    file, so flows that start together never share one) and writes it to
    -displayfd once it accepts connections.
    -noreset: a reset after the last client (an xdotool query) left would
    refuse the wizard's connection if it came at that moment."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset", "-displayfd", str(write_end)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,),
            preexec_fn=die_with_driver)
        os.close(write_end)
        number = self._read_number(read_end)
        os.close(read_end)
        if number is None or self.process.poll() is not None:
            self.stop()
            raise Failure("no X server could be started")
        self.display = ":%d" % number

    @staticmethod
    def _read_number(fd, deadline=30.0):
        """The display number Xvfb wrote; None when it gave up."""
        end = time.monotonic() + deadline
        text = b""
        while time.monotonic() < end:
            ready, _, _ = select.select([fd], [], [], max(0.0, end - time.monotonic()))
            if not ready:
                break
            chunk = os.read(fd, 64)
            if not chunk:
                break
            text += chunk
            if text.endswith(b"\n"):
                return int(text) if text.strip().isdigit() else None
        return None

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        return env

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class WizardContext:
    """What a flow with a display works with: the sandbox, an X server of its
    own (unless without_display) and the wizard it started last."""

    def __init__(self, options, sandbox, without_display=False):
        self.options = options
        self.sandbox = sandbox
        self.wizard = None
        self.x = None if without_display else XServer()

    def start_program(self, program, args, **kwargs):
        self.wizard = Wizard(self.x, self.sandbox, program, args, **kwargs)
        return self.wizard

    def diagnostics(self):
        return "tplsetup output:\n" + self.wizard.diagnostics() if self.wizard else ""

    def stop(self):
        if self.wizard:
            self.wizard.stop()
        if self.x:
            self.x.stop()


class Wizard:
    """One run of tplsetup in the sandbox under the X server."""

    def __init__(self, xserver, sandbox, program, args=(), cwd=None, tmpdir=None, extra_env=None):
        self.x = xserver
        self.sandbox = sandbox
        env = sandbox.env(tmpdir, display=xserver.display)
        env["GTK_MODULES"] = "gail:atk-bridge"
        env.update(extra_env or {})
        self.stderr_path = os.path.join(sandbox.root, "tplsetup.stderr")
        self.stderr = open(self.stderr_path, "w")
        self.process = subprocess.Popen([program] + list(args), cwd=cwd or sandbox.app, env=env,
                                        stdout=self.stderr, stderr=self.stderr,
                                        preexec_fn=die_with_driver)
        self.window = None
        self.title = None

    # --- process -------------------------------------------------------
    def exit_status(self, deadline=DEFAULT_DEADLINE):
        return wait_for("tplsetup to end", lambda: self.process.poll() is not None and
                        [self.process.returncode], deadline)[0]

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()
        self.stderr.close()

    def diagnostics(self):
        with open(self.stderr_path) as f:
            return f.read()[-4000:]

    # --- X windows -----------------------------------------------------
    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.x.env(),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        return result.stdout

    def windows_named(self, title):
        out = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title)
        return [int(w) for w in out.split()]

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values.get("WIDTH", 0)), int(values.get("HEIGHT", 0))

    def wait_main_window(self, title, deadline=DEFAULT_DEADLINE):
        self.title = title

        def find():
            for w in self.windows_named(title):
                if self.geometry(w) == (500, 360):
                    return w
            return None
        self.window = wait_for("the wizard window '%s'" % title, find, deadline)
        return self.window

    def click(self, point):
        self.xdotool("mousemove", "--window", self.window, point[0], point[1], "click", "1")

    def key(self, *keys):
        # Without a window manager the keyboard follows the pointer.
        self.xdotool("mousemove", "--window", self.window, 250, 200)
        self.xdotool("key", "--clearmodifiers", *keys)

    def type_into_entry(self, text):
        self.click(ENTRY)
        self.xdotool("key", "--clearmodifiers", "ctrl+a", "BackSpace")
        # ASCII through the keymap as it is; every other letter through a key
        # of its own (see bind_keys), pressed by its keysym name.
        self.bind_keys(text)
        for run in re.findall(r"[\x00-\x7f]+|[^\x00-\x7f]+", text):
            if run.isascii():
                self.xdotool("type", "--delay", "5", run)
            else:
                self.xdotool("key", "--delay", "5", *[keysym_name(char) for char in run])

    def bind_keys(self, text):
        """Binds every letter of text that the keymap lacks to a spare
        keycode, for the rest of the run.

        xdotool would otherwise bind a spare keycode for each such letter,
        press it and unbind it at once; the toolkit reads the keymap only
        when it handles the key, and under load finds the key unbound by then
        and loses the letter."""
        table = subprocess.run(["xmodmap", "-pke"], env=self.x.env(), stdout=subprocess.PIPE,
                               text=True, check=True).stdout
        bound, spare = set(), []
        for line in table.splitlines():
            code, _, keysyms = line.partition("=")
            bound.update(keysyms.split())
            if not keysyms.split():
                spare.append(int(code.split()[1]))
        missing = sorted({keysym_name(char) for char in text if not char.isascii()} - bound)
        if len(missing) > len(spare):
            raise Failure("no spare keycodes for %d letters" % len(missing))
        expressions = []
        for code, name in zip(spare, missing):
            expressions += ["-e", "keycode %d = %s %s" % (code, name, name)]
        if expressions:
            subprocess.run(["xmodmap"] + expressions, env=self.x.env(), check=True)

    def screenshot(self, path, whole_screen=False):
        target = "root" if whole_screen else str(self.window)
        subprocess.run(["import", "-window", target, path], env=self.x.env(), check=True)

    # --- what the windows show (accessibility, read only) ---------------
    def application(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == self.process.pid:
                    return app
            except Exception:
                continue
        return None

    def top_levels(self, role):
        app = self.application()
        if app is None:
            return []
        found = []
        for child in app:
            try:
                if child is not None and child.getRole() == role and \
                        child.getState().contains(pyatspi.STATE_SHOWING):
                    found.append(child)
            except Exception:
                continue
        return found

    def shown_texts(self, root, roles=(pyatspi.ROLE_LABEL,)):
        # Without the invisible marks that keep a path from breaking but after "/".
        return [node.name.replace("\u2060", "").replace("\u200b", "") for node in
                accessibles(root, lambda node: node.getRole() in roles and node.name, shown_only=True)]

    def main_window(self):
        """The wizard's window as a screen reader finds it: a dialog named
        after its title (wait_main_window names it); else None."""
        found = [d for d in self.top_levels(pyatspi.ROLE_DIALOG) if self.title is None or d.name == self.title]
        return found[0] if found else None

    def page_texts(self):
        main = self.main_window()
        return self.shown_texts(main) if main else []

    def wait_page_text(self, text, deadline=DEFAULT_DEADLINE):
        try:
            return wait_for("the page text %r" % text,
                            lambda: any(text in t for t in self.page_texts()), deadline)
        except Failure:
            raise Failure("the page text %r did not appear; the page shows %r"
                          % (text, self.page_texts()))

    def find_widget(self, root, role, name=None):
        if root is None:
            return None
        try:
            if root.getRole() == role and (name is None or root.name == name):
                return root
            children = list(root)
        except Exception:
            return None
        for child in children:
            found = self.find_widget(child, role, name)
            if found is not None:
                return found
        return None

    def entry_text(self):
        entry = self.find_widget(self.main_window(), pyatspi.ROLE_TEXT)
        if entry is None:
            raise Failure("no entry on the page")
        text = entry.queryText()
        return text.getText(0, -1)

    def button_state(self, name):
        """(showing, sensitive) of a wizard button, or None when absent."""
        button = self.find_widget(self.main_window(), pyatspi.ROLE_PUSH_BUTTON, name)
        if button is None:
            return None
        state = button.getState()
        return state.contains(pyatspi.STATE_SHOWING), state.contains(pyatspi.STATE_SENSITIVE)

    def set_entry_text(self, text):
        """Puts text into the directory page's entry as a paste would, with
        characters no key can type (a line feed)."""
        entry = self.find_widget(self.main_window(), pyatspi.ROLE_TEXT)
        if entry is None:
            raise Failure("no entry on the page")
        entry.queryEditableText().setTextContents(text)

    def has_skip_taskbar(self, window):
        """Whether the window asks to be left out of the taskbar."""
        out = subprocess.run(["xprop", "-id", str(window), "_NET_WM_STATE"], env=self.x.env(),
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
        return "_NET_WM_STATE_SKIP_TASKBAR" in out

    def wait_message_box(self, deadline=DEFAULT_DEADLINE):
        """Waits for a message box; returns its texts."""
        box = wait_for("a message box", lambda: self.top_levels(pyatspi.ROLE_ALERT), deadline)[0]
        return self.shown_texts(box)

    def answer_message_box(self, button_name):
        """Clicks a button of the open message box where it is on the screen."""
        def find():
            boxes = self.top_levels(pyatspi.ROLE_ALERT)
            return boxes and self.find_widget(boxes[0], pyatspi.ROLE_PUSH_BUTTON, button_name)
        button = wait_for("the %s button of the message box" % button_name, find)
        extents = button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        x, y = extents.x + extents.width // 2, extents.y + extents.height // 2
        self.xdotool("mousemove", x, y, "click", "1")
        wait_for("the message box to close", lambda: not self.top_levels(pyatspi.ROLE_ALERT))

    def message_box_buttons(self):
        """Names of the open message box's buttons, in their order on screen."""
        box = wait_for("a message box", lambda: self.top_levels(pyatspi.ROLE_ALERT))[0]
        buttons = [(node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).x, node.name)
                   for node in accessibles(box, lambda node: node.getRole() == pyatspi.ROLE_PUSH_BUTTON)]
        return [name for _, name in sorted(buttons)]

    def progress_value(self):
        bar = self.find_widget(self.main_window(), pyatspi.ROLE_PROGRESS_BAR)
        if bar is None:
            return -1.0
        value = bar.queryValue()
        span = value.maximumValue - value.minimumValue
        return (value.currentValue - value.minimumValue) / span if span else -1.0

    def shown_area(self):
        """Screen rectangle (x0, y0, x1, y1) covering every shown top-level window."""
        boxes = []
        for role in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT):
            for window in self.top_levels(role):
                e = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                boxes.append((e.x, e.y, e.x + e.width, e.y + e.height))
        if not boxes:
            raise Failure("no window shown")
        return (min(b[0] for b in boxes), min(b[1] for b in boxes),
                max(b[2] for b in boxes), max(b[3] for b in boxes))

    def focused(self):
        """The focused accessible of the wizard window, or None."""
        found = accessibles(self.main_window(),
                            lambda node: node.getState().contains(pyatspi.STATE_FOCUSED))
        return found[0] if found else None

    def wait_focus(self, role, name=None, deadline=DEFAULT_DEADLINE):
        """Waits until the focus is on a widget of role (and name); returns it.
        Without a window manager the window has the keyboard (and so shows a
        focused widget) only while the pointer is over it."""
        self.xdotool("mousemove", "--window", self.window, 250, 200)

        def on_it():
            node = self.focused()
            try:
                return node is not None and node.getRole() == role and \
                    (name is None or node.name == name) and node
            except Exception:
                return None
        try:
            return wait_for("the focus on %s %r" % (role, name), on_it, deadline)
        except Failure:
            node = self.focused()
            raise Failure("the focus is on %r" % (node and (node.getRoleName(), node.name),))

    def act_until(self, action, what, predicate, tries=5):
        """Repeats action until predicate holds: the wizard ignores Next, Back
        and Enter for a moment after a page change or a message box, so an
        action may be swallowed on purpose."""
        for _ in range(tries):
            action()
            try:
                return wait_for(what, predicate, 1.0)
            except Failure:
                continue
        raise Failure("%s did not happen after %d tries" % (what, tries))

    def press_until(self, key, what, predicate):
        return self.act_until(lambda: self.key(key), what, predicate)

    def click_until(self, point, what, predicate):
        return self.act_until(lambda: self.click(point), what, predicate)

    def advance(self, point=NEXT):
        """Clicks a navigation button (Next by default) until the wizard
        reacts: another page, a message box, or the end of the program."""
        before = self.page_texts()

        def reacted():
            return self.process.poll() is not None or bool(self.top_levels(pyatspi.ROLE_ALERT)) or \
                self.page_texts() != before
        self.click_until(point, "the wizard to react to a click", reacted)

    def transient_for(self, window):
        """The X window a window is transient for, or None."""
        out = subprocess.run(["xprop", "-id", str(window), "WM_TRANSIENT_FOR"], env=self.x.env(),
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
        if "window id #" not in out:
            return None
        return int(out.rsplit("#", 1)[1].strip(), 16)

    def extents(self, node):
        e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def file_choosers(self):
        return self.top_levels(pyatspi.ROLE_FILE_CHOOSER) + \
            [d for d in self.top_levels(pyatspi.ROLE_DIALOG) if d.name != self.title]

    def wait_file_chooser(self):
        chooser = wait_for("the folder chooser", self.file_choosers)[0]
        # Keys go where the pointer is: move it into the chooser.
        e = chooser.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.xdotool("mousemove", e.x + e.width // 2, e.y + 10)
        return chooser

    def chooser_location(self):
        """Text of the chooser's location entry, or None while it is not shown."""
        node = self._chooser_location_node()
        return node.queryText().getText(0, -1) if node is not None else None

    def set_chooser_location(self, text):
        """Puts text into the chooser's location entry through accessibility:
        xdotool cannot type characters outside the keymap reliably (it remaps
        a spare keycode, which races with the client)."""
        node = self._chooser_location_node()
        if node is None:
            raise Failure("no location entry in the folder chooser")
        node.queryEditableText().setTextContents(text)

    def _chooser_location_node(self):
        choosers = self.file_choosers()
        if not choosers:
            return None
        found = accessibles(choosers[0], lambda node: node.getRole() == pyatspi.ROLE_TEXT and
                            node.getState().contains(pyatspi.STATE_EDITABLE), shown_only=True)
        return found[0] if found else None

    def wait_chooser_location(self):
        wait_for("the chooser's location entry", lambda: self.chooser_location() is not None)

    def click_chooser_place(self, name):
        """Clicks a place of the chooser's side bar ("File System", "home"...).
        The chooser opens on the recently used files, where it takes no typed location."""
        def find():
            choosers = self.file_choosers()
            return choosers and self.find_widget(choosers[0], pyatspi.ROLE_TABLE_CELL, name)
        cell = wait_for("the place " + name, find)
        e = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.xdotool("mousemove", e.x + e.width // 2, e.y + e.height // 2, "click", "1")

    def request_close(self):
        """Asks the wizard window to close as a window manager's close button
        does: a WM_DELETE_WINDOW client message (there is no window manager)."""
        send_delete_window(self.x.display, self.window)


class NameChanges:
    """The accessible names that widgets of a role took, in order, as a
    screen reader hears of them: events are kept from the moment this is
    made, whatever the flow polls meanwhile."""

    def __init__(self, role):
        from gi.repository import GLib
        self._context = GLib.MainContext.default()
        self.role = role
        self.names = []
        pyatspi.Registry.registerEventListener(self._keep, "object:property-change:accessible-name")

    def _keep(self, event):
        try:
            if event.source.getRole() == self.role:
                self.names.append(event.source.name)
        except Exception:
            pass

    def seen(self):
        """Delivers the events that have arrived; returns every name so far."""
        while self._context.iteration(False):
            pass
        return list(self.names)

    def stop(self):
        pyatspi.Registry.deregisterEventListener(self._keep, "object:property-change:accessible-name")


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


def send_delete_window(display_name, window):
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(display_name.encode())
    if not display:
        raise Failure("cannot open " + display_name)
    try:
        event = _XEvent()
        event.client.type = 33  # ClientMessage
        event.client.window = window
        event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.client.data[1] = 0  # CurrentTime
        x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        x11.XFlush(display)
    finally:
        x11.XCloseDisplay(display)


def run_in_own_session(script):
    """Runs script again inside a private D-Bus session. The accessibility
    bus puts its socket below XDG_RUNTIME_DIR (else below HOME, shared by all
    tests), so every run gets its own; the run's files live in the same
    folder, which goes when the session ends."""
    root = tempfile.mkdtemp(prefix="tplsetup-e2e-run-")
    runtime = os.path.join(root, "runtime")
    os.mkdir(runtime, 0o700)
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, TPL_E2E_ROOT=root, TPL_E2E_SESSION="1")
    try:
        return subprocess.run(["dbus-run-session", "--", sys.executable, os.path.abspath(script)] +
                              sys.argv[1:], env=env).returncode
    finally:
        shutil.rmtree(root, ignore_errors=True)


def run_flows(flows, script, make_context):
    """Runs the flow the command line names, in a D-Bus session of its own;
    make_context(options, sandbox) starts what the flows need (an X server)."""
    if "TPL_E2E_SESSION" not in os.environ:
        return run_in_own_session(script)
    return run_flow(flows, make_context)
