// Whole-program runs of the built binary on small layouts whose result was
// worked out by hand (tests/e2e/data/README.md), through the real solvers.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::binaryPath;
using testsupport::runCommand;
using testsupport::sourceDir;

std::string dataPath(const std::string& name) {
    return sourceDir() + "/tests/e2e/data/" + name;
}

std::string lastLine(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    return t.substr(t.rfind('\n') + 1);
}

// Files left in the working directory after a run.
std::vector<std::string> leftovers(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

TEST(EndToEnd, HandWorkedLayoutsGiveTheirResultLine) {
    for (const char* name : {"cycle5", "wheel4", "k4", "wheel5", "stitch"}) {
        SCOPED_TRACE(name);
        testsupport::ScopedWorkDir dir;
        auto r = runCommand(binaryPath() + " -inlib " + dataPath(std::string(name) + ".ascii"));
        EXPECT_EQ(r.status, 0);
        std::string expected = testsupport::readFile(dataPath(std::string(name) + ".expected"));
        EXPECT_EQ(lastLine(r.out), lastLine(expected));
        // The SDP engine's working files are gone after the run.
        EXPECT_TRUE(leftovers(dir.path()).empty()) << leftovers(dir.path()).front();
    }
}

TEST(EndToEnd, ResultIsTheSameRunAfterRun) {
    testsupport::ScopedWorkDir dir;
    std::string cmd = binaryPath() + " -inlib " + sourceDir() + "/examples/example.ascii";
    auto first = runCommand(cmd);
    auto second = runCommand(cmd);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out, second.out);
    EXPECT_NE(first.out.find("STAT | Final Stitch Num: "), std::string::npos);
}

TEST(EndToEnd, InputErrorsEndWithStatusOne) {
    testsupport::ScopedWorkDir dir;
    auto r = runCommand(binaryPath() + " -inlib missing.ascii");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lastLine(r.out), "ERROR| cannot open file: missing.ascii");
    r = runCommand(binaryPath() + " -inlib layout.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lastLine(r.out), "ERROR| is not a ascii file");
    r = runCommand(binaryPath() + " -foo 1");
    EXPECT_EQ(r.status, 1);
    r = runCommand(binaryPath() + " -help");
    EXPECT_EQ(r.status, 0);
}

}  // namespace

namespace {

// Runs started together in one directory each give the result they give
// alone, and leave nothing behind: every solver file goes to the run's own
// directory. Without it they overwrite each other's problem and answer files.
TEST(EndToEnd, RunsInOneDirectoryKeepTheirOwnSolverFiles) {
    testsupport::ScopedWorkDir dir;
    const std::string example = sourceDir() + "/examples/example.ascii";
    const std::string a = binaryPath() + " -inlib " + example;
    const std::string b = binaryPath() + " -inlib " + example + " -round2 1 -balance 1";
    const std::string aloneA = runCommand(a).out, aloneB = runCommand(b).out;
    ASSERT_NE(aloneA, aloneB);
    for (int i = 0; i < 3; ++i) {
        auto r = runCommand("(" + a + " > a.txt) & (" + b + " > b.txt) & wait");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(testsupport::readFile("a.txt"), aloneA);
        EXPECT_EQ(testsupport::readFile("b.txt"), aloneB);
        fs::remove("a.txt");
        fs::remove("b.txt");
        EXPECT_TRUE(leftovers(dir.path()).empty()) << leftovers(dir.path()).front();
    }
}

// A run stopped while a solver works still removes its solver directory.
TEST(EndToEnd, TerminatedRunRemovesItsSolverFiles) {
    testsupport::ScopedWorkDir dir;
    testsupport::writeFile("csdp", "#!/bin/sh\nsleep 3\n");
    fs::permissions("csdp", fs::perms::owner_all);
    auto r = runCommand(binaryPath() + " -inlib " + sourceDir() +
                        "/examples/example.ascii > out.txt & pid=$!; sleep 1; "
                        "ls -d chromasect-run.* 2>/dev/null; kill -TERM $pid; wait $pid; "
                        "echo status $?");
    // The directory existed while the solver ran, and the run ended by the
    // signal (128 + 15).
    EXPECT_EQ(r.out.rfind("chromasect-run.", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("status 143"), std::string::npos) << r.out;
    fs::remove("out.txt");
    fs::remove("csdp");
    EXPECT_TRUE(leftovers(dir.path()).empty()) << leftovers(dir.path()).front();
}

}  // namespace

namespace {

// A solver that hangs is stopped at -solver_sec, and one that answers
// garbage is taken as no answer: either way the run goes on to its result,
// with one warning per graph.
TEST(EndToEnd, HangingOrGarbageSolverNeverStopsTheRun) {
    testsupport::ScopedWorkDir dir;
    const std::string run = binaryPath() + " -inlib " + sourceDir() + "/examples/example.ascii";
    testsupport::writeFile("csdp", "#!/bin/sh\nsleep 60\n");
    fs::permissions("csdp", fs::perms::owner_all);
    auto r = runCommand(run + " -solver_sec 0.5 -threads 2");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("WARNING| the SDP solver was stopped after 0.5 seconds on a graph of "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("STAT | Final Stitch Num: "), std::string::npos);

    testsupport::writeFile("csdp", "#!/bin/sh\nprintf '2 1 x y\\n%s\\n' garbage > \"$2\"\n");
    r = runCommand(run);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("WARNING| the SDP solver's answer for a graph of "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("STAT | Final Stitch Num: "), std::string::npos);
    fs::remove("csdp");
    EXPECT_TRUE(leftovers(dir.path()).empty()) << leftovers(dir.path()).front();
}

}  // namespace

namespace {

// CSDP reads "param.csdp" from the directory it runs in: a user's settings
// in the working directory reach every solve, at any thread count.
TEST(EndToEnd, SolverSettingsInTheWorkingDirectoryStillApply) {
    testsupport::ScopedWorkDir dir;
    const std::string run = binaryPath() + " -inlib " + sourceDir() + "/examples/example.ascii";
    const std::string defaults = lastLine(runCommand(run + " -threads 2").out);
    // Three iterations only: a visibly worse colouring.
    testsupport::writeFile("param.csdp",
                           "axtol=1.0e-8\natytol=1.0e-8\nobjtol=1.0e-8\npinftol=1.0e8\n"
                           "dinftol=1.0e8\nmaxiter=3\nminstepfrac=0.90\nmaxstepfrac=0.97\n"
                           "minstepp=1.0e-8\nminstepd=1.0e-8\nusexzgap=1\ntweakgap=0\naffine=0\n"
                           "printlevel=1\nperturbobj=1\nfastmode=0\n");
    const std::string one = lastLine(runCommand(run + " -threads 1").out);
    EXPECT_NE(one, defaults);
    EXPECT_EQ(lastLine(runCommand(run + " -threads 2").out), one);
}

}  // namespace

namespace {

// A graph too big for the SDP solver's memory is coloured by the tabu
// engine instead, with one warning naming its size.
TEST(EndToEnd, GraphsTooBigForTheSdpSolverGoToTabu) {
    testsupport::ScopedWorkDir dir;
    const std::string run = binaryPath() + " -inlib " + sourceDir() + "/examples/example.ascii";
    auto r = runCommand(run + " -sdp_max_mb 0.000001");
    EXPECT_EQ(r.status, 0);
    size_t warnings = 0;
    for (size_t at = r.out.find("WARNING| a graph of "); at != std::string::npos;
         at = r.out.find("WARNING| a graph of ", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 4u) << r.out;  // every graph that reaches the engine
    const std::string tabu = runCommand(run + " -algo tabu").out;
    EXPECT_EQ(lastLine(r.out), lastLine(tabu));
    // With room to spare the SDP engine keeps every graph.
    EXPECT_EQ(runCommand(run + " -sdp_max_mb 100000").out.find("WARNING| a graph of "),
              std::string::npos);
}

}  // namespace
