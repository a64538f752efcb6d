#include "projection/projection.h"

#include <algorithm>
#include <cstdint>

#include "base/parallel.h"
#include "base/params.h"
#include "projection/stitch_candidates.h"

namespace {

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

// The cut positions of every real box of a feature, box after box.
struct FeatureCuts {
    std::vector<int> at;
    std::vector<uint32_t> end;  // per real box, one past its last cut in `at`
};

FeatureCuts cutsOf(const Design& d, const myShape* shape) {
    FeatureCuts out;
    std::vector<oaBox> projections;
    std::vector<oaBox*> projectionRefs;
    std::vector<int> cuts;
    for (const myBox* real : shape->realBoxes) {
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
        out.at.insert(out.at.end(), cuts.begin(), cuts.end());
        out.end.push_back(static_cast<uint32_t>(out.at.size()));
    }
    return out;
}

// `whole`: a real box left uncut becomes its own piece (a feature split
// once only; one split twice keeps the pieces of both).
void makePieces(Design& d, myShape* shape, const FeatureCuts& fc, bool whole) {
    uint32_t first = 0;
    for (size_t k = 0; k < shape->realBoxes.size(); ++k) {
        myBox* real = shape->realBoxes[k];
        const oaBox& r = *real->box;
        const bool horizontal = r.getWidth() >= r.getHeight();
        const int start = horizontal ? r.left() : r.bottom();
        const int end = horizontal ? r.right() : r.top();
        const uint32_t last = fc.end[k];

        real->pieces.clear();
        auto addPiece = [&](oaBox* rect) {
            myBox* piece = d.boxPool.make(rect);
            piece->shape = shape;
            real->pieces.push_back(piece);
            shape->myBoxes.push_back(piece);
        };
        if (first == last) {
            // Half the records of a run are such pieces: the real box plays
            // the part itself, made a piece at the moment a new one would be.
            if (whole) {
                real->becomeOwnPiece();
                shape->myBoxes.push_back(real);
                continue;
            }
            // The real box's rectangle belongs to the feature, which lives
            // as long as the run: the single piece can share it.
            addPiece(real->box);
            continue;
        }
        int from = start;
        for (uint32_t i = first; i <= last; ++i) {
            const int to = i < last ? fc.at[i] : end;
            addPiece(horizontal ? d.rectPool.make(from, r.bottom(), to, r.top())
                                : d.rectPool.make(r.left(), from, r.right(), to));
            from = to;
        }
        first = last;
    }
}

}  // namespace

void Projection(Design& d) {
    // The features split, once each in order of first listing (a feature
    // listed in two bands is split twice, from the same cuts).
    std::vector<int> slot(d.shapes.size(), -1);
    std::vector<char> listings(d.shapes.size(), 0);
    std::vector<myShape*> split;
    for (const std::vector<myShape*>& lg : d.lgs)
        for (myShape* shape : lg) {
            if (!shape->isVDDGND && !shape->needDG) continue;
            if (shape->id < 0 || static_cast<size_t>(shape->id) >= slot.size()) continue;
            if (listings[shape->id] < 2) ++listings[shape->id];
            if (slot[shape->id] < 0) {
                slot[shape->id] = static_cast<int>(split.size());
                split.push_back(shape);
            }
        }
    // The cuts depend on nothing that splitting changes, so they are found
    // at once; the pieces are then made in listing order, which fixes their
    // creation numbers and so every later walk.
    std::vector<FeatureCuts> cuts(split.size());
    chromasect::parallelFor(split.size(), d.threads,
                            [&](size_t k) { cuts[k] = cutsOf(d, split[k]); });
    for (std::vector<myShape*>& lg : d.lgs) {
        for (myShape* shape : lg) {
            if (!shape->isVDDGND && !shape->needDG) continue;
            if (shape->id >= 0 && static_cast<size_t>(shape->id) < slot.size())
                makePieces(d, shape, cuts[slot[shape->id]], listings[shape->id] == 1);
            else
                SplitRealBoxes2MyBoxes(d, shape);
            for (myBox* piece : shape->myBoxes) piece->shape = shape;
        }
    }
    std::vector<FeatureCuts>().swap(cuts);
    ReleaseRealBoxLinks(d);
    ConnectAll(d, split);
    for (myShape* s : d.shapes) {
        for (myBox* b : s->myBoxes) {
            b->stitchNeighbors.shrink_to_fit();
            b->conflictNeighbors.shrink_to_fit();
        }
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
            if (r->ownPiece) continue;  // its links are its piece's
            r->stitchNeighbors.release();
            if (split)
                r->conflictNeighbors.release();
            else
                r->conflictNeighbors.resort();  // real boxes made pieces took new serials
        }
    }
}

void SplitRealBoxes2MyBoxes(Design& d, myShape* shape) {
    makePieces(d, shape, cutsOf(d, shape), false);
}
