// The picture drawn from hand-made shapes: classes, turn of the rings,
// window filtering and size. Expected paths worked out by hand.

#include "output/svg_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "output/layout_writer.h"
#include "support/test_support.h"
#include "support/xml_check.h"

using namespace chromasect;
using testsupport::XmlElement;

namespace {

typedef std::vector<oaPoint> Ring;

// Rectangle rings turning clockwise, as an outline may come from the input.
Ring clockwise(int l, int b, int r, int t) {
    return {{l, b}, {l, t}, {r, t}, {r, b}};
}

struct Picture {
    std::map<int, size_t> counts;
    XmlElement root;
    std::map<std::string, std::string> paths;  // id -> d
};

Picture draw(const std::vector<std::pair<int, Ring> >& shapes, const oaBox* window) {
    Picture p;
    p.counts = writeSvgPicture("pic.svg", window, "t", [&](const RingSink& sink) {
        for (const auto& s : shapes) sink(s.first, s.second);
    });
    std::string error;
    EXPECT_TRUE(testsupport::parseXml(testsupport::readFile("pic.svg"), p.root, error)) << error;
    for (const XmlElement* e : testsupport::findElements(p.root, "path"))
        p.paths[e->attributes.at("id")] = e->attributes.at("d");
    return p;
}

}  // namespace

TEST(SvgPicture, ClassesTurnAndViewBox) {
    testsupport::ScopedWorkDir dir;
    const std::vector<std::pair<int, Ring> > shapes = {
        {1, clockwise(0, 0, 100, 20)},
        {1, {{0, 40}, {100, 40}, {100, 60}, {0, 60}}},    // already counter-clockwise
        {2, {{200, 0}, {260, 0}, {260, 30}, {230, 60}}},  // a slanted edge
        {3, clockwise(0, 100, 20, 1000)},
        {kUncolouredDatatype, clockwise(300, 0, 320, 20)},
        {kConflictDatatype, clockwise(100, 0, 200, 20)},
        {kStitchDatatype, clockwise(9, 99, 11, 121)},
        {0, clockwise(5000, 5000, 5010, 5010)},  // no class: neither drawn nor spanned
    };
    Picture p = draw(shapes, nullptr);
    EXPECT_EQ(p.counts, (std::map<int, size_t>{{1, 2}, {2, 1}, {3, 1}, {9, 1}, {10, 1}, {11, 1}}));
    // Layout coordinates as they are, every ring counter-clockwise.
    EXPECT_EQ(p.paths["mask0"], "M0 0H100V20H0ZM0 40H100V60H0Z");
    EXPECT_EQ(p.paths["mask1"], "M200 0H260V30L230 60Z");
    EXPECT_EQ(p.paths["mask2"], "M0 100H20V1000H0Z");
    EXPECT_EQ(p.paths["stitches"], "M9 99H11V121H9Z");
    EXPECT_EQ(p.paths.size(), 6u);
    // Shapes span (0,0)-(320,1000), margin 10; the legend band of 36 pixels
    // takes its share of the 2000 on the tall side: 1964 pixels for 1020
    // units. The legend (1090 pixels) is wider than the drawing (654).
    EXPECT_EQ(p.root.attributes["height"], "2000");
    EXPECT_EQ(p.root.attributes["width"], "1090");
    std::istringstream view(p.root.attributes["viewBox"]);
    double x, y, w, h;
    view >> x >> y >> w >> h;
    EXPECT_EQ(x, -10);
    EXPECT_EQ(y, -1010);
    EXPECT_NEAR(w, 1090.0 * 1020 / 1964, 1e-3);
    EXPECT_NEAR(h, 1020 + 36.0 * 1020 / 1964, 1e-3);
    EXPECT_TRUE(testsupport::findElements(p.root, "clipPath").empty());
    // The legend counts what was drawn.
    const auto texts = testsupport::findElements(p.root, "text");
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0]->text, "mask 0 (2)");
    EXPECT_EQ(texts[5]->text, "stitch (1)");
}

TEST(SvgPicture, WindowDrawsWhatMeetsItAndNothingMore) {
    testsupport::ScopedWorkDir dir;
    const oaBox window(0, 0, 4000, 1000);
    Picture p = draw({{1, clockwise(-50, -50, 10, 10)},      // across the corner
                      {1, clockwise(4000, 500, 4100, 600)},  // touching the edge
                      {2, clockwise(4001, 0, 4100, 100)},    // outside by one
                      {3, clockwise(0, 1001, 10, 1100)}},    // above
                     &window);
    EXPECT_EQ(p.counts, (std::map<int, size_t>{{1, 2}}));
    EXPECT_EQ(p.paths.size(), 1u);
    EXPECT_EQ(p.root.attributes["width"], "2000");
    EXPECT_EQ(p.root.attributes["viewBox"], "0 -1000 4000 1072");
    EXPECT_EQ(testsupport::findElements(p.root, "clipPath").size(), 1u);

    // Nothing to draw still gives a picture with its legend.
    p = draw({}, &window);
    EXPECT_TRUE(p.paths.empty());
    EXPECT_EQ(testsupport::findElements(p.root, "text").size(), 6u);
    p = draw({}, nullptr);
    EXPECT_EQ(p.root.name, "svg");
}

TEST(XmlCheck, RefusesMalformedDocuments) {
    XmlElement root;
    std::string error;
    EXPECT_TRUE(testsupport::parseXml(
        "<?xml version=\"1.0\"?>\n<a x='1'><b/>t&amp;<!-- c --></a>\n", root, error));
    EXPECT_EQ(root.children.size(), 1u);
    for (const char* bad : {"<a><b></a></b>", "<a x=1/>", "<a x='1' x='2'/>", "<a>&nbsp;</a>",
                            "<a>1 < 2</a>", "<a/><b/>", "<a", "<a x='1'y='2'/>"})
        EXPECT_FALSE(testsupport::parseXml(bad, root, error)) << bad;
}
