#!/usr/bin/env python3
"""The web page in headless Chromium: its still frames against gyrel-render's,
the settings from the address and the fields, pictures opened, dropped and
captured, full screen, and the answers to bad input.

    page_test.py BUILD/WEB PATH-TO-gyrel-render [--shots DIR] [unittest options]

--shots DIR keeps a screenshot of the running page there (web-page.png).
A browser that cannot start fails the tests; nothing is skipped.
"""
import base64
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import headless_chromium as chromium  # noqa: E402

WEB_DIR = None
RENDER = None
SHOTS = None

SETTING_KEYS = ["MaxBkColour", "ColChangePer", "DeltaTheta", "Gradient", "Randomness", "Resolution"]
DEFAULTS = [225, 5, 94, 8, 0, 10]

# A start picture of four plain quarters, so that its pixels survive any
# scaling: red, green / blue, yellow.
QUARTERS = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0)]


def write_quarters(path, width, height):
    top = bytes(QUARTERS[0]) * (width // 2) + bytes(QUARTERS[1]) * (width - width // 2)
    bottom = bytes(QUARTERS[2]) * (width // 2) + bytes(QUARTERS[3]) * (width - width // 2)
    chromium.write_png(path, width, height, lambda y: top if y < height // 2 else bottom)


def render_frame(folder, seed, rate, seconds, size, settings=()):
    """gyrel-render's last frame of two, as a Picture."""
    args = [RENDER, "--seed", str(seed), "--rate", str(rate), "--seconds", str(seconds), "--size", size,
            "--frames", "2", "--png-dir", folder, "--quiet"]
    for key, value in settings:
        args += ["--set", f"{key}={value}"]
    subprocess.run(args, check=True, timeout=120)
    return chromium.read_png_file(os.path.join(folder, "frame-0001.png"))


class BrowserCase(unittest.TestCase):
    """One headless Chromium for the class (with the class's flags), the
    page's folder served beside it, and what the tests ask of the page."""
    flags = []

    @classmethod
    def setUpClass(cls):
        cls.server = chromium.PageServer(WEB_DIR)
        cls.browser = chromium.Browser(800, 600, cls.flags)
        cls.page = cls.browser.page()

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.server.close()

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.tmp = self.dir.name
        self.page.viewport(800, 600)

    def tearDown(self):
        self.dir.cleanup()

    def open(self, query, state):
        self.page.goto(f"{self.server.url}index.html{query}")
        self.assertEqual(self.page.gyrel_state(), state, self.message())

    def message(self):
        return self.page.evaluate("document.getElementById('message').textContent")

    def fields(self):
        return self.page.evaluate(
            "[...document.querySelectorAll('input[data-key]')].map((i) => Number(i.value))")

    def address(self):
        return dict(self.page.evaluate("[...new URLSearchParams(location.search)]"))

    def canvas_pixel(self, x, y):
        return tuple(self.page.evaluate(
            f"[...document.getElementById('spiral').getContext('2d').getImageData({x}, {y}, 1, 1).data]")[:3])

    def canvas_digest(self):
        """Something of every pixel of the canvas (the overlays play no part)."""
        return self.page.evaluate("""(() => {
            const c = document.getElementById('spiral');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let h = 2166136261;
            for (let i = 0; i < d.length; i += 1) h = Math.imul(h ^ d[i], 16777619) >>> 0;
            return [c.width, c.height, h];
        })()""")

    def assert_quarters(self, tolerance=0):
        """The canvas shows the four-quarter picture, filling it."""
        width, height, _ = self.canvas_digest()
        for (fx, fy), colour in zip([(0.25, 0.25), (0.75, 0.25), (0.25, 0.75), (0.75, 0.75)], QUARTERS):
            pixel = self.canvas_pixel(int(width * fx), int(height * fy))
            self.assertLessEqual(max(abs(a - b) for a, b in zip(pixel, colour)), tolerance,
                                 (fx, fy, pixel, colour))

    def wait_for_message(self):
        self.page.evaluate("new Promise((r) => { const m = document.getElementById('message');"
                           " if (m.textContent) r(); new MutationObserver(r).observe(m, {childList: true}); })",
                           wait=True)



class PageTest(BrowserCase):
    # ---- Still frames ----

    def test_still_frames_equal_the_renderers(self):
        # seed, rate, seconds, size, device pixels per CSS pixel, settings in
        # the address, the same as gyrel-render takes them
        cases = [
            (7, 20000, 40, "320x240", 1, [], []),
            (1996, 30000, 12, "257x193", 1, [], []),
            (7, 20000, 40, "257x193", 1, [], []),
            (1996, 30000, 12, "320x240", 1, [], []),
            # Still one canvas pixel to one device pixel.
            (7, 20000, 10, "320x240", 2, [], []),
            # Out of range in the address: clamped as the Options page does.
            (3, 20000, 20, "200x150", 1, [("DeltaTheta", "200"), ("Gradient", "99"), ("Resolution", "abc")],
             [("DeltaTheta", 200), ("Gradient", 20), ("Resolution", 10)]),
        ]
        for seed, rate, seconds, size, scale, query, settings in cases:
            with self.subTest(seed=seed, size=size, scale=scale, query=query):
                expected = render_frame(self.tmp, seed, rate, seconds, size, settings)
                width, height = expected.width, expected.height
                # A larger window: the canvas must sit at the top left, alone.
                self.page.viewport((width + 40) // scale, (height + 30) // scale, scale)
                extra = "".join(f"&{key}={value}" for key, value in query)
                self.open(f"?seed={seed}&rate={rate}&seconds={seconds}&size={size}&still{extra}", "still")
                shot = self.page.screenshot()
                self.assertEqual(shot.crop(0, 0, width, height).rgb, expected.rgb)
                # Beyond the canvas: the page's black, and nothing else.
                self.assertEqual(set(shot.crop(width, 0, shot.width - width, shot.height).rgb), {0})
                self.assertEqual(set(shot.crop(0, height, width, shot.height - height).rgb), {0})

    def test_bad_still_parameters_are_refused_with_the_reason(self):
        cases = [("size=0x10", "size must be"), ("size=100", "size must be"),
                 ("size=5000x10", "size must be"), ("seed=-1", "seed must be"),
                 ("seed=abc", "seed must be"), ("rate=0", "rate must be"),
                 ("seconds=-3", "seconds must be"), ("seconds=1e9", "seconds must be")]
        for query, reason in cases:
            with self.subTest(query=query):
                self.open(f"?{query}&still", "failed")
                self.assertIn(reason, self.message())

    # ---- Settings ----

    def test_settings_from_the_address_are_clamped_or_defaulted(self):
        # query, fields, pace line, notes
        cases = [
            ("", DEFAULTS, "30000 steps a second", []),
            ("?MaxBkColour=300&ColChangePer=abc&DeltaTheta=-5&Gradient=12&Randomness=3x&Resolution=&StepsPerSecond=-7",
             [255, 5, 0, 12, 3, 10], "As many steps a second as the browser allows",
             ["MaxBkColour=300 is out of range (0 to 255): 255 is used.",
              "ColChangePer=abc is not a number: the default, 5, is used.",
              "DeltaTheta=-5 is out of range (0 to 255): 0 is used.",
              "Resolution= is not a number: the default, 10, is used.",
              "StepsPerSecond=-7 is out of range (0 to 1000000): 0 is used."]),
            ("?ColChangePer=99999999999&Resolution=%2B7&StepsPerSecond=abc", [225, 50, 94, 8, 0, 7],
             "30000 steps a second",
             ["ColChangePer=99999999999 is out of range (1 to 50): 50 is used.",
              "StepsPerSecond=abc is not a number: the default, 30000, is used."]),
            ("?StepsPerSecond=99999999999", DEFAULTS, "1000000 steps a second",
             ["StepsPerSecond=99999999999 is out of range (0 to 1000000): 1000000 is used."]),
        ]
        for query, fields, pace, notes in cases:
            with self.subTest(query=query):
                self.open(query, "running")
                self.assertEqual(self.fields(), fields)
                self.assertEqual(self.page.evaluate("document.getElementById('pace').textContent"), pace)
                self.assertEqual(self.message().splitlines(), notes)

    def test_field_changes_reach_the_address_and_default_restores(self):
        self.open("?StepsPerSecond=5000", "running")

        def type_into(key, text):
            self.page.evaluate(f"document.querySelector('input[data-key={key}]').select()")
            self.page.call("Input.insertText", text=text)

        # key, typed text, field afterwards, value in the address
        # key, typed text, field afterwards (None: as typed), value in the address
        for key, typed, shown, kept in [("DeltaTheta", "200", "200", "200"), ("Gradient", "999", "20", "20"),
                                        ("MaxBkColour", "e", None, "225")]:
            with self.subTest(key=key, typed=typed):
                type_into(key, typed)
                self.assertEqual(self.page.evaluate(f"document.querySelector('input[data-key={key}]').value"),
                                 shown if shown is not None else "")
                self.assertEqual(self.address()[key], kept)
        self.assertEqual(self.address()["StepsPerSecond"], "5000")
        self.page.click(*self.page.centre_of("#default"))
        self.assertEqual(self.fields(), DEFAULTS)
        self.assertEqual([int(self.address()[key]) for key in SETTING_KEYS], DEFAULTS)

    # ---- Pictures ----

    def test_an_opened_or_dropped_picture_becomes_the_start(self):
        # file, its size, how it reaches the page, what the page says
        cases = [("quarters.png", 640, 480, "open", 'The spiral starts from "quarters.png" (640x480).'),
                 ("dropped.png", 300, 200, "drop", 'The spiral starts from "dropped.png" (300x200).'),
                 ("enormous.png", 9600, 7200, "open",
                  'The spiral starts from "enormous.png" (9600x7200, scaled down to 800x600).')]
        for name, width, height, way, said in cases:
            with self.subTest(name=name):
                path = os.path.join(self.tmp, name)
                write_quarters(path, width, height)
                # One step a second: the picture stays as it was opened.
                self.open("?StepsPerSecond=1", "running")
                if way == "open":
                    self.page.set_files("#file", [path])
                else:
                    data = {"items": [], "files": [path], "dragOperationsMask": 1}
                    for kind in ("dragEnter", "dragOver", "drop"):
                        self.page.call("Input.dispatchDragEvent", type=kind, x=200, y=300, data=data)
                self.wait_for_message()
                self.assertEqual(self.message(), said)
                self.assert_quarters()

    def test_an_undecodable_file_leaves_the_picture(self):
        path = os.path.join(self.tmp, "broken.png")
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\nthis is no picture")
        self.open("?StepsPerSecond=1", "running")
        before = self.canvas_digest()
        self.page.set_files("#file", [path])
        self.wait_for_message()
        self.assertEqual(self.message(),
                         '"broken.png" cannot be read as a picture by this browser; '
                         'the spiral goes on with its picture.')
        self.assertEqual(self.canvas_digest(), before)

    # ---- Full screen ----

    def test_full_screen_enters_and_a_key_a_click_or_a_move_leaves(self):
        self.open("?StepsPerSecond=1", "running")
        self.page.evaluate("window.moves = []; document.addEventListener('mousemove', "
                           "(e) => moves.push([e.screenX, e.screenY]), true); 0")

        def next_change():
            """Arms a wait for the next change in or out of full screen."""
            self.page.evaluate("window.change = new Promise((r) => document.addEventListener("
                               "'fullscreenchange', () => r(Boolean(document.fullscreenElement)), {once: true})); 0")

        def panel_shown():
            return self.page.evaluate("getComputedStyle(document.getElementById('panel')).display") != "none"

        for way in ("key", "click", "move"):
            with self.subTest(way=way):
                x, y = self.page.centre_of("#fullscreen")
                next_change()
                self.page.click(x, y)
                self.assertTrue(self.page.evaluate("change", wait=True))
                self.assertFalse(panel_shown())
                # A report of the pointer where it was at the click does not
                # end full screen (the browser sends one when the page's
                # layout changes under a pointer that stays put).
                clicked = self.page.evaluate("moves[moves.length - 1]")
                self.page.evaluate(f"document.dispatchEvent(new MouseEvent('mousemove', {{screenX: {clicked[0]}, "
                                   f"screenY: {clicked[1]}, bubbles: true}})); 0")
                self.assertTrue(self.page.evaluate("Boolean(document.fullscreenElement)"))
                next_change()
                if way == "key":
                    self.page.key("a", "KeyA", 65)
                elif way == "click":
                    self.page.click(100, 100)
                else:
                    self.page.mouse("mouseMoved", x + 5, y + 5)
                self.assertFalse(self.page.evaluate("change", wait=True))
                self.assertTrue(panel_shown())

    # ---- The page itself ----

    def test_the_benchmark_prints_its_figure(self):
        self.open("?bench", "bench")
        text = self.page.evaluate("document.getElementById('bench').textContent")
        self.assertRegex(text, r"^The engine in this page: [0-9,]+ steps a second at 800x600 ")
        self.assertGreater(int(self.page.evaluate("document.getElementById('bench').dataset.stepsPerSecond")), 0)

    def test_a_page_opened_as_a_file_says_to_serve_it(self):
        self.page.goto("file://" + os.path.abspath(os.path.join(WEB_DIR, "index.html")))
        self.assertEqual(self.page.gyrel_state(), "failed")
        self.assertIn("python3 -m http.server -d build/web", self.message())

    def test_the_running_page(self):
        self.page.viewport(1024, 640)
        self.open("?seed=7", "running")
        self.page.evaluate("new Promise((r) => setTimeout(r, 700))", wait=True)
        shot = self.page.call("Page.captureScreenshot", format="png")["data"]
        picture = chromium.read_png(base64.b64decode(shot))
        # The spiral draws over the whole window; the panel floats over it.
        self.assertEqual((picture.width, picture.height), (1024, 640))
        self.assertGreater(len(set(picture.crop(0, 0, 600, 600).rgb)), 50)
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            with open(os.path.join(SHOTS, "web-page.png"), "wb") as f:
                f.write(base64.b64decode(shot))


class SharedScreen(BrowserCase):
    """A browser that shares, unasked, the tab titled "Desktop": it shows the
    four quarters, as a desktop would show its picture."""
    flags = ["--auto-select-tab-capture-source-by-title=Desktop"]

    def test_a_shared_screen_becomes_the_start(self):
        quarters = "".join(f"<div style='background:rgb{colour}'></div>" for colour in QUARTERS)
        desktop = self.browser.call("Target.createTarget", {
            "url": "data:text/html,<title>Desktop</title><body style='margin:0;height:100vh;display:grid;"
                   "grid-template:1fr 1fr/1fr 1fr'>" + quarters, "background": True})
        try:
            self.open("?StepsPerSecond=1", "running")
            self.page.click(*self.page.centre_of("#capture"))
            self.wait_for_message()
            self.assertEqual(self.message(), "The spiral starts from the shared screen.")
            # A shared screen comes as video: its colours are near, not exact.
            self.assert_quarters(tolerance=40)
        finally:
            self.browser.call("Target.closeTarget", {"targetId": desktop["targetId"]})


class WithoutWebAssembly(BrowserCase):
    """V8 without its compilers has no WebAssembly, as some locked-down
    browsers have none."""
    flags = ["--js-flags=--jitless"]

    def test_a_browser_without_webassembly_gets_a_message(self):
        self.open("", "failed")
        self.assertIn("This browser cannot run WebAssembly", self.message())
        self.assertFalse(self.page.evaluate("document.getElementById('message').hidden"))


if __name__ == "__main__":
    WEB_DIR = sys.argv.pop(1)
    RENDER = sys.argv.pop(1)
    if len(sys.argv) > 2 and sys.argv[1] == "--shots":
        SHOTS = sys.argv[2]
        del sys.argv[1:3]
    unittest.main()
