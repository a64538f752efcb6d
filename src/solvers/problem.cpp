#include "solvers/problem.h"

#include <algorithm>

namespace chromasect {

std::vector<std::pair<int, int> > distinctPairs(const std::set<std::pair<int, int> >& pairs,
                                                int n) {
    std::set<std::pair<int, int> > s;
    for (const auto& e : pairs) {
        if (e.first == e.second) continue;
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n) continue;
        s.insert(std::minmax(e.first, e.second));
    }
    return std::vector<std::pair<int, int> >(s.begin(), s.end());
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
