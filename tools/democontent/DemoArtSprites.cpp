// The item sheets: houses, trees, the fountain, the lantern post, furniture,
// doors and small things, each painted on a canvas of its own and copied
// into its sheet, anchored at its ground point.
#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/democontent/DemoArt.h"

namespace tarv::demo {

namespace {

constexpr double kPi = 3.14159265358979;
const Rgba kOutline = RGB(34, 26, 26);
const Rgba kClear = RGB(0, 0, 0, 0);

class ItemSheet {
public:
    ItemSheet(ArtCatalogue& art, const std::string& file, int w, int h) : art_(art), file_(file) {
        art.Sheets.push_back(ArtSheet{file, DemoCanvas(w, h, kClear), 0, false});
        sheet_ = art.Sheets.size() - 1;
    }
    // Paints `frames` frames of w x h side by side from (x, y) and names the sprite.
    void Add(const std::string& name, int x, int y, int w, int h, float ox, float oy,
             const std::function<void(DemoCanvas&, int)>& paint, int frames = 1, bool outline = true) {
        for (int f = 0; f < frames; ++f) {
            DemoCanvas c(w, h, kClear);
            paint(c, f);
            if (outline) c.Outline(0, 0, w, h, kOutline);
            art_.Sheets[sheet_].Picture.Blit(c, 0, 0, w, h, x + f * w, y);
        }
        art_.Sprites[name] = SpriteDef{file_, x, y, w, h, ox, oy, frames};
    }

private:
    ArtCatalogue& art_;
    std::string file_;
    size_t sheet_ = 0;
};

// A roof seen from the front: a trapezoid of shingle rows.
void Roof(DemoCanvas& c, int top, int bottom, int topL, int topR, int botL, int botR, Rgba tile, int rowH) {
    for (int y = top; y <= bottom; ++y) {
        const double t = double(y - top) / std::max(1, bottom - top);
        const int l = int(topL + (botL - topL) * t), r = int(topR + (botR - topR) * t);
        const int row = (y - top) / rowH;
        for (int x = l; x <= r; ++x) {
            Rgba k = Shade(tile, 0.9 + 0.2 * t);
            if ((y - top) % rowH == rowH - 1) k = Shade(tile, 0.62);
            else if (((x + row * 3) % 6) == 0) k = Shade(tile, 0.75);
            if (y - top < 2) k = Shade(tile, 0.55);
            c.Set(x, y, k);
        }
    }
}

void Window(DemoCanvas& c, int x, int y, int w, int h, Rgba glass) {
    c.FillRect(x - 1, y - 1, w + 2, h + 2, RGB(70, 48, 30));
    c.FillRect(x, y, w, h, glass);
    c.FillRect(x + w / 2, y, 1, h, RGB(70, 48, 30));
    c.FillRect(x, y + h / 2, w, 1, RGB(70, 48, 30));
    c.Set(x + 1, y + 1, Shade(glass, 1.2));
}

void Planks(DemoCanvas& c, int x, int y, int w, int h, Rgba wood) {
    c.FillRect(x, y, w, h, wood);
    for (int i = x + 3; i < x + w; i += 4) c.FillRect(i, y, 1, h, Shade(wood, 0.7));
}

void Inn(DemoCanvas& c) {
    const Rgba plaster = RGB(222, 206, 168), timber = RGB(92, 60, 36);
    c.FillRect(8, 58, 96, 36, plaster);
    for (int x : {8, 30, 54, 80, 101}) c.FillRect(x, 58, 3, 36, timber);
    c.FillRect(8, 58, 96, 3, timber);
    c.FillRect(8, 76, 96, 2, timber);
    c.Line(11, 76, 29, 61, timber);
    c.Line(83, 61, 100, 76, timber);
    c.FillRect(6, 92, 100, 4, RGB(120, 116, 110));
    Window(c, 15, 64, 11, 9, RGB(250, 206, 112));
    Window(c, 86, 64, 11, 9, RGB(250, 206, 112));
    Window(c, 36, 80, 9, 8, RGB(236, 190, 100));
    Planks(c, 60, 74, 14, 18, RGB(124, 84, 48));
    c.Set(71, 84, RGB(220, 190, 90));
    // The hanging sign with a mug.
    c.FillRect(84, 80, 2, 3, timber);
    c.FillRect(80, 83, 14, 9, RGB(150, 108, 62));
    c.FillRect(85, 85, 4, 5, RGB(236, 226, 200));
    c.Set(89, 86, RGB(236, 226, 200));
    c.Set(89, 87, RGB(236, 226, 200));
    Roof(c, 8, 60, 22, 90, 2, 109, RGB(156, 74, 52), 5);
    // Chimney.
    c.FillRect(76, 0, 10, 18, RGB(132, 72, 60));
    for (int y = 2; y < 18; y += 3) c.FillRect(76, y, 10, 1, RGB(96, 52, 44));
    c.FillRect(75, 0, 12, 2, RGB(80, 70, 66));
    for (int x = 6; x < 106; ++x) {
        c.Blend(x, 61, RGB(0, 0, 0, 90));
        c.Blend(x, 62, RGB(0, 0, 0, 50));
    }
}

void Hall(DemoCanvas& c) {
    const Rgba stone = RGB(150, 144, 134);
    for (int row = 0; row * 7 < 42; ++row) {
        const int y = 62 + row * 7;
        for (int x = 6 - (row % 2) * 6; x < 106; x += 12)
            for (int yy = y; yy < y + 7 && yy < 104; ++yy)
                for (int xx = std::max(x, 6); xx < std::min(x + 12, 106); ++xx) {
                    Rgba k = Shade(stone, 0.9 + 0.15 * std::sin(x * 0.7 + row));
                    if (yy == y || xx == x) k = Shade(stone, 0.6);
                    c.Set(xx, yy, k);
                }
    }
    // Door opening with an arch (the door itself is an item of its own).
    c.FillRect(46, 80, 20, 24, RGB(40, 34, 32));
    c.Ellipse(56, 80, 10, 6, RGB(40, 34, 32));
    c.Ring(56, 80, 10, 6, RGB(110, 104, 96));
    for (int x : {22, 84}) {
        c.FillRect(x, 70, 6, 14, RGB(40, 48, 70));
        c.Ellipse(x + 3, 70, 3, 3, RGB(40, 48, 70));
        c.Set(x + 1, 72, RGB(90, 110, 150));
    }
    Roof(c, 10, 64, 14, 98, 0, 111, RGB(88, 96, 112), 4);
    // Bell cupola.
    c.FillRect(47, 6, 2, 14, RGB(90, 64, 40));
    c.FillRect(63, 6, 2, 14, RGB(90, 64, 40));
    c.FillRect(49, 8, 14, 12, RGB(30, 26, 30));
    c.Ellipse(56, 13, 4, 4, RGB(220, 180, 80));
    c.FillRect(52, 14, 9, 3, RGB(200, 160, 60));
    for (int y = 0; y < 7; ++y) c.FillRect(56 - (y + 2), y, 2 * (y + 2) + 1, 1, RGB(70, 76, 92));
    for (int x = 4; x < 108; ++x) c.Blend(x, 65, RGB(0, 0, 0, 90));
}

void Tree(DemoCanvas& c) {
    const Rgba bark = RGB(96, 66, 40);
    c.FillRect(21, 40, 7, 22, bark);
    c.FillRect(26, 40, 2, 22, Shade(bark, 0.7));
    c.FillRect(18, 59, 13, 3, bark);
    c.Disc(24, 24, 17, RGB(40, 88, 44));
    c.Disc(13, 28, 10, RGB(44, 96, 46));
    c.Disc(35, 28, 10, RGB(36, 80, 40));
    c.Disc(24, 13, 11, RGB(58, 116, 54));
    DemoRandom rnd(61);
    for (int i = 0; i < 26; ++i) {
        const double a = rnd.Range(0.0, 2 * kPi), r = rnd.Range(0.0, 14.0);
        const double x = 24 + r * std::cos(a) - 3, y = 20 + r * std::sin(a) * 0.9 - 3;
        c.Disc(x, y, rnd.Range(1.5, 3.5), Shade(RGB(80, 146, 66), rnd.Range(0.8, 1.15)));
    }
}

void Fir(DemoCanvas& c) {
    c.FillRect(16, 52, 5, 11, RGB(90, 62, 38));
    for (int k = 3; k >= 0; --k) {
        const int apex = 2 + k * 11, base = 20 + k * 11, half = 7 + k * 3;
        for (int y = apex; y <= base; ++y) {
            const int w = half * (y - apex) / std::max(1, base - apex);
            for (int x = 18 - w; x <= 18 + w; ++x)
                c.Set(x, y, x < 18 - w / 2 ? RGB(52, 102, 62) : ((x + y) % 5 ? RGB(34, 78, 50) : RGB(28, 66, 42)));
        }
    }
}

void Fountain(DemoCanvas& c) {
    const Rgba stone = RGB(186, 180, 168);
    c.Ellipse(16, 41, 9, 3, Shade(stone, 0.8));
    c.FillRect(12, 18, 8, 23, stone);
    c.FillRect(18, 18, 2, 23, Shade(stone, 0.8));
    c.FillRect(12, 18, 1, 23, Shade(stone, 1.1));
    c.Ellipse(16, 17, 13, 4.5, stone);
    c.Ellipse(16, 16, 11, 3, RGB(70, 110, 160));
    c.FillRect(14, 5, 4, 11, Shade(stone, 0.95));
    c.Disc(16, 5, 3, stone);
    const Rgba spray = RGB(190, 220, 255, 220);
    for (int i = 0; i <= 10; ++i) {
        const double t = i / 10.0;
        const int y = int(4 + 10 * t * t - 3 * t);
        c.Blend(16 - int(11 * t), y, spray);
        c.Blend(16 + int(11 * t), y, spray);
    }
}

void Lantern(DemoCanvas& c) {
    const Rgba iron = RGB(44, 44, 52);
    c.FillRect(6, 14, 3, 33, iron);
    c.FillRect(4, 44, 7, 4, iron);
    c.FillRect(3, 4, 9, 10, iron);
    c.FillRect(4, 5, 7, 8, RGB(255, 214, 120));
    c.FillRect(6, 7, 3, 4, RGB(255, 246, 200));
    for (int y = 0; y < 4; ++y) c.FillRect(7 - y, y, 2 * y + 1, 1, iron);
    c.FillRect(7, 5, 1, 8, iron);
}

void Notice(DemoCanvas& c) {
    const Rgba wood = RGB(140, 98, 58);
    c.FillRect(3, 8, 3, 22, Shade(wood, 0.8));
    c.FillRect(22, 8, 3, 22, Shade(wood, 0.8));
    c.FillRect(1, 4, 26, 16, wood);
    c.Rect(1, 4, 26, 16, Shade(wood, 0.65));
    for (int y = 0; y < 3; ++y) c.FillRect(1 + y * 2, 1 + y, 26 - y * 4, 1, RGB(96, 62, 36));
    c.FillRect(4, 7, 7, 9, RGB(236, 228, 206));
    c.FillRect(13, 6, 9, 6, RGB(246, 242, 232));
    c.FillRect(13, 13, 10, 5, RGB(230, 214, 150));
    for (int y = 9; y < 15; y += 2) c.FillRect(5, y, 5, 1, RGB(120, 110, 100));
    c.FillRect(14, 8, 6, 1, RGB(120, 110, 100));
    c.FillRect(15, 15, 6, 1, RGB(120, 100, 70));
    c.Set(7, 7, RGB(200, 40, 40));
}

void Barrel(DemoCanvas& c, int w, int h) {
    const Rgba wood = RGB(142, 94, 54), hoop = RGB(70, 70, 78);
    const double cx = (w - 1) / 2.0;
    for (int y = 2; y < h; ++y) {
        const double t = (y - h / 2.0) / (h / 2.0);
        const double half = (w / 2.0 - 2) + (1 - t * t) * 1.5;
        for (int x = int(cx - half + 0.5); x <= int(cx + half + 0.5); ++x) {
            Rgba k = ((x + 1) % 3 == 0) ? Shade(wood, 0.75) : wood;
            if (x > cx + half * 0.5) k = Shade(k, 0.85);
            c.Set(x, y, k);
        }
    }
    for (int y : {4, h - 5}) c.FillRect(1, y, w - 2, 1, hoop);
    c.Ellipse(cx + 0.5, 2.5, w / 2.0 - 1.5, 2, Shade(wood, 1.15));
}

void Crate(DemoCanvas& c, int x, int y, int w, int h) {
    const Rgba wood = RGB(160, 120, 70);
    c.FillRect(x, y + 3, w, h - 3, wood);
    c.FillRect(x, y, w, 3, Shade(wood, 1.2));
    c.Rect(x, y + 3, w, h - 3, Shade(wood, 0.65));
    c.Line(x + 1, y + 4, x + w - 2, y + h - 2, Shade(wood, 0.7));
    c.Line(x + w - 2, y + 4, x + 1, y + h - 2, Shade(wood, 0.7));
}

void Door(DemoCanvas& c, int frame) {
    const Rgba wood = RGB(118, 78, 44), iron = RGB(50, 48, 54), dark = RGB(22, 18, 16);
    c.FillRect(0, 2, 16, 22, dark);
    c.FillRect(2, 0, 12, 2, dark);
    if (frame == 0) {
        Planks(c, 1, 2, 14, 22, wood);
        c.FillRect(2, 0, 12, 2, wood);
        c.FillRect(1, 6, 14, 1, iron);
        c.FillRect(1, 17, 14, 1, iron);
        c.Ring(11.5, 12.5, 1.5, 1.5, RGB(200, 180, 120));
    } else if (frame == 1) {
        Planks(c, 7, 1, 8, 23, Shade(wood, 0.9));
        c.FillRect(7, 6, 8, 1, iron);
        c.FillRect(7, 17, 8, 1, iron);
    } else {
        for (int i = 0; i < 5; ++i) c.FillRect(3, 20 - i * 4, 10, 1, RGB(60, 54, 50));
        c.Glow(8, 6, 6, RGB(255, 190, 110, 120));
    }
}

void Village(ArtCatalogue& art) {
    ItemSheet s(art, "Items Village.png", 512, 144);
    s.Add("inn", 0, 0, 112, 96, 56, 95, [](DemoCanvas& c, int) { Inn(c); });
    s.Add("hall", 112, 0, 112, 104, 56, 103, [](DemoCanvas& c, int) { Hall(c); });
    s.Add("tree", 224, 0, 48, 64, 24, 62, [](DemoCanvas& c, int) { Tree(c); });
    s.Add("fir", 272, 0, 36, 64, 18, 62, [](DemoCanvas& c, int) { Fir(c); });
    s.Add("fountain", 308, 0, 32, 44, 16, 40, [](DemoCanvas& c, int) { Fountain(c); });
    s.Add("lantern", 340, 0, 14, 48, 7, 47, [](DemoCanvas& c, int) { Lantern(c); });
    s.Add("notice", 354, 0, 28, 30, 14, 29, [](DemoCanvas& c, int) { Notice(c); });
    s.Add("barrel", 382, 0, 14, 18, 7, 17, [](DemoCanvas& c, int) { Barrel(c, 14, 18); });
    s.Add("crate", 396, 0, 16, 16, 8, 15, [](DemoCanvas& c, int) { Crate(c, 0, 0, 16, 16); });
    s.Add("bench", 412, 0, 32, 14, 16, 13, [](DemoCanvas& c, int) {
        const Rgba wood = RGB(130, 90, 54);
        c.FillRect(1, 0, 30, 3, wood);
        c.FillRect(1, 5, 30, 4, Shade(wood, 1.15));
        c.FillRect(3, 9, 3, 5, Shade(wood, 0.7));
        c.FillRect(26, 9, 3, 5, Shade(wood, 0.7));
        c.FillRect(3, 3, 2, 2, Shade(wood, 0.7));
        c.FillRect(27, 3, 2, 2, Shade(wood, 0.7));
    });
    s.Add("cart", 444, 0, 40, 28, 20, 27, [](DemoCanvas& c, int) {
        Planks(c, 4, 8, 30, 10, RGB(150, 104, 60));
        c.FillRect(34, 12, 6, 2, RGB(110, 76, 44));
        for (double cx : {12.0, 28.0}) {
            c.Disc(cx, 20, 7, RGB(70, 50, 34));
            c.Disc(cx, 20, 5, RGB(120, 86, 52));
            for (int k = 0; k < 4; ++k) {
                const double a = k * kPi / 4;
                c.Line(int(cx - 5 * std::cos(a)), int(20 - 5 * std::sin(a)), int(cx + 5 * std::cos(a)),
                       int(20 + 5 * std::sin(a)), RGB(70, 50, 34));
            }
        }
        c.FillRect(8, 4, 8, 4, RGB(200, 170, 90));
        c.FillRect(18, 5, 6, 3, RGB(120, 150, 70));
    });
    s.Add("door", 0, 112, 16, 24, 8, 23, [](DemoCanvas& c, int f) { Door(c, f); }, 3);
    s.Add("stone", 48, 112, 16, 12, 8, 11, [](DemoCanvas& c, int) {
        c.Ellipse(8, 7, 7, 4.5, RGB(130, 128, 122));
        c.Ellipse(6.5, 5.5, 3.5, 2, RGB(160, 158, 150));
    });
}

void Cellar(ArtCatalogue& art) {
    ItemSheet s(art, "Items Cellar.png", 256, 128);
    s.Add("bigbarrel", 0, 0, 18, 24, 9, 23, [](DemoCanvas& c, int) { Barrel(c, 18, 24); });
    s.Add("crates", 20, 0, 32, 30, 16, 29, [](DemoCanvas& c, int) {
        Crate(c, 1, 12, 30, 18);
        Crate(c, 7, 0, 18, 14);
    });
    s.Add("winerack", 56, 0, 40, 36, 20, 35, [](DemoCanvas& c, int) {
        const Rgba wood = RGB(100, 66, 40);
        c.FillRect(0, 0, 40, 36, wood);
        c.FillRect(2, 2, 36, 32, RGB(36, 26, 20));
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 4; ++k) {
                const double x = 7 + k * 9, y = 7 + r * 10;
                c.Disc(x, y, 3.5, RGB(40, 74, 52));
                c.Disc(x, y, 1.5, RGB(20, 30, 24));
                c.Set(int(x) - 2, int(y) - 2, RGB(120, 170, 130));
            }
        for (int r = 1; r < 3; ++r) c.FillRect(2, 2 + r * 10, 36, 2, wood);
    });
    s.Add("table", 100, 0, 32, 24, 16, 23, [](DemoCanvas& c, int) {
        const Rgba wood = RGB(120, 82, 48);
        c.FillRect(1, 8, 30, 5, wood);
        c.FillRect(1, 8, 30, 1, Shade(wood, 1.2));
        c.FillRect(3, 13, 3, 11, Shade(wood, 0.7));
        c.FillRect(26, 13, 3, 11, Shade(wood, 0.7));
        c.FillRect(21, 2, 3, 6, RGB(232, 226, 208));
        c.FillRect(22, 0, 1, 2, RGB(255, 214, 100));
        c.Ellipse(10, 8, 5, 1.5, RGB(200, 200, 196));
    });
    s.Add("brazier", 136, 0, 20, 26, 10, 25, [](DemoCanvas& c, int) {
        const Rgba iron = RGB(50, 46, 46);
        c.Line(10, 12, 3, 25, iron);
        c.Line(10, 12, 17, 25, iron);
        c.Line(10, 12, 10, 25, iron);
        c.Ellipse(10, 10, 8.5, 4.5, iron);
        DemoRandom rnd(136);
        for (int i = 0; i < 16; ++i) {
            const int x = rnd.Range(4, 15), y = rnd.Range(6, 9);
            const Rgba k = i % 3 == 0 ? RGB(255, 230, 120) : (i % 3 == 1 ? RGB(240, 120, 40) : RGB(180, 50, 30));
            c.Set(x, y, k);
        }
    });
    s.Add("stairs", 160, 0, 32, 40, 16, 39, [](DemoCanvas& c, int) {
        c.FillRect(0, 0, 32, 40, RGB(30, 26, 24));
        for (int i = 0; i < 7; ++i) {
            const int y = 36 - i * 5, inset = 3 + i;
            const Rgba step = Shade(RGB(120, 112, 102), 0.7 + i * 0.06);
            c.FillRect(inset, y, 32 - 2 * inset, 4, step);
            c.FillRect(inset, y, 32 - 2 * inset, 1, Shade(step, 1.2));
        }
        c.Glow(16, 2, 12, RGB(255, 220, 160, 140));
    });
    s.Add("coin", 196, 0, 8, 8, 4, 7, [](DemoCanvas& c, int) {
        c.Disc(4, 4, 3.5, RGB(196, 198, 206));
        c.Ring(4, 4, 2.6, 2.6, RGB(150, 150, 160));
        c.Set(3, 2, RGB(255, 255, 255));
    });
    s.Add("sack", 208, 0, 16, 14, 8, 13, [](DemoCanvas& c, int) {
        c.Ellipse(8, 9, 7, 5, RGB(170, 146, 100));
        c.FillRect(6, 1, 4, 4, RGB(160, 136, 92));
        c.FillRect(5, 4, 6, 1, RGB(110, 90, 60));
    });
    s.Add("shelf", 0, 40, 32, 30, 16, 29, [](DemoCanvas& c, int) {
        const Rgba wood = RGB(110, 74, 44);
        c.FillRect(0, 0, 2, 30, wood);
        c.FillRect(30, 0, 2, 30, wood);
        for (int y : {8, 18, 28}) c.FillRect(0, y, 32, 2, Shade(wood, 1.1));
        const Rgba jars[] = {RGB(180, 90, 60), RGB(200, 180, 80), RGB(90, 120, 160), RGB(140, 160, 90)};
        for (int k = 0; k < 6; ++k) {
            const int x = 3 + k * 5, y = k < 3 ? 2 : 12;
            c.FillRect(x, y, 4, 6, jars[k % 4]);
            c.FillRect(x, y, 4, 1, RGB(200, 190, 170));
        }
    });
}

}  // namespace

void AddItemArt(ArtCatalogue& art) {
    Village(art);
    Cellar(art);
}

}  // namespace tarv::demo
