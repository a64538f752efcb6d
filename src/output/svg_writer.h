#pragma once
// An SVG picture of the decomposed layer ("-svg"): the shapes that the
// decomposed layout holds (see layout_writer.h), one path per class with a
// subpath per shape, drawn in this order so that markers lie on top:
//   mask 0, 1, 2 (datatypes 1-3), features without a mask (9), conflict
//   markers (10), stitch markers (11).
// Coordinates are the layout's own, integers; a flip of the y axis keeps
// the picture upright. The long side is 2000 pixels, legend included.

#include <functional>
#include <map>
#include <string>

#include "geometry/oa.h"
#include "output/layout_writer.h"

class Design;

namespace chromasect {

constexpr int kSvgLongSide = 2000;

// Writes the shapes that `producer` hands out and returns how many were
// drawn per datatype. With a window only shapes whose bounding box meets it
// (edges included) are drawn, clipped to it; without one the picture spans
// the shapes drawn, with a margin of one percent. Datatypes of no class
// above are left out. An empty picture still has its legend.
std::map<int, size_t> writeSvgPicture(const std::string& path, const oaBox* window,
                                      const std::string& title,
                                      const std::function<void(const RingSink&)>& producer);

// "-svg": draws the decomposed layer (inside "-window" when given) and prints
// one "STAT | " line naming the file and the shapes drawn per class.
void writeDecomposedPicture(const Design& d);

}  // namespace chromasect
