#!/bin/sh
# One run over one and over two MPI processes (-threads 1 each): wall time,
# the ratio, the graphs and bytes that went between the processes, and the
# peak memory of rank 0 and of the worker; the outputs of the two runs must
# be the same bytes. On c5315_m1 (the default engine) and on the tiled
# million-feature layer (16 x 16 copies of c5315_m1, -algo tabu). Builds in
# $BUILD (default build/) first; layouts from $LAYOUTS (../shared/layouts).
#   sh scripts/bench-mpi.sh [-small]     (-small: c5315_m1 only)
set -eu
cd "$(dirname "$0")/.."
build=${BUILD:-build}
layouts=${LAYOUTS:-../shared/layouts}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target chromasect tile_layout >/dev/null
bin=$(cd "$build" && pwd)/chromasect
if [ "$(id -u)" = 0 ]; then
    export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
fi
export OMPI_MCA_rmaps_base_oversubscribe=1 OMPI_MCA_hwloc_base_binding_policy=none
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

# run NAME NP LAYOUT ARGS...: prints one line, keeps the output as NAME.out
run() {
    name=$1 np=$2 layout=$3
    shift 3
    # The same command line in a directory of its own, so the outputs compare.
    mkdir "$tmp/$name"
    (cd "$tmp/$name" && mpiexec -n "$np" "$bin" -inlib "$layout" -threads 1 -report report.json \
        "$@" >"$tmp/$name.out")
    perl -MJSON::PP -e '
        local $/; open my $f, "<", $ARGV[0] or die; my $r = decode_json(<$f>);
        my $p = $r->{processes}; my $t = $r->{total};
        my $per = $p->{graphs_sent} ? ($p->{bytes_sent} + $p->{bytes_received}) / $p->{graphs_sent} : 0;
        printf "%-14s -np %d: %8.1f s, %6d graphs sent, %7.0f bytes a graph, rank 0 %6.0f MB, worker %5.0f MB\n",
            $ARGV[1], $ARGV[2], $t->{wall_seconds}, $p->{graphs_sent}, $per, $t->{peak_rss_mb},
            $p->{peak_worker_rss_mb};
        my ($colouring, $solves) = (0, 0);
        for my $s (@{$r->{stages}}) { $colouring = $s->{wall_seconds} if $s->{name} eq "colouring" }
        for my $g (@{$r->{graphs}}) { $solves += $g->{seconds} }
        printf "%-14s        the other stages %.1f s, colouring %.1f s (its solves %.1f s)\n",
            "", $t->{wall_seconds} - $colouring, $colouring, $solves;
        print $t->{wall_seconds}, "\n";' "$tmp/$name/report.json" "$name" "$np" >"$tmp/line"
    sed '$d' "$tmp/line"
    tail -1 "$tmp/line" >"$tmp/$name.wall"
}

# compare NAME: the ratio of the two runs, and their outputs the same
compare() {
    cmp -s "$tmp/$1-1.out" "$tmp/$1-2.out" || { echo "$1: the outputs differ"; exit 1; }
    awk -v a="$(cat "$tmp/$1-1.wall")" -v b="$(cat "$tmp/$1-2.wall")" -v n="$1" \
        'BEGIN { printf "%-14s -np 2 / -np 1 = %.2f (outputs the same)\n", n, b / a }'
}

for np in 1 2; do run c5315_m1-$np "$np" "$(cd "$layouts" && pwd)/c5315_m1.ascii"; done
compare c5315_m1
[ "${1:-}" = -small ] && exit 0

"$build"/tile_layout --in "$layouts"/c5315_m1.ascii --nx 16 --ny 16 --gap 240 \
    --ascii "$tmp/tiled.ascii" >/dev/null
for np in 1 2; do run tiled16x16-$np "$np" "$tmp/tiled.ascii" -algo tabu; done
compare tiled16x16
