#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "base/fatal.h"
#include "base/params.h"
#include "design/design.h"
#include "driver/app.h"
#include "driver/options.h"
#include "support/test_support.h"

namespace {

const char* kBanner =
    "\n\n"
    "*****************   Chromasect - Version 2.0   ****************\n"
    "******************************************************************\n";

const char* kUsage =
    "\n"
    "***********        Chromasect 2.0 Usage        **********\n"
    "\"-help\"          : showing the command help. \n"
    "\"-inlib\"         : followed by input ascii layout name (default: \"c1sim_merged.ascii\"). \n"
    "\"-layer\"         : followed by an integer [0, 59], indicate read which layer (default: 1). "
    "\n"
    "\"-mindp\"         : followed by an integer, indicate the number of coloring space. \n"
    "\"-alpha\"         : followed by a float\n"
    "\"-beta\"          : followed by a float\n"
    "\"-out\"           : followed by an output layout name, \".gds\" (GDSII), \".oas\" (OASIS) or "
    "\".ascii\" (text): masks on datatypes 1 to K (-masks), uncoloured 9, conflicts 10, stitches "
    "11. \n"
    "\"-dump\"          : followed by a text layout name (\".ascii\"): the layer as read, merged; "
    "no decomposition. \n"
    "\"-algo\"          : followed by sdp, ilp, exact or tabu, the colouring engine (default: "
    "sdp). \n"
    "\"-simlg\"         : followed by an integer, layout graph simplification level "
    "(default: 2). \n"
    "\"-simdg\"         : followed by an integer, decomposition graph simplification level "
    "(default: 2). \n"
    "\"-stitch\"        : followed by 0 or 1, allow stitches (default: 1). \n"
    "\"-tplstitch\"     : followed by 0 or 1, the three-mask stitch candidates (default: 0). \n"
    "\"-balance\"       : followed by 0, 1 or 2, density balance: none, local, global "
    "(default: 0). \n"
    "\"-round2\"        : followed by 0 or 1, second-stage SDP rounding (default: 0). \n"
    "\"-progress\"      : followed by 0 or 1, show colouring progress (default: 0). \n"
    "\"-svg\"           : followed by an SVG picture name: masks, uncoloured features, conflicts "
    "and stitches. \n"
    "\"-window\"        : followed by left,bottom,right,top: the part of the layout the picture "
    "shows. \n"
    "\"-exact_sec\"     : followed by a number, the exact engine's time limit per graph in seconds "
    "(default: 10). \n"
    "\"-quality\"       : followed by 0 or 1, report the engines' summed cost (default: 0). \n"
    "\"-threads\"       : followed by an integer of at least 1, the graphs solved at once "
    "(default: the number of hardware threads). \n"
    "\"-solver_sec\"    : followed by a number, the time limit of each outside solve in seconds, 0 "
    "for none (default: 0). \n"
    "\"-tabu_sec\"      : followed by a number, the tabu engine's time limit per graph in seconds "
    "(default: none). \n"
    "\"-sdp_max_mb\"    : followed by a number, the memory one SDP solve may take in MB; larger "
    "graphs go to the tabu engine (default: available memory / threads). \n"
    "\"-max_shapes\"    : followed by an integer of at least 1, the most shapes of the layer a "
    "GDSII library may flatten into (default: 500000000). \n"
    "\"-report\"        : followed by a JSON file name, the machine-readable run report. \n"
    "\"-masks\"         : followed by 2, 3 or 4, the number of masks (default: 3). \n"
    "\"-fixed\"         : followed by 0 or 1: 1 reads datatypes 1 to K as shapes fixed to masks 0 "
    "to K-1 (default: 0). \n"
    "\"-previous\"      : followed by a decomposed layout: features it holds unchanged keep their "
    "mask. \n"
    "\"--version\"      : the version and the solvers found. \n"
    "\n";

class CommandLine : public testsupport::GlobalsTest {
  protected:
    // Parses args on a fresh run object, capturing the parameter line.
    bool parse(std::vector<std::string> args, std::string* out = nullptr) {
        std::vector<std::string> storage{"chromasect"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : storage) argv.push_back(&s[0]);
        design.report.capture();
        bool ok = false;
        try {
            ok = parseParameters(design, static_cast<int>(argv.size()), argv.data());
        } catch (const chromasect::UsageError& e) {
            design.report.line(e.message());
        }
        std::string text = design.report.takeCaptured();
        if (out) *out = text;
        return ok;
    }
    MPLDesign design;
};

TEST_F(CommandLine, HelpPrintsBannerParametersAndUsage) {
    auto r = testsupport::runMain({"-help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kBanner) + "STAT | Parameters: -help \n" + kUsage);
    // "-help" in any option position stops parsing, even without a value.
    r = testsupport::runMain({"-layer", "2", "-help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kBanner) + "STAT | Parameters: -layer 2 -help \n" + kUsage);
}

TEST_F(CommandLine, UnknownOptionOrMissingValueIsAnError) {
    auto r = testsupport::runMain({"-foo", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kBanner) + "STAT | Parameters: -foo 1 \n" +
                         "ERROR| can NOT parse: -foo\n" + kUsage);
    r = testsupport::runMain({"-layer"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(kBanner) + "STAT | Parameters: -layer \n" +
                         "ERROR| can NOT parse: -layer\n" + kUsage);
    // Options are matched whole and case-sensitively.
    r = testsupport::runMain({"-Layer", "3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR| can NOT parse: -Layer\n"), std::string::npos);
}

TEST_F(CommandLine, DefaultsAndValues) {
    std::string out;
    EXPECT_TRUE(parse({}, &out));
    EXPECT_EQ(out, "STAT | Parameters: \n");
    EXPECT_EQ(design.inputFile, "c1sim_merged.ascii");
    EXPECT_EQ(design.layer, 1);
    EXPECT_EQ(MINDPLDIST, 120);
    EXPECT_DOUBLE_EQ(design.alpha, 0.1);
    EXPECT_DOUBLE_EQ(design.beta, 0.07);
    EXPECT_EQ(design.algo, Engine::Sdp);
    EXPECT_EQ(design.simlg, 2);
    EXPECT_EQ(design.simdg, 2);
    EXPECT_TRUE(design.dplStitch);
    EXPECT_FALSE(design.sdpRoundFlag);
    EXPECT_EQ(design.densityBalance, Balance::None);
    EXPECT_TRUE(design.quiet);
    EXPECT_TRUE(design.allowStitch);
    EXPECT_EQ(design.colorDensity, std::vector<double>(3, 0.0));

    EXPECT_TRUE(parse({"-mindp", "80", "-layer", "2"}, &out));
    EXPECT_EQ(out, "STAT | Parameters: -mindp 80 -layer 2 \n");
    EXPECT_EQ(MINDPLDIST, 80);
    EXPECT_EQ(design.layer, 2);
    // The marker colours do not follow the spacing.
    EXPECT_EQ(NEEDDG_COLOR, 3);
}

TEST_F(CommandLine, TolerantNumbersAndRepeats) {
    EXPECT_TRUE(parse({"-layer", "3", "-layer", "5"}));
    EXPECT_EQ(design.layer, 5);
    EXPECT_TRUE(parse({"-layer", "abc"}));
    EXPECT_EQ(design.layer, 0);
    EXPECT_TRUE(parse({"-layer", "12xyz", "-alpha", "0.25abc", "-beta", "x"}));
    EXPECT_EQ(design.layer, 12);
    EXPECT_DOUBLE_EQ(design.alpha, 0.25);
    EXPECT_DOUBLE_EQ(design.beta, 0.0);
    EXPECT_TRUE(parse({"-inlib", "some.ascii", "-mindp", "46340"}));
    EXPECT_EQ(design.inputFile, "some.ascii");
    EXPECT_EQ(MINDPLDIST, 46340);
    // A spacing whose square no longer fits is refused rather than
    // silently making every pair conflict.
    std::string out;
    EXPECT_FALSE(parse({"-mindp", "99999999999999"}, &out));
    EXPECT_NE(out.find("ERROR| -mindp must be between 0 and 46340\n"), std::string::npos);
    EXPECT_FALSE(parse({"-mindp", "-5"}, &out));
    EXPECT_NE(out.find("ERROR| -mindp must be between 0 and 46340\n"), std::string::npos);
}

TEST_F(CommandLine, LayoutOutputNamesMustNameAFormat) {
    EXPECT_TRUE(parse({"-out", "masks.GDS", "-dump", "layer.ascii.txt"}));
    EXPECT_EQ(design.outFile, "masks.GDS");
    EXPECT_EQ(design.dumpFile, "layer.ascii.txt");
    EXPECT_TRUE(parse({"-out", "masks.ascii"}));
    EXPECT_EQ(design.outFile, "masks.ascii");
    // Rejected before anything is read: the input named here does not exist.
    for (const char* bad : {"masks.txt", "masks.gds.bak", ""}) {
        auto r = testsupport::runMain({"-inlib", "missing.gds", "-out", bad});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_NE(r.out.find("ERROR| can NOT parse: -out\n" + std::string(kUsage)),
                  std::string::npos);
    }
    auto r = testsupport::runMain({"-dump", "layer.gds"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR| can NOT parse: -dump\n"), std::string::npos);
}

TEST_F(CommandLine, RunOptionsSetTheirParameters) {
    EXPECT_TRUE(parse({"-algo",    "ilp",     "-simlg",  "0",          "-simdg",
                       "-1",       "-stitch", "0",       "-tplstitch", "1",
                       "-balance", "2",       "-round2", "1",          "-progress",
                       "1",        "-svg",    "pic.svg", "-window",    "-10,+5,300,2147483647"}));
    EXPECT_EQ(design.algo, Engine::Ilp);
    EXPECT_EQ(design.simlg, 0);
    EXPECT_EQ(design.simdg, -1);
    EXPECT_FALSE(design.allowStitch);
    EXPECT_FALSE(design.dplStitch);
    EXPECT_EQ(design.densityBalance, Balance::Global);
    EXPECT_TRUE(design.sdpRoundFlag);
    EXPECT_FALSE(design.quiet);
    EXPECT_EQ(design.svgFile, "pic.svg");
    EXPECT_TRUE(design.hasSvgWindow);
    EXPECT_EQ(design.svgWindow, oaBox(-10, 5, 300, 2147483647));
    // The other value of each pair, and the last of repeats.
    EXPECT_TRUE(parse({"-algo", "sdp", "-stitch", "1", "-tplstitch", "0", "-balance", "1",
                       "-round2", "0", "-progress", "0", "-simlg", "7", "-simlg", "3"}));
    EXPECT_EQ(design.algo, Engine::Sdp);
    EXPECT_TRUE(design.allowStitch);
    EXPECT_TRUE(design.dplStitch);
    EXPECT_EQ(design.densityBalance, Balance::Local);
    EXPECT_FALSE(design.sdpRoundFlag);
    EXPECT_TRUE(design.quiet);
    EXPECT_EQ(design.simlg, 3);
    EXPECT_TRUE(parse({"-algo", "exact", "-exact_sec", "2.5", "-quality", "1"}));
    EXPECT_EQ(design.algo, Engine::Exact);
    EXPECT_DOUBLE_EQ(design.exactSeconds, 2.5);
    EXPECT_TRUE(design.reportQuality);
}

TEST_F(CommandLine, RunOptionsRefuseValuesOutsideTheirSet) {
    const std::vector<std::pair<std::string, std::vector<std::string> > > bad = {
        {"-algo", {"SDP", "1", "", "sdp "}},
        {"-simlg", {"2x", "x", "", " 2", "2.0", "99999999999"}},
        {"-simdg", {"1e3", "--1"}},
        {"-stitch", {"2", "-1", "01x", "yes"}},
        {"-tplstitch", {"2"}},
        {"-balance", {"3", "-1", "1.5"}},
        {"-round2", {"2"}},
        {"-progress", {"true"}},
        {"-exact_sec", {"0", "-1", "10s", "", "nan", "inf", "1e7"}},
        // A negative, infinite or huge weight: a relaxation without bound.
        {"-alpha", {"-1e308", "-0.1", "inf", "nan", "1e308", "1001"}},
        {"-beta", {"inf", "-inf", "-1", "nan(1)", "5e3"}},
        {"-quality", {"2"}},
        {"-threads", {"0", "-2", "1.5", "x", ""}},
        {"-solver_sec", {"-1", "x", "", "0.0.1", "inf", "1e300"}},
        {"-tabu_sec", {"0", "-1", "x", "infinity", "1e9"}},
        {"-sdp_max_mb", {"0", "inf", "nan"}},
        {"-svg", {""}},
        {"-masks", {"1", "5", "3.0", ""}},
        {"-window",
         {"0,0,10", "0,0,10,10,", "0,0,10,10,20", "0,0,0,10", "0,10,10,0", "10,0,0,10", "a,b,c,d",
          "0, 0,10,10", "0;0;10;10", "0,0,10,99999999999", ""}},
    };
    for (const auto& option : bad) {
        for (const std::string& value : option.second) {
            SCOPED_TRACE(option.first + " '" + value + "'");
            auto r = testsupport::runMain({"-svg", "p.svg", option.first, value});
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.out.find("\nERROR| can NOT parse: " + option.first + "\n" + kUsage),
                      std::string::npos);
        }
        // A missing value is refused like a wrong one.
        auto r = testsupport::runMain({"-layer", "2", option.first});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("ERROR| can NOT parse: " + option.first + "\n"), std::string::npos);
    }
    // A window with nothing to draw in, or a picture of a run that stops
    // before decomposing, is refused before anything is read.
    auto r = testsupport::runMain({"-inlib", "missing.ascii", "-window", "0,0,10,10"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR| -window needs -svg\n" + std::string(kUsage)), std::string::npos);
    r = testsupport::runMain({"-inlib", "missing.ascii", "-svg", "p.svg", "-dump", "d.ascii"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR| -svg draws a decomposition and -dump stops before it\n"),
              std::string::npos);
    r = testsupport::runMain({"-inlib", "missing.ascii", "-masks", "2", "-algo", "ilp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR| -algo ilp needs -masks 3 or 4\n"), std::string::npos);
}

}  // namespace

// The user guide's table of options names exactly the options the parser
// takes (an option added to the table and not documented, or documented
// and gone, fails here).
TEST(OptionsTable, UserGuideListsExactlyTheParsersOptions) {
    const std::string guide =
        testsupport::readFile(testsupport::sourceDir() + "/docs/user-guide.md");
    const size_t from = guide.find("## Options");
    ASSERT_NE(from, std::string::npos);
    const size_t to = guide.find("\n## ", from + 1);
    std::istringstream table(guide.substr(from, to - from));
    std::set<std::string> documented, parsed;
    const std::regex row("^\\| `(-[-a-z0-9_]+)` \\|.*");
    std::smatch m;
    for (std::string line; std::getline(table, line);)
        if (std::regex_match(line, m, row)) documented.insert(m[1]);
    for (const chromasect::Option& o : chromasect::optionTable()) {
        parsed.insert(o.name);
        EXPECT_EQ(chromasect::findOption(o.name), &o);
    }
    EXPECT_EQ(documented, parsed);
    EXPECT_EQ(chromasect::findOption("-version"), chromasect::findOption("--version"));
    EXPECT_EQ(chromasect::findOption("-nosuch"), nullptr);
}
