#pragma once
// The fixed order of the decomposition stages.

#include "design/design.h"
#include "driver/run_report.h"

// With a clock, each stage's time and memory go to d.stats.
bool Decomposition(MPLDesign& d, chromasect::StageClock* clock = nullptr);
