// The tile sheets of the two levels: 256 x 256 pixels of 16 x 16 tiles. Each
// tile is painted into its cell by a small painter and named for the level
// descriptions. Ground tiles are opaque (the ground and solid wall layers draw
// without blending); the overlays of the mask and roof layers use alpha.
#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/democontent/DemoArt.h"

namespace tarv::demo {

namespace {

constexpr double kPi = 3.14159265358979;

class TileSheet {
public:
    TileSheet(ArtCatalogue& art, const std::string& file) : art_(art), file_(file) {
        art.Sheets.push_back(ArtSheet{file, DemoCanvas(256, 256, RGB(0, 0, 0, 0)), 0, false});
    }
    DemoCanvas& Pic() { return art_.Sheets.back().Picture; }

    // Paints tile `index` with paint(canvas, left, top) and names it.
    void Add(const std::string& name, int index, const std::function<void(DemoCanvas&, int, int)>& paint,
             uint8_t z = 0) {
        paint(Pic(), (index % 16) * kTileSize, (index / 16) * kTileSize);
        art_.Tiles[file_][name] = TileDef{uint8_t(index), uint8_t(index % 16), uint8_t(index / 16), z, 0, 0};
    }
    // An animated tile: frames painted into `index` and the cells to its right.
    void AddAnimated(const std::string& name, int index, int frames, int speed,
                     const std::function<void(DemoCanvas&, int, int, int)>& paint) {
        for (int f = 0; f < frames; ++f) paint(Pic(), ((index + f) % 16) * kTileSize, ((index + f) / 16) * kTileSize, f);
        art_.Tiles[file_][name] = TileDef{uint8_t(index), uint8_t(index % 16), uint8_t(index / 16), 0, uint8_t(frames - 1), speed};
    }
    // One more tile showing a cell already painted, at another height: a
    // tile record of its own (taken from the unused end of the sheet's
    // records) pointing at the same cell.
    void Alias(const std::string& name, const std::string& of, uint8_t z) {
        TileDef t = art_.Tiles[file_][of];
        t.Index = uint8_t(nextAlias_--);
        t.Z = z;
        art_.Tiles[file_][name] = t;
    }

private:
    ArtCatalogue& art_;
    std::string file_;
    int nextAlias_ = 255;
};

// Per-pixel noise around a base colour.
void Speckle(DemoCanvas& c, int x0, int y0, Rgba base, double amount, uint32_t seed) {
    DemoRandom rnd(seed);
    for (int y = 0; y < kTileSize; ++y)
        for (int x = 0; x < kTileSize; ++x) {
            const double n = TileNoise((x0 + x) / 4.0, (y0 + y) / 4.0, 64, seed) - 0.5;
            c.Set(x0 + x, y0 + y, Shade(base, 1.0 + amount * (n + (rnd.Unit() - 0.5) * 0.6)));
        }
}

void Grass(DemoCanvas& c, int x0, int y0, uint32_t seed) {
    Speckle(c, x0, y0, RGB(72, 118, 52), 0.35, seed);
    DemoRandom rnd(seed * 7 + 1);
    for (int i = 0; i < 10; ++i) {
        const int x = rnd.Range(0, 15), y = rnd.Range(1, 15);
        const Rgba blade = rnd.Unit() < 0.5 ? RGB(96, 150, 64) : RGB(52, 92, 40);
        c.Set(x0 + x, y0 + y, blade);
        c.Set(x0 + x, y0 + y - 1, Shade(blade, 1.1));
    }
}

// Rounded stones with mortar between them.
void Stones(DemoCanvas& c, int x0, int y0, Rgba stone, Rgba mortar, uint32_t seed, int rows) {
    c.FillRect(x0, y0, kTileSize, kTileSize, mortar);
    DemoRandom rnd(seed);
    const int h = kTileSize / rows;
    for (int r = 0; r < rows; ++r) {
        int x = (r % 2) ? -rnd.Range(2, 5) : 0;
        while (x < kTileSize) {
            const int w = rnd.Range(5, 8);
            const Rgba s = Shade(stone, rnd.Range(0.85, 1.12));
            for (int yy = 1; yy < h; ++yy)
                for (int xx = 1; xx < w; ++xx) {
                    const int px = x + xx, py = r * h + yy;
                    if (px < 0 || px >= kTileSize) continue;
                    const bool corner = (xx == 1 || xx == w - 1) && (yy == 1 || yy == h - 1);
                    if (corner) continue;
                    Rgba k = s;
                    if (yy == 1 || xx == 1) k = Shade(s, 1.15);
                    if (yy == h - 1 || xx == w - 1) k = Shade(s, 0.8);
                    c.Set(x0 + px, y0 + py, k);
                }
            x += w;
        }
    }
}

void Water(DemoCanvas& c, int x0, int y0, int frame, Rgba deep, Rgba light) {
    for (int y = 0; y < kTileSize; ++y)
        for (int x = 0; x < kTileSize; ++x) {
            const double p = std::sin((x + frame * 4) * 2 * kPi / 16 + std::sin(y * 2 * kPi / 16) * 1.5);
            const double q = std::sin((y * 2 + frame * 4) * 2 * kPi / 16 + x * 0.4);
            const double v = 0.5 + 0.3 * p * q;
            Rgba k = Mix(deep, light, v * 0.55);
            if (p * q > 0.85) k = Shade(light, 1.15);
            c.Set(x0 + x, y0 + y, k);
        }
}

void Hedge(DemoCanvas& c, int x0, int y0, uint32_t seed) {
    // Painted on a tile of its own, so that no leaf spills into a neighbour.
    DemoCanvas t(kTileSize, kTileSize, RGB(30, 62, 32));
    DemoRandom rnd(seed);
    for (int i = 0; i < 22; ++i)
        t.Disc(rnd.Range(0.0, 16.0), rnd.Range(0.0, 16.0), rnd.Range(1.5, 3.0), Shade(RGB(52, 100, 46), rnd.Range(0.7, 1.3)));
    c.Blit(t, 0, 0, kTileSize, kTileSize, x0, y0);
}

void Fence(DemoCanvas& c, int x0, int y0, bool rails, bool post) {
    const Rgba wood = RGB(140, 100, 60), dark = RGB(84, 58, 34);
    if (rails)
        for (int y : {5, 10}) {
            c.FillRect(x0, y0 + y, kTileSize, 2, wood);
            c.FillRect(x0, y0 + y + 2, kTileSize, 1, dark);
        }
    if (post) {
        c.FillRect(x0 + 6, y0 + 1, 4, 15, wood);
        c.FillRect(x0 + 9, y0 + 1, 1, 15, dark);
        c.FillRect(x0 + 6, y0 + 1, 4, 1, Shade(wood, 1.2));
    }
}

void PaintVillage(ArtCatalogue& art) {
    TileSheet t(art, "Tiles Village.png");
    t.Add("grass", 1, [](DemoCanvas& c, int x, int y) { Grass(c, x, y, 101); });
    t.Add("grass2", 2, [](DemoCanvas& c, int x, int y) { Grass(c, x, y, 102); });
    t.Add("grass3", 3, [](DemoCanvas& c, int x, int y) { Grass(c, x, y, 103); });
    t.Add("flowers", 4, [](DemoCanvas& c, int x, int y) {
        Grass(c, x, y, 104);
        DemoRandom rnd(9);
        for (int i = 0; i < 4; ++i) {
            const int fx = x + rnd.Range(2, 13), fy = y + rnd.Range(2, 13);
            const Rgba petal = i % 2 ? RGB(240, 220, 90) : RGB(230, 120, 150);
            c.Set(fx - 1, fy, petal);
            c.Set(fx + 1, fy, petal);
            c.Set(fx, fy - 1, petal);
            c.Set(fx, fy + 1, petal);
            c.Set(fx, fy, RGB(250, 240, 200));
        }
    });
    t.Add("dirt", 5, [](DemoCanvas& c, int x, int y) { Speckle(c, x, y, RGB(122, 92, 62), 0.3, 105); });
    t.Add("dirt2", 6, [](DemoCanvas& c, int x, int y) {
        Speckle(c, x, y, RGB(116, 88, 58), 0.3, 106);
        DemoRandom rnd(3);
        for (int i = 0; i < 5; ++i) c.Set(x + rnd.Range(1, 14), y + rnd.Range(1, 14), RGB(150, 140, 126));
    });
    t.Add("cobble", 7, [](DemoCanvas& c, int x, int y) { Stones(c, x, y, RGB(138, 134, 126), RGB(70, 66, 62), 7, 3); });
    t.Add("cobble2", 8, [](DemoCanvas& c, int x, int y) { Stones(c, x, y, RGB(128, 126, 122), RGB(66, 64, 60), 8, 3); });
    t.Add("puddle", 9, [](DemoCanvas& c, int x, int y) {
        Stones(c, x, y, RGB(72, 80, 92), RGB(40, 44, 54), 9, 3);
        for (int i = 2; i < 14; i += 5) c.Line(x + i, y + 3 + i / 3, x + i + 3, y + 3 + i / 3, RGB(150, 170, 200));
    });
    t.Add("rim", 10, [](DemoCanvas& c, int x, int y) { Stones(c, x, y, RGB(176, 170, 160), RGB(96, 92, 86), 10, 2); });
    t.Add("hedge", 11, [](DemoCanvas& c, int x, int y) { Hedge(c, x, y, 11); });
    t.AddAnimated("water", 16, 4, 6, [](DemoCanvas& c, int x, int y, int f) {
        Water(c, x, y, f, RGB(34, 64, 104), RGB(110, 150, 196));
    });
    // Overlays (mask layers).
    t.Add("tuft", 20, [](DemoCanvas& c, int x, int y) {
        DemoRandom rnd(20);
        for (int i = 0; i < 14; ++i) {
            const int bx = x + rnd.Range(0, 15), h = rnd.Range(2, 5);
            for (int k = 0; k < h; ++k) c.Set(bx + (k > 2 ? 1 : 0), y + 15 - k, Shade(RGB(80, 134, 58), 0.8 + 0.1 * k));
        }
    });
    t.Add("fence", 22, [](DemoCanvas& c, int x, int y) { Fence(c, x, y, true, false); });
    t.Add("fencepost", 23, [](DemoCanvas& c, int x, int y) { Fence(c, x, y, true, true); });
    t.Add("post", 24, [](DemoCanvas& c, int x, int y) { Fence(c, x, y, false, true); });
    t.Add("leaves", 25, [](DemoCanvas& c, int x, int y) {
        DemoRandom rnd(25);
        for (int i = 0; i < 6; ++i) {
            const int lx = x + rnd.Range(1, 14), ly = y + rnd.Range(1, 14);
            const Rgba k = i % 2 ? RGB(190, 120, 40) : RGB(160, 70, 30);
            c.Set(lx, ly, k);
            c.Set(lx + 1, ly, Shade(k, 0.8));
        }
    });
    t.Add("rimtop", 26, [](DemoCanvas& c, int x, int y) {
        c.FillRect(x, y + 10, kTileSize, 6, RGB(186, 180, 170));
        c.FillRect(x, y + 10, kTileSize, 1, RGB(220, 216, 206));
        c.FillRect(x, y + 15, kTileSize, 1, RGB(110, 104, 98));
    });
    // Roofs: the beam of the gate arch and a market awning.
    t.Add("beam", 28, [](DemoCanvas& c, int x, int y) {
        c.FillRect(x, y + 4, kTileSize, 8, RGB(110, 76, 44));
        c.FillRect(x, y + 4, kTileSize, 1, RGB(150, 108, 66));
        c.FillRect(x, y + 11, kTileSize, 1, RGB(60, 40, 24));
        for (int i = 0; i < kTileSize; i += 5) c.Set(x + i, y + 7, RGB(90, 62, 36));
    });
    t.Add("awning", 29, [](DemoCanvas& c, int x, int y) {
        for (int yy = 0; yy < 14; ++yy)
            for (int xx = 0; xx < kTileSize; ++xx) {
                const bool stripe = ((xx / 4) % 2) == 0;
                if (yy >= 11 && (xx % 4 == 0 || xx % 4 == 3) && yy > 12) continue;
                c.Set(x + xx, y + yy, stripe ? RGB(180, 52, 48) : RGB(226, 214, 190));
            }
    });
}

void PaintCellar(ArtCatalogue& art) {
    TileSheet t(art, "Tiles Cellar.png");
    const Rgba flag = RGB(96, 90, 82), mortar = RGB(46, 42, 40);
    t.Add("floor", 1, [=](DemoCanvas& c, int x, int y) { Stones(c, x, y, flag, mortar, 201, 2); });
    t.Add("floor2", 2, [=](DemoCanvas& c, int x, int y) { Stones(c, x, y, Shade(flag, 0.92), mortar, 202, 2); });
    t.Add("floor3", 3, [=](DemoCanvas& c, int x, int y) {
        Stones(c, x, y, flag, mortar, 203, 2);
        c.Line(x + 3, y + 4, x + 8, y + 9, RGB(50, 46, 42));
    });
    t.Add("earth", 4, [](DemoCanvas& c, int x, int y) { Speckle(c, x, y, RGB(72, 56, 42), 0.35, 204); });
    t.Add("straw", 5, [](DemoCanvas& c, int x, int y) {
        Speckle(c, x, y, RGB(72, 56, 42), 0.3, 205);
        DemoRandom rnd(5);
        for (int i = 0; i < 12; ++i) {
            const int sx = x + rnd.Range(0, 12), sy = y + rnd.Range(0, 15);
            c.Line(sx, sy, sx + rnd.Range(2, 4), sy - rnd.Range(-1, 1), RGB(196, 170, 96));
        }
    });
    t.Add("wet", 6, [=](DemoCanvas& c, int x, int y) {
        Stones(c, x, y, RGB(60, 66, 72), RGB(30, 32, 36), 206, 2);
        c.Line(x + 2, y + 5, x + 6, y + 5, RGB(130, 150, 170));
        c.Line(x + 9, y + 11, x + 13, y + 11, RGB(130, 150, 170));
    });
    t.Add("wall", 7, [](DemoCanvas& c, int x, int y) {
        Stones(c, x, y, RGB(112, 100, 88), RGB(52, 46, 42), 207, 2);
        for (int xx = 0; xx < kTileSize; ++xx) c.Blend(x + xx, y + 15, RGB(0, 0, 0, 90));
    });
    t.Alias("wallhigh", "wall", 1);
    t.Add("walltop", 8, [](DemoCanvas& c, int x, int y) {
        Speckle(c, x, y, RGB(34, 30, 28), 0.25, 208);
        c.FillRect(x, y + 15, kTileSize, 1, RGB(70, 62, 56));
    });
    t.Add("brick", 9, [](DemoCanvas& c, int x, int y) { Stones(c, x, y, RGB(128, 72, 56), RGB(60, 40, 36), 209, 4); });
    t.Alias("brickhigh", "brick", 1);
    t.AddAnimated("water", 16, 4, 8, [](DemoCanvas& c, int x, int y, int f) {
        Water(c, x, y, f, RGB(24, 44, 52), RGB(70, 110, 120));
    });
    // Overlays.
    t.Add("crack", 20, [](DemoCanvas& c, int x, int y) {
        c.Line(x + 2, y + 3, x + 6, y + 7, RGB(30, 26, 24, 220));
        c.Line(x + 6, y + 7, x + 5, y + 12, RGB(30, 26, 24, 220));
        c.Line(x + 6, y + 7, x + 11, y + 9, RGB(30, 26, 24, 200));
    });
    t.Add("rubble", 21, [](DemoCanvas& c, int x, int y) {
        DemoRandom rnd(21);
        for (int i = 0; i < 5; ++i) {
            const double px = x + rnd.Range(2.0, 14.0), py = y + rnd.Range(3.0, 14.0);
            c.Ellipse(px, py, 1.8, 1.3, Shade(RGB(110, 100, 90), rnd.Range(0.8, 1.2)));
        }
    });
    t.Add("shade", 22, [](DemoCanvas& c, int x, int y) {
        for (int yy = 0; yy < 8; ++yy) c.FillRect(x, y + yy, kTileSize, 1, RGB(0, 0, 0, 150 - yy * 18));
    });
    t.Add("web", 23, [](DemoCanvas& c, int x, int y) {
        const Rgba silk = RGB(220, 220, 220, 150);
        for (int i = 0; i < 4; ++i) c.Line(x, y + i * 4, x + 15 - i * 4, y, silk);
        c.Line(x, y, x + 12, y + 12, silk);
    });
    t.Add("beam", 28, [](DemoCanvas& c, int x, int y) {
        c.FillRect(x, y + 3, kTileSize, 10, RGB(70, 46, 28));
        c.FillRect(x, y + 3, kTileSize, 1, RGB(104, 72, 44));
        c.FillRect(x, y + 12, kTileSize, 1, RGB(36, 24, 14));
        for (int i = 2; i < kTileSize; i += 6) c.Set(x + i, y + 8, RGB(54, 36, 22));
    });
}

}  // namespace

void AddTileArt(ArtCatalogue& art) {
    PaintVillage(art);
    PaintCellar(art);
}

}  // namespace tarv::demo
