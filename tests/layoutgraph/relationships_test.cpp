#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/params.h"
#include "geometry/boxdist.h"
#include "layoutgraph/layoutgraph.h"
#include "support/layout_builder.h"

namespace {

using layouttest::LayoutTest;

class Relationships : public LayoutTest {
  protected:
    std::string run() {
        d.report.capture();
        RelationshipLGs(d);
        return d.report.takeCaptured();
    }
};

TEST_F(Relationships, NeighboursUpToExactlyTheSpacing) {
    // Pairs 1000 apart vertically, so only the pair itself can conflict.
    myShape* a = add(0, 0, 100, 100);
    myShape* b = add(220, 0, 320, 100);  // gap 120: conflict
    myShape* c = add(0, 1000, 100, 1100);
    myShape* e = add(221, 1000, 321, 1100);  // gap 121: none
    myShape* f = add(0, 2000, 100, 2100);
    myShape* g = add(172, 2196, 272, 2296);  // 72 by 96: 120 exactly
    myShape* h = add(0, 3000, 100, 3100);
    myShape* k = add(173, 3196, 273, 3296);  // 73 by 96: just over
    EXPECT_EQ(run(), "STAT | number of Independent Components: 6\n");
    EXPECT_TRUE(linked(a, b));
    EXPECT_TRUE(c->neighbors.empty());
    EXPECT_TRUE(e->neighbors.empty());
    EXPECT_TRUE(linked(f, g));
    EXPECT_TRUE(h->neighbors.empty() && k->neighbors.empty());
    EXPECT_EQ(a->neighbors.size(), 1u);
    // The rectangles are linked both ways.
    EXPECT_EQ(a->realBoxes[0]->conflictNeighbors.count(b->realBoxes[0]), 1u);
    EXPECT_EQ(b->realBoxes[0]->conflictNeighbors.count(a->realBoxes[0]), 1u);
    EXPECT_TRUE(c->realBoxes[0]->conflictNeighbors.empty());

    EXPECT_EQ(d.lgNum, 6);
    // Components follow the lowest feature of each.
    EXPECT_EQ(a->compID, 0);
    EXPECT_EQ(b->compID, 0);
    EXPECT_EQ(c->compID, 1);
    EXPECT_EQ(e->compID, 2);
    EXPECT_EQ(g->compID, 3);
    EXPECT_EQ(k->compID, 5);

    GenerateLGs(d);
    ASSERT_EQ(d.lgs.size(), 6u);
    EXPECT_EQ(d.lgs[0], std::vector<myShape*>({a, b}));
    EXPECT_EQ(b->compIndex, 1);
    EXPECT_EQ(d.lgs[5], std::vector<myShape*>({k}));
    EXPECT_EQ(k->compIndex, 0);
}

TEST_F(Relationships, OnlyTheFirstRectangleInReachIsLinked) {
    // s has a1, a2 and f has b1, b2, every pair in reach. From s: a1-b1,
    // a2-b1. From f: b1-a1, b2-a1. a2-b2 is never linked.
    myShape* s = add({oaBox(0, 0, 10, 10), oaBox(10, 0, 20, 10)});
    myShape* f = add({oaBox(0, 50, 10, 60), oaBox(10, 50, 20, 60)});
    run();
    myBox *a1 = s->realBoxes[0], *a2 = s->realBoxes[1];
    myBox *b1 = f->realBoxes[0], *b2 = f->realBoxes[1];
    EXPECT_EQ(a1->conflictNeighbors, myBoxSet({b1, b2}));
    EXPECT_EQ(a2->conflictNeighbors, myBoxSet({b1}));
    EXPECT_EQ(b1->conflictNeighbors, myBoxSet({a1, a2}));
    EXPECT_EQ(b2->conflictNeighbors, myBoxSet({a1}));
    EXPECT_TRUE(linked(s, f));
}

TEST_F(Relationships, LinksMatchThePlainRuleOnRandomLayouts) {
    // Features of up to 40 rectangles (rails of real layouts gather
    // hundreds), some of zero width, packed so that most pairs are close.
    std::srand(11);
    for (int spacing : {120, 30, 0}) {
        MPLDesign plain;
        std::vector<std::vector<oaBox> > layout;
        for (int i = 0; i < 40; ++i) {
            std::vector<oaBox> rects;
            const int n = 1 + (std::rand() % 3 == 0 ? std::rand() % 40 : std::rand() % 4);
            const int x0 = std::rand() % 1500, y0 = std::rand() % 1500;
            for (int k = 0; k < n; ++k) {
                const int x = x0 + std::rand() % 600, y = y0 + std::rand() % 600;
                const int w = std::rand() % 8 == 0 ? 0 : 1 + std::rand() % 80;
                rects.emplace_back(x, y, x + w, y + 1 + std::rand() % 80);
            }
            layout.push_back(rects);
        }
        MPLDesign* designs[2] = {&d, &plain};
        std::vector<myShape*> made[2];
        for (int which = 0; which < 2; ++which) {
            MPLDesign& m = *designs[which];
            m.shapes.clear();
            for (std::vector<oaBox> rects : layout) {
                oaBox bb = rects[0];
                for (const oaBox& r : rects)
                    bb.set(std::min(bb.left(), r.left()), std::min(bb.bottom(), r.bottom()),
                           std::max(bb.right(), r.right()), std::max(bb.top(), r.top()));
                myShape* sh = m.shapePool.make(bb.left(), bb.bottom(), bb.right(), bb.top());
                sh->SetRealBoxes(rects);
                sh->id = static_cast<int>(m.shapes.size());
                m.shapes.push_back(sh);
                made[which].push_back(sh);
            }
        }
        MINDPLDIST = spacing;
        for (myShape* sh : made[0]) d.wireRTree.insert(sh);
        initTouchDPLBoxes4RealBoxes(d);

        // The rule as stated, every feature against every other.
        const int limit = spacing * spacing;
        for (myShape* sh : made[1]) {
            if (sh->bbox->getWidth() == 0 || sh->bbox->getHeight() == 0) continue;
            const oaBox window(sh->bbox->left() - 2 * spacing, sh->bbox->bottom() - 2 * spacing,
                               sh->bbox->right() + 2 * spacing, sh->bbox->top() + 2 * spacing);
            for (myShape* f : made[1]) {
                if (f == sh || !f->bbox->overlaps(window, 1)) continue;
                bool linked = false;
                for (myBox* a : sh->realBoxes) {
                    if (a->box->getWidth() == 0) continue;
                    for (myBox* b : f->realBoxes) {
                        if (b->box->getWidth() == 0 || Box2BoxDist(a->box, b->box, 1) > limit)
                            continue;
                        a->conflictNeighbors.insert(b);
                        b->conflictNeighbors.insert(a);
                        linked = true;
                        break;
                    }
                }
                if (linked) {
                    sh->neighbors.insert(f);
                    f->neighbors.insert(sh);
                }
            }
        }
        // Compare by position: feature i, rectangle k.
        auto key = [](const myBox* b) {
            return std::make_pair(b->shape->id, b->box->left() * 7919 + b->box->bottom());
        };
        for (size_t i = 0; i < layout.size(); ++i) {
            std::set<int> want, got;
            for (myShape* x : made[1][i]->neighbors) want.insert(x->id);
            for (myShape* x : made[0][i]->neighbors) got.insert(x->id);
            ASSERT_EQ(got, want) << "spacing " << spacing << " feature " << i;
            for (size_t k = 0; k < layout[i].size(); ++k) {
                std::set<std::pair<int, int> > wantBoxes, gotBoxes;
                for (myBox* b : made[1][i]->realBoxes[k]->conflictNeighbors)
                    wantBoxes.insert(key(b));
                for (myBox* b : made[0][i]->realBoxes[k]->conflictNeighbors)
                    gotBoxes.insert(key(b));
                ASSERT_EQ(gotBoxes, wantBoxes) << "spacing " << spacing << " feature " << i;
            }
        }
        d.wireRTree.RemoveAll();
    }
}

TEST_F(Relationships, TouchLinksWithinOneFeature) {
    // Stored top first, so the link between the first two does not follow
    // stored order; the third meets the second at a corner only; the
    // fourth is 1 away from everything.
    myShape* s = add({oaBox(0, 100, 10, 200), oaBox(0, 0, 10, 100), oaBox(10, 200, 20, 300),
                      oaBox(30, 0, 40, 50)});
    run();
    myBox *top = s->realBoxes[0], *low = s->realBoxes[1], *corner = s->realBoxes[2],
          *apart = s->realBoxes[3];
    EXPECT_EQ(top->stitchNeighbors, myBoxSet({low, corner}));
    EXPECT_EQ(low->stitchNeighbors, myBoxSet({top}));
    EXPECT_EQ(corner->stitchNeighbors, myBoxSet({top}));
    EXPECT_TRUE(apart->stitchNeighbors.empty());
    // Rectangles of one feature never conflict with each other.
    EXPECT_TRUE(low->conflictNeighbors.empty());
    EXPECT_TRUE(s->neighbors.empty());
}

TEST_F(Relationships, DegenerateFeatures) {
    // A zero-height line 50 below a square: it does not search, but the
    // square finds it, in either list order, and the link is symmetric.
    myShape* lineFirst = add(0, 0, 100, 0);
    myShape* sq1 = add(0, 50, 100, 150);
    myShape* sq2 = add(1000, 50, 1100, 150);
    myShape* lineLast = add(1000, 0, 1100, 0);
    // A zero-width line beside a square is never linked.
    myShape* sq3 = add(2000, 0, 2100, 100);
    myShape* wline = add(2150, 0, 2150, 100);
    // Touching rectangles of a zero-height feature get no touch link.
    myShape* flat = add({oaBox(3000, 0, 3050, 0), oaBox(3050, 0, 3100, 0)});
    EXPECT_EQ(run(), "STAT | number of Independent Components: 1\n");  // 5 - 4 empty
    EXPECT_TRUE(linked(lineFirst, sq1));
    EXPECT_TRUE(linked(lineLast, sq2));
    EXPECT_EQ(lineLast->realBoxes[0]->conflictNeighbors, myBoxSet({sq2->realBoxes[0]}));
    EXPECT_TRUE(sq3->neighbors.empty());
    EXPECT_TRUE(wline->neighbors.empty());
    EXPECT_TRUE(flat->realBoxes[0]->stitchNeighbors.empty());
    EXPECT_EQ(d.lgNum, 5);
}

TEST_F(Relationships, ComponentCountLeavesOutEmptyFeatures) {
    myShape* a = add(0, 0, 100, 100);
    add(5000, 0, 5100, 100);
    myShape* line = add(0, 150, 100, 150);  // area 0, next to a
    // A feature whose conversion failed: no rectangles.
    myShape* bare = d.shapePool.make(9000, 0, 9100, 100);
    bare->id = static_cast<int>(d.shapes.size());
    d.shapes.push_back(bare);
    d.wireRTree.insert(bare);
    // Three components, two features of area 0: prints 1, keeps 3.
    EXPECT_EQ(run(), "STAT | number of Independent Components: 1\n");
    EXPECT_EQ(d.lgNum, 3);
    EXPECT_EQ(line->compID, a->compID);
    EXPECT_EQ(bare->compID, 2);
}

TEST_F(Relationships, EmptyLayoutAndNoSimplification) {
    EXPECT_EQ(run(), "STAT | number of Independent Components: 0\n");
    EXPECT_EQ(d.lgNum, 0);
    GenerateLGs(d);
    EXPECT_TRUE(d.lgs.empty());

    d.simlg = 0;
    EXPECT_EQ(run(), "");
    EXPECT_EQ(d.lgNum, 1);
    myShape* a = add(0, 0, 100, 100);
    myShape* b = add(5000, 0, 5100, 100);
    EXPECT_EQ(run(), "");
    EXPECT_EQ(a->compID, 0);
    EXPECT_EQ(b->compID, 0);
    GenerateLGs(d);
    ASSERT_EQ(d.lgs.size(), 1u);
    EXPECT_EQ(d.lgs[0], std::vector<myShape*>({a, b}));
}

TEST_F(Relationships, RailsSpanHalfTheLayout) {
    // Layout 0..1000 by 0..2000.
    myShape* wide = add(0, 0, 500, 10);  // exactly half the width
    myShape* narrow = add(0, 100, 499, 110);
    myShape* tall = add(990, 1000, 1000, 2000);  // exactly half the height
    myShape* shortish = add(900, 1001, 910, 2000);
    run();
    EXPECT_TRUE(wide->isVDDGND);
    EXPECT_FALSE(narrow->isVDDGND);
    EXPECT_TRUE(tall->isVDDGND);
    EXPECT_FALSE(shortish->isVDDGND);
}

// Rails are judged per block: copies of a block set twice the spacing
// apart keep exactly the block's rails, and stray shapes beside a block
// change none of them.
TEST_F(Relationships, EveryCopyOfABlockKeepsTheBlocksRails) {
    // A block 2000 x 1200: rails top and bottom, a tall strap, and rows of
    // random wires, some of them just under or over half the width.
    std::mt19937 rng(7);
    std::vector<oaBox> block = {oaBox(0, 0, 2000, 40), oaBox(0, 1160, 2000, 1200),
                                oaBox(0, 0, 30, 1200), oaBox(100, 600, 1100, 640),
                                oaBox(100, 700, 1099, 740)};
    for (int k = 0; k < 60; ++k) {
        const int x = 40 + int(rng() % 1800), y = 60 + int(rng() % 1000);
        block.push_back(rng() % 2 ? oaBox(x, y, x + 20 + int(rng() % 150), y + 30)
                                  : oaBox(x, y, x + 30, y + 20 + int(rng() % 100)));
    }
    auto railsOf = [&](int nx, int ny, int gap, bool stray) {
        MPLDesign t;
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                for (const oaBox& b : block) {
                    const int dx = i * (2000 + gap), dy = j * (1200 + gap);
                    myShape* s = testrecords::feature(t, b.left() + dx, b.bottom() + dy,
                                                      b.right() + dx, b.top() + dy);
                    t.minX = std::min(t.minX, s->bbox->left());
                    t.minY = std::min(t.minY, s->bbox->bottom());
                    t.maxX = std::max(t.maxX, s->bbox->right());
                    t.maxY = std::max(t.maxY, s->bbox->top());
                }
        if (stray) {  // a marker far off, beside the last copy
            testrecords::feature(t, t.maxX + 5000, 0, t.maxX + 5040, 40);
            t.maxX += 5040;
        }
        MarkRails(t);
        std::vector<bool> rails;
        for (const myShape* s : t.shapes) rails.push_back(s->isVDDGND);
        return rails;
    };
    const std::vector<bool> one = railsOf(1, 1, 0, false);
    EXPECT_EQ(std::count(one.begin(), one.end(), true), 4);  // not the 999 wide wire
    std::vector<bool> alone = railsOf(1, 1, 0, true);
    alone.pop_back();
    EXPECT_EQ(alone, one);
    for (bool stray : {false, true}) {
        std::vector<bool> tiled = railsOf(3, 2, 2 * MINDPLDIST, stray);
        if (stray) {
            EXPECT_FALSE(tiled.back());
            tiled.pop_back();
        }
        ASSERT_EQ(tiled.size(), 6 * one.size());
        for (size_t i = 0; i < tiled.size(); ++i) EXPECT_EQ(tiled[i], one[i % one.size()]) << i;
    }
    // Closer copies are one block: a rail of one copy spans only a third of
    // it, the straps still span its height.
    const std::vector<bool> near = railsOf(3, 1, 2 * MINDPLDIST - 1, false);
    EXPECT_EQ(std::count(near.begin(), near.end(), true), 3);
}

TEST_F(Relationships, GroupsAmongFeaturesStillDecomposed) {
    // Chain a-b-c-e with c set aside, plus f linked to a but outside the
    // list: groups {a, b} and {e}.
    myShape* a = add(0, 0, 100, 100);
    myShape* b = add(150, 0, 250, 100);
    myShape* c = add(300, 0, 400, 100);
    myShape* e = add(450, 0, 550, 100);
    myShape* f = add(0, 150, 100, 250);
    run();
    ASSERT_TRUE(linked(a, f));
    c->needDG = false;
    c->subCompID = 7;
    f->lgIndex = 2;  // stale index from another list: would join a and e
    EXPECT_EQ(GenerateLGCmpID(d, {a, b, c, e}), 2);
    EXPECT_EQ(a->lgIndex, 0);
    EXPECT_EQ(b->lgIndex, 1);
    EXPECT_EQ(c->lgIndex, -1);
    EXPECT_EQ(e->lgIndex, 2);
    EXPECT_EQ(a->subCompID, 0);
    EXPECT_EQ(b->subCompID, 0);
    EXPECT_EQ(c->subCompID, 7);
    EXPECT_EQ(e->subCompID, 1);

    EXPECT_EQ(GenerateLGCmpID(d, {c, e}), 1);
    EXPECT_EQ(e->subCompID, 0);
    EXPECT_EQ(GenerateLGCmpID(d, {c}), 0);
    d.simlg = 0;
    e->subCompID = 5;
    EXPECT_EQ(GenerateLGCmpID(d, {a, b, e}), 1);
    EXPECT_EQ(e->subCompID, 0);
}

}  // namespace
