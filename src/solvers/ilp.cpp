#include "driver/design.h"

// PLACEHOLDER: empty stage until its implementation lands.
void MPLDesign::GroupILP(const std::vector<mySuperShape*>&) {}
void MPLDesign::WriteGroupILP(const char*, const std::vector<mySuperShape*>&, std::vector<ILPVariable>*, bool) {}
void MPLDesign::parseFileSolutionGurobi(const std::vector<mySuperShape*>&) {}
