// One fuzzing case: a layout file (GDSII text dump, binary GDSII or OASIS) damaged
// in one way chosen from the seed and the case number, so that a run of
// cases is the same on every machine.
//
//   fuzz_mutate SEED CASE LAYER INPUT OUTPUT
//
// Writes OUTPUT and prints one line "MUTATION damaged|maybe": "damaged" when
// the file is surely no sound layout any more (a run that ends with status 0
// must then have said so in a "WARNING| " line), "maybe" when it may still
// be one. Reference bombs (binary GDSII and OASIS) are whole new libraries
// that place one shape of LAYER a huge number of times; OASIS also gets
// whole new files with deep or looping placements and lying lengths.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// splitmix64: the same numbers everywhere (std distributions are not).
struct Rng {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1; 0 for n 0.
    size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }
    template <class T, size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(N)];
    }
};

struct Mutation {
    std::string name;
    bool damaged = false;
};

// ---------------------------------------------------------------- text dumps

// One to four bytes changed, each to another value.
void flipBytes(std::string& bytes, Rng& rng) {
    const size_t flips = 1 + rng.below(4);
    for (size_t k = 0; k < flips && !bytes.empty(); ++k)
        bytes[rng.below(bytes.size())] ^= static_cast<char>(1 + rng.below(255));
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

std::vector<size_t> linesStarting(const std::vector<std::string>& lines, const std::string& key) {
    std::vector<size_t> at;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].compare(0, key.size(), key) == 0) at.push_back(i);
    return at;
}

// The points of an "XY: x: y, x: y, ..." line.
std::vector<std::pair<std::string, std::string> > xyPoints(const std::string& line) {
    std::vector<std::pair<std::string, std::string> > pts;
    std::string body = line.substr(line.find(':') + 1);
    std::istringstream in(body);
    std::string part;
    while (std::getline(in, part, ',')) {
        const size_t colon = part.find(':');
        if (colon == std::string::npos) continue;
        auto trim = [](std::string s) {
            const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
            return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
        };
        pts.emplace_back(trim(part.substr(0, colon)), trim(part.substr(colon + 1)));
    }
    return pts;
}

std::string xyLine(const std::vector<std::pair<std::string, std::string> >& pts) {
    std::string out = "XY: ";
    for (size_t i = 0; i < pts.size(); ++i)
        out += (i ? ", " : "") + pts[i].first + ": " + pts[i].second;
    return out;
}

// Spans of digits (with sign and dot) in a line after its keyword.
std::vector<std::pair<size_t, size_t> > numberSpans(const std::string& line) {
    std::vector<std::pair<size_t, size_t> > spans;
    size_t i = line.find(':');
    if (i == std::string::npos) return spans;
    while (i < line.size()) {
        if (isdigit(static_cast<unsigned char>(line[i])) || line[i] == '-') {
            size_t j = i + 1;
            while (j < line.size() && (isdigit(static_cast<unsigned char>(line[j])) ||
                                       line[j] == '.' || line[j] == 'e' || line[j] == '-'))
                ++j;
            spans.emplace_back(i, j - i);
            i = j;
        } else {
            ++i;
        }
    }
    return spans;
}

// Whether line i lies in an element the reader takes: a BOUNDARY or BOX
// (PATH, TEXT and references are passed over), on `layer` unless any layer
// will do (a LAYER line the reader must parse in any such element).
bool inReadElement(const std::vector<std::string>& lines, size_t i, int layer, bool anyLayer) {
    size_t start = i + 1;
    while (start-- > 0) {
        const std::string& l = lines[start];
        if (l.compare(0, 5, "ENDEL") == 0 && start != i) return false;
        if (l.compare(0, 8, "BOUNDARY") == 0 || l.compare(0, 3, "BOX") == 0) break;
        for (const char* other : {"PATH", "TEXT", "NODE", "SREF", "AREF"})
            if (l.compare(0, std::string(other).size(), other) == 0) return false;
        if (start == 0) return false;
    }
    if (anyLayer) return true;
    for (size_t j = start; j < lines.size() && lines[j].compare(0, 5, "ENDEL") != 0; ++j)
        if (lines[j].compare(0, 6, "LAYER:") == 0) return std::atoi(lines[j].c_str() + 6) == layer;
    return false;
}

Mutation mutateText(std::string& text, Rng& rng, int layer) {
    std::vector<std::string> lines = splitLines(text);
    const std::vector<size_t> xy = linesStarting(lines, "XY:");
    const size_t kinds = 10;
    const size_t kind = rng.below(kinds);
    Mutation m;
    switch (kind) {
        case 0:
            flipBytes(text, rng);
            m.name = "text-flip";
            return m;
        case 1: {  // truncation: damaged when the library's end is cut off
            const size_t end = text.rfind("ENDLIB");
            const size_t cut = rng.below(text.size());
            text.resize(cut);
            m.name = "text-truncate";
            m.damaged = end == std::string::npos || cut < end + 6;
            return m;
        }
        case 2:    // a huge number
        case 3: {  // a number that is none
            const char* huge[] = {
                "2147483647", "-2147483648", "2147483648", "-99999999999999999999",
                "16777217",   "1073741823",  "4294967296"};
            const char* none[] = {"nan", "inf", "-inf", "1e999", "NaN", "0x7fffffff", "1e-999"};
            std::vector<size_t> candidates = xy;
            if (kind == 3)
                for (const char* key : {"UNITS:", "LAYER:", "DATATYPE:"})
                    for (size_t i : linesStarting(lines, key)) candidates.push_back(i);
            if (candidates.empty()) break;
            const size_t at = candidates[rng.below(candidates.size())];
            std::string& line = lines[at];
            const auto spans = numberSpans(line);
            if (spans.empty()) break;
            const size_t spanIndex = rng.below(spans.size());
            const auto span = spans[spanIndex];
            const std::string value = kind == 2 ? rng.pick(huge) : rng.pick(none);
            line.replace(span.first, span.second, value);
            text = joinLines(lines);
            m.name = kind == 2 ? "text-huge" : "text-not-a-number";
            const long long v = std::strtoll(value.c_str(), nullptr, 10);
            // Of a units line only the database unit (its second number) is used.
            const bool units = line.compare(0, 6, "UNITS:") == 0 && spanIndex == 1;
            const bool read =
                units || inReadElement(lines, at, layer, line.compare(0, 6, "LAYER:") == 0);
            m.damaged =
                read && (kind == 3 || v > 2147483647LL || v < -2147483648LL || value.size() > 12);
            return m;
        }
        case 4:    // degenerate outline
        case 5:    // not rectilinear
        case 6: {  // not closed
            if (xy.empty()) break;
            const size_t at = xy[rng.below(xy.size())];
            std::string& line = lines[at];
            auto pts = xyPoints(line);
            if (pts.size() < 4) break;
            if (kind == 4) {
                const size_t shape = rng.below(3);
                if (shape == 0) {
                    pts.resize(2 + rng.below(2));  // two or three corners
                } else if (shape == 1) {
                    for (auto& p : pts) p = pts[0];  // one point
                } else {
                    for (auto& p : pts) p.first = pts[0].first;  // no width
                }
                m.name = "text-degenerate";
            } else if (kind == 5) {
                const size_t i = rng.below(pts.size() - 1);
                if (rng.below(2) == 0) {
                    pts[i].first = std::to_string(std::atoll(pts[i].first.c_str()) + 7);
                    if (i == 0) pts.back() = pts[0];
                    m.name = "text-diagonal";
                } else {
                    std::swap(pts[1], pts[2]);  // a bow tie
                    m.name = "text-self-crossing";
                }
            } else {
                pts.pop_back();
                m.name = "text-unclosed";
            }
            line = xyLine(pts);
            m.damaged = inReadElement(lines, at, layer, false);
            text = joinLines(lines);
            return m;
        }
        case 7: {  // units that are no units
            const std::vector<size_t> units = linesStarting(lines, "UNITS:");
            if (units.empty()) break;
            const char* bad[] = {"UNITS: 0.001, 0",
                                 "UNITS: 0.001, -1e-09",
                                 "UNITS: 0.001, inf",
                                 "UNITS: 0.001, nan",
                                 "UNITS: 0.001, x",
                                 "UNITS: 0, 0",
                                 "UNITS:"};
            lines[units[0]] = rng.pick(bad);
            text = joinLines(lines);
            m.name = "text-units";
            m.damaged = true;
            return m;
        }
        case 8: {  // a line lost or doubled
            if (lines.empty()) break;
            const size_t i = rng.below(lines.size());
            if (rng.below(2) == 0)
                lines.erase(lines.begin() + static_cast<long>(i));
            else
                lines.insert(lines.begin() + static_cast<long>(i), lines[i]);
            text = joinLines(lines);
            m.name = "text-line";
            return m;
        }
        case 9: {  // a layer that is no number
            const std::vector<size_t> layers = linesStarting(lines, "LAYER:");
            if (layers.empty()) break;
            const char* bad[] = {"LAYER: abc", "LAYER: ", "LAYER: 1x", "LAYER: 99999999999",
                                 "LAYER: -1"};
            const char* value = rng.pick(bad);
            const size_t at = layers[rng.below(layers.size())];
            lines[at] = value;
            m.damaged = inReadElement(lines, at, layer, true) &&
                        std::string(value) != "LAYER: -1" && std::string(value) != "LAYER: 1x";
            text = joinLines(lines);
            m.name = "text-layer";
            return m;
        }
    }
    // Nothing of that kind in the file: a byte flip instead.
    if (!text.empty()) text[rng.below(text.size())] ^= 0x20;
    m.name = "text-flip";
    return m;
}

// ----------------------------------------------------------------- binary GDSII

struct Record {
    size_t at;      // offset of the header
    size_t length;  // whole record, header included
    int type;       // record type byte
};

std::vector<Record> records(const std::string& b) {
    std::vector<Record> out;
    size_t at = 0;
    while (at + 4 <= b.size()) {
        const size_t length =
            (static_cast<unsigned char>(b[at]) << 8) | static_cast<unsigned char>(b[at + 1]);
        if (length < 4 || at + length > b.size()) break;
        out.push_back({at, length, static_cast<unsigned char>(b[at + 2])});
        at += length;
    }
    return out;
}

void put16(std::string& b, int v) {
    b += static_cast<char>((v >> 8) & 0xFF);
    b += static_cast<char>(v & 0xFF);
}

void put32(std::string& b, size_t at, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<char>((u >> (24 - 8 * k)) & 0xFF);
}

int32_t get32(const std::string& b, size_t at) {
    uint32_t u = 0;
    for (int k = 0; k < 4; ++k) u = (u << 8) | static_cast<unsigned char>(b[at + k]);
    return static_cast<int32_t>(u);
}

void record(std::string& b, int type, int dtype, const std::string& payload) {
    put16(b, static_cast<int>(payload.size() + 4));
    b += static_cast<char>(type);
    b += static_cast<char>(dtype);
    b += payload;
}

std::string int16s(std::initializer_list<int> vs) {
    std::string p;
    for (int v : vs) put16(p, v);
    return p;
}

std::string int32s(std::initializer_list<int32_t> vs) {
    std::string p;
    for (int32_t v : vs) {
        p.append(4, '\0');
        put32(p, p.size() - 4, v);
    }
    return p;
}

std::string ascii(const std::string& s) {
    return s.size() % 2 ? s + '\0' : s;
}

// Library head: HEADER, BGNLIB, LIBNAME, UNITS (1e-3 user unit, 1e-9 m).
std::string libraryHead() {
    std::string b;
    record(b, 0x00, 0x02, int16s({600}));
    record(b, 0x01, 0x02, std::string(24, '\0'));
    record(b, 0x02, 0x06, ascii("BOMB.DB"));
    const unsigned char units[16] = {0x3E, 0x41, 0x89, 0x37, 0x4B, 0xC6, 0xA7, 0xEF,
                                     0x39, 0x44, 0xB8, 0x2F, 0xA0, 0x9B, 0x5A, 0x54};
    record(b, 0x03, 0x05, std::string(reinterpret_cast<const char*>(units), 16));
    return b;
}

void structureBegin(std::string& b, const std::string& name) {
    record(b, 0x05, 0x02, std::string(24, '\0'));
    record(b, 0x06, 0x06, ascii(name));
}

void box(std::string& b, int layer) {
    record(b, 0x08, 0x00, "");
    record(b, 0x0D, 0x02, int16s({layer}));
    record(b, 0x0E, 0x02, int16s({0}));
    record(b, 0x10, 0x03, int32s({0, 0, 100, 0, 100, 100, 0, 100, 0, 0}));
    record(b, 0x11, 0x00, "");
}

// A 32767 x 32767 array of one box: 262 bytes, a billion shapes.
std::string arefBomb(int layer) {
    std::string b = libraryHead();
    structureBegin(b, "cell");
    box(b, layer);
    record(b, 0x07, 0x00, "");
    structureBegin(b, "top");
    record(b, 0x0B, 0x00, "");
    record(b, 0x12, 0x06, ascii("cell"));
    record(b, 0x13, 0x02, int16s({32767, 32767}));
    record(b, 0x10, 0x03, int32s({0, 0, 32767 * 200, 0, 0, 32767 * 200}));
    record(b, 0x11, 0x00, "");
    record(b, 0x07, 0x00, "");
    record(b, 0x04, 0x00, "");
    return b;
}

// Each level places the one below twice: 2^levels shapes.
std::string srefChain(int layer, int levels) {
    std::string b = libraryHead();
    structureBegin(b, "c0");
    box(b, layer);
    record(b, 0x07, 0x00, "");
    for (int k = 1; k <= levels; ++k) {
        structureBegin(b, "c" + std::to_string(k));
        for (int copy = 0; copy < 2; ++copy) {
            record(b, 0x0A, 0x00, "");
            record(b, 0x12, 0x06, ascii("c" + std::to_string(k - 1)));
            record(b, 0x10, 0x03, int32s({copy * 200 * (1 << (k % 16)), 0}));
            record(b, 0x11, 0x00, "");
        }
        record(b, 0x07, 0x00, "");
    }
    record(b, 0x04, 0x00, "");
    return b;
}

Mutation mutateGds(std::string& b, Rng& rng, int layer) {
    const std::vector<Record> recs = records(b);
    std::vector<Record> xy, units, any;
    for (const Record& r : recs) {
        if (r.type == 0x10 && r.length >= 4 + 8 * 4) xy.push_back(r);
        if (r.type == 0x03) units.push_back(r);
    }
    Mutation m;
    const size_t kind = rng.below(10);
    switch (kind) {
        case 0:
            flipBytes(b, rng);
            m.name = "gds-flip";
            return m;
        case 1:  // truncation
            b.resize(rng.below(b.size()));
            m.name = "gds-truncate";
            m.damaged = true;
            return m;
        case 2: {  // a coordinate at the edge of 32 bits
            if (xy.empty()) break;
            const Record& r = xy[rng.below(xy.size())];
            const size_t points = (r.length - 4) / 8;
            const int32_t edge[] = {2147483647, -2147483647 - 1, 1073741824, 16777217, -16777217};
            const size_t p = rng.below(points);
            put32(b, r.at + 4 + 8 * p + 4 * rng.below(2), rng.pick(edge));
            m.name = "gds-huge";
            return m;
        }
        case 3: {  // units that are no units: zero, negative, or the largest real
            if (units.empty()) break;
            const Record& r = units[0];
            const size_t which = rng.below(2);  // the user unit is never used
            const size_t at = r.at + 4 + 8 * which;
            const unsigned char bad[][8] = {{0, 0, 0, 0, 0, 0, 0, 0},
                                            {0xBE, 0x41, 0x89, 0x37, 0x4B, 0xC6, 0xA7, 0xEF},
                                            {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                            {0x00, 0x10, 0, 0, 0, 0, 0, 0}};
            const unsigned char* v = bad[rng.below(4)];
            for (int k = 0; k < 8; ++k) b[at + k] = static_cast<char>(v[k]);
            m.name = "gds-units";
            m.damaged = which == 1;
            return m;
        }
        case 4:    // degenerate outline
        case 5: {  // not rectilinear
            if (xy.empty()) break;
            const Record& r = xy[rng.below(xy.size())];
            const size_t points = (r.length - 4) / 8;
            if (points < 5) break;
            if (kind == 4) {
                // Every point on the first: no area.
                const int32_t x = get32(b, r.at + 4), y = get32(b, r.at + 8);
                for (size_t p = 1; p < points; ++p) {
                    put32(b, r.at + 4 + 8 * p, x);
                    if (rng.below(2) == 0) put32(b, r.at + 8 + 8 * p, y);
                }
                m.name = "gds-degenerate";
            } else {
                const size_t p = 1 + rng.below(points - 2);
                put32(b, r.at + 4 + 8 * p, get32(b, r.at + 4 + 8 * p) + 7);
                m.name = "gds-diagonal";
            }
            m.damaged = true;
            return m;
        }
        case 6: {  // a record length that lies
            if (recs.size() < 2) break;
            const Record& r = recs[1 + rng.below(recs.size() - 1)];
            const int lengths[] = {0, 2, 3, 5, 0xFFFF, 0x8000};
            const int v = rng.pick(lengths);
            b[r.at] = static_cast<char>((v >> 8) & 0xFF);
            b[r.at + 1] = static_cast<char>(v & 0xFF);
            m.name = "gds-length";
            m.damaged = true;
            return m;
        }
        case 7:
            b = arefBomb(layer);
            m.name = "gds-aref-bomb";
            m.damaged = true;
            return m;
        case 8:
            b = srefChain(layer, 28 + static_cast<int>(rng.below(13)));
            m.name = "gds-sref-chain";
            m.damaged = true;
            return m;
        case 9: {  // an element's end lost
            std::vector<Record> ends;
            for (const Record& r : recs)
                if (r.type == 0x11) ends.push_back(r);
            if (ends.empty()) break;
            const Record& r = ends[rng.below(ends.size())];
            b.erase(r.at, r.length);
            m.name = "gds-no-endel";
            m.damaged = true;
            return m;
        }
    }
    if (!b.empty()) b[rng.below(b.size())] ^= 0x01;
    m.name = "gds-flip";
    return m;
}

// ---------------------------------------------------------------------- OASIS

const char kOasisMagic[] = "%SEMI-OASIS\r\n";

void oasU(std::string& b, uint64_t v) {
    while (v >= 0x80) {
        b += static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    b += static_cast<char>(v);
}

void oasS(std::string& b, int64_t v) {
    oasU(b, (static_cast<uint64_t>(v < 0 ? -v : v) << 1) | (v < 0 ? 1 : 0));
}

void oasString(std::string& b, const std::string& s) {
    oasU(b, s.size());
    b += s;
}

// Magic and START (1 nm grid, table offsets in START).
std::string oasisHead() {
    std::string b(kOasisMagic);
    oasU(b, 1);
    oasString(b, "1.0");
    oasU(b, 0);
    oasU(b, 1000);
    oasU(b, 0);
    for (int k = 0; k < 12; ++k) oasU(b, 0);
    return b;
}

void oasisEnd(std::string& b) {
    oasU(b, 2);
    oasU(b, 0);  // no padding
    oasU(b, 0);  // no validation
}

void oasisCell(std::string& b, const std::string& name) {
    oasU(b, 14);
    oasString(b, name);
}

// A 100 x 100 RECTANGLE of LAYER at (x, 0).
void oasisRectangle(std::string& b, int layer, int64_t x) {
    oasU(b, 20);
    b += static_cast<char>(0x7B);
    oasU(b, static_cast<uint64_t>(layer));
    oasU(b, 0);
    oasU(b, 100);
    oasU(b, 100);
    oasS(b, x);
    oasS(b, 0);
}

// PLACEMENT of `cell` at (x, 0), with a 1 x `copies` repetition (type 2)
// when copies > 1.
void oasisPlacement(std::string& b, const std::string& cell, int64_t x, uint64_t copies) {
    oasU(b, 17);
    b += static_cast<char>(0x80 | 0x20 | 0x10 | (copies > 1 ? 0x08 : 0));
    oasString(b, cell);
    oasS(b, x);
    oasS(b, 0);
    if (copies > 1) {
        oasU(b, 2);
        oasU(b, copies - 2);
        oasU(b, 200);
    }
}

Mutation mutateOasis(std::string& b, Rng& rng, int layer) {
    Mutation m;
    const size_t body = std::string(kOasisMagic).size();
    switch (rng.below(10)) {
        case 0:
            flipBytes(b, rng);
            m.name = "oas-flip";
            return m;
        case 1:
            b.resize(rng.below(b.size()));
            m.name = "oas-truncate";
            m.damaged = true;
            return m;
        case 2: {  // an integer that never ends: continuation bytes to the end
            const size_t at = body + rng.below(b.size() > body ? b.size() - body : 1);
            if (at < b.size()) b.replace(at, std::string::npos, b.size() - at, '\x80');
            m.name = "oas-varint";
            m.damaged = true;
            return m;
        }
        case 3: {  // a huge integer where another was (a count, length or coordinate)
            if (b.size() <= body) break;
            const size_t at = body + rng.below(b.size() - body);
            const char huge[] = {'\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\x0F'};
            b.replace(at, std::min<size_t>(sizeof huge, b.size() - at), huge, sizeof huge);
            m.name = "oas-huge";
            return m;
        }
        case 4: {  // a CBLOCK that lies about its sizes
            std::string inner;
            oasisRectangle(inner, layer, 0);
            b = oasisHead();
            oasisCell(b, "top");
            oasU(b, 34);
            oasU(b, 0);
            const bool wrongInflated = rng.below(2) == 0;
            oasU(b, wrongInflated ? inner.size() * (1 + rng.below(1000)) + 1 : inner.size());
            oasU(b, wrongInflated ? inner.size() : inner.size() + 1 + rng.below(1u << 20));
            // Stored as a raw deflate block: final, uncompressed, LEN, ~LEN.
            b += '\x01';
            b += static_cast<char>(inner.size() & 0xFF);
            b += static_cast<char>(inner.size() >> 8);
            b += static_cast<char>(~inner.size() & 0xFF);
            b += static_cast<char>((~inner.size() >> 8) & 0xFF);
            b += inner;
            oasisEnd(b);
            m.name = "oas-cblock-length";
            m.damaged = true;
            return m;
        }
        case 5: {  // a name longer than the file
            b = oasisHead();
            oasU(b, 14);
            oasU(b, 1000000 + rng.below(1u << 30));
            b += "top";
            oasisRectangle(b, layer, 0);
            oasisEnd(b);
            m.name = "oas-string-length";
            m.damaged = true;
            return m;
        }
        case 6: {  // placements deeper than any hierarchy
            b = oasisHead();
            const int levels = 1001 + static_cast<int>(rng.below(2000));
            oasisCell(b, "c0");
            oasisRectangle(b, layer, 0);
            for (int k = 1; k <= levels; ++k) {
                oasisCell(b, "c" + std::to_string(k));
                oasisPlacement(b, "c" + std::to_string(k - 1), 0, 1);
            }
            oasisEnd(b);
            m.name = "oas-deep";
            m.damaged = true;
            return m;
        }
        case 7: {  // placements that loop
            b = oasisHead();
            const int cells = 1 + static_cast<int>(rng.below(5));
            for (int k = 0; k < cells; ++k) {
                oasisCell(b, "c" + std::to_string(k));
                oasisRectangle(b, layer, 0);
                oasisPlacement(b, "c" + std::to_string((k + 1) % cells), 300, 1);
            }
            oasisCell(b, "top");
            oasisPlacement(b, "c0", 0, 1);
            oasisEnd(b);
            m.name = "oas-loop";
            m.damaged = true;
            return m;
        }
        case 8: {  // each level places the one below 2^k times: a few bytes, 2^40+ shapes
            b = oasisHead();
            oasisCell(b, "c0");
            oasisRectangle(b, layer, 0);
            const int levels = 4 + static_cast<int>(rng.below(4));
            for (int k = 1; k <= levels; ++k) {
                oasisCell(b, "c" + std::to_string(k));
                oasisPlacement(b, "c" + std::to_string(k - 1), 0, uint64_t(1) << 12);
            }
            oasisEnd(b);
            m.name = "oas-placement-bomb";
            m.damaged = true;
            return m;
        }
        case 9: {  // one rectangle repeated on a huge lattice (repetition type 1)
            b = oasisHead();
            oasisCell(b, "top");
            oasU(b, 20);
            b += static_cast<char>(0x7F);
            oasU(b, static_cast<uint64_t>(layer));
            oasU(b, 0);
            oasU(b, 100);
            oasU(b, 100);
            oasS(b, 0);
            oasS(b, 0);
            oasU(b, 1);
            oasU(b, 40000 + rng.below(1u << 20));
            oasU(b, 40000 + rng.below(1u << 20));
            oasU(b, 200);
            oasU(b, 200);
            oasisEnd(b);
            m.name = "oas-repetition-bomb";
            m.damaged = true;
            return m;
        }
    }
    if (!b.empty()) b[rng.below(b.size())] ^= 0x01;
    m.name = "oas-flip";
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: fuzz_mutate SEED CASE LAYER INPUT OUTPUT\n";
        return 2;
    }
    const uint64_t seed = std::strtoull(argv[1], nullptr, 10);
    const uint64_t index = std::strtoull(argv[2], nullptr, 10);
    const int layer = std::atoi(argv[3]);
    std::ifstream in(argv[4], std::ios::binary);
    if (!in) {
        std::cerr << "fuzz_mutate: cannot read " << argv[4] << "\n";
        return 2;
    }
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Rng rng{seed * 0x100000001B3ull ^ (index + 1) * 0x9E3779B97F4A7C15ull};
    rng.next();
    const bool gds =
        data.size() >= 4 && data[0] == 0 && data[1] == 6 && data[2] == 0 && data[3] == 2;
    const bool oasis = data.compare(0, std::string(kOasisMagic).size(), kOasisMagic) == 0;
    const Mutation m = oasis ? mutateOasis(data, rng, layer)
                       : gds ? mutateGds(data, rng, layer)
                             : mutateText(data, rng, layer);
    std::ofstream out(argv[5], std::ios::binary | std::ios::trunc);
    out << data;
    out.close();
    if (!out) {
        std::cerr << "fuzz_mutate: cannot write " << argv[5] << "\n";
        return 2;
    }
    std::cout << m.name << (m.damaged ? " damaged" : " maybe") << "\n";
    return 0;
}
