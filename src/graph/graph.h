#pragma once
// The graph with conflict edges (ends must differ) and stitch edges (ends are
// touching pieces of one feature) on vertices 0 .. n-1, with iterative vertex
// removal, a depth-first spanning forest and biconnected components. Every
// neighbour walk is in ascending vertex number, so all results are fixed by
// the vertex numbering alone. Deep graphs are safe: no operation recurses.

#include <boost/container/flat_set.hpp>
#include <list>
#include <set>
#include <stack>
#include <string>
#include <utility>
#include <vector>

struct myShape;
struct mySuperShape;

struct myNode {
    // Neighbour numbers, ascending, without repeats: a sorted array, since
    // most vertices have a handful and graphs are built by the million.
    typedef boost::container::flat_set<int> Set;
    int index;            // vertex number
    bool visible = true;  // cleared when the vertex is removed
    Set conflictNeighbors;
    Set stitchNeighbors;
    int conflictDegree = 0;  // conflict neighbours still visible
    int stitchDegree = 0;    // stitch neighbours still visible

    explicit myNode(int i) : index(i) {}
};

class myGraph {
  public:
    // n vertices, no edges.
    explicit myGraph(int n);
    // Layout-graph form: one vertex per feature of lg with needDG true, in
    // list order; a conflict edge for every neighbour that has a vertex here,
    // except that an edge to any rail goes to the vertex of the first rail
    // of the list (and fails with the edge message when there is none).
    explicit myGraph(std::vector<myShape*> lg);
    // Decomposition-graph form: vertex j for dg[j], conflict and stitch edges
    // from the pieces' relations; conflicts with a rail piece of another
    // graph go to the first rail vertex. A stitch edge that cannot be added
    // ends the run with the two boxes printed.
    explicit myGraph(std::vector<mySuperShape*> dg);

    int size() const { return static_cast<int>(m_nodes.size()); }

    // Add an undirected edge; false (with "Error in AddConflictEdge(u, v),
    // m_nodes.size() = n") when an end is out of range. Adding an edge again
    // changes nothing; a self-edge is stored once with degree 1.
    bool AddConflictEdge(int u, int v);
    bool AddStitchEdge(int u, int v);

    // Removes v: pushes it, appends it to removedList and lowers the degrees
    // of its visible neighbours; a neighbour left with no visible neighbour
    // is removed too (one level, conflict neighbours first, ascending).
    // False only when v is out of range; a removed v changes nothing.
    bool HideNode(int v, std::stack<int>& removed, std::list<int>& removedList);

    // Vertices that no removal below hides, not even one left without
    // neighbours (empty: none).
    std::vector<bool> m_pinned;

    // Sweeps vertices in ascending order hiding every visible vertex whose
    // total degree is at most threshold, until a sweep hides none by the
    // rule; remaining receives the vertices left visible.
    void IterativeVertexRemoval(std::set<int>& remaining, std::stack<int>& removed,
                                std::list<int>& removedList, int threshold);
    // The same with the decomposition-graph rule: total degree at most
    // NUM_COLORS and stitch degree at most 1.
    void IterativeVertexRemovalDG(std::set<int>& remaining, std::stack<int>& removed,
                                  std::list<int>& removedList);

    // Appends the (parent, child) edges of a depth-first spanning forest:
    // roots in ascending order, conflict neighbours before stitch
    // neighbours, each ascending; removed vertices take part.
    void DFSEdges(std::vector<std::pair<int, int> >& edges);
    void DFSEdges(int v, int parent, std::vector<std::pair<int, int> >& edges);

    // Biconnected components (conflict and stitch edges alike) into
    // m_components, in the order their articulation test succeeds. Vertices
    // without edges belong to none; self-edges are ignored.
    void BiConnectCompute();
    void BiConnect(int v, int parent);

    std::vector<myNode> m_nodes;
    std::vector<bool> m_visited;

    // "Error in ..." lines (with line ends) of edges refused since the last
    // call, for the caller to report; the graph itself never prints.
    std::vector<std::string> TakeErrors();

    std::vector<std::set<int> > m_components;
    std::vector<int> m_dfn;
    std::vector<int> m_low;
    std::stack<std::pair<int, int> > m_edgeStack;
    int m_counter = 0;

  private:
    bool isPinned(int v) const { return v < static_cast<int>(m_pinned.size()) && m_pinned[v]; }
    bool AddEdge(int u, int v, bool stitch);
    std::vector<std::string> m_vErrors;
    template <class Rule>
    void RemoveByRule(std::set<int>& remaining, std::stack<int>& removed,
                      std::list<int>& removedList, Rule rule);
};
