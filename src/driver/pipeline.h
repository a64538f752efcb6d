#pragma once
// The fixed order of the decomposition stages.

#include "design/design.h"
#include "driver/run_report.h"

class JobFarm;

// With a clock, each stage's time and memory go to d.stats.
// With a farm, the engine work is shared with its other processes.
bool Decomposition(MPLDesign& d, chromasect::StageClock* clock = nullptr, JobFarm* farm = nullptr);
