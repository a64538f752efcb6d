#pragma once
#include "base/report.h"
#include "geometry/oa.h"

// Squared Euclidean distance between two rectangles, each axis gap capped at
// 2 * MINDPLDIST; 0 when they overlap or touch (edge or corner). Callers
// compare it with MINDPLDIST * MINDPLDIST and fix themselves whether
// equality counts. s is a coordinate divisor; every caller passes 1. The sum
// is formed in 64 bits and saturates at INT_MAX, so no spacing can make it
// negative; where the classic 32-bit sum would have gone negative, a
// "temp = ... oct = ... cx = ... cy = ..." line goes to `report` when given.
// Symmetric in a and b (apart from the position code of that line).
int Box2BoxDist(const oaBox* a, const oaBox* b, int s, chromasect::Reporter* report = nullptr);
