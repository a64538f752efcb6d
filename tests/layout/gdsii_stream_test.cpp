// GDSII stream records and the library model: exact round trips, and damaged
// streams ending the run with one error instead of a crash or a hang.

#include "layout/gdsii_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/fatal.h"

using namespace chromasect;
using namespace chromasect::gdsii;

namespace {

Element element(ElementKind kind, std::vector<Point> xy) {
    Element e;
    e.kind = kind;
    e.xy = std::move(xy);
    return e;
}

// A library with every element kind and every field the reader keeps.
Library everyKind() {
    Library lib;
    lib.name = "ROUNDTRIP";
    lib.userUnit = 0.001;
    lib.dbUnit = 1e-9;
    Structure cell;
    cell.name = "INV";  // names of odd length are padded
    Element boundary = element(ElementKind::Boundary, {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}});
    boundary.layer = 6;
    boundary.datatype = 3;
    cell.elements.push_back(boundary);
    for (int type : {0, 2, 4}) {
        Element path = element(ElementKind::Path, {{0, 0}, {100, 0}, {100, -50}});
        path.layer = 6;
        path.pathType = type;
        path.width = type == 4 ? -20 : 20;  // negative: absolute width
        path.bgnExtn = type == 4 ? -5 : 0;
        path.endExtn = type == 4 ? 7 : 0;
        cell.elements.push_back(path);
    }
    Element box = element(ElementKind::Box, {{1, 1}, {1, 2}, {2, 2}, {2, 1}, {1, 1}});
    box.layer = 59;
    box.datatype = 4;
    cell.elements.push_back(box);
    Element text = element(ElementKind::Text, {{5, 5}});
    text.layer = 7;
    text.datatype = 1;
    text.text = "VDD";
    text.strans = kStransReflect;
    text.angle = 90;
    cell.elements.push_back(text);
    Element node = element(ElementKind::Node, {{3, 3}});
    node.layer = 8;
    node.datatype = 2;
    cell.elements.push_back(node);

    Structure top;
    top.name = "TOP";
    Element sref = element(ElementKind::SRef, {{-2147483647 - 1, 2147483647}});
    sref.sname = "INV";
    sref.strans = kStransReflect | kStransAbsMag | kStransAbsAngle;
    sref.mag = 3;
    sref.angle = 270;
    top.elements.push_back(sref);
    Element aref = element(ElementKind::ARef, {{0, 0}, {300, 0}, {0, 200}});
    aref.sname = "INV";
    aref.cols = 3;
    aref.rows = 2;
    aref.mag = 0.5;
    aref.angle = 45.25;
    top.elements.push_back(aref);
    lib.structures = {cell, top};
    return lib;
}

void expectFatal(const std::vector<uint8_t>& bytes, const std::string& fragment) {
    try {
        parseLibrary(bytes.data(), bytes.size());
        ADD_FAILURE() << "no error for " << fragment;
    } catch (const FatalError& e) {
        EXPECT_EQ(e.status(), kExitUsage);
        EXPECT_EQ(e.message().rfind("ERROR| ", 0), 0u) << e.message();
        EXPECT_NE(e.message().find(fragment), std::string::npos) << e.message();
        EXPECT_EQ(e.message().find('\n'), std::string::npos);
    }
}

// Offset of the first record of a type in a stream.
size_t findRecord(const std::vector<uint8_t>& bytes, uint8_t type) {
    for (size_t pos = 0; pos + 4 <= bytes.size();) {
        if (bytes[pos + 2] == type) return pos;
        pos += (bytes[pos] << 8) | bytes[pos + 1];
    }
    return bytes.size();
}

}  // namespace

TEST(GdsiiReal8, KnownEncodingsAndRoundTrips) {
    // 1e-3 and 1e-9 as every GDSII writer stores them.
    const uint8_t milli[8] = {0x3e, 0x41, 0x89, 0x37, 0x4b, 0xc6, 0xa7, 0xf0};
    const uint8_t nano[8] = {0x39, 0x44, 0xb8, 0x2f, 0xa0, 0x9b, 0x5a, 0x54};
    EXPECT_EQ(decodeReal8(milli), 1e-3);
    EXPECT_EQ(decodeReal8(nano), 1e-9);
    uint8_t b[8];
    encodeReal8(1e-9, b);
    EXPECT_EQ(std::memcmp(b, nano, 8), 0);
    for (double v : {0.0, 1.0, -1.0, 0.5, 90.0, 270.0, 1e-10, -123456.789, 1.0 / 3.0}) {
        encodeReal8(v, b);
        EXPECT_EQ(decodeReal8(b), v) << v;  // 56-bit mantissa holds any double
    }
}

TEST(GdsiiStream, EveryElementKindAndFieldSurvivesARoundTrip) {
    const Library lib = everyKind();
    const std::vector<uint8_t> bytes = writeLibrary(lib);
    const Library back = parseLibrary(bytes.data(), bytes.size());
    EXPECT_EQ(back.name, lib.name);
    EXPECT_EQ(back.version, 600);
    EXPECT_DOUBLE_EQ(back.userUnit, lib.userUnit);
    EXPECT_DOUBLE_EQ(back.dbUnit, lib.dbUnit);
    ASSERT_EQ(back.structures.size(), 2u);
    EXPECT_TRUE(back.structures[0] == lib.structures[0]);
    EXPECT_TRUE(back.structures[1] == lib.structures[1]);
    // Writing again gives the same bytes: no time stamps or padding differ.
    EXPECT_EQ(writeLibrary(back), bytes);
    // Block padding after ENDLIB is ignored.
    std::vector<uint8_t> padded = bytes;
    padded.resize(bytes.size() + 2048 - bytes.size() % 2048, 0);
    EXPECT_EQ(parseLibrary(padded.data(), padded.size()).structures.size(), 2u);
}

TEST(GdsiiStream, SkipsPropertiesAndUnknownRecords) {
    RecordWriter w;
    Library lib;
    writeLibraryBegin(w, lib);
    writeStructureBegin(w, "A");
    w.empty(BOUNDARY);
    w.bits(ELFLAGS, 1);
    w.int16s(LAYER, {1});
    w.int16s(DATATYPE, {0});
    w.int32s(XY, {0, 0, 0, 5, 5, 5, 5, 0, 0, 0});
    w.int16s(PROPATTR, {1});
    w.text(PROPVALUE, "net1");
    w.int16s(0x3f, {7});  // a record type this reader does not know
    w.empty(ENDEL);
    writeStructureEnd(w);
    writeLibraryEnd(w);
    const Library back = parseLibrary(w.bytes().data(), w.bytes().size());
    ASSERT_EQ(back.structures.size(), 1u);
    ASSERT_EQ(back.structures[0].elements.size(), 1u);
    EXPECT_EQ(back.structures[0].elements[0].xy.size(), 5u);
}

TEST(GdsiiStream, DamagedStreamsEndWithOneError) {
    const std::vector<uint8_t> good = writeLibrary(everyKind());
    const size_t xy = findRecord(good, XY);
    ASSERT_LT(xy, good.size());

    // Cut inside a record, and cut between records before ENDLIB.
    expectFatal(std::vector<uint8_t>(good.begin(), good.begin() + xy + 6), "truncated");
    expectFatal(std::vector<uint8_t>(good.begin(), good.begin() + xy), "truncated");
    expectFatal(std::vector<uint8_t>(good.begin(), good.begin() + 2), "truncated");
    expectFatal({}, "empty");

    std::vector<uint8_t> zero = good;
    zero[xy] = zero[xy + 1] = 0;
    expectFatal(zero, "zero-length record");

    std::vector<uint8_t> odd = good;
    odd[xy + 1] += 1;
    expectFatal(odd, "invalid length");

    // A record without data whose length lies would swallow what follows.
    const size_t boundary = findRecord(good, BOUNDARY);
    std::vector<uint8_t> swallows = good;
    swallows[boundary] = 0;
    swallows[boundary + 1] = static_cast<uint8_t>(xy + 8 - boundary);
    expectFatal(swallows, "payload of wrong length");

    std::vector<uint8_t> tooShort = good;
    tooShort[xy] = 0;
    tooShort[xy + 1] = 2;
    expectFatal(tooShort, "invalid length");

    // A LAYER record of four payload bytes frames correctly but is no int16.
    RecordWriter w;
    writeLibraryBegin(w, Library());
    writeStructureBegin(w, "A");
    w.empty(BOUNDARY);
    w.int32s(LAYER, {1});
    std::vector<uint8_t> wrongType = w.bytes();
    expectFatal(wrongType, "data type");

    // XY with an odd number of coordinates.
    RecordWriter w2;
    writeLibraryBegin(w2, Library());
    writeStructureBegin(w2, "A");
    w2.empty(BOUNDARY);
    w2.int32s(XY, {1, 2, 3});
    w2.empty(ENDEL);
    expectFatal(w2.bytes(), "odd number");

    // An element that a structure end interrupts, and one without XY.
    RecordWriter w3;
    writeLibraryBegin(w3, Library());
    writeStructureBegin(w3, "A");
    w3.empty(BOUNDARY);
    w3.int16s(LAYER, {1});
    writeStructureEnd(w3);
    writeLibraryEnd(w3);
    expectFatal(w3.bytes(), "ENDEL missing");
    RecordWriter w4;
    writeLibraryBegin(w4, Library());
    writeStructureBegin(w4, "A");
    w4.empty(SREF);
    w4.text(SNAME, "B");
    w4.empty(ENDEL);
    expectFatal(w4.bytes(), "without XY");

    // Not a stream at all.
    const std::string text = "HEADER: 600\nBGNLIB:\n";
    expectFatal(std::vector<uint8_t>(text.begin(), text.end()), "");
}
