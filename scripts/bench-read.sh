#!/bin/sh
# Times reading a generated routing-like layout: the text reader, the
# polygon-to-rectangle conversion and the R-tree, as a run does first.
#   scripts/bench-read.sh [FEATURES]     default 1000000 features
# REPEATS (default 3) sets the runs; SEED (default 7) the generated layout.
# Reports MB/s and features/s of the fastest run. The layout is written to a
# temporary directory and removed afterwards.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
features=${1:-1000000}
repeats=${REPEATS:-3}
seed=${SEED:-7}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target bench_read gen_layout >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/build/gen_layout" --features "$features" --seed "$seed" --out "$work/layout.ascii"
"$root/build/bench_read" -r "$repeats" "$work/layout.ascii"
