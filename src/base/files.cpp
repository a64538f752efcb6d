#include "base/files.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace chromasect {

bool isExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += "'";
    return out;
}

void makeDirectory(const std::string& path) {
    mkdir(path.c_str(), 0700);
}

double availableMemoryMB() {
    FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f) return 0.0;
    char line[256];
    double kb = 0.0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "MemAvailable: %lf kB", &kb) == 1) break;
    std::fclose(f);
    double mb = kb / 1024.0;
    // An address-space limit (ulimit -v) is all this process may take.
    struct rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        mb = std::min(mb, static_cast<double>(limit.rlim_cur) / 1048576.0);
    return mb;
}

std::string inDir(const std::string& dir, const std::string& name) {
    return dir == "." ? name : dir + "/" + name;
}

std::string commandIn(const std::string& dir, const std::string& command) {
    return dir == "." ? command : "cd " + shellQuote(dir) + " && " + command;
}

std::string fromAnyDirectory(const std::string& word) {
    if (word.compare(0, 2, "./") != 0) return word;
    std::vector<char> buf(4096);
    while (!getcwd(buf.data(), buf.size())) {
        if (buf.size() > (1u << 20)) return word;
        buf.resize(buf.size() * 2);
    }
    return shellQuote(std::string(buf.data()) + word.substr(1));
}

namespace {

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

WholeFile::WholeFile(const std::string& path) : path_(path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A device or a pipe ("/dev/null", "/dev/stdout") is written as it
        // is: a rename would put a plain file in its place.
        out_.open(path, std::ios::binary);
        return;
    }
    // Through a symbolic link: the file it names is replaced, the link kept.
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            path_ = real;
            std::free(real);
        }
    }
    std::vector<char> name(path_.begin(), path_.end());
    const char suffix[] = ".tmp.XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the final '\0'
    const int fd = mkstemp(name.data());
    if (fd < 0) return;
    // mkstemp makes it owner-only; a plain create would not.
    fchmod(fd, 0666 & ~currentUmask());
    close(fd);
    temp_ = name.data();
    out_.open(temp_, std::ios::binary | std::ios::trunc);
    if (!out_.is_open()) {
        std::remove(temp_.c_str());
        temp_.clear();
    }
}

WholeFile::~WholeFile() {
    if (!temp_.empty()) std::remove(temp_.c_str());
}

bool WholeFile::commit() {
    out_.flush();
    out_.close();
    bool ok = !out_.fail();
    if (temp_.empty()) return ok;  // written in place
    if (ok) {
        // Written is not yet on the disk: a crash after the rename could
        // otherwise leave an empty file in place of the old one.
        const int fd = open(temp_.c_str(), O_RDONLY);
        ok = fd >= 0 && fsync(fd) == 0;
        if (fd >= 0) close(fd);
    }
    ok = ok && std::rename(temp_.c_str(), path_.c_str()) == 0;
    if (ok) temp_.clear();
    return ok;
}

std::string whyNotWritable(const std::string& path) {
    if (path.empty()) return "no file name";
    const std::string::size_type slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return "it is a directory";
    if (stat(dir.c_str(), &st) != 0) return "no directory " + dir;
    if (!S_ISDIR(st.st_mode)) return dir + " is not a directory";
    if (access(dir.c_str(), W_OK | X_OK) != 0) return "directory " + dir + " is not writable";
    return "";
}

}  // namespace chromasect
