// Sets aside every feature that can always be coloured once its neighbours
// are: fewer than NUM_COLORS neighbours left when it goes. A feature whose
// mask is fixed never goes that way, since it cannot follow its neighbours.

#include <algorithm>
#include <cstdio>
#include <list>
#include <set>
#include <stack>
#include <vector>

#include "base/params.h"
#include "layoutgraph/layoutgraph.h"

namespace {

void setNeedDG(myShape* s, bool need) {
    s->needDG = need;
    for (myBox* b : s->realBoxes) b->needDG = need;
}

}  // namespace

void SetAsideSettledFixed(Design& d) {
    for (myShape* s : d.shapes) {
        if (s->fixedMask < 0 || !s->needDG) continue;
        if (!std::all_of(s->neighbors.begin(), s->neighbors.end(),
                         [](const myShape* n) { return n->fixedMask >= 0; }))
            continue;
        setNeedDG(s, false);
        s->SetMultiColor(s->fixedMask);
    }
}

void LayoutGraphSimplification(Design& d) {
    IterativeVertexRemoval(d, d.lgs);
    d.report.print("STAT | after 1st LG simplification, simplified wire# = %zu\n",
                   d.simplifiedShapes.size());
    GenerateLGsPart(d);
    IterativeVertexRemoval(d, d.lgParts);
    d.report.print("STAT | after 2nd LG simplification, simplified wire# = %zu\n",
                   d.simplifiedShapes.size());
    d.lgs = d.lgParts;
}

void IterativeVertexRemoval(Design& d, std::vector<std::vector<myShape*> >& lists) {
    d.simplifyStacks.clear();
    d.simplifyLists.clear();
    if (lists.empty()) return;
    d.simplifyStacks.resize(lists.size());
    d.simplifyLists.resize(lists.size());

    for (size_t j = 0; j < lists.size(); ++j) {
        // Vertex v of the graph is the v-th feature of the list that still
        // takes part; a feature that an earlier band already removed has no
        // vertex, so list positions would be off by one after it.
        std::vector<myShape*> vertexFeature;
        for (myShape* s : lists[j])
            if (s->needDG) vertexFeature.push_back(s);

        myGraph g(lists[j]);
        ReportGraphErrors(d, g);
        // A fixed feature cannot take whatever mask its neighbours leave.
        g.m_pinned.resize(vertexFeature.size());
        for (size_t v = 0; v < vertexFeature.size(); ++v)
            g.m_pinned[v] = vertexFeature[v]->fixedMask >= 0;
        std::set<int> remaining;
        g.IterativeVertexRemoval(remaining, d.simplifyStacks[j], d.simplifyLists[j],
                                 NUM_COLORS - 1);

        for (int v : d.simplifyLists[j]) {
            myShape* f = vertexFeature[v];
            if (!f->needDG) continue;  // listed twice: removed once
            setNeedDG(f, false);
            f->SetMultiColor(UNSOLVE_COLOR);
            d.simplifiedShapes.push(f->id);
        }
        for (int v : remaining) {
            myShape* f = vertexFeature[v];
            if (!f->needDG) continue;  // its other copy was removed
            setNeedDG(f, true);
            f->SetMultiColor(NEEDDG_COLOR);
        }
    }
}
