#pragma once
// Projection: each real box of each remaining feature cut into pieces at
// stitch candidates, and pieces linked as touching or conflicting.

#include <vector>

#include "design/design.h"

void Projection(Design& d);
void SplitRealBoxes2MyBoxes(Design& d, myShape* shape);
// Frees the real-box links no later stage reads: every touch link of a real
// box, and the conflict links of the real boxes that were split (only
// features set aside, coloured last, read their own). Projection ends with
// it.
void ReleaseRealBoxLinks(Design& d);
// Whether a stitch may join pieces a and b of one feature (three-mask rule).
int CanIntroStitch_TPL(myBox* a, myBox* b);
void ConnectTouchBoxes(std::vector<myShape*>& shapes);
void ConnectDPLBoxes(Design& d, std::vector<myShape*>& shapes);
// ConnectTouchBoxes and ConnectDPLBoxes of every layout graph, in order,
// as one step: the result is the same, worked out for the features `split`
// (those that have pieces) at once.
void ConnectAll(Design& d, const std::vector<myShape*>& split);
