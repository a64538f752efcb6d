#!/bin/sh
# An engineering change on a shared layer: one feature moved, the layer run
# again with the first run's masks as "-previous". Every feature that did
# not change keeps its mask (KLayout compares the two decompositions), the
# STAT line counts the moved feature as changed, and reading the first
# run's masks back with "-fixed 1" (as GDSII and as a text dump) keeps them
# all alike.
#   incremental_run.sh BUILD_DIR SOURCE_DIR LAYOUT MASKS ENGINE
set -eu
build=$1 src=$2 layout=$3 masks=$4 engine=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
run() { "$build/chromasect" -algo "$engine" -masks "$masks" "$@"; }
fail() { echo "FAIL: $*"; exit 1; }

run -inlib "$layout" -out previous.gds > full.log || fail "full run"
# A feature inside the layer (the first ones are rails), moved by half a spacing.
awk -v n=200 -v dx=60 -v box=moved.box -f "$src/tests/e2e/move_feature.awk" "$layout" > moved.ascii
[ -s moved.box ] || fail "no feature moved"
run -inlib moved.ascii -previous previous.gds -out next.gds -report next.json > next.log ||
    fail "incremental run"
grep -q '^STAT | Previous layout previous.gds: [0-9]* features kept on their mask, [1-9][0-9]* changed, 0 new$' next.log ||
    fail "no previous-layout line: $(grep Previous next.log)"
boxes=$(paste -sd';' moved.box)
out=$(klayout -b -r "$src/tests/e2e/kept_masks.rb" -rd previous=previous.gds -rd next=next.gds \
    -rd layer=1 -rd masks="$masks" -rd boxes="$boxes")
echo "$out"
echo "$out" | grep -q '^KEPT [1-9][0-9]* LOST 0$' || fail "masks changed after the edit"
"$build/chromasect-check" next.gds -layer 1 -masks "$masks" > check.log || [ $? -eq 1 ] ||
    fail "checker: $(tail -1 check.log)"

# The same masks as a text dump, which carries a datatype per element.
run -inlib "$layout" -out previous.ascii > full-text.log || fail "full run to text"
for format in gds ascii; do
    run -inlib previous.$format -fixed 1 -out again.gds > again.log || fail "-fixed 1 run"
    out=$(klayout -b -r "$src/tests/e2e/kept_masks.rb" -rd previous=previous.gds -rd next=again.gds \
        -rd layer=1 -rd masks="$masks" -rd boxes="")
    echo "$format: $out"
    echo "$out" | grep -q '^KEPT [1-9][0-9]* LOST 0$' || fail "-fixed 1 changed masks ($format)"
done
echo PASS
