// gen_layout: writes a routing-like metal layer as a GDSII text dump, for
// tests and benchmarks of the reader and the decomposition.
//
//   gen_layout [--features N] [--seed S] [--pitch P] [--width W] [--layer L]
//              [--out FILE]
//
// The layer is cut into square panels whose preferred routing direction
// alternates like a checkerboard. Each panel is filled track by track with
// straight wires, L-, Z- (jogged) and U-shaped wires and via-like squares
// (BOX elements), separated by line-end gaps of zero or more free grid
// cells; wide power/ground rails span the whole width every few dozen
// tracks. All features lie on a grid of P x P cells (one feature per cell,
// centrelines through the cell centres, width W), so no two features touch:
// wires are at least P - W apart, the via squares (wider by (P - W) / 3) a
// little less. Exactly N features are written; the same arguments always
// give the same file.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Options {
    long long features = 1000;
    unsigned long long seed = 1;
    int pitch = 120;
    int width = 60;
    int layer = 1;
    std::string out;  // empty: standard output
};

void usage() {
    std::fprintf(stderr,
                 "usage: gen_layout [--features N] [--seed S] [--pitch P] [--width W] "
                 "[--layer L] [--out FILE]\n"
                 "  N >= 1 features (default 1000), track pitch P (default 120) and wire\n"
                 "  width W (even, 2 <= W < P; default 60) in nanometres, layer L (default 1)\n");
}

bool parseNumber(const char* s, long long lo, long long hi, long long& out) {
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s, &end, 10);
    if (errno != 0 || end == s || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") return false;
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        long long v = 0;
        if (name == "--out") {
            o.out = value;
        } else if (name == "--features" && parseNumber(value, 1, 100000000, v)) {
            o.features = v;
        } else if (name == "--seed" && parseNumber(value, 0, INT64_MAX, v)) {
            o.seed = static_cast<unsigned long long>(v);
        } else if (name == "--pitch" && parseNumber(value, 4, 1000000, v)) {
            o.pitch = int(v);
        } else if (name == "--width" && parseNumber(value, 2, 1000000, v)) {
            o.width = int(v);
        } else if (name == "--layer" && parseNumber(value, 0, 1000000, v)) {
            o.layer = int(v);
        } else {
            return false;
        }
    }
    return o.width % 2 == 0 && o.width < o.pitch;
}

struct Pt {
    long long x, y;
};

// Buffered text output with fast integer formatting.
class Writer {
  public:
    explicit Writer(FILE* f) : f_(f) { buf_.reserve(1 << 20); }
    ~Writer() { flush(); }
    void str(const char* s) { buf_.append(s); }
    void num(long long v) {
        char tmp[24];
        int n = 0;
        const bool neg = v < 0;
        unsigned long long u = neg ? 0ULL - static_cast<unsigned long long>(v) : v;
        do {
            tmp[n++] = char('0' + u % 10);
            u /= 10;
        } while (u);
        if (neg) buf_.push_back('-');
        while (n) buf_.push_back(tmp[--n]);
    }
    void maybeFlush() {
        if (buf_.size() > (1 << 20) - 4096) flush();
    }
    void flush() {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
            ok_ = false;
        buf_.clear();
    }
    bool ok() const { return ok_; }

  private:
    FILE* f_;
    std::string buf_;
    bool ok_ = true;
};

class Generator {
  public:
    Generator(const Options& o, Writer& w) : o_(o), w_(w), rng_(o.seed), half_(o.width / 2) {
        // Calibrated so that the generated area comes out about square.
        const double cellsPerFeature = 6.5;
        cols_ = int(std::ceil(std::sqrt(double(o.features) * cellsPerFeature) / kPanel)) * kPanel;
        if (cols_ < kPanel) cols_ = kPanel;
    }

    void run() {
        header();
        for (int band = 0; written_ < o_.features; ++band) fillBand(band);
        w_.str("ENDSTR\nENDLIB\n");
    }

  private:
    static const int kPanel = 24;      // cells per panel side
    static const int kRailEvery = 48;  // rows between rails

    long long centre(long long cell) const { return cell * o_.pitch + o_.pitch / 2; }
    unsigned pick(unsigned n) { return static_cast<unsigned>(rng_() % n); }

    void header() {
        w_.str("HEADER: 600\nBGNLIB: \nLIBNAME: generated.DB\nUNITS: 0.001, 1e-09\n");
        w_.str("BGNSTR: \nSTRNAME: top\n");
    }

    void element(const char* kind, const char* typeKey, const std::vector<Pt>& outline) {
        w_.str(kind);
        w_.str("\nLAYER: ");
        w_.num(o_.layer);
        w_.str("\n");
        w_.str(typeKey);
        w_.str(": 0\nXY: ");
        for (size_t i = 0; i <= outline.size(); ++i) {
            const Pt& p = outline[i % outline.size()];
            if (i) w_.str(", ");
            w_.num(p.x);
            w_.str(": ");
            w_.num(p.y);
        }
        w_.str("\nENDEL\n");
        w_.maybeFlush();
        ++written_;
    }

    // Outline of a wire of the layer's width along a rectilinear centreline
    // of cell centres (consecutive segments turn by 90 degrees).
    std::vector<Pt> thickPath(const std::vector<Pt>& c) const {
        const size_t n = c.size();
        std::vector<Pt> dir(n - 1), left(n), right(n);
        for (size_t i = 0; i + 1 < n; ++i)
            dir[i] = Pt{(c[i + 1].x > c[i].x) - (c[i + 1].x < c[i].x),
                        (c[i + 1].y > c[i].y) - (c[i + 1].y < c[i].y)};
        auto normal = [&](size_t i) { return Pt{-dir[i].y, dir[i].x}; };
        const long long h = half_;
        for (size_t i = 0; i < n; ++i) {
            Pt off;
            if (i == 0) {
                off = Pt{-dir[0].x + normal(0).x, -dir[0].y + normal(0).y};
            } else if (i == n - 1) {
                off = Pt{dir[i - 1].x + normal(i - 1).x, dir[i - 1].y + normal(i - 1).y};
            } else {
                off = Pt{normal(i - 1).x + normal(i).x, normal(i - 1).y + normal(i).y};
            }
            left[i] = Pt{c[i].x + h * off.x, c[i].y + h * off.y};
            Pt roff;
            if (i == 0) {
                roff = Pt{-dir[0].x - normal(0).x, -dir[0].y - normal(0).y};
            } else if (i == n - 1) {
                roff = Pt{dir[i - 1].x - normal(i - 1).x, dir[i - 1].y - normal(i - 1).y};
            } else {
                roff = Pt{-normal(i - 1).x - normal(i).x, -normal(i - 1).y - normal(i).y};
            }
            right[i] = Pt{c[i].x + h * roff.x, c[i].y + h * roff.y};
        }
        std::vector<Pt> out(left.begin(), left.end());
        for (size_t i = n; i-- > 0;) out.push_back(right[i]);
        return out;
    }

    // One band of panels (kPanel rows of cells across the whole width).
    void fillBand(int band) {
        const long long row0 = static_cast<long long>(band) * kPanel;
        occupied_.assign(static_cast<size_t>(cols_) * kPanel, 0);
        // Rails: two tracks wide, across the whole width.
        for (int r = 0; r < kPanel && written_ < o_.features; ++r) {
            const long long row = row0 + r;
            if (row % kRailEvery != 4 || r + 1 >= kPanel) continue;
            for (int c = 0; c < cols_; ++c) {
                occupied_[index(c, r)] = 1;
                occupied_[index(c, r + 1)] = 1;
            }
            std::vector<Pt> rail{{centre(0) - half_, centre(row) - half_},
                                 {centre(cols_ - 1) + half_, centre(row) - half_},
                                 {centre(cols_ - 1) + half_, centre(row + 1) + half_},
                                 {centre(0) - half_, centre(row + 1) + half_}};
            element("BOUNDARY", "DATATYPE", rail);
        }
        for (int p = 0; p < cols_ / kPanel && written_ < o_.features; ++p)
            fillPanel(p * kPanel, row0, (p + band) % 2 == 0);
    }

    size_t index(int col, int rowInBand) const {
        return static_cast<size_t>(rowInBand) * cols_ + col;
    }

    // In a panel, "along" runs with the preferred direction and "track"
    // across it; both are offsets inside the panel.
    struct Frame {
        int col0;
        long long row0;
        bool horizontal;
    };
    void cellOf(const Frame& f, int along, int track, int& col, int& rowInBand) const {
        col = f.col0 + (f.horizontal ? along : track);
        rowInBand = f.horizontal ? track : along;
    }
    bool freeCells(const Frame& f, const std::vector<Pt>& path) const {
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            const Pt a = path[i], b = path[i + 1];
            for (long long u = std::min(a.x, b.x); u <= std::max(a.x, b.x); ++u)
                for (long long t = std::min(a.y, b.y); t <= std::max(a.y, b.y); ++t) {
                    if (u < 0 || t < 0 || u >= kPanel || t >= kPanel) return false;
                    int col, row;
                    cellOf(f, int(u), int(t), col, row);
                    if (occupied_[index(col, row)]) return false;
                }
        }
        return true;
    }
    void claim(const Frame& f, const std::vector<Pt>& path) {
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            const Pt a = path[i], b = path[i + 1];
            for (long long u = std::min(a.x, b.x); u <= std::max(a.x, b.x); ++u)
                for (long long t = std::min(a.y, b.y); t <= std::max(a.y, b.y); ++t) {
                    int col, row;
                    cellOf(f, int(u), int(t), col, row);
                    occupied_[index(col, row)] = 1;
                }
        }
    }
    // Centreline in panel (along, track) cells to layout coordinates.
    std::vector<Pt> toLayout(const Frame& f, const std::vector<Pt>& path) const {
        std::vector<Pt> out;
        for (const Pt& p : path) {
            int col, row;
            cellOf(f, int(p.x), int(p.y), col, row);
            out.push_back(Pt{centre(col), centre(f.row0 + row)});
        }
        return out;
    }

    // Places one feature starting at (along, track); returns the cells it
    // advanced along the track, or 0 when nothing fitted.
    int place(const Frame& f, int along, int track) {
        const unsigned kind = pick(100);
        const int len = 2 + int(pick(14)) + (pick(4) == 0 ? int(pick(20)) : 0);
        const int side = pick(2) ? 1 : -1;
        const int reach = side * (1 + int(pick(3)));
        std::vector<Pt> path;
        if (kind < 9) {  // a via-like square
            int col, row;
            cellOf(f, along, track, col, row);
            if (occupied_[index(col, row)]) return 0;
            occupied_[index(col, row)] = 1;
            const long long cx = centre(col), cy = centre(f.row0 + row);
            const long long v = half_ + (o_.pitch - o_.width) / 6;
            element("BOX", "BOXTYPE",
                    {{cx - v, cy - v}, {cx + v, cy - v}, {cx + v, cy + v}, {cx - v, cy + v}});
            return 1;
        } else if (kind < 21) {  // L
            path = {{along, track}, {along + len - 1, track}, {along + len - 1, track + reach}};
        } else if (kind < 33) {  // Z: a jog to the next track
            const int jog = along + 1 + int(pick(unsigned(std::max(1, len - 2))));
            path = {{along, track}, {jog, track}, {jog, track + side}, {along + len, track + side}};
        } else if (kind < 39) {  // U
            path = {{along, track + reach},
                    {along, track},
                    {along + len, track},
                    {along + len, track + reach}};
        }
        if (path.empty() || !freeCells(f, path)) {
            // A straight wire, as long as the track is free.
            int end = along;
            while (end + 1 < kPanel && end - along + 1 < len) {
                int col, row;
                cellOf(f, end + 1, track, col, row);
                if (occupied_[index(col, row)]) break;
                ++end;
            }
            if (end == along) return 0;
            path = {{along, track}, {end, track}};
            if (!freeCells(f, path)) return 0;
        }
        claim(f, path);
        element("BOUNDARY", "DATATYPE", thickPath(toLayout(f, path)));
        long long advance = 0;
        for (const Pt& p : path)
            if (p.y == track) advance = std::max(advance, p.x - along + 1);
        return int(advance);
    }

    void fillPanel(int col0, long long row0, bool horizontal) {
        const Frame f{col0, row0, horizontal};
        for (int track = 0; track < kPanel; ++track) {
            int along = 0;
            while (along < kPanel && written_ < o_.features) {
                // Line-end gaps: mostly one or two free cells, sometimes more.
                const unsigned g = pick(10);
                along += g < 2 ? 0 : g < 7 ? 1 : g < 9 ? 2 : 4;
                if (along >= kPanel) break;
                int col, row;
                cellOf(f, along, track, col, row);
                if (occupied_[index(col, row)]) {
                    ++along;
                    continue;
                }
                const int advance = place(f, along, track);
                along += advance > 0 ? advance : 1;
            }
        }
    }

    const Options& o_;
    Writer& w_;
    std::mt19937_64 rng_;
    const long long half_;
    int cols_ = kPanel;
    long long written_ = 0;
    std::vector<uint8_t> occupied_;
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        usage();
        return 1;
    }
    FILE* f = o.out.empty() ? stdout : std::fopen(o.out.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "gen_layout: cannot open %s\n", o.out.c_str());
        return 1;
    }
    bool ok;
    {
        Writer w(f);
        Generator g(o, w);
        g.run();
        w.flush();
        ok = w.ok();
    }
    if (f != stdout)
        ok = (std::fclose(f) == 0) && ok;
    else
        ok = (std::fflush(stdout) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "gen_layout: write failed\n");
        return 1;
    }
    return 0;
}
