#!/usr/bin/env python3
"""tools/package.sh signs every Windows program with a maintainer's
certificate, and the signed setup program still installs.

    signing_test.py DIST    (DIST is build/dist, the unsigned build)

Makes a throw-away code-signing certificate with openssl, builds the packages
in a second checkout with it (GYREL_SIGN_PKCS12, GYREL_SIGN_PASSWORD) and
verifies with osslsigncode, against that certificate, the signatures of the
setup program, of both modules in the zip and, installed by the signed setup
under Wine, of both modules, the removal program's front and the removal
program inside it. Each module in the zip, its signature removed, equals the
unsigned build's.

Runs inside the Wine test session (tools/wine_session.py); outside it, fails.
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

import second_checkout

DIST = None
PASSWORD = "throw away"


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=600, **kwargs)


class Signing(unittest.TestCase):
    def verify(self, path, certificate):
        result = run("osslsigncode", "verify", "-CAfile", certificate, "-in", path)
        self.assertEqual(result.returncode, 0, f"{path}:\n{result.stdout}{result.stderr}")
        self.assertIn("Signature verification: ok", result.stdout, path)

    def test_a_signed_build_verifies_and_installs(self):
        self.assertEqual(os.environ.get("GYREL_TEST_SESSION"), "1",
                         "not inside the Wine test session (tools/wine_session.py)")
        top = os.path.join(second_checkout.ROOT, "build", "signing")
        shutil.rmtree(top, ignore_errors=True)
        keys = os.path.join(top, "keys")
        os.makedirs(keys)
        key, certificate, bundle = (os.path.join(keys, n) for n in ("key.pem", "certificate.pem", "signing.p12"))
        for command in (
            ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", key,
             "-out", certificate, "-subj", "/CN=Gyrel throw-away signing", "-addext",
             "extendedKeyUsage=codeSigning"],
            ["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out", bundle,
             "-passout", "pass:" + PASSWORD],
        ):
            result = run(*command)
            self.assertEqual(result.returncode, 0, result.stderr)

        checkout = second_checkout.make(os.path.join(top, "checkout"))
        env = dict(os.environ, GYREL_SIGN_PKCS12=bundle, GYREL_SIGN_PASSWORD=PASSWORD)
        dist = second_checkout.package(checkout, env)

        setup = glob.glob(os.path.join(dist, "Gyrel-*-setup.exe"))[0]
        self.verify(setup, certificate)
        unsigned = zipfile.ZipFile(glob.glob(os.path.join(DIST, "Gyrel-*-windows.zip"))[0])
        with unsigned, zipfile.ZipFile(glob.glob(os.path.join(dist, "Gyrel-*-windows.zip"))[0]) as archive:
            for member in ("x86/Gyrel.scr", "x64/Gyrel.scr"):
                with tempfile.TemporaryDirectory() as folder:
                    module, stripped = os.path.join(folder, "signed.scr"), os.path.join(folder, "stripped.scr")
                    with open(module, "wb") as f:
                        f.write(archive.read(member))
                    self.verify(module, certificate)
                    result = run("osslsigncode", "remove-signature", "-in", module, "-out", stripped)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    with open(stripped, "rb") as f:
                        self.assertEqual(f.read(), unsigned.read(member), f"{member} differs beyond its signature")
        with open(os.path.join(dist, "BUILDINFO")) as f:
            self.assertIn("Signed: yes", f.read())

        # What the signed setup installs is signed, the removal program too.
        drive = os.path.join(os.environ["WINEPREFIX"], "drive_c")
        shutil.copy(setup, os.path.join(drive, "signed-setup.exe"))
        # No pipes: a Wine desktop process started afresh would hold them.
        code = subprocess.call(["wine", r"C:\signed-setup.exe", "/S"], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        self.assertEqual(code, 0, "the signed setup program failed")
        front = os.path.join(drive, "Program Files", "Gyrel", "uninstall.exe")
        for path in (os.path.join(drive, "windows", "system32", "Gyrel.scr"),
                     os.path.join(drive, "windows", "syswow64", "Gyrel.scr"), front):
            self.verify(path, certificate)
        removal = os.path.join(checkout, "build", "package", "stage", "windows", "front", "removal.exe")
        self.verify(removal, certificate)
        with open(front, "rb") as f, open(removal, "rb") as g:
            self.assertIn(g.read(), f.read(), "the front carries another removal program")
        shutil.rmtree(top, ignore_errors=True)


if __name__ == "__main__":
    DIST = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
