#!/usr/bin/env bash
# Exits 0 if this machine can run one of the Windows builds under Wine;
# otherwise says why on stderr and exits 1.
#   scripts/wine-can-run.sh x86    the 32-bit build, on Wine's 32-bit loader
#   scripts/wine-can-run.sh x64    the 64-bit build, on Wine's 64-bit loader
# A kernel without IA-32 emulation (some virtual machines run 64-bit user
# code only) refuses every i386 program with "Exec format error", Wine's
# 32-bit loader first; the 64-bit loader runs 64-bit Windows programs there.
# Prints the loader to use on stdout when it can.
set -uo pipefail

case ${1:-} in
x86) loader=/usr/lib/wine/wine package=wine32:i386 ;;
x64) loader=/usr/lib/wine/wine64 package=wine64 ;;
-h | --help)
    sed -n '2,9{s/^# \{0,1\}//;p}' "$0"
    exit 0
    ;;
*)
    echo "usage: wine-can-run.sh x86|x64" >&2
    exit 2
    ;;
esac

for tool in wineserver xvfb-run; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed (scripts/install-deps.sh --windows installs it)" >&2
        exit 1
    fi
done
if [[ ! -x $loader ]]; then
    echo "$loader is not installed (the $package package; scripts/install-deps.sh --windows)" >&2
    exit 1
fi
if ! said=$(WINEDEBUG=-all "$loader" --version 2>&1); then
    if [[ $said == *"Exec format error"* ]]; then
        echo "this machine cannot run 32-bit programs (its kernel has no IA-32 emulation): $said" >&2
    else
        echo "$loader --version fails: $said" >&2
    fi
    exit 1
fi
echo "$loader"
