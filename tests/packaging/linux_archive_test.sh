#!/usr/bin/env bash
# The Linux release archive: made by CPack through the build's package
# target, it holds exactly the program, the music, the four textures,
# README.txt, the screenshot and the launcher; unpacked into an empty folder,
# with a short track in place of the music, the launcher plays the show to
# its end from any working folder, and the program needs nothing from the
# system beyond the libraries README.txt names.
# Usage: linux_archive_test.sh BUILD_DIR SHORT_TRACK WORK_DIR
set -euo pipefail

build=$1
short_track=$2
work=$3

fail() {
    echo "linux_archive_test: $*" >&2
    exit 1
}

cmake --build "$build" --target package >"$work.log" 2>&1 ||
    fail "the package target failed; see $work.log"
archive=$(ls -t "$build"/package/night-tree-*-linux-*.tar.gz 2>/dev/null | head -n 1)
[[ -n $archive ]] || fail "no archive in $build/package"

listed=$(tar tzf "$archive" | sed 's|^\./||' | grep -v '/$' | sort)
expected=$(printf '%s\n' README.txt demo demo.mp3 grass.dds ground.dds leaf.dds night-tree.sh \
    screenshot.png tree.dds | sort)
[[ $listed == "$expected" ]] ||
    fail "$(basename "$archive") holds:"$'\n'"$listed"$'\n'"instead of:"$'\n'"$expected"

rm -rf "$work"
mkdir -p "$work/unpacked" "$work/elsewhere"
tar xzf "$archive" -C "$work/unpacked"
cp "$short_track" "$work/unpacked/demo.mp3"

# Beyond the C and C++ runtimes: SDL2, libmpg123 and OpenGL, as README.txt says.
needed=$(objdump -p "$work/unpacked/demo" | awk '/NEEDED/ { print $2 }' | sort)
for library in $needed; do
    case $library in
    libSDL2-2.0.so.* | libmpg123.so.* | libOpenGL.so.* | libstdc++.so.* | libm.so.* | \
        libgcc_s.so.* | libc.so.* | libdl.so.* | libpthread.so.*) ;;
    *) fail "the program needs $library, which README.txt does not name" ;;
    esac
done
for named in SDL2 libmpg123 libOpenGL; do
    grep -q "$named" "$work/unpacked/README.txt" || fail "README.txt does not name $named"
done

status=0
(cd "$work/elsewhere" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
    timeout 120 ../unpacked/night-tree.sh) >"$work/output.txt" 2>&1 || status=$?
cat "$work/output.txt"
[[ $status -eq 0 ]] || fail "the launcher ended with status $status"
[[ ! -s $work/output.txt ]] || fail "the show said something; it should play silently to its end"
echo "linux_archive_test: $(basename "$archive") holds its files and plays from any folder"
