#!/bin/sh
# OASIS against the GDSII it was made from, with KLayout as the outside
# reader and writer.
#   oasis_twins.sh read|write CHROMASECT CHECK SHARED_LAYOUTS KLAYOUT_SCRIPTS
# read:  every shared GDSII layout, converted by KLayout with each of its
#        writer options, decomposes to the same standard output as the GDSII
#        (the Parameters line aside); so does an OASIS file named .gds.
# write: "-out x.oas" and "-out x.gds" of the same decomposition hold the
#        same shapes per datatype for KLayout (counts and its own spacing
#        check) and for chromasect-check.
# Exits 77 (skipped) without klayout or the shared layouts.
set -eu
mode=$1 bin=$2 check=$3 shared=$4 scripts=$5
command -v klayout >/dev/null 2>&1 || { echo "klayout not installed"; exit 77; }
[ -f "$shared/c432_osu018.gds" ] || { echo "shared layouts not found at $shared"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/oasis.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0

# The layouts and their arguments, one a line: file layer [arguments].
cat >layouts <<'LIST'
c1908_m1_s20.gds 1
c432_osu018.gds 6 -mindp 857
c880_osu018.gds 6 -mindp 857
LIST

run() {  # output-file input layer [arguments]
    out=$1 in=$2 layer=$3
    shift 3
    "$bin" -inlib "$in" -layer "$layer" "$@" >"$out" 2>&1 || echo "status $?" >>"$out"
    grep -v '^STAT | Parameters: ' "$out" >"$out.cmp" || true
}

same() {  # what a b
    if ! cmp -s "$2" "$3"; then
        echo "FAIL: $1"
        diff "$2" "$3" | head -20
        failed=1
    fi
}

if [ "$mode" = read ]; then
    while read -r file layer args; do
        name=${file%.gds}
        # shellcheck disable=SC2086
        run "$name.gds.out" "$shared/$file" "$layer" -algo tabu $args
        for variant in default level=0 level=10 cblocks strict,cblocks,level=10; do
            oas=$name.$(echo "$variant" | tr ',=' '__').oas
            if [ "$variant" = default ]; then
                klayout -b -rd input="$shared/$file" -rd output="$oas" -r "$scripts/write_oasis.rb"
            else
                klayout -b -rd input="$shared/$file" -rd output="$oas" -rd options="$variant" \
                    -r "$scripts/write_oasis.rb"
            fi
            # shellcheck disable=SC2086
            run "$oas.out" "$oas" "$layer" -algo tabu $args
            same "$oas ($variant) against $file" "$name.gds.out.cmp" "$oas.out.cmp"
        done
    done <layouts
    grep -q 'Final Stitch Num' c432_osu018.gds.out || { echo "FAIL: no result line"; failed=1; }
    # The default engine on one layout, and the magic found under a GDSII name.
    run c432.sdp.gds.out "$shared/c432_osu018.gds" 6 -mindp 857
    run c432.sdp.oas.out c432_osu018.strict_cblocks_level_10.oas 6 -mindp 857
    same "the default engine on c432_osu018" c432.sdp.gds.out.cmp c432.sdp.oas.out.cmp
    cp c432_osu018.level_10.oas disguised.gds
    run disguised.out disguised.gds 6 -algo tabu -mindp 857
    same "OASIS under a .gds name" c432_osu018.gds.out.cmp disguised.out.cmp
else
    while read -r file layer args; do
        name=${file%.gds}
        for ext in gds oas; do
            # shellcheck disable=SC2086
            run "$name.run.$ext" "$shared/$file" "$layer" -algo tabu $args -out "$name.$ext"
            sed "s/$name\.$ext/OUT/" "$name.run.$ext.cmp" >"$name.run.$ext.cmp2"
            space=$(echo "$args" | sed -n 's/.*-mindp \([0-9]*\).*/\1/p')
            klayout -b -rd input="$name.$ext" -rd space="${space:-120}" \
                -r "$scripts/count_shapes.rb" >"$name.klayout.$ext" 2>&1
            # shellcheck disable=SC2086
            "$check" "$name.$ext" -layer "$layer" $args >"$name.check.$ext.raw" 2>&1 ||
                echo "status $?" >>"$name.check.$ext.raw"
            sed "s/$name\.$ext/OUT/" "$name.check.$ext.raw" >"$name.check.$ext"
        done
        same "$name: runs writing .gds and .oas" "$name.run.gds.cmp2" "$name.run.oas.cmp2"
        same "$name: KLayout's shapes and spacing check" "$name.klayout.gds" "$name.klayout.oas"
        same "$name: chromasect-check" "$name.check.gds" "$name.check.oas"
        grep -q "^$layer/1 [1-9]" "$name.klayout.oas" || { echo "FAIL: $name: no mask 1"; failed=1; }
        grep -q "spacing violations" "$name.check.oas" || { echo "FAIL: $name: no check"; failed=1; }
    done <layouts
fi
[ "$failed" -eq 0 ] && echo "all the same"
exit "$failed"
