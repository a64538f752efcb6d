#include "geometry/records.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/fatal.h"
#include "base/params.h"
#include "support/test_support.h"

namespace {

using chromasect::FatalError;

class Records : public testsupport::GlobalsTest {};

// Expects a fatal failure with the given message and exit status.
template <class F>
void expectFatal(F f, const std::string& message, int status) {
    try {
        f();
        ADD_FAILURE() << "no fatal failure; expected: " << message;
    } catch (const FatalError& e) {
        EXPECT_EQ(e.message(), message);
        EXPECT_EQ(e.status(), status);
    }
}

TEST_F(Records, ShapeColourSetterRangeAndRealBoxes) {
    myShape s(0, 0, 100, 50);
    std::vector<oaBox> rects{oaBox(0, 0, 100, 20), oaBox(0, 20, 40, 50)};
    s.SetRealBoxes(rects);
    ASSERT_EQ(s.realBoxes.size(), 2u);
    EXPECT_EQ(s.realBoxes[0]->shape, &s);
    // The real boxes hold private copies.
    rects[0].left() = 7;
    EXPECT_EQ(*s.realBoxes[0]->box, oaBox(0, 0, 100, 20));

    s.SetMultiColor(2);
    EXPECT_EQ(s.color, 2);
    EXPECT_EQ(s.colorHigh, 1);
    EXPECT_EQ(s.colorLow, 0);
    EXPECT_EQ(s.realBoxes[1]->color, 2);

    s.SetMultiColor(-1);
    EXPECT_EQ(s.color, -1);
    EXPECT_EQ(s.colorHigh, 0);
    EXPECT_EQ(s.colorLow, -1);
    EXPECT_EQ(s.realBoxes[0]->color, -1);

    s.SetMultiColor(NUM_COLORS);  // the NEEDDG marker is accepted
    EXPECT_EQ(s.color, NEEDDG_COLOR);
    expectFatal([&] { s.SetMultiColor(NUM_COLORS + 1); },
                "Error| In myShape::SetColor(), color = 4", chromasect::kExitInternal);
    expectFatal([&] { s.SetMultiColor(-2); }, "Error| In myShape::SetColor(), color = -2",
                chromasect::kExitInternal);
    EXPECT_EQ(s.color, NEEDDG_COLOR);  // a refused colour changes nothing

    // Pieces are not touched by the feature's setter.
    oaBox r(0, 0, 10, 10);
    myBox piece(&r);
    s.myBoxes.push_back(&piece);
    s.SetMultiColor(1);
    EXPECT_EQ(piece.color, -1);
}

TEST_F(Records, SuperShapeSettersAndRotation) {
    oaBox r1(0, 0, 10, 20), r2(10, 0, 15, 20);
    myBox a(&r1), b(&r2);
    mySuperShape v;
    v.boxes = {&a, &b};

    expectFatal([&] { v.SetMultiColorTmp(-1); },
                "Error| In mySuperShape::SetMultiColorTmp(), color = -1",
                chromasect::kExitInternal);
    v.SetMultiColorTmp(NUM_COLORS);
    EXPECT_EQ(v.colorTmp, 3);
    EXPECT_EQ(a.color, -1);  // working colour only

    expectFatal([&] { v.SetMultiColor(4); }, "Error| In mySuperShape::SetMultiColor(), color = 4",
                chromasect::kExitInternal);
    v.SetMultiColor(2);
    EXPECT_EQ(a.color, 2);
    EXPECT_EQ(b.color, 2);

    // Rotation wraps once in either direction.
    v.RotateMultiColorTmp(2);
    EXPECT_EQ(v.colorTmp, 1);
    EXPECT_EQ(v.colorHigh, 0);
    EXPECT_EQ(v.colorLow, 1);
    v.SetMultiColorTmp(0);
    v.RotateMultiColorTmp(-1);
    EXPECT_EQ(v.colorTmp, 2);
    v.SetMultiColorFinal();
    EXPECT_EQ(b.color, 2);

    // An uncommitted vertex cannot be committed.
    mySuperShape u;
    expectFatal([&] { u.SetMultiColorFinal(); },
                "Error| In mySuperShape::SetMultiColor(), color = -1", chromasect::kExitInternal);

    // Copies share the pieces and keep every field.
    v.subDGs = {4, 7};
    v.globalID = 12;
    v.isVDDGND = true;
    mySuperShape c(&v);
    EXPECT_EQ(c.boxes, v.boxes);
    EXPECT_EQ(c.subDGs, v.subDGs);
    EXPECT_EQ(c.globalID, 12);
    EXPECT_EQ(c.colorTmp, 2);
    EXPECT_TRUE(c.isVDDGND);

    EXPECT_DOUBLE_EQ(v.getWireDensity(), 200.0 + 100.0);
    EXPECT_DOUBLE_EQ(u.getWireDensity(), 0.0);
}

TEST_F(Records, BoxOverlapIgnoresDegenerateRectangles) {
    oaBox big(0, 0, 100, 100), line(10, 10, 10, 50), flat(10, 10, 50, 10),
        touching(100, 0, 150, 100);
    myBox a(&big), l(&line), f(&flat), t(&touching);
    EXPECT_FALSE(a.overlaps(&l, true));
    EXPECT_FALSE(l.overlaps(&a, true));
    EXPECT_FALSE(a.overlaps(&f, true));
    EXPECT_TRUE(a.overlaps(&t, true));
    EXPECT_FALSE(a.overlaps(&t, false));
}

TEST_F(Records, ShapeAreasOrderAndPrintedBox) {
    myShape empty(0, 0, 10, 10);
    EXPECT_EQ(empty.GetAreas(), 0);
    myShape l(0, 0, 100, 200);
    std::vector<oaBox> rects{oaBox(0, 0, 100, 50), oaBox(0, 50, 40, 200)};
    l.SetRealBoxes(rects);
    EXPECT_EQ(l.GetAreas(), 5000 + 6000);
    EXPECT_EQ(l.GetDistance(l.realBoxes[0]), 2147483647);

    // Only the first feature's orientation decides the compared edge.
    myShape tall(50, 0, 60, 100), wide(0, 30, 100, 40);
    EXPECT_FALSE(byLeftBottom(&tall, &wide));  // tall: 50 < 0 on left edges
    EXPECT_FALSE(byLeftBottom(&wide, &tall));  // wide: 30 < 0 on bottom edges
    EXPECT_TRUE(byLeftBottom(&tall, &wide) == byLeftBottom(&tall, &l));
    myShape tall2(70, -5, 80, 100);
    EXPECT_TRUE(byLeftBottom(&tall, &tall2));

    oaBox r(1, 2, 3, 4);
    myBox b(&r);
    b.boxIndex = 5;
    b.vertexIndex = 7;
    std::ostringstream os;
    os << b;
    EXPECT_EQ(os.str(), "5|7  (1,2)  (3,4)");
}

TEST_F(Records, SetsAreOrderedByCreation) {
    oaBox r(0, 0, 1, 1);
    myBox first(&r), second(&r), third(&r);
    myBoxSet set{&third, &first, &second};
    std::vector<myBox*> order(set.begin(), set.end());
    EXPECT_EQ(order, (std::vector<myBox*>{&first, &second, &third}));
}

TEST_F(Records, MarkerColoursFollowNumColors) {
    EXPECT_EQ(NEEDDG_COLOR, 3);
    EXPECT_EQ(SPLIT_COLOR, 4);
    EXPECT_EQ(UNSOLVE_COLOR, -1);
    EXPECT_EQ(VDDGND_COLOR, 0);
    EXPECT_EQ(MINDPLDIST, 120);
    EXPECT_FLOAT_EQ(EPE_THRESHOLD, 1.5f);
    EXPECT_EQ(g_R, 3);
}

}  // namespace
