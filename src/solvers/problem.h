#pragma once
// One decomposition graph as every colouring engine sees it: a value that
// holds all an engine may use, so that an engine is a function of it and
// touches nothing of the run.

#include <set>
#include <utility>
#include <vector>

namespace chromasect {

struct ColoringProblem {
    int n = 0;      // vertices 0 .. n-1
    int masks = 3;  // number of masks
    // Vertex pairs, in either or both orders (the run collects both); self
    // pairs are ignored.
    std::set<std::pair<int, int> > conflicts;
    std::set<std::pair<int, int> > stitches;
    double alpha = 0.1;  // stitch weight
    // Density balance (SDP engine only): when densities is not empty, one
    // density per vertex, weighted by beta.
    double beta = 0.07;
    std::vector<double> densities;
};

// The distinct unordered pairs of `pairs` inside 0..n-1, smaller end first,
// ascending; self pairs dropped.
std::vector<std::pair<int, int> > distinctPairs(const std::set<std::pair<int, int> >& pairs, int n);

// Fewest same-mask pairs among q mutually conflicting vertices on k masks:
// the vertices spread as evenly as the masks allow.
int cliqueFloor(int q, int k);

}  // namespace chromasect
