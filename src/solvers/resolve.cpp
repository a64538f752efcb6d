// Colouring of every decomposition graph: a random mask for a lone vertex,
// the fast simplify-and-select trial where it succeeds, an engine otherwise.

#include <cstdio>
#include <cstdlib>
#include <list>
#include <set>
#include <stack>
#include <vector>

#include "driver/design.h"
#include "geometry/params.h"

bool MPLDesign::ResolveDGs() {
    int calls = 0;
    const int n = static_cast<int>(dgs.size());
    for (int i = 0; i < n; ++i) {
        if (!quiet && i % 10 == 0) {
            // Single precision on purpose: the printed digits are fixed by it.
            const float percent = static_cast<float>(i) / static_cast<float>(n) * 100.0f;
            std::printf("STAT | Color Assignment Process: %.2f%%\t\r",
                        static_cast<double>(percent));
        }
        const std::vector<mySuperShape*>& dg = dgs[i];
        initConflictSet(dg);
        initStitchSet(dg);
        if (dg.size() >= 2) {
            if (simdg > 1 && FastColorAssignmentTrial(dg)) continue;
            ++calls;
            if (algo == 0)
                GroupILP(dg);
            else if (algo == 1)
                GroupSDP(dg);
            else if (algo == 2)
                GroupExact(dg);
            if (algo >= 0 && algo <= 2) {
                ++engineGraphs;
                // The exact engine keeps its own tally of start and result.
                if (algo != 2) engineCost += GraphCost(dg);
            }
        } else if (dg.size() == 1) {
            // rand() is never seeded, so runs repeat exactly.
            dg[0]->SetMultiColorTmp(std::rand() % NUM_COLORS);
        }
    }
    std::printf("STAT | Color Assignment Process: 100.0%%\t\n");
    std::printf("STAT | Solver Calling time: %d\n", calls);
    if (algo == 0) {
        std::fflush(stdout);
        // The ILP engine leaves its problem file between graphs.
        int rc = std::system("rm -rf ILP.lp");
        (void)rc;
    }
    Rotations();
    return true;
}

// Simplify and select: vertices of low degree are removed onto a stack and
// coloured back in reverse order, each avoiding its coloured conflict
// neighbours and following its coloured stitch neighbour. Success means the
// graph has neither a conflict nor a stitch, which no engine could better.
bool MPLDesign::FastColorAssignmentTrial(const std::vector<mySuperShape*>& dg) {
    myGraph graph(static_cast<int>(dg.size()));
    for (const std::pair<int, int>& p : conflictSet) graph.AddConflictEdge(p.first, p.second);
    for (const std::pair<int, int>& p : stitchSet) graph.AddStitchEdge(p.first, p.second);

    std::set<int> remaining;
    std::stack<int> removed;
    std::list<int> removedList;
    graph.IterativeVertexRemovalDG(remaining, removed, removedList);
    if (!remaining.empty()) return false;

    std::vector<bool> conflictColors(NUM_COLORS);
    std::vector<bool> stitchColors(NUM_COLORS);
    auto flagNeighbours = [&dg](const std::set<std::pair<int, int> >& pairs, int v,
                                std::vector<bool>& flags) {
        flags.assign(flags.size(), false);
        for (const std::pair<int, int>& p : pairs) {
            int u;
            if (p.first == v)
                u = p.second;
            else if (p.second == v)
                u = p.first;
            else
                continue;
            const int c = dg[u]->colorTmp;
            if (c >= 0 && c < static_cast<int>(flags.size())) flags[c] = true;
        }
    };
    while (!removed.empty()) {
        const int v = removed.top();
        removed.pop();
        flagNeighbours(conflictSet, v, conflictColors);
        flagNeighbours(stitchSet, v, stitchColors);
        const int c = AssignLegalColor(conflictColors, stitchColors);
        if (c < 0) return false;
        dg[v]->SetMultiColorTmp(c);
    }
    return true;
}
