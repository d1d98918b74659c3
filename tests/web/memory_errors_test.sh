#!/usr/bin/env bash
# The web build reports music and a texture that do not fit in its memory
# with the desktop builds' errors (out of memory, the file named) instead of
# ending: memory-errors (tests/web/node), whose heap is capped at 64 MB, is
# given an 80 MB file. Exits 77 when the web build is not configured.
set -euo pipefail
web_build=${WEB_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build/web}
if [[ ! -f $web_build/CMakeCache.txt ]]; then
    echo "skipped: the web build is not configured (cmake --preset web)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
truncate -s 80M "$work/big.mp3"
node "$web_build/tests/web/node/memory-errors.js" "$work/big.mp3"
