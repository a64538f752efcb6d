#include "projection/projection.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/params.h"
#include "projection/stitch_candidates.h"

namespace {

oaCoord clampCoord(int64_t v) {
    const int64_t lo = std::numeric_limits<oaCoord>::min();
    const int64_t hi = std::numeric_limits<oaCoord>::max();
    return oaCoord(std::min(hi, std::max(lo, v)));
}

// The part of target within MINDPLDIST of other, per axis (a square
// window). The window is clamped to the coordinate range: intersecting with
// target gives the same result as the unclamped window would.
oaBox projectionOf(const oaBox& target, const oaBox& other) {
    const int64_t d = MINDPLDIST;
    oaBox window(clampCoord(int64_t(other.left()) - d), clampCoord(int64_t(other.bottom()) - d),
                 clampCoord(int64_t(other.right()) + d), clampCoord(int64_t(other.top()) + d));
    oaBox result;
    window.intersection(target, result);
    return result;
}

}  // namespace

void Projection(Design& d) {
    for (std::vector<myShape*>& lg : d.lgs) {
        for (myShape* shape : lg) {
            if (!shape->isVDDGND && !shape->needDG) continue;
            SplitRealBoxes2MyBoxes(d, shape);
            for (myBox* piece : shape->myBoxes) piece->shape = shape;
        }
    }
    ReleaseRealBoxLinks(d);
    for (std::vector<myShape*>& lg : d.lgs) {
        ConnectTouchBoxes(lg);
        ConnectDPLBoxes(d, lg);
    }
    for (myShape* s : d.shapes)
        for (myBox* b : s->myBoxes) {
            b->stitchNeighbors.shrink_to_fit();
            b->conflictNeighbors.shrink_to_fit();
        }
}

void ReleaseRealBoxLinks(Design& d) {
    for (myShape* s : d.shapes) {
        s->myBoxes.shrink_to_fit();
        // Only a feature that simplification set aside still looks at the
        // conflicts of its own real boxes (to pick a mask no neighbour
        // holds); the touch links of real boxes are never read again.
        const bool split = s->isVDDGND || s->needDG;
        for (myBox* r : s->realBoxes) {
            r->stitchNeighbors.release();
            if (split) r->conflictNeighbors.release();
        }
    }
}

void SplitRealBoxes2MyBoxes(Design& d, myShape* shape) {
    // Reused across the real boxes of the feature to spare allocations.
    std::vector<oaBox> projections;
    std::vector<oaBox*> projectionRefs;
    std::vector<int> cuts;

    for (myBox* real : shape->realBoxes) {
        const oaBox& r = *real->box;
        projections.clear();
        projections.reserve(real->conflictNeighbors.size());
        for (const myBox* c : real->conflictNeighbors)
            if (c->needDG) projections.push_back(projectionOf(r, *c->box));
        projectionRefs.clear();
        for (oaBox& p : projections) projectionRefs.push_back(&p);

        const bool horizontal = r.getWidth() >= r.getHeight();
        const int start = horizontal ? r.left() : r.bottom();
        const int end = horizontal ? r.right() : r.top();

        cuts.clear();
        if (d.allowStitch) {
            const oaBox copy = r;
            if (d.dplStitch)
                StitchGenerateDPL_Points(&copy, projectionRefs, cuts, start, end, false);
            else
                StitchGenerateTPL_Points(&copy, projectionRefs, cuts, start, end, false);
        }

        real->pieces.clear();
        auto addPiece = [&](oaBox* rect) {
            myBox* piece = d.boxPool.make(rect);
            piece->parent = real;
            piece->shape = shape;
            real->pieces.push_back(piece);
            shape->myBoxes.push_back(piece);
        };
        if (cuts.empty()) {
            // The real box's rectangle belongs to the feature, which lives
            // as long as the run: the single piece can share it.
            addPiece(real->box);
            continue;
        }
        int from = start;
        for (size_t i = 0; i <= cuts.size(); ++i) {
            const int to = i < cuts.size() ? cuts[i] : end;
            addPiece(horizontal ? d.rectPool.make(from, r.bottom(), to, r.top())
                                : d.rectPool.make(r.left(), from, r.right(), to));
            from = to;
        }
    }
}
