#!/bin/sh
# Times the projection stage on every layout given (default: the shared
# layouts). Builds the core library in build/ and links the bench against it;
# the stage lines go to stderr, the stages' own output is dropped.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target chromasect_core >/dev/null
c++ -std=c++17 -O2 -g -ffp-contract=off -I src scripts/bench_projection.cpp \
    build/src/libchromasect_core.a -o build/bench-projection

if [ $# -eq 0 ]; then
    set -- "$root"/../shared/layouts/*.ascii
fi
mkdir -p build/bench-run
cd build/bench-run
"$root/build/bench-projection" "$@" >/dev/null
