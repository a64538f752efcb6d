#!/bin/sh
# Runs one whole-run golden case in a fresh directory and compares standard
# output, exit status and every file the run leaves behind with the stored
# ones, byte for byte; with "write" stores them instead. With GOLDEN_THREADS
# set the run gets "-threads N", left out of the "Parameters" line before the
# comparison: the output must not depend on it. With GOLDEN_REPORT_CHECK set
# (a program: REPORT STDOUT STATUS INPUT) the run also writes its report,
# which that program checks against the run's output; "-report" is left out
# of the comparison in the same way, and the report is not stored. With
# GOLDEN_LAUNCHER set (say "mpiexec -n 3") the binary runs under it.
#
#   run-case.sh check|write BINARY SOURCE_DIR SHARED_DIR NAME INPUT [ARGS...]
set -eu
mode=$1 binary=$2 source=$3 shared=$4 name=$5 input=$6
shift 6

golden=$source/tests/golden/${name%+}
work=$(mktemp -d "${TMPDIR:-/tmp}/golden.XXXXXX")
trap 'rm -rf "$work"' EXIT

# "@tiled/NxM/LAYOUT": N x M copies of a shared layout, twice the default
# spacing apart, made by the tiling tool built beside the binary.
tiles=
case $input in
@tiled/*)
    rest=${input#@tiled/}
    tiles=${rest%%/*}
    input=$shared/${rest#*/}
    ;;
@shared/*) input=$shared/${input#@shared/} ;;
*) input=$source/$input ;;
esac
[ -f "$input" ] || { echo "golden $name: missing input $input"; exit 1; }
if [ -n "$tiles" ]; then
    base=$(basename "$input")
    tiled=$work/tiled/${base%.*}-$tiles.${base##*.}
    mkdir -p "$work/tiled"
    "$(dirname "$binary")/tile_layout" --in "$input" --nx "${tiles%x*}" --ny "${tiles#*x}" \
        --gap 240 --ascii "$tiled" >/dev/null
    input=$tiled
fi

# The input is linked under its own name so that the "Parameters" line does
# not depend on where the source tree or the layouts lie.
base=$(basename "$input")
ln -s "$input" "$work/$base"
threads=${GOLDEN_THREADS:-}
[ -z "$threads" ] || set -- "$@" -threads "$threads"
checker=${GOLDEN_REPORT_CHECK:-}
[ "$mode" = check ] || checker=
[ -z "$checker" ] || set -- "$@" -report report.json
status=0
launcher=${GOLDEN_LAUNCHER:-}
# shellcheck disable=SC2086
(cd "$work" && $launcher "$binary" -inlib "$base" -out out.ascii "$@" >stdout.txt) || status=$?
if [ -n "$checker" ]; then
    sed "s/^\(STAT | Parameters: .*\)-report report.json \$/\1/" "$work/stdout.txt" >"$work/stdout.tmp"
    mv "$work/stdout.tmp" "$work/stdout.txt"
fi
if [ -n "$threads" ]; then
    sed "s/^\(STAT | Parameters: .*\)-threads $threads \$/\1/" "$work/stdout.txt" >"$work/stdout.tmp"
    mv "$work/stdout.tmp" "$work/stdout.txt"
fi
report_failed=0
if [ -n "$checker" ]; then
    "$checker" "$work/report.json" "$work/stdout.txt" "$status" "$input" || report_failed=1
    rm -f "$work/report.json"
fi
rm "$work/$base"
rm -rf "$work/tiled"
echo "$status" >"$work/status.txt"

if [ "$mode" = write ]; then
    rm -rf "$golden"
    mkdir -p "$golden"
    cp "$work"/* "$golden"/
    echo "golden $name: written to $golden"
    exit 0
fi

[ -d "$golden" ] || { echo "golden $name: nothing stored in $golden"; exit 1; }
failed=0
for f in "$golden"/* "$work"/*; do
    n=$(basename "$f")
    if [ ! -e "$golden/$n" ]; then
        echo "golden $name: the run left $n, which is not stored"
        failed=1
    elif [ ! -e "$work/$n" ]; then
        echo "golden $name: the run did not write $n"
        failed=1
    elif ! cmp -s "$golden/$n" "$work/$n"; then
        echo "golden $name: $n differs:"
        diff "$golden/$n" "$work/$n" | head -20 || true
        failed=1
    fi
done
[ $report_failed = 0 ] || echo "golden $name: the run report disagrees with the run"
[ $failed = 0 ] && [ $report_failed = 0 ]
