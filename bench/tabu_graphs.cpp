// The tabu engine alone on the graphs of real layouts: every graph that the
// fast trial leaves to an engine, solved on one thread with the options
// given, with its summed cost, lower bound and time, and a hash of the
// colourings, so that a change meant to keep results can be checked against
// an older build.
// Usage: bench_tabu_graphs [-quit N] [-stall N] [-budget N] [-graphs 1]
//                          [-pieces N] LAYOUT...
// (N in iterations per vertex; -graphs 1 prints a line per graph; -pieces N
// computes only the packing bound with pieces of N vertices, and its time);
// run by scripts/bench-tabu.sh.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

std::vector<chromasect::ColoringProblem> engineProblems(const std::string& layout) {
    std::vector<std::string> args = {"tabu_graphs", "-inlib", layout};
    std::vector<char*> av;
    for (std::string& a : args) av.push_back(&a[0]);
    MPLDesign d;
    d.report.capture();
    parseParameters(d, static_cast<int>(av.size()), av.data());
    ReadAll(d);
    RelationshipLGs(d);
    GenerateLGs(d);
    if (d.simlg > 1) LayoutGraphSimplification(d);
    Projection(d);
    GenerateDGs(d);
    if (d.simdg > 0) GenSimplifiedDG(d);
    std::vector<chromasect::ColoringProblem> out;
    for (const std::vector<mySuperShape*>& dg : d.dgs) {
        if (dg.size() < 2) continue;
        initConflictSet(d, dg);
        initStitchSet(d, dg);
        if (d.simdg > 1 && FastColorAssignmentTrial(d, dg)) continue;
        out.push_back(ProblemOf(d, dg, false));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    chromasect::TabuOptions options;
    std::vector<std::string> layouts;
    bool perGraph = false;
    int pieceSize = 0;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "-quit") == 0)
            options.quitPerVertex = std::atol(argv[++i]);
        else if (i + 1 < argc && std::strcmp(argv[i], "-stall") == 0)
            options.stallPerVertex = std::atol(argv[++i]);
        else if (i + 1 < argc && std::strcmp(argv[i], "-budget") == 0)
            options.iterationsPerVertex = std::atol(argv[++i]);
        else if (i + 1 < argc && std::strcmp(argv[i], "-pieces") == 0)
            pieceSize = std::atoi(argv[++i]);
        else if (i + 1 < argc && std::strcmp(argv[i], "-graphs") == 0)
            perGraph = std::atoi(argv[++i]) != 0;
        else
            layouts.push_back(argv[i]);
    }
    if (layouts.empty()) {
        std::fprintf(
            stderr,
            "usage: %s [-quit N] [-stall N] [-budget N] [-graphs 1] [-pieces N] LAYOUT...\n",
            argv[0]);
        return 1;
    }
    double allCost = 0, allBound = 0, allSeconds = 0;
    int allGraphs = 0, allProven = 0;
    uint64_t allHash = 1469598103934665603ull;
    // FNV-1a over the masks, a graph's length first.
    auto mix = [](uint64_t h, uint64_t x) {
        for (int b = 0; b < 8; ++b) h = (h ^ ((x >> (8 * b)) & 0xff)) * 1099511628211ull;
        return h;
    };
    try {
        for (const std::string& layout : layouts) {
            double cost = 0, bound = 0, seconds = 0;
            int proven = 0;
            uint64_t hash = 1469598103934665603ull;
            const std::vector<chromasect::ColoringProblem> problems = engineProblems(layout);
            if (pieceSize > 0) {
                double packed = 0;
                const auto t0 = std::chrono::steady_clock::now();
                for (const chromasect::ColoringProblem& p : problems) {
                    const double b = chromasect::packingLowerBound(p, pieceSize);
                    packed += b;
                    if (perGraph) std::printf("PIECES | %d vertices, bound %.1f\n", p.n, b);
                }
                std::printf(
                    "PIECES | %s: pieces of %d, bound %.1f, %.3f s\n", layout.c_str(), pieceSize,
                    packed,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
                continue;
            }
            for (const chromasect::ColoringProblem& p : problems) {
                const auto t0 = std::chrono::steady_clock::now();
                const chromasect::TabuResult r = chromasect::solveTabu(p, options);
                seconds +=
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                cost += r.cost;
                bound += r.lowerBound;
                proven += r.cost <= r.lowerBound + 1e-9;
                uint64_t h = mix(1469598103934665603ull, r.colors.size());
                for (int c : r.colors) h = mix(h, static_cast<uint64_t>(c));
                hash = mix(hash, h);
                allHash = mix(allHash, h);
                if (perGraph)
                    std::printf(
                        "GRAPH | %d vertices, cost %.1f, bound %.1f, start %.1f, "
                        "%ld iterations, best at %ld, %.4f s, colours %016llx\n",
                        p.n, r.cost, r.lowerBound, r.startCost, r.iterations, r.bestIteration,
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
                            .count(),
                        static_cast<unsigned long long>(h));
            }
            std::printf(
                "BENCH | %s: %zu graphs, cost %.1f, lower bound %.1f (%d proven), %.3f s, "
                "colours %016llx\n",
                layout.c_str(), problems.size(), cost, bound, proven, seconds,
                static_cast<unsigned long long>(hash));
            allCost += cost;
            allGraphs += static_cast<int>(problems.size());
            allProven += proven;
            allBound += bound;
            allSeconds += seconds;
        }
    } catch (const chromasect::FatalError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf(
        "BENCH | all: %d graphs, cost %.1f, lower bound %.1f (%d proven), %.3f s, colours "
        "%016llx\n",
        allGraphs, allCost, allBound, allProven, allSeconds,
        static_cast<unsigned long long>(allHash));
    return 0;
}
