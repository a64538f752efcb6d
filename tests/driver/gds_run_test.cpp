// Whole runs on GDSII input and with layout output, each in its own working
// directory; the KLayout and shared-layout cases are skipped, visibly, where
// KLayout or the layouts are missing.

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "design/design.h"
#include "input/input.h"
#include "layout/gdsii_stream.h"
#include "support/test_support.h"

using namespace chromasect;
using testsupport::runCommand;
using testsupport::runMain;

namespace {

gdsii::Element square(int x, int y, int size, int layer = 1) {
    gdsii::Element e;
    e.layer = layer;
    e.xy = {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
    return e;
}

// Four 100 x 100 squares 50 apart (every pair in conflict), drawn as one
// square placed four times, plus a rectangle of another layer.
void writeFourSquares(const std::string& path) {
    gdsii::Library lib;
    lib.name = "K4LIB";
    gdsii::Structure cell{"SQ", {square(0, 0, 100)}};
    gdsii::Structure top{"K4", {square(-500, -500, 2000, 2)}};
    for (int x : {0, 150})
        for (int y : {0, 150}) {
            gdsii::Element r;
            r.kind = gdsii::ElementKind::SRef;
            r.sname = "SQ";
            r.xy = {{x, y}};
            top.elements.push_back(r);
        }
    lib.structures = {cell, top};
    gdsii::writeLibraryFile(path, lib);
}

// One 10 x 10 square placed n x n times, 20 apart.
void writeSquareArray(const std::string& path, int n) {
    gdsii::Library lib;
    gdsii::Element array;
    array.kind = gdsii::ElementKind::ARef;
    array.sname = "SQ";
    array.cols = array.rows = n;
    array.xy = {{0, 0}, {20 * n, 0}, {0, 20 * n}};
    lib.structures = {gdsii::Structure{"SQ", {square(0, 0, 10)}}, gdsii::Structure{"TOP", {array}}};
    gdsii::writeLibraryFile(path, lib);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// Shapes per datatype from a "STAT | Decomposed layout written" line.
std::map<int, int> reportedCounts(const std::string& out) {
    std::map<int, int> counts;
    const size_t at = out.find("STAT | Decomposed layout written to ");
    if (at == std::string::npos) return counts;
    const std::string line = out.substr(at, out.find('\n', at) - at);
    const std::regex item("(\\d+) on datatype (\\d+)");
    for (auto it = std::sregex_iterator(line.begin(), line.end(), item);
         it != std::sregex_iterator(); ++it)
        counts[std::stoi((*it)[2])] = std::stoi((*it)[1]);
    return counts;
}

void expectSameFeatures(const Design& a, const Design& b) {
    ASSERT_EQ(a.shapes.size(), b.shapes.size());
    for (size_t i = 0; i < a.shapes.size(); ++i) {
        const myShape* s = a.shapes[i];
        const myShape* t = b.shapes[i];
        ASSERT_EQ(s->points.points(), t->points.points()) << "feature " << i;
        EXPECT_EQ(*s->bbox, *t->bbox) << "feature " << i;
        ASSERT_EQ(s->realBoxes.size(), t->realBoxes.size()) << "feature " << i;
        for (size_t k = 0; k < s->realBoxes.size(); ++k)
            EXPECT_EQ(*s->realBoxes[k]->box, *t->realBoxes[k]->box) << "feature " << i;
    }
    EXPECT_EQ(oaBox(a.minX, a.minY, a.maxX, a.maxY), oaBox(b.minX, b.minY, b.maxX, b.maxY));
}

// Reads a layout through the run's own dispatch, quietly.
void readInto(MPLDesign& d, const std::string& path, int layer) {
    d.inputFile = path;
    d.layer = layer;
    d.report.capture();
    ReadAll(d);
    d.report.takeCaptured();
}

bool haveKLayout() {
    return runCommand("command -v klayout >/dev/null 2>&1").status == 0;
}

std::string klayoutScript(const std::string& name) {
    return testsupport::sourceDir() + "/klayout/" + name;
}

std::string sharedLayout(const std::string& name) {
    return testsupport::sourceDir() + "/../shared/layouts/" + name;
}

}  // namespace

TEST(GdsRun, DamagedOrLoopingStreamsEndTheRunWithOneError) {
    testsupport::ScopedWorkDir dir;
    writeFourSquares("good.GDS");  // the extension in any case selects the binary reader
    const std::string good = testsupport::readFile("good.GDS");
    gdsii::Library loop;
    loop.structures = {gdsii::Structure{"A", {square(0, 0, 10)}}, gdsii::Structure{"B", {}}};
    gdsii::Element ab, ba;
    ab.kind = ba.kind = gdsii::ElementKind::SRef;
    ab.sname = "B";
    ba.sname = "A";
    ab.xy = ba.xy = {{0, 0}};
    loop.structures[0].elements.push_back(ab);
    loop.structures[1].elements.push_back(ba);
    gdsii::writeLibraryFile("loop.gds", loop);
    gdsii::Library tiny;  // a unit a float cannot hold: every vertex would be 0
    tiny.dbUnit = 1e-78;
    tiny.structures = {gdsii::Structure{"A", {square(0, 0, 10)}}};
    gdsii::writeLibraryFile("tiny.gds", tiny);
    testsupport::writeFile("cut.gds", good.substr(0, good.size() / 2));
    std::string zero = good;
    zero[good.size() - 8] = zero[good.size() - 7] = 0;  // the ENDSTR record before ENDLIB
    testsupport::writeFile("zero.gds2", zero);
    // A LAYER record whose length swallows the DATATYPE record after it.
    std::string lying = good;
    lying[lying.find(std::string("\x00\x06\x0d\x02", 4)) + 1] = 12;
    testsupport::writeFile("lying.gds", lying);

    // A few hundred bytes that flatten into 2^30 squares: refused before any
    // shape is made, as is a library above a -max_shapes given.
    writeSquareArray("bomb.gds", 32767);

    const std::vector<std::vector<std::string> > runs = {
        {"-inlib", "loop.gds"},
        {"-inlib", "cut.gds"},
        {"-inlib", "zero.gds2"},
        {"-inlib", "missing.gdsii"},
        {"-inlib", "bomb.gds"},
        {"-inlib", "good.GDS", "-max_shapes", "3"},
        {"-inlib", "lying.gds"},
        {"-inlib", "tiny.gds"},
        {"-inlib", "bomb.gds", "-max_shapes", "2000000000"}};  // more than memory holds
    for (const std::vector<std::string>& args : runs) {
        const std::string file = args[1];
        const auto r = runMain(args);
        EXPECT_EQ(r.status, 1) << file;
        const std::vector<std::string> out = lines(r.out);
        int errors = 0;
        for (const std::string& l : out) errors += l.rfind("ERROR| ", 0) == 0;
        EXPECT_EQ(errors, 1) << r.out;
        EXPECT_EQ(out.back().rfind("ERROR| ", 0), 0u) << r.out;
    }
    EXPECT_NE(runMain({"-inlib", "bomb.gds"}).out.find("more than 500000000 shapes"),
              std::string::npos);
    const auto ok = runMain({"-inlib", "good.GDS", "-max_shapes", "4"});
    EXPECT_EQ(ok.status, 0);
    EXPECT_NE(ok.out.find("STAT | After read all wires, wire# = 4\n"), std::string::npos) << ok.out;
}

// Memory that runs out (here an address-space limit below what 2.9 million
// squares take, though above the floor the count is refused at) ends the
// run with one ERROR line, not an abort. The sanitizers reserve more
// address space than the limit leaves.
TEST(GdsRun, RunningOutOfMemoryIsReported) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "not under the address sanitizer";
#endif
    testsupport::ScopedWorkDir dir;
    writeSquareArray("big.gds", 1700);
    const auto r = runCommand("ulimit -v 1000000; " + testsupport::binaryPath() +
                              " -inlib big.gds -threads 1");
    EXPECT_EQ(r.status, 255) << r.out;
    const std::vector<std::string> out = lines(r.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "ERROR| out of memory: the layout needs more than this machine has");
}

TEST(GdsRun, DecomposedLayoutComesAfterAnUnchangedReport) {
    testsupport::ScopedWorkDir dir;
    writeFourSquares("k4.gds");
    const auto plain = runMain({"-inlib", "k4.gds"});
    const auto withOut = runMain({"-inlib", "k4.gds", "-out", "masks.gds"});
    ASSERT_EQ(withOut.status, 0) << withOut.out;
    // Everything up to the result line stays as it was; one line follows it.
    const size_t result = plain.out.find("\nSTAT | Final Stitch Num: ");
    ASSERT_NE(result, std::string::npos);
    const std::string report = plain.out.substr(plain.out.find("STAT | After read all wires"));
    ASSERT_NE(withOut.out.find(report), std::string::npos);
    const std::string extra = withOut.out.substr(withOut.out.find(report) + report.size());
    EXPECT_EQ(lines(extra).size(), 1u) << extra;
    EXPECT_EQ(extra.rfind("STAT | Decomposed layout written to masks.gds, layer 1: ", 0), 0u);

    // The file holds what the line says, under the input's names.
    const std::map<int, int> counts = reportedCounts(withOut.out);
    const gdsii::Library lib = gdsii::readLibraryFile("masks.gds");
    EXPECT_EQ(lib.name, "K4LIB");
    ASSERT_EQ(lib.structures.size(), 1u);
    EXPECT_EQ(lib.structures[0].name, "K4");
    std::map<int, int> inFile;
    for (const gdsii::Element& e : lib.structures[0].elements) {
        EXPECT_EQ(e.layer, 1);
        ++inFile[e.datatype];
    }
    for (const auto& c : counts) EXPECT_EQ(inFile[c.first], c.second) << "datatype " << c.first;
    int features = 0;
    for (int dt : {1, 2, 3, 9}) features += counts.at(dt);
    EXPECT_EQ(features, 4);  // no square is cut: each is written whole

    // The text form carries the same shapes and reads back as features.
    const auto text = runMain({"-inlib", "k4.gds", "-out", "masks.ascii"});
    EXPECT_EQ(reportedCounts(text.out), counts);
    MPLDesign back;
    readInto(back, "masks.ascii", 1);
    int total = 0;
    for (const auto& c : counts) total += c.second;
    EXPECT_EQ(static_cast<int>(back.shapes.size()), total);
}

TEST(GdsRun, DumpReadsBackAsTheSameFeatures) {
    testsupport::ScopedWorkDir dir;
    writeFourSquares("k4.gds");
    const auto r = runMain({"-inlib", "k4.gds", "-dump", "k4.ascii"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("STAT | Layer 1 written to k4.ascii: 4 shapes\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Final Stitch Num"), std::string::npos);  // no decomposition
    MPLDesign fromGds, fromText;
    readInto(fromGds, "k4.gds", 1);
    readInto(fromText, "k4.ascii", 1);
    expectSameFeatures(fromGds, fromText);
    // The script does the same.
    const std::string script = testsupport::sourceDir() + "/scripts/gds2ascii";
    const auto s = runCommand("CHROMASECT=" + testsupport::binaryPath() + " sh " + script +
                              " k4.gds again.ascii 1");
    EXPECT_EQ(s.status, 0) << s.out;
    EXPECT_EQ(testsupport::readFile("again.ascii"), testsupport::readFile("k4.ascii"));
}

TEST(RealLayouts, GdsiiReadsLikeItsTextDumpAndHierarchiesMerge) {
    if (!testsupport::fileExists(sharedLayout("c1908_m1_s20.gds")))
        GTEST_SKIP() << "shared layouts not found at " << sharedLayout("");
    MPLDesign fromGds, fromText;
    readInto(fromGds, sharedLayout("c1908_m1_s20.gds"), 1);
    readInto(fromText, sharedLayout("c1908_m1_s20.ascii"), 1);
    EXPECT_EQ(fromGds.shapes.size(), 1833u);
    expectSameFeatures(fromGds, fromText);
    for (const auto& c :
         {std::make_pair("c432_osu018.gds", 522u), std::make_pair("c880_osu018.gds", 1140u)}) {
        MPLDesign d;
        readInto(d, sharedLayout(c.first), 6);
        EXPECT_EQ(d.shapes.size(), c.second) << c.first;
    }
}

TEST(KLayout, ReadsTheDecomposedLayoutWithTheReportedCounts) {
    if (!haveKLayout()) GTEST_SKIP() << "klayout not installed: KLayout cross-check skipped";
    testsupport::ScopedWorkDir dir;
    writeFourSquares("k4.gds");
    const auto r = runMain({"-inlib", "k4.gds", "-out", "masks.gds"});
    ASSERT_EQ(r.status, 0);
    const auto k = runCommand("klayout -b -rd input=masks.gds -r " +
                              klayoutScript("count_shapes.rb") + " 2>&1");
    ASSERT_EQ(k.status, 0) << k.out;
    std::map<int, int> seen;
    std::smatch m;
    for (const std::string& l : lines(k.out))
        if (std::regex_match(l, m, std::regex("1/(\\d+) (\\d+)")))
            seen[std::stoi(m[1])] = std::stoi(m[2]);
    std::map<int, int> expected;
    for (const auto& c : reportedCounts(r.out))
        if (c.second > 0) expected[c.first] = c.second;
    EXPECT_EQ(seen, expected) << k.out;
    EXPECT_NE(k.out.find("TOP K4\n"), std::string::npos);
}

TEST(KLayout, ItsGdsiiReadsLikeItsOwnFlattenedMerge) {
    if (!haveKLayout()) GTEST_SKIP() << "klayout not installed: KLayout cross-check skipped";
    testsupport::ScopedWorkDir dir;
    // Hierarchy, quarter turns, mirrors, a magnified placement, an array and
    // every path end type, all written by KLayout; the text dump is
    // KLayout's own flattening and merge of the same layer.
    const auto k = runCommand("klayout -b -rd gds=kl.gds -rd ascii=kl.ascii -r " +
                              klayoutScript("make_layout.rb") + " 2>&1");
    ASSERT_EQ(k.status, 0) << k.out;
    MPLDesign fromGds, fromText;
    readInto(fromGds, "kl.gds", 1);
    readInto(fromText, "kl.ascii", 1);
    EXPECT_GT(fromGds.shapes.size(), 50u);
    expectSameFeatures(fromGds, fromText);
}
