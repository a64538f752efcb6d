#include "base/files.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
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
    return kb / 1024.0;
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

}  // namespace chromasect
