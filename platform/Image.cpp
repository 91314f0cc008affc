#include "platform/Image.h"

// libjpeg's header needs FILE declared before it.
#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <stb_image_write.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/zHostFile.h"
#include "platform/ImageReaders.h"
#include "platform/RenderBackend.h"

namespace zun {

namespace {

constexpr size_t kMaxImageFileBytes = size_t(256) << 20;
constexpr int32_t kMaxBmpSide = 32768;
// What a decoding library may hold besides the picture itself: row buffers,
// inflate state, tables. Far above what a well-formed file needs.
constexpr size_t kLibraryWorkBytes = size_t(4) << 20;
// Deflate turns at most two bits into 258 bytes.
constexpr size_t kDeflateMaxRatio = 1032;

bool SideOk(int64_t w, int64_t h) { return w >= 1 && h >= 1 && w <= kMaxTextureSide && h <= kMaxTextureSide; }

// Everything the decoder touches after setjmp lives here, reached through a
// pointer, so a long jump back leaves nothing in an indeterminate state.
struct PngDecode {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    size_t workBytes = 0;  // what libpng holds now
    char error[200] = {};
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

// libpng's own memory, counted: whatever a file claims, the library can hold
// no more than kLibraryWorkBytes besides the picture.
png_voidp PngAlloc(png_structp png, png_alloc_size_t n) {
    auto* d = static_cast<PngDecode*>(png_get_mem_ptr(png));
    if (n > kLibraryWorkBytes - d->workBytes) return nullptr;
    auto* block = static_cast<size_t*>(std::malloc(n + sizeof(std::max_align_t)));
    if (!block) return nullptr;
    *block = n;
    d->workBytes += n;
    return reinterpret_cast<uint8_t*>(block) + sizeof(std::max_align_t);
}

void PngFree(png_structp png, png_voidp p) {
    if (!p) return;
    auto* d = static_cast<PngDecode*>(png_get_mem_ptr(png));
    auto* block = reinterpret_cast<size_t*>(static_cast<uint8_t*>(p) - sizeof(std::max_align_t));
    d->workBytes -= *block;
    std::free(block);
}

// The body between setjmp and the end of decoding. Kept free of objects with
// destructors so that the long jump out of libpng skips none.
bool DecodeBody(png_structp png, png_infop info, PngDecode* d, Image* out) {
    png_set_read_fn(png, d, PngRead);
    png_set_user_limits(png, uint32_t(kMaxTextureSide), uint32_t(kMaxTextureSide));
    // Only the pixels and their transparency are used: every other chunk,
    // known or not, is read past in small pieces and never kept, so no length
    // a chunk claims is allocated, and a file is not refused for the large
    // text or profile it carries (no limit on chunk lengths; the cache of
    // kept chunks holds none).
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_chunk_malloc_max(png, 0);
    png_set_chunk_cache_max(png, 1);
    png_read_info(png, info);

    png_uint_32 w = 0, h = 0;
    int depth = 0, type = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
    if (!SideOk(w, h)) png_error(png, "image size out of range");
    // The least file that can hold the rows; a header alone cannot make
    // the whole picture be allocated.
    const size_t rawBytes = size_t(h) * (1 + (size_t(w) * png_get_channels(png, info) * size_t(depth) + 7) / 8);
    if (d->size < rawBytes / kDeflateMaxRatio) png_error(png, "file is truncated");

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
    out->Pixels.assign(rowBytes * h, 0);
    if (passes > 1) {
        // Interlaced images need the whole picture at once.
        d->rows.resize(h);
        for (png_uint_32 y = 0; y < h; ++y) d->rows[y] = out->Pixels.data() + rowBytes * y;
        png_read_image(png, d->rows.data());
    } else {
        for (png_uint_32 y = 0; y < h; ++y) png_read_row(png, out->Pixels.data() + rowBytes * y, nullptr);
    }
    return true;
}

// ---- JPEG ----

// A damaged file's warnings come one per bad code; past this many the data is
// noise, and decoding it further only costs time.
constexpr int kMaxJpegWarnings = 100;
// Each scan of a progressive file goes over the whole picture again.
constexpr int kMaxJpegScans = 500;

// As for PNG: all the state the long jump out of the library may cross.
struct JpegDecode {
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char error[JMSG_LENGTH_MAX + 1] = {};
};

[[noreturn]] void JpegFail(j_common_ptr c, const char* why) {
    auto* j = static_cast<JpegDecode*>(c->client_data);
    std::snprintf(j->error, sizeof j->error, "%s", why);
    std::longjmp(j->jump, 1);
}

void JpegErrorExit(j_common_ptr c) {
    char msg[JMSG_LENGTH_MAX] = {};
    (*c->err->format_message)(c, msg);
    JpegFail(c, msg[0] ? msg : "damaged JPEG file");
}

void JpegMessage(j_common_ptr c, int level) {
    if (level < 0 && ++c->err->num_warnings > kMaxJpegWarnings) JpegFail(c, "damaged JPEG file");
}

void JpegProgress(j_common_ptr c) {
    if (reinterpret_cast<j_decompress_ptr>(c)->input_scan_number > kMaxJpegScans)
        JpegFail(c, "too many scans in the JPEG file");
}

// Header only when `out` is null; otherwise the whole picture.
bool JpegBody(JpegDecode* j, const uint8_t* data, size_t size, int32_t* w, int32_t* h, Image* out) {
    jpeg_decompress_struct* c = &j->info;
    jpeg_mem_src(c, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(c, TRUE) != JPEG_HEADER_OK) JpegFail(reinterpret_cast<j_common_ptr>(c), "damaged JPEG file");
    if (!SideOk(c->image_width, c->image_height))
        JpegFail(reinterpret_cast<j_common_ptr>(c), "image size out of range");
    *w = int32_t(c->image_width);
    *h = int32_t(c->image_height);
    // With Huffman codes every 8x8 block of every component costs at least
    // one bit: a header alone cannot make the whole picture be allocated.
    // The rare arithmetic-coded files, which can go below that, are held to
    // the same least size.
    const size_t pixels = size_t(*w) * size_t(*h);
    if (size < pixels / 1024) JpegFail(reinterpret_cast<j_common_ptr>(c), "file is truncated");
    if (!out) return true;

    const bool cmyk = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
    if (cmyk) {
        c->out_color_space = JCS_CMYK;
    } else if (c->jpeg_color_space == JCS_GRAYSCALE || c->jpeg_color_space == JCS_YCbCr ||
               c->jpeg_color_space == JCS_RGB) {
        c->out_color_space = JCS_EXT_RGBA;
    } else {
        JpegFail(reinterpret_cast<j_common_ptr>(c), "unsupported JPEG colour space");
    }
    c->do_block_smoothing = FALSE;
    // A progressive file keeps every coefficient of the picture: two bytes a
    // sample, blocks padded; nothing beyond that and a margin.
    c->mem->max_memory_to_use =
        long((size_t(*w) + 32) * (size_t(*h) + 32) * size_t(c->num_components) * 2 + kLibraryWorkBytes);
    jpeg_start_decompress(c);
    if (c->output_width != c->image_width || c->output_height != c->image_height || c->output_components != 4)
        JpegFail(reinterpret_cast<j_common_ptr>(c), "unexpected pixel layout");
    const size_t rowBytes = size_t(*w) * 4;
    out->Pixels.assign(rowBytes * size_t(*h), 0);
    out->Width = *w;
    out->Height = *h;
    while (c->output_scanline < c->output_height) {
        JSAMPROW row = out->Pixels.data() + rowBytes * c->output_scanline;
        if (jpeg_read_scanlines(c, &row, 1) != 1) JpegFail(reinterpret_cast<j_common_ptr>(c), "damaged JPEG file");
    }
    if (cmyk) {
        // Adobe's files store the inks inverted, which most CMYK files are.
        const bool inverted = c->saw_Adobe_marker;
        uint8_t* p = out->Pixels.data();
        for (size_t i = 0; i < pixels; ++i, p += 4) {
            const unsigned k = inverted ? p[3] : 255u - p[3];
            for (int ch = 0; ch < 3; ++ch) p[ch] = uint8_t((inverted ? p[ch] : 255u - p[ch]) * k / 255u);
            p[3] = 255;
        }
    }
    return true;
}

// Runs the header or the whole decode under the library's error handling.
bool JpegRun(const uint8_t* data, size_t size, int32_t& w, int32_t& h, Image* out, std::string* error) {
    auto* j = new (std::nothrow) JpegDecode{};
    if (!j) {
        if (error) *error = "out of memory";
        return false;
    }
    j->info.err = jpeg_std_error(&j->err);
    j->err.error_exit = JpegErrorExit;
    j->err.emit_message = JpegMessage;
    j->progress.progress_monitor = JpegProgress;
    volatile bool ok = false;
    j->info.client_data = j;  // kept by the creation, which may already fail
    if (setjmp(j->jump) == 0) {
        jpeg_create_decompress(&j->info);
        j->info.progress = &j->progress;
        try {
            ok = JpegBody(j, data, size, &w, &h, out);
        } catch (const std::bad_alloc&) {
            std::snprintf(j->error, sizeof j->error, "out of memory");
        }
    }
    jpeg_destroy_decompress(&j->info);
    if (!ok && error) *error = j->error[0] ? j->error : "damaged JPEG file";
    delete j;
    return ok;
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
    png_structp png =
        png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &d, PngError, PngWarning, &d, PngAlloc, PngFree);
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

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

enum class Kind { Png, Jpeg, Bmp, Gif, Tga, None };

Kind KindOf(const uint8_t* data, size_t size) {
    if (!data || size == 0) return Kind::None;
    if (StartsWith(data, size, "\x89PNG", 4)) return Kind::Png;
    if (StartsWith(data, size, "\xFF\xD8\xFF", 3)) return Kind::Jpeg;
    if (imagereaders::IsBmp(data, size)) return Kind::Bmp;
    if (imagereaders::IsGif(data, size)) return Kind::Gif;
    if (imagereaders::IsTga(data, size)) return Kind::Tga;
    return Kind::None;
}

constexpr const char* kNotAnImage = "not a PNG, BMP, JPEG, TGA or GIF file";

}  // namespace

bool ReadImageFileBytes(const std::string& hostPath, std::vector<uint8_t>& bytes, std::string* error) {
    std::string why;
    if (ReadHostFileBytes(hostPath, kMaxImageFileBytes, bytes, why)) return true;
    if (error) *error = why;
    return false;
}

bool LoadPngFile(const std::string& hostPath, Image& out, std::string* error) {
    out = Image{};
    std::vector<uint8_t> bytes;
    return ReadImageFileBytes(hostPath, bytes, error) && DecodePng(bytes.data(), bytes.size(), out, error);
}

bool ReadImageSize(const uint8_t* data, size_t size, int32_t& width, int32_t& height, std::string* error) {
    width = height = 0;
    std::string why;
    bool ok = false;
    int32_t w = 0, h = 0;
    switch (KindOf(data, size)) {
        case Kind::Png:
            // The first chunk is the header: width and height, big-endian.
            if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0) {
                why = size < 24 ? "file is truncated" : "damaged PNG file";
                break;
            }
            w = int32_t(uint32_t(data[16]) << 24 | data[17] << 16 | data[18] << 8 | data[19]);
            h = int32_t(uint32_t(data[20]) << 24 | data[21] << 16 | data[22] << 8 | data[23]);
            ok = SideOk(w, h);
            if (!ok) why = "image size out of range";
            break;
        case Kind::Jpeg: ok = JpegRun(data, size, w, h, nullptr, &why); break;
        case Kind::Bmp: ok = imagereaders::BmpSize(data, size, w, h, why); break;
        case Kind::Gif: ok = imagereaders::GifSize(data, size, w, h, why); break;
        case Kind::Tga: ok = imagereaders::TgaSize(data, size, w, h, why); break;
        case Kind::None: why = kNotAnImage; break;
    }
    if (!ok) {
        if (error) *error = why;
        return false;
    }
    width = w, height = h;
    return true;
}

bool DecodeImage(const uint8_t* data, size_t size, Image& out, std::string* error) {
    out = Image{};
    std::string why;
    bool ok = false;
    int32_t w = 0, h = 0;
    switch (KindOf(data, size)) {
        case Kind::Png: return DecodePng(data, size, out, error);
        case Kind::Jpeg: ok = JpegRun(data, size, w, h, &out, &why); break;
        case Kind::Bmp: ok = imagereaders::DecodeBmp(data, size, out, why); break;
        case Kind::Gif: ok = imagereaders::DecodeGif(data, size, out, why); break;
        case Kind::Tga: ok = imagereaders::DecodeTga(data, size, out, why); break;
        case Kind::None: why = kNotAnImage; break;
    }
    if (!ok) {
        out = Image{};
        if (error) *error = why.empty() ? "damaged image file" : why;
    }
    return ok;
}

bool LoadImageFile(const std::string& hostPath, Image& out, std::string* error) {
    out = Image{};
    std::vector<uint8_t> bytes;
    return ReadImageFileBytes(hostPath, bytes, error) && DecodeImage(bytes.data(), bytes.size(), out, error);
}

void ApplyColorKey(Image& img, uint32_t colorKey) {
    if (colorKey == 0) return;
    const uint8_t a = uint8_t(colorKey >> 24), r = uint8_t(colorKey >> 16), g = uint8_t(colorKey >> 8),
                  b = uint8_t(colorKey);
    uint8_t* p = img.Pixels.data();
    for (size_t i = 0, n = img.Pixels.size() / 4; i < n; ++i, p += 4) {
        if (p[0] == r && p[1] == g && p[2] == b && (p[3] == a || p[3] == 0)) p[0] = p[1] = p[2] = p[3] = 0;
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
    std::string why;
    if (ReplaceHostFile(hostPath, bytes, why)) return true;
    if (error) *error = why;
    return false;
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
    std::vector<uint8_t> bytes;
    return EncodeImage(format, rgba, width, height, bytes, error) && WriteImageBytes(hostPath, bytes, error);
}

bool EncodeImage(int32_t format, const uint8_t* rgba, int32_t width, int32_t height, std::vector<uint8_t>& bytes,
                 std::string* error) {
    bytes.clear();
    if (!IsSavableImageFormat(format)) {
        if (error) *error = "unsupported image format";
        return false;
    }
    if (!rgba || width < 1 || height < 1 || width > kMaxBmpSide || height > kMaxBmpSide) {
        if (error) *error = "image size out of range";
        return false;
    }
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
        bytes.clear();
        if (error) *error = "cannot encode the image";
        return false;
    }
    return true;
}

}  // namespace zun
