// The exact engine inside a run: the SDP start through the real csdp, the
// CBC improvement, and the tallies behind its report line.

#include <gtest/gtest.h>

#include <cstdio>

#include "design/design.h"
#include "solvers/csdp.h"
#include "solvers/exact.h"
#include "solvers/solvers.h"
#include "support/test_support.h"

namespace {

class ExactGroup : public testsupport::GlobalsTest {
  protected:
    std::vector<mySuperShape*> graph(int n) {
        std::vector<mySuperShape*> dg;
        for (int i = 0; i < n; ++i) dg.push_back(design.superShapePool.make());
        return dg;
    }
    void pair(std::set<std::pair<int, int> >& s, int a, int b) {
        s.insert({a, b});
        s.insert({b, a});
    }
    MPLDesign design;
};

TEST_F(ExactGroup, ColoursOptimallyFromTheBetterStart) {
    testsupport::ScopedWorkDir dir;
    Csdp::csdpPrepare();
    // An odd wheel (hub 0, rim 1..5) with rim vertex 1 cut: its stitch twin 6
    // carries the rim edge to 2. Brute force: cost 0.1 (one stitch lets the
    // rim take two masks around an even cycle) is optimal.
    std::vector<mySuperShape*> dg = graph(7);
    for (int v = 1; v <= 6; ++v) pair(design.conflictSet, 0, v);
    pair(design.conflictSet, 6, 2);
    pair(design.conflictSet, 2, 3);
    pair(design.conflictSet, 3, 4);
    pair(design.conflictSet, 4, 5);
    pair(design.conflictSet, 5, 1);
    pair(design.stitchSet, 1, 6);
    design.algo = Engine::Exact;
    GroupExact(design, dg);
    EXPECT_EQ(design.provenGraphs, 1);
    EXPECT_NEAR(design.engineCost, 0.1, 1e-9);
    EXPECT_GE(design.engineStartCost, design.engineCost - 1e-9);
    EXPECT_NEAR(GraphCost(design, dg), 0.1, 1e-9);
    EXPECT_NEAR(design.engineLowerBound, 0.1, 1e-9);  // proven: the bound is the optimum
    // The caller's rounding choice is left as it was.
    EXPECT_FALSE(design.sdpRoundFlag);
    Csdp::csdpClean();

    design.report.capture();
    design.engineGraphs = 1;
    PrintEngineQuality(design);
    char expected[160];
    std::snprintf(expected, sizeof expected,
                  "STAT | Exact engine: 1 of 1 graphs proven optimal, engine cost 0.1 (start "
                  "cost %g), lower bound 0.1\n",
                  design.engineStartCost);
    EXPECT_EQ(design.report.takeCaptured(), expected);
}

TEST_F(ExactGroup, EngineCostCountsEachPairOnce) {
    std::vector<mySuperShape*> dg = graph(3);
    pair(design.conflictSet, 0, 1);
    pair(design.conflictSet, 1, 2);
    pair(design.stitchSet, 0, 2);
    dg[0]->SetMultiColorTmp(0);
    dg[1]->SetMultiColorTmp(0);
    dg[2]->SetMultiColorTmp(1);
    EXPECT_NEAR(GraphCost(design, dg), 1.1, 1e-9);
    design.algo = Engine::Sdp;
    design.engineGraphs = 2;
    design.engineCost = 1.25;
    design.report.capture();
    PrintEngineQuality(design);
    EXPECT_EQ(design.report.takeCaptured(), "STAT | Engine cost: 1.25 over 2 graphs\n");
}

}  // namespace
