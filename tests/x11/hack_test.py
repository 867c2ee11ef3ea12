#!/usr/bin/env python3
"""gyrel, the X11 hack, on private Xvfb servers: what it draws (read back from
the server), where it starts from, how it ends, and its answers to bad
options.

    hack_test.py PATH-TO-gyrel PATH-TO-gyrel-x11-probe PATH-TO-gyrel.xml

The probe paints the test pattern (stripes in eight colours) and reads pixels
back. Every read-back of a picture the test made is first checked against the
pattern, so a server that shows something else fails the test instead of
passing it vacuously.
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import xml.dom.minidom

from xvfb import Xvfb

GYREL = PROBE = XML = None
SCREEN = (640, 480)
STEP = 16  # between the points a test reads
# Starts from the picture and then waits this long before the next frame:
# long enough for a test to read the start picture back.
STILL = ["--delay", "10000000"]


def grid(width, height):
    return [(x, y) for y in range(STEP // 2, height, STEP) for x in range(STEP // 2, width, STEP)]


def probe(display, *args):
    result = subprocess.run([PROBE, *map(str, args)], capture_output=True, text=True, timeout=30,
                            env={**os.environ, "DISPLAY": display})
    if result.returncode != 0:
        raise AssertionError(f"probe {args[0]} failed: {result.stderr}")
    return result.stdout.split()


def pixels(display, window, points):
    return probe(display, "pixels", window, *[v for p in points for v in p])


def pattern(points, dx=0, scale=1):
    """The pattern at each point, shifted right by dx or scaled up."""
    return probe("", "pattern", *[v for x, y in points for v in ((x + dx) // scale, y // scale)])


def share_equal(a, b):
    return sum(p == q for p, q in zip(a, b)) / len(a)


def running(pid):
    """Whether the process exists and has not ended (a zombie has)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def activity(pid, seconds):
    """The processor time (in seconds) a process used over the given seconds
    and the times it woke up from a wait."""
    def sample():
        with open(f"/proc/{pid}/schedstat") as f:
            ns = int(f.read().split()[0])
        with open(f"/proc/{pid}/status") as f:
            wakeups = int(re.search(r"^voluntary_ctxt_switches:\s+(\d+)", f.read(), re.M).group(1))
        return ns, wakeups
    before = sample()
    time.sleep(seconds)
    after = sample()
    return (after[0] - before[0]) / 1e9, after[1] - before[1]


class HackTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Xvfb(*SCREEN)
        cls.home = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.home.cleanup()

    def choose_images(self, desktop):
        """The user's choice in ~/.xscreensaver, which the image helper reads."""
        with open(os.path.join(self.home.name, ".xscreensaver"), "w") as f:
            f.write(f"grabDesktopImages: {desktop}\ngrabVideoFrames: False\n"
                    "chooseRandomImages: False\n")

    def start(self, *args, display=None, runner=(), **env):
        environment = {**os.environ, "DISPLAY": display or self.server.display, "HOME": self.home.name}
        environment.pop("XSCREENSAVER_WINDOW", None)
        environment.pop("GYREL_GETIMAGE", None)
        environment.update(env)
        process = subprocess.Popen([*runner, GYREL, *args], env=environment, stdout=subprocess.PIPE if runner
                                   else subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: process.poll() is None and (process.kill(), process.wait()))
        return process

    def ends_cleanly(self, process, sig=signal.SIGTERM):
        if sig is not None:
            process.send_signal(sig)
        try:
            _, err = process.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            self.fail("gyrel did not end")
        self.assertEqual(process.returncode, 0, err)

    def wait_for(self, condition, what, seconds=10):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                if condition():
                    return
            except AssertionError:
                pass  # the image helper unmaps a window for a moment
            time.sleep(0.2)
        self.fail(f"timed out waiting until {what}")

    def held(self, display, *args):
        """Runs the probe with the arguments until the test ends; its first
        line."""
        holder = subprocess.Popen([PROBE, *map(str, args)], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                  env={**os.environ, "DISPLAY": display})
        self.addCleanup(lambda: (holder.stdin.close(), holder.wait(timeout=30), holder.stdout.close()))
        return holder.stdout.readline().strip()

    def held_window(self, kind, x, y, width, height, display, *parent):
        """A window that the probe makes (inside parent, if given) and holds
        for the test; its id."""
        return self.held(display, kind, x, y, width, height, *parent)

    def pattern_window(self, x, y, width, height, display=None):
        """A top-level window of the test's, with the pattern as its background
        (the server repaints it itself); its id and the points to read."""
        display = display or self.server.display
        window = self.held_window("window", x, y, width, height, display)
        points = grid(width, height)
        self.assertEqual(pixels(display, window, points), pattern(points),
                         "the server does not show the pattern the test drew")
        return window, points

    def test_root_drags_the_pattern_into_a_spiral(self):
        display = self.server.display
        probe(display, "root")
        points = grid(*SCREEN)
        before = pixels(display, "root", points)
        self.assertEqual(before, pattern(points), "the root does not show the pattern the test drew")

        hack = self.start("-root")
        time.sleep(3)
        after = pixels(display, "root", points)
        self.ends_cleanly(hack)
        # Pattern colours carried to places where the pattern has another.
        colours = set(before)
        moved = sum(a != b and a in colours for a, b in zip(after, before)) / len(points)
        self.assertGreater(moved, 0.10, f"only {moved:.0%} of the points show a moved pattern colour")

    def test_draws_in_a_window_handed_over_until_it_is_destroyed(self):
        # The settings dialog's preview hands its window over by id; the
        # daemon hands its own over in XSCREENSAVER_WINDOW. The second server
        # lacks MIT-SHM, so the picture travels in ordinary requests.
        plain = Xvfb(*SCREEN, "-extension", "MIT-SHM")
        self.addCleanup(plain.stop)
        for how, display in (("--window-id", self.server.display), ("$XSCREENSAVER_WINDOW", plain.display)):
            with self.subTest(how=how):
                window, points = self.pattern_window(0, 0, 320, 240, display)
                # The start picture is a copy of the window, so only the
                # spiral changes it.
                if how == "--window-id":
                    hack = self.start("--window-id", window, display=display, GYREL_GETIMAGE="")
                else:
                    hack = self.start("--root", display=display, XSCREENSAVER_WINDOW=window, GYREL_GETIMAGE="")
                self.wait_for(lambda: share_equal(pixels(display, window, points), pattern(points)) < 0.5,
                              "half the window has changed")
                probe(display, "destroy", window)
                self.ends_cleanly(hack, sig=None)

    def test_start_picture_follows_the_users_choice(self):
        # The window lies one stripe right of the root's pattern: the desktop
        # under it differs from its own background at every point.
        probe(self.server.display, "root")
        for desktop, expected in (("True", "the desktop under the window"), ("False", "colour bars")):
            with self.subTest(desktop=desktop):
                self.choose_images(desktop)
                window, points = self.pattern_window(40, 0, 320, 240)
                hack = self.start("--window-id", window, *STILL)
                desk = pattern(points, dx=40)
                own = pattern(points)
                if desktop == "True":
                    shown = lambda: share_equal(pixels(self.server.display, window, points), desk) > 0.95
                else:
                    shown = lambda: max(share_equal(pixels(self.server.display, window, points), p)
                                        for p in (desk, own)) < 0.2
                self.wait_for(shown, f"the window shows {expected}")
                self.ends_cleanly(hack)

    def test_under_a_compositing_manager_the_start_picture_is_what_the_screen_shows(self):
        # The compositor keeps windows' contents off the screen: the window
        # holds its own pattern, the screen under it shows the root's,
        # shifted by one stripe.
        server = self.private_server()
        display = server.display
        probe(display, "root")
        self.assertEqual(self.held(display, "compositor"), "ready")
        window, points = self.pattern_window(40, 0, 320, 240, display)
        hack = self.start("--window-id", window, *STILL, display=display, GYREL_GETIMAGE="")
        desk = pattern(points, dx=40)
        self.wait_for(lambda: share_equal(pixels(display, window, points), desk) > 0.95, "the window shows the screen")
        self.ends_cleanly(hack)

    def test_follows_a_new_size_keeping_the_picture(self):
        window, points = self.pattern_window(0, 0, 160, 120)
        hack = self.start("--window-id", window, *STILL, GYREL_GETIMAGE="")
        time.sleep(1)  # the start picture, a copy of the window, is up
        probe(self.server.display, "resize", window, 320, 240)
        larger = grid(320, 240)
        stretched = pattern(larger, scale=2)
        self.wait_for(lambda: share_equal(pixels(self.server.display, window, larger), stretched) > 0.95,
                      "the picture is stretched over the larger window")
        self.ends_cleanly(hack)

    def test_stop_signals_end_it_cleanly(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                hack = self.start("--window", GYREL_GETIMAGE="")
                self.wait_for(lambda: b"Gyrel" in subprocess.run(
                    ["xwininfo", "-root", "-tree"], capture_output=True,
                    env={**os.environ, "DISPLAY": self.server.display}).stdout, "its window is up")
                self.ends_cleanly(hack, sig)

    def private_server(self, *extra, depth=24):
        server = Xvfb(*SCREEN, *extra, depth=depth)
        self.addCleanup(server.stop)
        return server

    def test_a_stop_signal_ends_it_within_two_seconds_whatever_holds_it(self):
        # A picture helper that ignores SIGTERM (and leaves a child that
        # does too), and an X server that stops answering.
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        helper = os.path.join(folder, "stubborn-getimage")
        pids = os.path.join(folder, "pids")
        with open(helper, "w") as f:
            f.write(f"#!/bin/sh\ntrap '' TERM\nsleep 60 &\necho $$ $! > {pids}.new\n"
                    f"mv {pids}.new {pids}\nwait\n")
        os.chmod(helper, 0o755)
        for holder, signals in (("helper", 1), ("server", 1), ("server", 2)):
            with self.subTest(holder=holder, signals=signals):
                server = self.private_server()
                window, _ = self.pattern_window(0, 0, 320, 240, server.display)
                if holder == "helper":
                    hack = self.start("--window-id", window, display=server.display, GYREL_GETIMAGE=helper)
                    self.wait_for(lambda: os.path.exists(pids), "the helper runs")
                else:
                    hack = self.start("--window-id", window, display=server.display, GYREL_GETIMAGE="")
                    time.sleep(1)
                    server.process.send_signal(signal.SIGSTOP)
                    self.addCleanup(server.process.send_signal, signal.SIGCONT)
                    time.sleep(0.3)  # into its next round trip
                started = time.monotonic()
                for _ in range(signals):
                    hack.send_signal(signal.SIGTERM)
                try:
                    hack.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.fail("gyrel did not end")
                self.assertLess(time.monotonic() - started, 2.0)
                if holder == "helper":
                    with open(pids) as f:
                        children = [int(p) for p in f.read().split()]
                    os.remove(pids)
                    time.sleep(0.5)  # for init to reap the orphans
                    self.assertEqual([p for p in children if running(p)], [], "children outlived gyrel")
                else:
                    server.process.send_signal(signal.SIGCONT)

    def start_with_slow_helper(self):
        """gyrel in a pattern window with a picture helper that ignores
        SIGTERM and never ends; gyrel, the window, its points and the
        helper's process id once it runs."""
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        helper, pid_file = os.path.join(folder, "slow-getimage"), os.path.join(folder, "pid")
        with open(helper, "w") as f:
            f.write(f"#!/bin/sh\necho $$ > {pid_file}.new\nmv {pid_file}.new {pid_file}\ntrap '' TERM\n"
                    "exec sleep 60\n")
        os.chmod(helper, 0o755)
        window, points = self.pattern_window(0, 0, 320, 240)
        hack = self.start("--window-id", window, GYREL_GETIMAGE=helper)
        self.wait_for(lambda: os.path.exists(pid_file), "the helper runs")
        with open(pid_file) as f:
            return hack, window, points, int(f.read())

    def test_while_a_slow_helper_runs_it_answers_and_the_helper_ends_with_it(self):
        # Killed outright, it takes the helper with it; its window's end
        # ends it at once, quietly; the settings dialog's preview (a window
        # handed over by id) waits for the helper only briefly, then turns
        # what its window shows.
        for case in ("killed", "window destroyed", "preview"):
            with self.subTest(case=case):
                hack, window, points, helper = self.start_with_slow_helper()
                started = time.monotonic()
                if case == "killed":
                    hack.kill()
                    hack.wait(timeout=10)
                elif case == "window destroyed":
                    probe(self.server.display, "destroy", window)
                    self.ends_cleanly(hack, sig=None)
                    self.assertLess(time.monotonic() - started, 2.0)
                else:
                    self.wait_for(lambda: share_equal(pixels(self.server.display, window, points), pattern(points))
                                  < 0.95, "the spiral turns", seconds=5)
                self.wait_for(lambda: not running(helper), "the helper has gone", seconds=2)
                if case == "preview":
                    self.ends_cleanly(hack)

    def test_its_own_window_shows_the_spiral_at_once_without_a_window_manager(self):
        probe(self.server.display, "root")
        points = grid(*SCREEN)
        before = pixels(self.server.display, "root", points)
        self.assertEqual(before, pattern(points), "the root does not show the pattern the test drew")
        hack = self.start("--window", GYREL_GETIMAGE="")
        self.wait_for(lambda: share_equal(pixels(self.server.display, "root", points), before) < 0.95,
                      "the spiral turns in the window", seconds=2.5)
        self.ends_cleanly(hack)

    def own_window(self, hack, display=None):
        """The id of the window the hack made, found by its process id."""
        find = lambda: subprocess.run(["xdotool", "search", "--pid", str(hack.pid)], capture_output=True, text=True,
                                      env={**os.environ, "DISPLAY": display or self.server.display}).stdout.split()
        self.wait_for(find, "its window is up")
        return find()[0]

    def test_it_sleeps_while_nobody_can_see_its_window_and_goes_on_after(self):
        # Unmapped or covered, it neither draws nor wakes; seen again, the
        # spiral turns on. The preview's window stays mapped inside a dialog
        # that is unmapped around it.
        display = self.server.display
        probe(display, "root")
        for case, pace in (("unmapped", "30000"), ("covered", "0"), ("in an unmapped parent", "30000")):
            with self.subTest(case=case, steps_per_second=pace):
                if case == "in an unmapped parent":
                    parent, _ = self.pattern_window(0, 0, 400, 300)
                    window = self.held_window("window", 20, 20, 320, 240, display, parent)
                    hack = self.start("--window-id", window, "--steps-per-second", pace, GYREL_GETIMAGE="")
                    unmapped = parent
                else:
                    hack = self.start("--window", "--steps-per-second", pace, GYREL_GETIMAGE="")
                    window = unmapped = self.own_window(hack)
                points = grid(320, 240)
                picture = lambda: pixels(display, window, points)
                first = picture()
                self.wait_for(lambda: share_equal(picture(), first) < 0.95, "the spiral turns")
                if case == "covered":
                    show = ["unmap", self.held_window("window", 0, 0, *SCREEN, display)]
                else:
                    probe(display, "unmap", unmapped)
                    show = ["map", unmapped]
                time.sleep(0.5)
                seconds, wakeups = activity(hack.pid, 2)
                self.assertEqual(wakeups, 0, f"woke {wakeups} times while hidden")
                self.assertLess(seconds, 0.002)
                probe(display, *show)
                before = picture()
                self.wait_for(lambda: share_equal(picture(), before) < 0.95, "the spiral turns again", seconds=3)
                self.ends_cleanly(hack)

    def test_its_window_moved_out_of_a_parent_that_then_goes_keeps_drawing(self):
        # Watching the parent, it lets go of it when the window leaves; the
        # parent, destroyed meanwhile, answers with an error about a window
        # that is not the hack's.
        display = self.server.display
        parent, _ = self.pattern_window(0, 0, 400, 300)
        window = self.held_window("window", 20, 20, 320, 240, display, parent)
        hack = self.start("--window-id", window, GYREL_GETIMAGE="")
        points = grid(320, 240)
        time.sleep(1)
        probe(display, "move-out", window, parent)
        before = pixels(display, window, points)
        self.wait_for(lambda: share_equal(pixels(display, window, points), before) < 0.95, "the spiral turns on")
        self.assertIsNone(hack.poll(), "gyrel ended")
        self.ends_cleanly(hack)

    def test_in_its_own_window_q_and_escape_end_it(self):
        display = self.server.display
        for key, ends in (("q", True), ("Escape", True), ("space", False)):
            with self.subTest(key=key):
                hack = self.start("--window", GYREL_GETIMAGE="")
                window = self.own_window(hack)
                subprocess.run(["xdotool", "mousemove", "--window", window, "10", "10", "key", key], check=True,
                               timeout=30, env={**os.environ, "DISPLAY": display})
                if ends:
                    self.ends_cleanly(hack, sig=None)
                else:
                    time.sleep(1)
                    self.assertIsNone(hack.poll())
                    self.ends_cleanly(hack)

    def test_its_own_window_names_its_process_and_machine(self):
        hack = self.start("--window", GYREL_GETIMAGE="")
        properties = subprocess.run(["xprop", "-id", self.own_window(hack), "_NET_WM_PID", "WM_CLIENT_MACHINE"],
                                    capture_output=True, text=True, timeout=30,
                                    env={**os.environ, "DISPLAY": self.server.display}).stdout
        self.assertEqual(properties, f'_NET_WM_PID(CARDINAL) = {hack.pid}\n'
                                     f'WM_CLIENT_MACHINE(STRING) = "{socket.gethostname()}"\n')
        self.ends_cleanly(hack)

    def test_windows_it_cannot_draw_on_are_refused_with_a_reason(self):
        # An InputOnly window; a window of a DirectColor visual, whose colour
        # map is not the hack's to fill; an 8-bit PseudoColor root.
        for case in ("InputOnly", "DirectColor", "PseudoColor"):
            with self.subTest(case=case):
                if case == "InputOnly":
                    display = self.server.display
                    args = ["--window-id", self.held_window("inputonly", 0, 0, 100, 100, display)]
                elif case == "DirectColor":
                    display = self.private_server("-cc", "5").display
                    args = ["--window-id", self.held_window("window", 0, 0, 100, 100, display)]
                else:
                    display = self.private_server(depth=8).display
                    probe(display, "root")  # the probe itself copes with a colour map
                    args = ["--root"]
                result = subprocess.run([GYREL, *args], capture_output=True, text=True, timeout=30,
                                        env={**os.environ, "DISPLAY": display, "GYREL_GETIMAGE": ""})
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(case, result.stderr)
                self.assertLessEqual(len(result.stderr.splitlines()), 2, result.stderr)

    def test_its_own_window_takes_a_true_colour_visual_on_a_direct_colour_screen(self):
        display = self.private_server("-cc", "5").display
        hack = self.start("--window", display=display, GYREL_GETIMAGE="")
        info = lambda: subprocess.run(["xwininfo", "-name", "Gyrel"], capture_output=True, text=True,
                                      env={**os.environ, "DISPLAY": display}).stdout
        self.wait_for(lambda: "Visual Class" in info(), "its window is up")
        self.assertIn("Visual Class: TrueColor", info())
        self.ends_cleanly(hack)

    def test_a_window_destroyed_just_after_the_start_brings_no_error(self):
        # Starting the probe that destroys it takes some milliseconds of its
        # own; a window gone before gyrel found it is refused with 1.
        for delay in (0, 0.002, 0.005, 0.01, 0.02) * 3:
            with self.subTest(delay=delay):
                window, _ = self.pattern_window(0, 0, 160, 120)
                hack = self.start("--window-id", window, GYREL_GETIMAGE="")
                time.sleep(delay)
                probe(self.server.display, "destroy", window)
                _, err = hack.communicate(timeout=10)
                self.assertNotIn("X error", err)
                self.assertEqual(err if hack.returncode else "", "" if hack.returncode == 0
                                 else f"gyrel: there is no window {window}\n")

    def test_a_kill_before_the_server_attaches_leaves_no_shared_memory(self):
        # Stopped where it asks the server to attach the segment, then
        # killed: the kernel must still remove the segment.
        window, _ = self.pattern_window(0, 0, 160, 120)
        gdb = ["gdb", "-batch", "-ex", "set breakpoint pending on", "-ex", "break XShmAttach", "-ex", "run",
               "-ex", "info inferiors", "-ex", "kill", "--args"]
        hack = self.start("--window-id", window, runner=gdb, GYREL_GETIMAGE="")
        out, err = hack.communicate(timeout=60)
        self.assertIn("Breakpoint 1, ", out, err)
        pid = re.search(r"process (\d+)", out).group(1)
        with open("/proc/sysvipc/shm") as f:
            creators = [line.split()[4] for line in f.read().splitlines()[1:]]
        self.assertNotIn(pid, creators, "a segment of the killed gyrel is left")

    def test_the_start_picture_comes_from_the_windows_own_screen(self):
        # The window is on the second screen, the display names the first.
        server = self.private_server("-screen", "1", "320x240x24")
        first, second = server.display + ".0", server.display + ".1"
        window, points = self.pattern_window(0, 0, 160, 120, second)
        hack = self.start("--window-id", window, *STILL, display=first, GYREL_GETIMAGE="")
        time.sleep(1.5)
        self.assertGreater(share_equal(pixels(second, window, points), pattern(points)), 0.95)
        self.ends_cleanly(hack)

    def test_bad_options_give_usage_and_exit_code_2(self):
        for args in (["--bogus"], ["-delay"], ["--delay", "soon"], ["--gradient", "3x"], ["--steps-per-second", "x"],
                     ["--window-id", "0"], ["--window-id", "0xZZ"], ["--resolution", ""], ["stray"]):
            with self.subTest(args=args):
                result = subprocess.run([GYREL, *args], capture_output=True, text=True, timeout=30)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(args[0], result.stderr)
                self.assertIn("usage: gyrel", result.stderr)

    def test_every_setting_in_the_xml_is_understood(self):
        # Each option the settings dialog can pass, at its bounds; the
        # display does not exist, so a run that parses ends with 1, not 2.
        document = xml.dom.minidom.parse(XML)
        for number in document.getElementsByTagName("number"):
            for bound in ("low", "high", "default"):
                args = number.getAttribute("arg").replace("%", number.getAttribute(bound)).split()
                result = subprocess.run([GYREL, *args, "--display", ":9999"], capture_output=True,
                                        text=True, timeout=30)
                self.assertEqual(result.returncode, 1, f"{args}: {result.stderr}")
        for boolean in document.getElementsByTagName("boolean"):
            result = subprocess.run([GYREL, boolean.getAttribute("arg-set"), "--display", ":9999"],
                                    capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, 1, result.stderr)


if __name__ == "__main__":
    GYREL, PROBE, XML = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
