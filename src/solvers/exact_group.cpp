// The exact engine on one decomposition graph: the SDP engine with the
// second-stage rounding gives the start, CBC improves it within a time limit.

#include <cstdio>

#include "driver/design.h"
#include "geometry/params.h"
#include "solvers/exact.h"

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

double MPLDesign::GraphCost(const std::vector<mySuperShape*>& dg) const {
    std::vector<int> colors;
    colors.reserve(dg.size());
    for (const mySuperShape* v : dg) colors.push_back(v->colorTmp);
    return chromasect::colouringCost(problemOf(*this, static_cast<int>(dg.size())), colors);
}

void MPLDesign::GroupExact(const std::vector<mySuperShape*>& dg) {
    const bool savedFlag = sdpRoundFlag;
    sdpRoundFlag = true;
    GroupSDP(dg);
    sdpRoundFlag = savedFlag;

    const int n = static_cast<int>(dg.size());
    std::vector<int> start;
    start.reserve(n);
    for (const mySuperShape* v : dg) start.push_back(v->colorTmp);
    chromasect::ExactResult r = chromasect::solveExact(problemOf(*this, n), start, exactSeconds);
    for (int i = 0; i < n; ++i) dg[i]->SetMultiColorTmp(r.colors[i]);
    if (r.proven) ++exactProven;
    engineCost += r.cost;
    engineStartCost += r.startCost;
}

void MPLDesign::PrintEngineQuality() const {
    if (algo == 2)
        std::printf("STAT | Exact engine: %d of %d graphs proven optimal, engine cost %g (start "
                    "cost %g)\n",
                    exactProven, engineGraphs, engineCost, engineStartCost);
    else
        std::printf("STAT | Engine cost: %g over %d graphs\n", engineCost, engineGraphs);
}
