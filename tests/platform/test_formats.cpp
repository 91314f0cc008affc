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

// A GIF made byte by byte: a four-colour table and image data whose LZW codes
// are all literals, the table cleared before it can grow past 3-bit codes.
std::vector<uint8_t> MakeGif() {
    std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a', kW, 0, kH, 0, 0xF1, 0, 0};
    for (uint32_t c : kColours) g.insert(g.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    g.insert(g.end(), {0x2C, 0, 0, 0, 0, kW, 0, kH, 0, 0, 2});
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
    for (int i = 0; i < kW * kH; ++i) {
        if (i % 2 == 0) code(4);  // clear
        code(uint32_t(ColourAt(i % kW, i / kW)));
    }
    code(5);  // end of information
    if (bits > 0) data.push_back(uint8_t(acc));
    g.push_back(uint8_t(data.size()));
    g.insert(g.end(), data.begin(), data.end());
    g.insert(g.end(), {0, 0x3B});
    return g;
}

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
    EXPECT_EQ(error, "cannot open the file");
}

}  // namespace
