#!/usr/bin/env python3
"""Exit codes of the real module as a Linux caller sees them through Wine.

Wine hands a Windows exit code of -1 to Linux as 255. Runs inside the Wine
test session (tools/wine_session.py); outside it the test fails.
"""
import os
import subprocess
import sys
import unittest

MODULE = None
TIMEOUT = 60


def run_module(*arguments):
    result = subprocess.run(["wine", MODULE, *arguments], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=TIMEOUT)
    return result.returncode


class ExitCodes(unittest.TestCase):
    def setUp(self):
        self.assertEqual(os.environ.get("GYREL_TEST_SESSION"), "1",
                         "not inside the Wine test session (tools/wine_session.py)")
        self.assertTrue(os.path.isfile(MODULE), MODULE)

    def test_unrecognised_command_lines_end_with_255(self):
        cases = [["/x"], ["s"], ["/p"], ["/p", "12345"], ["/a", "abc"], ["/s:123"]]
        for arguments in cases:
            with self.subTest(arguments=arguments):
                self.assertEqual(run_module(*arguments), 255)

    def test_configure_ends_with_0(self):
        # The settings sheet stays until the user leaves it: Escape cancels.
        for arguments in [[], ["/c"], ["/c:1234"]]:
            with self.subTest(arguments=arguments):
                module = subprocess.Popen(["wine", MODULE, *arguments], stdin=subprocess.DEVNULL,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                    "^Options for Gyrel$"], check=True, timeout=TIMEOUT,
                                   stdout=subprocess.DEVNULL)
                    subprocess.run(["xdotool", "key", "Escape"], check=True, timeout=10)
                    self.assertEqual(module.wait(timeout=TIMEOUT), 0)
                finally:
                    if module.poll() is None:
                        module.kill()
                        module.wait(timeout=10)


if __name__ == "__main__":
    MODULE = sys.argv.pop(1)
    unittest.main(verbosity=2)
