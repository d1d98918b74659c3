#!/usr/bin/env bash
# What can be checked of the Windows programs without running them, on any
# machine (scripts/check-windows-exe.sh: format and processor, subsystem,
# DLLs, every import found in Wine's DLLs). Called by CTest (tests/windows),
# one command per test:
#   check PRESET ARCH SUBSYSTEM TARGET EXE
#       configures build/PRESET with that preset when it is not configured yet,
#       builds its CMake target TARGET, and checks the program it makes, EXE (a
#       path inside the build folder), with --arch ARCH --subsystem SUBSYSTEM.
#       Skipped (77) when the build defines no such target, e.g.
#         check windows x86 gui demo app/demo.exe
#   checker-catches-faults WORKDIR
#       builds small programs in WORKDIR with the mingw-w64 cross compilers,
#       each breaking one rule (a GCC runtime DLL, D3DX, a function or an
#       ordinal Wine's kernel32.dll lacks, the console subsystem where a GUI
#       one is wanted and the other way round, the other processor, no PE file
#       at all), and requires the checker to refuse each with the fault named,
#       to pass the programs that keep the rules, and to skip (77) without
#       Wine's DLLs.
#   --help
#       this text
# Exits 77 (skipped) when the cross compiler, its objdump or Wine's Windows
# DLLs are not installed (scripts/install-deps.sh --windows installs them).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
checker=$root/scripts/check-windows-exe.sh

say() { echo "exe-check-tests: $*" >&2; }
usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
fail() {
    say "$*"
    exit 1
}
skip() {
    say "skipped: $*"
    exit 77
}

triple_of() {
    case $1 in
    x86) echo i686-w64-mingw32 ;;
    x64) echo x86_64-w64-mingw32 ;;
    *) fail "unknown architecture \"$1\"" ;;
    esac
}
wine_dlls_of() {
    case $1 in
    x86) echo /usr/lib/i386-linux-gnu/wine/i386-windows ;;
    x64) echo /usr/lib/x86_64-linux-gnu/wine/x86_64-windows ;;
    esac
}

# Skips unless the cross tools and Wine's DLLs of each architecture are here.
require_tools() {
    local missing=() arch triple
    for arch in "$@"; do
        triple=$(triple_of "$arch")
        for tool in "$triple-gcc" "$triple-g++" "$triple-objdump" "$triple-dlltool"; do
            command -v "$tool" >/dev/null || missing+=("$tool")
        done
        [[ -d $(wine_dlls_of "$arch") ]] || missing+=("Wine's DLLs in $(wine_dlls_of "$arch")")
    done
    command -v cmake >/dev/null || missing+=(cmake)
    if [[ ${#missing[@]} -gt 0 ]]; then
        skip "${missing[*]} not installed (scripts/install-deps.sh --windows installs them)"
    fi
}

# check PRESET ARCH SUBSYSTEM TARGET EXE
check() {
    [[ $# -eq 5 ]] || fail "check needs PRESET ARCH SUBSYSTEM TARGET EXE"
    local preset=$1 arch=$2 subsystem=$3 target=$4 exe=$5
    local build=$root/build/$preset
    require_tools "$arch"
    if [[ ! -f $build/CMakeCache.txt ]]; then
        say "configuring $build with the \"$preset\" preset"
        (cd "$root" && cmake --preset "$preset" >/dev/null) ||
            fail "cmake --preset $preset failed in $root"
    else
        # Up to date with the CMake files, so the targets below are today's.
        cmake "$build" >/dev/null || fail "configuring $build again failed"
    fi
    if ! grep -q "/$target\.dir\$" "$build/CMakeFiles/TargetDirectories.txt"; then
        skip "the \"$preset\" build makes no $target (no such target in $build)"
    fi
    # That program alone: a fault elsewhere in the build is another test's.
    local log=$build/exe-check-$target.log
    cmake --build "$build" --target "$target" -j "$(nproc)" >"$log" 2>&1 || {
        tail -n 20 "$log" >&2
        fail "building $target in $build failed; see $log"
    }
    [[ -f $build/$exe ]] || fail "the \"$preset\" build made $target but no $build/$exe"
    "$checker" --arch "$arch" --subsystem "$subsystem" "$build/$exe"
}

# The checker's run on one program: its output in $out, its status in $rc.
run_checker() {
    rc=0
    out=$("$checker" "$@" 2>&1) || rc=$?
    printf '%s\n' "$out" | sed 's/^/    /'
}
failures=0
problem() {
    say "FAULT: $*"
    failures=$((failures + 1))
}
# expect_pass ARCH SUBSYSTEM EXE
expect_pass() {
    echo "expect pass: --arch $1 --subsystem $2 ${3##*/}"
    run_checker --arch "$1" --subsystem "$2" "$3"
    [[ $rc -eq 0 ]] || problem "${3##*/} as $1 $2: exit status $rc, not 0"
    grep -qF "${3}: OK:" <<<"$out" || problem "${3##*/} as $1 $2: no OK line"
}
# expect_fail ARCH SUBSYSTEM EXE FAULTS TEXT...: exit status 1, "FAULTS fault(s):"
# in the summary, and each TEXT on a line of its own that names the program.
expect_fail() {
    local arch=$1 subsystem=$2 exe=$3 faults=$4
    shift 4
    echo "expect $faults faults: --arch $arch --subsystem $subsystem ${exe##*/}"
    run_checker --arch "$arch" --subsystem "$subsystem" "$exe"
    [[ $rc -eq 1 ]] || problem "${exe##*/} as $arch $subsystem: exit status $rc, not 1"
    grep -qF "$exe: FAIL: " <<<"$out" || problem "${exe##*/} as $arch $subsystem: no FAIL line"
    local count="$faults faults"
    [[ $faults -eq 1 ]] && count="1 fault"
    grep -qF "; $count:" <<<"$out" ||
        problem "${exe##*/} as $arch $subsystem: not $faults faults reported"
    local text
    for text in "$@"; do
        grep -F "$exe: " <<<"$out" | grep -qF "$text" ||
            problem "${exe##*/} as $arch $subsystem: no line saying \"$text\""
    done
}

# The smallest ordinal Wine's kernel32.dll of that architecture exports.
existing_ordinal() {
    "$(triple_of "$1")-objdump" -p "$(wine_dlls_of "$1")/kernel32.dll" |
        awk '!found && /\+base\[ *[0-9]+\]/ { s = $0; sub(/.*\+base\[ */, "", s); sub(/\].*/, "", s); print s + 0; found = 1 }'
}

checker_catches_faults() {
    [[ $# -eq 1 ]] || fail "checker-catches-faults needs WORKDIR"
    local work=$1
    require_tools x86 x64
    rm -rf "$work"
    mkdir -p "$work"
    cd "$work"

    # A GUI program that keeps every rule: user32 and kernel32 by name, one of
    # kernel32's functions Wine forwards to ntdll, and one import by an ordinal
    # Wine's kernel32.dll has.
    cat >good.cpp <<'EOF'
#include <windows.h>
extern "C" __declspec(dllimport) void __stdcall ExistingByOrdinal();
void (__stdcall* volatile keep)() = &ExistingByOrdinal;
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SRWLOCK lock = SRWLOCK_INIT;
    AcquireSRWLockExclusive(&lock);
    ReleaseSRWLockExclusive(&lock);
    return MessageBoxA(nullptr, "hello", "good", MB_OK);
}
EOF
    # A C++ program on GCC's runtime DLLs (no -static-libgcc -static-libstdc++).
    cat >runtime.cpp <<'EOF'
#include <iostream>
#include <stdexcept>
int main(int argc, char**)
{
    try {
        if (argc > 5) throw std::runtime_error("many");
    } catch (const std::exception& error) {
        std::cout << error.what() << '\n';
    }
    return 0;
}
EOF
    # D3DX linked rather than loaded.
    cat >d3dx.cpp <<'EOF'
#include <d3dx9.h>
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    IDirect3DTexture9* texture = nullptr;
    return D3DXCreateTextureFromFileA(nullptr, "a.dds", &texture) == D3D_OK ? 0 : 1;
}
EOF
    # A function and an ordinal kernel32.dll does not export.
    cat >missing.cpp <<'EOF'
#include <windows.h>
extern "C" __declspec(dllimport) void __stdcall NoSuchFunctionInKernel32();
extern "C" __declspec(dllimport) void __stdcall NoSuchOrdinalInKernel32();
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    NoSuchFunctionInKernel32();
    NoSuchOrdinalInKernel32();
    return 0;
}
EOF
    echo "not a program" >text.exe

    local arch triple ordinal kill_at
    for arch in x86 x64; do
        triple=$(triple_of "$arch")
        ordinal=$(existing_ordinal "$arch")
        [[ -n $ordinal ]] || fail "no ordinal found among the exports of Wine's $arch kernel32.dll"
        # 32-bit stdcall names carry @bytes; the DLL exports them without.
        kill_at=()
        [[ $arch == x86 ]] && kill_at=(--kill-at)
        local at=
        [[ $arch == x86 ]] && at=@0
        printf 'LIBRARY kernel32.dll\nEXPORTS\nExistingByOrdinal%s @%s NONAME\n' "$at" "$ordinal" >"ordinal-$arch.def"
        printf 'LIBRARY kernel32.dll\nEXPORTS\nNoSuchFunctionInKernel32%s\nNoSuchOrdinalInKernel32%s @4000 NONAME\n' \
            "$at" "$at" >"missing-$arch.def"
        "$triple-dlltool" "${kill_at[@]}" -d "ordinal-$arch.def" -l "libordinal-$arch.a"
        "$triple-dlltool" "${kill_at[@]}" -d "missing-$arch.def" -l "libmissing-$arch.a"

        local static=(-static-libgcc -static-libstdc++)
        "$triple-g++" -O1 -mwindows "${static[@]}" good.cpp "libordinal-$arch.a" -o "good-gui-$arch.exe"
        "$triple-g++" -O1 -mconsole "${static[@]}" good.cpp "libordinal-$arch.a" -o "good-console-$arch.exe"
        "$triple-g++" -O1 -mconsole runtime.cpp -o "runtime-$arch.exe"
        "$triple-g++" -O1 -mwindows "${static[@]}" d3dx.cpp -ld3dx9 -o "d3dx-$arch.exe"
        "$triple-g++" -O1 -mwindows "${static[@]}" missing.cpp "libmissing-$arch.a" -o "missing-$arch.exe"
    done

    expect_pass x86 gui "$work/good-gui-x86.exe"
    expect_pass x64 gui "$work/good-gui-x64.exe"
    expect_pass x86 console "$work/good-console-x86.exe"
    expect_pass x64 console "$work/good-console-x64.exe"

    expect_fail x86 gui "$work/good-console-x86.exe" 1 "subsystem Windows console (3), not Windows GUI (2)"
    expect_fail x64 gui "$work/good-console-x64.exe" 1 "subsystem Windows console (3), not Windows GUI (2)"
    expect_fail x86 console "$work/good-gui-x86.exe" 1 "subsystem Windows GUI (2), not Windows console (3)"

    expect_fail x86 gui "$work/good-gui-x64.exe" 1 "a PE32+ x86-64 file, not PE32 i386"
    expect_fail x64 gui "$work/good-gui-x86.exe" 1 "a PE32 i386 file, not PE32+ x86-64"

    expect_fail x86 console "$work/runtime-x86.exe" 2 \
        "imports libstdc++-6.dll: not a DLL of a fresh Windows" \
        "imports libgcc_s_dw2-1.dll: not a DLL of a fresh Windows"
    expect_fail x64 console "$work/runtime-x64.exe" 2 \
        "imports libstdc++-6.dll: not a DLL of a fresh Windows" \
        "imports libgcc_s_seh-1.dll: not a DLL of a fresh Windows"
    expect_fail x86 gui "$work/d3dx-x86.exe" 1 "imports d3dx9_43.dll: not a DLL of a fresh Windows"
    expect_fail x64 gui "$work/d3dx-x64.exe" 1 "imports d3dx9_43.dll: not a DLL of a fresh Windows"

    expect_fail x86 gui "$work/missing-x86.exe" 2 \
        "kernel32.dll: no export named NoSuchFunctionInKernel32 in Wine's kernel32.dll" \
        "kernel32.dll: no export with ordinal 4000 in Wine's kernel32.dll"
    expect_fail x64 gui "$work/missing-x64.exe" 2 \
        "kernel32.dll: no export named NoSuchFunctionInKernel32 in Wine's kernel32.dll" \
        "kernel32.dll: no export with ordinal 4000 in Wine's kernel32.dll"

    echo "expect the imports listed: missing-x86.exe"
    run_checker --list --arch x86 --subsystem gui "$work/missing-x86.exe"
    grep -E '^ +kernel32\.dll: ' <<<"$out" | grep -qE '(^| )#4000( |$)' ||
        problem "--list: kernel32.dll's ordinal 4000 not listed"
    grep -E '^ +kernel32\.dll: ' <<<"$out" | grep -qE ' NoSuchFunctionInKernel32( |$)' ||
        problem "--list: NoSuchFunctionInKernel32 not listed under kernel32.dll"

    echo "expect not a program: text.exe"
    run_checker --arch x86 --subsystem gui "$work/text.exe"
    [[ $rc -eq 1 ]] || problem "text.exe: exit status $rc, not 1"
    grep -qF "$work/text.exe: not a Windows program" <<<"$out" || problem "text.exe: not named as no program"

    echo "expect skipped: Wine's DLLs in a folder that does not exist"
    run_checker --arch x86 --subsystem gui --wine-dlls "$work/no-wine" "$work/good-gui-x86.exe"
    [[ $rc -eq 77 ]] || problem "without Wine's DLLs: exit status $rc, not 77"
    grep -qF "$work/no-wine" <<<"$out" || problem "without Wine's DLLs: the folder is not named"

    if [[ $failures -gt 0 ]]; then
        fail "$failures faults in the checker's answers"
    fi
    echo "the checker passed the good programs and named every fault"
}

case ${1:-} in
--help | -h) usage ;;
check)
    shift
    check "$@"
    ;;
checker-catches-faults)
    shift
    checker_catches_faults "$@"
    ;;
*)
    say "unknown command \"${1:-}\"; see $0 --help"
    exit 2
    ;;
esac
