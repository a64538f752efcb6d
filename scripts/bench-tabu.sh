#!/bin/sh
# The tabu engine's figures: its summed cost, bound, proven count, time and
# colouring hash on the engine graphs of the shared layouts (compare the hash
# with an older build to check that a change kept every colouring), then how
# its time grows with the graph (copies of c5315's unsimplified graph, up to
# about 200,000 vertices) and how the pipeline's graph grows on tiled
# layouts. Builds in $BUILD (default build/) first; the layouts are read from
# $LAYOUTS (default ../shared/layouts).
#   sh scripts/bench-tabu.sh [COPIES...]      (default copies: 1 4 12 36)
set -eu
cd "$(dirname "$0")/.."
build=${BUILD:-build}
layouts=${LAYOUTS:-../shared/layouts}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target bench_tabu_graphs bench_tabu_scale tile_layout >/dev/null
[ $# -gt 0 ] || set -- 1 4 12 36

"$build"/bench_tabu_graphs "$layouts"/c432_m1.ascii "$layouts"/c880_m1.ascii \
    "$layouts"/c1908_m1_s20.ascii "$layouts"/c5315_m1.ascii "$layouts"/c6288_m1_crop.ascii
"$build"/bench_tabu_scale "$layouts"/c5315_m1.ascii "$@"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
for size in "1 1" "2 1" "2 2"; do
    set -- $size
    "$build"/tile_layout --in "$layouts"/c5315_m1.ascii --nx "$1" --ny "$2" --gap 240 \
        --ascii "$tmp/tiled_$1x$2.ascii" >/dev/null
done
"$build"/bench_tabu_scale -layouts "$tmp"/tiled_1x1.ascii "$tmp"/tiled_2x1.ascii \
    "$tmp"/tiled_2x2.ascii
