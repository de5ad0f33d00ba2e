# The count line that ends every test stage and every run of stages,
# "N passed, N failed, N skipped", computed here alone. Sourced by
# scripts/test.sh, scripts/test-cross.sh, scripts/fuzz.sh and .ci/run.
count_reset() { count_passed=0 count_failed=0 count_skipped=0; }
count_reset

# count_add PASSED FAILED SKIPPED: adds to the totals.
count_add() {
    count_passed=$((count_passed + $1)) count_failed=$((count_failed + $2))
    count_skipped=$((count_skipped + $3))
}

# count_add_line TEXT: adds a stage's count line; a stage that ended before
# it could count is one failure.
count_add_line() {
    set -- $(printf '%s\n' "$1" | sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed, \([0-9]*\) skipped$/\1 \2 \3/p')
    if [ $# -eq 3 ]; then count_add "$1" "$2" "$3"; else count_add 0 1 0; fi
}

# count_junit FILE NAME: an attribute (tests, failures, skipped) of the test
# suite in a JUnit report that ctest wrote; false when it has none.
count_junit() {
    sed -n "1,12s/^[[:space:]]*$2=\"\([0-9]*\)\".*/\1/p" "$1" | grep .
}

# count_add_junit FILE: adds the tests of a JUnit report; a report that
# cannot be read is one failure.
count_add_junit() {
    if count_all=$(count_junit "$1" tests); then
        count_fails=$(count_junit "$1" failures) count_skips=$(count_junit "$1" skipped)
        count_add $((count_all - count_fails - count_skips)) "$count_fails" "$count_skips"
    else
        count_add 0 1 0
    fi
}

# count_stage LOG COMMAND...: runs a stage, its output shown and kept in
# LOG, and adds the count line it ends with.
count_stage() {
    count_log=$1
    shift
    "$@" 2>&1 | tee "$count_log"
    count_add_line "$(tail -n 1 "$count_log")"
}

# The totals' line, and whether none failed.
count_line() { echo "$count_passed passed, $count_failed failed, $count_skipped skipped"; }
count_ok() { [ "$count_failed" -eq 0 ]; }
