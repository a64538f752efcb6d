#include "projection/stitch_candidates.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "base/params.h"
#include "projection/projection.h"

namespace {

// One elementary stretch of the range and how many projections cover it.
struct Stretch {
    int lo;
    int hi;
    int count;
};

bool isHorizontal(const oaBox* box) {
    // Compared as unsigned 32-bit lengths, as the cut axis has always been
    // chosen; identical to a signed comparison for any well-formed box.
    uint32_t w = uint32_t(box->right()) - uint32_t(box->left());
    uint32_t h = uint32_t(box->top()) - uint32_t(box->bottom());
    return w >= h;
}

// Rounds toward zero like int division, without wrapping near the int limits.
int middle(int lo, int hi) {
    return int((int64_t(lo) + int64_t(hi)) / 2);
}

// Splits the range at start, end and every projection end, and counts for
// each stretch the projections spanning it. A difference array keeps this
// linear after sorting, which matters for rails with thousands of
// neighbours.
void elementaryStretches(const oaBox* box, const std::vector<oaBox*>& projections, int start,
                         int end, std::vector<Stretch>& out) {
    const bool horizontal = isHorizontal(box);
    std::vector<int> breaks;
    breaks.reserve(2 * projections.size() + 2);
    breaks.push_back(start);
    breaks.push_back(end);
    for (const oaBox* p : projections) {
        breaks.push_back(horizontal ? p->left() : p->bottom());
        breaks.push_back(horizontal ? p->right() : p->top());
    }
    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());

    out.clear();
    if (breaks.size() < 2) return;
    std::vector<int> delta(breaks.size(), 0);
    auto indexOf = [&breaks](int v) {
        return std::lower_bound(breaks.begin(), breaks.end(), v) - breaks.begin();
    };
    for (const oaBox* p : projections) {
        int lo = horizontal ? p->left() : p->bottom();
        int hi = horizontal ? p->right() : p->top();
        // Every stretch has positive length, so an empty or inverted
        // projection spans none.
        if (lo >= hi) continue;
        ++delta[indexOf(lo)];
        --delta[indexOf(hi)];
    }
    out.reserve(breaks.size() - 1);
    int count = 0;
    for (size_t i = 0; i + 1 < breaks.size(); ++i) {
        count += delta[i];
        out.push_back(Stretch{breaks[i], breaks[i + 1], count});
    }
}

}  // namespace

void StitchGenerateDPL_Points(const oaBox* box, std::vector<oaBox*> projections,
                              std::vector<int>& cuts, int start, int end, bool keepLong) {
    cuts.clear();
    if (!keepLong) {
        // A box spanning most of the layout is a rail or a trunk: cutting it
        // would only multiply stitches.
        if (isHorizontal(box)) {
            double width = double(uint32_t(box->right()) - uint32_t(box->left()));
            if (width > 0.6 * (double(layout_right) - double(layout_left))) return;
        } else {
            double height = double(uint32_t(box->top()) - uint32_t(box->bottom()));
            if (height > 0.6 * (double(layout_top) - double(layout_bottom))) return;
        }
    }
    std::vector<Stretch> stretches;
    elementaryStretches(box, projections, start, end, stretches);
    for (size_t i = 1; i + 1 < stretches.size(); ++i)
        if (stretches[i].count == 0) cuts.push_back(middle(stretches[i].lo, stretches[i].hi));
    std::sort(cuts.begin(), cuts.end());
}

void StitchGenerateTPL_Points(const oaBox* box, std::vector<oaBox*> projections,
                              std::vector<int>& cuts, int start, int end, bool) {
    std::vector<Stretch> stretches;
    elementaryStretches(box, projections, start, end, stretches);
    if (stretches.empty()) return;

    // Pad with empty uncovered stretches so that the list starts and ends
    // uncovered.
    std::vector<Stretch> e;
    e.reserve(stretches.size() + 2);
    if (stretches.front().count > 0) e.push_back(Stretch{start, start, 0});
    e.insert(e.end(), stretches.begin(), stretches.end());
    if (stretches.back().count > 0) e.push_back(Stretch{end, end, 0});
    const int n = int(e.size());

    std::vector<int> u;
    for (int i = 0; i < n; ++i)
        if (e[i].count == 0) u.push_back(i);

    cuts.clear();
    const int lastPair = int(u.size()) - 2;
    for (int i = 0; i <= lastPair; ++i) {
        const int j = u[i];
        const int k = u[i + 1];
        if (i > 0) {
            // Counts 0,1,0,1,0 at either end of the box: the gap sees the
            // same single neighbour pattern on both sides, so no cut there.
            if (j == 2 && n > 4 && i == 1 && e[1].count == 1 && e[3].count == 1 && e[4].count == 0)
                continue;
            if (j == n - 3 && n > 4 && i == lastPair && e[j + 1].count == 1 &&
                e[j - 1].count == 1 && e[j - 2].count == 0)
                continue;
            cuts.push_back(middle(e[j].lo, e[j].hi));
        }
        if (k - j >= 4) {
            double best = 0.9;
            int bestAt = -1;
            for (int c = j + 2; c <= k - 2; ++c) {
                const int before = e[c - 1].count;
                const int here = e[c].count;
                const int after = e[c + 1].count;
                if (here >= before || here >= after) continue;
                double score = std::min(before, after) - here + 0.1 * std::abs(after - before);
                if (score > best) {
                    best = score;
                    bestAt = c;
                }
            }
            if (bestAt >= 0) cuts.push_back(middle(e[bestAt].lo, e[bestAt].hi));
        }
    }
    std::sort(cuts.begin(), cuts.end());
}

int CanIntroStitch_TPL(myBox* a, myBox* b) {
    if (a->conflictNeighbors.empty() && b->conflictNeighbors.empty()) return 0;
    // Pieces narrower than this are too small to print as a stitch side.
    const int64_t minSide = MINDPLDIST / (2 * NUM_COLORS);
    for (const myBox* p : {a, b})
        if (p->box->getWidth() < minSide || p->box->getHeight() < minSide) return 0;

    auto vertices = [](const myBox* p) {
        std::vector<int> v;
        v.reserve(p->conflictNeighbors.size());
        for (const myBox* c : p->conflictNeighbors)
            if (c->vertexIndex >= 0) v.push_back(c->vertexIndex);
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        return v;
    };
    // A stitch only helps when the two sides face different vertices.
    return vertices(a) != vertices(b) ? 1 : 0;
}
