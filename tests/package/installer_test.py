#!/usr/bin/env python3
"""The Windows setup and removal programs under Wine, as a user, an
administrator and a deployment tool meet them.

    installer_test.py DIST     (DIST holds Gyrel-<version>-setup.exe and the zip)

In the session's fresh 64-bit prefix: a silent install puts the 64-bit module
in System32 and the 32-bit one in SysWOW64, writes the uninstall entry and
makes Gyrel the current screen saver, whose module then runs full screen and
ends on a key. The entry's strings, run exactly as written, return when the
removal is done. Exit codes are read inside cmd. A module held as Windows
holds a running one is replaced or removed at once, and a restart (wineboot
-r) afterwards deletes only what was moved aside; one held so that it cannot
even be renamed is replaced at the restart (the finish page offers to restart
later) or not removed at all. The current saver is cleared only when it names
the installed module. In a fresh 32-bit prefix the 32-bit module lands in
System32. A small Windows program of our own (windows_helper.c) holds files
and presses the dialogs' buttons.

Runs inside the Wine test session (tools/wine_session.py); outside it, fails.
"""
import contextlib
import glob
import os
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from wine_session import create_prefix  # noqa: E402

DIST = None
TIMEOUT = 120
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Gyrel"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
SETTINGS_KEY = r"HKCU\Control Panel\Screen Saver.Gyrel"
SESSION_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager"
I386, AMD64 = 0x014C, 0x8664
TEST_FOLDER = r"C:\gyrel-test"
HELPER = TEST_FOLDER + r"\windows_helper.exe"
SYSTEM32, SYSWOW64 = r"C:\windows\system32\Gyrel.scr", r"C:\windows\syswow64\Gyrel.scr"
REBOOT_LATER = "I want to manually reboot later"
NEXT, CANCEL, YES = "press:1", "press:2", "press:6"


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


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Prefix:
    """One Wine prefix and the commands the tests run in it."""

    def __init__(self, env):
        self.env = env
        self.root = env["WINEPREFIX"]
        self.setup = TEST_FOLDER + "\\" + os.path.basename(setup_exe())
        os.makedirs(self.unix(TEST_FOLDER), exist_ok=True)
        shutil.copy(setup_exe(), self.unix(self.setup))

    def unix(self, windows_path):
        """The prefix's file for a path on C:, in the case it has on disk."""
        path = os.path.join(self.root, "drive_c")
        for part in windows_path[3:].split("\\"):
            entries = os.listdir(path) if os.path.isdir(path) else []
            path = os.path.join(path, next((e for e in entries if e.lower() == part.lower()), part))
        return path

    def exists(self, windows_path):
        return os.path.lexists(self.unix(windows_path))

    def view(self):
        # "wine reg" is the 32-bit reg.exe; the installer's entry is in the
        # registry's 64-bit view wherever there is one.
        return ["/reg:64"] if os.path.isdir(self.unix(r"C:\windows\syswow64")) else []

    def run(self, *args, timeout=TIMEOUT):
        # Output to a file, not a pipe: a Wine desktop process that a
        # program starts afresh inherits the program's output and would
        # hold a pipe open long after the program ends.
        with tempfile.TemporaryFile() as out:
            result = subprocess.run(["wine", *args], env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return result.returncode, out.read().decode(errors="replace")

    def batch(self, line):
        """Runs a command line as Windows would, from a batch file, and
        returns its exit code as cmd reads it (Wine's own status keeps only
        the low byte) with the command's output."""
        with open(self.unix(TEST_FOLDER + r"\run.bat"), "w", newline="\r\n") as f:
            f.write(f"@{line}\n@echo exit-code=%errorlevel%\n")
        _, out = self.run("cmd", "/c", TEST_FOLDER + r"\run.bat")
        found = re.search(r"^exit-code=(-?\d+)", out, re.M)
        assert found, out
        return int(found.group(1)), out

    def install(self, *switches):
        return self.batch(" ".join([f'"{self.setup}"', "/S", *switches]))[0]

    def drive(self, steps, line):
        """Runs a command line with its dialogs shown, pressing buttons as
        the steps say (windows_helper.c); the exit code and output."""
        quoted = " ".join(f'"{step}"' for step in steps)
        return self.batch(f"{HELPER} drive {quoted} -- {line}")

    @contextlib.contextmanager
    def held(self, *paths, lock=False):
        """Holds the files for the block: mapped as Windows maps a running
        module, or (lock) opened without delete sharing."""
        holder = subprocess.Popen(["wine", HELPER, "lock" if lock else "hold", *paths], env=self.env,
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            ready, _, _ = select.select([holder.stdout], [], [], TIMEOUT)
            assert ready and holder.stdout.readline().strip() == b"held", f"{paths} are not held"
            yield
        finally:
            holder.stdin.close()
            holder.wait(timeout=TIMEOUT)
            holder.stdout.close()

    def restart(self):
        """Carries out what was queued for the next restart."""
        subprocess.run(["wineboot", "-r"], env=self.env, check=True, timeout=TIMEOUT,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wine", "cmd", "/c", "echo"], env=self.env, timeout=TIMEOUT,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

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

    def delete_value(self, key, name):
        self.run("reg", "delete", key, "/v", name, "/f", *self.view())

    def pending(self):
        """The renames and deletions queued for the next restart."""
        return (self.values(SESSION_KEY) or {}).get("PendingFileRenameOperations", "")


class InstallerTest(unittest.TestCase):
    """Each test leaves the prefix without Gyrel, as it found it."""

    @classmethod
    def setUpClass(cls):
        assert os.environ.get("GYREL_TEST_SESSION") == "1", "not inside the Wine test session (tools/wine_session.py)"
        cls.prefix = Prefix(dict(os.environ))
        subprocess.run(["x86_64-w64-mingw32-gcc", "-std=c11", "-Wall", "-Wextra", "-Werror", "-O2", "-static",
                        "-o", cls.prefix.unix(HELPER), os.path.join(HERE, "windows_helper.c")], check=True)

    def setUp(self):
        self.assertTrue(self.prefix.exists(r"C:\windows\syswow64"), "the session's prefix is not 64-bit")

    def tearDown(self):
        prefix = self.prefix
        if prefix.values(UNINSTALL_KEY) is not None:
            prefix.batch(prefix.values(UNINSTALL_KEY)["QuietUninstallString"] + " /REMOVESETTINGS=1")
        prefix.restart()
        for folder in ("system32", "syswow64"):
            for path in glob.glob(prefix.unix(rf"C:\windows\{folder}") + "/[Gg]yrel.scr*"):
                os.remove(path)
        shutil.rmtree(prefix.unix(r"C:\Program Files\Gyrel"), ignore_errors=True)
        prefix.delete_value(DESKTOP_KEY, "SCRNSAVE.EXE")

    def uninstall(self, *switches):
        """The entry's quiet string, exactly as written; its exit code."""
        entry = self.prefix.values(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no uninstall entry")
        return self.prefix.batch(" ".join([entry["QuietUninstallString"], *switches]))[0]

    def assert_installed(self, folder=r"C:\Program Files\Gyrel"):
        prefix = self.prefix
        self.assertEqual(pe_machine(prefix.unix(SYSTEM32)), AMD64)
        self.assertEqual(pe_machine(prefix.unix(SYSWOW64)), I386)
        self.assertEqual(read(prefix.unix(SYSTEM32)), zip_module("x64"))
        self.assertEqual(read(prefix.unix(SYSWOW64)), zip_module("x86"))
        entry = prefix.values(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no uninstall entry")
        uninstaller = folder + r"\uninstall.exe"
        expected = {
            "DisplayName": "Gyrel screen saver", "DisplayVersion": version(), "Publisher": "Gyrel authors",
            "DisplayIcon": r"C:\windows\System32\Gyrel.scr,0", "InstallLocation": folder,
            "UninstallString": f'"{uninstaller}"', "QuietUninstallString": f'"{uninstaller}" /S',
            "NoModify": "0x1", "NoRepair": "0x1",
        }
        self.assertEqual({name: entry.get(name) for name in expected}, expected)
        size_kb = int(entry["EstimatedSize"], 16)
        self.assertGreater(size_kb * 1024, len(zip_module("x64")) + len(zip_module("x86")))
        self.assertTrue(prefix.exists(uninstaller))

    def assert_removed(self, folder=r"C:\Program Files\Gyrel"):
        for path in (SYSTEM32, SYSWOW64, SYSTEM32 + ".new", SYSWOW64 + ".new", folder):
            self.assertFalse(self.prefix.exists(path), f"{path} is left")
        self.assertIsNone(self.prefix.values(UNINSTALL_KEY))

    def plant_settings(self):
        with open(self.prefix.unix(r"C:\windows\control.ini"), "a", newline="\r\n") as f:
            f.write("[Screen Saver.Gyrel]\nMaxBkColour=100\n")
        self.prefix.set_value(SETTINGS_KEY, "MaxBkColour", "100")

    def settings_kept(self):
        in_file = "[Screen Saver.Gyrel]" in read(self.prefix.unix(r"C:\windows\control.ini")).decode(errors="replace")
        in_registry = (self.prefix.values(SETTINGS_KEY) or {}).get("MaxBkColour") == "100"
        return in_file, in_registry

    def test_silent_install_makes_gyrel_the_running_saver(self):
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

    def test_the_entrys_strings_return_when_the_removal_is_done(self):
        # The steps press Remove, then Finish. "_?=", which earlier
        # versions' uninstaller needed to wait, is still taken.
        cases = (("QuietUninstallString", "", None), ("UninstallString", "", [NEXT, NEXT]),
                 ("QuietUninstallString", r" _?=C:\Program Files\Gyrel", None))
        for name, extra, steps in cases:
            with self.subTest(name + extra):
                self.assertEqual(self.prefix.install(), 0)
                self.plant_settings()
                line = self.prefix.values(UNINSTALL_KEY)[name] + extra
                code = self.prefix.batch(line)[0] if steps is None else self.prefix.drive(steps, line)[0]
                self.assertEqual(code, 0)
                self.assert_removed()
                self.assertNotIn("SCRNSAVE.EXE", self.prefix.values(DESKTOP_KEY))
                self.assertEqual(self.settings_kept(), (True, True))

    def test_settings_and_another_current_saver_as_asked(self):
        other = r"C:\windows\system32\other.scr"
        self.prefix.set_value(DESKTOP_KEY, "SCRNSAVE.EXE", other)
        self.assertEqual(self.prefix.install("/CURRENT=0"), 0)
        self.assert_installed()
        self.assertEqual(self.prefix.values(DESKTOP_KEY).get("SCRNSAVE.EXE"), other)
        self.plant_settings()
        self.assertEqual(self.uninstall("/REMOVESETTINGS=1"), 0)
        self.assert_removed()
        self.assertEqual(self.prefix.values(DESKTOP_KEY).get("SCRNSAVE.EXE"), other)
        self.assertEqual(self.settings_kept(), (False, False))

    def test_the_current_saver_is_cleared_only_when_it_names_the_installed_module(self):
        cases = [
            (r"C:\windows\System32\Gyrel.scr", True),
            (r"C:\WINDOWS\SYSTEM32\GYREL.SCR", True),
            (r"%SystemRoot%\System32\gyrel.scr", True),
            (r"C:\windows\system32\..\System32\Gyrel.scr", True),
            (r"C:\windows\SysWOW64\Gyrel.scr", True),
            (r"C:\users\Public\Downloads\x64\Gyrel.scr", False),
            (r"C:\windows\system32\other.scr", False),
        ]
        for value, cleared in cases:
            with self.subTest(value):
                self.assertEqual(self.prefix.install("/CURRENT=0"), 0)
                self.prefix.set_value(DESKTOP_KEY, "SCRNSAVE.EXE", value)
                self.assertEqual(self.uninstall(), 0)
                self.assertEqual(self.prefix.values(DESKTOP_KEY).get("SCRNSAVE.EXE"), None if cleared else value)

    def test_the_machine_part_writes_nothing_for_the_user(self):
        # The elevated process changes the machine only: the current saver
        # is the part of the process the user started.
        self.assertEqual(self.prefix.batch(f'"{self.prefix.setup}" /S /MACHINEPART')[0], 0)
        self.assert_installed()
        self.assertNotIn("SCRNSAVE.EXE", self.prefix.values(DESKTOP_KEY))

    def test_a_folder_given_with_d(self):
        folder = r"C:\Gyrel elsewhere"
        self.assertEqual(self.prefix.install(f"/D={folder}"), 0)
        self.assert_installed(folder)
        self.assertEqual(self.uninstall(), 0)
        self.assert_removed(folder)

    def test_programs_are_dpi_aware(self):
        self.assertEqual(self.prefix.install(), 0)
        for path in (setup_exe(), self.prefix.unix(r"C:\Program Files\Gyrel\uninstall.exe")):
            self.assertTrue(re.search(rb"<dpiAware[^>]*>true</dpiAware>", read(path)), f"{path} is not DPI aware")

    def test_cancel_exits_2_and_changes_nothing(self):
        self.assertEqual(self.prefix.drive([CANCEL, YES], f'"{self.prefix.setup}"')[0], 2)
        self.assert_removed()
        self.assertEqual(self.prefix.install(), 0)
        self.assertEqual(self.prefix.drive([CANCEL, YES], r'"C:\Program Files\Gyrel\uninstall.exe"')[0], 2)
        self.assert_installed()

    def test_a_running_module_is_replaced_at_once_and_the_restart_deletes_only_the_old_one(self):
        self.assertEqual(self.prefix.install(), 0)
        for path in (SYSTEM32, SYSWOW64):  # an older version, running
            with open(self.prefix.unix(path), "ab") as f:
                f.write(b"older")
        with self.prefix.held(SYSTEM32, SYSWOW64):
            self.assertEqual(self.prefix.install(), 0)
            self.assert_installed()
            for path in (SYSTEM32, SYSWOW64):
                self.assertTrue(read(self.prefix.unix(path + ".1.old")).endswith(b"older"))
                self.assertIn(path.lower() + ".1.old", self.prefix.pending().lower())
        self.prefix.restart()
        self.assert_installed()
        self.assertFalse(self.prefix.exists(SYSTEM32 + ".1.old"))

    def test_a_running_module_is_removed_and_a_later_install_survives_the_restart(self):
        self.assertEqual(self.prefix.install(), 0)
        with self.prefix.held(SYSTEM32, SYSWOW64):
            self.assertEqual(self.uninstall(), 3010)
            self.assert_removed()
        self.assertEqual(self.prefix.install(), 0)
        self.prefix.restart()
        self.assert_installed()
        self.assertFalse(self.prefix.exists(SYSTEM32 + ".1.old"))

    def test_a_module_that_cannot_be_renamed(self):
        self.assertEqual(self.prefix.install(), 0)
        with self.prefix.held(SYSWOW64, lock=True):
            # The removal stops whole; the install waits for the restart,
            # which the finish page offers for later.
            self.assertEqual(self.uninstall(), 2)
            self.assert_installed()
            code, out = self.prefix.drive([NEXT, NEXT, f"checked:{REBOOT_LATER}", NEXT], f'"{self.prefix.setup}"')
            self.assertEqual((code, f"{REBOOT_LATER}=1" in out), (3010, True), out)
            self.assertTrue(self.prefix.exists(SYSWOW64 + ".new"))
        self.prefix.restart()
        self.assert_installed()
        self.assertFalse(self.prefix.exists(SYSWOW64 + ".new"))

    def test_an_install_that_cannot_write_leaves_nothing_half_made(self):
        # Root's writes pass any file mode; an immutable folder stops them.
        syswow64 = self.prefix.unix(r"C:\windows\syswow64")
        subprocess.run(["chattr", "+i", syswow64], check=True)
        try:
            code = self.prefix.install()
        finally:
            subprocess.run(["chattr", "-i", syswow64], check=True)
        self.assertEqual(code, 2)
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
        try:
            prefix = Prefix(env)
            self.assertFalse(prefix.exists(r"C:\windows\syswow64"), "the prefix is not 32-bit")
            self.assertEqual(prefix.install(), 0)
            self.assertEqual(pe_machine(prefix.unix(SYSTEM32)), I386)
            self.assertEqual(prefix.values(UNINSTALL_KEY).get("DisplayVersion"), version())
            self.assertEqual(prefix.values(DESKTOP_KEY).get("SCRNSAVE.EXE"), r"C:\windows\System32\Gyrel.scr")
            self.assertEqual(prefix.batch(prefix.values(UNINSTALL_KEY)["QuietUninstallString"])[0], 0)
            self.assertFalse(prefix.exists(SYSTEM32))
            self.assertFalse(prefix.exists(r"C:\Program Files\Gyrel"))
        finally:
            subprocess.call(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shutil.rmtree(env["WINEPREFIX"], ignore_errors=True)


if __name__ == "__main__":
    DIST = sys.argv.pop(1)
    unittest.main(verbosity=2)
