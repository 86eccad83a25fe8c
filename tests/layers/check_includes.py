#!/usr/bin/env python3
"""Fails when a folder includes a layer that is not below it.

Every quoted include names its layer ("fs/file_io.h"), a test helper
("support/..."), or a file beside the including one. The matrix is the
architecture: text at the bottom, the entry point at the top.
"""
import argparse
import os
import re
import sys
import tempfile

BELOW = {
    "text": set(),
    "catalog": {"text"},
    "fs": {"text"},
    "kit": {"fs", "text"},
    "config": {"fs", "text"},
    "journal": {"fs", "text"},
    "engine": {"kit", "journal", "catalog", "fs", "text"},
    "session": {"engine", "config", "kit", "journal", "catalog", "fs", "text"},
}
BELOW["headless"] = BELOW["session"] | {"session"}
BELOW["ui"] = BELOW["session"] | {"session"}
BELOW["app"] = BELOW["session"] | {"session", "headless", "ui"}
# tkx recover finds interrupted runs beside the directories the launcher
# files name, so it reads them.
BELOW["tkx"] = {"kit", "journal", "config", "fs", "text"}
LAYERS = set(BELOW)
# tkx diff promises what an installation would do; its tests hold that
# promise against the engine itself, which the tool does not use.
TESTS_MAY_ALSO = {"tkx": {"engine"}}
# Each fuzz target belongs to the layer whose reader it feeds.
FUZZED_LAYER = {"journal_decode_fuzzer.cpp": "journal", "launcher_file_fuzzer.cpp": "config"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCES = (".h", ".hpp", ".cpp", ".cc")


def layer_of(relpath):
    """The layer a file belongs to, and whether it is a test of it."""
    parts = relpath.split(os.sep)
    if parts[0] == "src" and len(parts) > 2:
        return parts[1], False
    if parts[0] == "tools" and len(parts) > 2:
        return parts[1], False
    if parts[0] == "tests" and len(parts) > 2:
        return parts[1], True
    if parts[0] == "bench" and len(parts) > 2:
        return parts[1], True
    if parts[0] == "fuzz":
        return FUZZED_LAYER.get(parts[-1], "kit"), True
    return None, False


def allowed(layer, is_test):
    if layer not in LAYERS:
        # A test folder without a layer of its own (support, layers) may use
        # anything below the front ends.
        return BELOW["session"] | {"session"}
    extra = TESTS_MAY_ALSO.get(layer, set()) if is_test else set()
    return BELOW[layer] | {layer} | extra


def violations(root):
    found = []
    for top in ("src", "tools", "tests", "bench", "fuzz"):
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith(SOURCES):
                    continue
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, root)
                layer, is_test = layer_of(rel)
                if layer is None:
                    continue
                may = allowed(layer, is_test)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(1)
                        head = target.split("/")[0] if "/" in target else None
                        if head in LAYERS:
                            if head not in may:
                                found.append(f"{rel}:{number}: {layer} may not include {target}")
                        elif head == "support" and is_test:
                            continue
                        elif os.path.exists(os.path.join(folder, target)):
                            continue
                        else:
                            found.append(f"{rel}:{number}: {target} names no layer")
    return found


def self_test():
    """The check must catch an upward and a sideways include."""
    cases = {
        "src/kit/upward.cpp": '#include "engine/install_engine.h"\n',
        "src/config/sideways.cpp": '#include "kit/kit_reader.h"\n',
        "src/engine/stray.cpp": '#include "nowhere.h"\n',
        "src/engine/fine.cpp": '#include "kit/kit_reader.h"\n#include "fine.h"\n',
        "src/engine/fine.h": "",
        "tools/tkx/upward.cpp": '#include "engine/install_engine.h"\n',
        "tests/tkx/against_engine.cpp": '#include "engine/install_engine.h"\n',
    }
    with tempfile.TemporaryDirectory() as root:
        for rel, text in cases.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)
        got = violations(root)
    expected = ["src/config/sideways.cpp:1", "src/engine/stray.cpp:1", "src/kit/upward.cpp:1",
                "tools/tkx/upward.cpp:1"]
    heads = sorted(v.split(": ")[0] for v in got)
    if heads != expected:
        print("self-test failed: found", got)
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    found = violations(args.root)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
