#!/bin/sh
# Builds and runs every test, then builds everything again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test again.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh cmake:cmake g++:g++ make:make /usr/include/gtest/gtest.h:libgtest-dev \
    pkg-config:pkg-config groff:groff-base dpkg-deb:dpkg
# clang and its libFuzzer runtime, for the short fuzz run at the end.
runtime=$(clang -print-file-name=libclang_rt.fuzzer-x86_64.a 2>/dev/null || true)
case "$runtime" in
/*) [ -f "$runtime" ] || sh scripts/deps.sh "/missing-fuzzer-runtime:clang libclang-rt-dev" || echo "clang could not be installed" ;;
*) sh scripts/deps.sh "/missing-fuzzer-runtime:clang libclang-rt-dev" || echo "clang could not be installed" ;;
esac
jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=ON -DQUORVANE_BENCH=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON -DQUORVANE_TESTS=ON \
    -DQUORVANE_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
# A short libFuzzer run of every target (skipped, with a message, without clang's runtime).
./scripts/fuzz.sh 30
