#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need.
# Idempotent: packages already present are skipped without touching apt.
#   scripts/install-deps.sh            native build, tools, tests and the Debian package
#   scripts/install-deps.sh --windows  also the mingw-w64 cross toolchain, Wine and Xvfb
#   scripts/install-deps.sh --web      also Emscripten, and Chromium, chromedriver,
#                                      WebKitWebDriver (with WebKitGTK's MiniBrowser)
#                                      and Selenium for the browser tests
#   scripts/install-deps.sh --cross    also the aarch64 cross compiler and qemu-aarch64,
#                                      which runs its programs
# The options combine: --windows --web --cross installs all three.
set -euo pipefail

native=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
        libsdl2-dev libmpg123-dev libmp3lame-dev libpng-dev libstb-dev
        libgl-dev libegl-dev libopengl-dev libgl1-mesa-dri ffmpeg xvfb xauth libx11-dev libxtst-dev libxfixes-dev
        clang libclang-rt-14-dev dpkg-dev lintian desktop-file-utils unzip)
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 libgl1:i386 libgl1-mesa-dri:i386
         libglx-mesa0:i386)
web=(emscripten chromium chromium-driver webkit2gtk-driver python3-selenium)
cross=(g++-aarch64-linux-gnu qemu-user)

want=("${native[@]}")
for option in "$@"; do
    case "$option" in
        --windows) want+=("${windows[@]}") ;;
        --web) want+=("${web[@]}") ;;
        --cross) want+=("${cross[@]}") ;;
        *) echo "install-deps: unknown option $option (--windows, --web, --cross)" >&2; exit 2 ;;
    esac
done

missing=()
for pkg in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
if [[ " ${missing[*]} " == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -q i386; then
    $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
