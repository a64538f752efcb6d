#pragma once
// The plane-geometry value types of the layout: points, boxes and point
// arrays with 32-bit coordinates in layout units (nanometres after reading).
// They carry the behaviour the rest of the system relies on and nothing else.

#include <cstdint>
#include <ostream>
#include <vector>

typedef int32_t oaCoord;

// v brought into the coordinate range, saturating at its ends.
inline oaCoord clampCoord(int64_t v) {
    return static_cast<oaCoord>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

// A point (x, y). Ordered by x, then y.
class oaPoint {
  public:
    oaPoint() : x_(0), y_(0) {}
    oaPoint(oaCoord x, oaCoord y) : x_(x), y_(y) {}

    oaCoord x() const { return x_; }
    oaCoord y() const { return y_; }
    oaCoord& x() { return x_; }
    oaCoord& y() { return y_; }

    bool operator==(const oaPoint& o) const { return x_ == o.x_ && y_ == o.y_; }
    bool operator!=(const oaPoint& o) const { return !(*this == o); }
    bool operator<(const oaPoint& o) const { return x_ != o.x_ ? x_ < o.x_ : y_ < o.y_; }

  private:
    oaCoord x_;
    oaCoord y_;
};

// A rectangle (left, bottom, right, top). The coordinates are read and written
// directly; nothing normalises them, so an inverted box (right < left or
// top < bottom) is representable and stands for "empty" where a result is.
// Width and height are computed in 64 bits so that no extreme box wraps.
class oaBox {
  public:
    oaBox() : l_(0), b_(0), r_(0), t_(0) {}
    oaBox(oaCoord left, oaCoord bottom, oaCoord right, oaCoord top)
        : l_(left), b_(bottom), r_(right), t_(top) {}

    oaCoord left() const { return l_; }
    oaCoord bottom() const { return b_; }
    oaCoord right() const { return r_; }
    oaCoord top() const { return t_; }
    oaCoord& left() { return l_; }
    oaCoord& bottom() { return b_; }
    oaCoord& right() { return r_; }
    oaCoord& top() { return t_; }

    void set(oaCoord left, oaCoord bottom, oaCoord right, oaCoord top) {
        l_ = left;
        b_ = bottom;
        r_ = right;
        t_ = top;
    }
    oaPoint lowerLeft() const { return oaPoint(l_, b_); }
    oaPoint upperRight() const { return oaPoint(r_, t_); }
    int64_t getWidth() const { return int64_t(r_) - l_; }
    int64_t getHeight() const { return int64_t(t_) - b_; }

    // True when the boxes share area. With includeEdges nonzero, boxes that
    // only abut along an edge or meet at a corner overlap as well. A box of
    // zero width or height shares no area with anything, but with edges
    // included it overlaps every box it touches.
    bool overlaps(const oaBox& o, int includeEdges) const {
        if (includeEdges) return o.l_ <= r_ && l_ <= o.r_ && o.b_ <= t_ && b_ <= o.t_;
        return o.l_ < r_ && l_ < o.r_ && o.b_ < t_ && b_ < o.t_ && l_ < r_ && b_ < t_ &&
               o.l_ < o.r_ && o.b_ < o.t_;
    }

    // Writes the common rectangle into result: the larger lower-left and the
    // smaller upper-right coordinates. For boxes that do not meet the result
    // is inverted (empty). result may be this box or o.
    void intersection(const oaBox& o, oaBox& result) const {
        oaBox r(l_ > o.l_ ? l_ : o.l_, b_ > o.b_ ? b_ : o.b_, r_ < o.r_ ? r_ : o.r_,
                t_ < o.t_ ? t_ : o.t_);
        result = r;
    }

    bool operator==(const oaBox& o) const {
        return l_ == o.l_ && b_ == o.b_ && r_ == o.r_ && t_ == o.t_;
    }
    bool operator!=(const oaBox& o) const { return !(*this == o); }
    // Lexicographic on (left, bottom, right, top), for sorting.
    bool operator<(const oaBox& o) const {
        if (l_ != o.l_) return l_ < o.l_;
        if (b_ != o.b_) return b_ < o.b_;
        if (r_ != o.r_) return r_ < o.r_;
        return t_ < o.t_;
    }

  private:
    oaCoord l_, b_, r_, t_;
};

// Printable form "(l,b;r,t)".
std::ostream& operator<<(std::ostream& os, const oaBox& b);
std::ostream& operator<<(std::ostream& os, const oaPoint& p);

// A growable array of points, owned by value. Growing keeps the points in
// order; setting the size (capacity) to 0 releases the storage.
class oaPointArray {
  public:
    oaPointArray() = default;
    explicit oaPointArray(uint32_t size) { pts_.reserve(size); }
    virtual ~oaPointArray() = default;
    oaPointArray(const oaPointArray&) = default;
    oaPointArray& operator=(const oaPointArray&) = default;

    uint32_t getNumElements() const { return static_cast<uint32_t>(pts_.size()); }
    // Sets the number of elements; new points are (0, 0).
    void setNumElements(uint32_t n) { pts_.resize(n); }
    uint32_t getSize() const { return static_cast<uint32_t>(pts_.capacity()); }
    // Sets the capacity. With copy false the contents are dropped; a size
    // below the number of elements truncates; size 0 releases the storage.
    void setSize(uint32_t size, bool copy = true);

    void append(const oaPoint& p) { pts_.push_back(p); }
    oaPoint& operator[](uint32_t i) { return pts_[i]; }
    const oaPoint& operator[](uint32_t i) const { return pts_[i]; }

    // Writes into result (which may be this array) the points of this closed
    // polygon without its non-corners: consecutive repeats (the last point
    // repeating the first included) and points collinear with their two
    // neighbours (wrap-around included) go; the remaining points keep their
    // order. Only tolerance 1 (exact collinearity) is meaningful; every
    // value is treated alike. Linear in the number of points.
    void compress(oaPointArray& result, unsigned tolerance) const;

    const std::vector<oaPoint>& points() const { return pts_; }

  private:
    std::vector<oaPoint> pts_;
};
