// The tabu engine against brute force on small random graphs.

#include "solvers/tabu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "solvers/exact.h"

namespace {

using chromasect::ColoringProblem;

ColoringProblem randomProblem(int n, double conflictP, double stitchP, unsigned seed) {
    std::mt19937 rng(seed);
    ColoringProblem p;
    p.n = n;
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b) {
            const double x = (rng() % 1000) / 1000.0;
            if (x < conflictP) {
                p.conflicts.insert({a, b});
                p.conflicts.insert({b, a});
            } else if (x < conflictP + stitchP) {
                p.stitches.insert({a, b});
            }
        }
    return p;
}

// Whether swapping two masks on a set of vertices closed under the conflict
// pairs within those masks (which keeps every conflict) lowers the cost;
// found by recounting, apart from the search's own chains.
bool hasImprovingKempeSwap(const ColoringProblem& p, const std::vector<int>& colors) {
    const double cost = chromasect::colouringCost(p, colors);
    for (int a = 0; a < p.masks; ++a)
        for (int b = a + 1; b < p.masks; ++b)
            for (int s = 0; s < p.n; ++s) {
                if (colors[s] != a && colors[s] != b) continue;
                std::vector<char> in(p.n, 0);
                in[s] = 1;
                for (bool grew = true; grew;) {
                    grew = false;
                    for (const auto& e : p.conflicts)
                        if (in[e.first] && !in[e.second] &&
                            (colors[e.second] == a || colors[e.second] == b)) {
                            in[e.second] = 1;
                            grew = true;
                        }
                }
                std::vector<int> swapped = colors;
                for (int v = 0; v < p.n; ++v)
                    if (in[v]) swapped[v] = colors[v] == a ? b : a;
                if (chromasect::colouringCost(p, swapped) < cost - 1e-9) return true;
            }
    return false;
}

double bruteForce(const ColoringProblem& p) {
    std::vector<int> colors(p.n, 0);
    double best = 1e18;
    for (;;) {
        best = std::min(best, chromasect::colouringCost(p, colors));
        int i = 0;
        while (i < p.n && ++colors[i] == p.masks) colors[i++] = 0;
        if (i == p.n) return best;
    }
}

// Optimal where brute force can tell, never worse than its start, its
// incremental cost equal to a recount, the clique bound never above the
// optimum, and the same colouring on a second run.
TEST(Tabu, MatchesBruteForceOnSmallRandomGraphs) {
    for (int n : {2, 5, 7, 9}) {
        for (unsigned seed = 1; seed <= 12; ++seed) {
            SCOPED_TRACE("n " + std::to_string(n) + " seed " + std::to_string(seed));
            ColoringProblem p = randomProblem(n, 0.2 + 0.05 * (seed % 8), 0.2, seed);
            p.masks = seed % 4 == 0 ? 2 : 3;
            const double optimum = bruteForce(p);
            chromasect::TabuOptions o;
            o.minIterations = 2000;
            const chromasect::TabuResult r = chromasect::solveTabu(p, o);
            ASSERT_EQ(r.colors.size(), static_cast<size_t>(n));
            EXPECT_NEAR(r.cost, optimum, 1e-9);
            EXPECT_NEAR(r.cost, chromasect::colouringCost(p, r.colors), 1e-9);
            EXPECT_LE(r.cost, r.startCost + 1e-9);
            EXPECT_EQ(r.trackedCost, r.recountedCost);
            EXPECT_LE(r.lowerBound, optimum + 1e-9);
            EXPECT_EQ(chromasect::solveTabu(p, o).colors, r.colors);
        }
    }
}

// Long searches on larger graphs: the kept cost stays exact over every move,
// without restarts and region by region; and the search reaches the optimum
// CBC proves.
TEST(Tabu, IncrementalCostStaysExactAndReachesProvenOptima) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        ColoringProblem p = randomProblem(60, 0.15, 0.05, seed);
        chromasect::TabuOptions noRestart;
        noRestart.stallIterations = 1L << 40;
        const chromasect::TabuResult r = chromasect::solveTabu(p, noRestart);
        EXPECT_GT(r.iterations, 0);
        EXPECT_EQ(r.trackedCost, r.recountedCost);
        EXPECT_LE(r.cost, r.startCost + 1e-9);

        // Searched a region at a time, as a large graph is.
        chromasect::TabuOptions regions;
        regions.regionSize = 15;
        const chromasect::TabuResult g = chromasect::solveTabu(p, regions);
        EXPECT_EQ(g.trackedCost, g.recountedCost);
        EXPECT_NEAR(g.cost, chromasect::colouringCost(p, g.colors), 1e-9);
        EXPECT_LE(g.cost, g.startCost + 1e-9);

        ColoringProblem q = randomProblem(24, 0.15, 0.1, seed);
        const chromasect::TabuResult t = chromasect::solveTabu(q);
        const chromasect::ExactResult e = chromasect::solveExact(q, t.colors, 60);
        ASSERT_TRUE(e.proven);
        EXPECT_NEAR(t.cost, e.cost, 1e-9);
    }
}

// However short the search, its answer leaves no two-mask swap that lowers
// the stitch count: the swaps are tried on the best before it is returned.
TEST(Tabu, LeavesNoImprovingKempeSwap) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const ColoringProblem p = randomProblem(40, 0.05, 0.08, seed);
        chromasect::TabuOptions brief;
        brief.iterationsPerVertex = 1;
        brief.minIterations = 1;
        const chromasect::TabuResult r = chromasect::solveTabu(p, brief);
        EXPECT_FALSE(hasImprovingKempeSwap(p, r.colors));
        EXPECT_EQ(r.trackedCost, r.recountedCost);
        EXPECT_NEAR(r.cost, chromasect::colouringCost(p, r.colors), 1e-9);
    }
}

}  // namespace

namespace {

// The greedy rule as first written: every step scans every uncoloured vertex.
std::vector<int> plainGreedy(const ColoringProblem& p) {
    const auto conflicts = chromasect::distinctPairs(p.conflicts, p.n);
    const auto stitches = chromasect::distinctPairs(p.stitches, p.n);
    std::vector<std::vector<int> > cadj(p.n), sadj(p.n);
    for (const auto& e : conflicts) {
        cadj[e.first].push_back(e.second);
        cadj[e.second].push_back(e.first);
    }
    for (const auto& e : stitches) {
        sadj[e.first].push_back(e.second);
        sadj[e.second].push_back(e.first);
    }
    std::vector<int> colors(p.n, -1);
    for (int step = 0; step < p.n; ++step) {
        int pick = -1, pickSat = -1;
        size_t pickDeg = 0;
        for (int v = 0; v < p.n; ++v) {
            if (colors[v] >= 0) continue;
            std::vector<char> held(p.masks, 0);
            for (int u : cadj[v])
                if (colors[u] >= 0) held[colors[u]] = 1;
            const int sat = static_cast<int>(std::count(held.begin(), held.end(), 1));
            const size_t deg = cadj[v].size() + sadj[v].size();
            if (sat > pickSat || (sat == pickSat && deg > pickDeg)) {
                pick = v;
                pickSat = sat;
                pickDeg = deg;
            }
        }
        // Summed as the engine's table does, so that equal costs compare equal.
        auto costOf = [&](int c) {
            int conf = 0, same = 0, stitched = 0;
            for (int u : cadj[pick]) conf += colors[u] == c;
            for (int u : sadj[pick])
                if (colors[u] >= 0) {
                    ++stitched;
                    same += colors[u] == c;
                }
            return (conf - p.alpha * same) + p.alpha * stitched;
        };
        int best = 0;
        for (int c = 1; c < p.masks; ++c)
            if (costOf(c) < costOf(best)) best = c;
        colors[pick] = best;
    }
    return colors;
}

// The greedy start through its queue takes the vertices and masks the scan
// takes, on sparse and dense graphs, with stitches and 2 to 4 masks.
TEST(Tabu, GreedyStartMatchesThePlainScan) {
    for (unsigned seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ColoringProblem p =
            randomProblem(20 + 10 * (seed % 5), 0.02 + 0.04 * (seed % 6), 0.05, seed);
        p.masks = 2 + seed % 3;
        EXPECT_EQ(chromasect::greedyColoring(p), plainGreedy(p));
    }
}

// The packing bound never passes the optimum, whatever the masks, the stitch
// weight or the piece size; on dense graphs it is mostly well above zero.
TEST(Tabu, PackingBoundNeverExceedsTheOptimum) {
    int positive = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        const int n = 5 + seed % 5;
        ColoringProblem p = randomProblem(n, 0.3 + 0.1 * (seed % 5), 0.1 + 0.05 * (seed % 4), seed);
        p.masks = seed % 7 == 0 ? 2 : seed % 11 == 0 ? 4 : 3;
        p.alpha = seed % 3 == 0 ? 0.1 : seed % 3 == 1 ? 0.6 : 1.5;
        const double optimum = bruteForce(p);
        for (int size : {3, 5, 8}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " size " + std::to_string(size));
            const double bound = chromasect::packingLowerBound(p, size);
            EXPECT_LE(bound, optimum + 1e-9);
            EXPECT_GE(bound, 0);
            positive += bound > 0;
        }
    }
    EXPECT_GT(positive, 90);
}

}  // namespace
