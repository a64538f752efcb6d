#pragma once
// Helpers shared by the tests: captured program runs, temporary working
// directories and clean global parameters.

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

// Root of the source tree and path of the built chromasect binary.
std::string sourceDir();
std::string binaryPath();

// Runs chromasect::chromasectMain in-process with the given arguments
// (without the program name), capturing standard output.
struct RunResult {
    int status;
    std::string out;
};
RunResult runMain(const std::vector<std::string>& args);

// Runs a shell command, capturing standard output and the exit status.
RunResult runCommand(const std::string& command);

// A fresh temporary directory that becomes the working directory for the
// lifetime of the object; the previous one is restored and the directory
// removed afterwards.
class ScopedWorkDir {
  public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string previous_;
};

// Writes text to a file.
void writeFile(const std::string& path, const std::string& text);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// Resets the global parameters before and after each test.
class GlobalsTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace testsupport
