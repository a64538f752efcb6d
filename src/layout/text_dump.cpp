#include "layout/text_dump.h"

#include <sys/stat.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>

#include "base/fatal.h"

namespace chromasect {
namespace textdump {

namespace {

// What the reading keeps with each stream: the lines read, whether ENDLIB
// went by, the elements that ran into another one and the line of the
// first, whether the element being read has been counted as such, and
// whether the last record line seen opened an element (and no ENDEL
// followed).
enum Slot {
    kLines,
    kEnded,
    kBroken,
    kFirstBroken,
    kCounted,
    kInElement,
    kOddLines,
    kFirstOddLine,
    kSlots
};

const std::array<int, kSlots> kSlotIndex = [] {
    std::array<int, kSlots> a;
    for (int& i : a) i = std::ios_base::xalloc();
    return a;
}();

inline long& slot(std::ios_base& in, Slot s) {
    return in.iword(kSlotIndex[s]);
}

// std::getline, counting the lines it reads.
inline bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    ++slot(in, kLines);
    return true;
}

// Fields are separated by runs of blank, colon and comma; a tab is part of
// a field.
inline bool isSeparator(char c) {
    return c == ' ' || c == ':' || c == ',';
}

// Advances p to the start of the next field and returns it, or null at the
// end; *fieldEnd is set to the end of that field.
inline const char* nextField(const char*& p, const char* end, const char** fieldEnd) {
    while (p < end && isSeparator(*p)) ++p;
    if (p == end) return nullptr;
    const char* start = p;
    while (p < end && !isSeparator(*p)) ++p;
    *fieldEnd = p;
    return start;
}

inline bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A field read as a base-10 integer the way strtoll reads it: leading white
// space, an optional sign, then digits up to the first non-digit; no digits
// gives 0 (and *digits false), and values beyond 64 bits saturate.
int64_t fieldToInt64(const char* p, const char* end, bool* digits = nullptr) {
    while (p < end && isCSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
    uint64_t v = 0;
    bool overflow = false;
    if (digits) *digits = p < end && *p >= '0' && *p <= '9';
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        const unsigned d = unsigned(*p - '0');
        if (v > (UINT64_MAX - d) / 10)
            overflow = true;
        else
            v = v * 10 + d;
    }
    if (negative) {
        if (overflow || v > uint64_t(INT64_MAX) + 1) return INT64_MIN;
        return v == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -int64_t(v);
    }
    if (overflow || v > uint64_t(INT64_MAX)) return INT64_MAX;
    return int64_t(v);
}

// A field that is one integer and nothing else (white space around it aside).
bool isWholeInteger(const char* p, const char* end) {
    while (p < end && isCSpace(*p)) ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* digits = p;
    while (p < end && *p >= '0' && *p <= '9') ++p;
    if (p == digits) return false;
    while (p < end && isCSpace(*p)) ++p;
    return p == end;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int64_t lineNumber(std::istream& in) {
    return slot(in, kLines);
}

bool libraryEnded(std::istream& in) {
    return slot(in, kEnded) != 0;
}

void readingError(std::istream& in, const std::string& what) {
    fatal(kExitInternal,
          "ERROR| in reading\nERROR| line " + std::to_string(lineNumber(in)) + ": " + what);
}

bool scaleExactly(int64_t v, float factor, int& out) {
    if (!std::isfinite(factor)) return false;
    // factor = mantissa * 2^exponent with a 24-bit integer mantissa, so the
    // product is an integer of at most 87 bits scaled by a power of two.
    int exponent = 0;
    const float fraction = std::frexp(factor, &exponent);
    const int64_t mantissa = static_cast<int64_t>(std::ldexp(fraction, 24));
    exponent -= 24;
    __int128 p = static_cast<__int128>(v) * mantissa;
    if (exponent >= 0) {
        if (exponent > 31 && p != 0) return false;
        if (p != 0) p *= static_cast<__int128>(1) << exponent;
    } else {
        p = exponent <= -100 ? 0 : p / (static_cast<__int128>(1) << -exponent);  // toward zero
    }
    if (p < INT_MIN || p > INT_MAX) return false;
    out = static_cast<int>(p);
    return true;
}

void reportSkipped(const PTR::SkippedOutlines& skipped, int layer, Reporter& report) {
    if (skipped.unclosed > 0)
        report.print(
            "WARNING| %d unclosed boundaries on layer %d skipped (the last vertex "
            "does not repeat the first)\n",
            skipped.unclosed, layer);
    if (skipped.degenerate > 0)
        report.print(
            "WARNING| %d degenerate boundaries on layer %d skipped (fewer than four "
            "corners, or no area)\n",
            skipped.degenerate, layer);
    if (skipped.nonManhattan > 0)
        report.print("WARNING| %d non-Manhattan boundaries on layer %d skipped\n",
                     skipped.nonManhattan, layer);
    if (skipped.selfCrossing > 0)
        report.print("WARNING| %d self-crossing boundaries on layer %d skipped\n",
                     skipped.selfCrossing, layer);
}

void reportUnreadParts(std::istream& in, size_t features, Reporter& report) {
    if (brokenElements(in) > 0)
        report.print(
            "WARNING| %lld elements with a missing or damaged record line (element name, "
            "LAYER, DATATYPE or ENDEL), the first near line %lld\n",
            static_cast<long long>(brokenElements(in)),
            static_cast<long long>(slot(in, kFirstBroken)));
    if (oddCoordinateLines(in) > 0)
        report.print(
            "WARNING| %lld coordinate lines with a field that is not a whole number (read as "
            "the format reads it), the first at line %lld\n",
            static_cast<long long>(oddCoordinateLines(in)),
            static_cast<long long>(slot(in, kFirstOddLine)));
    if (libraryEnded(in)) return;
    report.print("WARNING| reading stopped at line %lld, before ENDLIB: %zu features read\n",
                 static_cast<long long>(lineNumber(in)), features);
}

void open(const std::string& path, std::ifstream& in, std::vector<char>& buffer) {
    buffer.resize(1 << 20);
    in.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (!isDirectory(path)) in.open(path, std::ios::in | std::ios::binary);
    if (!in.is_open()) fatal(kExitUsage, "ERROR| cannot open file: " + path);
}

namespace {

struct Name {
    const char* text;
    size_t size;
};
constexpr Name kEndel = {"ENDEL", 5};
// Records found only inside an element, and those that open one.
constexpr Name kInsideElements[] = {{"LAYER", 5}, {"XY", 2}, {"DATATYPE", 8}, {"BOXTYPE", 7}};
constexpr Name kElementStarts[] = {{"BOUNDARY", 8}, {"BOX", 3},  {"PATH", 4}, {"TEXT", 4},
                                   {"NODE", 4},     {"SREF", 4}, {"AREF", 4}};
// Records that cannot lie between an element's start and the record looked
// for: passing one means a record of this element is missing and the search
// has gone on into the next element.
constexpr Name kBeforeLayer[] = {{"XY", 2}, {"ENDEL", 5}};
constexpr Name kBeforeEnd[] = {{"XY", 2},  {"LAYER", 5},    {"BOUNDARY", 8},
                               {"BOX", 3}, {"DATATYPE", 8}, {"BOXTYPE", 7}};

// A line's record name: its first field.
struct Record {
    const char* name = nullptr;
    size_t size = 0;

    explicit Record(const std::string& line) {
        const char* p = line.data();
        const char* end = nullptr;
        name = nextField(p, p + line.size(), &end);
        size = name ? size_t(end - name) : 0;
    }
    bool is(const Name& n) const {
        if (!name || n.size != size) return false;
        for (size_t i = 0; i < size; ++i)
            if (name[i] != n.text[i]) return false;
        return true;
    }
    template <size_t N>
    bool isOneOf(const Name (&names)[N]) const {
        for (const Name& n : names)
            if (is(n)) return true;
        return false;
    }
};

void countBroken(std::istream& in) {
    if (slot(in, kCounted)) return;
    slot(in, kCounted) = 1;
    if (slot(in, kBroken)++ == 0) slot(in, kFirstBroken) = slot(in, kLines);
}

// searchUntil, counting the element being read as broken (once) when a line
// passed on the way is one of `foreign`, and any element whose inner
// records turn up outside an element (its first line is missing or
// damaged). A line taken for an element's start or end by the keyword
// search opens or closes the element whatever its first field.
template <size_t N>
bool search(std::istream& in, const std::string& key, const std::string& alt, std::string& line,
            const Name (&foreign)[N]) {
    while (!in.eof()) {
        if (!readLine(in, line)) return false;
        const Record record(line);
        const bool ends = record.is(kEndel);
        const bool starts = !ends && record.isOneOf(kElementStarts);
        const bool orphan =
            !ends && !starts && !slot(in, kInElement) && record.isOneOf(kInsideElements);
        if (ends || starts) slot(in, kInElement) = starts;
        if (!in.eof()) {
            if (line.find(key) != std::string::npos) return true;
            if (!alt.empty() && line.find(alt) != std::string::npos) return true;
        }
        if (line.find("ENDLIB") != std::string::npos) slot(in, kEnded) = 1;
        if (in.eof()) return false;
        if (orphan) {
            slot(in, kInElement) = 1;
            slot(in, kCounted) = 0;
            countBroken(in);
        } else if (record.isOneOf(foreign)) {
            countBroken(in);
        }
    }
    return false;
}

}  // namespace

bool searchUntil(std::istream& in, const std::string& key, const std::string& alt,
                 std::string& line) {
    static constexpr Name kNone[] = {{"", 0}};  // no record is named so
    return search(in, key, alt, line, kNone);
}

bool endOfElement(std::istream& in, std::string& line) {
    if (!search(in, "ENDEL", "", line, kBeforeEnd)) return false;
    slot(in, kInElement) = 0;
    return true;
}

int64_t brokenElements(std::istream& in) {
    return slot(in, kBroken);
}

int64_t oddCoordinateLines(std::istream& in) {
    return slot(in, kOddLines);
}

bool secondField(const std::string& line, int& value) {
    const char* p = line.data();
    const char* end = p + line.size();
    const char* fieldEnd = nullptr;
    if (!nextField(p, end, &fieldEnd)) return false;
    const char* second = nextField(p, end, &fieldEnd);
    if (!second) return false;
    if (!isWholeInteger(second, fieldEnd)) return false;
    const int64_t v = fieldToInt64(second, fieldEnd);
    if (v > INT_MAX || v < INT_MIN) return false;
    value = static_cast<int>(v);
    return true;
}

float readHeader(std::istream& in, std::string& line) {
    searchUntil(in, "HEADER", "", line);
    searchUntil(in, "BGNLIB", "", line);
    searchUntil(in, "LIBNAME", "", line);

    bool found = false;
    do {
        if (!readLine(in, line)) break;
        found = line.find("UNITS") != std::string::npos;
    } while (!found && !in.eof());
    // Without a units line the coordinates have no scale.
    if (!found) readingError(in, "no UNITS line before the end of the file");
    float userUnit = 0.0f, dbUnit = 0.0f;
    if (std::sscanf(line.c_str(), "UNITS: %f, %f", &userUnit, &dbUnit) != 2)
        readingError(in, "UNITS line not of the form \"UNITS: user, database\"");
    const float factor = static_cast<float>(static_cast<double>(dbUnit) / 1e-9);
    // A zero factor would put every vertex on the origin, a negative one
    // mirror the layout, and an infinite one leave no coordinate.
    if (!(dbUnit > 0.0f) || !(factor > 0.0f) || !std::isfinite(factor))
        readingError(in, "database unit " + formatText("%g", dbUnit) +
                             " is not a positive number of metres");

    // Element records passed here (a damaged STRNAME line) are elements lost.
    search(in, "BGNSTR", "", line, kInsideElements);
    search(in, "STRNAME", "", line, kInsideElements);
    return factor;
}

void readPoints(std::istream& in, const std::string& line, float factor, oaPointArray& points) {
    const char* p = line.data();
    const char* end = p + line.size();
    const char* fieldEnd = nullptr;
    // Fields that are not whole numbers are read as the format reads them
    // (skipped, or y 0, or up to the first non-digit), which shifts or cuts
    // coordinates: such a line is counted, so that it is never read silently.
    bool odd = false;
    bool first = true;
    while (const char* field = nextField(p, end, &fieldEnd)) {
        const bool number = (*field >= '0' && *field <= '9') || *field == '-';
        if (!first && !isWholeInteger(field, fieldEnd)) odd = true;
        first = false;
        if (!number) continue;
        const char* xEnd = fieldEnd;
        const char* yField = nextField(p, end, &fieldEnd);
        if (!yField)
            readingError(in, "x value " + std::string(field, xEnd) + " without a y value (point " +
                                 std::to_string(points.getNumElements() + 1) + ")");
        if (!isWholeInteger(yField, fieldEnd)) odd = true;
        int x = 0, y = 0;
        if (!scaleCoordinate(fieldToInt64(field, xEnd), factor, x) ||
            !scaleCoordinate(fieldToInt64(yField, fieldEnd), factor, y))
            readingError(in, "point " + std::to_string(points.getNumElements() + 1) + " (" +
                                 std::string(field, xEnd) + ", " + std::string(yField, fieldEnd) +
                                 ") out of the 32-bit range once scaled");
        points.append(oaPoint(x, y));
    }
    if (odd && slot(in, kOddLines)++ == 0) slot(in, kFirstOddLine) = slot(in, kLines);
}

Step nextElement(std::istream& in, int layer, float factor, std::string& line, oaPointArray& points,
                 int& datatype) {
    if (!searchUntil(in, "BOX", "BOUNDARY", line)) return Step::End;
    slot(in, kInElement) = 1;
    slot(in, kCounted) = 0;
    if (!search(in, "LAYER", "", line, kBeforeLayer)) return Step::End;
    int layerNum = 0;
    if (!secondField(line, layerNum)) readingError(in, "LAYER line without a layer number");
    // A negative layer number ends the reading, as no layer can be.
    if (layerNum < 0) return Step::End;
    // Another layer: the rest of the element is skipped by the next search.
    if (layerNum != layer) return Step::Skipped;
    if (!search(in, "BOXTYPE", "DATATYPE", line, kBeforeLayer)) return Step::End;
    if (!secondField(line, datatype)) {
        datatype = -1;
        countBroken(in);
    }

    if (!readLine(in, line)) line.clear();
    if (line.empty()) return Step::End;
    points.setNumElements(0);
    readPoints(in, line, factor, points);
    return Step::Element;
}

}  // namespace textdump
}  // namespace chromasect
