#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "layoutgraph/layoutgraph.h"
#include "support/layout_builder.h"

namespace {

using layouttest::LayoutTest;

// Bands are compared as sets: their order inside a band is the index's.
class Bands : public LayoutTest {
  protected:
    void layout1000() {
        d.minX = d.minY = 0;
        d.maxX = d.maxY = 1000;
    }
    myShape* rail(int l, int b, int r, int t) {
        myShape* s = add(l, b, r, t);
        s->isVDDGND = true;
        return s;
    }
    std::vector<std::set<myShape*> > bands() {
        GenerateLGsPart(d);
        std::vector<std::set<myShape*> > out;
        for (const auto& part : d.lgParts) {
            EXPECT_EQ(asSet(part).size(), part.size()) << "a feature listed twice";
            out.push_back(asSet(part));
        }
        return out;
    }
    typedef std::vector<std::set<myShape*> > Parts;
};

TEST_F(Bands, HorizontalRailCutsUnlessCrossed) {
    myShape* a = add(100, 100, 200, 200);
    myShape* r = rail(0, 400, 1000, 460);
    myShape* b = add(100, 700, 200, 800);
    myShape* touch = add(300, 460, 400, 600);  // on the rail's top edge
    layout1000();
    d.lgs = {{a, r, b, touch}};
    // Cut at 461; the feature reaching the cut is in both bands.
    EXPECT_EQ(bands(), Parts({{a, r, touch}, {b, touch}}));

    // One unit inside the rail's inner band is enough to block the cut.
    myShape* cross = add(600, 459, 700, 600);
    layout1000();
    d.lgs[0].push_back(cross);
    EXPECT_EQ(bands(), Parts({{a, r, b, touch, cross}}));

    // A blocking feature that the first pass removed no longer blocks.
    cross->needDG = false;
    EXPECT_EQ(bands(), Parts({{a, r, touch}, {b, touch}}));
}

TEST_F(Bands, RailsSortedAndOrientedByTheFirst) {
    // Listed top rail first; sorted by bottom the cuts ascend.
    myShape* h2 = rail(0, 600, 1000, 660);
    myShape* p = add(100, 50, 200, 150);
    myShape* q = add(100, 400, 200, 500);
    myShape* h1 = rail(0, 200, 1000, 260);
    myShape* s = add(100, 800, 200, 900);
    layout1000();
    d.lgs = {{h2, p, q, h1, s}};
    EXPECT_EQ(bands(), Parts({{p, h1}, {q, h2}, {s}}));

    // A rail taller than wide cuts in x.
    myShape* v = rail(400, 0, 460, 1000);
    myShape* left = add(100, 100, 200, 200);
    myShape* right = add(700, 100, 800, 200);
    layout1000();
    d.lgs = {{left, v, right}};
    EXPECT_EQ(bands(), Parts({{left, v}, {right}}));
}

TEST_F(Bands, TwoRailsAtOneHeight) {
    // The zero-height rail on the first rail's top gives the same cut
    // (461) again; the band between the two equal cuts holds what crosses
    // y = 461.
    myShape* a = add(100, 100, 200, 200);
    myShape* r1 = rail(0, 400, 1000, 460);
    myShape* r2 = rail(0, 460, 1000, 460);
    myShape* b = add(100, 461, 200, 800);
    layout1000();
    d.lgs = {{a, r1, r2, b}};
    EXPECT_EQ(bands(), Parts({{a, r1, r2, b}, {b}, {b}}));
}

TEST_F(Bands, WithoutRailsOneBandOfTheSurvivors) {
    myShape* a = add(100, 100, 200, 200);
    myShape* b = add(300, 100, 400, 200);
    myShape* c = add(500, 500, 600, 600);
    myShape* gone = add(700, 700, 800, 800);
    layout1000();
    b->needDG = false;
    gone->needDG = false;
    d.lgs = {{a, b}, {gone}, {c}};
    d.lgParts = {{gone}};  // stale content goes
    EXPECT_EQ(bands(), Parts({{a}, {c}}));
    d.lgs.clear();
    EXPECT_TRUE(bands().empty());
}

}  // namespace
