#!/usr/bin/env bash
# Our Windows audio library under Wine, against the Linux one.
#   wine_check.sh x86|x64 <audio_probe.exe> <audio-reference> <work directory>
# audio_probe.exe comes from the Windows build of that architecture (cmake
# --preset windows or windows64, then cmake --build --preset ... --target
# audio_probe); this script builds nothing and exits 77 (skipped) when the
# probe or Wine is missing, or when this machine cannot run the build's
# programs (scripts/wine-can-run.sh).
#
# Checks:
#  - decoding: for MP3s of several kinds, ACM's decode (trimmed by the LAME
#    tag) has the length and alignment of libmpg123's gapless decode, and no
#    sample differs by more than $tolerance (two decoders, two roundings);
#    streams at other rates than 44100 Hz keep length and alignment;
#  - playing: through waveOut on Wine's null ALSA output and, with no output
#    device, on the silent clock, the position never goes back, stays within
#    one buffer of what the output was handed, takes the music's own length,
#    and the stream stops and frees itself;
#  - pause, resume and set-position: on waveOut and on the silent clock, the
#    checks of tests/audio/transport_checks.h, the seek accuracy printed;
#  - refusing: a WAV file named .mp3 and a missing file give their error codes.
set -euo pipefail

usage="usage: wine_check.sh x86|x64 <audio_probe.exe> <audio-reference> <work directory>"
arch=${1:?$usage}
probe=${2:?$usage}
reference=${3:?$usage}
work=${4:?$usage}

# Largest difference allowed between the two decoders' samples, of 32767.
tolerance=4

say() { echo "wine_check: $*" >&2; }

if [[ ! -f $probe ]]; then
    say "skipped: $probe is not built (cmake --preset windows && cmake --build --preset windows --target audio_probe)"
    exit 77
fi
can_run=$(dirname "$0")/../../scripts/wine-can-run.sh
if ! why=$("$can_run" "$arch" 2>&1 >/dev/null); then
    say "skipped: $why"
    exit 77
fi
wine=$("$can_run" "$arch")
export WINELOADER=$wine

mkdir -p "$work"
work=$(cd "$work" && pwd)
export WINEPREFIX=$work/prefix
export WINEARCH=win32
[[ $arch == x64 ]] && WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null || true' EXIT

if [[ ! -f $WINEPREFIX/system.reg ]]; then
    say "making the Wine prefix $WINEPREFIX"
    "$wine" wineboot.exe -u >/dev/null 2>&1
    wineserver -w
fi
# Wine's waveOut plays to ALSA; a null device stands in for a sound card.
mkdir -p "$work/xdg/alsa" "$work/no-device"
echo 'pcm.!default { type null }' >"$work/xdg/alsa/asoundrc"
echo '# no devices' >"$work/no-device/none.conf"

failures=0
check() {
    if ! "$@"; then
        say "FAILED: ${*##*/}"
        failures=$((failures + 1))
    fi
}

cd "$work"
# name rate channels seconds kind
cases=(
    "cbr-stereo 44100 2 3 cbr"
    "vbr-stereo 44100 2 3 vbr"
    "cbr-mono 44100 1 2 cbr"
    "no-tag 44100 2 1 notag"
    "short 44100 2 0.1 cbr"
    "resampled-48k 48000 2 1 cbr"
    "resampled-22k-mono 22050 1 1 cbr"
)
for entry in "${cases[@]}"; do
    read -r name rate channels seconds kind <<<"$entry"
    "$reference" make "$name.mp3" "$rate" "$channels" "$seconds" "$kind"
    "$reference" decode "$name.mp3" "$name.linux.pcm"
    check "$wine" "$probe" decode "$name.mp3" "$name.windows.pcm"
    if [[ $rate == 44100 ]]; then
        check "$reference" compare "$name.windows.pcm" "$name.linux.pcm" "$tolerance"
    else
        # Each library resamples with its own filter (ACM's converter, SDL's):
        # the same length and alignment, not the same samples.
        check "$reference" compare-resampled "$name.windows.pcm" "$name.linux.pcm"
    fi
done

"$reference" make play.mp3 44100 2 1.5 cbr
XDG_CONFIG_HOME=$work/xdg check "$wine" "$probe" play play.mp3
# With no ALSA device at all, waveOutOpen fails and the clock plays silently.
XDG_CONFIG_HOME=$work/no-device ALSA_CONFIG_PATH=$work/no-device/none.conf \
    check "$wine" "$probe" play play.mp3 --silent

# Pause, resume and seeks: the checks the Linux outputs pass (transport_checks.h).
"$reference" make transport.mp3 44100 2 2.5 cbr
XDG_CONFIG_HOME=$work/xdg check "$wine" "$probe" transport transport.mp3
XDG_CONFIG_HOME=$work/no-device ALSA_CONFIG_PATH=$work/no-device/none.conf \
    check "$wine" "$probe" transport transport.mp3 --silent

"$reference" make-wav renamed.mp3 0.5
check "$wine" "$probe" open renamed.mp3 41       # BASS_ERROR_FILEFORM
check "$wine" "$probe" open missing.mp3 2        # BASS_ERROR_FILEOPEN
check "$wine" "$probe" open play.mp3 0

if [[ $failures -gt 0 ]]; then
    say "$failures check(s) failed"
    exit 1
fi
say "all checks passed"
