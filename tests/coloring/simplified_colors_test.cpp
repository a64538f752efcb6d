#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/params.h"
#include "coloring/coloring.h"
#include "design/design.h"
#include "solvers/solvers.h"
#include "support/record_builder.h"
#include "support/test_support.h"

namespace {

using namespace testrecords;

class SimplifiedColorsTest : public testsupport::GlobalsTest {
  protected:
    // A feature that layout-graph simplification removed, pushed on the stack.
    myShape* removed(int l, int b, int r, int t) {
        myShape* s = feature(d, l, b, r, t);
        s->needDG = false;
        d.simplifiedShapes.push(s->id);
        return s;
    }
    // A feature still in the graphs, coloured c as a whole.
    myShape* colored(int c, int l = 0, int b = 0, int r = 100, int t = 100) {
        myShape* s = feature(d, l, b, r, t);
        s->SetMultiColor(c);
        return s;
    }
    static void near(myShape* a, myShape* b) { conflict(a->realBoxes[0], b->realBoxes[0]); }

    MPLDesign d;
};

// Worked by hand: no coloured neighbour gives 0, neighbours on 0 and 1 give
// 2, and all three masks around leave the feature uncoloured, counted as a
// conflict because it is small. An uncoloured neighbour forbids nothing.
TEST_F(SimplifiedColorsTest, LowestFreeMaskOrNone) {
    myShape* alone = removed(0, 0, 100, 100);
    near(alone, feature(d, 0, 0, 100, 100));

    myShape* twoAround = removed(0, 0, 100, 100);
    near(twoAround, colored(0));
    near(twoAround, colored(1));

    myShape* boxedIn = removed(0, 0, 100, 100);
    near(boxedIn, colored(0));
    near(boxedIn, colored(1));
    near(boxedIn, colored(2));

    AssignLGSimplifiedColors(d);
    EXPECT_EQ(alone->color, 0);
    EXPECT_EQ(alone->realBoxes[0]->color, 0);
    EXPECT_EQ(twoAround->color, 2);
    EXPECT_EQ(boxedIn->color, NUM_COLORS);

    CountUncoloredSimplified(d);
    EXPECT_EQ(d.smallUncolored, 1);
    EXPECT_EQ(d.largeUncolored, 0);
}

// The last removed is coloured first, while its earlier-removed neighbour is
// still uncoloured; that neighbour must then avoid it.
TEST_F(SimplifiedColorsTest, LaterColouredNeighboursDoNotConstrain) {
    myShape* first = removed(0, 0, 100, 100);
    myShape* last = removed(0, 0, 100, 100);
    near(first, last);
    near(last, colored(0));
    AssignLGSimplifiedColors(d);
    EXPECT_EQ(last->color, 1);
    EXPECT_EQ(first->color, 0);
}

TEST_F(SimplifiedColorsTest, SkipsRailsAndFeaturesStillInGraphs) {
    myShape* rail = removed(0, 0, 1000, 50);
    rail->isVDDGND = true;
    rail->SetMultiColor(VDDGND_COLOR);
    near(rail, colored(0));
    myShape* kept = colored(NEEDDG_COLOR);
    d.simplifiedShapes.push(kept->id);

    AssignLGSimplifiedColors(d);
    EXPECT_EQ(rail->color, VDDGND_COLOR);
    EXPECT_EQ(kept->color, NEEDDG_COLOR);
}

// A neighbour cut into pieces of several masks, or not coloured as a whole,
// forbids the masks of its pieces within conflict distance (equal counts),
// not those of its far pieces.
TEST_F(SimplifiedColorsTest, CutNeighbourForbidsItsClosePieces) {
    myShape* nextToSplit = removed(0, 0, 100, 100);
    myShape* split = feature(d, 220, 0, 620, 100);
    piece(d, split, 0, 220, 0, 320, 100)->color = 0;  // 120 away
    piece(d, split, 0, 320, 0, 620, 100)->color = 1;  // 220 away
    split->realBoxes[0]->color = SPLIT_COLOR;
    near(nextToSplit, split);

    myShape* nextToMarked = removed(0, 1000, 100, 1100);
    myShape* marked = feature(d, 150, 1000, 450, 1100);
    piece(d, marked, 0, 150, 1000, 200, 1100)->color = 0;  // 50 away
    piece(d, marked, 0, 200, 1000, 230, 1100)->color = 1;  // 100 away
    piece(d, marked, 0, 230, 1000, 450, 1100)->color = 2;  // 130 away
    marked->SetMultiColor(NUM_COLORS);
    near(nextToMarked, marked);

    AssignLGSimplifiedColors(d);
    EXPECT_EQ(nextToSplit->color, 1);
    EXPECT_EQ(nextToMarked->color, 2);
}

TEST_F(SimplifiedColorsTest, GlobalBalancePicksLeastLoadedFreeMask) {
    std::vector<double> density{500, 200, 200};
    EXPECT_EQ(GetMyShapeColor_GlobalBalance(nullptr, {false, true, false}, density), 2);
    EXPECT_EQ(GetMyShapeColor_GlobalBalance(nullptr, {false, false, false}, density), 1);
    EXPECT_EQ(GetMyShapeColor_GlobalBalance(nullptr, {true, true, true}, density), NUM_COLORS);
}

// Worked by hand: masks carry 500, 200 and 200 (the last through a cut
// feature's piece). The first feature may not take 1, so it takes 2 and
// adds its 10000 there; the next then takes 1.
TEST_F(SimplifiedColorsTest, GlobalBalanceFollowsRunningDensity) {
    d.densityBalance = Balance::Global;
    colored(0, 0, 0, 50, 10);
    myShape* onOne = colored(1, 0, 0, 20, 10);
    myShape* cut = colored(NEEDDG_COLOR, 0, 0, 40, 10);
    piece(d, cut, 0, 0, 0, 20, 10)->color = 2;
    piece(d, cut, 0, 20, 0, 40, 10);

    myShape* second = removed(0, 0, 100, 100);
    myShape* first = removed(0, 0, 100, 100);
    near(first, onOne);
    AssignLGSimplifiedColors(d);
    EXPECT_EQ(first->color, 2);
    EXPECT_EQ(second->color, 1);
}

// Local balance never finds a close enough mask, so mode 1 ends in global
// balance; it reports the balance before, during and after.
TEST_F(SimplifiedColorsTest, LocalBalanceFallsBackAndReportsDensity) {
    d.densityBalance = Balance::Local;
    d.wireRTree.insert(colored(0, 0, 0, 50, 10));
    myShape* onOne = colored(1, 0, 0, 20, 10);
    d.wireRTree.insert(onOne);
    myShape* onTwo = colored(2, 0, 0, 20, 10);
    d.wireRTree.insert(onTwo);
    myShape* f = removed(0, 0, 100, 100);
    d.wireRTree.insert(f);
    near(f, onOne);

    std::vector<bool> none(NUM_COLORS, false);
    EXPECT_EQ(GetMyShapeColor_LocalBalance(d, f, none), NUM_COLORS);

    d.report.capture();
    AssignLGSimplifiedColors(d);
    const std::string out = d.report.takeCaptured();
    EXPECT_EQ(f->color, 2);
    EXPECT_EQ(out,
              "STAT | Density Value in DG = 2.5\n"
              "STAT | Density Value after AssignLGSimplifiedColors()  = 51\n"
              "STAT | Density Value after AssignLGSimplifiedColors()  = 51\n");
}

TEST_F(SimplifiedColorsTest, WireDensityAndBalanceValue) {
    EXPECT_DOUBLE_EQ(GetDensityValue({100, 300, 200}), 3.0);
    EXPECT_TRUE(std::isinf(GetDensityValue({0, 1, 2})));

    myShape* whole = feature(d, {oaBox(0, 0, 10, 10), oaBox(10, 0, 30, 10)});
    whole->SetMultiColor(1);
    myShape* cut = colored(NEEDDG_COLOR, 0, 0, 50, 10);
    piece(d, cut, 0, 0, 0, 20, 10)->color = 0;
    piece(d, cut, 0, 20, 0, 25, 10)->color = 1;
    piece(d, cut, 0, 25, 0, 50, 10);
    feature(d, 0, 0, 1000, 1000);  // neither coloured nor cut

    std::vector<double> density{7.0};
    GetWireDensity(d, density);
    EXPECT_EQ(density, (std::vector<double>{200, 350, 0}));
}

TEST_F(SimplifiedColorsTest, LegalColourForTrialVertex) {
    const std::vector<bool> none{false, false, false};
    EXPECT_EQ(AssignLegalColor(d, {false, true, true}, {false, true, false}), -1);
    EXPECT_EQ(AssignLegalColor(d, {true, false, false}, none), 1);
    EXPECT_EQ(AssignLegalColor(d, none, {true, false, true}), -1);
    EXPECT_EQ(AssignLegalColor(d, {true, true, false}, {false, false, true}), 2);
    EXPECT_EQ(AssignLegalColor(d, {true, true, true}, none), -1);

    d.densityBalance = Balance::Local;
    d.colorDensity = {5.0, 1.0, 3.0};
    EXPECT_EQ(AssignLegalColor(d, {false, true, false}, none), 2);
    EXPECT_EQ(AssignLegalColor(d, none, none), 1);
}

}  // namespace
