// tile_layout: places N x M copies of a real block side by side, for the
// chip-scale benchmark and the tiled golden run.
//
//   tile_layout --in BLOCK --nx N --ny M [--gap G] [--layer L]
//               [--ascii OUT.ascii] [--gds OUT.gds]
//
// BLOCK is a text dump (its BOUNDARY elements of layer L taken as they are)
// or a GDSII library (layer L flattened and merged, as the decomposer reads
// it). Copies sit on a pitch of the block's extent plus G database units in
// x and in y (G = 0 abuts them). The text dump holds every copy flat; the
// GDSII file holds the block once, as structure BLOCK, and one AREF of it
// in structure TOP, so the reader does the flattening. Coordinates keep the
// block's database unit.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "base/files.h"
#include "geometry/polygon_merge.h"
#include "layout/gds_reader.h"
#include "layout/gdsii_stream.h"
#include "layout/layout_file.h"
#include "layout/text_dump.h"

namespace {

using chromasect::LayoutHeader;
typedef std::vector<oaPoint> Ring;

struct Options {
    std::string in, ascii, gds;
    long long nx = 1, ny = 1, gap = 0, layer = 1;
};

void usage() {
    std::fprintf(stderr,
                 "usage: tile_layout --in BLOCK --nx N --ny M [--gap G] [--layer L]\n"
                 "                   [--ascii OUT.ascii] [--gds OUT.gds]\n"
                 "  N x M copies (1 to 32767 each) of layer L (default 1) of BLOCK, a text\n"
                 "  dump or GDSII file, G >= 0 database units apart (default 0)\n");
}

bool parseNumber(const char* s, long long lo, long long hi, long long& out) {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s, &end, 10);
    if (errno != 0 || end == s || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        bool ok = true;
        if (name == "--in")
            o.in = value;
        else if (name == "--ascii")
            o.ascii = value;
        else if (name == "--gds")
            o.gds = value;
        else if (name == "--nx")
            ok = parseNumber(value, 1, 32767, o.nx);
        else if (name == "--ny")
            ok = parseNumber(value, 1, 32767, o.ny);
        else if (name == "--gap")
            ok = parseNumber(value, 0, INT_MAX, o.gap);
        else if (name == "--layer")
            ok = parseNumber(value, 0, 32767, o.layer);
        else
            ok = false;
        if (!ok) return false;
    }
    return argc % 2 == 1 && !o.in.empty() && (!o.ascii.empty() || !o.gds.empty());
}

// The block's rings (no closing repeat) in database units.
std::vector<Ring> readBlock(const Options& o, LayoutHeader& header) {
    std::vector<Ring> rings;
    if (chromasect::gdsii::isGdsiiName(o.in)) {
        const chromasect::gdsii::Library lib = chromasect::gdsii::readLibraryFile(o.in);
        header.library = lib.name;
        header.userUnit = lib.userUnit;
        header.dbUnit = lib.dbUnit;
        for (const chromasect::MergedPolygon& p :
             chromasect::gdsii::mergedLayer(lib, static_cast<int>(o.layer), 1.0f))
            for (Ring& r : chromasect::ringsForStream(p, chromasect::gdsii::kMaxXYPoints))
                rings.push_back(std::move(r));
        return rings;
    }
    namespace td = chromasect::textdump;
    chromasect::scanTextHeader(o.in, header);
    std::ifstream in;
    std::vector<char> buffer;
    td::open(o.in, in, buffer);
    std::string line;
    td::readHeader(in, line);
    oaPointArray points;
    int datatype = 0;
    for (;;) {
        const td::Step step =
            td::nextElement(in, static_cast<int>(o.layer), 1.0f, line, points, datatype);
        if (step == td::Step::End) break;
        if (step == td::Step::Skipped) continue;
        Ring r = points.points();
        if (r.size() > 1 && r.front() == r.back()) r.pop_back();
        if (r.size() >= 3) rings.push_back(std::move(r));
        td::endOfElement(in, line);
    }
    return rings;
}

void writeGds(const Options& o, const LayoutHeader& header, const std::vector<Ring>& rings,
              long long pitchX, long long pitchY) {
    namespace g = chromasect::gdsii;
    chromasect::WholeFile file(o.gds);
    if (!file.isOpen()) chromasect::fatal(1, "cannot write " + o.gds);
    g::Library lib;
    lib.name = header.library;
    lib.userUnit = header.userUnit;
    lib.dbUnit = header.dbUnit;
    g::RecordWriter w;
    g::writeLibraryBegin(w, lib);
    g::writeStructureBegin(w, "BLOCK");
    g::Element e;
    e.kind = g::ElementKind::Boundary;
    e.layer = static_cast<int>(o.layer);
    for (const Ring& r : rings) {
        e.xy.clear();
        for (const oaPoint& p : r) e.xy.push_back(g::Point{p.x(), p.y()});
        e.xy.push_back(e.xy.front());
        g::writeElement(w, e);
    }
    g::writeStructureEnd(w);
    g::writeStructureBegin(w, "TOP");
    g::Element a;
    a.kind = g::ElementKind::ARef;
    a.sname = "BLOCK";
    a.cols = static_cast<int>(o.nx);
    a.rows = static_cast<int>(o.ny);
    a.xy = {g::Point{0, 0}, g::Point{static_cast<int32_t>(pitchX * o.nx), 0},
            g::Point{0, static_cast<int32_t>(pitchY * o.ny)}};
    g::writeElement(w, a);
    g::writeStructureEnd(w);
    g::writeLibraryEnd(w);
    w.drainTo(file.stream());
    if (!file.commit()) chromasect::fatal(1, "cannot write " + o.gds);
}

void writeAscii(const Options& o, const LayoutHeader& header, const std::vector<Ring>& rings,
                long long pitchX, long long pitchY) {
    chromasect::writeLayout(o.ascii, chromasect::LayoutFormat::Text, header,
                            static_cast<int>(o.layer), [&](const chromasect::RingSink& sink) {
                                Ring moved;
                                for (long long j = 0; j < o.ny; ++j)
                                    for (long long i = 0; i < o.nx; ++i)
                                        for (const Ring& r : rings) {
                                            moved.clear();
                                            for (const oaPoint& p : r)
                                                moved.emplace_back(
                                                    static_cast<int>(p.x() + i * pitchX),
                                                    static_cast<int>(p.y() + j * pitchY));
                                            sink(0, moved);
                                        }
                            });
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        usage();
        return 2;
    }
    try {
        LayoutHeader header;
        const std::vector<Ring> rings = readBlock(o, header);
        if (rings.empty()) chromasect::fatal(1, "no shape on the layer of " + o.in);
        long long left = LLONG_MAX, bottom = LLONG_MAX, right = LLONG_MIN, top = LLONG_MIN;
        for (const Ring& r : rings)
            for (const oaPoint& p : r) {
                left = std::min<long long>(left, p.x());
                right = std::max<long long>(right, p.x());
                bottom = std::min<long long>(bottom, p.y());
                top = std::max<long long>(top, p.y());
            }
        const long long pitchX = right - left + o.gap;
        const long long pitchY = top - bottom + o.gap;
        // Every copy's corners, and the AREF's far corner, must stay 32-bit.
        if (std::max(std::llabs(left), std::llabs(right)) + pitchX * o.nx > INT_MAX ||
            std::max(std::llabs(bottom), std::llabs(top)) + pitchY * o.ny > INT_MAX)
            chromasect::fatal(1, "the tiled layout does not fit 32-bit coordinates");
        if (!o.gds.empty()) writeGds(o, header, rings, pitchX, pitchY);
        if (!o.ascii.empty()) writeAscii(o, header, rings, pitchX, pitchY);
        std::printf("tile_layout: %zu shapes x %lld x %lld = %lld, pitch %lld x %lld\n",
                    rings.size(), o.nx, o.ny, static_cast<long long>(rings.size()) * o.nx * o.ny,
                    pitchX, pitchY);
    } catch (const chromasect::FatalError& e) {
        std::fprintf(stderr, "tile_layout: %s\n", e.message().c_str());
        return 1;
    }
    return 0;
}
