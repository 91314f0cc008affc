#include <gtest/gtest.h>

#include <cstring>

#include "core/zDataFile.h"
#include "core/zStream.h"
#include "support/TestSupport.h"

using namespace zun;
using zun::test::Hex;
using zun::test::TempDir;
using zun::test::ToHex;

namespace {

std::string HexOf(const zStream& s) { return ToHex(s.Bytes()); }

zStream FromHex(const std::string& hex) { return zStream(Hex(hex)); }

// Runs f and expects the "Input past end of file" failure.
template <class F>
void ExpectPastEnd(F&& f) {
    try {
        f();
        ADD_FAILURE() << "no failure raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number, errInputPastEnd);
        EXPECT_EQ(e.Description, "Input past end of file");
    }
}

}  // namespace

TEST(Stream, NewStreamIsEmptyButHoldsOneByte) {
    zStream s;
    EXPECT_EQ(s.ClassName(), "zStream");
    EXPECT_EQ(s.ClassVersion(), 1);
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.Cursor, 0);
    std::vector<uint8_t> data;
    EXPECT_EQ(s.GetData(data), 0);
    EXPECT_EQ(data, std::vector<uint8_t>{0});
    // The phantom byte is not readable data.
    ExpectPastEnd([&] { uint8_t b; s.ReadByte(b); });
}

TEST(Stream, ScalarEncodings) {
    zStream s;
    s.WriteByte(0xAB);
    s.WriteBool(true);
    s.WriteBool(false);
    s.WriteInteger(-2);
    s.WriteLong(0x01020304);
    s.WriteSingle(1.0f);
    s.WriteDouble(1.0);
    s.WriteDate(2.5);
    EXPECT_EQ(HexOf(s), "ab 01 00 fe ff 04 03 02 01 00 00 80 3f 00 00 00 00 00 00 f0 3f 00 00 00 00 00 00 04 40");
    EXPECT_EQ(s.Cursor, 0);  // writers never move the read position

    uint8_t b = 0;
    bool t = false, f = true;
    int16_t i = 0;
    int32_t l = 0;
    float sg = 0;
    double d = 0, dt = 0;
    s.ReadByte(b);
    s.ReadBool(t);
    s.ReadBool(f);
    s.ReadInteger(i);
    s.ReadLong(l);
    s.ReadSingle(sg);
    s.ReadDouble(d);
    s.ReadDate(dt);
    EXPECT_EQ(b, 0xAB);
    EXPECT_TRUE(t);
    EXPECT_FALSE(f);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(l, 0x01020304);
    EXPECT_EQ(sg, 1.0f);
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(dt, 2.5);
    EXPECT_EQ(s.Cursor, s.GetLength());

    zStream two = FromHex("02");
    bool v = false;
    two.ReadBool(v);
    EXPECT_TRUE(v);  // any non-zero byte
}

TEST(Stream, GetReadersUseTheCallersPosition) {
    zStream s = FromHex("00 00 00 00 00 00 00 00 2a 00 00 00 07 01 00 00 00 00 80 3f 09 00");
    s.Cursor = 3;
    int32_t pos = 8;
    EXPECT_EQ(s.GetLong(pos), 42);
    EXPECT_EQ(pos, 12);
    EXPECT_EQ(s.GetByte(pos), 7);
    EXPECT_TRUE(s.GetBool(pos));
    EXPECT_EQ(s.GetInteger(pos), 0);
    EXPECT_EQ(s.GetSingle(pos), 1.0f);  // 00 00 80 3f
    EXPECT_EQ(s.GetInteger(pos), 9);
    EXPECT_EQ(s.Cursor, 3);
    ExpectPastEnd([&] { s.GetByte(pos); });
    EXPECT_EQ(pos, 22);
    int32_t negative = -1;
    ExpectPastEnd([&] { s.GetByte(negative); });
}

TEST(Stream, Strings) {
    zStream s;
    s.WriteString("Ab");
    EXPECT_EQ(HexOf(s), "02 00 00 00 41 62");
    s.WriteString("");
    EXPECT_EQ(HexOf(s), "02 00 00 00 41 62 00 00 00 00");

    std::string out = "keep";
    s.ReadString(out);
    EXPECT_EQ(out, "Ab");
    s.ReadString(out);
    EXPECT_EQ(out, "Ab");  // an empty text leaves the destination as it was
    EXPECT_EQ(s.Cursor, 10);

    int32_t pos = 6;
    EXPECT_EQ(s.GetString(pos), "");
    EXPECT_EQ(pos, 10);
}

TEST(Stream, UnreadableStringCountsConsumeOnlyTheCount) {
    for (const char* count : {"70 11 01 00", "ff ff ff ff", "01 00 01 00"}) {
        zStream s = FromHex(std::string(count) + " 41 42 43");
        std::string out = "keep";
        s.ReadString(out);
        EXPECT_EQ(out, "keep");
        EXPECT_EQ(s.Cursor, 4);
        s.Cursor = 0;
        s.ReadStringU(out);
        EXPECT_EQ(out, "keep");
        EXPECT_EQ(s.Cursor, 4);
        int32_t pos = 0;
        EXPECT_EQ(s.GetString(pos), "");
        EXPECT_EQ(pos, 4);
        pos = 0;
        EXPECT_EQ(s.GetStringU(pos), "");
        EXPECT_EQ(pos, 4);
    }
    // A readable count with too few bytes behind it fails without moving.
    zStream s = FromHex("05 00 00 00 41 42");
    std::string out;
    ExpectPastEnd([&] { s.ReadString(out); });
    EXPECT_EQ(s.Cursor, 0);
}

TEST(Stream, UnicodeStringsCarryUmlauts) {
    zStream s;
    s.WriteStringU("Gr\xFC\xDF" "e \x80");  // "Grüße €" in Windows-1252
    EXPECT_EQ(HexOf(s), "0e 00 00 00 47 00 72 00 fc 00 df 00 65 00 20 00 ac 20");
    std::string out;
    s.ReadStringU(out);
    EXPECT_EQ(out, "Gr\xFC\xDF" "e \x80");

    // A character outside Windows-1252 reads as '?'.
    zStream u = FromHex("04 00 00 00 41 00 3a 04");
    int32_t pos = 0;
    EXPECT_EQ(u.GetStringU(pos), "A?");
}

TEST(Stream, OverlongTextsAreRefused) {
    zStream s;
    EXPECT_THROW(s.WriteString(std::string(65537, 'x')), RuntimeError);
    EXPECT_THROW(s.WriteStringU(std::string(32769, 'x')), RuntimeError);
    EXPECT_EQ(s.GetLength(), 0);

    s.WriteString(std::string(65536, 'x'));
    s.WriteStringU(std::string(32768, 'y'));
    std::string a, b;
    s.ReadString(a);
    s.ReadStringU(b);
    EXPECT_EQ(a, std::string(65536, 'x'));
    EXPECT_EQ(b, std::string(32768, 'y'));
}

TEST(Stream, ArraysAndNestedStreams) {
    zStream s;
    s.WriteArray({1, 2, 3});
    zStream inner = FromHex("aa bb");
    s.WriteStream(inner);
    s.WriteStream(zStream());  // an empty stream stores count 0 ...
    EXPECT_EQ(HexOf(s), "03 00 00 00 01 02 03 02 00 00 00 aa bb 00 00 00 00");

    std::vector<uint8_t> arr;
    s.ReadArray(arr);
    EXPECT_EQ(arr, (std::vector<uint8_t>{1, 2, 3}));
    zStream back = FromHex("01 02 03 04 05");
    back.Cursor = 2;
    s.ReadStream(back);
    EXPECT_EQ(HexOf(back), "aa bb");
    EXPECT_EQ(back.Cursor, 2);  // the target's position is not touched
    s.ReadStream(back);         // ... and reads back as an empty stream
    EXPECT_EQ(back.GetLength(), 0);

    int32_t pos = 7;
    auto got = s.GetStream(pos);
    EXPECT_EQ(HexOf(*got), "aa bb");
    EXPECT_EQ(s.GetStream(pos)->GetLength(), 0);
    EXPECT_EQ(pos, s.GetLength());

    zStream zero = FromHex("00 00 00 00");
    arr = {9};
    zero.ReadArray(arr);
    EXPECT_TRUE(arr.empty());

    // Writing a stream into itself stores its old contents.
    zStream self = FromHex("01");
    self.WriteStream(self);
    EXPECT_EQ(HexOf(self), "01 01 00 00 00 01");
}

TEST(Stream, BadCountsFailBeforeAllocating) {
    std::vector<uint8_t> arr;
    for (const char* hex : {"ff ff ff ff", "ff ff ff 7f 00", "04 00 00 00 01 02 03", "01 00"}) {
        zStream s = FromHex(hex);
        ExpectPastEnd([&] { s.ReadArray(arr); });
        EXPECT_EQ(s.Cursor, 0);
        zStream target;
        ExpectPastEnd([&] { s.ReadStream(target); });
        int32_t pos = 0;
        ExpectPastEnd([&] { s.GetStream(pos); });
        EXPECT_EQ(pos, 0);
    }
    zStream grid = FromHex("ff ff ff 7f ff ff ff 7f 00");
    Grid<int32_t> g;
    ExpectPastEnd([&] { grid.ReadArrayLong2D(g); });
    zStream negative = FromHex("ff ff ff ff 01 00 00 00 00");
    EXPECT_THROW(negative.ReadArrayLong2D(g), RuntimeError);
    EXPECT_EQ(negative.Cursor, 0);
}

TEST(Stream, TwoDimensionalArraysFirstIndexFastest) {
    Grid<uint8_t> g(2, 3);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 2; ++i) g(i, j) = uint8_t(0x10 * i + j);  // (i, j) -> 0xij
    zStream s;
    s.WriteArrayByte2D(g);
    EXPECT_EQ(HexOf(s), "02 00 00 00 03 00 00 00 00 10 01 11 02 12");
    Grid<uint8_t> back;
    s.ReadArrayByte2D(back);
    EXPECT_EQ(back.d1, 2);
    EXPECT_EQ(back.d2, 3);
    EXPECT_EQ(back.data, g.data);

    Grid<int32_t> gl(2, 1);
    gl(0, 0) = -1;
    gl(1, 0) = 0x01020304;
    Grid<int16_t> gi(1, 2);
    gi(0, 0) = 5;
    gi(0, 1) = -6;
    zStream t;
    t.WriteArrayLong2D(gl);
    t.WriteArrayInteger2D(gi);
    EXPECT_EQ(HexOf(t), "02 00 00 00 01 00 00 00 ff ff ff ff 04 03 02 01 01 00 00 00 02 00 00 00 05 00 fa ff");
    Grid<int32_t> gl2;
    Grid<int16_t> gi2;
    t.ReadArrayLong2D(gl2);
    t.ReadArrayInteger2D(gi2);
    EXPECT_EQ(gl2.data, gl.data);
    EXPECT_EQ(gi2.data, gi.data);
    EXPECT_EQ(gi2.At(0, 1), -6);
    EXPECT_THROW(gi2.At(1, 0), RuntimeError);

    Grid<uint8_t> inconsistent;
    inconsistent.d1 = 3;
    inconsistent.d2 = 3;
    EXPECT_THROW(s.WriteArrayByte2D(inconsistent), RuntimeError);
}

TEST(Stream, VectorsAndRecords) {
    zStream s;
    s.WriteVector2({1.0f, -2.0f});
    s.WriteVector({1.0f, 2.0f, 3.0f});
    s.WriteQuat({0.0f, 0.0f, 0.0f, 1.0f});
    EXPECT_EQ(s.GetLength(), 8 + 12 + 16);
    Vector2 v2;
    Vector3 v3;
    Quat q;
    s.ReadVector2(v2);
    s.ReadVector(v3);
    s.ReadQuat(q);
    EXPECT_EQ(v2, (Vector2{1.0f, -2.0f}));
    EXPECT_EQ(v3, (Vector3{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(q, (Quat{0.0f, 0.0f, 0.0f, 1.0f}));
    ExpectPastEnd([&] { s.ReadVector2(v2); });

    struct Rec {
        int32_t a;
        int16_t b;
        uint8_t c, d;
    };
    zStream r;
    r.WriteType(Rec{7, -1, 2, 3});
    EXPECT_EQ(HexOf(r), "09 00 00 00 07 00 00 00 ff ff 02 03 00");
    Rec back{};
    r.ReadType(back);
    EXPECT_EQ(back.a, 7);
    EXPECT_EQ(back.b, -1);
    EXPECT_EQ(back.d, 3);
    zStream shortRec = FromHex("02 00 00 00 01 02");
    ExpectPastEnd([&] { shortRec.ReadType(back); });
}

TEST(Stream, ExportAndImportAsAField) {
    zStream empty, outer;
    empty.Export(outer);
    EXPECT_EQ(HexOf(outer), "00 00 00 00 01 00 00 00 00");

    zStream filled = FromHex("de ad");
    filled.Export(outer);
    zStream a = FromHex("77"), b;
    a.Cursor = 1;
    ASSERT_TRUE(a.Import(outer));
    EXPECT_EQ(a.GetLength(), 0);
    EXPECT_EQ(a.Cursor, 0);
    ASSERT_TRUE(b.Import(outer));
    EXPECT_EQ(HexOf(b), "de ad");

    // The length may not exceed the stored array.
    zStream bad = FromHex("03 00 00 00 02 00 00 00 de ad");
    EXPECT_THROW(b.Import(bad), RuntimeError);
    EXPECT_EQ(bad.Cursor, 0);
    EXPECT_EQ(HexOf(b), "de ad");
}

TEST(Stream, LengthAndDataManagement) {
    zStream s = FromHex("01 02 03");
    s.Cursor = 2;
    s.SetLength(-5);
    EXPECT_EQ(HexOf(s), "01 02 03");
    s.SetLength(5);
    EXPECT_EQ(HexOf(s), "01 02 03 00 00");
    s.SetLength(1);
    EXPECT_EQ(HexOf(s), "01");
    s.SetData({4, 5});
    EXPECT_EQ(HexOf(s), "04 05");
    EXPECT_EQ(s.Cursor, 2);
    s.SetLength(0);
    std::vector<uint8_t> d;
    EXPECT_EQ(s.GetData(d), 0);
    EXPECT_EQ(d, std::vector<uint8_t>{0});
    s.WriteByte(9);
    s.Reset();
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.Cursor, 0);
}

TEST(Stream, FileExportAndImport) {
    TempDir dir;
    zStream empty;
    ASSERT_TRUE(empty.FileExport(dir.Path("e.dat"), false));
    zStream back;
    ASSERT_TRUE(back.FileImport(dir.Path("e.dat")));
    EXPECT_EQ(back.GetLength(), 1);  // the one data byte of an empty stream
    EXPECT_EQ(HexOf(back), "00");

    zStream s;
    for (int i = 0; i < 1000; ++i) s.WriteLong(i % 10);
    s.Cursor = 17;
    ASSERT_TRUE(s.FileExport(dir.Path("s.dat"), true, "pw"));
    EXPECT_EQ(s.Cursor, 0);
    EXPECT_EQ(s.GetLength(), 4000);
    back.Cursor = 5;
    ASSERT_TRUE(back.FileImport(dir.Path("s.dat"), "pw"));
    EXPECT_EQ(back.Bytes(), s.Bytes());
    EXPECT_EQ(back.Cursor, 0);

    // A failed load leaves the stream empty.
    EXPECT_FALSE(back.FileImport(dir.Path("s.dat"), "wrong"));
    EXPECT_EQ(back.GetLength(), 0);
    EXPECT_EQ(back.Cursor, 0);
    EXPECT_FALSE(back.FileImport(dir.Path("none.dat")));
    EXPECT_EQ(back.GetLength(), 0);
}
