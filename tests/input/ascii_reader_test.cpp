#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "base/fatal.h"
#include "base/params.h"
#include "design/design.h"
#include "geometry/boxdist.h"
#include "input/input.h"
#include "layout/text_dump.h"
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
    // The closing fifth vertex is dropped.
    Read r = readText(kHeader + boundary("XY: 0: 0, 100: 0, 100: 50, 0: 50, 0: 0"));
    const myShape* s = r.d->shapes[0];
    EXPECT_EQ(s->points.points(), (std::vector<oaPoint>{{0, 0}, {100, 0}, {100, 50}, {0, 50}}));
    EXPECT_EQ(*s->bbox, oaBox(0, 0, 100, 50));
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
    // read as an outline, which two vertices do not make.
    Read r = readText(kHeader + "STRNAME: VIABOX\nPATH\nLAYER: 1\nDATATYPE: 0\nXY: 1: 1, 5: 1\n");
    EXPECT_TRUE(r.d->shapes.empty());
    EXPECT_NE(r.out.find("WARNING| 1 unclosed boundaries"), std::string::npos) << r.out;
}

TEST_F(Reader, FieldSplitting) {
    // A tab is no separator: "\t100" is skipped as a non-number and the
    // numbers after it pair up shifted: (0,0) (100,0) (50,0) (50,0) (0,7),
    // an outline that does not close and is left out.
    Read tab = readText(kHeader + boundary("XY: 0: 0, 100: 0,\t100: 50, 0: 50, 0: 0, 7"));
    EXPECT_TRUE(tab.d->shapes.empty());
    EXPECT_NE(tab.out.find("WARNING| 1 unclosed boundaries"), std::string::npos) << tab.out;
    // A non-number after an x value is y 0; a tab before a y value is
    // skipped like a blank; CR line ends are harmless.
    Read y0 = readText(kHeader + boundary("XY: 0: abc, 100: 0, 100:\t40, 0: 40, 0: 0\r"));
    EXPECT_EQ(rects(y0.d->shapes[0]), (std::vector<oaBox>{{0, 0, 100, 40}}));
}

// Damaged input is never read silently: each row gives the exit status and
// the first "WARNING| " or "ERROR| " line (and, for an error, the line
// naming where it was found).
TEST_F(Reader, DamagedInputIsNamedNeverReadSilently) {
    const std::string kEnd = "ENDSTR\nENDLIB\n";
    const std::string sq = boundary(kSquare);
    auto units = [&](const std::string& line) {
        std::string h = kHeader;
        h.replace(h.find("UNITS"), h.find('\n', h.find("UNITS")) - h.find("UNITS"), line);
        return h;
    };
    const std::string kUnitsForm = "UNITS line not of the form \"UNITS: user, database\"";
    struct Row {
        const char* what;
        std::string text;
        int status;
        size_t features;  // read, when the status is 0
        std::string first, second;
    };
    const Row rows[] = {
        {"x without y", kHeader + boundary("XY: 0: 0, 10: 0, 10") + kEnd, 255, 0,
         "ERROR| in reading", "ERROR| line 10: x value 10 without a y value (point 3)"},
        {"layer without number", kHeader + "BOUNDARY\nLAYER:\n" + sq + kEnd, 255, 0,
         "ERROR| in reading", "ERROR| line 8: LAYER line without a layer number"},
        {"layer beyond int", kHeader + "BOUNDARY\nLAYER: 4294967297\n" + sq + kEnd, 255, 0,
         "ERROR| in reading", "ERROR| line 8: LAYER line without a layer number"},
        {"layer not a number",
         kHeader + "BOUNDARY\nLAYER: one\nDATATYPE: 0\n" + kSquare + "\n" + kEnd, 255, 0,
         "ERROR| in reading", "ERROR| line 8: LAYER line without a layer number"},
        {"no units line", "HEADER\nBGNLIB\nLIBNAME\nBGNSTR\nSTRNAME\n" + sq + kEnd, 255, 0,
         "ERROR| in reading", "ERROR| line 12: no UNITS line before the end of the file"},
        {"indented units line", units("  UNITS: 0.001, 1e-09") + sq + kEnd, 255, 0,
         "ERROR| in reading", "ERROR| line 4: " + kUnitsForm},
        {"units without comma", units("UNITS: 0.001 1e-09") + sq + kEnd, 255, 0,
         "ERROR| in reading", "ERROR| line 4: " + kUnitsForm},
        {"zero unit", units("UNITS: 0.001, 0") + sq + kEnd, 255, 0, "ERROR| in reading",
         "ERROR| line 4: database unit 0 is not a positive number of metres"},
        {"negative unit", units("UNITS: 0.001, -1e-09") + sq + kEnd, 255, 0, "ERROR| in reading",
         "ERROR| line 4: database unit -1e-09 is not a positive number of metres"},
        {"infinite unit", units("UNITS: 0.001, 1e99") + sq + kEnd, 255, 0, "ERROR| in reading",
         "ERROR| line 4: database unit inf is not a positive number of metres"},
        {"beyond 32 bits", kHeader + boundary("XY: 0: 0, 3000000000: 0") + kEnd, 255, 0,
         "ERROR| in reading",
         "ERROR| line 10: point 2 (3000000000, 0) out of the 32-bit range once scaled"},
        {"beyond 64 bits", kHeader + boundary("XY: 0: 0, 99999999999999999999999: 0") + kEnd, 255,
         0, "ERROR| in reading",
         "ERROR| line 10: point 2 (99999999999999999999999, 0) out of the 32-bit range once "
         "scaled"},
        {"layer partly a number", kHeader + "BOUNDARY\nLAYER: 1e5\n" + sq + kEnd, 255, 0,
         "ERROR| in reading", "ERROR| line 8: LAYER line without a layer number"},
        {"coordinate not a number",
         kHeader + boundary("XY: 0: 0, 100: 0, 100: 50, 0: 50x, 0: 0") + sq + kEnd, 0, 2,
         "WARNING| 1 coordinate lines with a field that is not a whole number (read as the "
         "format reads it), the first at line 10",
         ""},
        {"datatype not a number",
         kHeader + "BOUNDARY\nLAYER: 1\nDATATYPE: nan\n" + kSquare + "\nENDEL\n" + kEnd, 0, 1,
         "WARNING| 1 elements with a missing or damaged record line (element name, LAYER, "
         "DATATYPE or ENDEL), the first near line 9",
         ""},
        {"unclosed", kHeader + boundary("XY: 0: 0, 100: 0, 100: 50, 0: 50, 0: 70") + sq + kEnd, 0,
         1,
         "WARNING| 1 unclosed boundaries on layer 1 skipped (the last vertex does not repeat the "
         "first)",
         ""},
        {"fewer than four corners",
         kHeader + boundary("XY: 0: 0, 100: 0, 0: 0") + sq + boundary("XY: 5: 5, 5: 5") + kEnd, 0,
         1,
         "WARNING| 2 degenerate boundaries on layer 1 skipped (fewer than four corners, or no "
         "area)",
         ""},
        {"no coordinates", kHeader + boundary("XY: none") + sq + kEnd, 0, 1,
         "WARNING| 1 degenerate boundaries on layer 1 skipped (fewer than four corners, or no "
         "area)",
         ""},
        {"slanted edge", kHeader + boundary("XY: 0: 0, 100: 0, 100: 50, 0: 100, 0: 0") + sq + kEnd,
         0, 1, "WARNING| 1 non-Manhattan boundaries on layer 1 skipped", ""},
        {"self-crossing",
         kHeader + boundary("XY: 0: 0, 10: 0, 10: 30, 20: 30, 20: 10, 0: 10, 0: 0") + sq + kEnd, 0,
         1, "WARNING| 1 self-crossing boundaries on layer 1 skipped", ""},
        {"no ENDLIB", kHeader + sq + "BOUNDARY\nLAYER: 1\nDATATYPE: 0\n" + kSquare + "\n", 0, 2,
         "WARNING| reading stopped at line 15, before ENDLIB: 2 features read", ""},
        {"no DATATYPE line", kHeader + "BOUNDARY\nLAYER: 1\n" + kSquare + "\nENDEL\n" + sq + kEnd,
         0, 1,
         "WARNING| 1 elements with a missing or damaged record line (element name, LAYER, "
         "DATATYPE or ENDEL), the first near line 9",
         ""},
        {"no ENDEL and BOUNDARY lines",
         kHeader + "BOUNDARY\nLAYER: 1\nDATATYPE: 0\n" + kSquare + "\n" + sq.substr(9) + kEnd, 0, 1,
         "WARNING| 1 elements with a missing or damaged record line (element name, LAYER, "
         "DATATYPE or ENDEL), the first near line 11",
         ""},
        {"damaged BOUNDARY line",
         kHeader + sq + "BOUN\nLAYER: 1\nDATATYPE: 0\n" + kSquare + "\nENDEL\n" + sq + kEnd, 0, 2,
         "WARNING| 1 elements with a missing or damaged record line (element name, LAYER, "
         "DATATYPE or ENDEL), the first near line 13",
         ""},
        {"damaged STRNAME line",
         kHeader.substr(0, kHeader.find("STRNAME")) + "STRN: top\n" + sq + kEnd, 0, 0,
         "WARNING| 1 elements with a missing or damaged record line (element name, LAYER, "
         "DATATYPE or ENDEL), the first near line 8",
         ""},
        {"negative layer", kHeader + sq + boundary(kSquare, -3) + sq + kEnd, 0, 1,
         "WARNING| reading stopped at line 13, before ENDLIB: 1 features read", ""},
    };
    for (const Row& row : rows) {
        Read r = readText(row.text);
        EXPECT_EQ(r.status & 0xff, row.status) << row.what;
        std::istringstream lines(r.out + r.message + "\n");
        std::string line, first, second;
        while (first.empty() && std::getline(lines, line))
            if (line.rfind("WARNING| ", 0) == 0 || line.rfind("ERROR| ", 0) == 0) first = line;
        std::getline(lines, second);
        EXPECT_EQ(first, row.first) << row.what;
        if (!row.second.empty()) {
            EXPECT_EQ(second, row.second) << row.what;
        }
        // What is kept of a damaged file is exactly its sound features.
        if (row.status == 0) {
            EXPECT_EQ(r.d->shapes.size(), row.features) << row.what;
        }
    }
    // The extreme coordinates that fit are read.
    Read edge = readText(kHeader + boundary("XY: -2147483648: 0, 2147483647: 0, 2147483647: 10, "
                                            "-2147483648: 10, -2147483648: 0"));
    ASSERT_EQ(edge.d->shapes.size(), 1u) << edge.message;
    EXPECT_EQ(*edge.d->shapes[0]->bbox, oaBox(-2147483647 - 1, 0, 2147483647, 10));

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
    // The process ends with the two lines and the status of the table.
    testsupport::writeFile("bad.ascii", kHeader + boundary("XY: 0: 0, 10"));
    testsupport::RunResult run =
        testsupport::runCommand(testsupport::binaryPath() + " -inlib bad.ascii");
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out.substr(run.out.find("ERROR|")),
              "ERROR| in reading\nERROR| line 10: x value 10 without a y value (point 2)\n");
}

// Malformed input never crashes or hangs: every outcome is a result (with a
// warning when the file stops before its end) or "ERROR| " lines with a
// nonzero status.
void expectResultOrError(const Read& r, const std::string& what, bool damaged = true) {
    if (r.status == 0) {
        EXPECT_NE(r.out.find("STAT | After read all wires, wire# = "), std::string::npos) << what;
        if (damaged) {
            EXPECT_NE(r.out.find("WARNING| "), std::string::npos) << what;
        }
    } else {
        std::istringstream lines(r.message);
        for (std::string line; std::getline(lines, line);)
            EXPECT_EQ(line.rfind("ERROR| ", 0), 0u) << what << ": " << r.message;
    }
}

TEST_F(Reader, MalformedInputGivesResultOrOneError) {
    const std::string small =
        testsupport::readFile(testsupport::sourceDir() + "/examples/small.ascii");
    for (size_t n = 0; n <= small.size(); n += 7)
        expectResultOrError(readText(small.substr(0, n)), "truncated at " + std::to_string(n),
                            small.substr(0, n).find("ENDLIB") == std::string::npos);
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
    Read huge = readText(
        header + boundary("XY: 0: 0, 2000000000000: 0, 2000000000000: 90000, 0: 90000, 0: 0"));
    ASSERT_EQ(huge.d->shapes.size(), 1u) << huge.message;
    EXPECT_NEAR(huge.d->shapes[0]->bbox->right(), 2000000000, 1000);

    // Megabyte lines: a self-crossing rectilinear outline of 100000
    // vertices, and a line of junk words.
    std::string walk = "XY:";
    int x = 0, y = 0, y0 = 0;
    for (int i = 0; i < 100000; ++i) {
        (i % 2 ? x : y) = int(rng() % 30000);
        if (i == 0) y0 = y;
        walk += " " + std::to_string(x) + ": " + std::to_string(y) + ",";
    }
    walk += " 0: " + std::to_string(y) + ", 0: " + std::to_string(y0);
    ASSERT_GT(walk.size(), 1000000u);
    Read r = readText(kHeader + boundary(walk) + boundary(kSquare));
    ASSERT_EQ(r.status, 0) << r.message;
    EXPECT_EQ(r.d->shapes.size(), 1u);
    EXPECT_NE(r.out.find("WARNING| 1 self-crossing boundaries"), std::string::npos) << r.out;
    std::string words(1 << 20, 'q');
    for (size_t i = 0; i < words.size(); i += 97) words[i] = ' ';
    expectResultOrError(readText(kHeader + boundary("XY: " + words)), "junk line");
    expectResultOrError(readText(kHeader + "BOUNDARY\nLAYER" + words + "\n"), "long layer line");
}

// Beyond 2^24 nm floats are 2 apart: a 119 nm gap there must not become
// 118 or 120. Every scaled coordinate is the exact product truncated, held
// against long double arithmetic (64-bit mantissa: exact for these
// products) wherever single precision could round.
TEST_F(Reader, LargeCoordinatesAreScaledExactly) {
    Read r = readText(kHeader +
                      boundary("XY: 20000001: 0, 20000101: 0, 20000101: 60, "
                               "20000001: 60, 20000001: 0") +
                      boundary("XY: 20000220: 0, 20000320: 0, 20000320: 60, 20000220: 60, "
                               "20000220: 0"));
    ASSERT_EQ(r.d->shapes.size(), 2u) << r.message;
    EXPECT_EQ(*r.d->shapes[0]->bbox, oaBox(20000001, 0, 20000101, 60));
    EXPECT_EQ(Box2BoxDist(r.d->shapes[0]->realBoxes[0]->box, r.d->shapes[1]->realBoxes[0]->box, 1),
              119 * 119);

    std::mt19937_64 rng(5);
    for (const float factor : {1.0f, 0.1f, 0.001f, 4.0f, 10.0f, 1e-6f}) {
        for (int i = 0; i < 20000; ++i) {
            const int64_t v = int64_t(rng() % (uint64_t(1) << (25 + i % 16))) * (i % 3 ? 1 : -1);
            int got = 0;
            const bool ok = chromasect::textdump::scaleCoordinate(v, factor, got);
            const float single = float(v) * factor;
            if (std::llabs(v) < (1 << 24) && std::fabs(single) < float(1 << 24)) {
                ASSERT_TRUE(ok);
                EXPECT_EQ(got, int(single)) << v << " x " << factor;
                continue;
            }
            const long double exact = std::trunc((long double)v * (long double)factor);
            ASSERT_EQ(ok, exact >= INT_MIN && exact <= INT_MAX) << v << " x " << factor;
            if (ok) {
                EXPECT_EQ(got, (long long)exact) << v << " x " << factor;
            }
        }
    }
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
