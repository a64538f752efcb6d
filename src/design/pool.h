#pragma once
// Owning storage for the records a run hands out. Elements never move once
// made, so the plain pointers that the stages pass around stay valid until
// the pool (the run object) is destroyed. They are made in chunks of many,
// without a heap block each.

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace chromasect {

template <class T>
class Pool {
  public:
    Pool() = default;
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;
    ~Pool() {
        for (size_t c = 0; c < chunks_.size(); ++c) {
            const size_t used = c + 1 < chunks_.size() ? kChunk : last_;
            for (size_t i = 0; i < used; ++i) at(c, i)->~T();
        }
    }

    template <class... Args>
    T* make(Args&&... args) {
        if (chunks_.empty() || last_ == kChunk) {
            chunks_.emplace_back(static_cast<Slot*>(::operator new(kChunk * sizeof(Slot))));
            last_ = 0;
        }
        T* item = new (at(chunks_.size() - 1, last_)) T(std::forward<Args>(args)...);
        ++last_;
        ++size_;
        return item;
    }
    size_t size() const { return size_; }

  private:
    struct alignas(T) Slot {
        unsigned char bytes[sizeof(T)];
    };
    struct Free {
        void operator()(Slot* p) const { ::operator delete(p); }
    };
    // About 1 MB a chunk: mapped on its own, never sorted among the small
    // blocks of the heap.
    static constexpr size_t kChunk = sizeof(T) >= (1u << 20) ? 1 : (1u << 20) / sizeof(T);
    T* at(size_t c, size_t i) { return reinterpret_cast<T*>(chunks_[c].get() + i); }

    std::vector<std::unique_ptr<Slot, Free> > chunks_;
    size_t last_ = 0;  // elements made in the last chunk
    size_t size_ = 0;
};

}  // namespace chromasect
