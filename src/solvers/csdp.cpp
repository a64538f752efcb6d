#include "solvers/csdp.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/fatal.h"
#include "base/files.h"
#include "base/report.h"
#include "base/supervise.h"

namespace {

const char* const kScriptFile = "checkintodigital.pl";

// The extraction script: counts the primal block-1 lines ("2 1 ...") of the
// solver's answer, then copies them after the count.
const char* const kScriptText =
    "#!/usr/bin/perl\n"
    "\n"
    "open IN, \"Output.csdp\" or  die;\n"
    "open IN2, \"Output.csdp\" or  die;\n"
    "open OUT, \">Output.perl\" or die;\n"
    "\n"
    "$LINENUM = 0;\n"
    "\n"
    "while (<IN>) {\n"
    "  if (/^(2 1)/) { \n"
    "\t$LINENUM += 1;\n"
    "  }\n"
    "}\n"
    "print OUT \"$LINENUM\n"
    "\";\n"
    "\n"
    "while (<IN2>) {\n"
    "  if (/^(2 1)/) {\n"
    "\tprint OUT $_;\n"
    "  }\n"
    "}\n";

// Searches the PATH the way the shell that runs the command will.
bool onPath(const std::string& name) {
    std::string path;
    if (const char* p = std::getenv("PATH")) {
        path = p;
    } else {
        size_t len = confstr(_CS_PATH, nullptr, 0);
        if (len > 0) {
            std::string buf(len, '\0');
            confstr(_CS_PATH, &buf[0], len);
            path = buf.c_str();
        }
    }
    size_t start = 0;
    while (true) {
        size_t end = path.find(':', start);
        std::string dir =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (dir.empty()) dir = ".";
        if (chromasect::isExecutableFile(dir + "/" + name)) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

// Returns the solver command, or ends the run when a needed program is missing.
std::string requireTools() {
    std::string solver = Csdp::solverCommand();
    if (solver.empty())
        chromasect::fatal(chromasect::kExitUsage,
                          "ERROR| cannot find the SDP solver: no executable ./csdp and no csdp "
                          "on the PATH");
    if (!onPath("perl"))
        chromasect::fatal(chromasect::kExitUsage,
                          "ERROR| cannot find perl to read the SDP solver's answer: no perl on "
                          "the PATH");
    return solver;
}

int run(const std::string& command) {
    return chromasect::runSupervised(command, 0.0, nullptr).status;
}

}  // namespace

std::string Csdp::solverCommand() {
    if (chromasect::isExecutableFile("./csdp")) return "./csdp";
    if (onPath("csdp")) return "csdp";
    return "";
}

void Csdp::csdpPrepare(const std::string& dir) {
    requireTools();
    const std::string script = chromasect::inDir(dir, kScriptFile);
    {
        std::ifstream existing(script);
        if (existing.is_open()) return;
    }
    // A user's own script in the working directory still wins.
    std::ifstream own(kScriptFile, std::ios::binary);
    std::ofstream out(script, std::ios::binary);
    if (own.is_open() && dir != ".")
        out << own.rdbuf();
    else
        out << kScriptText;
}

std::string Csdp::FailureOf(int waitStatus) {
    if (WIFSIGNALED(waitStatus))
        return "was killed by signal " + std::to_string(WTERMSIG(waitStatus));
    if (!WIFEXITED(waitStatus)) return "ended abnormally";
    const int code = WEXITSTATUS(waitStatus);
    switch (code) {
        case 0:
        case 3:
        case 4:
        case 5:
        case 6:
            return "";
        case 1:
            return "ended with status 1 (primal infeasible)";
        case 2:
            return "ended with status 2 (dual infeasible)";
        case 7:
            return "ended with status 7 (lack of progress)";
        case 8:
            return "ended with status 8 (singular matrix)";
        case 9:
            return "ended with status 9 (NaN or Inf values)";
        case 127:
            return "could not be started (status 127)";
        default:
            break;
    }
    // The shell reports a command that a signal ended as 128 + the signal.
    if (code > 128 && code < 128 + 65) return "was killed by signal " + std::to_string(code - 128);
    return "ended with status " + std::to_string(code);
}

bool Csdp::ReadFileAndSolve(const char* problemFile, const char* solutionFile, bool toLog,
                            const std::string& dir, double seconds, std::string* failure) {
    if (failure) failure->clear();
    const std::string solver = chromasect::fromAnyDirectory(requireTools());
    std::remove(chromasect::inDir(dir, solutionFile).c_str());
    std::remove(chromasect::inDir(dir, "Output.csdp").c_str());
    std::remove(chromasect::inDir(dir, "Output.perl").c_str());
    std::string command = solver + " " + problemFile + " " + solutionFile;
    if (toLog) command += " > csdp.log";
    const chromasect::ShellResult solved =
        chromasect::runSupervised(chromasect::commandIn(dir, command), seconds, nullptr);
    if (solved.timedOut) return false;
    const std::string failed =
        solved.status == -1 ? "could not be started" : FailureOf(solved.status);
    if (failure) *failure = failed;
    // Nothing worth extracting.
    if (!failed.empty()) return true;
    run(chromasect::commandIn(dir, std::string("perl ") + kScriptFile));
    return true;
}

bool Csdp::ReadVectors(const char* fileName, std::vector<std::vector<double> >& matrix, int n,
                       std::string* fault) {
    std::string found;
    auto note = [&](const std::string& what) {
        if (found.empty()) found = what;
    };
    std::ifstream in(fileName);
    int size = n > 0 ? n : 0;
    matrix.assign(size, std::vector<double>(size, 0.0));
    std::vector<bool> diagonal(size, false);
    int count = 0;
    if (!(in >> count)) count = 0;
    if (fault) fault->clear();
    if (count <= 0) return false;
    // A PSD matrix with a unit diagonal has no entry beyond 1 in size.
    const double kLimit = 1.0 + 1e-3;
    for (int line = 0; line < count; ++line) {
        int m = -1, block = -1, i = -1, j = -1;
        std::string text;
        // Once the stream fails no later entry can be read either.
        if (!(in >> m >> block >> i >> j >> text)) {
            note("entry " + std::to_string(line + 1) + " of " + std::to_string(count) +
                 " cannot be read");
            break;
        }
        // Read apart from the stream, which takes no "nan" or "inf".
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (*end != '\0') {
            note("entry " + std::to_string(line + 1) + " has the value \"" + text + "\"");
            continue;
        }
        if (!std::isfinite(value))
            note("a value is not finite");
        else if (std::fabs(value) > kLimit)
            note(chromasect::formatText("the value %g lies outside [-1, 1]", value));
        if (block != 1 || i < 1 || i > n || j < 1 || j > n) {
            note(
                chromasect::formatText("an entry (block %d, row %d, column %d) lies outside "
                                       "the matrix",
                                       block, i, j));
            continue;
        }
        matrix[i - 1][j - 1] = value;
        matrix[j - 1][i - 1] = value;
        if (i == j) diagonal[i - 1] = true;
    }
    for (int v = 0; v < size && found.empty(); ++v)
        if (!diagonal[v])
            note("too few entries: none for the diagonal of vertex " + std::to_string(v + 1));
    if (fault) *fault = found;
    return true;
}

int Csdp::csdpClean(const std::string& dir) {
    int status = 0;
    for (const char* command : {"rm -rf checkintodigital.pl", "rm -rf Input.csdp",
                                "rm -rf Output.csdp", "rm -rf Output.perl", "rm -rf csdp.log"})
        status = run(chromasect::commandIn(dir, command));
    return status;
}
