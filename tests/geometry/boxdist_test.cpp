#include "geometry/boxdist.h"

#include <gtest/gtest.h>

#include <climits>

#include "geometry/params.h"
#include "support/test_support.h"

namespace {

class BoxDist : public testsupport::GlobalsTest {};

// Both argument orders must agree; returns the common value.
int dist(const oaBox& a, const oaBox& b, int s = 1) {
    int ab = Box2BoxDist(&a, &b, s);
    int ba = Box2BoxDist(&b, &a, s);
    EXPECT_EQ(ab, ba) << a << " " << b;
    return ab;
}

TEST_F(BoxDist, TouchingOrOverlappingIsZero) {
    oaBox a(0, 0, 10, 10);
    EXPECT_EQ(dist(a, oaBox(10, 0, 20, 10)), 0);   // shared edge
    EXPECT_EQ(dist(a, oaBox(10, 10, 20, 20)), 0);  // shared corner
    EXPECT_EQ(dist(a, oaBox(-5, -5, 3, 30)), 0);   // overlap
    EXPECT_EQ(dist(a, oaBox(2, 2, 4, 4)), 0);      // containment
    EXPECT_EQ(dist(a, oaBox(5, 20, 5, 20)), 100);  // a point above
}

TEST_F(BoxDist, SquaredGapSideBySideAndDiagonal) {
    oaBox a(0, 0, 10, 10);
    EXPECT_EQ(dist(a, oaBox(15, 0, 25, 10)), 25);   // right
    EXPECT_EQ(dist(a, oaBox(-30, 2, -5, 8)), 25);   // left
    EXPECT_EQ(dist(a, oaBox(0, -20, 10, -5)), 25);  // below
    EXPECT_EQ(dist(a, oaBox(13, 14, 20, 20)), 25);  // 3 x 4 diagonal
    EXPECT_EQ(dist(a, oaBox(-7, -4, -3, 0)), 9);    // diagonal, y touching
    // The default spacing is the boundary callers test against.
    EXPECT_EQ(dist(a, oaBox(130, 0, 140, 10)), MINDPLDIST * MINDPLDIST);
}

TEST_F(BoxDist, GapsAreCappedAtTwiceTheSpacing) {
    oaBox a(0, 0, 10, 10);
    EXPECT_EQ(dist(a, oaBox(1010, 5, 1020, 50)), 57600);
    EXPECT_EQ(dist(a, oaBox(1010, 1010, 1020, 1020)), 115200);
    EXPECT_EQ(dist(a, oaBox(250, 0, 260, 10)), 57600);  // gap exactly 240
    EXPECT_EQ(dist(a, oaBox(249, 0, 260, 10)), 239 * 239);
    // Extreme coordinates: the gap itself does not fit in 32 bits.
    oaBox lo(INT_MIN, INT_MIN, INT_MIN + 1, INT_MIN + 1);
    oaBox hi(INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX);
    EXPECT_EQ(dist(lo, hi), 115200);
    // The cap follows the current spacing.
    MINDPLDIST = 50;
    EXPECT_EQ(dist(a, oaBox(1010, 1010, 1020, 1020)), 20000);
}

TEST_F(BoxDist, HugeSpacingSaturatesInsteadOfWrapping) {
    oaBox a(0, 0, 10, 10);
    oaBox far(1000000, 1000000, 1000010, 1000010);
    MINDPLDIST = 20000;  // 2 * 40000^2 exceeds INT_MAX
    EXPECT_EQ(dist(a, far), INT_MAX);
    EXPECT_EQ(dist(a, oaBox(1000000, 0, 1000010, 10)), 40000 * 40000);
    MINDPLDIST = INT_MAX;
    EXPECT_EQ(dist(a, far), INT_MAX);
    EXPECT_EQ(dist(a, oaBox(15, 0, 25, 10)), 25);
}

TEST_F(BoxDist, DivisorScalesCoordinatesAndResult) {
    // s = 2: a becomes (0,0,5,5), b (7,0,12,5); gap 2, times s * s.
    EXPECT_EQ(dist(oaBox(0, 0, 10, 10), oaBox(15, 0, 25, 10), 2), 16);
    // Truncation toward zero on negative coordinates: -15 / 2 = -7.
    EXPECT_EQ(dist(oaBox(-15, 0, -11, 10), oaBox(0, 0, 10, 10), 2), 4 * 25);
}

}  // namespace
