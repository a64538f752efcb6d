// The LP file, the solution reader and the finding of the solver script.
// No real solver runs here (see ilp_solve_test.cpp for that).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "base/params.h"
#include "design/design.h"
#include "solvers/ilp.h"
#include "solvers/solvers.h"
#include "support/test_support.h"

using chromasect::ILPVariable;

namespace {

using testsupport::readFile;
using testsupport::writeFile;

std::vector<mySuperShape*> makeDG(MPLDesign& d, int n) {
    std::vector<mySuperShape*> dg;
    for (int i = 0; i < n; ++i) {
        mySuperShape* v = d.superShapePool.make();
        v->vertexIndex = i;
        dg.push_back(v);
    }
    return dg;
}

std::string writeLP(MPLDesign& d, const std::vector<mySuperShape*>& dg, bool relax,
                    std::vector<ILPVariable>* vars = nullptr) {
    std::vector<ILPVariable> local;
    if (!vars) vars = &local;
    WriteGroupILP(d, "ILP.lp", dg, vars, relax);
    return readFile("ILP.lp");
}

class IlpWriter : public testsupport::GlobalsTest {
  protected:
    testsupport::ScopedWorkDir dir;
    MPLDesign d;
};

// Written out by hand from the format: one conflict pair (0,1), one stitch
// pair (1,2), three masks, default alpha.
TEST_F(IlpWriter, ThreeMasksWholeFile) {
    auto dg = makeDG(d, 3);
    d.conflictSet = {{0, 1}};
    d.stitchSet = {{1, 2}};
    std::vector<ILPVariable> vars{{9, 9, 9, 9}};  // emptied first
    d.report.capture();
    std::string lp = writeLP(d, dg, false, &vars);
    EXPECT_EQ(d.report.takeCaptured(), "");
    EXPECT_EQ(lp,
              "Minimize\n"
              "obj:  + c_0_1 \n"
              " + 0.1 s_1_2 \n"
              "Subject To\n"
              " x_0_1 + x_0_2 <= 1\n"
              " x_1_1 + x_1_2 <= 1\n"
              " x_2_1 + x_2_2 <= 1\n"
              " x_0_1 + x_1_1 - c_0_1_1 <= 1\n"
              " x_0_1 + x_1_1 + c_0_1_1 >= 1\n"
              " x_0_2 + x_1_2 - c_0_1_2 <= 1\n"
              " x_0_2 + x_1_2 + c_0_1_2 >= 1\n"
              " c_0_1_1 + c_0_1_2 - c_0_1 <= 1\n"
              " x_1_1 - x_2_1 - s_1_2_1 <= 0\n"
              " x_2_1 - x_1_1 - s_1_2_1 <= 0\n"
              " x_1_2 - x_2_2 - s_1_2_2 <= 0\n"
              " x_2_2 - x_1_2 - s_1_2_2 <= 0\n"
              " s_1_2_1 - s_1_2 = 0\n"
              " s_1_2_2 - s_1_2 = 0\n"
              "Bounds\n"
              " 0 <= c_0_1 <= 1\n"
              " 0 <= c_0_1_1 <= 1\n"
              " 0 <= c_0_1_2 <= 1\n"
              " 0 <= s_1_2 <= 1\n"
              " 0 <= s_1_2_1 <= 1\n"
              " 0 <= s_1_2_2 <= 1\n"
              " 0 <= x_0_1 <= 1\n"
              " 0 <= x_0_2 <= 1\n"
              " 0 <= x_1_1 <= 1\n"
              " 0 <= x_1_2 <= 1\n"
              " 0 <= x_2_1 <= 1\n"
              " 0 <= x_2_2 <= 1\n"
              "Binaries\n"
              " c_0_1\n c_0_1_1\n c_0_1_2\n"
              " s_1_2\n s_1_2_1\n s_1_2_2\n"
              " x_0_1\n x_0_2\n x_1_1\n x_1_2\n x_2_1\n x_2_2\n"
              "End\n");
    // Writing order of the variable groups.
    std::vector<int> kinds;
    for (const ILPVariable& v : vars) {
        kinds.push_back(v.kind);
        EXPECT_EQ(v.index3, -1);
    }
    EXPECT_EQ(kinds, (std::vector<int>{1, 2, 3, 4, 3, 4, 3, 4, 5, 6, 7, 8}));
}

TEST_F(IlpWriter, MaskCountsAndWarning) {
    auto dg = makeDG(d, 2);
    d.conflictSet = {{0, 1}, {1, 0}};
    NUM_COLORS = 4;
    d.report.capture();
    std::string four = writeLP(d, dg, false);
    EXPECT_EQ(d.report.takeCaptured(), "");
    EXPECT_NE(four.find(" x_0_1 + x_0_2 <= 2\n x_1_1 + x_1_2 <= 2\n"), std::string::npos);
    EXPECT_EQ(four.find("x_0_1 + x_0_2 <= 1"), std::string::npos);

    // Other mask counts: a warning, then the four-mask file.
    for (int masks : {2, 5}) {
        NUM_COLORS = masks;
        d.report.capture();
        std::string lp = writeLP(d, dg, false);
        EXPECT_EQ(d.report.takeCaptured(), "WARNING| ILP ONLY support TPL or QPL currently\n");
        EXPECT_EQ(lp, four) << masks << " masks";
    }
}

TEST_F(IlpWriter, ConflictsOnlyHaveNoStitchVariables) {
    auto dg = makeDG(d, 4);
    d.conflictSet = {{0, 1}, {1, 0}, {1, 2}, {2, 1}, {2, 3}, {3, 2}};
    std::vector<ILPVariable> vars;
    std::string lp = writeLP(d, dg, false, &vars);
    EXPECT_EQ(lp.find("s_"), std::string::npos);
    EXPECT_EQ(vars.size(), 3u * 6 + 2u * 4);
    // Every pair in both orders is its own objective term.
    EXPECT_NE(lp.find("obj:  + c_0_1 \n + c_1_0 \n + c_1_2 \n"), std::string::npos);
}

TEST_F(IlpWriter, RelaxLeavesOutOnlyTheBinaries) {
    auto dg = makeDG(d, 3);
    d.conflictSet = {{0, 2}, {2, 0}};
    d.stitchSet = {{0, 1}, {1, 0}};
    std::string strict = writeLP(d, dg, false);
    std::string relaxed = writeLP(d, dg, true);
    size_t binaries = strict.find("Binaries\n");
    ASSERT_NE(binaries, std::string::npos);
    EXPECT_EQ(relaxed, strict.substr(0, binaries) + "End\n");
}

TEST_F(IlpWriter, ObjectiveWeightAndEmptyObjective) {
    auto dg = makeDG(d, 2);
    d.stitchSet = {{0, 1}};
    d.alpha = 0.123456789;
    EXPECT_NE(writeLP(d, dg, false).find("obj:  + 0.123457 s_0_1 \n"), std::string::npos);
    d.alpha = 2;
    EXPECT_NE(writeLP(d, dg, false).find("obj:  + 2 s_0_1 \n"), std::string::npos);
    // No pair at all: the objective line still ends before the next section.
    d.stitchSet.clear();
    EXPECT_EQ(writeLP(d, dg, false).substr(0, 26), "Minimize\nobj: \nSubject To\n");
}

class IlpSolutionReader : public testsupport::GlobalsTest {
  protected:
    testsupport::ScopedWorkDir dir;
    MPLDesign d;
};

TEST_F(IlpSolutionReader, ReadsOnlyColourBitsOfThisGraph) {
    auto dg = makeDG(d, 3);
    dg[2]->SetMultiColorTmp(2);  // no bits in the file: keeps its own
    writeFile("problem.sol",
              "# Objective value = 0.1 with a header line that is longer than the usual ones "
              "x_0_1 1 x_0_2 1\n"
              "c_0_1 1\n"
              "x_0_1 1\n"
              "x_0_2 0\n"
              "x_0_3 1\n"
              "c_0_1_1 0\n"
              "x_1_1 0\n"
              "x_1_2 1\n"
              "x_3_1 1\n"
              "x_-1_2 1\n"
              "xylophone 1\n"
              "s_1_2 0\n");
    parseFileSolutionGurobi(dg);
    EXPECT_EQ(dg[0]->colorHigh, 1);
    EXPECT_EQ(dg[0]->colorLow, 0);
    EXPECT_EQ(dg[1]->colorHigh, 0);
    EXPECT_EQ(dg[1]->colorLow, 1);
    EXPECT_EQ(dg[2]->colorHigh, 1);
    EXPECT_EQ(dg[2]->colorLow, 0);
}

TEST_F(IlpSolutionReader, MissingFileEndsTheRun) {
    auto dg = makeDG(d, 2);
    try {
        parseFileSolutionGurobi(dg);
        FAIL() << "no error";
    } catch (const chromasect::FatalError& e) {
        EXPECT_EQ(e.message(), "ERROR| can NOT open \"problem.sol\"");
        EXPECT_EQ(e.status(), chromasect::kExitInternal);
    }
}

void writeScript(const std::string& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

TEST(IlpSolverScript, WorkingDirectoryFirstThenNextToExecutable) {
    testsupport::ScopedWorkDir dir;
    namespace fs = std::filesystem;
    // An install directory whose name needs quoting in the shell.
    std::string bin = dir.path() + "/it's a bin";
    fs::create_directory(bin);
    std::string exe = bin + "/chromasect";

    EXPECT_EQ(chromasect::findIlpSolverScript(exe), "");
    EXPECT_EQ(chromasect::findIlpSolverScript(""), "");

    writeScript(bin + "/rungrb.csh", "echo \"installed $1\"\n");
    std::string installed = chromasect::findIlpSolverScript(exe);
    EXPECT_EQ(installed, "'" + dir.path() + "/it'\\''s a bin/rungrb.csh'");
    EXPECT_EQ(testsupport::runCommand(installed + " ILP.lp").out, "installed ILP.lp\n");

    // A working-directory file that cannot be run is not the script.
    writeFile("rungrb.csh", "echo local\n");
    EXPECT_EQ(chromasect::findIlpSolverScript(exe), installed);
    chmod("rungrb.csh", 0755);
    EXPECT_EQ(chromasect::findIlpSolverScript(exe), "./rungrb.csh");
    EXPECT_EQ(chromasect::findIlpSolverScript(""), "./rungrb.csh");
}

class IlpEngineFaults : public testsupport::GlobalsTest {
  protected:
    testsupport::ScopedWorkDir dir;
    MPLDesign d;
};

TEST_F(IlpEngineFaults, NoScriptEndsTheRunBeforeSolving) {
    // The test binary has no script installed next to it.
    ASSERT_EQ(chromasect::findIlpSolverScript(chromasect::selfExecutablePath()), "");
    auto dg = makeDG(d, 2);
    d.conflictSet = {{0, 1}, {1, 0}};
    try {
        GroupILP(d, dg);
        FAIL() << "no error";
    } catch (const chromasect::FatalError& e) {
        EXPECT_EQ(e.message(), "ERROR| cannot find the ILP solver script rungrb.csh");
        EXPECT_EQ(e.status(), chromasect::kExitUsage);
    }
    EXPECT_FALSE(testsupport::fileExists("ILP.lp"));
}

TEST_F(IlpEngineFaults, FailedSolveNeverReusesAnOldAnswer) {
    auto dg = makeDG(d, 2);
    d.conflictSet = {{0, 1}, {1, 0}};
    // A previous graph's answer, and a solver that leaves nothing behind.
    writeFile("problem.sol", "old\nx_0_1 0\nx_0_2 1\nx_1_1 1\nx_1_2 0\n");
    writeScript("rungrb.csh", "echo 'yb failed'\n");
    testing::internal::CaptureStdout();
    try {
        GroupILP(d, dg);
        testing::internal::GetCapturedStdout();
        FAIL() << "the stale answer was read";
    } catch (const chromasect::FatalError& e) {
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "yb failed\n");
        EXPECT_EQ(e.message(), "ERROR| can NOT open \"problem.sol\"");
        EXPECT_EQ(e.status(), chromasect::kExitInternal);
    }
}

TEST_F(IlpEngineFaults, QuietShowsOnlyTheSummaryLine) {
    auto dg = makeDG(d, 2);
    d.conflictSet = {{0, 1}, {1, 0}};
    writeScript("rungrb.csh",
                "echo \"solver chatter $1\"\n"
                "echo \"yb solved $1\"\n"
                "printf 'h\\nx_0_1 1\\nx_0_2 0\\nx_1_1 0\\nx_1_2 1\\n' > problem.sol\n");
    for (bool quiet : {true, false}) {
        d.quiet = quiet;
        testing::internal::CaptureStdout();
        GroupILP(d, dg);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, quiet ? "yb solved ILP.lp\n" : "solver chatter ILP.lp\nyb solved ILP.lp\n");
        EXPECT_EQ(dg[0]->colorTmp, 2);
        EXPECT_EQ(dg[1]->colorTmp, 1);
    }
    EXPECT_EQ(d.maxILPVarNum, 3 * 2 + 2 * 2);
}

}  // namespace
