#!/usr/bin/env python3
"""The Debian package of the X11 hack, as Debian's tools and a user meet it.

    deb_test.py DIST     (DIST holds gyrel_<version>_<arch>.deb)

lintian finds neither errors nor warnings; the control file's Depends come
from the binary and XScreenSaver is recommended; installed with dpkg into a
throw-away root, the program answers --help and --version, its settings
description lies where XScreenSaver's settings dialog reads them and ends
with the author and year, the manual page is complete; dpkg -r removes every
file again.
"""
import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.dom.minidom

DIST = None
HACK = "usr/libexec/xscreensaver/gyrel"
XML = "usr/share/xscreensaver/config/gyrel.xml"
MAN = "usr/share/man/man6/gyrel.6x.gz"
COPYRIGHT = "usr/share/doc/gyrel/copyright"


def package():
    found = glob.glob(os.path.join(DIST, "gyrel_*_*.deb"))
    if len(found) != 1:
        raise AssertionError(f"no single .deb in {DIST}: {found}")
    return found[0]


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, **kwargs)


class DebTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.deb = package()
        cls.version = os.path.basename(cls.deb).split("_")[1]
        # A throw-away root with an empty package database: the libraries
        # the hack needs are this machine's, outside the database, so
        # dpkg is told not to insist on them.
        cls.root = tempfile.mkdtemp(prefix="gyrel-deb-")
        for directory in ("var/lib/dpkg/info", "var/lib/dpkg/updates", "var/log"):
            os.makedirs(os.path.join(cls.root, directory))
        for name in ("status", "available"):
            open(os.path.join(cls.root, "var/lib/dpkg", name), "w").close()
        cls.dpkg = ["dpkg", f"--root={cls.root}", "--force-depends", "--force-script-chrootless"]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def path(self, relative):
        return os.path.join(self.root, relative)

    def install(self):
        result = run(*self.dpkg, "-i", self.deb)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.addCleanup(lambda: run(*self.dpkg, "-P", "gyrel"))

    def test_lintian_finds_no_errors_or_warnings(self):
        result = run("lintian", "--tag-display-limit", "0", self.deb)
        tags = [line for line in result.stdout.splitlines() if re.match(r"[EW]: ", line)]
        self.assertEqual(tags, [], result.stdout + result.stderr)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_control_file(self):
        fields = {}
        for field in ("Package", "Version", "Depends", "Recommends", "Enhances"):
            fields[field] = run("dpkg-deb", "-f", self.deb, field).stdout.strip()
        self.assertEqual(fields["Package"], "gyrel")
        self.assertEqual(fields["Version"], self.version)
        depends = [d.split()[0] for d in fields["Depends"].split(", ")]
        for library in ("libc6", "libx11-6", "libxext6"):
            self.assertIn(library, depends)
        self.assertEqual(fields["Recommends"], "xscreensaver")
        self.assertEqual(fields["Enhances"], "xscreensaver")

    def test_installed_program_and_files(self):
        self.install()
        hack = self.path(HACK)
        help_text = run(hack, "--help")
        self.assertEqual(help_text.returncode, 0, help_text.stderr)
        self.assertIn("usage: gyrel", help_text.stdout)
        version = run(hack, "--version")
        self.assertEqual((version.returncode, version.stdout), (0, f"gyrel {self.version}\n"))

        # The settings dialog reads the hacks' descriptions from the folder
        # where the installed collection keeps its own.
        owner = run("dpkg-query", "-S", "/" + os.path.dirname(XML))
        self.assertEqual(owner.returncode, 0, "XScreenSaver's descriptions are not installed")
        self.assertIn("xscreensaver", owner.stdout)
        self.assertTrue(glob.glob("/" + os.path.dirname(XML) + "/*.xml"))
        document = xml.dom.minidom.parse(self.path(XML))
        self.assertEqual(len(document.getElementsByTagName("xscreensaver-updater")), 1)
        description = document.getElementsByTagName("_description")[0].firstChild.data.strip()
        self.assertRegex(description.splitlines()[-1], r"^Written by .+; \d{4}\.$")

        with open(self.path(MAN), "rb") as f:
            compressed = f.read()
        # gzip -9n: no name, no time stamp, best compression.
        self.assertEqual((compressed[3] & 0x08, compressed[4:8], compressed[8]), (0, b"\0\0\0\0", 2))
        page = gzip.decompress(compressed).decode()
        for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "ENVIRONMENT", "SEE ALSO"):
            self.assertRegex(page, rf"(?m)^\.SH \"?{section}\"?$")
        for option in re.findall(r"^  (--[a-z-]+)", help_text.stdout, re.M):
            self.assertIn(option.replace("-", r"\-"), page, f"the manual page lacks {option}")
        self.assertIn("Expat", open(self.path(COPYRIGHT)).read())

    def test_removal_removes_every_file(self):
        self.install()
        listed = run(*self.dpkg, "-L", "gyrel").stdout.split()
        self.assertIn("/" + HACK, listed)
        result = run(*self.dpkg, "-r", "gyrel")
        self.assertEqual(result.returncode, 0, result.stderr)
        left = [p for p in listed if os.path.lexists(self.path(p.lstrip("/"))) and
                not os.path.isdir(self.path(p.lstrip("/")))]
        self.assertEqual(left, [])
        self.assertFalse(os.path.exists(self.path("usr")), "folders of the package are left")


if __name__ == "__main__":
    DIST = sys.argv.pop(1)
    unittest.main(verbosity=2)
