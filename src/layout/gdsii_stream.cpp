#include "layout/gdsii_stream.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>

#include "base/fatal.h"
#include "base/report.h"

namespace chromasect {
namespace gdsii {

namespace {

[[noreturn]] void corrupt(const std::string& what, size_t offset) {
    fatal(kExitUsage,
          "ERROR| corrupt GDSII stream: " + what + " at byte " + std::to_string(offset));
}

uint16_t be16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

const char* kNames[] = {
    "HEADER",    "BGNLIB",     "LIBNAME",      "UNITS",    "ENDLIB",   "BGNSTR",   "STRNAME",
    "ENDSTR",    "BOUNDARY",   "PATH",         "SREF",     "AREF",     "TEXT",     "LAYER",
    "DATATYPE",  "WIDTH",      "XY",           "ENDEL",    "SNAME",    "COLROW",   "TEXTNODE",
    "NODE",      "TEXTTYPE",   "PRESENTATION", "SPACING",  "STRING",   "STRANS",   "MAG",
    "ANGLE",     "UINTEGER",   "USTRING",      "REFLIBS",  "FONTS",    "PATHTYPE", "GENERATIONS",
    "ATTRTABLE", "STYPTABLE",  "STRTYPE",      "ELFLAGS",  "ELKEY",    "LINKTYPE", "LINKKEYS",
    "NODETYPE",  "PROPATTR",   "PROPVALUE",    "BOX",      "BOXTYPE",  "PLEX",     "BGNEXTN",
    "ENDEXTN",   "TAPENUM",    "TAPECODE",     "STRCLASS", "RESERVED", "FORMAT",   "MASK",
    "ENDMASKS",  "LIBDIRSIZE", "SRFNAME",      "LIBSECUR"};

}  // namespace

std::string recordName(uint8_t type) {
    if (type < sizeof kNames / sizeof kNames[0]) return kNames[type];
    char buf[32];
    std::snprintf(buf, sizeof buf, "record 0x%02x", type);
    return buf;
}

double decodeReal8(const uint8_t* b) {
    uint64_t mantissa = 0;
    for (int i = 1; i < 8; ++i) mantissa = (mantissa << 8) | b[i];
    int exponent = (b[0] & 0x7f) - 64;
    double v = std::ldexp(static_cast<double>(mantissa), 4 * exponent - 56);
    return (b[0] & 0x80) ? -v : v;
}

void encodeReal8(double value, uint8_t* b) {
    for (int i = 0; i < 8; ++i) b[i] = 0;
    if (value == 0.0 || !std::isfinite(value)) return;
    const bool negative = value < 0;
    int k = 0;
    double m = std::frexp(std::fabs(value), &k);  // |value| = m * 2^k, m in [0.5, 1)
    // |value| = f * 16^e with f in [1/16, 1): e = ceil(k / 4).
    int e = k >= 0 ? (k + 3) / 4 : -((-k) / 4);
    // f * 2^56 is an integer: m carries 53 bits and k - 4e >= -3.
    uint64_t mantissa = static_cast<uint64_t>(std::ldexp(m, 56 + k - 4 * e));
    if (e + 64 < 0) return;  // too small: zero
    if (e + 64 > 127) {      // too large: the largest value
        e = 63;
        mantissa = (uint64_t(1) << 56) - 1;
    }
    b[0] = static_cast<uint8_t>((negative ? 0x80 : 0) | (e + 64));
    for (int i = 7; i >= 1; --i) {
        b[i] = static_cast<uint8_t>(mantissa);
        mantissa >>= 8;
    }
}

// ---- records ----

namespace {
void expectPayload(const Record& r, uint8_t dataType, size_t unit, size_t minCount) {
    if (r.dataType != dataType)
        corrupt(recordName(r.type) + " record has data type " + std::to_string(r.dataType) +
                    ", expected " + std::to_string(dataType),
                r.offset);
    if (r.data.size() % unit != 0 || r.data.size() / unit < minCount)
        corrupt(recordName(r.type) + " record has a payload of wrong length " +
                    std::to_string(r.data.size()),
                r.offset);
}
}  // namespace

std::vector<int16_t> Record::int16s(size_t minCount) const {
    expectPayload(*this, INT2, 2, minCount);
    std::vector<int16_t> v(data.size() / 2);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int16_t>(be16(&data[2 * i]));
    return v;
}

std::vector<int32_t> Record::int32s(size_t minCount) const {
    expectPayload(*this, INT4, 4, minCount);
    std::vector<int32_t> v(data.size() / 4);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int32_t>(be32(&data[4 * i]));
    return v;
}

std::vector<double> Record::real8s(size_t minCount) const {
    expectPayload(*this, REAL8, 8, minCount);
    std::vector<double> v(data.size() / 8);
    for (size_t i = 0; i < v.size(); ++i) v[i] = decodeReal8(&data[8 * i]);
    return v;
}

std::string Record::text() const {
    if (dataType != ASCII)
        corrupt(recordName(type) + " record has data type " + std::to_string(dataType) +
                    ", expected " + std::to_string(ASCII),
                offset);
    std::string s;
    for (uint8_t c : data) {
        if (c == 0) break;
        s.push_back(static_cast<char>(c));
    }
    return s;
}

bool RecordReader::next(Record& r) {
    if (pos_ >= size_) return false;
    if (size_ - pos_ < 4) corrupt("truncated record header", pos_);
    const size_t length = be16(data_ + pos_);
    if (length == 0) corrupt("zero-length record", pos_);
    if (length < 4 || length % 2 != 0)
        corrupt("record of invalid length " + std::to_string(length), pos_);
    if (length > size_ - pos_)
        corrupt(recordName(data_[pos_ + 2]) + " record of length " + std::to_string(length) +
                    " runs past the end of the file (truncated)",
                pos_);
    r.type = data_[pos_ + 2];
    r.dataType = data_[pos_ + 3];
    r.data.assign(data_ + pos_ + 4, data_ + pos_ + length);
    r.offset = pos_;
    // A record that carries nothing but has a payload (a length that lies)
    // would swallow the records after it, and the elements in them.
    const uint8_t t = r.type;
    if (!r.data.empty() && (t == BOUNDARY || t == PATH || t == SREF || t == AREF || t == TEXT ||
                            t == NODE || t == BOX || t == ENDEL || t == ENDSTR))
        corrupt(recordName(t) + " record has a payload of wrong length " +
                    std::to_string(r.data.size()),
                pos_);
    pos_ += length;
    return true;
}

void RecordWriter::header(uint8_t type, uint8_t dataType, size_t payload) {
    if (payload + 4 > kMaxRecordLength)
        fatal(kExitInternal, "Error| GDSII record " + recordName(type) + " too long to write");
    put16(out_, static_cast<uint16_t>(payload + 4));
    out_.push_back(type);
    out_.push_back(dataType);
}

void RecordWriter::empty(uint8_t type) {
    header(type, NO_DATA, 0);
}

void RecordWriter::int16s(uint8_t type, const std::vector<int16_t>& values) {
    header(type, INT2, 2 * values.size());
    for (int16_t v : values) put16(out_, static_cast<uint16_t>(v));
}

void RecordWriter::int32s(uint8_t type, const std::vector<int32_t>& values) {
    header(type, INT4, 4 * values.size());
    for (int32_t v : values) put32(out_, static_cast<uint32_t>(v));
}

void RecordWriter::real8s(uint8_t type, const std::vector<double>& values) {
    header(type, REAL8, 8 * values.size());
    for (double v : values) {
        uint8_t b[8];
        encodeReal8(v, b);
        out_.insert(out_.end(), b, b + 8);
    }
}

void RecordWriter::text(uint8_t type, const std::string& value) {
    const size_t padded = value.size() + (value.size() % 2);
    header(type, ASCII, padded);
    out_.insert(out_.end(), value.begin(), value.end());
    if (padded != value.size()) out_.push_back(0);
}

void RecordWriter::bits(uint8_t type, uint16_t value) {
    header(type, BIT_ARRAY, 2);
    put16(out_, value);
}

void RecordWriter::drainTo(std::ostream& os) {
    os.write(reinterpret_cast<const char*>(out_.data()), static_cast<std::streamsize>(out_.size()));
    out_.clear();
}

// ---- library model ----

bool Element::operator==(const Element& o) const {
    return kind == o.kind && layer == o.layer && datatype == o.datatype && pathType == o.pathType &&
           width == o.width && bgnExtn == o.bgnExtn && endExtn == o.endExtn && xy == o.xy &&
           sname == o.sname && strans == o.strans && mag == o.mag && angle == o.angle &&
           cols == o.cols && rows == o.rows && text == o.text;
}

namespace {

bool startsElement(uint8_t type, ElementKind& kind) {
    switch (type) {
        case BOUNDARY:
            kind = ElementKind::Boundary;
            return true;
        case PATH:
            kind = ElementKind::Path;
            return true;
        case BOX:
            kind = ElementKind::Box;
            return true;
        case SREF:
            kind = ElementKind::SRef;
            return true;
        case AREF:
            kind = ElementKind::ARef;
            return true;
        case TEXT:
            kind = ElementKind::Text;
            return true;
        case NODE:
            kind = ElementKind::Node;
            return true;
        default:
            return false;
    }
}

// Records that belong to the library or structure level only; meeting one
// inside an element means the element was cut short.
bool outerRecord(uint8_t type) {
    ElementKind k;
    return type == HEADER || type == BGNLIB || type == LIBNAME || type == UNITS || type == ENDLIB ||
           type == BGNSTR || type == STRNAME || type == ENDSTR || startsElement(type, k);
}

// Records of one value: a longer one (a length that lies) would swallow the
// records after it, and the elements in them would be lost without a word.
template <class V>
const V& only(const Record& r, const V& values) {
    if (values.size() != 1)
        corrupt(recordName(r.type) + " record has a payload of wrong length " +
                    std::to_string(r.data.size()),
                r.offset);
    return values;
}
int16_t firstInt16(const Record& r) {
    return only(r, r.int16s(1))[0];
}
int32_t firstInt32(const Record& r) {
    return only(r, r.int32s(1))[0];
}

// Reads the records of one element after its first record, up to ENDEL.
Element parseElement(RecordReader& reader, ElementKind kind, size_t offset) {
    Element e;
    e.kind = kind;
    e.offset = offset;
    bool haveXY = false, haveName = false, haveColRow = false;
    Record r;
    for (;;) {
        if (!reader.next(r)) corrupt("element not closed by ENDEL (truncated)", offset);
        switch (r.type) {
            case ENDEL: {
                const bool isRef = kind == ElementKind::SRef || kind == ElementKind::ARef;
                if (!haveXY) corrupt("element without XY", offset);
                if (isRef && !haveName) corrupt("reference without SNAME", offset);
                if (kind == ElementKind::ARef && !haveColRow)
                    corrupt("array reference without COLROW", offset);
                const size_t need = kind == ElementKind::ARef ? 3 : 1;
                if (e.xy.size() < need)
                    corrupt("XY of " + std::to_string(e.xy.size()) + " points in a " +
                                (kind == ElementKind::ARef ? "AREF" : "element"),
                            offset);
                return e;
            }
            case LAYER:
                e.layer = firstInt16(r);
                break;
            case DATATYPE:
            case BOXTYPE:
            case TEXTTYPE:
            case NODETYPE:
                e.datatype = firstInt16(r);
                break;
            case PATHTYPE:
                e.pathType = firstInt16(r);
                break;
            case WIDTH:
                e.width = firstInt32(r);
                break;
            case BGNEXTN:
                e.bgnExtn = firstInt32(r);
                break;
            case ENDEXTN:
                e.endExtn = firstInt32(r);
                break;
            case XY: {
                std::vector<int32_t> v = r.int32s(2);
                if (v.size() % 2 != 0)
                    corrupt("XY record with an odd number of coordinates", r.offset);
                e.xy.resize(v.size() / 2);
                for (size_t i = 0; i < e.xy.size(); ++i) e.xy[i] = Point{v[2 * i], v[2 * i + 1]};
                haveXY = true;
                break;
            }
            case SNAME:
                e.sname = r.text();
                haveName = true;
                break;
            case STRANS:
                if (r.data.size() != 2) corrupt("STRANS record of wrong length", r.offset);
                e.strans = be16(r.data.data());
                break;
            case MAG:
                e.mag = only(r, r.real8s(1))[0];
                break;
            case ANGLE:
                e.angle = only(r, r.real8s(1))[0];
                break;
            case COLROW: {
                std::vector<int16_t> v = r.int16s(2);
                if (v.size() != 2)
                    corrupt("COLROW record has a payload of wrong length " +
                                std::to_string(r.data.size()),
                            r.offset);
                e.cols = v[0];
                e.rows = v[1];
                haveColRow = true;
                break;
            }
            case STRING:
                e.text = r.text();
                break;
            default:
                if (outerRecord(r.type))
                    corrupt(recordName(r.type) + " inside an element (ENDEL missing)", r.offset);
                break;  // properties, flags, presentation: not needed
        }
    }
}

}  // namespace

Library parseLibrary(const uint8_t* data, size_t size) {
    Library lib;
    RecordReader reader(data, size);
    Record r;
    if (!reader.next(r)) corrupt("empty file", 0);
    if (r.type != HEADER) corrupt("stream does not begin with a HEADER record", 0);
    lib.version = firstInt16(r);

    bool haveUnits = false;
    Structure* current = nullptr;
    for (;;) {
        if (!reader.next(r)) corrupt("stream ends without ENDLIB (truncated)", reader.offset());
        ElementKind kind;
        if (current) {
            if (startsElement(r.type, kind)) {
                current->elements.push_back(parseElement(reader, kind, r.offset));
            } else if (r.type == STRNAME) {
                current->name = r.text();
            } else if (r.type == ENDSTR) {
                current = nullptr;
            } else if (outerRecord(r.type) || r.type == ENDEL) {
                corrupt(recordName(r.type) + " inside a structure (ENDSTR missing)", r.offset);
            }
            continue;
        }
        if (r.type == ENDLIB) break;
        switch (r.type) {
            case LIBNAME:
                lib.name = r.text();
                break;
            case UNITS: {
                std::vector<double> u = r.real8s(2);
                lib.userUnit = u[0];
                lib.dbUnit = u[1];
                haveUnits = true;
                break;
            }
            case BGNSTR:
                if (!haveUnits) corrupt("structure before the UNITS record", r.offset);
                lib.structures.emplace_back();
                current = &lib.structures.back();
                break;
            default:
                if ((outerRecord(r.type) && r.type != BGNLIB) || r.type == ENDEL)
                    corrupt(recordName(r.type) + " outside a structure", r.offset);
                break;  // library options (reference libraries, fonts, ...)
        }
    }
    if (!haveUnits) corrupt("no UNITS record", reader.offset());
    if (!(lib.dbUnit > 0) || !std::isfinite(lib.dbUnit))
        corrupt("database unit is not positive", reader.offset());
    // Coordinates are scaled through a float: a unit it cannot hold would put
    // every vertex on the origin (or nowhere), and every shape would vanish.
    const float unit = static_cast<float>(lib.dbUnit);
    const float factor = static_cast<float>(static_cast<double>(unit) / 1e-9);
    if (!(factor > 0) || !std::isfinite(factor))
        corrupt("database unit " + formatText("%g", lib.dbUnit) + " m is out of scale",
                reader.offset());
    return lib;
}

Library readLibraryFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fatal(kExitUsage, "ERROR| cannot open file: " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    return parseLibrary(bytes.data(), bytes.size());
}

// ---- writing ----

namespace {
// 2000-01-01 00:00:00, twice (modification and access).
const std::vector<int16_t> kStamp = {2000, 1, 1, 0, 0, 0, 2000, 1, 1, 0, 0, 0};

void writeTransform(RecordWriter& w, const Element& e) {
    if (e.strans == 0 && e.mag == 1.0 && e.angle == 0.0) return;
    w.bits(STRANS, e.strans);
    if (e.mag != 1.0) w.real8s(MAG, {e.mag});
    if (e.angle != 0.0) w.real8s(ANGLE, {e.angle});
}
}  // namespace

void writeLibraryBegin(RecordWriter& w, const Library& lib) {
    w.int16s(HEADER, {static_cast<int16_t>(lib.version)});
    w.int16s(BGNLIB, kStamp);
    w.text(LIBNAME, lib.name);
    w.real8s(UNITS, {lib.userUnit, lib.dbUnit});
}

void writeStructureBegin(RecordWriter& w, const std::string& name) {
    w.int16s(BGNSTR, kStamp);
    w.text(STRNAME, name);
}

void writeElement(RecordWriter& w, const Element& e) {
    if (e.xy.size() > kMaxXYPoints)
        fatal(kExitInternal, "Error| GDSII element of " + std::to_string(e.xy.size()) +
                                 " points cannot be written");
    switch (e.kind) {
        case ElementKind::Boundary:
            w.empty(BOUNDARY);
            break;
        case ElementKind::Path:
            w.empty(PATH);
            break;
        case ElementKind::Box:
            w.empty(BOX);
            break;
        case ElementKind::SRef:
            w.empty(SREF);
            break;
        case ElementKind::ARef:
            w.empty(AREF);
            break;
        case ElementKind::Text:
            w.empty(TEXT);
            break;
        case ElementKind::Node:
            w.empty(NODE);
            break;
    }
    switch (e.kind) {
        case ElementKind::SRef:
        case ElementKind::ARef:
            w.text(SNAME, e.sname);
            writeTransform(w, e);
            if (e.kind == ElementKind::ARef)
                w.int16s(COLROW, {static_cast<int16_t>(e.cols), static_cast<int16_t>(e.rows)});
            break;
        case ElementKind::Path:
            w.int16s(LAYER, {static_cast<int16_t>(e.layer)});
            w.int16s(DATATYPE, {static_cast<int16_t>(e.datatype)});
            w.int16s(PATHTYPE, {static_cast<int16_t>(e.pathType)});
            w.int32s(WIDTH, {e.width});
            if (e.pathType == 4) {
                w.int32s(BGNEXTN, {e.bgnExtn});
                w.int32s(ENDEXTN, {e.endExtn});
            }
            break;
        case ElementKind::Text:
            w.int16s(LAYER, {static_cast<int16_t>(e.layer)});
            w.int16s(TEXTTYPE, {static_cast<int16_t>(e.datatype)});
            writeTransform(w, e);
            break;
        default: {
            w.int16s(LAYER, {static_cast<int16_t>(e.layer)});
            const uint8_t type = e.kind == ElementKind::Box    ? BOXTYPE
                                 : e.kind == ElementKind::Node ? NODETYPE
                                                               : DATATYPE;
            w.int16s(type, {static_cast<int16_t>(e.datatype)});
            break;
        }
    }
    std::vector<int32_t> xy;
    xy.reserve(2 * e.xy.size());
    for (const Point& p : e.xy) {
        xy.push_back(p.x);
        xy.push_back(p.y);
    }
    w.int32s(XY, xy);
    if (e.kind == ElementKind::Text) w.text(STRING, e.text);
    w.empty(ENDEL);
}

void writeStructureEnd(RecordWriter& w) {
    w.empty(ENDSTR);
}
void writeLibraryEnd(RecordWriter& w) {
    w.empty(ENDLIB);
}

std::vector<uint8_t> writeLibrary(const Library& lib) {
    RecordWriter w;
    writeLibraryBegin(w, lib);
    for (const Structure& s : lib.structures) {
        writeStructureBegin(w, s.name);
        for (const Element& e : s.elements) writeElement(w, e);
        writeStructureEnd(w);
    }
    writeLibraryEnd(w);
    return w.bytes();
}

void writeLibraryFile(const std::string& path, const Library& lib) {
    std::ofstream out(path, std::ios::binary);
    if (!out) fatal(kExitUsage, "ERROR| cannot write file: " + path);
    std::vector<uint8_t> bytes = writeLibrary(lib);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) fatal(kExitUsage, "ERROR| cannot write file: " + path);
}

}  // namespace gdsii
}  // namespace chromasect
