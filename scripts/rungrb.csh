#!/bin/sh
# ILP solver script of chromasect (a POSIX sh script; the name is historical).
#
#   rungrb.csh FILE.lp
#
# Solves the 0-1 program in FILE.lp (LP text format) with the open-source CBC
# solver and leaves the answer in "problem.sol" in the working directory: one
# header line, then one "name value" line per variable, integral values
# written as integers. Prints one summary line beginning with "yb" (the caller
# may keep only that line). Exits non-zero, leaving no "problem.sol", when
# there is no optimal answer: missing file, solver failure, infeasible model.
#
# cbc exits 0 whatever happens, so success is judged by its status line and
# by the files it writes.

sol=problem.sol
# A stale answer must never pass for this model's.
rm -f "$sol"

fail() {
    echo "yb $lp: failed: $1"
    rm -f "$sol" "$sol.part.$$"
    exit 1
}

if [ $# -ne 1 ]; then
    lp=rungrb.csh
    fail "usage: rungrb.csh FILE.lp"
fi
lp=$1
[ -f "$lp" ] && [ -r "$lp" ] || fail "cannot read the LP file"
command -v cbc >/dev/null 2>&1 || fail "cbc is not installed"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/rungrb.XXXXXX") || fail "cannot make a temporary directory"
trap 'rm -rf "$tmp"' 0
trap 'exit 1' HUP INT TERM

# cbc picks its reader by the file suffix and takes words beginning with '-'
# as commands: hand it a copy under a plain name.
cp "$lp" "$tmp/model.lp" || fail "cannot copy the LP file"

# The default solution printing lists only non-zero columns from 50 columns
# on; the csv printing lists every column. cbc crashes on some malformed
# files: the subshell waits for it (the trailing true keeps it from being
# replaced by cbc), so the shell's crash report also goes to the log.
(cd "$tmp" && cbc model.lp solve solu status.txt printingOptions csv solu values.csv; true) \
    >"$tmp/cbc.log" 2>&1

[ -f "$tmp/status.txt" ] && [ -f "$tmp/values.csv" ] || fail "cbc wrote no solution (unreadable model?)"
status=$(head -n 1 "$tmp/status.txt")
case $status in
    "Optimal - objective value "*) ;;
    *) fail "${status:-empty status}" ;;
esac
objective=${status##* }

# Values within 1e-6 of an integer are written as that integer (cbc prints
# 0.9999999 or -0 for binaries); any other value as cbc wrote it.
{
    echo "# Objective value = $objective"
    awk -F, 'NR > 1 {
        name = $1
        sub(/^\*\* /, "", name)
        v = $2 + 0
        r = (v < 0) ? -int(-v + 0.5) : int(v + 0.5)
        d = v - r
        if (d < 0) d = -d
        if (d <= 1e-6) printf "%s %d\n", name, r
        else printf "%s %s\n", name, $2
    }' "$tmp/values.csv"
} >"$sol.part.$$" || fail "cannot write $sol"
mv -f "$sol.part.$$" "$sol" || fail "cannot write $sol"

echo "yb $lp: Optimal, objective $objective"
exit 0
