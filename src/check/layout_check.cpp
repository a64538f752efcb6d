#include "check/layout_check.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numeric>

#include "base/fatal.h"
#include "base/params.h"
#include "geometry/boxdist.h"
#include "geometry/polygon_to_rect.h"
#include "geometry/rtree.h"
#include "layout/gds_reader.h"
#include "layout/gdsii_stream.h"
#include "layout/layout_file.h"
#include "layout/text_dump.h"

namespace chromasect {

namespace {

DecomposedLayer readTextLayer(const std::string& path, int layer, Reporter& report) {
    std::vector<char> buffer;
    std::ifstream in;
    textdump::open(path, in, buffer);
    std::string line;
    const float factor = textdump::readHeader(in, line);
    std::map<int, RectilinearMerge> merges;
    DecomposedLayer out;
    oaPointArray points, corners;
    std::vector<oaBox> rects;
    PTR::SkippedOutlines skipped;
    size_t read = 0;
    for (;;) {
        int datatype = 0;
        const textdump::Step step =
            textdump::nextElement(in, layer, factor, line, points, datatype);
        if (step == textdump::Step::End) break;
        if (step == textdump::Step::Skipped) continue;
        // Outlines the decomposer would not read are not checked either.
        const PTR::OutlineUse use = PTR::CutOutline(points, corners, rects);
        if (use == PTR::OutlineUse::Keep) {
            merges[datatype].addRing(points.points());
            ++read;
        } else {
            skipped.count(use);
        }
        if (!textdump::endOfElement(in, line)) break;
    }
    textdump::reportSkipped(skipped, layer, report);
    textdump::reportUnreadParts(in, read, report);
    out.unplaced = skipped.total() + static_cast<int>(textdump::brokenElements(in) +
                                                      textdump::oddCoordinateLines(in));
    out.incomplete = !textdump::libraryEnded(in);
    for (const auto& entry : merges) out.byDatatype[entry.first] = entry.second.polygons();
    return out;
}

// ---- spatial search over the rectangles of polygons ----

typedef RTree<uint32_t, int, 2, float, 8, 4> RectIndex;

struct Rects {
    std::vector<oaBox> boxes;
    std::vector<uint32_t> polygon;  // owner of each box
    RectIndex index;
};

// A polygon's rectangles: the fast cut of its outline when it has no holes,
// Boost.Polygon's decomposition otherwise (or if the cut gives up).
void rectanglesOfPolygon(const MergedPolygon& p, std::vector<oaBox>& out) {
    out.clear();
    if (p.holes.empty()) {
        oaPointArray pts;
        for (const oaPoint& q : p.outline) pts.append(q);
        if (PTR::Polygon2Rectangle(pts, out)) return;
        out.clear();
    }
    out = rectanglesOf(p);
}

void buildRects(const std::vector<MergedPolygon>& polygons, Rects& r) {
    std::vector<oaBox> cut;
    for (size_t i = 0; i < polygons.size(); ++i) {
        rectanglesOfPolygon(polygons[i], cut);
        for (const oaBox& b : cut) {
            r.boxes.push_back(b);
            r.polygon.push_back(static_cast<uint32_t>(i));
        }
    }
    for (uint32_t k = 0; k < r.boxes.size(); ++k) {
        const oaBox& b = r.boxes[k];
        const int min[2] = {b.left(), b.bottom()};
        const int max[2] = {b.right(), b.top()};
        r.index.Insert(min, max, k);
    }
}

bool collect(uint32_t item, void* context) {
    static_cast<std::vector<uint32_t>*>(context)->push_back(item);
    return true;
}

// Rectangles whose boxes lie within `grow` of b, edges included.
void search(const Rects& r, const oaBox& b, int grow, std::vector<uint32_t>& found) {
    found.clear();
    const int min[2] = {clampCoord(int64_t(b.left()) - grow),
                        clampCoord(int64_t(b.bottom()) - grow)};
    const int max[2] = {clampCoord(int64_t(b.right()) + grow), clampCoord(int64_t(b.top()) + grow)};
    r.index.Search(min, max, collect, &found);
}

// Per axis the closed span between two intervals: their gap, or their
// common part when they meet.
oaBox spanBetween(const oaBox& a, const oaBox& b) {
    const int l = std::max(a.left(), b.left()), r = std::min(a.right(), b.right());
    const int bo = std::max(a.bottom(), b.bottom()), t = std::min(a.top(), b.top());
    return oaBox(std::min(l, r), std::min(bo, t), std::max(l, r), std::max(bo, t));
}

void findViolations(int mask, const Rects& r, std::vector<SpacingViolation>& out,
                    Reporter* report) {
    const int64_t limit = int64_t(MINDPLDIST) * MINDPLDIST;
    if (MINDPLDIST <= 0) return;
    std::vector<SpacingViolation> hits;
    std::vector<uint32_t> found;
    for (uint32_t i = 0; i < r.boxes.size(); ++i) {
        search(r, r.boxes[i], MINDPLDIST, found);
        for (uint32_t j : found) {
            if (j <= i || r.polygon[j] == r.polygon[i]) continue;
            const int d = Box2BoxDist(&r.boxes[i], &r.boxes[j], 1, report);
            if (d >= limit) continue;
            SpacingViolation v;
            v.mask = mask;
            v.first = std::min(r.polygon[i], r.polygon[j]);
            v.second = std::max(r.polygon[i], r.polygon[j]);
            v.squaredDistance = d;
            v.between = spanBetween(r.boxes[i], r.boxes[j]);
            hits.push_back(v);
        }
    }
    // The closest rectangle pair speaks for its polygon pair.
    std::sort(hits.begin(), hits.end(), [](const SpacingViolation& a, const SpacingViolation& b) {
        if (a.first != b.first) return a.first < b.first;
        if (a.second != b.second) return a.second < b.second;
        if (a.squaredDistance != b.squaredDistance) return a.squaredDistance < b.squaredDistance;
        return a.between < b.between;
    });
    for (size_t k = 0; k < hits.size(); ++k)
        if (k == 0 || hits[k].first != hits[k - 1].first || hits[k].second != hits[k - 1].second)
            out.push_back(hits[k]);
}

size_t findRoot(std::vector<size_t>& parent, size_t x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
}

// Contacts of one polygon pair joined into connected places.
void addPlaces(std::vector<MaskContact>::const_iterator begin,
               std::vector<MaskContact>::const_iterator end, std::vector<MaskContact>& out) {
    const size_t n = static_cast<size_t>(end - begin);
    std::vector<size_t> parent(n);
    std::iota(parent.begin(), parent.end(), size_t(0));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (begin[i].where.overlaps(begin[j].where, 1))
                parent[findRoot(parent, i)] = findRoot(parent, j);
    std::map<size_t, MaskContact> places;
    for (size_t i = 0; i < n; ++i) {
        const MaskContact& c = begin[i];
        auto it = places.find(findRoot(parent, i));
        if (it == places.end()) {
            places.emplace(findRoot(parent, i), c);
            continue;
        }
        oaBox& w = it->second.where;
        w.set(std::min(w.left(), c.where.left()), std::min(w.bottom(), c.where.bottom()),
              std::max(w.right(), c.where.right()), std::max(w.top(), c.where.top()));
    }
    std::vector<MaskContact> sorted;
    for (const auto& entry : places) sorted.push_back(entry.second);
    std::sort(sorted.begin(), sorted.end(),
              [](const MaskContact& a, const MaskContact& b) { return a.where < b.where; });
    out.insert(out.end(), sorted.begin(), sorted.end());
}

void findContacts(int maskA, const Rects& a, int maskB, const Rects& b,
                  std::vector<MaskContact>& out) {
    std::vector<MaskContact> contacts;
    std::vector<uint32_t> found;
    for (uint32_t i = 0; i < a.boxes.size(); ++i) {
        search(b, a.boxes[i], 0, found);
        for (uint32_t j : found) {
            MaskContact c;
            c.firstMask = maskA;
            c.secondMask = maskB;
            c.first = a.polygon[i];
            c.second = b.polygon[j];
            a.boxes[i].intersection(b.boxes[j], c.where);
            contacts.push_back(c);
        }
    }
    std::sort(contacts.begin(), contacts.end(), [](const MaskContact& x, const MaskContact& y) {
        if (x.first != y.first) return x.first < y.first;
        if (x.second != y.second) return x.second < y.second;
        return x.where < y.where;
    });
    for (auto begin = contacts.cbegin(); begin != contacts.cend();) {
        auto end = begin;
        while (end != contacts.cend() && end->first == begin->first && end->second == begin->second)
            ++end;
        addPlaces(begin, end, out);
        begin = end;
    }
}

// ---- report ----

std::string pointText(const oaPoint& p) {
    return "(" + std::to_string(p.x()) + "," + std::to_string(p.y()) + ")";
}

std::string boxText(const oaBox& b) {
    return "(" + std::to_string(b.left()) + "," + std::to_string(b.bottom()) + ";" +
           std::to_string(b.right()) + "," + std::to_string(b.top()) + ")";
}

// A polygon named by its lowest, then leftmost vertex (which no other
// polygon of its datatype can share) and its bounding box.
std::string polygonText(const MergedPolygon& p) {
    return "polygon at " + pointText(p.outline[0]) + " bbox " + boxText(p.bbox);
}

std::string distanceText(int64_t squared) {
    const int64_t root = static_cast<int64_t>(std::llround(std::sqrt(double(squared))));
    if (root * root == squared) return std::to_string(root);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", std::sqrt(double(squared)));
    return buf;
}

}  // namespace

DecomposedLayer readDecomposedLayer(const std::string& path, int layer, Reporter& report) {
    const LayoutFormat format = layoutFormatOf(path);
    if (format == LayoutFormat::None)
        fatal(kExitUsage,
              "ERROR| not a layout name (.gds, .gds2, .gdsii, .oas, .oasis or .ascii): " + path);
    if (format == LayoutFormat::Text) return readTextLayer(path, layer, report);
    const gdsii::Library lib = readLayoutLibrary(path);
    gdsii::LayerReport flattening;
    flattening.warn = [&report](const std::string& line) { report.print("%s", line.c_str()); };
    DecomposedLayer out;
    out.byDatatype =
        gdsii::mergedLayerByDatatype(lib, layer, gdsii::nanometreFactor(lib.dbUnit), &flattening);
    out.unplaced = flattening.nonManhattan + flattening.degenerate + flattening.skippedReferences;
    return out;
}

MaskCheck checkMasks(const std::vector<std::vector<MergedPolygon> >& masks, Reporter* report) {
    MaskCheck result;
    std::vector<Rects> rects(masks.size());
    for (size_t m = 0; m < masks.size(); ++m) {
        buildRects(masks[m], rects[m]);
        findViolations(static_cast<int>(m), rects[m], result.violations, report);
    }
    for (size_t a = 0; a < masks.size(); ++a)
        for (size_t b = a + 1; b < masks.size(); ++b)
            findContacts(static_cast<int>(a), rects[a], static_cast<int>(b), rects[b],
                         result.stitches);
    return result;
}

int reportLayerCheck(const DecomposedLayer& layer, const std::string& path, int layerNumber,
                     Reporter& report) {
    static const std::vector<MergedPolygon> none;
    auto polygonsOf = [&](int datatype) -> const std::vector<MergedPolygon>& {
        auto it = layer.byDatatype.find(datatype);
        return it == layer.byDatatype.end() ? none : it->second;
    };
    std::vector<std::vector<MergedPolygon> > masks;
    size_t maskPolygons = 0;
    for (int m = 0; m < NUM_COLORS; ++m) {
        masks.push_back(polygonsOf(m + 1));
        maskPolygons += masks.back().size();
    }
    const std::vector<MergedPolygon>& unassigned = polygonsOf(kUncolouredDatatype);

    size_t foreign = 0;
    for (const auto& entry : layer.byDatatype) {
        const int dt = entry.first;
        const bool known = (dt >= 1 && dt <= NUM_COLORS) || dt == kUncolouredDatatype ||
                           dt == kConflictDatatype || dt == kStitchDatatype;
        if (!known) foreign += entry.second.size();
    }
    report.print(
        "STAT | Checking layer %d of %s at spacing %d: %zu mask polygons, %zu unassigned\n",
        layerNumber, path.c_str(), MINDPLDIST, maskPolygons, unassigned.size());
    if (foreign > 0)
        report.print("WARNING| %zu polygons of layer %d on datatypes that hold no mask ignored\n",
                     foreign, layerNumber);

    const MaskCheck check = checkMasks(masks, &report);
    for (const SpacingViolation& v : check.violations)
        report.print("CHECK | spacing on mask %d: %s and %s, distance %s < %d, between %s\n",
                     v.mask, polygonText(masks[v.mask][v.first]).c_str(),
                     polygonText(masks[v.mask][v.second]).c_str(),
                     distanceText(v.squaredDistance).c_str(), MINDPLDIST,
                     boxText(v.between).c_str());
    for (const MaskContact& c : check.stitches)
        report.print("CHECK | stitch between mask %d and mask %d at %s: %s and %s\n", c.firstMask,
                     c.secondMask, boxText(c.where).c_str(),
                     polygonText(masks[c.firstMask][c.first]).c_str(),
                     polygonText(masks[c.secondMask][c.second]).c_str());
    for (const MergedPolygon& p : unassigned)
        report.print("CHECK | unassigned shape: %s\n", polygonText(p).c_str());
    report.print("CHECK | spacing violations: %zu, stitches: %zu, unassigned shapes: %zu\n",
                 check.violations.size(), check.stitches.size(), unassigned.size());

    if (!check.violations.empty() || !unassigned.empty()) return 1;
    if (layer.unplaced > 0) {
        report.print("ERROR| %d shapes of layer %d could not be checked\n", layer.unplaced,
                     layerNumber);
        return 2;
    }
    if (layer.incomplete) {
        report.print("ERROR| %s ends before its ENDLIB record: the rest was not checked\n",
                     path.c_str());
        return 2;
    }
    if (maskPolygons == 0) {
        report.print("ERROR| no shape on a mask datatype of layer %d in %s: nothing was checked\n",
                     layerNumber, path.c_str());
        return 2;
    }
    return 0;
}

}  // namespace chromasect
