#pragma once
// Colour assignment of every decomposition graph: a random mask for a lone
// vertex, the fast trial where it succeeds, else the chosen engine. The
// engines' adapters build a graph's problem from the run and write the
// working colours back; the engines themselves are functions of the problem.

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "design/design.h"
#include "solvers/coloring_engine.h"
#include "solvers/engines.h"
#include "solvers/exact.h"
#include "solvers/tabu.h"

struct EngineJob;

// Solves engine jobs on other processes besides this one's threads; the
// driver sets one up for a run over MPI.
class JobFarm {
  public:
    virtual ~JobFarm() = default;
    // Solves every job (largest first); graphs[k] is the index of job k's
    // graph, for messages. solveHere(job, worker) solves one job on this
    // process's worker thread `worker` (0 .. threads - 1) and may be called
    // from several threads at once, as may finished(), called once a job's
    // answer is in.
    virtual void solve(const std::vector<EngineJob*>& jobs, const std::vector<int>& graphs,
                       int threads, const std::function<void(EngineJob&, size_t)>& solveHere,
                       const std::function<void()>& finished) = 0;
};

// Colours every graph of d.dgs into the vertices' working colours, the
// engine work shared with the farm's other processes when one is given.
bool ResolveDGs(MPLDesign& d, JobFarm* farm = nullptr);
bool FastColorAssignmentTrial(MPLDesign& d, const std::vector<mySuperShape*>& dg);
// The same on the given pairs (sorted, as conflictPairsOf gives them), its
// graph's edge errors appended to `errors`; it writes only dg's working
// colours, so graphs can be tried at once.
bool FastColorAssignmentTrial(const MPLDesign& d, const std::vector<mySuperShape*>& dg,
                              const std::vector<std::pair<int, int> >& conflicts,
                              const std::vector<std::pair<int, int> >& stitches,
                              std::string& errors);

// One graph's problem as the run holds it now (the pair sets of the graph
// last collected); with densities for the density-balanced SDP.
chromasect::ColoringProblem ProblemOf(const MPLDesign& d, const std::vector<mySuperShape*>& dg,
                                      bool withDensities);
// The same on the given pairs (sorted, without repeats).
chromasect::ColoringProblem ProblemOf(const MPLDesign& d, const std::vector<mySuperShape*>& dg,
                                      bool withDensities,
                                      std::vector<std::pair<int, int> > conflicts,
                                      std::vector<std::pair<int, int> > stitches);

// The run's engine for `engine`, made from the run's settings.
std::unique_ptr<chromasect::ColoringEngine> MakeEngine(const MPLDesign& d, Engine engine);

// One solver directory per worker: solverDir itself for one (prepared by
// the caller), else a prepared directory of its own in it for each.
std::vector<std::string> WorkerDirectories(const chromasect::ColoringEngine& engine,
                                           const std::string& solverDir, size_t workers);

// One graph's engine work, in three steps: made from the run in graph order,
// solved on any thread (touching nothing of the run, its solver files in
// `dir`), applied to the run in graph order. Output is kept in the result
// and reported when it is applied, so the run prints the same bytes however
// many graphs are solved at once.
struct EngineJob {
    Engine engine = Engine::None;  // the engine asked for
    chromasect::ColoringProblem problem;
    std::string dir = ".";
    chromasect::EngineResult result;
    std::exception_ptr failure;  // a fatal condition met while solving
    double solveSeconds = 0.0;   // for the run report
    int sameAs = -1;             // the graph whose answer it took, or -1 when solved
};
EngineJob PrepareEngineJob(const MPLDesign& d, const std::vector<mySuperShape*>& dg, Engine engine);
// The same on the given pairs; it reads the run only, so graphs can be
// prepared at once.
EngineJob PrepareEngineJob(const MPLDesign& d, const std::vector<mySuperShape*>& dg, Engine engine,
                           std::vector<std::pair<int, int> > conflicts,
                           std::vector<std::pair<int, int> > stitches);
// Solves the job with the run's engine for job.engine.
void SolveEngineJob(EngineJob& job, const chromasect::ColoringEngine& engine);
// Engine work that is the same in all an answer depends on (the engine and
// the problem; not the directory): every engine is a function of it, so one
// solve answers all such jobs.
size_t EngineWorkHash(const EngineJob& job);
bool SameEngineWork(const EngineJob& a, const EngineJob& b);
// Gives `copy` the answer of `solved` as its own solve would have given it.
void TakeEngineAnswer(EngineJob& copy, const EngineJob& solved);
// Reports the job's output, colours dg and adds to the run's tallies; the
// cost of the colouring is returned. `problem` stands in for the job's own
// when that was dropped (a job that took another's answer).
double ApplyEngineJob(MPLDesign& d, const std::vector<mySuperShape*>& dg, EngineJob& job,
                      const chromasect::ColoringProblem* problem = nullptr);
// The three steps at once, on one graph, in d.solverDir.
void RunEngineJob(MPLDesign& d, const std::vector<mySuperShape*>& dg, Engine engine);

// The ILP answer's bits written to the vertices (a bit the answer does not
// name keeps the vertex's present one).
void ApplyIlpBits(const chromasect::IlpBits& bits, const std::vector<mySuperShape*>& dg);

void GroupSDP(MPLDesign& d, const std::vector<mySuperShape*>& dg);
void WriteGroupSDP(MPLDesign& d, const char* fileName, const std::vector<mySuperShape*>& dg);
void WriteGroupSDP_DensityBalance(MPLDesign& d, const char* fileName,
                                  const std::vector<mySuperShape*>& dg);
void GroupILP(MPLDesign& d, const std::vector<mySuperShape*>& dg);
void WriteGroupILP(MPLDesign& d, const char* fileName, const std::vector<mySuperShape*>& dg,
                   std::vector<chromasect::ILPVariable>* vars, bool relax);
void parseFileSolutionGurobi(const std::vector<mySuperShape*>& dg);
void GroupExact(MPLDesign& d, const std::vector<mySuperShape*>& dg);

// Cost of dg's working colours under the current pair sets.
double GraphCost(const MPLDesign& d, const std::vector<mySuperShape*>& dg);
void PrintEngineQuality(const MPLDesign& d);

// Colour for one vertex: follow its one coloured stitch neighbour, else the
// first mask no coloured conflict neighbour holds (in density order under
// balance); -1 when only a conflict or a stitch would do.
int AssignLegalColor(const MPLDesign& d, const std::vector<bool>& conflictColors,
                     const std::vector<bool>& stitchColors);
