#!/bin/sh
# The chip-scale case: c5315_m1 x 256 (16 x 16 copies 240 units apart, about
# 1.2 million features) as a text dump and as a GDSII file with one AREF,
# decomposed with -algo tabu at each of $THREADS (default "1 2"), and once
# more writing the decomposed layout (-out) for the last. Prints, from
# the run reports, wall and processor seconds per stage, peak memory, bytes
# per feature, engine cost (against 256 times the block's) and the result.
# Builds in $BUILD (default build/); the block is read from $LAYOUTS (default
# ../shared/layouts); $FORMATS (default "ascii gds") picks the inputs.
#   sh scripts/bench-scale.sh [NX NY]
set -eu
cd "$(dirname "$0")/.."
build=${BUILD:-build}
layouts=${LAYOUTS:-../shared/layouts}
threads=${THREADS:-"1 2"}
formats=${FORMATS:-"ascii gds"}
nx=${1:-16}
ny=${2:-16}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target chromasect tile_layout >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
"$build"/tile_layout --in "$layouts"/c5315_m1.ascii --nx "$nx" --ny "$ny" --gap 240 \
    --ascii "$work/tiled.ascii" --gds "$work/tiled.gds" >&2
ls -l "$work/tiled.ascii" "$work/tiled.gds" | awk '{ printf "%s: %.1f MB\n", $NF, $5 / 1e6 }' >&2

run() { # name input threads [more options]
    name=$1 input=$2 t=$3
    shift 3
    /usr/bin/time -f "%e s elapsed, %M KB max resident" -o "$work/$name.time" \
        "$build"/chromasect -inlib "$input" -layer 1 -mindp 120 -algo tabu -threads "$t" \
        -report "$work/$name.json" "$@" >"$work/$name.out"
    tail -1 "$work/$name.out" >&2
    cat "$work/$name.time" >&2
}
run block "$layouts"/c5315_m1.ascii 2
runs=
for format in $formats; do
    for t in $threads; do
        run "run-$format-$t" "$work/tiled.$format" "$t"
        runs="$runs run-$format-$t"
    done
done
# A run that also writes the decomposed layout keeps every outline.
last=$(echo $formats | awk '{ print $NF }')
top=$(echo $threads | awk '{ print $NF }')
run "run-$last-$top-out" "$work/tiled.$last" "$top" -out "$work/decomposed.gds"
runs="$runs run-$last-$top-out"

perl -MJSON::PP -e '
use strict;
use warnings;
my ($work, $copies, @runs) = @ARGV;
sub load { open(my $in, "<", $_[0]) or die "bench-scale: no report $_[0]\n"; local $/; decode_json(<$in>) }
sub cost { my $c = 0; $c += $_->{cost} for @{ $_[0]{graphs} }; $c }
sub biggest { my $m = 0; for (@{ $_[0]{graphs} }) { $m = $_->{vertices} if $_->{vertices} > $m } $m }
my $block = load("$work/block.json");
my $want = $copies * cost($block);
printf "block: %d features, engine cost %.1f, largest engine graph %d vertices\n",
    $block->{counts}{features_read}, cost($block), biggest($block);
for my $run (@runs) {
    my $r = load("$work/$run.json");
    my $n = $r->{counts}{features_read};
    my $t = $r->{total};
    printf "\n%s (%d features, -threads %s%s)\n", $run, $n, $r->{parameters}{threads},
        $run =~ /-out$/ ? ", writing the decomposed layout" : "";
    printf "  %-22s %9s %9s %9s\n", "stage", "wall s", "cpu s", "peak MB";
    printf "  %-22s %9.1f %9.1f %9.0f\n", $_->{name}, $_->{wall_seconds}, $_->{cpu_seconds},
        $_->{peak_rss_mb} for @{ $r->{stages} };
    printf "  %-22s %9.1f %9.1f %9.0f\n", "total", $t->{wall_seconds}, $t->{cpu_seconds},
        $t->{peak_rss_mb};
    printf "  peak %.0f bytes a feature; engine cost %.1f = %.4f x %d blocks; largest engine graph %d\n",
        $t->{peak_rss_mb} * 1048576 / $n, cost($r), cost($r) / ($want || 1), $copies, biggest($r);
    my $reused = grep { defined $_->{same_as} } @{ $r->{graphs} };
    printf "  engine graphs: %d, of them %d solved and %d taking the answer of an earlier one alike\n",
        scalar @{ $r->{graphs} }, @{ $r->{graphs} } - $reused, $reused;
    printf "  result: %d stitches, %d conflicts\n", $r->{result}{stitch_num}, $r->{result}{conflict_num};
}
' "$work" $((nx * ny)) $runs
