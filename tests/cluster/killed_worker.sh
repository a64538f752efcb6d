#!/bin/sh
# A worker rank dies (its solver kills it, as a crash of its machine would)
# while a run over two MPI processes colours a real layer: the run must end,
# not hang, with one "ERROR| " line naming the rank and its graphs, a
# non-zero status and no output file.
#   killed_worker.sh LAUNCHER BINARY LAYOUT
set -eu
launcher=$1 binary=$2 layout=$3
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
# shellcheck disable=SC2086
(cd "$work" && TMPDIR="$work" timeout 300 $launcher 2 "$binary" \
    -inlib "$layout" -out out.ascii >stdout.txt 2>stderr.txt) || status=$?
fail() {
    echo "killed worker: $1"
    cat "$work/stdout.txt" "$work/stderr.txt"
    exit 1
}
[ "$status" != 0 ] || fail "the run reported success"
[ "$status" != 124 ] || fail "the run hung"
[ "$(grep -c '^ERROR| ' "$work/stdout.txt")" = 1 ] || fail "not one ERROR line"
grep '^ERROR| ' "$work/stdout.txt" | grep -q 'rank 1 (graph [0-9]' || fail "the line names no rank and graph"
[ ! -e "$work/out.ascii" ] || fail "an output file was written"
grep '^ERROR| ' "$work/stdout.txt"
