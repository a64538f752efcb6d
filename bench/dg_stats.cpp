// Decomposition-graph figures of one layout: graph counts before and after
// the biconnected split, the largest graph, and the time of the two stages.
// Usage: bench_dg_stats <layout.ascii> [layer]; run by scripts/bench-dg-stats.sh.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "design/design.h"
#include "dgraph/dgraph.h"
#include "driver/app.h"
#include "input/input.h"
#include "layoutgraph/layoutgraph.h"
#include "projection/projection.h"

namespace {

struct Largest {
    size_t vertices = 0;
    size_t edges = 0;
};

// Edges of the graph form: conflict and stitch edges, each counted once.
size_t edgeCount(const myGraph& g) {
    size_t twice = 0;
    for (const myNode& n : g.m_nodes) {
        for (int w : n.conflictNeighbors) twice += (w == n.index) ? 2 : 1;
        for (int w : n.stitchNeighbors) twice += (w == n.index) ? 2 : 1;
    }
    return twice / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <layout.ascii> [layer]\n", argv[0]);
        return 1;
    }
    std::string layer = argc > 2 ? argv[2] : "1";
    std::vector<std::string> args = {"dg_stats", "-inlib", argv[1], "-layer", layer};
    std::vector<char*> av;
    for (std::string& a : args) av.push_back(&a[0]);
    MPLDesign d;
    try {
        if (!parseParameters(d, static_cast<int>(av.size()), av.data())) return 1;
        ReadAll(d);
        RelationshipLGs(d);
        GenerateLGs(d);
        if (d.simlg > 1) LayoutGraphSimplification(d);
        Projection(d);

        typedef std::chrono::steady_clock Clock;
        const Clock::time_point t0 = Clock::now();
        GenerateDGs(d);
        const Clock::time_point t1 = Clock::now();
        const size_t before = d.dgs.size();
        GenSimplifiedDG(d);
        const Clock::time_point t2 = Clock::now();
        const size_t after = d.dgs.size();

        Largest big;  // largest unsplit graph, by vertices
        for (const std::vector<mySuperShape*>& dg : d.tmpDGs) {
            const myGraph g(dg);
            if (static_cast<size_t>(g.size()) > big.vertices) {
                big.vertices = g.size();
                big.edges = edgeCount(g);
            }
        }
        size_t largestPiece = 0;
        for (const auto& dg : d.dgs) largestPiece = std::max(largestPiece, dg.size());
        // Pair sets of every piece, as the colouring stage builds them.
        const Clock::time_point t3 = Clock::now();
        for (const auto& dg : d.dgs) {
            initConflictSet(d, dg);
            initStitchSet(d, dg);
        }
        const Clock::time_point t4 = Clock::now();
        auto ms = [](Clock::time_point a, Clock::time_point b) {
            return std::chrono::duration<double, std::milli>(b - a).count();
        };
        std::printf(
            "BENCH | %s: DGs before %zu, after %zu; largest DG %zu vertices %zu edges; "
            "largest piece %zu vertices; GenerateDGs %.1f ms, GenSimplifiedDG %.1f ms, "
            "pair sets %.1f ms\n",
            argv[1], before, after, big.vertices, big.edges, largestPiece, ms(t0, t1), ms(t1, t2),
            ms(t3, t4));
    } catch (const chromasect::FatalError& e) {
        std::printf("%s\n", e.what());
        return e.status() & 0xff;
    }
    return 0;
}
