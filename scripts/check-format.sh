#!/bin/sh
# Fails, listing them, when C/C++ files differ from what clang-format makes of
# them with the repository's .clang-format. Checks the tracked files of a git
# checkout, so that stray local files do not count; elsewhere, the sources
# found under src, tests, tools and bench.
#   scripts/check-format.sh        fix with: clang-format -i FILE...
set -eu
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null 2>&1; then
    echo "check-format: clang-format not found (sh scripts/install-deps.sh)" >&2
    exit 2
fi

sources() {
    # Only when this folder is the checkout's top: a copy unpacked inside some
    # other repository must not list that repository's files.
    if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
        git ls-files -z -- '*.cpp' '*.h'
    else
        for d in src tests tools bench; do
            [ -d "$d" ] && find "$d" -type f \( -name '*.cpp' -o -name '*.h' \) -print0
        done
        true
    fi
}

# One clang-format per file, so each differing file is named once.
bad=$(sources | xargs -0 -r -n 1 -P "$(nproc 2>/dev/null || echo 2)" sh -c \
    'clang-format --style=file --dry-run --Werror "$1" >/dev/null 2>&1 || printf "%s\n" "$1"' \
    check-format | LC_ALL=C sort)

if [ -n "$bad" ]; then
    echo "check-format: not formatted as .clang-format asks:" >&2
    printf '%s\n' "$bad" >&2
    exit 1
fi
