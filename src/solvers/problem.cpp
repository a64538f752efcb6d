#include "solvers/problem.h"

#include <algorithm>

namespace chromasect {

std::vector<std::pair<int, int> > distinctPairs(const VertexPairs& pairs, int n) {
    std::vector<std::pair<int, int> > out;
    out.reserve(pairs.size());
    for (const auto& e : pairs) {
        if (e.first == e.second) continue;
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n) continue;
        out.push_back(std::minmax(e.first, e.second));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

int cliqueFloor(int q, int k) {
    int pairs = 0;
    for (int c = 0; c < k; ++c) {
        const int size = q / k + (c < q % k ? 1 : 0);
        pairs += size * (size - 1) / 2;
    }
    return pairs;
}

}  // namespace chromasect
