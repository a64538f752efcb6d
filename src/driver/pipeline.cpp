// The fixed order of the decomposition stages.

#include "driver/pipeline.h"

#include <cstdio>

#include "base/fatal.h"
#include "coloring/coloring.h"
#include "dgraph/dgraph.h"
#include "layoutgraph/layoutgraph.h"
#include "projection/projection.h"
#include "solvers/csdp.h"
#include "solvers/solvers.h"

bool Decomposition(MPLDesign& d) {
    // The exact engine starts from the SDP engine's colouring.
    if (d.algo == Engine::Sdp || d.algo == Engine::Exact) Csdp::csdpPrepare(d.solverDir);
    RelationshipLGs(d);
    GenerateLGs(d);
    if (d.simlg > 1) LayoutGraphSimplification(d);
    Projection(d);
    GenerateDGs(d);
    d.report.print("STAT | before DG simplification, number of DGs: %zu\n", d.dgs.size());
    if (d.simdg > 0) GenSimplifiedDG(d);
    d.report.print("STAT | after  DG simplification, number of DGs: %zu\n", d.dgs.size());
    // ResolveDGs never fails today; the check is the specified guard.
    if (!ResolveDGs(d))
        chromasect::fatal(chromasect::kExitInternal,
                          "EXIT| In MPLDesign::Decomposition(), ResolveDGs() returns FALSE.");
    Rotations(d);
    AssignLGNonSimplifiedColors(d);
    ColorRemovedRails(d);
    AssignLGSimplifiedColors(d);
    CalculateConflicts(d);
    CalculateStitches(d);
    CountUncoloredSimplified(d);
    WarnCloseRails(d);
    DebugFinalColor(d, 1.0);
    if (d.algo == Engine::Exact || d.reportQuality) PrintEngineQuality(d);
    if (d.algo == Engine::Sdp || d.algo == Engine::Exact) Csdp::csdpClean(d.solverDir);
    // The warnings may have scrolled far away, and the result line below may
    // be worse than the engine gives: said once more, next to it.
    if (d.unansweredGraphs > 0)
        d.report.print(
            "WARNING| %d graph%s had no usable answer from an outside solver (see the "
            "warnings above)\n",
            d.unansweredGraphs, d.unansweredGraphs == 1 ? "" : "s");
    return true;
}
