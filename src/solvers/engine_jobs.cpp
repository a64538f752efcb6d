// One graph's engine work split so that graphs can be solved at once while
// the run's state and output change only in graph order.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "base/fatal.h"
#include "base/params.h"
#include "base/report.h"
#include "solvers/ilp.h"
#include "solvers/solvers.h"

chromasect::ColoringProblem ProblemOf(const MPLDesign& d, const std::vector<mySuperShape*>& dg,
                                      bool withDensities) {
    return ProblemOf(d, dg, withDensities,
                     std::vector<std::pair<int, int> >(d.conflictSet.begin(), d.conflictSet.end()),
                     std::vector<std::pair<int, int> >(d.stitchSet.begin(), d.stitchSet.end()));
}

chromasect::ColoringProblem ProblemOf(const MPLDesign& d, const std::vector<mySuperShape*>& dg,
                                      bool withDensities,
                                      std::vector<std::pair<int, int> > conflicts,
                                      std::vector<std::pair<int, int> > stitches) {
    chromasect::ColoringProblem p;
    p.n = static_cast<int>(dg.size());
    p.masks = NUM_COLORS;
    p.conflicts = chromasect::VertexPairs::fromSorted(std::move(conflicts));
    p.stitches = chromasect::VertexPairs::fromSorted(std::move(stitches));
    p.alpha = d.alpha;
    p.beta = d.beta;
    if (withDensities)
        for (const mySuperShape* v : dg) p.densities.push_back(v->getWireDensity());
    return p;
}

std::string unsupportedIlpMasksNote() {
    if (NUM_COLORS != 3 && NUM_COLORS != 4)
        return "WARNING| ILP ONLY support TPL or QPL currently\n";
    return std::string();
}

void WarnUnsupportedIlpMasks(const MPLDesign& d) {
    d.report.print("%s", unsupportedIlpMasksNote().c_str());
}

void ApplyIlpBits(const chromasect::IlpBits& bits, const std::vector<mySuperShape*>& dg) {
    for (size_t v = 0; v < dg.size(); ++v) {
        if (bits.high[v] != -1) dg[v]->colorHigh = bits.high[v];
        if (bits.low[v] != -1) dg[v]->colorLow = bits.low[v];
    }
}

void RunEngineJob(MPLDesign& d, const std::vector<mySuperShape*>& dg, Engine engine) {
    EngineJob job = PrepareEngineJob(d, dg, engine);
    SolveEngineJob(job);
    ApplyEngineJob(d, dg, job);
}

EngineJob PrepareEngineJob(const MPLDesign& d, const std::vector<mySuperShape*>& dg,
                           Engine engine) {
    return PrepareEngineJob(
        d, dg, engine,
        std::vector<std::pair<int, int> >(d.conflictSet.begin(), d.conflictSet.end()),
        std::vector<std::pair<int, int> >(d.stitchSet.begin(), d.stitchSet.end()));
}

EngineJob PrepareEngineJob(const MPLDesign& d, const std::vector<mySuperShape*>& dg, Engine engine,
                           std::vector<std::pair<int, int> > conflicts,
                           std::vector<std::pair<int, int> > stitches) {
    EngineJob job;
    job.engine = engine;
    job.dir = d.solverDir;
    job.solverSeconds = d.solverSeconds;
    const bool balanced = d.densityBalance != Balance::None;
    switch (engine) {
        case Engine::Sdp: {
            job.problem = ProblemOf(d, dg, balanced, std::move(conflicts), std::move(stitches));
            job.secondStage = d.sdpRoundFlag;
            const double need = chromasect::sdpMemoryEstimateMB(job.problem);
            if (d.sdpMemoryMB > 0 && need > d.sdpMemoryMB) {
                // CSDP would not finish, or not start: the tabu engine colours it.
                job.output += chromasect::formatText(
                    "WARNING| a graph of %d vertices needs about %.0f MB in the SDP "
                    "solver, more than its %.0f MB: coloured by the tabu engine\n",
                    job.problem.n, need, d.sdpMemoryMB);
                job.engine = Engine::Tabu;
                job.tabuSeconds = d.tabuSeconds;
            }
            break;
        }
        case Engine::Ilp: {
            // Found before anything is written, so a run without the script
            // ends at its first solve with a clear message.
            job.script = chromasect::findIlpSolverScript(chromasect::selfExecutablePath());
            if (job.script.empty())
                chromasect::fatal(chromasect::kExitUsage,
                                  "ERROR| cannot find the ILP solver script rungrb.csh");
            job.output = unsupportedIlpMasksNote();
            job.problem = ProblemOf(d, dg, false, std::move(conflicts), std::move(stitches));
            job.quiet = d.quiet;
            break;
        }
        case Engine::Tabu:
            job.problem = ProblemOf(d, dg, false, std::move(conflicts), std::move(stitches));
            job.tabuSeconds = d.tabuSeconds;
            break;
        case Engine::Exact:
            job.problem = ProblemOf(d, dg, false, std::move(conflicts), std::move(stitches));
            job.seconds = d.exactSeconds;
            break;
        case Engine::None:
            break;
    }
    return job;
}

namespace {

void keepWarnings(EngineJob& job, const std::vector<std::string>& warnings) {
    for (const std::string& line : warnings) job.output += line;
}

// CBC's library is used from one thread at a time: its C interface solves
// through shared state, and separate models solved on separate threads
// came back with each other's answers. The tabu starts still run at once.
std::mutex& cbcLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

namespace {
void solveJob(EngineJob& job);
}  // namespace

void SolveEngineJob(EngineJob& job) {
    const auto start = std::chrono::steady_clock::now();
    try {
        solveJob(job);
    } catch (...) {
        // Raised when the job is applied, after the output before it.
        job.failure = std::current_exception();
    }
    job.solveSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void ApplyEngineJob(MPLDesign& d, const std::vector<mySuperShape*>& dg, EngineJob& job) {
    d.report.print("%s", job.output.c_str());
    if (job.failure) std::rethrow_exception(job.failure);
    if (job.unanswered) ++d.unansweredGraphs;
    switch (job.engine) {
        case Engine::Sdp:
            for (size_t i = 0; i < dg.size(); ++i) dg[i]->SetMultiColorTmp(job.colors[i]);
            break;
        case Engine::Ilp:
            if (job.ilp.stopped || !job.ilp.fault.empty()) {
                for (size_t i = 0; i < dg.size(); ++i) dg[i]->SetMultiColorTmp(job.colors[i]);
                break;
            }
            if (!job.ilp.answered)
                chromasect::fatal(chromasect::kExitInternal, "ERROR| can NOT open \"problem.sol\"");
            if (job.ilp.variables > d.maxILPVarNum) d.maxILPVarNum = job.ilp.variables;
            ApplyIlpBits(job.ilp.bits, dg);
            for (mySuperShape* v : dg) v->SetMultiColorTmp(2 * v->colorHigh + v->colorLow);
            break;
        case Engine::Tabu:
            for (size_t i = 0; i < dg.size(); ++i) dg[i]->SetMultiColorTmp(job.colors[i]);
            break;
        case Engine::Exact:
            for (size_t i = 0; i < dg.size(); ++i) dg[i]->SetMultiColorTmp(job.colors[i]);
            if (job.exact.proven) ++d.exactProven;
            d.engineCost += job.exact.cost;
            d.engineStartCost += job.exact.startCost;
            d.engineLowerBound += job.exact.lowerBound;
            break;
        case Engine::None:
            break;
    }
}

namespace {

void solveJob(EngineJob& job) {
    switch (job.engine) {
        case Engine::Sdp: {
            chromasect::SdpResult r =
                chromasect::solveSdp(job.problem, job.secondStage, job.dir, job.solverSeconds);
            keepWarnings(job, r.warnings);
            job.colors = std::move(r.colors);
            job.unanswered = r.unanswered;
            break;
        }
        case Engine::Ilp:
            job.ilp = chromasect::solveIlp(job.problem, job.script, job.quiet, job.dir,
                                           job.solverSeconds);
            job.output += job.ilp.output;
            if (job.ilp.stopped) {
                job.output += chromasect::formatText(
                    "WARNING| the ILP solver was stopped after %g seconds on a graph of "
                    "%d vertices\n",
                    job.solverSeconds, job.problem.n);
            } else if (!job.ilp.fault.empty()) {
                job.output += chromasect::formatText(
                    "WARNING| the ILP solver's answer for a graph of %d vertices is damaged "
                    "(%s); taken as no answer\n",
                    job.problem.n, job.ilp.fault.c_str());
            }
            if (job.ilp.stopped || !job.ilp.fault.empty()) {
                job.colors = chromasect::colorsWithoutAnswer(job.problem, false);
                job.unanswered = true;
            }
            break;
        case Engine::Tabu: {
            chromasect::TabuOptions options;
            options.seconds = job.tabuSeconds;
            chromasect::TabuResult r = chromasect::solveTabu(job.problem, options);
            job.hasLowerBound = true;
            job.lowerBound = r.lowerBound;
            job.proven = r.cost <= r.lowerBound;
            job.colors = std::move(r.colors);
            break;
        }
        case Engine::Exact: {
            // The tabu colouring alone seeds the solver: an SDP start was
            // most of this engine's time and almost never a better seed.
            const std::vector<int> start = chromasect::solveTabu(job.problem).colors;
            std::lock_guard<std::mutex> hold(cbcLock());
            job.exact = chromasect::solveExact(job.problem, start, job.seconds);
            job.colors = job.exact.colors;
            job.hasLowerBound = true;
            job.lowerBound = job.exact.lowerBound;
            job.proven = job.exact.proven;
            break;
        }
        case Engine::None:
            break;
    }
}

}  // namespace

namespace {
// 64-bit FNV-1a over the bytes of plain values.
struct Fnv {
    uint64_t h = 14695981039346656037ull;
    template <class T>
    void add(const T& v) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &v, sizeof(T));
        for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    }
    void add(const std::string& s) {
        add(s.size());
        for (char c : s) add(c);
    }
};
}  // namespace

size_t EngineWorkHash(const EngineJob& job) {
    Fnv f;
    const chromasect::ColoringProblem& p = job.problem;
    f.add(static_cast<int>(job.engine));
    f.add(p.n);
    f.add(p.masks);
    f.add(p.conflicts.size());
    for (const std::pair<int, int>& e : p.conflicts) f.add(e);
    f.add(p.stitches.size());
    for (const std::pair<int, int>& e : p.stitches) f.add(e);
    f.add(p.alpha);
    f.add(p.beta);
    for (double x : p.densities) f.add(x);
    return static_cast<size_t>(f.h);
}

bool SameEngineWork(const EngineJob& a, const EngineJob& b) {
    const chromasect::ColoringProblem &p = a.problem, &q = b.problem;
    return a.engine == b.engine && a.secondStage == b.secondStage && a.script == b.script &&
           a.quiet == b.quiet && a.seconds == b.seconds && a.solverSeconds == b.solverSeconds &&
           a.tabuSeconds == b.tabuSeconds && a.output == b.output && p.n == q.n &&
           p.masks == q.masks && p.alpha == q.alpha && p.beta == q.beta &&
           p.densities == q.densities && p.conflicts == q.conflicts && p.stitches == q.stitches;
}

void TakeEngineAnswer(EngineJob& copy, const EngineJob& solved) {
    copy.output = solved.output;
    copy.failure = solved.failure;
    copy.unanswered = solved.unanswered;
    copy.colors = solved.colors;
    copy.ilp = solved.ilp;
    copy.exact = solved.exact;
    copy.hasLowerBound = solved.hasLowerBound;
    copy.lowerBound = solved.lowerBound;
    copy.proven = solved.proven;
    copy.solveSeconds = 0.0;
}
