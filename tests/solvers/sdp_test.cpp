#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/params.h"
#include "design/design.h"
#include "solvers/csdp.h"
#include "solvers/solvers.h"
#include "support/test_support.h"

namespace {

using testsupport::fileExists;
using testsupport::readFile;

typedef std::set<std::pair<int, int> > PairSet;

PairSet bothOrders(const std::vector<std::pair<int, int> >& edges) {
    PairSet s;
    for (const auto& e : edges) s.insert({e, {e.second, e.first}});
    return s;
}

class SdpTest : public testsupport::GlobalsTest {
  protected:
    // n vertices; vertex i gets one piece of the given size when listed.
    std::vector<mySuperShape*> makeGraph(int n,
                                         const std::vector<std::pair<int, int> >& sizes = {}) {
        std::vector<mySuperShape*> dg;
        for (int i = 0; i < n; ++i) {
            mySuperShape* v = design.superShapePool.make();
            v->vertexIndex = i;
            if (i < int(sizes.size())) {
                oaBox* r = design.rectPool.make(0, 0, sizes[i].first, sizes[i].second);
                v->boxes.push_back(design.boxPool.make(r));
            }
            dg.push_back(v);
        }
        return dg;
    }

    std::string write(const std::vector<mySuperShape*>& dg) {
        testsupport::ScopedWorkDir dir;
        if (design.densityBalance != Balance::None)
            WriteGroupSDP_DensityBalance(design, "Input.csdp", dg);
        else
            WriteGroupSDP(design, "Input.csdp", dg);
        return readFile("Input.csdp");
    }

    std::vector<int> colours(const std::vector<mySuperShape*>& dg) {
        std::vector<int> c;
        for (mySuperShape* v : dg) c.push_back(v->colorTmp);
        return c;
    }

    MPLDesign design;
};

const char* const kExample =
    "5\n2\n3, -2\n-1, -1, 1, 1, 1, \n\n0 1 1 2 -1\n0 1 2 3 -1\n0 1 1 3 0.1\n1 1 1 2 1\n"
    "2 1 2 3 1\n1 2 1 1 -1\n2 2 2 2 -1\n3 1 1 1 1\n4 1 2 2 1\n5 1 3 3 1\n";

TEST_F(SdpTest, WritesEachUnorderedPairOnce) {
    std::vector<mySuperShape*> dg = makeGraph(3);
    design.conflictSet = {{0, 1}, {1, 2}};
    design.stitchSet = {{0, 2}};
    EXPECT_EQ(write(dg), kExample);
    // Both orders, as the graph's pair sets hold them; or one order, larger
    // position first: the same file, and the sets stay as they were.
    design.conflictSet = bothOrders({{0, 1}, {1, 2}});
    design.stitchSet = bothOrders({{0, 2}});
    EXPECT_EQ(write(dg), kExample);
    design.conflictSet = {{1, 0}, {2, 1}};
    design.stitchSet = {{2, 0}};
    EXPECT_EQ(write(dg), kExample);
    EXPECT_EQ(design.conflictSet.size(), 2u);
}

TEST_F(SdpTest, WritesGraphsWithoutConflictsOrStitches) {
    std::vector<mySuperShape*> dg = makeGraph(2);
    design.stitchSet = bothOrders({{0, 1}});
    EXPECT_EQ(write(dg), "2\n1\n2\n1, 1, \n\n0 1 1 2 0.1\n1 1 1 1 1\n2 1 2 2 1\n");
    design.stitchSet.clear();
    design.conflictSet = bothOrders({{0, 1}});
    const std::string body =
        ", 1, 1, \n\n0 1 1 2 -1\n1 1 1 2 1\n1 2 1 1 -1\n2 1 1 1 1\n3 1 2 2 1\n";
    EXPECT_EQ(write(dg), "3\n2\n2, -1\n-1" + body);
    NUM_COLORS = 4;
    EXPECT_EQ(write(dg), "3\n2\n2, -1\n-0.666667" + body);
}

TEST_F(SdpTest, DensityBalanceWeighsEveryPair) {
    design.densityBalance = Balance::Local;
    // Areas 200, 100 and 50: D = 200. Pair (1,2) is both a conflict and a
    // stitch: -1 + 0.1 - 0.07 * 100 * 50 / 200 / 200.
    std::vector<mySuperShape*> dg = makeGraph(3, {{10, 20}, {10, 10}, {10, 5}});
    design.conflictSet = bothOrders({{1, 2}});
    design.stitchSet = bothOrders({{1, 2}});
    EXPECT_EQ(write(dg),
              "4\n2\n3, -1\n-1, 1, 1, 1, \n\n0 1 1 2 -0.035\n0 1 1 3 -0.0175\n"
              "0 1 2 3 -0.90875\n1 1 2 3 1\n1 2 1 1 -1\n2 1 1 1 1\n3 1 2 2 1\n4 1 3 3 1\n");

    // Areas of at most 1 leave D at 1; a vertex without pieces has area 0.
    std::vector<mySuperShape*> small = makeGraph(3, {{1, 1}, {1, 1}});
    design.conflictSet.clear();
    design.stitchSet.clear();
    EXPECT_EQ(write(small),
              "3\n1\n3\n1, 1, 1, \n\n0 1 1 2 -0.07\n0 1 1 3 -0\n0 1 2 3 -0\n1 1 1 1 1\n"
              "2 1 2 2 1\n3 1 3 3 1\n");
}

TEST_F(SdpTest, SolverWithoutAnswerIsReportedAndNoStaleAnswerIsUsed) {
    testsupport::ScopedWorkDir dir;
    // A solver in the working directory that writes nothing, and the answer
    // of an earlier graph that would merge vertices 0 and 1.
    testsupport::writeFile("csdp", "#!/bin/sh\necho ran > ran.txt\n");
    std::filesystem::permissions("csdp", std::filesystem::perms::owner_all);
    testsupport::writeFile("Output.perl", "1\n2 1 1 2 0.99\n");
    testsupport::writeFile("Output.csdp", "1.0 \n2 1 1 2 0.99 \n");
    Csdp::csdpPrepare();

    std::vector<mySuperShape*> dg = makeGraph(3);
    design.conflictSet = bothOrders({{0, 2}});
    design.report.capture();
    GroupSDP(design, dg);
    std::string out = design.report.takeCaptured();
    EXPECT_EQ(out, "WARNING| the SDP solver gave no answer for a graph of 3 vertices\n");
    EXPECT_TRUE(fileExists("ran.txt"));
    // Coloured from the empty matrix: one class per vertex.
    EXPECT_EQ(colours(dg), (std::vector<int>{0, 1, 2}));
}

// Counts conflict pairs left on one mask (each unordered pair once).
int sameMaskConflicts(const std::vector<mySuperShape*>& dg, const PairSet& conflicts) {
    int count = 0;
    for (const auto& p : conflicts)
        if (p.first < p.second && dg[p.first]->colorTmp == dg[p.second]->colorTmp) ++count;
    return count;
}

TEST_F(SdpTest, SolvesRealGraphsWithTheSolver) {
    testsupport::ScopedWorkDir dir;
    Csdp::csdpPrepare();

    // K4 needs four masks: exactly one conflict is unavoidable. Vertex 4
    // touches vertex 0 only through a stitch and must share its mask.
    std::vector<mySuperShape*> k4 = makeGraph(5);
    design.conflictSet = bothOrders({{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}});
    design.stitchSet = bothOrders({{0, 4}});
    design.report.capture();
    GroupSDP(design, k4);
    EXPECT_EQ(design.report.takeCaptured(), "");
    EXPECT_EQ(sameMaskConflicts(k4, design.conflictSet), 1);
    EXPECT_EQ(k4[4]->colorTmp, k4[0]->colorTmp);
    for (int c : colours(k4)) EXPECT_TRUE(c >= 0 && c < 3);
    EXPECT_TRUE(fileExists("csdp.log"));

    // The density-balanced problem is accepted too; a 6-cycle takes no conflict.
    design.densityBalance = Balance::Local;
    std::vector<mySuperShape*> ring =
        makeGraph(6, {{10, 40}, {10, 40}, {10, 40}, {10, 40}, {10, 40}, {10, 40}});
    design.conflictSet = bothOrders({{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 0}});
    design.report.capture();
    GroupSDP(design, ring);
    EXPECT_EQ(design.report.takeCaptured(), "");
    EXPECT_EQ(sameMaskConflicts(ring, design.conflictSet), 0);

    Csdp::csdpClean();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
