// OASIS reading against hand-made files whose every record type, repetition,
// point list and real encoding has a known flat result; the writer read
// back; damaged files ending with one error. KLayout's own files are tested
// end to end (tests/e2e/oasis_twins.sh).

#include "layout/oasis.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <sstream>

#include "base/fatal.h"
#include "layout/gds_reader.h"

using namespace chromasect;

namespace {

struct Bytes {
    std::vector<uint8_t> b;
    Bytes& u(uint64_t v) {
        while (v >= 0x80) {
            b.push_back(static_cast<uint8_t>(v | 0x80));
            v >>= 7;
        }
        b.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& s(int64_t v) { return u((static_cast<uint64_t>(v < 0 ? -v : v) << 1) | (v < 0)); }
    Bytes& raw(std::initializer_list<int> bytes) {
        for (int x : bytes) b.push_back(static_cast<uint8_t>(x));
        return *this;
    }
    Bytes& str(const std::string& t) {
        u(t.size());
        b.insert(b.end(), t.begin(), t.end());
        return *this;
    }
    Bytes& add(const Bytes& o) {
        b.insert(b.end(), o.b.begin(), o.b.end());
        return *this;
    }
    Bytes& real8(double d) {
        u(7);
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        for (int k = 0; k < 8; ++k) b.push_back(static_cast<uint8_t>(bits >> (8 * k)));
        return *this;
    }
    // A CBLOCK of these records.
    Bytes& cblock(const Bytes& records) {
        std::vector<uint8_t> out(compressBound(records.b.size()) + 64);
        z_stream z;
        std::memset(&z, 0, sizeof z);
        deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        z.next_in = const_cast<Bytef*>(records.b.data());
        z.avail_in = static_cast<uInt>(records.b.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(out.size() - z.avail_out);
        deflateEnd(&z);
        u(34).u(0).u(records.b.size()).u(out.size());
        b.insert(b.end(), out.begin(), out.end());
        return *this;
    }
};

// Magic, START (1000 steps per micron, tables in START), the records, END.
std::vector<uint8_t> oasisFile(const Bytes& records, bool crc) {
    Bytes f;
    const std::string magic = "%SEMI-OASIS\r\n";
    f.b.assign(magic.begin(), magic.end());
    f.u(1).str("1.0").u(0).u(1000).u(0);
    for (int k = 0; k < 12; ++k) f.u(0);
    f.add(records);
    // END: padding written as a long encoding of 0, as KLayout pads it.
    f.u(2).raw({0x80, 0x80, 0x80, 0x00}).u(crc ? 1 : 0);
    if (crc) {
        const uint32_t c = static_cast<uint32_t>(crc32(0, f.b.data(), f.b.size()));
        for (int k = 0; k < 4; ++k) f.b.push_back(static_cast<uint8_t>(c >> (8 * k)));
    }
    return f.b;
}

gdsii::Element ring(std::vector<gdsii::Point> pts) {
    gdsii::Element e;
    e.layer = 1;
    pts.push_back(pts.front());
    e.xy = std::move(pts);
    return e;
}

gdsii::Element box(int32_t l, int32_t b, int32_t r, int32_t t) {
    return ring({{l, b}, {r, b}, {r, t}, {l, t}});
}

std::string mergedText(const gdsii::Library& lib) {
    std::ostringstream out;
    for (const MergedPolygon& p : gdsii::mergedLayer(lib, 1, 1.0f)) {
        for (const oaPoint& q : p.outline) out << "(" << q.x() << "," << q.y() << ")";
        out << (p.holes.empty() ? "\n" : " holes\n");
    }
    return out.str();
}

// Every repetition type, point list type and real encoding, placements by
// reference number before their CELLNAME, relative and absolute
// coordinates, modal reuse, a CBLOCK, skipped records, and the flat shapes
// they stand for.
void everyRecord(Bytes& r, gdsii::Structure& expected) {
    auto add = [&](const gdsii::Element& e) { expected.elements.push_back(e); };
    r.u(28).raw({0x24}).str("S_X").u(10).str("skipped").u(7).raw({0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
    r.u(13).u(0);                                                        // CELL by number: LEAF
    r.u(20).raw({0x7B}).u(1).u(0).u(10).u(20).s(0).s(0);                 // RECTANGLE 10 x 20
    r.u(14).str("TOP").u(16);                                            // CELL TOP, XYRELATIVE
    r.u(17).raw({0xF8}).u(0).s(1000).s(0).u(1).u(0).u(1).u(100).u(200);  // 2 x 3 array
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) add(box(1000 + 100 * i, 200 * j, 1010 + 100 * i, 20 + 200 * j));
    // Magnified by 4/2, turned by 90 degrees (a double), mirrored; x relative.
    r.u(18).raw({0xF7}).u(0).u(4).u(4).u(2).real8(90.0).s(1000).s(5000);
    add(box(2000, 5000, 2040, 5020));
    // The same cell (modal), 270 degrees, the same array again (type 0).
    r.u(17).raw({0x2E}).s(2000).u(0);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            add(box(4000 + 100 * i, 4990 + 200 * j, 4020 + 100 * i, 5000 + 200 * j));
    r.u(15);  // XYABSOLUTE
    // A square of datatype 2 (a long encoding) at three irregular x offsets.
    r.u(20).raw({0xDF}).u(1).raw({0x82, 0x80, 0x00}).u(30).s(-500).s(-500).u(4).u(1).u(100).u(50);
    for (int x : {-500, -400, -350}) add(box(x, -500, x + 30, -470));
    // One 5 x 5 square per remaining repetition type, at x = 10000 * type.
    struct Rep {
        int type;
        std::vector<int> fields;
        std::vector<std::pair<int, int> > offsets;
    };
    const std::vector<Rep> reps = {
        {2, {1, 20}, {{0, 0}, {20, 0}, {40, 0}}},
        {3, {0, 30}, {{0, 0}, {0, 30}}},
        {5, {1, 7, 2, 3}, {{0, 0}, {14, 0}, {35, 0}}},
        {6, {0, 11}, {{0, 0}, {0, 11}}},
        {7, {0, 5, 4}, {{0, 0}, {0, 20}}},
        {8, {0, 0, 168, 123, 14}, {{0, 0}, {10, 10}, {-30, 7}, {-20, 17}}},
        {9, {1, 246}, {{0, 0}, {0, -15}, {0, -30}}},
        {10, {0, 49, 27}, {{0, 0}, {12, -13}}},
        {11, {0, 3, 68}, {{0, 0}, {-12, 0}}},
    };
    Bytes compressed;
    for (const Rep& rep : reps) {
        Bytes& to = rep.type >= 8 ? compressed : r;
        to.u(20).raw({0x7F}).u(1).u(0).u(5).u(5).s(10000 * rep.type).s(20000).u(rep.type);
        for (int f : rep.fields) to.u(f);
        for (const auto& o : rep.offsets)
            add(box(10000 * rep.type + o.first, 20000 + o.second, 10000 * rep.type + o.first + 5,
                    20005 + o.second));
    }
    // One L-shaped polygon per point list type, at x = 10000 * type.
    const std::vector<std::vector<int> > lists = {
        {0, 4, 60, 20, 41, 40},                           // 1-deltas, horizontal first
        {1, 4, 60, 20, 41, 40},                           // vertical first
        {2, 5, 120, 41, 82, 81, 42},                      // 2-deltas
        {3, 5, 240, 81, 162, 161, 82},                    // 3-deltas
        {4, 5, 480, 162, 324, 322, 164},                  // g-deltas
        {5, 5, 121, 0, 123, 20, 83, 21, 81, 40, 43, 41},  // double deltas
    };
    for (size_t t = 0; t < lists.size(); ++t) {
        Bytes& to = t >= 3 ? compressed : r;
        to.u(21).raw({0x3B}).u(1).u(0);
        for (int v : lists[t]) to.u(v);
        to.s(10000 * static_cast<int>(t)).s(40000);
        const int x = 10000 * static_cast<int>(t), y = 40000;
        if (t == 1)
            add(ring({{x, y},
                      {x, y + 30},
                      {x + 10, y + 30},
                      {x + 10, y + 10},
                      {x + 30, y + 10},
                      {x + 30, y}}));
        else
            add(ring({{x, y},
                      {x + 30, y},
                      {x + 30, y + 10},
                      {x + 10, y + 10},
                      {x + 10, y + 30},
                      {x, y + 30}}));
    }
    r.cblock(compressed);
    // A path of half-width 5, start extension 7, end extension half the width.
    r.u(22).raw({0xFB}).u(1).u(0).u(5).u(14).s(7).u(2).u(1).u(400).s(0).s(60000);
    add(box(-7, 59995, 105, 60005));
    // The same path (modal list and extensions) flush at both ends, 1000 up.
    r.u(22).raw({0x88}).u(5).s(61000);
    add(box(0, 60995, 100, 61005));
    r.u(26).raw({0xFB}).u(1).u(0).u(24).u(40).u(10).s(0).s(80000);  // CTRAPEZOID rectangle
    add(box(0, 80000, 40, 80010));
    r.u(23).raw({0x7B}).u(1).u(0).u(20).u(20).s(0).s(0).s(1000).s(80000);  // TRAPEZOID, square
    add(box(1000, 80000, 1020, 80020));
    r.u(19).raw({0x5B}).str("pin").u(1).u(0).s(0).s(0);  // TEXT, dropped
    r.u(29);                                             // PROPERTY again
    r.u(3).str("LEAF");                                  // CELLNAME 0, after its uses
}

}  // namespace

TEST(Oasis, ReadsEveryRecordIntoTheShapesItStandsFor) {
    EXPECT_TRUE(oasis::isOasisName("a.OAS") && oasis::isOasisName("b.oasis"));
    EXPECT_FALSE(oasis::isOasisName("a.oas.gds") || oasis::isOasisName("oas"));
    Bytes records;
    gdsii::Library expected;
    expected.structures.emplace_back();
    expected.structures[0].name = "TOP";
    everyRecord(records, expected.structures[0]);
    for (bool crc : {false, true}) {
        const std::vector<uint8_t> file = oasisFile(records, crc);
        const gdsii::Library lib = oasis::parseOasis(file.data(), file.size());
        EXPECT_EQ(lib.dbUnit, 1e-9);
        EXPECT_EQ(lib.userUnit, 0.001);
        gdsii::LayerReport report;
        const std::string got = mergedText(lib);
        EXPECT_EQ(got, mergedText(expected));
        gdsii::mergedLayer(lib, 1, 1.0f, &report);
        ASSERT_EQ(report.tops.size(), 1u);
        EXPECT_EQ(lib.structures[report.tops[0]].name, "TOP");
        EXPECT_EQ(report.nonManhattan + report.degenerate + report.skippedReferences, 0);
    }

    // The writer's file reads back into the rings it was given, per datatype.
    std::ostringstream out;
    oasis::LayerWriter w(out, "CELL", 1e-9, 1);
    const std::vector<std::vector<oaPoint> > rings = {
        {oaPoint(0, 0), oaPoint(0, 40), oaPoint(30, 40), oaPoint(30, 0)},
        {oaPoint(100, 0), oaPoint(100, 50), oaPoint(110, 50), oaPoint(110, 10), oaPoint(150, 10),
         oaPoint(150, 0)},
        {oaPoint(200, 0), oaPoint(200, 20), oaPoint(220, 20), oaPoint(220, 0)},
        {oaPoint(0, 100), oaPoint(5, 100), oaPoint(10, 100), oaPoint(10, 110), oaPoint(0, 110)},
    };
    for (size_t k = 0; k < rings.size(); ++k) w.ring(k == 2 ? 10 : 1, rings[k]);
    ASSERT_TRUE(w.finish());
    const std::string bytes = out.str();
    EXPECT_EQ(static_cast<uint8_t>(bytes[bytes.size() - 256]), 2);  // END: the last 256 bytes
    const gdsii::Library back =
        oasis::parseOasis(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(back.structures.size(), 1u);
    EXPECT_EQ(back.structures[0].name, "CELL");
    gdsii::Library given;
    given.structures.emplace_back();
    for (size_t k = 0; k < rings.size(); ++k) {
        std::vector<gdsii::Point> pts;
        for (const oaPoint& p : rings[k]) pts.push_back(gdsii::Point{p.x(), p.y()});
        given.structures[0].elements.push_back(ring(pts));
        given.structures[0].elements.back().datatype = k == 2 ? 10 : 1;
    }
    const auto got = gdsii::mergedLayerByDatatype(back, 1, 1.0f);
    const auto want = gdsii::mergedLayerByDatatype(given, 1, 1.0f);
    ASSERT_EQ(got.size(), 2u);
    for (const auto& entry : want) {
        ASSERT_EQ(got.count(entry.first), 1u);
        ASSERT_EQ(got.at(entry.first).size(), entry.second.size());
        for (size_t k = 0; k < entry.second.size(); ++k)
            EXPECT_EQ(got.at(entry.first)[k].outline, entry.second[k].outline);
    }
}

namespace {

// The message of the FatalError that reading (and flattening) throws, or
// "" when the file reads.
std::string errorOf(const std::vector<uint8_t>& file) {
    try {
        const gdsii::Library lib = oasis::parseOasis(file.data(), file.size());
        // A damaged count could ask for a flattening of minutes; a million
        // shapes is far more than these files hold.
        gdsii::mergedLayer(lib, 1, 1.0f, nullptr, 1000000);
    } catch (const FatalError& e) {
        EXPECT_EQ(e.status(), kExitUsage) << e.message();
        EXPECT_EQ(e.message().compare(0, 7, "ERROR| "), 0) << e.message();
        EXPECT_EQ(e.message().find('\n'), std::string::npos) << e.message();
        return e.message();
    }
    return "";
}

}  // namespace

TEST(Oasis, DamagedFilesEndWithOneErrorNamingTheRecord) {
    Bytes records;
    gdsii::Structure unused;
    everyRecord(records, unused);
    const std::vector<uint8_t> good = oasisFile(records, true);
    ASSERT_EQ(errorOf(good), "");

    // Cut anywhere: never read as a shorter layout.
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_NE(errorOf(cut), "") << "cut at " << n;
    }
    // Any byte changed: the CRC finds what parsing does not.
    for (size_t at = 0; at < good.size(); ++at) {
        std::vector<uint8_t> bad = good;
        bad[at] ^= 0x5A;
        EXPECT_NE(errorOf(bad), "") << "byte " << at;
    }
    // The same without a CRC must at least never crash or hang.
    const std::vector<uint8_t> plain = oasisFile(records, false);
    for (size_t at = 0; at < plain.size(); ++at) {
        for (int flip : {0x01, 0x80, 0xFF}) {
            std::vector<uint8_t> bad = plain;
            bad[at] ^= static_cast<uint8_t>(flip);
            errorOf(bad);
        }
    }

    auto withCell = [](const Bytes& body) {
        Bytes r;
        r.u(14).str("TOP").add(body);
        return oasisFile(r, false);
    };
    const struct {
        std::vector<uint8_t> file;
        const char* message;
    } cases[] = {
        {withCell(Bytes().u(20).raw({0x7B}).u(1).u(0).raw(
             {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F})),
         "ERROR| corrupt OASIS file: integer beyond 64 bits in the RECTANGLE record at byte 39"},
        {withCell(Bytes().u(40)),
         "ERROR| corrupt OASIS file: unknown record type 40 in the record at byte 39"},
        {withCell(Bytes().u(21).raw({0x3B}).u(1).u(0).u(4).u(1000000).u(2)),
         "ERROR| corrupt OASIS file: count of 1000000 longer than the data in the POLYGON record "
         "at byte 39"},
        {withCell(Bytes().u(34).u(0).u(100).u(3).raw({1, 2, 3})),
         "ERROR| corrupt OASIS file: CBLOCK does not inflate to its stated size in the CBLOCK "
         "record at byte 39"},
        {withCell(Bytes().u(34).u(0).u(1u << 30).u(3).raw({1, 2, 3})),
         "ERROR| corrupt OASIS file: CBLOCK claims 1073741824 bytes from 3, more than deflate "
         "can give in the CBLOCK record at byte 39"},
        {withCell(Bytes().u(20).raw({0x1B}).u(1).u(0).s(0).s(0)),
         "ERROR| corrupt OASIS file: width or height used before any was given in the "
         "RECTANGLE record at byte 39"},
        {withCell(Bytes().u(17).raw({0xC0}).u(7)),
         "ERROR| corrupt OASIS file: cell reference number 7 has no CELLNAME record"},
        {withCell(Bytes().u(14).str("TOP")),
         "ERROR| corrupt OASIS file: cell \"TOP\" defined twice"},
        {withCell(Bytes().u(17).raw({0x80}).str("A").u(14).str("A").u(17).raw({0x80}).str("TOP")),
         "ERROR| OASIS structure \"TOP\" references itself (endless loop of references)"},
        {withCell(
             Bytes().u(20).raw({0x7F}).u(1).u(0).u(1).u(1).s(0).s(0).u(1).u(65535).u(65535).u(2).u(
                 2)),
         "ERROR| flattening layer 1 of the OASIS library would make more than 1000000 shapes "
         "(-max_shapes)"},
        {oasisFile(Bytes().u(20).raw({0x7F}), false),
         "ERROR| corrupt OASIS file: element outside a CELL in the RECTANGLE record at byte 34"},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf(c.file), c.message);
    const std::vector<uint8_t> noEnd(good.begin(), good.end() - 10);
    EXPECT_NE(errorOf(noEnd).find("ERROR| corrupt OASIS file: "), std::string::npos);
    const std::vector<uint8_t> noMagic(good.begin() + 1, good.end());
    EXPECT_EQ(errorOf(noMagic), "ERROR| not an OASIS file (no %SEMI-OASIS magic at its start)");
}
