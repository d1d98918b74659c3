#!/usr/bin/env bash
# The Debian package: made by the build's deb target, it holds exactly its
# files, owned by root, with Depends computed from the program; lintian finds
# no error in it. Installed with apt-get, `night-tree` plays the end of the
# show from any folder with the files under /usr/share/night-tree, and its
# desktop entry is valid; removed with --purge, none of its files is left.
# Skipped (77) when not root, or when a night-tree package is already on the
# machine (it is not replaced).
# Usage: deb_install_test.sh BUILD_DIR WORK_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
work=$2

fail() {
    echo "deb_install_test: $*" >&2
    exit 1
}
skip() {
    echo "skipped: $*"
    exit 77
}

[[ $(id -u) -eq 0 ]] || skip "installing a package needs root"
status=$(dpkg-query -W -f='${db:Status-Abbrev}' night-tree 2>/dev/null || true)
[[ -z $status || $status == un* ]] ||
    skip "a night-tree package is already on this machine (dpkg status '$status'); not replacing it"
for tool in lintian desktop-file-validate dpkg-shlibdeps; do
    command -v "$tool" >/dev/null ||
        skip "$tool is missing (scripts/install-deps.sh installs it)"
done

rm -rf "$work"
mkdir -p "$work/elsewhere"
cmake --build "$build" --target deb >"$work.log" 2>&1 || fail "the deb target failed; see $work.log"
arch=$(dpkg --print-architecture)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/package/night-tree_${version}_${arch}.deb
[[ -f $deb ]] || fail "no $(basename "$deb") in $build/package; see $work.log"

# Its fields; Depends comes from dpkg-shlibdeps, so it names the libraries the
# program links with.
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == night-tree && $(field Section) == games ]] ||
    fail "package $(field Package), section $(field Section)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "maintainer '$(field Maintainer)'"
depends=$(field Depends)
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for library in libsdl2-2.0-0 libmpg123-0 libopengl0 libc6 libstdc++6; do
    grep -qxF "$library" <<<"$names" || fail "Depends lacks $library: $depends"
done

# Exactly these files, all root's, the programs executable and stripped.
expected=$(printf '%s\n' \
    ./usr/games/night-tree \
    ./usr/lib/night-tree/demo \
    ./usr/share/applications/night-tree.desktop \
    ./usr/share/doc/night-tree/changelog.gz \
    ./usr/share/doc/night-tree/copyright \
    ./usr/share/icons/hicolor/256x256/apps/night-tree.png \
    ./usr/share/man/man6/night-tree.6.gz \
    ./usr/share/night-tree/demo.mp3 \
    ./usr/share/night-tree/grass.dds \
    ./usr/share/night-tree/ground.dds \
    ./usr/share/night-tree/leaf.dds \
    ./usr/share/night-tree/tree.dds | sort)
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ { print $6 }' <<<"$listing" | sort)
[[ $files == "$expected" ]] || fail "the package holds:"$'\n'"$files"$'\n'"instead of:"$'\n'"$expected"
not_root=$(awk '$2 != "root/root"' <<<"$listing")
[[ -z $not_root ]] || fail "not owned by root:"$'\n'"$not_root"
for program in ./usr/games/night-tree ./usr/lib/night-tree/demo; do
    grep -q "^-rwxr-xr-x .* $program\$" <<<"$listing" || fail "$program is not 0755"
done
dpkg-deb -x "$deb" "$work/contents"
[[ -z $(objdump -h "$work/contents/usr/lib/night-tree/demo" | grep -E '\.(symtab|debug_)') ]] ||
    fail "the program is not stripped"
# The icon: a 256x256 PNG (IHDR, then the width and the height, after the
# 8-byte signature and the chunk's length).
icon=$work/contents/usr/share/icons/hicolor/256x256/apps/night-tree.png
[[ $(od -An -tx1 -j12 -N12 "$icon" | tr -d ' \n') == 494844520000010000000100 ]] ||
    fail "the icon is not a 256x256 PNG"

lintian "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
! grep -q '^E:' "$work/lintian.txt" || fail "lintian reports errors"

# Installed as a user would install it; removed on the way out whatever happens.
installed=0
cleanup() {
    if [[ $installed -eq 1 ]] && dpkg-query -W night-tree >/dev/null 2>&1; then
        apt-get remove --purge -y night-tree >>"$work/apt.log" 2>&1 ||
            echo "deb_install_test: could not remove night-tree; see $work/apt.log" >&2
    fi
}
trap cleanup EXIT
existed=$(for dir in $(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ { print substr($6, 2) }'); do
    if [[ -e $dir ]]; then echo "${dir%/}"; fi
done)
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >"$work/apt.log" 2>&1 ||
    fail "apt-get install failed; see $work/apt.log"
owned=$(dpkg -L night-tree)

# /usr/games is on a user's PATH (not on root's).
export PATH=$PATH:/usr/games
[[ $(command -v night-tree) == /usr/games/night-tree ]] || fail "night-tree is not /usr/games/night-tree"
cd "$work/elsewhere"
night-tree --help >"$work/help.txt" 2>&1 || fail "night-tree --help ended with status $?"
grep -q -- "--fullscreen" "$work/help.txt" || fail "night-tree --help does not list the options"
code=0
night-tree --from 999999s >/dev/null 2>&1 || code=$?
[[ $code -eq 2 ]] || fail "a --from past the music's end ended with status $code, not 2"
# The last two seconds of the show, offscreen and silent: the music and the
# textures are found (a missing one is said), and the show ends by itself.
code=0
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout 120 night-tree --from 110s \
    >"$work/output.txt" 2>&1 || code=$?
cat "$work/output.txt"
[[ $code -eq 0 ]] || fail "night-tree --from 110s ended with status $code"
[[ ! -s $work/output.txt ]] || fail "the show said something; it should play silently to its end"
cd /
desktop-file-validate /usr/share/applications/night-tree.desktop || fail "the desktop entry is not valid"

installed=0
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y night-tree >>"$work/apt.log" 2>&1 ||
    fail "apt-get remove failed; see $work/apt.log"
left=$(while read -r path; do
    [[ $path == /. ]] && continue
    if [[ -e $path || -L $path ]] && ! grep -qxF "$path" <<<"$existed"; then echo "$path"; fi
done <<<"$owned")
[[ -z $left ]] || fail "left after removal:"$'\n'"$left"
echo "deb_install_test: $(basename "$deb") installs, plays from any folder and leaves nothing behind"
