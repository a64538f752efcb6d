// Times the projection stage. On real layouts: reads each layout, runs the
// stages before projection, then projection alone, and prints one line per
// layout with the number of pieces made. With "-synthetic N": N rows of
// staggered wire segments, each row conflicting with the rows next to it,
// related directly (no reading, no simplification), to see the stage at
// millions of features.
//
// Built by CMake as bench_projection; run by scripts/bench-projection.sh.

#include "projection/projection.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "base/params.h"
#include "design/design.h"
#include "geometry/boxdist.h"
#include "input/input.h"
#include "layoutgraph/layoutgraph.h"

namespace {

struct Counts {
    size_t split = 0, twice = 0, realBoxes = 0, cutBoxes = 0, pieces = 0;
};

Counts count(const Design& d) {
    Counts c;
    for (const myShape* s : d.shapes) {
        if (s->myBoxes.empty()) continue;
        ++c.split;
        c.pieces += s->myBoxes.size();
        size_t last = 0;
        for (const myBox* r : s->realBoxes) {
            ++c.realBoxes;
            last += r->pieces.size();
            if (r->pieces.size() > 1) ++c.cutBoxes;
        }
        // A feature listed in two bands holds the pieces of both splits.
        if (s->myBoxes.size() > last) ++c.twice;
    }
    return c;
}

double projectTimed(Design& d) {
    auto t0 = std::chrono::steady_clock::now();
    Projection(d);
    auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

void report(const std::string& name, const Design& d, double seconds) {
    Counts c = count(d);
    std::fflush(stdout);
    std::fprintf(stderr,
                 "BENCH | %s: features %zu, split %zu (twice %zu), their real boxes %zu "
                 "(cut %zu), pieces %zu, projection %.3f s\n",
                 name.c_str(), d.shapes.size(), c.split, c.twice, c.realBoxes, c.cutBoxes, c.pieces,
                 seconds);
}

// Rows 100 apart of 40-high segments: rows next to each other are 60 apart
// and conflict. Even rows hold long segments (2000, gaps of 200), odd rows
// short ones (200, one every 1000), so the long ones are cut in the gaps
// between the short ones above and below them.
void synthetic(int rows) {
    MPLDesign d;
    const int width = rows * 1000;
    layout_left = layout_bottom = 0;
    layout_right = width;
    layout_top = rows * 100;
    std::vector<std::vector<myShape*> > grid(rows);
    for (int r = 0; r < rows; ++r) {
        const bool longRow = r % 2 == 0;
        const int length = longRow ? 2000 : 200;
        const int pitch = longRow ? 2200 : 1000;
        for (int x = longRow ? 0 : 100; x + length <= width; x += pitch) {
            int y = r * 100;
            std::vector<oaBox> rect = {oaBox(x, y, x + length, y + 40)};
            myShape* s = d.shapePool.make(x, y, x + length, y + 40);
            s->SetRealBoxes(rect);
            s->id = int(d.shapes.size());
            d.shapes.push_back(s);
            grid[r].push_back(s);
        }
    }
    const int limit = MINDPLDIST * MINDPLDIST;
    for (int r = 0; r + 1 < rows; ++r) {
        size_t first = 0;
        for (myShape* a : grid[r]) {
            while (first < grid[r + 1].size() &&
                   grid[r + 1][first]->bbox->right() + MINDPLDIST < a->bbox->left())
                ++first;
            for (size_t k = first; k < grid[r + 1].size(); ++k) {
                myShape* b = grid[r + 1][k];
                if (b->bbox->left() > a->bbox->right() + MINDPLDIST) break;
                myBox* ra = a->realBoxes[0];
                myBox* rb = b->realBoxes[0];
                if (Box2BoxDist(ra->box, rb->box, 1) > limit) continue;
                ra->conflictNeighbors.insert(rb);
                rb->conflictNeighbors.insert(ra);
                a->neighbors.insert(b);
                b->neighbors.insert(a);
            }
        }
    }
    // Bands of 64 rows, as rails would cut a real layout.
    for (int r = 0; r < rows; r += 64) {
        d.lgs.emplace_back();
        for (int q = r; q < std::min(rows, r + 64); ++q)
            d.lgs.back().insert(d.lgs.back().end(), grid[q].begin(), grid[q].end());
    }
    report("synthetic " + std::to_string(rows) + " rows", d, projectTimed(d));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s layout.ascii... | -synthetic N\n", argv[0]);
        return 1;
    }
    if (std::string(argv[1]) == "-synthetic" && argc > 2) {
        synthetic(std::stoi(argv[2]));
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        auto d = std::make_unique<MPLDesign>();
        d->inputFile = argv[i];
        d->layer = 1;
        try {
            ReadAll(*d);
            RelationshipLGs(*d);
            GenerateLGs(*d);
            if (d->simlg > 1) LayoutGraphSimplification(*d);
            report(argv[i], *d, projectTimed(*d));
        } catch (const chromasect::FatalError& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "BENCH | %s: %s\n", argv[i], e.what());
        }
    }
    return 0;
}
