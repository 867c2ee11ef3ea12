#!/usr/bin/env python3
"""Real input through the X server ends the running saver.

Starts the real module full screen (/s) under Wine, sends a key press, a
button press or a pointer movement with xdotool, and checks that the saver
ends with exit code 0 (no password is set in the test prefix). Also checks
that the saver survives its own start: the pointer report the platform makes
when the window appears under the pointer is at the baseline and must not
end it. Runs inside the Wine test session; outside it, it fails.
"""
import os
import shutil
import subprocess
import sys
import time
import unittest

MODULE = None
SETTLE_SECONDS = 3
EXIT_TIMEOUT = 15


class RealInput(unittest.TestCase):
    def setUp(self):
        self.assertEqual(os.environ.get("GYREL_TEST_SESSION"), "1",
                         "not inside the Wine test session (tools/wine_session.py)")
        self.assertIsNotNone(shutil.which("xdotool"), "xdotool is not installed")
        # A known pointer position, away from where the inputs will move it.
        subprocess.run(["xdotool", "mousemove", "300", "200"], check=True, timeout=10)

    def start_saver(self):
        saver = subprocess.Popen(["wine", MODULE, "/s"], stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop, saver)
        time.sleep(SETTLE_SECONDS)
        self.assertIsNone(saver.poll(), "the saver ended on its own before any input")
        return saver

    @staticmethod
    def stop(saver):
        if saver.poll() is None:
            saver.kill()
            saver.wait(timeout=10)

    def assert_ends_with_zero(self, saver, what):
        try:
            code = saver.wait(timeout=EXIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.fail(f"the saver did not end after {what}")
        self.assertEqual(code, 0, what)

    def test_key_press_ends_the_saver(self):
        saver = self.start_saver()
        subprocess.run(["xdotool", "key", "a"], check=True, timeout=10)
        self.assert_ends_with_zero(saver, "a key press")

    def test_button_press_ends_the_saver(self):
        saver = self.start_saver()
        subprocess.run(["xdotool", "click", "1"], check=True, timeout=10)
        self.assert_ends_with_zero(saver, "a button press")

    def test_pointer_movement_ends_the_saver(self):
        saver = self.start_saver()
        subprocess.run(["xdotool", "mousemove_relative", "--", "7", "5"], check=True, timeout=10)
        self.assert_ends_with_zero(saver, "a pointer movement")


if __name__ == "__main__":
    MODULE = sys.argv.pop(1)
    unittest.main(verbosity=2)
