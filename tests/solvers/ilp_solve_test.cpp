// The exact engine through the real solver script and cbc, on small graphs
// whose optimum a brute force over every colouring confirms.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/params.h"
#include "design/design.h"
#include "solvers/solvers.h"
#include "support/test_support.h"

namespace {

using Edges = std::vector<std::pair<int, int> >;

// Conflicts plus alpha x stitches, each relation counted once.
double cost(const std::vector<int>& colour, const Edges& conflicts, const Edges& stitches,
            double alpha) {
    double c = 0;
    for (auto [a, b] : conflicts) c += colour[a] == colour[b];
    for (auto [a, b] : stitches) c += alpha * (colour[a] != colour[b]);
    return c;
}

double bruteForceMinimum(int n, const Edges& conflicts, const Edges& stitches, double alpha) {
    double best = std::numeric_limits<double>::infinity();
    std::vector<int> colour(n, 0);
    for (;;) {
        best = std::min(best, cost(colour, conflicts, stitches, alpha));
        int i = 0;
        while (i < n && ++colour[i] == NUM_COLORS) colour[i++] = 0;
        if (i == n) return best;
    }
}

class IlpSolve : public testsupport::GlobalsTest {
  protected:
    testsupport::ScopedWorkDir dir;
    MPLDesign d;

    void SetUp() override {
        GlobalsTest::SetUp();
        // The script as the build installs it next to chromasect.
        namespace fs = std::filesystem;
        fs::path installed = fs::path(testsupport::binaryPath()).parent_path() / "rungrb.csh";
        ASSERT_TRUE(fs::exists(installed)) << installed;
        fs::copy_file(installed, "rungrb.csh");
        chmod("rungrb.csh", 0755);
    }

    // Builds the graph as construction does (every relation in both orders),
    // solves it and checks the colouring against the brute-force optimum.
    void solveAndCheck(const char* name, int n, const Edges& conflicts, const Edges& stitches) {
        SCOPED_TRACE(name);
        std::vector<mySuperShape*> dg;
        for (int i = 0; i < n; ++i) {
            dg.push_back(d.superShapePool.make());
            dg.back()->vertexIndex = i;
        }
        d.conflictSet.clear();
        d.stitchSet.clear();
        for (auto [a, b] : conflicts) d.conflictSet.insert({a, b}), d.conflictSet.insert({b, a});
        for (auto [a, b] : stitches) d.stitchSet.insert({a, b}), d.stitchSet.insert({b, a});

        testing::internal::CaptureStdout();
        GroupILP(d, dg);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.rfind("yb ILP.lp: Optimal", 0), 0u) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;

        // Every variable is in the answer, beyond cbc's 50-column print limit.
        std::string sol = testsupport::readFile("problem.sol");
        EXPECT_EQ(std::count(sol.begin(), sol.end(), '\n'),
                  1 + 3 * static_cast<long>(d.conflictSet.size() + d.stitchSet.size()) + 2 * n);

        std::vector<int> colour;
        for (mySuperShape* v : dg) {
            EXPECT_GE(v->colorTmp, 0);
            EXPECT_LT(v->colorTmp, NUM_COLORS);
            colour.push_back(v->colorTmp);
        }
        EXPECT_NEAR(cost(colour, conflicts, stitches, d.alpha),
                    bruteForceMinimum(n, conflicts, stitches, d.alpha), 1e-9);
    }
};

TEST_F(IlpSolve, SmallGraphsColouredOptimally) {
    // K4 on 0..3, and a feature cut in two (4 and 5, a stitch pair) whose
    // halves each conflict with three of the K4 vertices: one conflict is
    // unavoidable; the stitch costs less than a second one.
    solveAndCheck("K4 plus a stitch pair", 6,
                  {{0, 1},
                   {0, 2},
                   {0, 3},
                   {1, 2},
                   {1, 3},
                   {2, 3},
                   {4, 0},
                   {4, 1},
                   {4, 2},
                   {5, 1},
                   {5, 2},
                   {5, 3}},
                  {{4, 5}});
    // Hub 0 and a rim of five: an odd wheel needs four masks, so one
    // conflict; rim vertex 1 is cut, its other half 6 free of conflicts.
    solveAndCheck("odd wheel", 7,
                  {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 1}},
                  {{1, 6}});
    // K3,3 with stitches inside one side: no conflict and no stitch.
    solveAndCheck("bipartite", 6,
                  {{0, 3}, {0, 4}, {0, 5}, {1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 4}, {2, 5}},
                  {{0, 1}, {1, 2}});
    // A graph without any relation still gives a valid program.
    solveAndCheck("no relation", 2, {}, {});
    EXPECT_EQ(d.maxILPVarNum, 3 * (24 + 2) + 2 * 6);
}

TEST_F(IlpSolve, FourMasksColourK4WithoutConflict) {
    NUM_COLORS = 4;
    solveAndCheck("K4, four masks", 4, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}, {});
}

TEST_F(IlpSolve, ScriptLeavesNoAnswerWithoutAnOptimum) {
    testsupport::writeFile("infeasible.lp",
                           "Minimize\nobj:  + x_0_1 \nSubject To\n x_0_1 + x_0_2 >= 3\n"
                           "Bounds\n 0 <= x_0_1 <= 1\n 0 <= x_0_2 <= 1\n"
                           "Binaries\n x_0_1\n x_0_2\nEnd\n");
    testsupport::writeFile("garbage.lp", "this is no model\n");  // cbc crashes on it
    for (const char* lp : {"infeasible.lp", "missing.lp", "garbage.lp"}) {
        testsupport::writeFile("problem.sol", "stale\n");
        auto r = testsupport::runCommand(std::string("./rungrb.csh ") + lp + " 2>&1");
        EXPECT_NE(r.status, 0) << lp;
        EXPECT_EQ(r.out.rfind(std::string("yb ") + lp + ": failed", 0), 0u) << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        EXPECT_FALSE(testsupport::fileExists("problem.sol")) << lp;
    }
}

}  // namespace
