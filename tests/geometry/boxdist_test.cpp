#include "geometry/boxdist.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/params.h"
#include "support/test_support.h"

namespace {

class BoxDist : public testsupport::GlobalsTest {};

// Both argument orders must agree; returns the common value.
int dist(const oaBox& a, const oaBox& b, int s = 1, chromasect::Reporter* report = nullptr) {
    EXPECT_EQ(Box2BoxDist(&a, &b, s, report), Box2BoxDist(&b, &a, s, report)) << a << " " << b;
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
}

TEST_F(BoxDist, SumsBeyond32BitsSaturateAndAreReported) {
    chromasect::Reporter report;
    oaBox a(0, 0, 10, 10);
    MINDPLDIST = 20000;  // 2 * 40000^2 exceeds INT_MAX: saturate, never wrap
    oaBox aboveRight(1000000, 1000000, 1000010, 1000010);
    oaBox aboveLeft(-1000010, 1000000, -1000000, 1000010);
    report.capture();
    EXPECT_EQ(Box2BoxDist(&a, &aboveRight, 1, &report), INT_MAX);
    EXPECT_EQ(Box2BoxDist(&aboveLeft, &a, 1, &report), INT_MAX);  // a lies below right of it
    EXPECT_EQ(report.takeCaptured(),
              "\ntemp = 0  oct = 0  cx = 40000  cy = 40000\n"
              "\ntemp = 0  oct = 6  cx = 40000  cy = 40000\n");
    // One axis alone stays in range: no line.
    report.capture();
    EXPECT_EQ(dist(a, oaBox(1000000, 0, 1000010, 10), 1, &report), 40000 * 40000);
    EXPECT_EQ(report.takeCaptured(), "");
    // 80000^2 wraps past 2^32 back to a positive 32-bit value: no line, as
    // before, but the saturated result is still right.
    MINDPLDIST = 40000;
    report.capture();
    EXPECT_EQ(dist(a, oaBox(1000000, 0, 1000010, 10), 1, &report), INT_MAX);
    EXPECT_EQ(report.takeCaptured(), "");
    // Side by side and wrapping: the facing gap is reported.
    MINDPLDIST = 46340;
    oaBox far(0, 200000, 10, 200010);
    report.capture();
    EXPECT_EQ(Box2BoxDist(&a, &far, 1, &report), INT_MAX);
    EXPECT_EQ(report.takeCaptured(), "\ntemp = 92680  oct = 1  cx = 0  cy = 0\n");
}

}  // namespace
