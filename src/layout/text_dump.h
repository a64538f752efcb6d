#pragma once
// The GDSII text dump, one record per line, as this system reads it: the
// keyword search, field splitting and coordinate scaling shared by the
// layout reader and the decomposition checker. Reading is tolerant: record
// keywords are found as substrings anywhere in a line and every other line
// is skipped. Malformed input ends the run with "ERROR| in reading" and one
// more "ERROR| " line naming the line of the file and what was wrong there.
// Every line is read through these functions, which keep the stream's line
// number and whether its ENDLIB record has gone by.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "base/report.h"
#include "geometry/oa.h"
#include "geometry/polygon_to_rect.h"

namespace chromasect {
namespace textdump {

// Opens a file for one sequential walk through a large buffer (which must
// outlive the stream). A file that cannot be opened, a directory included,
// ends the run with "ERROR| cannot open file: " and the name.
void open(const std::string& path, std::ifstream& in, std::vector<char>& buffer);

// Reads lines into `line` until one contains key, or alt when alt is not
// empty. False at the end of the input; a last line without a line end is
// never examined.
bool searchUntil(std::istream& in, const std::string& key, const std::string& alt,
                 std::string& line);

// The number of lines read from `in` so far (the last one read is that
// line of the file).
int64_t lineNumber(std::istream& in);
// True once a line containing ENDLIB has been read from `in`.
bool libraryEnded(std::istream& in);

// Ends the run with "ERROR| in reading" and a second line naming the line
// last read from `in` and `what` was wrong with it.
[[noreturn]] void readingError(std::istream& in, const std::string& what);

// The second field of a line as an integer ("LAYER: 5" gives 5). Fields are
// separated by runs of blank, colon and comma; the field is read like strtol
// reads it. Without a second field, when it holds no digits or when its
// value does not fit an int: false.
bool secondField(const std::string& line, int& value);

// Reads the header records up to STRNAME and returns the nanometres per
// database unit of the UNITS line. A missing or unreadable UNITS line, or a
// database unit that is not a positive finite number, ends the run.
float readHeader(std::istream& in, std::string& line);

// A coordinate in database units scaled to nanometres and truncated toward
// zero. Where the integer and its product with the factor both lie below
// 2^24 in magnitude, the product is taken in single precision, the form the
// whole system scales by; beyond that floats are 2 or more apart and would
// round a coordinate, so the product with the factor is computed exactly
// there. False when the result does not fit 32 bits or the factor is not
// finite.
bool scaleExactly(int64_t v, float factor, int& out);  // the second case alone
inline bool scaleCoordinate(int64_t v, float factor, int& out) {
    const float kExact = 16777216.0f;  // 2^24: every integer below is a float
    const float single = static_cast<float>(v) * factor;
    if (v > -16777216 && v < 16777216 && single > -kExact && single < kExact) {
        out = static_cast<int>(single);
        return true;
    }
    return scaleExactly(v, factor, out);
}

// Appends the points of an XY line, each scaled by scaleCoordinate. A field
// not starting with a digit or '-' is skipped; an x without a y, or a
// coordinate that does not fit 32 bits once scaled, ends the run.
void readPoints(std::istream& in, const std::string& line, float factor, oaPointArray& points);

// One "WARNING| " line for each kind of outline of `layer` left out.
void reportSkipped(const PTR::SkippedOutlines& skipped, int layer, Reporter& report);
// One "WARNING| " line when elements ran into the next one (see
// endOfElement), and one when `in` ended, or reading stopped, before its
// ENDLIB record, saying at which line and how many features were read.
void reportUnreadParts(std::istream& in, size_t features, Reporter& report);

// Skips to the ENDEL line of the element being read (see searchUntil).
bool endOfElement(std::istream& in, std::string& line);
// Elements of the layer that ran into the next one: a record of another
// element (XY, LAYER, BOUNDARY, BOX, DATATYPE, BOXTYPE; or XY or ENDEL
// before the layer and type lines) went by while a record of this one was
// looked for, so that one of its records is missing and its neighbour is
// read in part or not at all.
int64_t brokenElements(std::istream& in);
// Coordinate lines of the layer with a field that is not a whole number.
int64_t oddCoordinateLines(std::istream& in);

enum class Step {
    End,      // no further element
    Skipped,  // an element of another layer
    Element,  // points (closing vertex included; none for a coordinate line
              // without numbers) and datatype are set
};

// Reads the next BOUNDARY or BOX element of `layer`: its DATATYPE (or
// BOXTYPE) line, then the coordinate line right after it. The rest of the
// element (up to ENDEL) is left to the caller. A datatype line without a
// number gives datatype -1; a layer line without one (or with one beyond
// int) ends the run, and one with a negative number ends the reading
// (Step::End).
Step nextElement(std::istream& in, int layer, float factor, std::string& line, oaPointArray& points,
                 int& datatype);

}  // namespace textdump
}  // namespace chromasect
