#!/usr/bin/env bash
# A Windows build, run under Wine and Xvfb. Called by CTest (tests/windows),
# one command per test, for either build:
#   wine-tests.sh x86 COMMAND   the 32-bit build (build/windows, the "windows"
#                               preset), on Wine's 32-bit loader in a win32 prefix
#   wine-tests.sh x64 COMMAND   the 64-bit build (build/windows64, "windows64"),
#                               on Wine's 64-bit loader in a win64 prefix, which
#                               needs no 32-bit support from the machine
# Commands:
#   setup                     cross-builds the build when needed, makes the Wine
#                             prefix and the test assets
#   demo-plays-to-the-end     demo.exe with a short track exits 0 when the music ends
#   demo-without-music-fails  demo.exe without demo.mp3 exits 1 and names the file
#   demo-refuses-directories  demo.exe with a directory under a texture's name and
#                             under demo.mp3 says so for each and exits 1
#   renderers-agree           Wine's Direct3D 9 (demo-probe.exe) and our OpenGL device
#                             (demo-still) draw the same frames, within the tolerance
#   dds-reader-matches-d3dx   without d3dx9_43.dll, our DDS reader loads the textures
#                             (as shipped, uncompressed, without mip levels) as D3DX does
#   trace-matches-native      demo-trace.exe prints, byte for byte, what the native
#                             demo-trace prints, across the five scenes, both sides
#                             of each boundary, the start, the end, negative positions
#   archive-holds-its-files   the release ZIP (CPack, the preset's package target)
#                             holds exactly its files; needs no Wine
#   archive-runs-in-a-fresh-prefix
#                             demo.exe unpacked from the release ZIP plays a short
#                             track to its end in a new Wine prefix without
#                             d3dx9_43.dll
#   cleanup                   stops the prefix's Wine server
# Environment: WINE_TESTS_WORK (work directory), DEMO_ASSETS_TOOL, DEMO_STILL_TOOL,
# DEMO_TRACE_TOOL, IMAGE_COMPARE_TOOL, DDS_UNCOMPRESSED_TOOL (native tools); the
# defaults are those of build/native.
# Exits 77 (skipped) when Wine, Xvfb or the cross compiler is not installed, or
# when this machine cannot run the build's programs (scripts/wine-can-run.sh:
# a machine without IA-32 emulation runs the 64-bit build only).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-}
case $arch in
x86)
    preset=windows
    export WINEARCH=win32
    ;;
x64)
    preset=windows64
    export WINEARCH=win64
    ;;
esac
win_build=$root/build/$preset
native_build=$root/build/native
work=${WINE_TESTS_WORK:-$native_build/tests/windows/wine-$arch}
assets_tool=${DEMO_ASSETS_TOOL:-$native_build/tools/make-assets/demo-assets}
still_tool=${DEMO_STILL_TOOL:-$native_build/tools/still/demo-still}
trace_tool=${DEMO_TRACE_TOOL:-$native_build/tools/trace/demo-trace}
compare_tool=${IMAGE_COMPARE_TOOL:-$native_build/tests/windows/image-compare}
uncompressed_tool=${DDS_UNCOMPRESSED_TOOL:-$native_build/tests/windows/dds-uncompressed}

demo_exe=$win_build/app/demo.exe
probe_exe=$win_build/tools/probe/demo-probe.exe
trace_exe=$win_build/tools/trace/demo-trace.exe
# Wine's loader for the build, set by require_wine (the "wine" command picks
# the 32-bit loader whenever it is installed, even for a 64-bit program).
wine=

export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's waveOut goes to ALSA; its null device stands in for a sound card.
export XDG_CONFIG_HOME=$work/xdg

# Music positions compared, two or more per scene, away from the scene
# boundaries (6648556, 9977248, 13303876, 16631032), with the light they show.
frames=(
    "1000000 day"      # scene 1, the tree not yet grown
    "5000000 day"      # scene 1, the tree grown
    "8000000 night"    # scene 2
    "9900000 night"    # scene 2, the camera starting to look up
    "11500000 night"   # scene 3
    "13350000 night"   # scene 4, fading in from white
    "15000000 night"   # scene 4, the tree rocking
    "17500000 day"     # scene 5
    "18800000 day"     # scene 5, the crown closed
)
# Tolerance: mean channel difference (0..255) and share of pixels with a
# channel more than 32 apart, in percent, by the light of the frame.
# Apart from fog, the two renderers differ only on scattered edge pixels
# (measured with our fog computed Wine's way: mean under 0.06, under 0.05% of
# the pixels). The fog differs by design: Direct3D 9 documents vertex fog as a
# factor computed at each vertex, clamped to 0..1 and then interpolated, which
# our device does; Wine interpolates the eye depth instead and clamps the
# factor per pixel. Ground triangles crossing the fog range (2.5 to 5) then
# differ by up to about 170 levels near the camera and along the fog line: in
# daylight, under its bright fog, about 3 on the mean and 4.5% of the pixels;
# at night under 0.6 on the mean (measured).
# "same" is for two renderings through Wine that should not differ at all.
# "mipmaps" is for textures whose mip levels the loader makes from one image:
# D3DX documents a box filter as the default mip filter of
# D3DXCreateTextureFromFile, which our reader applies, while Wine's D3DX
# point-samples (each texel of level n + 1 is the top-left one of its 2 x 2
# block in level n); measured about 1.5 on the mean and 1.7% of the pixels.
tolerance_for() {
    case $1 in
    day) echo "4.0 6.0" ;;
    night) echo "1.0 0.2" ;;
    same) echo "0.5 0.1" ;;
    mipmaps) echo "2.5 3.0" ;;
    esac
}
threshold=32

short_track_seconds=3
long_track_seconds=50
wine_timeout=120

say() { echo "wine-tests: $*" >&2; }
# The comment at the top of this file.
usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
fail() {
    say "$*"
    exit 1
}

require_tools() {
    local missing=() compiler=i686-w64-mingw32-g++
    [[ $arch == x64 ]] && compiler=x86_64-w64-mingw32-g++
    for tool in "$compiler" cmake; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [[ ${#missing[@]} -gt 0 ]]; then
        say "skipped: ${missing[*]} not installed (scripts/install-deps.sh --windows installs them)"
        exit 77
    fi
}

# Skips (77) where Wine cannot run the build's programs.
require_wine() {
    local why
    if ! why=$("$root/scripts/wine-can-run.sh" "$arch" 2>&1 >/dev/null); then
        say "skipped: $why"
        exit 77
    fi
    wine=$("$root/scripts/wine-can-run.sh" "$arch" 2>/dev/null)
    export WINELOADER=$wine
}

# Ends the prefix's Wine server and its programs, and waits until it is gone:
# a program started while the old server is still going away could find it.
stop_wineserver() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

# Runs a Windows program in a directory, on its own virtual screen; prints its
# standard error and returns its exit status.
run_wine() {
    local dir=$1
    shift
    local status=0
    # Display numbers from 140 up, clear of other tests' xvfb-run (from 99).
    (cd "$dir" && timeout "$wine_timeout" xvfb-run -a -n 140 -s "-screen 0 1280x1024x24" \
        "$wine" "$@") || status=$?
    stop_wineserver
    return "$status"
}

cross_build() {
    if [[ ! -f $win_build/CMakeCache.txt ]]; then
        say "configuring the Windows build in $win_build"
        (cd "$root" && cmake --preset "$preset" >/dev/null)
    fi
    # Everything, so the Windows programs other tests run are current too.
    cmake --build "$win_build" -j "$(nproc)" >"$work/cross-build.log" 2>&1 ||
        fail "the Windows build failed; see $work/cross-build.log"
    [[ -f $demo_exe && -f $probe_exe && -f $trace_exe ]] ||
        fail "the Windows build made no $demo_exe, $probe_exe or $trace_exe; see $work/cross-build.log"
}

make_prefix() {
    if [[ -f $WINEPREFIX/system.reg ]]; then
        return
    fi
    say "making the Wine prefix $WINEPREFIX ($WINEARCH)"
    "$wine" wineboot.exe -u >/dev/null 2>&1
    wineserver -w
    # Without a window manager, a managed window takes 2 s to be destroyed.
    "$wine" reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >/dev/null 2>&1
    wineserver -w
    [[ -f $WINEPREFIX/system.reg ]] || fail "Wine made no prefix in $WINEPREFIX"
}

make_assets() {
    mkdir -p "$XDG_CONFIG_HOME/alsa" "$work/assets"
    echo 'pcm.!default { type null }' >"$XDG_CONFIG_HOME/alsa/asoundrc"
    [[ -x $assets_tool ]] || fail "no asset generator at $assets_tool"
    "$assets_tool" "$work/assets" --only textures >/dev/null
    "$assets_tool" --short-track "$short_track_seconds" "$work/assets/demo.mp3" >/dev/null
    # Long enough for the big-screen tests' second scene (tests/windows).
    mkdir -p "$work/assets-long"
    "$assets_tool" --short-track "$long_track_seconds" "$work/assets-long/demo.mp3" >/dev/null
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
    # The cross build is checked wherever it can be made, Wine or not.
    cross_build
    require_wine
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
    local elapsed=$((SECONDS - start))
    say "demo.exe with a ${short_track_seconds} s track: exit status $status after $elapsed s"
    [[ $status -eq 0 ]] || fail "expected exit status 0 at the end of the music"
    [[ $elapsed -ge $short_track_seconds ]] || fail "the show ended before the music could have"
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

cmd_demo_refuses_directories() {
    require_setup
    local dir
    dir=$(run_dir run-with-directories no-music)
    rm "$dir/grass.dds"
    mkdir "$dir/grass.dds" "$dir/demo.mp3"
    local status=0
    run_wine "$dir" "$demo_exe" 2>"$dir/stderr.txt" || status=$?
    cat "$dir/stderr.txt" >&2
    say "demo.exe with directories for grass.dds and demo.mp3: exit status $status"
    [[ $status -eq 1 ]] || fail "expected exit status 1 with a directory for demo.mp3"
    grep -q 'cannot load "grass.dds": a directory, not a file' "$dir/stderr.txt" ||
        fail "the texture's line does not say grass.dds is a directory"
    grep -q 'cannot play "demo.mp3": .*demo.mp3: a directory, not a file' "$dir/stderr.txt" ||
        fail "the music's line does not say demo.mp3 is a directory"
}

# Renders frames ("POSITION LIGHT" entries after the directory) through
# Wine's Direct3D 9 into $dir/probe.
probe_frames() {
    local dir=$1
    shift
    local positions=()
    for frame in "$@"; do
        positions+=("${frame%% *}")
    done
    mkdir -p "$dir/probe"
    run_wine "$dir" "$probe_exe" probe "${positions[@]}" >"$dir/probe.log" 2>&1 ||
        { cat "$dir/probe.log" >&2; fail "demo-probe.exe failed in $dir"; }
}

# Compares reference/frame-P.png with candidate/frame-P.png for each frame
# ("POSITION LIGHT" entries after the three directories), each within the
# tolerance of its light; prints a table, and returns 1 if any pair is beyond.
compare_frames() {
    local reference=$1 candidate=$2 diffs=$3
    shift 3
    local failed=0 line status pos light max_mean max_over
    mkdir -p "$diffs"
    say "$reference vs $candidate (tolerance: mean, % of pixels more than $threshold apart)"
    for frame in "$@"; do
        read -r pos light <<<"$frame"
        read -r max_mean max_over <<<"$(tolerance_for "$light")"
        status=0
        line=$("$compare_tool" --threshold "$threshold" --max-mean "$max_mean" \
            --max-over "$max_over" --diff "$diffs/diff-$pos.png" \
            "$reference/frame-$pos.png" "$candidate/frame-$pos.png") || status=$?
        if [[ $status -ne 0 ]]; then
            failed=1
            line="$line  BEYOND"
        fi
        printf '%-9s %-8s <= %s, %s%%  %s\n' "$pos" "$light" "$max_mean" "$max_over" "$line" >&2
    done
    [[ $failed -eq 0 ]] || say "frames differ beyond the tolerance; difference pictures in $diffs"
    return "$failed"
}

cmd_renderers_agree() {
    require_setup
    [[ -x $still_tool ]] || fail "no still renderer at $still_tool"
    local dir
    dir=$(run_dir renderers no-music)
    probe_frames "$dir" "${frames[@]}"
    mkdir -p "$dir/still"
    for frame in "${frames[@]}"; do
        local pos=${frame%% *}
        (cd "$dir" && SDL_VIDEODRIVER=offscreen "$still_tool" "$pos" "still/frame-$pos.png" \
            --size 960x544 >/dev/null) || fail "demo-still failed at $pos"
    done
    compare_frames "$dir/probe" "$dir/still" "$dir/diff" "${frames[@]}" || exit 1
}

# Rewrites the textures of a run directory: "shipped" leaves the DXT files
# with their mip levels, "uncompressed" decodes every level to A8R8G8B8, and
# "single-level" keeps only the largest, so the loader makes the mip levels.
texture_variant() {
    local dir=$1 variant=$2
    [[ $variant == shipped ]] && return
    local option=()
    [[ $variant == single-level ]] && option=(--single-level)
    for texture in "$dir"/*.dds; do
        "$uncompressed_tool" "${option[@]}" "$texture" "$texture.new" && mv "$texture.new" "$texture"
    done
}

cmd_dds_reader_matches_d3dx() {
    require_setup
    [[ -x $uncompressed_tool ]] || fail "no DDS rewriter at $uncompressed_tool"
    local failed=0 variant light with_d3dx without_d3dx
    for variant in shipped uncompressed single-level; do
        light=same
        [[ $variant == single-level ]] && light=mipmaps
        local compared=("1000000 $light" "8000000 $light" "17500000 $light")
        with_d3dx=$(run_dir "dds-$variant/with-d3dx" no-music)
        without_d3dx=$(run_dir "dds-$variant/without-d3dx" no-music)
        texture_variant "$with_d3dx" "$variant"
        texture_variant "$without_d3dx" "$variant"
        probe_frames "$with_d3dx" "${compared[@]}"
        # An empty override disables the DLL: LoadLibrary fails as on a bare Windows.
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3dx9_43=" probe_frames "$without_d3dx" "${compared[@]}"
        say "textures: $variant"
        compare_frames "$with_d3dx/probe" "$without_d3dx/probe" "$without_d3dx/diff" \
            "${compared[@]}" || failed=1
    done
    [[ $failed -eq 0 ]] || fail "our DDS reader and D3DX load different textures"
}

# The release ZIP of the build, made when needed.
archive_of_build() {
    (cd "$root" && cmake --build --preset "$preset" --target package) >"$work/package.log" 2>&1 ||
        fail "the Windows archive could not be made; see $work/package.log"
    local archive
    archive=$(ls -t "$win_build"/package/night-tree-*-windows-"$arch".zip 2>/dev/null | head -n 1)
    [[ -n $archive ]] || fail "no night-tree-*-windows-$arch.zip in $win_build/package; see $work/package.log"
    echo "$archive"
}

cmd_archive_holds_its_files() {
    mkdir -p "$work"
    local archive listed expected
    archive=$(archive_of_build)
    listed=$(cd "$work" && cmake -E tar tf "$archive" | sed 's|^\./||' | grep -v '/$' | sort)
    expected=$(printf '%s\n' README.txt demo.exe demo.mp3 grass.dds ground.dds leaf.dds \
        screenshot.png tree.dds | sort)
    [[ $listed == "$expected" ]] ||
        fail "$archive holds:"$'\n'"$listed"$'\n'"instead of:"$'\n'"$expected"
    # The program is the build's own, for its processor.
    local dir=$work/archive-contents
    rm -rf "$dir"
    mkdir -p "$dir"
    (cd "$dir" && cmake -E tar xf "$archive")
    cmp -s "$dir/demo.exe" "$demo_exe" || fail "the archive's demo.exe is not $demo_exe"
    grep -q $'\r$' "$dir/README.txt" || fail "the archive's README.txt does not have Windows line ends"
    say "$(basename "$archive") holds exactly its $(wc -l <<<"$listed") files"
}

cmd_archive_runs_in_a_fresh_prefix() {
    require_setup
    local archive
    archive=$(archive_of_build)
    local dir=$work/archive
    rm -rf "$dir"
    mkdir -p "$dir"
    (cd "$dir" && cmake -E tar xf "$archive")
    # A short track in place of the music, so that the run ends soon.
    cp "$work/assets/demo.mp3" "$dir/demo.mp3"

    local status=0
    (
        export WINEPREFIX=$work/fresh-prefix
        rm -rf "$WINEPREFIX"
        make_prefix
        # No D3DX, as on a fresh Windows: the program reads the textures itself.
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3dx9_43=" run_wine "$dir" demo.exe 2>"$dir/stderr.txt"
    ) || status=$?
    cat "$dir/stderr.txt" >&2
    say "demo.exe unpacked from $(basename "$archive"), fresh prefix: exit status $status"
    [[ $status -eq 0 ]] || fail "expected exit status 0 at the end of the music"
    if grep -q 'cannot load' "$dir/stderr.txt"; then
        fail "a texture did not load without D3DX"
    fi
}

# Music positions whose traces are compared (trace_positions), shared with
# the other builds' trace comparisons.
# shellcheck source=scripts/trace-positions.sh
source "$root/scripts/trace-positions.sh"

cmd_trace_matches_native() {
    require_setup
    [[ -x $trace_tool ]] || fail "no native trace tool at $trace_tool"
    local dir=$work/trace failed=0 pos
    rm -rf "$dir"
    mkdir -p "$dir"
    # One server for all the runs, rather than one started and stopped (after
    # three idle seconds) between some of them.
    stop_wineserver
    wineserver -p || fail "cannot start the Wine server for $WINEPREFIX"
    trap stop_wineserver EXIT
    for pos in "${trace_positions[@]}"; do
        "$trace_tool" "$pos" >"$dir/native-$pos.txt" || fail "demo-trace $pos failed"
        local status=0
        (cd "$dir" && timeout "$wine_timeout" "$wine" "$trace_exe" "$pos" \
            >"$dir/windows-$pos.txt" 2>"$dir/windows-$pos.err") || status=$?
        [[ $status -eq 0 ]] ||
            fail "demo-trace.exe $pos failed with status $status: $(tail -n 5 "$dir/windows-$pos.err")"
        if ! cmp -s "$dir/native-$pos.txt" "$dir/windows-$pos.txt"; then
            say "position $pos: the traces differ (first difference below)"
            diff "$dir/native-$pos.txt" "$dir/windows-$pos.txt" | head -n 4 >&2 || true
            head -n 5 "$dir/windows-$pos.err" >&2
            failed=1
        fi
    done
    [[ $failed -eq 0 ]] || fail "demo-trace.exe and demo-trace differ; traces in $dir"
    say "demo-trace.exe ($arch) prints byte for byte what demo-trace prints at ${#trace_positions[@]} positions"
}

cmd_cleanup() {
    if command -v wineserver >/dev/null && [[ -d $WINEPREFIX ]]; then
        stop_wineserver
    fi
}

main() {
    if [[ $arch == -h || $arch == --help ]]; then
        usage
        return
    fi
    if [[ -z $preset ]]; then
        usage >&2
        exit 2
    fi
    local command=${2:-}
    case $command in
    setup | demo-plays-to-the-end | demo-without-music-fails | demo-refuses-directories | \
        renderers-agree | dds-reader-matches-d3dx | trace-matches-native | \
        archive-runs-in-a-fresh-prefix)
        require_tools
        [[ $command == setup ]] || require_wine
        "cmd_${command//-/_}"
        ;;
    archive-holds-its-files)
        require_tools
        cmd_archive_holds_its_files
        ;;
    cleanup) cmd_cleanup ;;
    -h | --help) usage ;;
    *)
        usage >&2
        exit 2
        ;;
    esac
}

main "$@"
