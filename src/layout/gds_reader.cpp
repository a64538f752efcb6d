#include "layout/gds_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <map>
#include <utility>

#include "base/fatal.h"
#include "base/files.h"
#include "base/params.h"
#include "base/report.h"
#include "geometry/polygon_to_rect.h"
#include "layout/text_dump.h"

namespace chromasect {
namespace gdsii {

bool isGdsiiName(const std::string& name) {
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* ext : {".gds", ".gds2", ".gdsii"}) {
        const std::string e(ext);
        if (lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0)
            return true;
    }
    return false;
}

float nanometreFactor(double dbUnitMetres) {
    const float unit = static_cast<float>(dbUnitMetres);
    return static_cast<float>(static_cast<double>(unit) / 1e-9);
}

namespace {

void warn(LayerReport& report, const char* format, ...) __attribute__((format(printf, 2, 3)));
void warn(LayerReport& report, const char* format, ...) {
    if (!report.warn) return;
    va_list args;
    va_start(args, format);
    const std::string text = formatTextV(format, args);
    va_end(args);
    report.warn(text);
}

const int kMaxDepth = 1000;
// Flat shape counts saturate here; any limit lies below.
const int64_t kCountCap = int64_t(1) << 62;
// Bounds that keep every product below in 64 bits; real layouts stay far
// inside them.
const int64_t kMaxMatrixEntry = int64_t(1) << 20;
const int64_t kMaxTranslation = int64_t(1) << 40;

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

const char* kindName(ElementKind k) {
    switch (k) {
        case ElementKind::Boundary:
            return "BOUNDARY";
        case ElementKind::Path:
            return "PATH";
        case ElementKind::Box:
            return "BOX";
        case ElementKind::SRef:
            return "SREF";
        case ElementKind::ARef:
            return "AREF";
        case ElementKind::Text:
            return "TEXT";
        case ElementKind::Node:
            return "NODE";
    }
    return "element";
}

// p' = (a x + b y + tx, c x + d y + ty): exact for reflections, quarter
// turns and integer magnifications.
struct Transform {
    int64_t a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    void apply(int64_t x, int64_t y, int64_t& ox, int64_t& oy) const {
        ox = a * x + b * y + tx;
        oy = c * x + d * y + ty;
    }
    // This transform after `local` (local is applied first).
    Transform after(const Transform& l) const {
        Transform r;
        r.a = a * l.a + b * l.c;
        r.b = a * l.b + b * l.d;
        r.c = c * l.a + d * l.c;
        r.d = c * l.b + d * l.d;
        r.tx = a * l.tx + b * l.ty + tx;
        r.ty = c * l.tx + d * l.ty + ty;
        return r;
    }
    int64_t magnification() const { return std::max(std::llabs(a), std::llabs(b)); }
};

// The reflect-magnify-rotate part of a reference, or why it cannot be had.
bool referenceTransform(const Element& e, Transform& t, std::string& why) {
    if (e.strans & (kStransAbsMag | kStransAbsAngle)) {
        why = "absolute magnification or angle";
        return false;
    }
    const double turns = e.angle / 90.0;
    const double k = std::nearbyint(turns);
    if (!std::isfinite(turns) || std::fabs(turns - k) > 1e-9) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "rotation by %g degrees", e.angle);
        why = buf;
        return false;
    }
    const double m = std::nearbyint(e.mag);
    if (!std::isfinite(e.mag) || m < 1 || m > 1 << 16 || std::fabs(e.mag - m) > 1e-9) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "magnification %g", e.mag);
        why = buf;
        return false;
    }
    const int quarter = static_cast<int>(std::fmod(std::fmod(k, 4.0) + 4.0, 4.0));
    static const int rot[4][4] = {{1, 0, 0, 1}, {0, -1, 1, 0}, {-1, 0, 0, -1}, {0, 1, -1, 0}};
    const int64_t mag = static_cast<int64_t>(m);
    const int64_t r = (e.strans & kStransReflect) ? -1 : 1;  // about the x axis, first
    t.a = mag * rot[quarter][0];
    t.b = mag * rot[quarter][1] * r;
    t.c = mag * rot[quarter][2];
    t.d = mag * rot[quarter][3] * r;
    t.tx = t.ty = 0;
    return true;
}

enum class Use { Keep, NonManhattan, Degenerate };

// Closed ring of a boundary or box without its closing repeat.
std::vector<Point> ringOf(const Element& e) {
    std::vector<Point> r;
    for (const Point& p : e.xy)
        if (r.empty() || !(r.back() == p)) r.push_back(p);
    while (r.size() > 1 && r.back() == r.front()) r.pop_back();
    return r;
}

Use classify(const Element& e) {
    if (e.kind == ElementKind::Path) {
        if (e.pathType != 0 && e.pathType != 2 && e.pathType != 4) return Use::NonManhattan;
        std::vector<Point> pts;
        for (const Point& p : e.xy)
            if (pts.empty() || !(pts.back() == p)) pts.push_back(p);
        if (e.width == 0 || pts.empty()) return Use::Degenerate;
        // A single point with extensions is a box along x, as KLayout makes it.
        if (pts.size() == 1 &&
            (e.pathType == 0 || (e.pathType == 4 && e.bgnExtn + int64_t(e.endExtn) <= 0)))
            return Use::Degenerate;
        for (size_t i = 0; i + 1 < pts.size(); ++i)
            if (pts[i].x != pts[i + 1].x && pts[i].y != pts[i + 1].y) return Use::NonManhattan;
        return Use::Keep;
    }
    std::vector<Point> r = ringOf(e);
    if (r.size() < 4) return Use::Degenerate;
    // A ring on one line covers nothing: left out like one of few corners,
    // not merged into nothing without a word.
    bool oneX = true, oneY = true;
    for (const Point& p : r) {
        oneX = oneX && p.x == r[0].x;
        oneY = oneY && p.y == r[0].y;
    }
    if (oneX || oneY) return Use::Degenerate;
    for (size_t i = 0; i < r.size(); ++i) {
        const Point& p = r[i];
        const Point& q = r[(i + 1) % r.size()];
        if (p.x != q.x && p.y != q.y) return Use::NonManhattan;
    }
    return Use::Keep;
}

}  // namespace

bool isUsableShape(const Element& e) {
    return classify(e) == Use::Keep;
}

namespace {

struct Reference {
    size_t element;
    long target = -1;  // structure index, -1 when undefined
    bool usable = false;
    std::string why;  // when not usable
    Transform local;  // without the placement
};

struct StructureInfo {
    std::vector<size_t> shapes;  // usable elements of the layer
    int nonManhattan = 0;        // skipped elements of the layer
    int degenerate = 0;
    std::vector<Reference> refs;
    bool ignored = false;  // a later structure of an already used name
};

class Flattener {
  public:
    Flattener(const Library& lib, int layer, float factor, LayerReport& report, bool byDatatype,
              int64_t maxShapes, const std::vector<int>& skip = {})
        : lib_(lib),
          layer_(layer),
          factor_(factor),
          report_(report),
          byDatatype_(byDatatype),
          maxShapes_(std::min(maxShapes, kMaxFlatShapes)),
          skip_(skip) {}

    // Merged area per datatype (all under 0 unless split by datatype).
    std::map<int, RectilinearMerge> run();

  private:
    void index();
    void orderAndCount();
    void reportSkipped();
    void visit(size_t s, const Transform& t, int depth);
    void emit(const Element& e, const Transform& t);
    int scale(int64_t v, size_t s) const;

    const Library& lib_;
    int layer_;
    float factor_;
    LayerReport& report_;
    bool byDatatype_;
    int64_t maxShapes_;
    std::vector<int> skip_;
    std::vector<StructureInfo> info_;
    std::vector<int64_t> flatCount_;  // shapes of one instance, saturated
    std::map<int, RectilinearMerge> merges_;
    size_t current_ = 0;  // structure being emitted, for messages
};

void Flattener::index() {
    std::map<std::string, size_t> byName;
    info_.assign(lib_.structures.size(), StructureInfo());
    for (size_t s = 0; s < lib_.structures.size(); ++s) {
        const std::string& name = lib_.structures[s].name;
        if (!byName.emplace(name, s).second) {
            warn(report_, "WARNING| structure %s defined again; the first definition is used\n",
                 quoted(name).c_str());
            info_[s].ignored = true;
        }
    }
    for (size_t s = 0; s < lib_.structures.size(); ++s) {
        if (info_[s].ignored) continue;
        const std::vector<Element>& elements = lib_.structures[s].elements;
        for (size_t i = 0; i < elements.size(); ++i) {
            const Element& e = elements[i];
            if (e.kind == ElementKind::SRef || e.kind == ElementKind::ARef) {
                Reference r;
                r.element = i;
                auto it = byName.find(e.sname);
                if (it != byName.end()) r.target = static_cast<long>(it->second);
                if (r.target < 0) {
                    r.why = "undefined structure";
                } else if (e.kind == ElementKind::ARef && (e.cols <= 0 || e.rows <= 0)) {
                    r.why = "array of " + std::to_string(e.cols) + " x " + std::to_string(e.rows);
                } else {
                    r.usable = referenceTransform(e, r.local, r.why);
                }
                info_[s].refs.push_back(r);
            } else if ((e.kind == ElementKind::Boundary || e.kind == ElementKind::Box ||
                        e.kind == ElementKind::Path) &&
                       e.layer == layer_ &&
                       std::find(skip_.begin(), skip_.end(), e.datatype) == skip_.end()) {
                const Use use = classify(e);
                if (use == Use::Keep) info_[s].shapes.push_back(i);
                if (use == Use::NonManhattan) ++info_[s].nonManhattan;
                if (use == Use::Degenerate) ++info_[s].degenerate;
            }
        }
    }
}

// Children before parents; the loop check and the flat shape counts (which
// guard against a flattening no memory could hold) come out of one pass.
void Flattener::orderAndCount() {
    const size_t n = info_.size();
    std::vector<std::vector<size_t> > parents(n);
    std::vector<size_t> pending(n, 0);  // defined references not yet counted
    std::vector<bool> referenced(n, false);
    for (size_t s = 0; s < n; ++s) {
        for (const Reference& r : info_[s].refs) {
            if (r.target < 0) continue;
            parents[r.target].push_back(s);
            referenced[r.target] = true;
            ++pending[s];
        }
    }
    std::vector<size_t> ready;
    for (size_t s = 0; s < n; ++s)
        if (pending[s] == 0) ready.push_back(s);
    std::vector<size_t> order;
    while (!ready.empty()) {
        const size_t s = ready.back();
        ready.pop_back();
        order.push_back(s);
        for (size_t p : parents[s])
            if (--pending[p] == 0) ready.push_back(p);
    }
    if (order.size() != n) {
        // Walking from a structure that waits on a child, always on to a
        // waiting child, must come back to a structure of the loop.
        size_t s = 0;
        while (pending[s] == 0) ++s;
        for (size_t step = 0; step < n; ++step) {
            for (const Reference& r : info_[s].refs) {
                if (r.target >= 0 && pending[r.target] > 0) {
                    s = static_cast<size_t>(r.target);
                    break;
                }
            }
        }
        fatal(kExitUsage, "ERROR| " + lib_.format + " structure " +
                              quoted(lib_.structures[s].name) +
                              " references itself (endless loop of references)");
    }
    flatCount_.assign(n, 0);
    for (size_t s : order) {
        int64_t count = static_cast<int64_t>(info_[s].shapes.size());
        for (const Reference& r : info_[s].refs) {
            if (!r.usable) continue;
            const Element& e = lib_.structures[s].elements[r.element];
            const int64_t instances = e.kind == ElementKind::ARef ? int64_t(e.cols) * e.rows : 1;
            const int64_t child = flatCount_[r.target];
            if (child > 0 && instances > (kCountCap - count) / child)
                count = kCountCap;
            else
                count += instances * child;
        }
        flatCount_[s] = std::min(count, kCountCap);
    }
    for (size_t s = 0; s < n; ++s)
        if (!referenced[s] && !info_[s].ignored) report_.tops.push_back(s);
    int64_t total = 0;
    for (size_t s : report_.tops) total = std::min(total + flatCount_[s], kCountCap);
    if (total > maxShapes_)
        fatal(kExitUsage, "ERROR| flattening layer " + std::to_string(layer_) + " of the " +
                              lib_.format + " library would make more than " +
                              std::to_string(maxShapes_) + " shapes (-max_shapes)");
    // Reading a layer takes about 600 bytes a shape (a million-feature layer
    // measured); a count that cannot fit in half of that would only end,
    // minutes later, out of memory.
    const double needMB = static_cast<double>(total) * 300.0 / 1048576.0;
    const double haveMB = availableMemoryMB();
    if (haveMB > 0 && needMB > haveMB)
        fatal(kExitUsage, "ERROR| flattening layer " + std::to_string(layer_) + " of the " +
                              lib_.format + " library would make " + std::to_string(total) +
                              " shapes, more than the " + formatText("%.0f", haveMB) +
                              " MB of memory available can hold");
}

// One warning per skipped reference that would have brought shapes of the
// layer, and one line per kind of skipped element; each counted once
// however often its structure is placed.
void Flattener::reportSkipped() {
    std::vector<bool> seen(info_.size(), false);
    std::vector<size_t> stack(report_.tops.rbegin(), report_.tops.rend());
    for (size_t s : report_.tops) seen[s] = true;
    std::vector<size_t> reached;
    while (!stack.empty()) {
        const size_t s = stack.back();
        stack.pop_back();
        reached.push_back(s);
        for (const Reference& r : info_[s].refs) {
            if (r.usable && !seen[r.target]) {
                seen[r.target] = true;
                stack.push_back(static_cast<size_t>(r.target));
            }
        }
    }
    std::sort(reached.begin(), reached.end());
    for (size_t s : reached) {
        const Structure& st = lib_.structures[s];
        for (const Reference& r : info_[s].refs) {
            if (r.usable || (r.target >= 0 && flatCount_[r.target] == 0)) continue;
            const Element& e = st.elements[r.element];
            warn(report_, "WARNING| structure %s: %s of %s (element %zu, byte %zu) skipped: %s\n",
                 quoted(st.name).c_str(), kindName(e.kind), quoted(e.sname).c_str(), r.element + 1,
                 e.offset, r.why.c_str());
            ++report_.skippedReferences;
        }
        report_.nonManhattan += info_[s].nonManhattan;
        report_.degenerate += info_[s].degenerate;
    }
    if (report_.nonManhattan > 0)
        warn(report_, "WARNING| %d non-Manhattan boundaries or paths on layer %d skipped\n",
             report_.nonManhattan, layer_);
    if (report_.degenerate > 0)
        warn(report_,
             "WARNING| %d degenerate boundaries or paths on layer %d skipped "
             "(fewer than four corners, or no width)\n",
             report_.degenerate, layer_);
}

// Scaled exactly as the text reader scales a coordinate.
int Flattener::scale(int64_t v, size_t s) const {
    int out = 0;
    if (!textdump::scaleCoordinate(v, factor_, out))
        fatal(kExitUsage, "ERROR| " + lib_.format + " coordinate out of range in structure " +
                              quoted(lib_.structures[s].name));
    return out;
}

void Flattener::emit(const Element& e, const Transform& t) {
    RectilinearMerge& merge = merges_[byDatatype_ ? e.datatype : 0];
    if (e.kind != ElementKind::Path) {
        std::vector<oaPoint> ring;
        for (const Point& p : ringOf(e)) {
            int64_t x, y;
            t.apply(p.x, p.y, x, y);
            ring.emplace_back(scale(x, current_), scale(y, current_));
        }
        merge.addRing(ring);
        return;
    }
    std::vector<std::pair<int64_t, int64_t> > pts;
    for (const Point& p : e.xy) {
        int64_t x, y;
        t.apply(p.x, p.y, x, y);
        if (pts.empty() || pts.back() != std::make_pair(x, y)) pts.emplace_back(x, y);
    }
    const int64_t mag = t.magnification();
    const int64_t width = e.width < 0 ? -int64_t(e.width) : int64_t(e.width) * mag;
    // An odd width puts the extra unit on the positive side, so that the
    // segments of one path line up at their corners.
    const int64_t lowHalf = width / 2, highHalf = width - width / 2;
    if (pts.size() == 1) pts.push_back(pts[0]);  // one point: a segment of length 0 along x
    const size_t last = pts.size() - 2;
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        const int64_t x0 = pts[i].first, y0 = pts[i].second;
        const int64_t x1 = pts[i + 1].first, y1 = pts[i + 1].second;
        const bool horizontal = y0 == y1;  // a zero-length segment counts as horizontal
        const int64_t from = horizontal ? x0 : y0, to = horizontal ? x1 : y1;
        const int64_t dir = to >= from ? 1 : -1;
        // Extension beyond each end of the segment, toward lower and higher
        // coordinates: half the width at joints and square ends.
        auto ext = [&](bool atStart, bool towardHigh) -> int64_t {
            const bool pathEnd = atStart ? i == 0 : i == last;
            if (pathEnd && e.pathType == 0) return 0;
            if (pathEnd && e.pathType == 4) return (atStart ? e.bgnExtn : e.endExtn) * mag;
            return towardHigh ? highHalf : lowHalf;
        };
        int64_t lo, hi;
        if (dir > 0) {
            lo = from - ext(true, false);
            hi = to + ext(false, true);
        } else {
            lo = to - ext(false, false);
            hi = from + ext(true, true);
        }
        const int64_t across = horizontal ? y0 : x0;
        int64_t l, b, r, tp;
        if (horizontal) {
            l = lo, r = hi, b = across - lowHalf, tp = across + highHalf;
        } else {
            b = lo, tp = hi, l = across - lowHalf, r = across + highHalf;
        }
        merge.addBox(
            oaBox(scale(l, current_), scale(b, current_), scale(r, current_), scale(tp, current_)));
    }
}

void Flattener::visit(size_t s, const Transform& t, int depth) {
    if (depth > kMaxDepth)
        fatal(kExitUsage, "ERROR| " + lib_.format + " hierarchy deeper than " +
                              std::to_string(kMaxDepth) + " levels at structure " +
                              quoted(lib_.structures[s].name));
    const Structure& st = lib_.structures[s];
    current_ = s;
    for (size_t i : info_[s].shapes) emit(st.elements[i], t);
    for (const Reference& r : info_[s].refs) {
        if (!r.usable || flatCount_[r.target] == 0) continue;
        const Element& e = st.elements[r.element];
        const int cols = e.kind == ElementKind::ARef ? e.cols : 1;
        const int rows = e.kind == ElementKind::ARef ? e.rows : 1;
        const Point& origin = e.xy[0];
        for (int row = 0; row < rows; ++row) {
            for (int col = 0; col < cols; ++col) {
                // Array lattice vectors are given in this structure's frame.
                Transform local = r.local;
                local.tx = origin.x;
                local.ty = origin.y;
                if (e.kind == ElementKind::ARef) {
                    auto step = [](int64_t span, int64_t k, int64_t n) {
                        const int64_t num = span * k;
                        return num >= 0 ? (num + n / 2) / n : -((-num + n / 2) / n);
                    };
                    local.tx += step(int64_t(e.xy[1].x) - origin.x, col, cols) +
                                step(int64_t(e.xy[2].x) - origin.x, row, rows);
                    local.ty += step(int64_t(e.xy[1].y) - origin.y, col, cols) +
                                step(int64_t(e.xy[2].y) - origin.y, row, rows);
                }
                const Transform child = t.after(local);
                if (child.magnification() > kMaxMatrixEntry ||
                    std::llabs(child.tx) > kMaxTranslation ||
                    std::llabs(child.ty) > kMaxTranslation)
                    fatal(kExitUsage, "ERROR| " + lib_.format +
                                          " coordinate out of range in structure " +
                                          quoted(lib_.structures[r.target].name));
                visit(static_cast<size_t>(r.target), child, depth + 1);
                current_ = s;
            }
        }
    }
}

std::map<int, RectilinearMerge> Flattener::run() {
    index();
    orderAndCount();
    reportSkipped();
    for (size_t s : report_.tops) visit(s, Transform(), 0);
    return std::move(merges_);
}

}  // namespace

std::vector<MergedPolygon> mergedLayer(const Library& lib, int layer, float factor,
                                       LayerReport* report, int64_t maxShapes,
                                       const std::vector<int>& skip) {
    LayerReport local;
    Flattener f(lib, layer, factor, report ? *report : local, false, maxShapes, skip);
    const std::map<int, RectilinearMerge> merged = f.run();
    return merged.empty() ? std::vector<MergedPolygon>() : merged.begin()->second.polygons();
}

std::map<int, std::vector<MergedPolygon> > mergedLayerByDatatype(const Library& lib, int layer,
                                                                 float factor, LayerReport* report,
                                                                 int64_t maxShapes) {
    LayerReport local;
    Flattener f(lib, layer, factor, report ? *report : local, true, maxShapes);
    std::map<int, std::vector<MergedPolygon> > out;
    for (const auto& entry : f.run()) out[entry.first] = entry.second.polygons();
    return out;
}

}  // namespace gdsii
}  // namespace chromasect
