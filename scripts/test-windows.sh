#!/bin/sh
# Builds Quorvane and Kelvory_LiDAR for 64-bit Windows with MinGW-w64 and
# checks the Windows programs under Wine: the executable against the Linux
# build (console bytes, files left behind and exit statuses, on sample files,
# the manual's bounds table, the shared corpora and a file past 2 GiB), what
# only Windows does (same file by identity, outputs Windows will not replace,
# Ctrl-C), the exports of the DLL and the executable, a C program linked
# against the DLL, and the zip package unpacked into a Wine prefix of its own.
# Usage: scripts/test-windows.sh [--fresh]
#   --fresh  makes the Wine prefixes anew (otherwise they are kept for the
#            next run in build-win/).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
fresh=no
[ "${1:-}" = --fresh ] && fresh=yes

sh scripts/deps.sh cmake:cmake make:make g++:g++ groff:groff-base cmp:diffutils \
    x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix \
    x86_64-w64-mingw32-objdump:binutils-mingw-w64-x86-64 /usr/lib/wine/wine64:wine64 \
    perl:perl-base script:bsdutils
jobs=$(nproc)

# The Linux build is the reference.
[ -f build/CMakeCache.txt ] ||
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs" --target Quorvane make_las
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release
cmake --build build-win -j"$jobs"
cmake --build build-win -j"$jobs" --target Quorvane_seam
x86_64-w64-mingw32-gcc-posix -std=c11 -Wall -Wextra -Werror -O2 -static \
    tests/windows/win_runner.c -o build-win/win_runner.exe
rm -f build-win/quorvane-*-win64.zip
(cd build-win && cpack -G ZIP)

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
MINGW=x86_64-w64-mingw32
# No debug chatter, no offer to install Mono or Gecko into a new prefix, no
# search path beyond what Windows itself uses, no windows.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH DISPLAY WAYLAND_DISPLAY
prefix_main=$root/build-win/wineprefix
prefix_zip=$root/build-win/wineprefix-zip

# Ends the Wine servers of this script's prefixes (one that has already
# quit is no failure).
stop_wine() {
    for p in "$prefix_main" "$prefix_zip"; do
        if [ -d "$p" ]; then WINEPREFIX=$p $WINESERVER -k 2>/dev/null || true; fi
    done
}
trap stop_wine EXIT

# make_prefix DIR: a new Wine prefix in DIR, unless one is there (and no
# --fresh), with its Wine server kept up until the end: a program started
# while an idle server quits fails. Nothing is ever installed into it.
make_prefix() {
    if [ "$fresh" = yes ] || [ ! -f "$1/system.reg" ]; then
        rm -rf "$1"
        WINEPREFIX=$1 $WINE wineboot --init >"$1.log" 2>&1
    fi
    # A server left running (by a run that was stopped, say) is replaced.
    WINEPREFIX=$1 $WINESERVER -k 2>/dev/null || true
    WINEPREFIX=$1 $WINESERVER -w
    WINEPREFIX=$1 $WINESERVER -p
}

passed=0 failed=0 skipped=0 restarts=0
pass() { passed=$((passed + 1)); echo "ok    $1"; }
fail() { failed=$((failed + 1)); echo "FAIL  $1: $2"; }
skip() { skipped=$((skipped + 1)); echo "skip  $1: $2"; }

work=$root/build-win/check
rm -rf "$work"
mkdir -p "$work/data" "$work/big"

# Sample files of every accepted version and layout.
build/make_las "$work/data/s12f3.las" 3000 3 2 1
build/make_las "$work/data/s12f2.las" 2000 2 2 2
build/make_las "$work/data/s11f1.las" 2500 1 1 3
build/make_las "$work/data/s10f0.las" 1500 0 0 4

# wine_run OUT ERR PROGRAM ARG...: runs a Windows program under Wine, its
# standard output to OUT and error to ERR, and sets $wst to its status. Wine
# very rarely fails to start a program (status 1, nothing printed; no
# program run here ends so): that run is made once more, and counted.
wine_run() {
    wine_out=$1 wine_err=$2
    shift 2
    for attempt in 1 2; do
        wst=0
        $WINE "$@" >"$wine_out" 2>"$wine_err" || wst=$?
        if [ "$attempt" = 2 ] || [ "$wst" != 1 ] || [ -s "$wine_out" ] || [ -s "$wine_err" ]; then
            break
        fi
        restarts=$((restarts + 1))
    done
}

# The run time is the one line that may differ between two runs.
mask_time() { sed 's/^Completed in [0-9]*\.[0-9]* seconds$/Completed in (time) seconds/' "$1"; }

# same_as_linux NAME STATUS PREP ARG...: runs the Linux build and the Windows
# executable ($win_exe in $WINEPREFIX) with the same arguments, each in a
# folder of its own holding copies of the sample files, after the shell
# command PREP there. Both must end with STATUS ("-" for any, as long as it is
# the same), print the same bytes (on standard error none, as it is no
# terminal) and leave the same files behind.
same_as_linux() {
    name=$1 want=$2 prep=$3
    shift 3
    for side in lin win; do
        rm -rf "${work:?}/$side"
        mkdir "$work/$side"
        cp "$work"/data/*.las "$work/$side"/
        (cd "$work/$side" && eval "$prep")
    done
    st_lin=0
    (cd "$work/lin" && "$root/build/Quorvane" "$@") >"$work/lin.out" 2>"$work/lin.err" || st_lin=$?
    cd "$work/win"
    wine_run "$work/win.out" "$work/win.err" "$win_exe" "$@"
    cd "$root"
    st_win=$wst
    mask_time "$work/lin.out" >"$work/lin.masked"
    mask_time "$work/win.out" >"$work/win.masked"
    if [ "$want" != - ] && [ "$st_lin" != "$want" ]; then
        fail "$name" "Linux status $st_lin, expected $want"
    elif [ "$st_win" != "$st_lin" ]; then
        fail "$name" "Windows status $st_win, Linux $st_lin $(head -c 300 "$work/win.err")"
    elif ! cmp -s "$work/lin.masked" "$work/win.masked"; then
        fail "$name" "standard output differs: $(cmp "$work/lin.masked" "$work/win.masked" 2>&1 | head -1)"
    elif ! cmp -s "$work/lin.err" "$work/win.err"; then
        fail "$name" "standard error differs: $(head -c 200 "$work/win.err")"
    elif ! diff -r "$work/lin" "$work/win" >"$work/files.diff" 2>&1; then
        fail "$name" "files differ: $(head -1 "$work/files.diff")"
    else
        pass "$name"
    fi
}

# ---------------------------------------------------------------------------
echo "== Quorvane.exe under Wine against the Linux build"
make_prefix "$prefix_main"
export WINEPREFIX=$prefix_main
win_exe=$root/build-win/Quorvane.exe

same_as_linux "intensity, LAS 1.2 format 3" 0 "" s12f3.las out.las 4 0 30000
same_as_linux "X in real-world units" 0 "" s12f3.las out.las 1 500100.25 500400.5
same_as_linux "GPS time" 0 "" s12f3.las out.las 13 300000.01 300000.02
same_as_linux "return number, LAS 1.2 format 2" 0 "" s12f2.las out.las 5 1 1
same_as_linux "half-way bounds print rounded to even" 0 "" s12f2.las out.las 5 0.5 2.5
same_as_linux "scan angle, LAS 1.1 format 1" 0 "" s11f1.las out.las 10 -10 10
same_as_linux "class, LAS 1.0 format 0" 0 "" s10f0.las out.las 9 2 2
same_as_linux "existing output replaced" 0 "cp s10f0.las out.las" s12f3.las out.las 4 0 30000
same_as_linux "GPS time refused on format 0" 255 "" s10f0.las out.las 13 0 1
same_as_linux "no point retained" 255 "" s12f3.las out.las 9 200 200
same_as_linux "wrong number of arguments" 255 "" s12f3.las out.las 4 0
same_as_linux "bound with seven decimals" 255 "" s12f3.las out.las 4 1.0000001 2
same_as_linux "missing input" 255 "" missing.las out.las 4 0 1
same_as_linux "same file, two spellings" 255 "" s12f3.las ./s12f3.las 4 0 30000
same_as_linux "same file, hard link" 255 "ln s12f3.las link.las" s12f3.las link.las 4 0 30000

same_as_linux "upper-case .LAS refused as on Linux" 255 "cp s12f3.las S12F3.LAS" S12F3.LAS out.las 4 0 30000

# The manual's table of bound texts: each text as both bounds of a GPS time
# filter over a file whose times are every value of the table and the doubles
# on either side, so the verdict, the summary and the value used (the one
# record kept) must all match the Linux build's.
sed -n '/^Text given/,/^\.EE/p' doc/Quorvane.1 | sed '1d;$d;s/\\-/-/g' >"$work/bounds.txt"
sed -n 's/^"[^"]*" *\([^r ][^ ]*\) .*/\1/p' "$work/bounds.txt" >"$work/bound-values.txt"
values=$(wc -l <"$work/bound-values.txt")
if [ "$(wc -l <"$work/bounds.txt")" -ge 25 ] && [ "$values" -ge 10 ]; then
    build/make_las "$work/times.las" $((3 * values)) 1 2 5
    perl -MPOSIX=nextafter -e '
        open my $f, "+<:raw", $ARGV[0] or die;
        read $f, my $h, 100;
        my $at = unpack "V", substr($h, 96, 4);
        my %seen;
        for my $v (map { $_ + 0 } split /\n/, `cat $ARGV[1]`) {
            next if $seen{$v}++;
            for my $t (nextafter($v, -9**9**9), $v, nextafter($v, 9**9**9)) {
                seek $f, $at + 20, 0; print $f pack("d<", $t); $at += 28;
            }
        }' "$work/times.las" "$work/bound-values.txt"
    cp "$work/times.las" "$work/data/"
    while IFS= read -r row; do
        text=${row#\"}
        text=${text%%\"*}
        same_as_linux "bound \"$text\"" - "" times.las out.las 13 "$text" "$text"
        case "$row" in
        *refused) grep -q "^Error in specified minimum Attribute value$" "$work/lin.out" ||
            fail "bound \"$text\"" "the Linux build did not refuse it" ;;
        *) grep -q "^Output Records :         1$" "$work/lin.out" ||
            fail "bound \"$text\"" "the Linux build did not keep exactly one record" ;;
        esac
    done <"$work/bounds.txt"
    rm "$work/data/times.las"
else
    fail "the manual's bounds table" "not found in doc/Quorvane.1"
fi

# Every file of the shared corpora, with three filters each.
corpus=$(cd "$root/.." && pwd)/shared/data
for set in las las-more; do
    if [ ! -d "$corpus/$set" ]; then
        skip "corpus $set" "$corpus/$set is missing"
        continue
    fi
    ln -sfn "$corpus" "$work/corpus"
    for f in "$corpus/$set"/*.las; do
        in=../corpus/$set/$(basename "$f")
        same_as_linux "$set/$(basename "$f"), X" - "" "$in" out.las 1 -1000000000 1000000000
        same_as_linux "$set/$(basename "$f"), intensity" - "" "$in" out.las 4 0 1000
        same_as_linux "$set/$(basename "$f"), GPS time" - "" "$in" out.las 13 0 1000000000
    done
done

# A file past 2 GiB: header and projection record, then holes up to a point
# data offset past 2 GiB, and the records there. Only the records take disk.
le32() {
    printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) \
        $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"
}
big=$work/big/big.las
build/make_las "$work/big/small.las" 5000 1 2 7
first=$(od -An -tu4 -j96 -N4 "$work/big/small.las" | tr -d ' ')
offset=$((2147483648 + 1048576))
head -c "$first" "$work/big/small.las" >"$big"
le32 "$offset" | dd of="$big" bs=1 seek=96 conv=notrunc status=none
dd if="$work/big/small.las" of="$big" bs=1M iflag=skip_bytes skip="$first" \
    oflag=seek_bytes seek="$offset" conv=notrunc status=none
if [ "$(stat -c %s "$big")" -gt 2147483648 ]; then
    same_as_linux "point data past 2 GiB" 0 "" ../big/big.las out.las 4 0 30000
else
    fail "point data past 2 GiB" "the sparse file came out $(stat -c %s "$big") bytes"
fi
rm -rf "${work:?}/big" "$work/lin" "$work/win"

# ---------------------------------------------------------------------------
echo "== What only Windows does"

# The Windows name of a Linux path (the prefix maps / to Z:).
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# on_windows PREP ARG...: runs the Windows executable alone, as same_as_linux
# does, leaving its status in $st and its standard output in $work/win.out.
on_windows() {
    prep=$1
    shift
    rm -rf "${work:?}/win"
    mkdir "$work/win"
    cp "$work"/data/*.las "$work/win"/
    (cd "$work/win" && eval "$prep")
    cd "$work/win"
    wine_run "$work/win.out" "$work/win.err" "$win_exe" "$@"
    cd "$root"
    st=$wst
}

# refused NAME LINE [FILE SAMPLE]: the run ended with status 255 after
# printing LINE and left FILE as the sample file SAMPLE it was a copy of
# (s12f3.las, the input, unless given).
refused() {
    if [ "$st" != 255 ]; then
        fail "$1" "status $st"
    elif ! grep -qxF "$2" "$work/win.out"; then
        fail "$1" "no line \"$2\" in: $(tr '\n' ' ' <"$work/win.out" | tail -c 200)"
    elif ! cmp -s "$work/data/${4:-s12f3.las}" "$work/win/${3:-s12f3.las}"; then
        fail "$1" "${3:-s12f3.las} changed"
    else
        pass "$1"
    fi
}

# Other spellings of one file: other case, backslashes, a folder's name.
on_windows "" s12f3.las '.\S12F3.LAS' 4 0 30000
refused "same file, other case" "Same file name (s12f3.las) has been specified twice"
on_windows "" s12f3.las '..\WIN\s12f3.las' 4 0 30000
refused "same file, through the folder in other case" "Same file name (s12f3.las) has been specified twice"

# Existing outputs Windows will not replace are refused before anything is
# lost: a read-only file, a file another program holds open (sharing nothing,
# or reading and writing but not deletion). The runner, a Windows program,
# also sees the exit code that exit(-1) gives there.
open_refusal="Cannot open output LAS file out.las for writing"
if [ "$(id -u)" = 0 ]; then
    skip "read-only output refused" "Wine run by root writes read-only files"
else
    on_windows "cp s10f0.las out.las && chmod a-w out.las" s12f3.las out.las 4 0 30000
    refused "read-only output refused" "$open_refusal" out.las s10f0.las
fi
for hold in hold-none hold-rw; do
    rm -rf "${work:?}/win"
    mkdir "$work/win"
    cp "$work"/data/*.las "$work/win"/
    cp "$work/data/s10f0.las" "$work/win/out.las"
    (cd "$work/win" && $WINE "$root/build-win/win_runner.exe" result.txt "$hold" out.las \
        "$(winpath "$win_exe") s12f3.las out.las 4 0 30000") >"$work/win.out" 2>"$work/win.err"
    st=255
    [ "$(cat "$work/win/result.txt")" = 0xffffffff ] || st="$(cat "$work/win/result.txt")"
    refused "output held open by another program ($hold)" "$open_refusal" out.las s10f0.las
done

# A run and a refusal, as a Windows parent (cmd.exe, PowerShell) sees them.
for run in "0x00000000 s12f3.las out.las 4 0 30000" "0xffffffff s12f3.las out.las 9 200 200"; do
    set -- $run
    want=$1
    shift
    on_windows ""
    (cd "$work/win" && $WINE "$root/build-win/win_runner.exe" result.txt run - \
        "$(winpath "$win_exe") $*") >/dev/null 2>&1
    got=$(cat "$work/win/result.txt")
    if [ "$got" = "$want" ]; then
        pass "exit code $want seen by a Windows program"
    else
        fail "exit code $want seen by a Windows program" "$got"
    fi
done

# Interrupts, with the test build held mid-run. Wine turns a SIGINT (a Ctrl-C
# typed in the terminal it runs in) into a console Ctrl-C event on a thread
# of its own; the Linux side sees the low byte of STATUS_CONTROL_C_EXIT, 58.
seam_exe=$root/build-win/Quorvane_seam.exe
# interrupted_at POINT INPUT ATTR: runs the test build in a fresh folder,
# holds it at POINT and sends SIGINT there; leaves the status in $st.
interrupted_at() {
    on_windows ""
    (cd "$work/win" && QUORVANE_HOLD_AT=$1 QUORVANE_HOLD_FD=2 \
        exec $WINE "$seam_exe" "$2" out.las "$3" 0 30000) >"$work/win.out" 2>"$work/win.err" &
    pid=$!
    tries=0
    until grep -q "^held" "$work/win.err" || [ $tries -ge 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    kill -INT "$pid"
    tries=0
    while grep -q "^State:[[:space:]]*[^Z[:space:]]" "/proc/$pid/status" 2>/dev/null &&
        [ $tries -lt 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    [ $tries -lt 100 ] || { kill -KILL "$pid"; echo "the run did not end by SIGINT: killed"; }
    st=0
    wait "$pid" || st=$?
}
# gone FILE: FILE is gone, or goes within 5 s. A file deleted while open is
# removed when the Wine server closes the dead process's handles, a moment
# after Linux sees the process end (a Windows parent sees it in order).
gone() {
    tries=0
    while [ -e "$1" ] && [ $tries -lt 50 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    [ ! -e "$1" ]
}
for point in scan update; do
    interrupted_at $point s12f3.las 4
    if [ "$st" = 58 ] && gone "$work/win/out.las" && cmp -s "$work/data/s12f3.las" "$work/win/s12f3.las"; then
        pass "Ctrl-C at $point removes the incomplete output"
    else
        fail "Ctrl-C at $point removes the incomplete output" "status $st, or out.las left, or the input changed"
    fi
done
same_as_linux "a result, for the next check" 0 "" s12f3.las out.las 4 0 30000
cp "$work/win/out.las" "$work/result.las"
interrupted_at done s12f3.las 4
if [ "$st" = 58 ] && cmp -s "$work/result.las" "$work/win/out.las"; then
    pass "Ctrl-C after the run leaves the result"
else
    fail "Ctrl-C after the run leaves the result" "status $st, or out.las is not the result"
fi
interrupted_at gps s12f2.las 13
if [ "$st" = 58 ] && [ "$(stat -c %s "$work/win/out.las" 2>/dev/null)" = 227 ]; then
    pass "Ctrl-C after the GPS time refusal leaves the header"
else
    fail "Ctrl-C after the GPS time refusal leaves the header" "status $st, or no 227-byte out.las"
fi
# Ctrl-C pressed in a real console by a Windows program: Wine gives a console
# in a terminal, so the runner runs in one (script's pseudo-terminal).
on_windows ""
(cd "$work/win" && timeout 60 script -qec "$WINE '$root/build-win/win_runner.exe' result.txt ctrl-c scan \
    '$(winpath "$seam_exe") s12f3.las out.las 4 0 30000'" /dev/null) >/dev/null 2>&1 </dev/null || true
got=$(cat "$work/win/result.txt" 2>/dev/null || echo "no result")
if [ "$got" = 0xc000013a ] && [ ! -e "$work/win/out.las" ]; then
    pass "Ctrl-C in a console: STATUS_CONTROL_C_EXIT, output removed"
else
    fail "Ctrl-C in a console: STATUS_CONTROL_C_EXIT, output removed" "$got, or out.las left"
fi

# ---------------------------------------------------------------------------
echo "== Exports and imports"
want_exports=$(tr -d '{};' <library/exports.list | tr ' ' '\n' | grep -v '^$' | sort)
for image in Kelvory_LiDAR.dll Quorvane.exe; do
    $MINGW-objdump -p "build-win/$image" >"$work/objdump.txt"
    got=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$work/objdump.txt" |
        sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
    if [ "$got" = "$want_exports" ]; then
        pass "$image exports the library's routines"
    else
        fail "$image exports the library's routines" "$(echo $got)"
    fi
    # The GCC, C++ and thread runtimes are inside: only system DLLs are used.
    imports=$(sed -n 's/^.*DLL Name: //p' "$work/objdump.txt" | sort | tr '\n' ' ')
    if [ "$imports" = "KERNEL32.dll msvcrt.dll " ]; then
        pass "$image uses system DLLs only"
    else
        fail "$image uses system DLLs only" "$imports"
    fi
done

# ---------------------------------------------------------------------------
echo "== A C program against the DLL"
# The program's standard output is in text mode, as a C program's is on
# Windows: its lines and those the DLL prints end in CR LF.
consumer_text() {
    printf 'check_las s12f3.las: 8\r\n'
    printf 'Unable to open file missing.las in file_access()\r\n\r\n'
    printf 'File missing.las does NOT exist\r\n'
    printf 'check_las missing.las: -1\r\n'
    printf 'keys: -3 -3 0 10\r\nfrom: 2 0 3 1\r\n'
}
consumer_text >"$work/consumer.expected"
# check_consumer NAME EXE: runs EXE on a sample and a missing file.
check_consumer() {
    cd "$work/data"
    wine_run "$work/consumer.out" "$work/consumer.err" "$2" s12f3.las missing.las
    cd "$root"
    st=$wst
    if [ "$st" = 0 ] && cmp -s "$work/consumer.expected" "$work/consumer.out"; then
        pass "$1"
    else
        fail "$1" "status $st, output: $(od -c "$work/consumer.out" | head -3)"
    fi
}
$MINGW-gcc-posix -std=c11 -Wall -Wextra -Werror -Ilibrary tests/consumer/consumer.c \
    -Lbuild-win -lKelvory_LiDAR -o build-win/consumer.exe
check_consumer "consumer linked against the build tree's DLL" "$root/build-win/consumer.exe"

# ---------------------------------------------------------------------------
echo "== The zip, unpacked into a prefix of its own"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win/CMakeCache.txt)
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$root/build-win/quorvane-$version-win64.zip")
top=$work/zip/quorvane-$version-win64
(cd "$top" && find . -type f | sort) >"$work/zip.files"
cat >"$work/zip.expected" <<'EOF'
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
EOF
if cmp -s "$work/zip.expected" "$work/zip.files"; then
    pass "zip contents"
else
    fail "zip contents" "$(diff "$work/zip.expected" "$work/zip.files" | grep '^[<>]' | tr '\n' ' ')"
fi
manual=$top/doc/Quorvane.txt
cr=$(printf '\r')
if [ -f "$manual" ] && grep -q "^SYNOPSIS$cr\$" "$manual" &&
    [ "$(grep -c "$cr\$" "$manual")" = "$(wc -l <"$manual")" ] &&
    ! grep -q "$(printf '[\b\033]')" "$manual"; then
    pass "manual as plain text with CR LF"
else
    fail "manual as plain text with CR LF" "overstrikes, escapes, bare LF or no SYNOPSIS"
fi

make_prefix "$prefix_zip"
export WINEPREFIX=$prefix_zip
win_exe=$top/bin/Quorvane.exe
same_as_linux "zip: intensity" 0 "" s12f3.las out.las 4 0 30000
same_as_linux "zip: half-way bounds" 0 "" s12f2.las out.las 5 0.5 2.5
same_as_linux "zip: no point retained" 255 "" s12f3.las out.las 9 200 200

# The consumer built through the zip's CMake package, run from beside the DLL.
if cmake -S tests/consumer -B "$work/consumer-build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DKelvory_LiDAR_DIR="$top/lib/cmake/Kelvory_LiDAR" >"$work/consumer-build.log" 2>&1 &&
    cmake --build "$work/consumer-build" >>"$work/consumer-build.log" 2>&1; then
    cp "$work/consumer-build/consumer.exe" "$top/bin/"
    check_consumer "zip: consumer built with the CMake package" "$top/bin/consumer.exe"
else
    fail "zip: consumer built with the CMake package" "see $work/consumer-build.log"
fi

[ "$restarts" = 0 ] || echo "Wine failed to start a program $restarts time(s); each was run again"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
