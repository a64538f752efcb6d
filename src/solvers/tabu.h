#pragma once
// A tabu search colouring of one graph: fast and near optimal, for graphs
// of any size, minimising the engine cost (conflicting pairs plus alpha
// times stitched pairs, each unordered pair once) on the problem's masks.

#include <vector>

#include "solvers/problem.h"

namespace chromasect {

struct TabuOptions {
    // Iterations per vertex (the budget grows with the graph), and a floor.
    long iterationsPerVertex = 3000;
    long minIterations = 20000;
    // The search ends early after this many iterations (per vertex, and a
    // floor) without a new best: most graphs reach their best early, and a
    // few need most of the budget.
    long quitPerVertex = 350;
    long quitIterations = 5000;
    // Without a new best for this many iterations (per vertex, and a floor),
    // the search restarts from its best with this share of vertices
    // recoloured at random.
    long stallPerVertex = 20;
    long stallIterations = 2000;
    double perturbation = 0.2;
    // A larger graph is searched a region of this many vertices at a time,
    // the rest held fixed, in two sweeps sharing the iteration budget.
    long regionSize = 1000;
    double seconds = 0.0;  // wall-clock limit; 0: none (then fully deterministic)
    unsigned seed = 1;     // mixed with the graph's size: a fixed seed per graph
};

struct TabuResult {
    std::vector<int> colors;  // one mask per vertex
    double cost = 0.0;        // of colors
    double startCost = 0.0;   // of the greedy start
    double lowerBound = 0.0;  // the clique bound the search stops at
    long iterations = 0;
    long bestIteration = 0;  // when the best colouring was found
    // The cost the search kept by adding move deltas, against a recount of
    // its last colouring: they agree unless the incremental table is wrong.
    double trackedCost = 0.0, recountedCost = 0.0;
};

// Greedy start (most constrained vertex first, each taking its cheapest
// mask given the vertices already coloured, so a stitch neighbour's mask is
// followed where that costs nothing), then tabu moves that recolour one
// vertex, restarting from the best so far when the search stalls: improving
// Kempe swaps taken, then a kick. Stops at the clique lower bound, long
// without a new best, at the iteration budget or at the time limit. Never
// worse than its start; a graph searched whole is left with no Kempe swap
// that lowers the cost.
TabuResult solveTabu(const ColoringProblem& p, const TabuOptions& options = TabuOptions());

// The fewest conflicting pairs that some clique of conflict pairs forces
// (q mutually conflicting vertices on k masks): a lower bound of the cost.
int cliqueLowerBound(const ColoringProblem& p);

}  // namespace chromasect
