// The SDP engine: writes the relaxed colouring problem of one decomposition
// graph in the SDPA sparse format, has the solver solve it, and rounds the
// solution matrix into working colours.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <locale>
#include <set>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/params.h"
#include "base/report.h"
#include "solvers/csdp.h"
#include "solvers/engines.h"
#include "solvers/problem.h"
#include "solvers/rounding.h"
#include "solvers/solvers.h"

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
void writeHeader(std::ostream& out, int n, int c, int masks) {
    out << n + c << "\n";
    out << (c > 0 ? 2 : 1) << "\n";
    out << n;
    if (c > 0) out << ", " << -c;
    out << "\n";
    const double rhs = -2.0 / (masks - 1);
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

namespace chromasect {

void writeSdpProblem(const ColoringProblem& p, const char* fileName) {
    const int n = p.n;
    const PairSet conflicts = unorderedPairs(p.conflicts);
    const PairSet stitchPairs = unorderedPairs(p.stitches);
    std::ofstream out;
    openProblem(out, fileName);
    writeHeader(out, n, int(conflicts.size()), p.masks);
    if (p.densities.empty()) {
        for (const std::pair<int, int>& e : conflicts)
            out << "0 1 " << e.first + 1 << " " << e.second + 1 << " -1\n";
        for (const std::pair<int, int>& e : stitchPairs)
            out << "0 1 " << e.first + 1 << " " << e.second + 1 << " " << p.alpha << "\n";
    } else {
        double maxDensity = 1.0;
        for (int i = 0; i < n; ++i)
            if (p.densities[i] > maxDensity) maxDensity = p.densities[i];
        for (int m = 0; m < n; ++m) {
            for (int o = m + 1; o < n; ++o) {
                double value = -p.beta * p.densities[m] * p.densities[o] / maxDensity / maxDensity;
                const std::pair<int, int> key(m, o);
                if (conflicts.count(key)) value -= 1.0;
                if (stitchPairs.count(key)) value += p.alpha;
                out << "0 1 " << m + 1 << " " << o + 1 << " " << value << "\n";
            }
        }
    }
    writeConstraints(out, n, conflicts);
}

double sdpMemoryEstimateMB(const ColoringProblem& p) {
    const double n = p.n;
    const double m = n + static_cast<double>(distinctPairs(p.conflicts, p.n).size());
    return 8.0 * (2.0 * m * m + 12.0 * n * n) / (1024.0 * 1024.0);
}

std::vector<int> colorsWithoutAnswer(const ColoringProblem& p, bool secondStage) {
    const std::vector<std::vector<double> > zero(p.n, std::vector<double>(p.n, 0.0));
    Rounding rounding(zero, p.conflicts, p.stitches);
    std::vector<int> colors;
    rounding.Solve(colors, secondStage, false);
    return colors;
}

SdpResult solveSdp(const ColoringProblem& p, bool secondStage, const std::string& dir,
                   double seconds) {
    SdpResult r;
    // Every way of ending without a usable answer colours the graph as one
    // without, after one warning.
    auto withoutAnswer = [&](const std::string& warning) {
        r.warnings.push_back(warning);
        r.colors = colorsWithoutAnswer(p, secondStage);
        r.unanswered = true;
        return r;
    };
    writeSdpProblem(p, inDir(dir, "Input.csdp").c_str());
    std::string failure;
    if (!Csdp::ReadFileAndSolve("Input.csdp", "Output.csdp", true, dir, seconds, &failure)) {
        return withoutAnswer(chromasect::formatText(
            "WARNING| the SDP solver was stopped after %g seconds on a graph of %d "
            "vertices\n",
            seconds, p.n));
    }
    if (!failure.empty()) {
        return withoutAnswer(
            chromasect::formatText("WARNING| the SDP solver %s on a graph of %d vertices; taken "
                                   "as no answer\n",
                                   failure.c_str(), p.n));
    }
    std::vector<std::vector<double> > matrix;
    std::string fault;
    const bool answered = Csdp::ReadVectors(inDir(dir, "Output.perl").c_str(), matrix, p.n, &fault);
    if (answered && !fault.empty()) {
        // Garbage is no answer: rounding it would give a colouring of nothing.
        return withoutAnswer(chromasect::formatText(
            "WARNING| the SDP solver's answer for a graph of %d vertices is damaged (%s); taken "
            "as no answer\n",
            p.n, fault.c_str()));
    }
    if (!answered) {
        r.warnings.push_back("WARNING| the SDP solver gave no answer for a graph of " +
                             std::to_string(p.n) + " vertices\n");
        r.unanswered = true;
    }
    Rounding rounding(matrix, p.conflicts, p.stitches);
    rounding.Solve(r.colors, secondStage, false);
    r.warnings.insert(r.warnings.end(), rounding.m_vWarnings.begin(), rounding.m_vWarnings.end());
    return r;
}

}  // namespace chromasect

void GroupSDP(MPLDesign& d, const std::vector<mySuperShape*>& dg) {
    RunEngineJob(d, dg, Engine::Sdp);
}

void WriteGroupSDP(MPLDesign& d, const char* fileName, const std::vector<mySuperShape*>& dg) {
    chromasect::writeSdpProblem(ProblemOf(d, dg, false), fileName);
}

void WriteGroupSDP_DensityBalance(MPLDesign& d, const char* fileName,
                                  const std::vector<mySuperShape*>& dg) {
    chromasect::writeSdpProblem(ProblemOf(d, dg, true), fileName);
}
