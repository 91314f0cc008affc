#include "platform/ImageReaders.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "platform/RenderBackend.h"

namespace zun::imagereaders {

namespace {

uint32_t U16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

bool SideOk(int64_t w, int64_t h) { return w >= 1 && h >= 1 && w <= kMaxTextureSide && h <= kMaxTextureSide; }

// A picture of transparent black, or false when memory runs out.
bool StartPicture(Image& out, int32_t w, int32_t h, std::string& error) {
    try {
        out.Pixels.assign(size_t(w) * size_t(h) * 4, 0);
    } catch (const std::bad_alloc&) {
        out = Image{};
        return Fail(error, "out of memory");
    }
    out.Width = w;
    out.Height = h;
    return true;
}

void Put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = a;
}

// Many writers leave the fourth byte of 32-bit pixels at zero because it
// means nothing to them: a picture whose every alpha is zero is opaque.
void OpaqueWhenAlphaUnused(Image& img) {
    const size_t n = img.Pixels.size();
    for (size_t i = 3; i < n; i += 4)
        if (img.Pixels[i] != 0) return;
    for (size_t i = 3; i < n; i += 4) img.Pixels[i] = 255;
}

// ---- BMP ----

// One colour channel of a packed 16- or 32-bit pixel.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(uint32_t m = 0) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        bits = std::bit_width(m >> shift);
    }
    uint8_t Get(uint32_t v, uint8_t none) const {
        if (!mask) return none;
        const uint32_t x = (v & mask) >> shift;
        if (bits >= 8) return uint8_t(x >> (bits - 8));
        const uint32_t max = (1u << bits) - 1;
        return uint8_t((x * 255 + max / 2) / max);
    }
};

struct BmpHeader {
    int32_t w = 0, h = 0;
    bool topDown = false;
    bool runs = false;  // the pixels come as runs of 8- or 4-bit indices
    uint32_t bits = 0;
    size_t offset = 0;
    size_t paletteAt = 0, paletteCount = 0, paletteEntry = 4;
    uint32_t masks[4] = {};  // red, green, blue, alpha
    bool alphaFromFile = false;
};

bool ParseBmp(const uint8_t* d, size_t n, BmpHeader& b, std::string& error) {
    if (!IsBmp(d, n)) return Fail(error, "not a BMP file");
    if (n < 18) return Fail(error, "file is truncated");
    b.offset = U32(d + 10);
    const size_t headerSize = U32(d + 14);
    uint32_t compression = 0, colorsUsed = 0;
    int64_t w = 0, h = 0;
    if (headerSize == 12) {
        // The oldest header: 16-bit sizes, three-byte palette entries.
        if (n < 26) return Fail(error, "file is truncated");
        w = U16(d + 18);
        h = U16(d + 20);
        b.bits = U16(d + 24);
        b.paletteEntry = 3;
    } else if (headerSize >= 40 && headerSize <= 1024) {
        if (n < 14 + 40) return Fail(error, "file is truncated");
        w = int32_t(U32(d + 18));
        h = int32_t(U32(d + 22));
        // A negative height stores the rows top to bottom.
        if (h < 0) {
            b.topDown = true;
            h = -h;
        }
        b.bits = U16(d + 28);
        compression = U32(d + 30);
        colorsUsed = U32(d + 46);
    } else {
        return Fail(error, "unsupported BMP header");
    }
    if (!SideOk(w, h)) return Fail(error, "image size out of range");
    b.w = int32_t(w);
    b.h = int32_t(h);

    size_t after = 14 + headerSize;  // where masks or palette follow
    const bool bitfields = compression == 3 || compression == 6;
    b.runs = compression == 1 || compression == 2;
    if (compression != 0 && !bitfields && !b.runs) return Fail(error, "unsupported BMP compression");
    if (b.runs) {
        if (b.bits != (compression == 1 ? 8u : 4u)) return Fail(error, "damaged BMP file");
    } else if (bitfields) {
        if (b.bits != 16 && b.bits != 32) return Fail(error, "damaged BMP file");
        const size_t count = compression == 6 || headerSize >= 56 ? 4 : 3;
        // The masks sit inside the newer headers, behind the 40-byte one.
        const size_t at = 14 + 40;
        if (at + 4 * count > n) return Fail(error, "file is truncated");
        for (size_t i = 0; i < count; ++i) b.masks[i] = U32(d + at + 4 * i);
        if (headerSize == 40) after += 4 * count;
        b.alphaFromFile = b.masks[3] != 0;
    } else if (b.bits == 16) {
        b.masks[0] = 0x7C00, b.masks[1] = 0x03E0, b.masks[2] = 0x001F;
    } else if (b.bits == 32) {
        b.masks[0] = 0xFF0000, b.masks[1] = 0xFF00, b.masks[2] = 0xFF, b.masks[3] = 0xFF000000u;
        b.alphaFromFile = true;
    } else if (b.bits == 2 || b.bits == 64) {
        // Depths the format has that few programs write: the file is sound.
        error = "unsupported BMP bit depth (" + std::to_string(b.bits) + " bits per pixel)";
        return false;
    } else if (b.bits != 1 && b.bits != 4 && b.bits != 8 && b.bits != 24) {
        return Fail(error, "damaged BMP file");
    }
    if (b.bits <= 8) {
        size_t count = size_t(1) << b.bits;
        if (colorsUsed != 0 && colorsUsed < count) count = colorsUsed;
        // Some writers leave fewer entries than they claim before the pixels.
        if (b.offset > after && (b.offset - after) / b.paletteEntry < count) count = (b.offset - after) / b.paletteEntry;
        if (after + count * b.paletteEntry > n) return Fail(error, "file is truncated");
        b.paletteAt = after;
        b.paletteCount = count;
    }
    if (b.offset > n) return Fail(error, "file is truncated");
    if (b.runs) {
        // What no run covers stays transparent and costs no byte, so past
        // kMaxSparsePicture the picture must be one its runs could fill: two
        // bytes give at most 255 pixels.
        const uint64_t area = uint64_t(b.w) * uint64_t(b.h);
        if (area > kMaxSparsePicture && area > uint64_t(n - b.offset) / 2 * 255)
            return Fail(error, "BMP picture too large for the data that fills it");
        return true;
    }
    // Rows are padded to four bytes, which a writer may leave off the last.
    const size_t row = (size_t(b.w) * b.bits + 7) / 8;
    const size_t stride = (size_t(b.w) * b.bits + 31) / 32 * 4;
    if (n - b.offset < stride * size_t(b.h - 1) + row) return Fail(error, "file is truncated");
    return true;
}

// The pixels of a run-length BMP: runs of one index, literal runs padded to
// whole 16-bit words, and escapes for the end of a line, the end of the
// picture and a jump ahead. Rows count in the file's order; what no run
// covers stays transparent. A run that would cross the picture's edge, or a
// jump out of it, is a damaged file.
bool DecodeBmpRuns(const uint8_t* d, size_t n, const BmpHeader& b, uint8_t (*palette)[4], Image& out,
                   std::string& error) {
    const bool nibbles = b.bits == 4;
    const int64_t w = b.w, h = b.h;
    int64_t x = 0, y = 0;
    size_t pos = b.offset;
    auto fail = [&](const char* why) {
        out = Image{};
        return Fail(error, why);
    };
    auto row = [&] { return out.Pixels.data() + size_t(b.topDown ? y : h - 1 - y) * size_t(w) * 4; };
    for (;;) {
        if (n - pos < 2) {
            // A writer may leave off the last escape once every row is done.
            if (y >= h || (y == h - 1 && x == w)) return true;
            return fail("file is truncated");
        }
        const uint32_t count = d[pos], value = d[pos + 1];
        pos += 2;
        if (count > 0) {
            if (y >= h || count > w - x) return fail("damaged BMP file");
            uint8_t* p = row() + size_t(x) * 4;
            for (uint32_t k = 0; k < count; ++k, p += 4)
                std::memcpy(p, palette[nibbles ? (k & 1 ? value & 15 : value >> 4) : value], 4);
            x += count;
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (n - pos < 2) return fail("file is truncated");
            x += d[pos];
            y += d[pos + 1];
            pos += 2;
            if (x > w || y > h) return fail("damaged BMP file");
        } else {
            const size_t bytes = nibbles ? (value + 1) / 2 : value;
            if (n - pos < bytes) return fail("file is truncated");
            if (y >= h || value > w - x) return fail("damaged BMP file");
            uint8_t* p = row() + size_t(x) * 4;
            for (uint32_t k = 0; k < value; ++k, p += 4) {
                const uint8_t byte = d[pos + (nibbles ? k / 2 : k)];
                std::memcpy(p, palette[nibbles ? (k & 1 ? byte & 15 : byte >> 4) : byte], 4);
            }
            x += value;
            pos = std::min(n, pos + (bytes + 1) / 2 * 2);
        }
    }
}

// ---- TGA ----

struct TgaHeader {
    int32_t w = 0, h = 0;
    uint32_t type = 0, bits = 0, bytes = 0;
    uint32_t mapFirst = 0, mapLength = 0, mapBits = 0;
    bool topDown = false, rightToLeft = false;
    size_t mapAt = 0, dataAt = 0;
};

bool ParseTga(const uint8_t* d, size_t n, TgaHeader& t, std::string& error) {
    if (!IsTga(d, n)) return Fail(error, "not a TGA file");
    t.type = d[2];
    t.mapFirst = U16(d + 3);
    t.mapLength = d[1] ? U16(d + 5) : 0;
    t.mapBits = d[7];
    t.w = int32_t(U16(d + 12));
    t.h = int32_t(U16(d + 14));
    t.bits = d[16];
    t.bytes = (t.bits + 7) / 8;
    t.rightToLeft = (d[17] & 0x10) != 0;
    t.topDown = (d[17] & 0x20) != 0;
    const uint32_t kind = t.type & 7;  // 1 mapped, 2 true colour, 3 grey; +8 run-length
    if (kind == 1) {
        if (d[1] != 1 || (t.bits != 8 && t.bits != 16)) return Fail(error, "damaged TGA file");
        if (t.mapBits != 15 && t.mapBits != 16 && t.mapBits != 24 && t.mapBits != 32)
            return Fail(error, "damaged TGA file");
    } else if (kind == 2) {
        // Some writers store grey pictures as 8-bit true colour.
        if (t.bits != 8 && t.bits != 15 && t.bits != 16 && t.bits != 24 && t.bits != 32)
            return Fail(error, "damaged TGA file");
    } else if (t.bits != 8 && t.bits != 16) {
        return Fail(error, "damaged TGA file");
    }
    if (!SideOk(t.w, t.h)) return Fail(error, "image size out of range");
    t.mapAt = 18 + size_t(d[0]);
    t.dataAt = t.mapAt + size_t(t.mapLength) * ((t.mapBits + 7) / 8);
    // A run-length packet of one byte plus one pixel covers at most 128 pixels.
    const size_t pixels = size_t(t.w) * size_t(t.h);
    const size_t least = t.type >= 9 ? (pixels + 127) / 128 * (1 + t.bytes) : pixels * t.bytes;
    if (t.dataAt > n || n - t.dataAt < least) return Fail(error, "file is truncated");
    return true;
}

// A TGA pixel (or colour-map entry) of `bits` bits as RGBA.
void TgaColour(const uint8_t* p, uint32_t bits, bool grey, uint8_t* rgba) {
    if (grey) {
        Put(rgba, p[0], p[0], p[0], bits == 16 ? p[1] : 255);
    } else if (bits == 15 || bits == 16) {
        const uint32_t v = U16(p);
        auto five = [](uint32_t x) { return uint8_t((x & 31) * 255 / 31); };
        Put(rgba, five(v >> 10), five(v >> 5), five(v), 255);
    } else if (bits == 24) {
        Put(rgba, p[2], p[1], p[0], 255);
    } else {
        Put(rgba, p[2], p[1], p[0], p[3]);
    }
}

// ---- GIF ----

// The image data: sub-blocks of up to 255 bytes, ended by an empty one.
struct SubBlocks {
    const uint8_t* d;
    size_t n, pos, left = 0;
    bool ended = false, truncated = false;
    int Next() {
        if (left == 0) {
            if (pos >= n) return truncated = true, -1;
            left = d[pos++];
            if (left == 0) return ended = true, -1;
        }
        if (pos >= n) return truncated = true, -1;
        --left;
        return d[pos++];
    }
};

// Skips the sub-blocks of an extension; false when the file ends first.
bool SkipSubBlocks(const uint8_t* d, size_t n, size_t& pos) {
    while (pos < n) {
        const size_t len = d[pos++];
        if (len == 0) return true;
        if (len > n - pos) return false;
        pos += len;
    }
    return false;
}

}  // namespace

bool IsBmp(const uint8_t* d, size_t n) { return n >= 2 && d[0] == 'B' && d[1] == 'M'; }

bool IsGif(const uint8_t* d, size_t n) {
    return n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0);
}

bool IsTga(const uint8_t* d, size_t n) {
    if (n < 18) return false;
    const uint8_t mapType = d[1], type = d[2], bits = d[16];
    if (mapType > 1) return false;
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
    return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

bool BmpSize(const uint8_t* d, size_t n, int32_t& w, int32_t& h, std::string& error) {
    BmpHeader b;
    if (!ParseBmp(d, n, b, error)) return false;
    w = b.w, h = b.h;
    return true;
}

bool TgaSize(const uint8_t* d, size_t n, int32_t& w, int32_t& h, std::string& error) {
    TgaHeader t;
    if (!ParseTga(d, n, t, error)) return false;
    w = t.w, h = t.h;
    return true;
}

bool GifSize(const uint8_t* d, size_t n, int32_t& w, int32_t& h, std::string& error) {
    if (!IsGif(d, n)) return Fail(error, "not a GIF file");
    if (n < 13) return Fail(error, "file is truncated");
    w = int32_t(U16(d + 6));
    h = int32_t(U16(d + 8));
    if (!SideOk(w, h)) return Fail(error, "image size out of range");
    // A frame often covers only part of the canvas, the rest staying
    // transparent, and that rest costs the file no byte: so a canvas up to
    // kMaxSparsePicture pixels is taken whatever the file holds. A larger
    // one must be one the file's bytes could fill, so that a header alone
    // cannot make a large picture be allocated. An LZW code of c bits stands
    // for at most 2^c pixels, and 2^c / c is largest for the widest code, 12
    // bits: no byte of a file gives more than 8 * 4096 / 12 pixels.
    const uint64_t area = uint64_t(w) * uint64_t(h);
    if (area > kMaxSparsePicture && area * 12 > uint64_t(n) * 8 * 4096)
        return Fail(error, "GIF canvas too large for the data that fills it");
    return true;
}

bool DecodeBmp(const uint8_t* d, size_t n, Image& out, std::string& error) {
    out = Image{};
    BmpHeader b;
    if (!ParseBmp(d, n, b, error) || !StartPicture(out, b.w, b.h, error)) return false;
    uint8_t palette[256][4];
    for (size_t i = 0; i < 256; ++i) {
        if (i < b.paletteCount) {
            const uint8_t* e = d + b.paletteAt + i * b.paletteEntry;
            Put(palette[i], e[2], e[1], e[0], 255);
        } else {
            Put(palette[i], 0, 0, 0, 255);  // an index the palette lacks
        }
    }
    if (b.runs) return DecodeBmpRuns(d, n, b, palette, out, error);
    const Channel ch[4] = {Channel(b.masks[0]), Channel(b.masks[1]), Channel(b.masks[2]), Channel(b.masks[3])};
    const size_t stride = (size_t(b.w) * b.bits + 31) / 32 * 4;
    for (int32_t r = 0; r < b.h; ++r) {
        const uint8_t* src = d + b.offset + stride * size_t(r);
        const int32_t y = b.topDown ? r : b.h - 1 - r;
        uint8_t* dst = out.Pixels.data() + size_t(y) * size_t(b.w) * 4;
        for (int32_t x = 0; x < b.w; ++x, dst += 4) {
            switch (b.bits) {
                case 1: std::memcpy(dst, palette[src[x >> 3] >> (7 - (x & 7)) & 1], 4); break;
                case 4: std::memcpy(dst, palette[src[x >> 1] >> (x & 1 ? 0 : 4) & 15], 4); break;
                case 8: std::memcpy(dst, palette[src[x]], 4); break;
                case 24: Put(dst, src[x * 3 + 2], src[x * 3 + 1], src[x * 3], 255); break;
                default: {
                    const uint32_t v = b.bits == 16 ? U16(src + x * 2) : U32(src + x * 4);
                    Put(dst, ch[0].Get(v, 0), ch[1].Get(v, 0), ch[2].Get(v, 0), ch[3].Get(v, 255));
                }
            }
        }
    }
    if (b.alphaFromFile) OpaqueWhenAlphaUnused(out);
    return true;
}

bool DecodeTga(const uint8_t* d, size_t n, Image& out, std::string& error) {
    out = Image{};
    TgaHeader t;
    if (!ParseTga(d, n, t, error)) return false;
    const bool mapped = (t.type & 7) == 1, grey = (t.type & 7) == 3 || t.bits == 8;
    // The colour map as RGBA; entries the file cuts off stay black.
    std::vector<uint8_t> map;
    if (mapped) {
        try {
            map.assign(size_t(t.mapLength) * 4, 0);
        } catch (const std::bad_alloc&) {
            return Fail(error, "out of memory");
        }
        const size_t entry = (t.mapBits + 7) / 8;
        for (size_t i = 0; i < t.mapLength; ++i) TgaColour(d + t.mapAt + i * entry, t.mapBits, false, &map[i * 4]);
    }
    if (!StartPicture(out, t.w, t.h, error)) return false;
    auto colour = [&](const uint8_t* p, uint8_t* rgba) {
        if (!mapped) return TgaColour(p, t.bits, grey, rgba);
        const uint32_t index = t.bits == 16 ? U16(p) : p[0];
        if (index >= t.mapFirst && index - t.mapFirst < t.mapLength) std::memcpy(rgba, &map[(index - t.mapFirst) * 4], 4);
        else Put(rgba, 0, 0, 0, 255);
    };
    const size_t total = size_t(t.w) * size_t(t.h);
    auto place = [&](size_t i) {
        const size_t fx = i % size_t(t.w), fy = i / size_t(t.w);
        const size_t x = t.rightToLeft ? size_t(t.w) - 1 - fx : fx;
        const size_t y = t.topDown ? fy : size_t(t.h) - 1 - fy;
        return out.Pixels.data() + (y * size_t(t.w) + x) * 4;
    };
    size_t pos = t.dataAt;
    if (t.type < 9) {
        for (size_t i = 0; i < total; ++i, pos += t.bytes) colour(d + pos, place(i));
    } else {
        // Packets may run on from one row into the next.
        size_t i = 0;
        while (i < total) {
            if (pos >= n) {
                out = Image{};
                return Fail(error, "file is truncated");
            }
            const uint8_t head = d[pos++];
            const size_t count = std::min(size_t(head & 127) + 1, total - i);
            const size_t need = head & 0x80 ? t.bytes : count * t.bytes;
            if (need > n - pos) {
                out = Image{};
                return Fail(error, "file is truncated");
            }
            if (head & 0x80) {
                uint8_t rgba[4];
                colour(d + pos, rgba);
                for (size_t k = 0; k < count; ++k) std::memcpy(place(i + k), rgba, 4);
                pos += t.bytes;
            } else {
                for (size_t k = 0; k < count; ++k, pos += t.bytes) colour(d + pos, place(i + k));
            }
            i += count;
        }
    }
    if (t.bits == 32 && !mapped) OpaqueWhenAlphaUnused(out);
    return true;
}

bool DecodeGif(const uint8_t* d, size_t n, Image& out, std::string& error) {
    out = Image{};
    int32_t sw = 0, sh = 0;
    if (!GifSize(d, n, sw, sh, error)) return false;
    auto fail = [&](const char* why) {
        out = Image{};
        return Fail(error, why);
    };
    size_t pos = 13;
    const uint8_t* table = nullptr;
    size_t tableCount = 0;
    if (d[10] & 0x80) {
        tableCount = size_t(2) << (d[10] & 7);
        if (tableCount * 3 > n - pos) return fail("file is truncated");
        table = d + pos;
        pos += tableCount * 3;
    }
    int transparent = -1;
    for (;;) {
        if (pos >= n) return fail("file is truncated");
        const uint8_t block = d[pos++];
        if (block == 0x3B) return fail("GIF file without a picture");
        if (block == 0x21) {
            if (pos >= n) return fail("file is truncated");
            const uint8_t label = d[pos++];
            // The graphic control block says which index is transparent.
            if (label == 0xF9 && pos + 5 <= n && d[pos] >= 4) transparent = (d[pos + 1] & 1) ? d[pos + 4] : -1;
            if (!SkipSubBlocks(d, n, pos)) return fail("file is truncated");
            continue;
        }
        if (block != 0x2C) return fail("damaged GIF file");
        break;
    }
    if (n - pos < 9) return fail("file is truncated");
    const uint32_t left = U16(d + pos), top = U16(d + pos + 2), fw = U16(d + pos + 4), fh = U16(d + pos + 6);
    const uint8_t flags = d[pos + 8];
    pos += 9;
    if (fw == 0 || fh == 0) return fail("damaged GIF file");
    if (flags & 0x80) {
        tableCount = size_t(2) << (flags & 7);
        if (tableCount * 3 > n - pos) return fail("file is truncated");
        table = d + pos;
        pos += tableCount * 3;
    }
    if (!table) return fail("GIF file without colours");
    if (pos >= n) return fail("file is truncated");
    const uint32_t minSize = d[pos++];
    if (minSize < 2 || minSize > 8) return fail("damaged GIF file");
    if (!StartPicture(out, sw, sh, error)) return false;

    // Rows of an interlaced frame come in four passes.
    static const uint32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    const bool interlaced = (flags & 0x40) != 0;
    // A frame may reach past its canvas (writers that crop the canvas and
    // not the frame): only its part inside the canvas is drawn, as other
    // readers draw it, and the data is decoded only as far as that part.
    const uint32_t shownW = left < uint32_t(sw) ? std::min(fw, uint32_t(sw) - left) : 0;
    const uint32_t shownH = top < uint32_t(sh) ? std::min(fh, uint32_t(sh) - top) : 0;
    size_t total = 0;
    if (shownW > 0 && shownH > 0) {
        // The place of the last row shown among the rows as they come.
        size_t order = 0, last = 0;
        for (int p = 0; p < (interlaced ? 4 : 1); ++p)
            for (uint32_t r = interlaced ? start[p] : 0; r < fh; r += interlaced ? step[p] : 1, ++order)
                if (r < shownH) last = order;
        total = last * size_t(fw) + shownW;
    }
    // No more than the largest picture's worth of pixels is decoded for it.
    if (total > uint64_t(kMaxTextureSide) * uint64_t(kMaxTextureSide)) return fail("damaged GIF file");
    size_t done = 0, x = 0, row = 0;
    int pass = 0;
    auto emit = [&](uint8_t index) {
        if (done >= total || row >= fh) return;
        if (x < shownW && row < shownH && index != transparent) {
            uint8_t* p = out.Pixels.data() + ((size_t(top) + row) * size_t(sw) + left + x) * 4;
            if (index < tableCount) Put(p, table[index * 3], table[index * 3 + 1], table[index * 3 + 2], 255);
            else Put(p, 0, 0, 0, 255);
        }
        ++done;
        if (++x < fw) return;
        x = 0;
        if (!interlaced) {
            ++row;
            return;
        }
        row += step[pass];
        while (row >= fh && pass < 3) row = start[++pass];
    };

    // LZW with codes of up to 12 bits; the table stops growing when full.
    static thread_local uint16_t prefix[4096];
    static thread_local uint8_t suffix[4096], first[4096], stack[4096];
    const uint32_t clear = 1u << minSize, end = clear + 1;
    uint32_t next = clear + 2, codeSize = minSize + 1;
    int32_t prev = -1;
    for (uint32_t i = 0; i < clear; ++i) suffix[i] = first[i] = uint8_t(i);
    SubBlocks in{d, n, pos};
    uint32_t acc = 0, bits = 0;
    while (done < total) {
        while (bits < codeSize) {
            const int b = in.Next();
            if (b < 0) break;
            acc |= uint32_t(b) << bits;
            bits += 8;
        }
        if (bits < codeSize) break;
        const uint32_t code = acc & ((1u << codeSize) - 1);
        acc >>= codeSize;
        bits -= codeSize;
        if (code == clear) {
            next = clear + 2, codeSize = minSize + 1, prev = -1;
            continue;
        }
        if (code == end) break;
        if (prev < 0) {
            if (code >= clear) return fail("damaged GIF file");
            emit(uint8_t(code));
            prev = int32_t(code);
            continue;
        }
        if (code > next || (code == next && next >= 4096)) return fail("damaged GIF file");
        if (next < 4096) {
            prefix[next] = uint16_t(prev);
            first[next] = first[prev];
            suffix[next] = code == next ? first[prev] : first[code];
            ++next;
            if (next == (1u << codeSize) && codeSize < 12) ++codeSize;
        }
        uint32_t depth = 0;
        for (uint32_t c = code; depth < 4096; c = prefix[c]) {
            stack[depth++] = suffix[c];
            if (c < clear) break;
        }
        while (depth > 0) emit(stack[--depth]);
        prev = int32_t(code);
    }
    // A cut file is damaged; data that simply ends early leaves the rest of
    // the frame transparent, as other readers do.
    if (in.truncated) return fail("file is truncated");
    return true;
}

}  // namespace zun::imagereaders
