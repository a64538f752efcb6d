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
    // The search stops at it: the better of the clique and packing bounds
    // (the cost itself when they agree within rounding).
    double lowerBound = 0.0;
    long iterations = 0;
    long bestIteration = 0;  // when the best colouring was found
    // The cost the search kept by adding move deltas (as counts of conflicts
    // and stitches, so that they never drift), against a recount of its last
    // colouring: they agree unless the incremental table is wrong.
    double trackedCost = 0.0, recountedCost = 0.0;
};

// The greedy start alone: the vertex with the most masks held by coloured
// conflict neighbours next (then the larger degree, stitch pairs counted,
// then the lower number), each on its cheapest mask given those coloured
// (the lowest of equals). Time (vertices + pairs) x log.
std::vector<int> greedyColoring(const ColoringProblem& p);

// Greedy start (most constrained vertex first, each taking its cheapest
// mask given the vertices already coloured, so a stitch neighbour's mask is
// followed where that costs nothing), then tabu moves that recolour one
// vertex, restarting from the best so far when the search stalls: improving
// Kempe swaps taken, then a kick. Stops at the lower bound (packing or clique), long
// without a new best, at the iteration budget or at the time limit. Never
// worse than its start; a graph searched whole is left with no Kempe swap
// that lowers the cost.
TabuResult solveTabu(const ColoringProblem& p, const TabuOptions& options = TabuOptions());

// The fewest conflicting pairs that some clique of conflict pairs forces
// (q mutually conflicting vertices on k masks): a lower bound of the cost.
int cliqueLowerBound(const ColoringProblem& p);

// A lower bound of the cost from pieces of the graph that share no pair:
// around each vertex in turn, a piece of at most pieceSize vertices and the
// pairs not yet taken among them, its least cost found by search; the pairs
// that cost does not need are left to later pieces. The cost is a sum over
// pairs, so the pieces' least costs add up to a bound. 0 for a negative alpha.
double packingLowerBound(const ColoringProblem& p, int pieceSize = 8);

}  // namespace chromasect
