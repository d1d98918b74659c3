#!/usr/bin/env bash
# Builds the demo, generates its textures and music if they are missing, and
# plays the show in a window with sound. On a machine without a display it
# records the show to a video instead and says where the file is.
#   scripts/run.sh          the native build, as above
#   scripts/run.sh --web    the web build: builds build/web/site and serves it on
#                           127.0.0.1 (port 8000, or $PORT) for a browser to open
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "${1:-}" == "--web" ]]; then
    scripts/install-deps.sh --web
    cmake --preset web >/dev/null
    cmake --build --preset web -j "$(nproc)" --target site
    port=${PORT:-8000}
    echo "run: the show is at http://127.0.0.1:$port/ (Ctrl-C stops the server)" >&2
    exec python3 -m http.server --bind 127.0.0.1 --directory build/web/site "$port"
elif [[ $# -gt 0 ]]; then
    echo "usage: scripts/run.sh [--web]" >&2
    exit 2
fi

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
