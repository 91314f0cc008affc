// PNG decoding of generated files and of hostile ones, the colour key, and
// the BMP writer.
#include <gtest/gtest.h>
#include <png.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "platform/Image.h"
#include "platform/RenderBackend.h"
#include "tests/support/PictureSamples.h"
#include "tests/support/TestSupport.h"

using namespace zun;

namespace {

using test::EncodePng;
using test::PngSpec;

Image Decode(const std::vector<uint8_t>& file) {
    Image img;
    std::string error;
    EXPECT_TRUE(DecodePng(file.data(), file.size(), img, &error)) << error;
    return img;
}

}  // namespace

TEST(PngLoader, ExpandsEveryPixelFormatToRgba) {
    {  // RGBA 8
        PngSpec s;
        Image img = Decode(EncodePng(s, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
        ASSERT_EQ(img.Width, 2);
        ASSERT_EQ(img.Height, 2);
        EXPECT_EQ(img.Pixels, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
        EXPECT_EQ(img.ARGB(1, 0), 0x08050607u);
    }
    {  // RGB 8 gets opaque alpha
        PngSpec s;
        s.w = 1, s.colorType = PNG_COLOR_TYPE_RGB;
        Image img = Decode(EncodePng(s, {10, 20, 30, 40, 50, 60}));
        EXPECT_EQ(img.Pixels, (std::vector<uint8_t>{10, 20, 30, 255, 40, 50, 60, 255}));
    }
    {  // palette with transparency, 4 bits
        PngSpec s;
        s.w = 2, s.h = 1, s.colorType = PNG_COLOR_TYPE_PALETTE, s.bitDepth = 4;
        s.palette = {{255, 0, 0}, {0, 0, 255}};
        s.trnsAlpha = {128};
        Image img = Decode(EncodePng(s, {0x01}));
        EXPECT_EQ(img.Pixels, (std::vector<uint8_t>{255, 0, 0, 128, 0, 0, 255, 255}));
    }
    {  // grey 1 bit with a transparent grey value
        PngSpec s;
        s.w = 3, s.h = 1, s.colorType = PNG_COLOR_TYPE_GRAY, s.bitDepth = 1;
        s.trnsColor = true;
        s.trnsValue.gray = 0;
        Image img = Decode(EncodePng(s, {0b10100000}));
        EXPECT_EQ(img.Pixels, (std::vector<uint8_t>{255, 255, 255, 255, 0, 0, 0, 0, 255, 255, 255, 255}));
    }
    {  // plain grey and plain palette get opaque alpha
        PngSpec s;
        s.w = 2, s.h = 1, s.colorType = PNG_COLOR_TYPE_GRAY;
        EXPECT_EQ(Decode(EncodePng(s, {0x10, 0xF0})).Pixels,
                  (std::vector<uint8_t>{0x10, 0x10, 0x10, 255, 0xF0, 0xF0, 0xF0, 255}));
        s.colorType = PNG_COLOR_TYPE_PALETTE;
        s.palette = {{1, 2, 3}, {4, 5, 6}};
        EXPECT_EQ(Decode(EncodePng(s, {1, 0})).Pixels, (std::vector<uint8_t>{4, 5, 6, 255, 1, 2, 3, 255}));
    }
    {  // grey + alpha 16 bits: scaled to 8 bits
        PngSpec s;
        s.w = 1, s.h = 1, s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, s.bitDepth = 16;
        Image img = Decode(EncodePng(s, {0x80, 0x00, 0xFF, 0xFF}));
        EXPECT_EQ(img.Pixels, (std::vector<uint8_t>{0x80, 0x80, 0x80, 0xFF}));
    }
    {  // interlaced RGB with a gamma chunk: same pixels, no correction
        PngSpec s;
        s.w = 3, s.h = 3, s.colorType = PNG_COLOR_TYPE_RGB, s.interlaced = true, s.gamma = true;
        std::vector<uint8_t> rgb;
        for (int i = 0; i < 27; ++i) rgb.push_back(uint8_t(i * 9));
        Image img = Decode(EncodePng(s, rgb));
        ASSERT_EQ(img.Pixels.size(), 36u);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(img.Pixels[i * 4], rgb[i * 3]);
            EXPECT_EQ(img.Pixels[i * 4 + 2], rgb[i * 3 + 2]);
            EXPECT_EQ(img.Pixels[i * 4 + 3], 255);
        }
    }
}

TEST(PngLoader, RefusesBrokenFilesCleanly) {
    PngSpec s;
    s.w = 16, s.h = 16;
    std::vector<uint8_t> good = EncodePng(s, std::vector<uint8_t>(16 * 16 * 4, 7));
    Image img;
    std::string error;

    EXPECT_FALSE(DecodePng(good.data(), 7, img, &error));
    EXPECT_EQ(error, "not a PNG file");
    const uint8_t text[] = "GIF89a....";
    EXPECT_FALSE(DecodePng(text, sizeof text, img, &error));
    EXPECT_FALSE(DecodePng(nullptr, 0, img, &error));

    // Every truncation fails with a reason and leaves no pixels behind.
    for (size_t n : {size_t(8), size_t(20), size_t(33), good.size() / 2, good.size() - 13}) {
        img.Width = 99;
        error.clear();
        EXPECT_FALSE(DecodePng(good.data(), n, img, &error)) << n;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(img.Width, 0);
        EXPECT_TRUE(img.Pixels.empty());
    }

    // A corrupted header checksum, and a header claiming a huge picture.
    std::vector<uint8_t> bad = good;
    bad[29] ^= 0xFF;
    EXPECT_FALSE(DecodePng(bad.data(), bad.size(), img, &error));
    PngSpec big;
    big.w = kMaxTextureSide + 1, big.h = 1, big.colorType = PNG_COLOR_TYPE_GRAY;
    std::vector<uint8_t> wide = EncodePng(big, std::vector<uint8_t>(size_t(big.w), 0));
    EXPECT_FALSE(DecodePng(wide.data(), wide.size(), img, &error));
}

// The growth of this process's peak resident memory while `work` runs, in a
// child process so that nothing else moves the peak; -1 when the child fails.
long PeakGrowthKiB(const std::function<void()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        work();
        getrusage(RUSAGE_SELF, &after);
        const long grown = after.ru_maxrss - before.ru_maxrss;
        _exit(write(fds[1], &grown, sizeof grown) == sizeof grown ? 0 : 1);
    }
    close(fds[1]);
    long grown = -1;
    if (read(fds[0], &grown, sizeof grown) != sizeof grown) grown = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? grown : -1;
}

// A chunk with its length and check sum, to put into a file by hand.
std::vector<uint8_t> Chunk(const char* name, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> c;
    const uint32_t n = uint32_t(data.size());
    c.insert(c.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    c.insert(c.end(), name, name + 4);
    c.insert(c.end(), data.begin(), data.end());
    const uint32_t crc = uint32_t(crc32(crc32(0, &c[4], 4), data.data(), uInt(data.size())));
    c.insert(c.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
    return c;
}

// Whatever its chunks claim, a file costs its picture and a small margin:
// the chunks that carry no pixels are read past, never kept.
TEST(PngLoader, ChunksWithoutPixelsCostNoMemory) {
    // 123 bytes that once made the decoder take 2 GB.
    const std::vector<uint8_t> bomb = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
        0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x03, 0x00, 0x00, 0x00, 0xc3, 0xfc, 0x8f, 0xb8, 0x00, 0x00, 0x00,
        0x24, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73,
        0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73,
        0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x73, 0x71, 0x73, 0x73, 0x73, 0x73, 0x73, 0x50, 0x4c, 0x54, 0x45,
        0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0x6c, 0xa1, 0xfd, 0x8e, 0x00, 0x00, 0x00, 0x01, 0x74, 0x52, 0x4e, 0x53,
        0x80, 0xad, 0x5e, 0x5b, 0x00, 0x46, 0x00, 0x00, 0x0b, 0x49, 0x44, 0x78, 0x60, 0x60, 0x82};
    std::string error;
    const long grown = PeakGrowthKiB([&] {
        Image img;
        DecodePng(bomb.data(), bomb.size(), img, &error);
    });
    ASSERT_GE(grown, 0);
    EXPECT_LT(grown, 16 * 1024) << "KiB for a 2 x 1 picture";
    Image img;
    EXPECT_FALSE(DecodePng(bomb.data(), bomb.size(), img, &error));
    EXPECT_FALSE(error.empty());

    // A good file with 8 MB of palette suggestions and text in it loads as
    // without them, the chunks read past.
    PngSpec s;
    s.w = 2, s.h = 1, s.colorType = PNG_COLOR_TYPE_RGB;
    std::vector<uint8_t> good = EncodePng(s, {1, 2, 3, 4, 5, 6});
    std::vector<uint8_t> splt = {'p', 0, 8};
    splt.resize(4 << 20, 7);
    std::vector<uint8_t> text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
    text.resize(4 << 20, 'x');
    std::vector<uint8_t> extra = Chunk("sPLT", splt);
    std::vector<uint8_t> more = Chunk("tEXt", text);
    extra.insert(extra.end(), more.begin(), more.end());
    good.insert(good.begin() + 33, extra.begin(), extra.end());  // behind the header
    const long loaded = PeakGrowthKiB([&] {
        Image copy;
        DecodePng(good.data(), good.size(), copy, &error);
    });
    EXPECT_LT(loaded, 4 * 1024) << "KiB for a 2 x 1 picture";
    EXPECT_EQ(Decode(good).Pixels, (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));
}

TEST(PngLoader, LoadsFromFile) {
    test::TempDir dir;
    PngSpec s;
    s.w = 1, s.h = 1;
    test::WriteHostFile(dir.HostPath("a.png"), EncodePng(s, {9, 8, 7, 6}));
    Image img;
    std::string error;
    ASSERT_TRUE(LoadPngFile(dir.HostPath("a.png"), img, &error)) << error;
    EXPECT_EQ(img.ARGB(0, 0), 0x06090807u);
    EXPECT_FALSE(LoadPngFile(dir.HostPath("missing.png"), img, &error));
    std::FILE* f = std::fopen(dir.HostPath("empty.png").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_FALSE(LoadPngFile(dir.HostPath("empty.png"), img, &error));
}

TEST(ColorKey, MatchesTheExactArgbValueOnly) {
    // magenta opaque, magenta half transparent, white opaque, black transparent
    Image img;
    img.Width = 4, img.Height = 1;
    img.Pixels = {255, 0, 255, 255, 255, 0, 255, 128, 255, 255, 255, 255, 0, 0, 0, 0};
    Image keyed = img;
    ApplyColorKey(keyed, 0xFFFF00FFu);
    EXPECT_EQ(keyed.ARGB(0, 0), 0u);
    EXPECT_EQ(keyed.ARGB(1, 0), 0x80FF00FFu) << "another alpha is another colour";
    EXPECT_EQ(keyed.ARGB(2, 0), 0xFFFFFFFFu);

    keyed = img;
    ApplyColorKey(keyed, 0xFFFFFFFFu);  // key -1: opaque white
    EXPECT_EQ(keyed.ARGB(2, 0), 0u);
    EXPECT_EQ(keyed.ARGB(0, 0), 0xFFFF00FFu);

    keyed = img;
    ApplyColorKey(keyed, 0);
    EXPECT_EQ(keyed.Pixels, img.Pixels) << "key 0 is no key";

    // Through a decoded file: one pixel equal to the key turns transparent.
    PngSpec s;
    s.colorType = PNG_COLOR_TYPE_RGB;
    Image file = Decode(EncodePng(s, {255, 0, 255, 1, 2, 3, 255, 0, 254, 255, 0, 255}));
    ApplyColorKey(file, 0xFFFF00FFu);
    EXPECT_EQ(file.ARGB(0, 0), 0u);
    EXPECT_EQ(file.ARGB(1, 0), 0xFF010203u);
    EXPECT_EQ(file.ARGB(0, 1), 0xFFFF00FEu);
    EXPECT_EQ(file.ARGB(1, 1), 0u);
}

TEST(BmpWriter, WritesHeaderAndBottomUpPaddedRows) {
    // 3 x 2: top row red, green, blue; bottom row white, black, grey.
    const std::vector<uint8_t> rgba = {255, 0,   0,   255, 0, 255, 0, 255, 0,   0,   255, 255,
                                       255, 255, 255, 9,   0, 0,   0, 255, 128, 128, 128, 0};
    std::vector<uint8_t> bmp = EncodeBmp24(rgba.data(), 3, 2);
    const size_t stride = 12;  // 9 bytes padded to 12
    ASSERT_EQ(bmp.size(), 54 + stride * 2);
    auto u32 = [&](size_t at) { return uint32_t(bmp[at]) | bmp[at + 1] << 8 | bmp[at + 2] << 16 | uint32_t(bmp[at + 3]) << 24; };
    auto u16 = [&](size_t at) { return uint32_t(bmp[at]) | bmp[at + 1] << 8; };
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(u32(2), bmp.size());
    EXPECT_EQ(u32(6), 0u);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 3u);
    EXPECT_EQ(u32(22), 2u);
    EXPECT_EQ(u16(26), 1u);
    EXPECT_EQ(u16(28), 24u);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), stride * 2);
    // The first stored row is the bottom one, as B, G, R.
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 54, bmp.begin() + 66),
              (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 66, bmp.end()),
              (std::vector<uint8_t>{0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}));

    EXPECT_TRUE(EncodeBmp24(rgba.data(), 0, 2).empty());
    EXPECT_TRUE(EncodeBmp24(nullptr, 3, 2).empty());
    EXPECT_TRUE(EncodeBmp24(rgba.data(), 40000, 1).empty());

    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(SaveBmp24(dir.HostPath("shot.bmp"), rgba.data(), 3, 2, &error)) << error;
    EXPECT_EQ(test::ReadHostFile(dir.HostPath("shot.bmp")), bmp);
    EXPECT_FALSE(SaveBmp24(dir.HostPath("no/such/folder/shot.bmp"), rgba.data(), 3, 2, &error));
}
