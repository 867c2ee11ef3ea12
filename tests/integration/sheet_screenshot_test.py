#!/usr/bin/env python3
"""A picture of the Options sheet as the X server shows it.

Starts the real module in configure mode under Wine, takes a screenshot of
the sheet, saves it (the README shows one such picture) and checks the
monitor in it: the light-grey casing, the black frame round the screen, and
around the stand the page's own background, not black. Then presses Escape,
as a user would, and expects the module to end with exit code 0.

    sheet_screenshot_test.py MODULE OUTPUT.png

Runs inside the Wine test session (tools/wine_session.py); outside it, it
fails.
"""
import os
import shutil
import subprocess
import sys
import time
import unittest

MODULE = None
OUTPUT = None
TITLE = "Options for Gyrel"
TIMEOUT = 60

# Places in the monitor picture (184 by 170), relative to its top left.
POWER_LIGHT = (131, 165)  # top left of the green light on the foot
CASING = (6, 6)
FRAME = (14, 15)  # in the black frame round the screen
BESIDE_THE_NECK = (10, 160)  # transparent in the mask
BESIDE_THE_FOOT = (175, 169)
LIGHT_GREY = (192, 192, 192)
GREEN = (0, 255, 0)
BLACK = (0, 0, 0)


def read_pixels(path, width, height):
    """Pixels of a picture as rows of (r, g, b), through ImageMagick."""
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                          stdout=subprocess.PIPE, timeout=60).stdout
    if len(data) != width * height * 3:
        raise AssertionError(f"{path}: {len(data)} bytes for {width} by {height} pixels")
    return [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def find_window():
    """The sheet's X window id and geometry (x, y, width, height)."""
    window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                             f"^{TITLE}$"], check=True, stdout=subprocess.PIPE,
                            timeout=TIMEOUT).stdout.split()[0].decode()
    shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], check=True,
                           stdout=subprocess.PIPE, timeout=10).stdout.decode()
    values = dict(line.split("=", 1) for line in shell.split())
    return window, tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


class SheetScreenshot(unittest.TestCase):
    def setUp(self):
        self.assertEqual(os.environ.get("GYREL_TEST_SESSION"), "1",
                         "not inside the Wine test session (tools/wine_session.py)")
        for tool in ("xdotool", "import", "convert"):
            self.assertIsNotNone(shutil.which(tool), f"{tool} is not installed")

    def test_sheet_shows_the_monitor_on_the_page_background(self):
        module = subprocess.Popen(["wine", MODULE, "/c"], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            _, (x, y, width, height) = find_window()
            time.sleep(2)  # let the sheet and its monitor paint
            whole = OUTPUT + ".root.png"
            subprocess.run(["import", "-window", "root", whole], check=True, timeout=60)
            subprocess.run(["convert", whole, "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                            OUTPUT], check=True, timeout=60)
            os.remove(whole)
            pixels = read_pixels(OUTPUT, width, height)

            lights = [(px, py) for py, row in enumerate(pixels) for px, p in enumerate(row)
                      if p == GREEN]
            self.assertTrue(lights, "no power light in the picture")
            left, top = lights[0][0] - POWER_LIGHT[0], lights[0][1] - POWER_LIGHT[1]

            def at(point):
                return pixels[top + point[1]][left + point[0]]

            self.assertEqual(at(CASING), LIGHT_GREY)
            self.assertEqual(at(FRAME), BLACK)
            page = at((-4, 160))  # the page, just left of the monitor
            self.assertNotEqual(page, BLACK)
            self.assertEqual(at(BESIDE_THE_NECK), page)
            self.assertEqual(at(BESIDE_THE_FOOT), page)

            subprocess.run(["xdotool", "key", "Escape"], check=True, timeout=10)
            self.assertEqual(module.wait(timeout=TIMEOUT), 0)
        finally:
            if module.poll() is None:
                module.kill()
                module.wait(timeout=10)


if __name__ == "__main__":
    MODULE = sys.argv.pop(1)
    OUTPUT = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
