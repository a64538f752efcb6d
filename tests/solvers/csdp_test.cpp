#include "solvers/csdp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "support/test_support.h"

namespace {

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::writeFile;

typedef std::vector<std::vector<double> > Matrix;

const char* const kScript =
    "#!/usr/bin/perl\n\nopen IN, \"Output.csdp\" or  die;\nopen IN2, \"Output.csdp\" or  die;\n"
    "open OUT, \">Output.perl\" or die;\n\n$LINENUM = 0;\n\nwhile (<IN>) {\n"
    "  if (/^(2 1)/) { \n\t$LINENUM += 1;\n  }\n}\nprint OUT \"$LINENUM\n\";\n\n"
    "while (<IN2>) {\n  if (/^(2 1)/) {\n\tprint OUT $_;\n  }\n}\n";

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

void writeExecutable(const std::string& path, const std::string& text) {
    writeFile(path, text);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

Matrix readMatrix(const std::string& text, int n, bool* answered = nullptr) {
    writeFile("Output.perl", text);
    Matrix m(1, std::vector<double>(1, 42.0));  // replaced whole
    const bool ok = Csdp::ReadVectors("Output.perl", m, n);
    if (answered) *answered = ok;
    return m;
}

TEST(Csdp, PreparedScriptExtractsThePrimalBlockOneLines) {
    testsupport::ScopedWorkDir dir;
    Csdp::csdpPrepare();
    EXPECT_EQ(readFile("checkintodigital.pl"), kScript);
    writeFile("Output.csdp",
              "2.0e+00 1.0e+00 \n1 1 1 1 5.0e-01 \n2 1 1 1 1.0e+00 \n2 1 1 2 -5.0e-01 \n"
              "2 2 1 1 3.0e-01 \n");
    ASSERT_EQ(testsupport::runCommand("perl checkintodigital.pl").status, 0);
    EXPECT_EQ(readFile("Output.perl"), "2\n2 1 1 1 1.0e+00 \n2 1 1 2 -5.0e-01 \n");

    // An existing script is used as it is.
    writeFile("checkintodigital.pl", "# kept as it is\n");
    Csdp::csdpPrepare();
    EXPECT_EQ(readFile("checkintodigital.pl"), "# kept as it is\n");
}

TEST(Csdp, ReadVectorsKeepsBlockOneEntriesInRange) {
    testsupport::ScopedWorkDir dir;
    // One triangle only: the mirror cells are filled.
    EXPECT_EQ(readMatrix("3\n2 1 1 1 1.0\n2 1 1 2 -0.5\n2 1 2 2 1.0\n", 2),
              (Matrix{{1.0, -0.5}, {-0.5, 1.0}}));
    // Lines beyond the count are not read.
    EXPECT_EQ(readMatrix("1\n2 1 1 2 -0.5\n2 1 1 1 7\n", 2), (Matrix{{0.0, -0.5}, {-0.5, 0.0}}));
    // Rows or columns outside 1..n, and other blocks, are skipped.
    EXPECT_EQ(readMatrix("5\n2 1 0 1 5\n2 1 1 3 5\n2 1 -1 2 5\n2 2 1 1 5\n2 1 2 2 1\n", 2),
              (Matrix{{0.0, 0.0}, {0.0, 1.0}}));
    // A malformed line ends the reading; what came before stays.
    EXPECT_EQ(readMatrix("3\n2 1 1 1 1\n2 1 x 2 5\n2 1 2 2 1\n", 2),
              (Matrix{{1.0, 0.0}, {0.0, 0.0}}));
    EXPECT_EQ(readMatrix("1\n2 1 1 1 1\n", 0), Matrix{});

    // No answer: a count of 0, an empty file, no file.
    const Matrix zero{{0.0, 0.0}, {0.0, 0.0}};
    bool answered = true;
    EXPECT_EQ(readMatrix("0\n2 1 1 1 1\n", 2, &answered), zero);
    EXPECT_FALSE(answered);
    EXPECT_EQ(readMatrix("", 2, &answered), zero);
    EXPECT_FALSE(answered);
    EXPECT_EQ(readMatrix("1\n2 1 1 1 1\n", 2, &answered), (Matrix{{1.0, 0.0}, {0.0, 0.0}}));
    EXPECT_TRUE(answered);
    std::filesystem::remove("Output.perl");
    Matrix m;
    EXPECT_FALSE(Csdp::ReadVectors("Output.perl", m, 2));
    EXPECT_EQ(m, zero);
}

TEST(Csdp, FindsTheSolverOrEndsTheRunBeforeAnySolve) {
    testsupport::ScopedWorkDir dir;
    std::filesystem::create_directory("bin");
    ScopedEnv path("PATH", dir.path() + "/bin");
    auto failure = [](void (*call)()) {
        try {
            call();
        } catch (const chromasect::FatalError& e) {
            return std::to_string(e.status()) + " " + e.message();
        }
        return std::string("none");
    };
    auto solve = [] { Csdp::ReadFileAndSolve("Input.csdp", "Output.csdp", true); };
    const std::string noSolver =
        "1 ERROR| cannot find the SDP solver: no executable ./csdp and no csdp on the PATH";
    EXPECT_EQ(failure([] { Csdp::csdpPrepare(); }), noSolver);
    EXPECT_FALSE(fileExists("checkintodigital.pl"));
    EXPECT_EQ(failure(solve), noSolver);

    writeExecutable("bin/csdp", "#!/bin/sh\ntouch ran\n");
    EXPECT_EQ(Csdp::solverCommand(), "csdp");
    const std::string noPerl =
        "1 ERROR| cannot find perl to read the SDP solver's answer: no perl on the PATH";
    EXPECT_EQ(failure([] { Csdp::csdpPrepare(); }), noPerl);
    EXPECT_EQ(failure(solve), noPerl);
    EXPECT_FALSE(fileExists("ran"));

    writeFile("csdp", "#!/bin/sh\n");  // not executable
    EXPECT_EQ(Csdp::solverCommand(), "csdp");
    writeExecutable("csdp", "#!/bin/sh\n");
    EXPECT_EQ(Csdp::solverCommand(), "./csdp");
}

}  // namespace
