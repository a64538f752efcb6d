#pragma once
// Program-wide parameters. They are set before the entry point runs; only
// MINDPLDIST is changed afterwards (by "-mindp"). NEEDDG_COLOR and
// SPLIT_COLOR are derived from NUM_COLORS during static initialisation.

extern int MINDPLDIST;     // same-mask spacing in layout units (conflict distance)
extern int NUM_COLORS;     // number of masks: colours 0 .. NUM_COLORS - 1
extern int UNSOLVE_COLOR;  // an uncoloured feature, box or vertex
extern int NEEDDG_COLOR;   // marker: the feature goes through decomposition graphs
extern int SPLIT_COLOR;    // marker: a real box whose pieces took different masks
extern int VDDGND_COLOR;   // mask of power and ground rails
extern float EPE_THRESHOLD;
extern int g_R;  // number of threshold rounds of SDP rounding

// The layout extent, copied from the run after reading.
extern int layout_left;
extern int layout_right;
extern int layout_bottom;
extern int layout_top;

namespace chromasect {
// A colour that is one of the masks (not uncoloured, not a marker).
inline bool isMask(int color) {
    return color >= 0 && color < NUM_COLORS;
}

// Restores every global parameter to its start value (used between runs in
// one process, for instance by tests).
void resetGlobalParameters();
// The number of masks, 2 to kMaxMasks, with the colours derived from it.
constexpr int kMaxMasks = 4;
void setMaskCount(int masks);
}  // namespace chromasect
