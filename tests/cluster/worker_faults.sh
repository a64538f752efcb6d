#!/bin/sh
# A worker rank fails while a run over two MPI processes colours a real
# layer: with "killed" it dies (its solver kills it, as a crash of its
# machine would), with "no-solver" its machine has no SDP solver. The run
# must end, not hang, with one "ERROR| " line naming the rank and its
# graphs, a non-zero status and no output file.
#   worker_faults.sh killed|no-solver LAUNCHER BINARY LAYOUT
set -eu
mode=$1 launcher=$2 binary=$3 layout=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/killed.XXXXXX")
trap 'rm -rf "$work"' EXIT
real=$(command -v csdp)
# As ./csdp, which the run prefers to the PATH's (a launcher started by its
# full path puts its own directory first on the ranks' PATH).
cat >"$work/csdp" <<EOF
#!/bin/sh
if [ "\${OMPI_COMM_WORLD_RANK:-0}" != 0 ]; then
    p=\$\$
    while [ "\$p" -gt 1 ]; do
        p=\$(awk '{print \$4}' /proc/\$p/stat)
        if [ "\$(cat /proc/\$p/comm)" = chromasect ]; then kill -9 "\$p"; exit 1; fi
    done
fi
exec "$real" "\$@"
EOF
chmod +x "$work/csdp"
status=0
args="-inlib $layout -out out.ascii"
# shellcheck disable=SC2086
if [ "$mode" = killed ]; then
    (cd "$work" && TMPDIR="$work" timeout 300 $launcher 2 "$binary" $args \
        >stdout.txt 2>stderr.txt) || status=$?
else
    # Rank 1 alone on a PATH without csdp, and no ./csdp for it to find.
    rm "$work/csdp"
    (cd "$work" && TMPDIR="$work" timeout 300 $launcher 1 "$binary" $args : -n 1 \
        env PATH=/nonexistent "$binary" $args >stdout.txt 2>stderr.txt) || status=$?
fi
fail() {
    echo "killed worker: $1"
    cat "$work/stdout.txt" "$work/stderr.txt"
    exit 1
}
[ "$status" != 0 ] || fail "the run reported success"
[ "$status" != 124 ] || fail "the run hung"
[ "$(grep -c '^ERROR| ' "$work/stdout.txt")" = 1 ] || fail "not one ERROR line"
case $mode in
killed) named='rank 1 (graph [0-9]' ;;
*) named='rank 1, graph [0-9]*: cannot find the SDP solver' ;;
esac
grep '^ERROR| ' "$work/stdout.txt" | grep -q "$named" || fail "the line names no rank and graph"
[ ! -e "$work/out.ascii" ] || fail "an output file was written"
grep '^ERROR| ' "$work/stdout.txt"
