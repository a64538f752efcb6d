// Counting the result: conflicts and stitches between coloured pieces, plus
// the removed features left without a mask.

#include <cstdio>

#include "base/params.h"
#include "coloring/coloring.h"
#include "geometry/boxdist.h"

// Rails that simplification removed take the rail mask (or their fixed
// one), pieces included.
void ColorRemovedRails(MPLDesign& d) {
    for (myShape* s : d.shapes) {
        if (!s->isVDDGND || s->needDG) continue;
        const int mask = s->fixedMask >= 0 ? s->fixedMask : VDDGND_COLOR;
        s->SetMultiColor(mask);
        for (myBox* b : s->myBoxes) b->color = mask;
    }
}

namespace {

// The mask of a neighbour real box that `r` conflicts with on `mask`: its
// own, or for one cut into pieces of several masks, a piece within reach.
bool holdsMaskNear(const myBox* r, const myBox* n, int mask) {
    if (chromasect::isMask(n->color)) return n->color == mask;
    const long long reach = static_cast<long long>(MINDPLDIST) * MINDPLDIST;
    for (const myBox* p : n->pieces)
        if (p->color == mask && Box2BoxDist(r->box, p->box, 1, nullptr) <= reach) return true;
    return false;
}

// Fixed features set aside on their masks have no pieces, so the count
// above never sees them; two of one mask closer than the spacing are a
// conflict all the same. One per feature, a pair of two such features once.
void countSettledFixedConflicts(Design& d) {
    for (myShape* f : d.shapes) {
        if (f->fixedMask < 0 || f->needDG || f->isVDDGND || !f->myBoxes.empty()) continue;
        bool found = false;
        for (myBox* r : f->realBoxes) {
            for (myBox* n : r->conflictNeighbors) {
                const myShape* g = n->shape;
                if (!g || g == f) continue;
                if (g->myBoxes.empty() && g->id < f->id) continue;
                if (holdsMaskNear(r, n, f->fixedMask)) {
                    d.conflicts.emplace_back(r, n);
                    found = true;
                    break;
                }
            }
            if (found) break;
        }
    }
}

}  // namespace

int CountCloseRailPairs(const Design& d) {
    int pairs = 0;
    for (const myShape* s : d.shapes) {
        if (!s->isVDDGND) continue;
        for (const myShape* n : s->neighbors)
            if (n->isVDDGND && s->id < n->id) ++pairs;
    }
    return pairs;
}

void WarnCloseRails(const Design& d) {
    const int pairs = CountCloseRailPairs(d);
    if (pairs == 0) return;
    d.report.print(
        "WARNING| %d pair%s of power/ground rails closer than the spacing: rails take the rail "
        "mask, so such a pair can be a conflict that the result line does not count\n",
        pairs, pairs == 1 ? "" : "s");
}

void CalculateConflicts(Design& d) {
    d.conflicts.clear();
    for (size_t i = 0; i < d.lgs.size(); ++i) CalculateConflicts(d, static_cast<int>(i));
    countSettledFixedConflicts(d);
}

// A feature adds at most one conflict: the pair of its last piece that has a
// same-coloured neighbour of higher boxIndex.
void CalculateConflicts(Design& d, int i) {
    for (myShape* s : d.lgs[i]) {
        bool found = false;
        std::pair<myBox*, myBox*> pair(nullptr, nullptr);
        for (myBox* b : s->myBoxes) {
            if (!chromasect::isMask(b->color)) continue;
            for (myBox* n : b->conflictNeighbors) {
                if (b->boxIndex < n->boxIndex && chromasect::isMask(n->color) &&
                    n->color == b->color) {
                    pair = std::make_pair(b, n);
                    found = true;
                    break;
                }
            }
        }
        if (found) d.conflicts.push_back(pair);
    }
}

// Each piece adds at most one stitch: its first touching piece of higher
// boxIndex with another mask.
void CalculateStitches(Design& d) {
    d.stitches.clear();
    for (const std::vector<myShape*>& lg : d.lgs) {
        for (myShape* s : lg) {
            for (myBox* b : s->myBoxes) {
                if (!chromasect::isMask(b->color)) continue;
                for (myBox* n : b->stitchNeighbors) {
                    if (chromasect::isMask(n->color) && b->boxIndex < n->boxIndex &&
                        n->color != b->color) {
                        d.stitches.push_back(std::make_pair(b, n));
                        break;
                    }
                }
            }
        }
    }
}

// Removed features left without a mask count as a stitch when large, as a
// conflict when small.
void CountUncoloredSimplified(Design& d) {
    for (myShape* s : d.shapes) {
        if (s->needDG || chromasect::isMask(s->color)) continue;
        if (s->bbox->getWidth() > MINDPLDIST || s->bbox->getHeight() > MINDPLDIST)
            ++d.largeUncolored;
        else
            ++d.smallUncolored;
    }
}

void ResultStat(Design& d) {
    d.report.print("\nSTAT | Final Stitch Num: %d, Conflict Num: %d\n",
                   static_cast<int>(d.stitches.size()) + d.largeUncolored,
                   static_cast<int>(d.conflicts.size()) + d.smallUncolored);
}

void DebugFinalColor(Design&, double) {}
