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

void honourFixed(const ColoringProblem& p, std::vector<int>& colors) {
    if (!p.hasFixed()) return;
    std::vector<int> rename(p.masks), best;
    for (int c = 0; c < p.masks; ++c) rename[c] = c;
    int bestAgree = -1;
    do {
        int agree = 0;
        for (int v = 0; v < p.n; ++v) {
            const int c = colors[v];
            agree += c >= 0 && c < p.masks && rename[c] == p.fixedMask(v);
        }
        if (agree > bestAgree) {
            bestAgree = agree;
            best = rename;
        }
    } while (std::next_permutation(rename.begin(), rename.end()));
    for (int v = 0; v < p.n; ++v) {
        if (colors[v] >= 0 && colors[v] < p.masks) colors[v] = best[colors[v]];
        if (p.fixedMask(v) >= 0) colors[v] = p.fixedMask(v);
    }
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
