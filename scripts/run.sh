#!/usr/bin/env bash
# Builds the demo, generates its textures and music if they are missing, and
# plays the show in a window with sound. On a machine without a display it
# records the show to a video instead and says where the file is.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target demo demo-capture assets

assets="$PWD/build/native/assets"
cd "$assets"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec ../app/demo
fi

video="$PWD/demo.mp4"
echo "run: no display here, so the show is recorded to a video instead." >&2
SDL_VIDEODRIVER=offscreen ../tools/capture/demo-capture --size 960x544 --fps 60 "$video"
echo "run: the show is in $video" >&2
