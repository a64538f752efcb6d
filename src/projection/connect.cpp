#include <algorithm>
#include <cstdint>

#include "driver/design.h"
#include "geometry/boxdist.h"
#include "geometry/params.h"

void Design::ConnectTouchBoxes(std::vector<myShape*>& shapes) {
    // Sweep along the feature's longer axis instead of testing every pair:
    // a rail or a large net can hold thousands of pieces. The links form
    // sets, so the visiting order does not show in the result.
    std::vector<myBox*> boxes;
    for (myShape* shape : shapes) {
        boxes.clear();
        int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
        for (myBox* b : shape->myBoxes) {
            // Degenerate pieces never touch anything.
            if (b->box->getWidth() <= 0 || b->box->getHeight() <= 0) continue;
            boxes.push_back(b);
            minX = std::min<int64_t>(minX, b->box->left());
            maxX = std::max<int64_t>(maxX, b->box->right());
            minY = std::min<int64_t>(minY, b->box->bottom());
            maxY = std::max<int64_t>(maxY, b->box->top());
        }
        if (boxes.size() < 2) continue;
        const bool alongX = maxX - minX >= maxY - minY;
        auto lo = [alongX](const myBox* b) { return alongX ? b->box->left() : b->box->bottom(); };
        auto hi = [alongX](const myBox* b) { return alongX ? b->box->right() : b->box->top(); };
        std::sort(boxes.begin(), boxes.end(),
                  [&lo](const myBox* a, const myBox* b) { return lo(a) < lo(b); });
        for (size_t i = 0; i < boxes.size(); ++i) {
            myBox* a = boxes[i];
            for (size_t j = i + 1; j < boxes.size() && lo(boxes[j]) <= hi(a); ++j) {
                myBox* b = boxes[j];
                if (!a->overlaps(b, true)) continue;
                a->stitchNeighbors.insert(b);
                b->stitchNeighbors.insert(a);
            }
        }
    }
}

void Design::ConnectDPLBoxes(std::vector<myShape*>& shapes) {
    // Strict here: pieces exactly MINDPLDIST apart do not conflict.
    const int64_t limit = int64_t(MINDPLDIST) * MINDPLDIST;
    for (myShape* shape : shapes) {
        for (myBox* q : shape->myBoxes) {
            for (myShape* neighbor : shape->neighbors) {
                for (myBox* c : neighbor->myBoxes) {
                    if (c->shape->id == q->shape->id) continue;
                    if (Box2BoxDist(q->box, c->box, 1) < limit) q->conflictNeighbors.insert(c);
                }
            }
        }
    }
}
