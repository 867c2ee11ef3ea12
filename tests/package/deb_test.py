#!/usr/bin/env python3
"""The Debian package of the X11 hack, as Debian's tools and a user meet it.

    deb_test.py DIST     (DIST holds gyrel_<version>_<arch>.deb)

lintian finds neither errors nor warnings; the control file's Depends come
from the binary and XScreenSaver is recommended; installed with dpkg into a
throw-away root, the program answers --help and --version, its settings
description lies where XScreenSaver's settings dialog reads them and ends
with the author and year, the manual page is gyrel's, complete, and every
page it refers to resolves with man -w; README.Debian gives the line that
puts Gyrel in XScreenSaver's list, as README.md does; the maintainer's
address is one, named by README.md; dpkg -r removes every file again.
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
README_DEBIAN = "usr/share/doc/gyrel/README.Debian"
CHANGELOG = "usr/share/doc/gyrel/changelog.gz"
README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md")


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
        with open(self.path(COPYRIGHT)) as f:
            self.assertIn("Expat", f.read())

    def test_manual_page_title_and_references(self):
        self.install()
        with open(self.path(MAN), "rb") as f:
            page = gzip.decompress(f.read()).decode()
        with self.subTest("title"):
            self.assertTrue(re.match(r'\.TH gyrel 6x "', page), page.splitlines()[0])
        references = re.findall(r"(?m)^\.BR ([\w\\-]+) \((\w+)\)", page)
        see_also = page[page.index(".SH SEE ALSO"):]
        self.assertTrue(references and re.search(r"\.BR", see_also))
        for name, section in references:
            name = name.replace("\\-", "-")
            with self.subTest(f"{name}({section})"):
                result = run("man", "-w", section, name)
                self.assertEqual(result.returncode, 0, result.stderr)

    def test_readme_debian_says_how_to_add_gyrel_to_the_list(self):
        self.install()
        line = re.compile(r'(?m)^ *"Gyrel" +gyrel .*\\n\\$')
        with open(self.path(README_DEBIAN)) as f:
            text = f.read()
        with open(README) as f:
            readme = f.read()
        self.assertIn("~/.xscreensaver", text)
        self.assertIn("programs:", text)
        self.assertEqual(line.findall(text), line.findall(readme))
        self.assertEqual(len(line.findall(text)), 1)
        self.assertEqual(os.stat(self.path(README_DEBIAN)).st_mode & 0o777, 0o644)

    def test_one_maintainer_address_named_by_the_readme(self):
        self.install()
        maintainer = run("dpkg-deb", "-f", self.deb, "Maintainer").stdout.strip()
        with open(self.path(COPYRIGHT)) as f:
            contact = re.search(r"(?m)^Upstream-Contact: (.+)$", f.read()).group(1)
        with open(self.path(CHANGELOG), "rb") as f:
            signed = re.search(r"(?m)^ -- (.+?)  ", gzip.decompress(f.read()).decode()).group(1)
        with open(README) as f:
            readme = f.read()
        address = re.search(r"<(.+)>", maintainer).group(1)
        self.assertEqual((contact, signed), (maintainer, maintainer))
        self.assertNotIn("noreply", address)
        self.assertTrue(address in readme, f"README.md does not name {address}")

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
