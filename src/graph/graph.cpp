#include "graph/graph.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <unordered_map>

#include "base/fatal.h"
#include "base/params.h"
#include "base/report.h"
#include "geometry/records.h"

myGraph::myGraph(int n) {
    m_nodes.reserve(n > 0 ? n : 0);
    for (int i = 0; i < n; ++i) m_nodes.emplace_back(i);
    m_visited.assign(m_nodes.size(), false);
}

myGraph::myGraph(std::vector<myShape*> lg) {
    std::unordered_map<int, int> vertexOf;  // compIndex -> vertex number
    int railKey = -1;
    bool haveRail = false;
    for (myShape* s : lg) {
        if (!s->needDG) continue;
        int v = static_cast<int>(m_nodes.size());
        vertexOf.emplace(s->compIndex, v);
        m_nodes.emplace_back(v);
        if (s->isVDDGND && !haveRail) {
            haveRail = true;
            railKey = s->compIndex;
        }
    }
    m_visited.assign(m_nodes.size(), false);
    const int railVertex = haveRail ? vertexOf[railKey] : -1;

    int d = 0;
    for (myShape* s : lg) {
        if (!s->needDG) continue;
        for (myShape* x : s->neighbors) {
            if (x->isVDDGND) {
                AddConflictEdge(d, railVertex);
            } else {
                auto it = vertexOf.find(x->compIndex);
                if (it != vertexOf.end()) AddConflictEdge(d, it->second);
            }
        }
        ++d;
    }
}

myGraph::myGraph(std::vector<mySuperShape*> dg) : myGraph(static_cast<int>(dg.size())) {
    int railVertex = -1;
    for (size_t j = 0; j < dg.size(); ++j)
        if (dg[j]->isVDDGND) {
            railVertex = static_cast<int>(j);
            break;
        }
    for (size_t jj = 0; jj < dg.size(); ++jj) {
        const int j = static_cast<int>(jj);
        for (myBox* b : dg[j]->boxes) {
            for (myBox* k : b->conflictNeighbors) {
                int f = k->vertexIndex;
                if (f == j) continue;
                if (k->dgIndex != b->dgIndex) {
                    if (k->shape != nullptr && k->shape->isVDDGND)
                        f = railVertex;
                    else
                        continue;
                }
                AddConflictEdge(j, f);
            }
            for (myBox* k : b->stitchNeighbors) {
                int f = k->vertexIndex;
                if (f == j) continue;
                if (!AddStitchEdge(j, f)) {
                    // The refused edges so far go out ahead of the failure.
                    std::ostringstream msg;
                    for (const std::string& line : TakeErrors()) msg << line;
                    msg << "pmybox  = " << *b << "\npadjbox = " << *k;
                    chromasect::fatal(chromasect::kExitInternal, msg.str());
                }
            }
        }
    }
}

std::vector<std::string> myGraph::TakeErrors() {
    std::vector<std::string> out;
    out.swap(m_vErrors);
    return out;
}

bool myGraph::AddEdge(int u, int v, bool stitch) {
    const int n = static_cast<int>(m_nodes.size());
    if (u < 0 || v < 0 || u >= n || v >= n) {
        m_vErrors.push_back(chromasect::formatText("Error in %s(%d, %d), m_nodes.size() = %d\n",
                                                   stitch ? "AddStitchEdge" : "AddConflictEdge", u,
                                                   v, n));
        return false;
    }
    myNode& a = m_nodes[u];
    myNode& b = m_nodes[v];
    if ((stitch ? a.stitchNeighbors : a.conflictNeighbors).insert(v).second)
        ++(stitch ? a.stitchDegree : a.conflictDegree);
    if ((stitch ? b.stitchNeighbors : b.conflictNeighbors).insert(u).second)
        ++(stitch ? b.stitchDegree : b.conflictDegree);
    return true;
}

bool myGraph::AddConflictEdge(int u, int v) {
    return AddEdge(u, v, false);
}
bool myGraph::AddStitchEdge(int u, int v) {
    return AddEdge(u, v, true);
}

bool myGraph::HideNode(int v, std::stack<int>& removed, std::list<int>& removedList) {
    if (v < 0 || v >= static_cast<int>(m_nodes.size())) return false;
    myNode& node = m_nodes[v];
    if (!node.visible) return true;
    node.visible = false;
    removed.push(v);
    removedList.push_back(v);
    auto lower = [&](const myNode::Set& neighbours, bool stitch) {
        for (int k : neighbours) {
            myNode& nb = m_nodes[k];
            if (!nb.visible) continue;
            --(stitch ? nb.stitchDegree : nb.conflictDegree);
            if (nb.conflictDegree + nb.stitchDegree == 0 && !isPinned(k)) {
                nb.visible = false;
                removed.push(k);
                removedList.push_back(k);
            }
        }
    };
    lower(node.conflictNeighbors, false);
    lower(node.stitchNeighbors, true);
    return true;
}

// Equivalent to repeating full ascending sweeps until one removes nothing by
// the rule, without rescanning: degrees only fall, so `pending` (the visible
// vertices that meet the rule) changes only around a removed vertex, and the
// next vertex a sweep would remove is the first pending one at or after the
// sweep position. A sweep that runs out of pending vertices ahead of it
// starts over at 0. Linear in the edges up to a log factor, where repeated
// sweeps are quadratic on graphs that peel from high numbers down.
template <class Rule>
void myGraph::RemoveByRule(std::set<int>& remaining, std::stack<int>& removed,
                           std::list<int>& removedList, Rule rule) {
    remaining.clear();
    const int n = static_cast<int>(m_nodes.size());
    if (n == 0) return;
    std::set<int> pending;
    for (int v = 0; v < n; ++v)
        if (m_nodes[v].visible && !isPinned(v) && rule(m_nodes[v]))
            pending.insert(pending.end(), v);
    int position = 0;
    while (!pending.empty()) {
        auto it = pending.lower_bound(position);
        if (it == pending.end()) {
            position = 0;
            continue;
        }
        const int v = *it;
        pending.erase(it);
        HideNode(v, removed, removedList);
        position = v + 1;
        auto recheck = [&](const myNode::Set& neighbours) {
            for (int k : neighbours) {
                const myNode& nb = m_nodes[k];
                if (!nb.visible)
                    pending.erase(k);
                else if (!isPinned(k) && rule(nb))
                    pending.insert(k);
            }
        };
        recheck(m_nodes[v].conflictNeighbors);
        recheck(m_nodes[v].stitchNeighbors);
    }
    for (int v = 0; v < n; ++v)
        if (m_nodes[v].visible) remaining.insert(remaining.end(), v);
}

void myGraph::IterativeVertexRemoval(std::set<int>& remaining, std::stack<int>& removed,
                                     std::list<int>& removedList, int threshold) {
    RemoveByRule(remaining, removed, removedList, [threshold](const myNode& x) {
        return x.conflictDegree + x.stitchDegree <= threshold;
    });
}

void myGraph::IterativeVertexRemovalDG(std::set<int>& remaining, std::stack<int>& removed,
                                       std::list<int>& removedList) {
    RemoveByRule(remaining, removed, removedList, [](const myNode& x) {
        return x.conflictDegree + x.stitchDegree <= NUM_COLORS && x.stitchDegree <= 1;
    });
}

void myGraph::DFSEdges(std::vector<std::pair<int, int> >& edges) {
    m_visited.assign(m_nodes.size(), false);
    for (int v = 0; v < static_cast<int>(m_nodes.size()); ++v)
        if (!m_visited[v]) DFSEdges(v, -1, edges);
}

// Iterative form of the recursive walk "mark v, record (parent, v), recurse
// into unmarked conflict neighbours, then unmarked stitch neighbours".
void myGraph::DFSEdges(int v, int parent, std::vector<std::pair<int, int> >& edges) {
    if (v < 0 || v >= static_cast<int>(m_nodes.size()) || m_visited[v]) return;
    struct Frame {
        int v;
        bool inStitch;
        myNode::Set::const_iterator it;
    };
    std::vector<Frame> stack;
    auto enter = [&](int x, int p) {
        m_visited[x] = true;
        if (p >= 0) edges.emplace_back(p, x);
        stack.push_back(Frame{x, false, m_nodes[x].conflictNeighbors.begin()});
    };
    enter(v, parent);
    while (!stack.empty()) {
        Frame& f = stack.back();
        const myNode& node = m_nodes[f.v];
        const myNode::Set& set = f.inStitch ? node.stitchNeighbors : node.conflictNeighbors;
        if (f.it == set.end()) {
            if (!f.inStitch) {
                f.inStitch = true;
                f.it = node.stitchNeighbors.begin();
            } else {
                stack.pop_back();
            }
            continue;
        }
        const int w = *f.it++;
        if (!m_visited[w]) enter(w, f.v);  // may reallocate: f is not used after
    }
}

void myGraph::BiConnectCompute() {
    const size_t n = m_nodes.size();
    m_dfn.assign(n, 0);
    m_low.assign(n, 0);
    m_visited.assign(n, false);
    m_components.clear();
    m_counter = 0;
    for (size_t v = 0; v < n; ++v)
        if (!m_visited[v]) BiConnect(static_cast<int>(v), -1);
}

// Iterative form of the recursive discovery/low search; each frame holds the
// ordered union of a vertex's conflict and stitch neighbours.
void myGraph::BiConnect(int v, int parent) {
    struct Frame {
        int v;
        int parent;
        std::vector<int> nbrs;
        size_t next;
    };
    std::vector<Frame> stack;
    auto enter = [&](int x, int p) {
        m_dfn[x] = m_counter++;
        m_low[x] = m_dfn[x];
        m_visited[x] = true;
        const myNode& node = m_nodes[x];
        Frame f{x, p, {}, 0};
        f.nbrs.reserve(node.conflictNeighbors.size() + node.stitchNeighbors.size());
        std::set_union(node.conflictNeighbors.begin(), node.conflictNeighbors.end(),
                       node.stitchNeighbors.begin(), node.stitchNeighbors.end(),
                       std::back_inserter(f.nbrs));
        stack.push_back(std::move(f));
    };
    enter(v, parent);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < f.nbrs.size()) {
            const int w = f.nbrs[f.next++];
            if (m_visited[w]) {
                if (m_dfn[w] < m_dfn[f.v] && w != f.parent) {
                    m_edgeStack.push(std::make_pair(f.v, w));
                    if (m_dfn[w] < m_low[f.v]) m_low[f.v] = m_dfn[w];
                }
            } else {
                m_edgeStack.push(std::make_pair(f.v, w));
                enter(w, f.v);  // may reallocate: f is not used after
            }
            continue;
        }
        // Vertex finished: return to its parent frame.
        const int w = f.v;
        stack.pop_back();
        if (stack.empty()) break;
        Frame& p = stack.back();
        if (m_low[w] < m_low[p.v]) m_low[p.v] = m_low[w];
        if (m_low[w] >= m_dfn[p.v]) {
            m_components.emplace_back();
            std::set<int>& comp = m_components.back();
            while (!m_edgeStack.empty() && m_dfn[m_edgeStack.top().first] > m_dfn[p.v]) {
                comp.insert(m_edgeStack.top().first);
                comp.insert(m_edgeStack.top().second);
                m_edgeStack.pop();
            }
            if (!m_edgeStack.empty()) {
                comp.insert(m_edgeStack.top().first);
                comp.insert(m_edgeStack.top().second);
                m_edgeStack.pop();
            }
        }
    }
}
