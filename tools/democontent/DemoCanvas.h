// An RGBA picture in memory with the few drawing operations the demo's
// pictures are made of (pixels, rectangles, discs, lines, gradients, alpha
// blending, outlines), and PNG output. Everything the demo shows is painted
// through this class, so that the pictures come from code, not from files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarv::demo {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

constexpr Rgba RGB(int r, int g, int b, int a = 255) {
    return Rgba{uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)};
}

// Component-wise mix: t = 0 gives a, t = 1 gives b.
Rgba Mix(Rgba a, Rgba b, double t);
// The colour scaled towards black (f < 1) or white (f > 1), alpha kept.
Rgba Shade(Rgba c, double f);

// A small deterministic random source (xorshift), so that the same build
// always paints the same pictures.
class DemoRandom {
public:
    explicit DemoRandom(uint32_t seed) : s_(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next();
    double Unit();                   // [0, 1)
    int Range(int lo, int hi);       // lo..hi inclusive
    double Range(double lo, double hi);

private:
    uint32_t s_;
};

// Smooth value noise in [0, 1) on a lattice of the given period, tiling
// seamlessly when the picture size is a multiple of the period.
double TileNoise(double x, double y, int period, uint32_t seed);

class DemoCanvas {
public:
    int W = 0, H = 0;

    DemoCanvas() = default;
    DemoCanvas(int w, int h, Rgba fill = Rgba{});

    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < W && y < H; }
    Rgba Get(int x, int y) const;
    void Set(int x, int y, Rgba c);
    // Source-over blending of c onto the pixel.
    void Blend(int x, int y, Rgba c);

    void Fill(Rgba c);
    void FillRect(int x, int y, int w, int h, Rgba c, bool blend = false);
    void Rect(int x, int y, int w, int h, Rgba c);
    void Line(int x0, int y0, int x1, int y1, Rgba c);
    // Filled ellipse centred on (cx, cy) with radii (rx, ry), in pixel centres.
    void Ellipse(double cx, double cy, double rx, double ry, Rgba c, bool blend = false);
    void Disc(double cx, double cy, double r, Rgba c, bool blend = false) { Ellipse(cx, cy, r, r, c, blend); }
    // Outline of an ellipse, one pixel wide.
    void Ring(double cx, double cy, double rx, double ry, Rgba c);
    // Vertical gradient from top to bottom colour over the rectangle.
    void GradientV(int x, int y, int w, int h, Rgba top, Rgba bottom);
    // Radial falloff: colour c at the centre, fading (alpha) to 0 at radius r.
    void Glow(double cx, double cy, double r, Rgba c, double power = 1.0);

    // Copies (or blends) a region of another picture.
    void Blit(const DemoCanvas& src, int sx, int sy, int w, int h, int dx, int dy, bool blend = false);
    // Mirrors a region horizontally into another place of this picture.
    void BlitMirrored(int sx, int sy, int w, int h, int dx, int dy);
    // Every transparent pixel of the region that touches an opaque one (four
    // neighbours) becomes the outline colour.
    void Outline(int x, int y, int w, int h, Rgba c);
    // Every transparent pixel gets the given RGB with alpha 0, so that a
    // colour key or linear filtering sees that colour there.
    void ClearTransparentTo(Rgba rgb);

    const std::vector<uint8_t>& Pixels() const { return px_; }

    // Encodes as an RGBA PNG. False with a reason on failure.
    bool EncodePng(std::vector<uint8_t>& out, std::string& error) const;

private:
    std::vector<uint8_t> px_;  // RGBA, rows top to bottom
};

}  // namespace tarv::demo
