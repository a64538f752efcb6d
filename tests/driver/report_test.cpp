#include <gtest/gtest.h>

#include "base/params.h"
#include "coloring/coloring.h"
#include "design/design.h"
#include "support/test_support.h"

namespace {

// Builds features with pieces by hand; colours and links are set per test.
class Report : public testsupport::GlobalsTest {
  protected:
    myShape* feature(int l, int b, int r, int t) {
        myShape* s = design.shapePool.make(l, b, r, t);
        s->id = static_cast<int>(design.shapes.size());
        design.shapes.push_back(s);
        return s;
    }
    myBox* piece(myShape* s, int l, int b, int r, int t, int index, int color) {
        myBox* p = design.boxPool.make(design.rectPool.make(l, b, r, t));
        p->shape = s;
        p->boxIndex = index;
        p->color = color;
        s->myBoxes.push_back(p);
        return p;
    }
    static void conflict(myBox* a, myBox* b) {
        a->conflictNeighbors.insert(b);
        b->conflictNeighbors.insert(a);
    }
    static void touch(myBox* a, myBox* b) {
        a->stitchNeighbors.insert(b);
        b->stitchNeighbors.insert(a);
    }
    std::string result() {
        CalculateConflicts(design);
        CalculateStitches(design);
        CountUncoloredSimplified(design);
        design.report.capture();
        ResultStat(design);
        return design.report.takeCaptured();
    }
    MPLDesign design;
};

TEST_F(Report, ConflictCountsOncePerPair) {
    myShape* a = feature(0, 0, 100, 20);
    myShape* b = feature(0, 100, 100, 120);
    myBox* pa = piece(a, 0, 0, 100, 20, 0, 1);
    myBox* pb = piece(b, 0, 100, 100, 120, 1, 1);
    conflict(pa, pb);
    design.lgs = {{a, b}};
    EXPECT_EQ(result(), "\nSTAT | Final Stitch Num: 0, Conflict Num: 1\n");
    ASSERT_EQ(design.conflicts.size(), 1u);
    EXPECT_EQ(design.conflicts[0].first, pa);  // the lower boxIndex records it

    // Different masks, or an invalid colour on either side: no conflict.
    pb->color = 2;
    EXPECT_EQ(result(), "\nSTAT | Final Stitch Num: 0, Conflict Num: 0\n");
    pa->color = pb->color = NEEDDG_COLOR;
    EXPECT_EQ(result(), "\nSTAT | Final Stitch Num: 0, Conflict Num: 0\n");
}

TEST_F(Report, FeatureAddsAtMostOneConflict) {
    // Three pieces of a each clash with a piece of b: one conflict for a; b
    // records none since every clash has the lower index on a's side.
    myShape* a = feature(0, 0, 300, 20);
    myShape* b = feature(0, 100, 300, 120);
    myBox* a0 = piece(a, 0, 0, 100, 20, 0, 0);
    myBox* a1 = piece(a, 100, 0, 200, 20, 1, 0);
    myBox* a2 = piece(a, 200, 0, 300, 20, 2, 0);
    myBox* b0 = piece(b, 0, 100, 300, 120, 3, 0);
    for (myBox* p : {a0, a1, a2}) conflict(p, b0);
    design.lgs = {{a, b}};
    EXPECT_EQ(result(), "\nSTAT | Final Stitch Num: 0, Conflict Num: 1\n");
    // The recorded pair is the one of the last piece that found one.
    EXPECT_EQ(design.conflicts[0].first, a2);
}

TEST_F(Report, StitchesCountOncePerPiece) {
    // A chain of three touching pieces coloured 0, 1, 2: two stitches.
    myShape* a = feature(0, 0, 300, 20);
    myBox* p0 = piece(a, 0, 0, 100, 20, 0, 0);
    myBox* p1 = piece(a, 100, 0, 200, 20, 1, 1);
    myBox* p2 = piece(a, 200, 0, 300, 20, 2, 2);
    touch(p0, p1);
    touch(p1, p2);
    design.lgs = {{a}};
    EXPECT_EQ(result(), "\nSTAT | Final Stitch Num: 2, Conflict Num: 0\n");
    // A piece touching two differently coloured pieces still adds one.
    touch(p0, p2);
    EXPECT_EQ(result(), "\nSTAT | Final Stitch Num: 2, Conflict Num: 0\n");
    // An uncoloured neighbour is no stitch.
    p2->color = -1;
    EXPECT_EQ(result(), "\nSTAT | Final Stitch Num: 1, Conflict Num: 0\n");
}

TEST_F(Report, UncolouredRemovedFeaturesCountBySize) {
    myShape* large = feature(0, 0, 121, 10);
    myShape* small = feature(0, 0, 120, 120);
    myShape* tall = feature(0, 0, 10, 121);
    myShape* coloured = feature(0, 0, 500, 500);
    myShape* inGraph = feature(0, 0, 500, 500);
    for (myShape* s : {large, small, tall, coloured}) s->needDG = false;
    large->SetMultiColor(-1);
    small->SetMultiColor(NUM_COLORS);
    coloured->SetMultiColor(2);
    (void)inGraph;  // still in a decomposition graph: not looked at here
    EXPECT_EQ(result(), "\nSTAT | Final Stitch Num: 2, Conflict Num: 1\n");
    EXPECT_EQ(design.largeUncolored, 2);
    EXPECT_EQ(design.smallUncolored, 1);
}

}  // namespace
