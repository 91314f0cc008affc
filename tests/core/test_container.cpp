#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "core/zCore.h"
#include "core/zDataFile.h"
#include "support/TestSupport.h"

using namespace zun;
using zun::test::Hex;
using zun::test::LogCapture;
using zun::test::ReadHostFile;
using zun::test::TempDir;
using zun::test::ToHex;
using zun::test::WriteHostFile;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> KeyStream(const std::string& key, int32_t length) {
    std::vector<uint8_t> k = Bytes(key);
    zEncrypt::GenerateKey(k, length);
    return k;
}

int32_t Field(const std::vector<uint8_t>& file, size_t offset) {
    int32_t v;
    std::memcpy(&v, file.data() + offset, 4);
    return v;
}

void SetField(std::vector<uint8_t>& file, size_t offset, int32_t v) { std::memcpy(file.data() + offset, &v, 4); }

// Recomputes the stored CRC after a payload was changed on purpose.
void FixStoredCrc(std::vector<uint8_t>& file) {
    SetField(file, 8, CRC32(file.data() + DataFileHeaderSize, file.size() - DataFileHeaderSize));
}

std::vector<uint8_t> PackedFile(const std::string& text) {
    std::vector<uint8_t> data = Bytes(text), file;
    EXPECT_TRUE(SaveDataBytes(data, true, "", file));
    return file;
}

}  // namespace

TEST(Checksum, StandardCrc32Values) {
    EXPECT_EQ(CRC32(Bytes("123456789")), -873187034);
    EXPECT_EQ(static_cast<uint32_t>(CRC32(Bytes("123456789"))), 0xCBF43926u);
    EXPECT_EQ(static_cast<uint32_t>(CRC32(Bytes("Ab"))), 0x0B076CCFu);
    EXPECT_EQ(static_cast<uint32_t>(CRC32(Bytes("Hello"))), 0xF7D18982u);
    EXPECT_EQ(static_cast<uint32_t>(CRC32(std::vector<uint8_t>{0})), 0xD202EF8Du);
    EXPECT_EQ(CRC32(std::vector<uint8_t>{}), 0);
}

TEST(Encryption, KeyStreamVectors) {
    EXPECT_EQ(ToHex(KeyStream("abc", 5)), "c1 1f 2e 5c 21");
    EXPECT_EQ(ToHex(KeyStream("Key", 16)), "81 cb da f1 a8 f0 43 8c 89 27 2a 2d 32 0b c7 78");
    EXPECT_EQ(ToHex(KeyStream("x", 8)), "42 41 31 10 8c 2e ee 63");
    EXPECT_EQ(ToHex(KeyStream("secret", 9)), "f1 fa e9 56 55 04 39 c8 6a");
    // Deterministic: the same key and length give the same stream.
    EXPECT_EQ(KeyStream("secret", 300), KeyStream("secret", 300));
    EXPECT_TRUE(KeyStream("abc", 0).empty());
}

TEST(Encryption, EncryptIsItsOwnInverse) {
    std::vector<uint8_t> d = Bytes("Hello");
    EXPECT_TRUE(zEncrypt::Encrypt(d, "abc", true));
    EXPECT_EQ(ToHex(d), "89 7a 42 30 4e");
    EXPECT_EQ(zCore.CurrentProc, "GenerateKey");
    EXPECT_TRUE(zEncrypt::Encrypt(d, "abc", false));
    EXPECT_EQ(d, Bytes("Hello"));

    d = Bytes("123456789");
    zEncrypt::Encrypt(d, "secret", true);
    EXPECT_EQ(ToHex(d), "c0 c8 da 62 60 32 0e f0 53");
}

TEST(Encryption, EmptyKeyChangesNothing) {
    std::vector<uint8_t> d = Bytes("Hello");
    EXPECT_FALSE(zEncrypt::Encrypt(d, "", true));
    EXPECT_EQ(d, Bytes("Hello"));
    EXPECT_EQ(zCore.CurrentProc, "Encrypt");

    std::vector<uint8_t> keep = {7};
    EXPECT_EQ(zEncrypt::StringToBytes("", keep), -1);
    EXPECT_EQ(keep, std::vector<uint8_t>{7});
    EXPECT_EQ(zEncrypt::StringToBytes("ab", keep), 1);
    EXPECT_EQ(keep, Bytes("ab"));
}

TEST(Encryption, Helpers) {
    EXPECT_EQ(zEncrypt::SingleToLong(1.0f), 0x3F800000);
    EXPECT_EQ(zEncrypt::SingleToLong(-2.0f), static_cast<int32_t>(0xC0000000u));
    // Sums stay exact beyond the range of a Long.
    EXPECT_EQ(zEncrypt::ByteSum(std::vector<uint8_t>(10'000'000, 255)), 2'550'000'000LL);

    std::vector<uint8_t> d = {1, 2, 3};
    zEncrypt::XorBytes(d, {1, 1});
    EXPECT_EQ(d, (std::vector<uint8_t>{1, 2, 3}));
    zEncrypt::XorBytes(d, {1, 1, 1});
    EXPECT_EQ(d, (std::vector<uint8_t>{0, 3, 2}));

    std::vector<uint8_t> none;
    EXPECT_THROW(zEncrypt::GenerateKey(none, 4), RuntimeError);
}

TEST(Packing, ZipAndUnzip) {
    std::vector<uint8_t> plain(1000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i % 7);
    std::vector<uint8_t> packed;
    EXPECT_EQ(zZip::ZipData(plain, packed), 1000);
    EXPECT_LT(packed.size(), plain.size());

    std::vector<uint8_t> out;
    EXPECT_EQ(zZip::UnzipData(packed, out, 1000), 1000);
    EXPECT_EQ(out, plain);
    // The stated size must be the real one, in either direction.
    EXPECT_EQ(zZip::UnzipData(packed, out, 1001), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(zZip::UnzipData(packed, out, 999), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(zZip::UnzipData(packed, out, 0), 0);

    std::vector<uint8_t> d = plain;
    ASSERT_TRUE(zZip::AutoZip(d));
    EXPECT_EQ(Field(d, d.size() - 4), 1000);
    EXPECT_TRUE(zZip::AutoUnzip(d));
    EXPECT_EQ(d, plain);
}

TEST(Packing, BadInputFailsCleanly) {
    LogCapture log;
    std::vector<uint8_t> tiny = {1, 2};
    EXPECT_FALSE(zZip::AutoUnzip(tiny));
    EXPECT_TRUE(log.Contains("ERR\tAutoUnzip"));

    // A trailer asking for more than the cap is refused before anything is reserved.
    std::vector<uint8_t> packed, out;
    zZip::ZipData(Bytes("Hello"), packed);
    EXPECT_EQ(zZip::UnzipData(packed, out, 0x7FFFFFFF), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(log.Contains("ERR\tUnzipData\tOut of memory"));

    std::vector<uint8_t> garbage = {1, 2, 3, 4, 5, 6, 7, 5, 0, 0, 0};
    EXPECT_FALSE(zZip::AutoUnzip(garbage));
    EXPECT_EQ(garbage.size(), 7u);  // left without its trailer

    std::vector<uint8_t> empty;
    EXPECT_EQ(zZip::ZipData(empty, out), 0);
    EXPECT_FALSE(zZip::AutoZip(empty));
}

TEST(Container, PlainFilesByteForByte) {
    TempDir dir;
    std::vector<uint8_t> ab = Bytes("Ab");
    ASSERT_TRUE(SaveDataFile(dir.Path("ab.dat"), ab, false, ""));
    EXPECT_EQ(ToHex(ReadHostFile(dir.HostPath("ab.dat"))),
              "5a 55 4e 32 01 00 00 00 cf 6c 07 0b 00 00 00 00 01 00 00 00 cf 6c 07 0b 41 62");

    std::vector<uint8_t> zero = {0};
    ASSERT_TRUE(SaveDataFile(dir.Path("zero.dat"), zero, false, ""));
    EXPECT_EQ(ToHex(ReadHostFile(dir.HostPath("zero.dat"))),
              "5a 55 4e 32 00 00 00 00 8d ef 02 d2 00 00 00 00 00 00 00 00 8d ef 02 d2 00");

    std::vector<uint8_t> back;
    ASSERT_TRUE(LoadDataFile(dir.Path("ab.dat"), back, ""));
    EXPECT_EQ(back, Bytes("Ab"));
    ASSERT_TRUE(LoadDataFile(dir.Path("zero.dat"), back, ""));
    EXPECT_EQ(back, std::vector<uint8_t>{0});
    // No temporary file stays behind.
    EXPECT_FALSE(std::filesystem::exists(dir.HostPath("ab.dat.tmp")));
}

TEST(Container, EncryptedFileByteForByte) {
    TempDir dir;
    std::vector<uint8_t> d = Bytes("Hello");
    ASSERT_TRUE(SaveDataFile(dir.Path("enc.dat"), d, false, "abc"));
    EXPECT_EQ(ToHex(d), "89 7a 42 30 4e");  // handed back as stored
    EXPECT_EQ(ToHex(ReadHostFile(dir.HostPath("enc.dat"))),
              "5a 55 4e 32 04 00 00 00 cc 66 6a 43 02 00 00 00 04 00 00 00 82 89 d1 f7 89 7a 42 30 4e");
    std::vector<uint8_t> back;
    ASSERT_TRUE(LoadDataFile(dir.Path("enc.dat"), back, "abc"));
    EXPECT_EQ(back, Bytes("Hello"));
}

TEST(Container, PackedFileHeaderAndRoundTrip) {
    std::vector<uint8_t> file = PackedFile("Hello");
    EXPECT_EQ(ToHex({file.begin(), file.begin() + 4}), "5a 55 4e 32");
    EXPECT_EQ(Field(file, 4), int32_t(file.size() - 25));
    EXPECT_EQ(Field(file, 8), CRC32(file.data() + 24, file.size() - 24));
    EXPECT_EQ(Field(file, 12), 1);
    EXPECT_EQ(Field(file, 16), 4);
    EXPECT_EQ(static_cast<uint32_t>(Field(file, 20)), 0xF7D18982u);
    EXPECT_EQ(Field(file, file.size() - 4), 5);  // plain size trailer
    // The payload before the trailer is a zlib stream of the plain bytes.
    std::vector<uint8_t> out(5);
    uLongf n = 5;
    ASSERT_EQ(uncompress(out.data(), &n, file.data() + 24, uLong(file.size() - 28)), Z_OK);
    EXPECT_EQ(out, Bytes("Hello"));

    std::vector<uint8_t> back;
    ASSERT_TRUE(LoadDataBytes(file, back, "", "mem"));
    EXPECT_EQ(back, Bytes("Hello"));

    // Larger, repetitive data through a real file.
    TempDir dir;
    std::vector<uint8_t> big(200000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t((i * 31) % 251 ^ (i >> 9));
    std::vector<uint8_t> copy = big;
    ASSERT_TRUE(SaveDataFile(dir.Path("big.dat"), copy, true, ""));
    EXPECT_LT(ReadHostFile(dir.HostPath("big.dat")).size(), big.size());
    ASSERT_TRUE(LoadDataFile(dir.Path("big.dat"), back, ""));
    EXPECT_EQ(back, big);
}

TEST(Container, PackedThenEncrypted) {
    std::vector<uint8_t> d = Bytes("Hello"), file;
    ASSERT_TRUE(SaveDataBytes(d, true, "abc", file));
    EXPECT_EQ(Field(file, 12), 3);
    EXPECT_EQ(Field(file, 16), 4);
    // Decrypting the payload gives the packed form with its trailer.
    std::vector<uint8_t> payload(file.begin() + 24, file.end());
    zEncrypt::XorBytes(payload, KeyStream("abc", int32_t(payload.size())));
    std::vector<uint8_t> packedOnly = PackedFile("Hello");
    EXPECT_EQ(payload, std::vector<uint8_t>(packedOnly.begin() + 24, packedOnly.end()));
    std::vector<uint8_t> back;
    ASSERT_TRUE(LoadDataBytes(file, back, "abc", "mem"));
    EXPECT_EQ(back, Bytes("Hello"));
}

TEST(Container, MagicsOfOtherFormats) {
    LogCapture log;
    std::vector<uint8_t> out;
    std::vector<uint8_t> f = Hex("5a 55 4e 31 00 00 00 00");
    EXPECT_FALSE(LoadDataBytes(f, out, "", "a.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tUnsupported file format\tZUN1");
    f[3] = '3';
    EXPECT_FALSE(LoadDataBytes(f, out, "", "a.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tNo stream format\tZUN3");
    log.Clear();
    f[3] = '9';
    EXPECT_FALSE(LoadDataBytes(f, out, "", "a.dat"));
    EXPECT_FALSE(LoadDataBytes({}, out, "", "a.dat"));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(Container, FileSizeErrors) {
    LogCapture log;
    std::vector<uint8_t> good = Hex("5a 55 4e 32 01 00 00 00 cf 6c 07 0b 00 00 00 00 01 00 00 00 cf 6c 07 0b 41 62");
    std::vector<uint8_t> out;

    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(LoadDataBytes(longer, out, "", "long.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tFile size error\tlong.dat");

    auto shorter = good;
    shorter.pop_back();
    EXPECT_FALSE(LoadDataBytes(shorter, out, "", "short.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tFile size error\tshort.dat");

    // A bare header claiming a negative size is no file.
    auto bare = std::vector<uint8_t>(good.begin(), good.begin() + 24);
    SetField(bare, 4, -1);
    EXPECT_FALSE(LoadDataBytes(bare, out, "", "bare.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tFile size error\tbare.dat");

    auto cut = std::vector<uint8_t>(good.begin(), good.begin() + 10);
    EXPECT_FALSE(LoadDataBytes(cut, out, "", "cut.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tFile size error\tcut.dat");
}

TEST(Container, IntegrityAndSizeErrors) {
    LogCapture log;
    std::vector<uint8_t> good = Hex("5a 55 4e 32 01 00 00 00 cf 6c 07 0b 00 00 00 00 01 00 00 00 cf 6c 07 0b 41 62");
    std::vector<uint8_t> out;

    auto flipped = good;
    flipped[25] ^= 1;
    EXPECT_FALSE(LoadDataBytes(flipped, out, "", "f.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tFile integrity error\tf.dat");

    auto badPlainCrc = good;
    badPlainCrc[20] ^= 1;
    EXPECT_FALSE(LoadDataBytes(badPlainCrc, out, "", "c.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData integrity error\tc.dat");

    auto badPlainSize = good;
    SetField(badPlainSize, 16, 2);
    EXPECT_FALSE(LoadDataBytes(badPlainSize, out, "", "s.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData size error\ts.dat");

    // Packed: a wrong plain CRC is found after a successful unpack.
    auto packed = PackedFile("Hello");
    packed[20] ^= 1;
    EXPECT_FALSE(LoadDataBytes(packed, out, "", "p.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData integrity error\tp.dat");
    EXPECT_EQ(out, Bytes("Hello"));
}

TEST(Container, EncryptedWithoutKey) {
    LogCapture log;
    std::vector<uint8_t> d = Bytes("Hello"), file, out;
    ASSERT_TRUE(SaveDataBytes(d, false, "abc", file));
    EXPECT_FALSE(LoadDataBytes(file, out, "", "e.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData integrity error\te.dat");
    EXPECT_EQ(ToHex(out), "89 7a 42 30 4e");  // still encrypted
    EXPECT_FALSE(LoadDataBytes(file, out, "abd", "e.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData integrity error\te.dat");

    d = Bytes("Hello");
    ASSERT_TRUE(SaveDataBytes(d, true, "abc", file));
    EXPECT_FALSE(LoadDataBytes(file, out, "", "pe.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData size error\tpe.dat");
}

TEST(Container, HostilePackedPayloads) {
    LogCapture log;
    std::vector<uint8_t> out;
    // The trailer asks for 2 GiB and the header agrees: refused before allocating.
    auto huge = PackedFile("Hello");
    SetField(huge, huge.size() - 4, 0x7FFFFFFF);
    SetField(huge, 16, 0x7FFFFFFE);
    FixStoredCrc(huge);
    EXPECT_FALSE(LoadDataBytes(huge, out, "", "h.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData size error\th.dat");

    // The trailer disagrees with the header.
    auto mismatch = PackedFile("Hello");
    SetField(mismatch, mismatch.size() - 4, 6);
    FixStoredCrc(mismatch);
    EXPECT_FALSE(LoadDataBytes(mismatch, out, "", "m.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData size error\tm.dat");

    // Both claim one byte more than the stream unpacks to.
    auto shortUnpack = PackedFile("Hello");
    SetField(shortUnpack, shortUnpack.size() - 4, 6);
    SetField(shortUnpack, 16, 5);
    FixStoredCrc(shortUnpack);
    EXPECT_FALSE(LoadDataBytes(shortUnpack, out, "", "u.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData size error\tu.dat");

    // A damaged zlib stream with a consistent outer checksum.
    auto broken = PackedFile("Hello");
    broken[26] ^= 0xFF;
    FixStoredCrc(broken);
    EXPECT_FALSE(LoadDataBytes(broken, out, "", "b.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData size error\tb.dat");

    // Flagged as packed but too short to hold a trailer.
    auto tiny = Hex("5a 55 4e 32 01 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 41 62");
    FixStoredCrc(tiny);
    EXPECT_FALSE(LoadDataBytes(tiny, out, "", "t.dat"));
    EXPECT_EQ(log.Lines().back(), "ERR\tData size error\tt.dat");
}

TEST(Container, FileErrorsCarryTheFileName) {
    TempDir dir;
    LogCapture log;
    std::vector<uint8_t> d = Bytes("Ab"), out;
    ASSERT_TRUE(SaveDataFile(dir.Path("x.dat"), d, false, ""));
    auto bytes = ReadHostFile(dir.HostPath("x.dat"));
    bytes.push_back(9);
    WriteHostFile(dir.HostPath("x.dat"), bytes);
    EXPECT_FALSE(LoadDataFile(dir.Path("x.dat"), out, ""));
    EXPECT_EQ(log.Lines().back(), "ERR\tFile size error\t" + dir.Path("x.dat"));

    log.Clear();
    EXPECT_FALSE(LoadDataFile(dir.Path("missing.dat"), out, ""));
    EXPECT_FALSE(LoadDataFile("", out, ""));
    WriteHostFile(dir.HostPath("two.dat"), {0x5a, 0x55});
    EXPECT_FALSE(LoadDataFile(dir.Path("two.dat"), out, ""));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(Container, FailedSaveKeepsTheOldFile) {
    TempDir dir;
    std::vector<uint8_t> d = Bytes("old"), out;
    ASSERT_TRUE(SaveDataFile(dir.Path("keep.dat"), d, true, ""));
    auto before = ReadHostFile(dir.HostPath("keep.dat"));

    std::vector<uint8_t> empty;
    EXPECT_FALSE(SaveDataFile(dir.Path("keep.dat"), empty, true, ""));
    EXPECT_EQ(ReadHostFile(dir.HostPath("keep.dat")), before);
    EXPECT_FALSE(std::filesystem::exists(dir.HostPath("keep.dat.tmp")));

    // A successful save replaces it, also when the name differs in case only.
    d = Bytes("new");
    ASSERT_TRUE(SaveDataFile(dir.Path("KEEP.DAT"), d, false, ""));
    ASSERT_TRUE(LoadDataFile(dir.Path("keep.dat"), out, ""));
    EXPECT_EQ(out, Bytes("new"));
    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Host())) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);

    d = Bytes("x");
    EXPECT_FALSE(SaveDataFile(dir.Path("no\\such\\folder\\f.dat"), d, false, ""));
    EXPECT_FALSE(SaveDataFile("", d, false, ""));
}

TEST(Packing, HighlyPackedDataUnpacksToExactlyTheStatedSize) {
    // Far beyond the first output block, so the output has to grow.
    std::vector<uint8_t> plain(5 * 1024 * 1024 + 3, 0);
    plain[12345] = 1;
    plain.back() = 2;
    std::vector<uint8_t> packed, out;
    ASSERT_EQ(zZip::ZipData(plain, packed), int32_t(plain.size()));
    ASSERT_LT(packed.size(), 64u * 1024);
    EXPECT_EQ(zZip::UnzipData(packed, out, int32_t(plain.size())), int32_t(plain.size()));
    EXPECT_EQ(out, plain);
    EXPECT_EQ(zZip::UnzipData(packed, out, int32_t(plain.size()) + 1), 0);
    EXPECT_EQ(zZip::UnzipData(packed, out, int32_t(plain.size()) - 1), 0);
    packed.resize(packed.size() - 1);  // cut inside the checksum
    EXPECT_EQ(zZip::UnzipData(packed, out, int32_t(plain.size())), 0);
    EXPECT_TRUE(out.empty());
}

// Files written now must be what earlier builds wrote: the packed payload is
// zlib's one-call compress of the plain bytes, whatever the size, from a few
// bytes to payloads of many output pieces, compressible or not, and both
// checksums in the header agree with the bytes.
TEST(Container, PackedPayloadIsExactlyZlibsCompress) {
    uint32_t x = 1;
    for (size_t size : {size_t(1), size_t(3000), size_t(65536 + 17), size_t(700000), size_t(3 << 20)}) {
        std::vector<uint8_t> plain(size);
        for (size_t i = 0; i < size; ++i) {
            x = x * 1664525u + 1013904223u;
            plain[i] = (i / 4096) % 3 == 1 ? uint8_t(x >> 24) : uint8_t("tile=17 layer=3;"[(i * 7) % 16]);
        }
        for (int noise : {0, 1}) {
            if (noise)
                for (auto& b : plain) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
            uLongf n = compressBound(uLong(size));
            std::vector<uint8_t> want(n);
            ASSERT_EQ(compress(want.data(), &n, plain.data(), uLong(size)), Z_OK);
            want.resize(n);
            std::vector<uint8_t> file;
            ASSERT_TRUE(SaveDataBytes(plain, true, "", file));
            ASSERT_EQ(file.size(), 24 + n + 4) << size;
            EXPECT_TRUE(std::equal(want.begin(), want.end(), file.begin() + 24)) << size;
            EXPECT_EQ(Field(file, file.size() - 4), int32_t(size));
            EXPECT_EQ(Field(file, 8), CRC32(file.data() + 24, file.size() - 24)) << size;
            EXPECT_EQ(Field(file, 20), CRC32(plain)) << size;
        }
    }
}
