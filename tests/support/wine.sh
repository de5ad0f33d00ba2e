# What the host-side checks of the Windows build share, sourced by them:
# running its programs under Wine as ctest does, and sample files.
#   BUILD: the Windows build folder; SOURCE: the project's top folder.
# A check ends with 77 (skipped) where Wine is not at hand.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "skipped: Wine ($wine) is not installed"; exit 77; }
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# The Windows name of a Linux path (a prefix maps / to Z:).
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# in_wine DIR OUT PROGRAM ARG...: runs a Windows program in DIR, as ctest
# does (started once more when Wine fails to start it), its standard output
# to OUT and error to OUT.err, and sets $st.
in_wine() {
    in_dir=$1 in_out=$2
    shift 2
    st=0
    (cd "$in_dir" && sh "$SOURCE/cmake/wine-start.sh" "$@") >"$in_out" 2>"$in_out.err" || st=$?
    sed -i '/started again$/d' "$in_out.err"
}

# A work folder of the check's own; samples puts two sample files in data/.
work=$BUILD/checks/$check
rm -rf "$work"
mkdir -p "$work/data"
samples() {
    in_wine "$work/data" "$work/make.out" "$BUILD/make_las.exe" s12f3.las 3000 3 2 1
    in_wine "$work/data" "$work/make.out" "$BUILD/make_las.exe" s12f2.las 2000 2 2 2
}

# fresh NAME: a fresh folder of the sample files.
fresh() {
    rm -rf "${work:?}/$1"
    mkdir "$work/$1"
    cp "$work"/data/*.las "$work/$1/"
}

# consumer EXE: the C consumer run on a sample and a missing file prints, in
# text mode as a C program's output is on Windows, its lines and those the
# DLL prints ending in CR LF.
consumer() {
    printf '%s\r\n' "check_las s12f3.las: 8" "Unable to open file missing.las in file_access()" "" \
        "File missing.las does NOT exist" "check_las missing.las: -1" "keys: -3 -3 0 10" \
        "from: 2 0 3 1" >"$work/consumer.expected"
    in_wine "$work/data" "$work/consumer.out" "$1" s12f3.las missing.las
    [ "$st" = 0 ] && cmp -s "$work/consumer.expected" "$work/consumer.out" ||
        fail "$1: status $st, output: $(od -c "$work/consumer.out" | head -3)"
}

# done_checking: the check's status.
done_checking() {
    [ "$failures" -eq 0 ] && echo "passed" && exit 0
    exit 1
}
