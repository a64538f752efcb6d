#include "geometry/wire_rtree.h"

std::vector<myShape*> WireRTree::s_searchResult;

void WireRTree::insert(myShape* s) { items_.push_back(s); }

std::vector<myShape*>* WireRTree::searchoaBox(const oaBox* r) {
    s_searchResult.clear();
    for (myShape* s : items_)
        if (s->bbox->overlaps(*r, 1)) rtreeSearchCB(s, nullptr);
    return &s_searchResult;
}

bool WireRTree::rtreeSearchCB(myShape* s, void*) {
    s_searchResult.push_back(s);
    return true;
}
