#include "driver/design.h"

// PLACEHOLDER: empty stage until its implementation lands.
void Design::Projection() {}
void Design::SplitRealBoxes2MyBoxes(myShape*) {}
