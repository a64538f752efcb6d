// Reader of one layer of a GDSII library dumped as text, one record per
// line. It is keyword-driven and tolerant: it searches forward for the
// record keywords it needs (as substrings anywhere in a line) and skips
// every other line. Lines of any length are read whole.

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "driver/design.h"
#include "geometry/fatal.h"
#include "geometry/params.h"
#include "input/polygon_to_rect.h"

namespace {

[[noreturn]] void readingError() {
    chromasect::fatal(chromasect::kExitInternal, "ERROR| in reading");
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
// gives 0, and values beyond 64 bits saturate.
int64_t fieldToInt64(const char* p, const char* end) {
    while (p < end && isCSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
    uint64_t v = 0;
    bool overflow = false;
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

// The same, clamped to int.
int fieldToInt(const char* p, const char* end) {
    const int64_t v = fieldToInt64(p, end);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

// A coordinate scaled to nanometres: converted to float, multiplied by the
// factor in single precision and truncated toward zero. A value that does
// not fit a 32-bit coordinate (or a NaN factor) is malformed input.
int scaleCoordinate(int64_t v, float factor) {
    const float scaled = static_cast<float>(v) * factor;
    if (!(scaled >= -2147483648.0f && scaled < 2147483648.0f)) readingError();
    return static_cast<int>(scaled);
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Work buffers of the reader, reused so that reading a line or an element
// allocates nothing once the largest one has been seen. One thread reads.
std::string& lineBuffer() {
    static std::string line;
    return line;
}
oaPointArray& pointBuffer() {
    static oaPointArray points;
    return points;
}
std::vector<oaBox>& rectBuffer() {
    static std::vector<oaBox> rects;
    return rects;
}

}  // namespace

void Design::ReadAll() {
    if (inputFile.find(".ascii") == std::string::npos)
        chromasect::fatal(chromasect::kExitUsage, "ERROR| is not a ascii file");
    ReadASCII();
    std::printf("STAT | After read all wires, wire# = %zu\n", shapes.size());
}

void Design::ReadASCII() {
    // Large reads: the file is walked once, sequentially. The buffer must
    // outlive the stream.
    std::vector<char> streamBuffer(1 << 20);
    std::ifstream in;
    in.rdbuf()->pubsetbuf(streamBuffer.data(), static_cast<std::streamsize>(streamBuffer.size()));
    if (!isDirectory(inputFile)) in.open(inputFile, std::ios::in | std::ios::binary);
    if (!in.is_open())
        chromasect::fatal(chromasect::kExitUsage, "ERROR| cannot open file: " + inputFile);

    const float factor = ReadAsciiHeader(in);
    while (ReadBlock(in, factor)) {
    }
    layout_left = minX;
    layout_right = maxX;
    layout_bottom = minY;
    layout_top = maxY;
    in.close();
}

float Design::ReadAsciiHeader(std::ifstream& in) {
    ReadSearchUntil(in, "HEADER", "");
    ReadSearchUntil(in, "BGNLIB", "");
    ReadSearchUntil(in, "LIBNAME", "");

    std::string& line = lineBuffer();
    bool found = false;
    do {
        if (!std::getline(in, line)) break;
        found = line.find("UNITS") != std::string::npos;
    } while (!found && !in.eof());
    // Without a units line the coordinates have no scale.
    float userUnit = 0.0f, dbUnit = 0.0f;
    if (!found || std::sscanf(line.c_str(), "UNITS: %f, %f", &userUnit, &dbUnit) != 2)
        readingError();
    const float factor = static_cast<float>(static_cast<double>(dbUnit) / 1e-9);

    ReadSearchUntil(in, "BGNSTR", "");
    ReadSearchUntil(in, "STRNAME", "");
    return factor;
}

bool Design::ReadSearchUntil(std::ifstream& in, std::string key, std::string alt) {
    std::string& line = lineBuffer();
    while (!in.eof()) {
        // A last line without a line end is never examined.
        if (!std::getline(in, line) || in.eof()) return false;
        if (line.find(key) != std::string::npos) return true;
        if (!alt.empty() && line.find(alt) != std::string::npos) return true;
    }
    return false;
}

int Design::ReadLayerNum(std::ifstream& in, std::string key) {
    if (!ReadSearchUntil(in, key, "")) return -1;
    const std::string& line = lineBuffer();
    const char* p = line.data();
    const char* end = p + line.size();
    const char* fieldEnd = nullptr;
    if (!nextField(p, end, &fieldEnd)) readingError();
    const char* second = nextField(p, end, &fieldEnd);
    if (!second) readingError();
    return fieldToInt(second, fieldEnd);
}

bool Design::ReadBlock(std::ifstream& in, float factor) {
    if (!ReadSearchUntil(in, "BOX", "BOUNDARY")) return false;
    const int layerNum = ReadLayerNum(in, "LAYER");
    if (layerNum < 0) return false;
    // Another layer: the rest of the element is skipped by the next search.
    if (layerNum != layer) return true;
    if (!ReadSearchUntil(in, "BOXTYPE", "DATATYPE")) return false;

    std::string& line = lineBuffer();
    std::getline(in, line);
    if (line.empty()) return false;

    oaPointArray& points = pointBuffer();
    points.setNumElements(0);
    int left = INT_MAX, bottom = INT_MAX, right = INT_MIN, top = INT_MIN;
    const char* p = line.data();
    const char* end = p + line.size();
    const char* fieldEnd = nullptr;
    while (const char* field = nextField(p, end, &fieldEnd)) {
        if (!((*field >= '0' && *field <= '9') || *field == '-')) continue;
        const char* xEnd = fieldEnd;
        const char* yField = nextField(p, end, &fieldEnd);
        if (!yField) readingError();
        const int x = scaleCoordinate(fieldToInt64(field, xEnd), factor);
        const int y = scaleCoordinate(fieldToInt64(yField, fieldEnd), factor);
        points.append(oaPoint(x, y));
        if (x < left) left = x;
        if (x > right) right = x;
        if (y < bottom) bottom = y;
        if (y > top) top = y;
        if (x < minX) minX = x;
        if (x > maxX) maxX = x;
        if (y < minY) minY = y;
        if (y > maxY) maxY = y;
    }
    if (points.getNumElements() == 0) return true;

    // The closing vertex repeats the first; the bounding box still covers it.
    points.setNumElements(points.getNumElements() - 1);
    myShape* shape = shapePool.make(left, bottom, right, top);
    shape->points.setSize(points.getNumElements());  // one allocation, not one per doubling
    shape->SetPoints(points);
    shape->id = static_cast<int>(shapes.size());
    std::vector<oaBox>& rects = rectBuffer();
    rects.clear();
    if (PTR::Polygon2Rectangle(points, rects)) shape->SetRealBoxes(rects);
    shapes.push_back(shape);
    wireRTree.insert(shape);

    return ReadSearchUntil(in, "ENDEL", "");
}
