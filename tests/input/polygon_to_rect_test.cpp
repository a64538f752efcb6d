#include "input/polygon_to_rect.h"

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

int64_t area(const std::vector<oaBox>& rects) {
    int64_t s = 0;
    for (const oaBox& r : rects) s += r.getWidth() * r.getHeight();
    return s;
}

int64_t shoelace(const std::vector<oaPoint>& p) {
    int64_t s = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const oaPoint &a = p[i], &b = p[(i + 1) % p.size()];
        s += int64_t(a.x()) * b.y() - int64_t(b.x()) * a.y();
    }
    return s < 0 ? -s / 2 : s / 2;
}

bool disjoint(const std::vector<oaBox>& rects) {
    for (size_t i = 0; i < rects.size(); ++i)
        for (size_t j = i + 1; j < rects.size(); ++j)
            if (rects[i].overlaps(rects[j], 0)) return false;
    return true;
}

TEST(PolygonToRect, HandWorkedShapes) {
    // A rectangle, given with a collinear midpoint: exactly itself.
    Cut r = cut({{0, 0}, {50, 0}, {100, 0}, {100, 40}, {0, 40}});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.rects, (std::vector<oaBox>{{0, 0, 100, 40}}));
    EXPECT_TRUE(r.left.empty());

    // L-shape: the bottom bar, then the upright.
    Cut l = cut({{0, 0}, {100, 0}, {100, 50}, {40, 50}, {40, 200}, {0, 200}});
    EXPECT_TRUE(l.ok);
    EXPECT_EQ(l.rects, (std::vector<oaBox>{{0, 0, 100, 50}, {0, 50, 40, 200}}));

    // U-shape open at the top: the base, then the arms left to right.
    Cut u =
        cut({{0, 0}, {300, 0}, {300, 200}, {200, 200}, {200, 50}, {100, 50}, {100, 200}, {0, 200}});
    EXPECT_TRUE(u.ok);
    EXPECT_EQ(u.rects,
              (std::vector<oaBox>{{0, 0, 300, 50}, {0, 50, 100, 200}, {200, 50, 300, 200}}));

    // One slanted edge: one rectangle, two corners left over, false.
    Cut q = cut({{0, 0}, {100, 0}, {100, 50}, {0, 100}});
    EXPECT_FALSE(q.ok);
    EXPECT_EQ(q.rects, (std::vector<oaBox>{{0, 0, 100, 100}}));
    EXPECT_EQ(q.left, (std::vector<oaPoint>{{100, 50}, {100, 100}}));
}

// Blocks A = (0,0;10,20), B = (10,5;30,20) and C = (2,20;10,40). Cutting A
// first removes the corner (10,20), where A's top meets B's top and C's
// side: B's span then has no corner above it until (10,40). The row y = 20
// still holds one corner left of B's span, (2,20), so an edge crosses the
// whole span there: B is cut at 20, not 40, and C remains.
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
    EXPECT_TRUE(c.left.empty());
}

TEST(PolygonToRect, RefusesWhatIsNoRectilinearPolygon) {
    EXPECT_FALSE(cut({{0, 0}, {10, 0}, {10, 10}}).ok);  // three corners
    EXPECT_FALSE(cut({{5, 5}}).ok);
    EXPECT_TRUE(cut({}).ok);  // nothing to cut
    // A diamond: nothing to the right of the lowest corner on its row.
    Cut d = cut({{50, 0}, {100, 50}, {50, 100}, {0, 50}});
    EXPECT_FALSE(d.ok);
    EXPECT_TRUE(d.rects.empty());
    // Lowest row has two corners but nothing lies above its span.
    Cut s = cut({{0, 0}, {10, 0}, {20, 10}, {30, 10}});
    EXPECT_FALSE(s.ok);
}

TEST(PolygonToRect, ToggleRemovesFirstOccurrenceOrAppends) {
    oaPointArray a = arr({{1, 1}, {2, 2}, {1, 1}, {3, 3}});
    PTR::F(a, 1, 1);
    EXPECT_EQ(a.points(), (std::vector<oaPoint>{{2, 2}, {1, 1}, {3, 3}}));
    PTR::F(a, 4, 4);
    EXPECT_EQ(a.points(), (std::vector<oaPoint>{{2, 2}, {1, 1}, {3, 3}, {4, 4}}));
    PTR::F(a, 1, 1);
    PTR::F(a, 4, 4);
    EXPECT_EQ(a.points(), (std::vector<oaPoint>{{2, 2}, {3, 3}}));
}

// Random histogram polygons (a row of columns on a common base, heights
// varying), sometimes mirrored to hang from a common top: valid input that
// must be cut completely into disjoint rectangles of the polygon's area.
std::vector<oaPoint> histogram(std::mt19937& rng, int columns, bool hanging) {
    std::vector<int> xs(1, 0), hs;
    for (int i = 0; i < columns; ++i) {
        xs.push_back(xs.back() + 1 + int(rng() % 40));
        hs.push_back(1 + int(rng() % 60));
    }
    std::vector<oaPoint> p;
    p.push_back({0, 0});
    p.push_back({xs.back(), 0});
    for (int i = columns - 1; i >= 0; --i) {
        p.push_back({xs[i + 1], hs[i]});
        p.push_back({xs[i], hs[i]});
    }
    if (hanging)
        for (oaPoint& q : p) q.y() = 100 - q.y();
    return p;
}

TEST(PolygonToRect, ValidPolygonsAreCutCompletely) {
    std::mt19937 rng(7);
    for (int t = 0; t < 300; ++t) {
        std::vector<oaPoint> p = histogram(rng, 1 + t % 50, t % 2 == 1);
        Cut c = cut(p);
        ASSERT_TRUE(c.ok) << "case " << t;
        EXPECT_TRUE(c.left.empty());
        EXPECT_EQ(area(c.rects), shoelace(p)) << "case " << t;
        EXPECT_TRUE(disjoint(c.rects)) << "case " << t;
    }
}

// A random polyomino without holes and without cells that meet only at a
// corner (so its outline is a simple polygon), as its outline of corners.
struct Polyomino {
    int size = 14;
    std::vector<char> cell;  // size x size, row-major, y up
    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < size && y < size && cell[y * size + x];
    }
};

bool grow(std::mt19937& rng, int cells, Polyomino& p) {
    p.cell.assign(p.size * p.size, 0);
    p.cell[(p.size / 2) * p.size + p.size / 2] = 1;
    for (int placed = 1; placed < cells;) {
        int x = int(rng() % p.size), y = int(rng() % p.size);
        if (p.at(x, y)) continue;
        if (p.at(x - 1, y) || p.at(x + 1, y) || p.at(x, y - 1) || p.at(x, y + 1)) {
            p.cell[y * p.size + x] = 1;
            ++placed;
        }
    }
    for (int y = -1; y < p.size; ++y)
        for (int x = -1; x < p.size; ++x) {
            bool a = p.at(x, y), b = p.at(x + 1, y), c = p.at(x, y + 1), d = p.at(x + 1, y + 1);
            if ((a && d && !b && !c) || (b && c && !a && !d)) return false;  // corner contact
        }
    // Holes: empty cells not reachable from outside.
    std::vector<char> seen((p.size + 2) * (p.size + 2), 0);
    std::vector<std::pair<int, int>> stack{{-1, -1}};
    auto idx = [&](int x, int y) { return (y + 1) * (p.size + 2) + (x + 1); };
    seen[idx(-1, -1)] = 1;
    int outside = 0;
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        ++outside;
        const int d[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        for (auto& e : d) {
            int nx = x + e[0], ny = y + e[1];
            if (nx < -1 || ny < -1 || nx > p.size || ny > p.size) continue;
            if (seen[idx(nx, ny)] || p.at(nx, ny)) continue;
            seen[idx(nx, ny)] = 1;
            stack.push_back({nx, ny});
        }
    }
    return outside + cells == (p.size + 2) * (p.size + 2);
}

// Outline with the region on the left, one vertex per unit step.
std::vector<oaPoint> outline(const Polyomino& p, int scale) {
    std::vector<std::pair<oaPoint, oaPoint>> edges;
    for (int y = 0; y < p.size; ++y)
        for (int x = 0; x < p.size; ++x) {
            if (!p.at(x, y)) continue;
            if (!p.at(x, y - 1)) edges.push_back({{x, y}, {x + 1, y}});
            if (!p.at(x + 1, y)) edges.push_back({{x + 1, y}, {x + 1, y + 1}});
            if (!p.at(x, y + 1)) edges.push_back({{x + 1, y + 1}, {x, y + 1}});
            if (!p.at(x - 1, y)) edges.push_back({{x, y + 1}, {x, y}});
        }
    std::vector<oaPoint> out;
    oaPoint at = edges[0].first;
    for (size_t k = 0; k < edges.size(); ++k) {
        out.push_back({at.x() * scale, at.y() * scale});
        for (const auto& e : edges)
            if (e.first == at) {
                at = e.second;
                break;
            }
    }
    return out;
}

TEST(PolygonToRect, PolyominoesAreCutExactly) {
    std::mt19937 rng(2024);
    int tried = 0;
    for (int t = 0; t < 400; ++t) {
        Polyomino p;
        const int cells = 3 + int(rng() % 45);
        if (!grow(rng, cells, p)) continue;
        ++tried;
        const std::vector<oaPoint> pts = outline(p, 10);
        Cut c = cut(pts);
        ASSERT_TRUE(c.ok) << "case " << t;
        EXPECT_EQ(area(c.rects), int64_t(cells) * 100) << "case " << t;
        EXPECT_TRUE(disjoint(c.rects)) << "case " << t;
        for (const oaBox& r : c.rects)
            for (int y = r.bottom() / 10; y < r.top() / 10; ++y)
                for (int x = r.left() / 10; x < r.right() / 10; ++x)
                    ASSERT_TRUE(p.at(x, y)) << "case " << t << " rect " << r;
        // The indexed form agrees on valid polygons too.
        oaPointArray a;
        for (const oaPoint& q : pts) a.append(q);
        a.compress(a, 1);
        std::vector<oaBox> rb;
        EXPECT_TRUE(PTR::CutCornersIndexed(a, rb));
        EXPECT_EQ(rb, c.rects);
    }
    EXPECT_GT(tried, 100);
}

// The indexed form must agree with the direct one on everything: return
// value, rectangles and the corners left over, in order. Random valid
// polygons and random point soup (duplicates, no structure) alike.
TEST(PolygonToRect, IndexedFormMatchesDirectForm) {
    std::mt19937 rng(99);
    for (int t = 0; t < 2000; ++t) {
        std::vector<oaPoint> p;
        if (t % 3 == 0) {
            p = histogram(rng, 1 + t % 30, t % 2 == 0);
        } else {
            int n = 1 + int(rng() % 40), grid = 2 + int(rng() % 8);
            for (int i = 0; i < n; ++i)
                p.push_back({int(rng() % grid) * 10, int(rng() % grid) * 10});
        }
        oaPointArray a = arr(p), b = arr(p);
        std::vector<oaBox> ra, rb;
        bool oka = PTR::CutCornersDirect(a, ra);
        bool okb = PTR::CutCornersIndexed(b, rb);
        ASSERT_EQ(oka, okb) << "case " << t;
        ASSERT_EQ(ra, rb) << "case " << t;
        ASSERT_EQ(a.points(), b.points()) << "case " << t;
    }
}

TEST(PolygonToRect, HugeCombIsCutWithoutQuadraticCost) {
    // A comb of 40000 teeth (160000 corners) on a base: the base, then
    // every tooth from left to right.
    const int teeth = 40000, w = (teeth - 1) * 20 + 10;
    std::vector<oaPoint> p = {{0, 0}, {w, 0}};
    for (int i = teeth - 1; i >= 0; --i) {
        if (i != teeth - 1) p.push_back({i * 20 + 10, 10});
        p.push_back({i * 20 + 10, 100});
        p.push_back({i * 20, 100});
        if (i != 0) p.push_back({i * 20, 10});
    }
    Cut c = cut(p);
    ASSERT_TRUE(c.ok);
    ASSERT_EQ(c.rects.size(), size_t(teeth + 1));
    EXPECT_EQ(c.rects[0], oaBox(0, 0, w, 10));
    EXPECT_EQ(c.rects[1], oaBox(0, 10, 10, 100));
    EXPECT_EQ(c.rects.back(), oaBox((teeth - 1) * 20, 10, (teeth - 1) * 20 + 10, 100));
    EXPECT_EQ(area(c.rects), shoelace(p));
}

}  // namespace
