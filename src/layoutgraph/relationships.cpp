// Which features conflict, which are power/ground rails, and how the layer
// splits into independent components.

#include <algorithm>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/depth_first_search.hpp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/fatal.h"
#include "base/parallel.h"
#include "base/params.h"
#include "geometry/blocks.h"
#include "geometry/boxdist.h"
#include "geometry/rtree.h"
#include "layoutgraph/layoutgraph.h"

namespace {

// The neighbour relation is symmetric, so its arcs (both directions of every
// pair) give the undirected components. A compressed graph holds millions of
// features at a fraction of the memory and time of an adjacency list.
typedef boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, boost::no_property,
                                           boost::no_property, int, int>
    ComponentGraph;
typedef std::vector<std::pair<int, int> > Arcs;

// Numbers the depth-first trees 0, 1, 2, ...; the search starts its trees at
// the unvisited vertices in ascending order, so a component's number follows
// the order of its lowest vertex.
class ComponentRecorder : public boost::default_dfs_visitor {
  public:
    ComponentRecorder(std::vector<int>& component, int& count)
        : component_(&component), count_(&count) {}
    void start_vertex(int, const ComponentGraph&) { ++*count_; }
    void discover_vertex(int v, const ComponentGraph&) { (*component_)[v] = *count_ - 1; }

  private:
    std::vector<int>* component_;
    int* count_;
};

// Components of the n vertices joined by arcs, numbered by lowest vertex;
// returns their count. Consumes arcs.
int components(size_t n, Arcs& arcs, std::vector<int>& component) {
    component.assign(n, -1);
    if (n == 0) return 0;
    ComponentGraph g(boost::edges_are_unsorted_multi_pass, arcs.begin(), arcs.end(), int(n));
    Arcs().swap(arcs);
    int count = 0;
    boost::depth_first_search(g, boost::visitor(ComponentRecorder(component, count)));
    return count;
}

// Touch links between the rectangles of one feature that overlap or abut
// (corners included). Rectangles are visited by bottom edge so that only
// pairs whose y-ranges meet are compared: the conversion cuts polygons into
// horizontal slabs, which keeps this near linear for long features.
void linkTouchingBoxes(myShape* s) {
    const RealBoxRange& rb = s->realBoxes;
    std::vector<size_t> order(rb.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t i, size_t j) {
        return rb[i]->box->bottom() < rb[j]->box->bottom();
    });
    for (size_t p = 0; p < order.size(); ++p) {
        myBox* a = rb[order[p]];
        for (size_t q = p + 1; q < order.size(); ++q) {
            myBox* b = rb[order[q]];
            if (b->box->bottom() > a->box->top()) break;
            if (!a->box->overlaps(*b->box, 1)) continue;
            a->stitchNeighbors.insert(b);
            b->stitchNeighbors.insert(a);
        }
    }
}

oaBox grown(const oaBox& b, int64_t by) {
    return oaBox(clampCoord(b.left() - by), clampCoord(b.bottom() - by), clampCoord(b.right() + by),
                 clampCoord(b.top() + by));
}

// The rectangles of one feature in an R-tree. Rails gather hundreds of
// rectangles and are near thousands of features; walking all their
// rectangles for every nearby feature dominated the stage.
class RectIndex {
  public:
    explicit RectIndex(const RealBoxRange& rects) {
        for (size_t i = 0; i < rects.size(); ++i) {
            const oaBox& r = *rects[i]->box;
            const int lo[2] = {r.left(), r.bottom()}, hi[2] = {r.right(), r.top()};
            tree_.Insert(lo, hi, int(i));
        }
    }
    // Positions of the rectangles overlapping q (edges included), ascending.
    void find(const oaBox& q, std::vector<int>& out) const {
        out.clear();
        const int lo[2] = {q.left(), q.bottom()}, hi[2] = {q.right(), q.top()};
        tree_.Search(lo, hi, &collect, &out);
        std::sort(out.begin(), out.end());
    }

  private:
    static bool collect(int i, void* out) {
        static_cast<std::vector<int>*>(out)->push_back(i);
        return true;
    }
    RTree<int, int, 2, float, 8, 4> tree_;
};

// Conflict links between the rectangles of two features: for each
// rectangle a of s (zero width excluded), the first rectangle b of f in
// stored order (zero width excluded) within MINDPLDIST. With a positive
// spacing, a rectangle within reach of another overlaps it grown by the
// spacing (at 0 the gap cap of Box2BoxDist makes every pair reach), and
// rectangles lie inside their feature's bounding box; so the indexes and the
// bounding-box test only skip rectangles that cannot reach.
constexpr size_t kIndexedRects = 16;

class ConflictLinker {
  public:
    // The rectangle indexes of the features with many rectangles, shared by
    // the linkers of every thread (only read once made).
    typedef std::unordered_map<const myShape*, std::unique_ptr<RectIndex> > Indexes;
    static Indexes indexesOf(const std::vector<myShape*>& shapes) {
        Indexes index;
        if (MINDPLDIST <= 0) return index;
        for (myShape* s : shapes)
            if (s->realBoxes.size() > kIndexedRects && index.count(s) == 0)
                index.emplace(s, std::unique_ptr<RectIndex>(new RectIndex(s->realBoxes)));
        return index;
    }

    ConflictLinker(const Indexes& index, chromasect::Reporter* report)
        : limit_(int64_t(MINDPLDIST) * MINDPLDIST),
          reach_(MINDPLDIST),
          pruned_(MINDPLDIST > 0),
          report_(report),
          index_(index) {}

    // s's rule towards f: true when some rectangle of s was linked to one
    // of f. The link is stored in s's rectangle when toS, in f's when toF.
    bool link(myShape* s, myShape* f, bool toS = true, bool toF = true) {
        bool linked = false;
        const RectIndex* theirs = indexOf(f);
        auto linkFrom = [&](myBox* a) {
            if (a->box->getWidth() == 0) return;
            if (myBox* b = firstInReach(a, f, theirs)) {
                if (toS) a->conflictNeighbors.insert(b);
                if (toF) b->conflictNeighbors.insert(a);
                linked = true;
            }
        };
        const RectIndex* own = indexOf(s);
        if (own) {
            own->find(grown(*f->bbox, reach_), near_);
            for (int i : near_) linkFrom(s->realBoxes[i]);
        } else {
            for (myBox* a : s->realBoxes)
                if (!pruned_ || within(*a->box, *f->bbox)) linkFrom(a);
        }
        return linked;
    }

  private:
    bool within(const oaBox& a, const oaBox& b) const {
        return Box2BoxDist(&a, &b, 1, report_) <= limit_;
    }

    const RectIndex* indexOf(const myShape* s) const {
        auto it = index_.find(s);
        return it == index_.end() ? nullptr : it->second.get();
    }

    myBox* firstInReach(myBox* a, myShape* f, const RectIndex* idx) {
        if (idx) {
            idx->find(grown(*a->box, reach_), scratch_);
            for (int i : scratch_) {
                myBox* b = f->realBoxes[i];
                if (b->box->getWidth() != 0 && within(*a->box, *b->box)) return b;
            }
            return nullptr;
        }
        for (myBox* b : f->realBoxes)
            if (b->box->getWidth() != 0 && within(*a->box, *b->box)) return b;
        return nullptr;
    }

    const int64_t limit_;
    const int64_t reach_;
    const bool pruned_;
    chromasect::Reporter* report_;
    const Indexes& index_;
    std::vector<int> scratch_, near_;
};

// At least half as wide or half as tall as the extent, taken in double so
// that an unset (inverted) extent cannot overflow.
bool spansHalf(const oaBox& b, int minX, int maxX, int minY, int maxY) {
    const double halfWidth = (static_cast<double>(maxX) - static_cast<double>(minX)) * 0.5;
    const double halfHeight = (static_cast<double>(maxY) - static_cast<double>(minY)) * 0.5;
    return static_cast<double>(b.getWidth()) >= halfWidth ||
           static_cast<double>(b.getHeight()) >= halfHeight;
}

}  // namespace

void MarkRails(Design& d) {
    std::vector<oaBox> boxes;
    boxes.reserve(d.shapes.size());
    for (const myShape* s : d.shapes) boxes.push_back(*s->bbox);
    // Blocks more than twice the spacing apart share no conflict and no
    // rail: each block's rails are judged against that block alone.
    const chromasect::LayoutBlocks blocks =
        chromasect::layoutBlocks(boxes, int64_t(2) * MINDPLDIST);
    for (size_t i = 0; i < d.shapes.size(); ++i) {
        myShape* s = d.shapes[i];
        const int b = blocks.blockOf[i];
        if (b == 0) {
            s->isVDDGND = spansHalf(*s->bbox, d.minX, d.maxX, d.minY, d.maxY);
        } else {
            const oaBox& e = blocks.extent[b];
            s->isVDDGND = spansHalf(*s->bbox, e.left(), e.right(), e.bottom(), e.top());
        }
    }
}

void RelationshipLGs(Design& d) {
    MarkRails(d);

    initTouchDPLBoxes4RealBoxes(d);

    if (d.simlg <= 0) {
        d.lgNum = 1;
        for (myShape* s : d.shapes) s->compID = 0;
        return;
    }

    const size_t n = d.shapes.size();
    for (myShape* s : d.shapes)
        if (s->id < 0 || size_t(s->id) >= n)
            chromasect::fatal(chromasect::kExitInternal,
                              "Error| In Design::RelationshipLGs(), feature id " +
                                  std::to_string(s->id) + " outside 0.." + std::to_string(n - 1));

    Arcs arcs;
    for (myShape* s : d.shapes)
        for (myShape* nb : s->neighbors) arcs.emplace_back(s->id, nb->id);
    std::vector<int> component;
    d.lgNum = components(n, arcs, component);
    int empty = 0;
    for (myShape* s : d.shapes) {
        s->compID = component[s->id];
        if (s->GetAreas() <= 0) ++empty;
    }
    d.report.print("STAT | number of Independent Components: %d\n", d.lgNum - empty);
}

void initTouchDPLBoxes4RealBoxes(Design& d) {
    // Emptied for all features before any search (not one by one): a feature
    // that does not search itself keeps the links that others make to it,
    // so the relation stays symmetric.
    for (myShape* s : d.shapes) s->neighbors.clear();

    const ConflictLinker::Indexes indexes = ConflictLinker::indexesOf(d.shapes);
    const int64_t searchGrow = int64_t(2) * MINDPLDIST;
    auto degenerate = [](const myShape* s) {
        return s->bbox->getWidth() == 0 || s->bbox->getHeight() == 0;
    };
    // Box2BoxDist prints only where a squared gap passes 2^31 (a spacing of
    // 16384 or more); such runs search in one thread so that its lines keep
    // their order.
    const bool quietDistances = int64_t(8) * MINDPLDIST * MINDPLDIST < (int64_t(1) << 31);
    const int threads = quietDistances ? std::max(1, d.threads) : 1;
    const size_t n = d.shapes.size();
    const size_t parts =
        std::min<size_t>(static_cast<size_t>(threads), std::max<size_t>(1, n / 1024));

    // Features in consecutive runs of the list, one run a thread. Each link
    // is made where its pair is met; a pair across two runs is met from
    // both, and each side stores only what its own features hold, working
    // out the other side's rule as well (the search windows are symmetric:
    // each finds the other). With one run this is the plain walk.
    auto walk = [&](size_t part) {
        const size_t from = n * part / parts, to = n * (part + 1) / parts;
        auto mine = [&](const myShape* f) {
            return f->id >= 0 && static_cast<size_t>(f->id) >= from &&
                   static_cast<size_t>(f->id) < to && d.shapes[f->id] == f;
        };
        ConflictLinker linker(indexes, quietDistances ? nullptr : &d.report);
        std::vector<myShape*> found;
        for (size_t k = from; k < to; ++k) {
            myShape* s = d.shapes[k];
            const bool searches = !degenerate(s);
            // A feature that does not search still finds, in the other runs,
            // the features that link to it.
            if (!searches && parts == 1) continue;
            if (searches) linkTouchingBoxes(s);
            const oaBox window = grown(*s->bbox, searchGrow);
            d.wireRTree.search(window, found);
            for (myShape* f : found) {
                if (f->id == s->id) continue;
                const bool local = mine(f);
                if (!searches && local) continue;
                bool linked = false;
                if (searches) linked = linker.link(s, f, true, local);
                if (!local && !degenerate(f)) linked = linker.link(f, s, false, true) || linked;
                if (linked) {
                    s->neighbors.insert(f);
                    if (local) f->neighbors.insert(s);
                }
            }
        }
    };
    chromasect::parallelFor(parts, threads, walk, 1, 1);

    // The sets grew by doubling; they stay as they are from here on.
    chromasect::parallelFor(n, threads, [&](size_t k) {
        myShape* s = d.shapes[k];
        s->neighbors.shrink_to_fit();
        for (myBox* b : s->realBoxes) {
            b->stitchNeighbors.shrink_to_fit();
            b->conflictNeighbors.shrink_to_fit();
        }
    });
}

int GenerateLGCmpID(Design& d, std::vector<myShape*> lg) {
    std::vector<myShape*> active;
    for (myShape* s : lg) {
        s->lgIndex = -1;
        if (!s->needDG) continue;
        s->lgIndex = int(active.size());
        active.push_back(s);
    }
    if (active.empty()) return 0;
    if (active.size() == 1) {
        active[0]->subCompID = 0;
        return 1;
    }
    // A neighbour belongs to this list exactly when its lgIndex points back
    // at it; a stale lgIndex from another list cannot.
    auto member = [&](const myShape* x) {
        return x->lgIndex >= 0 && size_t(x->lgIndex) < active.size() && active[x->lgIndex] == x;
    };
    if (d.simlg <= 0) {
        for (myShape* s : active) s->subCompID = 0;
        return 1;
    }
    Arcs arcs;
    for (myShape* s : active)
        for (myShape* nb : s->neighbors)
            if (member(nb)) arcs.emplace_back(s->lgIndex, nb->lgIndex);
    std::vector<int> component;
    const int count = components(active.size(), arcs, component);
    for (myShape* s : active) s->subCompID = component[s->lgIndex];
    return count;
}
