#!/usr/bin/env bash
# Two demo-trace programs print the same bytes at every position of
# trace-positions.sh:
#   trace-compare.sh REFERENCE -- COMMAND...
# runs REFERENCE POSITION and COMMAND... POSITION (a program, or a runner
# and its arguments: qemu-aarch64 -L /usr/aarch64-linux-gnu demo-trace) at
# each position and compares their output and exit status. On a difference
# it names the position and the first differing lines. Exits 0 when all are
# the same, 1 otherwise, 2 for bad usage.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tag=trace-compare
# shellcheck source=scripts/messages.sh
source "$root/scripts/messages.sh"
# shellcheck source=scripts/trace-positions.sh
source "$root/scripts/trace-positions.sh"

if [[ $# -lt 3 || $2 != -- ]]; then
    usage >&2
    exit 2
fi
reference=$1
shift 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for pos in "${trace_positions[@]}"; do
    status=0
    "$reference" "$pos" >"$work/reference" || status=$?
    other_status=0
    "$@" "$pos" >"$work/other" || other_status=$?
    if [[ $status -ne 0 || $other_status -ne 0 ]]; then
        say "position $pos: exit status $status ($reference), $other_status ($*)"
        failed=1
    elif ! cmp -s "$work/reference" "$work/other"; then
        say "position $pos: the traces differ (first difference below)"
        diff "$work/reference" "$work/other" | head -n 4 >&2 || true
        failed=1
    fi
done
[[ $failed -eq 0 ]] || fail "$* does not print what $reference prints"
say "$* prints byte for byte what $reference prints at ${#trace_positions[@]} positions"
