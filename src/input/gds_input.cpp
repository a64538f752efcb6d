#include <algorithm>
#include <map>
#include <vector>

#include "base/params.h"
#include "geometry/polygon_to_rect.h"
#include "input/input.h"
#include "layout/gds_reader.h"
#include "layout/layout_file.h"

// Features from the merged layer, made and filed exactly as the text reader
// makes them: outline without closing vertex, bounding box, real boxes,
// index entry and extent.
void ReadGDSII(Design& d) {
    using namespace chromasect;
    std::vector<MergedPolygon> polygons;
    std::map<int, std::vector<MergedPolygon> > masks;
    {  // the library goes before the features are made: large layouts need the memory
        const gdsii::Library lib = readLayoutLibrary(d.inputFile);
        gdsii::LayerReport report;
        report.warn = [&d](const std::string& line) { d.report.print("%s", line.c_str()); };
        const float factor = gdsii::nanometreFactor(lib.dbUnit);
        // With fixed masks the markers a decomposed layout carries are no shapes.
        const std::vector<int> skip = d.fixedInput
                                          ? std::vector<int>{kConflictDatatype, kStitchDatatype}
                                          : std::vector<int>();
        polygons = gdsii::mergedLayer(lib, d.layer, factor, &report, d.maxFlatShapes, skip);
        if (d.fixedInput) {
            gdsii::LayerReport silent;  // the first flattening has warned
            masks = gdsii::mergedLayerByDatatype(lib, d.layer, factor, &silent, d.maxFlatShapes);
        }
        d.inputLibName = lib.name;
        d.inputUserUnit = lib.userUnit;
        d.inputDbUnit = lib.dbUnit;
        d.inputStructName =
            report.tops.empty() ? std::string("top") : lib.structures[report.tops[0]].name;
    }

    for (const MergedPolygon& m : polygons) {
        oaPointArray pts;
        for (const oaPoint& p : m.outline) pts.append(p);
        myShape* s = AddFeature(d, m.bbox, pts);
        std::vector<oaBox> rects;
        if (m.holes.empty()) {
            if (PTR::Polygon2Rectangle(pts, rects)) s->SetRealBoxes(rects);
        } else {
            rects = rectanglesOf(m);
            s->SetRealBoxes(rects);
        }
    }
    if (d.fixedInput) MarkFixedFeatures(d, masks);
    layout_left = d.minX;
    layout_right = d.maxX;
    layout_bottom = d.minY;
    layout_top = d.maxY;
}
