#!/usr/bin/env bash
# The web release archive: the web build's web-zip target packs exactly the
# site's files, flat, byte for byte; unzipped into a fresh folder, that folder
# served as it is plays the show in Chromium (browser_test.py's show case).
# Skipped (77) when the web build is not configured.
# Usage: web_zip_test.sh WEB_BUILD WORK_DIR
set -euo pipefail

web=$1
work=$2

fail() {
    echo "web_zip_test: $*" >&2
    exit 1
}

if [[ ! -f $web/CMakeCache.txt ]]; then
    echo "skipped: the web build is not configured (cmake --preset web; scripts/install-deps.sh --web installs what it needs)"
    exit 77
fi
command -v unzip >/dev/null || fail "unzip is missing (scripts/install-deps.sh installs it)"

cmake --build "$web" --target web-zip >"$work.log" 2>&1 || fail "the web-zip target failed; see $work.log"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$web/CMakeCache.txt")
zip=$web/package/night-tree-$version-web.zip
[[ -f $zip ]] || fail "no $(basename "$zip"); see $work.log"

expected=$(printf '%s\n' index.html still.html page.css files.js player.js show.js still.js demo.js demo.wasm \
    demo-still.js demo-still.wasm demo.mp3 tree.dds leaf.dds ground.dds grass.dds | sort)
listed=$(unzip -Z1 "$zip" | sort)
[[ $listed == "$expected" ]] ||
    fail "$(basename "$zip") holds:"$'\n'"$listed"$'\n'"instead of:"$'\n'"$expected"

rm -rf "$work"
mkdir -p "$work"
unzip -q "$zip" -d "$work/site"
for name in $expected; do
    cmp -s "$work/site/$name" "$web/site/$name" || fail "$name differs from the site's"
done

WEB_BUILD=$web WEB_SITE=$work/site /usr/bin/python3 "$(dirname "$0")/../web/browser_test.py" show ||
    fail "the unzipped site does not play the show (status $?)"
echo "web_zip_test: $(basename "$zip") holds the site and plays from a fresh folder"
