#pragma once
// Colour assignment of every decomposition graph: a random mask for a lone
// vertex, the fast trial where it succeeds, else the chosen engine. The
// engines' adapters build a graph's problem from the run and write the
// working colours back; the engines themselves are functions of the problem.

#include <vector>

#include "design/design.h"
#include "solvers/engines.h"

// Colours every graph of d.dgs into the vertices' working colours.
bool ResolveDGs(MPLDesign& d);
bool FastColorAssignmentTrial(MPLDesign& d, const std::vector<mySuperShape*>& dg);

void GroupSDP(MPLDesign& d, const std::vector<mySuperShape*>& dg);
void WriteGroupSDP(MPLDesign& d, const char* fileName, const std::vector<mySuperShape*>& dg);
void WriteGroupSDP_DensityBalance(MPLDesign& d, const char* fileName,
                                  const std::vector<mySuperShape*>& dg);
void GroupILP(MPLDesign& d, const std::vector<mySuperShape*>& dg);
void WriteGroupILP(MPLDesign& d, const char* fileName, const std::vector<mySuperShape*>& dg,
                   std::vector<chromasect::ILPVariable>* vars, bool relax);
void parseFileSolutionGurobi(const std::vector<mySuperShape*>& dg);
void GroupExact(MPLDesign& d, const std::vector<mySuperShape*>& dg);

// Cost of dg's working colours under the current pair sets.
double GraphCost(const MPLDesign& d, const std::vector<mySuperShape*>& dg);
void PrintEngineQuality(const MPLDesign& d);

// Colour for one vertex: follow its one coloured stitch neighbour, else the
// first mask no coloured conflict neighbour holds (in density order under
// balance); -1 when only a conflict or a stitch would do.
int AssignLegalColor(const MPLDesign& d, const std::vector<bool>& conflictColors,
                     const std::vector<bool>& stitchColors);
