#include "geometry/small_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace chromasect;

struct Held {
    unsigned char* block;
    size_t bytes;
    unsigned char mark;
};

// Blocks of every size, taken and given in a random order on several
// threads at once, some given back on a thread other than the one that took
// them, some outliving their thread: no two blocks handed out overlap, and
// none changes while it is held.
TEST(SmallBlocks, BlocksHeldAtOnceNeverShareBytes) {
    const int kThreads = 4;
    std::vector<std::vector<Held> > left(kThreads);
    auto work = [&](int t) {
        std::mt19937 rng(t + 1);
        std::vector<Held> held;
        for (int step = 0; step < 60000; ++step) {
            if (!held.empty() && rng() % 5 < 2) {
                const size_t i = rng() % held.size();
                const Held h = held[i];
                for (size_t k = 0; k < h.bytes; ++k) ASSERT_EQ(h.block[k], h.mark);
                smallblocks::give(h.block, h.bytes);
                held[i] = held.back();
                held.pop_back();
            } else {
                const size_t bytes = 1 + rng() % smallblocks::kMaxBytes;
                const unsigned char mark = static_cast<unsigned char>(rng());
                unsigned char* b = static_cast<unsigned char*>(smallblocks::take(bytes));
                ASSERT_EQ(reinterpret_cast<uintptr_t>(b) % alignof(void*), 0u);
                std::memset(b, mark, bytes);
                held.push_back({b, bytes, mark});
            }
        }
        left[t] = held;
    };
    for (int round = 0; round < 2; ++round) {
        std::vector<std::thread> pool;
        for (int t = 0; t < kThreads; ++t) pool.emplace_back(work, t);
        for (std::thread& th : pool) th.join();
        std::vector<std::pair<uintptr_t, uintptr_t> > spans;
        for (const std::vector<Held>& hs : left)
            for (const Held& h : hs) {
                for (size_t k = 0; k < h.bytes; ++k) ASSERT_EQ(h.block[k], h.mark);
                spans.emplace_back(reinterpret_cast<uintptr_t>(h.block),
                                   reinterpret_cast<uintptr_t>(h.block) + h.bytes);
            }
        std::sort(spans.begin(), spans.end());
        for (size_t i = 1; i < spans.size(); ++i) ASSERT_LE(spans[i - 1].second, spans[i].first);
        // What the ended threads held is given back on yet another thread,
        // which ends too; the next round takes it again.
        std::thread([&] {
            for (std::vector<Held>& hs : left) {
                for (const Held& h : hs) smallblocks::give(h.block, h.bytes);
                hs.clear();
            }
        }).join();
    }
    // What a thread gave back before it ended serves the next thread: the
    // same blocks again take no new memory.
    auto takeAndGive = [] {
        std::vector<void*> blocks;
        for (int i = 0; i < 40000; ++i) blocks.push_back(smallblocks::take(40));
        for (void* b : blocks) smallblocks::give(b, 40);
    };
    std::thread(takeAndGive).join();
    const size_t reserved = smallblocks::reservedBytes();
    std::thread(takeAndGive).join();
    EXPECT_EQ(smallblocks::reservedBytes(), reserved);
}

}  // namespace
