// Images in and out: PNG, BMP, JPEG, TGA and GIF files decoded to 32-bit
// pixels with the colour key applied, and screenshots written as BMP, JPEG,
// TGA or PNG files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zun {

// Pixels are R, G, B, A bytes, rows top to bottom, no padding.
struct Image {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels;

    // The pixel as a 32-bit colour: alpha in the top byte, then red, green, blue.
    uint32_t ARGB(int32_t x, int32_t y) const {
        const uint8_t* p = &Pixels[(size_t(y) * size_t(Width) + size_t(x)) * 4];
        return uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
    }
};

// Decodes a PNG held in memory: palettes, grey, 16-bit channels and tRNS
// transparency all become 8-bit RGBA (opaque where the file has no alpha); no
// gamma correction. Sides above kMaxTextureSide are refused. On failure `out`
// is empty and `error` says why; nothing is logged here, the caller logs.
bool DecodePng(const uint8_t* data, size_t size, Image& out, std::string* error = nullptr);
// The same from a file (a host path). Files above 256 MiB are refused.
bool LoadPngFile(const std::string& hostPath, Image& out, std::string* error = nullptr);

// Decodes a PNG, BMP, JPEG, TGA or GIF (its first frame) held in memory, the
// same way as DecodePng: 8-bit RGBA, sides above kMaxTextureSide refused
// before any pixel is decoded, failure leaves `out` empty with a reason.
// The kind is told by the bytes, not by a name. Nothing a file claims costs
// more than the picture its header gives plus a few megabytes.
bool DecodeImage(const uint8_t* data, size_t size, Image& out, std::string* error = nullptr);
// Only the picture's width and height, from the header, checked as
// DecodeImage checks them; much cheaper than decoding.
bool ReadImageSize(const uint8_t* data, size_t size, int32_t& width, int32_t& height, std::string* error = nullptr);
// A whole image file (a host path) into memory; files above 256 MiB are refused.
bool ReadImageFileBytes(const std::string& hostPath, std::vector<uint8_t>& bytes, std::string* error = nullptr);
// The same from a file (a host path). Files above 256 MiB are refused.
bool LoadImageFile(const std::string& hostPath, Image& out, std::string* error = nullptr);

// Every pixel whose 32-bit ARGB value equals `colorKey` exactly becomes
// transparent black (0x00000000), and so does every pixel of alpha 0 that
// holds the key's colour: many painters leave the key under the pixels they
// made transparent, and a filter that samples between texels mixes their
// colours whatever their alpha, so it would show along the edges of what is
// drawn. Any other colour under alpha 0 stays: modes that ignore alpha draw
// it. A key of 0 means no key.
void ApplyColorKey(Image& img, uint32_t colorKey);

// A 24-bit uncompressed BMP of RGBA pixels (rows top to bottom): 54-byte
// header, rows stored bottom-up as B, G, R, each padded to 4 bytes. Alpha is
// dropped. Empty for a size below 1 or above 32768.
std::vector<uint8_t> EncodeBmp24(const uint8_t* rgba, int32_t width, int32_t height);
bool SaveBmp24(const std::string& hostPath, const uint8_t* rgba, int32_t width, int32_t height,
               std::string* error = nullptr);

// The image-file format codes screenshots are asked for.
enum class ImageFileFormat : int32_t { Bmp = 0, Jpeg = 1, Tga = 2, Png = 3, Dib = 6 };
// True for a code SaveImage can write.
bool IsSavableImageFormat(int32_t format);
// Writes RGBA pixels (rows top to bottom) as the given format: BMP and DIB as
// 24-bit BMP, JPEG at quality 95, TGA uncompressed 32-bit, PNG 32-bit.
bool SaveImage(const std::string& hostPath, int32_t format, const uint8_t* rgba, int32_t width, int32_t height,
               std::string* error = nullptr);
// The same file's bytes in memory, for a caller that decides where and how they
// are written.
bool EncodeImage(int32_t format, const uint8_t* rgba, int32_t width, int32_t height, std::vector<uint8_t>& bytes,
                 std::string* error = nullptr);

}  // namespace zun
