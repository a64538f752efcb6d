#include <gtest/gtest.h>

#include "driver/design.h"
#include "geometry/params.h"
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
    "\"-layer\"         : followed by an integer [0, 59], indicate read which layer (default: 1). \n"
    "\"-mindp\"         : followed by an integer, indicate the number of coloring space. \n"
    "\"-alpha\"         : followed by a float\n"
    "\"-beta\"          : followed by a float\n"
    "\"-out\"           : followed by an output layout name, \".gds\" (GDSII) or \".ascii\" (text): "
    "masks on datatypes 1-3, uncoloured 9, conflicts 10, stitches 11. \n"
    "\"-dump\"          : followed by a text layout name (\".ascii\"): the layer as read, merged; "
    "no decomposition. \n"
    "\n";

class CommandLine : public testsupport::GlobalsTest {
protected:
    // Parses args on a fresh run object, capturing the parameter line.
    bool parse(std::vector<std::string> args, std::string* out = nullptr) {
        std::vector<std::string> storage{"chromasect"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : storage) argv.push_back(&s[0]);
        testing::internal::CaptureStdout();
        bool ok = design.parseParameters(static_cast<int>(argv.size()), argv.data());
        std::string text = testing::internal::GetCapturedStdout();
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
    EXPECT_EQ(design.algo, 1);
    EXPECT_EQ(design.simlg, 2);
    EXPECT_EQ(design.simdg, 2);
    EXPECT_TRUE(design.dplStitch);
    EXPECT_FALSE(design.sdpRoundFlag);
    EXPECT_EQ(design.densityBalance, 0);
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
    EXPECT_TRUE(design.parseFailed);
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
        EXPECT_NE(r.out.find("ERROR| can NOT parse: -out\n" + std::string(kUsage)), std::string::npos);
    }
    auto r = testsupport::runMain({"-dump", "layer.gds"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR| can NOT parse: -dump\n"), std::string::npos);
}

}  // namespace
