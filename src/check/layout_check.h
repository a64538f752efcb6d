#pragma once
// Independent check of a decomposed layout, as "-out" writes it: mask m on
// datatype m + 1, shapes left without a mask on datatype 9. It looks only at
// the geometry in the file, never at how the decomposition was made, so it
// is the user's own proof that a result is clean.
//
// Each datatype is merged on its own into connected polygons (shapes that
// meet only at a corner stay apart). Two distinct polygons of one mask
// violate the spacing when they are strictly closer than MINDPLDIST, by the
// decomposer's own measure: the least Box2BoxDist over their rectangles. A
// pair exactly MINDPLDIST apart is clean, and so is any part of one polygon
// however close to another part of it. Two masks that touch (along an edge
// or at a corner) or overlap meet in a stitch.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/report.h"
#include "geometry/polygon_merge.h"

namespace chromasect {

// One layer of a layout, each datatype merged on its own.
struct DecomposedLayer {
    std::map<int, std::vector<MergedPolygon> > byDatatype;
    // Shapes of the layer that could not be placed in it, so that a result
    // without them proves nothing: non-Manhattan outlines, and (GDSII) array
    // or structure references that could not be flattened, degenerate,
    // unclosed or self-crossing outlines.
    int unplaced = 0;
    // The file ended (or its reading stopped) before its library did.
    bool incomplete = false;
};

// Reads `layer` of a binary GDSII library (a name ending in ".gds", ".gds2"
// or ".gdsii", any case; every top structure flattened) or of a text dump (a
// name containing ".ascii"; BOUNDARY and BOX elements, read as the layout
// reader reads them). Any other name, an unreadable file or a damaged stream
// ends the run with one "ERROR| " line.
DecomposedLayer readDecomposedLayer(const std::string& path, int layer, Reporter& report);

struct SpacingViolation {
    int mask;
    size_t first, second;     // polygon indices in that mask, first < second
    int64_t squaredDistance;  // below MINDPLDIST squared
    oaBox between;            // spans between the two closest rectangles
};

struct MaskContact {
    int firstMask, secondMask;  // firstMask < secondMask
    size_t first, second;       // polygon indices in each mask
    oaBox where;                // the contact; of zero width or height where they touch
};

struct MaskCheck {
    std::vector<SpacingViolation> violations;  // by mask, then polygon indices
    std::vector<MaskContact> stitches;         // by masks, polygon indices, place
};

// Checks the polygons of each mask (masks[m]: the polygons of mask m, each
// normalised as RectilinearMerge::polygons gives them, never overlapping one
// another) against the spacing MINDPLDIST. Each pair of polygons gives at
// most one violation; a pair of polygons of two masks gives one stitch per
// connected place where they meet. Rectangles are found through a spatial
// index, so the cost grows with the number of close pairs, not of all pairs.
// Distance diagnostics of extreme spacings go to report when given.
MaskCheck checkMasks(const std::vector<std::vector<MergedPolygon> >& masks,
                     Reporter* report = nullptr);

// Checks one layer and prints one "CHECK | " line per spacing violation, per
// stitch and per shape without a mask (datatype 9), then the summary
// "CHECK | spacing violations: V, stitches: S, unassigned shapes: U".
// Returns the exit status: 1 with any violation or unassigned shape; else 2
// (after one "ERROR| " line) when the result proves nothing: shapes of the
// layer could not be placed, the file stopped early, or no shape lies on a
// mask datatype; else 0.
// Stitches never make a layout unclean.
int reportLayerCheck(const DecomposedLayer& layer, const std::string& path, int layerNumber,
                     Reporter& report);

}  // namespace chromasect
