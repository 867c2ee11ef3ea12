#!/usr/bin/env python3
"""Runs the saver for a few seconds on the session's X display, saves a
picture of what it drew and prints the picture's path.

    tools/demo_capture.py MODULE OUTPUT.png [SECONDS]

Meant to run inside tools/wine_session.py, which provides the display.
"""
import subprocess
import sys
import time


def main():
    module, output = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 6.0
    saver = subprocess.Popen(["wine", module, "/s"], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(seconds)
        if saver.poll() is not None:
            print(f"demo: the saver ended early with exit code {saver.returncode}", file=sys.stderr)
            return 1
        subprocess.run(["import", "-window", "root", output], check=True, timeout=60)
        # Any key ends the saver, as it would for a user.
        subprocess.run(["xdotool", "key", "space"], check=True, timeout=10)
        code = saver.wait(timeout=30)
    finally:
        if saver.poll() is None:
            saver.kill()
    print(f"demo: the saver drew for {seconds:.0f} s and ended with exit code {code}")
    print(f"demo: picture saved to {output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
