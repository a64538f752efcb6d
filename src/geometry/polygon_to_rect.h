#pragma once
// Cutting a rectilinear polygon into non-overlapping rectangles.
//
// The polygon is read as the multiset of its corner points. Each pass cuts
// the lowest-leftmost rectangle off and toggles the four corners of the cut
// in the set, until no corner is left.

#include <vector>

#include "geometry/oa.h"

namespace PTR {

// Cuts the polygon (vertices in outline order, closing repeat dropped) into
// rectangles appended to rects, bottom-left first. The array is consumed:
// it is compressed to its true corners and on return holds the corners left
// over, in toggle order (none after success).
//
// Each pass cuts the rectangle over the lowest-left bottom edge (xk..xl at
// yk) up to the lowest corner above it within xk <= x < xl, or lower where
// an edge crosses the whole span (a row holding an odd number of corners
// left of xk): without that second bound a span whose top corners were
// removed by an earlier cut would be cut through the polygon's outline.
//
// Returns false when the corner set admits no further cut: fewer than four
// corners left, no corner to the right of the lowest-left one on its row, no
// bound above the span, more passes than a simple polygon can need (4n + 4
// for n corners), or, for large sets, a scan budget spent on an outline that
// crosses itself. The rectangles cut so far stay in rects.
//
// Three consecutive corners on one line after compression end the run with
// "WARNING| find line" (a FatalError with the usage exit status).
//
// Large corner sets use an indexed form with the same results (within its
// scan budget), so that a huge polygon costs about O(passes log n) rather
// than O(passes n).
bool Polygon2Rectangle(oaPointArray& points, std::vector<oaBox>& rects);

// What a reader makes of a boundary's outline.
enum class OutlineUse {
    Keep,
    Unclosed,      // the last vertex does not repeat the first
    Degenerate,    // fewer than four corners (none at all included), or no area
    NonManhattan,  // an edge neither horizontal nor vertical
    SelfCrossing,  // refused by the conversion, or its rectangles do not cover it once
};

// Outlines left out of a layer, per kind.
struct SkippedOutlines {
    int unclosed = 0, degenerate = 0, nonManhattan = 0, selfCrossing = 0;
    void count(OutlineUse use);
    int total() const { return unclosed + degenerate + nonManhattan + selfCrossing; }
};

// Classifies the vertices of a boundary as read (closing repeat last) and,
// for one that is kept, cuts it into rects as Polygon2Rectangle does.
// `corners` is working space; `points` is left as it is. A ring that
// crosses or overlaps itself has a signed area other than the area its
// rectangles cover, which is how it is told apart from a simple polygon.
OutlineUse CutOutline(const oaPointArray& points, oaPointArray& corners, std::vector<oaBox>& rects);

// Toggles (x, y) in the corner set: removes its first occurrence (later
// points move up one place), or appends it when absent.
void F(oaPointArray& points, int x, int y);

// The two forms behind Polygon2Rectangle, after compression and the line
// check; exposed so that tests can hold them against each other.
bool CutCornersDirect(oaPointArray& points, std::vector<oaBox>& rects);
bool CutCornersIndexed(oaPointArray& points, std::vector<oaBox>& rects);

}  // namespace PTR
