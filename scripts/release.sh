#!/usr/bin/env bash
# Builds every release archive this machine can build and gathers them in
# build/release/ with their SHA256SUMS:
#   night-tree-VERSION-windows-x86.zip     Windows, 32-bit (windows preset)
#   night-tree-VERSION-windows-x64.zip     Windows, 64-bit (windows64 preset)
#   night-tree-VERSION-linux-ARCH.tar.gz   Linux, any distribution (native preset)
#   night-tree_VERSION_ARCH.deb            Debian and Ubuntu (native preset)
#   night-tree-VERSION-web.zip             the web site's folder (web preset)
# It installs the packages it needs, configures the presets not yet configured
# and builds what is out of date. An archive this machine cannot build (no
# mingw-w64, no Emscripten) is named and skipped; the command then ends with
# status 3 after making the others.
set -euo pipefail

usage() {
    sed -n '2,13s/^# \{0,1\}//p' "$0"
    echo
    echo "Usage: scripts/release.sh [--help]"
}
case "${1:-}" in
-h | --help) usage; exit 0 ;;
"") ;;
*) usage >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
say() { echo "release: $*" >&2; }

scripts/install-deps.sh
# The cross toolchains and Emscripten: without them (an apt that cannot
# reach them, no i386 architecture) the archives that need them are skipped.
scripts/install-deps.sh --windows --web ||
    say "could not install the Windows and web toolchains; building what this machine can"

configure() {
    [[ -f build/$1/CMakeCache.txt ]] || cmake --preset "$1" >/dev/null
}

made=()
skipped=()

# Native first: the other builds take their music and textures from it.
configure native
cmake --build --preset native -j "$jobs" --target package
# Apart: each runs CPack, which first brings the whole build up to date.
cmake --build --preset native -j "$jobs" --target deb
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/native/CMakeCache.txt)
made+=("build/native/package/night-tree-$version-linux-$(uname -m).tar.gz"
       "build/native/package/night-tree_${version}_$(dpkg --print-architecture).deb")

for preset in windows windows64; do
    if [[ $preset == windows ]]; then compiler=i686-w64-mingw32-g++ arch=x86; else compiler=x86_64-w64-mingw32-g++ arch=x64; fi
    if ! command -v "$compiler" >/dev/null; then
        skipped+=("night-tree-$version-windows-$arch.zip: no $compiler (scripts/install-deps.sh --windows)")
        continue
    fi
    configure "$preset"
    cmake --build --preset "$preset" -j "$jobs" --target package
    made+=("build/$preset/package/night-tree-$version-windows-$arch.zip")
done

if command -v emcc >/dev/null; then
    configure web
    cmake --build --preset web -j "$jobs" --target web-zip
    made+=("build/web/package/night-tree-$version-web.zip")
else
    skipped+=("night-tree-$version-web.zip: no Emscripten (scripts/install-deps.sh --web)")
fi

release=$root/build/release
rm -rf "$release"
mkdir -p "$release"
for file in "${made[@]}"; do
    [[ -f $file ]] || { say "the build did not make $file"; exit 1; }
    cp "$file" "$release/"
done
names=()
for file in "${made[@]}"; do names+=("$(basename "$file")"); done
(cd "$release" && sha256sum "${names[@]}" >SHA256SUMS)

echo "Release $version in build/release/:"
(cd "$release" && for name in "${names[@]}" SHA256SUMS; do
    printf '  %-40s %10s bytes  %s\n' "$name" "$(stat -c %s "$name")" "$(du -h "$name" | cut -f1)"
done)
echo "Check them with: cd build/release && sha256sum -c SHA256SUMS"
if [[ ${#skipped[@]} -gt 0 ]]; then
    for reason in "${skipped[@]}"; do say "not made: $reason"; done
    exit 3
fi
