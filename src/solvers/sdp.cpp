// The SDP engine: writes the relaxed colouring problem of one decomposition
// graph in the SDPA sparse format, has the solver solve it, and rounds the
// solution matrix into working colours.

#include <algorithm>
#include <fstream>
#include <locale>
#include <set>
#include <utility>
#include <vector>

#include "solvers/solvers.h"
#include "base/params.h"
#include "solvers/csdp.h"
#include "solvers/rounding.h"

namespace {

typedef std::set<std::pair<int, int> > PairSet;

// The solver accepts upper-triangle entries only, and one entry already
// stands for both mirror cells, so every unordered pair is written once,
// smaller position first.
PairSet unorderedPairs(const PairSet& pairs) {
    PairSet out;
    for (const std::pair<int, int>& p : pairs)
        out.insert(std::make_pair(std::min(p.first, p.second), std::max(p.first, p.second)));
    return out;
}

void openProblem(std::ofstream& out, const char* fileName) {
    out.open(fileName, std::ios::out | std::ios::trunc | std::ios::binary);
    out.imbue(std::locale::classic());
}

// Sizes, right-hand sides and the empty line that ends the header.
void writeHeader(std::ostream& out, int n, int c) {
    out << n + c << "\n";
    out << (c > 0 ? 2 : 1) << "\n";
    out << n;
    if (c > 0) out << ", " << -c;
    out << "\n";
    const double rhs = -2.0 / (NUM_COLORS - 1);
    for (int d = 0; d < c; ++d) out << rhs << ", ";
    for (int i = 0; i < n; ++i) out << 1 << ", ";
    out << "\n\n";
}

// Conflict constraints with their slacks, then the unit diagonal.
void writeConstraints(std::ostream& out, int n, const PairSet& conflicts) {
    const int c = int(conflicts.size());
    int d = 1;
    for (const std::pair<int, int>& p : conflicts)
        out << d++ << " 1 " << p.first + 1 << " " << p.second + 1 << " 1\n";
    for (d = 1; d <= c; ++d) out << d << " 2 " << d << " " << d << " -1\n";
    for (int i = 1; i <= n; ++i) out << c + i << " 1 " << i << " " << i << " 1\n";
}

}  // namespace

void GroupSDP(MPLDesign& d, const std::vector<mySuperShape*>& dg) {
    const int n = int(dg.size());
    if (d.densityBalance != 0)
        WriteGroupSDP_DensityBalance(d, "Input.csdp", dg);
    else
        WriteGroupSDP(d, "Input.csdp", dg);
    Csdp::ReadFileAndSolve("Input.csdp", "Output.csdp", true);
    std::vector<std::vector<double> > matrix;
    Csdp::ReadVectors("Output.perl", matrix, n);
    Rounding rounding(matrix, d.conflictSet, d.stitchSet);
    std::vector<int> colours;
    rounding.Solve(colours, d.sdpRoundFlag, false);
    for (int i = 0; i < n; ++i) dg[i]->SetMultiColorTmp(colours[i]);
}

void WriteGroupSDP(MPLDesign& d, const char* fileName, const std::vector<mySuperShape*>& dg) {
    const int n = int(dg.size());
    const PairSet conflicts = unorderedPairs(d.conflictSet);
    const PairSet stitchPairs = unorderedPairs(d.stitchSet);
    std::ofstream out;
    openProblem(out, fileName);
    writeHeader(out, n, int(conflicts.size()));
    for (const std::pair<int, int>& p : conflicts)
        out << "0 1 " << p.first + 1 << " " << p.second + 1 << " -1\n";
    for (const std::pair<int, int>& p : stitchPairs)
        out << "0 1 " << p.first + 1 << " " << p.second + 1 << " " << d.alpha << "\n";
    writeConstraints(out, n, conflicts);
}

void WriteGroupSDP_DensityBalance(MPLDesign& d, const char* fileName,
                                             const std::vector<mySuperShape*>& dg) {
    const int n = int(dg.size());
    const PairSet conflicts = unorderedPairs(d.conflictSet);
    const PairSet stitchPairs = unorderedPairs(d.stitchSet);
    std::vector<double> density(n);
    double maxDensity = 1.0;
    for (int i = 0; i < n; ++i) {
        density[i] = dg[i]->getWireDensity();
        if (density[i] > maxDensity) maxDensity = density[i];
    }
    std::ofstream out;
    openProblem(out, fileName);
    writeHeader(out, n, int(conflicts.size()));
    for (int m = 0; m < n; ++m) {
        for (int o = m + 1; o < n; ++o) {
            double value = -d.beta * density[m] * density[o] / maxDensity / maxDensity;
            const std::pair<int, int> key(m, o);
            if (conflicts.count(key)) value -= 1.0;
            if (stitchPairs.count(key)) value += d.alpha;
            out << "0 1 " << m + 1 << " " << o + 1 << " " << value << "\n";
        }
    }
    writeConstraints(out, n, conflicts);
}
