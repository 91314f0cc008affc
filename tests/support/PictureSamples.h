// Pictures written at test time the way other programs write them, with the
// libraries they use: PNG through libpng, JPEG through libjpeg. Header-only:
// the tests that use it link the platform library, which brings both.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace zun::test {

// A PNG as libpng writes it: rows are given in the file's own sample layout.
struct PngSpec {
    int w = 2, h = 2;
    int colorType = PNG_COLOR_TYPE_RGBA;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> trnsAlpha;       // palette transparency
    bool trnsColor = false;               // single transparent colour (grey or RGB)
    png_color_16 trnsValue{};
    bool gamma = false;                   // a gAMA chunk, which must not change the pixels
};

inline std::vector<uint8_t> EncodePng(const PngSpec& spec, const std::vector<uint8_t>& samples) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "png encoding failed";
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
            auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, spec.w, spec.h, spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
    if (!spec.trnsAlpha.empty())
        png_set_tRNS(png, info, spec.trnsAlpha.data(), int(spec.trnsAlpha.size()), nullptr);
    if (spec.trnsColor) png_set_tRNS(png, info, nullptr, 0, &spec.trnsValue);
    if (spec.gamma) png_set_gAMA(png, info, 1.0 / 1.0);
    png_write_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(spec.h);
    std::vector<uint8_t> copy = samples;
    for (int y = 0; y < spec.h; ++y) rows[y] = copy.data() + rowBytes * y;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A JPEG of one colour as libjpeg writes it at the given quality.
inline std::vector<uint8_t> EncodeJpeg(int w, int h, int quality) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(w) * 3, 200);
    for (int y = 0; y < h; ++y) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

}  // namespace zun::test
