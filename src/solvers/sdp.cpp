#include "driver/design.h"

// PLACEHOLDER: empty stage until its implementation lands.
void MPLDesign::GroupSDP(const std::vector<mySuperShape*>&) {}
void MPLDesign::WriteGroupSDP(const char*, const std::vector<mySuperShape*>&) {}
void MPLDesign::WriteGroupSDP_DensityBalance(const char*, const std::vector<mySuperShape*>&) {}
