#!/usr/bin/env python3
"""Runs gyrel, the X11 hack, in its own window on a private Xvfb for a long
time and prints, at intervals, what it holds: resident memory, processor
use, and the X resources the server keeps for it (from xrestop). A leak
shows as a figure that keeps growing.

    tools/x11_soak.py build/host/gyrel [--minutes 30] [--every 60]
                      [--size 1280x720] [-- gyrel options (default --delay 0)]

Ends gyrel with SIGTERM and prints its exit code.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "x11"))
from xvfb import Xvfb  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")
FIELDS = ("windows", "GCs", "fonts", "pixmaps", "other bytes", "total bytes")


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def x_resources(display, pid):
    """The server's figures for the client whose window carries gyrel's pid."""
    result = subprocess.run(["xrestop", "-b", "-m", "1"], capture_output=True, text=True, timeout=60,
                            env={**os.environ, "DISPLAY": display})
    for block in re.split(r"\n(?=\d+ - )", result.stdout):
        if re.search(rf"PID:\s*{pid}\b", block):
            return {name: re.search(rf"{name}\s*:\s*~?(\d+)", block).group(1) for name in FIELDS}
    return {name: "?" for name in FIELDS}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("gyrel")
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--every", type=float, default=60, help="seconds between reports")
    parser.add_argument("--size", default="1280x720")
    argv = sys.argv[1:]
    options = argv[argv.index("--") + 1:] if "--" in argv else ["--delay", "0"]
    args = parser.parse_args(argv[:argv.index("--")] if "--" in argv else argv)
    width, height = (int(v) for v in args.size.split("x"))

    server = Xvfb(width, height)
    hack = subprocess.Popen([args.gyrel, "--window", *options],
                            env={**os.environ, "DISPLAY": server.display, "GYREL_GETIMAGE": ""})
    try:
        start = time.monotonic()
        last_time, last_cpu = start, 0.0
        print(f"{'minutes':>8} {'RSS KiB':>8} {'CPU %':>6} " + " ".join(f"{f:>11}" for f in FIELDS), flush=True)
        while time.monotonic() - start < args.minutes * 60 and hack.poll() is None:
            time.sleep(min(args.every, max(0.1, args.minutes * 60 - (time.monotonic() - start))))
            if hack.poll() is not None:
                break
            now, cpu = time.monotonic(), cpu_seconds(hack.pid)
            share = 100 * (cpu - last_cpu) / (now - last_time)
            last_time, last_cpu = now, cpu
            resources = x_resources(server.display, hack.pid)
            print(f"{(now - start) / 60:8.1f} {rss_kib(hack.pid):8d} {share:6.1f} "
                  + " ".join(f"{resources[f]:>11}" for f in FIELDS), flush=True)
        if hack.poll() is None:
            hack.send_signal(signal.SIGTERM)
        code = hack.wait(timeout=30)
        print(f"gyrel ended with exit code {code}")
        return 0 if code == 0 else 1
    finally:
        if hack.poll() is None:
            hack.kill()
            hack.wait()
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
