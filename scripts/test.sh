#!/bin/sh
# Builds and runs every test: a release build, the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of every
# fuzz target. Every stage runs even when an earlier one fails; the last line
# adds up the tests of all stages, and the status is non-zero when any failed.
set -u
cd "$(dirname "$0")/.."
sh scripts/deps.sh cmake:cmake g++:g++ make:make /usr/include/gtest/gtest.h:libgtest-dev \
    pkg-config:pkg-config groff:groff-base dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev lintian:lintian
jobs=$(nproc)
passed=0 failed=0 skipped=0

# Adds a stage's "N passed, N failed, N skipped" line to the totals.
count() {
    set -- $(printf '%s\n' "$1" | sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed, \([0-9]*\) skipped$/\1 \2 \3/p')
    if [ $# -eq 3 ]; then
        passed=$((passed + $1)) failed=$((failed + $2)) skipped=$((skipped + $3))
    else
        failed=$((failed + 1))  # the stage ended before it could count
    fi
}

# One attribute of the test suite in $dir/junit.xml.
junit_count() {
    sed -n "1,12s/^[[:space:]]*$1=\"\([0-9]*\)\".*/\1/p" "$dir/junit.xml" | grep .
}

# Configures and builds `dir` with the given options, runs its tests and
# prints their count; a build that fails counts as one failed test.
ctest_stage() {
    dir=$1
    shift
    echo "== $dir: build and test"
    if ! cmake -S . -B "$dir" -DQUORVANE_TESTS=ON "$@" >"$dir/configure.log" 2>&1 ||
        ! cmake --build "$dir" -j"$jobs"; then
        cat "$dir/configure.log"
        echo "0 passed, 1 failed, 0 skipped"
        return
    fi
    rm -f "$dir/junit.xml"
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" --output-junit junit.xml |
        grep -v "^ *[0-9]*/[0-9]* Test *#.* Passed\|^ *Start "
    if ! total=$(junit_count tests); then
        echo "0 passed, 1 failed, 0 skipped"
        return
    fi
    fails=$(junit_count failures) skips=$(junit_count skipped)
    echo "$((total - fails - skips)) passed, $fails failed, $skips skipped"
}

mkdir -p build build-asan
cmake -S . -B build -DQUORVANE_TESTS=ON >/dev/null 2>&1
corpus=$(sed -n 's/^QUORVANE_CORPUS_DIRS:STRING=//p' build/CMakeCache.txt 2>/dev/null)
echo "Corpus folders of real LAS files: ${corpus:-none found, the interoperability tests will skip}"

# Runs a stage, showing its output, and counts its closing line.
stage() {
    log=$1
    shift
    "$@" 2>&1 | tee "$log"
    count "$(tail -n 1 "$log")"
}
stage build/stage.log ctest_stage build -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON
stage build-asan/stage.log ctest_stage build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON \
    -DQUORVANE_BENCH=OFF
echo "== fuzz: 30 s a target"
stage build/fuzz.log ./scripts/fuzz.sh 30

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
