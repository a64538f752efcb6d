#pragma once
// GDSII stream files: the record layer (framing, payload types, the excess-64
// real format) and a library model that holds every structure and element
// this system reads or writes. Parsing never trusts the file: every record
// length, payload size and nesting is checked, and a damaged stream ends the
// run with one "ERROR| " line (chromasect::fatal, exit status 1) instead of
// being read past its end.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace chromasect {
namespace gdsii {

// Record types (the byte after the length).
enum RecordType : uint8_t {
    HEADER = 0x00,
    BGNLIB = 0x01,
    LIBNAME = 0x02,
    UNITS = 0x03,
    ENDLIB = 0x04,
    BGNSTR = 0x05,
    STRNAME = 0x06,
    ENDSTR = 0x07,
    BOUNDARY = 0x08,
    PATH = 0x09,
    SREF = 0x0A,
    AREF = 0x0B,
    TEXT = 0x0C,
    LAYER = 0x0D,
    DATATYPE = 0x0E,
    WIDTH = 0x0F,
    XY = 0x10,
    ENDEL = 0x11,
    SNAME = 0x12,
    COLROW = 0x13,
    NODE = 0x15,
    TEXTTYPE = 0x16,
    PRESENTATION = 0x17,
    STRING = 0x19,
    STRANS = 0x1A,
    MAG = 0x1B,
    ANGLE = 0x1C,
    PATHTYPE = 0x21,
    ELFLAGS = 0x26,
    NODETYPE = 0x2A,
    PROPATTR = 0x2B,
    PROPVALUE = 0x2C,
    BOX = 0x2D,
    BOXTYPE = 0x2E,
    PLEX = 0x2F,
    BGNEXTN = 0x30,
    ENDEXTN = 0x31,
};

// Payload data types (the last header byte).
enum DataType : uint8_t {
    NO_DATA = 0,
    BIT_ARRAY = 1,
    INT2 = 2,
    INT4 = 3,
    REAL4 = 4,
    REAL8 = 5,
    ASCII = 6,
};

// STRANS flag bits.
constexpr uint16_t kStransReflect = 0x8000;
constexpr uint16_t kStransAbsMag = 0x0004;
constexpr uint16_t kStransAbsAngle = 0x0002;

// Largest record, and so the most points one XY record holds (8191).
constexpr size_t kMaxRecordLength = 65534;
constexpr size_t kMaxXYPoints = (kMaxRecordLength - 4) / 8;

// Conversions of the 8-byte excess-64 base-16 real. Encoding rounds to the
// nearest representable value; 0 encodes as all zero bytes.
double decodeReal8(const uint8_t* bytes);
void encodeReal8(double value, uint8_t* bytes);

// One record as read: type, payload type, payload bytes, and the byte offset
// of its header in the stream (for messages).
struct Record {
    uint8_t type = 0;
    uint8_t dataType = 0;
    std::vector<uint8_t> data;
    size_t offset = 0;

    // Payload accessors; each checks that the payload has the type and size
    // it needs and otherwise ends the run naming the record and its offset.
    std::vector<int16_t> int16s(size_t minCount) const;
    std::vector<int32_t> int32s(size_t minCount) const;
    std::vector<double> real8s(size_t minCount) const;
    // Text up to the first NUL (names are padded to an even length).
    std::string text() const;
};

// Name of a record type for messages ("XY", "record 0x3f").
std::string recordName(uint8_t type);

// Reads records from an in-memory stream. A record whose length is below 4
// or odd, or that runs past the end of the data, ends the run.
class RecordReader {
  public:
    RecordReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // False at the end of the data.
    bool next(Record& record);
    size_t offset() const { return pos_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Appends records to a byte buffer. Strings are NUL-padded to even length.
class RecordWriter {
  public:
    void empty(uint8_t type);
    void int16s(uint8_t type, const std::vector<int16_t>& values);
    void int32s(uint8_t type, const std::vector<int32_t>& values);
    void real8s(uint8_t type, const std::vector<double>& values);
    void text(uint8_t type, const std::string& value);
    void bits(uint8_t type, uint16_t value);
    const std::vector<uint8_t>& bytes() const { return out_; }
    // Moves the bytes written so far to the stream and empties the buffer.
    void drainTo(std::ostream& os);

  private:
    void header(uint8_t type, uint8_t dataType, size_t payload);
    std::vector<uint8_t> out_;
};

// ---- library model ----

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

enum class ElementKind { Boundary, Path, Box, SRef, ARef, Text, Node };

// One element with every field this system reads; fields that do not apply
// to its kind keep their defaults. `datatype` also holds BOXTYPE, TEXTTYPE
// and NODETYPE.
struct Element {
    ElementKind kind = ElementKind::Boundary;
    int layer = 0;
    int datatype = 0;
    int pathType = 0;
    int32_t width = 0;  // negative: absolute (not magnified)
    int32_t bgnExtn = 0;
    int32_t endExtn = 0;
    std::vector<Point> xy;
    std::string sname;  // SREF and AREF: the referenced structure
    uint16_t strans = 0;
    double mag = 1.0;
    double angle = 0.0;  // degrees, counter-clockwise
    int cols = 1;        // AREF
    int rows = 1;
    std::string text;   // TEXT: the STRING record
    size_t offset = 0;  // byte offset of the element record (not compared)

    bool operator==(const Element& o) const;
};

struct Structure {
    std::string name;
    std::vector<Element> elements;
    bool operator==(const Structure& o) const { return name == o.name && elements == o.elements; }
};

struct Library {
    std::string format = "GDSII";  // the file's format, for messages (not written)
    int version = 600;
    std::string name = "LIB";
    double userUnit = 0.001;  // database unit in user units
    double dbUnit = 1e-9;     // database unit in metres
    std::vector<Structure> structures;
};

// Parses a whole stream. Properties, element flags and the optional library
// records are read and dropped. Data after ENDLIB (block padding) is ignored.
Library parseLibrary(const uint8_t* data, size_t size);
// Reads and parses a file; an unreadable file ends the run with
// "ERROR| cannot open file: " and the name.
Library readLibraryFile(const std::string& path);

// Writing, piece by piece so that large layouts stream to the file. Time
// stamps are fixed so that the same library always gives the same bytes.
void writeLibraryBegin(RecordWriter& w, const Library& lib);
void writeStructureBegin(RecordWriter& w, const std::string& name);
// An element of more than kMaxXYPoints points cannot be written; that is an
// internal error (callers split such polygons first).
void writeElement(RecordWriter& w, const Element& e);
void writeStructureEnd(RecordWriter& w);
void writeLibraryEnd(RecordWriter& w);

// The whole stream of a library.
std::vector<uint8_t> writeLibrary(const Library& lib);
// Writes the stream to a file; failure ends the run.
void writeLibraryFile(const std::string& path, const Library& lib);

}  // namespace gdsii
}  // namespace chromasect
