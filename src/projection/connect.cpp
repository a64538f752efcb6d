#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "base/parallel.h"
#include "base/params.h"
#include "geometry/boxdist.h"
#include "projection/projection.h"

namespace {

// Sweep along the feature's longer axis instead of testing every pair: a
// rail or a large net can hold thousands of pieces. The links form sets, so
// the visiting order does not show in the result.
void connectTouching(myShape* shape, std::vector<myBox*>& boxes) {
    boxes.clear();
    int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
    for (myBox* b : shape->myBoxes) {
        // Degenerate pieces never touch anything.
        if (b->box->getWidth() <= 0 || b->box->getHeight() <= 0) continue;
        boxes.push_back(b);
        minX = std::min<int64_t>(minX, b->box->left());
        maxX = std::max<int64_t>(maxX, b->box->right());
        minY = std::min<int64_t>(minY, b->box->bottom());
        maxY = std::max<int64_t>(maxY, b->box->top());
    }
    if (boxes.size() < 2) return;
    const bool alongX = maxX - minX >= maxY - minY;
    auto lo = [alongX](const myBox* b) { return alongX ? b->box->left() : b->box->bottom(); };
    auto hi = [alongX](const myBox* b) { return alongX ? b->box->right() : b->box->top(); };
    std::sort(boxes.begin(), boxes.end(),
              [&lo](const myBox* a, const myBox* b) { return lo(a) < lo(b); });
    for (size_t i = 0; i < boxes.size(); ++i) {
        myBox* a = boxes[i];
        for (size_t j = i + 1; j < boxes.size() && lo(boxes[j]) <= hi(a); ++j) {
            myBox* b = boxes[j];
            if (!a->overlaps(b, true)) continue;
            a->stitchNeighbors.insert(b);
            b->stitchNeighbors.insert(a);
        }
    }
}

}  // namespace

void ConnectTouchBoxes(std::vector<myShape*>& shapes) {
    std::vector<myBox*> boxes;
    for (myShape* shape : shapes) connectTouching(shape, boxes);
}

namespace {

// The pieces of one large feature sorted along its longer axis, with the
// running maximum of their far ends: the pieces that meet a stretch of the
// axis are then one run found by a binary search. Rails hold hundreds of
// pieces and have hundreds of neighbours; testing every pair of pieces made
// them dominate the stage.
class PieceIndex {
  public:
    explicit PieceIndex(const chromasect::SmallList<myBox*>& pieces)
        : sorted_(pieces.begin(), pieces.end()) {
        int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
        for (const myBox* b : pieces) {
            minX = std::min<int64_t>(minX, b->box->left());
            maxX = std::max<int64_t>(maxX, b->box->right());
            minY = std::min<int64_t>(minY, b->box->bottom());
            maxY = std::max<int64_t>(maxY, b->box->top());
        }
        alongX_ = maxX - minX >= maxY - minY;
        std::sort(sorted_.begin(), sorted_.end(),
                  [this](const myBox* a, const myBox* b) { return lo(a) < lo(b); });
        reach_.reserve(sorted_.size());
        int64_t reach = INT64_MIN;
        for (const myBox* b : sorted_) reach_.push_back(reach = std::max(reach, hi(b)));
    }

    int64_t lo(const myBox* b) const { return alongX_ ? b->box->left() : b->box->bottom(); }
    int64_t hi(const myBox* b) const { return alongX_ ? b->box->right() : b->box->top(); }

    // Calls f on every piece whose extent on the axis meets [from, to].
    template <class F>
    void within(int64_t from, int64_t to, F f) const {
        size_t i = std::lower_bound(reach_.begin(), reach_.end(), from) - reach_.begin();
        for (; i < sorted_.size() && lo(sorted_[i]) <= to; ++i)
            if (hi(sorted_[i]) >= from) f(sorted_[i]);
    }

  private:
    std::vector<myBox*> sorted_;
    std::vector<int64_t> reach_;
    bool alongX_ = true;
};

// Features with more pieces than this are looked up through an index.
const size_t kIndexedPieces = 16;

}  // namespace

namespace {

// Conflict links from the pieces of one feature to those of its neighbours
// closer than MINDPLDIST; writes only that feature's pieces. indexOf gives
// the index of a feature of many pieces.
template <class IndexOf>
void connectConflicting(myShape* shape, IndexOf& indexOf, chromasect::Reporter* report) {
    // Strict here: pieces exactly MINDPLDIST apart do not conflict.
    const int64_t limit = int64_t(MINDPLDIST) * MINDPLDIST;
    // Two pieces closer than MINDPLDIST are less than MINDPLDIST apart on
    // either axis (pieces are never inverted boxes), so an index only has to
    // hand out the pieces within that margin. Without a positive spacing
    // every pair counts as close.
    const int64_t margin = MINDPLDIST > 0 ? MINDPLDIST : int64_t(1) << 40;
    auto link = [limit, report](myBox* q, myBox* c) {
        if (c->shape->id == q->shape->id) return;
        if (Box2BoxDist(q->box, c->box, 1, report) < limit) q->conflictNeighbors.insert(c);
    };
    if (shape->myBoxes.empty()) return;
    for (myShape* neighbor : shape->neighbors) {
        const auto& others = neighbor->myBoxes;
        if (others.empty()) continue;
        if (others.size() > kIndexedPieces) {
            const PieceIndex& index = indexOf(neighbor);
            for (myBox* q : shape->myBoxes)
                index.within(index.lo(q) - margin, index.hi(q) + margin,
                             [&](myBox* c) { link(q, c); });
        } else if (shape->myBoxes.size() > kIndexedPieces) {
            const PieceIndex& index = indexOf(shape);
            int64_t from = INT64_MAX, to = INT64_MIN;
            for (const myBox* c : others) {
                from = std::min(from, index.lo(c));
                to = std::max(to, index.hi(c));
            }
            index.within(from - margin, to + margin, [&](myBox* q) {
                for (myBox* c : others) link(q, c);
            });
        } else {
            for (myBox* q : shape->myBoxes)
                for (myBox* c : others) link(q, c);
        }
    }
}

}  // namespace

void ConnectDPLBoxes(Design& d, std::vector<myShape*>& shapes) {
    // Only looked up, never walked: the order of the map does not matter.
    std::unordered_map<const myShape*, PieceIndex> indices;
    auto indexOf = [&indices](const myShape* s) -> const PieceIndex& {
        auto it = indices.find(s);
        if (it == indices.end()) it = indices.emplace(s, PieceIndex(s->myBoxes)).first;
        return it->second;
    };
    for (myShape* shape : shapes) connectConflicting(shape, indexOf, &d.report);
}

void ConnectAll(Design& d, const std::vector<myShape*>& split) {
    // Box2BoxDist writes a diagnostic line only where a squared gap passes
    // 2^31, which needs a spacing of 16384 or more; there the layout graphs
    // are walked one by one, so the lines come out in their order.
    if (int64_t(8) * MINDPLDIST * MINDPLDIST >= (int64_t(1) << 31)) {
        for (std::vector<myShape*>& lg : d.lgs) {
            ConnectTouchBoxes(lg);
            ConnectDPLBoxes(d, lg);
        }
        return;
    }
    // Every link a feature's pieces get comes from the feature's own walk,
    // whichever layout graph lists it (a second listing adds nothing), so
    // features are taken at once, each writing only its own pieces.
    std::vector<int> indexed(d.shapes.size(), -1);
    std::vector<PieceIndex> indices;
    for (myShape* s : d.shapes)
        if (s->myBoxes.size() > kIndexedPieces && s->id >= 0 &&
            static_cast<size_t>(s->id) < indexed.size()) {
            indexed[s->id] = static_cast<int>(indices.size());
            indices.emplace_back(s->myBoxes);
        }
    auto indexOf = [&](const myShape* s) -> const PieceIndex& { return indices[indexed[s->id]]; };
    chromasect::parallelFor(split.size(), d.threads, [&](size_t k) {
        std::vector<myBox*> boxes;
        connectTouching(split[k], boxes);
        connectConflicting(split[k], indexOf, nullptr);
    });
}
