// Sets aside every feature that can always be coloured once its neighbours
// are: fewer than NUM_COLORS neighbours left when it goes.

#include <cstdio>
#include <list>
#include <set>
#include <stack>
#include <vector>

#include "driver/design.h"
#include "geometry/params.h"

namespace {

void setNeedDG(myShape* s, bool need) {
    s->needDG = need;
    for (myBox* b : s->realBoxes) b->needDG = need;
}

}  // namespace

void Design::LayoutGraphSimplification() {
    IterativeVertexRemoval(lgs);
    std::printf("STAT | after 1st LG simplification, simplified wire# = %zu\n",
                simplifiedShapes.size());
    GenerateLGsPart();
    IterativeVertexRemoval(lgParts);
    std::printf("STAT | after 2nd LG simplification, simplified wire# = %zu\n",
                simplifiedShapes.size());
    lgs = lgParts;
}

void Design::IterativeVertexRemoval(std::vector<std::vector<myShape*> >& lists) {
    simplifyStacks.clear();
    simplifyLists.clear();
    if (lists.empty()) return;
    simplifyStacks.resize(lists.size());
    simplifyLists.resize(lists.size());

    for (size_t j = 0; j < lists.size(); ++j) {
        // Vertex v of the graph is the v-th feature of the list that still
        // takes part; a feature that an earlier band already removed has no
        // vertex, so list positions would be off by one after it.
        std::vector<myShape*> vertexFeature;
        for (myShape* s : lists[j])
            if (s->needDG) vertexFeature.push_back(s);

        myGraph g(lists[j]);
        std::set<int> remaining;
        g.IterativeVertexRemoval(remaining, simplifyStacks[j], simplifyLists[j], NUM_COLORS - 1);

        for (int v : simplifyLists[j]) {
            myShape* f = vertexFeature[v];
            if (!f->needDG) continue;  // listed twice: removed once
            setNeedDG(f, false);
            f->SetMultiColor(UNSOLVE_COLOR);
            simplifiedShapes.push(f->id);
        }
        for (int v : remaining) {
            myShape* f = vertexFeature[v];
            if (!f->needDG) continue;  // its other copy was removed
            setNeedDG(f, true);
            f->SetMultiColor(NEEDDG_COLOR);
        }
    }
}
