"""Private X servers for tests and tools: Xvfb, or Xephyr inside one, each on
a display number that no other server on this machine uses."""
import os
import select
import shutil
import signal
import subprocess
import sys
import time


class XServerError(RuntimeError):
    pass


def display_free(number):
    return not (os.path.exists(f"/tmp/.X{number}-lock") or
                os.path.exists(f"/tmp/.X11-unix/X{number}"))


def start_x_server(program, arguments, log_path, env=None):
    """Starts an X server (Xvfb, or Xephyr inside one) on a display number
    that no other server uses; returns the process, the display and the pipe
    that must stay open for the server's life.

    The server listens only on its socket file: a server of another
    file-system root on this machine (a container, a chroot) shares the
    abstract socket namespace, and a clash there kills a server mid-start.
    Without the abstract socket, the server's own search for a free number
    (-displayfd alone) would take a number whose socket file another server
    holds and delete that file, so the number is chosen here: the first one
    with neither a lock nor a socket file that the server then takes.
    """
    if shutil.which(program) is None:
        raise XServerError(f"{program} is not installed (run tools/bootstrap.sh)")
    for number in (n for n in range(20, 400) if display_free(n)):
        read_end, write_end = os.pipe()
        server = subprocess.Popen(
            [program, f":{number}", "-displayfd", str(write_end)] + arguments +
            ["-nolisten", "tcp", "-nolisten", "local", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=open(log_path, "w"),
            start_new_session=True, env=env)
        os.close(write_end)
        # The server writes its number (in more than one piece) once it is
        # ready; a server whose write finds the pipe closed ends at once.
        reported = b""
        deadline = time.monotonic() + 30
        while not reported.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
            chunk = os.read(read_end, 64) if ready else b""
            if not chunk:
                break
            reported += chunk
        if reported.endswith(b"\n") and reported.decode().strip() == str(number):
            return server, f":{number}", read_end
        # Taken meanwhile by another server, or too slow: try the next number.
        os.close(read_end)
        if server.poll() is None:
            server.kill()
            server.wait()
    raise XServerError(f"{program} could not start on any free display")


def stop_x_server(server, pipe, log_path):
    if server.poll() is not None:
        print(f"the X server ended early (status {server.returncode}); its log is {log_path}",
              file=sys.stderr)
    try:
        os.killpg(server.pid, signal.SIGTERM)
        server.wait(timeout=10)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        server.kill()
    os.close(pipe)
