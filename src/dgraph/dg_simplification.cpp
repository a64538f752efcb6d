// Decomposition graphs are cut at their articulation vertices: each
// biconnected component is coloured on its own, and the copies of an
// articulation vertex are reconciled afterwards through the subDGs record
// (the list of pieces that received a copy) and the shared globalID. A
// vertex of one component only is no copy: the graphs before and after the
// split share it.

#include <algorithm>

#include "dgraph/dgraph.h"

namespace {

int findRoot(std::vector<int>& parent, int v) {
    while (parent[v] != v) v = parent[v] = parent[parent[v]];
    return v;
}

// One graph per part (vertex numbers of `whole`, ascending). A vertex of
// several parts is copied into each; one of a single part goes there
// itself. Each copy's list of graphs ends with its own.
template <class Parts>
void addParts(Design& d, const std::vector<mySuperShape*>& whole, const Parts& parts) {
    std::vector<int> memberships(whole.size(), 0);
    for (const auto& part : parts)
        for (int v : part) ++memberships[v];
    for (const auto& part : parts) {
        const int piece = static_cast<int>(d.dgs.size());
        d.dgs.emplace_back();
        std::vector<mySuperShape*>& out = d.dgs.back();
        out.reserve(part.size());
        for (int v : part) {
            mySuperShape* source = whole[v];
            source->subDGs.push_back(piece);  // before copying
            out.push_back(memberships[v] == 1 ? source : d.superShapePool.make(source));
        }
    }
}

// The copies of a cut vertex are made to agree by turning one side's masks,
// which a side holding a fixed vertex cannot do. A fixed vertex cuts by
// itself, though: it is on its mask in every part. So such a graph splits
// into the connected parts of its free vertices, each with the fixed
// vertices next to it (copied into every part they touch); a fixed vertex
// next to no free one needs no graph.
void splitAtFixed(Design& d, const std::vector<mySuperShape*>& whole) {
    myGraph graph(whole);
    ReportGraphErrors(d, graph);
    const int n = static_cast<int>(whole.size());
    auto fixed = [&whole](int v) { return whole[v]->fixedMask() >= 0; };
    std::vector<int> parent(n);
    for (int v = 0; v < n; ++v) parent[v] = v;
    auto neighbours = [&graph](int v, auto visit) {
        for (int u : graph.m_nodes[v].conflictNeighbors) visit(u);
        for (int u : graph.m_nodes[v].stitchNeighbors) visit(u);
    };
    for (int v = 0; v < n; ++v) {
        if (fixed(v)) continue;
        neighbours(v, [&](int u) {
            if (u != v && !fixed(u)) parent[findRoot(parent, u)] = findRoot(parent, v);
        });
    }
    // Parts in the order of their lowest free vertex, vertices ascending.
    std::vector<int> partOf(n, -1);
    std::vector<std::vector<int> > parts;
    for (int v = 0; v < n; ++v) {
        if (fixed(v)) continue;
        const int root = findRoot(parent, v);
        if (partOf[root] < 0) {
            partOf[root] = static_cast<int>(parts.size());
            parts.emplace_back();
        }
        parts[partOf[root]].push_back(v);
    }
    std::vector<int> mark(n, -1);
    for (size_t p = 0; p < parts.size(); ++p) {
        std::vector<int>& part = parts[p];
        const size_t free = part.size();
        for (size_t k = 0; k < free; ++k)
            neighbours(part[k], [&](int u) {
                if (fixed(u) && mark[u] != static_cast<int>(p)) {
                    mark[u] = static_cast<int>(p);
                    part.push_back(u);
                }
            });
        std::sort(part.begin(), part.end());
    }
    addParts(d, whole, parts);
}

}  // namespace

void GenSimplifiedDG(Design& d) {
    GenTmpDGs(d);
    d.dgGraphs.clear();
    d.dgs.clear();
    // One graph form at a time, dropped once split: together they would
    // hold every pair of the layer twice over.
    for (size_t i = 0; i < d.tmpDGs.size(); ++i) {
        const std::vector<mySuperShape*>& whole = d.tmpDGs[i];
        if (std::any_of(whole.begin(), whole.end(),
                        [](const mySuperShape* v) { return v->fixedMask() >= 0; })) {
            splitAtFixed(d, whole);
            continue;
        }
        myGraph graph(whole);
        ReportGraphErrors(d, graph);
        graph.BiConnectCompute();
        // Only a cut vertex needs copies; every other vertex lies in one
        // component and goes there itself (the copy would equal it, and most
        // vertices of a large layer are such).
        addParts(d, whole, graph.m_components);
    }
}
