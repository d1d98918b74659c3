#!/usr/bin/env bash
# The Windows build, run under Wine and Xvfb. Called by CTest (tests/windows),
# one command per test:
#   setup                     cross-builds build/windows (the "windows" preset) when
#                             needed, makes the Wine prefix and the test assets
#   demo-plays-to-the-end     demo.exe with a short track exits 0 when the music ends
#   demo-without-music-fails  demo.exe without demo.mp3 exits 1 and names the file
#   renderers-agree           Wine's Direct3D 9 (demo-probe.exe) and our Linux device
#                             (demo-still) draw the same frames, within the tolerance
#   dds-reader-matches-d3dx   without d3dx9_43.dll, our DDS reader loads the textures
#                             as D3DX does
#   cleanup                   stops the prefix's Wine server
# Environment: WINE_TESTS_WORK (work directory), DEMO_ASSETS_TOOL, DEMO_STILL_TOOL,
# IMAGE_COMPARE_TOOL (native tools); the defaults are those of build/native.
# Exits 77 (skipped) when Wine, Xvfb or the cross compiler is not installed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
win_build=$root/build/windows
native_build=$root/build/native
work=${WINE_TESTS_WORK:-$native_build/tests/windows/wine}
assets_tool=${DEMO_ASSETS_TOOL:-$native_build/tools/make-assets/demo-assets}
still_tool=${DEMO_STILL_TOOL:-$native_build/tools/still/demo-still}
compare_tool=${IMAGE_COMPARE_TOOL:-$native_build/tests/windows/image-compare}

demo_exe=$win_build/app/demo.exe
probe_exe=$win_build/tools/probe/demo-probe.exe

export WINEPREFIX=$work/prefix
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's waveOut goes to ALSA; its null device stands in for a sound card.
export XDG_CONFIG_HOME=$work/xdg

# Music positions compared: scene 1 (two), 2, 3, 4 and 5 (two), away from the
# scene boundaries (6648556, 9977248, 13303876, 16631032).
positions=(1000000 5000000 8000000 11500000 15000000 17500000 21000000)
# Tolerance of the comparison: mean channel difference (0..255) and share of
# pixels with a channel more than 32 apart, in percent.
max_mean=2.0
max_over=1.0
threshold=32

short_track_seconds=3
wine_timeout=120

say() { echo "wine-tests: $*" >&2; }
fail() {
    say "$*"
    exit 1
}

require_tools() {
    local missing=()
    for tool in wine wineserver wineboot xvfb-run i686-w64-mingw32-g++ cmake; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [[ ${#missing[@]} -gt 0 ]]; then
        say "skipped: ${missing[*]} not installed (scripts/install-deps.sh --windows installs them)"
        exit 77
    fi
}

# Runs a Windows program in a directory, on its own virtual screen; prints its
# standard error and returns its exit status.
run_wine() {
    local dir=$1
    shift
    local status=0
    (cd "$dir" && timeout "$wine_timeout" xvfb-run -a -s "-screen 0 1280x1024x24" \
        wine "$@") || status=$?
    wineserver -k 2>/dev/null || true
    return "$status"
}

cross_build() {
    if [[ ! -f $win_build/CMakeCache.txt ]]; then
        say "configuring the Windows build in $win_build"
        (cd "$root" && cmake --preset windows >/dev/null)
    fi
    cmake --build "$win_build" --target demo demo-probe -j "$(nproc)" >"$work/cross-build.log" 2>&1 ||
        fail "the Windows build failed; see $work/cross-build.log"
}

make_prefix() {
    if [[ -f $WINEPREFIX/system.reg ]]; then
        return
    fi
    say "making the Wine prefix $WINEPREFIX"
    wineboot -u >/dev/null 2>&1
    wineserver -w
    # Without a window manager, a managed window takes 2 s to be destroyed.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
}

make_assets() {
    mkdir -p "$XDG_CONFIG_HOME/alsa" "$work/assets"
    echo 'pcm.!default { type null }' >"$XDG_CONFIG_HOME/alsa/asoundrc"
    [[ -x $assets_tool ]] || fail "no asset generator at $assets_tool"
    "$assets_tool" "$work/assets" --only textures >/dev/null
    "$assets_tool" --short-track "$short_track_seconds" "$work/assets/demo.mp3" >/dev/null
}

# A fresh run directory holding the textures and, if asked, the music.
run_dir() {
    local dir=$work/$1
    local with_music=$2
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$work"/assets/*.dds "$dir"/
    if [[ $with_music == music ]]; then
        cp "$work/assets/demo.mp3" "$dir"/
    fi
    echo "$dir"
}

require_setup() {
    [[ -f $WINEPREFIX/system.reg && -f $work/assets/demo.mp3 ]] ||
        fail "no Wine prefix or assets in $work: run the setup test first"
}

cmd_setup() {
    mkdir -p "$work"
    cross_build
    make_prefix
    make_assets
    say "ready: $demo_exe, $probe_exe, prefix and assets in $work"
}

cmd_demo_plays_to_the_end() {
    require_setup
    local dir
    dir=$(run_dir run-to-end music)
    local start=$SECONDS status=0
    run_wine "$dir" "$demo_exe" 2>"$dir/stderr.txt" || status=$?
    cat "$dir/stderr.txt" >&2
    say "demo.exe with a ${short_track_seconds} s track: exit status $status after $((SECONDS - start)) s"
    [[ $status -eq 0 ]] || fail "expected exit status 0 at the end of the music"
}

cmd_demo_without_music_fails() {
    require_setup
    local dir
    dir=$(run_dir run-without-music no-music)
    local status=0
    run_wine "$dir" "$demo_exe" 2>"$dir/stderr.txt" || status=$?
    cat "$dir/stderr.txt" >&2
    say "demo.exe without demo.mp3: exit status $status"
    [[ $status -eq 1 ]] || fail "expected exit status 1 without demo.mp3"
    grep -q 'demo.mp3' "$dir/stderr.txt" || fail "the error message does not name demo.mp3"
}

# Renders the positions through Wine's Direct3D 9 into $dir/probe.
probe_frames() {
    local dir=$1
    mkdir -p "$dir/probe"
    run_wine "$dir" "$probe_exe" probe "${positions[@]}" >"$dir/probe.log" 2>&1 ||
        { cat "$dir/probe.log" >&2; fail "demo-probe.exe failed"; }
}

# Compares $1/frame-P.png with $2/frame-P.png for every position; prints a
# table and fails if any pair is beyond the tolerance.
compare_frames() {
    local reference=$1 candidate=$2 diffs=$3
    local failed=0 line status
    mkdir -p "$diffs"
    printf '%-10s  %s\n' position "difference ($reference vs $candidate)" >&2
    for pos in "${positions[@]}"; do
        status=0
        line=$("$compare_tool" --threshold "$threshold" --max-mean "$max_mean" \
            --max-over "$max_over" --diff "$diffs/diff-$pos.png" \
            "$reference/frame-$pos.png" "$candidate/frame-$pos.png") || status=$?
        if [[ $status -ne 0 ]]; then
            failed=1
            line="$line  BEYOND TOLERANCE"
        fi
        printf '%-10s  %s\n' "$pos" "$line" >&2
    done
    say "tolerance: mean <= $max_mean and <= $max_over% of pixels more than $threshold apart"
    [[ $failed -eq 0 ]] || fail "frames differ beyond the tolerance; difference pictures in $diffs"
}

cmd_renderers_agree() {
    require_setup
    [[ -x $still_tool ]] || fail "no still renderer at $still_tool"
    local dir
    dir=$(run_dir renderers no-music)
    probe_frames "$dir"
    mkdir -p "$dir/still"
    for pos in "${positions[@]}"; do
        (cd "$dir" && SDL_VIDEODRIVER=offscreen "$still_tool" "$pos" "still/frame-$pos.png" \
            --size 960x544 >/dev/null) || fail "demo-still failed at $pos"
    done
    compare_frames "$dir/probe" "$dir/still" "$dir/diff"
}

cmd_dds_reader_matches_d3dx() {
    require_setup
    local with_d3dx without_d3dx
    with_d3dx=$(run_dir with-d3dx no-music)
    without_d3dx=$(run_dir without-d3dx no-music)
    probe_frames "$with_d3dx"
    # An empty override disables the DLL: LoadLibrary fails as on a bare Windows.
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3dx9_43=" probe_frames "$without_d3dx"
    compare_frames "$with_d3dx/probe" "$without_d3dx/probe" "$without_d3dx/diff"
}

cmd_cleanup() {
    if command -v wineserver >/dev/null && [[ -d $WINEPREFIX ]]; then
        wineserver -k 2>/dev/null || true
    fi
}

main() {
    local command=${1:-}
    case $command in
    setup | demo-plays-to-the-end | demo-without-music-fails | renderers-agree | \
        dds-reader-matches-d3dx)
        require_tools
        "cmd_${command//-/_}"
        ;;
    cleanup) cmd_cleanup ;;
    -h | --help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//' ;;
    *)
        sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//' >&2
        exit 2
        ;;
    esac
}

main "$@"
