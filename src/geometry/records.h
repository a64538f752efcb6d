#pragma once
// The three records that carry a layout through a run:
//   myShape       one feature (a polygon of the layer),
//   myBox         one rectangle: a real box of a feature, or a piece cut from one,
//   mySuperShape  one decomposition-graph vertex (pieces of one feature that
//                 take one colour).
// Colours are ints: 0 .. NUM_COLORS-1 are masks, UNSOLVE_COLOR (-1) means
// uncoloured, NEEDDG_COLOR and SPLIT_COLOR are markers. Every colour write
// keeps the two-bit code colorHigh = c / 2, colorLow = c % 2 in step.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <list>
#include <ostream>
#include <vector>

#include "geometry/oa.h"
#include "geometry/ptr_set.h"

struct myShape;
struct myBox;

namespace chromasect {
// Creation serial numbers give records a stable identity: sets of records
// are ordered by it, so every walk over them is the same from run to run
// (raw addresses would change with the allocator).
// At most 2^32 - 1 records a run (a layer of 10^8 features makes about 10^9):
// past that the run ends, never reusing a number.
uint32_t nextRecordSerial();

struct ShapeOrder {
    bool operator()(const myShape* a, const myShape* b) const;
};
struct BoxOrder {
    bool operator()(const myBox* a, const myBox* b) const;
};
}  // namespace chromasect

// Sorted arrays, not trees: a few pointers each, walked far more often than
// changed, at a fraction of a tree's memory. Iterators do not survive an
// insertion.
typedef chromasect::PtrSet<myShape, chromasect::ShapeOrder> myShapeSet;
typedef chromasect::PtrSet<myBox, chromasect::BoxOrder> myBoxSet;

// The real boxes of a feature, in creation order: one array inside the
// feature's own block, walked as record pointers like the list it replaces,
// without a list of its own.
class RealBoxRange {
  public:
    class const_iterator {
      public:
        typedef std::forward_iterator_tag iterator_category;
        typedef myBox* value_type;
        typedef std::ptrdiff_t difference_type;
        typedef myBox* const* pointer;
        typedef myBox* reference;
        explicit const_iterator(myBox* p = nullptr) : p_(p) {}
        myBox* operator*() const { return p_; }
        const_iterator& operator++();
        bool operator==(const const_iterator& o) const { return p_ == o.p_; }
        bool operator!=(const const_iterator& o) const { return p_ != o.p_; }

      private:
        myBox* p_;
    };
    typedef const_iterator iterator;

    RealBoxRange() = default;
    RealBoxRange(myBox* first, uint32_t n) : first_(first), size_(n) {}
    const_iterator begin() const { return const_iterator(first_); }
    const_iterator end() const;
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    myBox* operator[](size_t i) const;
    myBox* front() const { return (*this)[0]; }
    myBox* back() const { return (*this)[size_ - 1]; }

  private:
    myBox* first_ = nullptr;
    uint32_t size_ = 0;
};

// A feature's outline in exactly the bytes of its points (a small block
// when short), where a point list would add a header and a heap block's.
class Outline {
  public:
    Outline() = default;
    ~Outline() { release(); }
    Outline(const Outline&) = delete;
    Outline& operator=(const Outline&) = delete;

    // Appends every point of pts, in order.
    void append(const oaPointArray& pts);
    // No points, and their memory given back.
    void release();
    uint32_t getNumElements() const { return size_; }
    // The points, in order (a copy).
    std::vector<oaPoint> points() const { return std::vector<oaPoint>(pts_, pts_ + size_); }

  private:
    oaPoint* pts_ = nullptr;
    uint32_t size_ = 0;
};

// One layout feature. It owns its bounding box, its real boxes and their
// rectangles; it is neither copied nor moved (records are referred to by
// address everywhere).
struct myShape {
    Outline points;  // outline, closing vertex dropped
    oaBox* bbox;     // bounding box of all vertices read (owned: bboxStorage)
    chromasect::SmallList<myBox*> myBoxes;  // pieces after projection, in creation order
    RealBoxRange realBoxes;                 // rectangles of the polygon (owned)
    myShapeSet neighbors;                   // layout-graph neighbours
    int id = -1;                            // index in the run's feature list
    int compID = -1;                        // layout-graph component
    int compIndex = 0;                      // position in its component's feature list
    int subCompID = -1;                     // group among the features still decomposed
    int lgIndex = -1;                       // index among those features, or -1
    int color = -1;
    int colorHigh = -1;
    int colorLow = -1;
    bool needDG = true;     // still takes part in decomposition graphs
    bool isVDDGND = false;  // power or ground rail
    // Mask the input fixed for this feature ("-fixed", "-previous"), or -1:
    // free. Every stage leaves a fixed feature on its mask.
    signed char fixedMask = -1;

    myShape(int left, int bottom, int right, int top);
    ~myShape();
    myShape(const myShape&) = delete;
    myShape& operator=(const myShape&) = delete;

    // Appends every point of pts, in order.
    void SetPoints(oaPointArray& pts);
    // Makes one owned real box per rectangle (private copies), in order.
    // Once a feature: a second call ends the run.
    void SetRealBoxes(std::vector<oaBox>& rects);
    // Accepts -1 .. NUM_COLORS (NEEDDG_COLOR included, SPLIT_COLOR not);
    // colours the feature and each of its real boxes, not its pieces (nor a
    // real box that is its own piece).
    // Outside that range the run ends: "Error| In myShape::SetColor(), color = ".
    void SetMultiColor(int c);
    // Sum of width x height of the real boxes, in int arithmetic (0 without).
    int GetAreas() const;
    // Always INT_MAX, whatever the box.
    int GetDistance(myBox* b) const;

    const uint32_t serial;

  private:
    oaBox bboxStorage;
    // The real boxes and their rectangles, in one block (first the
    // rectangles, then the boxes).
    void* realBoxBlock = nullptr;
};

// Layout-graph order of features: a feature narrower than tall compares left
// edges, any other compares bottom edges. Only the first argument's shape
// decides, so this is no strict weak ordering when orientations are mixed.
bool byLeftBottom(myShape* a, myShape* b);

// One rectangle: a real box of a feature or a piece cut from one (a real
// box lists its pieces). A real box left whole is its own one piece: the
// record then plays both parts (ownPiece). It does not own its rectangle.
struct myBox {
    // Real box: the pieces cut from it (mostly one, held in place).
    chromasect::SmallList<myBox*> pieces;
    oaBox* box;                  // the rectangle
    myShape* shape = nullptr;    // owning feature
    myBoxSet stitchNeighbors;    // touching boxes of the same feature
    myBoxSet conflictNeighbors;  // boxes of other features within conflict distance
    int boxIndex = -1;           // position in its decomposition graph's piece list
    int vertexIndex = -1;        // position of its super-shape in its graph
    int dgIndex = -1;            // its decomposition graph
    int color = -1;
    bool needDG = true;
    bool ownPiece = false;  // real box that is also its one piece (colour: the piece's)
    uint32_t serial;        // renewed once, when a real box becomes its own piece

    explicit myBox(oaBox* r);
    // Makes this real box its own one piece, as a new piece would be: a new
    // serial, no colour, no links. Sets holding it must be sorted again.
    void becomeOwnPiece();
    myBox(const myBox&) = delete;
    myBox& operator=(const myBox&) = delete;

    // False when either rectangle has zero or negative width or height;
    // otherwise oaBox::overlaps of the two rectangles.
    bool overlaps(myBox* other, bool incEdges) const;
};

inline RealBoxRange::const_iterator& RealBoxRange::const_iterator::operator++() {
    ++p_;
    return *this;
}
inline RealBoxRange::const_iterator RealBoxRange::end() const {
    return const_iterator(first_ + size_);
}
inline myBox* RealBoxRange::operator[](size_t i) const {
    return first_ + i;
}

// "boxIndex|vertexIndex  (left,bottom)  (right,top)", no line end.
std::ostream& operator<<(std::ostream& os, const myBox& b);

// One decomposition-graph vertex: pieces of one feature.
struct mySuperShape {
    chromasect::SmallList<myBox*> boxes;  // the pieces of the vertex (the same in copies)
    chromasect::SmallList<int> subDGs;    // graphs that received a copy of this vertex
    int vertexIndex = -1;
    int globalID = -1;  // run-wide number, equal for all copies of a vertex
    int colorTmp = -1;  // working colour
    int colorHigh = -1;
    int colorLow = -1;
    bool isVDDGND = false;

    mySuperShape() = default;
    // Copies every field from other; the pieces are shared, not copied.
    explicit mySuperShape(mySuperShape* other);

    // Working colour only; accepts 0 .. NUM_COLORS, else the run ends.
    void SetMultiColorTmp(int c);
    // Working colour and the colour of every piece; accepts 0 .. NUM_COLORS.
    void SetMultiColor(int c);
    void setMultiColor(int c) { SetMultiColor(c); }
    // Commits the working colour to the pieces.
    void SetMultiColorFinal() { SetMultiColor(colorTmp); }
    // colorTmp + k brought into range by one correction step; no range check.
    void RotateMultiColorTmp(int k);
    // Sum of width x height of the pieces, each product in double.
    double getWireDensity() const;
    // Its feature's fixed mask, or -1 (also for a vertex without pieces or
    // pieces without a feature).
    int fixedMask() const {
        return boxes.empty() || !boxes[0]->shape ? -1 : boxes[0]->shape->fixedMask;
    }
};
