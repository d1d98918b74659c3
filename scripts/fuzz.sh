#!/usr/bin/env bash
# Fuzzes the two readers of untrusted files with libFuzzer, under the address
# and undefined-behaviour sanitizers (LeakSanitizer included):
#   dds_fuzzer  the DDS texture loader: parse, decode to RGBA8, mip chain
#   mp3_fuzzer  BASS_StreamCreateFile of the Linux audio library: the MPEG
#               scan, libmpg123 decoding from memory, resampling
# It installs the packages (scripts/install-deps.sh), builds the fuzz preset
# (clang) in build/fuzz, makes the seeds from the native build's demo-assets
# and fuzz-seeds, and runs each target for SECONDS. The corpus grows in
# build/fuzz/corpus/TARGET from run to run; logs are in build/fuzz/logs.
# A crash, leak, undefined behaviour, timeout or memory blow-up is kept in
# build/fuzz/crashes/TARGET/ and makes the script fail; rerun one with
#   build/fuzz/fuzz/TARGET FILE
#
# Usage: scripts/fuzz.sh [--parallel] [SECONDS] [TARGET...]
#   SECONDS      fuzzing time per target (default 60)
#   TARGET       dds or mp3 (default both)
#   --parallel   run the targets at the same time (one core each)
# Exit status: 0 nothing found, 1 a finding or a failed build, 2 bad usage.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
native=$root/build/native
seconds=60
parallel=0
targets=()

tag=fuzz
# shellcheck source=scripts/messages.sh
source "$root/scripts/messages.sh"

while [[ $# -gt 0 ]]; do
    case $1 in
    -h | --help) usage; exit 0 ;;
    --parallel) parallel=1; shift ;;
    dds | mp3) targets+=("$1"); shift ;;
    *)
        if [[ $1 =~ ^[1-9][0-9]*$ ]]; then
            seconds=$1
            shift
        else
            say "unknown argument '$1'"
            usage >&2
            exit 2
        fi
        ;;
    esac
done
[[ ${#targets[@]} -gt 0 ]] || targets=(dds mp3)

# Per target: the largest input (a 32 x 32 RGBA8 texture with its chain; a
# second or so of MP3 at 128 kbit/s) and the dictionary.
declare -A max_len=([dds]=8192 [mp3]=16384)

# ---------------------------------------------------------------- build
"$root/scripts/install-deps.sh"

mkdir -p "$build/logs"
say "building the fuzzers (fuzz preset, clang) in $build"
(cd "$root" && cmake --preset fuzz && cmake --build --preset fuzz -j2) \
    >"$build/logs/build.log" 2>&1 || {
    tail -n 30 "$build/logs/build.log" >&2
    fail "the fuzz build failed; the whole log is $build/logs/build.log"
}

say "building demo-assets (native preset) in $native for the seeds"
(cd "$root" && cmake --preset native && cmake --build --preset native -j2 --target demo-assets) \
    >"$build/logs/native.log" 2>&1 || {
    tail -n 30 "$build/logs/native.log" >&2
    fail "the native build of demo-assets failed; the whole log is $build/logs/native.log"
}

# ---------------------------------------------------------------- seeds
# The demo's four textures, cut to their mip chains from 32 pixels down, and
# its music, cut to a fifth of a second and to the first frames of three
# seconds, beside small files of every format the readers know.
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds/assets" "$seeds/dds" "$seeds/mp3"
say "making the seeds in $seeds"
{
    assets=$native/tools/make-assets/demo-assets
    "$assets" --only textures "$seeds/assets"
    "$assets" --short-track 3 "$seeds/assets/three-seconds.mp3"
    "$assets" --short-track 0.2 "$seeds/mp3/fifth-of-a-second.mp3"
    "$build/fuzz/fuzz-seeds" dds "$seeds/dds" "$seeds/assets"/*.dds
    "$build/fuzz/fuzz-seeds" mp3 "$seeds/mp3" "$seeds/assets/three-seconds.mp3"
} >"$build/logs/seeds.log" 2>&1 || {
    tail -n 20 "$build/logs/seeds.log" >&2
    fail "making the seeds failed; the whole log is $build/logs/seeds.log"
}

# ---------------------------------------------------------------- fuzzing
run_target() {
    local target=$1
    mkdir -p "$build/corpus/$target" "$build/crashes/$target"
    # -timeout: one input decoding for 10 s is a hang; -rss_limit_mb: well
    # above the few tens of MB a run takes, below what would strain the machine.
    "$build/fuzz/${target}_fuzzer" "$build/corpus/$target" "$seeds/$target" \
        -dict="$root/fuzz/$target.dict" \
        -max_total_time="$seconds" -max_len="${max_len[$target]}" \
        -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/crashes/$target/" \
        >"$build/logs/$target.log" 2>&1
}

# The figure after `name:` in libFuzzer's last status line ("#N DONE cov: ...").
status_field() { grep -E '^#[0-9]+' "$2" | tail -n 1 | sed -n "s/.* $1: \\([^ ]*\\).*/\\1/p"; }
stat_field() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }

declare -A status
touch "$build/logs/started"
for target in "${targets[@]}"; do
    say "running ${target}_fuzzer for $seconds s (log: $build/logs/$target.log)"
    if [[ $parallel -eq 1 ]]; then
        run_target "$target" &
        status[$target]=$!
    else
        status[$target]=0
        run_target "$target" || status[$target]=$?
    fi
done
if [[ $parallel -eq 1 ]]; then
    for target in "${targets[@]}"; do
        pid=${status[$target]}
        status[$target]=0
        wait "$pid" || status[$target]=$?
    done
fi

# ---------------------------------------------------------------- report
found=0
echo
printf '%-12s %12s %8s %7s %7s %16s %9s  %s\n' \
    target executions exec/s cov ft corpus "rss MB" result
for target in "${targets[@]}"; do
    log=$build/logs/$target.log
    findings=$(find "$build/crashes/$target" -type f \
        \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) \
        -newer "$build/logs/started" | sort)
    result=clean
    if [[ ${status[$target]} -ne 0 || -n $findings ]]; then
        result="FOUND SOMETHING (exit ${status[$target]})"
        found=1
    fi
    printf '%-12s %12s %8s %7s %7s %16s %9s  %s\n' "${target}_fuzzer" \
        "$(stat_field number_of_executed_units "$log")" \
        "$(stat_field average_exec_per_sec "$log")" \
        "$(status_field cov "$log")" "$(status_field ft "$log")" \
        "$(status_field corp "$log")" "$(stat_field peak_rss_mb "$log")" "$result"
    if [[ $result != clean ]]; then
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|.*broken promise)' "$log" | head -n 5 |
            sed 's/^/    /'
        for file in $findings; do
            echo "    kept: $file"
            echo "    rerun: $build/fuzz/${target}_fuzzer $file"
        done
        [[ -n $findings ]] || echo "    no input was kept; see $log"
    fi
done
echo "(corpus: files/bytes kept in $build/corpus/TARGET; cov: code edges reached;" \
    "ft: features)"
exit "$found"
