#include "geometry/records.h"

#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "base/fatal.h"
#include "base/params.h"

namespace chromasect {
uint32_t nextRecordSerial() {
    static uint32_t counter = 0;
    if (counter == UINT32_MAX)
        fatal(kExitUsage,
              "ERROR| the layout needs more than 4294967295 records (features, rectangles and "
              "pieces)");
    return ++counter;
}
bool ShapeOrder::operator()(const myShape* a, const myShape* b) const {
    return a->serial < b->serial;
}
bool BoxOrder::operator()(const myBox* a, const myBox* b) const {
    return a->serial < b->serial;
}
}  // namespace chromasect

using chromasect::fatal;
using chromasect::kExitInternal;

myShape::myShape(int left, int bottom, int right, int top)
    : bbox(&bboxStorage),
      serial(chromasect::nextRecordSerial()),
      bboxStorage(left, bottom, right, top) {}

myShape::~myShape() {
    for (myBox* b : realBoxes) b->~myBox();
    ::operator delete(realBoxBlock);
}

void Outline::append(const oaPointArray& pts) {
    static_assert(std::is_trivially_copyable<oaPoint>::value, "points copied as bytes");
    const uint32_t n = pts.getNumElements();
    if (n == 0) return;
    oaPoint* block = chromasect::takeArray<oaPoint>(size_ + size_t(n));
    if (size_) std::memcpy(block, pts_, size_ * sizeof(oaPoint));
    std::memcpy(block + size_, pts.points().data(), n * sizeof(oaPoint));
    if (pts_) chromasect::giveArray(pts_, size_);
    pts_ = block;
    size_ += n;
}

void Outline::release() {
    if (pts_) chromasect::giveArray(pts_, size_);
    pts_ = nullptr;
    size_ = 0;
}

void myShape::SetPoints(oaPointArray& pts) {
    points.append(pts);
}

// One allocation for the boxes of a feature and their rectangles, instead of
// two per rectangle and a list: a feature has a few, a layer millions.
void myShape::SetRealBoxes(std::vector<oaBox>& rects) {
    if (realBoxBlock) fatal(kExitInternal, "Error| myShape::SetRealBoxes() called twice");
    if (rects.empty()) return;
    static_assert(sizeof(oaBox) % alignof(myBox) == 0, "rectangle alignment");
    const size_t n = rects.size();
    realBoxBlock = ::operator new(n*(sizeof(oaBox) + sizeof(myBox)));
    oaBox* rectArray = static_cast<oaBox*>(realBoxBlock);
    myBox* boxArray = reinterpret_cast<myBox*>(rectArray + n);
    for (size_t i = 0; i < n; ++i) {
        oaBox* rect = new (rectArray + i) oaBox(rects[i]);
        myBox* b = new (boxArray + i) myBox(rect);
        b->shape = this;
    }
    realBoxes = RealBoxRange(boxArray, static_cast<uint32_t>(n));
}

void myShape::SetMultiColor(int c) {
    if (c < -1 || c > NUM_COLORS)
        fatal(kExitInternal, "Error| In myShape::SetColor(), color = " + std::to_string(c));
    color = c;
    colorHigh = c / 2;
    colorLow = c % 2;
    for (myBox* b : realBoxes)
        if (!b->ownPiece) b->color = c;
}

int myShape::GetAreas() const {
    // Int arithmetic as the callers expect; the products are formed in
    // unsigned so that a huge feature wraps instead of being undefined.
    unsigned area = 0;
    for (const myBox* b : realBoxes)
        area += (unsigned(b->box->right()) - unsigned(b->box->left())) *
                (unsigned(b->box->top()) - unsigned(b->box->bottom()));
    return static_cast<int>(area);
}

int myShape::GetDistance(myBox*) const {
    return INT_MAX;
}

bool byLeftBottom(myShape* a, myShape* b) {
    if (a->bbox->getWidth() < a->bbox->getHeight()) return a->bbox->left() < b->bbox->left();
    return a->bbox->bottom() < b->bbox->bottom();
}

myBox::myBox(oaBox* r) : box(r), serial(chromasect::nextRecordSerial()) {}

void myBox::becomeOwnPiece() {
    ownPiece = true;
    serial = chromasect::nextRecordSerial();
    color = -1;
    needDG = true;
    stitchNeighbors.release();
    conflictNeighbors.release();
    pieces.clear();
    pieces.push_back(this);
}

bool myBox::overlaps(myBox* other, bool incEdges) const {
    if (box->getWidth() <= 0 || box->getHeight() <= 0) return false;
    if (other->box->getWidth() <= 0 || other->box->getHeight() <= 0) return false;
    return box->overlaps(*other->box, incEdges ? 1 : 0);
}

std::ostream& operator<<(std::ostream& os, const myBox& b) {
    return os << b.boxIndex << "|" << b.vertexIndex << "  (" << b.box->left() << ","
              << b.box->bottom() << ")  (" << b.box->right() << "," << b.box->top() << ")";
}

mySuperShape::mySuperShape(mySuperShape* other)
    : boxes(other->boxes),
      subDGs(other->subDGs),
      vertexIndex(other->vertexIndex),
      globalID(other->globalID),
      colorTmp(other->colorTmp),
      colorHigh(other->colorHigh),
      colorLow(other->colorLow),
      isVDDGND(other->isVDDGND) {}

namespace {
// Checks c for a super-shape setter named who and writes the working colour.
void setWorkingColor(mySuperShape& v, int c, const char* who) {
    if (c < 0 || c > NUM_COLORS)
        fatal(kExitInternal,
              std::string("Error| In mySuperShape::") + who + "(), color = " + std::to_string(c));
    v.colorTmp = c;
    v.colorHigh = c / 2;
    v.colorLow = c % 2;
}
}  // namespace

void mySuperShape::SetMultiColorTmp(int c) {
    setWorkingColor(*this, c, "SetMultiColorTmp");
}

void mySuperShape::SetMultiColor(int c) {
    setWorkingColor(*this, c, "SetMultiColor");
    for (myBox* b : boxes) b->color = c;
}

void mySuperShape::RotateMultiColorTmp(int k) {
    int t = colorTmp + k;
    if (t < 0) t += NUM_COLORS;
    if (t >= NUM_COLORS) t -= NUM_COLORS;
    colorTmp = t;
    colorHigh = t / 2;
    colorLow = t % 2;
}

double mySuperShape::getWireDensity() const {
    double d = 0.0;
    for (const myBox* b : boxes)
        d +=
            (double(b->box->right()) - b->box->left()) * (double(b->box->top()) - b->box->bottom());
    return d;
}
