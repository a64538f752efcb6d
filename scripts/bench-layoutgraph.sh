#!/bin/sh
# Times the layout-graph stages (relationships and components, layout
# graphs, both simplification passes) on a layout tiled N x N times, and
# prints the component count and the features left after each pass.
#
#   scripts/bench-layoutgraph.sh LAYOUT.ascii [N] [chromasect options...]
#
# Times run from the reader's "After read all wires" line to each later
# STAT line; the run is stopped after the second simplification line.
# Needs a built build/chromasect.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
layout=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
tiles=1
if [ $# -gt 0 ]; then
    tiles=$1
    shift
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/chromasect-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 - "$layout" "$tiles" "$work/tiled.ascii" <<'PYEOF'
import re, sys
src, n, dst = sys.argv[1], int(sys.argv[2]), sys.argv[3]
lines = open(src).read().split("\n")
is_elem = lambda ln: "BOUNDARY" in ln or ln.startswith("BOX")
head, elems, tail = [], [], []
i = 0
while i < len(lines) and not is_elem(lines[i]):
    head.append(lines[i]); i += 1
while i < len(lines):
    if is_elem(lines[i]):
        j = i
        while "ENDEL" not in lines[j]:
            j += 1
        elems.append(lines[i:j + 1]); i = j + 1
    else:
        tail.append(lines[i]); i += 1
num = re.compile(r"(-?\d+): (-?\d+)")
xs, ys = [], []
for e in elems:
    for ln in e:
        if ln.startswith("XY"):
            for x, y in num.findall(ln):
                xs.append(int(x)); ys.append(int(y))
w = max(xs) - min(xs) + 500
h = max(ys) - min(ys) + 500
shift = lambda tx, ty: lambda m: "%d: %d" % (int(m.group(1)) + tx * w, int(m.group(2)) + ty * h)
with open(dst, "w") as out:
    out.write("\n".join(head) + "\n")
    for tx in range(n):
        for ty in range(n):
            for e in elems:
                for ln in e:
                    out.write((num.sub(shift(tx, ty), ln) if ln.startswith("XY") else ln) + "\n")
    out.write("\n".join(tail) + "\n")
PYEOF

cd "$work"
python3 - "$root/build/chromasect" "$work/tiled.ascii" "$@" <<'PYEOF'
import subprocess, sys, time
cmd = ["stdbuf", "-oL", sys.argv[1], "-inlib", sys.argv[2]] + sys.argv[3:]
p = subprocess.Popen(cmd, stdout=subprocess.PIPE, text=True)
t0, edge_errors = None, 0
for line in p.stdout:
    line = line.rstrip("\n")
    if "After read all wires" in line:
        t0 = time.monotonic()
        print(line)
    elif line.startswith("Error in "):
        edge_errors += 1
    elif line.startswith("STAT |") and t0 is not None:
        print("%8.3f s  %s" % (time.monotonic() - t0, line))
        if "2nd LG simplification" in line:
            break
    elif line.startswith(("ERROR", "Error|", "EXIT")):
        print(line)
p.kill()
p.wait()
print("edge messages (rail outside its band): %d" % edge_errors)
PYEOF
