#include <gtest/gtest.h>

#include <vector>

#include "base/params.h"
#include "coloring/coloring.h"
#include "design/design.h"
#include "support/record_builder.h"
#include "support/test_support.h"

namespace {

using namespace testrecords;

class RotationsTest : public testsupport::GlobalsTest {
  protected:
    // A vertex of one fresh piece, with a working colour.
    mySuperShape* colored(int c) {
        mySuperShape* v = vertex(d, {wholePiece(d, feature(d, 0, 0, 100, 100))});
        if (c >= 0) v->SetMultiColorTmp(c);
        return v;
    }
    // A piece holding colour c outside every graph.
    myBox* fixedPiece(int c) {
        myBox* p = wholePiece(d, feature(d, 0, 0, 100, 100));
        p->color = c;
        return p;
    }
    static std::vector<int> tmpColors(const std::vector<mySuperShape*>& dg) {
        std::vector<int> c;
        for (const mySuperShape* v : dg) c.push_back(v->colorTmp);
        return c;
    }
    static std::vector<int> pieceColors(const std::vector<mySuperShape*>& dg) {
        std::vector<int> c;
        for (const mySuperShape* v : dg) c.push_back(v->boxes[0]->color);
        return c;
    }

    MPLDesign d;
};

TEST_F(RotationsTest, SingleGraphIsCommittedAsColoured) {
    d.dgs.push_back({colored(2), colored(0), colored(1)});
    Rotations(d);
    EXPECT_EQ(tmpColors(d.dgs[0]), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(pieceColors(d.dgs[0]), (std::vector<int>{2, 0, 1}));
}

// Worked by hand: three graphs in a chain, 0-1 sharing s and 1-2 sharing t.
// Graph 1 turns by 2 (s: 2 in the parent, 0 here), which brings its copy of
// t to 1; graph 2 is aligned only afterwards, so it turns by 1.
TEST_F(RotationsTest, ChildGraphsTurnToAgreeWithParents) {
    mySuperShape* s = colored(-1);
    mySuperShape* t = colored(-1);
    mySuperShape* s0 = copyInto(d, s, 0);
    mySuperShape* s1 = copyInto(d, s, 1);
    mySuperShape* t1 = copyInto(d, t, 1);
    mySuperShape* t2 = copyInto(d, t, 2);
    s0->SetMultiColorTmp(2);
    s1->SetMultiColorTmp(0);
    t1->SetMultiColorTmp(2);
    t2->SetMultiColorTmp(0);
    d.dgs.push_back({colored(0), s0});
    d.dgs.push_back({s1, colored(1), t1});
    d.dgs.push_back({t2, colored(1)});

    Rotations(d);
    EXPECT_EQ(tmpColors(d.dgs[0]), (std::vector<int>{0, 2}));
    EXPECT_EQ(tmpColors(d.dgs[1]), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(tmpColors(d.dgs[2]), (std::vector<int>{1, 2}));
    EXPECT_EQ(s->boxes[0]->color, 2);
    EXPECT_EQ(t->boxes[0]->color, 1);
}

// A shared vertex that already agrees ends the scan: the graph is not
// turned, even though an earlier shared vertex disagreed.
TEST_F(RotationsTest, AgreeingSharedVertexStopsRotation) {
    mySuperShape* s = colored(-1);
    mySuperShape* t = colored(-1);
    mySuperShape* s0 = copyInto(d, s, 0);
    mySuperShape* t0 = copyInto(d, t, 0);
    mySuperShape* s1 = copyInto(d, s, 1);
    mySuperShape* t1 = copyInto(d, t, 1);
    s0->SetMultiColorTmp(1);
    t0->SetMultiColorTmp(2);
    s1->SetMultiColorTmp(0);
    t1->SetMultiColorTmp(2);
    d.dgs.push_back({s0, t0});
    d.dgs.push_back({s1, t1, colored(1)});
    Rotations(d);
    EXPECT_EQ(tmpColors(d.dgs[1]), (std::vector<int>{0, 2, 1}));
}

// The first rail vertex (coloured 1) decides: the graph turns by -1, so it
// takes the rail mask and 0 wraps to 2. Graphs without a rail keep theirs.
TEST_F(RotationsTest, RailGraphTurnsToRailMask) {
    myShape* rail = feature(d, 0, 0, 1000, 50);
    rail->isVDDGND = true;
    mySuperShape* r = vertex(d, {wholePiece(d, rail)});
    r->SetMultiColorTmp(1);
    mySuperShape* otherRail = vertex(d, {wholePiece(d, rail)});
    otherRail->SetMultiColorTmp(2);
    d.dgs.push_back({colored(0), r, colored(2), otherRail});
    d.dgs.push_back({colored(1), colored(2)});

    Rotations(d);
    EXPECT_EQ(tmpColors(d.dgs[0]), (std::vector<int>{2, 0, 1, 1}));
    EXPECT_EQ(pieceColors(d.dgs[0]), (std::vector<int>{2, 0, 1, 1}));
    EXPECT_EQ(tmpColors(d.dgs[1]), (std::vector<int>{1, 2}));
}

// v0 touches only a piece on 1 and takes it; v1 touches v0's piece and so
// sees the new colour at once; v2 touches 1 and 2 and keeps its own; the
// rail graph is left alone.
TEST_F(RotationsTest, TouchBoxesFollowTheirOneTouchingMask) {
    myBox* one = fixedPiece(1);
    myBox* two = fixedPiece(2);
    mySuperShape* v0 = colored(0);
    mySuperShape* v1 = colored(2);
    mySuperShape* v2 = colored(0);
    touch(v0->boxes[0], one);
    touch(v1->boxes[0], v0->boxes[0]);
    touch(v2->boxes[0], one);
    touch(v2->boxes[0], two);
    d.dgs.push_back({v0, v1, v2});

    myShape* railShape = feature(d, 0, 0, 1000, 50);
    railShape->isVDDGND = true;
    mySuperShape* rail = vertex(d, {wholePiece(d, railShape)});
    rail->SetMultiColorTmp(0);
    mySuperShape* nearRail = colored(2);
    touch(nearRail->boxes[0], one);
    d.dgs.push_back({rail, nearRail});

    RotationForTouchBoxes(d);
    EXPECT_EQ(tmpColors(d.dgs[0]), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(v0->boxes[0]->color, 1);
    EXPECT_EQ(v1->boxes[0]->color, 1);
    EXPECT_EQ(nearRail->colorTmp, 2);
}

TEST_F(RotationsTest, FeaturesTakeTheirPiecesMaskOrMarkSplitBoxes) {
    myShape* whole = feature(d, {oaBox(0, 0, 100, 100), oaBox(100, 0, 200, 100)});
    whole->SetMultiColor(NEEDDG_COLOR);
    wholePiece(d, whole, 0)->color = 0;
    wholePiece(d, whole, 1)->color = 0;

    myShape* split = feature(d, {oaBox(0, 0, 100, 100), oaBox(100, 0, 200, 100)});
    split->SetMultiColor(NEEDDG_COLOR);
    piece(d, split, 0, 0, 0, 50, 100)->color = 1;
    piece(d, split, 0, 50, 0, 100, 100)->color = 1;
    piece(d, split, 1, 100, 0, 150, 100)->color = 0;
    piece(d, split, 1, 150, 0, 200, 100)->color = 1;

    myShape* uncolored = feature(d, 0, 0, 100, 100);
    wholePiece(d, uncolored);

    myShape* removed = feature(d, 0, 0, 100, 100);
    removed->needDG = false;

    d.lgs = {{whole, split}, {uncolored, removed}};
    AssignLGNonSimplifiedColors(d);

    EXPECT_EQ(whole->color, 0);
    EXPECT_EQ(whole->realBoxes[1]->color, 0);
    EXPECT_EQ(split->color, NEEDDG_COLOR);
    EXPECT_EQ(split->realBoxes[0]->color, 1);
    EXPECT_EQ(split->realBoxes[1]->color, SPLIT_COLOR);
    EXPECT_EQ(uncolored->color, -1);
    EXPECT_EQ(uncolored->realBoxes[0]->color, SPLIT_COLOR);
    EXPECT_EQ(removed->realBoxes[0]->color, -1);
}

// Vertices that graph splitting dropped (no edge) are given a mask after
// the commit, graph by graph; vertices already coloured are not touched.
TEST_F(RotationsTest, DroppedVerticesGetAMaskOfTheirOwn) {
    mySuperShape* a = colored(-1);
    mySuperShape* b = colored(-1);
    conflict(a->boxes[0], b->boxes[0]);
    mySuperShape* a0 = copyInto(d, a, 0);
    mySuperShape* b0 = copyInto(d, b, 0);
    a0->SetMultiColorTmp(0);
    b0->SetMultiColorTmp(1);
    d.dgs.push_back({a0, b0});

    // Follows the one mask its touching pieces hold, even against a conflict.
    mySuperShape* follows = colored(-1);
    touch(follows->boxes[0], fixedPiece(2));
    conflict(follows->boxes[0], fixedPiece(2));
    // Touching pieces disagree: the lowest mask its conflicts leave free.
    mySuperShape* free = colored(-1);
    touch(free->boxes[0], fixedPiece(0));
    touch(free->boxes[0], fixedPiece(1));
    conflict(free->boxes[0], a->boxes[0]);
    conflict(free->boxes[0], b->boxes[0]);
    // Every mask held: the one held by the fewest distinct pieces; b's piece
    // is next to both of its pieces but counts once (0: 2, 1: 1, 2: 1).
    myShape* twoPieces = feature(d, 0, 0, 200, 100);
    myBox* p1 = piece(d, twoPieces, 0, 0, 0, 100, 100);
    myBox* p2 = piece(d, twoPieces, 0, 100, 0, 200, 100);
    mySuperShape* fewest = vertex(d, {p1, p2});
    conflict(p1, a->boxes[0]);
    conflict(p1, fixedPiece(0));
    conflict(p1, b->boxes[0]);
    conflict(p2, b->boxes[0]);
    conflict(p2, fixedPiece(2));
    // Two dropped vertices next to each other: the later sees the earlier.
    mySuperShape* first = colored(-1);
    mySuperShape* second = colored(-1);
    conflict(first->boxes[0], second->boxes[0]);

    d.tmpDGs = {{a, b, follows, free}, {fewest, first, second}};
    Rotations(d);

    EXPECT_EQ(a->colorTmp, -1);
    EXPECT_EQ(a->boxes[0]->color, 0);
    EXPECT_EQ(b->boxes[0]->color, 1);
    EXPECT_EQ(follows->boxes[0]->color, 2);
    EXPECT_EQ(free->boxes[0]->color, 2);
    EXPECT_EQ(p1->color, 1);
    EXPECT_EQ(p2->color, 1);
    EXPECT_EQ(fewest->colorTmp, 1);
    EXPECT_EQ(first->boxes[0]->color, 0);
    EXPECT_EQ(second->boxes[0]->color, 1);
}

TEST_F(RotationsTest, RemovedRailsTakeRailMask) {
    myShape* removedRail = feature(d, 0, 0, 1000, 50);
    removedRail->isVDDGND = true;
    removedRail->needDG = false;
    myBox* railPiece = wholePiece(d, removedRail);
    myShape* keptRail = feature(d, 0, 200, 1000, 250);
    keptRail->isVDDGND = true;
    keptRail->SetMultiColor(NEEDDG_COLOR);
    myShape* removed = feature(d, 0, 400, 100, 500);
    removed->needDG = false;

    ColorRemovedRails(d);
    EXPECT_EQ(removedRail->color, VDDGND_COLOR);
    EXPECT_EQ(removedRail->realBoxes[0]->color, VDDGND_COLOR);
    EXPECT_EQ(railPiece->color, VDDGND_COLOR);
    EXPECT_EQ(keptRail->color, NEEDDG_COLOR);
    EXPECT_EQ(removed->color, -1);
}

}  // namespace
