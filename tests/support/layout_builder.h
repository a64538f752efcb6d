#pragma once
// Small layouts built in code: features from rectangles, filed as the reader
// files them (feature list, index, extent).

#include <algorithm>
#include <set>
#include <stack>
#include <vector>

#include "design/design.h"
#include "support/record_builder.h"
#include "support/test_support.h"

namespace layouttest {

class LayoutTest : public testsupport::GlobalsTest {
  protected:
    MPLDesign d;

    // A feature made of the given rectangles; its bounding box covers them.
    myShape* add(std::vector<oaBox> rects) {
        myShape* s = testrecords::feature(d, std::move(rects));
        const oaBox& bb = *s->bbox;
        d.wireRTree.insert(s);
        d.minX = std::min(d.minX, bb.left());
        d.minY = std::min(d.minY, bb.bottom());
        d.maxX = std::max(d.maxX, bb.right());
        d.maxY = std::max(d.maxY, bb.top());
        return s;
    }
    myShape* add(int l, int b, int r, int t) { return add({oaBox(l, b, r, t)}); }

    static std::set<myShape*> asSet(const std::vector<myShape*>& v) {
        return std::set<myShape*>(v.begin(), v.end());
    }
    static bool linked(myShape* a, myShape* b) {
        return a->neighbors.count(b) == 1 && b->neighbors.count(a) == 1;
    }
    // simplifiedShapes from first pushed to last.
    std::vector<int> removedIds() const {
        std::vector<int> out;
        std::stack<int> s = d.simplifiedShapes;
        while (!s.empty()) {
            out.insert(out.begin(), s.top());
            s.pop();
        }
        return out;
    }
};

}  // namespace layouttest
