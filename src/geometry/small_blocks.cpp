#include "geometry/small_blocks.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CHROMASECT_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CHROMASECT_ASAN 1
#endif

#ifdef CHROMASECT_ASAN
#include <sanitizer/asan_interface.h>
// A block is readable only while handed out, so the sanitizer still sees a
// use after give() (the free-list link stays readable).
#define POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define POISON(p, n) ((void)(p), (void)(n))
#define UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace chromasect {
namespace smallblocks {
namespace {

constexpr size_t kClasses = kMaxBytes / kStep;
constexpr size_t kChunkBytes = size_t(1) << 20;

struct Node {
    Node* next;
};

size_t classOf(size_t bytes) {
    return (bytes + kStep - 1) / kStep - 1;
}
size_t bytesOf(size_t c) {
    return (c + 1) * kStep;
}

// What ended threads left, and the chunks. Never destroyed: a thread may end
// while statics are being torn down.
struct Shared {
    std::mutex lock;
    std::vector<char*> chunks;
    std::vector<Node*> lists[kClasses];            // free lists, each whole
    std::atomic<bool> listed[kClasses] = {};       // lists[c] not empty
    std::vector<std::pair<char*, char*> > unused;  // uncarved ends of chunks
};
Shared& shared() {
    static Shared* s = new Shared;
    return *s;
}

struct Local {
    Node* free[kClasses] = {};
    char* next = nullptr;  // uncarved part of this thread's chunk
    char* end = nullptr;
    ~Local() {
        Shared& s = shared();
        std::lock_guard<std::mutex> hold(s.lock);
        for (size_t c = 0; c < kClasses; ++c)
            if (free[c]) {
                s.lists[c].push_back(free[c]);
                s.listed[c].store(true, std::memory_order_relaxed);
            }
        if (next != end) s.unused.emplace_back(next, end);
    }
};
thread_local Local local;

void* carve(Local& l, size_t size) {
    void* block = l.next;
    l.next += size;
    UNPOISON(block, size);
    return block;
}

void* takeSlow(Local& l, size_t c) {
    const size_t size = bytesOf(c);
    Shared& s = shared();
    std::lock_guard<std::mutex> hold(s.lock);
    if (!s.lists[c].empty()) {
        Node* n = s.lists[c].back();
        s.lists[c].pop_back();
        s.listed[c].store(!s.lists[c].empty(), std::memory_order_relaxed);
        UNPOISON(n, size);
        l.free[c] = n->next;
        return n;
    }
    while (!s.unused.empty()) {
        const std::pair<char*, char*> part = s.unused.back();
        s.unused.pop_back();
        if (static_cast<size_t>(part.second - part.first) >= size) {
            l.next = part.first;
            l.end = part.second;
            return carve(l, size);
        }
    }
    char* chunk = static_cast<char*>(::operator new(kChunkBytes));
    s.chunks.push_back(chunk);
    POISON(chunk, kChunkBytes);
    l.next = chunk;
    l.end = chunk + kChunkBytes;
    return carve(l, size);
}

}  // namespace

void* take(size_t bytes) {
    const size_t c = classOf(bytes);
    Local& l = local;
    if (Node* n = l.free[c]) {
        UNPOISON(n, bytesOf(c));
        l.free[c] = n->next;
        return n;
    }
    // What ended threads gave back goes before new memory.
    if (!shared().listed[c].load(std::memory_order_relaxed) &&
        static_cast<size_t>(l.end - l.next) >= bytesOf(c))
        return carve(l, bytesOf(c));
    return takeSlow(l, c);
}

void give(void* block, size_t bytes) {
    const size_t c = classOf(bytes);
    Local& l = local;
    Node* n = static_cast<Node*>(block);
    n->next = l.free[c];
    l.free[c] = n;
    POISON(reinterpret_cast<char*>(block) + sizeof(Node), bytesOf(c) - sizeof(Node));
}

size_t reservedBytes() {
    Shared& s = shared();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.chunks.size() * kChunkBytes;
}

}  // namespace smallblocks
}  // namespace chromasect
