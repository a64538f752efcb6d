#pragma once
// Where a rectangle may be cut into pieces. Both generators take the
// rectangle, the projections of its conflicting neighbours (each lying
// inside the rectangle) and the range [start, end] of its long axis: x for a
// box at least as wide as tall, y otherwise. They fill cuts with ascending
// positions strictly inside the range. The projection list is taken by value
// and left as it was; the caller owns the rectangles.

#include <vector>

#include "geometry/oa.h"

// Cuts in the middle of every stretch that no projection covers, except the
// stretches at either end of the range. Unless keepLong is set, a box longer
// than 0.6 of the layout extent along its axis gets no cut at all. cuts is
// always emptied first.
void StitchGenerateDPL_Points(const oaBox* box, std::vector<oaBox*> projections,
                              std::vector<int>& cuts, int start, int end, bool keepLong);

// Cuts in every uncovered inner stretch, except one flanked by two single
// coverings next to either end of the range, plus at most one cut per run of
// three or more covered stretches, at its deepest dip of coverage. With no
// stretch at all (start == end and nothing else) cuts is left untouched.
// keepLong is ignored: there is no long-box rule.
void StitchGenerateTPL_Points(const oaBox* box, std::vector<oaBox*> projections,
                              std::vector<int>& cuts, int start, int end, bool keepLong);
