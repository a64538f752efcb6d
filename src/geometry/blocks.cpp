#include "geometry/blocks.h"

#include <algorithm>
#include <limits>

namespace chromasect {

namespace {

struct Region {
    std::vector<int> boxes;
    int block;
    int depth;
};

oaBox boundsOf(const std::vector<oaBox>& boxes, const std::vector<int>& members) {
    oaBox e(std::numeric_limits<oaCoord>::max(), std::numeric_limits<oaCoord>::max(),
            std::numeric_limits<oaCoord>::min(), std::numeric_limits<oaCoord>::min());
    for (int i : members)
        e.set(std::min(e.left(), boxes[i].left()), std::min(e.bottom(), boxes[i].bottom()),
              std::max(e.right(), boxes[i].right()), std::max(e.top(), boxes[i].top()));
    return e;
}

// The parts of `members` between the empty strips along one axis (one part
// when there is none), as ranges of `members`, which it sorts.
std::vector<size_t> partsAlong(const std::vector<oaBox>& boxes, std::vector<int>& members,
                               bool alongX, int64_t gap) {
    auto lo = [&](int i) { return alongX ? boxes[i].left() : boxes[i].bottom(); };
    auto hi = [&](int i) { return alongX ? boxes[i].right() : boxes[i].top(); };
    std::stable_sort(members.begin(), members.end(), [&](int a, int b) { return lo(a) < lo(b); });
    std::vector<size_t> starts{0};
    int64_t reach = hi(members[0]);
    for (size_t k = 1; k < members.size(); ++k) {
        const int64_t g = int64_t(lo(members[k])) - reach;
        if (g > 0 && g >= gap) starts.push_back(k);
        reach = std::max<int64_t>(reach, hi(members[k]));
    }
    starts.push_back(members.size());
    return starts;
}

bool isLarge(size_t size, size_t largest) {
    return size > kMinBlockBoxes && 4 * size >= largest;
}

}  // namespace

LayoutBlocks layoutBlocks(const std::vector<oaBox>& boxes, int64_t gap, int maxDepth) {
    LayoutBlocks t;
    t.blockOf.assign(boxes.size(), 0);
    if (boxes.empty()) return t;
    std::vector<Region> work(1);
    work[0].block = 0;
    work[0].depth = 0;
    for (size_t i = 0; i < boxes.size(); ++i) work[0].boxes.push_back(static_cast<int>(i));
    t.extent.push_back(boundsOf(boxes, work[0].boxes));
    while (!work.empty()) {
        Region r = std::move(work.back());
        work.pop_back();
        if (r.depth >= maxDepth || r.boxes.size() <= kMinBlockBoxes) {
            for (int i : r.boxes) t.blockOf[i] = r.block;
            continue;
        }
        bool cut = false;
        for (bool alongX : {true, false}) {
            const std::vector<size_t> s = partsAlong(boxes, r.boxes, alongX, gap);
            size_t largest = 0, large = 0;
            for (size_t p = 0; p + 1 < s.size(); ++p) largest = std::max(largest, s[p + 1] - s[p]);
            for (size_t p = 0; p + 1 < s.size(); ++p) large += isLarge(s[p + 1] - s[p], largest);
            if (large == 0 || s.size() == 2) continue;
            for (size_t p = 0; p + 1 < s.size(); ++p) {
                Region part;
                part.boxes.assign(r.boxes.begin() + s[p], r.boxes.begin() + s[p + 1]);
                part.depth = r.depth + 1;
                part.block = r.block;
                if (isLarge(part.boxes.size(), largest)) {
                    part.block = static_cast<int>(t.extent.size());
                    t.extent.push_back(boundsOf(boxes, part.boxes));
                }
                work.push_back(std::move(part));
            }
            cut = true;
            break;
        }
        if (!cut)
            for (int i : r.boxes) t.blockOf[i] = r.block;
    }
    return t;
}

}  // namespace chromasect
