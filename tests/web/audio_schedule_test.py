#!/usr/bin/python3
"""The web build's audio library keeps sound and position in step on any
output: audio-schedule (tests/web/node) plays a track against a stand-in
audio context under Node.js and checks, at every step of its clock, that the
sample heard is the one the position names (within 1 ms), after a start, a
seek, up to the end and after playing again. Tracks at 44 100, 48 000,
32 000 and 22 050 Hz; outputs with a latency of 0, 50 and 200 ms; and a
browser without getOutputTimestamp, where the page can only know the
context's time to its render quantum (128 frames, 2.9 ms).

Environment: WEB_BUILD (build/web). Exits 77 (skipped) when the web build is
not configured, 0 on success and 1 on failure.
"""
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WEB_BUILD = os.environ.get("WEB_BUILD", os.path.join(ROOT, "build", "web"))
PROGRAM = os.path.join(WEB_BUILD, "tests", "web", "node", "audio-schedule.js")
SECONDS = 3
RATES = [44100, 48000, 32000, 22050]
# (output latency, the context has getOutputTimestamp, tolerance in seconds)
OUTPUTS = [(0, True, 0.001), (0.05, True, 0.001), (0.2, True, 0.001), (0.05, False, 0.003)]


def make_track(folder, rate):
    path = os.path.join(folder, "track-%d.mp3" % rate)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:sample_rate=%d:duration=%d" % (rate, SECONDS),
                    "-ac", "2", "-c:a", "libmp3lame", "-b:a", "96k", path], check=True)
    return path


def main():
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
                           OUTPUT_TIMESTAMPS="1" if timestamps else "0")
                result = subprocess.run(["node", PROGRAM, track, str(tolerance)], env=env,
                                        capture_output=True, text=True, timeout=300)
                what = "%d Hz, latency %g s%s" % (
                    rate, latency, "" if timestamps else ", no getOutputTimestamp")
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
