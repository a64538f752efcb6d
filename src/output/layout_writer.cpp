#include "output/layout_writer.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/fatal.h"
#include "base/params.h"
#include "design/design.h"
#include "geometry/polygon_merge.h"
#include "layout/gds_reader.h"

namespace chromasect {

namespace {

std::vector<oaPoint> boxRing(const oaBox& b) {
    return {oaPoint(b.left(), b.bottom()), oaPoint(b.left(), b.top()), oaPoint(b.right(), b.top()),
            oaPoint(b.right(), b.bottom())};
}

int datatypeOf(int color) {
    return chromasect::isMask(color) ? color + 1 : kUncolouredDatatype;
}

// True when the real boxes cover exactly the outline's area: then the
// outline is the feature. Otherwise the polygon had holes, or its boxes are
// not a tiling of it.
bool boxesTileOutline(const myShape* s) {
    // A box near the 32-bit limits alone has an area of 64 bits.
    __int128 boxArea = 0;
    for (const myBox* b : s->realBoxes)
        boxArea += (__int128)b->box->getWidth() * b->box->getHeight();
    const __int128 doubled = doubledSignedArea(s->points.points());
    return 2 * boxArea == (doubled < 0 ? -doubled : doubled);
}

// Boxes of a feature as rings without holes, never outside its outline.
template <class Boxes>
std::vector<std::vector<oaPoint> > ringsWithin(const myShape* s, const Boxes& boxes) {
    RectilinearMerge m;
    for (const myBox* b : boxes) m.addBox(*b->box);
    if (boxesTileOutline(s)) return m.ringsWithoutHoles();
    RectilinearMerge outline;
    outline.addRing(s->points.points());
    return m.intersection(outline).ringsWithoutHoles();
}

// The feature's area as rings without holes: its outline, unless that would
// cover a hole.
std::vector<std::vector<oaPoint> > featureRings(const myShape* s) {
    if (s->points.getNumElements() < 3) return {};
    if (s->realBoxes.empty() || boxesTileOutline(s)) return {s->points.points()};
    return ringsWithin(s, s->realBoxes);
}

// Per axis the span between the two intervals: their gap when apart, their
// common part when they overlap. A span of zero length widens by one unit
// on each side so that the marker has an area (on one side only at the
// edge of the coordinate range).
void spanBetween(int l1, int h1, int l2, int h2, int& lo, int& hi) {
    const int a = std::max(l1, l2), b = std::min(h1, h2);
    lo = std::min(a, b);
    hi = std::max(a, b);
    if (lo == hi) {
        if (lo > INT_MIN) --lo;
        if (hi < INT_MAX) ++hi;
    }
}

oaBox markerBetween(const oaBox& a, const oaBox& b) {
    oaBox m;
    spanBetween(a.left(), a.right(), b.left(), b.right(), m.left(), m.right());
    spanBetween(a.bottom(), a.top(), b.bottom(), b.top(), m.bottom(), m.top());
    return m;
}

}  // namespace

LayoutHeader outputHeader(const Design& d) {
    LayoutHeader h;
    if (d.inputDbUnit > 0) {
        h.library = d.inputLibName;
        h.structure = d.inputStructName;
        h.userUnit = d.inputUserUnit;
        h.dbUnit = d.inputDbUnit;
    } else {
        scanTextHeader(d.inputFile, h);
    }
    if (gdsii::nanometreFactor(h.dbUnit) != 1.0f) {
        h.userUnit = h.userUnit * 1e-9 / h.dbUnit;
        h.dbUnit = 1e-9;
    }
    return h;
}

void forEachDecomposedShape(const Design& d, const RingSink& sink) {
    for (const myShape* s : d.shapes) {
        bool uniform = true, anyValid = false;
        for (const myBox* p : s->myBoxes) {
            anyValid = anyValid || chromasect::isMask(p->color);
            uniform = uniform && p->color == s->myBoxes[0]->color;
        }
        if (s->myBoxes.empty() || uniform || !anyValid) {
            const int color = s->myBoxes.empty() ? s->color : s->myBoxes[0]->color;
            for (const std::vector<oaPoint>& ring : featureRings(s)) sink(datatypeOf(color), ring);
            continue;
        }
        // Cut by stitches: the pieces of each mask, merged where they touch.
        std::map<int, std::vector<myBox*> > byDatatype;
        for (myBox* p : s->myBoxes) byDatatype[datatypeOf(p->color)].push_back(p);
        for (const auto& entry : byDatatype)
            for (const std::vector<oaPoint>& ring : ringsWithin(s, entry.second))
                sink(entry.first, ring);
    }
    for (const auto& c : d.conflicts)
        sink(kConflictDatatype, boxRing(markerBetween(*c.first->box, *c.second->box)));
    for (const auto& st : d.stitches)
        sink(kStitchDatatype, boxRing(markerBetween(*st.first->box, *st.second->box)));
}

void forEachFeature(const Design& d, const RingSink& sink) {
    for (const myShape* s : d.shapes)
        for (const std::vector<oaPoint>& ring : featureRings(s)) sink(0, ring);
}

void writeDecomposedLayout(const Design& d) {
    const std::map<int, size_t> counts =
        writeLayout(d.outFile, layoutFormatOf(d.outFile), outputHeader(d), d.layer,
                    [&](const RingSink& sink) { forEachDecomposedShape(d, sink); });
    std::ostringstream line;
    line << "STAT | Decomposed layout written to " << d.outFile << ", layer " << d.layer << ":";
    std::vector<int> datatypes;
    for (int m = 0; m < NUM_COLORS; ++m) datatypes.push_back(m + 1);
    datatypes.insert(datatypes.end(), {kUncolouredDatatype, kConflictDatatype, kStitchDatatype});
    const char* sep = " ";
    for (int dt : datatypes) {
        auto it = counts.find(dt);
        line << sep << (it == counts.end() ? 0 : it->second) << " on datatype " << dt;
        sep = ", ";
    }
    d.report.print("%s\n", line.str().c_str());
}

void writeLayerDump(const Design& d) {
    const std::map<int, size_t> counts =
        writeLayout(d.dumpFile, LayoutFormat::Text, outputHeader(d), d.layer,
                    [&](const RingSink& sink) { forEachFeature(d, sink); });
    auto it = counts.find(0);
    d.report.print("STAT | Layer %d written to %s: %zu shapes\n", d.layer, d.dumpFile.c_str(),
                   it == counts.end() ? size_t(0) : it->second);
}

}  // namespace chromasect
