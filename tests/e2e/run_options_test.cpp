// Whole-program runs with the run options and the picture, on the layouts
// of tests/e2e/data (results worked out by hand in their README).

#include <gtest/gtest.h>

#include <regex>

#include "support/test_support.h"
#include "support/xml_check.h"

namespace {

using testsupport::binaryPath;
using testsupport::runCommand;
using testsupport::sourceDir;

std::string stitchLayout() {
    return sourceDir() + "/tests/e2e/data/stitch.ascii";
}

std::string withoutParameterLine(const std::string& out) {
    return std::regex_replace(out, std::regex("STAT \\| Parameters: [^\n]*\n"), "");
}

TEST(RunOptions, EngineStitchesAndProgress) {
    testsupport::ScopedWorkDir dir;
    const std::string run = binaryPath() + " -inlib " + stitchLayout();
    const std::string result = "\nSTAT | Final Stitch Num: 1, Conflict Num: 0\n";
    // Naming every default changes nothing but the echoed parameters.
    auto plain = runCommand(run);
    auto defaults = runCommand(run +
                               " -algo sdp -simlg 2 -simdg 2 -stitch 1 -tplstitch 0 "
                               "-balance 0 -round2 0 -progress 0");
    EXPECT_EQ(defaults.status, 0);
    EXPECT_NE(plain.out.find(result), std::string::npos);
    EXPECT_EQ(withoutParameterLine(defaults.out), withoutParameterLine(plain.out));

    // The ILP engine finds the same optimum: one stitch instead of a conflict.
    auto ilp = runCommand(run + " -algo ilp");
    EXPECT_NE(ilp.out.find("yb ILP.lp: Optimal"), std::string::npos);
    EXPECT_NE(ilp.out.find(result), std::string::npos);
    // Without stitches the long wire stays whole and must share a mask with
    // one of its three neighbours.
    auto uncut = runCommand(run + " -algo ilp -stitch 0");
    EXPECT_NE(uncut.out.find("\nSTAT | Final Stitch Num: 0, Conflict Num: 1\n"), std::string::npos);

    EXPECT_EQ(plain.out.find("Color Assignment Process: 0.00%"), std::string::npos);
    auto progress = runCommand(run + " -progress 1");
    EXPECT_NE(progress.out.find("STAT | Color Assignment Process: 0.00%\t\r"), std::string::npos);
    // Standard error shows each stage as it begins and ends, in order, with
    // what it made; standard output is the same as without.
    auto stages = runCommand(run + " -progress 1 2>&1 1>/dev/null");
    std::string order;
    std::smatch m;
    for (std::string rest = stages.out;
         std::regex_search(rest, m, std::regex("\\] ([a-z -]+) (\\.\\.\\.|done in [0-9.]+ s)"));
         rest = m.suffix())
        order += m[1].str() + (m[2].str() == "..." ? "<" : ">");
    EXPECT_EQ(order,
              "reading<reading>layout graphs<layout graphs>simplification<simplification>"
              "projection<projection>decomposition graphs<decomposition graphs>colouring<colouring>"
              "back-annotation<back-annotation>counting<counting>writing<writing>");
    EXPECT_NE(stages.out.find("projection done in "), std::string::npos);
    EXPECT_NE(stages.out.find(" s: 11 features\n"), std::string::npos) << stages.out;
}

TEST(RunOptions, PictureHoldsWhatItsReportCounts) {
    testsupport::ScopedWorkDir dir;
    auto r =
        runCommand(binaryPath() + " -inlib " + stitchLayout() + " -svg pic.svg -out masks.ascii");
    ASSERT_EQ(r.status, 0);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        r.out, m,
        std::regex("Final Stitch Num: 1, Conflict Num: 0\nSTAT \\| Decomposed layout written to "
                   "masks.ascii, layer 1: (\\d+) on datatype 1, (\\d+) on datatype 2, (\\d+) on "
                   "datatype 3, 0 on datatype 9, 0 on datatype 10, 1 on datatype 11\nSTAT \\| "
                   "Picture written to pic.svg: (\\d+) on mask 0, (\\d+) on mask 1, (\\d+) on "
                   "mask 2, 0 without mask, 0 conflict markers, 1 stitch markers\n$")))
        << r.out;
    testsupport::XmlElement svg;
    std::string error;
    ASSERT_TRUE(testsupport::parseXml(testsupport::readFile("pic.svg"), svg, error)) << error;
    std::map<std::string, int> subpaths;
    for (const testsupport::XmlElement* p : testsupport::findElements(svg, "path")) {
        const std::string& d = p->attributes.at("d");
        subpaths[p->attributes.at("id")] = static_cast<int>(std::count(d.begin(), d.end(), 'M'));
    }
    int total = 0;
    for (int k = 0; k < 3; ++k) {
        const int drawn = std::stoi(m[4 + k]);
        EXPECT_EQ(drawn, std::stoi(m[1 + k]));
        EXPECT_EQ(subpaths["mask" + std::to_string(k)], drawn);
        total += drawn;
    }
    // Eleven features, the long wire cut in two by the stitch.
    EXPECT_EQ(total, 12);
    EXPECT_EQ(subpaths["stitches"], 1);
    EXPECT_EQ(subpaths.count("conflicts") + subpaths.count("uncoloured"), 0u);
    // The layout spans 3040 units each way: square, 2000 pixels tall.
    EXPECT_EQ(svg.attributes["height"], "2000");
}

}  // namespace
