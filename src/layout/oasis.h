#pragma once
// OASIS files: a reader into the same library model the GDSII parser fills,
// so that flattening, its guards against reference bombs and loops, and the
// merge are shared; and the writer of one layer's rings in one cell.
//
// Reading distrusts the file as the GDSII parser does: every integer,
// string, point list, repetition and CBLOCK is checked against the data
// that holds it, and a damaged file ends the run with one "ERROR| " line
// naming the record and its byte offset (chromasect::fatal, exit status 1).
//
// Mapping into the library model: RECTANGLE, POLYGON, TRAPEZOID,
// CTRAPEZOID and CIRCLE become BOUNDARY elements (non-Manhattan ones are
// kept as such, so the flattening skips and counts them as it does for
// GDSII); PATH becomes PATH with its extensions; PLACEMENT becomes SREF,
// or AREF for a regular repetition (flip, angle and magnification as
// STRANS, ANGLE and MAG). A repeated shape goes, alone, into a structure
// of its own that an AREF (regular repetitions) or one SREF per copy
// (irregular ones) places; such structures are named with a prefix no cell
// of the file starts with, and are never top structures. So huge regular
// repetitions cost a few bytes of memory and are counted by the flattening
// guard before anything is made. TEXT, properties, LAYERNAME, XNAME,
// XELEMENT and XGEOMETRY are read and dropped.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "geometry/oa.h"
#include "layout/gdsii_stream.h"

namespace chromasect {
namespace oasis {

// True for a name ending in ".oas" or ".oasis", in any case.
bool isOasisName(const std::string& name);

// True when the file starts with the OASIS magic "%SEMI-OASIS\r\n"; false
// for a file that cannot be read.
bool hasOasisMagic(const std::string& path);

// Parses a whole file. The unit (grid steps per micron) becomes dbUnit and
// userUnit as a GDSII library of the same grid holds them (1000 steps:
// 1e-9 m and 0.001). The library name is "LIB": OASIS has none.
gdsii::Library parseOasis(const uint8_t* data, size_t size);

// Reads and parses a file; an unreadable file ends the run with
// "ERROR| cannot open file: " and the name.
gdsii::Library readOasisFile(const std::string& path);

// Writes one cell of rings on one layer: rectangles as RECTANGLE records,
// other rings as POLYGON records (Manhattan point lists where the ring is
// Manhattan), coordinates relative to the previous shape, the body in
// deflate-compressed CBLOCKs, names in strict mode (the CELLNAME table's
// offset in END) and a CRC32 signature. Rings come without their closing
// repeat.
class LayerWriter {
  public:
    // Starts the file: START (the grid of dbUnitMetres), the cell's name and
    // its CELL record.
    LayerWriter(std::ostream& out, const std::string& cellName, double dbUnitMetres, int layer);
    // False for a ring left out: fewer than three corners once repeated and
    // collinear ones are dropped.
    bool ring(int datatype, const std::vector<oaPoint>& ring);
    // Writes what is buffered and END; false when the stream failed.
    bool finish();

  private:
    void flushBlock();
    void put(const uint8_t* bytes, size_t n);

    std::ostream& out_;
    int layer_;
    std::vector<uint8_t> block_;  // records not yet compressed
    uint32_t crc_ = 0;
    uint64_t written_ = 0;
    uint64_t cellNameAt_ = 0;
    // Modal variables as the reader will hold them.
    bool haveLayer_ = false, haveDatatype_ = false, haveW_ = false, haveH_ = false;
    uint64_t datatype_ = 0, w_ = 0, h_ = 0;
    int64_t x_ = 0, y_ = 0;
};

}  // namespace oasis
}  // namespace chromasect
