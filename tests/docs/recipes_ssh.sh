#!/bin/sh
# Runs the manual page's SEVERAL MACHINES recipes (GNU parallel over ssh) as
# written, in C.UTF-8, against an sshd of the test's own on 127.0.0.1 that
# plays the recipes' worker1 and worker2 (two names in an ssh config of the
# test's own, as parallel merges identical logins):
#   tests/docs/recipes_ssh.sh [Quorvane executable] [make_las executable]
# Only the placeholders change: /usr/local/bin/Quorvane becomes the program
# under test and /var/tmp/quorvane a folder of the test's own; `parallel` is a
# wrapper that adds --ssh 'ssh -F <config>' and notes its process id.
# - shared storage: a batch is stopped with SIGTERM once some tiles are
#   logged, then run again as the manual says;
# - tiles sent to the workers: run once, then again; the workers' folder is
#   left empty and the local tiles stay;
# after each run every result and log matches a local run's, ground/.partial
# is empty, the tiles that keep nothing or are refused (format byte 0x83) are
# listed in logs/failed.txt with their reasons in printable text, the batch
# ends with their number as its status, and no tile logged with status 0 ran
# again;
# - both, run anew asked for GPS time: t1, made to keep nothing, and the
#   tiles without GPS time, of which the tool leaves the header it wrote,
#   fail, and their older results stay.
# Ends with 77 (skipped) when sshd, ssh, ssh-keygen, GNU parallel or rsync is
# missing, and 1 when sshd will not start or a check fails.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tests/docs/tiles.sh"
tool=${1:-$top/build/Quorvane}
make_las=${2:-$top/build/make_las}
[ -x "$tool" ] && [ -x "$make_las" ] || skip "$tool or $make_las is not built"
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
sshd=$(command -v sshd) || sshd=/usr/sbin/sshd
[ -x "$sshd" ] || skip "no sshd (Debian: openssh-server)"
for program in ssh ssh-keygen parallel rsync; do
    command -v $program >/dev/null 2>&1 || skip "no $program"
done
parallel=$(command -v parallel)
"$parallel" --version 2>/dev/null | grep -q '^GNU parallel' || skip "$parallel is not GNU parallel"

started=$(date +%s)
work=$(mktemp -d)
bin=$work/bin
sshd_pid=
stop_sshd() {
    [ -z "$sshd_pid" ] || { kill "$sshd_pid" 2>/dev/null; wait "$sshd_pid" 2>/dev/null; }
    sshd_pid=
}
cleanup() {
    stop_sshd
    pid=$(cat "$work/parallel.pid" 2>/dev/null) && kill "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM
# Neither parallel here nor the workers' shells use the real home folder.
export PARALLEL_HOME="$work/parallel-home"
unset PARALLEL SSH_AUTH_SOCK
mkdir "$bin" "$work/home" "$work/tiles" "$work/local-run" "$work/shared" "$work/sent"

# The recipes: the example blocks of the section (sent.man the one that
# sends the tiles), unescaped, their placeholders replaced.
awk -v dir="$work" '
    /^\.SH / { insection = ($0 == ".SH SEVERAL MACHINES") }
    insection && /^\.EX/ { inblock = 1; text = ""; next }
    inblock && /^\.EE/ { inblock = 0; printf "%s", text > (dir "/" (text ~ /transferfile/ ? "sent" : "shared") ".man") }
    inblock { text = text $0 "\n" }
' "$top/doc/Quorvane.1"
for recipe in shared sent; do
    unescape "$work/$recipe.man" 2>/dev/null | sed -e "s|/usr/local/bin/Quorvane|$bin/Quorvane|g" \
        -e "s|/var/tmp/quorvane|$work/workers|g" >"$work/$recipe.sh"
    grep -q -e '--sshlogin worker1,worker2' "$work/$recipe.sh" 2>/dev/null && grep -q "$bin/Quorvane" "$work/$recipe.sh" ||
        fail "SEVERAL MACHINES has no $recipe-tiles block running /usr/local/bin/Quorvane on worker1,worker2"
done
grep -q "$work/workers" "$work/sent.sh" 2>/dev/null || fail "the sent-tiles block has no /var/tmp/quorvane"
[ "$failures" -eq 0 ] || exit 1
ln -s "$tool" "$bin/Quorvane"
cat >"$bin/parallel" <<EOF
#!/bin/sh
echo \$\$ >"$work/parallel.pid"
exec "$parallel" --ssh "ssh -F $work/ssh_config" "\$@"
EOF
chmod +x "$bin/parallel"

# The server, on a free port picked by trying.
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key" && ssh-keygen -q -t ed25519 -N '' -f "$work/user_key" ||
    { echo "FAILED: ssh-keygen"; exit 1; }
# HOME: the workers' shells read no login files of the real home.
cat >"$work/sshd_config" <<EOF
ListenAddress 127.0.0.1
HostKey $work/host_key
AuthorizedKeysFile $work/user_key.pub
PidFile $work/sshd.pid
UsePAM no
StrictModes no
PasswordAuthentication no
KbdInteractiveAuthentication no
MaxStartups 100
SetEnv HOME=$work/home LC_ALL=C.UTF-8
EOF
start_sshd() {
    for try in 1 2 3 4 5 6; do
        port=$((20000 + $(od -An -N2 -tu2 /dev/urandom) % 40000))
        : >"$work/sshd.log"
        "$sshd" -D -e -f "$work/sshd_config" -p "$port" 2>"$work/sshd.log" &
        sshd_pid=$!
        i=0
        while [ $i -lt 300 ] && kill -0 "$sshd_pid" 2>/dev/null; do
            grep -q '^Server listening' "$work/sshd.log" && return 0
            sleep 0.1
            i=$((i + 1))
        done
        stop_sshd
        grep -q 'Address already in use' "$work/sshd.log" && continue
        # As root sshd wants the folder that the system's ssh service makes.
        dir=$(tr -d '\r' <"$work/sshd.log" | sed -n 's/^Missing privilege separation directory: //p')
        [ -n "$dir" ] && [ "$(id -u)" -eq 0 ] && mkdir -p -m 755 "$dir" && continue
        return 1
    done
    return 1
}
start_sshd || { echo "FAILED: $sshd does not start:"; cat "$work/sshd.log"; exit 1; }
cat >"$work/ssh_config" <<EOF
Host worker1 worker2
    HostName 127.0.0.1
    Port $port
    User $(id -un)
    IdentityFile $work/user_key
    IdentitiesOnly yes
    BatchMode yes
    StrictHostKeyChecking no
    UserKnownHostsFile $work/known_hosts
    LogLevel ERROR
EOF
ssh -F "$work/ssh_config" worker2 true ||
    { echo "FAILED: no ssh login to the test's own sshd:"; cat "$work/sshd.log"; exit 1; }

# Tiles, of which empty.las keeps nothing and compressed.las is refused, and
# what a local run makes of them.
for i in 1 2 3 4 5 6 7 8 9 10 11; do
    "$make_las" "$work/tiles/t$i.las" 3000 $((i % 4)) 2 $i || fail "make_las t$i"
done
failing_tiles "$make_las" "$work/tiles"
tiles=$(ls "$work/tiles" | wc -l)
cp -R "$work/tiles" "$work/shared/" && cp -R "$work/tiles" "$work/sent/" &&
    ln -s ../tiles "$work/local-run/tiles" && mkdir -p "$work/local-run/ground/.partial" "$work/local-run/logs" || exit 1
# local_run: every tile as the recipes run it (with the bounds $filter), here.
filter="9 2 2"
local_run() (
    cd "$work/local-run" && for tile in tiles/*.las; do
        name=$(basename "$tile" .las)
        "$tool" "$tile" "ground/.partial/$name.las" $filter >"logs/$name.log" 2>&1 && mv "ground/.partial/$name.las" ground/
    done
)
local_run
[ "$(ls "$work/local-run/ground" | wc -l)" -eq $((tiles - 2)) ] ||
    { echo "FAILED: the local run does not keep points of every tile but empty.las and compressed.las"; exit 1; }
set -- "tiles/compressed.las: PointDataFormatID in tiles/compressed.las is ?. Only 0, 1, 2, or 3 is accepted" \
    "tiles/empty.las: No points retained"

# logs FOLDER: the lines of its tiles' logs, each after its file's name, the
# time left out.
logs() (
    cd "$work/$1/logs" && awk '{ sub(/^Completed in [0-9.]* seconds$/, ""); print FILENAME ": " $0 }' *.log
)
# run RECIPE FAILED...: runs it in its folder as a user would; it must end
# with the number of FAILED lines as its status, make the local run's results
# and tiles' logs, and list the FAILED lines in logs/failed.txt.
run() {
    r=$1
    shift
    run_recipe "$work/$r" "$work/$r.sh" >"$work/$r.out" 2>&1
    status=$?
    [ "$status" -eq $# ] || { fail "$r: status $status, not $# (the failed tiles)"; cat "$work/$r.out"; }
    diff -r -x .partial "$work/local-run/ground" "$work/$r/ground" || fail "$r: ground/ is not the local run's"
    logs local-run >"$work/local-run.logs" && logs "$r" >"$work/$r.logs"
    diff -u "$work/local-run.logs" "$work/$r.logs" || fail "$r: the tiles' logs are not the local run's"
    check_failed "$work/$r" "$r" "$@"
    [ -z "$(find "$work/workers" -type f 2>/dev/null)" ] ||
        fail "$r: $(find "$work/workers" -type f | wc -l) files left in the workers' folder"
}
# finished RECIPE: the tiles its job log shows as ended with status 0.
finished() {
    awk -F '\t' '$1 != "Seq" && $7 == 0 && match($9, /tiles\/[^ ]*\.las/) {
        print substr($9, RSTART + 6, RLENGTH - 10) }' "$work/$1/logs/jobs.txt" 2>/dev/null
}
# mark RECIPE: dates back the logs of its finished tiles, which a new run of
# a tile would rewrite (the job log itself is rewritten without a resume);
# not_again RECIPE: none of them was.
mark() {
    finished "$1" | sed 's/$/.log/' >"$work/$1.finished"
    (cd "$work/$1/logs" && xargs -r touch -t 200001010000 <"$work/$1.finished")
}
not_again() {
    again=$(cd "$work/$1/logs" && find . -name '*.log' -newermt 2001-01-01 | cut -c 3- | grep -Fx -f "$work/$1.finished")
    [ -z "$again" ] || fail "$1: ran again although they had ended with status 0:" $again
}

# Shared storage: stopped midway, then resumed.
run_recipe "$work/shared" "$work/shared.sh" >"$work/shared.out" 2>&1 &
batch=$!
i=0
while [ $i -lt 1200 ] && kill -0 $batch 2>/dev/null && [ -z "$(finished shared)" ]; do
    sleep 0.1
    i=$((i + 1))
done
pid=$(cat "$work/parallel.pid" 2>/dev/null) && kill -TERM "$pid"
wait $batch
logged=$(awk -F '\t' '$1 != "Seq"' "$work/shared/logs/jobs.txt" 2>/dev/null | wc -l)
mark shared
if [ ! -s "$work/shared.finished" ] || [ "$logged" -ge $tiles ]; then
    fail "shared: stopped with $logged of $tiles tiles logged, $(wc -l <"$work/shared.finished") with status 0"
    cat "$work/shared.out"
fi
run shared "$@"
not_again shared

# Tiles sent to the workers: one run, then another that redoes only the
# tiles that failed.
run sent "$@"
diff -r "$work/tiles" "$work/sent/tiles" || fail "sent: the local tiles are gone or changed"
mark sent
run sent "$@"
not_again sent

# Run anew (the manual: remove the job log) asked for GPS time, with t1 made
# to keep nothing: the tiles that fail keep their older results, which the
# local run keeps too.
cp "$work/tiles/empty.las" "$work/tiles/t1.las" && filter="13 0 1000000" && local_run
set -- "$@" "tiles/t1.las: No points retained" \
    "tiles/t2.las: Input file (tiles/t2.las) does not carry GPS Time Information (Attribute 13)" \
    "tiles/t4.las: Input file (tiles/t4.las) does not carry GPS Time Information (Attribute 13)" \
    "tiles/t6.las: Input file (tiles/t6.las) does not carry GPS Time Information (Attribute 13)" \
    "tiles/t8.las: Input file (tiles/t8.las) does not carry GPS Time Information (Attribute 13)" \
    "tiles/t10.las: Input file (tiles/t10.las) does not carry GPS Time Information (Attribute 13)"
for recipe in shared sent; do
    cp "$work/tiles/t1.las" "$work/$recipe/tiles/" && rm "$work/$recipe/logs/jobs.txt" &&
        sed -i 's/ 9 2 2 / 13 0 1000000 /' "$work/$recipe.sh"
    run $recipe "$@"
done

finish "the manual's parallel over ssh recipes" "SEVERAL MACHINES: both recipes ran as written on $tiles tiles \
over ssh (shared storage stopped after $logged tiles and resumed) in $(($(date +%s) - started)) s"
