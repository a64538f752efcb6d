#include <algorithm>
// One graph's engine work split so that graphs can be solved at once while
// the run's state and output change only in graph order; the engines
// themselves sit behind the seam of coloring_engine.h.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
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
    if (std::any_of(dg.begin(), dg.end(),
                    [](const mySuperShape* v) { return v->fixedMask() >= 0; }))
        for (const mySuperShape* v : dg) p.fixed.push_back(v->fixedMask());
    return p;
}

void ApplyIlpBits(const chromasect::IlpBits& bits, const std::vector<mySuperShape*>& dg) {
    for (size_t v = 0; v < dg.size(); ++v) {
        if (bits.high[v] != -1) dg[v]->colorHigh = bits.high[v];
        if (bits.low[v] != -1) dg[v]->colorLow = bits.low[v];
    }
}

std::unique_ptr<chromasect::ColoringEngine> MakeEngine(const MPLDesign& d, Engine engine) {
    switch (engine) {
        case Engine::Sdp: {
            chromasect::SdpEngine::Settings s;
            s.secondStage = d.sdpRoundFlag;
            s.seconds = d.solverSeconds;
            s.memoryMB = d.sdpMemoryMB;
            s.tabuSeconds = d.tabuSeconds;
            s.settingsDir = d.solverDir;
            return std::make_unique<chromasect::SdpEngine>(s);
        }
        case Engine::Ilp: {
            chromasect::IlpEngine::Settings s;
            s.script = chromasect::findIlpSolverScript(chromasect::selfExecutablePath());
            s.quiet = d.quiet;
            s.seconds = d.solverSeconds;
            return std::make_unique<chromasect::IlpEngine>(s);
        }
        case Engine::Tabu:
            return std::make_unique<chromasect::TabuEngine>(d.tabuSeconds);
        case Engine::Exact:
            return std::make_unique<chromasect::ExactEngine>(d.exactSeconds);
        case Engine::None:
            break;
    }
    return nullptr;
}

std::vector<std::string> WorkerDirectories(const chromasect::ColoringEngine& engine,
                                           const std::string& solverDir, size_t workers) {
    // One worker solves in the run's directory, as without workers.
    if (workers <= 1) return {solverDir};
    std::vector<std::string> dirs;
    for (size_t w = 0; w < workers; ++w) {
        dirs.push_back(chromasect::inDir(solverDir, "worker" + std::to_string(w + 1)));
        chromasect::makeDirectory(dirs.back());
        engine.prepare(dirs.back());
    }
    return dirs;
}

void RunEngineJob(MPLDesign& d, const std::vector<mySuperShape*>& dg, Engine engine) {
    EngineJob job = PrepareEngineJob(d, dg, engine);
    SolveEngineJob(job, *MakeEngine(d, engine));
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
    // Only the density-balanced SDP reads the densities.
    const bool densities = engine == Engine::Sdp && d.densityBalance != Balance::None;
    job.problem = ProblemOf(d, dg, densities, std::move(conflicts), std::move(stitches));
    return job;
}

void SolveEngineJob(EngineJob& job, const chromasect::ColoringEngine& engine) {
    const auto start = std::chrono::steady_clock::now();
    try {
        engine.solve(job.problem, job.dir, job.result);
    } catch (...) {
        // Raised when the job is applied, after the output before it.
        job.failure = std::current_exception();
    }
    job.solveSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ApplyEngineJob(MPLDesign& d, const std::vector<mySuperShape*>& dg, EngineJob& job,
                      const chromasect::ColoringProblem* problem) {
    const chromasect::EngineResult& r = job.result;
    d.report.print("%s", r.output.c_str());
    if (job.failure) std::rethrow_exception(job.failure);
    if (r.unanswered) ++d.unansweredGraphs;
    for (size_t i = 0; i < dg.size(); ++i) dg[i]->SetMultiColorTmp(r.colors[i]);
    if (r.variables > d.maxILPVarNum) d.maxILPVarNum = r.variables;
    const double cost =
        r.counted ? r.cost : chromasect::colouringCost(problem ? *problem : job.problem, r.colors);
    d.engineCost += cost;
    d.engineStartCost += r.startCost;
    if (r.hasLowerBound) d.engineLowerBound += r.lowerBound;
    if (r.proven) ++d.provenGraphs;
    return cost;
}

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
    for (int v = 0; v < p.n; ++v) f.add(p.fixedMask(v));
    return static_cast<size_t>(f.h);
}

bool SameEngineWork(const EngineJob& a, const EngineJob& b) {
    const chromasect::ColoringProblem &p = a.problem, &q = b.problem;
    return a.engine == b.engine && p.n == q.n && p.masks == q.masks && p.alpha == q.alpha &&
           p.beta == q.beta && p.densities == q.densities && p.conflicts == q.conflicts &&
           p.stitches == q.stitches && p.fixed == q.fixed;
}

void TakeEngineAnswer(EngineJob& copy, const EngineJob& solved) {
    copy.result = solved.result;
    copy.failure = solved.failure;
    copy.solveSeconds = 0.0;
}
