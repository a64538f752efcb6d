#include "geometry/boxdist.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "base/params.h"

namespace {

// The 32-bit form of the sum goes negative for some pairs from a spacing of
// 16384 on. The result saturates instead, but such pairs are still reported,
// as users of the 32-bit form know them.
bool wrapsIn32Bits(int s, int64_t gx, int64_t gy) {
    const uint32_t us = static_cast<uint32_t>(s);
    const uint32_t sum = static_cast<uint32_t>(gx) * static_cast<uint32_t>(gx) +
                         static_cast<uint32_t>(gy) * static_cast<uint32_t>(gy);
    return static_cast<int32_t>(us * us * sum) < 0;
}

// Position of b around a, counter-clockwise from above-right (0) to right (7).
int positionCode(int64_t al, int64_t ab, int64_t ar, int64_t at, int64_t bl, int64_t bb, int64_t br,
                 int64_t bt) {
    const bool xOverlap = bl < ar && al < br;
    const bool yOverlap = bb < at && ab < bt;
    const bool above = bb >= at;
    const bool right = bl >= ar;
    if (yOverlap) return right ? 7 : 3;
    if (xOverlap) return above ? 1 : 5;
    if (above) return right ? 0 : 2;
    return right ? 6 : 4;
}

void reportWrap(chromasect::Reporter& report, int64_t al, int64_t ab, int64_t ar, int64_t at,
                int64_t bl, int64_t bb, int64_t br, int64_t bt, int64_t gx, int64_t gy) {
    const int oct = positionCode(al, ab, ar, at, bl, bb, br, bt);
    const bool diagonal = oct % 2 == 0;
    const int64_t side = diagonal ? 0 : (oct == 1 || oct == 5 ? gy : gx);
    report.print("\ntemp = %lld  oct = %d  cx = %lld  cy = %lld\n", static_cast<long long>(side),
                 oct, static_cast<long long>(diagonal ? gx : 0),
                 static_cast<long long>(diagonal ? gy : 0));
}

}  // namespace

int Box2BoxDist(const oaBox* a, const oaBox* b, int s, chromasect::Reporter* report) {
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
    if (bl > ar)
        gx = bl - ar;
    else if (al > br)
        gx = al - br;
    if (bb > at)
        gy = bb - at;
    else if (ab > bt)
        gy = ab - bt;

    const int64_t cap = std::max<int64_t>(0, 2 * int64_t(MINDPLDIST));
    gx = std::min(gx, cap);
    gy = std::min(gy, cap);
    const int64_t d = int64_t(s) * s * (gx * gx + gy * gy);
    if (report && wrapsIn32Bits(s, gx, gy)) {
        reportWrap(*report, al, ab, ar, at, bl, bb, br, bt, gx, gy);
    }
    return d > INT_MAX ? INT_MAX : static_cast<int>(d);
}
