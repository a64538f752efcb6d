#!/bin/sh
# Mutation fuzzing of the layout readers, the decomposition and the checker,
# under the sanitizer build.
#
#   sh scripts/fuzz.sh [-n CASES] [-seed N] [-build DIR] [-sec S] [-mb MB]
#                      [-shared DIR] [-keep DIR] [-j JOBS]
#
# Case i takes seed layout i mod (number of seeds) and damages it with
# tools/fuzz_mutate (byte flips, truncation, huge and NaN numbers,
# degenerate, non-rectilinear and unclosed polygons, bad units and layers,
# lying record lengths, AREF and doubling-SREF bombs; for OASIS integers
# that never end, huge integers, lying CBLOCK and string lengths, deep and
# looping placements, placement and repetition bombs). The seeds: the
# bundled examples and e2e layouts, the shared real layouts (text dumps and
# GDSII) when the folder is there, OASIS made from the shared GDSII by
# KLayout (when it is installed), and mask files (GDSII, OASIS, text) that
# the decomposer writes from some of them, which go to chromasect-check. Layouts are decomposed when
# small (with -out), only read when large (with -dump). Each run has a time
# limit (-sec, default 20) and a memory limit (-mb, default 2048: the
# sanitizer's own limits, since it cannot run under ulimit -v; a build
# without it gets ulimit -v). The same seed gives the same cases, at any
# number of cases run at once (-j, default 1).
#
# Outcomes, counted:
#   clean      status 0 (or the checker's 1: violations found)
#   error      a non-zero status with a line "ERROR| ", "Error| " or "EXIT| "
#   unclear    a non-zero status without such a line
#   silent     status 0 on a file surely damaged, with no "WARNING| " line
#   crash      ended by a signal
#   hang       stopped at the time limit
#   memory     passed the memory limit
#   sanitizer  an AddressSanitizer, LeakSanitizer or UBSan report
# The cases of every class but clean and error are listed (with -keep DIR
# their files are kept there). Exits 1 when a case crashed, hung, ran out of
# memory or drew a sanitizer report.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

cases=300
seed=1
build=$root/build-sanitize
secs=20
mb=2048
shared=$root/../shared/layouts
keep=
jobs=1
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || { echo "fuzz.sh: $1 needs a value" >&2; exit 2; }
    case $1 in
    -n) cases=$2 ;;
    -seed) seed=$2 ;;
    -build) build=$2 ;;
    -sec) secs=$2 ;;
    -mb) mb=$2 ;;
    -shared) shared=$2 ;;
    -keep) keep=$2 ;;
    -j) jobs=$2 ;;
    *) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCHROMASECT_SANITIZE=ON \
        >/dev/null
fi
cmake --build "$build" --target chromasect chromasect-check fuzz_mutate >/dev/null
bin=$build/chromasect
check=$build/chromasect-check
mutate=$build/fuzz_mutate

work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz.XXXXXX")
trap 'rm -rf "$work"' 0
trap 'exit 130' INT TERM
[ -z "$keep" ] || mkdir -p "$keep"

# The seeds, one a line: program (run or check), mode (full: decomposed,
# dump: read only), layer, file, extra arguments.
seeds=$work/seeds
: >"$seeds"
for f in "$root"/examples/*.ascii "$root"/tests/e2e/data/*.ascii; do
    echo "run full 1 $f" >>"$seeds"
done
if [ -d "$shared" ]; then
    # Decomposing more than a few hundred features under the sanitizers
    # takes seconds: the larger layouts are only read.
    [ ! -f "$shared/c6288_m1_crop.ascii" ] || echo "run full 1 $shared/c6288_m1_crop.ascii" >>"$seeds"
    for f in c432_m1 c880_m1 c1908_m1_s20 c5315_m1; do
        [ ! -f "$shared/$f.ascii" ] || echo "run dump 1 $shared/$f.ascii" >>"$seeds"
    done
    [ ! -f "$shared/c1908_m1_s20.gds" ] || echo "run dump 1 $shared/c1908_m1_s20.gds" >>"$seeds"
    for f in c432_osu018 c880_osu018; do
        [ ! -f "$shared/$f.gds" ] || echo "run dump 6 $shared/$f.gds -mindp 857" >>"$seeds"
    done
fi

# OASIS written by KLayout, with and without CBLOCKs and repetitions.
oasis_seed() {  # gds-file name writer-options layer [arguments]
    src=$1 name=$2 options=$3 layer=$4
    shift 4
    [ -f "$src" ] && command -v klayout >/dev/null 2>&1 || return 0
    mkdir -p "$work/oasis"
    if klayout -b -rd input="$src" -rd output="$work/oasis/$name.oas" -rd options="$options" \
        -r "$root/klayout/write_oasis.rb" >/dev/null 2>&1; then
        echo "run dump $layer $work/oasis/$name.oas $*" >>"$seeds"
    fi
}
oasis_seed "$shared/c1908_m1_s20.gds" c1908 level=0 1
oasis_seed "$shared/c432_osu018.gds" c432 strict,cblocks,level=10 6 -mindp 857
oasis_seed "$shared/c880_osu018.gds" c880 level=10 6 -mindp 857

# Mask files for the checker, written once by the decomposer.
mkdir "$work/masks"
masks() {  # name layer input out-suffix [args]
    name=$1 layer=$2 input=$3 suffix=$4
    shift 4
    if (cd "$work/masks" && "$bin" -inlib "$input" -layer "$layer" -out "$name.$suffix" "$@" \
        >/dev/null 2>&1); then
        echo "check full $layer $work/masks/$name.$suffix" >>"$seeds"
    else
        echo "fuzz.sh: the decomposer could not write the mask file $name.$suffix" >&2
        exit 2
    fi
}
masks example 1 "$root/examples/example.ascii" ascii
masks example 1 "$root/examples/example.ascii" gds
masks wheel5 1 "$root/tests/e2e/data/wheel5.ascii" gds
masks example 1 "$root/examples/example.ascii" oas
# A small OASIS file decomposed whole.
echo "run full 1 $work/masks/example.oas" >>"$seeds"
if [ -f "$shared/c6288_m1_crop.ascii" ]; then
    masks c6288 1 "$shared/c6288_m1_crop.ascii" ascii
fi
if [ -f "$shared/c432_osu018.gds" ]; then
    masks c432 6 "$shared/c432_osu018.gds" gds -mindp 857
    masks c432 6 "$shared/c432_osu018.gds" oas -mindp 857
fi
nseeds=$(wc -l <"$seeds")

# Sanitizers limit memory themselves; ulimit -v would stop them starting.
if grep -q "^CHROMASECT_SANITIZE:BOOL=ON" "$build/CMakeCache.txt"; then
    limit=:
    export ASAN_OPTIONS="hard_rss_limit_mb=$mb:malloc_limit_mb=$mb:detect_leaks=1"
else
    limit="ulimit -v $((mb * 1024))"
fi
export UBSAN_OPTIONS=print_stacktrace=1

# One case: its class and what it was, in results.d/CASE.
run_case() {
    i=$1
    line=$(sed -n "$((i % nseeds + 1))p" "$seeds")
    set -- $line
    program=$1 mode=$2 layer=$3 input=$4
    shift 4
    case $input in
    *.gds) ext=gds ;;
    *.oas) ext=oas ;;
    *) ext=ascii ;;
    esac
    dir=$work/case$i
    mkdir "$dir"
    file=case$i.$ext
    mutation=$("$mutate" "$seed" "$i" "$layer" "$input" "$dir/$file")
    damaged=${mutation#* }
    mutation=${mutation%% *}
    if [ "$program" = check ]; then
        set -- "$check" "$file" -layer "$layer" "$@"
    elif [ "$mode" = full ]; then
        case $((i % 3)) in
        0) out=out.gds ;;
        1) out=out.ascii ;;
        *) out=out.oas ;;
        esac
        set -- "$bin" -inlib "$file" -layer "$layer" -out "$out" -solver_sec 10 -threads 1 "$@"
    else
        set -- "$bin" -inlib "$file" -layer "$layer" -dump dump.ascii "$@"
    fi
    status=0
    (cd "$dir" && eval "$limit" && ulimit -c 0 && exec timeout -k 2 "$secs" "$@") \
        >"$dir/stdout" 2>"$dir/stderr" || status=$?

    if grep -q -e 'AddressSanitizer: out of memory' -e 'allocation-size-too-big' \
        -e 'rss-limit-exceeded' -e 'allocation size .* exceeds' -e 'malloc limit' \
        -e 'hard rss limit' "$dir/stderr"; then
        class=memory
    elif grep -q -e 'ERROR: AddressSanitizer' -e 'ERROR: LeakSanitizer' -e 'runtime error:' \
        "$dir/stderr"; then
        class=sanitizer
    elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        class=hang
    elif [ "$status" -gt 128 ] && [ "$status" -le 192 ]; then
        class=crash  # the shell's 128 + signal; 255 is an exit status of -1
    elif [ "$status" -eq 0 ] || { [ "$program" = check ] && [ "$status" -eq 1 ]; }; then
        if [ "$status" -eq 0 ] && [ "$damaged" = damaged ] &&
            ! grep -q '^WARNING| ' "$dir/stdout"; then
            class=silent
        else
            class=clean
        fi
    elif grep -q -e '^ERROR| ' -e '^Error| ' -e '^EXIT| ' "$dir/stdout"; then
        class=error
    else
        class=unclear
    fi
    echo "$class $i $mutation $(basename "$input") status $status" >"$work/results.d/$i"
    case $class in
    clean | error) ;;
    *)
        if [ -n "$keep" ]; then
            mkdir -p "$keep/$i"
            cp "$dir/$file" "$dir/stdout" "$dir/stderr" "$keep/$i/"
        fi
        ;;
    esac
    rm -rf "$dir"
}

mkdir "$work/results.d"
start=$(date +%s)
i=0
while [ "$i" -lt "$cases" ]; do
    # A batch of `jobs` cases at once; each has its own directory.
    j=0
    while [ "$j" -lt "$jobs" ] && [ "$i" -lt "$cases" ]; do
        run_case "$i" &
        i=$((i + 1))
        j=$((j + 1))
    done
    wait
    if [ $((i % 1000)) -lt "$jobs" ] && [ "$i" -lt "$cases" ]; then
        echo "fuzz: $i of $cases cases done, $(($(date +%s) - start))s" >&2
    fi
done
results=$work/results
for n in $(seq 0 $((cases - 1))); do cat "$work/results.d/$n"; done >"$results"
elapsed=$(($(date +%s) - start))

echo "fuzz: $cases cases, seed $seed, $nseeds seed files, ${elapsed}s"
for class in clean error unclear silent crash hang memory sanitizer; do
    printf '  %-10s %d\n' "$class" "$(grep -c "^$class " "$results" || true)"
done
if grep -v -e '^clean ' -e '^error ' "$results" >"$work/odd"; then
    echo "cases not clean and not a clear error (class, case, mutation, seed file, status):"
    sed 's/^/  /' "$work/odd"
fi
if grep -q -e '^crash ' -e '^hang ' -e '^memory ' -e '^sanitizer ' "$results"; then
    exit 1
fi
exit 0
