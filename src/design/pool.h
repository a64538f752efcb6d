#pragma once
// Owning storage for the records a run hands out. Elements never move once
// made, so the plain pointers that the stages pass around stay valid until
// the pool (the run object) is destroyed.

#include <deque>
#include <utility>

namespace chromasect {

template <class T>
class Pool {
  public:
    template <class... Args>
    T* make(Args&&... args) {
        items_.emplace_back(std::forward<Args>(args)...);
        return &items_.back();
    }
    size_t size() const { return items_.size(); }

  private:
    std::deque<T> items_;
};

}  // namespace chromasect
