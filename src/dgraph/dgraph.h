#pragma once
// Decomposition graphs: pieces that must share a mask grouped into vertices,
// one graph per connected group of remaining features, the vertex pairs of
// one graph, and the split of every graph into its biconnected parts.

#include <vector>

#include "design/design.h"

void GenerateDGs(Design& d);
void GenerateDGs(Design& d, std::vector<myShape*> lg, std::vector<mySuperShape*>& dg, int group);
// d.conflictSet and d.stitchSet: the pairs of dg, each in both orders.
void initConflictSet(Design& d, const std::vector<mySuperShape*>& dg);
void initStitchSet(Design& d, const std::vector<mySuperShape*>& dg);
void GenTmpDGs(Design& d);
void GenerateDGs_myGraph(Design& d);
void GenSimplifiedDG(Design& d);
