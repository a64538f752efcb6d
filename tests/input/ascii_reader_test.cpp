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

#include "base/fatal.h"
#include "base/params.h"
#include "design/design.h"
#include "geometry/boxdist.h"
#include "input/input.h"
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
        r.d->report.capture();
        try {
            ReadAll(*r.d);
        } catch (const chromasect::FatalError& e) {
            r.status = e.status();
            r.message = e.message();
        }
        r.out = r.d->report.takeCaptured();
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

const std::string kSquare = "XY: 0: 0, 10: 0, 10: 10, 0: 10, 0: 0";

TEST_F(Reader, UnitsAndClosingVertex) {
    const std::string body = boundary("XY: 15: -15, 1000: -15, 1000: 95, 15: 95, 15: -15");
    EXPECT_EQ(*readText(kHeader + body).d->shapes[0]->bbox, oaBox(15, -15, 1000, 95));
    std::string header = kHeader;
    header.replace(header.find("1e-09"), 5, "1e-10");
    // 15 x 0.1 = 1.5 truncates to 1, -15 to -1 (toward zero), 95 to 9.
    Read tenth = readText(header + body);
    EXPECT_EQ(rects(tenth.d->shapes[0]), (std::vector<oaBox>{{1, -1, 100, 9}}));
    EXPECT_EQ(layout_left, 1);
    EXPECT_EQ(layout_top, 9);
    // The fifth vertex is dropped but counted in the box (it does not
    // repeat the first here, to show both).
    Read r = readText(kHeader + boundary("XY: 0: 0, 100: 0, 100: 50, 0: 50, 0: 70"));
    const myShape* s = r.d->shapes[0];
    EXPECT_EQ(s->points.points(), (std::vector<oaPoint>{{0, 0}, {100, 0}, {100, 50}, {0, 50}}));
    EXPECT_EQ(*s->bbox, oaBox(0, 0, 100, 70));
    EXPECT_EQ(rects(s), (std::vector<oaBox>{{0, 0, 100, 50}}));
}

TEST_F(Reader, WhatIsReadAndWhatEndsTheReading) {
    auto count = [&](const std::string& text) { return readText(kHeader + text).d->shapes.size(); };
    const std::string sq = boundary(kSquare);
    // Another layer is skipped (its extent too); a negative layer or an
    // empty coordinate line ends the reading; a coordinate line without
    // numbers stores nothing.
    EXPECT_EQ(count(boundary("XY: -500: -500, 9000: 9000", 2) + sq), 1u);
    EXPECT_EQ(layout_right, 10);
    EXPECT_EQ(count(sq + boundary(kSquare, -3) + sq), 1u);
    EXPECT_EQ(count(sq + "BOUNDARY\nLAYER: 1\nDATATYPE: 0\n\nENDEL\n" + sq), 1u);
    EXPECT_EQ(count("BOUNDARY\nLAYER: 1\nDATATYPE: 0\nXY: none\nENDEL\n" + sq), 1u);
    // A last ENDEL without line end: the feature stays.
    EXPECT_EQ(count(sq.substr(0, sq.size() - 1)), 1u);
    // "BOX" in a structure name starts an element: the PATH after it is
    // read (two vertices, one kept, no rectangles).
    Read r = readText(kHeader + "STRNAME: VIABOX\nPATH\nLAYER: 1\nDATATYPE: 0\nXY: 1: 1, 5: 1\n");
    ASSERT_EQ(r.d->shapes.size(), 1u);
    EXPECT_EQ(*r.d->shapes[0]->bbox, oaBox(1, 1, 5, 1));
    EXPECT_TRUE(r.d->shapes[0]->realBoxes.empty());
}

TEST_F(Reader, FieldSplitting) {
    // A tab is no separator: "\t100" is skipped as a non-number and the
    // numbers after it pair up shifted: (0,0) (100,0) (50,0) (50,0) (0,7).
    Read tab = readText(kHeader + boundary("XY: 0: 0, 100: 0,\t100: 50, 0: 50, 0: 0, 7"));
    EXPECT_EQ(tab.d->shapes[0]->points.points(),
              (std::vector<oaPoint>{{0, 0}, {100, 0}, {50, 0}, {50, 0}}));
    EXPECT_EQ(*tab.d->shapes[0]->bbox, oaBox(0, 0, 100, 7));
    // A non-number after an x value is y 0; a tab before a y value is
    // skipped like a blank; CR line ends are harmless.
    Read y0 = readText(kHeader + boundary("XY: 0: abc, 100: 0, 100:\t40, 0: 40, 0: 0\r"));
    EXPECT_EQ(rects(y0.d->shapes[0]), (std::vector<oaBox>{{0, 0, 100, 40}}));
}

TEST_F(Reader, FailuresEndTheRunWithOneMessage) {
    std::string indented = kHeader, noComma = kHeader;
    indented.replace(indented.find("UNITS"), 0, "  ");
    noComma.replace(noComma.find("0.001,"), 6, "0.001");
    const std::pair<const char*, std::string> cases[] = {
        {"odd number count", kHeader + boundary("XY: 0: 0, 10: 0, 10")},
        {"layer without number", kHeader + "BOUNDARY\nLAYER:\n" + boundary(kSquare)},
        {"no units line", "HEADER\nBGNLIB\nLIBNAME\nBGNSTR\nSTRNAME\n" + boundary(kSquare)},
        {"indented units line", indented + boundary(kSquare)},
        {"units without comma", noComma + boundary(kSquare)},
        {"beyond 32 bits", kHeader + boundary("XY: 0: 0, 3000000000: 0")},
        {"beyond 64 bits", kHeader + boundary("XY: 0: 0, 99999999999999999999999: 0")},
    };
    for (const auto& c : cases) {
        Read r = readText(c.second);
        EXPECT_EQ(r.status, chromasect::kExitInternal) << c.first;
        EXPECT_EQ(r.message, "ERROR| in reading") << c.first;
    }
    // The extreme coordinates that fit are read.
    Read edge = readText(kHeader + boundary("XY: -2147483648: 0, 2147483520: 0, 2147483520: 10, "
                                            "-2147483648: 10, 0: 0"));
    EXPECT_EQ(*edge.d->shapes[0]->bbox, oaBox(-2147483647 - 1, 0, 2147483520, 10));

    std::filesystem::create_directory("dir.ascii");
    const std::pair<const char*, const char*> files[] = {
        {"layout.txt", "ERROR| is not a ascii file"},
        {"missing.ascii.txt", "ERROR| cannot open file: missing.ascii.txt"},
        {"dir.ascii", "ERROR| cannot open file: dir.ascii"},
    };
    for (const auto& f : files) {
        Read r = readPath(f.first);
        EXPECT_EQ(r.status, chromasect::kExitUsage) << f.first;
        EXPECT_EQ(r.message, f.second);
    }
    // The process ends with the message as its last line.
    testsupport::writeFile("bad.ascii", kHeader + boundary("XY: 0: 0, 10"));
    testsupport::RunResult run =
        testsupport::runCommand(testsupport::binaryPath() + " -inlib bad.ascii");
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out.substr(run.out.rfind("ERROR|")), "ERROR| in reading\n");
}

// Malformed input never crashes or hangs: every outcome is a result or one
// "ERROR| " message with a nonzero status.
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
    for (size_t n = 0; n <= small.size(); n += 7)
        expectResultOrError(readText(small.substr(0, n)), "truncated at " + std::to_string(n));
    std::mt19937 rng(3);
    std::string junk(100000, '\0');
    for (char& c : junk) c = char(rng() % 256);
    expectResultOrError(readText(junk), "binary junk");
    expectResultOrError(readText(kHeader + junk), "junk after header");
    expectResultOrError(readText(kHeader + "BOUNDARY\nLAYER: 1\nDATATYPE: 0\n" + junk), "junk xy");
    std::string garbage = kHeader;
    for (int i = 0; i < 200; ++i)
        garbage += "ENDEL BOUNDARY ::,, -- 12: LAYER XY:: 5\n" + boundary(kSquare);
    expectResultOrError(readText(garbage), "garbage lines");
    // Huge coordinates that fit once scaled.
    std::string header = kHeader;
    header.replace(header.find("1e-09"), 5, "1e-12");
    Read huge = readText(header + boundary("XY: 0: 0, 2000000000000: 0, 2000000000000: 9, 0: 9"));
    ASSERT_EQ(huge.status, 0) << huge.message;
    EXPECT_NEAR(huge.d->shapes[0]->bbox->right(), 2000000000, 1000);

    // Megabyte lines: a self-crossing rectilinear outline of 100000
    // vertices, and a line of junk words.
    std::string walk = "XY:";
    for (int i = 0, x = 0, y = 0; i < 100000; ++i) {
        (i % 2 ? x : y) = int(rng() % 30000);
        walk += " " + std::to_string(x) + ": " + std::to_string(y) + ",";
    }
    ASSERT_GT(walk.size(), 1000000u);
    Read r = readText(kHeader + boundary(walk) + boundary(kSquare));
    ASSERT_EQ(r.status, 0) << r.message;
    ASSERT_EQ(r.d->shapes.size(), 2u);
    EXPECT_EQ(r.d->shapes[0]->points.getNumElements(), 99999u);
    std::string words(1 << 20, 'q');
    for (size_t i = 0; i < words.size(); i += 97) words[i] = ' ';
    expectResultOrError(readText(kHeader + boundary("XY: " + words)), "junk line");
    expectResultOrError(readText(kHeader + "BOUNDARY\nLAYER" + words + "\n"), "long layer line");
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
