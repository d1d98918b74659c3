#!/usr/bin/env bash
# Exits 0 if this machine can run the Windows build under Wine; otherwise
# says why on stderr and exits 1. The Windows build is 32-bit, and so is the
# Wine that runs it: a kernel without IA-32 emulation (some virtual machines
# run 64-bit user code only) refuses every i386 program with "Exec format
# error", Wine's own loader first.
set -uo pipefail

for tool in wine wineserver wineboot xvfb-run; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed (scripts/install-deps.sh --windows installs it)" >&2
        exit 1
    fi
done
if ! said=$(wine --version 2>&1); then
    if [[ $said == *"Exec format error"* ]]; then
        echo "this machine cannot run 32-bit programs (its kernel has no IA-32 emulation): $said" >&2
    else
        echo "wine --version fails: $said" >&2
    fi
    exit 1
fi
exit 0
