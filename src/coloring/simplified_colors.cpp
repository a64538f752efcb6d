#include "driver/design.h"
#include "geometry/params.h"

// PLACEHOLDER: empty stage until its implementation lands.
void MPLDesign::AssignLGSimplifiedColors() {}
void MPLDesign::GetWireDensity(std::vector<double>&) {}
double MPLDesign::GetDensityValue(const std::vector<double>&) { return 0.0; }
int MPLDesign::GetMyShapeColor_GlobalBalance(myShape*, const std::vector<bool>&, std::vector<double>&) { return NUM_COLORS; }
int MPLDesign::GetMyShapeColor_LocalBalance(myShape*, const std::vector<bool>&) { return NUM_COLORS; }
int MPLDesign::AssignLegalColor(const std::vector<bool>&, const std::vector<bool>&) { return -1; }
