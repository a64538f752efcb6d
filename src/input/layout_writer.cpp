#include "input/layout_writer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "driver/design.h"
#include "geometry/fatal.h"
#include "geometry/params.h"
#include "input/gds_reader.h"
#include "input/gdsii_stream.h"
#include "input/polygon_merge.h"

namespace chromasect {

LayoutFormat layoutFormatOf(const std::string& name) {
    if (gdsii::isGdsiiName(name)) return LayoutFormat::Gdsii;
    if (name.find(".ascii") != std::string::npos) return LayoutFormat::Text;
    return LayoutFormat::None;
}

namespace {

// Names of the text input, read from its header lines like the text reader
// finds them: the first LIBNAME, STRNAME and UNITS lines.
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
        } else if (line.find("BOUNDARY") != std::string::npos || line.find("BOX") != std::string::npos) {
            break;
        }
    }
}

// Control characters would break the line structure of a text dump.
std::string printable(const std::string& s) {
    std::string out;
    for (char c : s) out.push_back(static_cast<unsigned char>(c) < 0x20 ? '_' : c);
    return out;
}

std::vector<oaPoint> boxRing(const oaBox& b) {
    return {oaPoint(b.left(), b.bottom()), oaPoint(b.left(), b.top()), oaPoint(b.right(), b.top()),
            oaPoint(b.right(), b.bottom())};
}

bool validColor(int c) { return c >= 0 && c < NUM_COLORS; }
int datatypeOf(int color) { return validColor(color) ? color + 1 : kUncolouredDatatype; }

// True when the real boxes cover exactly the outline's area: then the
// outline is the feature. Otherwise the polygon had holes, or its boxes are
// not a tiling of it.
bool boxesTileOutline(const myShape* s) {
    long long boxArea = 0;
    for (const myBox* b : s->realBoxes) boxArea += b->box->getWidth() * b->box->getHeight();
    return 2 * boxArea == std::llabs(doubledSignedArea(s->points.points()));
}

// Boxes of a feature as rings without holes, never outside its outline.
std::vector<std::vector<oaPoint> > ringsWithin(const myShape* s, const std::vector<myBox*>& boxes) {
    RectilinearMerge m;
    for (const myBox* b : boxes) m.addBox(*b->box);
    if (boxesTileOutline(s)) return m.ringsWithoutHoles();
    RectilinearMerge outline;
    outline.addRing(s->points.points());
    return m.intersection(outline).ringsWithoutHoles();
}

// The feature's area as rings without holes: its outline, unless that would
// cover a hole.
std::vector<std::vector<oaPoint> > featureRings(const myShape* s) {
    if (s->points.getNumElements() < 3) return {};
    if (s->realBoxes.empty() || boxesTileOutline(s)) return {s->points.points()};
    return ringsWithin(s, s->realBoxes);
}

// Per axis the span between the two intervals: their gap when apart, their
// common part when they overlap. A span of zero length widens by one unit
// on each side so that the marker has an area.
void spanBetween(int l1, int h1, int l2, int h2, int& lo, int& hi) {
    const int a = std::max(l1, l2), b = std::min(h1, h2);
    lo = std::min(a, b);
    hi = std::max(a, b);
    if (lo == hi) {
        --lo;
        ++hi;
    }
}

oaBox markerBetween(const oaBox& a, const oaBox& b) {
    oaBox m;
    spanBetween(a.left(), a.right(), b.left(), b.right(), m.left(), m.right());
    spanBetween(a.bottom(), a.top(), b.bottom(), b.top(), m.bottom(), m.top());
    return m;
}

}  // namespace

LayoutHeader outputHeader(const Design& d) {
    LayoutHeader h;
    if (d.inputDbUnit > 0) {
        h.library = d.inputLibName;
        h.structure = d.inputStructName;
        h.userUnit = d.inputUserUnit;
        h.dbUnit = d.inputDbUnit;
    } else {
        scanTextHeader(d.inputFile, h);
    }
    if (gdsii::nanometreFactor(h.dbUnit) != 1.0f) {
        h.userUnit = h.userUnit * 1e-9 / h.dbUnit;
        h.dbUnit = 1e-9;
    }
    return h;
}

void forEachDecomposedShape(const Design& d, const RingSink& sink) {
    for (const myShape* s : d.shapes) {
        bool uniform = true, anyValid = false;
        for (const myBox* p : s->myBoxes) {
            anyValid = anyValid || validColor(p->color);
            uniform = uniform && p->color == s->myBoxes[0]->color;
        }
        if (s->myBoxes.empty() || uniform || !anyValid) {
            const int color = s->myBoxes.empty() ? s->color : s->myBoxes[0]->color;
            for (const std::vector<oaPoint>& ring : featureRings(s)) sink(datatypeOf(color), ring);
            continue;
        }
        // Cut by stitches: the pieces of each mask, merged where they touch.
        std::map<int, std::vector<myBox*> > byDatatype;
        for (myBox* p : s->myBoxes) byDatatype[datatypeOf(p->color)].push_back(p);
        for (const auto& entry : byDatatype)
            for (const std::vector<oaPoint>& ring : ringsWithin(s, entry.second)) sink(entry.first, ring);
    }
    for (const auto& c : d.conflicts)
        sink(kConflictDatatype, boxRing(markerBetween(*c.first->box, *c.second->box)));
    for (const auto& st : d.stitches)
        sink(kStitchDatatype, boxRing(markerBetween(*st.first->box, *st.second->box)));
}

void forEachFeature(const Design& d, const RingSink& sink) {
    for (const myShape* s : d.shapes)
        for (const std::vector<oaPoint>& ring : featureRings(s)) sink(0, ring);
}

std::map<int, size_t> writeLayout(const std::string& path, LayoutFormat format,
                                  const LayoutHeader& header, int layer,
                                  const std::function<void(const RingSink&)>& producer) {
    std::map<int, size_t> counts;
    std::ofstream out(path, std::ios::binary);
    if (!out) fatal(kExitUsage, "ERROR| cannot write file: " + path);

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
    out.flush();
    if (!out) fatal(kExitUsage, "ERROR| cannot write file: " + path);
    return counts;
}

void writeDecomposedLayout(const Design& d) {
    const std::map<int, size_t> counts =
        writeLayout(d.outFile, layoutFormatOf(d.outFile), outputHeader(d), d.layer,
                    [&](const RingSink& sink) { forEachDecomposedShape(d, sink); });
    std::ostringstream line;
    line << "STAT | Decomposed layout written to " << d.outFile << ", layer " << d.layer << ":";
    const int datatypes[] = {1, 2, 3, kUncolouredDatatype, kConflictDatatype, kStitchDatatype};
    const char* sep = " ";
    for (int dt : datatypes) {
        auto it = counts.find(dt);
        line << sep << (it == counts.end() ? 0 : it->second) << " on datatype " << dt;
        sep = ", ";
    }
    std::printf("%s\n", line.str().c_str());
}

void writeLayerDump(const Design& d) {
    const std::map<int, size_t> counts =
        writeLayout(d.dumpFile, LayoutFormat::Text, outputHeader(d), d.layer,
                    [&](const RingSink& sink) { forEachFeature(d, sink); });
    auto it = counts.find(0);
    std::printf("STAT | Layer %d written to %s: %zu shapes\n", d.layer, d.dumpFile.c_str(),
                it == counts.end() ? size_t(0) : it->second);
}

}  // namespace chromasect
