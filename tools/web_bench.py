#!/usr/bin/env python3
"""How the web page runs here, in Debian's headless Chromium: the engine's
steps a second in the page (its ?bench mode) beside the native engine
benchmark's, and the processor time the whole browser takes while the page
turns the spiral at its default pace, with the page hidden behind another
tab, and showing a still page.

    python3 tools/web_bench.py [--web build/web] [--host build/host] [--seconds 20]
"""
import argparse
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import headless_chromium as chromium  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue  # a process that ended meanwhile
        total += int(fields[11]) + int(fields[12])  # utime, stime
    return total / TICKS


def page_steps_per_second(page, server):
    page.viewport(800, 700)
    page.goto(f"{server.url}index.html?bench")
    if page.gyrel_state() != "bench":
        raise SystemExit("web_bench: the page's benchmark failed")
    return int(page.evaluate("document.getElementById('bench').dataset.stepsPerSecond"))


def native_steps_per_second(host):
    output = subprocess.run([os.path.join(host, "gyrel-engine-bench"), "3000"], capture_output=True,
                            text=True, check=True, timeout=600).stdout
    match = re.search(r"^\s*800x600\s+\d+\s+(\d+)", output, re.M)
    return int(match.group(1))


def page_metrics(page):
    return {m["name"]: m["value"] for m in page.call("Performance.getMetrics")["metrics"]}


def browser_share(browser, page, url, seconds, hidden=False):
    """Over the given seconds with the page at url: the whole browser's
    processor time, the page's main-thread tasks and its scripts (the
    engine's calls among them), each as a share of one core. Hidden, the
    page lies behind a new blank tab, as a page in a background tab does."""
    page.goto(url)
    cover = browser.call("Target.createTarget", {"url": "about:blank"})["targetId"] if hidden else None
    time.sleep(2)  # let start-up work settle
    try:
        return _shares(browser, page, seconds)
    finally:
        if cover is not None:
            browser.call("Target.closeTarget", {"targetId": cover})


def _shares(browser, page, seconds):
    page.call("Performance.enable")
    pids = browser.processes()
    before, metrics, start = cpu_seconds(pids), page_metrics(page), time.monotonic()
    time.sleep(seconds)
    total = cpu_seconds(browser.processes()) - before
    after, elapsed = page_metrics(page), time.monotonic() - start
    return (total / elapsed, (after["TaskDuration"] - metrics["TaskDuration"]) / elapsed,
            (after["ScriptDuration"] - metrics["ScriptDuration"]) / elapsed)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--web", default="build/web")
    parser.add_argument("--host", default="build/host")
    parser.add_argument("--seconds", type=float, default=20)
    args = parser.parse_args()

    server = chromium.PageServer(args.web)
    try:
        browser = chromium.Browser(800, 700)
        try:
            page = browser.page()
            # The page's figure and the native one, taking turns, three each.
            page_figures, native_figures = [], []
            for _ in range(3):
                page_figures.append(page_steps_per_second(page, server))
                native_figures.append(native_steps_per_second(args.host))
            page_best, native_best = max(page_figures), max(native_figures)
            print("Engine steps a second at 800x600, default settings, wander held still (best of 3):")
            print(f"  in the page (headless Chromium): {page_best:>12,}")
            print(f"  native (gyrel-engine-bench):     {native_best:>12,}")
            print(f"  page / native:                   {page_best / native_best:12.2f}")
        finally:
            browser.close()

        print(f"Processor use over {args.seconds:g} s, as a share of one core: the whole browser,"
              " the page's main-thread tasks, and its scripts (the engine among them)")
        for width, height in ((800, 600), (1920, 1080)):
            browser = chromium.Browser(width, height)
            try:
                page = browser.page()
                page.viewport(width, height)
                for name, query, hidden in (("at 30000 steps a second", "seed=1", False),
                                            ("the same, hidden", "seed=1", True),
                                            ("a still page", "size=320x240&seconds=0&still", False)):
                    whole, tasks, scripts = browser_share(browser, page, f"{server.url}index.html?{query}",
                                                          args.seconds, hidden)
                    print(f"  {width}x{height}, {name + ':':25} browser {100 * whole:5.1f}%,"
                          f" tasks {100 * tasks:5.1f}%, scripts {100 * scripts:5.1f}%")
            finally:
                browser.close()
        print("The browser draws without a GPU here (--disable-gpu), so its compositing is in the figures.")
    finally:
        server.close()


if __name__ == "__main__":
    main()
