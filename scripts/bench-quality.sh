#!/bin/sh
# Decomposition quality per layout: the engine cost (conflict pairs + alpha x
# stitch pairs, summed over the graphs that reach an engine) and the wall time
# of the default run, of "-round2 1", of "-algo tabu" and of "-algo exact"
# (with the lower bound it proved, so the gap shows), as one table.
# Usage: scripts/bench-quality.sh [LAYOUT...]   (default: ../shared/layouts/*.ascii)
# Extra chromasect options can be given in CHROMASECT_OPTS (e.g. "-exact_sec 20").
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target chromasect >/dev/null
[ $# -gt 0 ] || set -- ../shared/layouts/*.ascii

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# run LAYOUT OPTIONS... -> prints "cost seconds result-line extra"
run() {
    layout=$1
    shift
    start=$(date +%s.%N)
    (cd "$work" && "$root/build/chromasect" -inlib "$layout" ${CHROMASECT_OPTS:-} "$@") >"$work/out.txt"
    end=$(date +%s.%N)
    secs=$(echo "$end - $start" | bc)
    result=$(grep 'Final Stitch Num' "$work/out.txt" | sed 's/STAT | Final //')
    if grep -q '^STAT | Exact engine' "$work/out.txt"; then
        line=$(grep '^STAT | Exact engine' "$work/out.txt")
        cost=$(echo "$line" | sed 's/.*engine cost \([^ ]*\).*/\1/')
        proven=$(echo "$line" | sed 's/.*engine: \([0-9]* of [0-9]*\) graphs.*/\1/')
        proven="$proven|$(echo "$line" | sed 's/.*lower bound \([^ ]*\)$/\1/')"
    else
        cost=$(grep '^STAT | Engine cost' "$work/out.txt" | sed 's/.*cost: \([^ ]*\) over.*/\1/')
        proven=""
    fi
    printf '%s|%.1f|%s|%s' "$cost" "$secs" "$result" "$proven"
}

echo "| layout | default cost | time (s) | -round2 1 cost | time (s) | -algo tabu cost | time (s) | -algo exact cost | proven | lower bound | time (s) |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for f in "$@"; do
    layout=$(cd "$(dirname "$f")" && pwd)/$(basename "$f")
    d=$(run "$layout" -quality 1)
    r=$(run "$layout" -round2 1 -quality 1)
    t=$(run "$layout" -algo tabu -quality 1)
    e=$(run "$layout" -algo exact)
    echo "| $(basename "$f") | $(echo "$d" | cut -d'|' -f1) | $(echo "$d" | cut -d'|' -f2) |" \
         "$(echo "$r" | cut -d'|' -f1) | $(echo "$r" | cut -d'|' -f2) |" \
         "$(echo "$t" | cut -d'|' -f1) | $(echo "$t" | cut -d'|' -f2) |" \
         "$(echo "$e" | cut -d'|' -f1) | $(echo "$e" | cut -d'|' -f4) | $(echo "$e" | cut -d'|' -f5) |" \
         "$(echo "$e" | cut -d'|' -f2) |"
done
