#!/usr/bin/python3
"""The show page's frame rate against an empty WebGL 2 page's, for
scripts/bench.sh's figure (d).

    scripts/web-fps.py [--seconds N] [--rounds N]

Serves build/web on 127.0.0.1 and opens, in one Chromium under Xvfb (ANGLE
on the display's OpenGL, Mesa llvmpipe; a 1280 x 1024 window, not
headless, sound allowed without a click), in turn the show
(site/index.html?autoplay) and bench-page/empty-webgl2.html, a canvas laid
out like the show's and only cleared at each display refresh. On each page
a script of ours counts requestAnimationFrame callbacks for N seconds (20
by default), from one second after it starts; on the show it starts once
the music position moves on. Each round measures the show, then the empty
page; each prints a ROUND line, and the last line is the RESULT of the
round with the median ratio (show fps / empty page fps). Build first:
cmake --build --preset web --target web-bench (which builds the site).
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import browser_test  # noqa: E402

# Counts this page's display refreshes from `skip` to `skip + span`
# milliseconds after its first one, and on the show how many of them
# brought a new frame (the show's position changed); the result lands in
# window.frameCount.
COUNT = """
var skip = arguments[0], span = arguments[1];
window.frameCount = null;
var first = null, frames = 0, drawn = 0;
var position = function () { return window.demo ? demo.showPosition() : 0; };
var last = position();
requestAnimationFrame(function tick(now) {
  if (first === null) first = now;
  var since = now - first;
  var current = position();
  if (since >= skip && since < skip + span) {
    frames += 1;
    if (current !== last) drawn += 1;
  }
  last = current;
  if (since < skip + span) {
    requestAnimationFrame(tick);
  } else {
    window.frameCount = { frames: frames, drawn: drawn, seconds: span / 1000 };
  }
});
"""


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def count_frames(driver, seconds):
    driver.execute_script(COUNT, 1000, seconds * 1000)
    return browser_test.wait_for(driver, "return window.frameCount", bool,
                                 "the frame count", timeout=seconds + browser_test.WAIT)


def show_fps(driver, base, seconds):
    driver.get(base + "site/index.html?autoplay")
    first = browser_test.wait_for(driver, "return demo.musicPosition()", lambda p: p > 0,
                                  "the music position")
    browser_test.wait_for(driver, "return demo.musicPosition()", lambda p: p > first,
                          "the music position moving on")
    counted = count_frames(driver, seconds)
    state = driver.execute_script(browser_test.STATE)
    browser_test.check(state == "playing", "the show is %s, not playing" % state)
    return counted


def empty_fps(driver, base, seconds):
    driver.get(base + "bench-page/empty-webgl2.html")
    title = browser_test.wait_for(driver, "return document.title",
                                  lambda t: t == "running" or t.startswith("error"),
                                  "the empty page")
    browser_test.check(title == "running", "the empty page: " + title)
    return count_frames(driver, seconds)


def measure(arguments):
    for page in ("site/index.html", "bench-page/empty-webgl2.html"):
        browser_test.check(os.path.exists(os.path.join(browser_test.WEB_BUILD, page)),
                           "no %s; build the web-bench target first" % page)
    display = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24",
                                "-nolisten", "tcp"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = ":" + display.stdout.readline().decode().strip()
    rounds = []
    try:
        with browser_test.Server(browser_test.WEB_BUILD) as base:
            driver = browser_test.browser(
                ["--use-angle=gl", "--ignore-gpu-blocklist",
                 "--autoplay-policy=no-user-gesture-required"],
                headless=False, window_size="1280,1024")
            try:
                print("RENDERER " + driver.execute_script(
                    "var c = document.createElement('canvas').getContext('webgl2');"
                    "var i = c && c.getExtension('WEBGL_debug_renderer_info');"
                    "return i ? c.getParameter(i.UNMASKED_RENDERER_WEBGL) : 'none'"))
                for number in range(1, arguments.rounds + 1):
                    show_load = load()
                    show = show_fps(driver, base, arguments.seconds)
                    empty_load = load()
                    empty = empty_fps(driver, base, arguments.seconds)
                    fps_show = show["frames"] / show["seconds"]
                    fps_empty = empty["frames"] / empty["seconds"]
                    rounds.append((fps_show / fps_empty, fps_show, fps_empty, show["drawn"]))
                    print("ROUND %d show_fps=%.1f empty_fps=%.1f ratio=%.2f "
                          "show_frames_drawn=%d/%d load_show=%s load_empty=%s"
                          % (number, fps_show, fps_empty, fps_show / fps_empty,
                             show["drawn"], show["frames"], show_load.replace(" ", ","),
                             empty_load.replace(" ", ",")), flush=True)
            finally:
                driver.quit()
    finally:
        display.terminate()
        display.wait()
    ratio = statistics.median_low(r[0] for r in rounds)
    _, fps_show, fps_empty, _ = next(r for r in rounds if r[0] == ratio)
    print("RESULT show_fps=%.1f empty_fps=%.1f ratio=%.2f seconds=%g rounds=%d"
          % (fps_show, fps_empty, ratio, arguments.seconds, len(rounds)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=20,
                        help="how long each page's frames are counted (default 20)")
    parser.add_argument("--rounds", type=int, default=3,
                        help="rounds of show then empty page (default 3)")
    arguments = parser.parse_args()
    if arguments.seconds <= 0 or arguments.rounds < 1:
        parser.error("--seconds must be above 0 and --rounds at least 1")
    try:
        measure(arguments)
    except browser_test.Failure as failure:
        print("web-fps: %s" % failure, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
