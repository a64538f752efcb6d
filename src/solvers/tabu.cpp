#include "solvers/tabu.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <queue>
#include <set>
#include <utility>

namespace chromasect {

namespace {

// Per vertex and mask, how many conflict neighbours hold the mask and how
// many stitch neighbours do: the cost of a vertex on a mask follows from
// them exactly, and one move changes only its neighbours' rows. Each row also
// keeps conflicts - alpha x same-mask stitch neighbours, recomputed from the
// counts (so it never drifts), since a move's delta is the difference of two
// of them; and when the move is tabu until, beside it, so that the scan of
// the candidates reads one cache line per vertex.
class CostTable {
  public:
    struct Entry {
        double score = 0;  // conflicts - alpha x same-mask stitch neighbours
        long tabuUntil = 0;
        int conf = 0, same = 0;
    };

    CostTable(int n, int k, const std::vector<std::pair<int, int> >& conflicts,
              const std::vector<std::pair<int, int> >& stitches, double alpha)
        : k_(k), alpha_(alpha), rows_(static_cast<size_t>(n) * k), cadj_(n), sadj_(n) {
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
    double costOf(int v, int c) const { return row(v)[c].score + alpha_ * stitched_[v]; }
    // Change in total cost when v (coloured) takes mask c instead.
    double delta(int v, int c) const { return row(v)[c].score - row(v)[color_[v]].score; }
    void set(int v, int c) {
        const int a = color_[v];
        for (int u : cadj_[v]) {
            if (a >= 0) add(u, a, -1, 0);
            if (c >= 0) add(u, c, 1, 0);
        }
        for (int u : sadj_[v]) {
            if (a >= 0) add(u, a, 0, -1);
            if (c >= 0) add(u, c, 0, 1);
            stitched_[u] += (c >= 0) - (a >= 0);
        }
        color_[v] = c;
    }
    Entry* row(int v) { return &rows_[static_cast<size_t>(v) * k_]; }
    const Entry* row(int v) const { return &rows_[static_cast<size_t>(v) * k_]; }
    int color(int v) const { return color_[v]; }
    const std::vector<int>& colors() const { return color_; }
    int conflictCount(int v, int c) const { return row(v)[c].conf; }
    size_t degree(int v) const { return cadj_[v].size() + sadj_[v].size(); }
    const std::vector<int>& conflictNeighbours(int v) const { return cadj_[v]; }
    const std::vector<int>& stitchNeighbours(int v) const { return sadj_[v]; }

  private:
    void add(int u, int c, int conf, int same) {
        Entry& e = row(u)[c];
        e.conf += conf;
        e.same += same;
        e.score = e.conf - alpha_ * e.same;
    }

    int k_;
    double alpha_;
    std::vector<Entry> rows_;
    std::vector<int> color_, stitched_;
    std::vector<std::vector<int> > cadj_, sadj_;
};

// A small fast generator (xorshift64*): the search draws one number per tie.
class Random {
  public:
    explicit Random(uint64_t seed) : x_(seed ? seed : 0x9e3779b97f4a7c15ull) {}
    uint32_t operator()() {
        x_ ^= x_ >> 12;
        x_ ^= x_ << 25;
        x_ ^= x_ >> 27;
        return static_cast<uint32_t>((x_ * 0x2545f4914f6cdd1dull) >> 32);
    }
    // Uniform in [0, n).
    uint32_t below(uint32_t n) {
        return static_cast<uint32_t>((static_cast<uint64_t>((*this)()) * n) >> 32);
    }

  private:
    uint64_t x_;
};

// The two moves of a vertex carrying cost on three masks, the usual case,
// with their deltas: kept up to date with the vertex's row, so that the scan
// for the best move, most of the search's time, reads one short record per
// vertex in turn instead of following each vertex to its row.
// The tabu stamps are copied in too: they change only where the vertex's
// record is refreshed or every record reset.
struct Moves3 {
    double delta[2];
    long tabuUntil[2];
    int vertex, mask[2];
};

Moves3 movesOf(const CostTable& table, int v) {
    const CostTable::Entry* row = table.row(v);
    const int a = table.color(v);
    Moves3 m;
    m.vertex = v;
    m.mask[0] = a == 0 ? 1 : 0;
    m.mask[1] = a == 2 ? 1 : 2;
    for (int j = 0; j < 2; ++j) {
        m.delta[j] = row[m.mask[j]].score - row[a].score;
        m.tabuUntil[j] = row[m.mask[j]].tabuUntil;
    }
    return m;
}

// Picks the best of the moves offered, ties broken at random (so that
// plateaus are walked), skipping a tabu move unless it lowers the cost by
// more than `aspiration`.
class BestMove {
  public:
    BestMove(const CostTable& table, long it, double aspiration, Random& rng)
        : table_(table), it_(it), aspiration_(aspiration - 1e-9), rng_(rng) {}
    void offer(int v, int c, double d) {
        if (d > above_) return;
        offer(v, c, d, table_.row(v)[c].tabuUntil);
    }
    // With the move's tabu stamp at hand.
    void offer(int v, int c, double d, long tabuUntil) {
        if (d > above_) return;
        if (tabuUntil > it_ && !(d < aspiration_)) return;
        if (d < below_) {
            vertex = v;
            mask = c;
            md_ = d;
            above_ = md_ + 1e-12;
            below_ = md_ - 1e-12;
            ties_ = 1;
        } else if (rng_.below(++ties_) == 0) {
            vertex = v;
            mask = c;
        }
    }
    // Whether a delta can be taken at all, or tie (a cheap test that passes
    // over most candidates).
    bool open(double d) const { return d <= above_; }
    int vertex = -1, mask = -1;

  private:
    const CostTable& table_;
    const long it_;
    const double aspiration_;  // less the tolerance
    Random& rng_;
    double md_ = std::numeric_limits<double>::infinity();
    // md_ with the tolerance either side, kept with it.
    double above_ = std::numeric_limits<double>::infinity();
    double below_ = std::numeric_limits<double>::infinity();
    uint32_t ties_ = 0;
};

// The greedy start on an uncoloured table: the vertex with the most masks
// held by coloured conflict neighbours next (then the larger degree, then
// the lower number), on its cheapest mask (the lowest of equals). A vertex's
// count only grows, so the queue keeps an entry per count it had and the
// stale ones are dropped as they surface.
void greedyStart(CostTable& table, int n, int k, const ColoringProblem& p) {
    struct Entry {
        int sat;
        size_t degree;
        int v;
        bool operator<(const Entry& o) const {
            if (sat != o.sat) return sat < o.sat;
            if (degree != o.degree) return degree < o.degree;
            return v > o.v;
        }
    };
    std::vector<int> sat(n, 0);
    std::vector<char> done(n, 0);
    // Fixed vertices first, on their masks, as if the queue had taken them.
    for (int v = 0; v < n; ++v) {
        const int mask = p.fixedMask(v);
        if (mask < 0) continue;
        table.set(v, mask);
        done[v] = 1;
        for (int u : table.conflictNeighbours(v))
            if (!done[u] && table.conflictCount(u, mask) == 1) ++sat[u];
    }
    std::vector<Entry> heap;
    heap.reserve(n);
    for (int v = 0; v < n; ++v)
        if (!done[v]) heap.push_back({sat[v], table.degree(v), v});
    std::priority_queue<Entry> queue(std::less<Entry>(), std::move(heap));
    while (!queue.empty()) {
        const Entry top = queue.top();
        queue.pop();
        const int pick = top.v;
        if (done[pick] || top.sat != sat[pick]) continue;
        int bestMask = 0;
        for (int c = 1; c < k; ++c)
            if (table.costOf(pick, c) < table.costOf(pick, bestMask)) bestMask = c;
        table.set(pick, bestMask);
        done[pick] = 1;
        for (int u : table.conflictNeighbours(pick))
            if (!done[u] && table.conflictCount(u, bestMask) == 1)
                queue.push({++sat[u], table.degree(u), u});
    }
}

// A cost as its counts of conflicting and stitched pairs: sums of counts stay
// exact however long the search runs, where a running sum of alpha multiples
// drifts past any tolerance on a large graph.
struct Counts {
    long conflicts = 0, stitches = 0;
    double value(double alpha) const { return conflicts + alpha * stitches; }
};

// How much a costs over b, from the count differences: one rounding, so a
// tolerance far below any real difference tells equal costs apart.
double excess(const Counts& a, const Counts& b, double alpha) {
    return static_cast<double>(a.conflicts - b.conflicts) +
           alpha * static_cast<double>(a.stitches - b.stitches);
}

bool cheaper(const Counts& a, const Counts& b, double alpha) {
    return excess(a, b, alpha) < -1e-9;
}

Counts totalCounts(const std::vector<std::pair<int, int> >& conflicts,
                   const std::vector<std::pair<int, int> >& stitches,
                   const std::vector<int>& colors) {
    Counts c;
    for (const auto& e : conflicts) c.conflicts += colors[e.first] == colors[e.second];
    for (const auto& e : stitches) c.stitches += colors[e.first] != colors[e.second];
    return c;
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
    // Every list in the order the cliques are grown in: higher degree first,
    // then the lower number. Sorted once, not once per vertex.
    std::vector<std::vector<int> > order(adj);
    for (auto& o : order)
        std::sort(o.begin(), o.end(), [&](int a, int b) {
            return adj[a].size() != adj[b].size() ? adj[a].size() > adj[b].size() : a < b;
        });
    // A greedy clique around each vertex, neighbours of higher degree first;
    // a vertex too few neighbours to beat the best is passed over. A test
    // stops at the first member it misses, so a vertex costs its degree
    // times the size of its clique.
    int best = 0;
    std::vector<int> clique;
    for (int v = 0; v < n; ++v) {
        if (cliqueFloor(static_cast<int>(adj[v].size()) + 1, k) <= best) continue;
        clique.assign(1, v);
        for (int u : order[v])
            if (std::all_of(clique.begin() + 1, clique.end(),
                            [&](int w) { return adjacent(u, w); }))
                clique.push_back(u);
        best = std::max(best, cliqueFloor(static_cast<int>(clique.size()), k));
    }
    return best;
}

namespace {

// The cheapest colouring of a small piece of the graph, by depth-first search
// over its colourings with masks numbered in order of first use (costs do not
// change when masks are renamed), cut off once the partial cost reaches the
// best so far. Vertices are in the order given: each one's pairs go to
// vertices before it.
class PieceSolver {
  public:
    struct Pair {
        int a, b;  // local vertices, a < b
        bool stitch;
    };

    PieceSolver(int k, double alpha) : k_(k), alpha_(alpha) {}

    // The least cost of `pairs` on vertices 0..m-1 if it is below `below`,
    // with its conflicts and stitches; otherwise `below` (nothing found).
    // Unknown unless complete(): a search is given up after a fixed number
    // of steps, so that a piece never costs more than that.
    double solve(int m, const std::vector<Pair>& pairs, const std::vector<char>& active,
                 double below, int* conflicts = nullptr, int* stitches = nullptr) {
        before_.assign(m, std::vector<std::pair<int, bool> >());
        for (size_t i = 0; i < pairs.size(); ++i)
            if (active[i]) before_[pairs[i].b].push_back({pairs[i].a, pairs[i].stitch});
        colors_.assign(m, 0);
        best_ = below;
        found_ = false;
        steps_ = 0;
        search(0, 0, 0, 0);
        if (found_) {
            if (conflicts) *conflicts = bestConflicts_;
            if (stitches) *stitches = bestStitches_;
        }
        return best_;
    }
    bool complete() const { return steps_ <= kSteps; }

  private:
    static constexpr long kSteps = 1L << 18;

    void search(int i, int used, int conflicts, int stitches) {
        if (++steps_ > kSteps) return;
        const double cost = conflicts + alpha_ * stitches;
        if (cost >= best_ - 1e-9) return;
        if (i == static_cast<int>(colors_.size())) {
            best_ = cost;
            bestConflicts_ = conflicts;
            bestStitches_ = stitches;
            found_ = true;
            return;
        }
        const int top = std::min(k_ - 1, used);
        for (int c = 0; c <= top; ++c) {
            int dc = 0, ds = 0;
            for (const auto& e : before_[i]) {
                if (e.second)
                    ds += colors_[e.first] != c;
                else
                    dc += colors_[e.first] == c;
            }
            colors_[i] = c;
            search(i + 1, std::max(used, c + 1), conflicts + dc, stitches + ds);
            if (best_ <= 1e-9 || steps_ > kSteps) return;  // nothing is cheaper than free
        }
    }

    int k_;
    double alpha_;
    std::vector<std::vector<std::pair<int, bool> > > before_;
    std::vector<int> colors_;
    double best_ = 0;
    bool found_ = false;
    long steps_ = 0;
    int bestConflicts_ = 0, bestStitches_ = 0;
};

}  // namespace

namespace {

Counts packingCounts(const ColoringProblem& p, int pieceSize) {
    // Pieces grown past their first size stop here (their searches are cut
    // off before that matters on most).
    const int kLargestPiece = 20;
    const int n = p.n, k = std::max(1, p.masks);
    if (n <= 0 || !(p.alpha >= 0)) return Counts();
    const auto conflicts = distinctPairs(p.conflicts, n);
    const auto stitches = distinctPairs(p.stitches, n);
    // Every pair once, with its kind; a pair both conflict and stitch counts
    // as both, as in the cost.
    struct Edge {
        int a, b;
        bool stitch;
    };
    std::vector<Edge> edges;
    for (const auto& e : conflicts) edges.push_back({e.first, e.second, false});
    for (const auto& e : stitches) edges.push_back({e.first, e.second, true});
    std::vector<std::vector<std::pair<int, int> > > adj(n);  // (neighbour, edge)
    for (int i = 0; i < static_cast<int>(edges.size()); ++i) {
        adj[edges[i].a].push_back({edges[i].b, i});
        adj[edges[i].b].push_back({edges[i].a, i});
    }
    std::vector<std::vector<std::pair<int, int> > > sorted(adj);  // for looking pairs up
    std::vector<std::vector<std::pair<int, int> > > stitchAdj(n);
    for (int v = 0; v < n; ++v)
        for (const auto& a : adj[v])
            if (edges[a.second].stitch) stitchAdj[v].push_back(a);
    for (auto& a : sorted) std::sort(a.begin(), a.end());
    std::vector<char> used(edges.size(), 0);
    std::vector<int> local(n, -1), links(n, 0);
    PieceSolver solver(k, p.alpha);
    const double inf = std::numeric_limits<double>::infinity();

    // A piece: its vertices (local numbers in order) and the pairs it holds.
    struct Piece {
        std::vector<int> members, pairs;
        int conflicts = 0, stitches = 0;
    };
    std::vector<PieceSolver::Pair> pairs;
    std::vector<int> pairEdge, candidates;
    std::vector<char> active;
    // Adds to `members` (local numbers set) up to `room` vertices among the
    // candidates, those with the most free pairs into the piece first.
    auto grow = [&](std::vector<int>& members, int room) {
        for (int u : candidates) links[u] = 0;
        // A vertex of many more neighbours than there are candidates (a
        // rail) is looked up from the candidates' side.
        auto join = [&](int w) {
            if (adj[w].size() <= 4 * candidates.size()) {
                for (const auto& a : adj[w])
                    if (!used[a.second] && local[a.first] == -2) ++links[a.first];
                return;
            }
            for (int u : candidates) {
                if (local[u] != -2) continue;
                const auto& a = sorted[w];
                auto at = std::lower_bound(a.begin(), a.end(), std::make_pair(u, -1));
                for (; at != a.end() && at->first == u; ++at) links[u] += !used[at->second];
            }
        };
        for (int w : members) join(w);
        for (; room > 0; --room) {
            int pick = -1;
            for (int u : candidates)
                if (local[u] == -2 && links[u] > 0 && (pick < 0 || links[u] > links[pick]))
                    pick = u;
            if (pick < 0) break;
            local[pick] = static_cast<int>(members.size());
            members.push_back(pick);
            join(pick);
        }
    };
    auto offer = [&](int u) {
        if (local[u] == -1) {
            local[u] = -2;
            candidates.push_back(u);
        }
    };
    // The free pairs among the members after the piece's own `held` pairs;
    // then clears the local numbers.
    auto collect = [&](const std::vector<int>& members, const std::vector<int>& held) {
        pairs.clear();
        pairEdge.clear();
        for (int e : held) {
            const int a = local[edges[e].a], b = local[edges[e].b];
            pairs.push_back({std::min(a, b), std::max(a, b), edges[e].stitch});
            pairEdge.push_back(e);
        }
        for (int i = 0; i < static_cast<int>(members.size()); ++i) {
            const int w = members[i];
            if (adj[w].size() <= 4 * members.size()) {
                for (const auto& a : adj[w]) {
                    const int j = local[a.first];
                    if (used[a.second] || j < 0 || j >= i) continue;
                    pairs.push_back({j, i, edges[a.second].stitch});
                    pairEdge.push_back(a.second);
                }
                continue;
            }
            // Looked up, then in the order of the walk above.
            const size_t first = pairEdge.size();
            for (int j = 0; j < i; ++j) {
                const auto& a = sorted[w];
                auto at = std::lower_bound(a.begin(), a.end(), std::make_pair(members[j], -1));
                for (; at != a.end() && at->first == members[j]; ++at)
                    if (!used[at->second]) pairEdge.push_back(at->second);
            }
            std::sort(pairEdge.begin() + first, pairEdge.end());
            for (size_t e = first; e < pairEdge.size(); ++e) {
                const Edge& x = edges[pairEdge[e]];
                pairs.push_back({local[x.a == w ? x.b : x.a], i, x.stitch});
            }
        }
        for (int u : candidates) local[u] = -1;
        for (int w : members) local[w] = -1;
        candidates.clear();
    };
    // Drops every free pair (from index `from` on) the least cost `opt`
    // does not need, so that it is left to other pieces.
    auto prune = [&](int m, size_t from, double opt) {
        active.assign(pairs.size(), 1);
        for (size_t i = pairs.size(); i-- > from;) {
            active[i] = 0;
            if (solver.solve(m, pairs, active, opt) < opt || !solver.complete()) active[i] = 1;
        }
    };

    std::vector<Piece> pieces;
    // Seeds of higher degree first: the densest pieces are taken before
    // their pairs go to sparser ones.
    std::vector<int> seeds(n);
    for (int v = 0; v < n; ++v) seeds[v] = v;
    std::stable_sort(seeds.begin(), seeds.end(),
                     [&](int a, int b) { return adj[a].size() > adj[b].size(); });
    for (int v : seeds) {
        for (;;) {
            // The piece: v and its neighbours over free pairs, with the
            // other pieces of the features met (a stitch pair costs only
            // against the conflicts of both its ends).
            local[v] = 0;
            for (const auto& a : adj[v])
                if (!used[a.second]) offer(a.first);
            const size_t direct = candidates.size();
            for (const auto& a : stitchAdj[v])
                if (!used[a.second])
                    for (const auto& b : adj[a.first])
                        if (!used[b.second]) offer(b.first);
            for (size_t i = 0; i < direct; ++i)
                for (const auto& b : stitchAdj[candidates[i]])
                    if (!used[b.second]) offer(b.first);
            Piece piece;
            piece.members.assign(1, v);
            grow(piece.members, pieceSize - 1);
            collect(piece.members, piece.pairs);
            const int m = static_cast<int>(piece.members.size());
            active.assign(pairs.size(), 1);
            const double opt =
                solver.solve(m, pairs, active, inf, &piece.conflicts, &piece.stitches);
            if (opt <= 1e-9 || !solver.complete()) break;
            prune(m, 0, opt);
            for (size_t i = 0; i < pairs.size(); ++i)
                if (active[i]) {
                    used[pairEdge[i]] = 1;
                    piece.pairs.push_back(pairEdge[i]);
                }
            pieces.push_back(std::move(piece));
        }
    }
    // Then each piece takes in free pairs around it while that raises its
    // least cost: most often a stitch the piece's conflicts make costly.
    for (Piece& piece : pieces) {
        for (bool grew = true; grew;) {
            grew = false;
            for (int i = 0; i < static_cast<int>(piece.members.size()); ++i)
                local[piece.members[i]] = i;
            for (int w : piece.members)
                for (const auto& a : adj[w])
                    if (!used[a.second]) offer(a.first);
            const size_t direct = candidates.size();
            for (size_t i = 0; i < direct; ++i)
                for (const auto& b : stitchAdj[candidates[i]])
                    if (!used[b.second]) offer(b.first);
            std::vector<int> members = piece.members;
            grow(members,
                 std::min(pieceSize - 1, kLargestPiece - static_cast<int>(members.size())));
            collect(members, piece.pairs);
            const int m = static_cast<int>(members.size());
            const double old = piece.conflicts + p.alpha * piece.stitches;
            active.assign(pairs.size(), 1);
            int c = 0, st = 0;
            const double opt = solver.solve(m, pairs, active, inf, &c, &st);
            if (opt <= old + 1e-9 || !solver.complete()) break;
            prune(m, piece.pairs.size(), opt);
            piece.conflicts = c;
            piece.stitches = st;
            for (size_t i = piece.pairs.size(); i < pairs.size(); ++i)
                if (active[i]) {
                    used[pairEdge[i]] = 1;
                    piece.pairs.push_back(pairEdge[i]);
                }
            piece.members = members;
            grew = true;
        }
    }
    Counts total;
    for (const Piece& piece : pieces) {
        total.conflicts += piece.conflicts;
        total.stitches += piece.stitches;
    }
    return total;
}

}  // namespace

double packingLowerBound(const ColoringProblem& p, int pieceSize) {
    return packingCounts(p, pieceSize).value(p.alpha);
}

std::vector<int> greedyColoring(const ColoringProblem& p) {
    const int n = std::max(0, p.n), k = std::max(1, p.masks);
    CostTable table(n, k, distinctPairs(p.conflicts, n), distinctPairs(p.stitches, n), p.alpha);
    greedyStart(table, n, k, p);
    return table.colors();
}

namespace {

// The tabu search over one graph. Its phases are the member functions: the
// greedy start, the tabu step (the best one-vertex move), the restart (back
// to the best, then a kick), the Kempe descent and the search of regions;
// what they share is the state below.
class TabuSearch {
  public:
    TabuSearch(const ColoringProblem& p, const TabuOptions& options)
        : options_(options),
          n_(p.n),
          k_(std::max(1, p.masks)),
          alpha_(p.alpha),
          conflicts_(distinctPairs(p.conflicts, p.n)),
          stitches_(distinctPairs(p.stitches, p.n)),
          table_(n_, k_, conflicts_, stitches_, alpha_),
          rng_((static_cast<uint64_t>(options.seed) << 32) ^
               (static_cast<uint64_t>(p.n) * 2654435761u)),
          free_(n_, 1),
          inRegion_(n_, 0),
          where_(n_, -1),
          chainMark_(n_, -1) {}

    TabuResult run(const ColoringProblem& p) {
        // A fixed vertex is never in a region, so no move, kick or chain
        // touches it.
        for (int v = 0; v < n_; ++v) free_[v] = p.fixedMask(v) < 0;
        start(p);
        // The search proper, over regions of the graph in turn (the whole
        // graph when it is small), the rest held fixed: on a large graph a
        // global best almost never improves, since some region is always
        // off its own best.
        startTime_ = std::chrono::steady_clock::now();
        if (n_ <= options_.regionSize) {
            region_.clear();
            for (int v = 0; v < n_; ++v)
                if (free_[v]) region_.push_back(v);
            searchRegion(options_.iterationsPerVertex, options_.minIterations);
        } else {
            searchRegions();
        }
        result_.iterations = it_;
        result_.trackedCost = cost_.value(alpha_);
        result_.colors = table_.colors();
        const Counts final = totalCounts(conflicts_, stitches_, result_.colors);
        result_.cost = result_.recountedCost = final.value(alpha_);
        // Within rounding of the bound, the cost is the optimum: the bound
        // is given as the cost, so that comparing them needs no tolerance.
        if (excess(final, bound_, alpha_) <= 1e-9) result_.lowerBound = result_.cost;
        return result_;
    }

  private:
    // The greedy colouring, its cost and the lower bound the search stops at.
    void start(const ColoringProblem& p) {
        greedyStart(table_, n_, k_, p);
        cost_ = best_ = totalCounts(conflicts_, stitches_, table_.colors());
        result_.startCost = cost_.value(alpha_);
        bound_.conflicts = cliqueLowerBound(p);
        const Counts packed = packingCounts(p, 8);
        if (excess(packed, bound_, alpha_) > 0) bound_ = packed;
        result_.lowerBound = bound_.value(alpha_);
    }

    bool outOfTime() const {
        return options_.seconds > 0 &&
               std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime_)
                       .count() > options_.seconds;
    }

    // Regions grown breadth first over conflict and stitch pairs; the second
    // sweep grows them from the other end, so that the first sweep's borders
    // fall inside its regions.
    void searchRegions() {
        const int sweeps = 2;
        for (int sweep = 0; sweep < sweeps && !stop_; ++sweep) {
            std::vector<char> taken(n_, 0);
            for (int i = 0; i < n_ && !stop_; ++i) {
                const int seed = sweep % 2 == 0 ? i : n_ - 1 - i;
                if (taken[seed] || !free_[seed]) continue;
                growRegion(seed, taken);
                searchRegion(options_.iterationsPerVertex / sweeps, 0);
            }
        }
    }

    void growRegion(int seed, std::vector<char>& taken) {
        region_.assign(1, seed);
        taken[seed] = 1;
        for (size_t head = 0;
             head < region_.size() && static_cast<long>(region_.size()) < options_.regionSize;
             ++head) {
            const int v = region_[head];
            for (const auto* adj : {&table_.conflictNeighbours(v), &table_.stitchNeighbours(v)})
                for (int u : *adj)
                    if (!taken[u] && free_[u] &&
                        static_cast<long>(region_.size()) < options_.regionSize) {
                        taken[u] = 1;
                        region_.push_back(u);
                    }
        }
    }

    // The tabu search of region_ with the rest of the graph held.
    void searchRegion(long perVertex, long floor) {
        const long size = static_cast<long>(region_.size());
        for (int v : region_) inRegion_[v] = 1;
        for (int v : region_) refresh(v);
        const long budget = it_ + std::max(floor, perVertex * size);
        const long stallLimit = std::max(options_.stallIterations, options_.stallPerVertex * size);
        const long quitLimit = std::max(options_.quitIterations, options_.quitPerVertex * size);
        regionBest_.resize(size);
        keepRegionBest();
        phase_ = 0;
        lastImprovement_ = lastBest_ = it_;
        for (; it_ < budget && !bad_.empty(); ++it_) {
            if (excess(best_, bound_, alpha_) <= 1e-9 || ((it_ & 1023) == 0 && outOfTime())) {
                stop_ = true;
                break;
            }
            // Long without a new best: the rest of the budget seldom pays.
            if (it_ - lastBest_ > quitLimit) break;
            if (it_ - lastImprovement_ > stallLimit) {
                restart();
                if (bad_.empty()) break;
            }
            tabuStep();
        }
        // The region leaves on its best; the rest was held, so the whole
        // graph's best is this colouring.
        backToRegionBest();
        if (kempeDescent() && cheaper(cost_, best_, alpha_)) best_ = cost_;
        for (int v : region_) inRegion_[v] = 0;
        for (int v : region_) refresh(v);
    }

    void keepRegionBest() {
        for (size_t i = 0; i < region_.size(); ++i) regionBest_[i] = table_.color(region_[i]);
    }
    void backToRegionBest() {
        for (size_t i = 0; i < region_.size(); ++i)
            if (table_.color(region_[i]) != regionBest_[i]) move(region_[i], regionBest_[i]);
    }

    // The best move taken and the vertex left made tabu for a while.
    void tabuStep() {
        // The tenure's share of the vertices carrying cost changes with each
        // restart: short tenures suit some graphs, long ones others.
        static const double kTenureShare[3] = {0.6, 1.2, 2.0};
        const std::pair<int, int> step = bestMove();
        const int mv = step.first, mc = step.second;
        if (mv < 0) return;
        const int from = table_.color(mv);
        table_.row(mv)[from].tabuUntil = it_ + 1 + static_cast<long>(rng_.below(10)) +
                                         static_cast<long>(kTenureShare[phase_ % 3] * bad_.size());
        move(mv, mc);
        if (cheaper(cost_, best_, alpha_)) {
            best_ = cost_;
            keepRegionBest();
            lastImprovement_ = lastBest_ = it_;
            result_.bestIteration = it_;
        }
    }

    // The vertex and mask of the best move, ties broken at random so that
    // plateaus are walked; a vertex of -1 when every move is tabu. The scan
    // is most of the search's time: its BestMove stays a local here, so its
    // fields live in registers; handed back whole it would sit in the
    // caller's memory and be stored to on every candidate (a tenth more
    // time on the shared layouts).
    std::pair<int, int> bestMove() {
        BestMove pick(table_, it_, excess(best_, cost_, alpha_), rng_);
        if (k_ == 3) {
            for (const Moves3& m : moves_) {
                if (!pick.open(std::min(m.delta[0], m.delta[1]))) continue;
                for (int j = 0; j < 2; ++j)
                    pick.offer(m.vertex, m.mask[j], m.delta[j], m.tabuUntil[j]);
            }
        } else {
            for (int v : bad_)
                for (int c = 0; c < k_; ++c)
                    if (c != table_.color(v)) pick.offer(v, c, table_.delta(v, c));
        }
        return {pick.vertex, pick.mask};
    }

    // Long without an improvement: back to the best, then a kick, with the
    // tabu stamps cleared.
    void restart() {
        backToRegionBest();
        if (kempeDescent() && cheaper(cost_, best_, alpha_)) {
            best_ = cost_;
            keepRegionBest();
            lastBest_ = it_;
            result_.bestIteration = it_;
        }
        kick();
        for (int v : region_)
            for (int c = 0; c < k_; ++c) table_.row(v)[c].tabuUntil = 0;
        for (Moves3& m : moves_) m.tabuUntil[0] = m.tabuUntil[1] = 0;
        lastImprovement_ = it_;
        ++phase_;
    }

    // Every other time random recolourings, which can leave a set of
    // conflicts, and otherwise random Kempe swaps, which keep the conflicts
    // and move the stitches, where the last tenths are mostly won.
    void kick() {
        const long size = static_cast<long>(region_.size());
        const long kicks = std::max(2L, static_cast<long>(size * options_.perturbation));
        if (phase_ % 2 == 0 && k_ > 1) {
            long swapped = 0;
            for (int tries = 0; tries < 200 && swapped < kicks; ++tries) {
                const int v = region_[rng_.below(static_cast<uint32_t>(size))];
                const int a = table_.color(v);
                const int b = (a + 1 + static_cast<int>(rng_.below(k_ - 1))) % k_;
                if (!growChain(v, a, b) || static_cast<long>(chain_.size()) > size / 2) continue;
                swapChain(a, b);
                swapped += static_cast<long>(chain_.size());
            }
        } else {
            for (long j = 0; j < kicks; ++j) {
                const int v = region_[rng_.below(static_cast<uint32_t>(size))];
                move(v, static_cast<int>(rng_.below(k_)));
            }
        }
    }

    // The region's vertices that carry cost (the only ones whose move can
    // lower it), kept up to date as their rows change.
    void refresh(int v) {
        const bool isBad = inRegion_[v] && table_.costOf(v, table_.color(v)) > 1e-12;
        if (isBad) {
            if (where_[v] < 0) {
                where_[v] = static_cast<int>(bad_.size());
                bad_.push_back(v);
                if (k_ == 3) moves_.emplace_back();
            }
            if (k_ == 3) moves_[where_[v]] = movesOf(table_, v);
        } else if (where_[v] >= 0) {
            const int last = bad_.back();
            bad_[where_[v]] = last;
            if (k_ == 3) {
                moves_[where_[v]] = moves_.back();
                moves_.pop_back();
            }
            where_[last] = where_[v];
            bad_.pop_back();
            where_[v] = -1;
        }
    }

    void move(int v, int c) {
        const CostTable::Entry* row = table_.row(v);
        const int a = table_.color(v);
        cost_.conflicts += row[c].conf - row[a].conf;
        cost_.stitches += row[a].same - row[c].same;
        table_.set(v, c);
        refresh(v);
        for (int u : table_.conflictNeighbours(v)) refresh(u);
        for (int u : table_.stitchNeighbours(v)) refresh(u);
    }

    // Kempe chains: a set of vertices on masks a and b, closed under
    // conflict pairs within those masks, swaps a and b without changing
    // a conflict, so only the stitch pairs leaving it change. Single moves
    // reach such a swap only through many costlier steps, so these are
    // tried whole, each chain that lowers the cost taken, until none does.
    bool kempeDescent() {
        bool improved = false, again = true;
        while (again) {
            again = false;
            for (int a = 0; a < k_; ++a)
                for (int b = a + 1; b < k_; ++b) {
                    const long first = chainId_;  // chains of this pass are numbered from here
                    for (int s : region_) {
                        const int cs = table_.color(s);
                        if ((cs != a && cs != b) || chainMark_[s] >= first) continue;
                        if (growChain(s, a, b) && cheaper(chainDelta(a, b), Counts(), alpha_)) {
                            swapChain(a, b);
                            improved = again = true;
                        }
                    }
                }
        }
        return improved;
    }

    // The chain of masks a and b through s, marked with a new number; false
    // when it reaches a vertex outside the region (it cannot be swapped).
    // Only its part in the region is walked: a chain can run through the
    // whole graph, and every region walking it would make the sweeps
    // quadratic. Each part of an escaping chain reaches outside itself, so
    // every seed of it is still told false.
    bool growChain(int s, int a, int b) {
        const long id = chainId_++;
        chain_.assign(1, s);
        chainMark_[s] = id;
        bool inside = true;
        for (size_t h = 0; h < chain_.size(); ++h)
            for (int u : table_.conflictNeighbours(chain_[h])) {
                const int cu = table_.color(u);
                if ((cu != a && cu != b) || chainMark_[u] == id) continue;
                if (!inRegion_[u]) {
                    inside = false;
                    continue;
                }
                chainMark_[u] = id;
                chain_.push_back(u);
            }
        return inside;
    }

    // The change in cost when the chain just grown swaps a and b.
    Counts chainDelta(int a, int b) const {
        const long id = chainId_ - 1;
        Counts d;
        for (int v : chain_) {
            const int cv = table_.color(v), swapped = cv == a ? b : a;
            for (int u : table_.stitchNeighbours(v))
                if (chainMark_[u] != id) {
                    const int cu = table_.color(u);
                    d.stitches += (swapped != cu) - (cv != cu);
                }
        }
        return d;
    }

    void swapChain(int a, int b) {
        for (int v : chain_) move(v, table_.color(v) == a ? b : a);
    }

    const TabuOptions& options_;
    const int n_, k_;
    const double alpha_;
    const std::vector<std::pair<int, int> > conflicts_, stitches_;
    CostTable table_;
    Random rng_;
    std::chrono::steady_clock::time_point startTime_;
    TabuResult result_;

    // Costs: the colouring's now, the best one's, and the bound that ends
    // the search once reached.
    Counts cost_, best_, bound_;
    long it_ = 0;
    bool stop_ = false;  // out of time or at the bound

    // The region searched, its best colouring (beside region_), the
    // restarts so far and when the cost last fell and the best last did.
    std::vector<int> region_, regionBest_;
    long phase_ = 0, lastImprovement_ = 0, lastBest_ = 0;

    // The vertices carrying cost: inRegion_ and where_ (the place in bad_,
    // -1 for none) per vertex; moves_ beside bad_ when there are three masks.
    std::vector<char> free_, inRegion_;
    std::vector<int> bad_, where_;
    std::vector<Moves3> moves_;

    // The Kempe chain last grown, every chain's vertices marked with its
    // number.
    std::vector<long> chainMark_;
    std::vector<int> chain_;
    long chainId_ = 0;
};

}  // namespace

TabuResult solveTabu(const ColoringProblem& p, const TabuOptions& options) {
    if (p.n <= 0) return TabuResult();
    TabuSearch search(p, options);
    return search.run(p);
}

}  // namespace chromasect
