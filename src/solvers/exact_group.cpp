// The exact engine on one decomposition graph: the tabu colouring gives the
// start, CBC improves it within a time limit.

#include <cstdio>

#include "base/params.h"
#include "solvers/engines.h"
#include "solvers/exact.h"
#include "solvers/solvers.h"

double GraphCost(const MPLDesign& d, const std::vector<mySuperShape*>& dg) {
    std::vector<int> colors;
    colors.reserve(dg.size());
    for (const mySuperShape* v : dg) colors.push_back(v->colorTmp);
    return chromasect::colouringCost(ProblemOf(d, dg, false), colors);
}

void GroupExact(MPLDesign& d, const std::vector<mySuperShape*>& dg) {
    RunEngineJob(d, dg, Engine::Exact);
}

void PrintEngineQuality(const MPLDesign& d) {
    if (d.algo == Engine::Exact)
        d.report.print(
            "STAT | Exact engine: %d of %d graphs proven optimal, engine cost %g (start "
            "cost %g), lower bound %g\n",
            d.provenGraphs, d.engineGraphs, d.engineCost, d.engineStartCost, d.engineLowerBound);
    else
        d.report.print("STAT | Engine cost: %g over %d graphs\n", d.engineCost, d.engineGraphs);
}
