#pragma once
// The GDSII text dump, one record per line, as this system reads it: the
// keyword search, field splitting and coordinate scaling shared by the
// layout reader and the decomposition checker. Reading is tolerant: record
// keywords are found as substrings anywhere in a line and every other line
// is skipped. Malformed numbers end the run with "ERROR| in reading".

#include <iosfwd>
#include <string>
#include <vector>

#include "geometry/oa.h"

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

// The second field of a line as an integer ("LAYER: 5" gives 5). Fields are
// separated by runs of blank, colon and comma; the field is read like strtol
// reads it and clamped to int. Without a second field: false.
bool secondField(const std::string& line, int& value);

// Reads the header records up to STRNAME and returns the nanometres per
// database unit of the UNITS line. A missing or unreadable UNITS line ends
// the run.
float readHeader(std::istream& in, std::string& line);

// Appends the points of an XY line, each scaled to nanometres (converted to
// float, multiplied in single precision, truncated toward zero). A field not
// starting with a digit or '-' is skipped; an x without a y, or a coordinate
// that does not fit 32 bits once scaled, ends the run.
void readPoints(const std::string& line, float factor, oaPointArray& points);

enum class Step {
    End,      // no further element
    Skipped,  // an element of another layer, or one without points
    Element,  // points (closing vertex included) and datatype are set
};

// Reads the next BOUNDARY or BOX element of `layer`: its DATATYPE (or
// BOXTYPE) line, then the coordinate line right after it. The rest of the
// element (up to ENDEL) is left to the caller. A datatype line without a
// number gives datatype -1.
Step nextElement(std::istream& in, int layer, float factor, std::string& line, oaPointArray& points,
                 int& datatype);

}  // namespace textdump
}  // namespace chromasect
