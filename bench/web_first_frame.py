#!/usr/bin/python3
"""How soon the page draws its first 3D frame: kelva-world on loopback and a
fresh headless Chromium (software WebGL) for each of N page loads. Not a
test: run by hand (docs/performance.md has the command and the figures).

Usage: web_first_frame.py KELVA_WORLD [--loads N] [--size WxH] [--desktop]
  at most 20 loads; the window is a phone's by default (390x844, touch),
  --desktop makes it a desktop window of the same size (no touch).

For each load it prints the time from the start of navigation to the first
frame the page drew (the page records it in window.kelva.firstFrameMs),
then the median and the worst.
"""

import argparse
import os
import re
import shutil
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser_test import ROOT, Browser, Process  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kelva_world")
    ap.add_argument("--loads", type=int, default=5)
    ap.add_argument("--size", default="390x844", help="the window's size, WxH")
    ap.add_argument("--desktop", action="store_true", help="a desktop window rather than a phone")
    ap.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    args = ap.parse_args()
    m = re.fullmatch(r"(\d{2,4})x(\d{2,4})", args.size)
    if not m:
        print("--size must be WxH, as 390x844")
        return 2
    size = (int(m.group(1)), int(m.group(2)))
    loads = max(1, min(20, args.loads))
    work = tempfile.mkdtemp(prefix="kelva_first_frame_")
    world = Process([args.kelva_world, os.path.join(ROOT, "demo", "world.json"), "--player-port", "0",
                     "--bot-port", "0", "--web-port", "0"], work, "world")
    times = []
    try:
        if not world.wait_output(r"Players in a browser open: (http://\S+)"):
            print("kelva-world did not start")
            return 1
        url = re.search(r"Players in a browser open: (http://\S+)", world.output()).group(1)
        for i in range(loads):
            b = Browser(url, work, "load%d" % i, args.chromedriver, size=size, phone=not args.desktop)
            try:
                ms = b.wait("window.kelva.firstFrameMs")
                webgl = b.state("window.kelva.webgl")
            finally:
                b.quit()
            print("load %d: first 3D frame %s ms after navigation start (WebGL: %s)" % (i + 1, ms, webgl))
            if ms:
                times.append(ms)
    finally:
        world.stop()
        shutil.rmtree(work, ignore_errors=True)
    if len(times) < loads:
        print("some loads drew no frame")
        return 1
    print("first 3D frame on a %dx%d %s: median %d ms, worst %d ms over %d loads; load average %s" %
          (size[0], size[1], "desktop window" if args.desktop else "phone", statistics.median(times), max(times),
           loads, open("/proc/loadavg").read().split()[0]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
