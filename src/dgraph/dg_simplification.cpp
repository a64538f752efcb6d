// Decomposition graphs are cut at their articulation vertices: each
// biconnected component is coloured on its own, and the copies of an
// articulation vertex are reconciled afterwards through the subDGs record
// (the list of pieces that received a copy) and the shared globalID.

#include "driver/design.h"

void Design::GenSimplifiedDG() {
    GenTmpDGs();
    GenerateDGs_myGraph();
    for (myGraph& g : dgGraphs) g.BiConnectCompute();

    dgs.clear();
    for (size_t i = 0; i < tmpDGs.size(); ++i) {
        for (const std::set<int>& component : dgGraphs[i].m_components) {
            const int piece = static_cast<int>(dgs.size());
            dgs.emplace_back();
            std::vector<mySuperShape*>& out = dgs.back();
            out.reserve(component.size());
            for (int v : component) {
                mySuperShape* source = tmpDGs[i][v];
                // Appended before copying: each copy's list ends with its own piece.
                source->subDGs.push_back(piece);
                out.push_back(superShapePool.make(source));
            }
        }
    }
}
