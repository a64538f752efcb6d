#!/bin/sh
# Times chromasect-check on a generated routing-like layout whose features
# are dealt to the three masks in turn (datatypes 1, 2, 3): a decomposition
# with many same-mask violations, so that reading, merging, the spatial
# search and the report are all exercised.
#   scripts/bench-check.sh [FEATURES]     default 1000000 features
# SEED (default 7) sets the generated layout. Prints the summary line and the
# wall, user and system times. Work files go to a temporary directory.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
features=${1:-1000000}
seed=${SEED:-7}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target chromasect-check gen_layout >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/build/gen_layout" --features "$features" --seed "$seed" --out "$work/layout.ascii"
awk '/^DATATYPE: 0$/ { n++; print "DATATYPE: " (n % 3 + 1); next } { print }' \
    "$work/layout.ascii" > "$work/masks.ascii"
rm "$work/layout.ascii"
status=0
if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "wall %e s, user %U s, system %S s, peak %M KB" \
        "$root/build/chromasect-check" "$work/masks.ascii" > "$work/check.txt" || status=$?
else
    start=$(date +%s)
    "$root/build/chromasect-check" "$work/masks.ascii" > "$work/check.txt" || status=$?
    echo "wall $(($(date +%s) - start)) s"
fi
tail -n 1 "$work/check.txt"
echo "exit status $status"
