#include "solvers/coloring_engine.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <utility>

#include "base/fatal.h"
#include "base/files.h"
#include "base/report.h"
#include "solvers/csdp.h"
#include "solvers/engines.h"
#include "solvers/exact.h"

namespace chromasect {

namespace {

// CBC's library is used from one thread at a time: its C interface solves
// through shared state, and separate models solved on separate threads
// came back with each other's answers. The tabu starts still run at once.
std::mutex& cbcLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

void SdpEngine::prepare(const std::string& dir) const {
    Csdp::csdpPrepare(dir);
    if (dir == s_.settingsDir) return;
    // CSDP reads its settings from the directory it runs in.
    std::ifstream params(inDir(s_.settingsDir, "param.csdp"), std::ios::binary);
    if (params.is_open())
        std::ofstream(inDir(dir, "param.csdp"), std::ios::binary) << params.rdbuf();
}

void SdpEngine::solve(const ColoringProblem& p, const std::string& dir,
                      EngineResult& result) const {
    result.engine = Engine::Sdp;
    const double need = sdpMemoryEstimateMB(p);
    if (s_.memoryMB > 0 && need > s_.memoryMB) {
        // CSDP would not finish, or not start.
        result.output += formatText(
            "WARNING| a graph of %d vertices needs about %.0f MB in the SDP "
            "solver, more than its %.0f MB: coloured by the tabu engine\n",
            p.n, need, s_.memoryMB);
        TabuEngine(s_.tabuSeconds).solve(p, dir, result);
        return;
    }
    SdpResult r = solveSdp(p, s_.secondStage, dir, s_.seconds);
    for (const std::string& line : r.warnings) result.output += line;
    result.colors = std::move(r.colors);
    result.unanswered = r.unanswered;
    // The relaxation knows nothing of fixed masks: repaired after rounding.
    honourFixed(p, result.colors);
}

void SdpEngine::cleanUp(const std::string& dir) const {
    Csdp::csdpClean(dir);
}

void IlpEngine::solve(const ColoringProblem& p, const std::string& dir,
                      EngineResult& result) const {
    result.engine = Engine::Ilp;
    if (s_.script.empty()) fatal(kExitUsage, "ERROR| cannot find the ILP solver script rungrb.csh");
    result.output += unsupportedIlpMasksNote(p.masks);
    const IlpResult r = solveIlp(p, s_.script, s_.quiet, dir, s_.seconds);
    result.output += r.output;
    if (r.stopped) {
        result.output += formatText(
            "WARNING| the ILP solver was stopped after %g seconds on a graph of "
            "%d vertices\n",
            s_.seconds, p.n);
    } else if (!r.fault.empty()) {
        result.output += formatText(
            "WARNING| the ILP solver's answer for a graph of %d vertices is damaged "
            "(%s); taken as no answer\n",
            p.n, r.fault.c_str());
    }
    if (r.stopped || !r.fault.empty()) {
        result.colors = colorsWithoutAnswer(p, false);
        result.unanswered = true;
        honourFixed(p, result.colors);
        return;
    }
    if (!r.answered) fatal(kExitInternal, "ERROR| can NOT open \"problem.sol\"");
    // A sound answer names both bits of every vertex.
    result.variables = r.variables;
    result.colors.resize(p.n);
    for (int v = 0; v < p.n; ++v) result.colors[v] = 2 * r.bits.high[v] + r.bits.low[v];
    honourFixed(p, result.colors);
}

void IlpEngine::cleanUp(const std::string& dir) const {
    // The engine leaves its problem file between graphs.
    std::remove(inDir(dir, "ILP.lp").c_str());
}

void TabuEngine::solve(const ColoringProblem& p, const std::string&, EngineResult& result) const {
    result.engine = Engine::Tabu;
    TabuResult r = solveTabu(p, options_);
    result.hasLowerBound = true;
    result.lowerBound = r.lowerBound;
    result.proven = r.cost <= r.lowerBound;
    result.colors = std::move(r.colors);
}

void ExactEngine::solve(const ColoringProblem& p, const std::string&, EngineResult& result) const {
    result.engine = Engine::Exact;
    // The tabu colouring alone seeds the solver: an SDP start was most of
    // this engine's time and almost never a better seed.
    const std::vector<int> start = solveTabu(p).colors;
    ExactResult r;
    {
        std::lock_guard<std::mutex> hold(cbcLock());
        r = solveExact(p, start, seconds_);
    }
    result.colors = std::move(r.colors);
    result.counted = true;
    result.cost = r.cost;
    result.startCost = r.startCost;
    result.hasLowerBound = true;
    result.lowerBound = r.lowerBound;
    result.proven = r.proven;
}

}  // namespace chromasect
