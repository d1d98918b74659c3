#!/usr/bin/env bash
# Runs the native build under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer (the "sanitize" preset, in build/sanitize):
#   1. configures and builds the preset;
#   2. runs every native test with ctest --preset sanitize (the Wine tests are
#      off there: they test the Windows build, which has no sanitizers); when
#      every failed test failed only by LeakSanitizer's tracer crashing at
#      exit, runs those once more, and they must pass then;
#   3. makes the demo's assets with the sanitized demo-assets, records the
#      whole show, every frame at 60 fps, with the sanitized demo-capture
#      (offscreen, no display), and checks the MP4 with ffprobe: one H.264
#      video stream of as many frames as demo-capture reports, one audio
#      stream, both as long as the music.
# Any sanitizer report fails the run, whatever the exit statuses say.
#
# Usage: scripts/sanitize.sh [--size WxH] [--jobs N] [--skip-tests] [--skip-capture]
#   --size WxH       frame size of the capture (default 960x544, the demo's
#                    window); every frame is rendered whatever the size
#   --jobs N         parallel build and test jobs (default: the core count)
#   --skip-tests     build, then only the capture
#   --skip-capture   build, then only the tests
#   -h, --help       show this text
# Exit status: 0 all clean, 1 a step failed or a sanitizer reported, 2 bad usage.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/sanitize
size=960x544
jobs=$(nproc)
run_tests=1
run_capture=1
fps=60

# The run-time options of the sanitize test preset (CMakePresets.json), for
# the programs run here: keep both in step.
# intercept_tls_get_addr=0: LeakSanitizer then finds dynamic TLS blocks
# through the C library's own pointers to them (they are heap blocks) instead
# of its record of __tls_get_addr's results, which with this C library holds
# bogus ranges for Mesa's TLS ("DTLS 12 at 0x...e37-0x...1f39") and made
# its tracer crash at exit in every test whose device was made outside a
# fixture.
export ASAN_OPTIONS="intercept_tls_get_addr=0:detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"

# What the sanitizers print when they find something.
report_pattern='ERROR: [A-Za-z]*Sanitizer|SUMMARY: [A-Za-z]*Sanitizer|runtime error:'

started=$SECONDS
step_started=$SECONDS

tag=sanitize
# shellcheck source=scripts/messages.sh
source "$root/scripts/messages.sh"
fail() {
    say "FAILED: $*"
    say "total time $((SECONDS - started)) s"
    exit 1
}
bad_usage() {
    say "$*"
    usage >&2
    exit 2
}
step() {
    step_started=$SECONDS
    say "==> $* ($(date +%H:%M:%S), load average $(cut -d' ' -f1-3 /proc/loadavg))"
}
step_done() { say "    $1 in $((SECONDS - step_started)) s"; }

# LeakSanitizer's leak check at exit stops every thread with a tracer, and
# that tracer now and then crashes by itself ("Tracer caught signal 11",
# then "LeakSanitizer has encountered a fatal error"), more often on a busy
# machine: a known fault of the tool, not a finding, and a new run passes.
# scripts/sanitizers/tracer-crashes.sh tells, test by test, the failures
# that are such a crash alone from every other one (a report, a failed
# assertion, a timeout, a signal).
tracer_crash='LeakSanitizer has encountered a fatal error'

# Fails if LOG holds a sanitizer report; prints the report's first lines.
check_no_report() {
    local what=$1 log=$2
    if grep -Eq "$report_pattern" "$log"; then
        grep -E -m 20 -A 12 "$report_pattern" "$log" >&2 || true
        fail "$what: sanitizer report in $log"
    fi
}

while [[ $# -gt 0 ]]; do
    case $1 in
    --size)
        [[ $# -ge 2 && $2 =~ ^[0-9]+x[0-9]+$ ]] || bad_usage "--size needs WIDTHxHEIGHT"
        size=$2
        shift 2
        ;;
    --jobs)
        [[ $# -ge 2 && $2 =~ ^[1-9][0-9]*$ ]] || bad_usage "--jobs needs a positive number"
        jobs=$2
        shift 2
        ;;
    --skip-tests)
        run_tests=0
        shift
        ;;
    --skip-capture)
        run_capture=0
        shift
        ;;
    -h | --help)
        usage
        exit 0
        ;;
    *) bad_usage "unknown argument '$1'" ;;
    esac
done

cd "$root"
"$root/scripts/install-deps.sh"
mkdir -p "$build"
logs=$build/sanitize-logs
mkdir -p "$logs"

# -------------------------------------------------------------------- build
step "configure and build the sanitize preset (-j$jobs)"
cmake --preset sanitize >"$logs/configure.log" 2>&1 || {
    cat "$logs/configure.log" >&2
    fail "configure (log: $logs/configure.log)"
}
# The build runs demo-assets too (the textures and the track in build/sanitize/assets).
if ! cmake --build --preset sanitize -j "$jobs" >"$logs/build.log" 2>&1; then
    tail -n 40 "$logs/build.log" >&2
    fail "build (log: $logs/build.log)"
fi
check_no_report "build" "$logs/build.log"
step_done "built"

# -------------------------------------------------------------------- tests
if ((run_tests)); then
    step "ctest --preset sanitize -j$jobs"
    test_status=0
    ctest --preset sanitize -j "$jobs" 2>&1 | tee "$logs/ctest.log" || test_status=$?
    # Each test's own output (none if ctest ran no test).
    cp "$build/Testing/Temporary/LastTest.log" "$logs/ctest-last-test.log" 2>/dev/null ||
        : >"$logs/ctest-last-test.log"
    if ((test_status != 0)); then
        # Each failed test by its own output: run again only when every
        # failure is the tracer's crash alone; a failure run again must pass.
        verdict=0
        "$root/scripts/sanitizers/tracer-crashes.sh" "$logs/ctest.log" \
            "$logs/ctest-last-test.log" >"$logs/tracer-crashes.txt" || verdict=$?
        while IFS= read -r line; do say "    $line"; done <"$logs/tracer-crashes.txt"
        ((verdict == 0)) || fail "ctest exited with $test_status (log: $logs/ctest.log)"
        say "    every failure was LeakSanitizer's own tracer crashing at exit: running those tests again"
        ctest --preset sanitize --rerun-failed 2>&1 | tee "$logs/ctest-rerun.log" ||
            fail "a test run again failed again (log: $logs/ctest-rerun.log)"
        check_no_report "tests run again" "$logs/ctest-rerun.log"
    fi
    check_no_report "tests" "$logs/ctest.log"
    step_done "tests passed"
fi

# ------------------------------------------------------------------ capture
if ((run_capture)); then
    show=$build/whole-show
    rm -rf "$show"
    mkdir -p "$show"

    step "demo-assets $show"
    if ! "$build/tools/make-assets/demo-assets" "$show" >"$logs/assets.log" 2>&1; then
        cat "$logs/assets.log" >&2
        fail "demo-assets (log: $logs/assets.log)"
    fi
    check_no_report "demo-assets" "$logs/assets.log"
    step_done "assets made"

    step "demo-capture --size $size --fps $fps: the whole show"
    # Offscreen: an OpenGL context over EGL with no display.
    capture() {
        (cd "$show" && SDL_VIDEODRIVER=offscreen \
            "$build/tools/capture/demo-capture" --size "$size" --fps "$fps" show.mp4) \
            >"$logs/capture.log" 2>&1
    }
    if ! capture; then
        if grep -q "$tracer_crash" "$logs/capture.log" && ! grep -Eq "$report_pattern" "$logs/capture.log"; then
            say "    LeakSanitizer's own tracer crashed at exit: capturing again"
            mv "$logs/capture.log" "$logs/capture-tracer-crash.log"
            capture || {
                tail -n 40 "$logs/capture.log" >&2
                fail "demo-capture (log: $logs/capture.log)"
            }
        else
            tail -n 40 "$logs/capture.log" >&2
            fail "demo-capture (log: $logs/capture.log)"
        fi
    fi
    check_no_report "demo-capture" "$logs/capture.log"
    tail -n 1 "$logs/capture.log" >&2
    step_done "captured"

    step "check show.mp4 with ffprobe"
    # demo-capture closes with "wrote show.mp4: N frames, S s of show in ...".
    frames=$(sed -n 's/.*wrote show\.mp4: \([0-9]*\) frames.*/\1/p' "$logs/capture.log")
    [[ -n $frames ]] || fail "demo-capture did not report its frame count"
    video=$(ffprobe -v error -count_packets -select_streams v \
        -show_entries stream=codec_name,width,height,nb_read_packets,duration \
        -of csv=p=0 "$show/show.mp4")
    audio=$(ffprobe -v error -select_streams a -show_entries stream=codec_name,duration \
        -of csv=p=0 "$show/show.mp4")
    music=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$show/demo.mp3")
    say "    video: $video"
    say "    audio: $audio"
    say "    music: $music s, frames reported: $frames"
    [[ $(wc -l <<<"$video") -eq 1 && -n $video ]] || fail "show.mp4 needs one video stream, has: '$video'"
    [[ $(wc -l <<<"$audio") -eq 1 && -n $audio ]] || fail "show.mp4 needs one audio stream, has: '$audio'"
    IFS=, read -r vcodec width height vduration vpackets <<<"$video"
    IFS=, read -r acodec aduration <<<"$audio"
    [[ $vcodec == h264 ]] || fail "video codec is $vcodec, not h264"
    [[ ${width}x$height == "$size" ]] || fail "video is ${width}x$height, not $size"
    [[ $vpackets == "$frames" ]] || fail "video has $vpackets frames, demo-capture wrote $frames"
    # The MP3's own duration counts the encoder's delay and padding (about
    # 50 ms) that the decoder trims: 0.1 s of slack for both streams.
    awk -v frames="$frames" -v fps="$fps" -v video="$vduration" -v audio="$aduration" \
        -v music="$music" -v acodec="$acodec" '
        function off(seconds) { return seconds > music ? seconds - music : music - seconds }
        BEGIN {
            if (off(frames / fps) > 0.1) { print "the frames cover " frames / fps " s"; exit 1 }
            if (off(video) > 0.1) { print "the video lasts " video " s"; exit 1 }
            if (off(audio) > 0.1) { print "the audio (" acodec ") lasts " audio " s"; exit 1 }
        }' >&2 || fail "show.mp4 is not as long as the music ($music s)"
    step_done "show.mp4 holds the whole show"
fi

say "all clean; total time $((SECONDS - started)) s"
