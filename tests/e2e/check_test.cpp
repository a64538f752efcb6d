// The checker against the decomposer: every small layout is decomposed in
// process through the real solvers, written with "-out", and checked. The
// checker's spacing violations must be exactly the decomposer's own
// conflicting piece pairs (same mask, different features, strictly closer
// than the spacing), before the result line keeps at most one per feature:
// each piece stands for the polygon of the written layout that holds it, so
// several clashing pieces of two polygons make one pair. Then the built
// binary runs on the same files, and KLayout's own check on one of them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <regex>
#include <set>
#include <utility>

#include "base/params.h"
#include "check/layout_check.h"
#include "design/design.h"
#include "driver/pipeline.h"
#include "input/input.h"
#include "output/layout_writer.h"
#include "support/test_support.h"

using namespace chromasect;

namespace {

// A polygon of the written layout: its mask and lowest-left vertex.
typedef std::pair<int, oaPoint> PolygonKey;
typedef std::set<std::pair<PolygonKey, PolygonKey> > PolygonPairs;

std::pair<PolygonKey, PolygonKey> ordered(const PolygonKey& a, const PolygonKey& b) {
    return b < a ? std::make_pair(b, a) : std::make_pair(a, b);
}

std::unique_ptr<MPLDesign> decompose(const std::string& input) {
    setenv("OPENBLAS_NUM_THREADS", "1", 0);
    auto d = std::make_unique<MPLDesign>();
    d->inputFile = input;
    testing::internal::CaptureStdout();
    ReadAll(*d);
    Decomposition(*d);
    for (const char* out : {"out.gds", "out.ascii"}) {
        d->outFile = out;
        writeDecomposedLayout(*d);
    }
    testing::internal::GetCapturedStdout();
    return d;
}

std::vector<std::vector<MergedPolygon> > masksOf(const std::string& path) {
    chromasect::Reporter quiet;
    quiet.capture();
    DecomposedLayer layer = readDecomposedLayer(path, 1, quiet);
    EXPECT_EQ(layer.unplaced, 0);
    std::vector<std::vector<MergedPolygon> > masks(NUM_COLORS);
    for (int m = 0; m < NUM_COLORS; ++m) masks[m] = layer.byDatatype[m + 1];
    return masks;
}

// The polygon of the mask holding the centre of a piece (pieces have area).
PolygonKey polygonHolding(const std::vector<MergedPolygon>& mask, int color, const oaBox& piece) {
    const int64_t cx = int64_t(piece.left()) + piece.right();
    const int64_t cy = int64_t(piece.bottom()) + piece.top();
    for (const MergedPolygon& p : mask)
        for (const oaBox& r : rectanglesOf(p))
            if (2 * int64_t(r.left()) <= cx && cx <= 2 * int64_t(r.right()) &&
                2 * int64_t(r.bottom()) <= cy && cy <= 2 * int64_t(r.top()))
                return {color, p.outline[0]};
    ADD_FAILURE() << "no polygon of mask " << color << " holds piece " << piece;
    return {color, oaPoint()};
}

PolygonPairs decomposerPairs(const Design& d,
                             const std::vector<std::vector<MergedPolygon> >& masks) {
    PolygonPairs pairs;
    for (const myShape* s : d.shapes)
        for (const myBox* b : s->myBoxes) {
            if (b->color < 0 || b->color >= NUM_COLORS) continue;
            for (const myBox* n : b->conflictNeighbors)
                if (n->color == b->color)
                    pairs.insert(ordered(polygonHolding(masks[b->color], b->color, *b->box),
                                         polygonHolding(masks[n->color], n->color, *n->box)));
        }
    return pairs;
}

PolygonPairs checkerPairs(const std::vector<std::vector<MergedPolygon> >& masks) {
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

std::string lastLine(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    return t.substr(t.rfind('\n') + 1);
}

class CheckDecomposed : public testsupport::GlobalsTest {};

TEST_F(CheckDecomposed, ViolationsAreTheDecomposersOwnConflictPairs) {
    const char* layouts[] = {"examples/small.ascii",        "examples/example.ascii",
                             "tests/e2e/data/cycle5.ascii", "tests/e2e/data/wheel4.ascii",
                             "tests/e2e/data/k4.ascii",     "tests/e2e/data/wheel5.ascii",
                             "tests/e2e/data/stitch.ascii"};
    for (const char* name : layouts) {
        SCOPED_TRACE(name);
        testsupport::ScopedWorkDir dir;
        std::unique_ptr<MPLDesign> d = decompose(testsupport::sourceDir() + "/" + name);
        const auto masks = masksOf("out.gds");
        const PolygonPairs expected = decomposerPairs(*d, masks);
        EXPECT_EQ(checkerPairs(masks), expected);

        // The binary says the same of both formats; no example leaves a
        // small feature without a mask.
        const std::string summary =
            "CHECK | spacing violations: " + std::to_string(expected.size()) + ", stitches: ";
        for (const char* file : {"out.gds", "out.ascii"}) {
            const testsupport::RunResult r = testsupport::runCommand(checkBinary() + " " + file);
            EXPECT_EQ(lastLine(r.out).rfind(summary, 0), 0u) << file << ": " << r.out;
            const bool unassigned = r.out.find("unassigned shape: ") != std::string::npos;
            EXPECT_EQ(r.status, expected.empty() && !unassigned ? 0 : 1) << file;
        }
    }
}

// KLayout's own spacing check (klayout/mask_space.rb) finds the same
// polygon pairs on each mask: the decomposed example on three masks, a
// shared layer on four.
TEST_F(CheckDecomposed, KLayoutFindsTheSamePairsPerMask) {
    if (testsupport::runCommand("command -v klayout >/dev/null 2>&1").status != 0)
        GTEST_SKIP() << "klayout not installed: KLayout cross-check skipped";
    testsupport::ScopedWorkDir dir;
    const std::pair<int, std::string> runs[] = {
        {3, testsupport::sourceDir() + "/examples/example.ascii"},
        {4, testsupport::sourceDir() + "/../shared/layouts/c432_m1.ascii"}};
    for (const auto& run : runs) {
        setMaskCount(run.first);
        decompose(run.second);
        std::vector<int> ours(NUM_COLORS, 0);
        for (const SpacingViolation& v : checkMasks(masksOf("out.gds")).violations) ++ours[v.mask];
        const testsupport::RunResult k = testsupport::runCommand(
            "klayout -b -rd input=out.gds -rd layer=1 -rd space=120 -rd masks=" +
            std::to_string(run.first) + " -r " + testsupport::sourceDir() +
            "/klayout/mask_space.rb 2>&1");
        ASSERT_EQ(k.status, 0) << k.out;
        std::string expected;
        int total = 0;
        for (int m = 0; m < NUM_COLORS; ++m) {
            expected +=
                "MASK " + std::to_string(m + 1) + " pairs " + std::to_string(ours[m]) + "\n";
            total += ours[m];
        }
        EXPECT_GT(total, 0) << run.second;
        EXPECT_EQ(std::regex_replace(k.out, std::regex(" polygons \\d+| edge_pairs.*"), ""),
                  expected)
            << run.second;
    }
    resetGlobalParameters();
}

// Exit status 2 for everything that could not be checked, so that scripts
// tell "not clean" (1) from "not checked".
TEST(CheckCommand, ArgumentsAndUnreadableLayouts) {
    testsupport::ScopedWorkDir dir;
    testsupport::writeFile(
        "m.ascii",
        "HEADER: 600\nBGNLIB\nLIBNAME: L\nUNITS: 0.001, 1e-09\nBGNSTR\nSTRNAME: T\n"
        "BOUNDARY\nLAYER: 3\nDATATYPE: 1\nXY: 0: 0, 100: 0, 100: 60, 0: 60, 0: 0\n"
        "ENDEL\nBOUNDARY\nLAYER: 3\nDATATYPE: 1\nXY: 0: 120, 100: 120, 100: "
        "180, 0: 180, 0: 120\nENDEL\nENDSTR\nENDLIB\n");
    // File errors alone, argument errors with the usage.
    const std::pair<std::string, std::string> failures[] = {
        {"missing.gds", "ERROR| cannot open file: missing.gds"},
        {"layout.txt",
         "ERROR| not a layout name (.gds, .gds2, .gdsii, .oas, .oasis or .ascii): layout.txt"},
        {"", "ERROR| no layout given"},
        {"m.ascii -mindp", "ERROR| -mindp needs a value"},
        {"m.ascii -mindp 46341", "ERROR| can NOT parse: -mindp 46341"},
        {"m.ascii -layer 1x", "ERROR| can NOT parse: -layer 1x"},
    };
    for (const auto& f : failures) {
        const testsupport::RunResult r = testsupport::runCommand(checkBinary() + " " + f.first);
        EXPECT_EQ(r.status, 2) << f.first;
        const bool fileError = &f < &failures[2];
        EXPECT_EQ(fileError ? lastLine(r.out) : r.out.substr(0, r.out.find('\n')), f.second);
        EXPECT_EQ(r.out.find("usage: chromasect-check FILE") == std::string::npos, fileError);
    }
    EXPECT_EQ(testsupport::runCommand(checkBinary() + " -help").status, 0);
    // Two bars 60 apart on layer 3: a violation at 61, not at 60.
    EXPECT_EQ(testsupport::runCommand(checkBinary() + " -mindp 60 m.ascii -layer 3").status, 0);
    EXPECT_EQ(testsupport::runCommand(checkBinary() + " m.ascii -layer 3 -mindp 61").status, 1);
}

}  // namespace
