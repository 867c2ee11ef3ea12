#!/usr/bin/env python3
"""Measures what gyrel, the X11 hack, costs while nobody can see it: on a
private Xvfb it runs in its own window (800 by 600) at the default pace and
with no budget; its window is unmapped and mapped again, and the hack's share
of one core is printed for the periods before, during and after, with the
times it woke up, and what a night of 8 hours would cost in processor-seconds
if the window were hidden after 10 minutes, against drawing all night.

    tools/x11_asleep_bench.py build/host/gyrel [--seconds 10]
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

PACES = (("default (30000 steps/s)", []), ("no budget", ["--steps-per-second", "0"]))
NIGHT_S = 8 * 3600
SHOWN_S = 10 * 60


def run_time_and_wakeups(pid):
    """Processor seconds used so far, and voluntary waits left."""
    with open(f"/proc/{pid}/schedstat") as f:
        seconds = int(f.read().split()[0]) / 1e9
    with open(f"/proc/{pid}/status") as f:
        wakeups = int(re.search(r"^voluntary_ctxt_switches:\s+(\d+)", f.read(), re.M).group(1))
    return seconds, wakeups


def measure(pid, seconds):
    """The share of one core (in %) and the wake-ups over the next seconds."""
    cpu0, wake0 = run_time_and_wakeups(pid)
    start = time.monotonic()
    time.sleep(seconds)
    cpu1, wake1 = run_time_and_wakeups(pid)
    return 100 * (cpu1 - cpu0) / (time.monotonic() - start), wake1 - wake0


def xdotool(display, *args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, check=True, timeout=30,
                          env={**os.environ, "DISPLAY": display}).stdout.split()


def own_window(display, pid):
    for _ in range(100):
        try:
            return xdotool(display, "search", "--pid", str(pid))[0]
        except (subprocess.CalledProcessError, IndexError):
            time.sleep(0.1)
    sys.exit("gyrel's window did not appear")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("gyrel")
    parser.add_argument("--seconds", type=float, default=10, help="length of each period")
    args = parser.parse_args()

    server = Xvfb(1024, 768)
    try:
        print(f"gyrel in an 800x600 window; share of one core over {args.seconds:g} s "
              f"(wake-ups in brackets)")
        print(f"{'pace':24} {'before':>16} {'unmapped':>16} {'mapped again':>16}   "
              f"night of 8 h, hidden after 10 min: before -> now")
        for name, options in PACES:
            hack = subprocess.Popen([args.gyrel, "--window", *options],
                                    env={**os.environ, "DISPLAY": server.display, "GYREL_GETIMAGE": ""})
            try:
                window = own_window(server.display, hack.pid)
                time.sleep(1)  # past the start picture
                figures = [measure(hack.pid, args.seconds)]
                xdotool(server.display, "windowunmap", "--sync", window)
                figures.append(measure(hack.pid, args.seconds))
                xdotool(server.display, "windowmap", "--sync", window)
                figures.append(measure(hack.pid, args.seconds))
            finally:
                hack.send_signal(signal.SIGTERM)
                code = hack.wait(timeout=30)
            if code != 0:
                sys.exit(f"gyrel ended with exit code {code}")
            drawing, hidden = figures[0][0] / 100, figures[1][0] / 100
            always = drawing * NIGHT_S
            now = drawing * SHOWN_S + hidden * (NIGHT_S - SHOWN_S)
            print(f"{name:24} " + " ".join(f"{share:8.2f}% ({wakeups:4d})" for share, wakeups in figures) +
                  f"   {always:7.0f} s -> {now:5.0f} s", flush=True)
    finally:
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
