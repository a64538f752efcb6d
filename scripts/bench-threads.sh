#!/bin/sh
# Wall time of whole runs at -threads 1 and -threads 2 (or the thread counts
# given in THREADS), and the longest single SDP solve: the floor that solving
# graphs at once cannot go below. Runs on the shared layouts (or the text
# dumps given as arguments), in one invocation so that the figures compare.
#
#   sh scripts/bench-threads.sh [LAYOUT.ascii...]
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target chromasect >/dev/null

[ $# -gt 0 ] || set -- "$root"/../shared/layouts/*.ascii
threads=${THREADS:-"1 2"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
real=$(command -v csdp)
# A ./csdp in the working directory comes first: this one times each solve.
cat >"$work/csdp" <<WRAP
#!/bin/sh
start=\$(date +%s.%N)
"$real" "\$@"
rc=\$?
echo "\$start \$(date +%s.%N)" >>"$work/solves.log"
exit \$rc
WRAP
chmod +x "$work/csdp"

printf '%-24s %8s %10s %12s %8s\n' layout threads wall_s longest_s ratio
for given in "$@"; do
    layout=$(cd "$(dirname "$given")" && pwd)/$(basename "$given")
    base=""
    for n in $threads; do
        rm -f "$work/solves.log"
        start=$(date +%s.%N)
        (cd "$work" && "$root/build/chromasect" -inlib "$layout" -threads "$n" >/dev/null)
        wall=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}')
        longest=$(awk '{d = $2 - $1; if (d > m) m = d} END {printf "%.2f", m}' "$work/solves.log" 2>/dev/null || echo 0)
        [ -n "$base" ] || base=$wall
        ratio=$(awk -v a="$wall" -v b="$base" 'BEGIN {printf "%.2f", a / b}')
        printf '%-24s %8s %10s %12s %8s\n' "$(basename "$layout")" "$n" "$wall" "$longest" "$ratio"
    done
done
