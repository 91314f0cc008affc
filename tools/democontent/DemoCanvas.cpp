#include "tools/democontent/DemoCanvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>

namespace tarv::demo {

namespace {

uint8_t Clamp8(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

Rgba Mix(Rgba a, Rgba b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return Rgba{Clamp8(a.r + (b.r - a.r) * t), Clamp8(a.g + (b.g - a.g) * t), Clamp8(a.b + (b.b - a.b) * t),
                Clamp8(a.a + (b.a - a.a) * t)};
}

Rgba Shade(Rgba c, double f) {
    if (f <= 1.0) return Rgba{Clamp8(c.r * f), Clamp8(c.g * f), Clamp8(c.b * f), c.a};
    const double t = f - 1.0;
    return Rgba{Clamp8(c.r + (255 - c.r) * t), Clamp8(c.g + (255 - c.g) * t), Clamp8(c.b + (255 - c.b) * t), c.a};
}

uint32_t DemoRandom::Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
}

double DemoRandom::Unit() { return double(Next() >> 8) / double(1u << 24); }

int DemoRandom::Range(int lo, int hi) {
    if (hi <= lo) return lo;
    return lo + int(Next() % uint32_t(hi - lo + 1));
}

double DemoRandom::Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }

namespace {

double Lattice(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return double(h & 0xFFFFFF) / double(0x1000000);
}

double Smooth(double t) { return t * t * (3 - 2 * t); }

}  // namespace

double TileNoise(double x, double y, int period, uint32_t seed) {
    if (period < 1) period = 1;
    const double fx = std::floor(x), fy = std::floor(y);
    const double tx = Smooth(x - fx), ty = Smooth(y - fy);
    auto wrap = [period](double v) { return int(((int64_t(v) % period) + period) % period); };
    const int x0 = wrap(fx), y0 = wrap(fy), x1 = wrap(fx + 1), y1 = wrap(fy + 1);
    const double a = Lattice(x0, y0, seed), b = Lattice(x1, y0, seed);
    const double c = Lattice(x0, y1, seed), d = Lattice(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

DemoCanvas::DemoCanvas(int w, int h, Rgba fill) : W(std::max(w, 0)), H(std::max(h, 0)) {
    px_.resize(size_t(W) * size_t(H) * 4);
    Fill(fill);
}

Rgba DemoCanvas::Get(int x, int y) const {
    if (!Inside(x, y)) return Rgba{};
    const uint8_t* p = &px_[(size_t(y) * W + x) * 4];
    return Rgba{p[0], p[1], p[2], p[3]};
}

void DemoCanvas::Set(int x, int y, Rgba c) {
    if (!Inside(x, y)) return;
    uint8_t* p = &px_[(size_t(y) * W + x) * 4];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = c.a;
}

void DemoCanvas::Blend(int x, int y, Rgba c) {
    if (!Inside(x, y) || c.a == 0) return;
    if (c.a == 255) {
        Set(x, y, c);
        return;
    }
    const Rgba d = Get(x, y);
    const double sa = c.a / 255.0, da = d.a / 255.0;
    const double oa = sa + da * (1 - sa);
    if (oa <= 0) return;
    auto ch = [&](uint8_t s, uint8_t t) { return Clamp8((s * sa + t * da * (1 - sa)) / oa); };
    Set(x, y, Rgba{ch(c.r, d.r), ch(c.g, d.g), ch(c.b, d.b), Clamp8(oa * 255)});
}

void DemoCanvas::Fill(Rgba c) {
    for (size_t i = 0; i + 3 < px_.size(); i += 4) {
        px_[i] = c.r;
        px_[i + 1] = c.g;
        px_[i + 2] = c.b;
        px_[i + 3] = c.a;
    }
}

void DemoCanvas::FillRect(int x, int y, int w, int h, Rgba c, bool blend) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) blend ? Blend(i, j, c) : Set(i, j, c);
}

void DemoCanvas::Rect(int x, int y, int w, int h, Rgba c) {
    if (w <= 0 || h <= 0) return;
    for (int i = x; i < x + w; ++i) {
        Set(i, y, c);
        Set(i, y + h - 1, c);
    }
    for (int j = y; j < y + h; ++j) {
        Set(x, j, c);
        Set(x + w - 1, j, c);
    }
}

void DemoCanvas::Line(int x0, int y0, int x1, int y1, Rgba c) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (int guard = 0; guard < 100000; ++guard) {
        Blend(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void DemoCanvas::Ellipse(double cx, double cy, double rx, double ry, Rgba c, bool blend) {
    if (rx <= 0 || ry <= 0) return;
    const int x0 = int(std::floor(cx - rx)), x1 = int(std::ceil(cx + rx));
    const int y0 = int(std::floor(cy - ry)), y1 = int(std::ceil(cy + ry));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
            if (u * u + v * v <= 1.0) blend ? Blend(x, y, c) : Set(x, y, c);
        }
}

void DemoCanvas::Ring(double cx, double cy, double rx, double ry, Rgba c) {
    if (rx <= 0 || ry <= 0) return;
    const int steps = int(std::ceil(2 * 3.14159265 * std::max(rx, ry) * 2)) + 8;
    int lx = 1 << 30, ly = 1 << 30;
    for (int i = 0; i <= steps; ++i) {
        const double a = 2 * 3.14159265358979 * i / steps;
        const int x = int(std::floor(cx + rx * std::cos(a))), y = int(std::floor(cy + ry * std::sin(a)));
        if (x == lx && y == ly) continue;
        Set(x, y, c);
        lx = x;
        ly = y;
    }
}

void DemoCanvas::GradientV(int x, int y, int w, int h, Rgba top, Rgba bottom) {
    for (int j = 0; j < h; ++j) {
        const Rgba c = Mix(top, bottom, h > 1 ? double(j) / (h - 1) : 0.0);
        for (int i = 0; i < w; ++i) Set(x + i, y + j, c);
    }
}

void DemoCanvas::Glow(double cx, double cy, double r, Rgba c, double power) {
    if (r <= 0) return;
    const int x0 = int(std::floor(cx - r)), x1 = int(std::ceil(cx + r));
    const int y0 = int(std::floor(cy - r)), y1 = int(std::ceil(cy + r));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / r;
            if (d >= 1.0) continue;
            Rgba k = c;
            k.a = Clamp8(c.a * std::pow(1.0 - d, power));
            Blend(x, y, k);
        }
}

void DemoCanvas::Blit(const DemoCanvas& src, int sx, int sy, int w, int h, int dx, int dy, bool blend) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            if (!src.Inside(sx + i, sy + j)) continue;
            const Rgba c = src.Get(sx + i, sy + j);
            blend ? Blend(dx + i, dy + j, c) : Set(dx + i, dy + j, c);
        }
}

void DemoCanvas::BlitMirrored(int sx, int sy, int w, int h, int dx, int dy) {
    std::vector<Rgba> tmp;
    tmp.reserve(size_t(std::max(w, 0)) * size_t(std::max(h, 0)));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) tmp.push_back(Get(sx + i, sy + j));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) Set(dx + (w - 1 - i), dy + j, tmp[size_t(j) * w + i]);
}

void DemoCanvas::Outline(int x, int y, int w, int h, Rgba c) {
    std::vector<std::pair<int, int>> marks;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            if (!Inside(i, j) || Get(i, j).a != 0) continue;
            auto solid = [&](int a, int b) {
                return a >= x && b >= y && a < x + w && b < y + h && Get(a, b).a >= 128;
            };
            if (solid(i - 1, j) || solid(i + 1, j) || solid(i, j - 1) || solid(i, j + 1)) marks.emplace_back(i, j);
        }
    for (auto [i, j] : marks) Set(i, j, c);
}

void DemoCanvas::ClearTransparentTo(Rgba rgb) {
    for (size_t i = 0; i + 3 < px_.size(); i += 4)
        if (px_[i + 3] == 0) {
            px_[i] = rgb.r;
            px_[i + 1] = rgb.g;
            px_[i + 2] = rgb.b;
        }
}

bool DemoCanvas::EncodePng(std::vector<uint8_t>& out, std::string& error) const {
    out.clear();
    if (W < 1 || H < 1) {
        error = "empty picture";
        return false;
    }
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = png_uint_32(W);
    img.height = png_uint_32(H);
    img.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&img, nullptr, &size, 0, px_.data(), 0, nullptr)) {
        error = img.message;
        return false;
    }
    out.resize(size);
    if (!png_image_write_to_memory(&img, out.data(), &size, 0, px_.data(), 0, nullptr)) {
        error = img.message;
        out.clear();
        return false;
    }
    out.resize(size);
    return true;
}

}  // namespace tarv::demo
