# What readme.sh and recipes_ssh.sh, which run the many-tiles recipes of the
# README and of the manual page as written, check alike; sourced by both,
# after they set $work (their scratch folder) and $bin (the folder of the
# programs the recipes run).
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
skip() { echo "skipped: $*"; exit 77; }
# finish WHAT DONE: status 1 when a check of WHAT failed, else says DONE.
finish() {
    [ "$failures" -eq 0 ] || { echo "$failures check(s) of $1 failed"; exit 1; }
    echo "$2"
}

# unescape [FILE]: a manual page's example as it reads.
unescape() {
    sed -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\e/\\/g' "$@"
}

# failing_tiles MAKE_LAS FOLDER: FOLDER/empty.las, which keeps nothing, and
# FOLDER/compressed.las, refused for its format byte 0x83 (a compressed
# file's), which the reason shows and logs/failed.txt must show as "?".
failing_tiles() {
    "$1" "$2/empty.las" 0 1 2 && "$1" "$2/compressed.las" 300 1 2 9 &&
        printf '\203' | dd of="$2/compressed.las" conv=notrunc bs=1 seek=104 2>/dev/null ||
        fail "cannot make $2/empty.las and $2/compressed.las"
}

# run_recipe FOLDER SCRIPT: runs SCRIPT in FOLDER as a user would, with $bin
# first in PATH, in C.UTF-8 (where a byte such as 0x83 is no character).
[ "$(LC_ALL=C.UTF-8 locale charmap)" = UTF-8 ] || fail "no C.UTF-8 locale to run the recipes in"
run_recipe() (
    cd "$1" && PATH="$bin:$PATH" LC_ALL=C.UTF-8 exec sh "$2"
)

# check_failed FOLDER WHAT LINE...: after a run in FOLDER, logs/failed.txt
# lists exactly the LINEs, in any order, and ground/.partial holds nothing.
check_failed() {
    folder=$1 what=$2
    shift 2
    printf '%s\n' "$@" | LC_ALL=C sort >"$work/failed.want"
    LC_ALL=C sort "$folder/logs/failed.txt" 2>&1 | diff -u "$work/failed.want" - >"$work/failed.diff" ||
        { fail "$what: logs/failed.txt does not list the failed tiles as below"; cat "$work/failed.diff"; }
    [ -z "$(ls -A "$folder/ground/.partial" 2>/dev/null)" ] ||
        fail "$what: ground/.partial holds" $(ls -A "$folder/ground/.partial")
}
