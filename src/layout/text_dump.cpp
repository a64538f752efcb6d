#include "layout/text_dump.h"

#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>

#include "base/fatal.h"

namespace chromasect {
namespace textdump {

namespace {

[[noreturn]] void readingError() {
    fatal(kExitInternal, "ERROR| in reading");
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

// A value that does not fit a 32-bit coordinate (or a NaN factor) is
// malformed input.
int scaleCoordinate(int64_t v, float factor) {
    const float scaled = static_cast<float>(v) * factor;
    if (!(scaled >= -2147483648.0f && scaled < 2147483648.0f)) readingError();
    return static_cast<int>(scaled);
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void open(const std::string& path, std::ifstream& in, std::vector<char>& buffer) {
    buffer.resize(1 << 20);
    in.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (!isDirectory(path)) in.open(path, std::ios::in | std::ios::binary);
    if (!in.is_open()) fatal(kExitUsage, "ERROR| cannot open file: " + path);
}

bool searchUntil(std::istream& in, const std::string& key, const std::string& alt,
                 std::string& line) {
    while (!in.eof()) {
        if (!std::getline(in, line) || in.eof()) return false;
        if (line.find(key) != std::string::npos) return true;
        if (!alt.empty() && line.find(alt) != std::string::npos) return true;
    }
    return false;
}

bool secondField(const std::string& line, int& value) {
    const char* p = line.data();
    const char* end = p + line.size();
    const char* fieldEnd = nullptr;
    if (!nextField(p, end, &fieldEnd)) return false;
    const char* second = nextField(p, end, &fieldEnd);
    if (!second) return false;
    const int64_t v = fieldToInt64(second, fieldEnd);
    value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return true;
}

float readHeader(std::istream& in, std::string& line) {
    searchUntil(in, "HEADER", "", line);
    searchUntil(in, "BGNLIB", "", line);
    searchUntil(in, "LIBNAME", "", line);

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

    searchUntil(in, "BGNSTR", "", line);
    searchUntil(in, "STRNAME", "", line);
    return factor;
}

void readPoints(const std::string& line, float factor, oaPointArray& points) {
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
    }
}

Step nextElement(std::istream& in, int layer, float factor, std::string& line, oaPointArray& points,
                 int& datatype) {
    if (!searchUntil(in, "BOX", "BOUNDARY", line)) return Step::End;
    if (!searchUntil(in, "LAYER", "", line)) return Step::End;
    int layerNum = 0;
    if (!secondField(line, layerNum)) readingError();
    // A negative layer number ends the reading, as no layer can be.
    if (layerNum < 0) return Step::End;
    // Another layer: the rest of the element is skipped by the next search.
    if (layerNum != layer) return Step::Skipped;
    if (!searchUntil(in, "BOXTYPE", "DATATYPE", line)) return Step::End;
    if (!secondField(line, datatype)) datatype = -1;

    std::getline(in, line);
    if (line.empty()) return Step::End;
    points.setNumElements(0);
    readPoints(line, factor, points);
    return points.getNumElements() == 0 ? Step::Skipped : Step::Element;
}

}  // namespace textdump
}  // namespace chromasect
