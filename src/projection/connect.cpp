#include <algorithm>
#include <cstdint>

#include "driver/design.h"
#include "geometry/boxdist.h"
#include "geometry/params.h"

void Design::ConnectTouchBoxes(std::vector<myShape*>& shapes) {
    // Sweep along the feature's longer axis instead of testing every pair:
    // a rail or a large net can hold thousands of pieces. The links form
    // sets, so the visiting order does not show in the result.
    std::vector<myBox*> boxes;
    for (myShape* shape : shapes) {
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
        if (boxes.size() < 2) continue;
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
}

namespace {

// The pieces of one feature sorted along its longer axis, with the running
// maximum of their far ends: the pieces that may come near a window are then
// one contiguous run found by two binary searches. A rail holds hundreds of
// pieces and has hundreds of neighbours; testing every pair of pieces made
// the rails dominate the stage.
class PieceIndex {
  public:
    void build(const std::vector<myBox*>& pieces) {
        int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
        for (const myBox* b : pieces) {
            minX = std::min<int64_t>(minX, b->box->left());
            maxX = std::max<int64_t>(maxX, b->box->right());
            minY = std::min<int64_t>(minY, b->box->bottom());
            maxY = std::max<int64_t>(maxY, b->box->top());
        }
        alongX_ = maxX - minX >= maxY - minY;
        sorted_ = pieces;
        std::sort(sorted_.begin(), sorted_.end(),
                  [this](const myBox* a, const myBox* b) { return lo(a) < lo(b); });
        reach_.resize(sorted_.size());
        int64_t reach = INT64_MIN;
        for (size_t i = 0; i < sorted_.size(); ++i)
            reach_[i] = reach = std::max(reach, hi(sorted_[i]));
    }

    // Calls f on every piece whose extent on the axis meets [from, to] (and
    // possibly on a few more).
    template <class F>
    void near(const std::vector<myBox*>& others, int64_t margin, F f) const {
        int64_t from = INT64_MAX, to = INT64_MIN;
        for (const myBox* c : others) {
            from = std::min(from, lo(c));
            to = std::max(to, hi(c));
        }
        from -= margin;
        to += margin;
        size_t i = std::lower_bound(reach_.begin(), reach_.end(), from) - reach_.begin();
        for (; i < sorted_.size() && lo(sorted_[i]) <= to; ++i)
            if (hi(sorted_[i]) >= from) f(sorted_[i]);
    }

  private:
    int64_t lo(const myBox* b) const { return alongX_ ? b->box->left() : b->box->bottom(); }
    int64_t hi(const myBox* b) const { return alongX_ ? b->box->right() : b->box->top(); }

    bool alongX_ = true;
    std::vector<myBox*> sorted_;
    std::vector<int64_t> reach_;
};

}  // namespace

void Design::ConnectDPLBoxes(std::vector<myShape*>& shapes) {
    // Strict here: pieces exactly MINDPLDIST apart do not conflict.
    const int64_t limit = int64_t(MINDPLDIST) * MINDPLDIST;
    // Two pieces closer than MINDPLDIST are less than MINDPLDIST apart on
    // either axis (pieces are never inverted boxes), so the index only has to
    // hand out the pieces within that margin of a neighbour's pieces. Without
    // a positive spacing every pair counts as close.
    const int64_t margin = MINDPLDIST > 0 ? MINDPLDIST : int64_t(1) << 40;
    PieceIndex index;
    for (myShape* shape : shapes) {
        if (shape->myBoxes.empty()) continue;
        index.build(shape->myBoxes);
        for (myShape* neighbor : shape->neighbors) {
            if (neighbor->myBoxes.empty()) continue;
            index.near(neighbor->myBoxes, margin, [&](myBox* q) {
                for (myBox* c : neighbor->myBoxes) {
                    if (c->shape->id == q->shape->id) continue;
                    if (Box2BoxDist(q->box, c->box, 1) < limit) q->conflictNeighbors.insert(c);
                }
            });
        }
    }
}
