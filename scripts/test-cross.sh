#!/bin/sh
# Builds the project for another platform and runs the GoogleTest suite
# there, through the platform's emulator, with ctest:
#   scripts/test-cross.sh arm64    Linux aarch64, cross-built with Debian's
#                                  g++-aarch64-linux-gnu, run under qemu-user
#   scripts/test-cross.sh windows  Windows x86-64, cross-built with MinGW-w64,
#                                  run under Wine in a prefix of its own
# Installs the cross compiler, the emulator and GoogleTest's sources when
# missing; checks that every test listed ran; lists each skipped test with
# its reason. The Windows build's tests include checks made from this host
# under Wine: Ctrl-C in a console (tests/tool/platform/windows), the DLL and
# the zip (tests/packaging). Ends with the count line "N passed, N failed,
# N skipped".
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
. tests/support/count.sh
platform=${1:-}
case "$platform" in
arm64)
    sh scripts/deps.sh cmake:cmake make:make aarch64-linux-gnu-g++:g++-aarch64-linux-gnu \
        qemu-aarch64:qemu-user /usr/src/googletest/CMakeLists.txt:googletest \
        pkg-config:pkg-config groff:groff-base dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev \
        lintian:lintian || exit 1
    # The arm64 packages' dependencies come from dpkg-shlibdeps, which reads
    # them from the arm64 C and C++ runtime libraries installed as Debian
    # packages (deps.sh turns on Debian's multiarch for arm64 to install them).
    sh scripts/deps.sh /usr/lib/aarch64-linux-gnu/libc.so.6:libc6:arm64 \
        /usr/lib/aarch64-linux-gnu/libstdc++.so.6:libstdc++6:arm64 \
        /usr/lib/aarch64-linux-gnu/libgcc_s.so.1:libgcc-s1:arm64 || exit 1
    toolchain=$root/cmake/aarch64-linux-gnu.cmake
    dir=build-arm64
    ;;
windows)
    sh scripts/deps.sh cmake:cmake make:make x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix \
        /usr/lib/wine/wine64:wine64 /usr/src/googletest/CMakeLists.txt:googletest \
        groff:groff-base script:bsdutils cmp:diffutils || exit 1
    toolchain=$root/cmake/mingw-w64-x86_64.cmake
    dir=build-windows
    # No debug chatter, no offer to install Mono or Gecko, no windows; one
    # Wine server up for the whole run (a program started while an idle
    # server quits fails).
    export WINEPREFIX=$root/$dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    unset WINEPATH DISPLAY WAYLAND_DISPLAY
    mkdir -p "$dir"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        /usr/lib/wine/wine64 wineboot --init >"$dir/wineboot.log" 2>&1
    fi
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w
    /usr/lib/wine/wineserver -p
    # Wine's own services start with the first program and stay: started
    # here, they hold no test's output open.
    /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
    trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
    ;;
*)
    echo "Usage: scripts/test-cross.sh arm64|windows"
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
    count_add 0 1 0
    count_line
    exit 1
fi
rm -f "$dir/junit.xml"
ctest --test-dir "$dir" --output-on-failure -j"$jobs" --output-junit junit.xml |
    grep -v "^ *[0-9]*/[0-9]* Test *#.* Passed\|^ *Start "

listed=$(ctest --test-dir "$dir" -N | sed -n 's/^Total Tests: \([0-9]*\)$/\1/p')
if ! total=$(count_junit "$dir/junit.xml" tests) || [ "$total" != "$listed" ]; then
    echo "FAILED: $listed tests listed, ${total:-no} tests run"
    count_add 0 1 0
    count_line
    exit 1
fi
count_add_junit "$dir/junit.xml"

# Each skipped test and the reason it gave (the line after GoogleTest's
# "Skipped", or a script's "skipped: ..." line).
if [ "$count_skipped" -gt 0 ]; then
    echo "Skipped on $platform:"
    awk '/<testcase / { match($0, /name="[^"]*"/); name = substr($0, RSTART + 6, RLENGTH - 7) }
         /status="notrun"/ { skipped = 1 }
         skipped && /Skipped$/ { getline; print "  " name ": " $0; skipped = 0 }
         skipped && /skipped: / { sub(/.*skipped: /, ""); print "  " name ": " $0; skipped = 0 }
         /<\/testcase>/ { skipped = 0 }' "$dir/junit.xml"
fi
# Programs that Wine failed to start and were started again.
retries=$(grep -c "started again" "$dir/Testing/Temporary/LastTest.log" 2>/dev/null)
retries=${retries:-0}
[ "$retries" -gt 0 ] && echo "Programs started again after a failed start: $retries"
count_line
count_ok
