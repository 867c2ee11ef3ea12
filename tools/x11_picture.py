#!/usr/bin/env python3
"""Makes the README's picture of gyrel, the X11 hack: on a private Xvfb whose
desktop shows the renderer's built-in picture, `gyrel --root` runs, and the
screen is grabbed at the start and after the given seconds, side by side at
half size.

    tools/x11_picture.py BUILD-DIR OUTPUT.png [--at 1 4]
"""
import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "x11"))
from xvfb import Xvfb  # noqa: E402

WIDTH, HEIGHT = 640, 480


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("output")
    parser.add_argument("--at", type=float, nargs="+", default=[1, 4], help="seconds after the start")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([os.path.join(args.build, "gyrel-render"), "--seconds", "0", "--frames", "1",
                        "--size", f"{WIDTH}x{HEIGHT}", "--png-dir", tmp, "--quiet"], check=True)
        server = Xvfb(WIDTH, HEIGHT)
        env = {**os.environ, "DISPLAY": server.display}
        try:
            # The server runs with -noreset, so the background outlives
            # `display`, which says 1 even when it has set it.
            subprocess.run(["display", "-window", "root", os.path.join(tmp, "frame-0000.png")], env=env,
                           timeout=60)
            shots = [os.path.join(tmp, "start.png")]
            subprocess.run(["import", "-window", "root", shots[0]], env=env, check=True, timeout=60)
            hack = subprocess.Popen([os.path.join(args.build, "gyrel"), "--root"], env=env)
            start = time.monotonic()
            for seconds in sorted(args.at):
                time.sleep(max(0, start + seconds - time.monotonic()))
                shots.append(os.path.join(tmp, f"after-{seconds:g}.png"))
                subprocess.run(["import", "-window", "root", shots[-1]], env=env, check=True, timeout=60)
            hack.send_signal(signal.SIGTERM)
            if hack.wait(timeout=30) != 0:
                sys.exit("gyrel did not end cleanly")
        finally:
            server.stop()
        subprocess.run(["convert", *shots, "-resize", "50%", "-bordercolor", "white", "-border", "2",
                        "+append", args.output], check=True)
    print(args.output)


if __name__ == "__main__":
    main()
