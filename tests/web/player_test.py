#!/usr/bin/python3
"""The show page as a player, in Chromium under Xvfb (ANGLE on Mesa llvmpipe,
as the pictures case draws):

- a link to a moment (index.html#t=45s) starts the music there, within 10 ms;
- the bar's pause button pauses: 2 s later the position is unchanged; Space,
  with that button focused, resumes (and does not press the button too);
- the keys 1 to 5 and the seek bar move the paused show to each scene's
  start, and the canvas then shows what still.html draws at the position the
  page reports, within the pictures case's tolerance;
- the link button copies a link that opens at the same moment;
- the bar hides 3 s after the last mouse move (not before), a mouse move
  brings it back, and Tab puts the focus in it and keeps it shown;
- a #t that is no moment is named, and the show starts from the beginning;
- the loop button, toggled during a show of a 6-second track, starts it
  again at the same moment with --loop: the show plays on past the end.

    player_test.py [--screenshot OUT.png]

With --screenshot it only takes the README's picture instead: the page in
a 1280 x 800 window, paused at 0:55 (scene 2) with its bar shown, as
OUT.png. docs/player.png was made so:
    WEB_BUILD=build/web tests/web/player_test.py --screenshot /tmp/shot.png
    ffmpeg -i /tmp/shot.png -vf scale=960:-1 docs/player.png
Exits 77 (skipped) when the web build is not configured or Chromium is
missing, 0 on success and 1 on failure.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from browser_test import (BYTES_PER_SECOND, IMAGE_COMPARE, MAX_MEAN, MAX_OVER, SITE, STATE,
                          WAIT, Server, check, run_checks, save_still, short_music_site,
                          wait_for)
from browsers import browser, virtual_display

# Sent to the show's window as app/transport.h names them.
PAUSE_MESSAGE = 0x8001
TEN_MS = BYTES_PER_SECOND // 100

# Watches the page from its start: every Web Audio source started (when, and
# the music offset it plays from), and the canvas shown at its own size, so
# that a screenshot of it is the show's 960 x 544 pixels.
WATCH = """
window.sourceStarts = [];
var startSource = AudioBufferSourceNode.prototype.start;
AudioBufferSourceNode.prototype.start = function (when, offset) {
  window.sourceStarts.push({ offset: offset || 0, at: performance.now(),
                            seconds: this.buffer ? this.buffer.duration : 0 });
  return startSource.apply(this, arguments);
};
document.addEventListener('DOMContentLoaded', function () {
  var style = document.createElement('style');
  style.textContent = '#canvas { width: 960px !important; height: 544px !important; }';
  document.head.appendChild(style);
});
"""

PROGRAM = "var p = demo.program(); "
POSITION = "return demo.musicPosition()"
SHOWN = "return demo.showPosition()"
PAUSED = "var p = demo.program(); return !!p && p._demo_audio_paused() === 1"
BAR = ("return [document.getElementById('stage').dataset.bar, "
       "getComputedStyle(document.getElementById('controls')).opacity]")


def chromium():
    driver = browser(["--use-angle=gl", "--ignore-gpu-blocklist"], headless=False)
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH})
    return driver


def opened_at(driver, url, expected):
    """Opens url (a link to a moment) and checks that the music starts at
    `expected` bytes, within 10 ms: the first source's offset, and the first
    position the page reports against the time since that source started."""
    driver.get("about:blank")  # a new document, not only a new #t
    driver.get(url)
    position, now = wait_for(driver, "return [demo.musicPosition(), performance.now()]",
                             lambda r: r[0] >= 0, "the music of " + url)
    # The music's source playing then: the program starts its stream and
    # moves it to the moment at once, so the first source is stopped before
    # its start time and the one after it plays.
    first = driver.execute_script(
        "return window.sourceStarts.filter(function (s) { return s.seconds > 60; }).pop()")
    offset = round(first["offset"] * BYTES_PER_SECOND)
    elapsed = max(now - first["at"], 0) / 1000.0
    print("%s: the music starts at %d bytes (%d expected); first reading %d, %.3f s after"
          % (url, offset, expected, position, elapsed))
    check(abs(offset - expected) <= TEN_MS,
          "the music starts at %d bytes, not %d" % (offset, expected))
    check(expected - TEN_MS <= position <= expected + elapsed * BYTES_PER_SECOND + TEN_MS,
          "%d bytes reported %.3f s after starting at %d" % (position, elapsed, expected))


def bar_hidden(driver):
    wait_for(driver, BAR, lambda b: b == ["hidden", "0"], "the bar hiding")


def move_mouse(driver):
    from selenium.webdriver.common.action_chains import ActionChains

    canvas = driver.find_element("id", "canvas")
    ActionChains(driver).move_to_element_with_offset(canvas, 10, 10).move_by_offset(
        20, 5).perform()


def settled(driver, position, what):
    """Waits for the paused show to draw the frame at `position`."""
    wait_for(driver, "return [demo.showPosition(), demo.musicPosition()]",
             lambda r: r == [position, position], what)


def check_pictures(base, shots, work):
    """Each canvas against still.html at the position it showed."""
    stills = {}
    failed = []
    driver = browser(["--use-angle=gl", "--ignore-gpu-blocklist"], headless=False)
    try:
        for what, position, path in shots:
            if position not in stills:
                stills[position] = os.path.join(work, "still-%d.png" % position)
                save_still(driver, base, position, stills[position])
            compared = subprocess.run([IMAGE_COMPARE, "--max-mean", MAX_MEAN, "--max-over",
                                       MAX_OVER, stills[position], path],
                                      capture_output=True, timeout=WAIT)
            print("%-14s %9d: %s" % (what, position, compared.stdout.decode().strip()
                                     or compared.stderr.decode().strip()))
            if compared.returncode != 0:
                failed.append("%s at %d" % (what, position))
    finally:
        driver.quit()
    check(not failed, "canvases beyond the tolerance: %s" % ", ".join(failed))


def check_player():
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys

    work = tempfile.mkdtemp(prefix="web-player-")
    display = virtual_display()
    try:
        with Server(SITE) as base:
            driver = chromium()
            shots = []
            try:
                opened_at(driver, base + "index.html?autoplay#t=45s", 45 * BYTES_PER_SECOND)
                scenes = driver.execute_script(
                    PROGRAM + "return [1, 2, 3, 4, 5].map(p._demo_scene_start)")

                # The bar's button pauses; the position then stays put.
                pause = driver.find_element("id", "pause")
                pause.click()
                wait_for(driver, PAUSED, bool, "the pause")
                held = wait_for(driver, "return [demo.musicPosition(), demo.showPosition()]",
                                lambda r: r[0] == r[1], "the paused frame")
                time.sleep(2)
                check(driver.execute_script("return [demo.musicPosition(), "
                                            "demo.showPosition()]") == held,
                      "the paused show moved from %r" % held)
                check(driver.execute_script("return document.activeElement.id") == "pause",
                      "the pause button lost the focus")
                # Space resumes, once: the focused button is not pressed too.
                ActionChains(driver).send_keys(Keys.SPACE).perform()
                wait_for(driver, POSITION, lambda p: p > held[0] + BYTES_PER_SECOND // 2,
                         "the show moving on after Space")
                check(not driver.execute_script(PAUSED), "Space did not resume the show")
                ActionChains(driver).send_keys("k").perform()
                wait_for(driver, PAUSED, bool, "the pause with K")

                # The keys 1 to 5, then the seek bar, to each scene's start.
                for n, start in enumerate(scenes, 1):
                    ActionChains(driver).send_keys(str(n)).perform()
                    settled(driver, start, "scene %d's start after the key %d" % (n, n))
                    bar_hidden(driver)
                    path = os.path.join(work, "key-%d.png" % n)
                    with open(path, "wb") as out:
                        out.write(driver.find_element("id", "canvas").screenshot_as_png)
                    shots.append(("key %d" % n, driver.execute_script(SHOWN), path))
                for n, start in reversed(list(enumerate(scenes, 1))):
                    driver.execute_script(
                        "var seek = document.getElementById('seek'); seek.value = arguments[0];"
                        "seek.dispatchEvent(new Event('input'));"
                        "seek.dispatchEvent(new Event('change'));", start)
                    settled(driver, start, "scene %d's start from the seek bar" % n)
                    bar_hidden(driver)
                    path = os.path.join(work, "bar-%d.png" % n)
                    with open(path, "wb") as out:
                        out.write(driver.find_element("id", "canvas").screenshot_as_png)
                    shots.append(("seek bar %d" % n, driver.execute_script(SHOWN), path))
                check(driver.execute_script(PAUSED), "seeking resumed the show")

                # The link button: a link to this moment, on the clipboard
                # or, where the page may not write there, offered as text.
                moment = scenes[1] + 12345 * 4
                driver.execute_script(PROGRAM + "p._demo_post_message(0x8000, 0, arguments[0])",
                                      moment)
                settled(driver, moment, "the seek message")
                driver.execute_cdp_cmd("Browser.grantPermissions", {
                    "origin": base.rstrip("/"),
                    "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
                driver.find_element("id", "link").click()
                link = wait_for(driver, "var t = document.getElementById('link-text');"
                                "var n = document.getElementById('notice').textContent;"
                                "return !t.hidden ? t.value : "
                                "(n.match(/Link copied: (\\S+)/) || [])[1]",
                                bool, "the link")
                if driver.execute_script("return document.getElementById('link-text').hidden"):
                    copied = driver.execute_async_script(
                        "navigator.clipboard.readText().then(arguments[0], "
                        "function (e) { arguments[0]('unreadable: ' + e); })")
                    check(copied == link, "the clipboard holds %r, not %r" % (copied, link))
                    print("the clipboard holds " + copied)
                else:
                    print("the page offers the link as text: " + link)
                check(link.startswith(base + "index.html#t="), "the link is %r" % link)
                opened_at(driver, link.replace("index.html#", "index.html?autoplay#"),
                          driver_moment(moment))

                # The bar hides 3 s after the last move, and comes back.
                before = time.monotonic()
                move_mouse(driver)
                wait_for(driver, BAR, lambda b: b[0] == "shown", "the bar after a move")
                bar_hidden(driver)
                check(time.monotonic() - before >= 3.0, "the bar hid before 3 s")
                move_mouse(driver)
                wait_for(driver, BAR, lambda b: b == ["shown", "1"], "the bar after a move")
                # Tab reaches it from the page, and keyboard focus keeps it.
                driver.execute_script("document.activeElement.blur()")
                bar_hidden(driver)
                ActionChains(driver).send_keys(Keys.TAB).perform()
                wait_for(driver, "var a = document.activeElement; "
                         "return !!a.closest('#controls') && a.matches(':focus-visible')",
                         bool, "the focus in the bar after Tab")
                time.sleep(4)
                check(driver.execute_script(BAR)[0] == "shown",
                      "the bar hid while it had the keyboard's focus")
                check(driver.execute_script(STATE) == "playing", "the show is not playing")
            finally:
                driver.quit()
            check_pictures(base, shots, work)
    finally:
        display.terminate()
        display.wait()
        shutil.rmtree(work)
    check_loop()


def driver_moment(bytes_):
    """Where a link written for `bytes_` starts: its whole milliseconds."""
    millis = bytes_ * 1000 // BYTES_PER_SECOND
    start = millis * BYTES_PER_SECOND // 1000
    return start - start % 4


def check_loop():
    """The loop toggled during a short show: it goes on past the end."""
    length = 6 * BYTES_PER_SECOND
    folder = short_music_site(6)
    os.environ.pop("DISPLAY", None)  # headless, on SwiftShader
    try:
        with Server(folder) as base:
            driver = browser()
            try:
                # A #t that is no moment is named, and the show starts at 0.
                driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                       {"source": WATCH})
                driver.get(base + "index.html?autoplay#t=4x")
                wait_for(driver, POSITION, lambda p: p >= 0, "the music")
                text = driver.execute_script("return document.getElementById('notice')"
                                             ".textContent")
                check('"4x" is not a time' in text, "the page says %r" % text)
                offset = driver.execute_script(
                    "return window.sourceStarts.filter(function (s) { return s.seconds > 1; })"
                    ".pop().offset")
                check(offset * BYTES_PER_SECOND <= TEN_MS,
                      "the show starts at %.3f s, not 0" % offset)
                driver.find_element("id", "loop").click()
                check(driver.execute_script(
                    "return document.getElementById('loop').getAttribute('aria-pressed')")
                    == "true", "the loop button is not pressed")
                # The show starts again in place of the other, with --loop,
                # and plays on past the music's end.
                highest = 0
                deadline = time.monotonic() + WAIT
                while True:
                    check(time.monotonic() < deadline, "the show did not play past its end")
                    state, position = driver.execute_script(
                        "return [document.body.dataset.state, demo.musicPosition()]")
                    check(state in ("playing", "loading"), "the show ended: " + state)
                    if highest > length // 2 and 0 <= position < highest - length // 3:
                        break
                    highest = max(highest, position)
                    time.sleep(0.05)
                print("with the loop the 6-second show went on from %d to %d bytes"
                      % (highest, position))
            finally:
                driver.quit()
    finally:
        shutil.rmtree(folder)


def screenshot(out):
    """The README's picture: paused in scene 2, the bar shown."""
    display = virtual_display()
    try:
        with Server(SITE) as base:
            driver = browser(["--use-angle=gl", "--ignore-gpu-blocklist"], headless=False)
            try:
                driver.get(base + "index.html?autoplay#t=55s")
                wait_for(driver, POSITION, lambda p: p >= 0, "the music")
                driver.find_element("id", "pause").click()
                wait_for(driver, PAUSED, bool, "the pause")
                move_mouse(driver)
                wait_for(driver, BAR, lambda b: b == ["shown", "1"], "the bar")
                driver.save_screenshot(out)
            finally:
                driver.quit()
    finally:
        display.terminate()
        display.wait()


def main():
    if sys.argv[1:2] == ["--screenshot"] and len(sys.argv) == 3:
        return run_checks(lambda: screenshot(os.path.abspath(sys.argv[2])))
    if len(sys.argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    return run_checks(check_player)


if __name__ == "__main__":
    sys.exit(main())
