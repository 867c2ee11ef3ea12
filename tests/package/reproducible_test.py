#!/usr/bin/env python3
"""Two builds of one commit in different folders give the same bytes.

    reproducible_test.py DIST    (DIST is build/dist, from tools/package.sh)

Copies the checkout's files to a folder of another name and depth, runs
tools/package.sh there with the same SOURCE_DATE_EPOCH (the last commit's),
and compares what it makes with DIST: the two Windows modules, the hack, the
zip, the .deb and the installer, byte for byte.
"""
import hashlib
import io
import os
import shutil
import subprocess
import sys
import tarfile
import unittest
import zipfile

DIST = None
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def digest(data):
    return hashlib.sha256(data).hexdigest()


def deb_members(path):
    """The files of a .deb's data archive, by name."""
    listing = subprocess.run(["dpkg-deb", "--fsys-tarfile", path], capture_output=True, check=True).stdout
    with tarfile.open(fileobj=io.BytesIO(listing)) as archive:
        return {m.name: digest(archive.extractfile(m).read()) for m in archive.getmembers() if m.isfile()}


def zip_members(path):
    with zipfile.ZipFile(path) as archive:
        return {name: digest(archive.read(name)) for name in archive.namelist()}


def read(path):
    with open(path, "rb") as stream:
        return stream.read()


def artefacts(dist):
    return {name: digest(read(os.path.join(dist, name)))
            for name in sorted(os.listdir(dist)) if name != "SHA256SUMS"}


class Reproducible(unittest.TestCase):
    def test_a_second_build_elsewhere_is_byte_identical(self):
        self.assertTrue(os.listdir(DIST), f"{DIST} is empty: run tools/package.sh first")
        epoch = subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, capture_output=True, text=True,
                               check=True).stdout.strip()
        # Another name and depth than the checkout's, so that any build
        # path left in a binary shows.
        elsewhere = os.path.join(ROOT, "build", "reproducible", "second-checkout")
        shutil.rmtree(os.path.dirname(elsewhere), ignore_errors=True)
        files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout
        for name in filter(None, files.decode().split("\0")):
            if os.path.lexists(os.path.join(ROOT, name)):
                os.makedirs(os.path.dirname(os.path.join(elsewhere, name)), exist_ok=True)
                shutil.copy2(os.path.join(ROOT, name), os.path.join(elsewhere, name), follow_symlinks=False)
        result = subprocess.run(["sh", "tools/package.sh"], cwd=elsewhere, capture_output=True, text=True,
                                env=dict(os.environ, SOURCE_DATE_EPOCH=epoch), timeout=3000)
        self.assertEqual(result.returncode, 0, result.stdout[-3000:] + result.stderr[-3000:])
        second = os.path.join(elsewhere, "build", "dist")

        first_files, second_files = artefacts(DIST), artefacts(second)
        self.assertEqual(sorted(first_files), sorted(second_files))
        # The members first, so that a difference names the file inside.
        for name in first_files:
            if name.endswith(".zip"):
                self.assertEqual(zip_members(os.path.join(DIST, name)), zip_members(os.path.join(second, name)))
            elif name.endswith(".deb"):
                self.assertEqual(deb_members(os.path.join(DIST, name)), deb_members(os.path.join(second, name)))
        self.assertEqual(first_files, second_files)
        shutil.rmtree(os.path.dirname(elsewhere), ignore_errors=True)


if __name__ == "__main__":
    DIST = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
