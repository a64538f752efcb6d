#pragma once
// A generic in-memory R-tree (Guttman's structure with the quadratic split).
//
// Template parameters: the data item stored in leaves, the coordinate type,
// the number of dimensions, the real type in which volumes are computed, and
// the maximum and minimum number of entries per node.
//
// Every choice the tree makes (which branch takes a new entry, how a full
// node is split) compares "spherical volumes" computed in RealT, and every
// search walks the branches in slot order. Callers depend on the order in
// which a search reports its items, so these rules are fixed: do not change
// the arithmetic type, the order of operations or the tie rules without
// expecting every later result to move.
//
// The tree owns its nodes, not the data items. It is not copyable.

#include <cmath>
#include <cstddef>

template <class DataT, class CoordT, int NumDims, class RealT = float, int MaxNodes = 8,
          int MinNodes = MaxNodes / 2>
class RTree {
    static_assert(NumDims > 0, "at least one dimension");
    static_assert(MaxNodes > MinNodes && MinNodes > 0, "node fill bounds");

  public:
    // A search callback: gets each found item and the caller's context;
    // returning false stops the search.
    typedef bool (*SearchCallback)(DataT data, void* context);

    struct Rect {
        CoordT min[NumDims];
        CoordT max[NumDims];
    };

    struct Node;

    // In an internal node the branch leads to a child; in a leaf it holds a
    // data item.
    struct Branch {
        Rect rect;
        Node* child = nullptr;
        DataT data{};
    };

    struct Node {
        int count = 0;  // branches in use
        int level = 0;  // 0 for a leaf, one more per level above
        Branch branch[MaxNodes];
        bool isLeaf() const { return level == 0; }
    };

    RTree() : m_root(new Node()), m_unitSphereVolume(unitSphereVolume()) {}
    virtual ~RTree() { RemoveAllRec(m_root); }
    RTree(const RTree&) = delete;
    RTree& operator=(const RTree&) = delete;

    // Inserts data under the rectangle [min, max] (both corners included).
    void Insert(const CoordT min[NumDims], const CoordT max[NumDims], const DataT& data) {
        Rect r;
        for (int i = 0; i < NumDims; ++i) {
            r.min[i] = min[i];
            r.max[i] = max[i];
        }
        InsertRect(r, data, &m_root, 0);
    }

    // Calls callback for every item whose rectangle overlaps [min, max],
    // edges and corners included, in search order. Returns the number of
    // items reported (the one that stopped the search included).
    int Search(const CoordT min[NumDims], const CoordT max[NumDims], SearchCallback callback,
               void* context) const {
        Rect r;
        for (int i = 0; i < NumDims; ++i) {
            r.min[i] = min[i];
            r.max[i] = max[i];
        }
        int found = 0;
        Search(m_root, r, found, callback, context);
        return found;
    }

    // Frees every node and leaves an empty tree.
    void RemoveAll() {
        RemoveAllRec(m_root);
        m_root = new Node();
    }

    // The root, for inspection (tests, statistics).
    const Node* root() const { return m_root; }

    // Spherical volume: the volume of the sphere around the rectangle, with
    // half extents formed in RealT.
    RealT RectSphericalVolume(const Rect& r) const {
        RealT sumOfSquares = RealT(0);
        for (int i = 0; i < NumDims; ++i) {
            RealT half = (RealT(r.max[i]) - RealT(r.min[i])) * RealT(0.5);
            sumOfSquares += half * half;
        }
        RealT radius = RealT(std::sqrt(sumOfSquares));
        return radius * radius * m_unitSphereVolume;
    }

  protected:
    // Work area of one split.
    struct PartitionVars {
        static const int kNotTaken = -1;
        int partition[MaxNodes + 1];
        bool taken[MaxNodes + 1];
        int total = 0;
        int minFill = 0;
        int count[2] = {0, 0};
        Rect cover[2];
        RealT area[2] = {RealT(0), RealT(0)};
        Branch branchBuf[MaxNodes + 1];
        Rect coverSplit;
        RealT coverSplitArea = RealT(0);
    };

    // Inserts d under r at the given level (0 for data). True when the root
    // was split and replaced by a new root one level higher.
    bool InsertRect(const Rect& r, const DataT& d, Node** root, int level) {
        Node* newNode = nullptr;
        if (!InsertRectRec(r, d, *root, &newNode, level)) return false;
        Node* newRoot = new Node();
        newRoot->level = (*root)->level + 1;
        Branch b;
        b.rect = NodeCover(*root);
        b.child = *root;
        AddBranch(b, newRoot, nullptr);
        b.rect = NodeCover(newNode);
        b.child = newNode;
        AddBranch(b, newRoot, nullptr);
        *root = newRoot;
        return true;
    }

    // True when node was split; its second half is then in *newNode.
    bool InsertRectRec(const Rect& r, const DataT& d, Node* node, Node** newNode, int level) {
        if (node->level > level) {
            int index = PickBranch(r, node);
            Node* otherNode = nullptr;
            if (!InsertRectRec(r, d, node->branch[index].child, &otherNode, level)) {
                node->branch[index].rect = CombineRect(r, node->branch[index].rect);
                return false;
            }
            node->branch[index].rect = NodeCover(node->branch[index].child);
            Branch b;
            b.child = otherNode;
            b.rect = NodeCover(otherNode);
            return AddBranch(b, node, newNode);
        }
        if (node->level == level) {
            Branch b;
            b.rect = r;
            b.data = d;
            return AddBranch(b, node, newNode);
        }
        return false;  // below the requested level: cannot happen
    }

    // Puts the branch into the next free slot, or splits a full node with
    // the branch as the extra one (then true, and *newNode is set).
    bool AddBranch(const Branch& b, Node* node, Node** newNode) {
        if (node->count < MaxNodes) {
            node->branch[node->count] = b;
            ++node->count;
            return false;
        }
        SplitNode(node, b, newNode);
        return true;
    }

    // The branch that needs the least volume increase to take r; on a tie
    // the smaller volume, and on a tie in both the earlier branch.
    int PickBranch(const Rect& r, Node* node) const {
        bool firstTime = true;
        RealT bestIncr = RealT(0), bestArea = RealT(0);
        int best = 0;
        for (int i = 0; i < node->count; ++i) {
            const Rect& cur = node->branch[i].rect;
            RealT area = RectSphericalVolume(cur);
            Rect combined = CombineRect(r, cur);
            RealT increase = RectSphericalVolume(combined) - area;
            if (increase < bestIncr || firstTime) {
                best = i;
                bestArea = area;
                bestIncr = increase;
                firstTime = false;
            } else if (increase == bestIncr && area < bestArea) {
                best = i;
                bestArea = area;
                bestIncr = increase;
            }
        }
        return best;
    }

    static Rect CombineRect(const Rect& a, const Rect& b) {
        Rect out;
        for (int i = 0; i < NumDims; ++i) {
            out.min[i] = a.min[i] < b.min[i] ? a.min[i] : b.min[i];
            out.max[i] = a.max[i] > b.max[i] ? a.max[i] : b.max[i];
        }
        return out;
    }

    static Rect NodeCover(const Node* node) {
        Rect r = node->branch[0].rect;
        for (int i = 1; i < node->count; ++i) r = CombineRect(r, node->branch[i].rect);
        return r;
    }

    static bool Overlap(const Rect& a, const Rect& b) {
        for (int i = 0; i < NumDims; ++i)
            if (a.min[i] > b.max[i] || b.min[i] > a.max[i]) return false;
        return true;
    }

    // Quadratic split of a full node plus one extra branch: the node keeps
    // group 0, a new node of the same level takes group 1.
    void SplitNode(Node* node, const Branch& extra, Node** newNode) {
        PartitionVars pv;
        for (int i = 0; i < MaxNodes; ++i) pv.branchBuf[i] = node->branch[i];
        pv.branchBuf[MaxNodes] = extra;
        pv.coverSplit = pv.branchBuf[0].rect;
        for (int i = 1; i < MaxNodes + 1; ++i)
            pv.coverSplit = CombineRect(pv.coverSplit, pv.branchBuf[i].rect);
        pv.coverSplitArea = RectSphericalVolume(pv.coverSplit);
        const int level = node->level;
        node->count = 0;

        ChoosePartition(&pv, MinNodes);

        *newNode = new Node();
        (*newNode)->level = level;
        for (int i = 0; i < pv.total; ++i) {
            if (pv.partition[i] == 0)
                AddBranch(pv.branchBuf[i], node, nullptr);
            else if (pv.partition[i] == 1)
                AddBranch(pv.branchBuf[i], *newNode, nullptr);
        }
    }

    void ChoosePartition(PartitionVars* pv, int minFill) {
        pv->total = MaxNodes + 1;
        pv->minFill = minFill;
        pv->count[0] = pv->count[1] = 0;
        pv->area[0] = pv->area[1] = RealT(0);
        for (int i = 0; i < pv->total; ++i) {
            pv->taken[i] = false;
            pv->partition[i] = PartitionVars::kNotTaken;
        }

        PickSeeds(pv);

        while (pv->count[0] + pv->count[1] < pv->total && pv->count[0] < pv->total - pv->minFill &&
               pv->count[1] < pv->total - pv->minFill) {
            RealT biggestDiff = RealT(-1);
            int chosen = 0, betterGroup = 0;
            for (int i = 0; i < pv->total; ++i) {
                if (pv->taken[i]) continue;
                const Rect& cur = pv->branchBuf[i].rect;
                Rect r0 = CombineRect(cur, pv->cover[0]);
                Rect r1 = CombineRect(cur, pv->cover[1]);
                RealT growth0 = RectSphericalVolume(r0) - pv->area[0];
                RealT growth1 = RectSphericalVolume(r1) - pv->area[1];
                RealT diff = growth1 - growth0;
                int group;
                if (diff >= RealT(0)) {
                    group = 0;
                } else {
                    group = 1;
                    diff = -diff;
                }
                if (diff > biggestDiff) {
                    biggestDiff = diff;
                    chosen = i;
                    betterGroup = group;
                } else if (diff == biggestDiff && pv->count[group] < pv->count[betterGroup]) {
                    chosen = i;
                    betterGroup = group;
                }
            }
            Classify(chosen, betterGroup, pv);
        }

        if (pv->count[0] + pv->count[1] < pv->total) {
            const int group = pv->count[0] >= pv->total - pv->minFill ? 1 : 0;
            for (int i = 0; i < pv->total; ++i)
                if (!pv->taken[i]) Classify(i, group, pv);
        }
    }

    // The two branches that would waste the most volume together become
    // the seeds of the two groups; the first such pair wins.
    void PickSeeds(PartitionVars* pv) {
        RealT area[MaxNodes + 1];
        for (int i = 0; i < pv->total; ++i) area[i] = RectSphericalVolume(pv->branchBuf[i].rect);
        RealT worst = -pv->coverSplitArea - RealT(1);
        int seed0 = 0, seed1 = 1;
        for (int a = 0; a < pv->total - 1; ++a) {
            for (int b = a + 1; b < pv->total; ++b) {
                Rect one = CombineRect(pv->branchBuf[a].rect, pv->branchBuf[b].rect);
                RealT waste = RectSphericalVolume(one) - area[a] - area[b];
                if (waste > worst) {
                    worst = waste;
                    seed0 = a;
                    seed1 = b;
                }
            }
        }
        Classify(seed0, 0, pv);
        Classify(seed1, 1, pv);
    }

    void Classify(int index, int group, PartitionVars* pv) {
        pv->partition[index] = group;
        pv->taken[index] = true;
        if (pv->count[group] == 0)
            pv->cover[group] = pv->branchBuf[index].rect;
        else
            pv->cover[group] = CombineRect(pv->branchBuf[index].rect, pv->cover[group]);
        pv->area[group] = RectSphericalVolume(pv->cover[group]);
        ++pv->count[group];
    }

    // False when the callback stopped the search.
    bool Search(const Node* node, const Rect& r, int& found, SearchCallback callback,
                void* context) const {
        if (!node->isLeaf()) {
            for (int i = 0; i < node->count; ++i)
                if (Overlap(r, node->branch[i].rect))
                    if (!Search(node->branch[i].child, r, found, callback, context)) return false;
        } else {
            for (int i = 0; i < node->count; ++i) {
                if (Overlap(r, node->branch[i].rect)) {
                    ++found;
                    if (callback && !callback(node->branch[i].data, context)) return false;
                }
            }
        }
        return true;
    }

    void RemoveAllRec(Node* node) {
        if (!node->isLeaf())
            for (int i = 0; i < node->count; ++i) RemoveAllRec(node->branch[i].child);
        delete node;
    }

    Node* m_root;
    RealT m_unitSphereVolume;

  private:
    // Volume of the unit ball for the dimension count, as single-precision
    // constants (3.141593 in two dimensions).
    static RealT unitSphereVolume() {
        static const float table[] = {0.000000f, 2.000000f, 3.141593f, 4.188790f, 4.934802f};
        static_assert(NumDims < int(sizeof(table) / sizeof(table[0])), "too many dimensions");
        return RealT(table[NumDims]);
    }
};
