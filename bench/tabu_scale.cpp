// How the tabu engine's time grows with its graph. A real block is run
// through the pipeline with no simplification, so that its largest
// decomposition graph holds nearly all of it, and N copies of that graph,
// side by side and apart as tools/tile_layout places them with a gap wider
// than the spacing, are solved with the engine's default options. Per N
// one row: the vertices and pairs, the seconds of the greedy start, of the
// two lower bounds and of the whole solve, each also per million (vertices
// + pairs), so that a column that stays level is linear; the solve's
// iterations per vertex and microseconds per iteration (its budget is per
// vertex, so the first varies with the graph and the second should not);
// its cost, the packing bound, and how far the cost it kept by adding move
// deltas drifted from a recount.
//
// The copies are joined here rather than taken from a tiled layout: the
// pipeline makes every vertex next to a rail conflict with every rail
// vertex of its graph, so a tiled layout's pairs grow with the square of
// its copies. -layouts times the pipeline itself on such layouts.
// Usage: bench_tabu_scale BLOCK N...
//        bench_tabu_scale -layouts LAYOUT...
// Run by scripts/bench-tabu.sh.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "design/design.h"
#include "dgraph/dgraph.h"
#include "driver/app.h"
#include "input/input.h"
#include "layoutgraph/layoutgraph.h"
#include "projection/projection.h"
#include "solvers/solvers.h"
#include "solvers/tabu.h"

namespace {

double since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The largest graph of the layout, with the seconds of the stages that made it.
chromasect::ColoringProblem largestGraph(const std::string& layout, std::string& stages) {
    std::vector<std::string> args = {"tabu_scale", "-inlib", layout, "-simlg", "0", "-simdg", "0"};
    std::vector<char*> av;
    for (std::string& a : args) av.push_back(&a[0]);
    MPLDesign d;
    d.report.capture();
    parseParameters(d, static_cast<int>(av.size()), av.data());
    auto t = std::chrono::steady_clock::now();
    ReadAll(d);
    const double read = since(t);
    t = std::chrono::steady_clock::now();
    RelationshipLGs(d);
    GenerateLGs(d);
    const double layoutGraphs = since(t);
    t = std::chrono::steady_clock::now();
    Projection(d);
    const double projection = since(t);
    t = std::chrono::steady_clock::now();
    GenerateDGs(d);
    const double dgs = since(t);
    const std::vector<mySuperShape*>* largest = nullptr;
    for (const std::vector<mySuperShape*>& dg : d.dgs)
        if (!largest || dg.size() > largest->size()) largest = &dg;
    if (!largest) return chromasect::ColoringProblem();
    t = std::chrono::steady_clock::now();
    initConflictSet(d, *largest);
    const double conflictSet = since(t);
    t = std::chrono::steady_clock::now();
    initStitchSet(d, *largest);
    const double stitchSet = since(t);
    t = std::chrono::steady_clock::now();
    chromasect::ColoringProblem p = ProblemOf(d, *largest, false);
    const double problem = since(t);
    char line[400];
    std::snprintf(line, sizeof line,
                  "       read %.2f s, layout graphs %.2f s, projection %.2f s, "
                  "decomposition graphs %.2f s (%zu), conflict set %.2f s, stitch set %.2f s, "
                  "problem %.2f s",
                  read, layoutGraphs, projection, dgs, d.dgs.size(), conflictSet, stitchSet,
                  problem);
    stages = line;
    return p;
}

// N copies of p, numbered one after another.
chromasect::ColoringProblem copies(const chromasect::ColoringProblem& p, int count) {
    chromasect::ColoringProblem q;
    q.n = p.n * count;
    q.masks = p.masks;
    q.alpha = p.alpha;
    const auto conflicts = chromasect::distinctPairs(p.conflicts, p.n);
    const auto stitches = chromasect::distinctPairs(p.stitches, p.n);
    for (int c = 0; c < count; ++c) {
        const int o = c * p.n;
        for (const auto& e : conflicts) q.conflicts.insert({o + e.first, o + e.second});
        for (const auto& e : stitches) q.stitches.insert({o + e.first, o + e.second});
    }
    return q;
}

void row(const chromasect::ColoringProblem& p) {
    const size_t pairs = chromasect::distinctPairs(p.conflicts, p.n).size() +
                         chromasect::distinctPairs(p.stitches, p.n).size();
    const double million = (p.n + static_cast<double>(pairs)) / 1e6;
    auto t = std::chrono::steady_clock::now();
    chromasect::greedyColoring(p);
    const double greedy = since(t);
    t = std::chrono::steady_clock::now();
    const double packed = chromasect::packingLowerBound(p);
    const double packing = since(t);
    t = std::chrono::steady_clock::now();
    chromasect::cliqueLowerBound(p);
    const double clique = since(t);
    t = std::chrono::steady_clock::now();
    const chromasect::TabuResult r = chromasect::solveTabu(p);
    const double tabu = since(t);
    std::printf(
        "SCALE | %9d %9zu | %7.3f %6.3f | %7.3f %6.3f | %7.3f %6.3f | %8.2f %6.2f | %5ld %6.3f | "
        "%9.1f %9.1f %8.1e\n",
        p.n, pairs, greedy, greedy / million, packing, packing / million, clique, clique / million,
        tabu, tabu / million, p.n > 0 ? r.iterations / p.n : 0L,
        r.iterations > 0 ? 1e6 * tabu / r.iterations : 0.0, r.cost, packed,
        r.trackedCost - r.recountedCost);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BLOCK N...\n       %s -layouts LAYOUT...\n", argv[0],
                     argv[0]);
        return 1;
    }
    try {
        if (std::string(argv[1]) == "-layouts") {
            for (int i = 2; i < argc; ++i) {
                std::string stages;
                const chromasect::ColoringProblem p = largestGraph(argv[i], stages);
                std::printf("PIPELINE | %s: %d vertices, %zu conflict pairs\n%s\n", argv[i], p.n,
                            chromasect::distinctPairs(p.conflicts, p.n).size(), stages.c_str());
                std::fflush(stdout);
            }
            return 0;
        }
        std::string stages;
        const chromasect::ColoringProblem block = largestGraph(argv[1], stages);
        std::printf("SCALE | %s: %d vertices\n", argv[1], block.n);
        std::printf(
            "SCALE | %9s %9s | %7s %6s | %7s %6s | %7s %6s | %8s %6s | %5s %6s | %9s %9s %8s\n",
            "vertices", "pairs", "greedy", "s/M", "packing", "s/M", "clique", "s/M", "tabu", "s/M",
            "it/v", "us/it", "cost", "bound", "drift");
        for (int i = 2; i < argc; ++i) row(copies(block, std::atoi(argv[i])));
    } catch (const chromasect::FatalError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
