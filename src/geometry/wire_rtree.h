#pragma once
// Index of all features by bounding box.
// PLACEHOLDER: a linear list with the final interface; the R-tree replaces it.

#include <vector>

#include "geometry/oa.h"
#include "geometry/records.h"

class WireRTree {
public:
    WireRTree() = default;
    virtual ~WireRTree() = default;

    // Inserts the feature under its bounding box.
    void insert(myShape* s);
    // The features whose bounding boxes overlap r, edges included, in search
    // order. The result lives in the shared s_searchResult, which the next
    // search overwrites.
    std::vector<myShape*>* searchoaBox(const oaBox* r);
    static bool rtreeSearchCB(myShape* s, void* context);

    static std::vector<myShape*> s_searchResult;

private:
    std::vector<myShape*> items_;
};
