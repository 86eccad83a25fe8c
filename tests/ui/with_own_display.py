#!/usr/bin/env python3
"""Runs a command on an Xvfb of its own: with_own_display.py WxHxD COMMAND...

Given no display number, Xvfb takes the first free one (it claims the number
by its lock file, so tests that start together, in this tree or another,
never share one) and writes it to -displayfd once it accepts connections.
Exits with the command's status; 1 when no X server could be started."""
import os
import select
import subprocess
import sys


def start_server(screen):
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-screen", "0", screen, "-nolisten", "tcp", "-noreset", "-displayfd", str(write_end)],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
    os.close(write_end)
    text = b""
    while not text.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], 30)
        chunk = os.read(read_end, 64) if ready else b""
        if not chunk:
            break
        text += chunk
    os.close(read_end)
    if not text.strip().isdigit() or server.poll() is not None:
        server.kill()
        server.wait()
        return None, None
    return server, ":" + text.strip().decode()


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    server, display = start_server(sys.argv[1])
    if server is None:
        print("with_own_display: no X server could be started", file=sys.stderr)
        return 1
    try:
        return subprocess.call(sys.argv[2:], env=dict(os.environ, DISPLAY=display))
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    sys.exit(main())
