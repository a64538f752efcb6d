// Colouring of the features that layout-graph simplification set aside, with
// optional balance of the area carried by each mask.

#include <algorithm>
#include <cstdio>
#include <stack>
#include <utility>
#include <vector>

#include "base/params.h"
#include "coloring/coloring.h"
#include "geometry/boxdist.h"
#include "solvers/solvers.h"

namespace {

bool isForbidden(const std::vector<bool>& flags, int c) {
    return c >= 0 && c < static_cast<int>(flags.size()) && flags[c];
}

double boxArea(const myBox* b) {
    return (double(b->box->right()) - b->box->left()) * (double(b->box->top()) - b->box->bottom());
}

// Masks that the already coloured neighbours of a removed feature hold. A
// neighbour real box that carries a marker (cut into pieces of several
// masks, or not coloured as a whole) forbids the masks of those of its
// pieces that lie within conflict distance of the feature's real box.
std::vector<bool> forbiddenColors(const myShape* f, chromasect::Reporter& report) {
    std::vector<bool> forbidden(NUM_COLORS, false);
    const long long reach = static_cast<long long>(MINDPLDIST) * MINDPLDIST;
    for (const myBox* r : f->realBoxes) {
        for (const myBox* n : r->conflictNeighbors) {
            if (chromasect::isMask(n->color)) {
                forbidden[n->color] = true;
            } else if (n->color == NUM_COLORS || n->color == SPLIT_COLOR) {
                for (const myBox* p : n->pieces)
                    if (chromasect::isMask(p->color) &&
                        Box2BoxDist(r->box, p->box, 1, &report) <= reach)
                        forbidden[p->color] = true;
            }
        }
    }
    return forbidden;
}

}  // namespace

void AssignLGSimplifiedColors(MPLDesign& d) {
    std::stack<int> order = d.simplifiedShapes;
    std::vector<double> density(NUM_COLORS, 0.0);
    GetWireDensity(d, density);
    if (d.densityBalance == Balance::Local)
        d.report.print("STAT | Density Value in DG = %g\n", GetDensityValue(density));

    // Last removed first: each feature had fewer than NUM_COLORS neighbours
    // left when it was removed, so a free mask normally remains.
    for (; !order.empty(); order.pop()) {
        const int id = order.top();
        if (id < 0 || id >= static_cast<int>(d.shapes.size())) continue;
        myShape* f = d.shapes[id];
        if (f->needDG || f->isVDDGND) continue;

        const std::vector<bool> forbidden = forbiddenColors(f, d.report);
        if (std::all_of(forbidden.begin(), forbidden.end(), [](bool b) { return b; })) {
            f->SetMultiColor(NUM_COLORS);
            continue;
        }
        int c;
        if (d.densityBalance == Balance::Global) {
            c = GetMyShapeColor_GlobalBalance(f, forbidden, density);
        } else if (d.densityBalance == Balance::Local) {
            c = GetMyShapeColor_LocalBalance(d, f, forbidden);
            if (c >= NUM_COLORS) c = GetMyShapeColor_GlobalBalance(f, forbidden, density);
        } else {
            c = static_cast<int>(std::find(forbidden.begin(), forbidden.end(), false) -
                                 forbidden.begin());
        }
        f->SetMultiColor(c);
        if (chromasect::isMask(c)) density[c] += f->GetAreas();
    }

    if (d.densityBalance == Balance::Local) {
        d.report.print("STAT | Density Value after AssignLGSimplifiedColors()  = %g\n",
                       GetDensityValue(density));
        GetWireDensity(d, density);
        d.report.print("STAT | Density Value after AssignLGSimplifiedColors()  = %g\n",
                       GetDensityValue(density));
    }
}

// Area on each mask: a coloured feature adds its whole area, an uncoloured
// one the area of its coloured pieces.
void GetWireDensity(MPLDesign& d, std::vector<double>& density) {
    if (density.size() < static_cast<size_t>(NUM_COLORS)) density.resize(NUM_COLORS);
    std::fill(density.begin(), density.begin() + NUM_COLORS, 0.0);
    for (const myShape* s : d.shapes) {
        if (chromasect::isMask(s->color)) {
            density[s->color] += s->GetAreas();
            continue;
        }
        for (const myBox* b : s->myBoxes)
            if (chromasect::isMask(b->color)) density[b->color] += boxArea(b);
    }
}

// Largest density over smallest: 1 is perfect balance, infinite when a mask
// carries nothing.
double GetDensityValue(const std::vector<double>& density) {
    if (density.empty()) return 0.0;
    std::vector<double> sorted(density);
    std::sort(sorted.begin(), sorted.end());
    return sorted.back() / sorted.front();
}

// The free mask with the least area so far (lowest mask on a tie).
int GetMyShapeColor_GlobalBalance(myShape*, const std::vector<bool>& forbidden,
                                  std::vector<double>& density) {
    std::vector<std::pair<double, int> > byDensity;
    for (size_t c = 0; c < density.size() && c < static_cast<size_t>(NUM_COLORS); ++c)
        byDensity.emplace_back(density[c], static_cast<int>(c));
    std::sort(byDensity.begin(), byDensity.end());
    for (const std::pair<double, int>& p : byDensity)
        if (!isForbidden(forbidden, p.second)) return p.second;
    return NUM_COLORS;
}

// Scores each mask by the distance to the nearest piece of that mask around
// the feature and keeps only masks that are close enough to matter. Since
// myShape::GetDistance never reports a small distance, no mask qualifies and
// the caller falls back to global balance.
int GetMyShapeColor_LocalBalance(MPLDesign& d, myShape* shape, const std::vector<bool>& forbidden) {
    const int grow = static_cast<int>(MINDPLDIST * EPE_THRESHOLD);
    const oaBox area(shape->bbox->left() - grow, shape->bbox->bottom() - grow,
                     shape->bbox->right() + grow, shape->bbox->top() + grow);
    std::vector<double> value(NUM_COLORS, MINDPLDIST * 100.0);
    for (myShape* near : *d.wireRTree.searchoaBox(&area)) {
        for (myBox* p : near->myBoxes) {
            if (!chromasect::isMask(p->color)) continue;
            const double d = shape->GetDistance(p);
            if (d > value[p->color]) value[p->color] = d;
        }
    }
    std::vector<std::pair<double, int> > candidates;
    for (int c = 0; c < NUM_COLORS; ++c)
        if (value[c] <= MINDPLDIST * 98.0) candidates.emplace_back(value[c], c);
    std::sort(candidates.begin(), candidates.end());
    for (const std::pair<double, int>& p : candidates)
        if (!isForbidden(forbidden, p.second) && p.first != 0.0) return p.second;
    return NUM_COLORS;
}
