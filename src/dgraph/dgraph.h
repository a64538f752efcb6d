#pragma once
// Decomposition graphs: pieces that must share a mask grouped into vertices,
// one graph per connected group of remaining features, the vertex pairs of
// one graph, and the split of every graph into its biconnected parts.

#include <utility>
#include <vector>

#include "design/design.h"

void GenerateDGs(Design& d);
void GenerateDGs(Design& d, std::vector<myShape*> lg, std::vector<mySuperShape*>& dg, int group);
// The conflict and the stitch pairs of dg, each in both orders, sorted and
// without repeats. They only read the records, so graphs can be taken at
// once.
std::vector<std::pair<int, int> > conflictPairsOf(const std::vector<mySuperShape*>& dg);
std::vector<std::pair<int, int> > stitchPairsOf(const std::vector<mySuperShape*>& dg);
// d.conflictSet and d.stitchSet: the pairs of dg, each in both orders.
void initConflictSet(Design& d, const std::vector<mySuperShape*>& dg);
void initStitchSet(Design& d, const std::vector<mySuperShape*>& dg);
void GenTmpDGs(Design& d);
void GenerateDGs_myGraph(Design& d);
void GenSimplifiedDG(Design& d);
