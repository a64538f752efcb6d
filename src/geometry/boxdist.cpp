#include "geometry/boxdist.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "geometry/params.h"

int Box2BoxDist(const oaBox* a, const oaBox* b, int s) {
    if (s == 0) s = 1;
    // Scaled boxes keep their extent divided by s (truncating toward zero).
    auto scaled = [s](const oaBox* r, int64_t& l, int64_t& bo, int64_t& ri, int64_t& t) {
        l = r->left() / s;
        bo = r->bottom() / s;
        ri = l + (int64_t(r->right()) - r->left()) / s;
        t = bo + (int64_t(r->top()) - r->bottom()) / s;
    };
    int64_t al, ab, ar, at, bl, bb, br, bt;
    scaled(a, al, ab, ar, at);
    scaled(b, bl, bb, br, bt);

    int64_t gx = 0, gy = 0;
    if (bl > ar) gx = bl - ar;
    else if (al > br) gx = al - br;
    if (bb > at) gy = bb - at;
    else if (ab > bt) gy = ab - bt;

    const int64_t cap = std::max<int64_t>(0, 2 * int64_t(MINDPLDIST));
    gx = std::min(gx, cap);
    gy = std::min(gy, cap);
    const int64_t d = int64_t(s) * s * (gx * gx + gy * gy);
    return d > INT_MAX ? INT_MAX : static_cast<int>(d);
}
