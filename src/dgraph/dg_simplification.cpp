// Decomposition graphs are cut at their articulation vertices: each
// biconnected component is coloured on its own, and the copies of an
// articulation vertex are reconciled afterwards through the subDGs record
// (the list of pieces that received a copy) and the shared globalID.

#include "dgraph/dgraph.h"

void GenSimplifiedDG(Design& d) {
    GenTmpDGs(d);
    GenerateDGs_myGraph(d);
    for (myGraph& g : d.dgGraphs) g.BiConnectCompute();

    d.dgs.clear();
    for (size_t i = 0; i < d.tmpDGs.size(); ++i) {
        for (const std::set<int>& component : d.dgGraphs[i].m_components) {
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
