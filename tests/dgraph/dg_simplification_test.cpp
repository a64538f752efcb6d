#include <gtest/gtest.h>

#include <list>

#include "dgraph/dgraph.h"
#include "support/dg_fixture.h"

namespace {

class DGSimplification : public dgtest::LayoutTest {
  protected:
    // globalIDs of a piece's vertices, which name their sources.
    std::vector<int> ids(int piece) {
        std::vector<int> out;
        for (mySuperShape* v : d.dgs[piece]) out.push_back(v->globalID);
        return out;
    }
};

TEST_F(DGSimplification, CycleIsOnePieceOfCopies) {
    auto dg = graph(4, {{0, 1}, {1, 2}, {2, 3}}, {{3, 0}});
    GenSimplifiedDG(d);
    ASSERT_EQ(d.dgs.size(), 1u);
    ASSERT_EQ(d.dgs[0].size(), 4u);
    // No cut vertex: each vertex goes to its one component itself.
    for (int v = 0; v < 4; ++v) {
        mySuperShape* copy = d.dgs[0][v];
        EXPECT_EQ(copy, dg[v]);
        EXPECT_EQ(copy->globalID, dg[v]->globalID);
        EXPECT_EQ(copy->vertexIndex, v);
        EXPECT_EQ(copy->boxes, dg[v]->boxes);
        EXPECT_EQ(dg[v]->subDGs, chromasect::SmallList<int>{0});
        EXPECT_EQ(copy->subDGs, chromasect::SmallList<int>{0});
    }
    ASSERT_EQ(d.tmpDGs.size(), 1u);
    EXPECT_EQ(d.tmpDGs[0], dg);
}

// By hand: the path 0-1-2 splits at 1 into {1,2} (found first) and {0,1};
// each copy of 1 carries the list as it stood when it was made.
TEST_F(DGSimplification, PathSplitsAtItsMiddleVertex) {
    auto dg = graph(3, {{0, 1}}, {{1, 2}});
    GenSimplifiedDG(d);
    ASSERT_EQ(d.dgs.size(), 2u);
    EXPECT_EQ(ids(0), (std::vector<int>{dg[1]->globalID, dg[2]->globalID}));
    EXPECT_EQ(ids(1), (std::vector<int>{dg[0]->globalID, dg[1]->globalID}));
    EXPECT_EQ(dg[1]->subDGs, (chromasect::SmallList<int>{0, 1}));
    EXPECT_EQ(d.dgs[0][0]->subDGs, (chromasect::SmallList<int>{0}));
    EXPECT_EQ(d.dgs[1][1]->subDGs, (chromasect::SmallList<int>{0, 1}));
    EXPECT_EQ(d.dgs[0][1]->subDGs, (chromasect::SmallList<int>{0}));
    EXPECT_EQ(d.dgs[1][0]->subDGs, (chromasect::SmallList<int>{1}));
    EXPECT_EQ(d.dgs[0][0]->boxes, d.dgs[1][1]->boxes);
    EXPECT_NE(d.dgs[0][0], d.dgs[1][1]);  // the cut vertex is copied
    EXPECT_EQ(d.dgs[0][1], dg[2]);
}

TEST_F(DGSimplification, PiecesFollowGraphOrderThenDiscovery) {
    auto triangle = graph(3, {{0, 1}, {1, 2}, {2, 0}});
    auto path = graph(3, {{0, 1}, {1, 2}});
    GenSimplifiedDG(d);
    ASSERT_EQ(d.dgs.size(), 3u);
    EXPECT_EQ(ids(0), (std::vector<int>{triangle[0]->globalID, triangle[1]->globalID,
                                        triangle[2]->globalID}));
    EXPECT_EQ(ids(1), (std::vector<int>{path[1]->globalID, path[2]->globalID}));
    EXPECT_EQ(ids(2), (std::vector<int>{path[0]->globalID, path[1]->globalID}));
    EXPECT_EQ(path[1]->subDGs, (chromasect::SmallList<int>{1, 2}));
    EXPECT_EQ(triangle[2]->subDGs, (chromasect::SmallList<int>{0}));
}

// A graph without edges yields no piece; its vertex gets no copy.
TEST_F(DGSimplification, GraphsWithoutEdgesDisappear) {
    auto single = graph(1, {});
    graph(0, {});
    auto pair = graph(2, {{0, 1}});
    GenSimplifiedDG(d);
    ASSERT_EQ(d.dgs.size(), 1u);
    EXPECT_EQ(ids(0), (std::vector<int>{pair[0]->globalID, pair[1]->globalID}));
    EXPECT_TRUE(single[0]->subDGs.empty());
    EXPECT_EQ(pair[1]->subDGs, chromasect::SmallList<int>{0});
    EXPECT_EQ(d.tmpDGs.size(), 3u);
}

}  // namespace
