#!/usr/bin/env python3
"""The Windows installer under Wine, as a user or an administrator meets it.

    installer_test.py DIST     (DIST holds Gyrel-<version>-setup.exe and the zip)

In the session's fresh 64-bit prefix: a silent install puts the 64-bit module
in System32 and the 32-bit one in SysWOW64, writes the uninstall entry and
makes Gyrel the current screen saver, whose module then runs full screen and
ends on a key; installing again replaces it in place; a write that fails
leaves nothing half made; a newer version is not replaced silently; the
silent uninstall removes the modules, the entry and the current saver, and
keeps the user's settings unless asked to remove them. In a fresh 32-bit
prefix the 32-bit module lands in System32.

Runs inside the Wine test session (tools/wine_session.py); outside it, fails.
"""
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from wine_session import create_prefix  # noqa: E402

DIST = None
TIMEOUT = 120
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Gyrel"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
SETTINGS_KEY = r"HKCU\Control Panel\Screen Saver.Gyrel"
I386, AMD64 = 0x014C, 0x8664


def setup_exe():
    found = glob.glob(os.path.join(DIST, "Gyrel-*-setup.exe"))
    if len(found) != 1:
        raise AssertionError(f"no single installer in {DIST}: {found}")
    return found[0]


def version():
    return re.match(r"Gyrel-(.+)-setup\.exe$", os.path.basename(setup_exe())).group(1)


def zip_module(arch):
    with zipfile.ZipFile(os.path.join(DIST, f"Gyrel-{version()}-windows.zip")) as archive:
        return archive.read(f"{arch}/Gyrel.scr")


def pe_machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[offset:offset + 4] == b"PE\0\0", path
    return struct.unpack_from("<H", data, offset + 4)[0]


class Prefix:
    """One Wine prefix and the commands the tests run in it."""

    def __init__(self, env):
        self.env = env
        self.root = env["WINEPREFIX"]

    def view(self):
        # "wine reg" is the 32-bit reg.exe; the installer's entry is in the
        # registry's 64-bit view wherever there is one.
        return ["/reg:64"] if os.path.isdir(self.windows("syswow64")) else []

    def run(self, *args, timeout=TIMEOUT):
        result = subprocess.run(["wine", *args], env=self.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        return result.returncode, result.stdout.decode(errors="replace")

    def install(self, *switches):
        return self.run(setup_exe(), "/S", *switches)[0]

    def batch(self, line):
        """Runs a command line as Windows would, from a batch file: Wine's
        own quoting of arguments would mangle an uninstall string."""
        folder = os.path.join(self.root, "drive_c", "gyrel-test")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "run.bat"), "w", newline="\r\n") as f:
            f.write(f"@{line}\nexit /b %errorlevel%\n")
        return self.run("cmd", "/c", r"C:\gyrel-test\run.bat")[0]

    def values(self, key):
        """The values of a registry key as {name: text}; None if it is missing."""
        code, out = self.run("reg", "query", key, *self.view())
        if code != 0:
            return None
        found = {}
        for line in out.splitlines():
            parts = re.match(r"\s+(.+?)\s+(REG_\w+)\s*(.*)$", line)
            if parts:
                found[parts.group(1)] = parts.group(3).strip()
        return found

    def set_value(self, key, name, data):
        code, out = self.run("reg", "add", key, "/v", name, "/d", data, "/f", *self.view())
        assert code == 0, out

    def windows(self, *parts):
        return os.path.join(self.root, "drive_c", "windows", *parts)

    def find(self, folder, name):
        """A file of the prefix's Windows folder by name, in any case; None if missing."""
        directory = self.windows(folder) if folder else self.windows()
        for entry in os.listdir(directory):
            if entry.lower() == name.lower():
                return os.path.join(directory, entry)
        return None


class InstallerTest(unittest.TestCase):
    """Each test leaves the prefix without Gyrel, as it found it."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix(dict(os.environ))

    def setUp(self):
        self.assertEqual(os.environ.get("GYREL_TEST_SESSION"), "1",
                         "not inside the Wine test session (tools/wine_session.py)")
        self.assertTrue(os.path.isdir(self.prefix.windows("syswow64")), "the session's prefix is not 64-bit")

    def uninstall(self, *switches):
        entry = self.prefix.values(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no uninstall entry")
        # The quiet uninstall string, waiting for itself (_?=) as a
        # deployment tool would make it.
        line = " ".join([entry["QuietUninstallString"], *switches, "_?=" + entry["InstallLocation"]])
        self.assertEqual(self.prefix.batch(line), 0, line)

    def tearDown(self):
        if self.prefix.values(UNINSTALL_KEY) is not None:
            self.uninstall("/REMOVESETTINGS=1")

    def assert_installed(self):
        system32 = self.prefix.find("system32", "Gyrel.scr")
        syswow64 = self.prefix.find("syswow64", "Gyrel.scr")
        self.assertIsNotNone(system32, "no module in System32")
        self.assertIsNotNone(syswow64, "no module in SysWOW64")
        self.assertEqual(pe_machine(system32), AMD64)
        self.assertEqual(pe_machine(syswow64), I386)
        with open(system32, "rb") as f64, open(syswow64, "rb") as f32:
            self.assertEqual(f64.read(), zip_module("x64"))
            self.assertEqual(f32.read(), zip_module("x86"))
        entry = self.prefix.values(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no uninstall entry")
        uninstaller = r"C:\Program Files\Gyrel\uninstall.exe"
        expected = {
            "DisplayName": "Gyrel screen saver", "DisplayVersion": version(), "Publisher": "Gyrel authors",
            "DisplayIcon": r"C:\windows\System32\Gyrel.scr,0", "UninstallString": f'"{uninstaller}"',
            "QuietUninstallString": f'"{uninstaller}" /S', "NoModify": "0x1", "NoRepair": "0x1",
        }
        self.assertEqual({name: entry.get(name) for name in expected}, expected)
        size_kb = int(entry["EstimatedSize"], 16)
        self.assertGreater(size_kb * 1024, len(zip_module("x64")) + len(zip_module("x86")))
        self.assertTrue(os.path.isfile(os.path.join(self.prefix.root, "drive_c", "Program Files", "Gyrel",
                                                    "uninstall.exe")))

    def assert_removed(self):
        self.assertIsNone(self.prefix.find("system32", "Gyrel.scr"))
        self.assertIsNone(self.prefix.find("syswow64", "Gyrel.scr"))
        self.assertIsNone(self.prefix.values(UNINSTALL_KEY))
        for folder in ("system32", "syswow64"):
            self.assertIsNone(self.prefix.find(folder, "Gyrel.scr.new"), f"a leftover in {folder}")

    def plant_settings(self):
        with open(self.prefix.windows("control.ini"), "a", newline="\r\n") as f:
            f.write("[Screen Saver.Gyrel]\nMaxBkColour=100\n")
        self.prefix.set_value(SETTINGS_KEY, "MaxBkColour", "100")

    def settings_kept(self):
        path = self.prefix.find("", "control.ini")
        in_file = False
        if path is not None:
            with open(path, errors="replace") as f:
                in_file = "[Screen Saver.Gyrel]" in f.read()
        in_registry = (self.prefix.values(SETTINGS_KEY) or {}).get("MaxBkColour") == "100"
        return in_file, in_registry

    def test_silent_install_makes_gyrel_the_running_saver_and_uninstall_keeps_settings(self):
        self.assertEqual(self.prefix.install(), 0)
        self.assert_installed()
        desktop = self.prefix.values(DESKTOP_KEY)
        self.assertEqual(desktop.get("SCRNSAVE.EXE"), r"C:\windows\System32\Gyrel.scr")
        self.assertEqual(desktop.get("ScreenSaveActive"), "1")

        # The module the setting names runs full screen and ends on a key.
        saver = subprocess.Popen(["wine", desktop["SCRNSAVE.EXE"], "/s"], env=self.prefix.env,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(3)
            self.assertIsNone(saver.poll(), "the installed saver ended before any input")
            subprocess.run(["xdotool", "key", "a"], check=True, timeout=10, env=self.prefix.env)
            self.assertEqual(saver.wait(timeout=30), 0)
        finally:
            if saver.poll() is None:
                saver.kill()
                saver.wait(timeout=10)

        # Installing the same version again replaces it in place.
        self.assertEqual(self.prefix.install(), 0)
        self.assert_installed()

        self.plant_settings()
        self.uninstall()
        self.assert_removed()
        self.assertNotIn("SCRNSAVE.EXE", self.prefix.values(DESKTOP_KEY))
        self.assertEqual(self.settings_kept(), (True, True))

    def test_current_saver_is_left_alone_when_asked_or_not_gyrel(self):
        other = r"C:\windows\system32\other.scr"
        self.prefix.set_value(DESKTOP_KEY, "SCRNSAVE.EXE", other)
        self.assertEqual(self.prefix.install("/CURRENT=0"), 0)
        self.assert_installed()
        self.assertEqual(self.prefix.values(DESKTOP_KEY).get("SCRNSAVE.EXE"), other)
        self.plant_settings()
        self.uninstall("/REMOVESETTINGS=1")
        self.assert_removed()
        self.assertEqual(self.prefix.values(DESKTOP_KEY).get("SCRNSAVE.EXE"), other)
        self.assertEqual(self.settings_kept(), (False, False))

    def test_an_install_that_cannot_write_leaves_nothing_half_made(self):
        # Root's writes pass any file mode; an immutable folder stops them.
        syswow64 = self.prefix.windows("syswow64")
        subprocess.run(["chattr", "+i", syswow64], check=True)
        try:
            code = self.prefix.install()
        finally:
            subprocess.run(["chattr", "-i", syswow64], check=True)
        self.assertNotEqual(code, 0)
        self.assert_removed()
        self.assertNotIn("SCRNSAVE.EXE", self.prefix.values(DESKTOP_KEY))

    def test_a_newer_version_is_not_replaced_silently(self):
        self.assertEqual(self.prefix.install(), 0)
        self.prefix.set_value(UNINSTALL_KEY, "DisplayVersion", "99.0.0")
        self.assertEqual(self.prefix.install(), 3)
        self.assertEqual(self.prefix.values(UNINSTALL_KEY).get("DisplayVersion"), "99.0.0")


class Installer32Test(unittest.TestCase):
    def test_on_32_bit_windows_the_32_bit_module_goes_to_system32(self):
        self.assertEqual(os.environ.get("GYREL_TEST_SESSION"), "1",
                         "not inside the Wine test session (tools/wine_session.py)")
        env = dict(os.environ, WINEARCH="win32",
                   WINEPREFIX=os.path.join(os.path.dirname(os.environ["WINEPREFIX"]), "wineprefix32"))
        create_prefix(env["WINEPREFIX"], env, "1024x768", False)
        prefix = Prefix(env)
        try:
            self.assertFalse(os.path.isdir(prefix.windows("syswow64")), "the prefix is not 32-bit")
            self.assertEqual(prefix.install(), 0)
            module = prefix.find("system32", "Gyrel.scr")
            self.assertIsNotNone(module, "no module in System32")
            self.assertEqual(pe_machine(module), I386)
            self.assertEqual(prefix.values(UNINSTALL_KEY).get("DisplayVersion"), version())
            self.assertEqual(prefix.values(DESKTOP_KEY).get("SCRNSAVE.EXE"), r"C:\windows\System32\Gyrel.scr")
        finally:
            subprocess.call(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shutil.rmtree(env["WINEPREFIX"], ignore_errors=True)


if __name__ == "__main__":
    DIST = sys.argv.pop(1)
    unittest.main(verbosity=2)
