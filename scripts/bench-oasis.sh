#!/bin/sh
# Reading speed of OASIS against GDSII on the tiled million-feature layout
# (c5315_m1 tiled NX x NY, as scripts/bench-scale.sh makes it): the
# hierarchical GDSII from tools/tile_layout and KLayout's OASIS of it; then
# the same flattened by KLayout, as GDSII and as OASIS plain, with CBLOCKs,
# and with CBLOCKs and repetitions. Prints each file's size and
# bench_read's speed (MB/s and features/s of the fastest of REPEATS runs,
# default 3): the parse, flattening, merge, rectangles and R-tree, as a run
# reads its input.
#   sh scripts/bench-oasis.sh [NX NY]     default 16 16
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
nx=${1:-16}
ny=${2:-16}
repeats=${REPEATS:-3}
command -v klayout >/dev/null 2>&1 || { echo "bench-oasis: klayout not installed" >&2; exit 2; }

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target bench_read tile_layout >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/build/tile_layout" --in "$root/../shared/layouts/c5315_m1.ascii" --nx "$nx" --ny "$ny" \
    --gap 240 --ascii "$work/tiled.ascii" --gds "$work/tiled.gds" >/dev/null
convert() {  # output options
    klayout -b -rd input="$work/tiled.gds" -rd output="$work/$1" -rd options="$2" \
        -r "$root/klayout/write_oasis.rb"
}
convert tiled.oas cblocks,level=2
convert flat.gds flat
convert flat-plain.oas flat,level=0
convert flat-cblocks.oas flat,cblocks,level=0
convert flat-repetitions.oas flat,cblocks,strict,level=2
files="tiled.gds tiled.oas flat.gds flat-plain.oas flat-cblocks.oas flat-repetitions.oas"
printf '%-22s %12s\n' file bytes
for f in $files; do
    printf '%-22s %12s\n' "$f" "$(wc -c <"$work/$f")"
done
for f in $files; do
    echo
    "$root/build/bench_read" -r "$repeats" "$work/$f"
done
