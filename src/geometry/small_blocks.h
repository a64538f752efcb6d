#pragma once
// Memory for the millions of short member lists of the records (a few
// pointers each), without the heap's per-block header and rounding: blocks
// of one size class are carved from large chunks and handed back to a free
// list of their class. Each thread keeps its own lists, so a worker takes
// and gives blocks without a lock; a thread that ends passes its lists on.
// The chunks are kept for the life of the process and reused by every run
// in it.

#include <cstddef>

namespace chromasect {
namespace smallblocks {

// Blocks of 8 to kMaxBytes bytes, in steps of kStep; larger ones come from
// the heap.
constexpr size_t kStep = 8;
constexpr size_t kMaxBytes = 128;

// A block of at least `bytes` (1 .. kMaxBytes), aligned for a pointer.
void* take(size_t bytes);
// Gives back a block from take(bytes), with the same bytes.
void give(void* block, size_t bytes);
// Bytes in chunks so far (for tests and memory figures).
size_t reservedBytes();

}  // namespace smallblocks
}  // namespace chromasect
