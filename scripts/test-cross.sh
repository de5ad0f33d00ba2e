#!/bin/sh
# Builds the project for another platform and runs the GoogleTest suite
# there, through the platform's emulator, with ctest:
#   scripts/test-cross.sh arm64   Linux aarch64, cross-built with Debian's
#                                 g++-aarch64-linux-gnu, run under qemu-user
# Installs the cross compiler, the emulator and GoogleTest's sources when
# missing; checks that every test listed ran; lists each skipped test with
# its reason; ends with one line "N passed, N failed, N skipped".
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
platform=${1:-}
case "$platform" in
arm64)
    sh scripts/deps.sh cmake:cmake make:make aarch64-linux-gnu-g++:g++-aarch64-linux-gnu \
        qemu-aarch64:qemu-user /usr/src/googletest/CMakeLists.txt:googletest \
        pkg-config:pkg-config groff:groff-base dpkg-deb:dpkg || exit 1
    toolchain=$root/cmake/aarch64-linux-gnu.cmake
    dir=build-arm64
    ;;
*)
    echo "Usage: scripts/test-cross.sh arm64"
    exit 2
    ;;
esac
jobs=$(nproc)

echo "== $dir: build and test ($platform)"
mkdir -p "$dir"
if ! cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DQUORVANE_TESTS=ON -DQUORVANE_BENCH=OFF >"$dir/configure.log" 2>&1 ||
    ! cmake --build "$dir" -j"$jobs"; then
    cat "$dir/configure.log"
    echo "0 passed, 1 failed, 0 skipped"
    exit 1
fi
rm -f "$dir/junit.xml"
ctest --test-dir "$dir" --output-on-failure -j"$jobs" --output-junit junit.xml |
    grep -v "^ *[0-9]*/[0-9]* Test *#.* Passed\|^ *Start "

# One attribute of the test suite in junit.xml.
junit_count() {
    sed -n "1,12s/^[[:space:]]*$1=\"\([0-9]*\)\".*/\1/p" "$dir/junit.xml" | grep .
}
listed=$(ctest --test-dir "$dir" -N | sed -n 's/^Total Tests: \([0-9]*\)$/\1/p')
if ! total=$(junit_count tests) || [ "$total" != "$listed" ]; then
    echo "FAILED: $listed tests listed, ${total:-no} tests run"
    echo "0 passed, 1 failed, 0 skipped"
    exit 1
fi
fails=$(junit_count failures) skips=$(junit_count skipped)

# Each skipped test and the reason it gave (the line after GoogleTest's
# "Skipped", or a script's "skipped: ..." line).
if [ "$skips" -gt 0 ]; then
    echo "Skipped on $platform:"
    awk '/<testcase / { match($0, /name="[^"]*"/); name = substr($0, RSTART + 6, RLENGTH - 7) }
         /status="notrun"/ { skipped = 1 }
         skipped && /Skipped$/ { getline; print "  " name ": " $0; skipped = 0 }
         skipped && /skipped: / { sub(/.*skipped: /, ""); print "  " name ": " $0; skipped = 0 }
         /<\/testcase>/ { skipped = 0 }' "$dir/junit.xml"
fi
echo "$((total - fails - skips)) passed, $fails failed, $skips skipped"
[ "$fails" -eq 0 ]
