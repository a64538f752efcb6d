#!/bin/sh
# Decomposition-graph figures of every given layout (default: the shared
# real layouts). Builds bench_dg_stats in build/ first.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target bench_dg_stats >/dev/null
[ $# -gt 0 ] || set -- ../shared/layouts/*.ascii
for f in "$@"; do build/bench_dg_stats "$f" | grep '^BENCH' || true; done
