#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <utility>
#include <vector>

#include "driver/design.h"
#include "geometry/boxdist.h"
#include "geometry/fatal.h"
#include "geometry/params.h"
#include "support/test_support.h"

namespace {

const std::string kHeader =
    "HEADER: 600\nBGNLIB: \nLIBNAME: t.DB\nUNITS: 0.001, 1e-09\nBGNSTR: \nSTRNAME: top\n";

std::string boundary(const std::string& xy, int layer = 1) {
    return "BOUNDARY\nLAYER: " + std::to_string(layer) + "\nDATATYPE: 0\n" + xy + "\nENDEL\n";
}

// One in-process read: either the design or the fatal message and status.
struct Read {
    std::unique_ptr<MPLDesign> d = std::make_unique<MPLDesign>();
    int status = 0;
    std::string message;
    std::string out;
};

class Reader : public testsupport::GlobalsTest {
  protected:
    Read readPath(const std::string& path, int layer = 1) {
        Read r;
        r.d->inputFile = path;
        r.d->layer = layer;
        testing::internal::CaptureStdout();
        try {
            r.d->ReadAll();
        } catch (const chromasect::FatalError& e) {
            r.status = e.status();
            r.message = e.message();
        }
        r.out = testing::internal::GetCapturedStdout();
        return r;
    }
    Read readText(const std::string& text, int layer = 1) {
        testsupport::writeFile(dir.path() + "/t.ascii", text);
        return readPath(dir.path() + "/t.ascii", layer);
    }
    testsupport::ScopedWorkDir dir;
};

std::vector<oaBox> rects(const myShape* s) {
    std::vector<oaBox> out;
    for (const myBox* b : s->realBoxes) out.push_back(*b->box);
    return out;
}

// Feature pairs with real boxes within the spacing (inclusive), found the
// way the layout graph will: window search, then rectangle distance.
std::set<std::pair<int, int>> conflictPairs(Design& d) {
    std::set<std::pair<int, int>> out;
    const int grow = 2 * MINDPLDIST;
    for (myShape* s : d.shapes) {
        oaBox w(s->bbox->left() - grow, s->bbox->bottom() - grow, s->bbox->right() + grow,
                s->bbox->top() + grow);
        std::vector<myShape*> found = *d.wireRTree.searchoaBox(&w);
        for (myShape* f : found) {
            if (f->id <= s->id) continue;
            bool near = false;
            for (myBox* a : s->realBoxes)
                for (myBox* b : f->realBoxes)
                    near = near || Box2BoxDist(a->box, b->box, 1) <= MINDPLDIST * MINDPLDIST;
            if (near) out.insert({s->id, f->id});
        }
    }
    return out;
}

// examples/small.ascii, worked by hand (see examples/README.md): six
// features (a layer-2 element and a PATH are skipped), their rectangles,
// the extent and the four conflicting pairs, two of them at exactly the
// spacing (a 120 gap, and 72 x 96 diagonally).
TEST_F(Reader, SmallExampleWorkedByHand) {
    Read r = readPath(testsupport::sourceDir() + "/examples/small.ascii");
    ASSERT_EQ(r.status, 0) << r.message;
    EXPECT_EQ(r.out, "STAT | After read all wires, wire# = 6\n");
    Design& d = *r.d;
    ASSERT_EQ(d.shapes.size(), 6u);
    for (size_t i = 0; i < d.shapes.size(); ++i) EXPECT_EQ(d.shapes[i]->id, int(i));
    EXPECT_EQ(*d.shapes[0]->bbox, oaBox(0, 0, 1000, 60));
    EXPECT_EQ(rects(d.shapes[0]), (std::vector<oaBox>{{0, 0, 1000, 60}}));
    EXPECT_EQ(*d.shapes[1]->bbox, oaBox(0, 180, 600, 700));
    EXPECT_EQ(d.shapes[1]->points.getNumElements(), 6u);
    EXPECT_EQ(rects(d.shapes[1]), (std::vector<oaBox>{{0, 180, 600, 240}, {0, 240, 60, 700}}));
    EXPECT_EQ(rects(d.shapes[2]), (std::vector<oaBox>{{700, 300, 760, 360}}));  // the BOX
    EXPECT_EQ(
        rects(d.shapes[3]),
        (std::vector<oaBox>{{170, 400, 470, 460}, {170, 460, 230, 800}, {410, 460, 470, 800}}));
    EXPECT_EQ(rects(d.shapes[4]), (std::vector<oaBox>{{832, 456, 892, 516}}));
    EXPECT_EQ(*d.shapes[5]->bbox, oaBox(3000, 3000, 3100, 3060));
    for (myShape* s : d.shapes)
        for (myBox* b : s->realBoxes) EXPECT_EQ(b->shape, s);
    EXPECT_EQ(layout_left, 0);
    EXPECT_EQ(layout_right, 3100);
    EXPECT_EQ(layout_bottom, 0);
    EXPECT_EQ(layout_top, 3060);
    EXPECT_EQ(conflictPairs(d), (std::set<std::pair<int, int>>{{0, 1}, {1, 2}, {1, 3}, {2, 4}}));
    MINDPLDIST = 119;  // both pairs at exactly 120 drop out
    EXPECT_EQ(conflictPairs(d), (std::set<std::pair<int, int>>{{1, 2}, {1, 3}}));
}

TEST_F(Reader, UnitsScaleInSinglePrecisionAndTruncate) {
    const std::string body = boundary("XY: 15: -15, 1000: -15, 1000: 95, 15: 95, 15: -15");
    Read nm = readText(kHeader + body);
    ASSERT_EQ(nm.status, 0);
    EXPECT_EQ(*nm.d->shapes[0]->bbox, oaBox(15, -15, 1000, 95));

    std::string header = kHeader;
    header.replace(header.find("1e-09"), 5, "1e-10");
    Read tenth = readText(header + body);
    ASSERT_EQ(tenth.status, 0);
    // 15 x 0.1 = 1.5 truncates to 1, -15 to -1 (toward zero), 95 to 9.
    EXPECT_EQ(*tenth.d->shapes[0]->bbox, oaBox(1, -1, 100, 9));
    EXPECT_EQ(rects(tenth.d->shapes[0]), (std::vector<oaBox>{{1, -1, 100, 9}}));
    EXPECT_EQ(layout_left, 1);
    EXPECT_EQ(layout_top, 9);
}

TEST_F(Reader, ClosingVertexDroppedButCountedInTheBox) {
    // The fifth vertex does not repeat the first here, which shows both
    // rules: four points stored, the box covers all five.
    Read r = readText(kHeader + boundary("XY: 0: 0, 100: 0, 100: 50, 0: 50, 0: 70"));
    ASSERT_EQ(r.status, 0);
    const myShape* s = r.d->shapes[0];
    EXPECT_EQ(s->points.points(), (std::vector<oaPoint>{{0, 0}, {100, 0}, {100, 50}, {0, 50}}));
    EXPECT_EQ(*s->bbox, oaBox(0, 0, 100, 70));
    EXPECT_EQ(rects(s), (std::vector<oaBox>{{0, 0, 100, 50}}));
    EXPECT_EQ(layout_top, 70);
}

TEST_F(Reader, ElementsThatAreNotRead) {
    // Another layer: skipped, and its coordinates do not reach the extent.
    Read r = readText(kHeader + boundary("XY: -500: -500, 9000: -500, 9000: 9000, -500: -500", 2) +
                      boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0"));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.d->shapes.size(), 1u);
    EXPECT_EQ(layout_left, 0);
    EXPECT_EQ(layout_right, 10);

    // A negative layer ends the reading; what was read stays.
    Read neg = readText(kHeader + boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0") +
                        boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0", -3) +
                        boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0"));
    EXPECT_EQ(neg.status, 0);
    EXPECT_EQ(neg.d->shapes.size(), 1u);

    // An empty coordinate line ends the reading as well.
    Read empty = readText(kHeader + boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0") +
                          "BOUNDARY\nLAYER: 1\nDATATYPE: 0\n\nENDEL\n" +
                          boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0"));
    EXPECT_EQ(empty.d->shapes.size(), 1u);

    // A coordinate line without numbers stores nothing and reading goes on.
    Read none = readText(kHeader + "BOUNDARY\nLAYER: 1\nDATATYPE: 0\nXY: none\nENDEL\n" +
                         boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0"));
    EXPECT_EQ(none.d->shapes.size(), 1u);
}

TEST_F(Reader, AnyLineWithBoxStartsAnElement) {
    // "BOX" inside a structure name makes the PATH after it an element:
    // two vertices, one kept, no rectangles.
    Read r = readText(kHeader + boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0") +
                      "ENDSTR\nBGNSTR\nSTRNAME: VIABOX\nPATH\nLAYER: 1\nDATATYPE: 0\n"
                      "XY: 100: 100, 500: 100\nENDEL\n");
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.d->shapes.size(), 2u);
    EXPECT_EQ(*r.d->shapes[1]->bbox, oaBox(100, 100, 500, 100));
    EXPECT_EQ(r.d->shapes[1]->points.getNumElements(), 1u);
    EXPECT_TRUE(r.d->shapes[1]->realBoxes.empty());
}

TEST_F(Reader, FieldSplittingQuirks) {
    // A tab is no separator: "\t100" is skipped as a non-number and the
    // numbers after it pair up shifted: (0,0) (100,0) (50,0) (50,0) (0,7).
    Read tab = readText(kHeader + boundary("XY: 0: 0, 100: 0,\t100: 50, 0: 50, 0: 0, 7"));
    ASSERT_EQ(tab.status, 0);
    EXPECT_EQ(tab.d->shapes[0]->points.points(),
              (std::vector<oaPoint>{{0, 0}, {100, 0}, {50, 0}, {50, 0}}));
    EXPECT_EQ(*tab.d->shapes[0]->bbox, oaBox(0, 0, 100, 7));
    EXPECT_TRUE(tab.d->shapes[0]->realBoxes.empty());

    // A non-number after an x value is its y value 0; a tab before a y value
    // is skipped like leading blanks.
    Read y0 = readText(kHeader + boundary("XY: 0: abc, 100: 0, 100:\t40, 0: 40, 0: 0"));
    ASSERT_EQ(y0.status, 0);
    EXPECT_EQ(rects(y0.d->shapes[0]), (std::vector<oaBox>{{0, 0, 100, 40}}));

    // Windows line ends are harmless.
    Read crlf = readText(
        "HEADER: 600\r\nBGNLIB\r\nLIBNAME: x\r\nUNITS: 0.001, 1e-09\r\nBGNSTR\r\n"
        "STRNAME: top\r\nBOUNDARY\r\nLAYER: 1\r\nDATATYPE: 0\r\n"
        "XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0\r\nENDEL\r\n");
    ASSERT_EQ(crlf.status, 0);
    EXPECT_EQ(rects(crlf.d->shapes[0]), (std::vector<oaBox>{{0, 0, 10, 10}}));
}

TEST_F(Reader, LastLineWithoutLineEnd) {
    // The feature is stored; the search for ENDEL ends the reading.
    Read r = readText(kHeader +
                      "BOUNDARY\nLAYER: 1\nDATATYPE: 0\n"
                      "XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0\nENDEL");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.d->shapes.size(), 1u);
    // A last line is never examined by a search: this element never starts.
    Read s = readText(kHeader + boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0") + "BOUNDARY");
    EXPECT_EQ(s.d->shapes.size(), 1u);

    testsupport::writeFile("k.txt", "a\nkey here");
    std::ifstream in("k.txt");
    MPLDesign d;
    EXPECT_FALSE(d.ReadSearchUntil(in, "key", ""));
    EXPECT_FALSE(d.ReadSearchUntil(in, "a", ""));  // at the end: stays false
}

TEST_F(Reader, SearchAndLayerLine) {
    testsupport::writeFile("s.txt", "x\nLAYER: 12\nBOUNDARY\nLAYER:-7\nz\n");
    std::ifstream in("s.txt");
    MPLDesign d;
    EXPECT_EQ(d.ReadLayerNum(in, "LAYER"), 12);
    EXPECT_TRUE(d.ReadSearchUntil(in, "nothing", "BOUND"));
    EXPECT_EQ(d.ReadLayerNum(in, "LAYER"), -7);
    EXPECT_EQ(d.ReadLayerNum(in, "LAYER"), -1);  // end of file
}

TEST_F(Reader, FailuresEndTheRunWithOneMessage) {
    struct Case {
        const char* what;
        std::string text;
        int status;
    };
    const std::string ok = boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0");
    std::string indented = kHeader;
    indented.replace(indented.find("UNITS"), 0, "  ");
    std::string noComma = kHeader;
    noComma.replace(noComma.find("0.001,"), 6, "0.001");
    const Case cases[] = {
        {"odd number count", kHeader + boundary("XY: 0: 0, 10: 0, 10"), -1},
        {"layer without number", kHeader + std::string("BOUNDARY\nLAYER:\n") + ok, -1},
        {"no units line", "HEADER\nBGNLIB\nLIBNAME\nBGNSTR\nSTRNAME\n" + ok, -1},
        {"indented units line", indented + ok, -1},
        {"units without comma", noComma + ok, -1},
        {"coordinate beyond 32 bits", kHeader + boundary("XY: 0: 0, 3000000000: 0"), -1},
        {"overflowing number", kHeader + boundary("XY: 0: 0, 99999999999999999999999: 0"), -1},
    };
    for (const Case& c : cases) {
        Read r = readText(c.text);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.message, "ERROR| in reading") << c.what;
        EXPECT_EQ(r.out, "") << c.what;
    }
    // The largest coordinate that fits is read.
    Read edge = readText(kHeader + boundary("XY: -2147483648: 0, 2147483520: 0, 2147483520: 10, "
                                            "-2147483648: 10, 0: 0"));
    EXPECT_EQ(edge.status, 0) << edge.message;
    EXPECT_EQ(*edge.d->shapes[0]->bbox, oaBox(-2147483647 - 1, 0, 2147483520, 10));

    Read name = readPath("layout.txt");
    EXPECT_EQ(name.status, chromasect::kExitUsage);
    EXPECT_EQ(name.message, "ERROR| is not a ascii file");
    Read missing = readPath("missing.ascii.txt");  // passes the name check
    EXPECT_EQ(missing.status, chromasect::kExitUsage);
    EXPECT_EQ(missing.message, "ERROR| cannot open file: missing.ascii.txt");
    std::filesystem::create_directory("dir.ascii");
    Read directory = readPath("dir.ascii");
    EXPECT_EQ(directory.status, chromasect::kExitUsage);
    EXPECT_EQ(directory.message, "ERROR| cannot open file: dir.ascii");
}

// Malformed input never crashes or hangs: every outcome is a result or
// one "ERROR| " message with a nonzero status.
void expectResultOrError(const Read& r, const std::string& what) {
    if (r.status == 0) {
        EXPECT_NE(r.out.find("STAT | After read all wires, wire# = "), std::string::npos) << what;
    } else {
        EXPECT_EQ(r.message.rfind("ERROR| ", 0), 0u) << what << ": " << r.message;
        EXPECT_EQ(r.message.find('\n'), std::string::npos) << what;
    }
}

TEST_F(Reader, MalformedInputGivesResultOrOneError) {
    const std::string small =
        testsupport::readFile(testsupport::sourceDir() + "/examples/small.ascii");
    // Every truncation of the small example.
    for (size_t n = 0; n <= small.size(); n += 7) {
        Read r = readText(small.substr(0, n));
        expectResultOrError(r, "truncated at " + std::to_string(n));
    }
    std::mt19937 rng(3);
    auto junk = [&](size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = char(rng() % 256);
        return s;
    };
    // Binary junk alone, after the header, and inside an element.
    expectResultOrError(readText(junk(100000)), "binary junk");
    expectResultOrError(readText(kHeader + junk(100000)), "junk after header");
    expectResultOrError(readText(kHeader + "BOUNDARY\nLAYER: 1\nDATATYPE: 0\n" + junk(5000)),
                        "junk as coordinates");
    // Garbage lines between elements.
    std::string garbage = kHeader;
    for (int i = 0; i < 200; ++i) {
        garbage += "ENDEL BOUNDARY ::,, -- 12: LAYER XY:: 5\n";
        garbage += boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0");
    }
    expectResultOrError(readText(garbage), "garbage lines");
    // Huge coordinates that still fit after scaling.
    std::string header = kHeader;
    header.replace(header.find("1e-09"), 5, "1e-12");
    Read huge = readText(header + boundary("XY: 0: 0, 2000000000000: 0, 2000000000000: 9000, "
                                           "0: 9000, 0: 0"));
    ASSERT_EQ(huge.status, 0) << huge.message;
    EXPECT_NEAR(huge.d->shapes[0]->bbox->right(), 2000000000, 1000);
}

TEST_F(Reader, MegabyteLinesAreReadWhole) {
    std::mt19937 rng(11);
    // A self-crossing rectilinear outline of 100000 vertices on one line.
    std::string walk = "XY:";
    int x = 0, y = 0;
    for (int i = 0; i < 100000; ++i) {
        if (i % 2)
            x = int(rng() % 30000);
        else
            y = int(rng() % 30000);
        walk += " " + std::to_string(x) + ": " + std::to_string(y) + ",";
    }
    ASSERT_GT(walk.size(), 1000000u);
    Read r = readText(kHeader + boundary(walk) + boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0"));
    ASSERT_EQ(r.status, 0) << r.message;
    ASSERT_EQ(r.d->shapes.size(), 2u);
    EXPECT_EQ(r.d->shapes[0]->points.getNumElements(), 99999u);

    // A megabyte of separators and words on a layer line and a units line.
    const std::string filler(1 << 20, ':');
    Read layer = readText(kHeader + "BOUNDARY\nLAYER" + filler + "1\nDATATYPE\n" +
                          "XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0\nENDEL\n");
    ASSERT_EQ(layer.status, 0) << layer.message;
    EXPECT_EQ(layer.d->shapes.size(), 1u);
    Read units =
        readText("HEADER\nBGNLIB\nLIBNAME\nUNITS: 0.001, 1e-09" + std::string(1 << 20, 'x') +
                 "\nBGNSTR\nSTRNAME: t\n" + boundary("XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0"));
    ASSERT_EQ(units.status, 0) << units.message;
    EXPECT_EQ(units.d->shapes.size(), 1u);
    // A megabyte line of junk as coordinates.
    std::string junkLine(1 << 20, 'q');
    for (size_t i = 0; i < junkLine.size(); i += 97) junkLine[i] = ' ';
    expectResultOrError(readText(kHeader + boundary("XY: " + junkLine)), "junk line");
}

// The process itself: the message is the last line and the status nonzero.
TEST_F(Reader, ProcessExitStatusOnErrors) {
    testsupport::writeFile("bad.ascii", kHeader + boundary("XY: 0: 0, 10"));
    testsupport::RunResult r =
        testsupport::runCommand(testsupport::binaryPath() + " -inlib bad.ascii -layer 1");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out.substr(r.out.rfind("ERROR|")), "ERROR| in reading\n");
    r = testsupport::runCommand(testsupport::binaryPath() + " -inlib nothere.ascii");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(r.out.rfind("ERROR|")), "ERROR| cannot open file: nothere.ascii\n");
}

// The real layouts read with the wire counts their README states, and every
// feature is cut exactly into disjoint rectangles of its own area.
TEST_F(Reader, RealLayouts) {
    const std::string dirPath = testsupport::sourceDir() + "/../shared/layouts";
    if (!testsupport::fileExists(dirPath + "/README.md")) GTEST_SKIP() << "no " << dirPath;
    const std::string readme = testsupport::readFile(dirPath + "/README.md");
    std::regex row(R"(\|\s*(\S+\.ascii)\s*\|[^|]*\|[^|]*\|\s*([0-9,]+)\s*\|)");
    int files = 0;
    for (std::sregex_iterator it(readme.begin(), readme.end(), row), end; it != end; ++it) {
        std::string count = (*it)[2];
        count.erase(std::remove(count.begin(), count.end(), ','), count.end());
        Read r = readPath(dirPath + "/" + std::string((*it)[1]));
        ASSERT_EQ(r.status, 0) << (*it)[1] << ": " << r.message;
        EXPECT_EQ(r.d->shapes.size(), std::stoul(count)) << (*it)[1];
        for (const myShape* s : r.d->shapes) {
            ASSERT_FALSE(s->realBoxes.empty()) << (*it)[1] << " feature " << s->id;
            int64_t shoelace = 0, area = 0;
            const auto& p = s->points.points();
            for (size_t i = 0; i < p.size(); ++i) {
                const oaPoint &a = p[i], &b = p[(i + 1) % p.size()];
                shoelace += int64_t(a.x()) * b.y() - int64_t(b.x()) * a.y();
            }
            std::vector<oaBox> rs = rects(s);
            for (size_t i = 0; i < rs.size(); ++i) {
                area += rs[i].getWidth() * rs[i].getHeight();
                for (size_t j = i + 1; j < rs.size(); ++j)
                    ASSERT_FALSE(rs[i].overlaps(rs[j], 0)) << (*it)[1] << " feature " << s->id;
            }
            EXPECT_EQ(area, (shoelace < 0 ? -shoelace : shoelace) / 2)
                << (*it)[1] << " feature " << s->id;
        }
        ++files;
    }
    EXPECT_EQ(files, 5);
}

}  // namespace
