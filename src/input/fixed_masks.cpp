// Masks the input already decides: its own mask datatypes ("-fixed 1") or
// the unchanged features of a previous decomposition ("-previous").

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "base/params.h"
#include "check/layout_check.h"
#include "input/input.h"
#include "layout/layout_file.h"

using chromasect::MergedPolygon;

namespace {

// The lowest, then leftmost vertex of a rectilinear ring: the unit square
// above and right of it lies inside the polygon.
oaPoint probeOf(const std::vector<oaPoint>& ring) {
    oaPoint best = ring[0];
    for (const oaPoint& p : ring)
        if (p.y() < best.y() || (p.y() == best.y() && p.x() < best.x())) best = p;
    return best;
}

// The feature one of whose real boxes holds the unit square at p, or null.
myShape* featureAt(const Design& d, const oaPoint& p, std::vector<myShape*>& found) {
    d.wireRTree.search(oaBox(p.x(), p.y(), p.x() + 1, p.y() + 1), found);
    for (myShape* s : found)
        for (const myBox* r : s->realBoxes)
            if (r->box->left() <= p.x() && p.x() < r->box->right() && r->box->bottom() <= p.y() &&
                p.y() < r->box->top())
                return s;
    return nullptr;
}

int64_t ringArea2(const std::vector<oaPoint>& ring) {
    int64_t a = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const oaPoint& p = ring[i];
        const oaPoint& q = ring[(i + 1) % ring.size()];
        a += int64_t(p.x()) * q.y() - int64_t(q.x()) * p.y();
    }
    return a < 0 ? -a : a;
}

// A feature named by its outline's corners (repeated and collinear points
// dropped, sorted) and its area: equal for the same shape however its ring
// was written or merged.
struct OutlineKey {
    std::vector<oaPoint> corners;
    int64_t area2 = 0;  // twice the area
    bool operator<(const OutlineKey& o) const {
        if (area2 != o.area2) return area2 < o.area2;
        return std::lexicographical_compare(
            corners.begin(), corners.end(), o.corners.begin(), o.corners.end(),
            [](const oaPoint& a, const oaPoint& b) {
                return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
            });
    }
};

std::vector<oaPoint> cornersOf(const std::vector<oaPoint>& ring) {
    std::vector<oaPoint> pts;
    for (const oaPoint& p : ring)
        if (pts.empty() || !(pts.back() == p)) pts.push_back(p);
    while (pts.size() > 1 && pts.back() == pts.front()) pts.pop_back();
    std::vector<oaPoint> corners;
    const size_t n = pts.size();
    for (size_t i = 0; i < n; ++i) {
        const oaPoint& a = pts[(i + n - 1) % n];
        const oaPoint& b = pts[i];
        const oaPoint& c = pts[(i + 1) % n];
        const bool straight =
            (a.x() == b.x() && b.x() == c.x()) || (a.y() == b.y() && b.y() == c.y());
        if (!straight) corners.push_back(b);
    }
    std::sort(corners.begin(), corners.end(), [](const oaPoint& a, const oaPoint& b) {
        return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
    });
    return corners;
}

OutlineKey keyOf(const MergedPolygon& m) {
    OutlineKey k;
    k.corners = cornersOf(m.outline);
    k.area2 = ringArea2(m.outline);
    for (const std::vector<oaPoint>& h : m.holes) k.area2 -= ringArea2(h);
    return k;
}

OutlineKey keyOf(const myShape* s) {
    OutlineKey k;
    k.corners = cornersOf(s->points.points());
    for (const myBox* r : s->realBoxes)
        k.area2 += 2 * int64_t(r->box->getWidth()) * r->box->getHeight();
    return k;
}

bool overlapsArea(const oaBox& a, const oaBox& b) {
    return a.left() < b.right() && b.left() < a.right() && a.bottom() < b.top() &&
           b.bottom() < a.top();
}

void countFixed(Design& d) {
    MPLDesign* run = dynamic_cast<MPLDesign*>(&d);
    if (!run) return;
    run->stats.fixedFeatures = static_cast<int>(std::count_if(
        d.shapes.begin(), d.shapes.end(), [](const myShape* s) { return s->fixedMask >= 0; }));
}

}  // namespace

void MarkFixedFeatures(Design& d, const std::map<int, std::vector<MergedPolygon> >& byDatatype) {
    const signed char kMixed = -2;
    std::vector<myShape*> found;
    for (const auto& entry : byDatatype) {
        const int datatype = entry.first;
        if (datatype < 1 || datatype > chromasect::kMaxMasks) continue;
        if (datatype > NUM_COLORS) {
            d.readBuffers.beyondMasks += static_cast<long>(entry.second.size());
            continue;
        }
        const signed char mask = static_cast<signed char>(datatype - 1);
        for (const MergedPolygon& m : entry.second) {
            if (m.outline.empty()) continue;
            myShape* s = featureAt(d, probeOf(m.outline), found);
            if (!s) continue;
            if (s->fixedMask == -1)
                s->fixedMask = mask;
            else if (s->fixedMask != mask)
                s->fixedMask = kMixed;
        }
    }
    for (myShape* s : d.shapes) {
        if (s->fixedMask != kMixed) continue;
        s->fixedMask = -1;
        ++d.readBuffers.mixedMasks;
    }
}

void ReportFixedInput(Design& d) {
    if (d.readBuffers.mixedMasks > 0)
        d.report.print("WARNING| %ld features with parts fixed to different masks: taken as free\n",
                       d.readBuffers.mixedMasks);
    if (d.readBuffers.beyondMasks > 0)
        d.report.print(
            "WARNING| %ld shapes fixed to a mask beyond the %d masks (datatypes %d to %d): taken "
            "as free\n",
            d.readBuffers.beyondMasks, NUM_COLORS, NUM_COLORS + 1, chromasect::kMaxMasks);
    countFixed(d);
}

void ApplyPreviousLayout(Design& d) {
    // Read as the checker reads a decomposed layout: each mask datatype merged.
    const chromasect::DecomposedLayer previous =
        chromasect::readDecomposedLayer(d.previousFile, d.layer, d.report);
    // Outline key -> mask, or -2 when two masks hold the same outline.
    std::map<OutlineKey, int> masks;
    for (const auto& entry : previous.byDatatype) {
        if (entry.first < 1 || entry.first > NUM_COLORS) continue;
        for (const MergedPolygon& m : entry.second) {
            auto at = masks.emplace(keyOf(m), entry.first - 1);
            if (!at.second && at.first->second != entry.first - 1) at.first->second = -2;
        }
    }
    int kept = 0;
    std::vector<char> touched(d.shapes.size(), 0);
    for (myShape* s : d.shapes) {
        if (s->fixedMask >= 0) continue;  // "-fixed 1" decided it
        auto at = masks.find(keyOf(s));
        if (at == masks.end() || at->second < 0) continue;
        s->fixedMask = static_cast<signed char>(at->second);
        ++kept;
    }
    // The other features overlapping a previous shape (of any datatype
    // written for a feature) changed; the rest are new.
    std::vector<myShape*> found;
    for (const auto& entry : previous.byDatatype) {
        const int dt = entry.first;
        if (!((dt >= 1 && dt <= chromasect::kMaxMasks) || dt == chromasect::kUncolouredDatatype))
            continue;
        for (const MergedPolygon& m : entry.second)
            for (const oaBox& rect : rectanglesOf(m)) {
                d.wireRTree.search(rect, found);
                for (myShape* s : found) {
                    if (s->fixedMask >= 0 || touched[s->id]) continue;
                    for (const myBox* r : s->realBoxes)
                        if (overlapsArea(*r->box, rect)) {
                            touched[s->id] = 1;
                            break;
                        }
                }
            }
    }
    const int changed = static_cast<int>(std::count(touched.begin(), touched.end(), 1));
    countFixed(d);
    MPLDesign* run = dynamic_cast<MPLDesign*>(&d);
    if (!run) return;
    run->stats.keptFeatures = kept;
    run->stats.changedFeatures = changed;
    run->stats.newFeatures = static_cast<int>(d.shapes.size()) - kept - changed;
}

void ReportPreviousLayout(const Design& d) {
    const MPLDesign* run = dynamic_cast<const MPLDesign*>(&d);
    if (!run || run->stats.keptFeatures < 0) return;
    d.report.print(
        "STAT | Previous layout %s: %d features kept on their mask, %d changed, %d new\n",
        d.previousFile.c_str(), run->stats.keptFeatures, run->stats.changedFeatures,
        run->stats.newFeatures);
}
