// The checker against the decomposer: every small layout is decomposed in
// process through the real solvers, written with "-out", and checked. The
// checker's spacing violations must be exactly the decomposer's own
// conflicting piece pairs (same mask, different features, strictly closer
// than the spacing), before the result line keeps at most one per feature:
// each piece stands for the polygon of the written layout that holds it, so
// several clashing pieces of two polygons make one pair. Then the built
// binary runs on the same files.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <utility>

#include "driver/design.h"
#include "geometry/params.h"
#include "input/layout_check.h"
#include "input/layout_writer.h"
#include "support/test_support.h"

using namespace chromasect;

namespace {

// A polygon of the written layout: its mask and lowest-left vertex.
typedef std::pair<int, oaPoint> PolygonKey;
typedef std::set<std::pair<PolygonKey, PolygonKey> > PolygonPairs;

std::pair<PolygonKey, PolygonKey> ordered(const PolygonKey& a, const PolygonKey& b) {
    return b < a ? std::make_pair(b, a) : std::make_pair(a, b);
}

std::unique_ptr<MPLDesign> decompose(const std::string& input, const std::string& out) {
    setenv("OPENBLAS_NUM_THREADS", "1", 0);
    auto d = std::make_unique<MPLDesign>();
    d->inputFile = input;
    d->outFile = out;
    testing::internal::CaptureStdout();
    d->ReadAll();
    d->Decomposition();
    d->ResultStat();
    writeDecomposedLayout(*d);
    testing::internal::GetCapturedStdout();
    return d;
}

// The polygon of the mask holding the centre of a piece (pieces have area).
PolygonKey polygonHolding(const std::vector<MergedPolygon>& mask, int color, const oaBox& piece) {
    const int64_t cx = int64_t(piece.left()) + piece.right(),
                  cy = int64_t(piece.bottom()) + piece.top();
    for (const MergedPolygon& p : mask) {
        if (2 * int64_t(p.bbox.left()) > cx || cx > 2 * int64_t(p.bbox.right()) ||
            2 * int64_t(p.bbox.bottom()) > cy || cy > 2 * int64_t(p.bbox.top()))
            continue;
        for (const oaBox& r : rectanglesOf(p))
            if (2 * int64_t(r.left()) <= cx && cx <= 2 * int64_t(r.right()) &&
                2 * int64_t(r.bottom()) <= cy && cy <= 2 * int64_t(r.top()))
                return {color, p.outline[0]};
    }
    ADD_FAILURE() << "no polygon of mask " << color << " holds piece " << piece;
    return {color, oaPoint()};
}

PolygonPairs decomposerPairs(const Design& d, const DecomposedLayer& layer) {
    PolygonPairs pairs;
    for (const myShape* s : d.shapes) {
        for (const myBox* b : s->myBoxes) {
            if (b->color < 0 || b->color >= NUM_COLORS) continue;
            for (const myBox* n : b->conflictNeighbors) {
                if (n->color != b->color) continue;
                EXPECT_NE(n->shape, s);
                const std::vector<MergedPolygon>& mask = layer.byDatatype.at(b->color + 1);
                pairs.insert(ordered(polygonHolding(mask, b->color, *b->box),
                                     polygonHolding(mask, n->color, *n->box)));
            }
        }
    }
    return pairs;
}

PolygonPairs checkerPairs(const DecomposedLayer& layer) {
    std::vector<std::vector<MergedPolygon> > masks;
    for (int m = 0; m < NUM_COLORS; ++m) {
        auto it = layer.byDatatype.find(m + 1);
        masks.push_back(it == layer.byDatatype.end() ? std::vector<MergedPolygon>() : it->second);
    }
    PolygonPairs pairs;
    for (const SpacingViolation& v : checkMasks(masks).violations)
        pairs.insert(ordered({v.mask, masks[v.mask][v.first].outline[0]},
                             {v.mask, masks[v.mask][v.second].outline[0]}));
    return pairs;
}

std::string checkBinary() {
    std::string b = testsupport::binaryPath();
    return b.substr(0, b.rfind('/') + 1) + "chromasect-check";
}

int summaryCount(const std::string& out, const char* what) {
    std::smatch m;
    const std::string text = out;
    if (!std::regex_search(text, m, std::regex(std::string(what) + ": (\\d+)"))) return -1;
    return std::stoi(m[1]);
}

class CheckDecomposed : public testsupport::GlobalsTest {};

TEST_F(CheckDecomposed, ViolationsAreTheDecomposersOwnConflictPairs) {
    const std::string src = testsupport::sourceDir();
    const char* layouts[] = {"examples/small.ascii",        "examples/example.ascii",
                             "tests/e2e/data/cycle5.ascii", "tests/e2e/data/wheel4.ascii",
                             "tests/e2e/data/k4.ascii",     "tests/e2e/data/wheel5.ascii",
                             "tests/e2e/data/stitch.ascii"};
    for (const char* name : layouts) {
        SCOPED_TRACE(name);
        testsupport::ScopedWorkDir dir;
        std::unique_ptr<MPLDesign> d = decompose(src + "/" + name, "out.gds");
        testing::internal::CaptureStdout();
        const DecomposedLayer layer = readDecomposedLayer("out.gds", 1);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(layer.unplaced, 0);

        const PolygonPairs expected = decomposerPairs(*d, layer);
        EXPECT_EQ(checkerPairs(layer), expected);
        // The result line keeps at most one conflict per feature.
        EXPECT_LE(d->conflicts.size(), expected.size());

        // The binary says the same of the GDSII and of the text dump.
        const size_t uncoloured = layer.byDatatype.count(kUncolouredDatatype)
                                      ? layer.byDatatype.at(kUncolouredDatatype).size()
                                      : 0;
        d->outFile = "out.ascii";
        testing::internal::CaptureStdout();
        writeDecomposedLayout(*d);
        testing::internal::GetCapturedStdout();
        for (const char* file : {"out.gds", "out.ascii"}) {
            SCOPED_TRACE(file);
            const testsupport::RunResult r = testsupport::runCommand(checkBinary() + " " + file);
            EXPECT_EQ(summaryCount(r.out, "spacing violations"), int(expected.size()));
            EXPECT_EQ(summaryCount(r.out, "unassigned shapes"), int(uncoloured));
            EXPECT_EQ(r.status, expected.empty() && uncoloured == 0 ? 0 : 1) << r.out;
        }
    }
}

}  // namespace

namespace {

// KLayout's own spacing check (scripts/klayout_mask_space.rb) finds the same
// polygon pairs on each mask of a decomposed example.
TEST(CheckDecomposedKLayout, KLayoutFindsTheSamePairsPerMask) {
    if (testsupport::runCommand("command -v klayout >/dev/null 2>&1").status != 0)
        GTEST_SKIP() << "klayout not installed: KLayout cross-check skipped";
    testsupport::ScopedWorkDir dir;
    decompose(testsupport::sourceDir() + "/examples/example.ascii", "out.gds");
    const testsupport::RunResult r = testsupport::runCommand(checkBinary() + " out.gds");
    std::map<int, int> ours;
    const std::regex line("CHECK \\| spacing on mask (\\d)");
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), line);
         it != std::sregex_iterator(); ++it)
        ++ours[std::stoi((*it)[1]) + 1];
    ASSERT_FALSE(ours.empty());
    const testsupport::RunResult k =
        testsupport::runCommand("klayout -b -rd input=out.gds -rd layer=1 -rd space=120 -r " +
                                testsupport::sourceDir() + "/scripts/klayout_mask_space.rb 2>&1");
    ASSERT_EQ(k.status, 0) << k.out;
    for (int dt = 1; dt <= 3; ++dt) {
        std::smatch m;
        ASSERT_TRUE(std::regex_search(
            k.out, m, std::regex("MASK " + std::to_string(dt) + " polygons \\d+ pairs (\\d+)")))
            << k.out;
        EXPECT_EQ(std::stoi(m[1]), ours[dt]) << "datatype " << dt;
    }
}

std::string lastLine(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    return t.substr(t.rfind('\n') + 1);
}

// The binary's own contract: what it accepts, and 2 for every layout that
// could not be checked, so that scripts tell "not clean" (1) from "not
// checked".
TEST(CheckCommand, ArgumentsAndUnreadableLayouts) {
    testsupport::ScopedWorkDir dir;
    testsupport::writeFile(
        "m.ascii",
        "HEADER: 600\nBGNLIB\nLIBNAME: L\nUNITS: 0.001, 1e-09\nBGNSTR\nSTRNAME: T\n"
        "BOUNDARY\nLAYER: 3\nDATATYPE: 1\nXY: 0: 0, 100: 0, 100: 60, 0: 60, 0: 0\nENDEL\n"
        "BOUNDARY\nLAYER: 3\nDATATYPE: 1\nXY: 0: 120, 100: 120, 100: 180, 0: 180, 0: 120\nENDEL\n"
        "ENDSTR\nENDLIB\n");
    testsupport::writeFile("bad.gds", std::string("\x00\x06\x00\x02\x02\x58\x00\x1c", 8));
    const std::string bin = checkBinary() + " ";
    // Argument errors come with the usage; file errors alone.
    const std::pair<std::string, std::string> failures[] = {
        {"missing.gds", "ERROR| cannot open file: missing.gds"},
        {"layout.txt", "ERROR| not a layout name (.gds, .gds2, .gdsii or .ascii): layout.txt"},
        {"", "ERROR| no layout given"},
        {"m.ascii -mindp", "ERROR| -mindp needs a value"},
        {"m.ascii -mindp 12x", "ERROR| can NOT parse: -mindp 12x"},
        {"m.ascii -mindp 46341", "ERROR| can NOT parse: -mindp 46341"},
        {"m.ascii -layer -1", "ERROR| can NOT parse: -layer -1"},
        {"m.ascii -inlib m.ascii", "ERROR| can NOT parse: -inlib"},
        {"m.ascii m.ascii", "ERROR| more than one layout given: m.ascii and m.ascii"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.first);
        const testsupport::RunResult r = testsupport::runCommand(bin + f.first);
        EXPECT_EQ(r.status, 2);
        const bool fileError = &f < &failures[2];
        EXPECT_EQ(fileError ? lastLine(r.out) : r.out.substr(0, r.out.find('\n')), f.second);
        EXPECT_EQ(r.out.find("usage: chromasect-check FILE") == std::string::npos, fileError);
    }
    testsupport::RunResult r = testsupport::runCommand(bin + "bad.gds");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(lastLine(r.out).rfind("ERROR| ", 0), 0u) << r.out;
    r = testsupport::runCommand(bin + "-help");
    EXPECT_EQ(r.status, 0);
    // Two bars 60 apart on layer 3: clean at 60, a violation at 61; the
    // options come in any order.
    r = testsupport::runCommand(bin + "-mindp 60 m.ascii -layer 3");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lastLine(r.out), "CHECK | spacing violations: 0, stitches: 0, unassigned shapes: 0");
    r = testsupport::runCommand(bin + "m.ascii -layer 3 -mindp 61");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(lastLine(r.out), "CHECK | spacing violations: 1, stitches: 0, unassigned shapes: 0");
}

}  // namespace
