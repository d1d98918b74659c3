#!/bin/sh
# The windowing tests of the shared behaviour against the page's half of the
# windowing layer: the web build's win32_page_tests under Node.js.
#
#     page_host_test.sh WEB_BUILD
#
# Exits 77 (skipped) when WEB_BUILD is not configured.
web_build=$1
if [ ! -f "$web_build/CMakeCache.txt" ]; then
    echo "skipped: the web build is not configured (cmake --preset web;" \
        "scripts/install-deps.sh --web installs what it needs)"
    exit 77
fi
cmake --build "$web_build" --target win32_page_tests || exit 1
exec node "$web_build/tests/win32/win32_page_tests.js"
