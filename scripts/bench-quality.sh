#!/bin/sh
# Decomposition quality per layout: the engine cost (conflict pairs + alpha x
# stitch pairs, summed over the graphs that reach an engine) and the wall time
# of the default run, of "-round2 1", of "-algo tabu" and of "-algo exact"
# (with the lower bound it proved, so the gap shows), as one table; the last
# two columns give the tabu engine's time over the default's, for the whole
# run and for the colouring stage alone (from the run report).
# A second table gives, per layout and for 2, 3 and 4 masks ("-masks K"),
# the tabu engine's cost, conflicts and stitches and the exact engine's
# cost and lower bound. A third times an incremental run ("-previous", one
# feature of c5315_m1 moved) against the full run of the edited layer, with
# the default engine and with tabu.
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

# run LAYOUT OPTIONS... -> prints "cost|seconds|result-line|proven|bound|colouring seconds"
run() {
    layout=$1
    shift
    start=$(date +%s.%N)
    (cd "$work" && "$root/build/chromasect" -inlib "$layout" ${CHROMASECT_OPTS:-} -report "$work/run.json" "$@") >"$work/out.txt"
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
    [ -n "$proven" ] || proven="|"
    colouring=$(tr -d ' \n' <"$work/run.json" | grep -o '"name":"colouring","wall_seconds":[0-9.e-]*' | sed 's/.*://')
    printf '%s|%.2f|%s|%s|%s' "$cost" "$secs" "$result" "$proven" "${colouring:-0}"
}

# ratio A B -> A / B to three places (the report may write 2e-06)
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else printf "-" }'
}

echo "| layout | default cost | time (s) | -round2 1 cost | time (s) | -algo tabu cost | time (s) | -algo exact cost | proven | lower bound | time (s) | tabu/default run | tabu/default colouring |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
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
         "$(echo "$e" | cut -d'|' -f2) |" \
         "$(ratio "$(echo "$t" | cut -d'|' -f2)" "$(echo "$d" | cut -d'|' -f2)") |" \
         "$(ratio "$(echo "$t" | cut -d'|' -f6)" "$(echo "$d" | cut -d'|' -f6)") |"
done

echo
echo "| layout | masks | -algo tabu cost | conflicts | stitches | -algo exact cost | proven | lower bound |"
echo "|---|---|---|---|---|---|---|---|"
for f in "$@"; do
    layout=$(cd "$(dirname "$f")" && pwd)/$(basename "$f")
    for k in 2 3 4; do
        t=$(run "$layout" -masks "$k" -algo tabu -quality 1)
        e=$(run "$layout" -masks "$k" -algo exact)
        counts=$(echo "$t" | cut -d'|' -f3 | sed 's/Stitch Num: \([0-9]*\), Conflict Num: \([0-9]*\)/\2 | \1/')
        echo "| $(basename "$f") | $k | $(echo "$t" | cut -d'|' -f1) | $counts |" \
             "$(echo "$e" | cut -d'|' -f1) | $(echo "$e" | cut -d'|' -f4) | $(echo "$e" | cut -d'|' -f5) |"
    done
done

c5315=$(cd ../shared/layouts 2>/dev/null && pwd)/c5315_m1.ascii
if [ -f "$c5315" ]; then
    echo
    echo "| c5315_m1, one feature moved | full run (s) | incremental run (s) | incremental / full | kept, changed, new |"
    echo "|---|---|---|---|---|"
    awk -v n=2000 -v dx=60 -v box="$work/moved.box" -f tests/e2e/move_feature.awk "$c5315" >"$work/moved.ascii"
    for engine in sdp tabu; do
        run "$c5315" -algo "$engine" -out "$work/previous.gds" >/dev/null
        full=$(run "$work/moved.ascii" -algo "$engine" | cut -d'|' -f2)
        inc=$(run "$work/moved.ascii" -algo "$engine" -previous "$work/previous.gds" | cut -d'|' -f2)
        counts=$(grep '^STAT | Previous layout' "$work/out.txt" | sed 's/.*: \([0-9]*\) features kept on their mask, \([0-9]*\) changed, \([0-9]*\) new/\1, \2, \3/')
        echo "| -algo $engine | $full | $inc | $(ratio "$inc" "$full") | $counts |"
    done
fi
