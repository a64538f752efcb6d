#!/bin/sh
# Decomposition-graph figures of every given layout (default: the shared
# real layouts). Builds the release library first.
set -eu
cd "$(dirname "$0")/../.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target chromasect_core >/dev/null
boost=$(sed -n 's/^Boost_INCLUDE_DIR:[A-Z]*=//p' build/CMakeCache.txt)
g++ -std=c++17 -O2 -Isrc ${boost:+-I"$boost"} scripts/bench/dg_stats.cpp build/src/libchromasect_core.a \
    -o build/dg_stats
[ $# -gt 0 ] || set -- ../shared/layouts/*.ascii
for f in "$@"; do build/dg_stats "$f" | grep '^BENCH' || true; done
