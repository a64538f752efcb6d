#include "geometry/wire_rtree.h"

std::vector<myShape*> WireRTree::s_searchResult;

void WireRTree::insert(myShape* s) {
    const int min[2] = {s->bbox->left(), s->bbox->bottom()};
    const int max[2] = {s->bbox->right(), s->bbox->top()};
    Insert(min, max, s);
}

std::vector<myShape*>* WireRTree::searchoaBox(const oaBox* r) {
    s_searchResult.clear();
    const int min[2] = {r->left(), r->bottom()};
    const int max[2] = {r->right(), r->top()};
    Search(min, max, &WireRTree::rtreeSearchCB, nullptr);
    return &s_searchResult;
}

bool WireRTree::rtreeSearchCB(myShape* s, void*) {
    s_searchResult.push_back(s);
    return true;
}

void WireRTree::search(const oaBox& r, std::vector<myShape*>& out) const {
    out.clear();
    const int min[2] = {r.left(), r.bottom()};
    const int max[2] = {r.right(), r.top()};
    Search(
        min, max,
        [](myShape* s, void* context) {
            static_cast<std::vector<myShape*>*>(context)->push_back(s);
            return true;
        },
        &out);
}
