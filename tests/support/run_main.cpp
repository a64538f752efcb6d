// The whole program run in-process, for the tests of the layers that have it.

#include "base/params.h"
#include "driver/app.h"
#include "support/test_support.h"

namespace testsupport {

RunResult runMain(const std::vector<std::string>& args) {
    std::vector<std::string> storage;
    storage.push_back("chromasect");
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(&s[0]);
    argv.push_back(nullptr);
    chromasect::resetGlobalParameters();
    testing::internal::CaptureStdout();
    int status = chromasect::chromasectMain(static_cast<int>(storage.size()), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    chromasect::resetGlobalParameters();
    return RunResult{status, out};
}

}  // namespace testsupport
