#include "solvers/tabu.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <utility>

namespace chromasect {

namespace {

// Per vertex and mask, how many conflict neighbours hold the mask and how
// many stitch neighbours do: the cost of a vertex on a mask follows from
// them exactly, and one move changes only its neighbours' rows.
class CostTable {
  public:
    CostTable(int n, int k, const std::vector<std::pair<int, int> >& conflicts,
              const std::vector<std::pair<int, int> >& stitches, double alpha)
        : n_(n), k_(k), alpha_(alpha), conf_(n * k, 0), same_(n * k, 0), cadj_(n), sadj_(n) {
        for (const auto& e : conflicts) {
            cadj_[e.first].push_back(e.second);
            cadj_[e.second].push_back(e.first);
        }
        for (const auto& e : stitches) {
            sadj_[e.first].push_back(e.second);
            sadj_[e.second].push_back(e.first);
        }
        color_.assign(n, -1);
        stitched_.assign(n, 0);
    }

    // Cost of v on mask c: its conflict neighbours on c, and alpha for each
    // coloured stitch neighbour on another mask.
    double costOf(int v, int c) const {
        return conf_[v * k_ + c] + alpha_ * (stitched_[v] - same_[v * k_ + c]);
    }
    // Change in total cost when v (coloured) takes mask c instead.
    double delta(int v, int c) const {
        const int a = color_[v];
        return (conf_[v * k_ + c] - conf_[v * k_ + a]) -
               alpha_ * (same_[v * k_ + c] - same_[v * k_ + a]);
    }
    void set(int v, int c) {
        const int a = color_[v];
        for (int u : cadj_[v]) {
            if (a >= 0) --conf_[u * k_ + a];
            if (c >= 0) ++conf_[u * k_ + c];
        }
        for (int u : sadj_[v]) {
            if (a >= 0) --same_[u * k_ + a];
            if (c >= 0) ++same_[u * k_ + c];
            stitched_[u] += (c >= 0) - (a >= 0);
        }
        color_[v] = c;
    }
    int color(int v) const { return color_[v]; }
    const std::vector<int>& colors() const { return color_; }
    int conflictCount(int v, int c) const { return conf_[v * k_ + c]; }
    int stitchSame(int v, int c) const { return same_[v * k_ + c]; }
    size_t degree(int v) const { return cadj_[v].size() + sadj_[v].size(); }
    const std::vector<int>& conflictNeighbours(int v) const { return cadj_[v]; }
    const std::vector<int>& stitchNeighbours(int v) const { return sadj_[v]; }

  private:
    int n_, k_;
    double alpha_;
    std::vector<int> conf_, same_, color_, stitched_;
    std::vector<std::vector<int> > cadj_, sadj_;
};

double totalCost(const std::vector<std::pair<int, int> >& conflicts,
                 const std::vector<std::pair<int, int> >& stitches, double alpha,
                 const std::vector<int>& colors) {
    int c = 0, s = 0;
    for (const auto& e : conflicts) c += colors[e.first] == colors[e.second];
    for (const auto& e : stitches) s += colors[e.first] != colors[e.second];
    return c + alpha * s;
}

}  // namespace

int cliqueLowerBound(const ColoringProblem& p) {
    const int n = p.n, k = std::max(1, p.masks);
    const auto conflicts = distinctPairs(p.conflicts, n);
    std::vector<std::vector<int> > adj(n);
    for (const auto& e : conflicts) {
        adj[e.first].push_back(e.second);
        adj[e.second].push_back(e.first);
    }
    for (auto& a : adj) std::sort(a.begin(), a.end());
    auto adjacent = [&](int a, int b) {
        return std::binary_search(adj[a].begin(), adj[a].end(), b);
    };
    // A greedy clique around each vertex, neighbours of higher degree first.
    int best = 0;
    for (int v = 0; v < n; ++v) {
        std::vector<int> order = adj[v];
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return adj[a].size() > adj[b].size(); });
        std::vector<int> clique{v};
        for (int u : order)
            if (std::all_of(clique.begin(), clique.end(), [&](int w) { return adjacent(u, w); }))
                clique.push_back(u);
        best = std::max(best, cliqueFloor(static_cast<int>(clique.size()), k));
    }
    return best;
}

TabuResult solveTabu(const ColoringProblem& p, const TabuOptions& options) {
    TabuResult r;
    const int n = p.n, k = std::max(1, p.masks);
    if (n <= 0) return r;
    const auto conflicts = distinctPairs(p.conflicts, n);
    const auto stitches = distinctPairs(p.stitches, n);
    CostTable table(n, k, conflicts, stitches, p.alpha);

    // Greedy start: the vertex with the most masks held by coloured conflict
    // neighbours next (then the larger degree, then the lower number).
    std::vector<bool> done(n, false);
    for (int step = 0; step < n; ++step) {
        int pick = -1, pickSat = -1;
        size_t pickDeg = 0;
        for (int v = 0; v < n; ++v) {
            if (done[v]) continue;
            int sat = 0;
            for (int c = 0; c < k; ++c) sat += table.conflictCount(v, c) > 0;
            if (sat > pickSat || (sat == pickSat && table.degree(v) > pickDeg)) {
                pick = v;
                pickSat = sat;
                pickDeg = table.degree(v);
            }
        }
        int bestMask = 0;
        for (int c = 1; c < k; ++c)
            if (table.costOf(pick, c) < table.costOf(pick, bestMask)) bestMask = c;
        table.set(pick, bestMask);
        done[pick] = true;
    }
    r.startCost = totalCost(conflicts, stitches, p.alpha, table.colors());
    r.lowerBound = cliqueLowerBound(p);

    // The search proper, over regions of the graph in turn (the whole graph
    // when it is small), the rest held fixed: on a large graph a global best
    // almost never improves, since some region is always off its own best.
    double cost = r.startCost, best = cost;
    std::mt19937 rng(options.seed * 2654435761u + static_cast<unsigned>(n));
    std::vector<long> tabuUntil(static_cast<size_t>(n) * k, 0);
    const auto start = std::chrono::steady_clock::now();
    auto outOfTime = [&]() {
        return options.seconds > 0 &&
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
                   options.seconds;
    };

    // The region's vertices that carry cost (the only ones whose move can
    // lower it), kept up to date as their rows change.
    std::vector<char> inRegion(n, 0);
    std::vector<int> bad, where(n, -1);
    auto refresh = [&](int v) {
        const bool isBad = inRegion[v] && table.costOf(v, table.color(v)) > 1e-12;
        if (isBad && where[v] < 0) {
            where[v] = static_cast<int>(bad.size());
            bad.push_back(v);
        } else if (!isBad && where[v] >= 0) {
            const int last = bad.back();
            bad[where[v]] = last;
            where[last] = where[v];
            bad.pop_back();
            where[v] = -1;
        }
    };
    auto move = [&](int v, int c) {
        cost += table.delta(v, c);
        table.set(v, c);
        refresh(v);
        for (int u : table.conflictNeighbours(v)) refresh(u);
        for (int u : table.stitchNeighbours(v)) refresh(u);
    };

    // The tenure's share of the vertices carrying cost changes with each
    // restart: short tenures suit some graphs, long ones others.
    static const double kTenureShare[3] = {0.6, 1.2, 2.0};
    long it = 0;
    bool stop = false;
    auto search = [&](const std::vector<int>& region, long perVertex, long floor) {
        const long size = static_cast<long>(region.size());
        for (int v : region) inRegion[v] = 1;
        for (int v : region) refresh(v);
        const long budget = it + std::max(floor, perVertex * size);
        const long stallLimit = std::max(options.stallIterations, options.stallPerVertex * size);
        std::vector<int> regionBest(size);
        for (long i = 0; i < size; ++i) regionBest[i] = table.color(region[i]);
        long phase = 0, lastImprovement = it;
        for (; it < budget && !bad.empty(); ++it) {
            if (best <= r.lowerBound + 1e-9 || ((it & 1023) == 0 && outOfTime())) {
                stop = true;
                break;
            }
            if (it - lastImprovement > stallLimit) {
                // Back to the best, then a few random recolourings.
                for (long i = 0; i < size; ++i)
                    if (table.color(region[i]) != regionBest[i]) move(region[i], regionBest[i]);
                const long kicks = std::max(2L, static_cast<long>(size * options.perturbation));
                for (long j = 0; j < kicks; ++j) {
                    const int v = region[rng() % size];
                    move(v, static_cast<int>(rng() % k));
                }
                for (int v : region)
                    std::fill_n(tabuUntil.begin() + static_cast<size_t>(v) * k, k, 0);
                lastImprovement = it;
                ++phase;
                if (bad.empty()) break;
            }
            // The best move, ties broken at random so that plateaus are walked.
            int mv = -1, mc = -1, ties = 0;
            double md = 0;
            for (int v : bad) {
                const int a = table.color(v);
                for (int c = 0; c < k; ++c) {
                    if (c == a) continue;
                    const double d = table.delta(v, c);
                    // Aspiration: a tabu move is taken when it beats the best.
                    if (tabuUntil[static_cast<size_t>(v) * k + c] > it && !(cost + d < best - 1e-9))
                        continue;
                    if (mv < 0 || d < md - 1e-12) {
                        mv = v;
                        mc = c;
                        md = d;
                        ties = 1;
                    } else if (d < md + 1e-12 && rng() % ++ties == 0) {
                        mv = v;
                        mc = c;
                    }
                }
            }
            if (mv < 0) continue;
            const int from = table.color(mv);
            tabuUntil[static_cast<size_t>(mv) * k + from] =
                it + 1 + static_cast<long>(rng() % 10) +
                static_cast<long>(kTenureShare[phase % 3] * bad.size());
            move(mv, mc);
            if (cost < best - 1e-9) {
                best = cost;
                for (long i = 0; i < size; ++i) regionBest[i] = table.color(region[i]);
                lastImprovement = it;
                r.bestIteration = it;
            }
        }
        // The region leaves on its best; the rest was held, so the whole
        // graph's best is this colouring.
        for (long i = 0; i < size; ++i)
            if (table.color(region[i]) != regionBest[i]) move(region[i], regionBest[i]);
        for (int v : region) inRegion[v] = 0;
        for (int v : region) refresh(v);
    };

    if (n <= options.regionSize) {
        std::vector<int> all(n);
        for (int v = 0; v < n; ++v) all[v] = v;
        search(all, options.iterationsPerVertex, options.minIterations);
    } else {
        // Regions grown breadth first over conflict and stitch pairs; the
        // second sweep grows them from the other end, so that the first
        // sweep's borders fall inside its regions.
        const int sweeps = 2;
        for (int sweep = 0; sweep < sweeps && !stop; ++sweep) {
            std::vector<char> taken(n, 0);
            for (int i = 0; i < n && !stop; ++i) {
                const int seed = sweep % 2 == 0 ? i : n - 1 - i;
                if (taken[seed]) continue;
                std::vector<int> region{seed};
                taken[seed] = 1;
                for (size_t head = 0;
                     head < region.size() && static_cast<long>(region.size()) < options.regionSize;
                     ++head) {
                    const int v = region[head];
                    for (const auto* adj :
                         {&table.conflictNeighbours(v), &table.stitchNeighbours(v)})
                        for (int u : *adj)
                            if (!taken[u] &&
                                static_cast<long>(region.size()) < options.regionSize) {
                                taken[u] = 1;
                                region.push_back(u);
                            }
                }
                search(region, options.iterationsPerVertex / sweeps, 0);
            }
        }
    }
    r.iterations = it;
    r.trackedCost = cost;
    r.recountedCost = totalCost(conflicts, stitches, p.alpha, table.colors());
    r.colors = table.colors();
    r.cost = totalCost(conflicts, stitches, p.alpha, r.colors);
    return r;
}

}  // namespace chromasect
