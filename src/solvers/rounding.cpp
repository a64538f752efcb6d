#include "solvers/rounding.h"

#include <algorithm>
#include <iterator>
#include <sstream>

#include "base/params.h"

namespace {
// Start values of the searches for the cheapest class and the best move:
// any real cost is below the one, any real gain above the other.
const double kNoCost = 9999999999.0;
const double kNoGain = -123456.0;
}  // namespace

bool vfunction(const std::pair<double, std::pair<int, int> >& a,
               const std::pair<double, std::pair<int, int> >& b) {
    return a.first > b.first;
}

bool vfunction2(const std::vector<int>& a, const std::vector<int>& b) {
    return a.size() > b.size();
}

Rounding::Rounding(std::vector<std::vector<double> > results,
                   std::set<std::pair<int, int> > conflicts,
                   std::set<std::pair<int, int> > stitches) {
    m_vResults.reserve(results.size());
    for (size_t i = 0; i < results.size(); ++i) {
        m_vResults.push_back(results[i]);
        for (size_t j = 0; j < results[i].size(); ++j) {
            double x = results[i][j];
            if (x > 0.001 || x < -0.001)
                m_vPairs.push_back(std::make_pair(x, std::make_pair(int(i), int(j))));
        }
    }
    m_vConflicts.assign(conflicts.begin(), conflicts.end());
    m_vStitches.assign(stitches.begin(), stitches.end());
    InitUnionSet();
    InitParameters();
}

void Rounding::InitUnionSet() {
    size_t n = m_vResults.size();
    m_vParent.resize(n);
    for (size_t i = 0; i < n; ++i) m_vParent[i] = int(i);
    m_vRank.assign(n, 0);
    m_vIncompatible.assign(n, std::set<int>());
}

void Rounding::InitParameters() {
    // The threshold tables have four entries.
    m_iRounds = std::max(0, std::min(g_R, 4));
    m_vMergeThresholds = {0.96, 0.94, 0.92, 0.90};
    double a = NUM_COLORS > 1 ? -1.0 / (NUM_COLORS - 1) : -1.0;
    m_vApartThresholds = {a + 0.05, a + 0.75, a + 0.1, a + 0.15};
    m_dMergeFloor = 0.65;
}

int Rounding::FindSet(int x) {
    int root = x;
    while (m_vParent[root] != root) root = m_vParent[root];
    while (m_vParent[x] != root) {
        int next = m_vParent[x];
        m_vParent[x] = root;
        x = next;
    }
    return root;
}

void Rounding::Union(int a, int b) {
    int ra = FindSet(a);
    int rb = FindSet(b);
    if (ra == rb) return;
    if (m_vRank[ra] > m_vRank[rb]) {
        m_vParent[rb] = ra;
        for (int v : m_vIncompatible[rb]) m_vIncompatible[ra].insert(FindSet(v));
    } else {
        m_vParent[ra] = rb;
        if (m_vRank[ra] == m_vRank[rb]) ++m_vRank[rb];
        for (int v : m_vIncompatible[ra]) m_vIncompatible[rb].insert(FindSet(v));
    }
}

bool Rounding::Compatible(int a, int b) {
    int ra = FindSet(a);
    int rb = FindSet(b);
    if (ra == rb) return false;
    for (int v : m_vIncompatible[ra])
        if (FindSet(v) == rb) return false;
    for (int v : m_vIncompatible[rb])
        if (FindSet(v) == ra) return false;
    return true;
}

void Rounding::MarkApart(int a, int b) {
    int ra = FindSet(a);
    int rb = FindSet(b);
    m_vIncompatible[ra].insert(rb);
    m_vIncompatible[rb].insert(ra);
}

int Rounding::GetSetNum() {
    int count = 0;
    for (size_t i = 0; i < m_vParent.size(); ++i)
        if (m_vParent[i] == int(i)) ++count;
    return count;
}

void Rounding::Solve(std::vector<int>& colours, bool flag1, bool flag2) {
    // The second stage builds three groups; with another mask count it would
    // hand out colours that are no masks.
    const bool secondStage = flag1 && NUM_COLORS == 3;

    std::stable_sort(m_vPairs.begin(), m_vPairs.end(), vfunction);
    const int size = int(m_vPairs.size());
    int hi = 0;
    int lo = size - 1;
    for (int r = 0; r < m_iRounds; ++r) {
        while (hi < size && m_vPairs[hi].first > m_vMergeThresholds[r]) {
            if (GetSetNum() <= 7) break;
            int i = m_vPairs[hi].second.first;
            int j = m_vPairs[hi].second.second;
            if (Compatible(i, j)) Union(i, j);
            ++hi;
        }
        while (lo >= 0 && m_vPairs[lo].first < m_vApartThresholds[r]) {
            MarkApart(m_vPairs[lo].second.first, m_vPairs[lo].second.second);
            --lo;
        }
    }
    if (!secondStage) {
        while (hi <= lo && m_vPairs[hi].first >= m_dMergeFloor) {
            int i = m_vPairs[hi].second.first;
            int j = m_vPairs[hi].second.second;
            if (Compatible(i, j)) Union(i, j);
            ++hi;
        }
    }

    GenPartitions();
    m_vParID.assign(m_vResults.size(), 0);
    int number = 0;
    for (const std::vector<int>& cls : m_lPartitions) {
        for (int v : cls) m_vParID[v] = number;
        ++number;
    }

    if (!secondStage) {
        Refinement();
    } else {
        InitTriPartition(flag2);
        if (m_vTriParNodes.size() <= 8) {
            ExhaustTriPartition(flag2);
        } else {
            Refinement();
            for (TriParNode& node : m_vTriParNodes) {
                node.parID = m_vParID[node.vids.front()];
                node.newParID = node.parID;
            }
            TriPartition(flag2);
        }
    }

    colours.resize(m_vResults.size(), 0);
    number = 0;
    for (const std::vector<int>& cls : m_lPartitions) {
        for (int v : cls) colours[v] = number;
        ++number;
    }
}

void Rounding::GenPartitions() {
    m_lPartitions.clear();
    std::vector<int> classOfRoot(m_vParent.size(), -1);
    std::vector<std::vector<int> > classes;
    for (size_t v = 0; v < m_vParent.size(); ++v) {
        int root = FindSet(int(v));
        if (classOfRoot[root] < 0) {
            classOfRoot[root] = int(classes.size());
            classes.emplace_back();
        }
        classes[classOfRoot[root]].push_back(int(v));
    }
    std::stable_sort(classes.begin(), classes.end(), vfunction2);
    m_lPartitions.assign(classes.begin(), classes.end());
}

void Rounding::Refinement() {
    while (m_lPartitions.size() > size_t(std::max(NUM_COLORS, 1))) {
        std::vector<int> last = m_lPartitions.back();
        int t = GetNewParID_new();
        std::vector<int>& target = *std::next(m_lPartitions.begin(), t);
        for (int v : last) {
            target.push_back(v);
            m_vParID[v] = t;
        }
        m_lPartitions.pop_back();
    }
}

int Rounding::GetNewParID_new() {
    const int k = std::max(NUM_COLORS, 1);
    std::vector<double> cost(k, 0.0);
    const int last = int(m_lPartitions.size()) - 1;
    auto charge = [&](const std::vector<std::pair<int, int> >& pairs, double weight) {
        for (const std::pair<int, int>& p : pairs) {
            int pa = m_vParID[p.first];
            int pb = m_vParID[p.second];
            if (pb == last && pa < k)
                cost[pa] += weight;
            else if (pa == last && pb < k)
                cost[pb] += weight;
        }
    };
    charge(m_vConflicts, 1.0);
    charge(m_vStitches, -0.1);
    double best = kNoCost;
    int choice = 0;
    for (int c = 0; c < k; ++c) {
        if (cost[c] <= best) {
            best = cost[c];
            choice = c;
        }
    }
    return choice;
}

void Rounding::InitTriPartition(bool) {
    m_vTriParNodes.clear();
    int number = 0;
    for (const std::vector<int>& cls : m_lPartitions) {
        TriParNode node;
        node.vids = cls;
        node.parID = number;
        node.newParID = number;
        m_vTriParNodes.push_back(node);
        ++number;
    }
    const size_t m = m_vTriParNodes.size();
    m_vParWeights.assign(m, std::vector<double>(m, 0.0));
    for (const std::pair<int, int>& c : m_vConflicts) {
        int p = m_vParID[c.first];
        int q = m_vParID[c.second];
        if (p == q) {
            std::ostringstream line;
            line << "WARNING| source = " << c.first << "  sink = " << c.second << "\n";
            m_vWarnings.push_back(line.str());
            line.str("");
            line << "WARNING| m_vResults[source][sink] = " << m_vResults[c.first][c.second] << "\n";
            m_vWarnings.push_back(line.str());
        }
        m_vParWeights[p][q] += 1.0;
        m_vParWeights[q][p] += 1.0;
    }
    for (const std::pair<int, int>& s : m_vStitches) {
        int p = m_vParID[s.first];
        int q = m_vParID[s.second];
        if (p == q) continue;
        m_vParWeights[p][q] -= 0.1;
        m_vParWeights[q][p] -= 0.1;
    }
}

void Rounding::ExhaustTriPartition(bool) {
    m_dBestCut = -1000000.0;
    m_vAssign.assign(m_vTriParNodes.size(), 0);
    m_vBestGroups.assign(3, std::vector<int>());
    backtrack(0);
    for (int g = 0; g < 3; ++g)
        for (int node : m_vBestGroups[g]) m_vTriParNodes[node].parID = g;
    assignFinal();
}

void Rounding::backtrack(int depth) {
    const int m = int(m_vTriParNodes.size());
    if (depth < m) {
        for (int g = 0; g < 3; ++g) {
            m_vAssign[depth] = g;
            backtrack(depth + 1);
        }
        return;
    }
    double cut = getCutValue();
    if (cut > m_dBestCut) {
        m_dBestCut = cut;
        m_vBestGroups.assign(3, std::vector<int>());
        for (int node = 0; node < m; ++node) m_vBestGroups[m_vAssign[node]].push_back(node);
    }
}

double Rounding::getCutValue() {
    static const int kGroupPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    const size_t m = m_vAssign.size();
    double cut = 0.0;
    for (const auto& gp : kGroupPairs)
        for (size_t a = 0; a < m; ++a) {
            if (m_vAssign[a] != gp[0]) continue;
            for (size_t b = 0; b < m; ++b)
                if (m_vAssign[b] == gp[1]) cut += m_vParWeights[a][b];
        }
    return cut;
}

void Rounding::assignFinal() {
    m_lPartitions.clear();
    std::vector<std::vector<int> > groups(3);
    for (const TriParNode& node : m_vTriParNodes)
        groups[node.parID].insert(groups[node.parID].end(), node.vids.begin(), node.vids.end());
    m_lPartitions.assign(groups.begin(), groups.end());
}

void Rounding::TriPartition(bool) {
    const int m = int(m_vTriParNodes.size());
    struct Move {
        int node;
        int group;
        double gain;
    };
    while (true) {
        for (TriParNode& node : m_vTriParNodes) {
            node.locked = false;
            node.newParID = node.parID;
        }
        std::vector<Move> moves;
        for (int step = 0; step < m; ++step) {
            double bestGain = kNoGain;
            int bestNode = -1;
            int bestGroup = -1;
            for (int i = 0; i < m; ++i) {
                if (m_vTriParNodes[i].locked) continue;
                // Weight from i to each group; W is symmetric, so one sum
                // serves both the group left and the group joined.
                double toGroup[3] = {0.0, 0.0, 0.0};
                for (int k = 0; k < m; ++k) {
                    if (k == i || m_vParWeights[i][k] == 0.0) continue;
                    toGroup[m_vTriParNodes[k].newParID] += m_vParWeights[k][i];
                }
                const int f = m_vTriParNodes[i].parID;
                for (int j = 0; j < 3; ++j) {
                    if (j == f) continue;
                    double gain = toGroup[f] - toGroup[j];
                    if (gain > bestGain) {
                        bestGain = gain;
                        bestNode = i;
                        bestGroup = j;
                    }
                }
            }
            if (bestNode < 0) break;
            m_vTriParNodes[bestNode].newParID = bestGroup;
            m_vTriParNodes[bestNode].locked = true;
            moves.push_back(Move{bestNode, bestGroup, bestGain});
        }
        double best = 0.0;
        double sum = 0.0;
        size_t keep = 0;
        for (size_t t = 0; t < moves.size(); ++t) {
            sum += moves[t].gain;
            if (sum > best) {
                best = sum;
                keep = t + 1;
            }
        }
        for (size_t t = 0; t < keep; ++t) {
            m_vTriParNodes[moves[t].node].parID = moves[t].group;
            m_vTriParNodes[moves[t].node].newParID = moves[t].group;
        }
        if (best <= 0.001) break;
    }
    assignFinal();
}
