#include "geometry/polygon_to_rect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

oaPointArray arr(const std::vector<oaPoint>& pts) {
    oaPointArray a;
    for (const oaPoint& p : pts) a.append(p);
    return a;
}

struct Cut {
    bool ok;
    std::vector<oaBox> rects;
    std::vector<oaPoint> left;
};

Cut cut(const std::vector<oaPoint>& pts) {
    oaPointArray a = arr(pts);
    Cut c;
    c.ok = PTR::Polygon2Rectangle(a, c.rects);
    c.left = a.points();
    return c;
}

TEST(PolygonToRect, HandWorkedShapes) {
    // A rectangle with a collinear midpoint: exactly itself.
    Cut r = cut({{0, 0}, {50, 0}, {100, 0}, {100, 40}, {0, 40}});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.rects, (std::vector<oaBox>{{0, 0, 100, 40}}));
    // L: the bottom bar, then the upright.
    Cut l = cut({{0, 0}, {100, 0}, {100, 50}, {40, 50}, {40, 200}, {0, 200}});
    EXPECT_TRUE(l.ok);
    EXPECT_EQ(l.rects, (std::vector<oaBox>{{0, 0, 100, 50}, {0, 50, 40, 200}}));
    // U open at the top: the base, then the arms left to right.
    Cut u =
        cut({{0, 0}, {300, 0}, {300, 200}, {200, 200}, {200, 50}, {100, 50}, {100, 200}, {0, 200}});
    EXPECT_TRUE(u.ok);
    EXPECT_EQ(u.rects,
              (std::vector<oaBox>{{0, 0, 300, 50}, {0, 50, 100, 200}, {200, 50, 300, 200}}));
    EXPECT_TRUE(u.left.empty());
    // One slanted edge: one rectangle, two corners left over, false.
    Cut q = cut({{0, 0}, {100, 0}, {100, 50}, {0, 100}});
    EXPECT_FALSE(q.ok);
    EXPECT_EQ(q.rects, (std::vector<oaBox>{{0, 0, 100, 100}}));
    EXPECT_EQ(q.left, (std::vector<oaPoint>{{100, 50}, {100, 100}}));
    // Refused: three corners; a diamond (nothing right of the lowest corner).
    EXPECT_FALSE(cut({{0, 0}, {10, 0}, {10, 10}}).ok);
    EXPECT_FALSE(cut({{50, 0}, {100, 50}, {50, 100}, {0, 50}}).ok);
    // Toggling removes the first occurrence or appends.
    oaPointArray a = arr({{1, 1}, {2, 2}, {1, 1}});
    PTR::F(a, 1, 1);
    PTR::F(a, 4, 4);
    EXPECT_EQ(a.points(), (std::vector<oaPoint>{{2, 2}, {1, 1}, {4, 4}}));
}

// Blocks A = (0,0;10,20), B = (10,5;30,20) and C = (2,20;10,40). Cutting A
// first removes the corner (10,20) where A, B and C meet, so B's span has
// no corner above it until (10,40); but row 20 holds one corner left of
// the span, (2,20): an edge crosses the whole span there. B is cut at 20,
// not through the outline at 40.
TEST(PolygonToRect, EdgeAcrossTheSpanEndsTheCut) {
    Cut c = cut({{0, 0},
                 {10, 0},
                 {10, 5},
                 {30, 5},
                 {30, 20},
                 {10, 20},
                 {10, 40},
                 {2, 40},
                 {2, 20},
                 {0, 20}});
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.rects, (std::vector<oaBox>{{0, 0, 10, 20}, {10, 5, 30, 20}, {2, 20, 10, 40}}));
}

// Random polyominoes without holes and without cells meeting only at a
// corner (so the outline is simple), traced as outlines: the cut must be
// complete, disjoint and inside the polyomino, and both forms must agree.
TEST(PolygonToRect, PolyominoesAreCutExactly) {
    const int n = 14;
    std::mt19937 rng(2024);
    int tried = 0;
    for (int t = 0; t < 400; ++t) {
        std::vector<char> cell(n * n, 0);
        auto at = [&](int x, int y) {
            return x >= 0 && y >= 0 && x < n && y < n && cell[y * n + x];
        };
        const int cells = 3 + int(rng() % 45);
        cell[(n / 2) * n + n / 2] = 1;
        for (int placed = 1; placed < cells;) {
            int x = int(rng() % n), y = int(rng() % n);
            if (!at(x, y) && (at(x - 1, y) || at(x + 1, y) || at(x, y - 1) || at(x, y + 1))) {
                cell[y * n + x] = 1;
                ++placed;
            }
        }
        bool simple = true;
        for (int y = -1; y < n; ++y)
            for (int x = -1; x < n; ++x) {
                bool a = at(x, y), b = at(x + 1, y), c = at(x, y + 1), d = at(x + 1, y + 1);
                simple = simple && !((a && d && !b && !c) || (b && c && !a && !d));
            }
        std::vector<std::pair<oaPoint, oaPoint>> edges;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                if (!at(x, y)) continue;
                if (!at(x, y - 1)) edges.push_back({{x, y}, {x + 1, y}});
                if (!at(x + 1, y)) edges.push_back({{x + 1, y}, {x + 1, y + 1}});
                if (!at(x, y + 1)) edges.push_back({{x + 1, y + 1}, {x, y + 1}});
                if (!at(x - 1, y)) edges.push_back({{x, y + 1}, {x, y}});
            }
        std::vector<oaPoint> pts;
        oaPoint p = edges[0].first;
        do {
            pts.push_back({p.x() * 10, p.y() * 10});
            for (const auto& e : edges)
                if (e.first == p) {
                    p = e.second;
                    break;
                }
        } while (p != edges[0].first && pts.size() <= edges.size());
        // Corner contacts, or holes (an outline of more than one loop).
        if (!simple || pts.size() != edges.size()) continue;
        ++tried;
        Cut c = cut(pts);
        ASSERT_TRUE(c.ok) << "case " << t;
        int64_t area = 0;
        for (size_t i = 0; i < c.rects.size(); ++i) {
            const oaBox& r = c.rects[i];
            area += r.getWidth() * r.getHeight();
            for (int y = r.bottom() / 10; y < r.top() / 10; ++y)
                for (int x = r.left() / 10; x < r.right() / 10; ++x)
                    ASSERT_TRUE(at(x, y)) << "case " << t << " rect " << r;
            for (size_t j = 0; j < i; ++j) ASSERT_FALSE(r.overlaps(c.rects[j], 0)) << "case " << t;
        }
        EXPECT_EQ(area, int64_t(cells) * 100) << "case " << t;
        oaPointArray a = arr(pts);
        a.compress(a, 1);
        std::vector<oaBox> indexed;
        EXPECT_TRUE(PTR::CutCornersIndexed(a, indexed));
        EXPECT_EQ(indexed, c.rects) << "case " << t;
    }
    EXPECT_GT(tried, 100);
}

// On random point soup (duplicates, no structure) the indexed form agrees
// with the direct one on everything, the corners left over included.
TEST(PolygonToRect, IndexedFormMatchesDirectFormOnGarbage) {
    std::mt19937 rng(99);
    for (int t = 0; t < 2000; ++t) {
        std::vector<oaPoint> p;
        const int n = 1 + int(rng() % 40), grid = 2 + int(rng() % 8);
        for (int i = 0; i < n; ++i) p.push_back({int(rng() % grid) * 10, int(rng() % grid) * 10});
        oaPointArray a = arr(p), b = arr(p);
        std::vector<oaBox> ra, rb;
        ASSERT_EQ(PTR::CutCornersDirect(a, ra), PTR::CutCornersIndexed(b, rb)) << "case " << t;
        ASSERT_EQ(ra, rb) << "case " << t;
        ASSERT_EQ(a.points(), b.points()) << "case " << t;
    }
}

}  // namespace
