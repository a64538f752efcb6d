#pragma once
// Layouts written by a run: the decomposed layer ("-out", binary GDSII or
// text dump) and the layer as read ("-dump", text dump). Both go on the input
// layer number; the decomposed layout separates masks and markers by
// datatype:
//   1, 2, 3  mask 0, 1, 2: a feature whose pieces share one mask as its
//            outline, a feature cut by stitches as the merged pieces of
//            each mask, a feature without pieces in its own colour;
//   9        a feature (or the pieces of one) left without a mask;
//   10       one marker per counted conflict: the rectangle between the two
//            pieces (their gap, or their overlap);
//   11       one marker per counted stitch: the edge shared by the two
//            pieces, one unit wider on each side.
// Text dumps are written in the form the text reader reads; binary GDSII
// polygons of more than 8190 corners are cut into parts that fit.

#include <string>

#include "layout/layout_file.h"

class Design;

namespace chromasect {

// The input's names and units. Coordinates in the run are nanometres, so
// when the input's database unit is not one nanometre the header takes a
// nanometre unit and keeps the input's user unit.
LayoutHeader outputHeader(const Design& d);

// Every shape of the decomposed layout as a ring without holes, features in
// feature order, then conflict markers, then stitch markers.
void forEachDecomposedShape(const Design& d, const RingSink& sink);

// The features as read, on datatype 0.
void forEachFeature(const Design& d, const RingSink& sink);

// "-out": writes the decomposed layout and prints one "STAT | " line naming
// the file and the shapes per datatype.
void writeDecomposedLayout(const Design& d);

// "-dump": writes the layer as read and prints one "STAT | " line.
void writeLayerDump(const Design& d);

}  // namespace chromasect
