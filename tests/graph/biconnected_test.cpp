#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "graph/graph.h"

namespace {

typedef std::vector<std::set<int> > Components;

Components components(int n, const std::vector<std::pair<int, int> >& conflicts,
                      const std::vector<std::pair<int, int> >& stitches = {}) {
    myGraph g(n);
    for (auto e : conflicts) g.AddConflictEdge(e.first, e.second);
    for (auto e : stitches) g.AddStitchEdge(e.first, e.second);
    g.BiConnectCompute();
    EXPECT_TRUE(g.m_edgeStack.empty());
    return g.m_components;
}

// Component order is the post-order in which the articulation test succeeds.
TEST(BiConnect, SmallGraphsInDiscoveryPostOrder) {
    EXPECT_EQ(components(3, {{0, 1}, {1, 2}}), (Components{{1, 2}, {0, 1}}));
    EXPECT_EQ(components(3, {{0, 1}, {1, 2}, {2, 0}}), (Components{{0, 1, 2}}));
    EXPECT_EQ(components(5, {{0, 1}, {1, 2}, {2, 0}, {2, 3}, {3, 4}, {4, 2}}),
              (Components{{2, 3, 4}, {0, 1, 2}}));
    // Worked by hand: triangles {0,1,2} and {3,4,5} joined by the bridge 1-3.
    // Stitch edges count like conflict edges; an edge of both kinds counts once.
    EXPECT_EQ(components(6, {{0, 1}, {2, 0}, {1, 3}, {4, 5}}, {{1, 2}, {3, 4}, {5, 3}, {0, 1}}),
              (Components{{3, 4, 5}, {1, 3}, {0, 1, 2}}));
}

TEST(BiConnect, VerticesWithoutEdgesBelongToNoComponent) {
    EXPECT_TRUE(components(1, {}).empty());
    EXPECT_TRUE(components(0, {}).empty());
    // A self-edge is no edge for the search.
    EXPECT_TRUE(components(1, {{0, 0}}).empty());
    EXPECT_EQ(components(3, {{0, 0}, {1, 2}}, {{2, 2}}), (Components{{1, 2}}));
}

// Deep enough to overflow a recursive search on a default stack.
TEST(BiConnect, LongPathDoesNotOverflow) {
    const int n = 200000;
    myGraph g(n);
    for (int v = 0; v + 1 < n; ++v) g.AddStitchEdge(v, v + 1);
    g.BiConnectCompute();
    ASSERT_EQ(g.m_components.size(), static_cast<size_t>(n - 1));
    EXPECT_EQ(g.m_components.front(), (std::set<int>{n - 2, n - 1}));
    EXPECT_EQ(g.m_components.back(), (std::set<int>{0, 1}));
    EXPECT_TRUE(g.m_edgeStack.empty());
}

}  // namespace
