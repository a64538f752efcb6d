#include "layout/oasis.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <utility>

#include "base/fatal.h"
#include "base/files.h"
#include "layout/gds_reader.h"

namespace chromasect {
namespace oasis {

namespace {

const char kMagic[] = "%SEMI-OASIS\r\n";
const size_t kMagicSize = sizeof kMagic - 1;

// Displacements and coordinates beyond this are damage; below it every sum
// of a few of them stays inside 64 bits.
const int64_t kMaxMagnitude = int64_t(1) << 40;
// Deflate cannot compress more than about 1032 to 1.
const uint64_t kMaxInflateRatio = 1100;
// Bytes of memory a library element costs beside its points (measured
// order of magnitude; the guard only needs to be near).
const double kElementBytes = 200.0;

enum Record : uint8_t {
    PAD = 0,
    START = 1,
    END = 2,
    CELLNAME_IMPLICIT = 3,
    CELLNAME = 4,
    TEXTSTRING_IMPLICIT = 5,
    TEXTSTRING = 6,
    PROPNAME_IMPLICIT = 7,
    PROPNAME = 8,
    PROPSTRING_IMPLICIT = 9,
    PROPSTRING = 10,
    LAYERNAME = 11,
    LAYERNAME_TEXT = 12,
    CELL_REF = 13,
    CELL_NAMED = 14,
    XYABSOLUTE = 15,
    XYRELATIVE = 16,
    PLACEMENT = 17,
    PLACEMENT_MAG = 18,
    TEXT = 19,
    RECTANGLE = 20,
    POLYGON = 21,
    PATH = 22,
    TRAPEZOID = 23,
    TRAPEZOID_A = 24,
    TRAPEZOID_B = 25,
    CTRAPEZOID = 26,
    CIRCLE = 27,
    PROPERTY = 28,
    PROPERTY_REPEAT = 29,
    XNAME_IMPLICIT = 30,
    XNAME = 31,
    XELEMENT = 32,
    XGEOMETRY = 33,
    CBLOCK = 34,
};

const char* recordName(unsigned type) {
    static const char* const names[] = {
        "PAD",        "START",     "END",        "CELLNAME",   "CELLNAME",   "TEXTSTRING",
        "TEXTSTRING", "PROPNAME",  "PROPNAME",   "PROPSTRING", "PROPSTRING", "LAYERNAME",
        "LAYERNAME",  "CELL",      "CELL",       "XYABSOLUTE", "XYRELATIVE", "PLACEMENT",
        "PLACEMENT",  "TEXT",      "RECTANGLE",  "POLYGON",    "PATH",       "TRAPEZOID",
        "TRAPEZOID",  "TRAPEZOID", "CTRAPEZOID", "CIRCLE",     "PROPERTY",   "PROPERTY",
        "XNAME",      "XNAME",     "XELEMENT",   "XGEOMETRY",  "CBLOCK"};
    return type < sizeof names / sizeof names[0] ? names[type] : "";
}

typedef std::pair<int64_t, int64_t> Delta;

// A repetition as read: a lattice of cols x rows copies, or explicit
// displacements from the first copy (which is (0, 0) and listed).
struct Repetition {
    bool regular = true;
    uint64_t cols = 1, rows = 1;
    Delta colStep{0, 0}, rowStep{0, 0};
    std::vector<Delta> offsets;
};

// A value that a record may leave out, taken from the last record that set
// it; undefined at the start of each cell unless OASIS gives it a default.
template <class T>
struct Modal {
    T value{};
    bool set = false;
    void operator=(const T& v) {
        value = v;
        set = true;
    }
};

struct ModalState {
    Modal<Repetition> repetition;
    int64_t placementX = 0, placementY = 0;
    Modal<std::string> placementCell;  // by name
    Modal<uint64_t> placementRef;      // or by reference number
    bool placementByRef = false;
    Modal<uint64_t> layer, datatype;
    Modal<uint64_t> textlayer, texttype;
    int64_t textX = 0, textY = 0;
    int64_t geometryX = 0, geometryY = 0;
    bool relative = false;
    Modal<uint64_t> geometryW, geometryH;
    Modal<std::vector<Delta> > polygonPoints, pathPoints;
    Modal<uint64_t> halfWidth;
    Modal<int64_t> startExtension, endExtension;
    Modal<uint64_t> ctrapezoidType;
    Modal<uint64_t> circleRadius;
};

// Where a cell name comes from until the name tables are all read.
struct NameUse {
    size_t structure;
    long element;  // -1: the structure's own name
    uint64_t ref;
};

class Parser {
  public:
    Parser(const uint8_t* data, size_t size) : file_(data), fileSize_(size) {}
    gdsii::Library run();

  private:
    [[noreturn]] void fail(const std::string& what) const;
    uint8_t byte();
    uint64_t u();
    int64_t s();
    uint64_t count(uint64_t minBytesEach);
    double real();
    double realOfType(uint64_t type);
    std::string string();
    void gdelta(int64_t& dx, int64_t& dy);
    void repetition();
    std::vector<Delta> pointList(bool polygon);
    void interval();
    void propertyValue();

    void records(bool top);
    bool record(bool top);
    void start();
    void end();
    void cblock();
    void cell(bool byRef);
    void placement(bool withMag);
    void text();
    void rectangle();
    void polygon();
    void path();
    void trapezoid(unsigned type);
    void ctrapezoid();
    void circle();
    void property(bool repeat);
    void xgeometry();

    void needCell() const;
    uint64_t layerField(bool present);
    uint64_t datatypeField(bool present);
    void coordinate(bool present, int64_t& modal);
    void readRepetition(bool present, Repetition*& rep);
    int32_t to32(int64_t v) const;
    gdsii::Element shapeElement(gdsii::ElementKind kind, uint64_t layer, uint64_t datatype);
    void addShape(gdsii::Element e, const Repetition* rep);
    void addReference(gdsii::Element e, const Repetition* rep);
    void charge(double points, double elements);
    void resolveNames(gdsii::Library& lib);

    const uint8_t* file_;
    size_t fileSize_;
    // The data being read: the file, or the inflated bytes of a CBLOCK.
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    size_t recordAt_ = 0;  // offset of the record being read, in data_
    size_t cblockAt_ = 0;  // file offset of the CBLOCK being read
    bool inCblock_ = false;
    unsigned recordType_ = 0;
    bool ended_ = false;
    bool tablesInEnd_ = false;
    double unit_ = 0;

    gdsii::Library lib_;
    long cell_ = -1;  // structure being read
    ModalState modal_;
    std::map<uint64_t, std::string> cellNames_;
    uint64_t nextImplicitCellName_ = 0;
    std::vector<NameUse> nameUses_;
    std::vector<size_t> synthetic_;    // structures that hold one repeated shape
    std::vector<NameUse> holderUses_;  // references to them (ref: the holder's index)
    double budgetBytes_ = 0;           // memory the library may still take
    bool budgetKnown_ = false;
    double availableMB_ = 0;  // when the budget is known; 0: unknown
};

void Parser::fail(const std::string& what) const {
    const std::string name = recordName(recordType_);
    std::string where = (name.empty() ? "" : name + " ") + "record at byte ";
    if (inCblock_)
        where += std::to_string(recordAt_) + " of the CBLOCK at byte " + std::to_string(cblockAt_);
    else
        where += std::to_string(recordAt_);
    fatal(kExitUsage, "ERROR| corrupt OASIS file: " + what + " in the " + where);
}

uint8_t Parser::byte() {
    if (pos_ >= size_) fail(inCblock_ ? "CBLOCK data ends" : "file ends");
    return data_[pos_++];
}

// Unsigned integers take any number of bytes (KLayout pads END with long
// encodings of 0); only set bits beyond 64 are an error.
uint64_t Parser::u() {
    uint64_t v = 0;
    unsigned shift = 0;
    for (;;) {
        const uint8_t b = byte();
        const uint64_t bits = b & 0x7F;
        if (shift < 64) {
            if (shift > 57 && (bits >> (64 - shift)) != 0) fail("integer beyond 64 bits");
            v |= bits << shift;
            shift += 7;
        } else if (bits != 0) {
            fail("integer beyond 64 bits");
        }
        if (!(b & 0x80)) return v;
    }
}

int64_t Parser::s() {
    const uint64_t v = u();
    const int64_t magnitude = static_cast<int64_t>(v >> 1);
    return (v & 1) ? -magnitude : magnitude;
}

// A count of items each at least minBytesEach long: more than the data
// left can hold is a lie, found before anything is allocated.
uint64_t Parser::count(uint64_t minBytesEach) {
    const uint64_t n = u();
    if (minBytesEach > 0 && n > (size_ - pos_) / minBytesEach)
        fail("count of " + std::to_string(n) + " longer than the data");
    return n;
}

double Parser::realOfType(uint64_t type) {
    switch (type) {
        case 0:
            return static_cast<double>(u());
        case 1:
            return -static_cast<double>(u());
        case 2:
        case 3: {
            const uint64_t d = u();
            if (d == 0) fail("real with a zero denominator");
            return (type == 2 ? 1.0 : -1.0) / static_cast<double>(d);
        }
        case 4:
        case 5: {
            const uint64_t n = u(), d = u();
            if (d == 0) fail("real with a zero denominator");
            return (type == 4 ? 1.0 : -1.0) * static_cast<double>(n) / static_cast<double>(d);
        }
        case 6: {
            uint32_t bits = 0;
            for (int k = 0; k < 4; ++k) bits |= uint32_t(byte()) << (8 * k);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        case 7: {
            uint64_t bits = 0;
            for (int k = 0; k < 8; ++k) bits |= uint64_t(byte()) << (8 * k);
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
    }
    fail("unknown real type " + std::to_string(type));
}

double Parser::real() {
    return realOfType(u());
}

std::string Parser::string() {
    const uint64_t n = count(1);
    std::string out(reinterpret_cast<const char*>(data_ + pos_), static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return out;
}

void Parser::gdelta(int64_t& dx, int64_t& dy) {
    const uint64_t v = u();
    if ((v & 1) == 0) {
        const uint64_t m = v >> 4;
        if (m > uint64_t(kMaxMagnitude)) fail("displacement out of range");
        const int64_t k = static_cast<int64_t>(m);
        static const int dirs[8][2] = {{1, 0}, {0, 1},  {-1, 0},  {0, -1},
                                       {1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
        const int* d = dirs[(v >> 1) & 7];
        dx = d[0] * k;
        dy = d[1] * k;
        return;
    }
    const uint64_t mx = v >> 2;
    const uint64_t w = u();
    const uint64_t my = w >> 1;
    if (mx > uint64_t(kMaxMagnitude) || my > uint64_t(kMaxMagnitude))
        fail("displacement out of range");
    dx = (v & 2) ? -static_cast<int64_t>(mx) : static_cast<int64_t>(mx);
    dy = (w & 1) ? -static_cast<int64_t>(my) : static_cast<int64_t>(my);
}

// Into the modal repetition, which type 0 leaves as it is.
void Parser::repetition() {
    const uint64_t type = u();
    if (type == 0) {
        if (!modal_.repetition.set) fail("repetition reused before any was given");
        return;
    }
    Repetition r;
    auto dimension = [&]() -> uint64_t {
        const uint64_t n = u();
        if (n > uint64_t(INT_MAX) - 2)
            fail("repetition of more than " + std::to_string(INT_MAX) + " copies");
        return n + 2;
    };
    auto space = [&](uint64_t grid) -> int64_t {
        const uint64_t v = u();
        if (v > uint64_t(kMaxMagnitude) || (grid > 1 && v > uint64_t(kMaxMagnitude) / grid))
            fail("repetition spacing out of range");
        return static_cast<int64_t>(v * grid);
    };
    auto scaled = [&](int64_t& dx, int64_t& dy, uint64_t grid) {
        gdelta(dx, dy);
        if (grid > 1 && (std::llabs(dx) > kMaxMagnitude / static_cast<int64_t>(grid) ||
                         std::llabs(dy) > kMaxMagnitude / static_cast<int64_t>(grid)))
            fail("repetition spacing out of range");
        dx *= static_cast<int64_t>(grid);
        dy *= static_cast<int64_t>(grid);
    };
    auto irregular = [&](uint64_t n, const std::function<Delta()>& next) {
        if (n - 1 > size_ - pos_) fail("repetition longer than the data");
        r.regular = false;
        r.offsets.reserve(static_cast<size_t>(n));
        Delta at{0, 0};
        r.offsets.push_back(at);
        for (uint64_t k = 1; k < n; ++k) {
            const Delta d = next();
            at.first += d.first;
            at.second += d.second;
            if (std::llabs(at.first) > kMaxMagnitude || std::llabs(at.second) > kMaxMagnitude)
                fail("repetition reaches out of range");
            r.offsets.push_back(at);
        }
    };
    switch (type) {
        case 1:
            r.cols = dimension();
            r.rows = dimension();
            r.colStep = {space(1), 0};
            r.rowStep = {0, space(1)};
            break;
        case 2:
            r.cols = dimension();
            r.colStep = {space(1), 0};
            break;
        case 3:
            r.rows = dimension();
            r.rowStep = {0, space(1)};
            break;
        case 4:
        case 5:
        case 6:
        case 7: {
            const uint64_t n = dimension();
            const uint64_t grid = (type == 5 || type == 7) ? u() : 1;
            if (grid > uint64_t(kMaxMagnitude)) fail("repetition grid out of range");
            const bool alongX = type <= 5;
            irregular(n, [&]() -> Delta {
                const int64_t v = space(grid);
                return alongX ? Delta{v, 0} : Delta{0, v};
            });
            break;
        }
        case 8:
            r.cols = dimension();
            r.rows = dimension();
            gdelta(r.colStep.first, r.colStep.second);
            gdelta(r.rowStep.first, r.rowStep.second);
            break;
        case 9:
            r.cols = dimension();
            gdelta(r.colStep.first, r.colStep.second);
            break;
        case 10:
        case 11: {
            const uint64_t n = dimension();
            const uint64_t grid = type == 11 ? u() : 1;
            if (grid > uint64_t(kMaxMagnitude)) fail("repetition grid out of range");
            irregular(n, [&]() -> Delta {
                Delta d;
                scaled(d.first, d.second, grid);
                return d;
            });
            break;
        }
        default:
            fail("unknown repetition type " + std::to_string(type));
    }
    modal_.repetition = std::move(r);
}

// The vertices relative to the element's position, the first (0, 0)
// included. A Manhattan polygon list (types 0 and 1) implies one more
// vertex, where the alternation of directions meets the first vertex.
std::vector<Delta> Parser::pointList(bool polygon) {
    const uint64_t type = u();
    if (type > 5) fail("unknown point list type " + std::to_string(type));
    const uint64_t n = count(1);
    std::vector<Delta> pts;
    pts.reserve(static_cast<size_t>(n) + 2);
    Delta at{0, 0}, step{0, 0};
    pts.push_back(at);
    auto add = [&](int64_t dx, int64_t dy) {
        at.first += dx;
        at.second += dy;
        if (std::llabs(at.first) > kMaxMagnitude || std::llabs(at.second) > kMaxMagnitude)
            fail("point list reaches out of range");
        pts.push_back(at);
    };
    for (uint64_t k = 0; k < n; ++k) {
        switch (type) {
            case 0:
            case 1: {
                const int64_t d = s();
                if (std::llabs(d) > kMaxMagnitude) fail("point list reaches out of range");
                const bool horizontal = (k % 2 == 0) == (type == 0);
                add(horizontal ? d : 0, horizontal ? 0 : d);
                break;
            }
            case 2:
            case 3: {
                const uint64_t v = u();
                const unsigned bits = type == 2 ? 2 : 3;
                const uint64_t m = v >> bits;
                if (m > uint64_t(kMaxMagnitude)) fail("point list reaches out of range");
                const int64_t k2 = static_cast<int64_t>(m);
                static const int dirs[8][2] = {{1, 0}, {0, 1},  {-1, 0},  {0, -1},
                                               {1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
                const int* d = dirs[v & ((1u << bits) - 1)];
                add(d[0] * k2, d[1] * k2);
                break;
            }
            case 4: {
                int64_t dx, dy;
                gdelta(dx, dy);
                add(dx, dy);
                break;
            }
            case 5: {
                int64_t dx, dy;
                gdelta(dx, dy);
                step.first += dx;
                step.second += dy;
                if (std::llabs(step.first) > kMaxMagnitude ||
                    std::llabs(step.second) > kMaxMagnitude)
                    fail("point list reaches out of range");
                add(step.first, step.second);
                break;
            }
        }
    }
    if (polygon && type <= 1) {
        const bool nextHorizontal = (n % 2 == 0) == (type == 0);
        pts.push_back(nextHorizontal ? Delta{0, at.second} : Delta{at.first, 0});
    }
    return pts;
}

void Parser::interval() {
    const uint64_t type = u();
    if (type > 4) fail("unknown interval type " + std::to_string(type));
    if (type >= 1) u();
    if (type == 4) u();
}

void Parser::propertyValue() {
    const uint64_t type = u();
    if (type <= 7) {
        realOfType(type);
    } else if (type == 8 || type == 13 || type == 14 || type == 15) {
        u();
    } else if (type == 9) {
        s();
    } else if (type <= 12) {
        string();
    } else {
        fail("unknown property value type " + std::to_string(type));
    }
}

void Parser::needCell() const {
    if (cell_ < 0) fail("element outside a CELL");
}

uint64_t Parser::layerField(bool present) {
    if (present) modal_.layer = u();
    if (!modal_.layer.set) fail("layer used before any was given");
    return modal_.layer.value;
}

uint64_t Parser::datatypeField(bool present) {
    if (present) modal_.datatype = u();
    if (!modal_.datatype.set) fail("datatype used before any was given");
    return modal_.datatype.value;
}

void Parser::coordinate(bool present, int64_t& modal) {
    if (!present) return;
    const int64_t v = s();
    if (std::llabs(v) > kMaxMagnitude) fail("coordinate out of range");
    modal = modal_.relative ? modal + v : v;
    if (std::llabs(modal) > kMaxMagnitude) fail("coordinate out of range");
}

void Parser::readRepetition(bool present, Repetition*& rep) {
    if (!present) {
        rep = nullptr;
        return;
    }
    repetition();
    rep = &modal_.repetition.value;
}

int32_t Parser::to32(int64_t v) const {
    if (v < INT32_MIN || v > INT32_MAX) fail("coordinate beyond 32 bits");
    return static_cast<int32_t>(v);
}

gdsii::Element Parser::shapeElement(gdsii::ElementKind kind, uint64_t layer, uint64_t datatype) {
    gdsii::Element e;
    e.kind = kind;
    // Layers beyond an int are no layer the run can ask for.
    e.layer = layer > uint64_t(INT_MAX) ? -1 : static_cast<int>(layer);
    e.datatype = datatype > uint64_t(INT_MAX) ? -1 : static_cast<int>(datatype);
    e.offset = inCblock_ ? cblockAt_ : recordAt_;
    return e;
}

// The library is held whole before flattening; a file whose records would
// fill more than half the memory (a compressed block of repeated point
// lists can) ends here rather than out of memory.
void Parser::charge(double points, double elements) {
    if (!budgetKnown_) {
        budgetKnown_ = true;
        availableMB_ = availableMemoryMB();
        budgetBytes_ = availableMB_ > 0 ? availableMB_ * 1048576.0 / 2 : 1e18;
    }
    budgetBytes_ -= points * sizeof(gdsii::Point) + elements * kElementBytes;
    if (budgetBytes_ < 0)
        fail("more shapes and references than half the memory available can hold");
}

void Parser::addShape(gdsii::Element e, const Repetition* rep) {
    charge(e.xy.size(), 1);
    if (!rep || (rep->regular && rep->cols * rep->rows == 1)) {
        lib_.structures[cell_].elements.push_back(std::move(e));
        return;
    }
    if (!gdsii::isUsableShape(e)) {
        // The flattening counts a skipped shape once per element of its
        // structure, as it counts the copies of a GDSII twin: made one by one.
        const uint64_t copies = rep->regular ? rep->cols * rep->rows : rep->offsets.size();
        charge(static_cast<double>(copies) * static_cast<double>(e.xy.size()),
               static_cast<double>(copies));
        std::vector<gdsii::Element>& here = lib_.structures[cell_].elements;
        auto copyAt = [&](__int128 dx, __int128 dy) {
            if (dx < -kMaxMagnitude || dx > kMaxMagnitude || dy < -kMaxMagnitude ||
                dy > kMaxMagnitude)
                fail("repetition reaches out of range");
            gdsii::Element c = e;
            for (gdsii::Point& p : c.xy) {
                p.x = to32(p.x + static_cast<int64_t>(dx));
                p.y = to32(p.y + static_cast<int64_t>(dy));
            }
            here.push_back(std::move(c));
        };
        if (rep->regular) {
            for (uint64_t r = 0; r < rep->rows; ++r)
                for (uint64_t c = 0; c < rep->cols; ++c)
                    copyAt(__int128(c) * rep->colStep.first + __int128(r) * rep->rowStep.first,
                           __int128(c) * rep->colStep.second + __int128(r) * rep->rowStep.second);
        } else {
            for (const Delta& d : rep->offsets) copyAt(d.first, d.second);
        }
        return;
    }
    // The shape alone in a structure of its own, placed once per copy.
    const size_t holder = lib_.structures.size();
    const size_t offset = e.offset;
    lib_.structures.emplace_back();
    lib_.structures.back().elements.push_back(std::move(e));
    synthetic_.push_back(holder);
    gdsii::Element ref;
    ref.offset = offset;
    ref.xy = {gdsii::Point{0, 0}};
    const size_t before = lib_.structures[cell_].elements.size();
    addReference(ref, rep);
    // The holder's name is set once all cell names are known.
    for (size_t k = before; k < lib_.structures[cell_].elements.size(); ++k)
        holderUses_.push_back(NameUse{static_cast<size_t>(cell_), static_cast<long>(k), holder});
}

void Parser::addReference(gdsii::Element e, const Repetition* rep) {
    std::vector<gdsii::Element>& here = lib_.structures[cell_].elements;
    if (!rep || (rep->regular && rep->cols * rep->rows == 1)) {
        charge(1, 1);
        e.kind = gdsii::ElementKind::SRef;
        here.push_back(std::move(e));
        return;
    }
    const int64_t x = e.xy[0].x, y = e.xy[0].y;
    if (rep->regular) {
        charge(3, 1);
        e.kind = gdsii::ElementKind::ARef;
        e.cols = static_cast<int>(rep->cols);
        e.rows = static_cast<int>(rep->rows);
        // The lattice's far corners, as AREF holds them; beyond 32 bits the
        // last copies would be too.
        auto corner = [&](int64_t origin, uint64_t n, int64_t step) {
            const __int128 v = origin + __int128(n) * step;
            return to32(v < INT64_MIN ? INT64_MIN : v > INT64_MAX ? INT64_MAX : int64_t(v));
        };
        e.xy = {gdsii::Point{to32(x), to32(y)},
                gdsii::Point{corner(x, rep->cols, rep->colStep.first),
                             corner(y, rep->cols, rep->colStep.second)},
                gdsii::Point{corner(x, rep->rows, rep->rowStep.first),
                             corner(y, rep->rows, rep->rowStep.second)}};
        here.push_back(std::move(e));
        return;
    }
    charge(rep->offsets.size(), rep->offsets.size());
    e.kind = gdsii::ElementKind::SRef;
    for (const Delta& d : rep->offsets) {
        e.xy = {gdsii::Point{to32(x + d.first), to32(y + d.second)}};
        here.push_back(e);
    }
}

void Parser::start() {
    const std::string version = string();
    if (version != "1.0") fail("OASIS version \"" + version + "\" (1.0 expected)");
    unit_ = real();
    if (!std::isfinite(unit_) || unit_ <= 0) fail("grid of no positive size");
    const uint64_t offsetFlag = u();
    tablesInEnd_ = offsetFlag != 0;
    if (!tablesInEnd_)
        for (int k = 0; k < 12; ++k) u();
}

void Parser::end() {
    if (inCblock_) fail("END inside a CBLOCK");
    if (tablesInEnd_)
        for (int k = 0; k < 12; ++k) u();
    string();  // padding
    const uint64_t scheme = u();
    if (scheme > 2) fail("unknown validation scheme " + std::to_string(scheme));
    if (scheme == 0) return;
    const size_t signedBytes = pos_;
    uint32_t stored = 0;
    for (int k = 0; k < 4; ++k) stored |= uint32_t(byte()) << (8 * k);
    uint32_t computed = 0;
    if (scheme == 1) {
        computed = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
        // zlib takes lengths as uInt; feed it in pieces.
        for (size_t at = 0; at < signedBytes;) {
            const size_t n = std::min<size_t>(signedBytes - at, 1u << 30);
            computed = static_cast<uint32_t>(crc32(computed, file_ + at, static_cast<uInt>(n)));
            at += n;
        }
    } else {
        for (size_t k = 0; k < signedBytes; ++k) computed += file_[k];
    }
    if (computed != stored)
        fail(std::string(scheme == 1 ? "CRC32" : "checksum") + " of the file does not match");
}

void Parser::cblock() {
    if (inCblock_) fail("CBLOCK inside a CBLOCK");
    const uint64_t method = u();
    if (method != 0) fail("unknown compression method " + std::to_string(method));
    const uint64_t inflated = u();
    const uint64_t deflated = count(1);
    if (inflated > deflated * kMaxInflateRatio + 1024)
        fail("CBLOCK claims " + std::to_string(inflated) + " bytes from " +
             std::to_string(deflated) + ", more than deflate can give");
    if (!budgetKnown_) charge(0, 0);  // learns the memory available
    const double mb = availableMB_;
    if (inflated > 0xFFFFFFFFu || deflated > 0xFFFFFFFFu ||
        (mb > 0 && inflated / 1048576.0 > mb / 4))
        fail("CBLOCK of " + std::to_string(inflated) + " bytes, more than memory can hold");
    std::vector<uint8_t> bytes(static_cast<size_t>(inflated));
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -15) != Z_OK) fail("zlib cannot start");
    z.next_in = const_cast<Bytef*>(data_ + pos_);
    z.avail_in = static_cast<uInt>(deflated);
    z.next_out = bytes.data();
    z.avail_out = static_cast<uInt>(inflated);
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0 && z.avail_out == 0;
    inflateEnd(&z);
    if (!whole) fail("CBLOCK does not inflate to its stated size");
    const size_t after = pos_ + static_cast<size_t>(deflated);
    const size_t at = recordAt_;

    const uint8_t* savedData = data_;
    const size_t savedSize = size_;
    data_ = bytes.data();
    size_ = bytes.size();
    pos_ = 0;
    cblockAt_ = at;
    inCblock_ = true;
    records(false);
    inCblock_ = false;
    data_ = savedData;
    size_ = savedSize;
    pos_ = after;
    recordAt_ = at;
}

void Parser::cell(bool byRef) {
    lib_.structures.emplace_back();
    cell_ = static_cast<long>(lib_.structures.size() - 1);
    lib_.structures.back().name = byRef ? std::string() : string();
    if (byRef) nameUses_.push_back(NameUse{static_cast<size_t>(cell_), -1, u()});
    // OASIS resets the modal variables at each cell.
    modal_ = ModalState();
}

void Parser::placement(bool withMag) {
    needCell();
    const uint8_t info = byte();
    const bool explicitCell = info & 0x80;
    if (explicitCell) {
        if (info & 0x40) {
            modal_.placementRef = u();
            modal_.placementByRef = true;
        } else {
            modal_.placementCell = string();
            modal_.placementByRef = false;
        }
    } else if (!modal_.placementCell.set && !modal_.placementRef.set) {
        fail("placement of a cell before any cell was named");
    }
    gdsii::Element e;
    e.offset = inCblock_ ? cblockAt_ : recordAt_;
    double mag = 1.0, angle = 0.0;
    if (withMag) {
        if (info & 0x04) mag = real();
        if (info & 0x02) angle = real();
    } else {
        angle = 90.0 * ((info >> 1) & 3);
    }
    // The flattening skips, with a warning, what is not an exact quarter
    // turn or whole magnification; only values no double holds are damage.
    if (!std::isfinite(mag) || !std::isfinite(angle)) fail("magnification or angle not finite");
    e.mag = mag;
    e.angle = angle;
    e.strans = (info & 0x01) ? gdsii::kStransReflect : 0;
    coordinate(info & 0x20, modal_.placementX);
    coordinate(info & 0x10, modal_.placementY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x08, rep);
    e.xy = {gdsii::Point{to32(modal_.placementX), to32(modal_.placementY)}};
    if (!modal_.placementByRef) e.sname = modal_.placementCell.value;
    const size_t before = lib_.structures[cell_].elements.size();
    addReference(e, rep);
    // By number, the name is known at the end; an irregular repetition made
    // one reference per copy.
    if (modal_.placementByRef)
        for (size_t k = before; k < lib_.structures[cell_].elements.size(); ++k)
            nameUses_.push_back(NameUse{static_cast<size_t>(cell_), static_cast<long>(k),
                                        modal_.placementRef.value});
}

void Parser::text() {
    needCell();
    const uint8_t info = byte();
    if (info & 0x40) {
        if (info & 0x20)
            u();
        else
            string();
    }
    if (info & 0x01) modal_.textlayer = u();
    if (info & 0x02) modal_.texttype = u();
    coordinate(info & 0x10, modal_.textX);
    coordinate(info & 0x08, modal_.textY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x04, rep);
}

// Closed ring of integer points at (x, y), with the 32-bit check.
std::vector<gdsii::Point> ringAt(const std::vector<Delta>& pts, int64_t x, int64_t y,
                                 const std::function<int32_t(int64_t)>& to32) {
    std::vector<gdsii::Point> out;
    out.reserve(pts.size() + 1);
    for (const Delta& d : pts) out.push_back(gdsii::Point{to32(x + d.first), to32(y + d.second)});
    if (!out.empty()) out.push_back(out.front());
    return out;
}

void Parser::rectangle() {
    needCell();
    const uint8_t info = byte();
    const uint64_t layer = layerField(info & 0x01);
    const uint64_t datatype = datatypeField(info & 0x02);
    const bool square = info & 0x80;
    if (info & 0x40) modal_.geometryW = u();
    if (info & 0x20) modal_.geometryH = u();
    if (square) modal_.geometryH = modal_.geometryW.value;
    if (!modal_.geometryW.set || !modal_.geometryH.set)
        fail("width or height used before any was given");
    const uint64_t w = modal_.geometryW.value, h = modal_.geometryH.value;
    if (w > uint64_t(kMaxMagnitude) || h > uint64_t(kMaxMagnitude)) fail("rectangle out of range");
    coordinate(info & 0x10, modal_.geometryX);
    coordinate(info & 0x08, modal_.geometryY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x04, rep);
    gdsii::Element e = shapeElement(gdsii::ElementKind::Boundary, layer, datatype);
    const int64_t iw = static_cast<int64_t>(w), ih = static_cast<int64_t>(h);
    e.xy = ringAt({{0, 0}, {iw, 0}, {iw, ih}, {0, ih}}, modal_.geometryX, modal_.geometryY,
                  [this](int64_t v) { return to32(v); });
    addShape(std::move(e), rep);
}

void Parser::polygon() {
    needCell();
    const uint8_t info = byte();
    const uint64_t layer = layerField(info & 0x01);
    const uint64_t datatype = datatypeField(info & 0x02);
    if (info & 0x20) modal_.polygonPoints = pointList(true);
    if (!modal_.polygonPoints.set) fail("point list used before any was given");
    coordinate(info & 0x10, modal_.geometryX);
    coordinate(info & 0x08, modal_.geometryY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x04, rep);
    gdsii::Element e = shapeElement(gdsii::ElementKind::Boundary, layer, datatype);
    e.xy = ringAt(modal_.polygonPoints.value, modal_.geometryX, modal_.geometryY,
                  [this](int64_t v) { return to32(v); });
    addShape(std::move(e), rep);
}

void Parser::path() {
    needCell();
    const uint8_t info = byte();
    const uint64_t layer = layerField(info & 0x01);
    const uint64_t datatype = datatypeField(info & 0x02);
    if (info & 0x40) modal_.halfWidth = u();
    if (!modal_.halfWidth.set) fail("half-width used before any was given");
    const uint64_t hw = modal_.halfWidth.value;
    if (hw > uint64_t(INT32_MAX / 2)) fail("path width beyond 32 bits");
    if (info & 0x80) {
        const uint8_t scheme = byte();
        auto extension = [&](unsigned bits, Modal<int64_t>& modal) {
            switch (bits) {
                case 1:
                    modal = 0;
                    break;
                case 2:
                    modal = static_cast<int64_t>(hw);
                    break;
                case 3: {
                    const int64_t v = s();
                    if (v < INT32_MIN || v > INT32_MAX) fail("path extension beyond 32 bits");
                    modal = v;
                    break;
                }
            }
        };
        extension((scheme >> 2) & 3, modal_.startExtension);
        extension(scheme & 3, modal_.endExtension);
    }
    if (!modal_.startExtension.set || !modal_.endExtension.set)
        fail("path extension used before any was given");
    if (info & 0x20) modal_.pathPoints = pointList(false);
    if (!modal_.pathPoints.set) fail("point list used before any was given");
    coordinate(info & 0x10, modal_.geometryX);
    coordinate(info & 0x08, modal_.geometryY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x04, rep);
    gdsii::Element e = shapeElement(gdsii::ElementKind::Path, layer, datatype);
    e.width = static_cast<int32_t>(2 * hw);
    const int64_t bgn = modal_.startExtension.value, fin = modal_.endExtension.value;
    const int64_t half = static_cast<int64_t>(hw);
    if (bgn == 0 && fin == 0) {
        e.pathType = 0;
    } else if (bgn == half && fin == half) {
        e.pathType = 2;
    } else {
        e.pathType = 4;
        e.bgnExtn = static_cast<int32_t>(bgn);
        e.endExtn = static_cast<int32_t>(fin);
    }
    for (const Delta& d : modal_.pathPoints.value)
        e.xy.push_back(
            gdsii::Point{to32(modal_.geometryX + d.first), to32(modal_.geometryY + d.second)});
    addShape(std::move(e), rep);
}

// Only the Manhattan trapezoids (both deltas 0) are kept by the
// flattening; the others are made as the quadrilaterals (or triangles) they
// are so that it counts them as it counts such GDSII boundaries.
void Parser::trapezoid(unsigned type) {
    needCell();
    const uint8_t info = byte();
    const uint64_t layer = layerField(info & 0x01);
    const uint64_t datatype = datatypeField(info & 0x02);
    if (info & 0x40) modal_.geometryW = u();
    if (info & 0x20) modal_.geometryH = u();
    if (!modal_.geometryW.set || !modal_.geometryH.set)
        fail("width or height used before any was given");
    const uint64_t w = modal_.geometryW.value, h = modal_.geometryH.value;
    if (w > uint64_t(kMaxMagnitude) || h > uint64_t(kMaxMagnitude)) fail("trapezoid out of range");
    int64_t a = 0, b = 0;
    if (type != TRAPEZOID_B) a = s();
    if (type != TRAPEZOID_A) b = s();
    if (std::llabs(a) > kMaxMagnitude || std::llabs(b) > kMaxMagnitude)
        fail("trapezoid out of range");
    coordinate(info & 0x10, modal_.geometryX);
    coordinate(info & 0x08, modal_.geometryY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x04, rep);
    const int64_t iw = static_cast<int64_t>(w), ih = static_cast<int64_t>(h);
    std::vector<Delta> pts;
    if (info & 0x80) {  // vertical: the left and right edges are parallel
        pts = {{0, std::max<int64_t>(a, 0)},
               {0, ih - std::max<int64_t>(-b, 0)},
               {iw, ih - std::max<int64_t>(b, 0)},
               {iw, std::max<int64_t>(-a, 0)}};
    } else {
        pts = {{std::max<int64_t>(-a, 0), ih},
               {iw - std::max<int64_t>(-b, 0), ih},
               {iw - std::max<int64_t>(b, 0), 0},
               {std::max<int64_t>(a, 0), 0}};
    }
    std::vector<Delta> ring;
    for (const Delta& p : pts)
        if (ring.empty() || ring.back() != p) ring.push_back(p);
    gdsii::Element e = shapeElement(gdsii::ElementKind::Boundary, layer, datatype);
    e.xy = ringAt(ring, modal_.geometryX, modal_.geometryY, [this](int64_t v) { return to32(v); });
    addShape(std::move(e), rep);
}

// Types 24 (rectangle) and 25 (square) are the Manhattan ones; the others
// have 45-degree edges: quadrilaterals (0-15) and triangles (16-23).
void Parser::ctrapezoid() {
    needCell();
    const uint8_t info = byte();
    const uint64_t layer = layerField(info & 0x01);
    const uint64_t datatype = datatypeField(info & 0x02);
    if (info & 0x80) modal_.ctrapezoidType = u();
    if (!modal_.ctrapezoidType.set) fail("trapezoid type used before any was given");
    const uint64_t type = modal_.ctrapezoidType.value;
    if (type > 25) fail("unknown trapezoid type " + std::to_string(type));
    if (info & 0x40) modal_.geometryW = u();
    if (info & 0x20) modal_.geometryH = u();
    // Types whose height follows from the width (or the other way) need
    // only the one given.
    const bool needW = !(type == 22 || type == 23),
               needH = !(type >= 16 && type <= 21) && type != 25;
    if ((needW && !modal_.geometryW.set) || (needH && !modal_.geometryH.set))
        fail("width or height used before any was given");
    int64_t w = static_cast<int64_t>(std::min<uint64_t>(modal_.geometryW.value, kMaxMagnitude));
    int64_t h = static_cast<int64_t>(std::min<uint64_t>(modal_.geometryH.value, kMaxMagnitude));
    if ((needW && modal_.geometryW.value > uint64_t(kMaxMagnitude)) ||
        (needH && modal_.geometryH.value > uint64_t(kMaxMagnitude)))
        fail("trapezoid out of range");
    if ((type >= 16 && type <= 19) || type == 25) h = w;
    if (type == 20 || type == 21) h = 2 * w;
    if (type == 22 || type == 23) w = 2 * h;
    coordinate(info & 0x10, modal_.geometryX);
    coordinate(info & 0x08, modal_.geometryY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x04, rep);
    std::vector<Delta> pts;
    if (type >= 24) {
        pts = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    } else if (type >= 16) {
        pts = {{0, 0}, {w, 0}, {0, h}};
    } else {
        const int64_t cut = std::min(w, h);
        pts = {{0, 0}, {w, 0}, {w - cut, h}, {0, h}};
    }
    gdsii::Element e = shapeElement(gdsii::ElementKind::Boundary, layer, datatype);
    e.xy = ringAt(pts, modal_.geometryX, modal_.geometryY, [this](int64_t v) { return to32(v); });
    addShape(std::move(e), rep);
}

// Never Manhattan: kept as an octagon, so the flattening counts it as a
// non-Manhattan boundary (a circle of radius 0 as a degenerate one).
void Parser::circle() {
    needCell();
    const uint8_t info = byte();
    const uint64_t layer = layerField(info & 0x01);
    const uint64_t datatype = datatypeField(info & 0x02);
    if (info & 0x20) modal_.circleRadius = u();
    if (!modal_.circleRadius.set) fail("radius used before any was given");
    if (modal_.circleRadius.value > uint64_t(kMaxMagnitude)) fail("circle out of range");
    coordinate(info & 0x10, modal_.geometryX);
    coordinate(info & 0x08, modal_.geometryY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x04, rep);
    const int64_t r = static_cast<int64_t>(modal_.circleRadius.value), q = r / 2;
    std::vector<Delta> pts = {{r, 0}, {q, r}, {-q, r}, {-r, 0}, {-q, -r}, {q, -r}};
    if (r == 0) pts = {{0, 0}};
    gdsii::Element e = shapeElement(gdsii::ElementKind::Boundary, layer, datatype);
    e.xy = ringAt(pts, modal_.geometryX, modal_.geometryY, [this](int64_t v) { return to32(v); });
    addShape(std::move(e), rep);
}

void Parser::property(bool repeat) {
    if (repeat) return;
    const uint8_t info = byte();
    if (info & 0x04) {
        if (info & 0x02)
            u();
        else
            string();
    }
    if (info & 0x08) return;  // the last value list again
    uint64_t n = info >> 4;
    if (n == 15) n = count(1);
    for (uint64_t k = 0; k < n; ++k) propertyValue();
}

void Parser::xgeometry() {
    needCell();
    const uint8_t info = byte();
    u();  // attribute
    layerField(info & 0x01);
    datatypeField(info & 0x02);
    string();
    coordinate(info & 0x10, modal_.geometryX);
    coordinate(info & 0x08, modal_.geometryY);
    Repetition* rep = nullptr;
    readRepetition(info & 0x04, rep);
}

// One record; false after END.
bool Parser::record(bool top) {
    recordAt_ = pos_;
    recordType_ = 255;  // no name in messages until the type is read
    const uint64_t type = u();
    recordType_ = type <= CBLOCK ? static_cast<unsigned>(type) : 255;
    switch (type) {
        case PAD:
            break;
        case START:
            fail("second START record");
        case END:
            end();
            return false;
        case CELLNAME_IMPLICIT:
        case CELLNAME: {
            const std::string name = string();
            const uint64_t ref = type == CELLNAME ? u() : nextImplicitCellName_++;
            if (!cellNames_.emplace(ref, name).second && cellNames_[ref] != name)
                fail("cell reference number " + std::to_string(ref) + " named twice");
            break;
        }
        case TEXTSTRING_IMPLICIT:
        case PROPNAME_IMPLICIT:
        case PROPSTRING_IMPLICIT:
            string();
            break;
        case TEXTSTRING:
        case PROPNAME:
        case PROPSTRING:
            string();
            u();
            break;
        case LAYERNAME:
        case LAYERNAME_TEXT:
            string();
            interval();
            interval();
            break;
        case CELL_REF:
        case CELL_NAMED:
            cell(type == CELL_REF);
            break;
        case XYABSOLUTE:
            modal_.relative = false;
            break;
        case XYRELATIVE:
            modal_.relative = true;
            break;
        case PLACEMENT:
        case PLACEMENT_MAG:
            placement(type == PLACEMENT_MAG);
            break;
        case TEXT:
            text();
            break;
        case RECTANGLE:
            rectangle();
            break;
        case POLYGON:
            polygon();
            break;
        case PATH:
            path();
            break;
        case TRAPEZOID:
        case TRAPEZOID_A:
        case TRAPEZOID_B:
            trapezoid(static_cast<unsigned>(type));
            break;
        case CTRAPEZOID:
            ctrapezoid();
            break;
        case CIRCLE:
            circle();
            break;
        case PROPERTY:
        case PROPERTY_REPEAT:
            property(type == PROPERTY_REPEAT);
            break;
        case XNAME_IMPLICIT:
        case XNAME:
            u();
            string();
            if (type == XNAME) u();
            break;
        case XELEMENT:
            u();
            string();
            break;
        case XGEOMETRY:
            xgeometry();
            break;
        case CBLOCK:
            if (!top) fail("CBLOCK inside a CBLOCK");
            cblock();
            break;
        default:
            fail("unknown record type " + std::to_string(type));
    }
    return true;
}

void Parser::records(bool top) {
    while (pos_ < size_) {
        if (!record(top)) {
            ended_ = true;
            return;
        }
    }
}

// Cell references by number are resolved once every CELLNAME is read (they
// may come after the cells); the structures of repeated shapes get names
// that no cell name starts with.
void Parser::resolveNames(gdsii::Library& lib) {
    for (const NameUse& use : nameUses_) {
        auto it = cellNames_.find(use.ref);
        if (it == cellNames_.end()) {
            fatal(kExitUsage, "ERROR| corrupt OASIS file: cell reference number " +
                                  std::to_string(use.ref) + " has no CELLNAME record");
        }
        gdsii::Structure& st = lib.structures[use.structure];
        if (use.element < 0)
            st.name = it->second;
        else
            st.elements[static_cast<size_t>(use.element)].sname = it->second;
    }
    std::set<std::string> names;
    std::vector<bool> isSynthetic(lib.structures.size(), false);
    for (size_t s : synthetic_) isSynthetic[s] = true;
    for (size_t s = 0; s < lib.structures.size(); ++s) {
        if (isSynthetic[s]) continue;
        if (!names.insert(lib.structures[s].name).second)
            fatal(kExitUsage, "ERROR| corrupt OASIS file: cell \"" + lib.structures[s].name +
                                  "\" defined twice");
    }
    std::string prefix = "$oasis-repetition";
    for (;;) {
        auto it = names.lower_bound(prefix);
        if (it == names.end() || it->compare(0, prefix.size(), prefix) != 0) break;
        prefix += "$";
    }
    std::vector<std::string> holderName(lib.structures.size());
    for (size_t s : synthetic_) {
        holderName[s] = prefix + std::to_string(s);
        lib.structures[s].name = holderName[s];
    }
    for (const NameUse& use : holderUses_)
        lib.structures[use.structure].elements[static_cast<size_t>(use.element)].sname =
            holderName[use.ref];
}

// A grid of whole steps per micron gives the units a GDSII library of that
// grid holds, to the last bit (1000: 1e-9 and 0.001).
double tidy(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return std::strtod(buf, nullptr);
}

gdsii::Library Parser::run() {
    data_ = file_;
    size_ = fileSize_;
    if (size_ < kMagicSize || std::memcmp(data_, kMagic, kMagicSize) != 0)
        fatal(kExitUsage, "ERROR| not an OASIS file (no %SEMI-OASIS magic at its start)");
    pos_ = kMagicSize;
    recordAt_ = pos_;
    recordType_ = START;
    if (u() != START) fail("no START record after the magic");
    start();
    records(true);
    if (!ended_) {
        recordType_ = END;
        recordAt_ = pos_;
        fail("file ends without an END record");
    }
    lib_.name = "LIB";
    lib_.format = "OASIS";
    lib_.dbUnit = tidy(1e-6 / unit_);
    lib_.userUnit = tidy(1.0 / unit_);
    resolveNames(lib_);
    return std::move(lib_);
}

}  // namespace

bool isOasisName(const std::string& name) {
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* ext : {".oas", ".oasis"}) {
        const std::string e(ext);
        if (lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0)
            return true;
    }
    return false;
}

bool hasOasisMagic(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[kMagicSize];
    if (!in.read(head, kMagicSize)) return false;
    return std::memcmp(head, kMagic, kMagicSize) == 0;
}

gdsii::Library parseOasis(const uint8_t* data, size_t size) {
    Parser p(data, size);
    return p.run();
}

gdsii::Library readOasisFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fatal(kExitUsage, "ERROR| cannot open file: " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    return parseOasis(bytes.data(), bytes.size());
}

// ------------------------------------------------------------------ writer

namespace {

void putU(std::vector<uint8_t>& b, uint64_t v) {
    while (v >= 0x80) {
        b.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    b.push_back(static_cast<uint8_t>(v));
}

void putS(std::vector<uint8_t>& b, int64_t v) {
    const uint64_t m = v < 0 ? uint64_t(0) - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    putU(b, (m << 1) | (v < 0 ? 1 : 0));
}

void putString(std::vector<uint8_t>& b, const std::string& s) {
    putU(b, s.size());
    b.insert(b.end(), s.begin(), s.end());
}

// Grid steps per micron: a whole number when it is one, else a double.
void putUnit(std::vector<uint8_t>& b, double stepsPerMicron) {
    const double whole = std::nearbyint(stepsPerMicron);
    if (std::fabs(stepsPerMicron - whole) < 1e-9 * whole && whole >= 1 && whole < 1e15) {
        putU(b, 0);
        putU(b, static_cast<uint64_t>(whole));
        return;
    }
    putU(b, 7);
    uint64_t bits;
    std::memcpy(&bits, &stepsPerMicron, sizeof bits);
    for (int k = 0; k < 8; ++k) b.push_back(static_cast<uint8_t>(bits >> (8 * k)));
}

const size_t kBlockBytes = 1 << 20;

}  // namespace

LayerWriter::LayerWriter(std::ostream& out, const std::string& cellName, double dbUnitMetres,
                         int layer)
    : out_(out), layer_(layer) {
    crc_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
    std::vector<uint8_t> head(kMagic, kMagic + kMagicSize);
    putU(head, START);
    putString(head, "1.0");
    putUnit(head, 1e-6 / dbUnitMetres);
    putU(head, 1);  // the table offsets are in END
    cellNameAt_ = head.size();
    putU(head, CELLNAME_IMPLICIT);
    putString(head, cellName);
    put(head.data(), head.size());
    putU(block_, CELL_REF);
    putU(block_, 0);
    putU(block_, XYRELATIVE);
}

void LayerWriter::put(const uint8_t* bytes, size_t n) {
    out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(n));
    crc_ = static_cast<uint32_t>(crc32(crc_, bytes, static_cast<uInt>(n)));
    written_ += n;
}

void LayerWriter::flushBlock() {
    if (block_.empty()) return;
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        fatal(kExitInternal, "Error| zlib cannot start compressing");
    std::vector<uint8_t> packed(deflateBound(&z, static_cast<uLong>(block_.size())));
    z.next_in = block_.data();
    z.avail_in = static_cast<uInt>(block_.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    const int rc = deflate(&z, Z_FINISH);
    const size_t packedSize = packed.size() - z.avail_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END) fatal(kExitInternal, "Error| zlib cannot compress a CBLOCK");
    std::vector<uint8_t> head;
    putU(head, CBLOCK);
    putU(head, 0);
    putU(head, block_.size());
    putU(head, packedSize);
    put(head.data(), head.size());
    put(packed.data(), packedSize);
    block_.clear();
}

bool LayerWriter::ring(int datatype, const std::vector<oaPoint>& ringIn) {
    // Collinear and repeated corners are left out: a Manhattan point list
    // must turn at every vertex.
    auto straight = [](const oaPoint& a, const oaPoint& b, const oaPoint& c) {
        return (int64_t(b.x()) - a.x()) * (int64_t(c.y()) - b.y()) ==
               (int64_t(b.y()) - a.y()) * (int64_t(c.x()) - b.x());
    };
    std::vector<oaPoint> r;
    for (const oaPoint& p : ringIn) {
        if (!r.empty() && r.back() == p) continue;
        while (r.size() >= 2 && straight(r[r.size() - 2], r.back(), p)) r.pop_back();
        r.push_back(p);
    }
    while (r.size() > 1 && r.back() == r.front()) r.pop_back();
    for (bool changed = true; changed && r.size() >= 3;) {
        changed = false;
        if (straight(r[r.size() - 2], r.back(), r[0])) {
            r.pop_back();
            changed = true;
        } else if (straight(r.back(), r[0], r[1])) {
            r.erase(r.begin());
            changed = true;
        }
    }
    if (r.size() < 3) return false;
    bool manhattan = r.size() % 2 == 0;
    for (size_t i = 0; i < r.size() && manhattan; ++i) {
        const oaPoint& a = r[i];
        const oaPoint& b = r[(i + 1) % r.size()];
        manhattan = a.x() == b.x() || a.y() == b.y();
    }
    int64_t minX = r[0].x(), minY = r[0].y(), maxX = minX, maxY = minY;
    for (const oaPoint& p : r) {
        minX = std::min<int64_t>(minX, p.x());
        maxX = std::max<int64_t>(maxX, p.x());
        minY = std::min<int64_t>(minY, p.y());
        maxY = std::max<int64_t>(maxY, p.y());
    }
    const uint64_t dt = static_cast<uint64_t>(datatype);
    uint8_t info = 0;
    std::vector<uint8_t> fields;
    auto layerAndType = [&]() {
        if (!haveLayer_) {
            info |= 0x01;
            putU(fields, static_cast<uint64_t>(layer_));
            haveLayer_ = true;
        }
        if (!haveDatatype_ || datatype_ != dt) {
            info |= 0x02;
            putU(fields, dt);
            haveDatatype_ = true;
            datatype_ = dt;
        }
    };
    auto position = [&](int64_t x, int64_t y) {
        if (x != x_) {
            info |= 0x10;
            putS(fields, x - x_);
            x_ = x;
        }
        if (y != y_) {
            info |= 0x08;
            putS(fields, y - y_);
            y_ = y;
        }
    };
    if (manhattan && r.size() == 4) {
        layerAndType();
        const uint64_t w = static_cast<uint64_t>(maxX - minX),
                       h = static_cast<uint64_t>(maxY - minY);
        if (w == h) {
            info |= 0x80;
            if (!haveW_ || w_ != w) {
                info |= 0x40;
                putU(fields, w);
            }
            haveW_ = haveH_ = true;
            w_ = h_ = w;
        } else {
            if (!haveW_ || w_ != w) {
                info |= 0x40;
                putU(fields, w);
            }
            if (!haveH_ || h_ != h) {
                info |= 0x20;
                putU(fields, h);
            }
            haveW_ = haveH_ = true;
            w_ = w;
            h_ = h;
        }
        position(minX, minY);
        putU(block_, RECTANGLE);
    } else {
        layerAndType();
        info |= 0x20;
        std::vector<uint8_t> list;
        if (manhattan) {
            // The last vertex is implied: the list runs to the last but one.
            const bool horizontal = r[0].y() == r[1].y();
            putU(list, horizontal ? 0 : 1);
            putU(list, r.size() - 2);
            for (size_t i = 1; i + 1 < r.size(); ++i) {
                const bool h = (i % 2 == 1) == horizontal;
                putS(list, h ? int64_t(r[i].x()) - r[i - 1].x() : int64_t(r[i].y()) - r[i - 1].y());
            }
        } else {
            putU(list, 4);
            putU(list, r.size() - 1);
            for (size_t i = 1; i < r.size(); ++i) {
                const int64_t dx = int64_t(r[i].x()) - r[i - 1].x();
                const int64_t dy = int64_t(r[i].y()) - r[i - 1].y();
                const uint64_t mx = dx < 0 ? uint64_t(-dx) : uint64_t(dx);
                const uint64_t my = dy < 0 ? uint64_t(-dy) : uint64_t(dy);
                putU(list, (mx << 2) | (dx < 0 ? 2 : 0) | 1);
                putU(list, (my << 1) | (dy < 0 ? 1 : 0));
            }
        }
        fields.insert(fields.end(), list.begin(), list.end());
        position(r[0].x(), r[0].y());
        putU(block_, POLYGON);
    }
    block_.push_back(info);
    block_.insert(block_.end(), fields.begin(), fields.end());
    if (block_.size() >= kBlockBytes) flushBlock();
    return true;
}

bool LayerWriter::finish() {
    flushBlock();
    // END is 256 bytes: record type, offset table, padding, scheme, CRC32.
    std::vector<uint8_t> end;
    putU(end, END);
    // Strict tables: the CELLNAME table here, no other name tables.
    putU(end, 1);
    putU(end, cellNameAt_);
    for (int k = 0; k < 5; ++k) {
        putU(end, 1);
        putU(end, 0);
    }
    // The padding's length in two bytes whatever it is (a longer encoding
    // than needed is allowed), so the sum always comes out.
    const size_t pad = 256 - (end.size() + 2 + 1 + 4);
    end.push_back(static_cast<uint8_t>((pad & 0x7F) | 0x80));
    end.push_back(static_cast<uint8_t>(pad >> 7));
    end.insert(end.end(), pad, 0);
    putU(end, 1);
    put(end.data(), end.size());
    uint8_t sig[4];
    for (int k = 0; k < 4; ++k) sig[k] = static_cast<uint8_t>(crc_ >> (8 * k));
    out_.write(reinterpret_cast<const char*>(sig), 4);
    return static_cast<bool>(out_);
}

}  // namespace oasis
}  // namespace chromasect
