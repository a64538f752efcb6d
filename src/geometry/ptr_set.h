#pragma once
// A set of record pointers as one sorted array: no duplicates, walked in the
// order of Order (the records' creation serials), like the std::set it
// replaces, in 16 bytes plus 8 a member. A set of one member needs no
// block at all, and most piece links are that small. Iterators and
// references do not survive an insertion.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>
#include <utility>

#include "geometry/small_blocks.h"

namespace chromasect {

// Member arrays: short ones from the small-block lists, long ones from the
// heap. A short array grows one member at a time, so it never holds more
// than it needs and never has to shrink.
template <class T>
T* takeArray(size_t n) {
    const size_t bytes = n * sizeof(T);
    void* block = bytes <= smallblocks::kMaxBytes ? smallblocks::take(bytes) : std::malloc(bytes);
    if (!block) throw std::bad_alloc();
    return static_cast<T*>(block);
}
template <class T>
void giveArray(T* block, size_t n) {
    const size_t bytes = n * sizeof(T);
    if (bytes <= smallblocks::kMaxBytes)
        smallblocks::give(block, bytes);
    else
        std::free(block);
}
// The capacity after cap when one more member is needed.
template <class T>
size_t grownCapacity(size_t cap) {
    if (cap < 2) return 2;
    return (cap + 1) * sizeof(T) <= smallblocks::kMaxBytes ? cap + 1 : 2 * cap;
}

// A list of small plain values (record pointers, graph numbers) in
// insertion order, in 16 bytes; one value is held in place. For the pieces
// of a real box and the graphs holding a vertex's copies: mostly one.
template <class T>
class SmallList {
  public:
    typedef T value_type;
    typedef const T* const_iterator;
    typedef T* iterator;

    SmallList() { one_ = T(); }
    SmallList(std::initializer_list<T> items) : SmallList() {
        for (const T& x : items) push_back(x);
    }
    SmallList(const SmallList& o) : SmallList() { assign(o.begin(), o.end()); }
    SmallList(SmallList&& o) noexcept : size_(o.size_), cap_(o.cap_) {
        if (o.cap_ > 1)
            many_ = o.many_;
        else
            one_ = o.one_;
        o.size_ = o.cap_ = 0;
        o.one_ = T();
    }
    SmallList& operator=(const SmallList& o) {
        if (this != &o) assign(o.begin(), o.end());
        return *this;
    }
    SmallList& operator=(SmallList&& o) noexcept {
        if (this != &o) {
            clear();
            new (this) SmallList(std::move(o));
        }
        return *this;
    }
    ~SmallList() { clear(); }

    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size_; }
    iterator begin() { return data(); }
    iterator end() { return data() + size_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const T& operator[](size_t i) const { return data()[i]; }
    const T& front() const { return data()[0]; }
    const T& back() const { return data()[size_ - 1]; }
    void sort() { std::sort(begin(), end()); }

    void push_back(const T& x) { insert(size_, x); }
    // x before the item at position at (at most size()).
    void insert(size_t at, const T& x) {
        if (cap_ == 0)
            cap_ = 1;  // the first item is held in place
        else if (size_ == cap_)
            moveTo(grownCapacity<T>(cap_));
        T* d = data();
        std::memmove(d + at + 1, d + at, (size_ - at) * sizeof(T));
        d[at] = x;
        ++size_;
    }
    // Replaces the items by a range, in exactly the memory it needs.
    template <class It>
    void assign(It first, It last) {
        clear();
        reserve(static_cast<size_t>(std::distance(first, last)));
        for (; first != last; ++first) push_back(*first);
    }
    // Room for n items in one block of exactly that size (one is held in place).
    void reserve(size_t n) {
        if (n > cap_ && n > 1) moveTo(n);
    }
    // Gives back what the items do not use (all of it for one item).
    void shrink_to_fit() {
        if (cap_ <= 1 || cap_ == size_) return;
        if (size_ <= 1) {
            const T keep = size_ ? many_[0] : T();
            giveArray(many_, cap_);
            one_ = keep;
            cap_ = size_;
            return;
        }
        moveTo(size_);
    }
    // Empties the list and frees its memory.
    void clear() {
        if (cap_ > 1) giveArray(many_, cap_);
        one_ = T();
        size_ = cap_ = 0;
    }

    friend bool operator==(const SmallList& a, const SmallList& b) {
        return a.size_ == b.size_ && std::equal(a.begin(), a.end(), b.begin());
    }
    friend bool operator!=(const SmallList& a, const SmallList& b) { return !(a == b); }

  private:
    static_assert(sizeof(T) <= sizeof(T*), "values no larger than a pointer");
    // The items into a new block of n (n > 1, at least size_).
    void moveTo(size_t n) {
        T* block = takeArray<T>(n);
        std::memcpy(block, data(), size_ * sizeof(T));
        if (cap_ > 1) giveArray(many_, cap_);
        many_ = block;
        cap_ = static_cast<uint32_t>(n);
    }
    T* data() { return cap_ > 1 ? many_ : &one_; }
    const T* data() const { return cap_ > 1 ? many_ : &one_; }
    union {
        T one_;
        T* many_;
    };
    uint32_t size_ = 0;
    uint32_t cap_ = 0;
};

// A set of record pointers as one sorted array: no duplicates, walked in the
// order of Order, like the std::set it replaces.
template <class T, class Order>
class PtrSet {
  public:
    typedef T* value_type;
    typedef T* const* const_iterator;
    typedef const_iterator iterator;
    typedef uint32_t size_type;

    PtrSet() = default;
    PtrSet(std::initializer_list<T*> items) { insert(items.begin(), items.end()); }

    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }
    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }

    const_iterator find(T* x) const {
        const_iterator it = std::lower_bound(begin(), end(), x, Order());
        return it != end() && !Order()(x, *it) ? it : end();
    }
    size_t count(T* x) const { return find(x) != end() ? 1 : 0; }

    std::pair<const_iterator, bool> insert(T* x) {
        const_iterator it = std::lower_bound(begin(), end(), x, Order());
        if (it != end() && !Order()(x, *it)) return {it, false};
        const size_t at = static_cast<size_t>(it - begin());
        items_.insert(at, x);
        return {begin() + at, true};
    }
    template <class It>
    void insert(It first, It last) {
        for (; first != last; ++first) insert(*first);
    }

    // Replaces the members by a range already sorted by Order without
    // duplicates, in exactly the memory it needs.
    template <class It>
    void assignSorted(It first, It last) {
        items_.assign(first, last);
    }

    // Sorts again after members changed their place in Order.
    void resort() { std::sort(items_.begin(), items_.end(), Order()); }
    // Gives back what the members do not use (all of it for one member).
    void shrink_to_fit() { items_.shrink_to_fit(); }
    // Empties the set and frees its memory.
    void release() { items_.clear(); }
    void clear() { items_.clear(); }

    friend bool operator==(const PtrSet& a, const PtrSet& b) { return a.items_ == b.items_; }
    friend bool operator!=(const PtrSet& a, const PtrSet& b) { return !(a == b); }

  private:
    SmallList<T*> items_;
};

}  // namespace chromasect
