// Decomposition graphs: touching pieces that must share a mask are grouped
// into vertices (super-shapes), one graph per connected group of the features
// that still need colouring; plus the vertex-pair sets the colouring engines
// read.

#include <algorithm>
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/connected_components.hpp>
#include <unordered_map>

#include "base/params.h"
#include "dgraph/dgraph.h"
#include "layoutgraph/layoutgraph.h"
#include "projection/projection.h"

namespace {

bool shareConflictNeighbor(const myBox* a, const myBox* b) {
    const myBoxSet& small = a->conflictNeighbors.size() <= b->conflictNeighbors.size()
                                ? a->conflictNeighbors
                                : b->conflictNeighbors;
    const myBoxSet& large =
        &small == &a->conflictNeighbors ? b->conflictNeighbors : a->conflictNeighbors;
    for (myBox* x : small)
        if (large.count(x)) return true;
    return false;
}

bool isRailPiece(const myBox* b) {
    return b->shape != nullptr && b->shape->isVDDGND;
}

// Positions in dg of the vertices holding each piece. A piece normally lies
// in one vertex, but nothing here relies on it.
typedef std::unordered_map<const myBox*, std::vector<int> > PiecePositions;

PiecePositions piecePositions(const std::vector<mySuperShape*>& dg) {
    PiecePositions pos;
    for (size_t i = 0; i < dg.size(); ++i)
        for (const myBox* b : dg[i]->boxes) {
            std::vector<int>& v = pos[b];
            if (v.empty() || v.back() != static_cast<int>(i)) v.push_back(static_cast<int>(i));
        }
    return pos;
}

}  // namespace

void GenerateDGs(Design& d) {
    d.dgs.clear();
    for (const std::vector<myShape*>& lg : d.lgs) {
        const int groups = GenerateLGCmpID(d, lg);
        for (int group = 0; group < groups; ++group) {
            d.dgs.emplace_back();
            GenerateDGs(d, lg, d.dgs.back(), group);
        }
    }
    for (size_t i = 0; i < d.dgs.size(); ++i)
        for (mySuperShape* v : d.dgs[i])
            for (myBox* b : v->boxes) b->dgIndex = static_cast<int>(i);
}

void GenerateDGs(Design& d, std::vector<myShape*> lg, std::vector<mySuperShape*>& dg, int group) {
    std::vector<myBox*> pieces;
    for (myShape* s : lg) {
        if (!s->needDG || (group >= 0 && s->subCompID != group)) continue;
        for (myBox* b : s->myBoxes) {
            b->boxIndex = static_cast<int>(pieces.size());
            pieces.push_back(b);
        }
    }

    typedef boost::adjacency_list<boost::vecS, boost::vecS, boost::undirectedS> MergeGraph;
    MergeGraph merge(pieces.size());
    const int minSide = MINDPLDIST / (2 * NUM_COLORS);
    auto narrow = [minSide](const myBox* x) {
        return x->box->getWidth() < minSide || x->box->getHeight() < minSide;
    };
    for (myBox* b : pieces) {
        for (myBox* k : b->stitchNeighbors) {
            // A piece outside this collection may still carry the index of an
            // earlier graph; only a piece found at its own index counts.
            const int ki = k->boxIndex;
            if (ki < 0 || ki >= static_cast<int>(pieces.size()) || pieces[ki] != k) continue;
            bool join;
            if (NUM_COLORS < 2)
                join = true;
            else if (b->shape->isVDDGND)
                join = true;
            else if (!d.allowStitch)
                join = true;
            else if (NUM_COLORS != 2 && !d.dplStitch)
                join = !CanIntroStitch_TPL(b, k);
            else if (b->conflictNeighbors.empty() && k->conflictNeighbors.empty())
                join = true;
            else if (narrow(b) || narrow(k))
                join = true;
            else
                join = shareConflictNeighbor(b, k);
            if (join) boost::add_edge(b->boxIndex, ki, merge);
        }
    }

    dg.clear();
    if (pieces.empty()) return;
    std::vector<int> component(pieces.size());
    const int count = boost::connected_components(merge, component.data());
    for (int c = 0; c < count; ++c) {
        mySuperShape* v = d.superShapePool.make();
        v->globalID = d.superShapeCounter++;
        v->vertexIndex = c;
        dg.push_back(v);
    }
    for (size_t p = 0; p < pieces.size(); ++p) {
        myBox* b = pieces[p];
        mySuperShape* v = dg[component[p]];
        b->vertexIndex = component[p];
        v->boxes.push_back(b);
        if (b->shape->isVDDGND) v->isVDDGND = true;
    }
    for (mySuperShape* v : dg) v->boxes.shrink_to_fit();
}

namespace {
void sortUnique(std::vector<std::pair<int, int> >& pairs) {
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
}
}  // namespace

// Equivalent to comparing every piece of every vertex with every piece of
// every other vertex, but walks each piece's neighbours once: a graph of a
// few hundred vertices is then cheap. Rail pieces act as one: a vertex next
// to any rail conflicts with every vertex holding a rail piece.
std::vector<std::pair<int, int> > conflictPairsOf(const std::vector<mySuperShape*>& dg) {
    std::vector<std::pair<int, int> > out;
    const PiecePositions pos = piecePositions(dg);
    std::vector<int> railVertices;
    for (size_t i = 0; i < dg.size(); ++i)
        for (const myBox* b : dg[i]->boxes)
            if (isRailPiece(b)) {
                railVertices.push_back(static_cast<int>(i));
                break;
            }
    for (size_t jj = 0; jj < dg.size(); ++jj) {
        const int j = static_cast<int>(jj);
        bool nearRail = false;
        for (const myBox* bk : dg[j]->boxes)
            for (myBox* n : bk->conflictNeighbors) {
                if (isRailPiece(n)) nearRail = true;
                auto it = pos.find(n);
                if (it == pos.end()) continue;
                for (int i : it->second)
                    if (i != j) out.emplace_back(j, i);
            }
        if (nearRail)
            for (int i : railVertices)
                if (i != j) out.emplace_back(j, i);
    }
    sortUnique(out);
    return out;
}

std::vector<std::pair<int, int> > stitchPairsOf(const std::vector<mySuperShape*>& dg) {
    std::vector<std::pair<int, int> > out;
    const PiecePositions pos = piecePositions(dg);
    for (size_t jj = 0; jj < dg.size(); ++jj) {
        const int j = static_cast<int>(jj);
        for (const myBox* bk : dg[j]->boxes)
            for (myBox* n : bk->stitchNeighbors) {
                auto it = pos.find(n);
                if (it == pos.end()) continue;
                for (int i : it->second)
                    if (i != j) out.emplace_back(j, i);
            }
    }
    sortUnique(out);
    return out;
}

void initConflictSet(Design& d, const std::vector<mySuperShape*>& dg) {
    const std::vector<std::pair<int, int> > pairs = conflictPairsOf(dg);
    d.conflictSet = std::set<std::pair<int, int> >(pairs.begin(), pairs.end());
}

void initStitchSet(Design& d, const std::vector<mySuperShape*>& dg) {
    const std::vector<std::pair<int, int> > pairs = stitchPairsOf(dg);
    d.stitchSet = std::set<std::pair<int, int> >(pairs.begin(), pairs.end());
}

void GenTmpDGs(Design& d) {
    d.tmpDGs = d.dgs;
}

void GenerateDGs_myGraph(Design& d) {
    d.dgGraphs.clear();
    d.dgGraphs.reserve(d.dgs.size());
    for (const std::vector<mySuperShape*>& dg : d.dgs) {
        d.dgGraphs.emplace_back(dg);
        ReportGraphErrors(d, d.dgGraphs.back());
    }
}
