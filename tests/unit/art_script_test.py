#!/usr/bin/env python3
"""The checked-in pictures are what resources/make_art.py draws today.

    art_script_test.py RESOURCES_DIRECTORY
"""
import filecmp
import os
import subprocess
import sys
import tempfile
import unittest

RESOURCES = None
PICTURES = ["monitor.bmp", "gyrel.ico", "pinwheel.ico"]


class ArtScript(unittest.TestCase):
    def test_checked_in_pictures_match_the_script(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, os.path.join(RESOURCES, "make_art.py"), out],
                           check=True, timeout=120)
            for name in PICTURES:
                with self.subTest(picture=name):
                    self.assertTrue(
                        filecmp.cmp(os.path.join(out, name), os.path.join(RESOURCES, name),
                                    shallow=False),
                        f"{name} differs from the script's output: run resources/make_art.py")


if __name__ == "__main__":
    RESOURCES = sys.argv.pop(1)
    unittest.main(verbosity=2)
