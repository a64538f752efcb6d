#pragma once
// One decomposition graph as every colouring engine sees it: a value that
// holds all an engine may use, so that an engine is a function of it and
// touches nothing of the run.

#include <algorithm>
#include <initializer_list>
#include <set>
#include <utility>
#include <vector>

namespace chromasect {

// Vertex pairs, sorted and without repeats: the walk of the std::set the run
// collects them in, in a flat array (8 bytes a pair instead of 48), for the
// problems of every graph waiting for an engine at once.
class VertexPairs {
  public:
    typedef std::pair<int, int> value_type;
    typedef std::vector<value_type>::const_iterator const_iterator;
    typedef const_iterator iterator;

    VertexPairs() = default;
    VertexPairs(std::initializer_list<value_type> pairs) : pairs_(pairs) { normalise(); }
    VertexPairs(const std::set<value_type>& pairs) : pairs_(pairs.begin(), pairs.end()) {}
    VertexPairs& operator=(const std::set<value_type>& pairs) {
        pairs_.assign(pairs.begin(), pairs.end());
        return *this;
    }
    // Takes pairs already sorted and without repeats.
    static VertexPairs fromSorted(std::vector<value_type> pairs) {
        VertexPairs p;
        p.pairs_ = std::move(pairs);
        return p;
    }
    operator std::set<value_type>() const { return std::set<value_type>(begin(), end()); }

    const_iterator begin() const { return pairs_.begin(); }
    const_iterator end() const { return pairs_.end(); }
    size_t size() const { return pairs_.size(); }
    bool empty() const { return pairs_.empty(); }
    size_t count(const value_type& e) const {
        return std::binary_search(pairs_.begin(), pairs_.end(), e) ? 1 : 0;
    }
    // Linear in the pairs: for building small problems by hand.
    std::pair<const_iterator, bool> insert(const value_type& e) {
        auto it = std::lower_bound(pairs_.begin(), pairs_.end(), e);
        if (it != pairs_.end() && *it == e) return {it, false};
        return {pairs_.insert(it, e), true};
    }
    void clear() { pairs_.clear(); }
    bool operator==(const VertexPairs& o) const { return pairs_ == o.pairs_; }

  private:
    void normalise() {
        std::sort(pairs_.begin(), pairs_.end());
        pairs_.erase(std::unique(pairs_.begin(), pairs_.end()), pairs_.end());
    }
    std::vector<value_type> pairs_;
};

struct ColoringProblem {
    int n = 0;      // vertices 0 .. n-1
    int masks = 3;  // number of masks
    // Vertex pairs, in either or both orders (the run collects both); self
    // pairs are ignored.
    VertexPairs conflicts;
    VertexPairs stitches;
    double alpha = 0.1;  // stitch weight
    // Density balance (SDP engine only): when densities is not empty, one
    // density per vertex, weighted by beta.
    double beta = 0.07;
    std::vector<double> densities;
    // Masks decided in advance: one entry per vertex, -1 (or a mask the
    // problem does not have) for a free one; empty when every vertex is free.
    std::vector<int> fixed;
    int fixedMask(int v) const {
        return v < static_cast<int>(fixed.size()) && fixed[v] >= 0 && fixed[v] < masks ? fixed[v]
                                                                                       : -1;
    }
    bool hasFixed() const {
        for (int v = 0; v < n; ++v)
            if (fixedMask(v) >= 0) return true;
        return false;
    }
};

// Makes a colouring of p honour its fixed vertices: the masks renamed to
// agree with as many of them as can be (a renaming costs nothing), then each
// fixed vertex set to its mask. For engines that cannot fix a vertex
// themselves.
void honourFixed(const ColoringProblem& p, std::vector<int>& colors);

// The distinct unordered pairs of `pairs` inside 0..n-1, smaller end first,
// ascending; self pairs dropped.
std::vector<std::pair<int, int> > distinctPairs(const VertexPairs& pairs, int n);

// Fewest same-mask pairs among q mutually conflicting vertices on k masks:
// the vertices spread as evenly as the masks allow.
int cliqueFloor(int q, int k);

}  // namespace chromasect
