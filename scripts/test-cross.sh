#!/bin/sh
# Builds the project for another platform and runs the GoogleTest suite
# there, through the platform's emulator, with ctest:
#   scripts/test-cross.sh arm64    Linux aarch64, cross-built with Debian's
#                                  g++-aarch64-linux-gnu, run under qemu-user
#   scripts/test-cross.sh windows  Windows x86-64, cross-built with MinGW-w64,
#                                  run under Wine in a prefix of its own
# Installs the cross compiler, the emulator and GoogleTest's sources when
# missing; checks that every test listed ran; lists each skipped test with
# its reason. For Windows it then makes the checks ctest cannot: Ctrl-C
# pressed in a console, and the zip unpacked into a Wine prefix of its own.
# Ends with one line "N passed, N failed, N skipped" over tests and checks.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
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
passed=$((total - fails - skips)) failed=$fails skipped=$skips
# Programs that Wine failed to start and were started again.
retries=$(grep -c "started again" "$dir/Testing/Temporary/LastTest.log" 2>/dev/null)
retries=${retries:-0}

# --- Windows: the checks ctest cannot make ----------------------------------
if [ "$platform" = windows ]; then
    echo "== $dir: the console and the zip"
    wine=/usr/lib/wine/wine64
    check_ok() { passed=$((passed + 1)); echo "ok    $1"; }
    check_fail() { failed=$((failed + 1)); echo "FAIL  $1: $2"; }
    # The Windows name of a Linux path (a prefix maps / to Z:).
    winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
    # in_wine DIR OUT PROGRAM ARG...: runs a Windows program in DIR, as ctest
    # does (started once more when Wine fails to start it, which is counted),
    # its standard output to OUT and error to OUT.err, and sets $st.
    in_wine() {
        in_dir=$1 in_out=$2
        shift 2
        st=0
        (cd "$in_dir" && sh "$root/cmake/wine-start.sh" "$@") >"$in_out" 2>"$in_out.err" || st=$?
        if grep -q "started again$" "$in_out.err"; then
            retries=$((retries + 1))
            sed -i '/started again$/d' "$in_out.err"
        fi
    }
    work=$root/$dir/checks
    rm -rf "$work"
    mkdir -p "$work/data"
    in_wine "$work/data" "$work/make.out" "$root/$dir/make_las.exe" s12f3.las 3000 3 2 1
    in_wine "$work/data" "$work/make.out" "$root/$dir/make_las.exe" s12f2.las 2000 2 2 2
    # A fresh folder of the sample files.
    fresh() {
        rm -rf "${work:?}/$1"
        mkdir "$work/$1"
        cp "$work"/data/*.las "$work/$1/"
    }

    # Ctrl-C pressed in a console, with the test build held at each point: a
    # console needs a terminal under Wine, which `script` gives. The run ends
    # with STATUS_CONTROL_C_EXIT; the incomplete output is removed, a complete
    # one or the header left by the GPS time refusal is kept; its log (standard
    # output in a file) holds what it printed before.
    fresh done
    in_wine "$work/done" "$work/done.out" "$root/$dir/Quorvane.exe" s12f3.las out.las 4 0 30000
    wrong=""
    for case in "scan s12f3.las 4" "update s12f3.las 4" "done s12f3.las 4" "gps s12f2.las 13"; do
        set -- $case
        fresh ctrl-c
        (cd "$work/ctrl-c" && timeout 60 script -qec "$wine '$root/$dir/console_ctrl_c.exe' result.txt $1 \
            '$(winpath "$root/$dir/Quorvane_seam.exe") $2 out.las $3 0 30000' >log.txt" /dev/null) \
            >/dev/null 2>&1 </dev/null
        got=$(cat "$work/ctrl-c/result.txt" 2>/dev/null || echo "no result")
        case $1 in
        scan) [ ! -e "$work/ctrl-c/out.las" ] || got="$got, out.las left"
            grep -q "^Min: 0    Max: 30000$" "$work/ctrl-c/log.txt" || got="$got, no summary in the log" ;;
        update) [ ! -e "$work/ctrl-c/out.las" ] || got="$got, out.las left"
            grep -q "^\.\.\. Updating Header \.\.\." "$work/ctrl-c/log.txt" || got="$got, no update in the log" ;;
        "done") cmp -s "$work/done/out.las" "$work/ctrl-c/out.las" || got="$got, out.las not the result" ;;
        gps) [ "$(stat -c %s "$work/ctrl-c/out.las" 2>/dev/null)" = 227 ] || got="$got, no 227-byte out.las" ;;
        esac
        cmp -s "$work/data/$2" "$work/ctrl-c/$2" || got="$got, $2 changed"
        [ "$got" = 0xc000013a ] || wrong="$wrong at $1: $got;"
    done
    name="Ctrl-C in a console at scan, update, done and gps"
    if [ -z "$wrong" ]; then check_ok "$name"; else check_fail "$name" "$wrong"; fi

    # A C program linked against the build tree's DLL. Its standard output
    # is in text mode, as a C program's is on Windows: its lines and those
    # the DLL prints end in CR LF.
    printf '%s\r\n' "check_las s12f3.las: 8" "Unable to open file missing.las in file_access()" "" \
        "File missing.las does NOT exist" "check_las missing.las: -1" "keys: -3 -3 0 10" \
        "from: 2 0 3 1" >"$work/consumer.expected"
    # consumer NAME EXE: runs EXE on a sample and a missing file.
    consumer() {
        in_wine "$work/data" "$work/consumer.out" "$2" s12f3.las missing.las
        if [ "$st" = 0 ] && cmp -s "$work/consumer.expected" "$work/consumer.out"; then
            check_ok "$1"
        else
            check_fail "$1" "status $st, output: $(od -c "$work/consumer.out" | head -3)"
        fi
    }
    if x86_64-w64-mingw32-gcc-posix -std=c11 -Wall -Wextra -Werror -Ilibrary tests/consumer/consumer.c \
        -L"$dir" -lKelvory_LiDAR -o "$dir/consumer.exe" 2>"$work/consumer-link.log"; then
        consumer "a C program linked against the DLL" "$root/$dir/consumer.exe"
    else
        check_fail "a C program linked against the DLL" "$(cat "$work/consumer-link.log")"
    fi

    # The zip, unpacked and used from a Wine prefix made for it alone.
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
    rm -f "$dir"/quorvane-*-win64.zip
    (cd "$dir" && cpack -G ZIP >"$work/cpack.log" 2>&1)
    mkdir "$work/zip"
    (cd "$work/zip" && cmake -E tar xf "$root/$dir/quorvane-$version-win64.zip")
    top=$work/zip/quorvane-$version-win64
    (cd "$top" 2>/dev/null && find . -type f | sort) >"$work/zip.files"
    cat >"$work/zip.expected" <<'FILES'
./bin/Kelvory_LiDAR.dll
./bin/Quorvane.exe
./doc/Quorvane.txt
./include/Kelvory_LiDAR.h
./lib/Kelvory_LiDAR.lib
./lib/cmake/Kelvory_LiDAR/Kelvory_LiDARConfig.cmake
./lib/cmake/Kelvory_LiDAR/Kelvory_LiDARConfigVersion.cmake
./lib/cmake/Kelvory_LiDAR/Kelvory_LiDARTargets-release.cmake
./lib/cmake/Kelvory_LiDAR/Kelvory_LiDARTargets.cmake
./lib/pkgconfig/Kelvory_LiDAR.pc
FILES
    if cmp -s "$work/zip.expected" "$work/zip.files"; then
        check_ok "zip: the files it holds"
    else
        check_fail "zip: the files it holds" "$(diff "$work/zip.expected" "$work/zip.files" | grep '^[<>]' | tr '\n' ' ')"
    fi
    manual=$top/doc/Quorvane.txt cr=$(printf '\r')
    if [ -f "$manual" ] && grep -q "^SYNOPSIS$cr\$" "$manual" &&
        [ "$(grep -c "$cr\$" "$manual")" = "$(wc -l <"$manual")" ] &&
        ! grep -q "$(printf '[\b\033]')" "$manual"; then
        check_ok "zip: the manual as plain text with CR LF"
    else
        check_fail "zip: the manual as plain text with CR LF" "overstrikes, escapes, bare LF or no SYNOPSIS"
    fi

    # The zip's Quorvane.exe, run from a prefix that has never seen the
    # build, prints and writes what the tested build prints and writes.
    tested_prefix=$WINEPREFIX
    WINEPREFIX=$root/$dir/wineprefix-zip
    rm -rf "$WINEPREFIX"
    $wine wineboot --init >"$work/wineboot-zip.log" 2>&1
    /usr/lib/wine/wineserver -p
    $wine wineboot </dev/null >/dev/null 2>&1
    wrong=""
    for run in "s12f3.las out.las 4 0 30000" "s12f2.las out.las 5 0.5 2.5" "s12f3.las out.las 9 200 200"; do
        fresh tested
        fresh zipped
        WINEPREFIX=$tested_prefix in_wine "$work/tested" "$work/tested.out" "$root/$dir/Quorvane.exe" $run
        st_tested=$st
        in_wine "$work/zipped" "$work/zipped.out" "$top/bin/Quorvane.exe" $run
        sed -i 's/^Completed in [0-9.]* seconds$/Completed in (time) seconds/' "$work/tested.out" "$work/zipped.out"
        if [ "$st" != "$st_tested" ] || ! cmp -s "$work/tested.out" "$work/zipped.out" ||
            [ -s "$work/zipped.out.err" ] || ! diff -r "$work/tested" "$work/zipped" >/dev/null; then
            wrong="$wrong \"$run\": status $st against $st_tested, or other output or files;"
        fi
    done
    name="zip: Quorvane.exe in a fresh prefix prints and writes what the tested build does"
    if [ -z "$wrong" ]; then check_ok "$name"; else check_fail "$name" "$wrong"; fi

    # A C program built through the zip's CMake package, run beside the DLL.
    if cmake -S tests/consumer -B "$work/consumer-build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKelvory_LiDAR_DIR="$top/lib/cmake/Kelvory_LiDAR" \
        >"$work/consumer-build.log" 2>&1 &&
        cmake --build "$work/consumer-build" >>"$work/consumer-build.log" 2>&1; then
        cp "$work/consumer-build/consumer.exe" "$top/bin/"
        consumer "zip: a C program built with its CMake package" "$top/bin/consumer.exe"
    else
        check_fail "zip: a C program built with its CMake package" "see $work/consumer-build.log"
    fi
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    WINEPREFIX=$tested_prefix
fi

[ "$retries" -gt 0 ] && echo "Programs started again after a failed start: $retries"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
