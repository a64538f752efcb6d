// The exact colouring engine: one decomposition graph as a 0-1 program in LP
// text format, solved by the outside solver script, answer read back from
// its solution file. Each colour is coded in two bits (high, low), the same
// code that mySuperShape keeps in colorHigh / colorLow.

#include "solvers/ilp.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "base/files.h"
#include "base/params.h"
#include "base/supervise.h"
#include "solvers/engines.h"
#include "solvers/solvers.h"

namespace chromasect {

namespace {

const char kScriptName[] = "rungrb.csh";

}  // namespace

std::string findIlpSolverScript(const std::string& exePath) {
    if (isExecutableFile(kScriptName)) return std::string("./") + kScriptName;
    std::string::size_type slash = exePath.rfind('/');
    if (slash == std::string::npos) return "";
    std::string installed = exePath.substr(0, slash + 1) + kScriptName;
    if (!isExecutableFile(installed)) return "";
    return shellQuote(installed);
}

std::string selfExecutablePath() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return "";
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);  // possibly truncated: try again larger
    }
}

}  // namespace chromasect

namespace chromasect {

void writeIlpProblem(const ColoringProblem& p, const char* fileName, std::vector<ILPVariable>* vars,
                     bool relax) {
    vars->clear();
    const int n = p.n;
    auto num = [](int i) { return std::to_string(i); };

    std::ostringstream alphaText;
    alphaText.imbue(std::locale::classic());
    alphaText << p.alpha;
    const std::string weight = alphaText.str();

    std::string t;
    t += "Minimize\nobj: ";
    bool anyTerm = false;
    for (const auto& p : p.conflicts) {
        const std::string a = num(p.first), b = num(p.second);
        vars->push_back({1, p.first, p.second, -1});
        t += " + c_" + a + "_" + b + " \n";
        anyTerm = true;
    }
    for (const auto& p : p.stitches) {
        const std::string a = num(p.first), b = num(p.second);
        vars->push_back({2, p.first, p.second, -1});
        t += " + " + weight + " s_" + a + "_" + b + " \n";
        anyTerm = true;
    }
    // Without any term the objective line would run into the next section.
    if (!anyTerm) t += "\n";

    t += "Subject To\n";
    const char* vertexBound = p.masks == 3 ? "_2 <= 1\n" : "_2 <= 2\n";
    for (int v = 0; v < n; ++v) {
        const std::string s = num(v);
        vars->push_back({3, v, 1, -1});
        vars->push_back({4, v, 2, -1});
        t += " x_" + s + "_1 + x_" + s + vertexBound;
    }
    for (const auto& p : p.conflicts) {
        const std::string a = num(p.first), b = num(p.second);
        const std::string ab = a + "_" + b;
        vars->push_back({5, p.first, p.second, -1});
        t += " x_" + a + "_1 + x_" + b + "_1 - c_" + ab + "_1 <= 1\n";
        t += " x_" + a + "_1 + x_" + b + "_1 + c_" + ab + "_1 >= 1\n";
        vars->push_back({6, p.first, p.second, -1});
        t += " x_" + a + "_2 + x_" + b + "_2 - c_" + ab + "_2 <= 1\n";
        t += " x_" + a + "_2 + x_" + b + "_2 + c_" + ab + "_2 >= 1\n";
        t += " c_" + ab + "_1 + c_" + ab + "_2 - c_" + ab + " <= 1\n";
    }
    for (const auto& p : p.stitches) {
        const std::string a = num(p.first), b = num(p.second);
        const std::string ab = a + "_" + b;
        vars->push_back({7, p.first, p.second, -1});
        t += " x_" + a + "_1 - x_" + b + "_1 - s_" + ab + "_1 <= 0\n";
        t += " x_" + b + "_1 - x_" + a + "_1 - s_" + ab + "_1 <= 0\n";
        vars->push_back({8, p.first, p.second, -1});
        t += " x_" + a + "_2 - x_" + b + "_2 - s_" + ab + "_2 <= 0\n";
        t += " x_" + b + "_2 - x_" + a + "_2 - s_" + ab + "_2 <= 0\n";
        t += " s_" + ab + "_1 - s_" + ab + " = 0\n";
        t += " s_" + ab + "_2 - s_" + ab + " = 0\n";
    }

    t += "Bounds\n";
    for (const auto& p : p.conflicts) {
        const std::string ab = num(p.first) + "_" + num(p.second);
        t += " 0 <= c_" + ab + " <= 1\n";
        t += " 0 <= c_" + ab + "_1 <= 1\n";
        t += " 0 <= c_" + ab + "_2 <= 1\n";
    }
    for (const auto& p : p.stitches) {
        const std::string ab = num(p.first) + "_" + num(p.second);
        t += " 0 <= s_" + ab + " <= 1\n";
        t += " 0 <= s_" + ab + "_1 <= 1\n";
        t += " 0 <= s_" + ab + "_2 <= 1\n";
    }
    for (int v = 0; v < n; ++v) {
        const std::string s = num(v);
        t += " 0 <= x_" + s + "_1 <= 1\n";
        t += " 0 <= x_" + s + "_2 <= 1\n";
    }

    if (!relax) {
        t += "Binaries\n";
        for (const auto& p : p.conflicts) {
            const std::string ab = num(p.first) + "_" + num(p.second);
            t += " c_" + ab + "\n c_" + ab + "_1\n c_" + ab + "_2\n";
        }
        for (const auto& p : p.stitches) {
            const std::string ab = num(p.first) + "_" + num(p.second);
            t += " s_" + ab + "\n s_" + ab + "_1\n s_" + ab + "_2\n";
        }
        for (int v = 0; v < n; ++v) {
            const std::string s = num(v);
            t += " x_" + s + "_1\n x_" + s + "_2\n";
        }
    }
    t += "End\n";

    // A file that cannot be written shows up as the solver's missing answer.
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out << t;
}

IlpBits readIlpSolution(int n, const std::string& dir) {
    std::ifstream in(inDir(dir, "problem.sol"));
    if (!in) fatal(kExitInternal, "ERROR| can NOT open \"problem.sol\"");

    std::string header;
    std::getline(in, header);

    IlpBits bits;
    bits.high.assign(n, -1);
    bits.low.assign(n, -1);
    std::string token;
    int value;
    while (in >> token >> value) {
        if (token[0] != 'x') continue;
        int v, bit;
        if (std::sscanf(token.c_str(), "x_%d_%d", &v, &bit) != 2) continue;
        if (v < 0 || v >= n) continue;
        if (bit == 1)
            bits.high[v] = value;
        else if (bit == 2)
            bits.low[v] = value;
    }
    return bits;
}

std::string checkIlpSolution(int n, int masks, const std::string& dir) {
    std::ifstream in(inDir(dir, "problem.sol"));
    std::string line;
    std::getline(in, line);  // the header
    std::vector<int> high(n > 0 ? n : 0, -1), low(n > 0 ? n : 0, -1);
    std::string token, text;
    while (in >> token >> text) {
        if (token[0] != 'x') continue;
        int v, bit;
        if (std::sscanf(token.c_str(), "x_%d_%d", &v, &bit) != 2 || (bit != 1 && bit != 2))
            continue;
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (*end != '\0' || !std::isfinite(value))
            return "the value \"" + text + "\" of " + token + " is not a number";
        if (value != 0.0 && value != 1.0)
            return "the value " + text + " of " + token + " is not 0 or 1";
        if (v < 0 || v >= n) return token + " names a vertex outside the graph";
        (bit == 1 ? high : low)[v] = static_cast<int>(value);
    }
    for (int v = 0; v < n; ++v) {
        if (high[v] < 0 || low[v] < 0)
            return "too few entries: vertex " + std::to_string(v) + " lacks a colour bit";
        if (2 * high[v] + low[v] >= masks)
            return "vertex " + std::to_string(v) + " has the code " +
                   std::to_string(2 * high[v] + low[v]) + ", which is no mask";
    }
    return "";
}

IlpResult solveIlp(const ColoringProblem& p, const std::string& script, bool quiet,
                   const std::string& dir, double seconds) {
    IlpResult r;
    std::vector<ILPVariable> vars;
    writeIlpProblem(p, inDir(dir, "ILP.lp").c_str(), &vars, false);
    r.variables = static_cast<int>(vars.size());

    std::string command = fromAnyDirectory(script) + " ILP.lp";
    if (quiet) command += " | grep ^yb ";
    // A failed solve must not leave the previous graph's answer to be read.
    std::remove(inDir(dir, "problem.sol").c_str());
    // Failure shows as a missing "problem.sol".
    r.stopped = runSupervised(commandIn(dir, command), seconds, &r.output).timedOut;
    if (r.stopped) return r;

    r.answered = std::ifstream(inDir(dir, "problem.sol")).is_open();
    if (r.answered) r.fault = checkIlpSolution(p.n, p.masks, dir);
    if (r.answered && r.fault.empty()) r.bits = readIlpSolution(p.n, dir);
    return r;
}

std::string unsupportedIlpMasksNote(int masks) {
    if (masks != 3 && masks != 4) return "WARNING| ILP ONLY support TPL or QPL currently\n";
    return std::string();
}

}  // namespace chromasect

void GroupILP(MPLDesign& d, const std::vector<mySuperShape*>& dg) {
    RunEngineJob(d, dg, Engine::Ilp);
}

void WriteGroupILP(MPLDesign& d, const char* fileName, const std::vector<mySuperShape*>& dg,
                   std::vector<chromasect::ILPVariable>* vars, bool relax) {
    d.report.print("%s", chromasect::unsupportedIlpMasksNote(NUM_COLORS).c_str());
    chromasect::writeIlpProblem(ProblemOf(d, dg, false), fileName, vars, relax);
}

void parseFileSolutionGurobi(const std::vector<mySuperShape*>& dg) {
    ApplyIlpBits(chromasect::readIlpSolution(static_cast<int>(dg.size()), "."), dg);
}
