#pragma once
// Hand-built layout records for colouring tests: features with real boxes
// and pieces, their touch and conflict links, and graph vertices, made the
// way the earlier stages make them and owned by the run object.

#include <algorithm>
#include <vector>

#include "base/params.h"
#include "design/design.h"

namespace testrecords {

// A feature with one real box per rectangle, appended to shapes (id set).
inline myShape* feature(Design& d, std::vector<oaBox> rects) {
    oaBox bb = rects.front();
    for (const oaBox& r : rects)
        bb.set(std::min(bb.left(), r.left()), std::min(bb.bottom(), r.bottom()),
               std::max(bb.right(), r.right()), std::max(bb.top(), r.top()));
    myShape* s = d.shapePool.make(bb.left(), bb.bottom(), bb.right(), bb.top());
    s->SetRealBoxes(rects);
    s->id = static_cast<int>(d.shapes.size());
    d.shapes.push_back(s);
    return s;
}

inline myShape* feature(Design& d, int l, int b, int r, int t) {
    return feature(d, std::vector<oaBox>{oaBox(l, b, r, t)});
}

// A piece cut from real box `real` of feature s.
inline myBox* piece(Design& d, myShape* s, size_t real, int l, int b, int r, int t) {
    myBox* p = d.boxPool.make(d.rectPool.make(l, b, r, t));
    p->shape = s;
    s->realBoxes[real]->pieces.push_back(p);
    s->myBoxes.push_back(p);
    return p;
}

// A piece covering the whole of real box `real`.
inline myBox* wholePiece(Design& d, myShape* s, size_t real = 0) {
    const oaBox* r = s->realBoxes[real]->box;
    return piece(d, s, real, r->left(), r->bottom(), r->right(), r->top());
}

inline void conflict(myBox* a, myBox* b) {
    a->conflictNeighbors.insert(b);
    b->conflictNeighbors.insert(a);
}

inline void touch(myBox* a, myBox* b) {
    a->stitchNeighbors.insert(b);
    b->stitchNeighbors.insert(a);
}

// A fresh decomposition-graph vertex over the given pieces.
inline mySuperShape* vertex(Design& d, std::vector<myBox*> boxes) {
    mySuperShape* v = d.superShapePool.make();
    for (myBox* b : boxes) v->boxes.push_back(b);
    v->globalID = d.superShapeCounter++;
    for (myBox* b : boxes)
        if (b->shape->isVDDGND) v->isVDDGND = true;
    return v;
}

// A copy of v placed into graph g, as graph splitting makes it.
inline mySuperShape* copyInto(Design& d, mySuperShape* v, int g) {
    v->subDGs.push_back(g);
    return d.superShapePool.make(v);
}

}  // namespace testrecords
