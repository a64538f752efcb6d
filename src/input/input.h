#pragma once
// Reading one layer of the input layout into the run's features: each with
// its outline, bounding box and real boxes, filed in the wire index, and the
// layout extent. A text dump and a binary GDSII library are read alike.

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "design/design.h"
#include "geometry/polygon_merge.h"

// Reads d.inputFile by its format (see layoutFormatOf); a name of neither
// format ends the run with "ERROR| is not a ascii file".
void ReadAll(Design& d);
void ReadASCII(Design& d);
// A binary GDSII library: one layer flattened and merged into features.
void ReadGDSII(Design& d);

// "-fixed 1" on a merged layer: each feature takes the mask of the mask
// datatype polygons (1 to NUM_COLORS, keyed by datatype) inside it; one with
// polygons of two masks stays free and is counted, as are polygons of a
// mask beyond NUM_COLORS.
void MarkFixedFeatures(Design& d,
                       const std::map<int, std::vector<chromasect::MergedPolygon> >& byDatatype);
// The "WARNING| " lines of the counts above, each only when not zero.
void ReportFixedInput(Design& d);
// "-previous": every feature whose outline (and area) the previous layout
// holds on one mask datatype is fixed to that mask; the others are free.
// Counts kept, changed (overlapping a previous shape) and new features.
void ApplyPreviousLayout(Design& d);
// The "STAT | " line of those counts (nothing without "-previous").
void ReportPreviousLayout(const Design& d);

// Files one feature as both readers make them: the record with its bounding
// box and outline (without closing vertex), its number, its wire-index
// entry, and the layout extent grown to cover it. The caller adds the real
// boxes.
myShape* AddFeature(Design& d, const oaBox& bbox, oaPointArray& outline);

// The text reader's steps, on the open file.
float ReadAsciiHeader(Design& d, std::ifstream& in);
bool ReadSearchUntil(Design& d, std::ifstream& in, std::string key, std::string alt);
int ReadLayerNum(Design& d, std::ifstream& in, std::string key);
// One element of the layer: false at the end of the input.
bool ReadBlock(Design& d, std::ifstream& in, float factor);
