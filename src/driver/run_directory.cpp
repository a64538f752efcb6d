#include "driver/run_directory.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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
    writeStopNote();
    killSupervised();  // solvers run in process groups of their own
    // Only async-signal-safe calls: rm in a child process. The other threads
    // run on meanwhile, and one may still be writing its solver's file into
    // the directory as rm empties it, so rm goes again until it is gone.
    for (int tries = 0; g_signalPath[0] != '\0' && tries < 50; ++tries) {
        pid_t child = fork();
        if (child == 0) {
            execl("/bin/rm", "rm", "-rf", g_signalPath, static_cast<char*>(nullptr));
            _exit(127);
        }
        if (child > 0) waitpid(child, nullptr, 0);
        if (access(g_signalPath, F_OK) != 0) break;
        const struct timespec pause = {0, 20000000};
        nanosleep(&pause, nullptr);
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

// Why files cannot be written in dir, empty when they can: a directory
// that may be made may still refuse its files (a full disk, a quota, a
// file-size limit), and the solvers would then only find no answers.
std::string whyNoFiles(const std::string& dir) {
    const std::string probe = dir + "/probe";
    FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f) return std::strerror(errno);
    const char text[] = "a solver file\n";
    bool ok = std::fwrite(text, 1, sizeof text - 1, f) == sizeof text - 1;
    ok = std::fflush(f) == 0 && ok;
    const int error = errno;
    ok = std::fclose(f) == 0 && ok;
    std::remove(probe.c_str());
    return ok ? "" : std::strerror(error ? error : EIO);
}

// mkdtemp: unique, created atomically, mode 0700. Empty, with *why said,
// when it cannot be made or its files cannot be written.
std::string makeUnique(const std::string& parent, std::string* why) {
    if (parent.empty()) return "";
    std::string pattern = parent + "/chromasect-run.XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) return "";
    const std::string made = buf.data();
    const std::string reason = whyNoFiles(made);
    if (reason.empty()) return made;
    std::error_code ignored;
    std::filesystem::remove_all(made, ignored);
    if (why->empty()) *why = "cannot write the solver files in " + parent + ": " + reason;
    return "";
}

}  // namespace

RunDirectory::RunDirectory(Where where) {
    const std::string here = currentDirectory();
    std::string why;
    if (where == Where::WorkingDirectory) path_ = makeUnique(here, &why);
    const char* tmp = std::getenv("TMPDIR");
    const std::string temporary = tmp && *tmp ? tmp : "/tmp";
    if (path_.empty()) path_ = makeUnique(temporary, &why);
    // Said before any solve, not found out as a run of empty answers.
    if (path_.empty() && !why.empty()) fatal(kExitUsage, "ERROR| " + why);
    if (path_.empty() || path_.size() >= sizeof g_signalPath)
        fatal(kExitUsage, "ERROR| cannot make a directory for the solver files in " +
                              (here.empty() ? std::string(".") : here) + " or in " + temporary);

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
