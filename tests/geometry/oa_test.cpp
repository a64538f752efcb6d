#include "geometry/oa.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string str(const oaBox& b) {
    std::ostringstream os;
    os << b;
    return os.str();
}

std::vector<oaPoint> compressed(std::vector<oaPoint> in) {
    oaPointArray a;
    for (const oaPoint& p : in) a.append(p);
    a.compress(a, 1);
    return a.points();
}

TEST(OaBox, OverlapsWithAndWithoutEdges) {
    oaBox a(0, 0, 10, 10);
    EXPECT_TRUE(a.overlaps(oaBox(5, 5, 15, 15), 0));
    EXPECT_TRUE(a.overlaps(oaBox(5, 5, 15, 15), 1));
    // Shared edge and shared corner: only with edges.
    EXPECT_FALSE(a.overlaps(oaBox(10, 0, 20, 10), 0));
    EXPECT_TRUE(a.overlaps(oaBox(10, 0, 20, 10), 1));
    EXPECT_FALSE(a.overlaps(oaBox(10, 10, 20, 20), 0));
    EXPECT_TRUE(a.overlaps(oaBox(10, 10, 20, 20), 1));
    EXPECT_FALSE(a.overlaps(oaBox(11, 0, 20, 10), 1));
    // Degenerate boxes share no area but touch.
    oaBox line(5, 0, 5, 10);
    EXPECT_FALSE(a.overlaps(line, 0));
    EXPECT_FALSE(line.overlaps(a, 0));
    EXPECT_TRUE(line.overlaps(a, 1));
    oaBox point(3, 3, 3, 3);
    EXPECT_TRUE(a.overlaps(point, 1));
    EXPECT_FALSE(a.overlaps(point, 0));
}

TEST(OaBox, IntersectionAndPrintedForm) {
    oaBox a(0, 0, 100, 50), r;
    a.intersection(oaBox(-120, 20, 30, 200), r);
    EXPECT_EQ(str(r), "(0,20;30,50)");
    a.intersection(a, a);
    EXPECT_EQ(a, oaBox(0, 0, 100, 50));
    // Disjoint boxes give an inverted (empty) result.
    a.intersection(oaBox(200, 0, 300, 50), r);
    EXPECT_LT(r.right(), r.left());
    EXPECT_LT(oaBox(0, 0, 1, 1), oaBox(0, 1, 0, 0));
}

TEST(OaPointArray, CompressKeepsOnlyCorners) {
    // Repeats and collinear points, the closing repeat included, go.
    EXPECT_EQ(compressed({{0, 0}, {50, 0}, {100, 0}, {100, 0}, {100, 50}, {0, 50}, {0, 0}}),
              (std::vector<oaPoint>{{0, 0}, {100, 0}, {100, 50}, {0, 50}}));
    // A collinear point at the seam (first point on the closing edge).
    EXPECT_EQ(compressed({{0, 25}, {0, 0}, {100, 0}, {100, 50}, {0, 50}}),
              (std::vector<oaPoint>{{0, 0}, {100, 0}, {100, 50}, {0, 50}}));
    // The last point on the edge from the one before to the first.
    EXPECT_EQ(compressed({{0, 0}, {100, 0}, {100, 50}, {0, 50}, {0, 30}}),
              (std::vector<oaPoint>{{0, 0}, {100, 0}, {100, 50}, {0, 50}}));
    // True corners of an L keep their order.
    std::vector<oaPoint> l{{0, 0}, {100, 0}, {100, 50}, {40, 50}, {40, 200}, {0, 200}};
    EXPECT_EQ(compressed(l), l);
    // Points on a slanted edge are not corners either.
    EXPECT_EQ(compressed({{0, 0}, {100, 0}, {100, 50}, {50, 75}, {0, 100}}),
              (std::vector<oaPoint>{{0, 0}, {100, 0}, {100, 50}, {0, 100}}));
    EXPECT_TRUE(compressed({}).empty());
    EXPECT_EQ(compressed({{1, 1}, {1, 1}, {1, 1}}), (std::vector<oaPoint>{{1, 1}}));
}

TEST(OaPointArray, AccessAppendResize) {
    oaPointArray a;
    a.append(oaPoint(1, 2));
    a.append(oaPoint(3, 4));
    EXPECT_EQ(a.getNumElements(), 2u);
    a[1].x() = 7;
    EXPECT_EQ(a[1], oaPoint(7, 4));
    a.setSize(10, true);
    EXPECT_EQ(a.getNumElements(), 2u);
    EXPECT_GE(a.getSize(), 10u);
    a.setNumElements(3);
    EXPECT_EQ(a[2], oaPoint(0, 0));
    a.setSize(5, false);
    EXPECT_EQ(a.getNumElements(), 0u);
    a.append(oaPoint(9, 9));
    a.setSize(0);
    EXPECT_EQ(a.getNumElements(), 0u);
    EXPECT_EQ(a.getSize(), 0u);
}

}  // namespace
