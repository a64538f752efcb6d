// Making the colours of split decomposition graphs agree and carrying them
// down to pieces and features.

#include <algorithm>
#include <climits>
#include <set>
#include <utility>
#include <vector>

#include "base/params.h"
#include "coloring/coloring.h"

namespace {

// The masks among the colours of boxes; markers and -1 are ignored.
template <class Boxes>
void collectMasks(const Boxes& boxes, std::set<int>& masks) {
    for (const myBox* b : boxes)
        if (chromasect::isMask(b->color)) masks.insert(b->color);
}

// Mask for a vertex that no graph coloured: follow the touching pieces when
// they agree, else the mask held by the fewest distinct conflicting pieces
// (lowest on a tie, so a free mask wins whenever there is one).
int maskForUncolored(const mySuperShape* v) {
    std::set<int> touching;
    for (const myBox* b : v->boxes) collectMasks(b->stitchNeighbors, touching);
    if (touching.size() == 1) return *touching.begin();

    myBoxSet conflicting;
    for (const myBox* b : v->boxes)
        conflicting.insert(b->conflictNeighbors.begin(), b->conflictNeighbors.end());
    std::vector<int> holders(NUM_COLORS, 0);
    for (const myBox* n : conflicting)
        if (chromasect::isMask(n->color)) ++holders[n->color];
    return static_cast<int>(std::min_element(holders.begin(), holders.end()) - holders.begin());
}

// Graph simplification drops every vertex without an edge, so no graph of
// the colouring stage holds it; without this its pieces would stay
// uncoloured and count neither as conflicts nor as stitches.
void colorUncoloredVertices(const std::vector<std::vector<mySuperShape*> >& graphs) {
    for (const std::vector<mySuperShape*>& dg : graphs) {
        for (mySuperShape* v : dg) {
            if (v->boxes.empty()) continue;
            std::set<int> held;
            collectMasks(v->boxes, held);
            if (!held.empty()) continue;
            v->SetMultiColor(v->fixedMask() >= 0 ? v->fixedMask() : maskForUncolored(v));
        }
    }
}

}  // namespace

void Rotations(MPLDesign& d) {
    // Graph of graphs: copies of one vertex tie the graphs that hold them.
    myGraph graphs(static_cast<int>(d.dgs.size()));
    for (std::vector<mySuperShape*>& dg : d.dgs) {
        for (mySuperShape* s : dg) {
            if (s->subDGs.size() < 2) continue;
            s->subDGs.sort();
            auto it = s->subDGs.begin();
            const int first = *it;
            for (++it; it != s->subDGs.end(); ++it) graphs.AddConflictEdge(first, *it);
        }
    }
    ReportGraphErrors(d, graphs);

    // Parents come before their children, so each graph is aligned with one
    // already aligned.
    std::vector<std::pair<int, int> > edges;
    graphs.DFSEdges(edges);
    // Per parent graph, once: (globalID, position) sorted, so that a child
    // vertex finds the parent's first copy of it without a walk of the
    // parent (a large graph can have thousands of children).
    std::vector<std::vector<std::pair<int, int> > > copiesIn(d.dgs.size());
    for (const std::pair<int, int>& e : edges) {
        const std::vector<mySuperShape*>& parent = d.dgs[e.first];
        const std::vector<mySuperShape*>& child = d.dgs[e.second];
        std::vector<std::pair<int, int> >& index = copiesIn[e.first];
        if (index.empty()) {
            index.reserve(parent.size());
            for (size_t i = 0; i < parent.size(); ++i)
                index.emplace_back(parent[i]->globalID, static_cast<int>(i));
            std::sort(index.begin(), index.end());
        }
        int shift = 0;
        bool aligned = false;
        for (const mySuperShape* c : child) {
            auto at =
                std::lower_bound(index.begin(), index.end(), std::make_pair(c->globalID, INT_MIN));
            if (at == index.end() || at->first != c->globalID) continue;
            const mySuperShape* same = parent[at->second];
            if (same->colorTmp == c->colorTmp) {
                aligned = true;
                break;
            }
            shift = same->colorTmp - c->colorTmp;
        }
        if (aligned) continue;
        for (mySuperShape* c : child) c->RotateMultiColorTmp(shift);
    }

    RotationForVDDGND(d);
    RotationForTouchBoxes(d);
    for (std::vector<mySuperShape*>& dg : d.dgs)
        for (mySuperShape* s : dg) s->SetMultiColorFinal();

    colorUncoloredVertices(d.tmpDGs.empty() ? d.dgs : d.tmpDGs);
}

// The first rail vertex of a graph decides: the whole graph turns so that
// it takes the rail mask, keeping the graph's own colouring. A graph with a
// fixed vertex cannot turn.
void RotationForVDDGND(MPLDesign& d) {
    for (std::vector<mySuperShape*>& dg : d.dgs) {
        auto rail =
            std::find_if(dg.begin(), dg.end(), [](const mySuperShape* s) { return s->isVDDGND; });
        if (rail == dg.end()) continue;
        if (std::any_of(dg.begin(), dg.end(),
                        [](const mySuperShape* s) { return s->fixedMask() >= 0; }))
            continue;
        const int shift = VDDGND_COLOR - (*rail)->colorTmp;
        for (mySuperShape* s : dg) {
            s->RotateMultiColorTmp(shift);
            s->SetMultiColorFinal();
        }
    }
}

// A vertex whose touching pieces all carry one mask takes it, so the
// stitches around it disappear. Recolouring is immediate: later vertices
// see it.
void RotationForTouchBoxes(MPLDesign& d) {
    for (std::vector<mySuperShape*>& dg : d.dgs) {
        if (std::any_of(dg.begin(), dg.end(), [](const mySuperShape* s) { return s->isVDDGND; }))
            continue;
        for (mySuperShape* v : dg) {
            if (v->fixedMask() >= 0) continue;
            std::set<int> masks;
            for (const myBox* b : v->boxes) collectMasks(b->stitchNeighbors, masks);
            if (masks.size() == 1) v->setMultiColor(*masks.begin());
        }
    }
}

// A feature whose pieces agree takes their mask; otherwise each real box
// shows its one mask or SPLIT_COLOR, and the feature keeps its marker.
void AssignLGNonSimplifiedColors(MPLDesign& d) {
    for (const std::vector<myShape*>& lg : d.lgs) {
        for (myShape* f : lg) {
            if (!f->needDG) continue;
            std::set<int> masks;
            collectMasks(f->myBoxes, masks);
            if (masks.size() == 1) {
                f->SetMultiColor(*masks.begin());
                continue;
            }
            for (myBox* r : f->realBoxes) {
                if (r->ownPiece) continue;  // its colour is its piece's
                std::set<int> own;
                collectMasks(r->pieces, own);
                r->color = own.size() == 1 ? *own.begin() : SPLIT_COLOR;
            }
        }
    }
}
