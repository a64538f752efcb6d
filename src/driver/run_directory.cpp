#include "driver/run_directory.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/fatal.h"
#include "base/supervise.h"

namespace chromasect {

namespace {

// The directory to remove when a signal ends the run. A signal handler can
// reach nothing else, so this one path is kept where it can see it.
char g_signalPath[4096];

extern "C" void removeAndDie(int sig) {
    killSupervised();  // solvers run in process groups of their own
    if (g_signalPath[0] != '\0') {
        // Only async-signal-safe calls: rm in a child process.
        pid_t child = fork();
        if (child == 0) {
            execl("/bin/rm", "rm", "-rf", g_signalPath, static_cast<char*>(nullptr));
            _exit(127);
        }
        if (child > 0) waitpid(child, nullptr, 0);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

std::string currentDirectory() {
    std::vector<char> buf(4096);
    while (!getcwd(buf.data(), buf.size())) {
        if (buf.size() > (1u << 20)) return "";
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

// mkdtemp: unique, created atomically, mode 0700.
std::string makeUnique(const std::string& parent) {
    if (parent.empty()) return "";
    std::string pattern = parent + "/chromasect-run.XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) return "";
    return buf.data();
}

}  // namespace

RunDirectory::RunDirectory() {
    const std::string here = currentDirectory();
    path_ = makeUnique(here);
    if (path_.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        path_ = makeUnique(tmp && *tmp ? tmp : "/tmp");
    }
    if (path_.empty() || path_.size() >= sizeof g_signalPath)
        fatal(kExitUsage, "ERROR| cannot make a directory for the solver files in " +
                              (here.empty() ? std::string(".") : here) +
                              " or in the temporary directory");

    // CSDP reads its settings from its working directory.
    std::ifstream params("param.csdp", std::ios::binary);
    if (params.is_open()) {
        std::ofstream copy(path_ + "/param.csdp", std::ios::binary);
        copy << params.rdbuf();
    }

    std::strcpy(g_signalPath, path_.c_str());
    std::signal(SIGINT, removeAndDie);
    std::signal(SIGTERM, removeAndDie);
}

RunDirectory::~RunDirectory() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    g_signalPath[0] = '\0';
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace chromasect
