// The decomposition check on hand-made decompositions (results worked out by
// hand below) and against a brute-force check on random layouts.

#include "input/layout_check.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "geometry/boxdist.h"
#include "geometry/params.h"
#include "input/layout_writer.h"
#include "support/test_support.h"

using namespace chromasect;

namespace {

typedef std::vector<oaPoint> Ring;

Ring ringOf(const oaBox& b) {
    return {
        {b.left(), b.bottom()}, {b.left(), b.top()}, {b.right(), b.top()}, {b.right(), b.bottom()}};
}

struct Shape {
    int datatype;
    Ring ring;
};

// A layout of layer 1, in the format its name gives.
void write(const std::string& path, const std::vector<Shape>& shapes) {
    writeLayout(path, layoutFormatOf(path), LayoutHeader(), 1, [&](const RingSink& sink) {
        for (const Shape& s : shapes) sink(s.datatype, s.ring);
    });
}

struct Outcome {
    int status;
    std::string out;
};

Outcome check(const std::string& path, int layer = 1) {
    testing::internal::CaptureStdout();
    const int status = reportLayerCheck(readDecomposedLayer(path, layer), path, layer);
    return {status, testing::internal::GetCapturedStdout()};
}

std::vector<std::string> checkLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
        if (l.rfind("CHECK | ", 0) == 0) lines.push_back(l);
    return lines;
}

class LayoutCheck : public testsupport::GlobalsTest {
  protected:
    testsupport::ScopedWorkDir dir;
};

// Spacing 120. Mask 0 (datatype 1): A (0,0;100,60); B (200,0;300,60), 100
// right of A: a violation; C (420,0;520,60), exactly 120 right of B: clean;
// D (580,140;680,200), 60 right of and 80 above C: 100 diagonally, a
// violation; E (0,300;100,360) drawn as two abutting halves, one polygon;
// F (190,390;250,450), 90 right of and 30 above E: 94.87, a violation;
// G (340,540;400,600), 90 and 90 from F: 127.28, clean although each axis
// gap is below 120; a U whose arms are 80 apart: one polygon, clean; a
// frame drawn as four bars around a hole with a square inside, 50 from the
// frame: a violation. Mask 1: H (100,0;150,60) abuts A: a stitch; J
// overlaps I of mask 2: a stitch. Datatype 9: one unassigned shape. Markers
// (10, 11) over everything and a mask shape on layer 2 are not looked at.
std::vector<Shape> handMade() {
    std::vector<Shape> s;
    auto box = [&](int dt, int l, int b, int r, int t) {
        s.push_back({dt, ringOf(oaBox(l, b, r, t))});
    };
    box(1, 0, 0, 100, 60);       // A
    box(1, 200, 0, 300, 60);     // B
    box(1, 420, 0, 520, 60);     // C
    box(1, 580, 140, 680, 200);  // D
    box(1, 0, 300, 50, 360);     // E, left half
    box(1, 50, 300, 100, 360);   // E, right half
    box(1, 190, 390, 250, 450);  // F
    box(1, 340, 540, 400, 600);  // G
    s.push_back({1,
                 {{1000, 0},
                  {1000, 300},
                  {1060, 300},
                  {1060, 60},
                  {1140, 60},
                  {1140, 300},
                  {1200, 300},
                  {1200, 0}}});  // U
    box(1, 2000, 0, 2400, 100);  // frame
    box(1, 2000, 300, 2400, 400);
    box(1, 2000, 100, 2100, 300);
    box(1, 2300, 100, 2400, 300);
    box(1, 2150, 150, 2250, 250);  // inside the frame
    box(2, 100, 0, 150, 60);       // H
    box(2, 1650, 0, 1750, 60);     // J
    box(3, 1600, 0, 1700, 60);     // I
    box(9, 3000, 0, 3100, 60);     // unassigned
    box(10, 0, 0, 5000, 5000);
    box(11, 0, 0, 5000, 5000);
    return s;
}

TEST_F(LayoutCheck, HandMadeDecompositionInBothFormats) {
    const std::vector<std::string> expected = {
        "CHECK | spacing on mask 0: polygon at (0,0) bbox (0,0;100,60) and polygon at (200,0) "
        "bbox (200,0;300,60), distance 100 < 120, between (100,0;200,60)",
        "CHECK | spacing on mask 0: polygon at (420,0) bbox (420,0;520,60) and polygon at "
        "(580,140) bbox (580,140;680,200), distance 100 < 120, between (520,60;580,140)",
        "CHECK | spacing on mask 0: polygon at (2000,0) bbox (2000,0;2400,400) and polygon at "
        "(2150,150) bbox (2150,150;2250,250), distance 50 < 120, between (2100,150;2150,250)",
        "CHECK | spacing on mask 0: polygon at (0,300) bbox (0,300;100,360) and polygon at "
        "(190,390) bbox (190,390;250,450), distance 94.87 < 120, between (100,360;190,390)",
        "CHECK | stitch between mask 0 and mask 1 at (100,0;100,60): polygon at (0,0) bbox "
        "(0,0;100,60) and polygon at (100,0) bbox (100,0;150,60)",
        "CHECK | stitch between mask 1 and mask 2 at (1650,0;1700,60): polygon at (1650,0) bbox "
        "(1650,0;1750,60) and polygon at (1600,0) bbox (1600,0;1700,60)",
        "CHECK | unassigned shape: polygon at (3000,0) bbox (3000,0;3100,60)",
        "CHECK | spacing violations: 4, stitches: 2, unassigned shapes: 1",
    };
    // The text form also carries a mask shape on layer 2, 20 from A.
    write("hand.gds", handMade());
    write("hand.ascii", handMade());
    std::string text = testsupport::readFile("hand.ascii");
    text.insert(
        text.find("ENDSTR"),
        "BOUNDARY\nLAYER: 2\nDATATYPE: 1\nXY: 100: 0, 120: 0, 120: 60, 100: 60, 100: 0\nENDEL\n");
    testsupport::writeFile("hand.ascii", text);
    for (const char* file : {"hand.gds", "hand.ascii"}) {
        SCOPED_TRACE(file);
        const Outcome r = check(file);
        EXPECT_EQ(checkLines(r.out), expected);
        EXPECT_EQ(r.status, 1);
    }
    // Without the unassigned shape, still the violations; at spacing 100,
    // A-B and C-D (exactly 100 apart) are clean too.
    std::vector<Shape> shapes = handMade();
    shapes.erase(shapes.begin() + 17);  // unassigned
    write("v.ascii", shapes);
    EXPECT_EQ(check("v.ascii").status, 1);
    MINDPLDIST = 100;
    EXPECT_EQ(checkLines(check("v.ascii").out).back(),
              "CHECK | spacing violations: 2, stitches: 2, unassigned shapes: 0");
    // Without those, clean whatever the stitches.
    MINDPLDIST = 120;
    for (int i : {13, 6, 3, 1}) shapes.erase(shapes.begin() + i);  // square, F, D, B
    write("clean.ascii", shapes);
    const Outcome clean = check("clean.ascii");
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(checkLines(clean.out).back(),
              "CHECK | spacing violations: 0, stitches: 2, unassigned shapes: 0");
}

TEST_F(LayoutCheck, WhatCountsAsAPolygonAndAsAPlace) {
    std::vector<Shape> s;
    auto box = [&](int dt, int l, int b, int r, int t) {
        s.push_back({dt, ringOf(oaBox(l, b, r, t))});
    };
    // Two mask-0 squares meeting at a corner stay two polygons, 0 apart.
    box(1, 0, 0, 100, 100);
    box(1, 100, 100, 200, 200);
    // Many close rectangles of two polygons make one violation: a comb whose
    // teeth all end 50 below a bar.
    box(1, 1000, 0, 1500, 50);
    box(1, 1000, 110, 1500, 160);
    for (int x = 1000; x < 1500; x += 100) box(1, x, 50, x + 20, 60);
    // A mask-1 bar touching a mask-2 bar along two separate stretches (a
    // U lying on it): two places; a long edge cut into slices: one place.
    box(2, 3000, 0, 3300, 50);
    s.push_back({3,
                 {{3000, 50},
                  {3000, 150},
                  {3300, 150},
                  {3300, 50},
                  {3250, 50},
                  {3250, 100},
                  {3050, 100},
                  {3050, 50}}});
    for (int y = 0; y < 400; y += 100) {  // two staircases back to back
        box(2, 4000 - y, y, 4050, y + 100);
        box(3, 4050, y, 4100 + y, y + 100);
    }
    // A mask corner on another mask's corner: a place of one point.
    box(2, 5000, 0, 5100, 100);
    box(1, 5100, 100, 5200, 200);
    write("t.ascii", s);
    const std::vector<std::string> lines = checkLines(check("t.ascii").out);
    const std::vector<std::string> expected = {
        "CHECK | spacing on mask 0: polygon at (0,0) bbox (0,0;100,100) and polygon at (100,100) "
        "bbox (100,100;200,200), distance 0 < 120, between (100,100;100,100)",
        "CHECK | spacing on mask 0: polygon at (1000,0) bbox (1000,0;1500,60) and polygon at "
        "(1000,110) bbox (1000,110;1500,160), distance 50 < 120, between (1000,60;1020,110)",
        "CHECK | stitch between mask 0 and mask 1 at (5100,100;5100,100): polygon at (5100,100) "
        "bbox (5100,100;5200,200) and polygon at (5000,0) bbox (5000,0;5100,100)",
        "CHECK | stitch between mask 1 and mask 2 at (3000,50;3050,50): polygon at (3000,0) bbox "
        "(3000,0;3300,50) and polygon at (3000,50) bbox (3000,50;3300,150)",
        "CHECK | stitch between mask 1 and mask 2 at (3250,50;3300,50): polygon at (3000,0) bbox "
        "(3000,0;3300,50) and polygon at (3000,50) bbox (3000,50;3300,150)",
        "CHECK | stitch between mask 1 and mask 2 at (4050,0;4050,400): polygon at (4000,0) bbox "
        "(3700,0;4050,400) and polygon at (4050,0) bbox (4050,0;4400,400)",
        "CHECK | spacing violations: 2, stitches: 4, unassigned shapes: 0",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(LayoutCheck, LayoutsThatProveNothing) {
    // Nothing on the layer's mask or unassigned datatypes (a wrong layer,
    // or an undecomposed layout): status 2, never "clean".
    write("undecomposed.ascii", {{0, ringOf(oaBox(0, 0, 10, 10))}});
    Outcome r = check("undecomposed.ascii");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("WARNING| 1 polygons of layer 1 on datatypes that hold no mask ignored"),
              std::string::npos);
    EXPECT_NE(r.out.find("ERROR| no shape on a mask datatype of layer 1"), std::string::npos);
    write("masks.gds", {{1, ringOf(oaBox(0, 0, 10, 10))}});
    EXPECT_EQ(check("masks.gds", 5).status, 2);
    EXPECT_EQ(check("masks.gds", 1).status, 0);
    // A diagonal edge cannot be checked: reported, and the result is not clean.
    write("diag.ascii", {{1, ringOf(oaBox(0, 0, 10, 10))}, {2, {{100, 0}, {200, 0}, {100, 100}}}});
    r = check("diag.ascii");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("WARNING| 1 non-Manhattan boundaries on layer 1 skipped"),
              std::string::npos);
    EXPECT_NE(r.out.find("ERROR| 1 shapes of layer 1 could not be checked"), std::string::npos);
}

// Random masks of random rectangles, merged, against every polygon pair.
TEST_F(LayoutCheck, IndexedSearchFindsWhatAllPairsFind) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        MINDPLDIST = 20 + int(rng() % 100);
        std::vector<RectilinearMerge> merges(3);
        for (int i = 0; i < 150; ++i) {
            const int x = int(rng() % 3000), y = int(rng() % 3000);
            merges[rng() % 3].addBox(
                oaBox(x, y, x + 5 + int(rng() % 200), y + 5 + int(rng() % 60)));
        }
        std::vector<std::vector<MergedPolygon> > masks;
        for (const RectilinearMerge& m : merges) masks.push_back(m.polygons());
        const MaskCheck fast = checkMasks(masks);

        std::set<std::tuple<int, size_t, size_t, int64_t> > close, found;
        std::set<std::tuple<int, int, size_t, size_t> > touching, stitched;
        for (int m = 0; m < 3; ++m) {
            for (int n = m; n < 3; ++n) {
                for (size_t i = 0; i < masks[m].size(); ++i) {
                    for (size_t j = m == n ? i + 1 : 0; j < masks[n].size(); ++j) {
                        int64_t best = INT64_MAX;
                        for (const oaBox& a : rectanglesOf(masks[m][i]))
                            for (const oaBox& b : rectanglesOf(masks[n][j]))
                                best = std::min<int64_t>(best, Box2BoxDist(&a, &b, 1));
                        if (m == n && best < int64_t(MINDPLDIST) * MINDPLDIST)
                            close.insert({m, i, j, best});
                        if (m != n && best == 0) touching.insert({m, n, i, j});
                    }
                }
            }
        }
        for (const SpacingViolation& v : fast.violations)
            found.insert({v.mask, v.first, v.second, v.squaredDistance});
        for (const MaskContact& c : fast.stitches)
            stitched.insert({c.firstMask, c.secondMask, c.first, c.second});
        EXPECT_EQ(found, close) << "round " << round;
        EXPECT_EQ(found.size(), fast.violations.size());  // one line per pair
        EXPECT_EQ(stitched, touching) << "round " << round;
        EXPECT_GT(close.size(), 0u);
    }
}

}  // namespace
