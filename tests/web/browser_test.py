#!/usr/bin/python3
"""The web build in a real browser (Chromium through chromedriver, or WebKit,
the engine of Safari, through WebKitWebDriver and its MiniBrowser under Xvfb)
and its trace tool under Node.js.

    browser_test.py [--browser chromium|webkit] CASE

CASE is one of:
  build             brings the web build up to date (the site and the trace tool)
  show              with ?autoplay the show starts, the music position grows at
                    176400 bytes a second and never goes back, the canvas
                    changes and keeps its shape, fullscreen works, Esc ends the
                    show and brings back the title, and Play starts it again
  short-music       a 3-second track ends the show by itself after its last
                    sample, the position never past the track's length
  silent            a browser without Web Audio plays the show silently on the
                    page's clock, and the page says so
  needs-click       ?autoplay where sound needs a click: the page says so, and
                    Play starts the show with its sound
  missing-music     without demo.mp3 the page says which file and the HTTP status
  missing-texture   without a texture the page says so and the show plays
  music-not-mpeg    a WAV file under the music's name is refused with our scan's message
  no-webgl2         a browser without WebGL 2 is told so
  no-wasm-simd      a browser without WebAssembly SIMD is told so, by the show
                    and by still.html
  trace             the web demo-trace under Node.js prints what the native one
                    prints, byte for byte, at positions across the five scenes
  pictures          still.html under Xvfb on Mesa llvmpipe draws the
                    frames native demo-still draws, within the stated tolerance

In WebKit only the cases in WEBKIT_CASES run; the others lean on Chromium's
own flags and DevTools protocol and are skipped. Environment: WEB_BUILD
(build/web), WEB_SITE (the folder served, WEB_BUILD/site), NATIVE_TRACE,
NATIVE_STILL, IMAGE_COMPARE, ASSET_DIR (the native tools and the generated
files). Exits 77 (skipped) when the web build is not configured or the
browser is missing, 0 on success and 1 on failure.
"""
import base64
import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import browsers
from browsers import Skip, browser, choose_browser, virtual_display

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WEB_BUILD = os.environ.get("WEB_BUILD", os.path.join(ROOT, "build", "web"))
SITE = os.environ.get("WEB_SITE", os.path.join(WEB_BUILD, "site"))
NATIVE = os.path.join(ROOT, "build", "native")
NATIVE_TRACE = os.environ.get("NATIVE_TRACE", os.path.join(NATIVE, "tools/trace/demo-trace"))
NATIVE_STILL = os.environ.get("NATIVE_STILL", os.path.join(NATIVE, "tools/still/demo-still"))
IMAGE_COMPARE = os.environ.get("IMAGE_COMPARE",
                               os.path.join(NATIVE, "tests/windows/image-compare"))
ASSET_DIR = os.environ.get("ASSET_DIR", os.path.join(NATIVE, "assets"))

BYTES_PER_SECOND = 176400  # 16-bit stereo at 44100 Hz
# The scene boundaries (music bytes) and the end of the music.
BOUNDARIES = [6648556, 9977248, 13303876, 16631032]
MUSIC_END = 19728172

# SwiftShader renders the show at a few frames a second on a loaded machine:
# every wait is generous, and nothing is judged by speed.
WAIT = 120

WEBKIT_CASES = {"show", "needs-click", "missing-music", "pictures"}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Server:
    """A static server for a folder, on 127.0.0.1 and a free port, as python3
    -m http.server serves the site."""

    def __init__(self, folder, script=None):
        handler = type("Handler", (QuietHandler,), {"script": script})
        handler = functools.partial(handler, directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return "http://127.0.0.1:%d/" % self.httpd.server_address[1]

    def __exit__(self, *exc):
        self.httpd.shutdown()
        self.httpd.server_close()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    """Serves a folder quietly; with `script` set, the pages get it as their
    first script (what a test watches from the page's start, in any
    browser)."""

    script = None

    def log_message(self, *args):
        pass

    def do_GET(self):
        name = self.path.split("?", 1)[0].lstrip("/")
        if self.script is None or not name.endswith(".html"):
            return super().do_GET()
        with open(os.path.join(self.directory, name), "rb") as source:
            page = source.read().replace(
                b"<script", b"<script>" + self.script.encode() + b"</script><script", 1)
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)


def site_variant(change):
    """A copy of the site (links to its files) with change(folder) applied."""
    folder = tempfile.mkdtemp(prefix="web-site-")
    for name in os.listdir(SITE):
        os.symlink(os.path.join(SITE, name), os.path.join(folder, name))
    change(folder)
    return folder


def short_music_site(seconds):
    """A copy of the site whose music is a 440 Hz tone of `seconds`."""
    def short_music(folder):
        os.remove(os.path.join(folder, "demo.mp3"))
        subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=%d:sample_rate=44100" % seconds, "-ac", "2",
                        "-c:a", "libmp3lame", "-b:a", "128k", os.path.join(folder, "demo.mp3")],
                       check=True, timeout=WAIT)
    return site_variant(short_music)


def save_still(driver, base, position, path):
    """still.html's picture of the frame at `position`, as a PNG file."""
    driver.get(base + "still.html?pos=%d" % position)
    title = wait_for(driver, "return document.title",
                     lambda t: t == "ready" or t.startswith("error"),
                     "still.html at %d" % position)
    check(title == "ready", "still.html at %d: %s" % (position, title))
    url = driver.execute_script("return document.getElementById('still').toDataURL('image/png')")
    with open(path, "wb") as out:
        out.write(base64.b64decode(url.split(",", 1)[1]))


def wait_for(driver, script, accept, what, timeout=WAIT):
    deadline = time.monotonic() + timeout
    value = None
    while time.monotonic() < deadline:
        value = driver.execute_script(script)
        if accept(value):
            return value
        time.sleep(0.2)
    raise Failure("%s: still %r after %d s" % (what, value, timeout))


STATE = "return document.body.dataset.state"
FAILURE = "return document.getElementById('failure').textContent"
NOTICE = "return document.getElementById('notice').textContent"


def open_page(driver, base, query="?autoplay"):
    driver.get(base + "index.html" + query)


def case_show():
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys

    with Server(SITE) as base:
        driver = browser()
        try:
            open_page(driver, base)
            wait_for(driver, "return demo.musicPosition()", lambda p: p > 0, "the music position")
            # Five seconds of the music's position against the page's clock,
            # each pair read together.
            samples = []
            start = time.monotonic()
            while time.monotonic() - start < 5.5:
                samples.append(driver.execute_script(
                    "return [demo.musicPosition(), performance.now()]"))
                time.sleep(0.1)
            check(all(p >= 0 for p, _ in samples), "the music stopped: %r" % samples[-1])
            steps = [b[0] - a[0] for a, b in zip(samples, samples[1:])]
            check(min(steps) >= 0, "the position went back by %d bytes" % -min(steps))
            (p0, t0), (p1, t1) = samples[0], samples[-1]
            rate = (p1 - p0) / ((t1 - t0) / 1000.0)
            print("music position: %.0f bytes a second over %.2f s (%d readings)"
                  % (rate, (t1 - t0) / 1000.0, len(samples)))
            check(abs(rate / BYTES_PER_SECOND - 1) <= 0.01,
                  "the position grows at %.0f bytes a second, not %d" % (rate, BYTES_PER_SECOND))

            # The show draws frames that follow the music: what the browser
            # shows of the canvas changes (its context keeps no drawing
            # buffer to read once a frame is shown, so the screen is read).
            first = wait_for(driver, "return demo.showPosition()", lambda p: p > 0,
                             "the first frame")
            canvas = driver.find_element("id", "canvas")
            picture = canvas.screenshot_as_png
            wait_for(driver, "return demo.showPosition()", lambda p: p > first + 200000,
                     "a later frame")
            later = canvas.screenshot_as_png
            check(picture != later, "the canvas did not change between frames")
            check(driver.execute_script(STATE) == "playing", "the show is not playing")

            # The canvas keeps 960:544 and fills the window one way; the
            # button makes the stage fullscreen.
            width, height, window_width, window_height = driver.execute_script(
                "var r = document.getElementById('canvas').getBoundingClientRect();"
                "return [r.width, r.height, innerWidth, innerHeight]")
            check(abs(width / height - 960 / 544) < 0.01 and
                  (abs(width - window_width) < 1 or abs(height - window_height) < 1),
                  "the canvas is %gx%g in a %gx%g window" % (width, height, window_width,
                                                            window_height))
            driver.find_element("id", "fullscreen").click()
            wait_for(driver, "return document.fullscreenElement && document.fullscreenElement.id",
                     lambda i: i == "stage", "fullscreen")
            driver.execute_script("return document.exitFullscreen()")
            wait_for(driver, "return !document.fullscreenElement", bool, "leaving fullscreen")

            ActionChains(driver).send_keys(Keys.ESCAPE).perform()
            wait_for(driver, STATE, lambda s: s == "ended", "the show's end after Esc")
            check(driver.execute_script(
                "return !document.getElementById('title').hidden && "
                "document.getElementById('stage').hidden"), "the title is not back")
            check(driver.execute_script("return demo.musicPosition()") == -1,
                  "the music still plays after Esc")

            # Play again from the title: a fresh show from the start.
            driver.find_element("id", "play").click()
            wait_for(driver, "return demo.musicPosition()", lambda p: p > 0,
                     "the music of the second show")
            check(driver.execute_script("return demo.musicPosition()") < p1,
                  "the second show did not start from the beginning")
            ActionChains(driver).send_keys(Keys.ESCAPE).perform()
            wait_for(driver, STATE, lambda s: s == "ended", "the second show's end after Esc")
        finally:
            driver.quit()


def case_short_music():
    length = 3 * BYTES_PER_SECOND
    folder = short_music_site(3)
    try:
        with Server(folder) as base:
            driver = browser()
            try:
                open_page(driver, base)
                wait_for(driver, "return demo.musicPosition()", lambda p: p >= 0, "the music")
                started = time.monotonic()
                highest = 0
                while driver.execute_script(STATE) == "playing":
                    check(time.monotonic() - started < WAIT, "the show did not end")
                    highest = max(highest, driver.execute_script("return demo.musicPosition()"))
                    time.sleep(0.05)
                ended = time.monotonic() - started
                print("the show ended %.2f s after the music started; the last position read "
                      "was %d of %d bytes" % (ended, highest, length))
                check(driver.execute_script(STATE) == "ended",
                      "the show did not end normally: " + driver.execute_script(FAILURE))
                check(highest <= length, "the position passed the end of the music")
                # Readings come as often as the browser answers: only the
                # second half of the track is asked to have been seen.
                check(highest >= length // 2, "the show ended long before the music's end")
            finally:
                driver.quit()
    finally:
        shutil.rmtree(folder)


def case_silent():
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys

    with Server(SITE) as base:
        # A browser without Web Audio: the show plays on the page's clock.
        driver = browser()
        try:
            driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
                "source": "delete window.AudioContext; delete window.webkitAudioContext;"})
            open_page(driver, base)
            wait_for(driver, NOTICE, lambda t: "plays silently" in t, "the silent notice")
            print("the page says: " + driver.execute_script(NOTICE))
            first = wait_for(driver, "return demo.musicPosition()", lambda p: p > 0,
                             "the clock")
            wait_for(driver, "return demo.musicPosition()", lambda p: p > first + 100000,
                     "the clock moving on")
            ActionChains(driver).send_keys(Keys.ESCAPE).perform()
            wait_for(driver, STATE, lambda s: s == "ended", "the show's end after Esc")
        finally:
            driver.quit()


def case_needs_click():
    with Server(SITE) as base:
        # ?autoplay where the browser starts sound only after a click: the
        # page says so and offers Play, and the click starts the show with
        # its sound (the audio context is made inside the click).
        driver = browser(["--autoplay-policy=document-user-activation-required"])
        try:
            open_page(driver, base)
            wait_for(driver, STATE, lambda s: s == "needs-click", "the page asking for a click")
            text = driver.execute_script(FAILURE)
            print("the page says: " + text)
            check("after a click" in text, "the page says %r" % text)
            check(driver.execute_script("return !document.getElementById('play').disabled"),
                  "Play is not offered")
            driver.find_element("id", "play").click()
            first = wait_for(driver, "return demo.musicPosition()", lambda p: p > 0, "the music")
            wait_for(driver, "return demo.musicPosition()", lambda p: p > first + 100000,
                     "the music moving on")
            notice = driver.execute_script(NOTICE)
            check("silently" not in notice, "the show plays silently after the click: " + notice)
        finally:
            driver.quit()


def expect_failure(change, expected, state="failed", element=FAILURE):
    folder = site_variant(change)
    try:
        with Server(folder) as base:
            driver = browser()
            try:
                open_page(driver, base)
                wait_for(driver, STATE, lambda s: s == state, "the page's state")
                text = driver.execute_script(element)
                print("the page says: " + text)
                check(expected in text, "expected %r on the page, found %r" % (expected, text))
            finally:
                driver.quit()
    finally:
        shutil.rmtree(folder)


def remove(name):
    return lambda folder: os.remove(os.path.join(folder, name))


def case_missing_music():
    expect_failure(remove("demo.mp3"), 'could not fetch "demo.mp3": HTTP 404')


def case_missing_texture():
    expect_failure(remove("grass.dds"), 'could not fetch "grass.dds": HTTP 404',
                   state="playing", element=NOTICE)


def case_music_not_mpeg():
    def wav_as_music(folder):
        os.remove(os.path.join(folder, "demo.mp3"))
        samples = bytes(44100 * 4)
        header = (b"RIFF" + (36 + len(samples)).to_bytes(4, "little") + b"WAVEfmt "
                  + (16).to_bytes(4, "little") + (1).to_bytes(2, "little")
                  + (2).to_bytes(2, "little") + (44100).to_bytes(4, "little")
                  + (176400).to_bytes(4, "little") + (4).to_bytes(2, "little")
                  + (16).to_bytes(2, "little") + b"data" + len(samples).to_bytes(4, "little"))
        with open(os.path.join(folder, "demo.mp3"), "wb") as out:
            out.write(header + samples)

    expect_failure(wav_as_music, "a RIFF (WAVE) file, not MPEG audio")


def case_no_webgl2():
    with Server(SITE) as base:
        driver = browser(["--disable-webgl2"])
        try:
            open_page(driver, base)
            wait_for(driver, STATE, lambda s: s == "failed", "the page's state")
            text = driver.execute_script(FAILURE)
            print("the page says: " + text)
            check("no WebGL 2" in text, "expected the missing WebGL 2 to be named: %r" % text)
        finally:
            driver.quit()


def case_no_wasm_simd():
    with Server(SITE) as base:
        # A browser without WebAssembly SIMD: nothing validates that uses it.
        driver = browser()
        try:
            driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
                "source": "var validate = WebAssembly.validate;"
                          "WebAssembly.validate = function (bytes) {"
                          "  return Array.prototype.indexOf.call(bytes, 253) < 0 &&"
                          "      validate.call(WebAssembly, bytes); };"})
            open_page(driver, base)
            wait_for(driver, STATE, lambda s: s == "failed", "the page's state")
            text = driver.execute_script(FAILURE)
            print("the page says: " + text)
            check("WebAssembly SIMD" in text, "expected the missing SIMD to be named: %r" % text)
            driver.get(base + "still.html?pos=1000000")
            title = wait_for(driver, "return document.title", lambda t: t.startswith("error"),
                             "still.html's title")
            check("WebAssembly SIMD" in title, "still.html says %r" % title)
        finally:
            driver.quit()


# Positions for the trace: every scene, both sides of every boundary, the
# start, the end, and positions the demo sees as negative.
TRACE_POSITIONS = sorted(set(
    [0, 1, 500000, 1000000, 3000000, 5000000, 8000000, 9900000, 11500000, 13350000,
     15000000, 17500000, 19000000, MUSIC_END, 4294967295, 2147483648]
    + [b + d for b in BOUNDARIES for d in (-4, 0, 4)]))


def run(command):
    return subprocess.run(command, capture_output=True, timeout=WAIT)


def case_trace():
    web_trace = os.path.join(WEB_BUILD, "tools", "trace", "demo-trace.js")
    check(os.path.exists(web_trace), "no web trace tool at " + web_trace)
    for position in TRACE_POSITIONS:
        native = run([NATIVE_TRACE, str(position)])
        web = run(["node", web_trace, str(position)])
        check(native.returncode == 0 and web.returncode == 0,
              "at %d: exit status %d native, %d web: %s" % (
                  position, native.returncode, web.returncode, web.stderr.decode()))
        if native.stdout != web.stdout:
            native_lines = native.stdout.decode().splitlines()
            web_lines = web.stdout.decode().splitlines()
            first = next((i for i, (a, b) in enumerate(zip(native_lines, web_lines)) if a != b),
                         min(len(native_lines), len(web_lines)))
            raise Failure("at %d the traces differ from line %d:\n native %s\n web    %s" % (
                position, first + 1, native_lines[first:first + 1], web_lines[first:first + 1]))
    print("%d positions, the same bytes" % len(TRACE_POSITIONS))


# The positions the Wine comparison uses: two or more a scene, away from the
# boundaries. The tolerance is the one measured here (see docs/builds.md).
PICTURE_POSITIONS = [1000000, 5000000, 8000000, 9900000, 11500000, 13350000, 15000000, 17500000]
MAX_MEAN = "0.02"
MAX_OVER = "0.01"  # percent of pixels with a channel more than 32 apart


def case_pictures():
    work = tempfile.mkdtemp(prefix="web-pictures-")
    failed = []
    try:
        # One browser for all frames, under Xvfb: ANGLE on the display's
        # OpenGL is Mesa llvmpipe, as the native build renders on.
        display = virtual_display()
        try:
            with Server(SITE) as base:
                driver = browser(["--use-angle=gl", "--ignore-gpu-blocklist"], headless=False)
                try:
                    renderer = driver.execute_script(
                        "var c = document.createElement('canvas').getContext('webgl2');"
                        "var i = c && c.getExtension('WEBGL_debug_renderer_info');"
                        "return i ? c.getParameter(i.UNMASKED_RENDERER_WEBGL) : null")
                    print("browser renderer: %s" % renderer)
                    for position in PICTURE_POSITIONS:
                        save_still(driver, base, position,
                                   os.path.join(work, "web-%d.png" % position))
                finally:
                    driver.quit()
        finally:
            display.terminate()
            display.wait()
        env = dict(os.environ, SDL_VIDEODRIVER="offscreen")
        env.pop("DISPLAY", None)
        for position in PICTURE_POSITIONS:
            native = os.path.join(work, "native-%d.png" % position)
            result = subprocess.run([NATIVE_STILL, str(position), native, "--size", "960x544"],
                                    cwd=ASSET_DIR, env=env, capture_output=True, timeout=WAIT)
            check(result.returncode == 0, "demo-still at %d: %s" % (position, result.stderr))
            compared = subprocess.run(
                [IMAGE_COMPARE, "--max-mean", MAX_MEAN, "--max-over", MAX_OVER, native,
                 os.path.join(work, "web-%d.png" % position)], capture_output=True, timeout=WAIT)
            print("%9d: %s" % (position, compared.stdout.decode().strip()))
            if compared.returncode != 0:
                failed.append(position)
        check(not failed, "frames beyond the tolerance at %s" % failed)
    finally:
        shutil.rmtree(work)


def case_build():
    result = subprocess.run(["cmake", "--build", WEB_BUILD, "--target", "site", "demo-trace",
                             "audio-schedule", "memory-errors"],
                            timeout=1800)
    check(result.returncode == 0, "the web build failed")


CASES = {
    "build": case_build,
    "show": case_show,
    "short-music": case_short_music,
    "silent": case_silent,
    "needs-click": case_needs_click,
    "missing-music": case_missing_music,
    "missing-texture": case_missing_texture,
    "music-not-mpeg": case_music_not_mpeg,
    "no-webgl2": case_no_webgl2,
    "no-wasm-simd": case_no_wasm_simd,
    "trace": case_trace,
    "pictures": case_pictures,
}


def main():
    args = choose_browser(sys.argv[1:])
    if args is None or len(args) != 1 or args[0] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2
    if browsers.BROWSER == "webkit" and args[0] not in WEBKIT_CASES:
        print("skipped: %s runs in Chromium only (its flags or DevTools protocol)" % args[0])
        return 77
    return run_checks(CASES[args[0]])


def run_checks(checks):
    """Runs checks() as a test's whole work: 77 (skipped) when the web build
    is not configured or the browser is missing, 1 with the cause when a
    check fails, else 0."""
    if not os.path.exists(os.path.join(WEB_BUILD, "CMakeCache.txt")):
        print("skipped: the web build is not configured (cmake --preset web; "
              "scripts/install-deps.sh --web installs what it needs)")
        return 77
    try:
        checks()
    except Skip as skip:
        print("skipped: %s" % skip)
        return 77
    except Failure as failure:
        print("FAILED: %s" % failure)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
