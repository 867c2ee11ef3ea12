"""Debian's Chromium, headless, driven through the DevTools protocol, and the
web page's folder served on loopback: what the page's tests and benchmark use.

Chromium takes the protocol's commands on its file descriptor 3 and answers
on 4 (--remote-debugging-pipe), each message JSON ending in a NUL byte, so no
port, driver program or WebSocket library is needed. Every wait has a time
limit; a browser that cannot start raises BrowserError.
"""
import base64
import functools
import http.server
import json
import os
import queue
import shutil
import struct
import subprocess
import tempfile
import threading
import zlib

CHROMIUM = "/usr/bin/chromium"
WAIT_SECONDS = 30

# Headless, and quiet on a closed network: without the background-networking
# flags Chromium keeps trying to reach its vendor's services.
BASE_FLAGS = [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-default-apps", "--disable-extensions", "--hide-scrollbars",
    # A container's /dev/shm may be too small for the renderer's frames.
    "--disable-dev-shm-usage",
    "--force-device-scale-factor=1", "--remote-debugging-pipe",
]


class BrowserError(RuntimeError):
    pass


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
        pass


class PageServer:
    """A folder served on an ephemeral loopback port, from a thread."""

    def __init__(self, folder):
        handler = functools.partial(QuietHandler, directory=folder)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}/"

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Browser:
    """One headless Chromium with a window of the given size; page() is its
    first tab."""

    def __init__(self, width=800, height=600, flags=()):
        if not os.path.exists(CHROMIUM):
            raise BrowserError(f"{CHROMIUM} is missing: run tools/bootstrap.sh")
        self.profile = tempfile.TemporaryDirectory(prefix="gyrel-chromium-")
        commands_read, self.commands = os.pipe()
        self.answers, answers_write = os.pipe()

        def descriptors():
            # Copies first: a pipe may itself be 3 or 4, and only dup2 onto
            # another number makes the descriptor survive the exec.
            commands, answers = os.dup(commands_read), os.dup(answers_write)
            os.dup2(commands, 3)
            os.dup2(answers, 4)

        self.process = subprocess.Popen(
            [CHROMIUM, *BASE_FLAGS, f"--window-size={width},{height}",
             f"--user-data-dir={self.profile.name}", *flags, "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=descriptors, pass_fds=(3, 4), start_new_session=True)
        os.close(commands_read)
        os.close(answers_write)
        self.next_id = 0
        self.lock = threading.Lock()
        self.pending = {}          # id -> queue for its answer
        self.events = queue.Queue()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        try:
            self.call("Browser.getVersion")
        except BrowserError:
            self.close()
            raise

    def _read(self):
        buffer = b""
        while True:
            try:
                chunk = os.read(self.answers, 1 << 20)
            except OSError:
                chunk = b""
            if not chunk:
                break
            buffer += chunk
            while b"\0" in buffer:
                raw, buffer = buffer.split(b"\0", 1)
                message = json.loads(raw)
                if "id" in message:
                    with self.lock:
                        waiting = self.pending.pop(message["id"], None)
                    if waiting is not None:
                        waiting.put(message)
                else:
                    self.events.put(message)
        # The browser is gone: every caller still waiting learns it at once.
        with self.lock:
            for waiting in self.pending.values():
                waiting.put({"error": {"message": "the browser closed its pipe"}})
            self.pending.clear()
        self.events.put(None)

    def call(self, method, params=None, session=None, timeout=WAIT_SECONDS):
        answer = queue.Queue(maxsize=1)
        with self.lock:
            self.next_id += 1
            message = {"id": self.next_id, "method": method, "params": params or {}}
            if session is not None:
                message["sessionId"] = session
            self.pending[self.next_id] = answer
        try:
            os.write(self.commands, json.dumps(message).encode() + b"\0")
        except OSError as error:
            raise BrowserError(f"{method}: the browser is not there ({error})") from error
        try:
            reply = answer.get(timeout=timeout)
        except queue.Empty:
            raise BrowserError(f"{method}: no answer within {timeout} s") from None
        if "error" in reply:
            raise BrowserError(f"{method}: {reply['error'].get('message')}")
        return reply.get("result", {})

    def wait_event(self, method, session=None, timeout=WAIT_SECONDS):
        """The next event of that name (events of other names are dropped)."""
        while True:
            try:
                event = self.events.get(timeout=timeout)
            except queue.Empty:
                raise BrowserError(f"no {method} within {timeout} s") from None
            if event is None:
                raise BrowserError(f"the browser ended while waiting for {method}")
            if event.get("method") == method and (session is None or event.get("sessionId") == session):
                return event.get("params", {})

    def drop_events(self):
        while True:
            try:
                self.events.get_nowait()
            except queue.Empty:
                return

    def page(self):
        targets = self.call("Target.getTargets")["targetInfos"]
        target = next(t for t in targets if t["type"] == "page")
        session = self.call("Target.attachToTarget", {"targetId": target["targetId"], "flatten": True})["sessionId"]
        return Page(self, session)

    def processes(self):
        """The browser's process and all its descendants, as process ids."""
        children = {}
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open(f"/proc/{entry}/stat") as f:
                        fields = f.read().rsplit(")", 1)[1].split()
                except OSError:
                    continue
                children.setdefault(int(fields[1]), []).append(int(entry))
        found, todo = [], [self.process.pid]
        while todo:
            pid = todo.pop()
            found.append(pid)
            todo.extend(children.get(pid, []))
        return found

    def close(self):
        if self.process.poll() is None:
            try:
                os.write(self.commands, json.dumps({"id": 0, "method": "Browser.close"}).encode() + b"\0")
                self.process.wait(timeout=10)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        for fd in (self.commands, self.answers):
            try:
                os.close(fd)
            except OSError:
                pass
        self.profile.cleanup()


class Page:
    """One tab: navigation, script, input and screenshots."""

    def __init__(self, browser, session):
        self.browser = browser
        self.session = session
        self.call("Page.enable")
        self.call("Runtime.enable")

    def call(self, method, **params):
        return self.browser.call(method, params, session=self.session)

    def viewport(self, width, height, scale=1):
        """A viewport of width x height CSS pixels, each scale device pixels."""
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=scale, mobile=False)

    def goto(self, url):
        """Loads the page and waits for the document's load event."""
        self.browser.drop_events()
        self.call("Page.navigate", url=url)
        self.browser.wait_event("Page.loadEventFired", session=self.session)

    def evaluate(self, expression, wait=False):
        """The value of a script expression (awaiting it when it is a promise)."""
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=wait, userGesture=False, timeout=WAIT_SECONDS * 1000)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            text = details.get("exception", {}).get("description") or details.get("text")
            raise BrowserError(f"script failed: {text}")
        return result["result"].get("value")

    def gyrel_state(self):
        """Waits until the page has told its state on <html data-gyrel>."""
        return self.evaluate("""new Promise((resolve) => {
            const state = document.documentElement.dataset.gyrel;
            if (state) resolve(state);
            else document.addEventListener('gyrel:state', (e) => resolve(e.detail), {once: true});
        })""", wait=True)

    def screenshot(self):
        """The viewport as a Picture."""
        data = self.call("Page.captureScreenshot", format="png", fromSurface=True)["data"]
        return read_png(base64.b64decode(data))

    def mouse(self, kind, x, y, button="none", clicks=0):
        self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button=button, clickCount=clicks)

    def click(self, x, y):
        self.mouse("mouseMoved", x, y)
        self.mouse("mousePressed", x, y, "left", 1)
        self.mouse("mouseReleased", x, y, "left", 1)

    def key(self, key, code, key_code):
        for kind in ("rawKeyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, key=key, code=code,
                      windowsVirtualKeyCode=key_code)

    def centre_of(self, selector):
        box = self.evaluate(f"""(() => {{
            const r = document.querySelector({json.dumps(selector)}).getBoundingClientRect();
            return [r.left + r.width / 2, r.top + r.height / 2];
        }})()""")
        return box[0], box[1]

    def set_files(self, selector, paths):
        document = self.call("DOM.getDocument")
        node = self.call("DOM.querySelector", nodeId=document["root"]["nodeId"], selector=selector)
        self.call("DOM.setFileInputFiles", nodeId=node["nodeId"], files=list(paths))


# ---- PNG, both ways, for the tests' pictures ----

class Picture:
    """8-bit RGB pixels, top row first."""

    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def crop(self, left, top, width, height):
        rows = [self.rgb[3 * ((top + y) * self.width + left):3 * ((top + y) * self.width + left + width)]
                for y in range(height)]
        return Picture(width, height, b"".join(rows))


def read_png(data):
    """Decodes a PNG to RGB with ImageMagick (installed by the bootstrap)."""
    result = subprocess.run(["convert", "png:-", "-alpha", "off", "-depth", "8", "ppm:-"], input=data,
                            capture_output=True, timeout=WAIT_SECONDS)
    if result.returncode != 0:
        raise ValueError(f"not a PNG: {result.stderr.decode(errors='replace').strip()}")
    # P6, width, height, 255, one white-space character, then the pixels.
    fields, pos = [], 0
    while len(fields) < 4:
        while result.stdout[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not result.stdout[end:end + 1].isspace():
            end += 1
        fields.append(result.stdout[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    return Picture(width, height, result.stdout[pos + 1:pos + 1 + 3 * width * height])


def read_png_file(path):
    with open(path, "rb") as f:
        return read_png(f.read())


def write_png(path, width, height, row_of):
    """Writes an RGB PNG whose row y is row_of(y) (width * 3 bytes), one row at
    a time, so that a huge picture never sits whole in memory."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    packer = zlib.compressobj(6)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        for y in range(height):
            data = packer.compress(b"\0" + row_of(y))
            if data:
                f.write(chunk(b"IDAT", data))
        f.write(chunk(b"IDAT", packer.flush()))
        f.write(chunk(b"IEND", b""))


def chromium_available():
    return shutil.which(CHROMIUM) is not None
