#include "projection/projection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "base/params.h"
#include "design/design.h"
#include "geometry/boxdist.h"
#include "support/test_support.h"

namespace {

using Rects = std::vector<oaBox>;

// Builds small layouts by hand, with the relations the earlier stages would
// have left, and runs projection on them.
class ProjectionTest : public testsupport::GlobalsTest {
  protected:
    std::unique_ptr<MPLDesign> owner = std::make_unique<MPLDesign>();
    MPLDesign* d = owner.get();

    // Starts a new run; the previous one is destroyed.
    void fresh() {
        owner = std::make_unique<MPLDesign>();
        d = owner.get();
    }

    void SetUp() override {
        GlobalsTest::SetUp();
        layout_left = layout_bottom = 0;
        layout_right = layout_top = 100000;
    }

    myShape* feature(Rects rects) {
        oaBox bb = rects.front();
        for (const oaBox& r : rects)
            bb.set(std::min(bb.left(), r.left()), std::min(bb.bottom(), r.bottom()),
                   std::max(bb.right(), r.right()), std::max(bb.top(), r.top()));
        myShape* s = d->shapePool.make(bb.left(), bb.bottom(), bb.right(), bb.top());
        s->SetRealBoxes(rects);
        s->id = int(d->shapes.size());
        d->shapes.push_back(s);
        return s;
    }

    // Conflict links and neighbours between real boxes within MINDPLDIST,
    // inclusive, as the relationship stage leaves them.
    void relate() {
        const int limit = MINDPLDIST * MINDPLDIST;
        for (myShape* s : d->shapes) {
            for (myShape* t : d->shapes) {
                if (s == t) continue;
                for (myBox* a : s->realBoxes)
                    for (myBox* b : t->realBoxes)
                        if (Box2BoxDist(a->box, b->box, 1) <= limit) {
                            a->conflictNeighbors.insert(b);
                            s->neighbors.insert(t);
                        }
            }
        }
    }

    // As layout-graph simplification leaves a removed feature.
    static void removeBySimplification(myShape* s) {
        s->needDG = false;
        for (myBox* b : s->realBoxes) b->needDG = false;
    }

    void projectOneGraph() {
        relate();
        d->lgs = {d->shapes};
        Projection(*d);
    }

    static Rects rects(const myShape* s) {
        Rects out;
        for (const myBox* p : s->myBoxes) out.push_back(*p->box);
        return out;
    }

    static std::set<myBox*> set(const myBoxSet& s) { return std::set<myBox*>(s.begin(), s.end()); }

    // A long wire with three short wires 50 above it, at x 100, 500 and 850.
    // Their projections on the wire are [0,320], [380,720] and [730,1000],
    // leaving gaps centred at 350 and 725.
    myShape *wire, *b, *c, *e;
    void comb() {
        wire = feature({{0, 0, 1000, 100}});
        b = feature({{100, 150, 200, 250}});
        c = feature({{500, 150, 600, 250}});
        e = feature({{850, 150, 950, 250}});
    }
};

TEST_F(ProjectionTest, RealBoxCutTwiceIntoThreeChainedPieces) {
    comb();
    projectOneGraph();

    ASSERT_EQ(rects(wire), (Rects{{0, 0, 350, 100}, {350, 0, 725, 100}, {725, 0, 1000, 100}}));
    myBox* real = wire->realBoxes[0];
    EXPECT_EQ(real->pieces, wire->myBoxes);
    for (myBox* p : wire->myBoxes) {
        EXPECT_EQ(p->shape, wire);
        EXPECT_TRUE(p->needDG);
    }
    myBox* p0 = wire->myBoxes[0];
    myBox* p1 = wire->myBoxes[1];
    myBox* p2 = wire->myBoxes[2];
    // The middle piece touches both others; the outer two do not touch.
    EXPECT_EQ(set(p0->stitchNeighbors), (std::set<myBox*>{p1}));
    EXPECT_EQ(set(p1->stitchNeighbors), (std::set<myBox*>{p0, p2}));
    EXPECT_EQ(set(p2->stitchNeighbors), (std::set<myBox*>{p1}));

    // Each short wire is fully covered by the long one's window: not cut.
    for (myShape* s : {b, c, e}) {
        ASSERT_EQ(s->myBoxes.size(), 1u);
        EXPECT_EQ(s->myBoxes[0]->box, s->realBoxes[0]->box);
        EXPECT_TRUE(s->myBoxes[0]->stitchNeighbors.empty());
    }
    // Worked by hand: each piece is 50 below one short wire and at least 125
    // away (in x) from the others.
    myBox* pb = b->myBoxes[0];
    myBox* pc = c->myBoxes[0];
    myBox* pe = e->myBoxes[0];
    EXPECT_EQ(set(p0->conflictNeighbors), (std::set<myBox*>{pb}));
    EXPECT_EQ(set(p1->conflictNeighbors), (std::set<myBox*>{pc}));
    EXPECT_EQ(set(p2->conflictNeighbors), (std::set<myBox*>{pe}));
    EXPECT_EQ(set(pb->conflictNeighbors), (std::set<myBox*>{p0}));
    EXPECT_EQ(set(pc->conflictNeighbors), (std::set<myBox*>{p1}));
    EXPECT_EQ(set(pe->conflictNeighbors), (std::set<myBox*>{p2}));
    // A split real box gives its links up: no later stage reads them.
    EXPECT_TRUE(real->conflictNeighbors.empty() && real->stitchNeighbors.empty());
}

TEST_F(ProjectionTest, OrientationAndGeneratorChoice) {
    // The comb turned upright: cut along y.
    myShape* upright = feature({{0, 0, 100, 1000}});
    feature({{150, 100, 250, 200}});
    feature({{150, 500, 250, 600}});
    feature({{150, 850, 250, 950}});
    // A square with the comb above it is cut along x (as a vertical box it
    // would see one stretch covered at its top, and no cut).
    myShape* square = feature({{10000, 0, 11000, 1000}});
    feature({{10100, 1050, 10200, 1150}});
    feature({{10500, 1050, 10600, 1150}});
    feature({{10850, 1050, 10950, 1150}});
    projectOneGraph();
    EXPECT_EQ(rects(upright), (Rects{{0, 0, 100, 350}, {0, 350, 100, 725}, {0, 725, 100, 1000}}));
    EXPECT_EQ(rects(square),
              (Rects{{10000, 0, 10350, 1000}, {10350, 0, 10725, 1000}, {10725, 0, 11000, 1000}}));
}

TEST_F(ProjectionTest, NoStitchesAllowedKeepsBoxesWhole) {
    comb();
    d->allowStitch = false;
    projectOneGraph();
    ASSERT_EQ(wire->myBoxes.size(), 1u);
    EXPECT_EQ(wire->myBoxes[0]->box, wire->realBoxes[0]->box);
}

TEST_F(ProjectionTest, OtherGeneratorSparesGapsNextToTheEnds) {
    // The comb covers the wire 1,0,1,0,1: each gap lies between two single
    // coverings next to an end, so this generator leaves the wire whole.
    comb();
    d->dplStitch = false;
    projectOneGraph();
    EXPECT_EQ(rects(wire), (Rects{{0, 0, 1000, 100}}));
}

TEST_F(ProjectionTest, RemovedFeaturesDoNotProject) {
    comb();
    // A rail 50 below the wire, removed by simplification like the middle
    // short wire, and a feature without neighbours.
    myShape* rail = feature({{400, -150, 600, -50}});
    myShape* lone = feature({{5000, 5000, 5100, 5100}});
    removeBySimplification(c);
    removeBySimplification(rail);
    rail->isVDDGND = true;
    projectOneGraph();
    // Neither removed feature projects: one gap [320,730] remains.
    ASSERT_EQ(rects(wire), (Rects{{0, 0, 525, 100}, {525, 0, 1000, 100}}));
    myBox* w0 = wire->myBoxes[0];
    myBox* w1 = wire->myBoxes[1];
    // The removed short wire gets no pieces and no links.
    EXPECT_TRUE(c->myBoxes.empty());
    EXPECT_TRUE(c->realBoxes[0]->pieces.empty());
    // The removed rail is split all the same and linked to both wire pieces.
    ASSERT_EQ(rail->myBoxes.size(), 1u);
    myBox* r = rail->myBoxes[0];
    EXPECT_EQ(r->shape, rail);
    EXPECT_EQ(set(r->conflictNeighbors), (std::set<myBox*>{w0, w1}));
    EXPECT_EQ(set(w0->conflictNeighbors), (std::set<myBox*>{b->myBoxes[0], r}));
    EXPECT_EQ(set(w1->conflictNeighbors), (std::set<myBox*>{e->myBoxes[0], r}));
    ASSERT_EQ(lone->myBoxes.size(), 1u);
    EXPECT_TRUE(lone->myBoxes[0]->conflictNeighbors.empty());
}

TEST_F(ProjectionTest, PiecesExactlyAtTheSpacingDoNotConflict) {
    // 120 apart: neighbours (inclusive rule) but no piece conflict.
    myShape* a = feature({{0, 0, 100, 50}});
    myShape* far = feature({{220, 0, 320, 50}});
    // 119 apart, each in its own layout graph: linked both ways.
    myShape* x = feature({{0, 1000, 100, 1050}});
    myShape* near = feature({{219, 1000, 319, 1050}});
    relate();
    ASSERT_EQ(a->neighbors.count(far), 1u);
    d->lgs = {{a, far, x}, {near}};
    Projection(*d);
    EXPECT_TRUE(a->myBoxes[0]->conflictNeighbors.empty());
    EXPECT_TRUE(far->myBoxes[0]->conflictNeighbors.empty());
    EXPECT_EQ(set(x->myBoxes[0]->conflictNeighbors), (std::set<myBox*>{near->myBoxes[0]}));
    EXPECT_EQ(set(near->myBoxes[0]->conflictNeighbors), (std::set<myBox*>{x->myBoxes[0]}));
}

TEST_F(ProjectionTest, FeatureInTwoLayoutGraphsIsSplitTwice) {
    comb();
    relate();
    d->lgs = {{wire, b, c}, {wire, e}};
    Projection(*d);
    // Both sets of pieces in the feature's list, only the second on the box.
    ASSERT_EQ(wire->myBoxes.size(), 6u);
    std::vector<myBox*> second(wire->myBoxes.begin() + 3, wire->myBoxes.end());
    const auto& pieces = wire->realBoxes[0]->pieces;
    EXPECT_EQ(std::vector<myBox*>(pieces.begin(), pieces.end()), second);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(*wire->myBoxes[i]->box, *wire->myBoxes[i + 3]->box);
}

TEST_F(ProjectionTest, TouchLinksAcrossRealBoxes) {
    // An L with a third rectangle meeting it at a corner and a degenerate one
    // on its edge; no neighbours, so nothing is cut.
    myShape* s = feature({{0, 0, 100, 300},
                          {100, 0, 400, 100},
                          {400, 100, 500, 200},
                          {100, 150, 100, 250},
                          {1000, 0, 1100, 100}});
    projectOneGraph();
    ASSERT_EQ(s->myBoxes.size(), 5u);
    std::vector<myBox*> p(s->myBoxes.begin(), s->myBoxes.end());
    EXPECT_EQ(set(p[0]->stitchNeighbors), (std::set<myBox*>{p[1]}));
    EXPECT_EQ(set(p[1]->stitchNeighbors), (std::set<myBox*>{p[0], p[2]}));
    EXPECT_EQ(set(p[2]->stitchNeighbors), (std::set<myBox*>{p[1]}));
    EXPECT_TRUE(p[3]->stitchNeighbors.empty());
    EXPECT_TRUE(p[4]->stitchNeighbors.empty());
}

TEST_F(ProjectionTest, IndexedLinksMatchThePlainRules) {
    // Random layouts, degenerate and long rectangles included, at several
    // spacings: every touch and conflict link must be exactly the pairwise
    // rule's.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pos(0, 800), len(0, 60), longLen(0, 600), count(1, 4);
    for (int spacing : {120, 120, 120, 40, -5}) {
        fresh();
        MINDPLDIST = spacing;
        // Without a positive spacing everything conflicts and far boxes
        // still add cut positions: keep that layout small.
        for (int f = 0; f < (spacing > 0 ? 40 : 6); ++f) {
            Rects rs;
            int x = pos(rng), y = pos(rng);
            // Some features large enough to be looked up through an index.
            for (int k = f % 5 ? count(rng) : 17 + count(rng); k > 0; --k) {
                bool wide = rng() % 2;
                int w = rng() % 3 ? len(rng) : longLen(rng);
                int h = len(rng);
                if (!wide) std::swap(w, h);
                rs.emplace_back(x, y, x + w, y + h);
                x += rng() % 2 ? w : 0;
                y += rng() % 2 ? 0 : h;
            }
            feature(rs);
        }
        projectOneGraph();
        const int64_t limit = int64_t(MINDPLDIST) * MINDPLDIST;
        for (myShape* s : d->shapes) {
            for (myBox* q : s->myBoxes) {
                std::set<myBox*> touch, conflict;
                for (myBox* o : s->myBoxes)
                    if (o != q && q->overlaps(o, true)) touch.insert(o);
                for (myShape* n : s->neighbors)
                    for (myBox* c : n->myBoxes)
                        if (Box2BoxDist(q->box, c->box, 1) < limit) conflict.insert(c);
                EXPECT_EQ(set(q->stitchNeighbors), touch) << "spacing " << spacing;
                EXPECT_EQ(set(q->conflictNeighbors), conflict) << "spacing " << spacing;
            }
        }
    }
}

TEST_F(ProjectionTest, PieceRectanglesOutliveTheStage) {
    comb();
    projectOneGraph();
    // Cut pieces are new records with new rectangles owned by the run; a
    // real box left whole is its own piece, numbered as a new piece would
    // be (after the pieces made before it).
    EXPECT_EQ(d->rectPool.size(), 3u);
    EXPECT_EQ(d->boxPool.size(), 3u);
    for (myBox* p : wire->myBoxes) EXPECT_NE(p->box, wire->realBoxes[0]->box);
    EXPECT_EQ(b->myBoxes[0], b->realBoxes[0]);
    EXPECT_TRUE(b->myBoxes[0]->ownPiece);
    EXPECT_FALSE(wire->realBoxes[0]->ownPiece);
    std::vector<uint32_t> serials;
    for (myShape* s : d->shapes)
        for (myBox* p : s->myBoxes) serials.push_back(p->serial);
    EXPECT_TRUE(std::is_sorted(serials.begin(), serials.end()));
    EXPECT_GT(serials.front(), wire->realBoxes[0]->serial);

    // Later stages read the pieces until the run ends (the sanitizer build
    // checks the memory, and that the run frees it all when it is destroyed).
    long area = 0;
    for (myShape* s : d->shapes)
        for (myBox* p : s->myBoxes) area += long(p->box->getWidth()) * p->box->getHeight();
    EXPECT_EQ(area, 1000 * 100 + 3 * 100 * 100);
}

}  // namespace
