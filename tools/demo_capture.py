#!/usr/bin/env python3
"""Runs the saver for a few seconds on the session's X display, saves a
picture of what it drew and prints the picture's path.

    tools/demo_capture.py MODULE OUTPUT.png [--seconds S] [--wallpaper PICTURE]

With a wallpaper, the desktop's wallpaper is set to that picture first: the
session's desktop is blank, so the saver starts from the wallpaper. Meant to
run inside tools/wine_session.py, which provides the display and the prefix.
"""
import argparse
import subprocess
import sys
import time


def windows_path(path):
    return subprocess.run(["winepath", "-w", path], check=True, capture_output=True,
                          text=True, timeout=60).stdout.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("module")
    parser.add_argument("output")
    parser.add_argument("--seconds", type=float, default=3.0)
    parser.add_argument("--wallpaper")
    args = parser.parse_args()
    if args.wallpaper:
        subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "Wallpaper",
                        "/d", windows_path(args.wallpaper), "/f"], check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    saver = subprocess.Popen(["wine", args.module, "/s"], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(args.seconds)
        if saver.poll() is not None:
            print(f"demo: the saver ended early with exit code {saver.returncode}", file=sys.stderr)
            return 1
        subprocess.run(["import", "-window", "root", args.output], check=True, timeout=60)
        # Any key ends the saver, as it would for a user.
        subprocess.run(["xdotool", "key", "space"], check=True, timeout=10)
        code = saver.wait(timeout=30)
    finally:
        if saver.poll() is None:
            saver.kill()
    print(f"demo: the saver drew for {args.seconds:.0f} s and ended with exit code {code}")
    print(f"demo: picture saved to {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
