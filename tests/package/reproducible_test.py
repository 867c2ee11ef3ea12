#!/usr/bin/env python3
"""A second build of the same commit, elsewhere and in another environment,
gives the same bytes.

    reproducible_test.py DIST    (DIST is build/dist, from tools/package.sh)

Makes a second checkout in a folder of another name and depth, its files
private to their owner, and runs tools/package.sh there under umask 077,
another time zone and locale, a wrong SOURCE_DATE_EPOCH, compiler, linker
and Debian build flags that would change the code, and a PATH whose first
folder holds broken build tools. What it makes must equal DIST byte for
byte: the installer, the zip, the .deb and BUILDINFO.
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

import second_checkout

DIST = None
# Each would change the bytes, or break the build, if the build took it.
CALLER_ENVIRONMENT = {
    "TZ": "Pacific/Chatham",
    "LANG": "fr_FR.UTF-8",
    "LANGUAGE": "fr",
    "LC_ALL": "",
    "SOURCE_DATE_EPOCH": "1000000000",
    "CFLAGS": "-O0 -g3",
    "CXXFLAGS": "-O0 -g3 -DGYREL_NOT_THIS_BUILD",
    "LDFLAGS": "-Wl,--build-id=sha1",
    "CPPFLAGS": "-DNDEBUG=0",
    "DEB_BUILD_OPTIONS": "noopt nostrip",
    "DEB_BUILD_MAINT_OPTIONS": "hardening=-all",
    "DEB_CXXFLAGS_APPEND": "-O0",
    "CMAKE_BUILD_TYPE": "Debug",
}
BROKEN_TOOLS = ("cmake", "make", "c++", "g++", "gcc", "cc", "makensis", "gzip", "objcopy", "dpkg-deb",
                "python3", "i686-w64-mingw32-gcc-posix", "x86_64-w64-mingw32-g++-posix")


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
    def test_a_second_build_elsewhere_in_another_environment_is_byte_identical(self):
        self.assertTrue(os.listdir(DIST), f"{DIST} is empty: run tools/package.sh first")
        # Another name and depth than the checkout's, so that any build
        # path left in a binary shows.
        top = os.path.join(second_checkout.ROOT, "build", "reproducible")
        shutil.rmtree(top, ignore_errors=True)
        checkout = second_checkout.make(os.path.join(top, "a", "second-checkout"), private=True)
        tools = os.path.join(top, "broken-tools")
        os.makedirs(tools)
        for tool in BROKEN_TOOLS:
            with open(os.path.join(tools, tool), "w") as f:
                f.write(f"#!/bin/sh\necho \"the caller's {tool} was run\" >&2\nexit 1\n")
            os.chmod(os.path.join(tools, tool), 0o755)
        env = dict(os.environ, PATH=tools + os.pathsep + os.environ["PATH"], **CALLER_ENVIRONMENT)
        second = second_checkout.package(checkout, env, umask=0o077)

        first_files, second_files = artefacts(DIST), artefacts(second)
        self.assertEqual(sorted(first_files), sorted(second_files))
        # The members first, so that a difference names the file inside.
        for name in first_files:
            if name.endswith(".zip"):
                self.assertEqual(zip_members(os.path.join(DIST, name)), zip_members(os.path.join(second, name)))
            elif name.endswith(".deb"):
                self.assertEqual(deb_members(os.path.join(DIST, name)), deb_members(os.path.join(second, name)))
            elif name == "BUILDINFO":
                self.assertEqual(read(os.path.join(DIST, name)).decode(), read(os.path.join(second, name)).decode())
        self.assertEqual(first_files, second_files)
        shutil.rmtree(top, ignore_errors=True)


if __name__ == "__main__":
    DIST = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
