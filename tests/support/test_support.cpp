#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/params.h"

namespace testsupport {

std::string sourceDir() {
    return CHROMASECT_SOURCE_DIR;
}
std::string binaryPath() {
    return CHROMASECT_BINARY;
}

RunResult runCommand(const std::string& command) {
    std::fflush(stdout);
    FILE* p = popen(command.c_str(), "r");
    if (!p) return RunResult{-1, ""};
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    int status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return RunResult{status, out};
}

ScopedWorkDir::ScopedWorkDir() {
    namespace fs = std::filesystem;
    previous_ = fs::current_path().string();
    std::string tmpl = (fs::temp_directory_path() / "chromasect-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) std::abort();
    path_ = buf.data();
    fs::current_path(path_);
}

ScopedWorkDir::~ScopedWorkDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

void GlobalsTest::SetUp() {
    chromasect::resetGlobalParameters();
}
void GlobalsTest::TearDown() {
    chromasect::resetGlobalParameters();
}

}  // namespace testsupport
