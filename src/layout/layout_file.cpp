#include "layout/layout_file.h"

#include <cstdio>
#include <fstream>

#include "base/fatal.h"
#include "base/files.h"
#include "geometry/polygon_merge.h"
#include "layout/gds_reader.h"
#include "layout/gdsii_stream.h"
#include "layout/oasis.h"

namespace chromasect {

namespace {

// Control characters would break the line structure of a text dump.
std::string printable(const std::string& s) {
    std::string out;
    for (char c : s) out.push_back(static_cast<unsigned char>(c) < 0x20 ? '_' : c);
    return out;
}

}  // namespace

LayoutFormat layoutFormatOf(const std::string& name) {
    if (gdsii::isGdsiiName(name)) return LayoutFormat::Gdsii;
    if (oasis::isOasisName(name)) return LayoutFormat::Oasis;
    if (name.find(".ascii") != std::string::npos) return LayoutFormat::Text;
    return LayoutFormat::None;
}

gdsii::Library readLayoutLibrary(const std::string& path) {
    if (oasis::isOasisName(path) || oasis::hasOasisMagic(path)) return oasis::readOasisFile(path);
    return gdsii::readLibraryFile(path);
}

void scanTextHeader(const std::string& path, LayoutHeader& h) {
    std::ifstream in(path);
    std::string line;
    bool lib = false, str = false, units = false;
    while (!(lib && str && units) && std::getline(in, line)) {
        auto valueOf = [&](const char* key) {
            std::string v = line.substr(line.find(key) + std::string(key).size());
            const size_t start = v.find_first_not_of(" :");
            v = start == std::string::npos ? std::string() : v.substr(start);
            while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
            return v;
        };
        if (!lib && line.find("LIBNAME") != std::string::npos) {
            h.library = valueOf("LIBNAME");
            lib = true;
        } else if (!str && line.find("STRNAME") != std::string::npos) {
            h.structure = valueOf("STRNAME");
            str = true;
        } else if (!units && line.find("UNITS") != std::string::npos) {
            float uu = 0, dbu = 0;
            if (std::sscanf(line.c_str(), "UNITS: %f, %f", &uu, &dbu) == 2 && dbu > 0 && uu > 0) {
                h.userUnit = uu;
                h.dbUnit = dbu;
            }
            units = true;
        } else if (line.find("BOUNDARY") != std::string::npos ||
                   line.find("BOX") != std::string::npos) {
            break;
        }
    }
}

std::map<int, size_t> writeLayout(const std::string& path, LayoutFormat format,
                                  const LayoutHeader& header, int layer,
                                  const std::function<void(const RingSink&)>& producer) {
    std::map<int, size_t> counts;
    // A write that fails half way leaves the old file, never a shorter
    // layout that would read back as valid.
    WholeFile file(path);
    if (!file.isOpen()) fatal(kExitUsage, "ERROR| cannot write file: " + path);
    std::ostream& out = file.stream();

    if (format == LayoutFormat::Gdsii) {
        gdsii::Library lib;
        lib.name = header.library;
        lib.userUnit = header.userUnit;
        lib.dbUnit = header.dbUnit;
        gdsii::RecordWriter w;
        gdsii::writeLibraryBegin(w, lib);
        gdsii::writeStructureBegin(w, header.structure);
        gdsii::Element e;
        e.kind = gdsii::ElementKind::Boundary;
        e.layer = layer;
        producer([&](int datatype, const std::vector<oaPoint>& ring) {
            MergedPolygon whole;
            whole.outline = ring;
            whole.bbox = boundsOf(ring);
            for (const std::vector<oaPoint>& part : ringsForStream(whole, gdsii::kMaxXYPoints)) {
                e.datatype = datatype;
                e.xy.clear();
                for (const oaPoint& p : part) e.xy.push_back(gdsii::Point{p.x(), p.y()});
                e.xy.push_back(e.xy.front());
                gdsii::writeElement(w, e);
                ++counts[datatype];
            }
            if (w.bytes().size() > (1u << 20)) w.drainTo(out);
        });
        gdsii::writeStructureEnd(w);
        gdsii::writeLibraryEnd(w);
        w.drainTo(out);
    } else if (format == LayoutFormat::Oasis) {
        oasis::LayerWriter w(out, header.structure, header.dbUnit, layer);
        producer([&](int datatype, const std::vector<oaPoint>& ring) {
            if (w.ring(datatype, ring)) ++counts[datatype];
        });
        if (!w.finish()) fatal(kExitUsage, "ERROR| cannot write file: " + path);
    } else {
        char units[80];
        std::snprintf(units, sizeof units, "UNITS: %g, %g\n", header.userUnit, header.dbUnit);
        out << "HEADER: 600\nBGNLIB: \nLIBNAME: " << printable(header.library) << "\n"
            << units << "BGNSTR: \nSTRNAME: " << printable(header.structure) << "\n";
        producer([&](int datatype, const std::vector<oaPoint>& ring) {
            out << "BOUNDARY\nLAYER: " << layer << "\nDATATYPE: " << datatype << "\nXY: ";
            for (const oaPoint& p : ring) out << p.x() << ": " << p.y() << ", ";
            out << ring[0].x() << ": " << ring[0].y() << "\nENDEL\n";
            ++counts[datatype];
        });
        out << "ENDSTR\nENDLIB\n";
    }
    if (!file.commit()) fatal(kExitUsage, "ERROR| cannot write file: " + path);
    return counts;
}

}  // namespace chromasect
