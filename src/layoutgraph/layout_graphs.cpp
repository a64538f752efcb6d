// Layout graphs: one feature list per independent component, and the bands
// into which power/ground rails cut them.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "layoutgraph/layoutgraph.h"

namespace {

// byLeftBottom is no strict weak ordering (only the first argument's
// orientation decides), so std::sort may run past the range on it; this
// bottom-up merge sort only ever indexes inside its buffers, whatever the
// comparator answers, and keeps equal rails in list order.
void sortRails(std::vector<myShape*>& rails) {
    const size_t n = rails.size();
    std::vector<myShape*> buf(n);
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(lo + width, n);
            const size_t hi = std::min(lo + 2 * width, n);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                buf[k++] = byLeftBottom(rails[j], rails[i]) ? rails[j++] : rails[i++];
            while (i < mid) buf[k++] = rails[i++];
            while (j < hi) buf[k++] = rails[j++];
        }
        rails.swap(buf);
    }
}

}  // namespace

void GenerateLGs(Design& d) {
    d.lgs.assign(size_t(std::max(d.lgNum, 0)), std::vector<myShape*>());
    for (myShape* s : d.shapes) {
        if (s->compID < 0 || s->compID >= int(d.lgs.size()))
            chromasect::fatal(chromasect::kExitInternal,
                              "Error| In Design::GenerateLGs(), compID " +
                                  std::to_string(s->compID) + " outside 0.." +
                                  std::to_string(d.lgs.size()));
        std::vector<myShape*>& lg = d.lgs[s->compID];
        s->compIndex = int(lg.size());
        lg.push_back(s);
    }
}

void GenerateLGsPart(Design& d) {
    d.lgParts.clear();
    for (const std::vector<myShape*>& lg : d.lgs) {
        WireRTree tree;
        std::vector<myShape*> rails;
        for (myShape* s : lg) {
            if (!s->needDG) continue;
            tree.insert(s);
            if (s->isVDDGND) rails.push_back(s);
        }
        sortRails(rails);

        const bool vertical =
            !rails.empty() && rails[0]->bbox->getWidth() < rails[0]->bbox->getHeight();
        std::vector<oaCoord> cuts(1, vertical ? d.minX : d.minY);
        for (myShape* r : rails) {
            const oaBox& rb = *r->bbox;
            // Anything else crossing the rail's inner band joins both sides.
            const oaBox inner =
                vertical
                    ? oaBox(clampCoord(int64_t(rb.left()) + 1), clampCoord(int64_t(d.minY) + 1),
                            clampCoord(int64_t(rb.right()) - 1), clampCoord(int64_t(d.maxY) - 1))
                    : oaBox(clampCoord(int64_t(d.minX) + 1), clampCoord(int64_t(rb.bottom()) + 1),
                            clampCoord(int64_t(d.maxX) - 1), clampCoord(int64_t(rb.top()) - 1));
            if (tree.searchoaBox(&inner)->size() < 2)
                cuts.push_back(clampCoord(int64_t(vertical ? rb.right() : rb.top()) + 1));
        }
        cuts.push_back(vertical ? d.maxX : d.maxY);

        for (size_t i = 0; i + 1 < cuts.size(); ++i) {
            const oaBox band = vertical ? oaBox(cuts[i], d.minY, cuts[i + 1], d.maxY)
                                        : oaBox(d.minX, cuts[i], d.maxX, cuts[i + 1]);
            const std::vector<myShape*>& found = *tree.searchoaBox(&band);
            if (!found.empty()) d.lgParts.push_back(found);
        }
    }
}
