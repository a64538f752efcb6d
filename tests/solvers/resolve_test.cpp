#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/fatal.h"
#include "base/params.h"
#include "design/design.h"
#include "solvers/solvers.h"
#include "support/record_builder.h"
#include "support/test_support.h"

namespace {

using namespace testrecords;
using Edges = std::vector<std::pair<int, int> >;

class ResolveTest : public testsupport::GlobalsTest {
  protected:
    // A graph of n vertices, each one piece of its own feature, with the
    // piece links that give the listed edges. The pair sets are filled too,
    // as the pair derivation would fill them for this graph.
    std::vector<mySuperShape*> graph(int n, const Edges& conflicts, const Edges& stitches = {}) {
        std::vector<mySuperShape*> dg;
        for (int i = 0; i < n; ++i) {
            myShape* s = feature(d, 200 * i, 0, 200 * i + 100, 100);
            mySuperShape* v = vertex(d, {wholePiece(d, s)});
            v->vertexIndex = i;
            v->boxes[0]->vertexIndex = i;
            dg.push_back(v);
        }
        d.conflictSet.clear();
        d.stitchSet.clear();
        for (const auto& e : conflicts) {
            conflict(dg[e.first]->boxes[0], dg[e.second]->boxes[0]);
            d.conflictSet.insert(e);
            d.conflictSet.insert(std::make_pair(e.second, e.first));
        }
        for (const auto& e : stitches) {
            touch(dg[e.first]->boxes[0], dg[e.second]->boxes[0]);
            d.stitchSet.insert(e);
            d.stitchSet.insert(std::make_pair(e.second, e.first));
        }
        return dg;
    }

    static std::vector<int> colors(const std::vector<mySuperShape*>& dg) {
        std::vector<int> c;
        for (const mySuperShape* v : dg) c.push_back(v->colorTmp);
        return c;
    }

    std::string resolveCapturingOutput() {
        d.report.capture();
        ResolveDGs(d);
        return d.report.takeCaptured();
    }

    testsupport::ScopedWorkDir dir;
    MPLDesign d;
};

const Edges kTriangle = {{0, 1}, {1, 2}, {0, 2}};
const Edges kK4 = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};

// Removal order 0, 1, 2 (2 by cascade), so the colours come back 2, 1, 0.
TEST_F(ResolveTest, TrialColoursTriangleInReverseRemovalOrder) {
    std::vector<mySuperShape*> dg = graph(3, kTriangle);
    EXPECT_TRUE(FastColorAssignmentTrial(d, dg));
    EXPECT_EQ(colors(dg), (std::vector<int>{2, 1, 0}));
}

// K4: all four are removed, but the last popped (vertex 0) finds every mask
// taken; the vertices coloured before it keep their colours.
TEST_F(ResolveTest, TrialFailsOnK4AndOnStitchCycle) {
    std::vector<mySuperShape*> k4 = graph(4, kK4);
    EXPECT_FALSE(FastColorAssignmentTrial(d, k4));
    EXPECT_EQ(colors(k4), (std::vector<int>{-1, 2, 1, 0}));

    // No vertex of a stitch cycle can go: each keeps two visible stitch
    // neighbours, so nothing is coloured at all.
    std::vector<mySuperShape*> cycle = graph(4, {}, {{0, 1}, {1, 2}, {2, 3}, {0, 3}});
    EXPECT_FALSE(FastColorAssignmentTrial(d, cycle));
    EXPECT_EQ(colors(cycle), (std::vector<int>{-1, -1, -1, -1}));
}

TEST_F(ResolveTest, TrialFollowsStitchNeighbour) {
    std::vector<mySuperShape*> pair = graph(2, {}, {{0, 1}});
    EXPECT_TRUE(FastColorAssignmentTrial(d, pair));
    EXPECT_EQ(colors(pair), (std::vector<int>{0, 0}));

    // Conflict 0-1, stitch 1-2: 0 goes first, then 1, and 2 by cascade; 2
    // takes 0, 1 follows it, 0 avoids it.
    std::vector<mySuperShape*> path = graph(3, {{0, 1}}, {{1, 2}});
    EXPECT_TRUE(FastColorAssignmentTrial(d, path));
    EXPECT_EQ(colors(path), (std::vector<int>{1, 0, 0}));
}

// Worked by hand: the lone vertex takes a random mask and the triangle is
// coloured by the trial, so no graph needs the engine; the empty graph is
// skipped. Committing them to the pieces is left to the rotations.
TEST_F(ResolveTest, ResolvesWithoutEngineWhenTrialSucceeds) {
    d.algo = Engine::None;
    d.dgs.push_back(graph(1, {}));
    d.dgs.push_back(graph(3, kTriangle));
    d.dgs.push_back({});
    const std::string out = resolveCapturingOutput();

    EXPECT_EQ(out,
              "STAT | Color Assignment Process: 100.0%\t\n"
              "STAT | Solver Calling time: 0\n");
    const int lone = d.dgs[0][0]->colorTmp;
    EXPECT_GE(lone, 0);
    EXPECT_LT(lone, NUM_COLORS);
    EXPECT_EQ(colors(d.dgs[1]), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(d.dgs[1][0]->boxes[0]->color, UNSOLVE_COLOR);
}

// With simdg 1 the trial never runs: both graphs count as engine calls and
// keep the colours found on them (here set beforehand, as an engine would).
TEST_F(ResolveTest, SimdgOneSendsEveryGraphToEngine) {
    d.algo = Engine::None;
    d.simdg = 1;
    d.dgs.push_back(graph(3, kTriangle));
    d.dgs.push_back(graph(2, {}, {{0, 1}}));
    d.dgs.push_back(graph(1, {}));
    int c = 0;
    for (size_t g = 0; g < 2; ++g)
        for (mySuperShape* v : d.dgs[g]) v->SetMultiColorTmp(c++ % NUM_COLORS);
    const std::string out = resolveCapturingOutput();

    EXPECT_NE(out.find("STAT | Solver Calling time: 2\n"), std::string::npos) << out;
    EXPECT_EQ(colors(d.dgs[0]), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(colors(d.dgs[1]), (std::vector<int>{0, 1}));
}

// A K4 fails the trial and counts one engine call; with no engine its
// vertices stay uncoloured.
TEST_F(ResolveTest, K4GoesToEngine) {
    d.algo = Engine::None;
    d.dgs.push_back(graph(4, kK4));
    const std::string out = resolveCapturingOutput();
    EXPECT_NE(out.find("STAT | Solver Calling time: 1\n"), std::string::npos) << out;
    EXPECT_EQ(colors(d.dgs[0])[0], UNSOLVE_COLOR);  // the trial gave up on it
}

TEST_F(ResolveTest, ProgressLinesEveryTenGraphs) {
    d.quiet = false;
    for (int i = 0; i < 25; ++i) d.dgs.push_back(graph(1, {}));
    const std::string out = resolveCapturingOutput();
    EXPECT_EQ(out,
              "STAT | Color Assignment Process: 0.00%\t\r"
              "STAT | Color Assignment Process: 40.00%\t\r"
              "STAT | Color Assignment Process: 80.00%\t\r"
              "STAT | Color Assignment Process: 100.0%\t\n"
              "STAT | Solver Calling time: 0\n");
}

// The ILP engine's problem file is removed once at the end, and only when
// that engine is selected.
TEST_F(ResolveTest, IlpProblemFileRemovedOnlyWithIlpEngine) {
    testsupport::writeFile("ILP.lp", "x");
    d.algo = Engine::Sdp;
    d.dgs.push_back(graph(1, {}));
    resolveCapturingOutput();
    EXPECT_TRUE(testsupport::fileExists("ILP.lp"));

    d.algo = Engine::Ilp;
    resolveCapturingOutput();
    EXPECT_FALSE(testsupport::fileExists("ILP.lp"));
}

}  // namespace
