"""A private Xvfb for the X11 hack's tests and measurements."""
import os
import select
import subprocess
import time


def free_display():
    """A display number no server on this machine uses. Xvfb, listening on a
    socket file only, takes over the socket of a display in use without a
    word, so look before choosing."""
    start = 200 + os.getpid() % 500
    for n in range(start, start + 300):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise RuntimeError("no free display number")


class Xvfb:
    """A private X server, ready when made; `display` is its name."""

    def __init__(self, width=640, height=480, *extra):
        read_end, write_end = os.pipe()
        number = free_display()
        self.process = subprocess.Popen(
            ["Xvfb", f":{number}", "-displayfd", str(write_end), "-nolisten", "tcp",
             "-nolisten", "local", "-noreset", "-screen", "0", f"{width}x{height}x24", *extra],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        # The number comes in two writes, the digits and then a newline; a
        # server whose second write finds the pipe closed ends itself.
        answer = b""
        end = time.monotonic() + 30
        while not answer.endswith(b"\n") and time.monotonic() < end:
            ready, _, _ = select.select([read_end], [], [], max(0, end - time.monotonic()))
            chunk = os.read(read_end, 64) if ready else b""
            if not chunk:
                break
            answer += chunk
        os.close(read_end)
        self.display = f":{number}"
        if answer.decode().strip() != str(number):
            self.stop()
            raise RuntimeError(f"Xvfb did not start on {self.display}")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)  # its socket must be gone before the number is reused
