#!/bin/sh
# Installs what is missing, checks the formatting, builds and runs every test:
# once in the normal build, once with the address and undefined-behaviour
# sanitizers; then a short fuzzing run on the sanitizer build.
set -eu
cd "$(dirname "$0")/.."

sh scripts/install-deps.sh

# Formatting is part of passing: a file clang-format would change fails here.
sh scripts/check-format.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCHROMASECT_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

# Damaged layouts through the sanitizer build: a crash, a hang, running out
# of memory or a sanitizer report fails (docs/development.md: Fuzzing).
sh scripts/fuzz.sh -n 200 -seed 1 -sec 8 -j "$jobs"
