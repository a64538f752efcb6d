// The fixed order of the decomposition stages and the final counting.

#include <cstdio>

#include "driver/design.h"
#include "geometry/fatal.h"
#include "geometry/params.h"
#include "solvers/csdp.h"

namespace {
bool validColor(int c) { return c >= 0 && c < NUM_COLORS; }
}  // namespace

bool MPLDesign::Decomposition() {
    // The exact engine starts from the SDP engine's colouring.
    if (algo == 1 || algo == 2) Csdp::csdpPrepare();
    RelationshipLGs();
    GenerateLGs();
    if (simlg > 1) LayoutGraphSimplification();
    Projection();
    GenerateDGs();
    std::printf("STAT | before DG simplification, number of DGs: %zu\n", dgs.size());
    if (simdg > 0 && algo >= 0) GenSimplifiedDG();
    std::printf("STAT | after  DG simplification, number of DGs: %zu\n", dgs.size());
    if (!ResolveDGs())
        chromasect::fatal(chromasect::kExitInternal,
                          "EXIT| In MPLDesign::Decomposition(), ResolveDGs() returns FALSE.");
    AssignLGNonSimplifiedColors();
    ColorRemovedRails();
    AssignLGSimplifiedColors();
    CalculateConflicts();
    CalculateStitches();
    CountUncoloredSimplified();
    DebugFinalColor(1.0);
    if (algo == 2 || reportQuality) PrintEngineQuality();
    if (algo == 1 || algo == 2) Csdp::csdpClean();
    return true;
}

// Rails that simplification removed take the rail mask, pieces included.
void MPLDesign::ColorRemovedRails() {
    for (myShape* s : shapes) {
        if (!s->isVDDGND || s->needDG) continue;
        s->SetMultiColor(VDDGND_COLOR);
        for (myBox* b : s->myBoxes) b->color = VDDGND_COLOR;
    }
}

void Design::CalculateConflicts() {
    conflicts.clear();
    for (size_t i = 0; i < lgs.size(); ++i) CalculateConflicts(static_cast<int>(i));
}

// A feature adds at most one conflict: the pair of its last piece that has a
// same-coloured neighbour of higher boxIndex.
void Design::CalculateConflicts(int i) {
    for (myShape* s : lgs[i]) {
        bool found = false;
        std::pair<myBox*, myBox*> pair(nullptr, nullptr);
        for (myBox* b : s->myBoxes) {
            if (!validColor(b->color)) continue;
            for (myBox* n : b->conflictNeighbors) {
                if (b->boxIndex < n->boxIndex && validColor(n->color) && n->color == b->color) {
                    pair = std::make_pair(b, n);
                    found = true;
                    break;
                }
            }
        }
        if (found) conflicts.push_back(pair);
    }
}

// Each piece adds at most one stitch: its first touching piece of higher
// boxIndex with another mask.
void Design::CalculateStitches() {
    stitches.clear();
    for (const std::vector<myShape*>& lg : lgs) {
        for (myShape* s : lg) {
            for (myBox* b : s->myBoxes) {
                if (!validColor(b->color)) continue;
                for (myBox* n : b->stitchNeighbors) {
                    if (validColor(n->color) && b->boxIndex < n->boxIndex && n->color != b->color) {
                        stitches.push_back(std::make_pair(b, n));
                        break;
                    }
                }
            }
        }
    }
}

// Removed features left without a mask count as a stitch when large, as a
// conflict when small.
void Design::CountUncoloredSimplified() {
    for (myShape* s : shapes) {
        if (s->needDG || validColor(s->color)) continue;
        if (s->bbox->getWidth() > MINDPLDIST || s->bbox->getHeight() > MINDPLDIST)
            ++largeUncolored;
        else
            ++smallUncolored;
    }
}

void Design::ResultStat() {
    std::printf("\nSTAT | Final Stitch Num: %d, Conflict Num: %d\n",
                static_cast<int>(stitches.size()) + largeUncolored,
                static_cast<int>(conflicts.size()) + smallUncolored);
}

void Design::DebugFinalColor(double) {}
