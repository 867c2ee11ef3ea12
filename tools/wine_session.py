#!/usr/bin/env python3
"""Runs a command inside a private Wine test session.

The session is an X server of its own (Xvfb on a free display, found with
-displayfd) and a private Wine prefix under the build tree, created afresh
for every session so that no run sees what an earlier one left, whose
programs run on a virtual desktop the size of the X screen. WINEDEBUG is
quiet, crash dialogs are switched off (a crash fails a test instead of
hanging it), every wait has a time limit, and everything the session started
is killed when it ends.

    tools/wine_session.py [--prefix DIR] [--screen WxHxD] [--monitors 2] -- COMMAND...

The command's exit status is the session's. Inside it DISPLAY, WINEPREFIX,
WINEDEBUG and GYREL_TEST_SESSION=1 are set; the test driver refuses to run
without the last one.
"""
import argparse
import os
import select
import shutil
import signal
import subprocess
import sys
import time

BOOT_TIMEOUT = 300


def fail(message):
    print(f"wine_session: {message}", file=sys.stderr)
    sys.exit(2)


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
        fail(f"{program} is not installed (run tools/bootstrap.sh)")
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
    fail(f"{program} could not start on any free display")


def stop_x_server(server, pipe, log_path):
    if server.poll() is not None:
        print(f"wine_session: the X server ended during the session (status {server.returncode});"
              f" its log is {log_path}", file=sys.stderr)
    try:
        os.killpg(server.pid, signal.SIGTERM)
        server.wait(timeout=10)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        server.kill()
    os.close(pipe)


def run_checked(command, env, timeout, what, capture=True):
    # Programs that may leave Wine's helpers running must not be given a
    # pipe: the helpers would inherit it and keep it open.
    output = subprocess.PIPE if capture else subprocess.DEVNULL
    try:
        result = subprocess.run(command, env=env, timeout=timeout, stdin=subprocess.DEVNULL,
                                stdout=output, stderr=subprocess.STDOUT)
    except subprocess.TimeoutExpired:
        fail(f"{what} took longer than {timeout} s")
    if result.returncode != 0:
        if result.stdout:
            sys.stderr.write(result.stdout.decode(errors="replace"))
        fail(f"{what} failed with status {result.returncode}")


def create_prefix(prefix, env, desktop_size, two_monitors):
    if shutil.which("wine") is None:
        fail("Wine is not installed (run tools/bootstrap.sh)")
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    boot_env = dict(env)
    # No network here: keep wineboot from offering to download Mono and Gecko,
    # and from making desktop menu entries.
    boot_env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d"
    started = time.monotonic()
    run_checked(["wineboot", "-i"], boot_env, BOOT_TIMEOUT, "wineboot -i")
    run_checked(["wineserver", "-w"], boot_env, BOOT_TIMEOUT, "waiting for wineserver")
    run_checked(["wine", "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
                 "/t", "REG_DWORD", "/d", "0", "/f"], boot_env, 120, "switching off crash dialogs")
    if two_monitors:
        # Wine sees Xinerama's heads as monitors only without XRandR, and
        # only without a virtual desktop, which would be a single monitor.
        run_checked(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "UseXRandR",
                     "/d", "N", "/f"], boot_env, 120, "switching off XRandR")
    else:
        # Run every program on a virtual desktop the size of the X screen.
        # With no window manager on the X server, Wine otherwise waits two
        # seconds for each captioned window it hides or destroys; on its own
        # desktop it does not.
        run_checked(["wine", "reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop",
                     "/d", "Default", "/f"], boot_env, 120, "choosing the virtual desktop")
        run_checked(["wine", "reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v",
                     "Default", "/d", desktop_size, "/f"], boot_env, 120,
                    "sizing the virtual desktop")
    run_checked(["wineserver", "-w"], boot_env, BOOT_TIMEOUT, "waiting for wineserver")
    print(f"wine_session: prefix {prefix} ready in {time.monotonic() - started:.0f} s",
          flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--prefix", default=os.path.join(root, "build", "wineprefix"))
    parser.add_argument("--screen", default="1024x768x24")
    parser.add_argument("--monitors", type=int, choices=(1, 2), default=1,
                        help="2: two monitors side by side, 800x600 (primary) and 640x480, "
                             "from Xephyr with Xinerama inside the virtual X server")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command given")

    os.makedirs(os.path.dirname(os.path.abspath(args.prefix)), exist_ok=True)
    logs = os.path.dirname(os.path.abspath(args.prefix))
    two_monitors = args.monitors == 2
    # Room for Xephyr's window, 1440 by 600, on the outer server.
    screen = "1600x900x24" if two_monitors and args.screen == "1024x768x24" else args.screen
    servers = []
    env = dict(os.environ)
    status = 1
    try:
        servers.append(start_x_server("Xvfb", ["-screen", "0", screen],
                                      os.path.join(logs, "xvfb.log")) +
                       (os.path.join(logs, "xvfb.log"),))
        display = servers[0][1]
        if two_monitors:
            log = os.path.join(logs, "xephyr.log")
            servers.append(start_x_server(
                "Xephyr", ["+xinerama", "-origin", "0,0", "-screen", "800x600",
                           "-origin", "800,0", "-screen", "640x480"],
                log, env=dict(env, DISPLAY=display)) + (log,))
            display = servers[1][1]
        env.update(DISPLAY=display, WINEPREFIX=os.path.abspath(args.prefix), WINEDEBUG="-all",
                   GYREL_TEST_SESSION="1")
        env.pop("WINEDLLOVERRIDES", None)
        print(f"wine_session: X display {display}", flush=True)
        create_prefix(env["WINEPREFIX"], env, "x".join(screen.split("x")[:2]), two_monitors)
        # One wineserver for the whole session, rather than one per program.
        subprocess.Popen(["wineserver", "-p"], env=env).wait(timeout=60)
        # Start the prefix's long-lived helpers (services, the desktop
        # process) now, with no pipes open: started by the first test they
        # would inherit its output and hold the test runner's pipe open.
        run_checked(["wine", "cmd", "/c", "echo"], env, 120, "starting the Wine desktop",
                    capture=False)
        status = subprocess.call(command, env=env)
    finally:
        if "WINEPREFIX" in env:
            subprocess.call(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
        for server, _, pipe, log in reversed(servers):
            stop_x_server(server, pipe, log)
    sys.exit(status)


if __name__ == "__main__":
    main()
