// The decomposition check on hand-made decompositions (results worked out by
// hand below) and against a brute-force check on random layouts.

#include "check/layout_check.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "base/fatal.h"
#include "base/params.h"
#include "geometry/boxdist.h"
#include "layout/layout_file.h"
#include "support/test_support.h"

using namespace chromasect;

namespace {

typedef std::vector<std::pair<int, std::vector<oaPoint> > > Shapes;  // datatype, ring

void box(Shapes& s, int dt, int l, int b, int r, int t) {
    s.push_back({dt, {{l, b}, {l, t}, {r, t}, {r, b}}});
}

// Writes layer 1 in the format the name gives, checks it; the status and the
// "CHECK | " lines, or the whole output with everything = true.
std::pair<int, std::vector<std::string> > check(const std::string& path, const Shapes& shapes,
                                                bool everything = false) {
    writeLayout(path, layoutFormatOf(path), LayoutHeader(), 1, [&](const RingSink& sink) {
        for (const auto& s : shapes) sink(s.first, s.second);
    });
    chromasect::Reporter report;
    report.capture();
    const int status = reportLayerCheck(readDecomposedLayer(path, 1, report), path, 1, report);
    std::istringstream in(report.takeCaptured());
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        if (everything || l.rfind("CHECK | ", 0) == 0) lines.push_back(l);
    return {status, lines};
}

class LayoutCheck : public testsupport::GlobalsTest {
  protected:
    testsupport::ScopedWorkDir dir;
};

// Spacing 120. Mask 0: A (0,0;100,60); B 100 right of A: a violation; C
// exactly 120 right of B: clean; D 60 right of and 80 above C: 100
// diagonally, a violation; E drawn as two abutting halves (one polygon) and
// F 90 right of and 30 above it: 94.87, a violation; G 90 and 90 from F:
// 127.28, clean although both axis gaps are below 120; a U whose arms are 80
// apart: one polygon, clean; a frame of four bars around a square 50 inside
// it: a violation. Mask 1: H abuts A, J overlaps I of mask 2: two stitches.
// One unassigned shape; markers over everything are not looked at.
Shapes handMade() {
    Shapes s;
    box(s, 1, 0, 0, 100, 60);       // A
    box(s, 1, 200, 0, 300, 60);     // B
    box(s, 1, 420, 0, 520, 60);     // C
    box(s, 1, 580, 140, 680, 200);  // D
    box(s, 1, 0, 300, 50, 360);     // E
    box(s, 1, 50, 300, 100, 360);
    box(s, 1, 190, 390, 250, 450);  // F
    box(s, 1, 340, 540, 400, 600);  // G
    s.push_back({1,
                 {{1000, 0},
                  {1000, 300},
                  {1060, 300},
                  {1060, 60},
                  {1140, 60},
                  {1140, 300},
                  {1200, 300},
                  {1200, 0}}});
    box(s, 1, 2000, 0, 2400, 100);
    box(s, 1, 2000, 300, 2400, 400);
    box(s, 1, 2000, 100, 2100, 300);
    box(s, 1, 2300, 100, 2400, 300);
    box(s, 1, 2150, 150, 2250, 250);
    box(s, 2, 100, 0, 150, 60);    // H
    box(s, 2, 1650, 0, 1750, 60);  // J
    box(s, 3, 1600, 0, 1700, 60);  // I
    box(s, 9, 3000, 0, 3100, 60);
    box(s, 10, 0, 0, 5000, 5000);
    box(s, 11, 0, 0, 5000, 5000);
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
    EXPECT_EQ(check("hand.gds", handMade()), std::make_pair(1, expected));
    EXPECT_EQ(check("hand.ascii", handMade()), std::make_pair(1, expected));

    // Without B, D, F, the square and the unassigned shape: clean, stitches
    // and all.
    Shapes clean = handMade();
    for (int i : {17, 13, 6, 3, 1}) clean.erase(clean.begin() + i);
    const std::vector<std::string> stitchesOnly = {
        expected[4], expected[5],
        "CHECK | spacing violations: 0, stitches: 2, unassigned shapes: 0"};
    EXPECT_EQ(check("clean.ascii", clean), std::make_pair(0, stitchesOnly));
}

TEST_F(LayoutCheck, PolygonsAndPlaces) {
    Shapes s;
    // Mask 0 squares meeting at a corner stay two polygons, 0 apart.
    box(s, 1, 0, 0, 100, 100);
    box(s, 1, 100, 100, 200, 200);
    // A U of mask 2 lying on a bar of mask 1 meets it in two places.
    box(s, 2, 3000, 0, 3300, 50);
    s.push_back({3,
                 {{3000, 50},
                  {3000, 150},
                  {3300, 150},
                  {3300, 50},
                  {3250, 50},
                  {3250, 100},
                  {3050, 100},
                  {3050, 50}}});
    // Two staircases back to back: one edge, cut into slices, one place.
    for (int y = 0; y < 400; y += 100) {
        box(s, 2, 4000 - y, y, 4050, y + 100);
        box(s, 3, 4050, y, 4100 + y, y + 100);
    }
    // Corners of two masks meeting: a place of one point.
    box(s, 2, 5000, 0, 5100, 100);
    box(s, 1, 5100, 100, 5200, 200);
    std::vector<std::string> places;
    const std::vector<std::string> lines = check("t.ascii", s).second;
    for (const std::string& l : lines) places.push_back(l.substr(0, l.find(':', 8)));
    const std::vector<std::string> expected = {
        "CHECK | spacing on mask 0",
        "CHECK | stitch between mask 0 and mask 1 at (5100,100;5100,100)",
        "CHECK | stitch between mask 1 and mask 2 at (3000,50;3050,50)",
        "CHECK | stitch between mask 1 and mask 2 at (3250,50;3300,50)",
        "CHECK | stitch between mask 1 and mask 2 at (4050,0;4050,400)",
        "CHECK | spacing violations"};
    EXPECT_EQ(places, expected);
    EXPECT_NE(lines[0].find("distance 0 < 120"), std::string::npos) << lines[0];
}

// Each row: a layout (cut short by some bytes, or not) whose check proves
// nothing, with its status and first "WARNING| " or "ERROR| " line; the
// sound mask box in it is clean.
TEST_F(LayoutCheck, LayoutsThatProveNothingAreNotClean) {
    Shapes sound;
    box(sound, 1, 0, 0, 10, 10);
    auto with = [&](int dt, std::vector<oaPoint> ring) {
        Shapes s = sound;
        s.push_back({dt, std::move(ring)});
        return s;
    };
    Shapes undecomposed;
    box(undecomposed, 0, 0, 0, 10, 10);
    const std::string kStopped = "WARNING| reading stopped at line ";
    struct Row {
        const char* path;
        Shapes shapes;
        size_t cut;  // bytes taken off the end of the file
        std::string first;
        std::string text = "";  // written instead of the shapes
    } rows[] = {
        {"u.gds", undecomposed, 0,
         "WARNING| 1 polygons of layer 1 on datatypes that hold no mask ignored"},
        {"d.ascii", with(2, {{100, 0}, {200, 0}, {100, 100}}), 0,
         "WARNING| 1 non-Manhattan boundaries on layer 1 skipped"},
        {"f.ascii", with(2, {{100, 0}, {200, 0}}), 0,
         "WARNING| 1 degenerate boundaries on layer 1 skipped (fewer than four corners, or no "
         "area)"},
        {"f.gds", with(2, {{100, 0}, {200, 0}, {200, 0}, {100, 0}}), 0,
         "WARNING| 1 degenerate boundaries or paths on layer 1 skipped (fewer than four corners, "
         "or no width)"},
        {"z.gds", with(2, {{100, 0}, {200, 0}, {300, 0}, {150, 0}}), 0,
         "WARNING| 1 degenerate boundaries or paths on layer 1 skipped (fewer than four corners, "
         "or no width)"},
        {"x.ascii", with(2, {{100, 0}, {110, 0}, {110, 30}, {120, 30}, {120, 10}, {100, 10}}), 0,
         "WARNING| 1 self-crossing boundaries on layer 1 skipped"},
        {"t.ascii", sound, std::string("ENDSTR\nENDLIB\n").size(), kStopped + "11"},
        {"e.ascii", with(2, {{100, 0}, {200, 0}, {200, 10}, {100, 10}}), 20, kStopped + "15"},
        {"m.ascii",
         {},
         0,
         "WARNING| 1 elements with a missing or damaged record line",
         "HEADER: 600\nBGNLIB\nLIBNAME: L\nUNITS: 0.001, 1e-09\nBGNSTR\nSTRNAME: S\nBOUNDARY\n"
         "LAYER: 1\nXY: 0: 0, 9: 0, 9: 9, 0: 9, 0: 0\n"
         "ENDEL\nBOUNDARY\nLAYER: 1\nDATATYPE: 1\nXY: 0: 0, 9: 0, 9: 9, 0: 9, 0: 0\nENDEL\n"
         "ENDLIB\n"},
        {"t.gds", sound, 4, "ERROR| corrupt GDSII stream: stream ends without ENDLIB (truncated)"},
    };
    for (const Row& row : rows) {
        writeLayout(row.path, layoutFormatOf(row.path), LayoutHeader(), 1,
                    [&](const RingSink& sink) {
                        for (const auto& s : row.shapes) sink(s.first, s.second);
                    });
        if (!row.text.empty()) testsupport::writeFile(row.path, row.text);
        const std::string whole = testsupport::readFile(row.path);
        testsupport::writeFile(row.path, whole.substr(0, whole.size() - row.cut));
        chromasect::Reporter report;
        report.capture();
        int status = 0;
        try {
            status =
                reportLayerCheck(readDecomposedLayer(row.path, 1, report), row.path, 1, report);
        } catch (const FatalError& e) {
            report.line(e.message());
            status = 2;
        }
        std::istringstream out(report.takeCaptured());
        std::string first;
        for (std::string l; first.empty() && std::getline(out, l);)
            if (l.rfind("WARNING| ", 0) == 0 || l.rfind("ERROR| ", 0) == 0) first = l;
        EXPECT_EQ(status, 2) << row.path;
        EXPECT_EQ(first.substr(0, row.first.size()), row.first) << row.path;
    }
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
        for (int m = 0; m < 3; ++m)
            for (int n = m; n < 3; ++n)
                for (size_t i = 0; i < masks[m].size(); ++i)
                    for (size_t j = m == n ? i + 1 : 0; j < masks[n].size(); ++j) {
                        int64_t best = INT64_MAX;
                        for (const oaBox& a : rectanglesOf(masks[m][i]))
                            for (const oaBox& b : rectanglesOf(masks[n][j]))
                                best = std::min<int64_t>(best, Box2BoxDist(&a, &b, 1));
                        if (m == n && best < int64_t(MINDPLDIST) * MINDPLDIST)
                            close.insert({m, i, j, best});
                        if (m != n && best == 0) touching.insert({m, n, i, j});
                    }
        for (const SpacingViolation& v : fast.violations)
            found.insert({v.mask, v.first, v.second, v.squaredDistance});
        for (const MaskContact& c : fast.stitches)
            stitched.insert({c.firstMask, c.secondMask, c.first, c.second});
        EXPECT_EQ(found, close) << "round " << round;
        EXPECT_EQ(found.size(), fast.violations.size());  // one line per pair
        EXPECT_EQ(stitched, touching) << "round " << round;
        EXPECT_FALSE(close.empty());
    }
}

}  // namespace
