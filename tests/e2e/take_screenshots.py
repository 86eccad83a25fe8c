#!/usr/bin/python3
"""Takes the screenshots of every page for the documentation, in English and
in Russian, in a private Xvfb:

    take_screenshots.py --tplsetup BIN --tkx BIN --out DIR
"""
import argparse
import os
import re
import subprocess
import sys

from e2e_driver import CANCEL, run_in_own_session, wait_for
from e2e_files import Sandbox, write_tree
from wizard_flows import Context

HERE = os.path.dirname(os.path.abspath(__file__))
CATALOG = os.path.join(HERE, "..", "..", "src", "catalog")
LANGUAGES = ("en", "ru")
MARGIN = 12


def catalog(code):
    with open(os.path.join(CATALOG, "texts_%s.cpp" % code), encoding="utf-8") as f:
        pairs = re.findall(r'\{"(\w+)",\s*"((?:[^"\\]|\\.)*)"\}', f.read())
    return {key: value.encode().decode("unicode_escape").encode("latin-1").decode("utf-8")
            for key, value in pairs}


class Shooter:
    def __init__(self, options, code):
        self.options = options
        self.code = code
        self.texts = catalog(code)
        self.args = ["-L" + code]
        self.env = {"LANGUAGE": code}

    def shot(self, w, name, whole_screen=False):
        path = os.path.join(self.options.out, "%s-%s.png" % (self.code, name))
        if whole_screen:
            # The box and the wizard window behind it, with a little of the screen.
            x0, y0, x1, y1 = w.shown_area()
            x0, y0 = max(0, x0 - MARGIN), max(0, y0 - MARGIN)
            crop = "%dx%d+%d+%d" % (x1 - x0 + MARGIN, y1 - y0 + MARGIN, x0, y0)
            raw = path + ".full.png"
            w.screenshot(raw, whole_screen=True)
            subprocess.run(["convert", raw, "-crop", crop, "+repage", path], check=True)
            os.remove(raw)
        else:
            w.screenshot(path)
        print("wrote", path)

    def run(self, prepare, steps):
        sandbox = Sandbox(self.options)
        ctx = Context(self.options, sandbox)
        try:
            prepare(ctx)
            w = ctx.start(*self.args, extra_env=self.env)
            steps(ctx, w)
        finally:
            ctx.stop()
            sandbox.cleanup()

    def title(self):
        return self.texts["IDR_MAINFRAME"]

    def pages(self, ctx, w):
        t = self.texts
        w.wait_main_window(self.title())
        w.wait_page_text(t["IDS_WELCOME_TITLE"])
        self.shot(w, "welcome")
        w.advance()
        w.wait_page_text(t["IDS_TEMPLATE_CATALOG"])
        self.shot(w, "directory")
        w.click(CANCEL)
        w.wait_message_box()
        self.shot(w, "cancel-question", whole_screen=True)
        w.answer_message_box(w.message_box_buttons()[0])
        w.advance()
        w.wait_page_text(t["IDS_SUCCESS_FINISH"])
        self.shot(w, "success")
        w.key("Escape")
        w.wait_message_box()
        w.answer_message_box(w.message_box_buttons()[-1])
        w.exit_status()

    def progress(self, ctx, w):
        w.wait_main_window(self.title())
        w.advance()
        w.advance()
        w.wait_page_text(self.texts["IDS_PROGRESS_START"])
        wait_for("some progress", lambda: w.progress_value() >= 0.25, 30)
        self.shot(w, "progress")
        w.wait_page_text(self.texts["IDS_SUCCESS_FINISH"], 60)
        w.advance()
        w.exit_status()

    def failure(self, ctx, w):
        w.wait_main_window(self.title())
        w.advance()
        w.advance()
        w.wait_message_box()
        self.shot(w, "error-box", whole_screen=True)
        w.answer_message_box(w.message_box_buttons()[0])
        w.wait_page_text(self.texts["IDS_ERROR_FINISH"][:20])
        self.shot(w, "failure")
        w.advance()
        w.exit_status()

    def preparation_error(self, ctx, w):
        w.wait_message_box()
        self.shot(w, "no-kit-box", whole_screen=True)
        w.answer_message_box(w.message_box_buttons()[0])
        w.exit_status()


def demo_kit_over_own_readme(ctx):
    """The demo kit, and the user's own newer README in the proposed
    directory: the success page tells that it was kept."""
    ctx.sandbox.pack_demo_kit()
    os.makedirs(ctx.sandbox.default_target)
    with open(os.path.join(ctx.sandbox.default_target, "README.txt"), "w") as f:
        f.write("my own notes\n")


def big_tree(ctx):
    ctx.sandbox.pack_tree(write_tree(ctx.sandbox.mkdir("many"), 3000, 4096))


def blocked_target(ctx):
    ctx.sandbox.pack_demo_kit()
    target = os.path.join(ctx.sandbox.home, ".qbx4", "Vq", "qbx4", "tmplts")
    os.makedirs(target)
    with open(os.path.join(target, "network"), "w") as f:
        f.write("a file where the kit needs a folder\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tplsetup", required=True)
    parser.add_argument("--tkx", required=True)
    # The flows' context links a held build too; the pages need none.
    parser.add_argument("--tplsetup-held")
    parser.add_argument("--out", required=True)
    options = parser.parse_args()
    options.tplsetup_held = options.tplsetup_held or options.tplsetup
    os.makedirs(options.out, exist_ok=True)
    for code in LANGUAGES:
        s = Shooter(options, code)
        s.run(demo_kit_over_own_readme, s.pages)
        s.run(big_tree, s.progress)
        s.run(blocked_target, s.failure)
        s.run(lambda ctx: None, s.preparation_error)
    return 0


if __name__ == "__main__":
    if "TPL_E2E_SESSION" not in os.environ:
        sys.exit(run_in_own_session(__file__))
    sys.exit(main())
