#!/usr/bin/env bash
# Builds the demo, generates its textures and music if they are missing,
# and plays the show in a window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target demo assets

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run: no display (DISPLAY and WAYLAND_DISPLAY are unset); the demo needs a desktop to open its window." >&2
    exit 1
fi
cd build/native/assets
exec ../app/demo
