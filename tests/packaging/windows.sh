#!/bin/sh
# The Windows build's library and zip, checked from the Linux host:
#   tests/packaging/windows.sh CHECK BUILD SOURCE TOOLCHAIN
#   dll_consumer   a C program linked against the build tree's DLL
#   zip_pack       cpack makes the zip, unpacked for the checks below
#   zip_files      the files it holds
#   zip_manual     the manual as plain text with CR LF
#   zip_program    its Quorvane.exe, run from a Wine prefix of its own that
#                  has never seen the build, prints and writes what the
#                  tested build does
#   zip_consumer   a C program built through its CMake package
set -u
check=$1 BUILD=$2 SOURCE=$3 toolchain=$4
. "$SOURCE/tests/support/wine.sh"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
zip_top=$BUILD/checks/zip/quorvane-$version-win64

case $check in
dll_consumer)
    samples
    if x86_64-w64-mingw32-gcc-posix -std=c11 -Wall -Wextra -Werror -I"$SOURCE/library" \
        "$SOURCE/tests/packaging/consumer/consumer.c" -L"$BUILD" -lKelvory_LiDAR -o "$work/consumer.exe" 2>"$work/link.log"; then
        cp "$BUILD/Kelvory_LiDAR.dll" "$work/"  # Windows finds a DLL beside the program
        consumer "$work/consumer.exe"
    else
        fail "linking against the DLL: $(cat "$work/link.log")"
    fi
    ;;
zip_pack)
    rm -rf "$BUILD/checks/zip" "$BUILD"/quorvane-*-win64.zip
    mkdir -p "$BUILD/checks/zip"
    (cd "$BUILD" && cpack -G ZIP >"$work/cpack.log" 2>&1) || fail "cpack: $(tail -5 "$work/cpack.log")"
    (cd "$BUILD/checks/zip" && cmake -E tar xf "$BUILD/quorvane-$version-win64.zip") || fail "the zip does not unpack"
    ;;
zip_files)
    (cd "$zip_top" 2>/dev/null && find . -type f | sort) >"$work/zip.files"
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
    cmp -s "$work/zip.expected" "$work/zip.files" ||
        fail "$(diff "$work/zip.expected" "$work/zip.files" | grep '^[<>]' | tr '\n' ' ')"
    ;;
zip_manual)
    manual=$zip_top/doc/Quorvane.txt cr=$(printf '\r')
    [ -f "$manual" ] && grep -q "^SYNOPSIS$cr\$" "$manual" &&
        [ "$(grep -c "$cr\$" "$manual")" = "$(wc -l <"$manual")" ] &&
        ! grep -q "$(printf '[\b\033]')" "$manual" ||
        fail "overstrikes, escapes, bare LF or no SYNOPSIS in $manual"
    ;;
zip_program)
    samples
    tested_prefix=$WINEPREFIX
    export WINEPREFIX=$work/wineprefix
    $wine wineboot --init >"$work/wineboot.log" 2>&1
    /usr/lib/wine/wineserver -p
    $wine wineboot </dev/null >/dev/null 2>&1
    for run in "s12f3.las out.las 4 0 30000" "s12f2.las out.las 5 0.5 2.5" "s12f3.las out.las 9 200 200"; do
        fresh tested
        fresh zipped
        WINEPREFIX=$tested_prefix in_wine "$work/tested" "$work/tested.out" "$BUILD/Quorvane.exe" $run
        st_tested=$st
        in_wine "$work/zipped" "$work/zipped.out" "$zip_top/bin/Quorvane.exe" $run
        sed -i 's/^Completed in [0-9.]* seconds$/Completed in (time) seconds/' "$work/tested.out" "$work/zipped.out"
        if [ "$st" != "$st_tested" ] || ! cmp -s "$work/tested.out" "$work/zipped.out" ||
            [ -s "$work/zipped.out.err" ] || ! diff -r "$work/tested" "$work/zipped" >/dev/null; then
            fail "\"$run\": status $st against $st_tested, or other output or files"
        fi
    done
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    ;;
zip_consumer)
    if cmake -S "$SOURCE/tests/packaging/consumer" -B "$work/consumer-build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKelvory_LiDAR_DIR="$zip_top/lib/cmake/Kelvory_LiDAR" \
        >"$work/consumer-build.log" 2>&1 &&
        cmake --build "$work/consumer-build" >>"$work/consumer-build.log" 2>&1; then
        # Beside a copy of the zip's DLL: the unpacked zip, which the other
        # checks read, stays as packed.
        cp "$zip_top/bin/Kelvory_LiDAR.dll" "$work/consumer-build/"
        samples
        consumer "$work/consumer-build/consumer.exe"
    else
        fail "see $work/consumer-build.log"
    fi
    ;;
*)
    echo "no check $check"
    exit 2
    ;;
esac
done_checking
