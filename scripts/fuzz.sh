#!/bin/sh
# Runs every libFuzzer target for a fixed time each (default 30 seconds), as
# many at once as there are processors:
#   scripts/fuzz.sh [seconds per target]
# Corpora grow in fuzz-corpus/ across runs; a crash leaves its input in
# build-fuzz/artifacts/ and fails that target. Ends with the line
# "N passed, N failed, N skipped" (all skipped without clang's fuzzer runtime).
set -u
cd "$(dirname "$0")/.."
. tests/support/count.sh
seconds=${1:-30}
targets="fuzz_las_file:las fuzz_filter_pass:filter fuzz_arguments:arguments fuzz_sorts:sorts"
sh scripts/deps.sh clang:clang >/dev/null 2>&1
runtime=$(clang -print-file-name=libclang_rt.fuzzer-x86_64.a 2>/dev/null)
case "$runtime" in /*) ;; *) runtime=/missing ;; esac
[ -f "$runtime" ] || sh scripts/deps.sh "$runtime:libclang-rt-dev" >/dev/null 2>&1
runtime=$(clang -print-file-name=libclang_rt.fuzzer-x86_64.a 2>/dev/null)
if [ ! -f "$runtime" ]; then
    echo "clang's libFuzzer runtime is not available: fuzzing skipped"
    count_add 0 0 4
    count_line
    exit 0
fi
if ! { cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF \
        -DQUORVANE_BENCH=OFF >/dev/null && cmake --build build-fuzz -j"$(nproc)" >/dev/null; }; then
    count_add 0 4 0
    count_line
    exit 1
fi

# Seeds: the project's own small files of every version and format, and the
# corpus folders' files under 64 KB.
seeds=build-fuzz/seeds
rm -rf "$seeds" build-fuzz/artifacts
mkdir -p "$seeds/las" "$seeds/filter" "$seeds/arguments" "$seeds/sorts" build-fuzz/artifacts
for minor in 0 1 2; do
    for format in 0 1 2 3; do
        build-fuzz/make_las "$seeds/las/v1${minor}_fmt${format}.las" 6 "$format" "$minor" 3
    done
done
corpus=$(sed -n 's/^QUORVANE_CORPUS_DIRS:STRING=//p' build-fuzz/CMakeCache.txt | tr ';' ' ')
for dir in $corpus; do
    for f in "$dir"/*.las; do
        [ -f "$f" ] && [ "$(stat -c %s "$f")" -le 65536 ] && cp "$f" "$seeds/las/"
    done
done
# Filter seeds: attribute byte, two little-endian doubles (0 and 1e9), a file.
bounds=build-fuzz/bounds.bin
printf '\000\000\000\000\000\000\000\000\000\000\000\000\145\315\315\101' > "$bounds"
attr=0
for f in "$seeds"/las/*.las; do
    { printf "\\$(printf '%03o' "$attr")"; cat "$bounds" "$f"; } > "$seeds/filter/$(basename "$f")"
    attr=$(( (attr + 1) % 13 ))
done
for text in 5 -3.5 .5 5. 1e3 0x10 1.23456789 abc Y n dem.asc data/dem.flt .flt; do
    printf '%s' "$text" > "$seeds/arguments/$(printf '%s' "$text" | tr '/.' '__')"
done
printf '\001\003\000\000\000\001\000\000\000\002\000\000\000' > "$seeds/sorts/ints"
printf '\000\000\000\000\000\000\000\340\077\000\000\000\000\000\000\370\177' > "$seeds/sorts/doubles"

# fuzz PAIR: runs one target for its time, its report in build-fuzz/TARGET.log.
fuzz() {
    target=${1%%:*} corpus=fuzz-corpus/${1#*:}
    mkdir -p "$corpus"
    build-fuzz/"$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/artifacts/"$target"- "$corpus" "$seeds/${1#*:}" >build-fuzz/"$target".log 2>&1
}

# As many targets at once as there are processors, each for its whole time.
set -- $targets
while [ $# -gt 0 ]; do
    wave=""
    while [ $# -gt 0 ] && [ "$(echo $wave | wc -w)" -lt "$(nproc)" ]; do
        echo "fuzzing ${1%%:*} for ${seconds}s"
        fuzz "$1" &
        wave="$wave ${1%%:*}"
        shift
    done
    wait
    for target in $wave; do
        echo "$target:"
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY|Done)' build-fuzz/"$target".log
        if ls build-fuzz/artifacts/"$target"-* >/dev/null 2>&1; then
            echo "$target found a failing input: build-fuzz/artifacts/"
            count_add 0 1 0
        else
            count_add 1 0 0
        fi
    done
done
count_line
count_ok
