#pragma once
// Exact colouring of one decomposition graph as a one-hot 0-1 program solved
// in-process by CBC: x(v,c) per vertex and mask with one mask per vertex, a
// conflict indicator per conflict pair forced to 1 when both ends share a
// mask, a stitch indicator per stitch pair forced to 1 when the ends differ,
// minimising conflicts + alpha * stitches. Colour symmetry is broken by
// fixing vertex 0 to mask 0 and limiting the lowest conflict neighbour of
// vertex 0 to masks 0 and 1, which never cuts off an optimum.

#include <vector>

#include "solvers/problem.h"

namespace chromasect {

// The exact engine reads the vertices, pairs, masks and alpha.
typedef ColoringProblem ExactProblem;

struct ExactResult {
    std::vector<int> colors;  // one mask per vertex
    double cost = 0.0;        // conflicts + alpha * stitches of colors
    double startCost = 0.0;   // the same for the starting colouring
    bool proven = false;      // optimality proven within the limit
    double lowerBound = 0.0;  // the best bound the solver proved (the cost when proven)
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
