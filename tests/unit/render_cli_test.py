#!/usr/bin/env python3
"""gyrel-render from the command line: the GIF it writes, its PNG frames, and
its answers to missing files and bad options.

    render_cli_test.py PATH-TO-gyrel-render
"""
import os
import subprocess
import sys
import tempfile
import unittest

RENDER = None


def run(*args):
    return subprocess.run([RENDER, *args], capture_output=True, text=True, timeout=120)


def gif_frames(path):
    """Counts the images in a GIF, walking its blocks."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:6] == b"GIF89a", data[:6]
    pos = 13
    if data[10] & 0x80:
        pos += 3 << ((data[10] & 7) + 1)
    frames = 0

    def skip_sub_blocks(p):
        while data[p]:
            p += data[p] + 1
        return p + 1

    while data[pos] != 0x3B:
        if data[pos] == 0x21:
            pos = skip_sub_blocks(pos + 2)
        elif data[pos] == 0x2C:
            flags = data[pos + 9]
            pos += 10
            if flags & 0x80:
                pos += 3 << ((flags & 7) + 1)
            pos = skip_sub_blocks(pos + 1)
            frames += 1
        else:
            raise AssertionError(f"unexpected block {data[pos]:#x} at {pos}")
    return frames


class RenderCli(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.tmp = self.dir.name

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.tmp, name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def test_builtin_picture_to_gif_and_frames(self):
        result = run("--size", "160x120", "--seconds", "2", "--frames", "5",
                     "--gif", self.path("a.gif"), "--png-dir", self.tmp)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(gif_frames(self.path("a.gif")), 5)
        self.assertEqual(sorted(f for f in os.listdir(self.tmp) if f.endswith(".png")),
                         [f"frame-{i:04d}.png" for i in range(5)])
        self.assertIn("100%", result.stderr)  # progress
        # The same seed draws the same animation; another seed another.
        run("--size", "160x120", "--seconds", "2", "--frames", "5", "--gif", self.path("b.gif"))
        run("--size", "160x120", "--seconds", "2", "--frames", "5", "--seed", "2",
            "--gif", self.path("c.gif"))
        a, b, c = (self.read(n) for n in ("a.gif", "b.gif", "c.gif"))
        self.assertEqual(a, b)
        self.assertNotEqual(a, c)

    def test_a_png_input_is_the_first_frame(self):
        run("--size", "90x70", "--seconds", "1", "--frames", "2", "--png-dir", self.tmp,
            "--quiet")
        source = self.path("frame-0001.png")
        out = os.path.join(self.tmp, "out")
        os.mkdir(out)
        result = run("--input", source, "--seconds", "0", "--frames", "1", "--png-dir", out,
                     "--quiet")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        # Same size, same pixels: compare the decoded pictures with ImageMagick.
        compare = subprocess.run(["compare", "-metric", "AE", source,
                                  os.path.join(out, "frame-0000.png"), "null:"],
                                 capture_output=True, text=True, timeout=60)
        self.assertEqual(compare.stderr.strip(), "0")

    def test_missing_and_unreadable_input(self):
        result = run("--input", self.path("absent.png"), "--gif", self.path("x.gif"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot open", result.stderr)
        self.assertIn("absent.png", result.stderr)
        with open(self.path("text.png"), "w") as f:
            f.write("not a picture\n")
        result = run("--input", self.path("text.png"), "--gif", self.path("x.gif"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot read", result.stderr)
        result = run("--gif", os.path.join(self.tmp, "no", "such", "dir.gif"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot write", result.stderr)

    def test_bad_options_show_the_usage(self):
        for args in (["--bogus"], ["--size", "0x10", "--gif", "a.gif"],
                     ["--size", "100", "--gif", "a.gif"], ["--rate", "-5", "--gif", "a.gif"],
                     ["--seconds", "abc", "--gif", "a.gif"], ["--set", "Colour=3", "--gif", "a.gif"],
                     ["--set", "Gradient=99999999999", "--gif", "a.gif"], ["--frames"], []):
            result = run(*args)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("usage: gyrel-render", result.stderr, args)
        self.assertEqual(run("--help").returncode, 0)

    def test_extreme_settings_render(self):
        result = run("--size", "120x90", "--seconds", "1", "--frames", "2", "--quiet",
                     "--set", "Resolution=-2147483648", "--set", "Randomness=2147483647",
                     "--set", "Gradient=-2147483648", "--set", "ColChangePer=0",
                     "--gif", self.path("e.gif"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(gif_frames(self.path("e.gif")), 2)


if __name__ == "__main__":
    RENDER = sys.argv.pop(1)
    unittest.main()
