# shellcheck shell=bash
# Sourced by the scripts: messages on stderr under the script's name, and its
# usage, which is the comment block at the top of the script.
# Set `tag` before sourcing.
say() { echo "${tag:?}: $*" >&2; }
fail() {
    say "$*"
    exit 1
}
usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
