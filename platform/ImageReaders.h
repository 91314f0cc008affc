// Our own readers of the picture formats that have no hardened library here:
// BMP, TGA and GIF (its first frame). Each checks every field against the
// bytes the file holds before using it, and allocates nothing beyond the
// picture its header gives. Used only by platform/Image.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Image.h"

namespace zun::imagereaders {

// True when the bytes start the way a file of the kind does.
bool IsBmp(const uint8_t* data, size_t size);
bool IsGif(const uint8_t* data, size_t size);
// TGA has no signature: its header must at least describe an image type the
// format has, so that other data is not taken for one.
bool IsTga(const uint8_t* data, size_t size);

// The picture a GIF canvas or a run-length BMP may have whatever its size in
// bytes (2048 x 2048, 16 MB of pixels): both leave what their data does not
// cover transparent at no cost in bytes, so a larger one must be one its
// bytes could fill.
inline constexpr uint64_t kMaxSparsePicture = uint64_t(2048) * 2048;

// The picture's size from the header alone, checked against kMaxTextureSide
// and against the least number of bytes such a picture needs; false with a
// reason otherwise.
bool BmpSize(const uint8_t* data, size_t size, int32_t& width, int32_t& height, std::string& error);
bool TgaSize(const uint8_t* data, size_t size, int32_t& width, int32_t& height, std::string& error);
bool GifSize(const uint8_t* data, size_t size, int32_t& width, int32_t& height, std::string& error);

// The whole picture as 8-bit RGBA rows top to bottom; false with a reason,
// `out` then holding no pixels.
bool DecodeBmp(const uint8_t* data, size_t size, Image& out, std::string& error);
bool DecodeTga(const uint8_t* data, size_t size, Image& out, std::string& error);
bool DecodeGif(const uint8_t* data, size_t size, Image& out, std::string& error);

}  // namespace zun::imagereaders
