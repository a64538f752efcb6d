#pragma once
// Union of rectilinear shapes into connected polygons (Boost.Polygon's
// rectilinear polygon set). Flattened layouts are full of overlapping path
// segments, pads and abutting cell metal: merging turns each connected piece
// of metal into one polygon, so that it becomes one feature instead of many
// mutually conflicting ones. Shapes that meet only at a corner stay apart.

#include <boost/polygon/polygon.hpp>
#include <cstddef>
#include <vector>

#include "geometry/oa.h"

namespace chromasect {

// One merged polygon. Rings carry no closing repeat, no repeated and no
// collinear vertices. The outline runs clockwise and the holes counter-
// clockwise, each starting at its lowest, then leftmost vertex; holes are
// sorted by that vertex. This is the form KLayout writes, so outlines compare
// equal to a text dump made from KLayout's own merge.
struct MergedPolygon {
    std::vector<oaPoint> outline;
    std::vector<std::vector<oaPoint> > holes;
    oaBox bbox;
};

class RectilinearMerge {
  public:
    // A box of zero width or height adds nothing.
    void addBox(const oaBox& box);
    // A closed rectilinear ring without its closing repeat, in either
    // orientation; repeated and collinear vertices are allowed. A ring that
    // crosses or touches itself is filled wherever it winds (both
    // orientations count). Rings with a diagonal edge are the caller's to
    // refuse: their diagonal edges are ignored here.
    void addRing(const std::vector<oaPoint>& ring);
    // Adds everything of another merge.
    void addAll(const RectilinearMerge& other);
    bool empty() const { return set_.empty(); }

    // The connected polygons with their holes, each normalised as above and
    // sorted by bounding-box bottom, then left, then outline: a fixed order
    // whatever the order of insertion.
    std::vector<MergedPolygon> polygons() const;
    // The same area as rings without holes: a hole is joined to its outline
    // by a cut, as stream formats without holes require. Fixed order.
    std::vector<std::vector<oaPoint> > ringsWithoutHoles() const;
    // Non-overlapping rectangles covering the area, in Boost.Polygon's
    // horizontal slicing order.
    std::vector<oaBox> rectangles() const;
    // The part inside the box.
    RectilinearMerge clipped(const oaBox& box) const;
    // The part also in other.
    RectilinearMerge intersection(const RectilinearMerge& other) const;
    // The area of a merged polygon: its outline less its holes.
    static RectilinearMerge fromPolygon(const MergedPolygon& polygon);

  private:
    typedef boost::polygon::polygon_90_set_data<int> Set;
    void addEdges(Set& set, const std::vector<oaPoint>& ring, int sign) const;
    Set set_;
};

// Ring normalisation as in MergedPolygon: drops repeats and collinear
// vertices, turns the ring clockwise (or counter-clockwise) and starts it at
// its lowest, then leftmost vertex.
std::vector<oaPoint> normalizedRing(const std::vector<oaPoint>& ring, bool clockwise);

// Bounding box of a ring of at least one point.
oaBox boundsOf(const std::vector<oaPoint>& ring);

// Twice the signed area (positive for counter-clockwise). It takes up to 66
// bits for 32-bit coordinates, hence the 128-bit result.
__int128 doubledSignedArea(const std::vector<oaPoint>& ring);

// Rings for a stream format that holds at most maxPoints vertices per
// polygon (closing vertex included): holes joined by cuts, and a polygon
// still too large cut in halves across its longer side until each part
// fits. A hole-free polygon that fits is its own outline.
std::vector<std::vector<oaPoint> > ringsForStream(const MergedPolygon& polygon, size_t maxPoints);

// The rectangles of a polygon with holes, from Boost.Polygon's decomposition.
std::vector<oaBox> rectanglesOf(const MergedPolygon& polygon);

}  // namespace chromasect
