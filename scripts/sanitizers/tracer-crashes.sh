#!/usr/bin/env bash
# Which failed tests of a sanitized ctest run failed only because
# LeakSanitizer's tracer crashed at exit ("Tracer caught signal 11", then
# "LeakSanitizer has encountered a fatal error"): a fault of the tool, not a
# finding, and worth one more run. Each failed test is judged by its own
# output alone, so that one test's crash never covers another's failure.
#
# Usage: tracer-crashes.sh CONSOLE_LOG LAST_TEST_LOG
#   CONSOLE_LOG     what ctest printed (its list of failed tests and why)
#   LAST_TEST_LOG   ctest's Testing/Temporary/LastTest.log of the same run
# Prints a line per failed test: "rerun NAME: ..." or "fail NAME: why".
# Exit status: 0 if at least one test failed and every failure is a tracer
# crash alone (run them again), 1 otherwise, 2 bad usage.
set -euo pipefail

if [[ $# -ne 2 || ! -r $1 || ! -r $2 ]]; then
    echo "usage: tracer-crashes.sh CONSOLE_LOG LAST_TEST_LOG (both readable)" >&2
    exit 2
fi
console=$1
last_test=$2

tracer_crash='LeakSanitizer has encountered a fatal error|Tracer caught signal'
# Anything else that makes a test fail: a sanitizer's report, or a
# GoogleTest assertion or failed test.
finding='ERROR: [A-Za-z]*Sanitizer|SUMMARY: [A-Za-z]*Sanitizer|runtime error:|: Failure$|\[  FAILED  \]'

# The output of test NAME, as LastTest.log holds it.
output_of() {
    awk -v name="$1" '
        /^[0-9]+\/[0-9]+ Test: / {
            line = $0
            sub(/^[0-9]+\/[0-9]+ Test: /, "", line)
            mine = (line == name)
            reading = 0
            next
        }
        mine && /^<end of output>$/ { mine = 0; reading = 0; next }
        mine && reading { print }
        mine && /^Output:$/ { getline; reading = 1 }
    ' "$last_test"
}

failed=0
reruns=0
# ctest's closing list: "	  2 - Suite.Name (Failed)", "(Timeout)", "(SEGFAULT)", ...
while IFS= read -r line; do
    [[ $line =~ ^[[:space:]]*[0-9]+\ -\ (.*)\ \(([^()]*)\)$ ]] || continue
    name=${BASH_REMATCH[1]}
    status=${BASH_REMATCH[2]}
    failed=$((failed + 1))
    if [[ $status != Failed ]]; then
        echo "fail $name: $status"
        continue
    fi
    output=$(output_of "$name")
    if [[ -z $output ]] || ! grep -Eq "$tracer_crash" <<<"$output"; then
        echo "fail $name: failed without a tracer crash"
    elif grep -Eq "$finding" <<<"$output"; then
        echo "fail $name: $(grep -Em1 "$finding" <<<"$output")"
    else
        echo "rerun $name: only LeakSanitizer's tracer crashed at exit"
        reruns=$((reruns + 1))
    fi
done < <(sed -n '/^The following tests FAILED:$/,$p' "$console")

((failed > 0 && reruns == failed))
