#include "base/params.h"

int MINDPLDIST = 120;
int NUM_COLORS = 3;
int UNSOLVE_COLOR = -1;
// Defined after NUM_COLORS in this unit, so the dynamic initialisation sees it.
int NEEDDG_COLOR = NUM_COLORS;
int SPLIT_COLOR = NUM_COLORS + 1;
int VDDGND_COLOR = 0;
float EPE_THRESHOLD = 1.5f;
int g_R = 3;

int layout_left = 0;
int layout_right = 0;
int layout_bottom = 0;
int layout_top = 0;

namespace chromasect {
void resetGlobalParameters() {
    MINDPLDIST = 120;
    NUM_COLORS = 3;
    UNSOLVE_COLOR = -1;
    NEEDDG_COLOR = NUM_COLORS;
    SPLIT_COLOR = NUM_COLORS + 1;
    VDDGND_COLOR = 0;
    EPE_THRESHOLD = 1.5f;
    g_R = 3;
    layout_left = layout_right = layout_bottom = layout_top = 0;
}

void setMaskCount(int masks) {
    NUM_COLORS = masks;
    NEEDDG_COLOR = NUM_COLORS;
    SPLIT_COLOR = NUM_COLORS + 1;
}
}  // namespace chromasect
