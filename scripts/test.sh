#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the native build with its unit, device and end-to-end tests, the
#      Windows build under Wine, and the web build in Chromium and Node.js;
#   2. the sanitizer build (address, leak, undefined behaviour): every native
#      test again, then a capture of the whole show;
#   3. each fuzzer (DDS textures, MP3 streams) for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows --web
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)"
cmake --preset web >/dev/null
cmake --build --preset web -j "$(nproc)"
ctest --preset native -j "$(nproc)"
if ! why=$(scripts/wine-can-run.sh 2>&1); then
    echo "test: the Windows build was cross-compiled but not run under Wine: $why" >&2
fi

scripts/sanitize.sh
scripts/fuzz.sh 60
