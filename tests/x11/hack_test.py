#!/usr/bin/env python3
"""gyrel, the X11 hack, on private Xvfb servers: what it draws (read back from
the server), where it starts from, how it ends, and its answers to bad
options.

    hack_test.py PATH-TO-gyrel PATH-TO-gyrel-x11-probe PATH-TO-gyrel.xml

The probe paints the test pattern (stripes in eight colours) and reads pixels
back. Every read-back of a picture the test made is first checked against the
pattern, so a server that shows something else fails the test instead of
passing it vacuously.
"""
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import xml.dom.minidom

from xvfb import Xvfb

GYREL = PROBE = XML = None
SCREEN = (640, 480)
STEP = 16  # between the points a test reads
# Starts from the picture and then waits this long before the next frame:
# long enough for a test to read the start picture back.
STILL = ["--delay", "10000000"]


def grid(width, height):
    return [(x, y) for y in range(STEP // 2, height, STEP) for x in range(STEP // 2, width, STEP)]


def probe(display, *args):
    result = subprocess.run([PROBE, *map(str, args)], capture_output=True, text=True, timeout=30,
                            env={**os.environ, "DISPLAY": display})
    if result.returncode != 0:
        raise AssertionError(f"probe {args[0]} failed: {result.stderr}")
    return result.stdout.split()


def pixels(display, window, points):
    return probe(display, "pixels", window, *[v for p in points for v in p])


def pattern(points, dx=0, scale=1):
    """The pattern at each point, shifted right by dx or scaled up."""
    return probe("", "pattern", *[v for x, y in points for v in ((x + dx) // scale, y // scale)])


def share_equal(a, b):
    return sum(p == q for p, q in zip(a, b)) / len(a)


class HackTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Xvfb(*SCREEN)
        cls.home = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.home.cleanup()

    def choose_images(self, desktop):
        """The user's choice in ~/.xscreensaver, which the image helper reads."""
        with open(os.path.join(self.home.name, ".xscreensaver"), "w") as f:
            f.write(f"grabDesktopImages: {desktop}\ngrabVideoFrames: False\n"
                    "chooseRandomImages: False\n")

    def start(self, *args, display=None, **env):
        environment = {**os.environ, "DISPLAY": display or self.server.display, "HOME": self.home.name}
        environment.pop("XSCREENSAVER_WINDOW", None)
        environment.pop("GYREL_GETIMAGE", None)
        environment.update(env)
        process = subprocess.Popen([GYREL, *args], env=environment, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: process.poll() is None and (process.kill(), process.wait()))
        return process

    def ends_cleanly(self, process, sig=signal.SIGTERM):
        if sig is not None:
            process.send_signal(sig)
        try:
            _, err = process.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            self.fail("gyrel did not end")
        self.assertEqual(process.returncode, 0, err)

    def wait_for(self, condition, what, seconds=10):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                if condition():
                    return
            except AssertionError:
                pass  # the image helper unmaps a window for a moment
            time.sleep(0.2)
        self.fail(f"timed out waiting until {what}")

    def pattern_window(self, x, y, width, height, display=None):
        """A top-level window of the test's, with the pattern as its background
        (the server repaints it itself); its id and the points to read."""
        display = display or self.server.display
        holder = subprocess.Popen([PROBE, "window", str(x), str(y), str(width), str(height)],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                  env={**os.environ, "DISPLAY": display})
        self.addCleanup(lambda: (holder.stdin.close(), holder.wait(timeout=30), holder.stdout.close()))
        window = holder.stdout.readline().strip()
        points = grid(width, height)
        self.assertEqual(pixels(display, window, points), pattern(points),
                         "the server does not show the pattern the test drew")
        return window, points

    def test_root_drags_the_pattern_into_a_spiral(self):
        display = self.server.display
        probe(display, "root")
        points = grid(*SCREEN)
        before = pixels(display, "root", points)
        self.assertEqual(before, pattern(points), "the root does not show the pattern the test drew")

        hack = self.start("-root")
        time.sleep(3)
        after = pixels(display, "root", points)
        self.ends_cleanly(hack)
        # Pattern colours carried to places where the pattern has another.
        colours = set(before)
        moved = sum(a != b and a in colours for a, b in zip(after, before)) / len(points)
        self.assertGreater(moved, 0.10, f"only {moved:.0%} of the points show a moved pattern colour")

    def test_draws_in_a_window_handed_over_until_it_is_destroyed(self):
        # The settings dialog's preview hands its window over by id; the
        # daemon hands its own over in XSCREENSAVER_WINDOW. The second server
        # lacks MIT-SHM, so the picture travels in ordinary requests.
        plain = Xvfb(*SCREEN, "-extension", "MIT-SHM")
        self.addCleanup(plain.stop)
        for how, display in (("--window-id", self.server.display), ("$XSCREENSAVER_WINDOW", plain.display)):
            with self.subTest(how=how):
                window, points = self.pattern_window(0, 0, 320, 240, display)
                # The start picture is a copy of the window, so only the
                # spiral changes it.
                if how == "--window-id":
                    hack = self.start("--window-id", window, display=display, GYREL_GETIMAGE="")
                else:
                    hack = self.start("--root", display=display, XSCREENSAVER_WINDOW=window, GYREL_GETIMAGE="")
                self.wait_for(lambda: share_equal(pixels(display, window, points), pattern(points)) < 0.5,
                              "half the window has changed")
                probe(display, "destroy", window)
                self.ends_cleanly(hack, sig=None)

    def test_start_picture_follows_the_users_choice(self):
        # The window lies one stripe right of the root's pattern: the desktop
        # under it differs from its own background at every point.
        probe(self.server.display, "root")
        for desktop, expected in (("True", "the desktop under the window"), ("False", "colour bars")):
            with self.subTest(desktop=desktop):
                self.choose_images(desktop)
                window, points = self.pattern_window(40, 0, 320, 240)
                hack = self.start("--window-id", window, *STILL)
                desk = pattern(points, dx=40)
                own = pattern(points)
                if desktop == "True":
                    shown = lambda: share_equal(pixels(self.server.display, window, points), desk) > 0.95
                else:
                    shown = lambda: max(share_equal(pixels(self.server.display, window, points), p)
                                        for p in (desk, own)) < 0.2
                self.wait_for(shown, f"the window shows {expected}")
                self.ends_cleanly(hack)

    def test_follows_a_new_size_keeping_the_picture(self):
        window, points = self.pattern_window(0, 0, 160, 120)
        hack = self.start("--window-id", window, *STILL, GYREL_GETIMAGE="")
        time.sleep(1)  # the start picture, a copy of the window, is up
        probe(self.server.display, "resize", window, 320, 240)
        larger = grid(320, 240)
        stretched = pattern(larger, scale=2)
        self.wait_for(lambda: share_equal(pixels(self.server.display, window, larger), stretched) > 0.95,
                      "the picture is stretched over the larger window")
        self.ends_cleanly(hack)

    def test_stop_signals_end_it_cleanly(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                hack = self.start("--window", GYREL_GETIMAGE="")
                self.wait_for(lambda: b"Gyrel" in subprocess.run(
                    ["xwininfo", "-root", "-tree"], capture_output=True,
                    env={**os.environ, "DISPLAY": self.server.display}).stdout, "its window is up")
                self.ends_cleanly(hack, sig)

    def test_bad_options_give_usage_and_exit_code_2(self):
        for args in (["--bogus"], ["-delay"], ["--delay", "soon"], ["--gradient", "3x"],
                     ["--window-id", "0"], ["--window-id", "0xZZ"], ["--resolution", ""], ["stray"]):
            with self.subTest(args=args):
                result = subprocess.run([GYREL, *args], capture_output=True, text=True, timeout=30)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(args[0], result.stderr)
                self.assertIn("usage: gyrel", result.stderr)

    def test_every_setting_in_the_xml_is_understood(self):
        # Each option the settings dialog can pass, at its bounds; the
        # display does not exist, so a run that parses ends with 1, not 2.
        document = xml.dom.minidom.parse(XML)
        for number in document.getElementsByTagName("number"):
            for bound in ("low", "high", "default"):
                args = number.getAttribute("arg").replace("%", number.getAttribute(bound)).split()
                result = subprocess.run([GYREL, *args, "--display", ":9999"], capture_output=True,
                                        text=True, timeout=30)
                self.assertEqual(result.returncode, 1, f"{args}: {result.stderr}")
        for boolean in document.getElementsByTagName("boolean"):
            result = subprocess.run([GYREL, boolean.getAttribute("arg-set"), "--display", ":9999"],
                                    capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, 1, result.stderr)


if __name__ == "__main__":
    GYREL, PROBE, XML = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
