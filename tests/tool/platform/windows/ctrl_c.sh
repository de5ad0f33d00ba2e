#!/bin/sh
# Ctrl-C pressed in a console, with the Windows test build held at each
# point: a console needs a terminal under Wine, which `script` gives. The
# run ends with STATUS_CONTROL_C_EXIT; the incomplete output is removed, a
# complete one or the header left by the GPS time refusal is kept; its log
# (standard output in a file) holds what it printed before.
#   tests/tool/platform/windows/ctrl_c.sh BUILD SOURCE
set -u
BUILD=$1 SOURCE=$2 check=ctrl-c
. "$SOURCE/tests/support/wine.sh"
command -v script >/dev/null || { echo "skipped: script (bsdutils) gives the console and is not installed"; exit 77; }

samples
fresh done
in_wine "$work/done" "$work/done.out" "$BUILD/Quorvane.exe" s12f3.las out.las 4 0 30000
for case in "scan s12f3.las 4" "update s12f3.las 4" "done s12f3.las 4" "gps s12f2.las 13"; do
    set -- $case
    fresh ctrl-c
    (cd "$work/ctrl-c" && timeout 60 script -qec "$wine '$BUILD/console_ctrl_c.exe' result.txt $1 \
        '$(winpath "$BUILD/Quorvane_seam.exe") $2 out.las $3 0 30000' >log.txt" /dev/null) \
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
    [ "$got" = 0xc000013a ] || fail "at $1: $got"
done
done_checking
