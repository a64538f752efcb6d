// The fixed order of the decomposition stages.

#include "driver/pipeline.h"

#include <cstdio>
#include <string>

#include "base/fatal.h"
#include "coloring/coloring.h"
#include "dgraph/dgraph.h"
#include "layoutgraph/layoutgraph.h"
#include "projection/projection.h"
#include "solvers/solvers.h"

bool Decomposition(MPLDesign& d, chromasect::StageClock* clock, JobFarm* farm) {
    auto stage = [clock](const char* name, const std::string& made) {
        if (clock) clock->stage(name, made);
    };
    auto start = [clock](const char* name) {
        if (clock) clock->start(name);
    };
    auto count = [](long long n, const char* what) { return std::to_string(n) + " " + what; };
    chromasect::RunStats& stats = d.stats;
    // Found missing before hours of work: an engine's outside tools.
    if (d.algo != Engine::None) MakeEngine(d, d.algo)->prepare(d.solverDir);
    start("layout graphs");
    RelationshipLGs(d);
    // Only the local density balance looks features up again.
    if (d.densityBalance != Balance::Local) d.wireRTree.RemoveAll();
    GenerateLGs(d);
    stats.components = d.lgNum;
    for (const myShape* s : d.shapes)
        if (s->GetAreas() <= 0) --stats.components;
    stage("layout graphs", count(stats.components, "components"));
    start("simplification");
    SetAsideSettledFixed(d);
    if (d.simlg > 1) LayoutGraphSimplification(d);
    stats.setAside = static_cast<int>(d.simplifiedShapes.size());
    stage("simplification", count(stats.setAside, "features set aside"));
    start("projection");
    Projection(d);
    stats.pieces = 0;
    for (const myShape* s : d.shapes) stats.pieces += static_cast<int>(s->myBoxes.size());
    stage("projection", count(stats.pieces, "pieces"));
    start("decomposition graphs");
    GenerateDGs(d);
    stats.graphsBeforeSplit = static_cast<int>(d.dgs.size());
    d.report.print("STAT | before DG simplification, number of DGs: %zu\n", d.dgs.size());
    if (d.simdg > 0) GenSimplifiedDG(d);
    stats.graphsAfterSplit = static_cast<int>(d.dgs.size());
    d.report.print("STAT | after  DG simplification, number of DGs: %zu\n", d.dgs.size());
    stage("decomposition graphs", count(stats.graphsAfterSplit, "graphs"));
    start("colouring");
    // ResolveDGs never fails today; the check guards a future failure.
    if (!ResolveDGs(d, farm))
        chromasect::fatal(chromasect::kExitInternal,
                          "EXIT| In MPLDesign::Decomposition(), ResolveDGs() returns FALSE.");
    Rotations(d);
    stage("colouring", count(stats.fastTrialGraphs, "graphs by the fast trial, ") +
                           count(d.engineGraphs, "by an engine"));
    start("back-annotation");
    AssignLGNonSimplifiedColors(d);
    ColorRemovedRails(d);
    AssignLGSimplifiedColors(d);
    stage("back-annotation", "");
    start("counting");
    CalculateConflicts(d);
    CalculateStitches(d);
    CountUncoloredSimplified(d);
    WarnCloseRails(d);
    DebugFinalColor(d, 1.0);
    if (d.algo == Engine::Exact || d.reportQuality) PrintEngineQuality(d);
    // The warnings may have scrolled far away, and the result line below may
    // be worse than the engine gives: said once more, next to it.
    if (d.unansweredGraphs > 0)
        d.report.print(
            "WARNING| %d graph%s had no usable answer from an outside solver (see the "
            "warnings above)\n",
            d.unansweredGraphs, d.unansweredGraphs == 1 ? "" : "s");
    return true;
}
