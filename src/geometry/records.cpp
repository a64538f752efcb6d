#include "geometry/records.h"

#include <climits>
#include <string>

#include "base/fatal.h"
#include "base/params.h"

namespace chromasect {
uint64_t nextRecordSerial() {
    static uint64_t counter = 0;
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
    : bbox(new oaBox(left, bottom, right, top)), serial(chromasect::nextRecordSerial()) {}

myShape::~myShape() {
    for (myBox* b : realBoxes) {
        delete b->box;
        delete b;
    }
    delete bbox;
}

void myShape::SetPoints(oaPointArray& pts) {
    for (uint32_t i = 0; i < pts.getNumElements(); ++i) points.append(pts[i]);
}

void myShape::SetRealBoxes(std::vector<oaBox>& rects) {
    realBoxes.reserve(realBoxes.size() + rects.size());
    for (const oaBox& r : rects) {
        myBox* b = new myBox(new oaBox(r));
        b->shape = this;
        realBoxes.push_back(b);
    }
}

void myShape::SetMultiColor(int c) {
    if (c < -1 || c > NUM_COLORS)
        fatal(kExitInternal, "Error| In myShape::SetColor(), color = " + std::to_string(c));
    color = c;
    colorHigh = c / 2;
    colorLow = c % 2;
    for (myBox* b : realBoxes) b->color = c;
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
