#!/usr/bin/env bash
# scripts/sanitizers/tracer-crashes.sh on made-up ctest logs: it sends a
# failed test back for another run only when that test's own output shows
# LeakSanitizer's tracer crash and nothing else.
set -euo pipefail
judge=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

crash=$'Tracer caught signal 11: addr=0x0 pc=0x0 sp=0x0\n==7==LeakSanitizer has encountered a fatal error.'
passed=$'[==========] 1 test ran.\n[  PASSED  ] 1 test.'

# run_case NAME EXPECTED_STATUS EXPECTED_LINES TEST:STATUS:OUTPUT...
# Writes a console log and a LastTest.log with those tests, judges them and
# compares the verdict and its lines.
run_case() {
    local name=$1 want_status=$2 want_lines=$3 count=$#
    shift 3
    local console=$work/console.log last=$work/LastTest.log i=0 entry test result output
    : >"$last"
    printf 'Test project /build\n' >"$console"
    local failed_list=""
    for entry in "$@"; do
        i=$((i + 1))
        test=${entry%%|*}
        result=${entry#*|}
        output=${result#*|}
        result=${result%%|*}
        printf '%d/%d Testing: %s\n%d/%d Test: %s\nCommand: "x"\nOutput:\n%s\n%s\n<end of output>\nTest time =   1.00 sec\n' \
            "$i" "$count" "$test" "$i" "$count" "$test" "------------" "$output" >>"$last"
        [[ $result == Passed ]] || failed_list+=$(printf '\t%3d - %s (%s)' "$i" "$test" "$result")$'\n'
    done
    if [[ -n $failed_list ]]; then
        printf '\nThe following tests FAILED:\n%s' "$failed_list" >>"$console"
    fi
    local got_status=0 got_lines
    got_lines=$("$judge" "$console" "$last") || got_status=$?
    if [[ $got_status != "$want_status" || $got_lines != "$want_lines" ]]; then
        printf 'FAILED %s: status %s, lines:\n%s\nwanted status %s, lines:\n%s\n' \
            "$name" "$got_status" "$got_lines" "$want_status" "$want_lines" >&2
        status=1
    fi
}

run_case "a crash alone is run again" 0 \
    "rerun Suite.Crash: only LeakSanitizer's tracer crashed at exit" \
    "Suite.Fine|Passed|$passed" "Suite.Crash|Failed|$passed"$'\n'"$crash"
run_case "one test's crashes cover no other's failure" 1 \
    "rerun Suite.Crash: only LeakSanitizer's tracer crashed at exit
fail Suite/Case.Wrong/1: failed without a tracer crash" \
    "Suite.Crash|Failed|$crash"$'\n'"$crash" "Suite/Case.Wrong/1|Failed|x.cpp:3: Failure"
run_case "a timeout is a failure" 1 "fail Suite.Slow: Timeout" "Suite.Slow|Timeout|$crash"
run_case "a report beside the crash is a failure" 1 \
    "fail Suite.Leaky: SUMMARY: AddressSanitizer: 8 byte(s) leaked" \
    "Suite.Leaky|Failed|SUMMARY: AddressSanitizer: 8 byte(s) leaked"$'\n'"$crash"
run_case "an assertion beside the crash is a failure" 1 \
    "fail Suite.Both: [  FAILED  ] Suite.Both" \
    "Suite.Both|Failed|[  FAILED  ] Suite.Both"$'\n'"$crash"
run_case "nothing failed, nothing to run again" 1 "" "Suite.Fine|Passed|$passed"

exit $status
