#include "geometry/polygon_to_rect.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <unordered_map>
#include <utility>

#include "base/fatal.h"

namespace PTR {

namespace {

// Corner sets up to this size are cut by plain scans: for the few corners
// of ordinary features that beats any index.
const uint32_t kDirectLimit = 64;

// A simple rectilinear polygon of n corners is cut in at most 2n passes:
// every pass consumes one bottom edge, and a pass adds more bottom edges
// than it consumes only through corners strictly inside its span on its
// top row, each of which can serve so once. A self-intersecting outline
// (its even-odd region) may need on the order of n^2 rectangles; such input
// is refused rather than cut into millions of pieces.
uint64_t passLimit(uint64_t corners) {
    return 4 * corners + 4;
}

}  // namespace

void F(oaPointArray& points, int x, int y) {
    const uint32_t n = points.getNumElements();
    for (uint32_t i = 0; i < n; ++i) {
        if (points[i].x() == x && points[i].y() == y) {
            for (uint32_t j = i; j + 1 < n; ++j) points[j] = points[j + 1];
            points.setNumElements(n - 1);
            return;
        }
    }
    points.append(oaPoint(x, y));
}

bool CutCornersDirect(oaPointArray& points, std::vector<oaBox>& rects) {
    const uint64_t limit = passLimit(points.getNumElements());
    uint64_t passes = 0;
    while (points.getNumElements() > 0) {
        const uint32_t n = points.getNumElements();
        if (n < 4) return false;
        if (++passes > limit) return false;

        int yk = points[0].y(), xk = points[0].x();
        for (uint32_t i = 1; i < n; ++i) {
            const oaPoint& p = points[i];
            if (p.y() < yk || (p.y() == yk && p.x() < xk)) {
                yk = p.y();
                xk = p.x();
            }
        }
        bool haveXl = false;
        int xl = std::numeric_limits<int>::max();
        for (uint32_t i = 0; i < n; ++i) {
            const oaPoint& p = points[i];
            if (p.y() == yk && p.x() > xk && p.x() <= xl) {
                xl = p.x();
                haveXl = true;
            }
        }
        if (!haveXl) return false;
        bool haveYm = false;
        int ym = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const oaPoint& p = points[i];
            if (p.x() >= xk && p.x() < xl && p.y() > yk && (!haveYm || p.y() < ym)) {
                ym = p.y();
                haveYm = true;
            }
        }
        // A row below that whose corners left of the span are odd in number
        // carries an edge across the whole span (its ends lie outside it):
        // the region ends there although no corner marks it.
        std::vector<int> band;
        for (uint32_t i = 0; i < n; ++i) {
            const oaPoint& p = points[i];
            if (p.x() < xk && p.y() > yk && (!haveYm || p.y() < ym)) band.push_back(p.y());
        }
        std::sort(band.begin(), band.end());
        for (size_t i = 0; i < band.size();) {
            size_t j = i;
            while (j < band.size() && band[j] == band[i]) ++j;
            if ((j - i) % 2 == 1) {
                ym = band[i];
                haveYm = true;
                break;
            }
            i = j;
        }
        if (!haveYm) return false;

        rects.push_back(oaBox(xk, yk, xl, ym));
        F(points, xk, yk);
        F(points, xl, yk);
        F(points, xk, ym);
        F(points, xl, ym);
    }
    return true;
}

namespace {

// The corner multiset of CutCornersDirect with the same toggle order, kept
// in indexes: rows ordered by (y, x) give the lowest-left corner and its
// right neighbour; per-column y sets under a min segment tree give the
// lowest corner above the row within a span of columns. Every corner that
// ever exists has the x of an input corner, so the columns are fixed.
class IndexedCorners {
  public:
    explicit IndexedCorners(const oaPointArray& pts) {
        const uint32_t n = pts.getNumElements();
        xs_.reserve(n);
        for (uint32_t i = 0; i < n; ++i) xs_.push_back(pts[i].x());
        std::sort(xs_.begin(), xs_.end());
        xs_.erase(std::unique(xs_.begin(), xs_.end()), xs_.end());
        columns_.resize(xs_.size());
        leaves_ = 1;
        while (leaves_ < xs_.size()) leaves_ *= 2;
        tree_.assign(2 * leaves_, kEmpty);
        workBudget_ = (uint64_t(1) << 22) + 64 * uint64_t(n);
        occ_.reserve(n);
        for (uint32_t i = 0; i < n; ++i) append(occ_[key(pts[i].x(), pts[i].y())], pts[i]);
    }

    size_t size() const { return alive_; }

    // The next cut, or false when there is none (see CutCornersDirect).
    bool nextCut(oaBox& cut) {
        auto low = rows_.begin();
        const int yk = low->first, xk = low->second;
        auto right = std::next(low);
        if (right == rows_.end() || right->first != yk) return false;
        const int xl = right->second;
        const size_t ck = column(xk), cl = column(xl);
        // Columns strictly inside the span hold nothing on row yk (xl is
        // the next corner there) and nothing below it, so their lowest
        // corner is above the row; column xk may hold the row itself.
        int64_t ym = rangeMin(ck + 1, cl);
        const std::set<int>& own = columns_[ck];
        auto above = own.upper_bound(yk);
        if (above != own.end()) ym = std::min<int64_t>(ym, *above);
        // Rows below that with an odd number of corners left of the span
        // carry an edge across the whole span. Columns left of xk hold
        // nothing on row yk either, so their minimum is the first such row.
        const int64_t firstLeft = rangeMin(0, ck);
        if (firstLeft >= ym) return finish(cut, xk, yk, xl, ym);
        auto it =
            rows_.lower_bound(std::make_pair(int(firstLeft), std::numeric_limits<int>::min()));
        while (it != rows_.end() && it->first < ym) {
            // Scanning the band is linear in the worst case; outlines that
            // make it add up beyond this budget are refused.
            if (++work_ > workBudget_) return false;
            const int row = it->first;
            size_t count = 0;
            for (; it != rows_.end() && it->first == row && it->second < xk; ++it) {
                count += multiplicity(it->second, row);
                ++work_;
            }
            if (count % 2 == 1) {
                ym = row;
                break;
            }
            it = rows_.upper_bound(std::make_pair(row, std::numeric_limits<int>::max()));
        }
        return finish(cut, xk, yk, xl, ym);
    }

    void toggle(int x, int y) {
        Occurrences& o = occ_[key(x, y)];
        if (o.head == o.index.size()) {
            append(o, oaPoint(x, y));
            if (seq_.size() > 2 * alive_ + 1024) compact();
            return;
        }
        alive_flag_[o.index[o.head++]] = 0;
        --alive_;
        if (o.head == o.index.size()) {
            o.index.clear();
            o.head = 0;
            rows_.erase(std::make_pair(y, x));
            updateColumn(column(x), y, false);
        }
    }

    // The corners left, in toggle order.
    void writeTo(oaPointArray& pts) const {
        pts.setNumElements(0);
        for (size_t i = 0; i < seq_.size(); ++i)
            if (alive_flag_[i]) pts.append(seq_[i]);
    }

  private:
    static constexpr int64_t kEmpty = std::numeric_limits<int64_t>::max();

    struct Occurrences {
        std::vector<uint32_t> index;  // positions in seq_, first occurrence at head
        size_t head = 0;
    };

    void append(Occurrences& o, const oaPoint& p) {
        if (o.head == o.index.size()) {
            rows_.insert(std::make_pair(p.y(), p.x()));
            updateColumn(column(p.x()), p.y(), true);
        }
        o.index.push_back(static_cast<uint32_t>(seq_.size()));
        seq_.push_back(p);
        alive_flag_.push_back(1);
        ++alive_;
    }

    static bool finish(oaBox& cut, int xk, int yk, int xl, int64_t ym) {
        if (ym == kEmpty) return false;
        cut = oaBox(xk, yk, xl, static_cast<int>(ym));
        return true;
    }

    size_t multiplicity(int x, int y) const {
        auto it = occ_.find(key(x, y));
        return it == occ_.end() ? 0 : it->second.index.size() - it->second.head;
    }

    static uint64_t key(int x, int y) {
        return (uint64_t(uint32_t(x)) << 32) | uint64_t(uint32_t(y));
    }

    size_t column(int x) const {
        return static_cast<size_t>(std::lower_bound(xs_.begin(), xs_.end(), x) - xs_.begin());
    }

    void updateColumn(size_t c, int y, bool add) {
        std::set<int>& ys = columns_[c];
        if (add)
            ys.insert(y);
        else
            ys.erase(y);
        size_t i = c + leaves_;
        tree_[i] = ys.empty() ? kEmpty : *ys.begin();
        for (i /= 2; i >= 1; i /= 2) tree_[i] = std::min(tree_[2 * i], tree_[2 * i + 1]);
    }

    // Minimum over columns [from, to).
    int64_t rangeMin(size_t from, size_t to) const {
        int64_t best = kEmpty;
        size_t lo = from + leaves_, hi = to + leaves_;
        while (lo < hi) {
            if (lo & 1) best = std::min(best, tree_[lo++]);
            if (hi & 1) best = std::min(best, tree_[--hi]);
            lo /= 2;
            hi /= 2;
        }
        return best;
    }

    // Drops dead entries so that storage stays proportional to the corners.
    void compact() {
        std::vector<oaPoint> seq;
        seq.reserve(alive_);
        for (auto& kv : occ_) {
            kv.second.index.clear();
            kv.second.head = 0;
        }
        for (size_t i = 0; i < seq_.size(); ++i) {
            if (!alive_flag_[i]) continue;
            occ_[key(seq_[i].x(), seq_[i].y())].index.push_back(static_cast<uint32_t>(seq.size()));
            seq.push_back(seq_[i]);
        }
        seq_.swap(seq);
        alive_flag_.assign(seq_.size(), 1);
        for (auto it = occ_.begin(); it != occ_.end();) {
            if (it->second.index.empty())
                it = occ_.erase(it);
            else
                ++it;
        }
    }

    std::vector<int> xs_;
    std::vector<std::set<int>> columns_;
    size_t leaves_ = 1;
    std::vector<int64_t> tree_;
    std::set<std::pair<int, int>> rows_;  // distinct (y, x) present
    std::unordered_map<uint64_t, Occurrences> occ_;
    std::vector<oaPoint> seq_;
    std::vector<char> alive_flag_;
    size_t alive_ = 0;
    uint64_t work_ = 0;
    uint64_t workBudget_ = 0;
};

}  // namespace

bool CutCornersIndexed(oaPointArray& points, std::vector<oaBox>& rects) {
    const uint64_t limit = passLimit(points.getNumElements());
    IndexedCorners corners(points);
    uint64_t passes = 0;
    bool ok = true;
    while (corners.size() > 0) {
        oaBox cut;
        if (corners.size() < 4 || ++passes > limit || !corners.nextCut(cut)) {
            ok = false;
            break;
        }
        rects.push_back(cut);
        corners.toggle(cut.left(), cut.bottom());
        corners.toggle(cut.right(), cut.bottom());
        corners.toggle(cut.left(), cut.top());
        corners.toggle(cut.right(), cut.top());
    }
    corners.writeTo(points);
    return ok;
}

namespace {

// Polygon2Rectangle after the compression.
bool cutCompressed(oaPointArray& points, std::vector<oaBox>& rects) {
    const uint32_t n = points.getNumElements();
    for (uint32_t i = 0; i + 2 < n; ++i) {
        const oaPoint &a = points[i], &b = points[i + 1], &c = points[i + 2];
        if ((a.x() == b.x() && b.x() == c.x()) || (a.y() == b.y() && b.y() == c.y()))
            chromasect::fatal(chromasect::kExitUsage, "WARNING| find line");
    }
    if (n <= kDirectLimit) return CutCornersDirect(points, rects);
    return CutCornersIndexed(points, rects);
}

}  // namespace

bool Polygon2Rectangle(oaPointArray& points, std::vector<oaBox>& rects) {
    points.compress(points, 1);
    return cutCompressed(points, rects);
}

}  // namespace PTR

namespace PTR {

void SkippedOutlines::count(OutlineUse use) {
    switch (use) {
        case OutlineUse::Keep:
            break;
        case OutlineUse::Unclosed:
            ++unclosed;
            break;
        case OutlineUse::Degenerate:
            ++degenerate;
            break;
        case OutlineUse::NonManhattan:
            ++nonManhattan;
            break;
        case OutlineUse::SelfCrossing:
            ++selfCrossing;
            break;
    }
}

OutlineUse CutOutline(const oaPointArray& points, oaPointArray& corners,
                      std::vector<oaBox>& rects) {
    rects.clear();
    const uint32_t n = points.getNumElements();
    if (n == 0) return OutlineUse::Degenerate;
    if (points[n - 1] != points[0]) return OutlineUse::Unclosed;
    points.compress(corners, 1);
    const uint32_t m = corners.getNumElements();
    __int128 doubledArea = 0;  // up to 66 bits
    for (uint32_t i = 0; i < m; ++i) {
        const oaPoint& p = corners[i];
        const oaPoint& q = corners[(i + 1) % m];
        if (p.x() != q.x() && p.y() != q.y()) return OutlineUse::NonManhattan;
        doubledArea += static_cast<__int128>(p.x()) * q.y() - static_cast<__int128>(q.x()) * p.y();
    }
    if (m < 4 || doubledArea == 0) return OutlineUse::Degenerate;
    if (!cutCompressed(corners, rects)) {
        rects.clear();
        return OutlineUse::SelfCrossing;
    }
    __int128 covered = 0;
    for (const oaBox& r : rects) covered += static_cast<__int128>(r.getWidth()) * r.getHeight();
    if (2 * covered != (doubledArea < 0 ? -doubledArea : doubledArea)) {
        rects.clear();
        return OutlineUse::SelfCrossing;
    }
    return OutlineUse::Keep;
}

}  // namespace PTR
