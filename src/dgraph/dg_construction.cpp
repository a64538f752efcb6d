// Decomposition graphs: touching pieces that must share a mask are grouped
// into vertices (super-shapes), one graph per connected group of the features
// that still need colouring; plus the vertex-pair sets the colouring engines
// read.

#include <algorithm>
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
class PiecePositions {
  public:
    explicit PiecePositions(const std::vector<mySuperShape*>& dg) {
        for (size_t i = 0; i < dg.size(); ++i)
            for (const myBox* b : dg[i]->boxes) at_.emplace_back(b, static_cast<int>(i));
        // By piece, then position: each piece's positions ascending, once.
        std::sort(at_.begin(), at_.end(), [](const Entry& a, const Entry& b) {
            return a.first != b.first ? std::less<const myBox*>()(a.first, b.first)
                                      : a.second < b.second;
        });
        at_.erase(std::unique(at_.begin(), at_.end()), at_.end());
    }
    // Calls f with each position holding piece b, ascending.
    template <class F>
    void each(const myBox* b, F f) const {
        auto it = std::lower_bound(at_.begin(), at_.end(), b, [](const Entry& e, const myBox* x) {
            return std::less<const myBox*>()(e.first, x);
        });
        for (; it != at_.end() && it->first == b; ++it) f(it->second);
    }

  private:
    typedef std::pair<const myBox*, int> Entry;
    std::vector<Entry> at_;
};

}  // namespace

namespace {

// Union-find over piece positions, numbering the sets by their lowest
// member: the numbering of a depth-first component search from vertex 0 up.
class PieceSets {
  public:
    explicit PieceSets(size_t n) : parent_(n) {
        for (size_t i = 0; i < n; ++i) parent_[i] = static_cast<int>(i);
    }
    void join(int a, int b) {
        a = find(a);
        b = find(b);
        if (a != b) parent_[std::max(a, b)] = std::min(a, b);
    }
    // Set numbers 0, 1, ... by lowest member; returns how many.
    int number(std::vector<int>& of) {
        of.assign(parent_.size(), -1);
        int count = 0;
        for (size_t i = 0; i < parent_.size(); ++i) {
            const int root = find(static_cast<int>(i));
            if (of[root] < 0) of[root] = count++;
            of[i] = of[root];
        }
        return count;
    }

  private:
    int find(int x) {
        while (parent_[x] != x) {
            parent_[x] = parent_[parent_[x]];
            x = parent_[x];
        }
        return x;
    }
    std::vector<int> parent_;
};

// The graph of the features `members`, in their order.
void buildDG(Design& d, const std::vector<myShape*>& members, std::vector<mySuperShape*>& dg) {
    std::vector<myBox*> pieces;
    for (myShape* s : members)
        for (myBox* b : s->myBoxes) {
            b->boxIndex = static_cast<int>(pieces.size());
            pieces.push_back(b);
        }

    PieceSets merge(pieces.size());
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
            else if (b->shape->fixedMask >= 0)  // one mask: a stitch could only cost
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
            if (join) merge.join(b->boxIndex, ki);
        }
    }

    dg.clear();
    if (pieces.empty()) return;
    std::vector<int> component;
    const int count = merge.number(component);
    std::vector<size_t> sizes(count, 0);
    for (int c : component) ++sizes[c];
    for (int c = 0; c < count; ++c) {
        mySuperShape* v = d.superShapePool.make();
        v->globalID = d.superShapeCounter++;
        v->vertexIndex = c;
        v->boxes.reserve(sizes[c]);
        dg.push_back(v);
    }
    for (size_t p = 0; p < pieces.size(); ++p) {
        myBox* b = pieces[p];
        mySuperShape* v = dg[component[p]];
        b->vertexIndex = component[p];
        v->boxes.push_back(b);
        if (b->shape->isVDDGND) v->isVDDGND = true;
    }
}

}  // namespace

void GenerateDGs(Design& d) {
    d.dgs.clear();
    std::vector<std::vector<myShape*> > groups;
    for (const std::vector<myShape*>& lg : d.lgs) {
        // The groups' members in list order, gathered in one walk of the list.
        const int count = GenerateLGCmpID(d, lg);
        groups.assign(static_cast<size_t>(std::max(count, 0)), std::vector<myShape*>());
        for (myShape* s : lg)
            if (s->needDG && s->subCompID >= 0 && s->subCompID < count)
                groups[s->subCompID].push_back(s);
        for (int group = 0; group < count; ++group) {
            d.dgs.emplace_back();
            buildDG(d, groups[group], d.dgs.back());
        }
        // Later stages read neighbours only around rails (the close-rail
        // warning) and features set aside (their masks).
        for (myShape* s : lg)
            if (s->needDG && !s->isVDDGND) s->neighbors.release();
    }
    for (size_t i = 0; i < d.dgs.size(); ++i)
        for (mySuperShape* v : d.dgs[i])
            for (myBox* b : v->boxes) b->dgIndex = static_cast<int>(i);
}

void GenerateDGs(Design& d, std::vector<myShape*> lg, std::vector<mySuperShape*>& dg, int group) {
    std::vector<myShape*> members;
    for (myShape* s : lg)
        if (s->needDG && (group < 0 || s->subCompID == group)) members.push_back(s);
    buildDG(d, members, dg);
}

namespace {
// Sorted, without repeats, in exactly the memory it needs: a graph's pairs
// are kept until an engine colours it.
void sortUnique(std::vector<std::pair<int, int> >& pairs) {
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    pairs.shrink_to_fit();
}
}  // namespace

// Equivalent to comparing every piece of every vertex with every piece of
// every other vertex, but walks each piece's neighbours once: a graph of a
// few hundred vertices is then cheap. Rail pieces act as one: a vertex next
// to any rail conflicts with every vertex holding a rail piece.
std::vector<std::pair<int, int> > conflictPairsOf(const std::vector<mySuperShape*>& dg) {
    std::vector<std::pair<int, int> > out;
    const PiecePositions pos(dg);
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
                pos.each(n, [&](int i) {
                    if (i != j) out.emplace_back(j, i);
                });
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
    const PiecePositions pos(dg);
    for (size_t jj = 0; jj < dg.size(); ++jj) {
        const int j = static_cast<int>(jj);
        for (const myBox* bk : dg[j]->boxes)
            for (myBox* n : bk->stitchNeighbors) {
                pos.each(n, [&](int i) {
                    if (i != j) out.emplace_back(j, i);
                });
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
