// The decomposed layout written from a hand-coloured run, and the cutting of
// polygons too large for one GDSII record. Expected shapes worked out by hand.

#include "output/layout_writer.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "design/design.h"
#include "geometry/polygon_merge.h"
#include "layout/gdsii_stream.h"
#include "support/test_support.h"

using namespace chromasect;

namespace {

typedef std::vector<oaPoint> Ring;

Ring ringOf(const oaBox& b) {
    return {
        {b.left(), b.bottom()}, {b.left(), b.top()}, {b.right(), b.top()}, {b.right(), b.bottom()}};
}

class DecomposedLayout : public testsupport::GlobalsTest {
  protected:
    myShape* feature(const Ring& outline, const std::vector<oaBox>& realBoxes, int color = -1) {
        oaBox b(outline[0].x(), outline[0].y(), outline[0].x(), outline[0].y());
        oaPointArray pts;
        for (const oaPoint& p : outline) {
            pts.append(p);
            b.set(std::min(b.left(), p.x()), std::min(b.bottom(), p.y()),
                  std::max(b.right(), p.x()), std::max(b.top(), p.y()));
        }
        myShape* s = d.shapePool.make(b.left(), b.bottom(), b.right(), b.top());
        s->SetPoints(pts);
        std::vector<oaBox> rects = realBoxes;
        s->SetRealBoxes(rects);
        s->id = static_cast<int>(d.shapes.size());
        s->color = color;
        d.shapes.push_back(s);
        return s;
    }
    myBox* piece(myShape* s, const oaBox& b, int color) {
        myBox* p = d.boxPool.make(d.rectPool.make(b));
        p->shape = s;
        p->color = color;
        s->myBoxes.push_back(p);
        return p;
    }
    std::vector<std::pair<int, Ring> > shapes() {
        std::vector<std::pair<int, Ring> > out;
        forEachDecomposedShape(d, [&](int dt, const Ring& r) { out.emplace_back(dt, r); });
        return out;
    }
    MPLDesign d;
};

}  // namespace

TEST_F(DecomposedLayout, MasksUncolouredFeaturesAndMarkersGoToTheirDatatypes) {
    myShape* a = feature(ringOf(oaBox(0, 0, 100, 20)), {oaBox(0, 0, 100, 20)});
    myBox* a1 = piece(a, oaBox(0, 0, 50, 20), 1);
    myBox* a2 = piece(a, oaBox(50, 0, 100, 20), 1);
    // An L cut by a stitch: its left piece on mask 0, the rest on mask 2.
    myShape* b = feature({{0, 100}, {0, 120}, {180, 120}, {180, 300}, {200, 300}, {200, 100}},
                         {oaBox(0, 100, 200, 120), oaBox(180, 120, 200, 300)});
    myBox* b1 = piece(b, oaBox(0, 100, 100, 120), 0);
    myBox* b2 = piece(b, oaBox(100, 100, 200, 120), 2);
    piece(b, oaBox(180, 120, 200, 300), 2);
    feature(ringOf(oaBox(300, 0, 320, 20)), {oaBox(300, 0, 320, 20)}, 2);   // removed, coloured
    feature(ringOf(oaBox(400, 0, 420, 20)), {oaBox(400, 0, 420, 20)}, -1);  // removed, uncoloured
    myShape* e = feature(ringOf(oaBox(500, 0, 520, 40)), {oaBox(500, 0, 520, 40)});
    piece(e, oaBox(500, 0, 520, 20), 0);
    piece(e, oaBox(500, 20, 520, 40), -1);
    myBox* far = d.boxPool.make(d.rectPool.make(oaBox(130, 40, 150, 60)));
    d.conflicts = {{a1, b1}, {a2, far}};
    d.stitches = {{b1, b2}};

    const std::vector<std::pair<int, Ring> > expected = {
        {2, ringOf(oaBox(0, 0, 100, 20))},
        {1, ringOf(oaBox(0, 100, 100, 120))},
        {3, {{100, 100}, {100, 120}, {180, 120}, {180, 300}, {200, 300}, {200, 100}}},
        {3, ringOf(oaBox(300, 0, 320, 20))},
        {9, ringOf(oaBox(400, 0, 420, 20))},
        {1, ringOf(oaBox(500, 0, 520, 20))},
        {9, ringOf(oaBox(500, 20, 520, 40))},
        {10, ringOf(oaBox(0, 20, 50, 100))},     // the gap between two stacked pieces
        {10, ringOf(oaBox(100, 20, 130, 40))},   // the gap between diagonal neighbours
        {11, ringOf(oaBox(99, 100, 101, 120))},  // the shared edge, one unit wider each side
    };
    EXPECT_EQ(shapes(), expected);

    // Both formats hold the same shapes per datatype, and the line says so.
    testsupport::ScopedWorkDir dir;
    d.layer = 7;
    d.inputLibName = "LIB";
    d.inputStructName = "TOP";
    d.inputUserUnit = 0.001;
    d.inputDbUnit = 1e-9;
    d.outFile = "out.gds";
    d.report.capture();
    writeDecomposedLayout(d);
    EXPECT_EQ(d.report.takeCaptured(),
              "STAT | Decomposed layout written to out.gds, layer 7: 2 on datatype 1, 1 on "
              "datatype 2, 2 on datatype 3, 2 on datatype 9, 2 on datatype 10, 1 on datatype 11\n");
    const gdsii::Library lib = gdsii::readLibraryFile("out.gds");
    EXPECT_EQ(lib.name, "LIB");
    ASSERT_EQ(lib.structures.size(), 1u);
    EXPECT_EQ(lib.structures[0].name, "TOP");
    ASSERT_EQ(lib.structures[0].elements.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const gdsii::Element& el = lib.structures[0].elements[i];
        EXPECT_EQ(el.layer, 7);
        EXPECT_EQ(el.datatype, expected[i].first);
        ASSERT_EQ(el.xy.size(), expected[i].second.size() + 1);
        EXPECT_EQ(el.xy.front(), el.xy.back());
        EXPECT_EQ(el.xy[1].x, expected[i].second[1].x());
        EXPECT_EQ(el.xy[1].y, expected[i].second[1].y());
    }
}

TEST_F(DecomposedLayout, TextDumpIsWrittenInTheReadersFormat) {
    feature({{0, 0}, {0, 50}, {40, 50}, {40, 0}}, {oaBox(0, 0, 40, 50)}, 1);
    d.layer = 3;
    d.inputLibName = "L";
    d.inputStructName = "S";
    d.inputUserUnit = 1e-4;  // a 0.1 nm database unit: coordinates were scaled to nm
    d.inputDbUnit = 1e-10;
    d.dumpFile = "layer.ascii";
    testsupport::ScopedWorkDir dir;
    d.report.capture();
    writeLayerDump(d);
    EXPECT_EQ(d.report.takeCaptured(), "STAT | Layer 3 written to layer.ascii: 1 shapes\n");
    EXPECT_EQ(testsupport::readFile("layer.ascii"),
              "HEADER: 600\nBGNLIB: \nLIBNAME: L\nUNITS: 0.001, 1e-09\nBGNSTR: \nSTRNAME: S\n"
              "BOUNDARY\nLAYER: 3\nDATATYPE: 0\nXY: 0: 0, 0: 50, 40: 50, 40: 0, 0: 0\nENDEL\n"
              "ENDSTR\nENDLIB\n");
    // Without names and units of its own (a text input), its header lines are taken.
    MPLDesign t;
    testsupport::writeFile("in.ascii",
                           "HEADER: 600\nBGNLIB: \nLIBNAME: design.DB\n"
                           "UNITS: 0.001, 1e-09\nBGNSTR: \nSTRNAME: cellA\nBOUNDARY\n");
    t.inputFile = "in.ascii";
    const LayoutHeader h = outputHeader(t);
    EXPECT_EQ(h.library, "design.DB");
    EXPECT_EQ(h.structure, "cellA");
    EXPECT_FLOAT_EQ(h.dbUnit, 1e-9);
}

TEST_F(DecomposedLayout, FeaturesAreWrittenAsTheirMetalNeverBeyondIt) {
    // A square ring: the outline alone would cover the hole.
    feature(
        {{0, 0}, {0, 30}, {30, 30}, {30, 0}},
        {oaBox(0, 0, 30, 10), oaBox(0, 20, 30, 30), oaBox(0, 10, 10, 20), oaBox(20, 10, 30, 20)},
        0);
    // A polygon of a real layout (c1908) with rectangles that overlap and
    // reach beyond it, as a corner-set cut once made of it: the masks must
    // still show the polygon itself.
    const Ring outline = {{27800, 2220}, {27800, 2620}, {27820, 2620}, {27820, 2980},
                          {27720, 2980}, {27720, 2960}, {27640, 2960}, {27640, 3040},
                          {27660, 3040}, {27660, 3180}, {27640, 3180}, {27640, 3980},
                          {27720, 3980}, {27720, 3040}, {27880, 3040}, {27880, 2220}};
    const std::vector<oaBox> rects = {
        oaBox(27800, 2220, 27880, 2620), oaBox(27820, 2620, 27880, 2980),
        oaBox(27640, 2960, 27720, 3040), oaBox(27720, 2980, 27880, 3980),
        oaBox(27660, 3040, 27880, 3180), oaBox(27640, 3180, 27880, 3980)};
    myShape* s = feature(outline, rects, 1);
    for (size_t i = 0; i < rects.size(); ++i) piece(s, rects[i], i == 0 ? 1 : 0);
    const auto out = shapes();
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[0].first, 1);
    EXPECT_EQ(std::llabs(doubledSignedArea(out[0].second)), 2LL * (900 - 100));
    RectilinearMerge written;
    for (size_t i = 1; i < out.size(); ++i) written.addRing(out[i].second);
    RectilinearMerge polygon;
    polygon.addRing(outline);
    ASSERT_EQ(written.polygons().size(), 1u);
    EXPECT_EQ(written.polygons()[0].outline, polygon.polygons()[0].outline);
}

TEST(StreamRings, LargePolygonsAreCutIntoPartsThatFit) {
    // A comb of 40 teeth: 160 corners.
    MergedPolygon comb;
    comb.outline.push_back(oaPoint(0, 0));
    for (int i = 0; i < 40; ++i) {
        comb.outline.push_back(oaPoint(20 * i, 100));
        comb.outline.push_back(oaPoint(20 * i + 10, 100));
        comb.outline.push_back(oaPoint(20 * i + 10, 10));
        comb.outline.push_back(oaPoint(20 * i + 20, 10));
    }
    comb.outline.back() = oaPoint(790, 0);
    comb.outline = normalizedRing(comb.outline, true);
    comb.bbox = oaBox(0, 0, 790, 100);
    ASSERT_EQ(comb.outline.size(), 160u);
    const long long area = std::llabs(doubledSignedArea(comb.outline));
    ASSERT_EQ(ringsForStream(comb, 200).size(), 1u);

    const auto parts = ringsForStream(comb, 30);
    EXPECT_GT(parts.size(), 1u);
    long long sum = 0;
    RectilinearMerge rejoined;
    for (const Ring& r : parts) {
        EXPECT_LE(r.size() + 1, 30u);
        sum += std::llabs(doubledSignedArea(r));
        rejoined.addRing(r);
    }
    EXPECT_EQ(sum, area);  // no overlap, nothing lost
    ASSERT_EQ(rejoined.polygons().size(), 1u);
    EXPECT_EQ(rejoined.polygons()[0].outline, comb.outline);

    // A hole is joined to its outline by a cut.
    MergedPolygon ring{{{0, 0}, {0, 30}, {30, 30}, {30, 0}},
                       {{{10, 10}, {20, 10}, {20, 20}, {10, 20}}},
                       oaBox(0, 0, 30, 30)};
    const auto cut = ringsForStream(ring, 100);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(std::llabs(doubledSignedArea(cut[0])), 2LL * 800);
}

// Features reaching the ends of the 32-bit range keep all their metal in
// both formats: areas, outline checks and the merge of stitched pieces must
// not wrap (the sanitizer build runs this too).
TEST_F(DecomposedLayout, FeaturesAtTheCoordinateLimitsAreWrittenWhole) {
    const int lo = INT_MIN, hi = INT_MAX;
    const oaBox half(lo, lo, hi, -1000), top(0, hi - 100, 200, hi), wide(lo, 0, hi, 100);
    myShape* a = feature(ringOf(half), {half});
    piece(a, half, 0);
    myShape* b = feature(ringOf(top), {top});
    piece(b, oaBox(0, hi - 100, 100, hi), 0);
    piece(b, oaBox(100, hi - 100, 200, hi), 1);
    myShape* c = feature(ringOf(wide), {wide});
    piece(c, oaBox(lo, 0, 0, 100), 1);
    piece(c, oaBox(0, 0, hi, 100), 2);
    std::map<int, std::vector<oaBox> > written;
    for (const auto& s : shapes()) written[s.first].push_back(boundsOf(s.second));
    const std::map<int, std::vector<oaBox> > expected = {
        {1, {half, oaBox(0, hi - 100, 100, hi)}},
        {2, {oaBox(100, hi - 100, 200, hi), oaBox(lo, 0, 0, 100)}},
        {3, {oaBox(0, 0, hi, 100)}},
    };
    EXPECT_EQ(written, expected);

    testsupport::ScopedWorkDir dir;
    for (const char* name : {"out.gds", "out.ascii"}) {
        d.outFile = name;
        d.report.capture();
        writeDecomposedLayout(d);
        EXPECT_NE(
            d.report.takeCaptured().find(": 2 on datatype 1, 2 on datatype 2, 1 on datatype 3"),
            std::string::npos)
            << name;
    }
    const gdsii::Library lib = gdsii::readLibraryFile("out.gds");
    ASSERT_EQ(lib.structures.size(), 1u);
    EXPECT_EQ(lib.structures[0].elements.size(), 5u);
}
