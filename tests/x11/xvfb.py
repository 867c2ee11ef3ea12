"""A private Xvfb for the X11 hack's tests and measurements."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from x_server import start_x_server, stop_x_server  # noqa: E402


class Xvfb:
    """A private X server, ready when made; `display` is its name."""

    def __init__(self, width=640, height=480, *extra, depth=24):
        self.process, self.display, self._pipe = start_x_server(
            "Xvfb", ["-screen", "0", f"{width}x{height}x{depth}", *extra], os.devnull)

    def stop(self):
        # Its socket must be gone before the number is used again.
        stop_x_server(self.process, self._pipe, os.devnull)
