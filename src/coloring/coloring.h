#pragma once
// Back-annotation and counting: the copies of articulation vertices made to
// agree and vertex colours committed to pieces and features, removed rails
// and simplified features coloured (with optional density balance), and the
// conflicts and stitches of the result counted and reported.

#include <vector>

#include "design/design.h"

void Rotations(MPLDesign& d);
void RotationForVDDGND(MPLDesign& d);
void RotationForTouchBoxes(MPLDesign& d);
void AssignLGNonSimplifiedColors(MPLDesign& d);
// Rails that simplification removed take the rail mask, pieces included.
void ColorRemovedRails(MPLDesign& d);
void AssignLGSimplifiedColors(MPLDesign& d);
void GetWireDensity(MPLDesign& d, std::vector<double>& density);
double GetDensityValue(const std::vector<double>& density);
int GetMyShapeColor_GlobalBalance(myShape* shape, const std::vector<bool>& forbidden,
                                  std::vector<double>& density);
int GetMyShapeColor_LocalBalance(MPLDesign& d, myShape* shape, const std::vector<bool>& forbidden);

void CalculateConflicts(Design& d);
void CalculateConflicts(Design& d, int i);
void CalculateStitches(Design& d);
void CountUncoloredSimplified(Design& d);
// Pairs of rail features closer than the spacing (feature neighbours), each
// pair once; and the one warning about them, printed only when there are
// some. Rails share a mask however close they lie, and the counting above
// passes over a rail that simplification removed, so such a pair is easily
// a same-mask pair that no count shows.
int CountCloseRailPairs(const Design& d);
void WarnCloseRails(const Design& d);
void DebugFinalColor(Design& d, double value);
// The result line.
void ResultStat(Design& d);
