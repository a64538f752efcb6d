#!/bin/sh
# Installs what is missing, builds chromasect and decomposes a bundled
# example layout. Extra arguments are passed to chromasect. The solver's
# working files are written to build/run, not to the source tree.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

sh scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target chromasect >/dev/null

mkdir -p build/run
cd build/run
exec "$root/build/chromasect" -inlib "$root/examples/example.ascii" -layer 1 "$@"
