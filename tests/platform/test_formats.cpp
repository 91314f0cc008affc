// The image and music file formats beyond PNG and PCM: each one made at test
// time, read back with its size and content, and refused with a reason when
// damaged or foreign.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/Image.h"
#include "platform/MediaDecode.h"
#include "tests/support/MediaSamples.h"
#include "tests/support/TestSupport.h"

using namespace zun;

namespace {

constexpr int32_t kW = 5, kH = 3;
constexpr uint32_t kKey = 0xFFFF00FFu;  // opaque magenta

// Four colours in blocks, magenta in the middle column, so JPEG's smoothing
// leaves each block near its colour.
const uint32_t kColours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, kKey};
int ColourAt(int32_t x, int32_t y) { return x == 2 ? 3 : (x < 2 ? 0 : 1 + (y & 1)); }

std::vector<uint8_t> Pixels() {
    std::vector<uint8_t> rgba;
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
            const uint32_t c = kColours[ColourAt(x, y)];
            rgba.insert(rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)});
        }
    return rgba;
}

// A GIF made byte by byte: a four-colour table (kColours) and a frame of
// fw x fh at (left, top) on a canvas of cw x ch, whose LZW codes are all
// literals, the table cleared before it can grow past 3-bit codes.
template <class IndexAt>
std::vector<uint8_t> GifOf(uint8_t cw, uint8_t ch, uint8_t left, uint8_t top, uint8_t fw, uint8_t fh,
                           IndexAt indexAt) {
    std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a', cw, 0, ch, 0, 0xF1, 0, 0};
    for (uint32_t c : kColours) g.insert(g.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    g.insert(g.end(), {0x2C, left, 0, top, 0, fw, 0, fh, 0, 0, 2});
    std::vector<uint8_t> data;
    uint32_t acc = 0;
    int bits = 0;
    auto code = [&](uint32_t c) {
        acc |= c << bits;
        bits += 3;
        while (bits >= 8) {
            data.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (int i = 0; i < fw * fh; ++i) {
        if (i % 2 == 0) code(4);  // clear
        code(uint32_t(indexAt(i % fw, i / fw)));
    }
    code(5);  // end of information
    if (bits > 0) data.push_back(uint8_t(acc));
    g.push_back(uint8_t(data.size()));
    g.insert(g.end(), data.begin(), data.end());
    g.insert(g.end(), {0, 0x3B});
    return g;
}

std::vector<uint8_t> MakeGif() { return GifOf(kW, kH, 0, 0, kW, kH, ColourAt); }

struct ImageCase {
    const char* name;
    int32_t code;  // -1: not a screenshot format (written by hand)
    bool lossless;
};

TEST(ImageFormats, EachFormatDecodesWithItsSizeColoursAndColourKey) {
    test::TempDir dir;
    const std::vector<uint8_t> rgba = Pixels();
    const ImageCase cases[] = {{"a.bmp", 0, true}, {"a.jpg", 1, false}, {"a.tga", 2, true},
                               {"a.png", 3, true}, {"a.dib", 6, true},  {"a.gif", -1, true}};
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.HostPath(c.name);
        std::string error;
        if (c.code >= 0) ASSERT_TRUE(SaveImage(path, c.code, rgba.data(), kW, kH, &error)) << error;
        else test::WriteHostFile(path, MakeGif());
        Image img;
        ASSERT_TRUE(LoadImageFile(path, img, &error)) << error;
        ASSERT_EQ(img.Width, kW);
        ASSERT_EQ(img.Height, kH);
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x) {
                const uint32_t want = kColours[ColourAt(x, y)], got = img.ARGB(x, y);
                if (c.lossless) {
                    EXPECT_EQ(got, want) << x << "," << y;
                } else {
                    for (int shift : {0, 8, 16}) EXPECT_NEAR(int(got >> shift & 0xFF), int(want >> shift & 0xFF), 60);
                }
            }
        if (c.lossless) {
            ApplyColorKey(img, kKey);
            for (int32_t y = 0; y < kH; ++y) EXPECT_EQ(img.ARGB(2, y), 0u);
            EXPECT_EQ(img.ARGB(0, 0), kColours[0]);
        }
    }
    // Screenshot codes without a file type answer false with a reason.
    for (int32_t code : {4, 5, 7, -1}) {
        std::string error;
        EXPECT_FALSE(IsSavableImageFormat(code));
        EXPECT_FALSE(SaveImage(dir.HostPath("x.img"), code, rgba.data(), kW, kH, &error));
        EXPECT_FALSE(error.empty());
    }
}

constexpr const char* kGifCanvasTooLarge = "GIF canvas too large for the data that fills it";

std::vector<uint8_t> Finding(const std::string& iName) {
    return test::ReadHostFile(std::string(ZUN_SOURCE_DIR) + "/fuzz/corpus/fuzz_images/finding-" + iName);
}

// A frame smaller than its canvas is common, and its canvas reads whole: the
// frame in its colours, the rest transparent. Only a canvas larger than any
// the file's bytes could fill is refused, at its header, by a rule of its own.
TEST(ImageFormats, AGifFrameSmallerThanItsCanvasLoadsAndOnlyAnUnfillableCanvasIsRefused) {
    const std::vector<uint8_t> gif = Finding("gif-16x16-frame-on-1000x1000-canvas.gif");
    ASSERT_EQ(gif.size(), 270u);
    Image img;
    std::string error;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(ReadImageSize(gif.data(), gif.size(), w, h, &error)) << error;
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 1000);
    ASSERT_TRUE(DecodeImage(gif.data(), gif.size(), img, &error)) << error;
    ASSERT_EQ(img.Width, 1000);
    ASSERT_EQ(img.Height, 1000);
    const std::vector<uint32_t> palette = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    for (int32_t y = 0; y < 1000; y += 3) {
        for (int32_t x = 0; x < 1000; x += 3) {
            const uint32_t c = img.ARGB(x, y);
            const bool coloured = std::find(palette.begin(), palette.end(), c) != palette.end();
            if (x < 16 && y < 16) EXPECT_TRUE(coloured) << x << "," << y;
            else ASSERT_EQ(c, 0u) << x << "," << y;
        }
    }
    for (const char* bomb : {"gif-canvas-8192-35-bytes.gif", "gif-texture-timeout.gif",
                             "gif-truncated-canvas-timeout.gif"}) {
        SCOPED_TRACE(bomb);
        const std::vector<uint8_t> bytes = Finding(bomb);
        ASSERT_FALSE(bytes.empty());
        EXPECT_FALSE(ReadImageSize(bytes.data(), bytes.size(), w, h, &error));
        EXPECT_EQ(error, kGifCanvasTooLarge);
        EXPECT_FALSE(DecodeImage(bytes.data(), bytes.size(), img, &error));
        EXPECT_EQ(error, kGifCanvasTooLarge);
        EXPECT_TRUE(img.Pixels.empty());
    }
}

TEST(ImageFormats, DamagedForeignAndOversizedImagesAreRefusedWithAReason) {
    test::TempDir dir;
    const std::vector<uint8_t> rgba = Pixels();
    std::vector<std::vector<uint8_t>> files = {MakeGif()};
    for (int32_t code : {0, 1, 2}) {
        ASSERT_TRUE(SaveImage(dir.HostPath("f"), code, rgba.data(), kW, kH));
        files.push_back(test::ReadHostFile(dir.HostPath("f")));
    }
    Image img;
    std::string error;
    for (const auto& good : files) {
        // Every cut of a good file decodes or fails cleanly.
        for (size_t n = 0; n < good.size(); ++n) {
            error.clear();
            if (DecodeImage(good.data(), n, img, &error)) {
                EXPECT_EQ(img.Pixels.size(), size_t(img.Width) * size_t(img.Height) * 4);
            } else {
                EXPECT_TRUE(img.Pixels.empty());
                EXPECT_FALSE(error.empty()) << n;
            }
        }
    }
    const std::string text = "#EXTM3U\nnot a picture at all\n";
    EXPECT_FALSE(DecodeImage(reinterpret_cast<const uint8_t*>(text.data()), text.size(), img, &error));
    EXPECT_NE(error.find("not a PNG, BMP, JPEG, TGA or GIF"), std::string::npos);
    // A header that claims more than a texture can hold is refused before
    // any pixel is decoded; the data behind it is never looked at.
    std::vector<uint8_t> huge = files[1];
    huge[18] = 0x00, huge[19] = 0x00, huge[20] = 0x01, huge[21] = 0x00;  // 65536 wide
    EXPECT_FALSE(DecodeImage(huge.data(), huge.size(), img, &error));
    EXPECT_EQ(error, "image size out of range");
    // A header whose picture the file is far too short to hold is refused,
    // not decoded into megabytes of zeros: a bare 5120 x 8192 TGA header,
    // and a good BMP cut by two of its rows.
    const std::vector<uint8_t> bareTga = {0, 0, 2, 0, 0x21, 0, 0, 0, 0, 0, 0, 0x46, 0x00, 0x14, 0x00, 0x20,
                                          8, 0, 6, 0, 4, 0, 0x20, 8, 0x36, 0xED};
    EXPECT_FALSE(DecodeImage(bareTga.data(), bareTga.size(), img, &error));
    EXPECT_EQ(error, "file is truncated");
    // Nor does a GIF: 35 bytes claiming an 8192 x 8192 canvas around a
    // one-pixel frame. The same file with a smaller canvas reads, its one
    // pixel set and the rest of the canvas transparent.
    std::vector<uint8_t> gifBomb = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x00, 0x20, 0x00, 0x20, 0x80, 0x00,
                                    0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0x2c, 0x00, 0x00, 0x00, 0x00,
                                    0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};
    int32_t w = 0, h = 0;
    EXPECT_FALSE(ReadImageSize(gifBomb.data(), gifBomb.size(), w, h, &error));
    EXPECT_EQ(error, kGifCanvasTooLarge);
    EXPECT_FALSE(DecodeImage(gifBomb.data(), gifBomb.size(), img, &error));
    EXPECT_EQ(error, kGifCanvasTooLarge);
    gifBomb[7] = gifBomb[9] = 0x01;  // 256 x 256
    ASSERT_TRUE(DecodeImage(gifBomb.data(), gifBomb.size(), img, &error)) << error;
    EXPECT_EQ(img.ARGB(0, 0), 0xFF000000u);
    EXPECT_EQ(img.ARGB(255, 255), 0u);
    std::vector<uint8_t> halfBmp = files[1];
    halfBmp.resize(halfBmp.size() - 2 * 16);
    EXPECT_FALSE(DecodeImage(halfBmp.data(), halfBmp.size(), img, &error));
    EXPECT_EQ(error, "file is truncated");
    std::vector<uint8_t> gif = MakeGif();
    gif[6] = 0xFF, gif[7] = 0xFF;
    EXPECT_FALSE(DecodeImage(gif.data(), gif.size(), img, &error));
    // A code size the format does not have: the library gives no reason of
    // its own, and one is given all the same.
    gif = MakeGif();
    gif[35] = 0x47;
    error.clear();
    EXPECT_FALSE(DecodeImage(gif.data(), gif.size(), img, &error));
    EXPECT_FALSE(error.empty());
}

// ---- pictures written the way other programs write them ----

void Le16(std::vector<uint8_t>& v, uint32_t x) { v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)}); }
void Le32(std::vector<uint8_t>& v, uint32_t x) {
    Le16(v, x & 0xFFFF);
    Le16(v, x >> 16);
}

// True when the header gives the picture as w x h and the whole file
// decodes to a picture of that size; the failure is reported otherwise.
bool ReadsAs(const std::vector<uint8_t>& iFile, int32_t w, int32_t h, Image& oImg) {
    std::string error;
    int32_t headerW = 0, headerH = 0;
    if (!ReadImageSize(iFile.data(), iFile.size(), headerW, headerH, &error)) {
        ADD_FAILURE() << "header refused: " << error;
        return false;
    }
    EXPECT_EQ(headerW, w);
    EXPECT_EQ(headerH, h);
    if (!DecodeImage(iFile.data(), iFile.size(), oImg, &error)) {
        ADD_FAILURE() << "refused: " << error;
        return false;
    }
    EXPECT_EQ(oImg.Width, w);
    EXPECT_EQ(oImg.Height, h);
    return oImg.Width == w && oImg.Height == h;
}

// A BMP: 8 bits with a full 256-entry palette, 24 bits, 32 bits with the
// fourth byte left at zero (as capture tools write), or 32 bits with a
// 124-byte header and bit masks that carry alpha (as paint programs write).
// Rows top to bottom (a negative height) when `topDown`.
std::vector<uint8_t> ForeignBmp(const std::vector<uint8_t>& rgba, int32_t w, int32_t h, int bits, bool topDown,
                                bool alphaMasks = false) {
    const uint32_t header = alphaMasks ? 124 : 40;
    const uint32_t paletteBytes = bits == 8 ? 256 * 4 : 0;
    const size_t stride = (size_t(w) * bits / 8 + 3) & ~size_t(3);
    std::vector<uint8_t> f = {'B', 'M'};
    Le32(f, uint32_t(14 + header + paletteBytes + stride * h));
    Le32(f, 0);
    Le32(f, 14 + header + paletteBytes);
    Le32(f, header);
    Le32(f, uint32_t(w));
    Le32(f, uint32_t(topDown ? -h : h));
    Le16(f, 1);
    Le16(f, uint32_t(bits));
    Le32(f, alphaMasks ? 3 : 0);
    Le32(f, uint32_t(stride * h));
    Le32(f, 2835), Le32(f, 2835), Le32(f, 0), Le32(f, 0);
    if (alphaMasks) {
        for (uint32_t m : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) Le32(f, m);
        f.resize(14 + header, 0);
    }
    std::vector<uint32_t> palette;
    auto indexOf = [&](const uint8_t* p) {
        const uint32_t c = uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
        auto it = std::find(palette.begin(), palette.end(), c);
        if (it != palette.end()) return uint8_t(it - palette.begin());
        palette.push_back(c);
        return uint8_t(palette.size() - 1);
    };
    std::vector<uint8_t> rows;
    for (int32_t r = 0; r < h; ++r) {
        const int32_t y = topDown ? r : h - 1 - r;
        const size_t start = rows.size();
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
            if (bits == 8) rows.push_back(indexOf(p));
            else rows.insert(rows.end(), {p[2], p[1], p[0]});
            if (bits == 32) rows.push_back(alphaMasks ? p[3] : 0);
        }
        rows.resize(start + stride, 0);
    }
    if (bits == 8) {
        palette.resize(256, 0x123456);
        for (uint32_t c : palette) f.insert(f.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0});
    }
    f.insert(f.end(), rows.begin(), rows.end());
    return f;
}

// A TGA: 24 bits with rows bottom to top (the format's own order), or 32
// bits run-length encoded with rows top to bottom and packets that run on
// from one row into the next.
std::vector<uint8_t> ForeignTga(const std::vector<uint8_t>& rgba, int32_t w, int32_t h, bool runLength) {
    const int bytes = runLength ? 4 : 3;
    std::vector<uint8_t> f = {5, 0, uint8_t(runLength ? 10 : 2), 0, 0, 0, 0, 0};
    Le16(f, 0), Le16(f, 0), Le16(f, uint32_t(w)), Le16(f, uint32_t(h));
    f.push_back(uint8_t(bytes * 8));
    f.push_back(runLength ? 0x28 : 0x00);  // top-left origin, 8 alpha bits; or bottom-left
    f.insert(f.end(), {'t', 'e', 's', 't', '!'});  // an image id, skipped by readers
    std::vector<std::vector<uint8_t>> px;
    for (int32_t r = 0; r < h; ++r) {
        const int32_t y = runLength ? r : h - 1 - r;
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
            px.push_back({p[2], p[1], p[0], p[3]});
            px.back().resize(size_t(bytes));
        }
    }
    for (size_t i = 0; i < px.size();) {
        if (!runLength) {
            f.insert(f.end(), px[i].begin(), px[i].end());
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < px.size() && run < 128 && px[i + run] == px[i]) ++run;
        if (run > 1) {
            f.push_back(uint8_t(0x80 | (run - 1)));
            f.insert(f.end(), px[i].begin(), px[i].end());
        } else {
            f.push_back(0);
            f.insert(f.end(), px[i].begin(), px[i].end());
        }
        i += run;
    }
    return f;
}

TEST(ImageFormats, PicturesFromOtherProgramsLoadWithTheColourKey) {
    std::vector<uint8_t> rgba = Pixels();
    rgba[3] = 0x80;  // a half transparent corner where the format keeps alpha
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        bool keepsAlpha;
    };
    const Case cases[] = {
        {"top-down 24-bit BMP", ForeignBmp(rgba, kW, kH, 24, true), false},
        {"top-down 32-bit BMP, fourth byte zero", ForeignBmp(rgba, kW, kH, 32, true), false},
        {"top-down 32-bit BMP with alpha masks", ForeignBmp(rgba, kW, kH, 32, true, true), true},
        {"bottom-up 8-bit palette BMP", ForeignBmp(rgba, kW, kH, 8, false), false},
        {"top-down 8-bit palette BMP", ForeignBmp(rgba, kW, kH, 8, true), false},
        {"bottom-left 24-bit TGA", ForeignTga(rgba, kW, kH, false), false},
        {"run-length 32-bit TGA", ForeignTga(rgba, kW, kH, true), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image img;
        ASSERT_TRUE(ReadsAs(c.file, kW, kH, img));
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x) {
                uint32_t want = kColours[ColourAt(x, y)];
                if (x == 0 && y == 0 && c.keepsAlpha) want = (want & 0xFFFFFFu) | 0x80000000u;
                EXPECT_EQ(img.ARGB(x, y), want) << x << "," << y;
            }
        ApplyColorKey(img, kKey);
        for (int32_t y = 0; y < kH; ++y) EXPECT_EQ(img.ARGB(2, y), 0u);
        EXPECT_EQ(img.ARGB(4, 0), kColours[1]);
    }
    // One colour all over: the run-length packets run on from row to row.
    Image img;
    std::string error;
    std::vector<uint8_t> plain;
    for (int i = 0; i < 2 * 3; ++i) plain.insert(plain.end(), {10, 20, 30, 255});
    std::vector<uint8_t> runs = ForeignTga(plain, 2, 3, true);
    ASSERT_EQ(runs.size(), 18u + 5 + 1 + 4);
    ASSERT_TRUE(DecodeImage(runs.data(), runs.size(), img, &error)) << error;
    EXPECT_EQ(img.Pixels, plain);
    // The size rules hold for top-down files too: too tall, and too short a file.
    std::vector<uint8_t> tall = ForeignBmp(rgba, kW, kH, 24, true);
    const uint32_t minus9000 = uint32_t(-9000);
    for (int i = 0; i < 4; ++i) tall[22 + i] = uint8_t(minus9000 >> (8 * i));
    EXPECT_FALSE(DecodeImage(tall.data(), tall.size(), img, &error));
    EXPECT_EQ(error, "image size out of range");
    std::vector<uint8_t> cut = ForeignBmp(rgba, kW, kH, 32, true);
    cut.resize(cut.size() - kW * 4);
    EXPECT_FALSE(DecodeImage(cut.data(), cut.size(), img, &error));
    EXPECT_EQ(error, "file is truncated");
    EXPECT_TRUE(img.Pixels.empty());
}

// A BMP of a w x h picture whose pixels are the given runs (compressed
// with runs of 8-bit or of 4-bit indices), over a palette of 0xRRGGBB colours.
std::vector<uint8_t> RunLengthBmp(int32_t w, int32_t h, int bits, const std::vector<uint32_t>& palette,
                                  const std::vector<uint8_t>& runs) {
    const uint32_t offset = uint32_t(14 + 40 + 4 * palette.size());
    std::vector<uint8_t> f = {'B', 'M'};
    Le32(f, offset + uint32_t(runs.size()));
    Le32(f, 0);
    Le32(f, offset);
    Le32(f, 40);
    Le32(f, uint32_t(w));
    Le32(f, uint32_t(h));
    Le16(f, 1);
    Le16(f, uint32_t(bits));
    Le32(f, bits == 8 ? 1 : 2);
    Le32(f, uint32_t(runs.size()));
    Le32(f, 2835), Le32(f, 2835), Le32(f, uint32_t(palette.size())), Le32(f, 0);
    for (uint32_t c : palette) f.insert(f.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0});
    f.insert(f.end(), runs.begin(), runs.end());
    return f;
}

// Pictures that common readers show and paint programs write: BMPs of runs
// (with literal runs and their padding, ends of lines, a jump over pixels
// that stay transparent, the end of the picture), and a GIF whose first
// frame reaches past its canvas, drawn where it lies inside. A run past the
// picture's edge is a damaged file; a 2-bit BMP is named for what it is.
TEST(ImageFormats, RunLengthBmpsAndAFramePastItsCanvasShowAsOtherReadersShowThem) {
    constexpr uint32_t T = 0, R = 0xFFFF0000u, G = 0xFF00FF00u, B = 0xFF0000FFu;
    const std::vector<uint32_t> palette = {0x123456, 0xFF0000, 0x00FF00, 0x0000FF};
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        int32_t w, h;
        std::vector<uint32_t> want;  // rows top to bottom
    };
    const Case cases[] = {
        {"8-bit runs", RunLengthBmp(5, 3, 8, palette,
                                    {0x02, 0x01, 0x00, 0x03, 0x02, 0x03, 0x01, 0x00, 0x00, 0x00,  // bottom row
                                     0x00, 0x02, 0x01, 0x01,                                      // jump over a row
                                     0x04, 0x02, 0x00, 0x01}),
         5, 3, {T, G, G, G, G, /**/ T, T, T, T, T, /**/ R, R, G, B, R}},
        {"4-bit runs", RunLengthBmp(5, 2, 4, palette,
                                    {0x00, 0x05, 0x12, 0x31, 0x20, 0x00, 0x00, 0x00,  // a literal run of five
                                     0x03, 0x12, 0x00, 0x01}),
         5, 2, {R, G, R, T, T, /**/ R, G, B, R, G}},
        {"GIF frame past the right and bottom of its canvas",
         GifOf(3, 2, 1, 0, 3, 3, [](int32_t x, int32_t y) { return (x + 2 * y) % 3; }), 3, 2, {T, R, G, T, B, R}},
        {"GIF frame beside its canvas", GifOf(3, 2, 3, 0, 2, 2, [](int32_t, int32_t) { return 1; }), 3, 2,
         {T, T, T, T, T, T}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image img;
        ASSERT_TRUE(ReadsAs(c.file, c.w, c.h, img));
        for (int32_t y = 0; y < c.h; ++y)
            for (int32_t x = 0; x < c.w; ++x) EXPECT_EQ(img.ARGB(x, y), c.want[size_t(y * c.w + x)]) << x << "," << y;
        // Every cut of it reads or is refused with a reason.
        std::string error;
        for (size_t n = 0; n < c.file.size(); ++n) {
            error.clear();
            if (!DecodeImage(c.file.data(), n, img, &error)) {
                EXPECT_FALSE(error.empty()) << n;
            }
        }
    }
    struct Refused {
        const char* name;
        std::vector<uint8_t> file;
        const char* why;
    };
    std::vector<uint8_t> twoBits = RunLengthBmp(5, 1, 8, palette, {0b00011011, 0b10000000, 0, 0});
    twoBits[28] = 2, twoBits[30] = 0;  // 2 bits a pixel, no runs
    const Refused refused[] = {
        {"a run past the right edge", RunLengthBmp(5, 1, 8, palette, {0x06, 0x01, 0x00, 0x01}), "damaged BMP file"},
        {"a literal run past the right edge", RunLengthBmp(5, 1, 4, palette, {0x02, 0x11, 0x00, 0x04, 0x12, 0x30}),
         "damaged BMP file"},
        {"a run below the last row", RunLengthBmp(5, 1, 8, palette, {0x00, 0x00, 0x01, 0x01}), "damaged BMP file"},
        {"a jump out of the picture", RunLengthBmp(5, 2, 8, palette, {0x00, 0x02, 0x06, 0x00}), "damaged BMP file"},
        {"a literal run cut short", RunLengthBmp(5, 1, 8, palette, {0x00, 0x04, 0x01, 0x02}), "file is truncated"},
        {"runs that end before the picture does", RunLengthBmp(5, 2, 8, palette, {0x05, 0x01}), "file is truncated"},
        {"a 2-bit BMP", twoBits, "unsupported BMP bit depth (2 bits per pixel)"},
        // Picture no run could fill: its header alone allocates nothing.
        {"a large picture of one end mark", RunLengthBmp(4096, 4096, 8, palette, {0x00, 0x01}),
         "BMP picture too large for the data that fills it"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.name);
        Image img;
        std::string error;
        EXPECT_FALSE(DecodeImage(r.file.data(), r.file.size(), img, &error));
        EXPECT_EQ(error, r.why);
        EXPECT_TRUE(img.Pixels.empty());
    }
}

TEST(MusicFormats, EachFormatDecodesToItsLengthAndLevel) {
    test::TempDir dir;
    constexpr int kRate = 22050;
    for (const auto& f : test::MusicFormats()) {
        SCOPED_TRACE(f.Extension);
        const std::string path = dir.HostPath(std::string("tone.") + f.Extension);
        ASSERT_EQ(test::EncodeSine(path, f, kRate, 1.0), "");
        AudioData data;
        std::string error;
        ASSERT_TRUE(DecodeMediaFile(path, data, error)) << error;
        EXPECT_EQ(data.Channels, 2);
        EXPECT_EQ(data.StoredChannels, 2);
        EXPECT_EQ(data.SampleRate, kRate);
        // Encoders add priming and padding, or drop a last partial block; never
        // a tenth of a second.
        EXPECT_GE(data.Frames, kRate * 95 / 100);
        EXPECT_LE(data.Frames, kRate * 110 / 100);
        EXPECT_EQ(data.Samples.size(), size_t(data.Frames) * 2);
        float peak = 0;
        for (float s : data.Samples) peak = std::max(peak, std::fabs(s));
        EXPECT_NEAR(peak, 0.5f, 0.1f);
    }
}

TEST(MusicFormats, DamagedAndForeignFilesFailWithAReason) {
    test::TempDir dir;
    AudioData data;
    std::string error;
    for (const auto& f : test::MusicFormats()) {
        SCOPED_TRACE(f.Extension);
        const std::string path = dir.HostPath(std::string("tone.") + f.Extension);
        ASSERT_EQ(test::EncodeSine(path, f, 22050, 0.3), "");
        std::vector<uint8_t> good = test::ReadHostFile(path);
        // Cuts and scribbles decode what is left or fail with a reason.
        std::srand(7);
        for (size_t n : {size_t(4), size_t(40), good.size() / 3, good.size() / 2}) {
            std::vector<uint8_t> bad(good.begin(), good.begin() + ptrdiff_t(n));
            for (size_t k = 0; k + 16 < bad.size(); k += 97) bad[k + size_t(std::rand()) % 16] ^= 0x5A;
            error.clear();
            if (DecodeMediaBytes(bad.data(), bad.size(), data, error)) EXPECT_GT(data.Frames, 0);
            else EXPECT_FALSE(error.empty()) << n;
        }
    }
    // Playlists and other non-audio containers are never followed.
    const std::string list = "#EXTM3U\n#EXTINF:1,\nfile:///etc/hostname\n";
    EXPECT_FALSE(DecodeMediaBytes(reinterpret_cast<const uint8_t*>(list.data()), list.size(), data, error));
    EXPECT_TRUE(data.Samples.empty());
    EXPECT_FALSE(DecodeMediaBytes(nullptr, 0, data, error));
    EXPECT_FALSE(DecodeMediaFile(dir.HostPath("missing.mp3"), data, error));
    EXPECT_EQ(error, "file not found");
}

}  // namespace
