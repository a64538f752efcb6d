#!/bin/sh
# Times the SDP engine with the real solver.
#   scripts/bench-sdp.sh              one solve, step by step, on graphs of 5, 20 and 80 vertices
#   scripts/bench-sdp.sh blas [N...]  the solver alone on graphs of 20 to 200 vertices, with the
#                                     reference BLAS and with OpenBLAS (chosen per process through
#                                     LD_LIBRARY_PATH, so the system's BLAS choice is left alone)
# REPEATS (default 3) sets the runs per case; the minimum and the median are reported, with the
# runs of the cases interleaved so that a change in machine load hits them alike.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
repeats=${REPEATS:-3}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target bench_sdp_solve >/dev/null

if [ "${1:-}" != blas ]; then
    exec "$root/build/bench_sdp_solve" -r "$repeats" "$@"
fi
shift
sizes=${*:-20 50 100 150 200}

lib=/usr/lib/x86_64-linux-gnu
ref="$lib/blas:$lib/lapack"
open="$lib/openblas-pthread"
for d in "$lib/blas" "$lib/lapack" "$open"; do
    [ -d "$d" ] || { echo "missing $d (packages libblas3, liblapack3, libopenblas0-pthread)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2086
"$root/build/bench_sdp_solve" -w "$work" $sizes

# ms of one csdp run: $1 = LD_LIBRARY_PATH, $2 = OpenBLAS threads, $3 = problem
run() {
    t0=$(date +%s%N)
    LD_LIBRARY_PATH=$1 OPENBLAS_NUM_THREADS=$2 csdp "$3" "$work/out" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000000))
}
stats() {  # min and median of the numbers on stdin
    sort -n | awk '{v[NR]=$1} END {printf "%6d %6d", v[1], v[int((NR+1)/2)]}'
}

printf '%5s | %-13s | %-13s | %-13s   (ms: min median of %s)\n' n reference "openblas 1 thr" \
    "openblas 2 thr" "$repeats"
for n in $sizes; do
    : >"$work/ref"; : >"$work/ob1"; : >"$work/ob2"
    i=0
    while [ "$i" -lt "$repeats" ]; do
        run "$ref" 1 "$work/g$n.csdp" >>"$work/ref"
        run "$open" 1 "$work/g$n.csdp" >>"$work/ob1"
        run "$open" 2 "$work/g$n.csdp" >>"$work/ob2"
        i=$((i + 1))
    done
    printf '%5s | %s | %s | %s\n' "$n" "$(stats <"$work/ref")" "$(stats <"$work/ob1")" \
        "$(stats <"$work/ob2")"
done
