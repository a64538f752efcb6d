#include "geometry/rtree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "geometry/wire_rtree.h"

namespace {

// Owns the features a test indexes.
struct Features {
    std::vector<std::unique_ptr<myShape>> all;
    myShape* add(int l, int b, int r, int t) {
        all.push_back(std::make_unique<myShape>(l, b, r, t));
        all.back()->id = static_cast<int>(all.size()) - 1;
        return all.back().get();
    }
};

std::vector<int> ids(const std::vector<myShape*>& v) {
    std::vector<int> out;
    for (const myShape* s : v) out.push_back(s->id);
    return out;
}

std::vector<int> search(WireRTree& t, int l, int b, int r, int top) {
    oaBox q(l, b, r, top);
    return ids(*t.searchoaBox(&q));
}

std::vector<int> leafIds(const ShapeRTree::Node* n) {
    std::vector<int> out;
    for (int i = 0; i < n->count; ++i) out.push_back(n->branch[i].data->id);
    return out;
}

// Exposes the branch choice and the split for direct tests.
struct OpenTree : ShapeRTree {
    using ShapeRTree::PartitionVars;
    using ShapeRTree::PickBranch;
    using ShapeRTree::PickSeeds;
    using ShapeRTree::SplitNode;
};

ShapeRTree::Rect rect(int l, int b, int r, int t) {
    ShapeRTree::Rect x;
    x.min[0] = l;
    x.min[1] = b;
    x.max[0] = r;
    x.max[1] = t;
    return x;
}

TEST(RTree, EmptyTreeAndVolumeConstant) {
    WireRTree t;
    EXPECT_TRUE(search(t, -1000, -1000, 1000, 1000).empty());
    EXPECT_EQ(t.root()->count, 0);
    EXPECT_EQ(t.root()->level, 0);
    // A 2 x 0 rectangle has radius 1: its volume is exactly the constant.
    EXPECT_EQ(t.RectSphericalVolume(rect(0, 0, 2, 0)), 3.141593f);
    EXPECT_NE(3.141593f, static_cast<float>(3.14159265358979));
}

// Nine 10 x 10 squares in a row at x = 0, 20, ..., 160, worked by hand.
// Seeds are the two ends (largest waste). Each round picks the square that
// prefers one group most: 1 (ties with 7, earlier wins), then 7, 2 (exact
// tie with 6), 6, 3 (tie with 5), 5; square 4 then grows both groups by the
// same volume (diff 0), which prefers group 0. So the old node keeps 0..4
// and the new node takes 5..8.
TEST(RTree, NinthInsertSplitsRowIntoFivePlusFour) {
    Features f;
    WireRTree t;
    for (int i = 0; i < 8; ++i) t.insert(f.add(20 * i, 0, 20 * i + 10, 10));
    EXPECT_EQ(t.root()->level, 0);
    EXPECT_EQ(t.root()->count, 8);
    t.insert(f.add(160, 0, 170, 10));
    const ShapeRTree::Node* root = t.root();
    ASSERT_EQ(root->level, 1);
    ASSERT_EQ(root->count, 2);
    EXPECT_EQ(leafIds(root->branch[0].child), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(leafIds(root->branch[1].child), (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(root->branch[0].child->level, 0);
    // Root branches hold the covers of their children.
    EXPECT_EQ(root->branch[0].rect.min[0], 0);
    EXPECT_EQ(root->branch[0].rect.max[0], 90);
    EXPECT_EQ(root->branch[1].rect.min[0], 100);
    EXPECT_EQ(root->branch[1].rect.max[0], 170);
}

// Two clusters inserted interleaved: A0 B0 A1 B1 A2 B2 A3 B3 B4. The seeds
// are A0 (lowest left) and B4 (farthest), so group 0 (the old node) gets
// the four A squares and the new node the five B squares, each in
// collection order. A search over everything reports A's before B's, not
// insertion order.
TEST(RTree, NinthInsertSplitsClustersIntoFourPlusFive) {
    Features f;
    WireRTree t;
    const int a[4][2] = {{0, 0}, {20, 0}, {0, 20}, {20, 20}};
    const int b[5][2] = {{1000, 1000}, {1020, 1000}, {1000, 1020}, {1020, 1020}, {1040, 1040}};
    for (int i = 0; i < 4; ++i) {
        t.insert(f.add(a[i][0], a[i][1], a[i][0] + 10, a[i][1] + 10));  // ids 0 2 4 6
        t.insert(f.add(b[i][0], b[i][1], b[i][0] + 10, b[i][1] + 10));  // ids 1 3 5 7
    }
    t.insert(f.add(b[4][0], b[4][1], b[4][0] + 10, b[4][1] + 10));  // id 8
    const ShapeRTree::Node* root = t.root();
    ASSERT_EQ(root->level, 1);
    ASSERT_EQ(root->count, 2);
    EXPECT_EQ(leafIds(root->branch[0].child), (std::vector<int>{0, 2, 4, 6}));
    EXPECT_EQ(leafIds(root->branch[1].child), (std::vector<int>{1, 3, 5, 7, 8}));
    EXPECT_EQ(search(t, 0, 0, 2000, 2000), (std::vector<int>{0, 2, 4, 6, 1, 3, 5, 7, 8}));
}

TEST(RTree, PickBranchPrefersLeastGrowthThenSmallerVolumeThenEarlier) {
    OpenTree t;
    ShapeRTree::Node n;
    n.level = 1;
    n.count = 3;
    n.branch[0].rect = rect(0, 0, 100, 100);
    n.branch[1].rect = rect(40, 40, 60, 60);
    n.branch[2].rect = rect(40, 40, 60, 60);
    // Inside all three (no growth anywhere): the smaller volume wins, and of
    // the two equal ones the earlier.
    EXPECT_EQ(t.PickBranch(rect(45, 45, 50, 50), &n), 1);
    // Inside the large one only: least growth wins although it is largest.
    EXPECT_EQ(t.PickBranch(rect(5, 5, 10, 10), &n), 0);
    // Outside everything, nearer the small ones: least growth.
    n.branch[0].rect = rect(-300, -300, -200, -200);
    EXPECT_EQ(t.PickBranch(rect(70, 70, 80, 80), &n), 1);
}

// A full leaf of nine 10-wide squares (the ninth as the extra branch):
// seeds 0 at x 0 and 8 at x 160, a mirrored pair 1 (x 20) and 7 (x 140),
// and five identical squares 2..6 in the middle (x 80). Worked by hand:
// round 1 ties 1 and 7 at equal counts, the earlier (1) wins; round 2 takes
// 7; now the groups mirror each other, the middle squares grow both alike
// (diff 0, group 0) and at equal counts the earliest, 2, wins; then 3 and 4
// join group 0, which is full at 5, and 5 and 6 go to the new node.
TEST(RTree, SplitBreaksTiesTowardsEarlierBranches) {
    Features f;
    OpenTree t;
    const int xs[9] = {0, 20, 80, 80, 80, 80, 80, 140, 160};
    ShapeRTree::Node node;
    ShapeRTree::Branch extra;
    for (int i = 0; i < 9; ++i) {
        ShapeRTree::Branch& b = i < 8 ? node.branch[i] : extra;
        b.rect = rect(xs[i], 0, xs[i] + 10, 10);
        b.data = f.add(xs[i], 0, xs[i] + 10, 10);
    }
    node.count = 8;
    ShapeRTree::Node* other = nullptr;
    t.SplitNode(&node, extra, &other);
    EXPECT_EQ(leafIds(&node), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(leafIds(other), (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(other->level, 0);
    delete other;

    // Seeds: of two pairs with the same largest waste the first one wins.
    OpenTree::PartitionVars pv;
    pv.total = 9;
    for (int i = 0; i < 9; ++i) {
        pv.taken[i] = false;
        pv.partition[i] = -1;
        pv.branchBuf[i].rect = rect(50, 0, 60, 10);
    }
    pv.branchBuf[0].rect = rect(0, 0, 10, 10);
    pv.branchBuf[2].rect = rect(160, 0, 170, 10);
    pv.branchBuf[8].rect = rect(160, 0, 170, 10);
    pv.coverSplitArea = t.RectSphericalVolume(rect(0, 0, 170, 10));
    t.PickSeeds(&pv);
    EXPECT_EQ(pv.partition[0], 0);
    EXPECT_EQ(pv.partition[2], 1);
    EXPECT_EQ(pv.partition[8], -1);
}

TEST(RTree, TouchingAndDegenerateQueries) {
    Features f;
    WireRTree t;
    t.insert(f.add(0, 0, 100, 50));                                 // 0
    t.insert(f.add(200, 0, 300, 50));                               // 1
    t.insert(f.add(100, 60, 200, 60));                              // 2: a zero-height feature
    EXPECT_EQ(search(t, 100, 10, 150, 20), (std::vector<int>{0}));  // shared edge
    EXPECT_EQ(search(t, 300, 50, 310, 60), (std::vector<int>{1}));  // shared corner
    EXPECT_EQ(search(t, 101, 10, 199, 20), (std::vector<int>{}));   // gap of 1 on both sides
    EXPECT_EQ(search(t, 50, 25, 50, 25), (std::vector<int>{0}));    // point inside
    EXPECT_EQ(search(t, 100, 50, 100, 50), (std::vector<int>{0}));  // point on a corner
    EXPECT_EQ(search(t, 150, 0, 150, 100), (std::vector<int>{2}));  // vertical line
    EXPECT_EQ(search(t, -5, 55, 400, 55), (std::vector<int>{}));    // horizontal line below 2
    EXPECT_EQ(search(t, -5, 60, 400, 60), (std::vector<int>{2}));   // on the flat feature
    EXPECT_EQ(search(t, 100, 0, 200, 0), (std::vector<int>{0, 1}));
}

TEST(RTree, DuplicatesAndSharedResult) {
    Features f;
    WireRTree t;
    myShape* s = f.add(0, 0, 10, 10);
    t.insert(s);
    t.insert(s);
    t.insert(f.add(50, 50, 60, 60));
    oaBox q1(5, 5, 5, 5);
    std::vector<myShape*>* r = t.searchoaBox(&q1);
    EXPECT_EQ(ids(*r), (std::vector<int>{0, 0}));
    EXPECT_EQ(r, &WireRTree::s_searchResult);
    oaBox q2(55, 55, 70, 70);
    std::vector<myShape*>* r2 = t.searchoaBox(&q2);
    EXPECT_EQ(r2, r);  // the next search replaces the result
    EXPECT_EQ(ids(*r), (std::vector<int>{1}));
}

bool stopAfterThree(myShape*, void* ctx) {
    return ++*static_cast<int*>(ctx) < 3;
}

TEST(RTree, CallbackStopsTheSearch) {
    Features f;
    ShapeRTree t;
    for (int i = 0; i < 50; ++i) {
        const int lo[2] = {i, i}, hi[2] = {i + 5, i + 5};
        t.Insert(lo, hi, f.add(i, i, i + 5, i + 5));
    }
    const int lo[2] = {0, 0}, hi[2] = {100, 100};
    int calls = 0;
    EXPECT_EQ(t.Search(lo, hi, &stopAfterThree, &calls), 3);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(t.Search(lo, hi, nullptr, nullptr), 50);
    t.RemoveAll();
    EXPECT_EQ(t.Search(lo, hi, nullptr, nullptr), 0);
}

// Structural soundness: each internal branch holds exactly the cover of
// its child, levels step down by one, and every non-root node holds 4..8.
void checkNode(const ShapeRTree::Node* n, bool isRoot, int& leaves) {
    if (!isRoot) {
        EXPECT_GE(n->count, 4);
    }
    EXPECT_LE(n->count, 8);
    for (int i = 0; i < n->count; ++i) {
        if (n->level == 0) {
            ++leaves;
            continue;
        }
        const ShapeRTree::Node* c = n->branch[i].child;
        ASSERT_EQ(c->level, n->level - 1);
        int l = c->branch[0].rect.min[0], b = c->branch[0].rect.min[1];
        int r = c->branch[0].rect.max[0], t = c->branch[0].rect.max[1];
        for (int k = 1; k < c->count; ++k) {
            l = std::min(l, c->branch[k].rect.min[0]);
            b = std::min(b, c->branch[k].rect.min[1]);
            r = std::max(r, c->branch[k].rect.max[0]);
            t = std::max(t, c->branch[k].rect.max[1]);
        }
        EXPECT_EQ(n->branch[i].rect.min[0], l);
        EXPECT_EQ(n->branch[i].rect.min[1], b);
        EXPECT_EQ(n->branch[i].rect.max[0], r);
        EXPECT_EQ(n->branch[i].rect.max[1], t);
        checkNode(c, false, leaves);
    }
}

// Random features on a coarse grid (many duplicates, touching and
// degenerate boxes), huge ones included; every query result must equal a
// linear scan as a multiset.
TEST(RTree, SearchMatchesLinearScan) {
    std::mt19937 rng(12345);
    Features f;
    WireRTree t;
    std::vector<myShape*> entries;
    auto coord = [&](int span) { return static_cast<int>(rng() % span) * 10; };
    for (int i = 0; i < 3000; ++i) {
        int l = coord(300), b = coord(300);
        int r = l + coord(8), top = b + coord(8);
        if (i % 97 == 0) r = 2147483647;
        if (i % 211 == 0) l = b = -2147483647 - 1;
        myShape* s = f.add(l, b, r, top);
        t.insert(s);
        entries.push_back(s);
        if (i % 500 == 0) {
            t.insert(s);
            entries.push_back(s);
        }
    }
    int leaves = 0;
    checkNode(t.root(), true, leaves);
    EXPECT_EQ(leaves, static_cast<int>(entries.size()));
    EXPECT_GE(t.root()->level, 2);

    for (int q = 0; q < 2000; ++q) {
        int l = coord(320) - 100, b = coord(320) - 100;
        oaBox box(l, b, l + coord(q % 3 == 0 ? 1 : 30), b + coord(q % 5 == 0 ? 1 : 30));
        std::vector<int> got = ids(*t.searchoaBox(&box));
        std::vector<int> want;
        for (const myShape* s : entries)
            if (s->bbox->overlaps(box, 1)) want.push_back(s->id);
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        ASSERT_EQ(got, want) << "query " << box;
    }
}

}  // namespace
