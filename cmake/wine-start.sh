#!/bin/sh
# Starts a Windows program under Wine (Debian's wine64), in the prefix
# WINEPREFIX names: the Windows cross build's emulator, for ctest and test
# discovery. Wine fails to start a program about once in several thousand
# starts (status 1 and nothing printed, which no program of this project
# does): such a start is made once more, and said on standard error.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
    status=0
    /usr/lib/wine/wine64 "$@" >"$out" 2>"$err" || status=$?
    if [ "$attempt" = 2 ] || [ "$status" != 1 ] || [ -s "$out" ] || [ -s "$err" ]; then
        break
    fi
    echo "note: Wine failed to start $1; started again" >&2
done
cat "$out"
cat "$err" >&2
exit "$status"
