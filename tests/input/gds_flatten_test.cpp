// Flattening and merging one layer of a GDSII library. Every expected
// coordinate below was worked out by hand from the transformation rules:
// reflect about the x axis, magnify, rotate counter-clockwise, translate.

#include <gtest/gtest.h>

#include "base/fatal.h"
#include "base/params.h"
#include "design/design.h"
#include "input/input.h"
#include "layout/gds_reader.h"
#include "support/test_support.h"

using namespace chromasect;
using namespace chromasect::gdsii;

namespace {

Element rect(int l, int b, int r, int t, int layer = 1, int datatype = 0) {
    Element e;
    e.kind = ElementKind::Boundary;
    e.layer = layer;
    e.datatype = datatype;
    e.xy = {{l, b}, {l, t}, {r, t}, {r, b}, {l, b}};
    return e;
}

Element ref(const std::string& name, int x, int y, uint16_t strans = 0, double angle = 0,
            double mag = 1) {
    Element e;
    e.kind = ElementKind::SRef;
    e.sname = name;
    e.xy = {{x, y}};
    e.strans = strans;
    e.angle = angle;
    e.mag = mag;
    return e;
}

Element path(std::vector<Point> pts, int width, int type, int bgn = 0, int end = 0) {
    Element e;
    e.kind = ElementKind::Path;
    e.layer = 1;
    e.xy = std::move(pts);
    e.width = width;
    e.pathType = type;
    e.bgnExtn = bgn;
    e.endExtn = end;
    return e;
}

Library library(std::vector<Structure> structures) {
    Library lib;
    lib.structures = std::move(structures);
    return lib;
}

std::vector<MergedPolygon> merged(const Library& lib, std::string* out = nullptr,
                                  LayerReport* report = nullptr, float factor = 1.0f) {
    LayerReport local;
    if (!report) report = &local;
    std::string text;
    report->warn = [&text](const std::string& line) { text += line; };
    std::vector<MergedPolygon> polys = mergedLayer(lib, 1, factor, report);
    if (out) *out = text;
    return polys;
}

std::vector<oaBox> boxes(const std::vector<MergedPolygon>& polys) {
    std::vector<oaBox> out;
    for (const MergedPolygon& p : polys) out.push_back(p.bbox);
    return out;
}

std::string fatalMessage(const Library& lib) {
    try {
        merged(lib);
    } catch (const FatalError& e) {
        EXPECT_EQ(e.status(), kExitUsage);
        return e.message();
    }
    return "";
}

// The child of the placement tests: one asymmetric box.
const Structure kChild{"C", {rect(10, 0, 30, 5)}};

}  // namespace

TEST(GdsFlatten, EachPlacementTransformation) {
    struct Case {
        Element placement;
        oaBox expected;
    };
    const std::vector<Case> cases = {
        {ref("C", 100, 100), oaBox(110, 100, 130, 105)},
        {ref("C", 100, 100, 0, 90), oaBox(95, 110, 100, 130)},
        {ref("C", 100, 100, 0, 180), oaBox(70, 95, 90, 100)},
        {ref("C", 100, 100, 0, -90), oaBox(100, 70, 105, 90)},
        {ref("C", 100, 100, kStransReflect), oaBox(110, 95, 130, 100)},
        {ref("C", 100, 100, 0, 0, 2), oaBox(120, 100, 160, 110)},
        {ref("C", 100, 100, kStransReflect, 90, 2), oaBox(100, 120, 110, 160)},
    };
    for (const Case& c : cases) {
        const auto polys = merged(library({kChild, Structure{"TOP", {c.placement}}}));
        ASSERT_EQ(polys.size(), 1u);
        EXPECT_EQ(polys[0].bbox, c.expected) << "angle " << c.placement.angle << " strans "
                                             << c.placement.strans << " mag " << c.placement.mag;
    }
    // Nested: reflected in the middle structure, then turned by a quarter.
    const Structure mid{"M", {ref("C", 100, 0, kStransReflect)}};
    const auto polys = merged(library({kChild, mid, Structure{"TOP", {ref("M", 0, 0, 0, 90)}}}));
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].bbox, oaBox(0, 110, 5, 130));
}

TEST(GdsFlatten, ArrayOfThreeByTwoMirroredAndTurned) {
    // The child box turns into x 0..5, y 10..30. The lattice vectors are in
    // the parent's frame: columns step (0, 100), rows step (-200, 0).
    Element aref = ref("C", 1000, 2000, kStransReflect, 90);
    aref.kind = ElementKind::ARef;
    aref.cols = 3;
    aref.rows = 2;
    aref.xy = {{1000, 2000}, {1000, 2300}, {600, 2000}};
    const auto polys = merged(library({kChild, Structure{"TOP", {aref}}}));
    std::vector<oaBox> expected;
    for (int col = 0; col < 3; ++col)
        for (int row = 1; row >= 0; --row)
            expected.emplace_back(1000 - 200 * row, 2010 + 100 * col, 1005 - 200 * row,
                                  2030 + 100 * col);
    EXPECT_EQ(boxes(polys), expected);
}

TEST(GdsFlatten, PathEndTypesWidthsAndCorners) {
    struct Case {
        Element element;
        std::vector<oaPoint> outline;
    };
    const std::vector<Case> cases = {
        {path({{0, 0}, {100, 0}}, 20, 0), {{0, -10}, {0, 10}, {100, 10}, {100, -10}}},
        {path({{0, 0}, {100, 0}}, 20, 2), {{-10, -10}, {-10, 10}, {110, 10}, {110, -10}}},
        {path({{100, 0}, {0, 0}}, 20, 4, 5, 30), {{-30, -10}, {-30, 10}, {105, 10}, {105, -10}}},
        {path({{0, 0}, {0, 100}}, 20, 4, -5, 0), {{-10, 5}, {-10, 100}, {10, 100}, {10, 5}}},
        // An odd width puts its extra unit on the upper side.
        {path({{0, 0}, {100, 0}}, 21, 0), {{0, -10}, {0, 11}, {100, 11}, {100, -10}}},
        // A single point with square ends is a box along x.
        {path({{50, 50}, {50, 50}}, 40, 2), {{30, 30}, {30, 70}, {70, 70}, {70, 30}}},
        // Corners are mitred: each segment reaches half the width past a joint.
        {path({{0, 0}, {100, 0}, {100, 80}}, 20, 0),
         {{0, -10}, {0, 10}, {90, 10}, {90, 80}, {110, 80}, {110, -10}}},
        {path({{0, 0}, {100, 0}, {100, 80}}, 20, 2),
         {{-10, -10}, {-10, 10}, {90, 10}, {90, 90}, {110, 90}, {110, -10}}},
    };
    for (const Case& c : cases) {
        const auto polys = merged(library({Structure{"TOP", {c.element}}}));
        ASSERT_EQ(polys.size(), 1u) << c.element.pathType;
        EXPECT_EQ(polys[0].outline, c.outline) << "type " << c.element.pathType;
    }
    // A width given as negative is absolute: magnification leaves it alone.
    const Structure child{"P", {path({{0, 0}, {10, 0}}, -4, 0)}};
    const Structure child2{"Q", {path({{0, 100}, {10, 100}}, 4, 0)}};
    const auto polys = merged(library(
        {child, child2, Structure{"TOP", {ref("P", 0, 0, 0, 0, 3), ref("Q", 0, 0, 0, 0, 3)}}}));
    EXPECT_EQ(boxes(polys), (std::vector<oaBox>{oaBox(0, -2, 30, 2), oaBox(0, 294, 30, 306)}));
}

TEST(GdsFlatten, OverlapsAndAbutmentsMergeCornerTouchesDoNot) {
    Element clockwiseWithExtras;  // clockwise, with a repeated and a collinear vertex
    clockwiseWithExtras.kind = ElementKind::Boundary;
    clockwiseWithExtras.layer = 1;
    clockwiseWithExtras.xy = {{200, 0},  {200, 50}, {200, 50}, {250, 50},
                              {300, 50}, {300, 0},  {200, 0}};
    Element other = rect(0, 0, 1000, 1000, 2);  // another layer: never read
    Element pin = rect(40, 0, 60, 20, 1, 7);    // any datatype is read
    const Structure top{"TOP",
                        {rect(0, 0, 50, 50), rect(50, 0, 100, 20), pin, clockwiseWithExtras,
                         path({{100, 10}, {200, 10}}, 10, 0), rect(300, 50, 320, 70), other}};
    const auto polys = merged(library({top}));
    ASSERT_EQ(polys.size(), 2u);
    EXPECT_EQ(polys[0].outline, (std::vector<oaPoint>{{0, 0},
                                                      {0, 50},
                                                      {50, 50},
                                                      {50, 20},
                                                      {100, 20},
                                                      {100, 15},
                                                      {200, 15},
                                                      {200, 50},
                                                      {300, 50},
                                                      {300, 0},
                                                      {200, 0},
                                                      {200, 5},
                                                      {100, 5},
                                                      {100, 0}}));
    EXPECT_EQ(polys[1].bbox, oaBox(300, 50, 320, 70));  // touches only at (300, 50)
}

TEST(GdsFlatten, PolygonWithHoleBecomesOneFeatureWithExactRectangles) {
    const Structure top{"RING",
                        {rect(0, 0, 300, 100), rect(0, 200, 300, 300), rect(0, 0, 100, 300),
                         rect(200, 0, 300, 300)}};
    const auto polys = merged(library({top}));
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].outline, (std::vector<oaPoint>{{0, 0}, {0, 300}, {300, 300}, {300, 0}}));
    ASSERT_EQ(polys[0].holes.size(), 1u);
    EXPECT_EQ(polys[0].holes[0],
              (std::vector<oaPoint>{{100, 100}, {200, 100}, {200, 200}, {100, 200}}));

    testsupport::ScopedWorkDir dir;
    Library lib = library({top});
    lib.name = "HOLES";
    writeLibraryFile("ring.gds", lib);
    MPLDesign d;
    d.inputFile = "ring.gds";
    d.layer = 1;
    ReadGDSII(d);
    ASSERT_EQ(d.shapes.size(), 1u);
    long long area = 0;
    for (const myBox* b : d.shapes[0]->realBoxes) {
        area += b->box->getWidth() * b->box->getHeight();
        EXPECT_FALSE(b->box->overlaps(oaBox(101, 101, 199, 199), 0)) << *b->box;
    }
    EXPECT_EQ(area, 300LL * 300 - 100 * 100);
    EXPECT_EQ(d.inputLibName, "HOLES");
    EXPECT_EQ(d.inputStructName, "RING");
}

TEST(GdsFlatten, SkippedElementsAreReportedOnce) {
    Element diagonal;
    diagonal.kind = ElementKind::Boundary;
    diagonal.layer = 1;
    diagonal.xy = {{0, 0}, {100, 0}, {100, 50}, {0, 100}, {0, 0}};
    Element round = path({{0, 0}, {10, 0}}, 4, 1);
    const Structure child{"C", {rect(0, 0, 10, 10), diagonal, round}};
    const Structure empty{"E", {rect(0, 0, 10, 10, 5)}};  // nothing on layer 1
    const Structure top{
        "TOP",
        {ref("C", 0, 0), ref("C", 100, 0), ref("C", 0, 0, 0, 45), ref("C", 0, 0, 0, 0, 1.5),
         ref("C", 0, 0, kStransAbsAngle), ref("E", 0, 0, 0, 30), ref("MISSING", 0, 0)}};
    std::string out;
    LayerReport report;
    const auto polys = merged(library({child, empty, top}), &out, &report);
    EXPECT_EQ(polys.size(), 2u);
    EXPECT_EQ(report.nonManhattan, 2);  // once per element, not per placement
    EXPECT_EQ(report.skippedReferences, 4);
    EXPECT_NE(out.find("WARNING| structure \"TOP\": SREF of \"C\" (element 3, "), std::string::npos)
        << out;
    EXPECT_NE(out.find("rotation by 45 degrees"), std::string::npos);
    EXPECT_NE(out.find("magnification 1.5"), std::string::npos);
    EXPECT_NE(out.find("absolute"), std::string::npos);
    EXPECT_NE(out.find("undefined structure"), std::string::npos);
    EXPECT_EQ(out.find("\"E\""), std::string::npos);  // would have added nothing
    EXPECT_NE(out.find("WARNING| 2 non-Manhattan boundaries or paths on layer 1 skipped\n"),
              std::string::npos);
}

TEST(GdsFlatten, EveryTopStructureIsFlattened) {
    const Structure a{"A", {rect(0, 0, 10, 10)}};
    const Structure b{"B", {rect(100, 0, 110, 10)}};
    const Structure c{"C", {ref("A", 0, 500)}};
    LayerReport report;
    const auto polys =
        merged(library({a, b, c, Structure{"B", {rect(0, 0, 5000, 5000)}}}), nullptr, &report);
    EXPECT_EQ(boxes(polys), (std::vector<oaBox>{oaBox(100, 0, 110, 10), oaBox(0, 500, 10, 510)}));
    EXPECT_EQ(report.tops, (std::vector<size_t>{1, 2}));  // the second "B" is ignored
}

TEST(GdsFlatten, ReferenceLoopsEndTheRun) {
    const Structure a{"A", {rect(0, 0, 10, 10), ref("B", 0, 0)}};
    const Structure b{"B", {ref("A", 5, 0)}};
    const Structure top{"TOP", {ref("A", 0, 0)}};
    EXPECT_NE(fatalMessage(library({top, a, b})).find("endless loop of references"),
              std::string::npos);
    const Structure self{"S", {rect(0, 0, 10, 10), ref("S", 20, 0)}};
    EXPECT_EQ(fatalMessage(library({self})),
              "ERROR| GDSII structure \"S\" references itself (endless loop of references)");
    // Arrays nested deep enough to hold more shapes than any memory could.
    std::vector<Structure> levels{Structure{"L0", {rect(0, 0, 1, 1)}}};
    for (int i = 1; i < 4; ++i) {
        Element big = ref("L" + std::to_string(i - 1), 0, 0);
        big.kind = ElementKind::ARef;
        big.cols = big.rows = 32767;
        big.xy = {{0, 0}, {32767, 0}, {0, 32767}};
        levels.push_back(Structure{"L" + std::to_string(i), {big}});
    }
    EXPECT_NE(fatalMessage(library(levels)).find("more than 500000000 shapes (-max_shapes)"),
              std::string::npos);
    // A chain of placements deeper than any real hierarchy.
    std::vector<Structure> chain{Structure{"S0", {rect(0, 0, 1, 1)}}};
    for (int i = 1; i <= 1001; ++i)
        chain.push_back(
            Structure{"S" + std::to_string(i), {ref("S" + std::to_string(i - 1), 0, 0)}});
    EXPECT_EQ(fatalMessage(library(chain)),
              "ERROR| GDSII hierarchy deeper than 1000 levels at structure \"S0\"");
    chain.pop_back();
    EXPECT_EQ(merged(library(chain)).size(), 1u);
}

TEST(GdsFlatten, ScalesToNanometresLikeTheTextReader) {
    EXPECT_EQ(nanometreFactor(1e-9), 1.0f);
    EXPECT_EQ(nanometreFactor(1e-10), static_cast<float>(static_cast<double>(1e-10f) / 1e-9));
    // Factor 0.1: 15 becomes 1 (truncated), -15 becomes -1.
    const auto polys = merged(library({Structure{"T", {rect(-15, 15, 25, 39)}}}), nullptr, nullptr,
                              nanometreFactor(1e-10));
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].bbox, oaBox(-1, 1, 2, 3));
    EXPECT_TRUE(isGdsiiName("a.GDS") && isGdsiiName("x.ascii.gds2") && isGdsiiName("b.GdsII"));
    EXPECT_FALSE(isGdsiiName("a.gds.ascii") || isGdsiiName("gds") || isGdsiiName("a.gdsx"));
}

class GdsFeatures : public testsupport::GlobalsTest {};

TEST_F(GdsFeatures, AreMadeAndFiledLikeTheTextReadersFeatures) {
    testsupport::ScopedWorkDir dir;
    // An L whose lower arm is drawn as a path and whose upper arm as a box.
    Element box;
    box.kind = ElementKind::Box;
    box.layer = 1;
    box.xy = {{0, 50}, {0, 200}, {40, 200}, {40, 50}, {0, 50}};
    writeLibraryFile("l.gds",
                     library({Structure{
                         "T", {path({{0, 25}, {100, 25}}, 50, 0), box, rect(500, -10, 520, 10)}}}));
    MPLDesign d;
    d.inputFile = "l.gds";
    d.layer = 1;
    ReadGDSII(d);
    ASSERT_EQ(d.shapes.size(), 2u);
    const myShape* s = d.shapes[1];  // bottom -10 sorts the small box first
    EXPECT_EQ(s->id, 1);
    EXPECT_EQ(*s->bbox, oaBox(0, 0, 100, 200));
    EXPECT_EQ(s->points.points(),
              (std::vector<oaPoint>{{0, 0}, {0, 200}, {40, 200}, {40, 50}, {100, 50}, {100, 0}}));
    ASSERT_EQ(s->realBoxes.size(), 2u);
    EXPECT_EQ(*s->realBoxes[0]->box, oaBox(0, 0, 100, 50));
    EXPECT_EQ(*s->realBoxes[1]->box, oaBox(0, 50, 40, 200));
    EXPECT_EQ(s->realBoxes[0]->shape, s);
    EXPECT_EQ(d.minX, 0);
    EXPECT_EQ(d.maxX, 520);
    EXPECT_EQ(d.minY, -10);
    EXPECT_EQ(d.maxY, 200);
    EXPECT_EQ(layout_bottom, -10);
    EXPECT_EQ(layout_right, 520);
    const oaBox probe(510, 0, 511, 1);
    EXPECT_EQ(*d.wireRTree.searchoaBox(&probe), (std::vector<myShape*>{d.shapes[0]}));
}
