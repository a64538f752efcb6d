// Whole runs that meet what a run cannot trust: solvers that die or answer
// garbage, outputs that cannot be written, rails that break the spacing.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::binaryPath;
using testsupport::runCommand;
using testsupport::sourceDir;

std::string checkerPath() {
    const std::string b = binaryPath();
    return b.substr(0, b.rfind('/') + 1) + "chromasect-check";
}

void writeScript(const std::string& path, const std::string& body) {
    testsupport::writeFile(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
}

std::vector<std::string> leftovers(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

// Each fake solver answers wrong in one way. The run names it in one
// warning with the graph's size, colours the graph as one without an answer,
// says so again before the result line, and still writes a layout in which
// the independent checker finds every feature on a mask.
TEST(Reliability, BadSolverAnswersAreWarnedAndNotUsed) {
    testsupport::ScopedWorkDir dir;
    const std::string layout = sourceDir() + "/tests/e2e/data/wheel5.ascii";  // one 6-vertex graph
    struct Case {
        const char* engine;
        const char* solver;  // body of ./csdp, or of cbc on the PATH
        const char* warning;
    };
    // CSDP writes "2 1 i j value" lines, the diagonal ones among them.
    const Case cases[] = {
        {"sdp", "kill -9 $$\n", "WARNING| the SDP solver was killed by signal 9 on a graph of 6 "},
        {"sdp", "csdp \"$@\"\nexit 9\n",
         "WARNING| the SDP solver ended with status 9 (NaN or Inf "},
        {"sdp", "csdp \"$@\"; sed -i 's/^2 1 1 2 .*/2 1 1 2 nan/' \"$2\"\n",
         "WARNING| the SDP solver's answer for a graph of 6 vertices is damaged (a value is not "
         "finite)"},
        {"sdp", "csdp \"$@\"; sed -i 's/^2 1 1 1 .*/2 1 1 1 -3.5e7/' \"$2\"\n",
         "is damaged (the value -3.5e+07 lies outside [-1, 1])"},
        {"sdp", "csdp \"$@\"; sed -i 's/^2 1 1 1 /2 1 1 9 /' \"$2\"\n",
         "is damaged (an entry (block 1, row 1, column 9) lies outside the matrix)"},
        {"sdp", "csdp \"$@\"; sed -i '/^2 1 3 3 /d' \"$2\"\n",
         "is damaged (too few entries: none for the diagonal of vertex 3)"},
        // cbc as the ILP script calls it: a fractional answer, then one
        // without a bit for vertex 0.
        {"ilp",
         "echo 'Optimal - objective value 1' > status.txt\n"
         "{ echo name,value; grep -o 'x_[0-9]*_[12]' model.lp | sort -u | sed 's/$/,0.5/'; } "
         "> values.csv\n",
         "WARNING| the ILP solver's answer for a graph of 6 vertices is damaged (the value 0.5 of "
         "x_"},
        {"ilp",
         "echo 'Optimal - objective value 1' > status.txt\n"
         "{ echo name,value; grep -o 'x_[0-9]*_[12]' model.lp | sort -u | grep -v x_0_2 | "
         "sed 's/$/,0/'; } > values.csv\n",
         "is damaged (too few entries: vertex 0 lacks a colour bit)"},
    };
    fs::create_directory("bin");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.solver);
        const bool sdp = std::string(c.engine) == "sdp";
        writeScript(sdp ? "csdp" : "bin/cbc", c.solver);
        auto r = runCommand("PATH=\"$PWD/bin:$PATH\" " + binaryPath() + " -inlib " + layout +
                            " -algo " + c.engine + " -out out.ascii 2>/dev/null");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find(c.warning), std::string::npos) << r.out;
        // Right before the result line.
        EXPECT_NE(r.out.find("\nWARNING| 1 graph had no usable answer from an outside solver "
                             "(see the warnings above)\n\nSTAT | Final Stitch Num: "),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("Error|"), std::string::npos) << r.out;
        auto checked = runCommand(checkerPath() + " out.ascii");
        EXPECT_NE(checked.out.find("6 mask polygons, 0 unassigned"), std::string::npos)
            << checked.out;
        fs::remove(sdp ? "csdp" : "bin/cbc");
        fs::remove("out.ascii");
    }
    fs::remove("bin");

    // With the real solvers: no warning at all.
    auto r = runCommand(binaryPath() + " -inlib " + layout);
    EXPECT_EQ(r.out.find("WARNING|"), std::string::npos) << r.out;

    // Solver files that cannot be written, here or in the temporary
    // directory: refused before any solve, naming the directory.
    r = runCommand("ulimit -f 0; " + binaryPath() + " -inlib " + layout);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR| cannot write the solver files in " + dir.path() + ": "),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("STAT | before DG simplification"), std::string::npos);
    EXPECT_TRUE(leftovers(dir.path()).empty()) << leftovers(dir.path()).front();
}

// An output is written whole or not at all: a target that cannot be made is
// refused before the reading, and a write that fails half way (a file-size
// limit) leaves the file that was there.
TEST(Reliability, OutputsAreWrittenWholeOrNotAtAll) {
    testsupport::ScopedWorkDir dir;
    const std::string run = binaryPath() + " -inlib " + sourceDir() + "/examples/example.ascii";
    for (const char* option : {"-out", "-svg", "-dump"}) {
        SCOPED_TRACE(option);
        auto r = runCommand(run + " " + option + " nodir/x.ascii");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("ERROR| cannot write file: nodir/x.ascii (no directory nodir)"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("STAT | After read"), std::string::npos) << r.out;
    }

    const std::string old = "an older file\n";
    for (const char* option : {"-out", "-svg", "-dump"}) {
        SCOPED_TRACE(option);
        testsupport::writeFile("kept.ascii", old);
        // 4 blocks of 512 bytes: the example's outputs are all larger.
        auto r = runCommand("ulimit -f 4; " + run + " " + option + " kept.ascii");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("ERROR| cannot write file: kept.ascii\n"), std::string::npos) << r.out;
        EXPECT_EQ(testsupport::readFile("kept.ascii"), old);
        EXPECT_EQ(leftovers(dir.path()), std::vector<std::string>{"kept.ascii"});
    }
    // Without the limit the file is replaced, and reads back whole.
    auto r = runCommand(run + " -dump kept.ascii");
    EXPECT_EQ(r.status, 0);
    r = runCommand(binaryPath() + " -inlib kept.ascii -dump again.ascii");
    EXPECT_NE(r.out.find("STAT | Layer 1 written to again.ascii: 500 shapes"), std::string::npos)
        << r.out;
}

std::string rectLayout(const std::vector<std::vector<int> >& rects) {
    std::string t =
        "HEADER: 600\nBGNLIB: \nLIBNAME: rails.DB\nUNITS: 0.001, 1e-09\nBGNSTR: \n"
        "STRNAME: top\n";
    for (const std::vector<int>& r : rects) {
        const std::string l = std::to_string(r[0]), b = std::to_string(r[1]),
                          rt = std::to_string(r[2]), tp = std::to_string(r[3]);
        t += "BOUNDARY\nLAYER: 1\nDATATYPE: 0\nXY: " + l + ": " + b + ", " + rt + ": " + b + ", " +
             rt + ": " + tp + ", " + l + ": " + tp + ", " + l + ": " + b + "\nENDEL\n";
    }
    return t + "ENDSTR\nENDLIB\n";
}

// Rails take the rail mask however close they lie. The result line keeps
// its counting, and one warning gives the number of rail pairs closer than
// the spacing: as many as the independent checker finds.
TEST(Reliability, RailsCloserThanTheSpacingAreWarnedAbout) {
    testsupport::ScopedWorkDir dir;
    // Three rails across the layout, the first two 100 apart, the third 700
    // away; two squares between.
    std::vector<std::vector<int> > rects = {{0, 0, 2000, 100},      {0, 200, 2000, 300},
                                            {0, 1000, 2000, 1100},  {500, 500, 600, 600},
                                            {1500, 600, 1600, 700}, {0, 1200, 2000, 1300}};
    testsupport::writeFile("rails.ascii", rectLayout(rects));
    auto r = runCommand(binaryPath() + " -inlib rails.ascii -out out.ascii");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("WARNING| 2 pairs of power/ground rails closer than the spacing: "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("STAT | Final Stitch Num: 0, Conflict Num: 0\n"), std::string::npos);
    auto checked = runCommand(checkerPath() + " out.ascii");
    EXPECT_NE(checked.out.find("CHECK | spacing violations: 2,"), std::string::npos) << checked.out;

    // Rails apart: no warning.
    rects[1] = {0, 400, 2000, 500};
    rects[5] = {0, 1400, 2000, 1500};
    testsupport::writeFile("rails.ascii", rectLayout(rects));
    r = runCommand(binaryPath() + " -inlib rails.ascii");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("WARNING| "), std::string::npos) << r.out;
}

}  // namespace
