// The exact engine on one decomposition graph: the SDP engine with the
// second-stage rounding gives the start, CBC improves it within a time limit.

#include <cstdio>

#include "base/params.h"
#include "solvers/engines.h"
#include "solvers/exact.h"
#include "solvers/solvers.h"

namespace {
chromasect::ExactProblem problemOf(const MPLDesign& d, int n) {
    chromasect::ExactProblem p;
    p.n = n;
    p.masks = NUM_COLORS;
    p.conflicts = d.conflictSet;
    p.stitches = d.stitchSet;
    p.alpha = d.alpha;
    return p;
}
}  // namespace

double GraphCost(const MPLDesign& d, const std::vector<mySuperShape*>& dg) {
    std::vector<int> colors;
    colors.reserve(dg.size());
    for (const mySuperShape* v : dg) colors.push_back(v->colorTmp);
    return chromasect::colouringCost(problemOf(d, static_cast<int>(dg.size())), colors);
}

void GroupExact(MPLDesign& d, const std::vector<mySuperShape*>& dg) {
    const int n = static_cast<int>(dg.size());
    const chromasect::ExactProblem p = problemOf(d, n);
    // The start: the SDP engine with the second-stage rounding, density
    // balanced when the run asks for balance.
    chromasect::ColoringProblem sdp = p;
    if (d.densityBalance != Balance::None)
        for (const mySuperShape* v : dg) sdp.densities.push_back(v->getWireDensity());
    const chromasect::SdpResult start = chromasect::solveSdp(sdp, true, d.solverDir);
    for (const std::string& line : start.warnings) d.report.print("%s", line.c_str());
    chromasect::ExactResult r = chromasect::solveExact(p, start.colors, d.exactSeconds);
    for (int i = 0; i < n; ++i) dg[i]->SetMultiColorTmp(r.colors[i]);
    if (r.proven) ++d.exactProven;
    d.engineCost += r.cost;
    d.engineStartCost += r.startCost;
}

void PrintEngineQuality(const MPLDesign& d) {
    if (d.algo == Engine::Exact)
        d.report.print(
            "STAT | Exact engine: %d of %d graphs proven optimal, engine cost %g (start "
            "cost %g)\n",
            d.exactProven, d.engineGraphs, d.engineCost, d.engineStartCost);
    else
        d.report.print("STAT | Engine cost: %g over %d graphs\n", d.engineCost, d.engineGraphs);
}
