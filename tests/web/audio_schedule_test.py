#!/usr/bin/python3
"""The web build's audio library keeps sound and position in step on any
output: audio-schedule (tests/web/node) plays a track against a stand-in
audio context under Node.js and checks, at every step of its clock, that the
sample heard is the one the position names (within 1 ms), after a start, a
seek, a pause (the position holds, nothing plays) and its resume, a seek
while paused, up to the end and after playing again; and that a move to the
end stops the sound. It prints how far the position read right after each
seek is from the one set. Tracks at 44 100, 48 000,
32 000 and 22 050 Hz; outputs with a latency of 0, 50 and 200 ms; a
browser without getOutputTimestamp, where the page can only know the
context's time to its render quantum (128 frames, 2.9 ms); and one whose
stamps run ahead of the page's clock (WebKitGTK's), which the page must not
follow, its context made two seconds before as the page's is.

    audio_schedule_test.py [--browser chromium|webkit]

With --browser, the show's page in that browser instead: for five seconds
the music position names the sample the browser's own audio context says
it plays into the ear (its time rendered less the output latency it
reports, through the start and offset the page gave the buffer source),
within the 50 ms the page carries its clock on between the context's steps
plus a render quantum.

Environment: WEB_BUILD (build/web). Exits 77 (skipped) when the web build is
not configured or the browser is missing, 0 on success and 1 on failure.
"""
import os
import subprocess
import sys
import tempfile
import time

import browser_test as web

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WEB_BUILD = os.environ.get("WEB_BUILD", os.path.join(ROOT, "build", "web"))
PROGRAM = os.path.join(WEB_BUILD, "tests", "web", "node", "audio-schedule.js")
SECONDS = 3
RATES = [44100, 48000, 32000, 22050]
# (output latency, the context's getOutputTimestamp: "1", "0" for none or
# "ahead" for one off the page's clock, tolerance in seconds)
OUTPUTS = [(0, "1", 0.001), (0.05, "1", 0.001), (0.2, "1", 0.001), (0.05, "0", 0.003),
           (0.05, "ahead", 0.003)]
STAMPS = {"1": "", "0": ", no getOutputTimestamp", "ahead": ", timestamps ahead of the page"}


def make_track(folder, rate):
    path = os.path.join(folder, "track-%d.mp3" % rate)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:sample_rate=%d:duration=%d" % (rate, SECONDS),
                    "-ac", "2", "-c:a", "libmp3lame", "-b:a", "96k", path], check=True)
    return path


# Keeps the page's audio contexts and what its buffer sources were told to
# play: set before the page's own scripts.
WATCH_AUDIO = """
window.audioWatch = { contexts: [], starts: [] };
(function () {
  var Context = window.AudioContext || window.webkitAudioContext;
  if (!Context) return;
  var Watched = function (options) {
    var context = new Context(options);
    window.audioWatch.contexts.push(context);
    return context;
  };
  Watched.prototype = Context.prototype;
  window.AudioContext = window.webkitAudioContext = Watched;
  var start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (when, offset) {
    window.audioWatch.starts.push({ when: when || 0, offset: offset || 0 });
    return start.apply(this, arguments);
  };
})();
"""

# One reading: the position in seconds of music, and the buffer time the
# context says is heard now (-1 before the source's first sample).
READ = """
var watch = window.audioWatch;
var context = watch.contexts[watch.contexts.length - 1];
var source = watch.starts[watch.starts.length - 1];
var position = demo.musicPosition();
if (!context || !source || position < 0) return null;
var heard = context.currentTime - (context.outputLatency || 0);
return [position / 176400, heard < source.when ? -1 : source.offset + heard - source.when,
        context.outputLatency || 0, context.baseLatency || 0];
"""
# The page's clock runs on at most 50 ms past the context's last step, and
# the context's time moves in render quanta (128 frames).
IN_STEP = 0.05 + 128 / 44100.0


def check_in_browser():
    with web.Server(web.SITE, script=WATCH_AUDIO) as base:
        driver = web.browser()
        try:
            driver.get(base + "index.html?autoplay")
            web.wait_for(driver, "return demo.musicPosition()", lambda p: p > 0,
                         "the music position")
            readings = []
            start = time.monotonic()
            while time.monotonic() - start < 5:
                reading = driver.execute_script(READ)
                web.check(reading is not None, "the page's audio context or source is not seen")
                readings.append(reading)
                time.sleep(0.1)
            heard = [r for r in readings if r[1] >= 0]
            web.check(len(heard) > len(readings) // 2,
                      "the context says nothing is heard: %r" % readings[-1])
            apart = [r[0] - r[1] for r in heard]
            worst = max(apart, key=abs)
            print("%d readings; output latency %g s, base latency %g s; the position minus the "
                  "sound heard: %+.4f to %+.4f s" % (len(readings), heard[-1][2], heard[-1][3],
                                                     min(apart), max(apart)))
            web.check(abs(worst) <= IN_STEP,
                      "the position is %+.3f s from the sound heard (%.3f s allowed)"
                      % (worst, IN_STEP))
        finally:
            driver.quit()


def main():
    args = web.choose_browser(sys.argv[1:])
    if args != []:
        print(__doc__, file=sys.stderr)
        return 2
    if len(sys.argv) > 1:
        return web.run_checks(check_in_browser)
    if not os.path.exists(os.path.join(WEB_BUILD, "CMakeCache.txt")):
        print("skipped: the web build is not configured (cmake --preset web)")
        return 77
    if not os.path.exists(PROGRAM):
        print("FAILED: no %s (the web build's build step makes it)" % PROGRAM)
        return 1
    failed = []
    with tempfile.TemporaryDirectory(prefix="audio-schedule-") as folder:
        for rate in RATES:
            track = make_track(folder, rate)
            for latency, timestamps, tolerance in OUTPUTS:
                env = dict(os.environ, OUTPUT_LATENCY=str(latency), TRACK_SECONDS=str(SECONDS),
                           OUTPUT_TIMESTAMPS=timestamps,
                           CONTEXT_AGE="2" if timestamps == "ahead" else "0")
                result = subprocess.run(["node", PROGRAM, track, str(tolerance)], env=env,
                                        capture_output=True, text=True, timeout=300)
                what = "%d Hz, latency %g s%s" % (rate, latency, STAMPS[timestamps])
                print("%s:\n  %s" % (what, result.stdout.strip().replace("\n", "\n  ")))
                if result.returncode != 0:
                    print(result.stderr.strip()[-2000:])
                    failed.append(what)
    if failed:
        print("FAILED: out of step with %s" % "; ".join(failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
