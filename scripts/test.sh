#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the native build with its unit, device and end-to-end tests, both
#      Windows builds under Wine (the 32-bit one where this machine runs
#      32-bit programs), the web build in Chromium and Node.js, and the
#      aarch64 cross build's trace under qemu-aarch64;
#   2. the sanitizer build (address, leak, undefined behaviour): every native
#      test again, then a capture of the whole show;
#   3. each fuzzer (DDS textures, MP3 streams) for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows --web --cross
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)"
cmake --preset web >/dev/null
cmake --build --preset web -j "$(nproc)"
ctest --preset native -j "$(nproc)"
for arch in x86 x64; do
    if ! why=$(scripts/wine-can-run.sh "$arch" 2>&1 >/dev/null); then
        echo "test: the $arch Windows build was cross-compiled and checked, but not run under Wine: $why" >&2
    fi
done

scripts/sanitize.sh
scripts/fuzz.sh 60
