#!/bin/sh
# Rewrites the stored whole-run results under tests/golden/ from the current
# build. Run it only when a change of output is intended, and say why in the
# commit: these files are the reference that every other change must keep.
#
#   sh scripts/regen-golden.sh [NAME...]    (default: every case)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
shared=${GOLDEN_SHARED:-$root/../shared/layouts}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target chromasect >/dev/null

grep -v '^#' tests/golden/cases | while read -r name input args; do
    [ -n "$name" ] || continue
    if [ $# -gt 0 ]; then
        wanted=0
        for w in "$@"; do [ "$w" = "${name%+}" ] && wanted=1; done
        [ $wanted = 1 ] || continue
    fi
    # shellcheck disable=SC2086
    sh tests/golden/run-case.sh write "$root/build/chromasect" "$root" "$shared" "$name" "$input" $args
done
