#!/bin/sh
# Builds and runs every test: a release build, the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of every
# fuzz target. Every stage runs even when an earlier one fails; the last line
# adds up the tests of all stages, and the status is non-zero when any failed.
set -u
cd "$(dirname "$0")/.."
sh scripts/deps.sh cmake:cmake g++:g++ make:make /usr/include/gtest/gtest.h:libgtest-dev \
    pkg-config:pkg-config groff:groff-base dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev lintian:lintian
. tests/support/count.sh
jobs=$(nproc)

# Configures and builds `dir` with the given options, runs its tests and
# prints their count; a build that fails counts as one failed test.
ctest_stage() (
    count_reset
    dir=$1
    shift
    echo "== $dir: build and test"
    if ! cmake -S . -B "$dir" -DQUORVANE_TESTS=ON "$@" >"$dir/configure.log" 2>&1 ||
        ! cmake --build "$dir" -j"$jobs"; then
        cat "$dir/configure.log"
        count_add 0 1 0
    else
        rm -f "$dir/junit.xml"
        ctest --test-dir "$dir" --output-on-failure -j"$jobs" --output-junit junit.xml |
            grep -v "^ *[0-9]*/[0-9]* Test *#.* Passed\|^ *Start "
        count_add_junit "$dir/junit.xml"
    fi
    count_line
)

mkdir -p build build-asan
cmake -S . -B build -DQUORVANE_TESTS=ON >/dev/null 2>&1
corpus=$(sed -n 's/^QUORVANE_CORPUS_DIRS:STRING=//p' build/CMakeCache.txt 2>/dev/null)
echo "Corpus folders of real LAS files: ${corpus:-none found, the interoperability tests will skip}"

count_stage build/stage.log ctest_stage build -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON
count_stage build-asan/stage.log ctest_stage build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON \
    -DQUORVANE_BENCH=OFF
echo "== fuzz: 30 s a target"
count_stage build/fuzz.log ./scripts/fuzz.sh 30

echo "== all stages"
count_line
count_ok
