#include "platform/Image.h"

#include <png.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/HostFile.h"
#include "platform/RenderBackend.h"

namespace zun {

namespace {

constexpr size_t kMaxImageFileBytes = size_t(256) << 20;
constexpr int32_t kMaxBmpSide = 32768;

// Everything the decoder touches after setjmp lives here, reached through a
// pointer, so a long jump back leaves nothing in an indeterminate state.
struct PngDecode {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    char error[200] = {};
    std::vector<uint8_t> row;
    std::vector<png_bytep> rows;
};

void PngError(png_structp png, png_const_charp msg) {
    auto* d = static_cast<PngDecode*>(png_get_error_ptr(png));
    std::snprintf(d->error, sizeof d->error, "%s", msg ? msg : "PNG error");
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, size_t n) {
    auto* d = static_cast<PngDecode*>(png_get_io_ptr(png));
    if (n > d->size - d->pos) png_error(png, "file is truncated");
    std::memcpy(out, d->data + d->pos, n);
    d->pos += n;
}

// The body between setjmp and the end of decoding. Kept free of objects with
// destructors so that the long jump out of libpng skips none.
bool DecodeBody(png_structp png, png_infop info, PngDecode* d, Image* out) {
    png_set_read_fn(png, d, PngRead);
    png_set_user_limits(png, uint32_t(kMaxTextureSide), uint32_t(kMaxTextureSide));
    png_set_chunk_malloc_max(png, 16u << 20);
    png_set_chunk_cache_max(png, 1000);
    png_read_info(png, info);

    png_uint_32 w = 0, h = 0;
    int depth = 0, type = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
    if (w < 1 || h < 1 || w > uint32_t(kMaxTextureSide) || h > uint32_t(kMaxTextureSide))
        png_error(png, "image size out of range");

    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    bool hasAlpha = (type & PNG_COLOR_MASK_ALPHA) != 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(png);
        hasAlpha = true;
    }
    if (depth == 16) png_set_scale_16(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (!hasAlpha) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != size_t(w) * 4) png_error(png, "unexpected pixel layout");

    out->Width = int32_t(w);
    out->Height = int32_t(h);
    if (passes > 1) {
        // Interlaced images need the whole picture at once.
        out->Pixels.assign(rowBytes * h, 0);
        d->rows.resize(h);
        for (png_uint_32 y = 0; y < h; ++y) d->rows[y] = out->Pixels.data() + rowBytes * y;
        png_read_image(png, d->rows.data());
    } else {
        // Row by row, so a file that claims a large size but holds little data
        // fails before the whole picture is allocated.
        d->row.resize(rowBytes);
        for (png_uint_32 y = 0; y < h; ++y) {
            png_read_row(png, d->row.data(), nullptr);
            out->Pixels.insert(out->Pixels.end(), d->row.begin(), d->row.end());
        }
    }
    return true;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, Image& out, std::string* error) {
    out = Image{};
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        if (error) *error = "not a PNG file";
        return false;
    }
    PngDecode d;
    d.data = data;
    d.size = size;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, PngError, PngWarning);
    if (!png) {
        if (error) *error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        if (error) *error = "out of memory";
        return false;
    }
    volatile bool ok = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        try {
            ok = DecodeBody(png, info, &d, &out);
        } catch (const std::bad_alloc&) {
            std::snprintf(d.error, sizeof d.error, "out of memory");
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        out = Image{};
        if (error) *error = d.error[0] ? d.error : "PNG error";
    }
    return ok;
}

namespace {

bool ReadImageFile(const std::string& hostPath, std::vector<uint8_t>& bytes, std::string* error) {
    std::string why;
    if (ReadHostFileBytes(hostPath, kMaxImageFileBytes, bytes, why)) return true;
    if (error) *error = why;
    return false;
}

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

// TGA has no signature: its header must at least describe an image type the
// format has, so that other data is not taken for one.
bool LooksLikeTga(const uint8_t* d, size_t size) {
    if (size < 18) return false;
    const uint8_t mapType = d[1], type = d[2], bits = d[16];
    if (mapType > 1) return false;
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
    return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// The least number of bytes a file of this kind needs for a w x h picture.
// The decoder reads zeros past the end of its data, so without this a
// truncated file (or a 34-byte header) would decode to hundreds of megabytes
// of made-up pixels. Bounds are loose on purpose: no well-formed file is
// smaller, so no well-formed file is refused.
size_t LeastBytesFor(const uint8_t* d, size_t size, int w, int h) {
    const size_t pixels = size_t(w) * size_t(h);
    auto u16 = [&](size_t at) { return at + 1 < size ? size_t(d[at]) | size_t(d[at + 1]) << 8 : 0; };
    if (StartsWith(d, size, "BM", 2)) {
        const size_t headerSize = u16(14);
        const size_t bits = headerSize == 12 ? u16(24) : u16(28);
        const size_t compression = headerSize >= 40 ? u16(30) | u16(32) << 16 : 0;
        // Only plain rows have a size fixed by the header.
        if (compression != 0 && compression != 3) return 0;
        // The rows start at the offset the header gives; each is padded to
        // four bytes, which a writer may leave off the last.
        const size_t offset = u16(10) | u16(12) << 16;
        const size_t row = (size_t(w) * bits + 7) / 8;
        return offset + (row + 3) / 4 * 4 * size_t(h - 1) + row;
    }
    if (StartsWith(d, size, "\xFF\xD8\xFF", 3)) {
        // Every 8x8 block of every component costs at least one bit.
        return pixels / 1024;
    }
    if (StartsWith(d, size, "GIF8", 4)) return 0;
    // TGA: the header, its id and colour map, then the pixels; a run-length
    // packet of one byte plus one pixel covers at most 128 pixels.
    const size_t bytesPerPixel = (size_t(d[16]) + 7) / 8;
    const size_t mapBytes = d[1] ? u16(5) * ((size_t(d[7]) + 7) / 8) : 0;
    const size_t head = 18 + size_t(d[0]) + mapBytes;
    if (d[2] >= 9) return head + (pixels + 127) / 128 * (1 + bytesPerPixel);
    return head + pixels * bytesPerPixel;
}

}  // namespace

bool LoadPngFile(const std::string& hostPath, Image& out, std::string* error) {
    out = Image{};
    std::vector<uint8_t> bytes;
    return ReadImageFile(hostPath, bytes, error) && DecodePng(bytes.data(), bytes.size(), out, error);
}

bool DecodeImage(const uint8_t* data, size_t size, Image& out, std::string* error) {
    out = Image{};
    auto fail = [&](const char* why) {
        out = Image{};
        if (error) *error = why;
        return false;
    };
    if (!data || size == 0) return fail("not an image file");
    if (StartsWith(data, size, "\x89PNG", 4)) return DecodePng(data, size, out, error);
    const bool known = StartsWith(data, size, "BM", 2) || StartsWith(data, size, "\xFF\xD8\xFF", 3) ||
                       StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6);
    if (!known && !LooksLikeTga(data, size)) return fail("not a PNG, BMP, JPEG, TGA or GIF file");
    if (size > size_t(std::numeric_limits<int>::max())) return fail("file is too large");
    // The header's size is checked before anything is decoded, so a lying
    // header costs nothing.
    int w = 0, h = 0, comp = 0;
    // The library's reason may be missing or empty; a failure always has one.
    auto damaged = [&] {
        const char* why = stbi_failure_reason();
        return fail(why && *why ? why : "damaged image file");
    };
    if (!stbi_info_from_memory(data, int(size), &w, &h, &comp)) return damaged();
    if (w < 1 || h < 1 || w > kMaxTextureSide || h > kMaxTextureSide) return fail("image size out of range");
    if (size < LeastBytesFor(data, size, w, h)) return fail("file is truncated");
    stbi_uc* pixels = stbi_load_from_memory(data, int(size), &w, &h, &comp, 4);
    if (!pixels) return damaged();
    if (w < 1 || h < 1 || w > kMaxTextureSide || h > kMaxTextureSide) {
        stbi_image_free(pixels);
        return fail("image size out of range");
    }
    try {
        out.Width = w;
        out.Height = h;
        out.Pixels.assign(pixels, pixels + size_t(w) * size_t(h) * 4);
    } catch (const std::bad_alloc&) {
        stbi_image_free(pixels);
        return fail("out of memory");
    }
    stbi_image_free(pixels);
    return true;
}

bool LoadImageFile(const std::string& hostPath, Image& out, std::string* error) {
    out = Image{};
    std::vector<uint8_t> bytes;
    return ReadImageFile(hostPath, bytes, error) && DecodeImage(bytes.data(), bytes.size(), out, error);
}

void ApplyColorKey(Image& img, uint32_t colorKey) {
    if (colorKey == 0) return;
    const uint8_t a = uint8_t(colorKey >> 24), r = uint8_t(colorKey >> 16), g = uint8_t(colorKey >> 8),
                  b = uint8_t(colorKey);
    uint8_t* p = img.Pixels.data();
    for (size_t i = 0, n = img.Pixels.size() / 4; i < n; ++i, p += 4) {
        if (p[0] == r && p[1] == g && p[2] == b && p[3] == a) p[0] = p[1] = p[2] = p[3] = 0;
    }
}

std::vector<uint8_t> EncodeBmp24(const uint8_t* rgba, int32_t width, int32_t height) {
    std::vector<uint8_t> out;
    if (!rgba || width < 1 || height < 1 || width > kMaxBmpSide || height > kMaxBmpSide) return out;
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    const size_t image = stride * size_t(height);
    out.assign(54 + image, 0);
    auto put16 = [&](size_t at, uint32_t v) {
        out[at] = uint8_t(v);
        out[at + 1] = uint8_t(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, uint32_t(out.size()));
    put32(10, 54);          // offset of the pixels
    put32(14, 40);          // info header size
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));  // positive: rows bottom-up
    put16(26, 1);           // planes
    put16(28, 24);          // bits per pixel
    put32(30, 0);           // uncompressed
    put32(34, uint32_t(image));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* src = rgba + size_t(height - 1 - y) * size_t(width) * 4;
        uint8_t* dst = out.data() + 54 + size_t(y) * stride;
        for (int32_t x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    return out;
}

namespace {

bool WriteImageBytes(const std::string& hostPath, const std::vector<uint8_t>& bytes, std::string* error) {
    std::FILE* f = std::fopen(hostPath.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot create the file";
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok && error) *error = "cannot write the file";
    return ok;
}

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

}  // namespace

bool SaveBmp24(const std::string& hostPath, const uint8_t* rgba, int32_t width, int32_t height, std::string* error) {
    return SaveImage(hostPath, int32_t(ImageFileFormat::Bmp), rgba, width, height, error);
}

bool IsSavableImageFormat(int32_t format) {
    switch (ImageFileFormat(format)) {
        case ImageFileFormat::Bmp:
        case ImageFileFormat::Jpeg:
        case ImageFileFormat::Tga:
        case ImageFileFormat::Png:
        case ImageFileFormat::Dib: return true;
    }
    return false;
}

bool SaveImage(const std::string& hostPath, int32_t format, const uint8_t* rgba, int32_t width, int32_t height,
               std::string* error) {
    if (!IsSavableImageFormat(format)) {
        if (error) *error = "unsupported image format";
        return false;
    }
    if (!rgba || width < 1 || height < 1 || width > kMaxBmpSide || height > kMaxBmpSide) {
        if (error) *error = "image size out of range";
        return false;
    }
    std::vector<uint8_t> bytes;
    int ok = 1;
    switch (ImageFileFormat(format)) {
        case ImageFileFormat::Jpeg: ok = stbi_write_jpg_to_func(AppendBytes, &bytes, width, height, 4, rgba, 95); break;
        case ImageFileFormat::Tga:
            // Uncompressed, which every reader takes.
            stbi_write_tga_with_rle = 0;
            ok = stbi_write_tga_to_func(AppendBytes, &bytes, width, height, 4, rgba);
            break;
        case ImageFileFormat::Png:
            ok = stbi_write_png_to_func(AppendBytes, &bytes, width, height, 4, rgba, width * 4);
            break;
        default: bytes = EncodeBmp24(rgba, width, height); break;
    }
    if (!ok || bytes.empty()) {
        if (error) *error = "cannot encode the image";
        return false;
    }
    return WriteImageBytes(hostPath, bytes, error);
}

}  // namespace zun
