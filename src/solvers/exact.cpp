#include "solvers/exact.h"

#include <coin/Cbc_C_Interface.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace chromasect {

namespace {

typedef std::vector<std::pair<int, int> > PairList;

// Distinct unordered pairs, smaller end first, ascending; self-pairs dropped.
PairList unordered(const std::set<std::pair<int, int> >& pairs, int n) {
    std::set<std::pair<int, int> > s;
    for (const auto& e : pairs) {
        if (e.first == e.second) continue;
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n) continue;
        s.insert(std::minmax(e.first, e.second));
    }
    return PairList(s.begin(), s.end());
}

// Owns a CBC model for the duration of one solve.
struct Model {
    Cbc_Model* m = Cbc_newModel();
    ~Model() { Cbc_deleteModel(m); }
};

}  // namespace

double colouringCost(const ExactProblem& p, const std::vector<int>& colors) {
    double cost = 0.0;
    for (const auto& e : unordered(p.conflicts, p.n))
        if (colors[e.first] == colors[e.second]) cost += 1.0;
    int stitches = 0;
    for (const auto& e : unordered(p.stitches, p.n))
        if (colors[e.first] != colors[e.second]) ++stitches;
    return cost + p.alpha * stitches;
}

ExactResult solveExact(const ExactProblem& p, const std::vector<int>& start, double timeLimit,
                       bool breakSymmetry) {
    ExactResult result;
    const int n = p.n, k = p.masks;
    result.colors = start;
    result.colors.resize(n, 0);
    for (int& c : result.colors)
        if (c < 0 || c >= k) c = 0;
    result.startCost = result.cost = colouringCost(p, result.colors);
    if (n == 0 || k <= 0) {
        result.proven = true;
        return result;
    }

    const PairList conflicts = unordered(p.conflicts, n);
    const PairList stitches = unordered(p.stitches, n);
    auto x = [k](int v, int c) { return v * k + c; };
    const int firstConflict = n * k;
    const int firstStitch = firstConflict + static_cast<int>(conflicts.size());

    Model model;
    Cbc_Model* m = model.m;
    Cbc_setLogLevel(m, 0);
    for (int v = 0; v < n; ++v)
        for (int c = 0; c < k; ++c) Cbc_addCol(m, "", 0.0, 1.0, 0.0, 1, 0, nullptr, nullptr);
    // Indicators may stay continuous: minimisation drives them to the
    // integer bounds the rows force.
    for (size_t e = 0; e < conflicts.size(); ++e)
        Cbc_addCol(m, "", 0.0, 1.0, 1.0, 0, 0, nullptr, nullptr);
    for (size_t e = 0; e < stitches.size(); ++e)
        Cbc_addCol(m, "", 0.0, 1.0, p.alpha, 0, 0, nullptr, nullptr);

    std::vector<int> cols;
    std::vector<double> coefs;
    for (int v = 0; v < n; ++v) {
        cols.clear();
        coefs.assign(k, 1.0);
        for (int c = 0; c < k; ++c) cols.push_back(x(v, c));
        Cbc_addRow(m, "", k, cols.data(), coefs.data(), 'E', 1.0);
    }
    for (size_t e = 0; e < conflicts.size(); ++e) {
        const int a = conflicts[e].first, b = conflicts[e].second;
        for (int c = 0; c < k; ++c) {
            // x(a,c) + x(b,c) - y <= 1
            int rc[3] = {x(a, c), x(b, c), firstConflict + static_cast<int>(e)};
            double rv[3] = {1.0, 1.0, -1.0};
            Cbc_addRow(m, "", 3, rc, rv, 'L', 1.0);
        }
    }
    for (size_t e = 0; e < stitches.size(); ++e) {
        const int a = stitches[e].first, b = stitches[e].second;
        for (int c = 0; c < k; ++c) {
            // x(a,c) - x(b,c) - z <= 0: some mask of a missing at b sets z.
            int rc[3] = {x(a, c), x(b, c), firstStitch + static_cast<int>(e)};
            double rv[3] = {1.0, -1.0, -1.0};
            Cbc_addRow(m, "", 3, rc, rv, 'L', 0.0);
        }
    }

    // Symmetry breaking, and the start permuted to agree with it.
    std::vector<int> seed = result.colors;
    if (breakSymmetry) {
        int u = -1;
        for (const auto& e : conflicts)
            if (e.first == 0) {
                u = e.second;
                break;
            }
        std::vector<int> perm(k);
        for (int c = 0; c < k; ++c) perm[c] = c;
        std::swap(perm[0], perm[seed[0]]);
        if (u >= 0 && k > 2) {
            int cu = perm[seed[u]];
            if (cu >= 2) std::swap(perm[1], perm[cu]);
        }
        for (int& c : seed) c = perm[c];
        int fix[1] = {x(0, 0)};
        double one[1] = {1.0};
        Cbc_addRow(m, "", 1, fix, one, 'E', 1.0);
        if (u >= 0)
            for (int c = 2; c < k; ++c) {
                int col[1] = {x(u, c)};
                Cbc_addRow(m, "", 1, col, one, 'E', 0.0);
            }
    }
    std::vector<int> startCols;
    std::vector<double> startVals;
    for (int v = 0; v < n; ++v) {
        startCols.push_back(x(v, seed[v]));
        startVals.push_back(1.0);
    }
    Cbc_setMIPStartI(m, static_cast<int>(startCols.size()), startCols.data(), startVals.data());
    Cbc_setMaximumSeconds(m, timeLimit > 0 ? timeLimit : 1e-3);
    std::fflush(stdout);
    Cbc_solve(m);

    result.proven = Cbc_isProvenOptimal(m) != 0;
    const double* sol = Cbc_numberSavedSolutions(m) > 0 || result.proven ? Cbc_getColSolution(m)
                                                                           : nullptr;
    if (sol) {
        std::vector<int> colors(n, 0);
        bool complete = true;
        for (int v = 0; v < n; ++v) {
            int best = -1;
            for (int c = 0; c < k; ++c)
                if (sol[x(v, c)] > 0.5) best = c;
            if (best < 0) complete = false;
            colors[v] = best < 0 ? 0 : best;
        }
        const double cost = colouringCost(p, colors);
        if (complete && cost <= result.cost) {
            result.colors = colors;
            result.cost = cost;
        } else {
            result.proven = false;
        }
    }
    return result;
}

}  // namespace chromasect
