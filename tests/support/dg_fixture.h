#pragma once
// Hand-built layouts for the decomposition-graph tests: features and pieces
// made through the run's pools, with the links projection would have made.

#include <set>
#include <utility>
#include <vector>

#include "design/design.h"
#include "support/test_support.h"

namespace dgtest {

class LayoutTest : public testsupport::GlobalsTest {
  protected:
    MPLDesign d;

    void SetUp() override {
        GlobalsTest::SetUp();
        d.minX = 0;
        d.maxX = 1000;
        d.minY = 0;
        d.maxY = 1000;
    }

    myShape* feature(int l, int b, int r, int t) {
        myShape* s = d.shapePool.make(l, b, r, t);
        s->id = static_cast<int>(d.shapes.size());
        d.shapes.push_back(s);
        return s;
    }
    myBox* piece(myShape* s, int l, int b, int r, int t) {
        myBox* p = d.boxPool.make(d.rectPool.make(l, b, r, t));
        p->shape = s;
        s->myBoxes.push_back(p);
        return p;
    }
    static void touch(myBox* a, myBox* b) {
        a->stitchNeighbors.insert(b);
        b->stitchNeighbors.insert(a);
    }
    static void conflict(myBox* a, myBox* b) {
        a->conflictNeighbors.insert(b);
        b->conflictNeighbors.insert(a);
        a->shape->neighbors.insert(b->shape);
        b->shape->neighbors.insert(a->shape);
    }

    // A graph of n one-piece vertices numbered as graph dgIndex, with the
    // given conflict and stitch edges between them; appended to d.dgs.
    std::vector<mySuperShape*> graph(int n, const std::vector<std::pair<int, int> >& conflicts,
                                     const std::vector<std::pair<int, int> >& stitches = {}) {
        const int dgIndex = static_cast<int>(d.dgs.size());
        d.dgs.emplace_back();
        std::vector<mySuperShape*> dg;
        myShape* s = feature(0, 0, 10, 10);
        for (int j = 0; j < n; ++j) {
            mySuperShape* v = d.superShapePool.make();
            v->vertexIndex = j;
            v->globalID = d.superShapeCounter++;
            myBox* p = piece(s, 0, 0, 10, 10);
            p->vertexIndex = j;
            p->dgIndex = dgIndex;
            v->boxes.push_back(p);
            dg.push_back(v);
        }
        for (auto e : conflicts) conflict(dg[e.first]->boxes[0], dg[e.second]->boxes[0]);
        for (auto e : stitches) touch(dg[e.first]->boxes[0], dg[e.second]->boxes[0]);
        d.dgs[dgIndex] = dg;
        return dg;
    }
};

inline std::set<std::pair<int, int> > bothOrders(const std::vector<std::pair<int, int> >& pairs) {
    std::set<std::pair<int, int> > out;
    for (auto p : pairs) {
        out.insert(p);
        out.insert(std::make_pair(p.second, p.first));
    }
    return out;
}

}  // namespace dgtest
