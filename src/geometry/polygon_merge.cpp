#include "geometry/polygon_merge.h"

#include <algorithm>
#include <utility>

namespace gtl = boost::polygon;

namespace chromasect {

namespace {

typedef gtl::point_data<int> BPoint;

bool lowerLeft(const oaPoint& a, const oaPoint& b) {
    return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
}

// Drops repeated vertices, the closing repeat included.
std::vector<oaPoint> withoutRepeats(const std::vector<oaPoint>& ring) {
    std::vector<oaPoint> out;
    out.reserve(ring.size());
    for (const oaPoint& p : ring)
        if (out.empty() || out.back() != p) out.push_back(p);
    while (out.size() > 1 && out.back() == out.front()) out.pop_back();
    return out;
}

// True when b lies on the straight run from a to c (a, b, c collinear and b
// between them). A reversal (a spike, as in the cut to a hole) is kept.
bool straightThrough(const oaPoint& a, const oaPoint& b, const oaPoint& c) {
    // Differences take 33 bits, so their products need more than 64.
    const __int128 ux = (long long)b.x() - a.x(), uy = (long long)b.y() - a.y();
    const __int128 vx = (long long)c.x() - b.x(), vy = (long long)c.y() - b.y();
    return ux * vy - uy * vx == 0 && ux * vx + uy * vy > 0;
}

bool ringBefore(const std::vector<oaPoint>& a, const std::vector<oaPoint>& b) {
    const oaBox ba = boundsOf(a), bb = boundsOf(b);
    if (ba.bottom() != bb.bottom()) return ba.bottom() < bb.bottom();
    if (ba.left() != bb.left()) return ba.left() < bb.left();
    return a < b;
}

// Simple rings go straight into the shared set; this decides which may.
// Any contact between non-adjacent edges, or adjacent edges folding back,
// sends a ring the slower way that fills both orientations.
bool simpleRing(const std::vector<oaPoint>& r) {
    const size_t n = r.size();
    if (n > 64) return false;  // quadratic check only for small rings
    for (size_t i = 0; i < n; ++i) {
        const oaPoint& a = r[i];
        const oaPoint& b = r[(i + 1) % n];
        for (size_t j = i + 1; j < n; ++j) {
            const oaPoint& c = r[j];
            const oaPoint& d = r[(j + 1) % n];
            const bool adjacent = j == i + 1 || (i == 0 && j == n - 1);
            const oaBox e1(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()),
                           std::max(a.y(), b.y()));
            const oaBox e2(std::min(c.x(), d.x()), std::min(c.y(), d.y()), std::max(c.x(), d.x()),
                           std::max(c.y(), d.y()));
            if (!e1.overlaps(e2, 1)) continue;
            if (!adjacent) return false;
            // Adjacent edges share one vertex; more contact means they fold back.
            oaBox common;
            e1.intersection(e2, common);
            if (common.getWidth() > 0 || common.getHeight() > 0) return false;
        }
    }
    return true;
}

}  // namespace

oaBox boundsOf(const std::vector<oaPoint>& ring) {
    oaBox b(ring[0].x(), ring[0].y(), ring[0].x(), ring[0].y());
    for (const oaPoint& p : ring) {
        b.left() = std::min(b.left(), p.x());
        b.bottom() = std::min(b.bottom(), p.y());
        b.right() = std::max(b.right(), p.x());
        b.top() = std::max(b.top(), p.y());
    }
    return b;
}

__int128 doubledSignedArea(const std::vector<oaPoint>& ring) {
    __int128 a = 0;
    const size_t n = ring.size();
    for (size_t i = 0; i < n; ++i) {
        const oaPoint& p = ring[i];
        const oaPoint& q = ring[(i + 1) % n];
        a += (__int128)p.x() * q.y() - (__int128)q.x() * p.y();
    }
    return a;
}

std::vector<oaPoint> normalizedRing(const std::vector<oaPoint>& ring, bool clockwise) {
    std::vector<oaPoint> r;
    r.reserve(ring.size());
    for (const oaPoint& p : withoutRepeats(ring)) {
        while (r.size() >= 2 && straightThrough(r[r.size() - 2], r.back(), p)) r.pop_back();
        r.push_back(p);
    }
    // Only the vertices next to the wrap can still run straight through.
    for (bool again = true; again && r.size() > 2;) {
        again = false;
        if (straightThrough(r[r.size() - 2], r.back(), r[0])) {
            r.pop_back();
            again = true;
        } else if (straightThrough(r.back(), r[0], r[1])) {
            r.erase(r.begin());
            again = true;
        }
    }
    if (r.size() < 3) return r;
    const __int128 area = doubledSignedArea(r);
    if ((clockwise && area > 0) || (!clockwise && area < 0)) std::reverse(r.begin(), r.end());
    std::rotate(r.begin(), std::min_element(r.begin(), r.end(), lowerLeft), r.end());
    return r;
}

void RectilinearMerge::addBox(const oaBox& box) {
    if (box.getWidth() <= 0 || box.getHeight() <= 0) return;
    set_.insert(gtl::rectangle_data<int>(box.left(), box.bottom(), box.right(), box.top()));
}

// Each vertical edge enters the set with the count change it makes when the
// set is swept from left to right: +1 where the inside begins, -1 where it
// ends, so that with sign +1 the inside of the ring counts +1 whatever the
// ring's orientation.
void RectilinearMerge::addEdges(Set& set, const std::vector<oaPoint>& ring, int sign) const {
    const __int128 area = doubledSignedArea(ring);
    if (area == 0) return;
    const int orientation = area > 0 ? 1 : -1;
    const size_t n = ring.size();
    for (size_t i = 0; i < n; ++i) {
        const oaPoint& p = ring[i];
        const oaPoint& q = ring[(i + 1) % n];
        if (p.x() != q.x() || p.y() == q.y()) continue;
        // Going down on a counter-clockwise ring is a left edge.
        const int count = (q.y() < p.y() ? 1 : -1) * orientation * sign;
        const int lo = std::min(p.y(), q.y()), hi = std::max(p.y(), q.y());
        set.insert(std::make_pair(std::make_pair(BPoint(p.x(), lo), BPoint(p.x(), hi)), count));
    }
}

void RectilinearMerge::addRing(const std::vector<oaPoint>& ring) {
    std::vector<oaPoint> r = withoutRepeats(ring);
    if (r.size() < 4) return;
    if (simpleRing(r)) {
        addEdges(set_, r, 1);
        return;
    }
    // Each orientation filled on its own: a cleaned set keeps only what
    // counts positive, so the two together hold every part the ring winds
    // around, and no part can cancel other metal.
    Set plus, minus;
    addEdges(plus, r, 1);
    addEdges(minus, r, -1);
    plus.clean();
    minus.clean();
    set_.insert(plus);
    set_.insert(minus);
}

void RectilinearMerge::addAll(const RectilinearMerge& other) {
    Set copy = other.set_;
    copy.clean();
    set_.insert(copy);
}

std::vector<MergedPolygon> RectilinearMerge::polygons() const {
    std::vector<gtl::polygon_90_with_holes_data<int> > raw;
    set_.get(raw);
    std::vector<MergedPolygon> out;
    out.reserve(raw.size());
    for (const auto& poly : raw) {
        MergedPolygon m;
        std::vector<oaPoint> ring;
        for (auto it = poly.begin(); it != poly.end(); ++it)
            ring.emplace_back(gtl::x(*it), gtl::y(*it));
        m.outline = normalizedRing(ring, true);
        if (m.outline.size() < 4) continue;
        for (auto h = poly.begin_holes(); h != poly.end_holes(); ++h) {
            ring.clear();
            for (auto it = h->begin(); it != h->end(); ++it)
                ring.emplace_back(gtl::x(*it), gtl::y(*it));
            std::vector<oaPoint> hole = normalizedRing(ring, false);
            if (hole.size() >= 4) m.holes.push_back(hole);
        }
        std::sort(m.holes.begin(), m.holes.end(),
                  [](const std::vector<oaPoint>& a, const std::vector<oaPoint>& b) {
                      return lowerLeft(a[0], b[0]) || (a[0] == b[0] && a < b);
                  });
        m.bbox = boundsOf(m.outline);
        out.push_back(std::move(m));
    }
    std::sort(out.begin(), out.end(), [](const MergedPolygon& a, const MergedPolygon& b) {
        if (a.bbox.bottom() != b.bbox.bottom()) return a.bbox.bottom() < b.bbox.bottom();
        if (a.bbox.left() != b.bbox.left()) return a.bbox.left() < b.bbox.left();
        return a.outline < b.outline;
    });
    return out;
}

std::vector<std::vector<oaPoint> > RectilinearMerge::ringsWithoutHoles() const {
    std::vector<gtl::polygon_90_data<int> > raw;
    set_.get(raw);
    std::vector<std::vector<oaPoint> > out;
    out.reserve(raw.size());
    for (const auto& poly : raw) {
        std::vector<oaPoint> ring;
        for (auto it = poly.begin(); it != poly.end(); ++it)
            ring.emplace_back(gtl::x(*it), gtl::y(*it));
        ring = normalizedRing(ring, true);
        if (ring.size() >= 4) out.push_back(std::move(ring));
    }
    std::sort(out.begin(), out.end(), ringBefore);
    return out;
}

std::vector<oaBox> RectilinearMerge::rectangles() const {
    std::vector<gtl::rectangle_data<int> > raw;
    set_.get_rectangles(raw);
    std::vector<oaBox> out;
    out.reserve(raw.size());
    for (const auto& r : raw) out.emplace_back(gtl::xl(r), gtl::yl(r), gtl::xh(r), gtl::yh(r));
    return out;
}

RectilinearMerge RectilinearMerge::clipped(const oaBox& box) const {
    RectilinearMerge window;
    window.addBox(box);
    return intersection(window);
}

RectilinearMerge RectilinearMerge::intersection(const RectilinearMerge& other) const {
    using namespace gtl::operators;
    Set mine = set_, theirs = other.set_;
    mine.clean();
    theirs.clean();
    RectilinearMerge out;
    gtl::assign(out.set_, mine & theirs);
    return out;
}

RectilinearMerge RectilinearMerge::fromPolygon(const MergedPolygon& polygon) {
    RectilinearMerge m;
    m.addEdges(m.set_, polygon.outline, 1);
    for (const std::vector<oaPoint>& hole : polygon.holes) m.addEdges(m.set_, hole, -1);
    return m;
}

namespace {
void splitToFit(const RectilinearMerge& m, size_t maxPoints,
                std::vector<std::vector<oaPoint> >& out) {
    for (std::vector<oaPoint>& ring : m.ringsWithoutHoles()) {
        if (ring.size() + 1 <= maxPoints) {
            out.push_back(std::move(ring));
            continue;
        }
        RectilinearMerge part;
        part.addRing(ring);
        const oaBox b = boundsOf(ring);
        oaBox first = b, second = b;
        if (b.getWidth() >= b.getHeight()) {
            const int mid = static_cast<int>(b.left() + b.getWidth() / 2);
            first.right() = mid;
            second.left() = mid;
        } else {
            const int mid = static_cast<int>(b.bottom() + b.getHeight() / 2);
            first.top() = mid;
            second.bottom() = mid;
        }
        splitToFit(part.clipped(first), maxPoints, out);
        splitToFit(part.clipped(second), maxPoints, out);
    }
}
}  // namespace

std::vector<std::vector<oaPoint> > ringsForStream(const MergedPolygon& polygon, size_t maxPoints) {
    if (polygon.holes.empty() && polygon.outline.size() + 1 <= maxPoints) return {polygon.outline};
    std::vector<std::vector<oaPoint> > out;
    splitToFit(RectilinearMerge::fromPolygon(polygon), maxPoints, out);
    return out;
}

std::vector<oaBox> rectanglesOf(const MergedPolygon& polygon) {
    return RectilinearMerge::fromPolygon(polygon).rectangles();
}

}  // namespace chromasect
