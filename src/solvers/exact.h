#pragma once
// Exact colouring of one decomposition graph as a one-hot 0-1 program solved
// in-process by CBC: x(v,c) per vertex and mask with one mask per vertex, a
// conflict indicator per conflict pair forced to 1 when both ends share a
// mask, a stitch indicator per stitch pair forced to 1 when the ends differ,
// minimising conflicts + alpha * stitches. Colour symmetry is broken by
// fixing vertex 0 to mask 0 and limiting the lowest conflict neighbour of
// vertex 0 to masks 0 and 1, which never cuts off an optimum.

#include <set>
#include <utility>
#include <vector>

namespace chromasect {

struct ExactProblem {
    int n = 0;      // vertices 0 .. n-1
    int masks = 3;  // number of masks
    // Pairs in either or both orders; self-pairs are ignored.
    std::set<std::pair<int, int> > conflicts;
    std::set<std::pair<int, int> > stitches;
    double alpha = 0.1;
};

struct ExactResult {
    std::vector<int> colors;  // one mask per vertex
    double cost = 0.0;        // conflicts + alpha * stitches of colors
    double startCost = 0.0;   // the same for the starting colouring
    bool proven = false;      // optimality proven within the limit
};

// Conflict pairs sharing a mask plus alpha times stitch pairs whose masks
// differ, each unordered pair counted once.
double colouringCost(const ExactProblem& p, const std::vector<int>& colors);

// Solves p from the starting colouring start (one mask per vertex; it seeds
// the search and is the fallback) within timeLimit seconds. When the limit
// hits, the better of the incumbent and the start is returned unproven.
ExactResult solveExact(const ExactProblem& p, const std::vector<int>& start, double timeLimit,
                       bool breakSymmetry = true);

}  // namespace chromasect
