#include "tools/democontent/DemoArt.h"

#include <algorithm>
#include <cmath>

namespace tarv::demo {

namespace {

constexpr double kPi = 3.14159265358979;

// Colour keys as ARGB numbers.
constexpr int32_t kKeyWhite = int32_t(0xFFFFFFFF);
constexpr int32_t kKeyBlack = int32_t(0xFF000000);
constexpr int32_t kKeyMagenta = int32_t(0xFFFF00FF);

const Rgba kInk = RGB(28, 22, 30);

ArtSheet& NewSheet(ArtCatalogue& art, const std::string& file, int w, int h, Rgba fill, int32_t key, bool smooth) {
    art.Sheets.push_back(ArtSheet{file, DemoCanvas(w, h, fill), key, smooth});
    return art.Sheets.back();
}

// The four pointer pictures, 32 x 32 each, anchored where the Parts of the
// interface put their origins.
void PaintCursors(ArtCatalogue& art) {
    DemoCanvas& c = NewSheet(art, "Demo Cursors.png", 64, 64, RGB(255, 0, 255, 0), kKeyMagenta, false).Picture;
    const Rgba white = RGB(250, 250, 240), gold = RGB(255, 214, 120);
    // Plain: a ring with ticks around (14, 14).
    c.Ring(14.5, 14.5, 5, 5, white);
    c.Ring(14.5, 14.5, 4, 4, gold);
    for (int d = 8; d <= 10; ++d) {
        c.Set(14 - d, 14, white);
        c.Set(14 + d, 14, white);
        c.Set(14, 14 - d, white);
        c.Set(14, 14 + d, white);
    }
    c.Set(14, 14, white);
    c.Outline(0, 0, 32, 32, kInk);
    // Look: an eye around (15, 15) of the second cell.
    c.Ellipse(47.5, 15.5, 10, 5.5, white);
    c.Disc(47.5, 15.5, 4, RGB(70, 120, 200));
    c.Disc(47.5, 15.5, 1.8, RGB(16, 16, 24));
    c.Set(46, 14, white);
    c.Outline(32, 0, 32, 32, kInk);
    // Use: a hand whose finger tip is at (12, 5).
    const Rgba skin = RGB(250, 218, 176), skinDark = RGB(214, 170, 128);
    c.FillRect(10, 37, 5, 11, skin);
    c.Set(10, 37, RGB(255, 0, 255, 0));
    c.Set(14, 37, RGB(255, 0, 255, 0));
    c.FillRect(8, 46, 13, 10, skin);
    c.FillRect(15, 43, 2, 3, skin);
    c.FillRect(17, 44, 2, 2, skin);
    c.FillRect(19, 45, 2, 1, skin);
    c.FillRect(5, 48, 4, 4, skin);
    c.Line(15, 46, 15, 50, skinDark);
    c.Line(17, 46, 17, 50, skinDark);
    c.FillRect(9, 55, 11, 1, skinDark);
    c.Outline(0, 32, 32, 32, kInk);
    // Talk: a speech bubble whose tail ends at (16, 21).
    c.Ellipse(48.5, 42.5, 12, 8, white);
    for (int y = 48; y <= 53; ++y)
        for (int x = 46; x <= 48 + (53 - y) / 3; ++x)
            if (x >= 48 - (53 - y) / 2) c.Set(x, y, white);
    for (int i = 0; i < 3; ++i) c.FillRect(43 + i * 4, 42, 2, 2, kInk);
    c.Outline(32, 32, 32, 32, kInk);
}

// The soft round shadow under characters, stretched over their footprint.
void PaintShadow(ArtCatalogue& art) {
    DemoCanvas& c = NewSheet(art, "Demo Shadow.png", 64, 64, RGB(0, 0, 0, 0), kKeyWhite, true).Picture;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x + 0.5 - 32, y + 0.5 - 32) / 31.0;
            if (d < 1) c.Set(x, y, RGB(0, 0, 0, int(230 * std::pow(1 - d, 1.2))));
        }
}

// Particle cells of 32 x 32: sparks and sparkles in the first row, water
// rings and the footprint in the third, smoke puffs in the fourth.
void PaintParticles(ArtCatalogue& art) {
    DemoCanvas& c = NewSheet(art, "Demo Particles.png", 256, 128, RGB(0, 0, 0, 0), kKeyBlack, true).Picture;
    const Rgba hot = RGB(255, 250, 235);
    // Row 0: seven small lights of different shapes.
    c.Glow(16, 16, 8, hot, 1.5);
    c.Glow(48, 16, 5, hot, 1.0);
    for (int i = -7; i <= 7; ++i) {
        const int a = 255 - std::abs(i) * 30;
        c.Blend(48 + i, 16, RGB(255, 250, 235, a));
        c.Blend(48, 16 + i, RGB(255, 250, 235, a));
    }
    c.Glow(80, 16, 4, hot, 0.8);
    for (int i = -5; i <= 5; ++i) {
        const int a = 230 - std::abs(i) * 40;
        if (a > 0) {
            c.Blend(80 + i, 16 + i, RGB(255, 240, 210, a));
            c.Blend(80 + i, 16 - i, RGB(255, 240, 210, a));
        }
    }
    c.Glow(112, 16, 3, hot, 0.6);
    for (int y = 0; y < 32; ++y)
        for (int x = 128; x < 160; ++x) {
            const double d = std::fabs(x + 0.5 - 144) + std::fabs(y + 0.5 - 16);
            if (d < 7) c.Blend(x, y, RGB(255, 245, 220, int(255 * (1 - d / 7))));
        }
    c.Glow(176, 16, 10, RGB(255, 235, 200, 200), 2.0);
    c.Glow(208, 16, 6, hot, 2.5);
    // Row 2: two water rings, seen at an angle, and a footprint.
    for (int k = 0; k < 2; ++k) {
        const double cx = 16 + 32 * k, cy = 80, rx = 13 - k * 2, ry = 6.5 - k;
        for (int y = 64; y < 96; ++y)
            for (int x = 32 * k; x < 32 * k + 32; ++x) {
                const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
                const double d = std::fabs(std::sqrt(u * u + v * v) - 1.0);
                if (d < 0.25) c.Blend(x, y, RGB(220, 235, 255, int(255 * (1 - d / 0.25))));
            }
    }
    c.Ellipse(80, 76, 4.5, 7, RGB(255, 255, 255, 230));
    c.Ellipse(80, 87, 3.5, 3.5, RGB(255, 255, 255, 230));
    // Row 3: five smoke puffs.
    for (int k = 0; k < 5; ++k) {
        const double cx = 16 + 32 * k, cy = 112;
        for (int y = 96; y < 128; ++y)
            for (int x = 32 * k; x < 32 * k + 32; ++x) {
                const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / 15.0;
                if (d >= 1) continue;
                const double n = TileNoise(x / 5.0, y / 5.0, 64, 31 + k);
                const double a = (1 - d) * (0.45 + 0.8 * n);
                if (a > 0) c.Blend(x, y, RGB(200, 200, 205, std::min(255, int(255 * a))));
            }
    }
}

// The light blob of lamps, the torch and the player's glow: drawn additively.
void PaintLight(ArtCatalogue& art) {
    DemoCanvas& c = NewSheet(art, "Demo Light.png", 128, 128, RGB(0, 0, 0), 0, true).Picture;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double d = std::hypot(x + 0.5 - 64, y + 0.5 - 64) / 63.0;
            const int v = d < 1 ? int(255 * std::pow(1 - d, 1.6)) : 0;
            c.Set(x, y, RGB(v, v, v));
        }
}

void PaintWeather(ArtCatalogue& art) {
    DemoRandom rnd(77);
    DemoCanvas& rain = NewSheet(art, "Weather Rain.png", 256, 256, RGB(0, 0, 0), kKeyWhite, true).Picture;
    for (int i = 0; i < 70; ++i) {
        const int x = rnd.Range(0, 255), y = rnd.Range(0, 235), len = rnd.Range(10, 22);
        const int bright = rnd.Range(90, 170);
        for (int k = 0; k < len; ++k) {
            const int a = int(bright * (0.3 + 0.7 * k / double(len)));
            const Rgba c = RGB(a * 8 / 10, a * 9 / 10, a);
            rain.Set((x - k / 5 + 256) % 256, y + k, c);
        }
    }
    DemoCanvas& snow = NewSheet(art, "Weather Snow.png", 256, 256, RGB(0, 0, 0), kKeyWhite, true).Picture;
    for (int i = 0; i < 60; ++i) {
        const double x = rnd.Range(4.0, 252.0), y = rnd.Range(4.0, 236.0), r = rnd.Range(1.0, 2.6);
        for (int yy = int(y - r - 1); yy <= int(y + r + 1); ++yy)
            for (int xx = int(x - r - 1); xx <= int(x + r + 1); ++xx) {
                const double d = std::hypot(xx + 0.5 - x, yy + 0.5 - y) / r;
                if (d < 1) {
                    const int v = int(240 * (1 - d * d));
                    const Rgba old = snow.Get(xx, yy);
                    if (v > old.r) snow.Set(xx, yy, RGB(v * 95 / 100, v * 97 / 100, v));
                }
            }
    }
}

// The nine-slice frame of the message box: corners of 22 x 13 around
// middle strips of 4 x 6; white (the colour key) wherever the frame is open.
void PaintFrames(ArtCatalogue& art) {
    DemoCanvas& c = NewSheet(art, "Demo Frames.png", 64, 32, RGB(255, 255, 255), kKeyWhite, false).Picture;
    const Rgba goldHi = RGB(238, 204, 120), gold = RGB(190, 148, 72), dark = RGB(58, 40, 26);
    const int w = 48, h = 32;
    c.Rect(3, 3, w - 6, h - 6, goldHi);
    c.Rect(4, 4, w - 8, h - 8, gold);
    c.Rect(5, 5, w - 10, h - 10, dark);
    c.Rect(6, 6, w - 12, h - 12, dark);
    // Corner studs.
    for (auto [x, y] : {std::pair{4, 4}, {w - 5, 4}, {4, h - 5}, {w - 5, h - 5}}) {
        c.Disc(x + 0.5, y + 0.5, 3, gold);
        c.Disc(x + 0.5, y + 0.5, 1.6, goldHi);
        c.Set(x, y, RGB(255, 240, 200));
    }
    // Small leaves by the top corners.
    for (int i = 0; i < 5; ++i) {
        c.Set(9 + i, 2, gold);
        c.Set(w - 10 - i, 2, gold);
        c.Set(9 + i, h - 3, gold);
        c.Set(w - 10 - i, h - 3, gold);
    }
}

// Backgrounds behind the speaker's face, 48 x 48 cells chosen by scripts.
void PaintFaceBackgrounds(ArtCatalogue& art) {
    DemoCanvas& c = NewSheet(art, "Face Background.png", 192, 96, RGB(0, 0, 0), 0, true).Picture;
    DemoRandom rnd(5);
    // Dusk sky.
    c.GradientV(0, 0, 48, 48, RGB(40, 44, 92), RGB(180, 110, 120));
    for (int i = 0; i < 7; ++i) c.Set(rnd.Range(2, 45), rnd.Range(2, 20), RGB(255, 250, 220));
    // Firelight.
    c.GradientV(48, 0, 48, 48, RGB(60, 24, 12), RGB(230, 140, 50));
    c.Glow(72, 44, 26, RGB(255, 210, 120, 160), 1.5);
    // Stone wall.
    c.FillRect(96, 0, 48, 48, RGB(96, 92, 88));
    for (int row = 0; row < 6; ++row)
        for (int k = -1; k < 4; ++k) {
            const int x = 96 + k * 16 + (row % 2) * 8, y = row * 8;
            const Rgba s = Shade(RGB(120, 114, 106), 0.85 + 0.3 * rnd.Unit());
            for (int yy = y + 1; yy < y + 8; ++yy)
                for (int xx = x + 1; xx < x + 16; ++xx)
                    if (xx >= 96 && xx < 144) c.Set(xx, yy, s);
        }
    // Leaves.
    c.FillRect(144, 0, 48, 48, RGB(40, 80, 40));
    for (int i = 0; i < 60; ++i)
        c.Disc(rnd.Range(144.0, 192.0), rnd.Range(0.0, 48.0), rnd.Range(2.0, 4.5),
               Shade(RGB(70, 130, 60), rnd.Range(0.7, 1.2)));
    // Night, parchment, curtain, dark.
    c.GradientV(0, 48, 48, 48, RGB(8, 10, 30), RGB(30, 40, 80));
    for (int i = 0; i < 12; ++i) c.Set(rnd.Range(1, 46), rnd.Range(49, 94), RGB(230, 230, 255));
    c.GradientV(48, 48, 48, 48, RGB(232, 214, 170), RGB(200, 176, 126));
    for (int x = 96; x < 144; ++x) {
        const double f = 0.75 + 0.25 * std::sin((x - 96) * kPi / 6);
        for (int y = 48; y < 96; ++y) c.Set(x, y, Shade(RGB(150, 30, 40), f));
    }
    c.GradientV(144, 48, 48, 48, RGB(20, 18, 24), RGB(44, 40, 48));
}

// The frame drawn over the face: 64 x 64 with a 48 x 48 opening.
void PaintFaceFrame(ArtCatalogue& art) {
    DemoCanvas& c = NewSheet(art, "Face Frame.png", 64, 64, RGB(255, 255, 255), kKeyWhite, false).Picture;
    const Rgba wood = RGB(120, 78, 44), hi = RGB(176, 124, 72), lo = RGB(70, 44, 26);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inner = x >= 8 && x < 56 && y >= 8 && y < 56;
            if (inner) continue;
            Rgba k = wood;
            if (x < 2 || y < 2) k = hi;
            if (x > 61 || y > 61) k = lo;
            if ((x == 7 || x == 56) && y >= 7 && y <= 56) k = lo;
            if ((y == 7 || y == 56) && x >= 7 && x <= 56) k = lo;
            if (((x + y) % 7) == 0 && k.r == wood.r) k = Shade(wood, 0.9);
            c.Set(x, y, k);
        }
    for (auto [x, y] : {std::pair{3, 3}, {60, 3}, {3, 60}, {60, 60}}) c.Disc(x + 0.5, y + 0.5, 1.6, RGB(230, 196, 110));
}

// Editor symbols: the sound emitter's speaker at (0, 16) and the particle
// emitter's spark at (32, 16), 32 x 32 each.
void PaintEditorSymbols(ArtCatalogue& art) {
    DemoCanvas& c = NewSheet(art, "editor.png", 128, 64, RGB(255, 255, 255), kKeyWhite, false).Picture;
    const Rgba blue = RGB(60, 110, 220), orange = RGB(240, 140, 40);
    c.FillRect(8, 28, 5, 8, blue);
    for (int i = 0; i < 6; ++i) c.Line(13 + i, 28 - i, 13 + i, 35 + i, blue);
    for (int k = 0; k < 3; ++k) {
        const double r = 5 + k * 3;
        for (int a = -40; a <= 40; a += 4) {
            const double t = a * kPi / 180;
            c.Set(int(20 + r * std::cos(t)), int(32 + r * std::sin(t)), blue);
        }
    }
    c.Outline(0, 16, 32, 32, RGB(20, 30, 60));
    for (int i = 0; i < 8; ++i) {
        const double t = i * kPi / 4;
        c.Line(48, 32, int(48 + 11 * std::cos(t)), int(32 + 11 * std::sin(t)), orange);
    }
    c.Disc(48.5, 32.5, 4, RGB(255, 220, 120));
    c.Outline(32, 16, 32, 32, RGB(80, 40, 10));
}

// The pictures of the picture layers: water for the reflections, cloud
// shadows and mist for outdoor levels, a vignette and dust for the cellar.
void PaintLayerPictures(ArtCatalogue& art) {
    DemoCanvas& water = NewSheet(art, "Water.png", 128, 128, RGB(0, 0, 0), 0, true).Picture;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double n = TileNoise(x / 16.0, y / 8.0, 8, 11) * 0.6 + TileNoise(x / 8.0, y / 4.0, 16, 12) * 0.4;
            const double band = 0.5 + 0.5 * std::sin((y + 6 * n) * 2 * kPi / 16);
            water.Set(x, y, Mix(RGB(30, 60, 100), RGB(120, 160, 200), 0.25 + 0.5 * band * n));
        }
    DemoCanvas& clouds = NewSheet(art, "Clouds.png", 256, 256, RGB(255, 255, 255), 0, true).Picture;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double n = TileNoise(x / 64.0, y / 64.0, 4, 21) * 0.7 + TileNoise(x / 32.0, y / 32.0, 8, 22) * 0.3;
            const double s = std::clamp((n - 0.45) * 2.5, 0.0, 1.0);
            const int v = 255 - int(48 * s);
            clouds.Set(x, y, RGB(v, v, std::min(255, v + 6)));
        }
    DemoCanvas& fog = NewSheet(art, "Fog.png", 256, 256, RGB(0, 0, 0), 0, true).Picture;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double n = TileNoise(x / 64.0, y / 32.0, 4, 31) * 0.6 + TileNoise(x / 16.0, y / 16.0, 16, 32) * 0.4;
            const int v = int(std::clamp((n - 0.35) * 90, 0.0, 60.0));
            fog.Set(x, y, RGB(v, v, v + v / 6));
        }
    DemoCanvas& vignette = NewSheet(art, "Vignette.png", 256, 256, RGB(255, 255, 255), 0, true).Picture;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double d = std::hypot((x + 0.5 - 128) / 128, (y + 0.5 - 128) / 128) / std::sqrt(2.0);
            const int v = 255 - int(170 * std::pow(std::clamp((d - 0.35) / 0.65, 0.0, 1.0), 1.5));
            vignette.Set(x, y, RGB(v, v, v));
        }
    DemoRandom rnd(41);
    DemoCanvas& dust = NewSheet(art, "Dust.png", 128, 128, RGB(0, 0, 0), 0, true).Picture;
    for (int i = 0; i < 40; ++i) {
        const int x = rnd.Range(0, 127), y = rnd.Range(0, 127), v = rnd.Range(30, 80);
        dust.Set(x, y, RGB(v, v, v * 9 / 10));
    }
}

}  // namespace

const ArtSheet* ArtCatalogue::FindSheet(const std::string& file) const {
    for (const ArtSheet& s : Sheets)
        if (s.File == file) return &s;
    return nullptr;
}

const TileDef* ArtCatalogue::FindTile(const std::string& sheet, const std::string& name) const {
    auto s = Tiles.find(sheet);
    if (s == Tiles.end()) return nullptr;
    auto t = s->second.find(name);
    return t == s->second.end() ? nullptr : &t->second;
}

const SpriteDef* ArtCatalogue::FindSprite(const std::string& name) const {
    auto s = Sprites.find(name);
    return s == Sprites.end() ? nullptr : &s->second;
}

void AddInterfaceArt(ArtCatalogue& art) {
    PaintCursors(art);
    PaintShadow(art);
    PaintParticles(art);
    PaintLight(art);
    PaintWeather(art);
    PaintFrames(art);
    PaintFaceBackgrounds(art);
    PaintFaceFrame(art);
    PaintEditorSymbols(art);
    PaintLayerPictures(art);
    // The light picture also serves as the sprite of the levels' lamps.
    art.Sprites["light"] = SpriteDef{"Demo Light.png", 0, 0, 128, 128, 64, 64, 1};
}

ArtCatalogue MakeArt() {
    ArtCatalogue art;
    // The painters hold references into the list while they paint.
    art.Sheets.reserve(64);
    AddInterfaceArt(art);
    AddTileArt(art);
    AddItemArt(art);
    AddPeopleArt(art);
    return art;
}

}  // namespace tarv::demo
