// Decomposition graphs are cut at their articulation vertices: each
// biconnected component is coloured on its own, and the copies of an
// articulation vertex are reconciled afterwards through the subDGs record
// (the list of pieces that received a copy) and the shared globalID.

#include <algorithm>

#include "dgraph/dgraph.h"

void GenSimplifiedDG(Design& d) {
    GenTmpDGs(d);
    d.dgGraphs.clear();
    d.dgs.clear();
    // One graph form at a time, dropped once split: together they would
    // hold every pair of the layer twice over.
    for (size_t i = 0; i < d.tmpDGs.size(); ++i) {
        // The copies of a cut vertex are made to agree by turning one side's
        // masks, which a side holding a fixed vertex cannot do: such a graph
        // is coloured whole.
        if (std::any_of(d.tmpDGs[i].begin(), d.tmpDGs[i].end(),
                        [](const mySuperShape* v) { return v->fixedMask() >= 0; })) {
            const int piece = static_cast<int>(d.dgs.size());
            d.dgs.emplace_back();
            for (mySuperShape* source : d.tmpDGs[i]) {
                source->subDGs.push_back(piece);
                d.dgs.back().push_back(d.superShapePool.make(source));
            }
            continue;
        }
        myGraph graph(d.tmpDGs[i]);
        ReportGraphErrors(d, graph);
        graph.BiConnectCompute();
        for (const std::set<int>& component : graph.m_components) {
            const int piece = static_cast<int>(d.dgs.size());
            d.dgs.emplace_back();
            std::vector<mySuperShape*>& out = d.dgs.back();
            out.reserve(component.size());
            for (int v : component) {
                mySuperShape* source = d.tmpDGs[i][v];
                // Appended before copying: each copy's list ends with its own piece.
                source->subDGs.push_back(piece);
                out.push_back(d.superShapePool.make(source));
            }
        }
    }
}
