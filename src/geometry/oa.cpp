#include "geometry/oa.h"

#include <deque>

std::ostream& operator<<(std::ostream& os, const oaBox& b) {
    return os << '(' << b.left() << ',' << b.bottom() << ';' << b.right() << ',' << b.top() << ')';
}

std::ostream& operator<<(std::ostream& os, const oaPoint& p) {
    return os << '(' << p.x() << ',' << p.y() << ')';
}

void oaPointArray::setSize(uint32_t size, bool copy) {
    if (!copy) pts_.clear();
    if (size < pts_.size()) pts_.resize(size);
    if (size == 0) {
        std::vector<oaPoint>().swap(pts_);
        return;
    }
    if (size > pts_.capacity()) pts_.reserve(size);
}

namespace {
// True when b lies on the line through a and c (64-bit cross product).
bool collinear(const oaPoint& a, const oaPoint& b, const oaPoint& c) {
    int64_t ux = int64_t(b.x()) - a.x(), uy = int64_t(b.y()) - a.y();
    int64_t vx = int64_t(c.x()) - b.x(), vy = int64_t(c.y()) - b.y();
    // Coordinates are 32-bit, so each product fits in 64 bits; the
    // difference of two such products can only overflow near the extremes,
    // where a 128-bit form keeps it exact.
    __int128 cross = static_cast<__int128>(ux) * vy - static_cast<__int128>(uy) * vx;
    return cross == 0;
}
}  // namespace

void oaPointArray::compress(oaPointArray& result, unsigned /*tolerance*/) const {
    std::deque<oaPoint> out;
    for (const oaPoint& p : pts_) {
        if (!out.empty() && out.back() == p) continue;
        while (out.size() >= 2 && collinear(out[out.size() - 2], out.back(), p)) out.pop_back();
        if (!out.empty() && out.back() == p) continue;
        out.push_back(p);
    }
    // Close the ring: the seam between the last and the first point.
    bool changed = true;
    while (changed && out.size() >= 2) {
        changed = false;
        if (out.back() == out.front()) {
            out.pop_back();
            changed = true;
            continue;
        }
        if (out.size() < 3) break;
        if (collinear(out[out.size() - 2], out.back(), out.front())) {
            out.pop_back();
            changed = true;
        } else if (collinear(out.back(), out.front(), out[1])) {
            out.pop_front();
            changed = true;
        }
    }
    result.pts_.assign(out.begin(), out.end());
}
