// Colouring of every decomposition graph: a random mask for a lone vertex,
// the fast simplify-and-select trial where it succeeds, an engine otherwise.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <stack>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "base/files.h"
#include "base/parallel.h"
#include "base/params.h"
#include "dgraph/dgraph.h"
#include "solvers/solvers.h"

namespace {

// What one graph adds to the run's output and, when it needs an engine, its
// job.
struct GraphWork {
    std::string before;      // progress line and notes of the fast trial
    bool fastTrial = false;  // settled by the fast trial
    bool settled = false;    // every vertex fixed
    bool engine = false;
    EngineJob job;
    std::exception_ptr failure;  // a fatal condition met while preparing it
};

// A live count of the graphs the engine has finished, on standard error so
// that standard output (logs, stored results) never changes: always with
// "-progress 1", and for a run whose engine work passes a few seconds when
// standard error is a terminal.
class LiveProgress {
  public:
    LiveProgress(bool asked, size_t total)
        : asked_(asked),
          terminal_(isatty(STDERR_FILENO) == 1),
          total_(total),
          start_(std::chrono::steady_clock::now()) {}
    ~LiveProgress() {
        if (shown_) std::fprintf(stderr, "\n");
    }
    void finished() {
        std::lock_guard<std::mutex> hold(lock_);
        ++done_;
        const auto now = std::chrono::steady_clock::now();
        const double since = std::chrono::duration<double>(now - start_).count();
        if (!asked_ && !(terminal_ && since > kQuietSeconds)) return;
        if (shown_ && done_ < total_ && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        shown_ = true;
        std::fprintf(stderr, "\rColouring: %zu of %zu graphs solved (%.0f s)", done_, total_,
                     since);
        std::fflush(stderr);
    }

  private:
    static constexpr double kQuietSeconds = 3.0;
    const bool asked_, terminal_;
    const size_t total_;
    const std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
    std::mutex lock_;
    size_t done_ = 0;
    bool shown_ = false;
};

// Solves the jobs (graph indices) with `threads` workers, each in a solver
// directory of its own (one per worker, prepared once), taking graphs in
// order.
void solveJobs(MPLDesign& d, const chromasect::ColoringEngine& engine, JobFarm* farm,
               std::vector<GraphWork>& work, std::vector<size_t> jobs) {
    // Largest graphs first, so that no worker is left with a large one at
    // the end while the others wait; each answer is kept with its graph.
    std::stable_sort(jobs.begin(), jobs.end(), [&](size_t a, size_t b) {
        return work[a].job.problem.n > work[b].job.problem.n;
    });
    LiveProgress progress(!d.quiet, jobs.size());
    size_t workers = std::min<size_t>(jobs.size(), static_cast<size_t>(std::max(1, d.threads)));
    if (farm) workers = static_cast<size_t>(std::max(1, d.threads));
    if (workers <= 1 && !farm) {
        for (size_t i : jobs) {
            SolveEngineJob(work[i].job, engine);
            progress.finished();
        }
        return;
    }
    const std::vector<std::string> dirs = WorkerDirectories(engine, d.solverDir, workers);
    if (farm) {
        std::vector<EngineJob*> farmed;
        std::vector<int> graphs;
        for (size_t i : jobs) {
            farmed.push_back(&work[i].job);
            graphs.push_back(static_cast<int>(i));
        }
        farm->solve(
            farmed, graphs, static_cast<int>(workers),
            [&](EngineJob& job, size_t w) {
                job.dir = dirs[w];
                SolveEngineJob(job, engine);
            },
            [&]() { progress.finished(); });
        return;
    }
    std::atomic<size_t> next(0);
    auto run = [&](size_t w) {
        for (size_t k = next++; k < jobs.size(); k = next++) {
            EngineJob& job = work[jobs[k]].job;
            job.dir = dirs[w];
            SolveEngineJob(job, engine);
            progress.finished();
        }
    };
    std::vector<std::thread> pool;
    for (size_t w = 1; w < workers; ++w) pool.emplace_back(run, w);
    run(0);
    for (std::thread& t : pool) t.join();
}

// Solves the engine work of the graphs before `end`. A graph whose work
// equals an earlier one's (repeated cells, arrayed blocks) takes that
// answer: engines are functions of their work, so the output is what a
// solve of its own would give.
void solveAll(MPLDesign& d, const chromasect::ColoringEngine& engine, JobFarm* farm,
              std::vector<GraphWork>& work, size_t end) {
    std::vector<size_t> jobs;
    for (size_t i = 0; i < end; ++i)
        if (work[i].engine && work[i].job.sameAs < 0) jobs.push_back(i);
    solveJobs(d, engine, farm, work, std::move(jobs));
    for (size_t i = 0; i < end; ++i)
        if (work[i].engine && work[i].job.sameAs >= 0)
            TakeEngineAnswer(work[i].job, work[work[i].job.sameAs].job);
}

chromasect::GraphRecord graphRecord(int index, const EngineJob& job,
                                    const chromasect::ColoringProblem& problem, double cost) {
    chromasect::GraphRecord r;
    r.index = index;
    r.vertices = problem.n;
    r.conflictPairs =
        static_cast<int>(chromasect::distinctPairs(problem.conflicts, problem.n).size());
    r.stitchPairs = static_cast<int>(chromasect::distinctPairs(problem.stitches, problem.n).size());
    const chromasect::EngineResult& answer = job.result;
    r.engine = engineName(answer.engine);
    r.cost = cost;
    r.hasLowerBound = answer.hasLowerBound;
    r.lowerBound = answer.lowerBound;
    r.proven = answer.proven;
    r.seconds = job.solveSeconds;
    r.sameAs = job.sameAs;
    const std::string& output = answer.output;
    for (size_t at = 0; at < output.size();) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        if (output.compare(at, 9, "WARNING| ") == 0)
            r.warnings.push_back(output.substr(at, end - at));
        at = end + 1;
    }
    return r;
}

}  // namespace

bool ResolveDGs(MPLDesign& d, JobFarm* farm) {
    int calls = 0;
    const int n = static_cast<int>(d.dgs.size());
    std::vector<GraphWork> work(n);
    // Made once for the run; an engine that cannot be made fails the first
    // graph that needs it, after the output before that graph.
    std::unique_ptr<chromasect::ColoringEngine> engine;
    std::exception_ptr noEngine;
    try {
        engine = MakeEngine(d, d.algo);
    } catch (...) {
        noEngine = std::current_exception();
    }
    // Every graph of two or more vertices on its own, at once: pair sets,
    // the fast trial, the engine's problem. Each reads the records and
    // writes only its own vertices' working colours and its own entry.
    auto prepare = [&d, &work, &noEngine](int i) {
        GraphWork& w = work[i];
        const std::vector<mySuperShape*>& dg = d.dgs[i];
        if (dg.size() < 2) return;
        try {
            int fixed = 0;
            for (const mySuperShape* v : dg) fixed += v->fixedMask() >= 0;
            if (fixed == static_cast<int>(dg.size())) {  // nothing left to choose
                for (mySuperShape* v : dg) v->SetMultiColorTmp(v->fixedMask());
                w.settled = true;
                return;
            }
            std::vector<std::pair<int, int> > conflicts = conflictPairsOf(dg);
            std::vector<std::pair<int, int> > stitches = stitchPairsOf(dg);
            // The trial's own order would ignore a fixed mask.
            if (d.simdg > 1 && fixed == 0 &&
                FastColorAssignmentTrial(d, dg, conflicts, stitches, w.before)) {
                w.fastTrial = true;
            } else if (d.algo != Engine::None) {
                if (noEngine) std::rethrow_exception(noEngine);
                w.job = PrepareEngineJob(d, dg, d.algo, std::move(conflicts), std::move(stitches));
                w.engine = true;
            }
        } catch (...) {
            w.failure = std::current_exception();
        }
    };
    // A window of graphs at a time, each job that repeats an earlier one's
    // work (repeated cells, arrayed blocks) then dropping its problem: it
    // takes that answer, since engines are functions of their work, and an
    // arrayed layer never holds all its copies' problems at once.
    const size_t kWindow = 512;
    std::unordered_map<size_t, std::vector<size_t> > seen;
    for (size_t from = 0; from < static_cast<size_t>(n); from += kWindow) {
        const size_t to = std::min(static_cast<size_t>(n), from + kWindow);
        chromasect::parallelFor(
            to - from, d.threads, [&](size_t k) { prepare(static_cast<int>(from + k)); }, 8, 16);
        for (size_t i = from; i < to; ++i) {
            if (!work[i].engine || work[i].failure) continue;
            std::vector<size_t>& alike = seen[EngineWorkHash(work[i].job)];
            for (size_t j : alike) {
                if (!SameEngineWork(work[j].job, work[i].job)) continue;
                work[i].job.sameAs = static_cast<int>(j);
                work[i].job.problem = chromasect::ColoringProblem();
                break;
            }
            if (work[i].job.sameAs < 0) alike.push_back(i);
        }
    }

    // In graph order: what changes the run's shared state (lone-vertex
    // colours drawn from rand(), the tallies) and the output before the
    // engines' output.
    int end = n;
    std::exception_ptr failure;
    for (int i = 0; i < n; ++i) {
        GraphWork& w = work[i];
        std::string before;
        if (!d.quiet && i % 10 == 0) {
            // Single precision on purpose: the printed digits are fixed by it.
            const float percent = static_cast<float>(i) / static_cast<float>(n) * 100.0f;
            before = chromasect::formatText("STAT | Color Assignment Process: %.2f%%\t\r",
                                            static_cast<double>(percent));
        }
        w.before = before + w.before;
        const std::vector<mySuperShape*>& dg = d.dgs[i];
        if (w.failure) {
            failure = w.failure;
            end = i;
            break;
        }
        if (dg.size() >= 2) {
            if (w.settled)
                continue;
            else if (w.fastTrial)
                ++d.stats.fastTrialGraphs;
            else
                ++calls;
        } else if (dg.size() == 1) {
            // rand() is never seeded, so runs repeat exactly.
            const int fixedMask = dg[0]->fixedMask();
            dg[0]->SetMultiColorTmp(fixedMask >= 0 ? fixedMask : std::rand() % NUM_COLORS);
        }
    }
    for (int i = end; i < n; ++i) work[i].engine = false;
    // The pair sets hold the last graph's, as when graphs were taken one by one.
    if (end > 0) {
        initConflictSet(d, d.dgs[end - 1]);
        initStitchSet(d, d.dgs[end - 1]);
    }

    if (engine) solveAll(d, *engine, farm, work, static_cast<size_t>(end));

    // In graph order again: output, colours and tallies.
    for (int i = 0; i < n; ++i) {
        d.report.print("%s", work[i].before.c_str());
        if (i == end) std::rethrow_exception(failure);
        if (!work[i].engine) continue;
        const std::vector<mySuperShape*>& dg = d.dgs[i];
        const EngineJob& job = work[i].job;
        const chromasect::ColoringProblem& problem =
            job.sameAs >= 0 ? work[job.sameAs].job.problem : job.problem;
        const double cost = ApplyEngineJob(d, dg, work[i].job, &problem);
        ++d.engineGraphs;
        d.stats.graphs.push_back(graphRecord(i, job, problem, cost));
    }
    d.stats.solverCalls = calls;
    d.report.print("STAT | Color Assignment Process: 100.0%%\t\n");
    d.report.print("STAT | Solver Calling time: %d\n", calls);
    if (engine) {
        d.report.flush();
        engine->cleanUp(d.solverDir);
    }
    return true;
}

// Simplify and select: vertices of low degree are removed onto a stack and
// coloured back in reverse order, each avoiding its coloured conflict
// neighbours and following its coloured stitch neighbour. Success means the
// graph has neither a conflict nor a stitch, which no engine could better.
bool FastColorAssignmentTrial(MPLDesign& d, const std::vector<mySuperShape*>& dg) {
    const std::vector<std::pair<int, int> > conflicts(d.conflictSet.begin(), d.conflictSet.end());
    const std::vector<std::pair<int, int> > stitches(d.stitchSet.begin(), d.stitchSet.end());
    std::string errors;
    const bool done = FastColorAssignmentTrial(d, dg, conflicts, stitches, errors);
    d.report.print("%s", errors.c_str());
    return done;
}

bool FastColorAssignmentTrial(const MPLDesign& d, const std::vector<mySuperShape*>& dg,
                              const std::vector<std::pair<int, int> >& conflicts,
                              const std::vector<std::pair<int, int> >& stitches,
                              std::string& errors) {
    const int n = static_cast<int>(dg.size());
    myGraph graph(n);
    for (const std::pair<int, int>& p : conflicts) graph.AddConflictEdge(p.first, p.second);
    for (const std::pair<int, int>& p : stitches) graph.AddStitchEdge(p.first, p.second);
    for (const std::string& line : graph.TakeErrors()) errors += line;

    std::set<int> remaining;
    std::stack<int> removed;
    std::list<int> removedList;
    graph.IterativeVertexRemovalDG(remaining, removed, removedList);
    if (!remaining.empty()) return false;

    // Each vertex's partners in either place of a pair (a pair naming a
    // vertex outside the graph names no partner).
    auto partners = [n](const std::vector<std::pair<int, int> >& pairs) {
        std::vector<std::vector<int> > adj(n);
        for (const std::pair<int, int>& p : pairs) {
            if (p.first < 0 || p.second < 0 || p.first >= n || p.second >= n) continue;
            adj[p.first].push_back(p.second);
            if (p.second != p.first) adj[p.second].push_back(p.first);
        }
        return adj;
    };
    const std::vector<std::vector<int> > conflictAdj = partners(conflicts);
    const std::vector<std::vector<int> > stitchAdj = partners(stitches);
    std::vector<bool> conflictColors(NUM_COLORS);
    std::vector<bool> stitchColors(NUM_COLORS);
    auto flagNeighbours = [&dg](const std::vector<int>& near, std::vector<bool>& flags) {
        flags.assign(flags.size(), false);
        for (int u : near) {
            const int c = dg[u]->colorTmp;
            if (c >= 0 && c < static_cast<int>(flags.size())) flags[c] = true;
        }
    };
    while (!removed.empty()) {
        const int v = removed.top();
        removed.pop();
        flagNeighbours(conflictAdj[v], conflictColors);
        flagNeighbours(stitchAdj[v], stitchColors);
        const int c = AssignLegalColor(d, conflictColors, stitchColors);
        if (c < 0) return false;
        dg[v]->SetMultiColorTmp(c);
    }
    return true;
}

namespace {
bool isForbidden(const std::vector<bool>& flags, int c) {
    return c >= 0 && c < static_cast<int>(flags.size()) && flags[c];
}
}  // namespace

// Colour for one vertex of the fast trial: follow its one coloured stitch
// neighbour, else the first mask no coloured conflict neighbour holds; -1
// when only a conflict or a stitch would do.
int AssignLegalColor(const MPLDesign& d, const std::vector<bool>& conflictColors,
                     const std::vector<bool>& stitchColors) {
    int stitchColor = -1;
    int stitchCount = 0;
    for (int c = 0; c < NUM_COLORS; ++c) {
        if (isForbidden(stitchColors, c)) {
            stitchColor = c;
            ++stitchCount;
        }
    }
    if (stitchCount > 1) return -1;
    if (stitchCount == 1) return isForbidden(conflictColors, stitchColor) ? -1 : stitchColor;

    std::vector<std::pair<double, int> > order;
    for (int c = 0; c < NUM_COLORS; ++c) {
        // colorDensity has three entries whatever NUM_COLORS is.
        const double density =
            c < static_cast<int>(d.colorDensity.size()) ? d.colorDensity[c] : 0.0;
        order.emplace_back(d.densityBalance != Balance::None ? density : 0.0, c);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const std::pair<double, int>& a, const std::pair<double, int>& b) {
                         return a.first < b.first;
                     });
    for (const std::pair<double, int>& p : order)
        if (!isForbidden(conflictColors, p.second)) return p.second;
    return -1;
}
