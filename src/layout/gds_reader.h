#pragma once
// One layer of a binary GDSII library, flattened and merged into polygons.
//
// The top structures (those no other structure references; each of them
// when there are several) are flattened through their SREF and AREF
// references. Transformations are exact on the integer grid: reflection,
// rotations by multiples of 90 degrees and integer magnifications. A
// reference with any other angle or magnification, or with absolute flags,
// is skipped with one "WARNING| " line naming its structure and itself
// (handed to LayerReport::warn).
// BOUNDARY, BOX and PATH elements (path types 0, 2 and 4) of the layer are
// kept whatever their datatype; non-Manhattan or degenerate ones are skipped
// and counted in one warning line each. Every vertex is scaled to nanometres
// exactly as the text reader scales it, then everything is merged.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "geometry/polygon_merge.h"
#include "layout/gdsii_stream.h"

namespace chromasect {
namespace gdsii {

// True for a name ending in ".gds", ".gds2" or ".gdsii", in any case.
bool isGdsiiName(const std::string& name);

// Nanometres per database unit, computed as the text reader computes it
// from its units line: the unit taken as a float, divided by 1e-9 in double
// precision, stored as a float.
float nanometreFactor(double dbUnitMetres);

// True when the flattening keeps a BOUNDARY, BOX or PATH element as a shape
// (Manhattan, not degenerate); false for one it skips and counts in its
// warnings.
bool isUsableShape(const Element& e);

struct LayerReport {
    // The structures that no other references, in file order. A second
    // structure of an already used name is ignored and never one of them.
    std::vector<size_t> tops;
    int nonManhattan = 0;  // skipped elements of the layer, counted once each
    int degenerate = 0;
    int skippedReferences = 0;
    // Receives each "WARNING| " line (with its line end) as it is found;
    // without it warnings are only counted.
    std::function<void(const std::string&)> warn;
};

// Most shapes of one layer a flattening may make (a library of a few
// hundred bytes can place 2^30 copies of a shape), and the default limit.
constexpr int64_t kMaxFlatShapes = 2147483647;
constexpr int64_t kDefaultMaxFlatShapes = 500000000;

// The merged polygons of `layer` in the top structures, in a fixed order
// (see RectilinearMerge::polygons). Each of these ends the run with one
// "ERROR| " line: references that loop (naming a structure on the loop),
// coordinates out of the 32-bit range after scaling, a hierarchy deeper than
// 1000 levels, a flattening into more than maxShapes shapes of the layer
// (counted before any is made; at most kMaxFlatShapes).
// Shapes of the datatypes in `skip` are left out (and not counted).
std::vector<MergedPolygon> mergedLayer(const Library& lib, int layer, float factor,
                                       LayerReport* report = nullptr,
                                       int64_t maxShapes = kDefaultMaxFlatShapes,
                                       const std::vector<int>& skip = {});

// The same with each datatype merged on its own, keyed by datatype; shapes
// of different datatypes never join. Datatypes without shapes may be absent
// or hold no polygon.
std::map<int, std::vector<MergedPolygon> > mergedLayerByDatatype(
    const Library& lib, int layer, float factor, LayerReport* report = nullptr,
    int64_t maxShapes = kDefaultMaxFlatShapes);

}  // namespace gdsii
}  // namespace chromasect
