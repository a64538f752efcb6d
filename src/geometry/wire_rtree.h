#pragma once
// Index of all features by bounding box.

#include <vector>

#include "geometry/oa.h"
#include "geometry/records.h"
#include "geometry/rtree.h"

typedef RTree<myShape*, int, 2, float, 8, 4> ShapeRTree;

class WireRTree : public ShapeRTree {
  public:
    WireRTree() = default;

    // Inserts the feature under its bounding box. The same feature inserted
    // twice is found twice.
    void insert(myShape* s);
    // The features whose bounding boxes overlap r, edges and corners
    // included (a degenerate r finds what contains or touches it), in search
    // order, which later stages depend on. The result lives in the shared
    // s_searchResult: the next search overwrites it, so a caller that
    // searches again while walking it must copy it first.
    std::vector<myShape*>* searchoaBox(const oaBox* r);
    // The same into a caller's vector (emptied first), for searches from
    // several threads at once.
    void search(const oaBox& r, std::vector<myShape*>& out) const;
    // Appends the feature to s_searchResult; never stops the search.
    static bool rtreeSearchCB(myShape* s, void* context);

    static std::vector<myShape*> s_searchResult;
};
