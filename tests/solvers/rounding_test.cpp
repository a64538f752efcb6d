#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "geometry/params.h"
#include "solvers/rounding.h"
#include "support/test_support.h"

namespace {

typedef std::vector<std::vector<double> > Matrix;
typedef std::set<std::pair<int, int> > PairSet;

// n x n with a unit diagonal; sym sets both mirror cells.
Matrix unitMatrix(int n) {
    Matrix x(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i) x[i][i] = 1.0;
    return x;
}
void sym(Matrix& x, int i, int j, double v) { x[i][j] = x[j][i] = v; }

// Every edge in both orders, as the decomposition graph hands them over.
PairSet bothOrders(const std::vector<std::pair<int, int> >& edges) {
    PairSet s;
    for (const auto& e : edges) {
        s.insert(e);
        s.insert(std::make_pair(e.second, e.first));
    }
    return s;
}

std::vector<int> solve(const Matrix& x, const PairSet& conflicts, const PairSet& stitches,
                       bool flag1) {
    Rounding r(x, conflicts, stitches);
    std::vector<int> colours;
    r.Solve(colours, flag1, false);
    return colours;
}

int conflictsKept(const std::vector<int>& colours, const PairSet& conflicts) {
    int count = 0;
    for (const auto& p : conflicts)
        if (p.first < p.second && colours[p.first] == colours[p.second]) ++count;
    return count;
}

class RoundingTest : public testsupport::GlobalsTest {};

TEST_F(RoundingTest, TwoVerticesInConflictTakeTwoClasses) {
    Matrix x = unitMatrix(2);
    sym(x, 0, 1, -0.5);
    PairSet conflicts = bothOrders({{0, 1}});
    EXPECT_EQ(solve(x, conflicts, {}, false), (std::vector<int>{0, 1}));
    EXPECT_EQ(solve(x, conflicts, {}, true), (std::vector<int>{0, 1}));
}

TEST_F(RoundingTest, SmallGraphsMergeOnlyInTheFinalPass) {
    // Fewer than 8 vertices: the rounds never merge, even at 0.99; only the
    // final pass (>= 0.65, first stage alone) joins 0-1 and 2-3.
    Matrix x = unitMatrix(4);
    sym(x, 0, 1, 0.99);
    sym(x, 2, 3, 0.7);
    sym(x, 0, 2, -0.5);
    sym(x, 0, 3, -0.5);
    sym(x, 1, 2, -0.5);
    sym(x, 1, 3, -0.5);
    PairSet conflicts = bothOrders({{0, 2}, {1, 3}});
    EXPECT_EQ(solve(x, conflicts, {}, false), (std::vector<int>{0, 0, 1, 1}));

    // The second stage skips the final pass: four single classes, and the
    // exhaustive search keeps the first best cut in lexicographic order,
    // 0 0 1 1, leaving group 2 empty.
    Rounding r(x, conflicts, {});
    std::vector<int> colours;
    r.Solve(colours, true, false);
    EXPECT_EQ(r.m_vTriParNodes.size(), 4u);
    EXPECT_EQ(colours, (std::vector<int>{0, 0, 1, 1}));
    EXPECT_DOUBLE_EQ(r.m_dBestCut, 4.0);
    ASSERT_EQ(r.m_lPartitions.size(), 3u);
    EXPECT_TRUE(r.m_lPartitions.back().empty());
}

TEST_F(RoundingTest, RoundsMergeWhileEightClassesRemain) {
    // A chain of 0.97 pairs over 10 vertices: (0,1), (1,2), (2,3) merge, then
    // 7 classes remain and merging stops.
    Matrix x = unitMatrix(10);
    for (int i = 0; i + 1 < 10; ++i) sym(x, i, i + 1, 0.97);
    Rounding r(x, {}, {});
    std::vector<int> colours;
    r.Solve(colours, true, false);
    ASSERT_EQ(r.m_vTriParNodes.size(), 7u);
    EXPECT_EQ(r.m_vTriParNodes[0].vids, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(RoundingTest, ApartPairsNeverMerge) {
    // 0-2 is marked apart in round 0 (-0.5 < -0.45); the final pass would
    // merge 0-1 and 1-2, but the second would join two incompatible classes.
    Matrix x = unitMatrix(3);
    sym(x, 0, 1, 0.9);
    sym(x, 1, 2, 0.8);
    sym(x, 0, 2, -0.5);
    std::vector<int> colours = solve(x, {}, {}, false);
    EXPECT_EQ(colours[0], colours[1]);
    EXPECT_NE(colours[1], colours[2]);
}

TEST_F(RoundingTest, EqualSizeClassesKeepFirstAppearanceOrder) {
    // Classes by first appearance: [0] [1 2] [3 4] [5]; sorted by size with
    // ties kept: [1 2] [3 4] [0] [5]. [5] has no edge, so all costs are equal
    // and it joins the highest class, 2.
    Matrix x = unitMatrix(6);
    sym(x, 1, 2, 0.8);
    sym(x, 3, 4, 0.8);
    EXPECT_EQ(solve(x, {}, {}, false), (std::vector<int>{2, 0, 0, 1, 1, 2}));

    // A conflict with vertex 0 makes class 2 dearer; classes 0 and 1 tie and
    // the higher one wins.
    EXPECT_EQ(solve(x, bothOrders({{5, 0}}), {}, false), (std::vector<int>{2, 0, 0, 1, 1, 1}));

    // A stitch to vertex 3 makes class 1 the cheapest.
    EXPECT_EQ(solve(x, {}, bothOrders({{5, 3}}), false), (std::vector<int>{2, 0, 0, 1, 1, 1}));
    EXPECT_EQ(solve(x, {}, bothOrders({{5, 1}}), false), (std::vector<int>{2, 0, 0, 1, 1, 0}));
}

TEST_F(RoundingTest, EmptyMatrixIsColouredByRefinementAlone) {
    // The last class goes first: 4 conflicts with 0 and 2 and joins 1; then
    // 3 conflicts with 0 and with 1 and 4 (class 1) and joins 2.
    PairSet conflicts = bothOrders({{3, 0}, {3, 1}, {4, 2}, {4, 3}, {4, 0}});
    Matrix zero(5, std::vector<double>(5, 0.0));
    std::vector<int> colours = solve(zero, conflicts, {}, false);
    EXPECT_EQ(colours, (std::vector<int>{0, 1, 2, 2, 1}));
}

TEST_F(RoundingTest, GetNewParIDPrefersHighestAmongEqualCosts) {
    Matrix zero(4, std::vector<double>(4, 0.0));
    Rounding r(zero, {}, {});
    r.GenPartitions();
    r.m_vParID = {0, 1, 2, 3};
    EXPECT_EQ(r.GetNewParID_new(), 2);
}

TEST_F(RoundingTest, FourMasksKeepFourClasses) {
    NUM_COLORS = 4;
    Matrix zero(6, std::vector<double>(6, 0.0));
    std::vector<int> colours = solve(zero, {}, {}, false);
    EXPECT_EQ(colours, (std::vector<int>{0, 1, 2, 3, 3, 3}));
    // The three-group second stage does not apply to four masks.
    EXPECT_EQ(solve(zero, {}, {}, true), colours);
}

// A 3-colourable graph on which the greedy reduction fails (hand-traced):
// 8 joins 2, 7 joins 1, 6 5 4 join 2, then 3 conflicts with all three
// classes and joins 2 next to 8. Without 4 the same graph has 8 vertices.
std::vector<std::pair<int, int> > trickyEdges(bool nine) {
    int a = nine ? 8 : 7, b = nine ? 7 : 6;
    return {{a, 0}, {a, 1}, {b, 2}, {b, 0}, {3, 0}, {3, b}, {3, a}};
}

TEST_F(RoundingTest, SecondStageExhaustiveUpToEightClasses) {
    PairSet conflicts = bothOrders(trickyEdges(false));
    Matrix zero(8, std::vector<double>(8, 0.0));
    Rounding r(zero, conflicts, {});
    std::vector<int> colours;
    r.Solve(colours, true, false);
    EXPECT_EQ(r.m_vAssign.size(), 8u);
    // Every edge is cut: 7 edges of weight 2 (both orders).
    EXPECT_DOUBLE_EQ(r.m_dBestCut, 14.0);
    EXPECT_EQ(conflictsKept(colours, conflicts), 0);
    EXPECT_EQ(r.m_lPartitions.size(), 3u);
}

TEST_F(RoundingTest, SecondStageMovesNodesBeyondEightClasses) {
    PairSet conflicts = bothOrders(trickyEdges(true));
    Matrix zero(9, std::vector<double>(9, 0.0));
    std::vector<int> first = solve(zero, conflicts, {}, false);
    EXPECT_EQ(first[3], first[8]);
    EXPECT_EQ(conflictsKept(first, conflicts), 1);

    Rounding r(zero, conflicts, {});
    std::vector<int> colours;
    r.Solve(colours, true, false);
    EXPECT_TRUE(r.m_vAssign.empty());  // no exhaustive search
    EXPECT_EQ(r.m_vTriParNodes.size(), 9u);
    EXPECT_EQ(conflictsKept(colours, conflicts), 0);
    ASSERT_EQ(r.m_lPartitions.size(), 3u);
    size_t total = 0;
    for (const auto& cls : r.m_lPartitions) total += cls.size();
    EXPECT_EQ(total, 9u);
}

TEST_F(RoundingTest, SecondStageAlwaysBuildsThreeGroups) {
    // No edges at all: every cut is 0, the first assignment (all in group 0)
    // stays; with 9 classes no move gains anything.
    for (int n : {1, 8, 9, 12}) {
        Matrix zero(n, std::vector<double>(n, 0.0));
        Rounding r(zero, {}, {});
        std::vector<int> colours;
        r.Solve(colours, true, false);
        ASSERT_EQ(r.m_lPartitions.size(), 3u) << n;
        ASSERT_EQ(colours.size(), size_t(n));
        for (int c : colours) EXPECT_TRUE(c >= 0 && c < 3) << n;
    }
}

TEST_F(RoundingTest, ConflictInsideAClassIsReported) {
    // 8 vertices: round 0 merges the conflicting pair 0-1 (X = 0.99).
    Matrix x = unitMatrix(8);
    sym(x, 0, 1, 0.99);
    Rounding r(x, bothOrders({{0, 1}}), {});
    std::vector<int> colours;
    testing::internal::CaptureStdout();
    r.Solve(colours, true, false);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "WARNING| source = 0  sink = 1\nWARNING| m_vResults[source][sink] = 0.99\n"
              "WARNING| source = 1  sink = 0\nWARNING| m_vResults[source][sink] = 0.99\n");
    EXPECT_EQ(colours[0], colours[1]);
}

}  // namespace
