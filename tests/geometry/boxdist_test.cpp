#include "geometry/boxdist.h"

#include <gtest/gtest.h>

#include <climits>

#include "geometry/params.h"
#include "support/test_support.h"

namespace {

class BoxDist : public testsupport::GlobalsTest {};

// Both argument orders must agree; returns the common value.
int dist(const oaBox& a, const oaBox& b, int s = 1) {
    EXPECT_EQ(Box2BoxDist(&a, &b, s), Box2BoxDist(&b, &a, s)) << a << " " << b;
    return Box2BoxDist(&a, &b, s);
}

TEST_F(BoxDist, SquaredGapsOfTouchingSideBySideAndDiagonalBoxes) {
    oaBox a(0, 0, 10, 10);
    EXPECT_EQ(dist(a, oaBox(10, 0, 20, 10)), 0);   // shared edge
    EXPECT_EQ(dist(a, oaBox(10, 10, 20, 20)), 0);  // shared corner
    EXPECT_EQ(dist(a, oaBox(2, 2, 4, 4)), 0);      // containment
    EXPECT_EQ(dist(a, oaBox(15, 0, 25, 10)), 25);
    EXPECT_EQ(dist(a, oaBox(0, -20, 10, -5)), 25);
    EXPECT_EQ(dist(a, oaBox(13, 14, 20, 20)), 25);  // 3 x 4 diagonal
    EXPECT_EQ(dist(a, oaBox(130, 0, 140, 10)), MINDPLDIST * MINDPLDIST);
    // s = 2: a becomes (0,0,5,5), b (7,0,12,5); gap 2, times s * s.
    EXPECT_EQ(dist(a, oaBox(15, 0, 25, 10), 2), 16);
}

TEST_F(BoxDist, GapsAreCappedAndTheSumSaturates) {
    oaBox a(0, 0, 10, 10);
    EXPECT_EQ(dist(a, oaBox(1010, 5, 1020, 50)), 57600);
    EXPECT_EQ(dist(a, oaBox(1010, 1010, 1020, 1020)), 115200);
    EXPECT_EQ(dist(a, oaBox(249, 0, 260, 10)), 239 * 239);
    // Gaps that do not fit in 32 bits are capped all the same.
    EXPECT_EQ(dist(oaBox(INT_MIN, INT_MIN, INT_MIN + 1, INT_MIN + 1),
                   oaBox(INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX)),
              115200);
    MINDPLDIST = 50;  // the cap follows the spacing
    EXPECT_EQ(dist(a, oaBox(1010, 1010, 1020, 1020)), 20000);
    MINDPLDIST = 20000;  // 2 * 40000^2 exceeds INT_MAX: saturate, never wrap
    EXPECT_EQ(dist(a, oaBox(1000000, 1000000, 1000010, 1000010)), INT_MAX);
    EXPECT_EQ(dist(a, oaBox(1000000, 0, 1000010, 10)), 40000 * 40000);
}

}  // namespace
