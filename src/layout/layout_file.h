#pragma once
// Layout files this system writes and reads back: the format a file name
// stands for, the names and units written, and the writer of one layer's
// rings as binary GDSII, as OASIS or as a text dump in the form the text
// reader reads.
// Datatypes of a decomposed layer: mask m on m + 1, then the three below.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "geometry/oa.h"
#include "layout/gdsii_stream.h"

namespace chromasect {

constexpr int kUncolouredDatatype = 9;
constexpr int kConflictDatatype = 10;
constexpr int kStitchDatatype = 11;

enum class LayoutFormat { None, Gdsii, Text, Oasis };

// GDSII for a name that the reader takes as GDSII, OASIS for one ending in
// ".oas" or ".oasis" (any case), text for a name containing ".ascii",
// otherwise none.
LayoutFormat layoutFormatOf(const std::string& name);

// The library of a binary layout file: OASIS when its name or its first
// bytes (the OASIS magic, whatever the name) say so, GDSII otherwise.
gdsii::Library readLayoutLibrary(const std::string& path);

// Library and structure names and units of a layout written.
struct LayoutHeader {
    std::string library = "chromasect";
    std::string structure = "top";
    double userUnit = 0.001;
    double dbUnit = 1e-9;
};

// Names and units from a text dump's header lines, found as the text reader
// finds them (the first LIBNAME, STRNAME and UNITS lines before the first
// element); what is missing keeps its value in `h`.
void scanTextHeader(const std::string& path, LayoutHeader& h);

typedef std::function<void(int datatype, const std::vector<oaPoint>& ring)> RingSink;

// Writes the shapes that `producer` hands out in the file's format and
// returns how many were written per datatype (a GDSII polygon cut into
// parts counts once per part). Polygons of more than 8190 corners are cut
// into parts that fit the GDSII record; OASIS takes them whole.
std::map<int, size_t> writeLayout(const std::string& path, LayoutFormat format,
                                  const LayoutHeader& header, int layer,
                                  const std::function<void(const RingSink&)>& producer);

}  // namespace chromasect
