#pragma once
// The blocks of a layout. A chip places many blocks side by side with
// channels between them; what holds for one block (its power rails span it)
// must hold for each block, whatever else the layout holds.

#include <cstdint>
#include <vector>

#include "geometry/oa.h"

namespace chromasect {

struct LayoutBlocks {
    std::vector<int> blockOf;   // per box, its block
    std::vector<oaBox> extent;  // per block, the bounding box of its region
};

// Parts of this many boxes or fewer are never blocks of their own.
constexpr size_t kMinBlockBoxes = 16;

// Cuts along empty strips. Block 0 is the whole input. A region is cut
// across every vertical strip at least `gap` wide (and wider than 0) that no
// box enters, or else across every such horizontal strip. Each large part
// (more than kMinBlockBoxes boxes and at least a quarter as many as the
// largest part) is a new block, with the bounding box of its boxes as its
// extent; the small parts (a stray shape, a marker beside a block) stay in
// the block of the region they were cut from. Every part is cut again the
// same way. So N x M copies of a block set apart are N x M blocks, each
// with the block's own extent, and a block beside a few stray shapes keeps
// its own extent too.
// Boxes that touch or overlap are never parted. Cutting stops at a depth of
// `maxDepth` levels, so the work stays n log n times that depth.
LayoutBlocks layoutBlocks(const std::vector<oaBox>& boxes, int64_t gap, int maxDepth = 64);

}  // namespace chromasect
