#!/usr/bin/env bash
# Measures the four speed figures of the demo on this machine, in one run,
# and prints them against their targets:
#   (a) the core's CPU time per frame (scene, layer, vertex conversion on a
#       device that discards every call) over memcpy of the bytes the layer
#       writes for that frame, the mean over 40 frames spread over the show
#       (all five scenes), the median of five runs (a run's figure depends on
#       where its static buffers land in physical memory): at most 1.5;
#   (b) frames per second of the native build over demo.exe's renderer under
#       Wine (the 32-bit build where this machine runs 32-bit programs, the
#       64-bit build on Wine's 64-bit loader otherwise; the script says
#       which), on the same 40 frames at 960 x 544, each frame finished by
#       reading the back buffer into memory, both on Mesa llvmpipe (native:
#       offscreen through EGL; Wine: under Xvfb); three rounds of native then
#       Wine, the median of the rounds' ratios: at least 2.0;
#   (c) capture speed: seconds of show per second of wall time, demo-capture
#       recording the 20 seconds in the middle of the show at 960 x 544 and
#       60 frames per second into H.264 (its default x264 preset), start-up
#       included; the mean of two runs: at least 2.0. Beside it, the ceiling
#       this machine allows: 60 fps over the time a frame takes when
#       llvmpipe renders alone (render-bench on every fifth frame of the
#       range) plus ffmpeg's and the YUV conversion's processor time a frame
#       (as the capture reports it) shared over the cores; and (c)'s share of
#       that ceiling: at least 0.9;
#   (d) the show page's frame rate in Chromium (index.html?autoplay) over an
#       empty WebGL 2 page's (bench/empty-webgl2.html: the same canvas, only
#       cleared), both counted with requestAnimationFrame for 20 seconds in
#       the same browser and window (under Xvfb, 1280 x 1024, ANGLE on
#       OpenGL, which is Mesa llvmpipe), scripts/web-fps.py; three rounds of
#       show then empty page, the median of the rounds' ratios: at least 0.9.
#       For information beside it, the old comparison with the native
#       renderer: render-bench in Chromium over render-bench natively, on the
#       same 40 frames at 960 x 544, each read back (three rounds, the
#       median ratio); no page can match that, as the browser composites
#       every frame of a page once more.
# It builds what it needs (the native preset, the Windows preset for (b), the
# web preset for (d)).
#
# Usage: scripts/bench.sh [--native-build DIR] [--windows x86|x64] [--no-wine] [--no-web]
#                         [--only FIGURES] [--web-seconds N]
#   --native-build DIR   native build to use (default build/native)
#   --windows x86|x64    the Windows build for demo-probe.exe: build/windows or
#                        build/windows64 (default: x86 where it can run, else x64)
#   --no-wine            skip (b)'s Wine side (no mingw-w64, Wine or Xvfb here)
#   --no-web             skip (d) (no Emscripten or Chromium here)
#   --only FIGURES       measure only these figures, e.g. "d" or "a,c"
#   --web-seconds N      count each page's frames for N seconds in (d) (default 20)
# The figures are only meaningful on an otherwise idle machine: the load
# average is printed before each measurement.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
native_build=$root/build/native
windows_arch=
with_wine=1
with_web=1
only=abcd
web_seconds=20

tag=bench
# shellcheck source=scripts/messages.sh
source "$root/scripts/messages.sh"

while [[ $# -gt 0 ]]; do
    case $1 in
    --native-build) native_build=$(realpath -m "$2"); shift 2 ;;
    --windows) windows_arch=$2; shift 2 ;;
    --no-wine) with_wine=0; shift ;;
    --no-web) with_web=0; shift ;;
    --only) only=${2//,/}; shift 2 ;;
    --web-seconds) web_seconds=$2; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
done

[[ $only =~ ^[abcd]+$ ]] || fail "--only takes figures a to d, e.g. --only d or --only a,c"
[[ $web_seconds =~ ^[0-9]+([.][0-9]+)?$ ]] || fail "--web-seconds takes a number of seconds"
# Whether figure $1 is measured.
measures() { [[ $only == *$1* ]]; }
measures b || with_wine=0
measures d || with_web=0

load() { cut -d' ' -f1-3 /proc/loadavg; }
# The value of key=value in a RESULT line.
field() { sed -n "s/^RESULT .*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$2"; }

# ---------------------------------------------------------------- builds
build_native() {
    if [[ ! -f $native_build/CMakeCache.txt ]]; then
        say "configuring $native_build"
        cmake -S "$root" -B "$native_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    say "building the benchmarks, demo-capture and the assets in $native_build"
    cmake --build "$native_build" -j "$(nproc)" \
        --target core-ratio render-bench demo-capture assets >"$native_build/bench-build.log" 2>&1 ||
        fail "the native build failed; see $native_build/bench-build.log"
}

# Picks the Windows build (b) measures and Wine's loader for it: installed
# is not enough, a kernel without 32-bit support cannot start Wine's 32-bit
# loader ("Exec format error"), and runs the 64-bit build instead.
wine_ready() {
    local arch compiler
    for arch in ${windows_arch:-x86 x64}; do
        compiler=i686-w64-mingw32-g++
        [[ $arch == x64 ]] && compiler=x86_64-w64-mingw32-g++
        command -v "$compiler" >/dev/null || continue
        if wine_loader=$("$root/scripts/wine-can-run.sh" "$arch" 2>/dev/null); then
            windows_arch=$arch
            return 0
        fi
    done
    return 1
}

build_windows() {
    windows_preset=windows
    wine_arch=win32
    if [[ $windows_arch == x64 ]]; then
        windows_preset=windows64
        wine_arch=win64
    fi
    windows_build=$root/build/$windows_preset
    if [[ ! -f $windows_build/CMakeCache.txt ]]; then
        say "configuring $windows_build"
        (cd "$root" && cmake --preset "$windows_preset" >/dev/null)
    fi
    say "building demo-probe.exe in $windows_build"
    cmake --build "$windows_build" -j "$(nproc)" --target demo-probe \
        >"$windows_build/bench-build.log" 2>&1 ||
        fail "the Windows build failed; see $windows_build/bench-build.log"
}

web_ready() {
    for tool in emcc chromium chromedriver Xvfb; do
        command -v "$tool" >/dev/null || return 1
    done
}

build_web() {
    say "building the site, the empty page and the web render-bench in $root/build/web"
    (cd "$root" && cmake --preset web >/dev/null &&
        cmake --build --preset web -j "$(nproc)" --target web-bench) \
        >"$root/build/web-bench-build.log" 2>&1 ||
        fail "the web build failed; see $root/build/web-bench-build.log"
}

build_native
assets=$native_build/assets
work=$native_build/bench
mkdir -p "$work"
if [[ $with_wine -eq 1 ]]; then
    if wine_ready; then
        build_windows
    else
        say "no working Wine, Xvfb or mingw-w64 here (scripts/install-deps.sh --windows):" \
            "(b) is native only"
        with_wine=0
    fi
fi

if [[ $with_web -eq 1 ]]; then
    if web_ready; then
        build_web
    else
        say "no Emscripten, Chromium or Xvfb here (scripts/install-deps.sh --web): no (d)"
        with_web=0
    fi
fi

# ---------------------------------------------------------------- frames
# 40 positions at the middles of 40 equal parts of the music, on whole
# samples of 4 bytes.
seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$assets/demo.mp3")
length=$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 176400 }')
positions=()
for i in $(seq 0 39); do
    positions+=($(((2 * i + 1) * length / 80 / 4 * 4)))
done

# ---------------------------------------------------------------- (a)
ratio_a=""
core=""
if measures a; then
say "(a) core CPU time per frame against memcpy, five runs; load $(load)"
runs=()
for run in 1 2 3 4 5; do
    runs+=("$("$native_build/bench/core-ratio" "${positions[@]}")")
    say "(a) run $run: ratio $(field ratio "${runs[-1]}")"
done
# The run with the median ratio.
median=$(for i in "${!runs[@]}"; do echo "$(field ratio "${runs[$i]}") $i"; done |
    sort -n | sed -n 3p | cut -d' ' -f2)
core=${runs[$median]}
echo "$core" | grep -v '^RESULT' >&2
ratio_a=$(field ratio "$core")
fi

# ---------------------------------------------------------------- (b)
# Three rounds, each native then Wine, so both sides of a ratio see the
# machine in the same state.
native_run() {
    (cd "$assets" && SDL_VIDEODRIVER=offscreen "$native_build/bench/render-bench" \
        --repeat 2 "${positions[@]}")
}
native_renderer=$(sed -n 's/^RENDERER //p' <<<"$(native_run)")
wine_renderer="not measured"
if [[ $with_wine -eq 1 ]]; then
    say "(b) measures the $windows_arch build ($windows_build) on $wine_loader"
    export WINEPREFIX=$work/wine-prefix-$windows_arch WINEARCH=$wine_arch WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=$wine_loader
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        say "making the Wine prefix $WINEPREFIX"
        "$wine_loader" wineboot.exe -u >/dev/null 2>&1
        wineserver -w
        # Without a window manager, a managed window takes 2 s to be destroyed.
        "$wine_loader" reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >/dev/null 2>&1
        wineserver -w
    fi
    probe=$windows_build/tools/probe/demo-probe.exe
    run_probe() {
        (cd "$assets" && timeout 900 xvfb-run -a -n 160 -s "-screen 0 1280x1024x24" \
            "$wine_loader" "$probe" "$@") || true
        wineserver -k 2>/dev/null || true
    }
    # Which OpenGL renderer Wine's Direct3D runs on, from its trace of one frame.
    trace=$(WINEDEBUG=+d3d run_probe --bench 1 "${positions[0]}" 2>&1)
    wine_renderer=$(sed -n 's/.*GL_RENDERER: "\(.*\)".*/\1/p' <<<"$trace" | sed -n 1p)
fi
native_fps="" wine_fps="" ratio_b=""
if measures b; then
rounds=()
for round in 1 2 3; do
    say "(b) round $round: native offscreen; load $(load)"
    native_fps=$(field fps "$(native_run)")
    [[ -n $native_fps ]] || fail "render-bench gave no result"
    if [[ $with_wine -eq 0 ]]; then
        rounds+=("$native_fps - -")
        continue
    fi
    say "(b) round $round: demo-probe.exe under Wine and Xvfb; load $(load)"
    wine_fps=$(field fps "$(run_probe --bench 2 "${positions[@]}" 2>/dev/null)")
    [[ -n $wine_fps ]] || fail "demo-probe.exe --bench gave no result"
    rounds+=("$native_fps $wine_fps $(awk -v n="$native_fps" -v w="$wine_fps" \
        'BEGIN { printf "%.2f", n / w }')")
    say "(b) round $round: $native_fps fps native, $wine_fps fps under Wine"
done
# The round with the median ratio (or the median native rate without Wine).
median_round=$(printf '%s\n' "${rounds[@]}" | sort -k3,3n -k1,1n | sed -n 2p)
read -r native_fps wine_fps ratio_b <<<"$median_round"
[[ $wine_fps == - ]] && wine_fps="" ratio_b=""
fi

# ---------------------------------------------------------------- (c)
speed_c="" ceiling_c="" share_c="" wall=""
if measures c; then
from=$(awk -v s="$seconds" 'BEGIN { printf "%.2f", s / 2 - 10 }')
to=$(awk -v s="$seconds" 'BEGIN { printf "%.2f", s / 2 + 10 }')
# What the machine allows: every frame must be rendered by llvmpipe, which
# has the processor to itself here, and encoded, which takes processor time
# from the same cores. render-bench renders every fifth frame of the range
# alone; the capture reports ffmpeg's and the YUV conversion's processor
# time a frame. The ceiling is 60 frames a second of show over the time a
# frame takes when rendering alone, plus the encoding's processor time
# shared over the cores.
capture_positions=()
first=$(awk -v s="$from" 'BEGIN { printf "%d", int(s * 176400 / 4) * 4 }')
for i in $(seq 0 239); do
    capture_positions+=($((first + i * 5 * 2940)))
done
say "(c) llvmpipe alone on 240 frames of the range; load $(load)"
render_fps=$(field fps "$(cd "$assets" && SDL_VIDEODRIVER=offscreen \
    "$native_build/bench/render-bench" --repeat 1 "${capture_positions[@]}")")
[[ -n $render_fps ]] || fail "render-bench gave no result"
say "(c) llvmpipe alone: $render_fps fps"
walls=()
encoder_ms=()
for run in 1 2; do
    say "(c) run $run: demo-capture ${from}s to ${to}s at 960x544, 60 fps; load $(load)"
    start=$(date +%s.%N)
    (cd "$assets" && SDL_VIDEODRIVER=offscreen "$native_build/tools/capture/demo-capture" \
        --size 960x544 --fps 60 --from "${from}s" --to "${to}s" "$work/capture.mp4" \
        >"$work/capture.log" 2>&1) || fail "demo-capture failed; see $work/capture.log"
    walls+=("$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')")
    # "processor time a frame: ffmpeg 4.71 ms, YUV conversion 0.70 ms"
    encoder_ms+=("$(sed -n 's/.*processor time a frame: ffmpeg \([0-9.]*\) ms, YUV conversion \([0-9.]*\) ms.*/\1 \2/p' \
        "$work/capture.log")")
    [[ -n ${encoder_ms[-1]} ]] || fail "demo-capture did not report its encoding time; see $work/capture.log"
    say "(c) run $run: 20 s of show in ${walls[-1]} s; ffmpeg and YUV conversion ms a frame: ${encoder_ms[-1]}"
done
wall=$(awk -v a="${walls[0]}" -v b="${walls[1]}" 'BEGIN { printf "%.2f", (a + b) / 2 }')
speed_c=$(awk -v w="$wall" 'BEGIN { printf "%.2f", 20 / w }')
read -r ffmpeg_ms conversion_ms < <(printf '%s\n' "${encoder_ms[@]}" |
    awk '{ f += $1; c += $2 } END { printf "%.2f %.2f\n", f / NR, c / NR }')
ceiling_c=$(awk -v r="$render_fps" -v f="$ffmpeg_ms" -v c="$conversion_ms" -v n="$(nproc)" \
    'BEGIN { printf "%.2f", 1 / (1 / r + (f + c) / 1000 / n) / 60 }')
share_c=$(awk -v s="$speed_c" -v c="$ceiling_c" 'BEGIN { printf "%.2f", s / c }')
fi

# ---------------------------------------------------------------- (d)
web_renderer="not measured"
ratio_d=""
ratio_d_native=""
if [[ $with_web -eq 1 ]]; then
    say "(d) the show page against an empty WebGL 2 page in Chromium, three rounds of" \
        "$web_seconds s each; load $(load)"
    fps_out=$("$root/scripts/web-fps.py" --rounds 3 --seconds "$web_seconds" |
        tee /dev/stderr) || fail "(d): scripts/web-fps.py failed"
    fps_result=$(grep '^RESULT' <<<"$fps_out")
    show_d=$(field show_fps "$fps_result")
    empty_d=$(field empty_fps "$fps_result")
    ratio_d=$(field ratio "$fps_result")
    [[ -n $ratio_d ]] || fail "(d): scripts/web-fps.py gave no result"

    web_run() { "$root/scripts/web-bench.py" --repeat 2 "${positions[@]}"; }
    web_renderer=$(sed -n 's/^RENDERER //p' <<<"$(web_run)")
    rounds_d=()
    for round in 1 2 3; do
        say "(d, for information) round $round: native offscreen; load $(load)"
        native_d=$(field fps "$(native_run)")
        say "(d, for information) round $round: render-bench in Chromium under Xvfb; load $(load)"
        web_d=$(field fps "$(web_run)")
        [[ -n $native_d && -n $web_d ]] || fail "(d): a side gave no result"
        rounds_d+=("$native_d $web_d $(awk -v n="$native_d" -v w="$web_d" \
            'BEGIN { printf "%.2f", w / n }')")
        say "(d, for information) round $round: $native_d fps native, $web_d fps in the browser"
    done
    read -r native_d web_d ratio_d_native <<<"$(printf '%s\n' "${rounds_d[@]}" | sort -k3,3n | sed -n 2p)"
fi

# ---------------------------------------------------------------- table
verdict() { awk -v v="$1" -v t="$2" -v op="$3" 'BEGIN {
    if (v == "") { print "not measured"; exit }
    ok = op == "<=" ? v <= t : v >= t; print ok ? "pass" : "miss" }'; }

echo
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load $(load)"
echo "Native renderer: $native_renderer; under Wine: $wine_renderer; in Chromium: $web_renderer"
[[ $with_wine -eq 1 ]] && echo "(b)'s Windows build: $windows_arch ($windows_build), on $wine_loader"
echo
row() { printf '%-44s %-26s %-8s %-7s %s\n' "$@"; }
row "figure" "measured" "ratio" "target" "result"
measures a && row "(a) core frame CPU time / memcpy same bytes" \
    "$(field core_us "$core") us / $(field memcpy_us "$core") us" "$ratio_a" "<= 1.5" \
    "$(verdict "$ratio_a" 1.5 "<=")"
measures b && row "(b) native fps / demo.exe-under-Wine fps" "${native_fps} / ${wine_fps:-?} fps" \
    "${ratio_b:-?}" ">= 2.0" "$(verdict "$ratio_b" 2.0 ">=")"
measures c && row "(c) capture: show seconds / wall seconds" "20 s in $wall s (mean)" \
    "$speed_c" ">= 2.0" "$(verdict "$speed_c" 2.0 ">=")"
measures c && row "    (c) against this machine's ceiling" "$speed_c of $ceiling_c" "$share_c" \
    ">= 0.9" "$(verdict "$share_c" 0.9 ">=")"
measures d && row "(d) show page fps / empty WebGL 2 page fps" \
    "${show_d:-?} / ${empty_d:-?} fps" "${ratio_d:-?}" ">= 0.9" "$(verdict "$ratio_d" 0.9 ">=")"
measures d && row "    for information: web / native renderer" \
    "${web_d:-?} / ${native_d:-?} fps" "${ratio_d_native:-?}" "-" "no target"
echo
if measures d; then
    echo "(d): Chromium under Xvfb (1280 x 1024 window), each page's requestAnimationFrame" \
        "callbacks counted for $web_seconds s from a second after it started; the information" \
        "line is render-bench in Chromium against render-bench natively, the same 40 frames."
fi
if measures c; then
    echo "(c)'s ceiling: llvmpipe renders the range alone at $render_fps fps; ffmpeg takes" \
        "$ffmpeg_ms ms and the YUV conversion $conversion_ms ms of processor time a frame," \
        "shared over $(nproc) cores: at 60 fps a capture can run at most $ceiling_c times real time."
fi
