#include "driver/design.h"

// PLACEHOLDER: empty stage until its implementation lands.
void MPLDesign::Rotations() {}
void MPLDesign::RotationForVDDGND() {}
void MPLDesign::RotationForTouchBoxes() {}
void MPLDesign::AssignLGNonSimplifiedColors() {}
