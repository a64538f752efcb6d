#include "graph/graph.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <list>
#include <set>
#include <stack>
#include <string>
#include <utility>
#include <vector>

#include "base/params.h"
#include "geometry/records.h"
#include "support/test_support.h"

namespace {

typedef std::vector<std::pair<int, int> > Edges;

std::vector<int> stackBottomToTop(std::stack<int> s) {
    std::vector<int> out;
    while (!s.empty()) {
        out.insert(out.begin(), s.top());
        s.pop();
    }
    return out;
}

std::vector<int> listed(const std::list<int>& l) {
    return std::vector<int>(l.begin(), l.end());
}

myGraph conflictGraph(int n, const Edges& edges) {
    myGraph g(n);
    for (const auto& e : edges) g.AddConflictEdge(e.first, e.second);
    return g;
}

Edges complete(int n) {
    Edges e;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) e.emplace_back(i, j);
    return e;
}

struct Removal {
    std::vector<int> order;  // stack, bottom to top
    std::vector<int> list;
    std::set<int> remaining;
};

Removal removeGeneric(myGraph g, int threshold) {
    Removal r;
    std::stack<int> st;
    std::list<int> l;
    g.IterativeVertexRemoval(r.remaining, st, l, threshold);
    r.order = stackBottomToTop(st);
    r.list = listed(l);
    return r;
}

Removal removeDG(myGraph g) {
    Removal r;
    std::stack<int> st;
    std::list<int> l;
    g.IterativeVertexRemovalDG(r.remaining, st, l);
    r.order = stackBottomToTop(st);
    r.list = listed(l);
    return r;
}

// The removal rule written as plainly as it is stated: full ascending
// sweeps, repeated while a sweep removed a vertex by the rule.
template <class Rule>
Removal referenceRemoval(myGraph g, Rule rule) {
    Removal r;
    std::stack<int> st;
    std::list<int> l;
    bool again = true;
    while (again) {
        again = false;
        for (int v = 0; v < g.size(); ++v)
            if (g.m_nodes[v].visible && rule(g.m_nodes[v])) {
                g.HideNode(v, st, l);
                again = true;
            }
    }
    for (int v = 0; v < g.size(); ++v)
        if (g.m_nodes[v].visible) r.remaining.insert(v);
    r.order = stackBottomToTop(st);
    r.list = listed(l);
    return r;
}

class GraphTest : public testsupport::GlobalsTest {};

TEST_F(GraphTest, EdgeAddersCountOnceAndReportBadEnds) {
    myGraph g(5);
    EXPECT_TRUE(g.AddConflictEdge(0, 1));
    EXPECT_TRUE(g.AddConflictEdge(1, 0));
    EXPECT_EQ(g.m_nodes[0].conflictDegree, 1);
    EXPECT_EQ(g.m_nodes[1].conflictDegree, 1);
    EXPECT_EQ(g.m_nodes[1].stitchDegree, 0);

    EXPECT_TRUE(g.AddConflictEdge(3, 3));
    EXPECT_EQ(g.m_nodes[3].conflictNeighbors, (myNode::Set{3}));
    EXPECT_EQ(g.m_nodes[3].conflictDegree, 1);

    EXPECT_TRUE(g.AddStitchEdge(0, 1));  // both kinds may join one pair
    EXPECT_EQ(g.m_nodes[0].stitchDegree, 1);
    EXPECT_EQ(g.m_nodes[0].conflictDegree, 1);

    EXPECT_FALSE(g.AddConflictEdge(2, 5));
    EXPECT_FALSE(g.AddStitchEdge(-1, 4));
    EXPECT_FALSE(g.AddConflictEdge(4, -1));
    EXPECT_EQ(g.TakeErrors(),
              (std::vector<std::string>{"Error in AddConflictEdge(2, 5), m_nodes.size() = 5\n",
                                        "Error in AddStitchEdge(-1, 4), m_nodes.size() = 5\n",
                                        "Error in AddConflictEdge(4, -1), m_nodes.size() = 5\n"}));
    EXPECT_TRUE(g.TakeErrors().empty());
    EXPECT_TRUE(g.m_nodes[2].conflictNeighbors.empty());
    EXPECT_EQ(g.m_nodes[2].conflictDegree, 0);
    EXPECT_TRUE(g.m_nodes[4].stitchNeighbors.empty());
}

TEST_F(GraphTest, HideNodeCascadesOneLevelConflictsFirst) {
    // 0 has conflict neighbours 3, 5 and 2 and stitch neighbour 1; only 2
    // has another neighbour (4), which in turn has 6.
    myGraph g(7);
    g.AddConflictEdge(0, 5);
    g.AddConflictEdge(0, 3);
    g.AddConflictEdge(0, 2);
    g.AddStitchEdge(0, 1);
    g.AddConflictEdge(2, 4);
    g.AddConflictEdge(4, 6);
    std::stack<int> st;
    std::list<int> l;
    EXPECT_TRUE(g.HideNode(0, st, l));
    // Stitch neighbour 1 comes after the conflict neighbours although its
    // number is lower.
    EXPECT_EQ(stackBottomToTop(st), std::vector<int>({0, 3, 5, 1}));
    EXPECT_EQ(listed(l), std::vector<int>({0, 3, 5, 1}));
    EXPECT_TRUE(g.m_nodes[2].visible);
    EXPECT_EQ(g.m_nodes[2].conflictDegree, 1);
    EXPECT_EQ(g.m_nodes[4].conflictDegree, 2);
    // The removed vertex keeps its own sets and degrees.
    EXPECT_EQ(g.m_nodes[0].conflictDegree, 3);
    EXPECT_EQ(g.m_nodes[0].stitchNeighbors, (myNode::Set{1}));

    // Removing 4 leaves 2 and 6 alone: both go with it.
    EXPECT_TRUE(g.HideNode(4, st, l));
    EXPECT_EQ(listed(l), std::vector<int>({0, 3, 5, 1, 4, 2, 6}));

    EXPECT_TRUE(g.HideNode(0, st, l));  // already removed: nothing changes
    EXPECT_FALSE(g.HideNode(7, st, l));
    EXPECT_FALSE(g.HideNode(-1, st, l));
    EXPECT_EQ(st.size(), 7u);
}

TEST_F(GraphTest, RemovalOrderOnSmallGraphs) {
    // Worked by hand with NUM_COLORS 3 (generic threshold 2).
    // Triangle: 0 goes (1, 2 keep degree 1), then 1, whose removal leaves 2
    // alone. Both rules agree.
    const myGraph triangle = conflictGraph(3, complete(3));
    for (const Removal& r : {removeGeneric(triangle, 2), removeDG(triangle)}) {
        EXPECT_EQ(r.order, std::vector<int>({0, 1, 2}));
        EXPECT_EQ(r.list, r.order);
        EXPECT_TRUE(r.remaining.empty());
    }

    // K4: degree 3 stays under the generic rule, goes under the DG rule.
    const myGraph k4 = conflictGraph(4, complete(4));
    EXPECT_TRUE(removeGeneric(k4, 2).order.empty());
    EXPECT_EQ(removeGeneric(k4, 2).remaining, std::set<int>({0, 1, 2, 3}));
    EXPECT_EQ(removeDG(k4).order, std::vector<int>({0, 1, 2, 3}));
    EXPECT_TRUE(removeDG(k4).remaining.empty());

    // K5: degree 4 stays under both.
    const myGraph k5 = conflictGraph(5, complete(5));
    EXPECT_EQ(removeGeneric(k5, 2).remaining, std::set<int>({0, 1, 2, 3, 4}));
    EXPECT_EQ(removeDG(k5).remaining, std::set<int>({0, 1, 2, 3, 4}));
    EXPECT_TRUE(removeDG(k5).order.empty());

    // A cycle of four stitch edges: total degree 2, but two visible stitch
    // neighbours keep every vertex under the DG rule.
    myGraph cycle(4);
    for (int i = 0; i < 4; ++i) cycle.AddStitchEdge(i, (i + 1) % 4);
    EXPECT_EQ(removeDG(cycle).remaining, std::set<int>({0, 1, 2, 3}));
    EXPECT_EQ(removeGeneric(cycle, 2).order, std::vector<int>({0, 1, 2, 3}));

    EXPECT_TRUE(removeGeneric(myGraph(0), 2).remaining.empty());
}

TEST_F(GraphTest, LaterSweepsAndCascadesInterleave) {
    // 0: 1 2 3; 1: 0 2 3; 2: 0 1 4; 3: 0 1; 4: 2. Threshold 2.
    // Sweep 1 removes 3 (0 and 1 fall to 2) and 4 (2 falls to 2), too late
    // for 0, 1, 2. Sweep 2 removes 0, then 1, which leaves 2 alone.
    const myGraph g = conflictGraph(5, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 4}});
    Removal r = removeGeneric(g, 2);
    EXPECT_EQ(r.order, std::vector<int>({3, 4, 0, 1, 2}));
    EXPECT_TRUE(r.remaining.empty());
    // DG rule: 0 goes at degree 3; 1 then leaves 3 alone; 2 leaves 4 alone.
    EXPECT_EQ(removeDG(g).order, std::vector<int>({0, 1, 3, 2, 4}));
}

TEST_F(GraphTest, RemovalMatchesPlainSweepsOnRandomGraphs) {
    std::srand(7);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + std::rand() % 40;
        const int m = std::rand() % (3 * n + 1);
        myGraph g(n);
        for (int e = 0; e < m; ++e) {
            const int u = std::rand() % n, v = std::rand() % n;
            if (std::rand() % 4 == 0)
                g.AddStitchEdge(u, v);
            else
                g.AddConflictEdge(u, v);
        }
        for (int threshold = 1; threshold <= 3; ++threshold) {
            Removal got = removeGeneric(g, threshold);
            Removal want = referenceRemoval(g, [threshold](const myNode& x) {
                return x.conflictDegree + x.stitchDegree <= threshold;
            });
            ASSERT_EQ(got.order, want.order) << "round " << round;
            ASSERT_EQ(got.remaining, want.remaining);
        }
        Removal got = removeDG(g);
        Removal want = referenceRemoval(g, [](const myNode& x) {
            return x.conflictDegree + x.stitchDegree <= NUM_COLORS && x.stitchDegree <= 1;
        });
        ASSERT_EQ(got.order, want.order) << "round " << round;
        ASSERT_EQ(got.list, want.list);
        ASSERT_EQ(got.remaining, want.remaining);
    }
}

TEST_F(GraphTest, DFSEdgesOrder) {
    myGraph pairs(4);
    pairs.AddConflictEdge(0, 1);
    pairs.AddConflictEdge(2, 3);
    Edges e = {{9, 9}};  // appended to, not cleared
    pairs.DFSEdges(e);
    EXPECT_EQ(e, Edges({{9, 9}, {0, 1}, {2, 3}}));

    // Conflict neighbours are explored before stitch neighbours; a vertex
    // reached deep in the walk is not reached again from its first parent.
    myGraph g(6);
    g.AddStitchEdge(0, 1);
    g.AddConflictEdge(0, 2);
    g.AddConflictEdge(2, 3);
    g.AddStitchEdge(3, 1);
    g.AddConflictEdge(4, 5);
    std::stack<int> st;
    std::list<int> l;
    g.HideNode(4, st, l);  // removed vertices still take part
    Edges f;
    g.DFSEdges(f);
    EXPECT_EQ(f, Edges({{0, 2}, {2, 3}, {3, 1}, {4, 5}}));

    // A long path is walked without recursion.
    const int n = 200000;
    myGraph path(n);
    for (int i = n - 1; i > 0; --i) path.AddConflictEdge(i, i - 1);
    Edges p;
    path.DFSEdges(p);
    ASSERT_EQ(p.size(), size_t(n - 1));
    EXPECT_EQ(p.back(), std::make_pair(n - 2, n - 1));
}

TEST_F(GraphTest, LayoutGraphFormSendsRailEdgesToTheFirstRail) {
    // Features a b R1 c R2 (list order); a and b conflict, a and c touch
    // R2, b touches R1, R1 touches R2. c was set aside: no vertex.
    std::deque<myShape> pool;
    std::vector<myShape*> lg;
    for (int i = 0; i < 5; ++i) {
        pool.emplace_back(0, 0, 10, 10);
        myShape* s = &pool.back();
        s->id = i;
        s->compIndex = i;
        lg.push_back(s);
    }
    myShape *a = lg[0], *b = lg[1], *r1 = lg[2], *c = lg[3], *r2 = lg[4];
    r1->isVDDGND = r2->isVDDGND = true;
    c->needDG = false;
    auto link = [](myShape* x, myShape* y) {
        x->neighbors.insert(y);
        y->neighbors.insert(x);
    };
    link(a, b);
    link(a, r2);
    link(c, r2);
    link(b, r1);
    link(r1, r2);
    myGraph g(lg);
    // Vertices: a 0, b 1, R1 2, R2 3.
    ASSERT_EQ(g.size(), 4);
    // a's edge to R2 lands on R1; R2 gets edges only from its own
    // neighbours (a directly; c has no vertex; R1 is a rail, so R1).
    EXPECT_EQ(g.m_nodes[0].conflictNeighbors, (myNode::Set{1, 2, 3}));
    EXPECT_EQ(g.m_nodes[1].conflictNeighbors, (myNode::Set{0, 2}));
    // R1's own rail neighbour R2 becomes a self-edge.
    EXPECT_EQ(g.m_nodes[2].conflictNeighbors, (myNode::Set{0, 1, 2, 3}));
    EXPECT_EQ(g.m_nodes[3].conflictNeighbors, (myNode::Set{0, 2}));

    // Without a rail of its own the list cannot place rail edges.
    std::vector<myShape*> noRail = {a, b};
    myGraph h(noRail);
    EXPECT_EQ(h.TakeErrors(),
              (std::vector<std::string>{"Error in AddConflictEdge(0, -1), m_nodes.size() = 2\n",
                                        "Error in AddConflictEdge(1, -1), m_nodes.size() = 2\n"}));
    EXPECT_EQ(h.m_nodes[0].conflictNeighbors, (myNode::Set{1}));
}

}  // namespace
