#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "base/fatal.h"
#include "base/params.h"
#include "dgraph/dgraph.h"
#include "support/dg_fixture.h"

namespace {

using dgtest::bothOrders;
typedef std::set<std::pair<int, int> > PairSet;

class DGConstruction : public dgtest::LayoutTest {
  protected:
    // Feature A: two touching pieces a0 | a1; a0 is 20 x 20 and a1 is
    // w x h. B and C lie above and below A and each conflict with one piece.
    myShape *A, *B, *C;
    myBox *a0, *a1, *b0, *c0;

    void build(int w = 20, int h = 20) {
        A = feature(0, 0, 20 + w, 20);
        B = feature(0, 40, 40, 60);
        C = feature(0, -60, 40, -40);
        a0 = piece(A, 0, 0, 20, 20);
        a1 = piece(A, 20, 0, 20 + w, h);
        b0 = piece(B, 0, 40, 40, 60);
        c0 = piece(C, 0, -60, 40, -40);
        touch(a0, a1);
        conflict(a0, b0);
        conflict(a1, c0);
    }
    std::vector<mySuperShape*> generate(std::vector<myShape*> lg, int group = -1) {
        std::vector<mySuperShape*> dg;
        GenerateDGs(d, lg, dg, group);
        return dg;
    }
    static std::vector<myBox*> boxesOf(const std::vector<mySuperShape*>& dg, int v) {
        return std::vector<myBox*>(dg[v]->boxes.begin(), dg[v]->boxes.end());
    }
};

// By hand: a chain of three touching pieces with no conflicts is one vertex.
TEST_F(DGConstruction, ChainWithoutConflictsIsOneVertex) {
    myShape* s = feature(0, 0, 300, 20);
    myBox* p0 = piece(s, 0, 0, 100, 20);
    myBox* p1 = piece(s, 100, 0, 200, 20);
    myBox* p2 = piece(s, 200, 0, 300, 20);
    touch(p0, p1);
    touch(p1, p2);
    d.superShapeCounter = 7;
    auto dg = generate({s});
    ASSERT_EQ(dg.size(), 1u);
    EXPECT_EQ(boxesOf(dg, 0), (std::vector<myBox*>{p0, p1, p2}));
    EXPECT_EQ(dg[0]->globalID, 7);
    EXPECT_EQ(dg[0]->vertexIndex, 0);
    EXPECT_FALSE(dg[0]->isVDDGND);
    EXPECT_EQ(d.superShapeCounter, 8);
    EXPECT_EQ(p2->boxIndex, 2);
    EXPECT_EQ(p2->vertexIndex, 0);
}

// By hand: a0 sees only B and a1 only C, both 20 x 20: a stitch may lie
// between them, so they are two vertices in stitch relation.
TEST_F(DGConstruction, DifferentConflictsKeepTouchingPiecesApart) {
    build();
    auto dg = generate({A, B, C});
    ASSERT_EQ(dg.size(), 4u);
    EXPECT_EQ(boxesOf(dg, 0), (std::vector<myBox*>{a0}));
    EXPECT_EQ(boxesOf(dg, 1), (std::vector<myBox*>{a1}));
    EXPECT_EQ(boxesOf(dg, 2), (std::vector<myBox*>{b0}));
    EXPECT_EQ(boxesOf(dg, 3), (std::vector<myBox*>{c0}));
    EXPECT_EQ(c0->boxIndex, 3);
    initConflictSet(d, dg);
    initStitchSet(d, dg);
    EXPECT_EQ(d.conflictSet, bothOrders({{0, 2}, {1, 3}}));
    EXPECT_EQ(d.stitchSet, bothOrders({{0, 1}}));
}

TEST_F(DGConstruction, SharedConflictPieceMergesTouchingPieces) {
    build();
    conflict(a1, b0);  // both pieces of A now see b0
    auto dg = generate({A, B, C});
    ASSERT_EQ(dg.size(), 3u);
    EXPECT_EQ(boxesOf(dg, 0), (std::vector<myBox*>{a0, a1}));
    initConflictSet(d, dg);
    initStitchSet(d, dg);
    EXPECT_EQ(d.conflictSet, bothOrders({{0, 1}, {0, 2}}));
    EXPECT_TRUE(d.stitchSet.empty());
}

// The minimum side is MINDPLDIST / (2 NUM_COLORS): 20 by default. Each
// case builds a fresh layout.
TEST_F(DGConstruction, NarrowOrLowPieceMergesWhateverItsConflicts) {
    build(19, 20);
    EXPECT_EQ(generate({A, B, C}).size(), 3u);
    build(20, 19);
    EXPECT_EQ(generate({A, B, C}).size(), 3u);
    MINDPLDIST = 60;  // minimum side 10
    build(19, 20);
    EXPECT_EQ(generate({A, B, C}).size(), 4u);
}

TEST_F(DGConstruction, NoStitchesAllowedMergesEveryTouchingGroup) {
    d.allowStitch = false;
    build();
    myBox* a2 = piece(A, 100, 0, 120, 20);  // touches neither a0 nor a1
    auto dg = generate({A, B, C});
    ASSERT_EQ(dg.size(), 4u);
    EXPECT_EQ(boxesOf(dg, 0), (std::vector<myBox*>{a0, a1}));
    EXPECT_EQ(boxesOf(dg, 1), (std::vector<myBox*>{a2}));
    initStitchSet(d, dg);
    EXPECT_TRUE(d.stitchSet.empty());
}

// Pieces of a rail merge whatever their conflicts; the vertex flag
// follows the feature flag.
TEST_F(DGConstruction, RailPiecesAlwaysMerge) {
    build();
    EXPECT_EQ(generate({A, B, C}).size(), 4u);
    A->isVDDGND = true;
    auto dg = generate({A, B, C});
    ASSERT_EQ(dg.size(), 3u);
    EXPECT_TRUE(dg[0]->isVDDGND);
    EXPECT_FALSE(dg[1]->isVDDGND);
}

TEST_F(DGConstruction, CollectsOnlyFeaturesOfTheGroupStillNeedingColours) {
    build();
    A->subCompID = 1;
    B->subCompID = 0;
    C->subCompID = 1;
    auto dg = generate({A, B, C}, 1);
    ASSERT_EQ(dg.size(), 3u);
    EXPECT_EQ(boxesOf(dg, 2), (std::vector<myBox*>{c0}));
    EXPECT_EQ(c0->boxIndex, 2);
    C->needDG = false;
    EXPECT_EQ(generate({A, B, C}, 1).size(), 2u);
    // A feature without pieces, or none at all, gives an empty graph.
    EXPECT_TRUE(generate({B}, 1).empty());
    EXPECT_TRUE(generate({}).empty());
}

// By hand: the first layout graph is one group; the second splits into
// {F0, F2}, {F1}, {F3} (F4 links F1 and F3 but no longer needs colouring).
TEST_F(DGConstruction, OneGraphPerGroupInGroupOrder) {
    myShape* P = feature(0, 0, 10, 10);
    myBox* p = piece(P, 0, 0, 10, 10);
    std::vector<myShape*> F;
    std::vector<myBox*> f;
    for (int i = 0; i < 5; ++i) {
        F.push_back(feature(100 * i, 0, 100 * i + 10, 10));
        f.push_back(piece(F[i], 100 * i, 0, 100 * i + 10, 10));
    }
    conflict(f[0], f[2]);
    conflict(f[4], f[1]);
    conflict(f[4], f[3]);
    F[4]->needDG = false;
    d.lgs = {{P}, F};
    GenerateDGs(d);
    ASSERT_EQ(d.dgs.size(), 4u);
    EXPECT_EQ(boxesOf(d.dgs[0], 0), (std::vector<myBox*>{p}));
    ASSERT_EQ(d.dgs[1].size(), 2u);
    EXPECT_EQ(boxesOf(d.dgs[1], 1), (std::vector<myBox*>{f[2]}));
    EXPECT_EQ(boxesOf(d.dgs[2], 0), (std::vector<myBox*>{f[1]}));
    EXPECT_EQ(boxesOf(d.dgs[3], 0), (std::vector<myBox*>{f[3]}));
    EXPECT_EQ(d.dgs[3][0]->globalID, 4);
    EXPECT_EQ(p->dgIndex, 0);
    EXPECT_EQ(f[2]->dgIndex, 1);
    EXPECT_EQ(f[2]->boxIndex, 1);
    EXPECT_EQ(f[3]->dgIndex, 3);
    EXPECT_EQ(f[4]->dgIndex, -1);
}

// By hand: v0 is a rail piece without conflicts of its own, v1 a piece next
// to a rail outside the graph, v2 a piece conflicting with v1, v3 a rail
// piece next to another rail. Rail pieces act as one, so a pair found only
// through the rail rule enters in one order.
TEST_F(DGConstruction, RailRuleOfConflictPairs) {
    myShape* R = feature(0, 0, 1000, 10);
    myShape* R2 = feature(0, 990, 1000, 1000);
    myShape* X = feature(0, 100, 10, 110);
    myShape* Y = feature(0, 130, 10, 140);
    R->isVDDGND = R2->isVDDGND = true;
    myBox* r = piece(R, 0, 0, 500, 10);
    myBox* q = piece(R, 500, 0, 1000, 10);
    myBox* z = piece(R2, 0, 990, 1000, 1000);
    myBox* x = piece(X, 0, 100, 10, 110);
    myBox* y = piece(Y, 0, 130, 10, 140);
    conflict(x, z);
    conflict(x, y);
    q->conflictNeighbors.insert(z);
    std::vector<mySuperShape*> dg;
    for (myBox* b : {r, x, y, q}) {
        dg.push_back(d.superShapePool.make());
        dg.back()->boxes.push_back(b);
    }
    initConflictSet(d, dg);
    EXPECT_EQ(d.conflictSet, (PairSet{{1, 0}, {1, 2}, {1, 3}, {2, 1}, {3, 0}}));
}

// The pair sets as literally defined: every piece of every vertex against
// every piece of every other vertex.
void referenceSets(const std::vector<mySuperShape*>& dg, PairSet& conflicts, PairSet& stitches) {
    auto rail = [](const myBox* b) { return b->shape->isVDDGND; };
    for (size_t j = 0; j < dg.size(); ++j)
        for (size_t i = 0; i < dg.size(); ++i) {
            if (i == j) continue;
            for (myBox* bk : dg[j]->boxes)
                for (myBox* bl : dg[i]->boxes) {
                    if (bk->stitchNeighbors.count(bl)) stitches.insert({int(j), int(i)});
                    if (bk->conflictNeighbors.empty()) continue;
                    bool nearRail = false;
                    for (myBox* n : bk->conflictNeighbors) nearRail = nearRail || rail(n);
                    if (bk->conflictNeighbors.count(bl) || (rail(bl) && nearRail))
                        conflicts.insert({int(j), int(i)});
                }
        }
}

TEST_F(DGConstruction, PairSetsMatchPieceByPieceComparison) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 50; ++round) {
        std::vector<myShape*> fs;
        std::vector<myBox*> ps;
        for (int f = 0; f < 6; ++f) {
            fs.push_back(feature(0, 0, 10, 10));
            fs.back()->isVDDGND = rng() % 4 == 0;
            for (int k = 0; k < 4; ++k) ps.push_back(piece(fs.back(), 0, 0, 10, 10));
        }
        for (int e = 0; e < 30; ++e) {
            myBox* a = ps[rng() % ps.size()];
            myBox* b = ps[rng() % ps.size()];
            if (a->shape == b->shape) {
                touch(a, b);
            } else if (rng() % 3 == 0) {
                a->conflictNeighbors.insert(b);  // one-sided links happen too
            } else {
                conflict(a, b);
            }
        }
        // Random vertices over a random subset of pieces, some pieces twice.
        std::vector<mySuperShape*> dg(1 + rng() % 8);
        for (auto& v : dg) v = d.superShapePool.make();
        for (myBox* p : ps)
            for (int copy = rng() % 3 == 0 ? 2 : 1; copy > 0; --copy)
                if (rng() % 4 != 0) dg[rng() % dg.size()]->boxes.push_back(p);
        PairSet conflicts, stitches;
        referenceSets(dg, conflicts, stitches);
        initConflictSet(d, dg);
        initStitchSet(d, dg);
        ASSERT_EQ(d.conflictSet, conflicts) << "round " << round;
        ASSERT_EQ(d.stitchSet, stitches) << "round " << round;
    }
}

// The graph form of a decomposition graph: a conflict with a rail piece of
// another graph lands on the first rail vertex (a self-edge for that vertex
// itself); other conflicts outside the graph are dropped.
TEST_F(DGConstruction, GraphRedirectsOutsideRailConflicts) {
    auto dg = graph(3, {{0, 1}}, {{1, 2}});
    auto other = graph(2, {});
    myBox* outsideRail = other[1]->boxes[0];
    outsideRail->shape = feature(0, 0, 1000, 10);
    outsideRail->shape->isVDDGND = true;
    dg[2]->isVDDGND = true;
    conflict(dg[0]->boxes[0], outsideRail);
    conflict(dg[2]->boxes[0], outsideRail);
    conflict(dg[1]->boxes[0], other[0]->boxes[0]);
    myGraph g(dg);
    ASSERT_EQ(g.size(), 3);
    EXPECT_EQ(g.m_nodes[0].conflictNeighbors, (myNode::Set{1, 2}));
    EXPECT_EQ(g.m_nodes[1].conflictNeighbors, (myNode::Set{0}));
    EXPECT_EQ(g.m_nodes[2].conflictNeighbors, (myNode::Set{0, 2}));
    EXPECT_EQ(g.m_nodes[1].stitchNeighbors, (myNode::Set{2}));

    // Without a rail vertex the redirected edge fails with its message.
    dg[2]->isVDDGND = false;
    myGraph h(dg);
    EXPECT_EQ(h.TakeErrors(),
              (std::vector<std::string>{"Error in AddConflictEdge(0, -1), m_nodes.size() = 3\n",
                                        "Error in AddConflictEdge(2, -1), m_nodes.size() = 3\n"}));
    EXPECT_EQ(h.m_nodes[0].conflictNeighbors, (myNode::Set{1}));
}

// A stitch to a piece whose vertex is outside the graph is an internal
// failure: the refused edge and both boxes are printed and the run ends.
TEST_F(DGConstruction, GraphStopsOnImpossibleStitchEdge) {
    auto dg = graph(2, {}, {{0, 1}});
    dg[1]->boxes[0]->vertexIndex = 5;
    dg[1]->boxes[0]->boxIndex = 9;
    try {
        myGraph g(dg);
        ADD_FAILURE() << "no failure";
    } catch (const chromasect::FatalError& e) {
        EXPECT_EQ(e.status(), chromasect::kExitInternal);
        EXPECT_EQ(e.message(),
                  "Error in AddStitchEdge(0, 5), m_nodes.size() = 2\n"
                  "pmybox  = -1|0  (0,0)  (10,10)\npadjbox = 9|5  (0,0)  (10,10)");
    }
}

}  // namespace
