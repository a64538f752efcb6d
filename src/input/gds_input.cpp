#include <algorithm>
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
    {  // the library goes before the features are made: large layouts need the memory
        const gdsii::Library lib = readLayoutLibrary(d.inputFile);
        gdsii::LayerReport report;
        report.warn = [&d](const std::string& line) { d.report.print("%s", line.c_str()); };
        polygons = gdsii::mergedLayer(lib, d.layer, gdsii::nanometreFactor(lib.dbUnit), &report,
                                      d.maxFlatShapes);
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
    layout_left = d.minX;
    layout_right = d.maxX;
    layout_bottom = d.minY;
    layout_top = d.maxY;
}
