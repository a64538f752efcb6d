#include "output/svg_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/fatal.h"
#include "base/files.h"
#include "base/params.h"
#include "design/design.h"
#include "geometry/polygon_merge.h"

namespace chromasect {

namespace {

// How one class of shapes is drawn. Widths are in pixels of the finished
// picture, so that markers stay visible however large the layout is.
struct ShapeClass {
    int datatype;
    const char* id;
    const char* label;
    const char* fill;
    double fillOpacity;
    const char* stroke;  // nullptr: none
    double strokePx;
    double dashPx;  // dash and gap length; 0: solid
};

// Okabe-Ito blue, orange, bluish green and yellow: apart for colour-blind
// eyes too. Masks beyond the run's count are left out.
const ShapeClass kClasses[] = {
    {1, "mask0", "mask 0", "#0072B2", 1.0, nullptr, 0.0, 0.0},
    {2, "mask1", "mask 1", "#E69F00", 1.0, nullptr, 0.0, 0.0},
    {3, "mask2", "mask 2", "#009E73", 1.0, nullptr, 0.0, 0.0},
    {4, "mask3", "mask 3", "#F0E442", 1.0, nullptr, 0.0, 0.0},
    {kUncolouredDatatype, "uncoloured", "no mask", "#C8C8C8", 1.0, "#000000", 1.5, 4.0},
    {kConflictDatatype, "conflicts", "conflict", "#FF0000", 0.35, "#D00000", 3.0, 0.0},
    {kStitchDatatype, "stitches", "stitch", "#CC00CC", 1.0, "#CC00CC", 6.0, 0.0},
};
const int kClassCount = sizeof kClasses / sizeof kClasses[0];

// Legend band below the drawing, in pixels.
const int kLegendHeight = 36;
const int kLegendEntryWidth = 180;

// The classes a picture shows: the run's masks (datatypes 1 to 4 hold
// masks) and the markers.
std::vector<int> shownClasses() {
    std::vector<int> shown;
    for (int k = 0; k < kClassCount; ++k)
        if (kClasses[k].datatype > 4 || kClasses[k].datatype <= NUM_COLORS) shown.push_back(k);
    return shown;
}

int classOf(int datatype) {
    for (int k : shownClasses())
        if (kClasses[k].datatype == datatype) return k;
    return -1;
}

// A decimal without trailing zeros.
std::string num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s(buf);
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

// One subpath; rectilinear edges as H and V. Rings turn one way so that
// the nonzero rule fills overlapping shapes of a class instead of cutting
// holes where rings of opposite turn overlap.
void appendSubpath(std::string& d, const std::vector<oaPoint>& ring) {
    const size_t n = ring.size();
    const bool reverse = doubledSignedArea(ring) < 0;
    auto at = [&](size_t k) -> const oaPoint& { return ring[reverse ? (n - k) % n : k]; };
    char buf[64];
    std::snprintf(buf, sizeof buf, "M%d %d", at(0).x(), at(0).y());
    d += buf;
    for (size_t k = 1; k < n; ++k) {
        const oaPoint& p = at(k - 1);
        const oaPoint& q = at(k);
        if (q.y() == p.y())
            std::snprintf(buf, sizeof buf, "H%d", q.x());
        else if (q.x() == p.x())
            std::snprintf(buf, sizeof buf, "V%d", q.y());
        else
            std::snprintf(buf, sizeof buf, "L%d %d", q.x(), q.y());
        d += buf;
    }
    d += 'Z';
}

bool meets(const oaBox& a, const oaBox& b) {
    return a.left() <= b.right() && b.left() <= a.right() && a.bottom() <= b.top() &&
           b.bottom() <= a.top();
}

}  // namespace

std::map<int, size_t> writeSvgPicture(const std::string& path, const oaBox* window,
                                      const std::string& title,
                                      const std::function<void(const RingSink&)>& producer) {
    std::vector<std::string> paths(kClassCount);
    std::map<int, size_t> counts;
    long long left = 0, bottom = 0, right = 0, top = 0;
    bool any = false;
    producer([&](int datatype, const std::vector<oaPoint>& ring) {
        const int k = classOf(datatype);
        if (k < 0 || ring.size() < 3) return;
        const oaBox bb = boundsOf(ring);
        if (window && !meets(bb, *window)) return;
        appendSubpath(paths[k], ring);
        ++counts[datatype];
        left = any ? std::min<long long>(left, bb.left()) : bb.left();
        bottom = any ? std::min<long long>(bottom, bb.bottom()) : bb.bottom();
        right = any ? std::max<long long>(right, bb.right()) : bb.right();
        top = any ? std::max<long long>(top, bb.top()) : bb.top();
        any = true;
    });
    if (window) {
        left = window->left();
        bottom = window->bottom();
        right = window->right();
        top = window->top();
    } else {
        const long long margin = std::max(1LL, std::max(right - left, top - bottom) / 100);
        left -= margin, bottom -= margin, right += margin, top += margin;
    }

    // Pixels per layout unit: the drawing and the legend band below it fit
    // 2000 pixels on the long side, and reach it on one side.
    const double w = static_cast<double>(right - left), h = static_cast<double>(top - bottom);
    const double scale = std::min(kSvgLongSide / w, (kSvgLongSide - kLegendHeight) / h);
    const double unit = 1.0 / scale;  // layout units per pixel
    const std::vector<int> shown = shownClasses();
    const int legendWidth = static_cast<int>(shown.size()) * kLegendEntryWidth + 10;
    const double widthPx = std::max(w * scale, static_cast<double>(legendWidth));
    const double heightPx = h * scale + kLegendHeight;

    WholeFile file(path);
    if (!file.isOpen()) fatal(kExitUsage, "ERROR| cannot write file: " + path);
    std::ostream& out = file.stream();
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\""
        << std::lround(widthPx) << "\" height=\"" << std::lround(heightPx) << "\" viewBox=\""
        << left << " " << -top << " " << num(widthPx * unit) << " " << num(heightPx * unit)
        << "\">\n"
        << "<title>" << title << "</title>\n"
        << "<rect x=\"" << left << "\" y=\"" << -top << "\" width=\"" << num(widthPx * unit)
        << "\" height=\"" << num(heightPx * unit) << "\" fill=\"#FFFFFF\"/>\n";
    if (window) {
        out << "<clipPath id=\"window\"><rect x=\"" << left << "\" y=\"" << bottom << "\" width=\""
            << right - left << "\" height=\"" << top - bottom << "\"/></clipPath>\n";
    }
    // Layout coordinates as they are; the flip turns y upwards.
    out << "<g transform=\"scale(1 -1)\">\n<g" << (window ? " clip-path=\"url(#window)\"" : "")
        << ">\n";
    for (int k = 0; k < kClassCount; ++k) {
        if (paths[k].empty()) continue;
        const ShapeClass& c = kClasses[k];
        out << "<path id=\"" << c.id << "\" fill=\"" << c.fill << "\"";
        if (c.fillOpacity < 1.0) out << " fill-opacity=\"" << num(c.fillOpacity) << "\"";
        if (c.stroke) {
            out << " stroke=\"" << c.stroke << "\" stroke-width=\"" << num(c.strokePx * unit)
                << "\"";
            if (c.dashPx > 0) out << " stroke-dasharray=\"" << num(c.dashPx * unit) << "\"";
        }
        out << " d=\"" << paths[k] << "\"/>\n";
    }
    out << "</g>\n</g>\n";

    // The legend, drawn in pixels below the drawing.
    out << "<g id=\"legend\" transform=\"translate(" << left << " " << -bottom << ") scale("
        << num(unit) << ")\" font-family=\"sans-serif\" font-size=\"16\">\n";
    for (size_t j = 0; j < shown.size(); ++j) {
        const ShapeClass& c = kClasses[shown[j]];
        const int x = 10 + static_cast<int>(j) * kLegendEntryWidth;
        out << "<rect x=\"" << x << "\" y=\"8\" width=\"20\" height=\"20\" fill=\"" << c.fill
            << "\"";
        if (c.fillOpacity < 1.0) out << " fill-opacity=\"" << num(c.fillOpacity) << "\"";
        if (c.stroke)
            out << " stroke=\"" << c.stroke << "\" stroke-width=\""
                << num(std::min(c.strokePx, 2.0)) << "\"";
        if (c.dashPx > 0) out << " stroke-dasharray=\"" << num(c.dashPx) << "\"";
        auto it = counts.find(c.datatype);
        out << "/>\n<text x=\"" << x + 26 << "\" y=\"24\">" << c.label << " ("
            << (it == counts.end() ? 0 : it->second) << ")</text>\n";
    }
    out << "</g>\n</svg>\n";
    if (!file.commit()) fatal(kExitUsage, "ERROR| cannot write file: " + path);
    return counts;
}

void writeDecomposedPicture(const Design& d) {
    std::ostringstream title;
    title << "Chromasect decomposition, layer " << d.layer;
    const std::map<int, size_t> counts =
        writeSvgPicture(d.svgFile, d.hasSvgWindow ? &d.svgWindow : nullptr, title.str(),
                        [&](const RingSink& sink) { forEachDecomposedShape(d, sink); });
    auto count = [&](int datatype) {
        auto it = counts.find(datatype);
        return it == counts.end() ? size_t(0) : it->second;
    };
    d.report.print(
        "STAT | Picture written to %s: %zu on mask 0, %zu on mask 1, %zu on mask 2, "
        "%zu without mask, %zu conflict markers, %zu stitch markers\n",
        d.svgFile.c_str(), count(1), count(2), count(3), count(kUncolouredDatatype),
        count(kConflictDatatype), count(kStitchDatatype));
}

}  // namespace chromasect
