#!/bin/sh
# Times the projection stage on every layout given (default: the shared
# layouts). Builds bench_projection in build/; the stage lines go to stderr,
# the stages' own output is dropped.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target bench_projection >/dev/null

if [ $# -eq 0 ]; then
    set -- "$root"/../shared/layouts/*.ascii
fi
mkdir -p build/bench-run
cd build/bench-run
"$root/build/bench_projection" "$@" >/dev/null
