#!/bin/sh
# Runs the README's examples as a new user would, in a scratch folder laid out
# like the repository's top after ./scripts/sample.sh (build/Quorvane and
# build/sample.las, made by the same make_las line):
#   tests/docs/readme.sh [Quorvane executable] [make_las executable] [emulator words...]
# A cross build's programs run through its emulator (the words after the two
# programs), behind build/Quorvane and build/make_las as a user would have
# them.
# - every line of a code block that starts with "build/Quorvane" or
#   "$ build/Quorvane" must end with status 0, keep some but not all of the
#   sample's points and leave standard error empty;
# - the lines shown after a "$ " line must be the end of what a terminal shows
#   (carriage returns applied, the elapsed time left out);
# - a line of several runs is judged by its last, and a file it removes at
#   its end must be gone;
# - the many-tiles recipe (the code block that runs xargs) must read the same
#   in the manual page and, run twice in C.UTF-8 on a folder of tiles, list
#   exactly the tile that keeps nothing, the one that is no LAS file, the one
#   whose format byte is 0x83 and the upper-case name, each with its reason
#   in printable text, leave logs without carriage returns, ground/.partial
#   empty, and end non-zero; asked for GPS time, so that a (now keeping
#   nothing) and b (its header left by the tool) fail, it keeps their results.
# Ends with status 77 (skipped) when the programs or the sample cannot be had.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tests/docs/tiles.sh"
tool=${1:-$top/build/Quorvane}
make_las=${2:-$top/build/make_las}
[ $# -ge 2 ] && shift 2 || set --
emulator="$*"
readme=$top/README.md
[ -x "$tool" ] && [ -x "$make_las" ] || skip "$tool or $make_las is not built"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin=$work/build
mkdir "$bin"
# place PROGRAM NAME: build/NAME runs PROGRAM, through the emulator if any.
place() {
    if [ -z "$emulator" ]; then ln -s "$1" "$bin/$2"; return; fi
    printf '#!/bin/sh\nexec %s "%s" "$@"\n' "$emulator" "$1" >"$bin/$2" && chmod +x "$bin/$2"
}
place "$tool" Quorvane
place "$make_las" make_las
sample=$(grep -m 1 '^build/make_las build/sample.las ' "$top/scripts/sample.sh") ||
    { echo "FAILED: scripts/sample.sh has no line 'build/make_las build/sample.las ...' to copy"; exit 1; }
(cd "$work" && sh -c "$sample" >/dev/null 2>&1) || skip "the sample cannot be made ($sample)"

# What a terminal shows: each carriage return sends the cursor back to the
# line's start, trailing blanks are invisible, the elapsed time varies.
screen() {
    awk '{
        n = split($0, part, "\r"); line = ""
        for (i = 1; i <= n; i++)
            line = length(part[i]) >= length(line) ? part[i] : part[i] substr(line, length(part[i]) + 1)
        sub(/ +$/, "", line)
        sub(/^Completed in [0-9.]+ seconds$/, "Completed in (time) seconds", line)
        print line
    }' "$1"
}

# cmd.N holds the Nth command line; shown.N what the README shows after it.
awk -v dir="$work" '
    /^```/ { inblock = !inblock; out = ""; next }
    !inblock { next }
    /^(\$ )?build\/Quorvane / {
        n++; line = $0; shown = sub(/^\$ /, "", line)
        print line > (dir "/cmd." n); close(dir "/cmd." n)
        out = shown ? dir "/shown." n : ""
        if (out != "") printf "" > out
        next
    }
    /^\$ / { out = ""; next }
    out != "" { print > out }
' "$readme"
ls "$work"/cmd.* >/dev/null 2>&1 || fail "README.md has no build/Quorvane command line"

for cmd in "$work"/cmd.*; do
    [ -f "$cmd" ] || continue
    n=${cmd##*.}
    line=$(cat "$cmd")
    (cd "$work" && sh -c "$line") >"$work/out.$n" 2>"$work/err.$n"
    status=$?
    # A line of several runs (filters combined) is judged by its last run.
    kept=$(sed -n 's/^Output Records : *\([0-9]*\)$/\1/p' "$work/out.$n" | tail -n 1)
    total=$(sed -n 's/^Input Records  : *\([0-9]*\)$/\1/p' "$work/out.$n" | tail -n 1)
    removed=$(printf '%s\n' "$line" | sed -n 's/.*; rm -f \([^ ]*\)$/\1/p')
    [ -z "$removed" ] || [ ! -e "$work/$removed" ] || fail "$line: $removed is left"
    if [ "$status" -ne 0 ]; then
        fail "$line: status $status"; cat "$work/out.$n"
    elif [ -s "$work/err.$n" ]; then
        fail "$line: wrote to standard error"; cat "$work/err.$n"
    elif [ -z "$kept" ] || [ -z "$total" ] || [ "$kept" -eq 0 ] || [ "$kept" -ge "$total" ]; then
        fail "$line: kept ${kept:-?} of ${total:-?} points, not some of them"
    fi
    [ -f "$work/shown.$n" ] || continue
    screen "$work/shown.$n" >"$work/want.$n"
    screen "$work/out.$n" | tail -n "$(wc -l <"$work/want.$n")" | diff -u "$work/want.$n" - >"$work/diff.$n" ||
        { fail "$line: the README shows another output"; cat "$work/diff.$n"; }
done

# The recipe, from the README and from the manual page (unescaped).
block_with_xargs() {
    awk -v first="$2" -v last="$3" '
        $0 ~ last && inblock { if (!done && text ~ /xargs/) { printf "%s", text; done = 1 } inblock = 0; next }
        $0 ~ first && !inblock { inblock = 1; text = ""; next }
        inblock { text = text $0 "\n" }
    ' "$1"
}
block_with_xargs "$readme" '^```' '^```' >"$work/recipe.sh"
block_with_xargs "$top/doc/Quorvane.1" '^[.]EX' '^[.]EE' | unescape | diff -u "$work/recipe.sh" - >"$work/recipe.diff" ||
    { fail "the manual page's recipe differs from the README's"; cat "$work/recipe.diff"; }
[ -s "$work/recipe.sh" ] || fail "README.md has no many-tiles recipe (a code block running xargs)"

mkdir "$work/tiles"
failing_tiles "$bin/make_las" "$work/tiles"
"$bin/make_las" "$work/tiles/a.las" 300 1 2 7 && "$bin/make_las" "$work/tiles/b.las" 300 0 0 8 &&
    cp "$work/tiles/a.las" "$work/tiles/UPPER.LAS" && printf 'not a LAS file\n' >"$work/tiles/broken.las" ||
    fail "cannot make the tiles"
set -- "tiles/UPPER.LAS: File extension of tiles/UPPER.LAS is not .las" \
    "tiles/broken.las: tiles/broken.las is not a valid .las file" \
    "tiles/compressed.las: PointDataFormatID in tiles/compressed.las is ?. Only 0, 1, 2, or 3 is accepted" \
    "tiles/empty.las: No points retained"
for run in 1 2 gps; do
    run_recipe "$work" recipe.sh >"$work/recipe.out" 2>&1 && fail "recipe run $run: status 0 although tiles failed"
    check_failed "$work" "recipe run $run" "$@"
    cmp -s "$work/logs/failed.txt" "$work/recipe.out" ||
        { fail "recipe run $run: its output is not logs/failed.txt"; cat "$work/recipe.out"; }
    [ $run = 2 ] || continue
    ! grep -l "$(printf '\r')" "$work"/logs/*.log || fail "logs hold carriage returns"
    [ "$(ls -A "$work/ground")" = "$(printf '.partial\na.las\nb.las')" ] || fail "ground/ holds" $(ls -A "$work/ground")
    cp -R "$work/ground" "$work/kept"
    cp "$work/tiles/empty.las" "$work/tiles/a.las" && sed -i 's/ 9 2 2 / 13 0 1000000 /' "$work/recipe.sh"
    set -- "$@" "tiles/a.las: No points retained" \
        "tiles/b.las: Input file (tiles/b.las) does not carry GPS Time Information (Attribute 13)"
done
diff -r "$work/kept" "$work/ground" || fail "a failed re-run changed ground/"

finish "the README" "README: $(ls "$work"/cmd.* | wc -l) command lines and the many-tiles recipe run as written"
