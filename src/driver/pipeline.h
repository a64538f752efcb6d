#pragma once
// The fixed order of the decomposition stages.

#include "design/design.h"

bool Decomposition(MPLDesign& d);
