#!/usr/bin/env bash
# The aarch64 build (build/aarch64, the "aarch64" preset: the core, the
# recording device and demo-trace, cross-compiled) against this machine's.
#   aarch64.sh build            configures the build and brings demo-trace up
#                               to date, warnings failing it
#   aarch64.sh trace REFERENCE  the aarch64 demo-trace, run under qemu-aarch64,
#                               prints byte for byte what REFERENCE (the
#                               native demo-trace) prints at every position
#                               of scripts/trace-positions.sh
# Exits 77 (skipped) when the cross compiler or qemu-aarch64 is missing
# (scripts/install-deps.sh --cross installs them).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${AARCH64_BUILD:-$root/build/aarch64}
sysroot=/usr/aarch64-linux-gnu
trace=$build/tools/trace/demo-trace

tag=aarch64
# shellcheck source=scripts/messages.sh
source "$root/scripts/messages.sh"

require() {
    local missing=()
    for tool in aarch64-linux-gnu-g++ qemu-aarch64 cmake; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [[ ${#missing[@]} -gt 0 ]]; then
        say "skipped: ${missing[*]} not installed (scripts/install-deps.sh --cross)"
        exit 77
    fi
}

cmd_build() {
    # Warnings are errors here, so that one fails every later run too, not
    # only the run that compiled its file.
    (cd "$root" && cmake --preset aarch64 -B "$build" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null)
    cmake --build "$build" --target demo-trace -j2 || fail "the aarch64 build failed"
    say "built $trace"
}

cmd_trace() {
    local reference=${1:?the native demo-trace is needed}
    [[ -x $trace ]] || fail "no aarch64 demo-trace at $trace"
    "$root/scripts/trace-compare.sh" "$reference" -- qemu-aarch64 -L "$sysroot" "$trace"
}

require
case ${1:-} in
build) cmd_build ;;
trace) cmd_trace "${2:-}" ;;
*)
    usage >&2
    exit 2
    ;;
esac
