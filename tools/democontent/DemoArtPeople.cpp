// People: the character sheets (frames of 24 x 24, four columns of walk
// frames, four rows of facing directions: up, right, down, left), the cat's
// sheet, the face sheets of the speakers (48 x 48 portraits in eight moods,
// four to a row) and the event pictures shown in place of a face.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/democontent/DemoArt.h"

namespace tarv::demo {

namespace {

constexpr double kPi = 3.14159265358979;
const Rgba kOutline = RGB(32, 24, 28);
const Rgba kClear = RGB(0, 0, 0, 0);
const Rgba kEye = RGB(30, 24, 34);

enum class Hair { Short, Bun, Bald, Long };

struct Look {
    Rgba Skin, HairColor, Top, Bottom, Shoes;
    Hair Style = Hair::Short;
    bool Dress = false, Beard = false, Apron = false, Cloak = false;
    Rgba Extra;  // apron or cloak
};

// One frame of a person, facing right (dir 1), down (2) or up (0); step is
// the stride (-1, 0, 1) and bob lifts the whole body by a pixel.
void PaintPerson(DemoCanvas& c, const Look& k, int dir, int step, bool bob) {
    const int lift = bob ? 1 : 0;
    auto body = [&](int x, int y, int w, int h, Rgba col) { c.FillRect(x, y - lift, w, h, col); };
    const bool side = dir == 1, back = dir == 0;
    // Cloak behind the body (seen from behind it is drawn over it, below).
    if (k.Cloak) {
        if (back) {
        } else if (side) body(7, 10, 4, 10, k.Extra);
        else {
            body(6, 10, 2, 9, k.Extra);
            body(16, 10, 2, 9, k.Extra);
        }
    }
    // Legs and shoes.
    if (side) {
        const int a = 10 + step * 2, b = 11 - step * 2;
        for (int lx : {b, a}) {
            if (!k.Dress) c.FillRect(lx, 17, 3, 5, k.Bottom);
            c.FillRect(lx, 22, 4, 2, k.Shoes);
        }
    } else {
        const int liftL = step < 0 ? 1 : 0, liftR = step > 0 ? 1 : 0;
        if (!k.Dress) {
            c.FillRect(8, 17, 3, 5 - liftL, k.Bottom);
            c.FillRect(13, 17, 3, 5 - liftR, k.Bottom);
        }
        c.FillRect(8, 22 - liftL, 3, 2, k.Shoes);
        c.FillRect(13, 22 - liftR, 3, 2, k.Shoes);
    }
    // Body.
    if (side) {
        body(9, 10, 7, 8, k.Top);
        body(14, 10, 2, 8, Shade(k.Top, 0.8));
    } else {
        body(7, 10, 10, 8, k.Top);
        body(15, 10, 2, 8, Shade(k.Top, 0.8));
    }
    if (k.Dress)
        for (int y = 14; y <= 21; ++y) {
            const int grow = (y - 14) / (side ? 3 : 2);
            if (side) c.FillRect(8 - grow, y - lift, 9 + 2 * grow, 1, k.Bottom);
            else c.FillRect(7 - grow, y - lift, 10 + 2 * grow, 1, k.Bottom);
        }
    else if (side) body(9, 15, 7, 1, Shade(k.Top, 0.55));
    else body(7, 15, 10, 1, Shade(k.Top, 0.55));
    if (k.Apron && !back) {
        if (side) body(15, 13, 2, 8, k.Extra);
        else body(9, 13, 6, 8, k.Extra);
    }
    if (k.Cloak && back) {
        body(6, 10, 12, 10, k.Extra);
        body(6, 19, 12, 1, Shade(k.Extra, 0.7));
        body(11, 10, 2, 9, Shade(k.Extra, 0.85));
    }
    // Arms.
    if (side) {
        const int hand = 12 + step * 2;
        c.Line(12, 11 - lift, hand, 16 - lift, Shade(k.Top, 0.7));
        c.Line(13, 11 - lift, hand + 1, 16 - lift, Shade(k.Top, 0.7));
        c.FillRect(hand, 17 - lift, 2, 1, k.Skin);
    } else {
        body(5, 11 + (step > 0 ? 1 : 0), 2, 6, Shade(k.Top, 0.8));
        body(17, 11 + (step < 0 ? 1 : 0), 2, 6, Shade(k.Top, 0.8));
        body(5, 17 + (step > 0 ? 1 : 0), 2, 1, k.Skin);
        body(17, 17 + (step < 0 ? 1 : 0), 2, 1, k.Skin);
    }
    // Head.
    const double hy = 6 - lift;
    c.Ellipse(side ? 12.5 : 12, hy, side ? 4.3 : 4.6, 5, k.Skin);
    if (side) c.Set(17, int(hy) + 1, k.Skin);
    const Rgba hair = k.HairColor;
    const int top = int(hy) - 5;
    switch (k.Style) {
        case Hair::Short:
        case Hair::Bun:
        case Hair::Long:
            if (back) c.Ellipse(12, hy - 0.5, 4.8, 4.8, hair);
            else if (side) {
                c.Ellipse(11.5, hy - 2.5, 4.6, 3.2, hair);
                c.FillRect(8, top + 3, 3, 5, hair);
            } else {
                c.Ellipse(12, hy - 2.8, 5, 3.2, hair);
                c.FillRect(7, top + 3, 2, 4, hair);
                c.FillRect(15, top + 3, 2, 4, hair);
            }
            if (k.Style == Hair::Bun) c.Disc(side ? 8.5 : 12, top + (side ? 2.5 : 0.5), 2.2, Shade(hair, 0.9));
            if (k.Style == Hair::Long) {
                if (side) c.FillRect(8, top + 5, 3, 8, hair);
                else if (back) c.FillRect(8, top + 5, 8, 8, hair);
                else {
                    c.FillRect(7, top + 5, 2, 7, hair);
                    c.FillRect(15, top + 5, 2, 7, hair);
                }
            }
            break;
        case Hair::Bald:
            if (side) c.FillRect(8, top + 4, 3, 4, hair);
            else if (back) c.FillRect(8, top + 5, 8, 4, hair);
            else {
                c.FillRect(7, top + 4, 2, 4, hair);
                c.FillRect(15, top + 4, 2, 4, hair);
            }
            break;
    }
    // Face.
    if (!back) {
        const int ey = int(hy);
        if (side) c.Set(15, ey, kEye);
        else {
            c.Set(10, ey, kEye);
            c.Set(13, ey, kEye);
        }
        if (k.Beard) {
            if (side) c.FillRect(13, ey + 2, 4, 4, hair);
            else {
                c.FillRect(9, ey + 2, 6, 4, hair);
                c.Set(11, ey + 2, k.Skin);
                c.Set(12, ey + 2, k.Skin);
            }
        }
    }
    c.Outline(0, 0, c.W, c.H, kOutline);
}

// A sheet of 4 x 4 frames of 24 x 24; `steps` gives the stride of each
// column (a column marked as passing gets the bob).
void PersonSheet(ArtCatalogue& art, const std::string& file, const std::string& sprite, const Look& k,
                 const std::vector<int>& steps, const std::vector<bool>& bobs) {
    art.Sheets.push_back(ArtSheet{file, DemoCanvas(96, 96, RGB(255, 255, 255, 0)), 0, false});
    DemoCanvas& sheet = art.Sheets.back().Picture;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            DemoCanvas f(24, 24, kClear);
            const int dir = row == 3 ? 1 : row;
            PaintPerson(f, k, dir, steps[size_t(col)], bobs[size_t(col)]);
            if (row == 3) {
                DemoCanvas m(24, 24, kClear);
                m.Blit(f, 0, 0, 24, 24, 0, 0);
                m.BlitMirrored(0, 0, 24, 24, 0, 0);
                f = m;
            }
            sheet.Blit(f, 0, 0, 24, 24, col * 24, row * 24);
        }
    sheet.ClearTransparentTo(RGB(255, 255, 255));
    art.Sprites[sprite] = SpriteDef{file, 0, 0, 24, 24, 12, 23, 1};
}

void PaintCat(DemoCanvas& c, int dir, int step) {
    const Rgba fur = RGB(214, 132, 62), dark = RGB(150, 82, 36), light = RGB(240, 200, 150);
    if (dir == 1) {
        c.Ellipse(7.5, 11, 5, 3, fur);
        for (int x = 5; x <= 10; x += 2) c.Set(x, 9, dark);
        c.Disc(12.5, 8, 2.8, fur);
        c.Set(11, 5, fur);
        c.Set(14, 5, fur);
        c.Set(14, 8, kEye);
        c.Set(15, 9, light);
        for (int i = 0; i < 4; ++i) c.Set(2 - (i > 2 ? 1 : 0), 10 - i, fur);
        const int a = step == 0 ? 0 : step;
        c.FillRect(4 + a, 13, 1, 3, dark);
        c.FillRect(6 - a, 13, 1, 3, fur);
        c.FillRect(9 + a, 13, 1, 3, dark);
        c.FillRect(11 - a, 13, 1, 3, fur);
    } else if (dir == 2) {
        c.Ellipse(8, 12, 3.8, 3, fur);
        c.Disc(8, 8, 3.2, fur);
        c.Set(5, 5, fur);
        c.Set(11, 5, fur);
        c.Set(6, 8, kEye);
        c.Set(10, 8, kEye);
        c.Set(8, 9, RGB(200, 90, 90));
        c.FillRect(6 + (step < 0 ? -1 : 0), 14, 1, 2, light);
        c.FillRect(10 + (step > 0 ? 1 : 0), 14, 1, 2, light);
    } else {
        c.Ellipse(8, 10, 3.8, 4, fur);
        for (int y = 8; y <= 12; y += 2) c.FillRect(6, y, 5, 1, dark);
        c.Disc(8, 5, 2.8, fur);
        c.Set(6, 2, fur);
        c.Set(10, 2, fur);
        c.FillRect(8 + step, 13, 1, 3, fur);
    }
    c.Outline(0, 0, c.W, c.H, kOutline);
}

void CatSheet(ArtCatalogue& art) {
    art.Sheets.push_back(ArtSheet{"Char Cat.png", DemoCanvas(64, 64, kClear), 0, false});
    DemoCanvas& sheet = art.Sheets.back().Picture;
    const int steps[4] = {0, -1, 1, 0};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            DemoCanvas f(16, 16, kClear);
            PaintCat(f, row == 3 ? 1 : row, steps[col]);
            if (row == 3) f.BlitMirrored(0, 0, 16, 16, 0, 0);
            sheet.Blit(f, 0, 0, 16, 16, col * 16, row * 16);
        }
    art.Sprites["cat"] = SpriteDef{"Char Cat.png", 0, 0, 16, 16, 8, 15, 1};
}

// ---- faces -------------------------------------------------------------

struct FaceLook {
    Rgba Skin, HairColor, Eyes, Clothes;
    Hair Style = Hair::Short;
    bool Beard = false, Old = false, Lashes = false;
};

// Moods by face number: 1 calm, 2 smiling, 3 sad, 4 surprised, 5 cross,
// 6 laughing, 7 worried, 8 eyes closed.
void PaintFace(DemoCanvas& c, const FaceLook& f, int mood) {
    const Rgba skinShade = Shade(f.Skin, 0.82);
    c.Ellipse(24, 52, 22, 12, f.Clothes);
    c.Ellipse(24, 47, 8, 4, Shade(f.Clothes, 0.7));
    c.FillRect(19, 33, 10, 10, skinShade);
    if (f.Style == Hair::Long) c.FillRect(10, 14, 28, 26, Shade(f.HairColor, 0.85));
    if (f.Style == Hair::Bun) c.Disc(24, 6, 6, Shade(f.HairColor, 0.9));
    c.Ellipse(12, 24, 3, 4, skinShade);
    c.Ellipse(36, 24, 3, 4, skinShade);
    c.Ellipse(24, 22, 12, 14, f.Skin);
    for (int y = 10; y < 36; ++y)
        for (int x = 31; x < 37; ++x)
            if (c.Get(x, y).r == f.Skin.r && c.Get(x, y).g == f.Skin.g) c.Set(x, y, Shade(f.Skin, 0.93));
    // Hair over the head.
    switch (f.Style) {
        case Hair::Short:
        case Hair::Long:
        case Hair::Bun:
            for (int y = 6; y < 18; ++y)
                for (int x = 10; x < 39; ++x) {
                    const double u = (x + 0.5 - 24) / 13.5, v = (y + 0.5 - 15) / 9.5;
                    if (u * u + v * v > 1) continue;
                    if (y > 13 && x > 14 && x < 34) continue;
                    c.Set(x, y, ((x + y) % 5) ? f.HairColor : Shade(f.HairColor, 1.2));
                }
            if (f.Style != Hair::Short) {
                c.FillRect(10, 14, 3, 16, f.HairColor);
                c.FillRect(35, 14, 3, 16, f.HairColor);
            }
            break;
        case Hair::Bald:
            c.FillRect(11, 16, 3, 10, f.HairColor);
            c.FillRect(34, 16, 3, 10, f.HairColor);
            c.Set(19, 11, Shade(f.Skin, 1.15));
            c.Set(20, 11, Shade(f.Skin, 1.15));
            break;
    }
    if (f.Beard) {
        for (int y = 26; y < 40; ++y)
            for (int x = 13; x < 36; ++x) {
                const double u = (x + 0.5 - 24) / 11, v = (y + 0.5 - 28) / 11;
                if (u * u + v * v <= 1 && y > 26) c.Set(x, y, ((x * 3 + y) % 7) ? f.HairColor : Shade(f.HairColor, 0.85));
            }
    }
    // Eyes.
    const bool closed = mood == 6 || mood == 8;
    const double eyeRy = mood == 4 ? 2.6 : 1.9;
    for (int side = 0; side < 2; ++side) {
        const int ex = side ? 29 : 19, ey = 22;
        if (closed) {
            if (mood == 6) {
                c.Set(ex - 2, ey + 1, kEye);
                c.Set(ex - 1, ey, kEye);
                c.Set(ex, ey, kEye);
                c.Set(ex + 1, ey + 1, kEye);
            } else c.FillRect(ex - 2, ey, 4, 1, kEye);
        } else {
            c.Ellipse(ex, ey + 0.5, 2.6, eyeRy, RGB(246, 244, 240));
            c.Disc(ex + 0.5, ey + 0.5, 1.4, f.Eyes);
            c.Set(ex, ey, kEye);
            if (f.Lashes) c.FillRect(ex - 2, ey - 2, 5, 1, kEye);
        }
        // Brows by mood: raised, lowered towards the nose, or lifted inside.
        int inner = 0, outer = 0, lift = 0;
        if (mood == 4) lift = -2;
        if (mood == 5) inner = 2;
        if (mood == 3 || mood == 7) inner = -2;
        const int by = ey - 4 + lift;
        const int ix = side ? ex - 2 : ex + 2, ox = side ? ex + 2 : ex - 2;
        c.Line(ox, by + outer, ix, by + inner, Shade(f.HairColor, 0.8));
    }
    // Nose.
    c.Line(24, 23, 25, 27, skinShade);
    c.Set(23, 28, skinShade);
    // Mouth.
    const Rgba lip = f.Lashes ? RGB(190, 80, 80) : RGB(140, 70, 60);
    const int my = 31;
    switch (mood) {
        case 2:
        case 8:
            for (int x = 20; x <= 28; ++x) c.Set(x, my + (x > 21 && x < 27 ? 1 : 0), lip);
            c.Blend(15, 27, RGB(230, 120, 120, 110));
            c.Blend(33, 27, RGB(230, 120, 120, 110));
            break;
        case 3:
            for (int x = 20; x <= 28; ++x) c.Set(x, my + (x > 21 && x < 27 ? 0 : 1), lip);
            break;
        case 4: c.Ellipse(24, my + 1, 2, 2.5, RGB(80, 30, 30)); break;
        case 5:
            c.FillRect(20, my, 9, 1, lip);
            c.Set(20, my + 1, lip);
            c.Set(28, my + 1, lip);
            break;
        case 6:
            c.Ellipse(24, my + 1, 4.5, 2.5, RGB(90, 30, 30));
            c.FillRect(21, my, 7, 1, RGB(250, 250, 245));
            break;
        case 7:
            for (int x = 21; x <= 27; ++x) c.Set(x, my + ((x / 2) % 2), lip);
            break;
        default: c.FillRect(21, my, 7, 1, lip); break;
    }
    if (f.Old) {
        c.Line(14, 28, 16, 31, skinShade);
        c.Line(34, 28, 32, 31, skinShade);
        c.FillRect(17, 17, 4, 1, skinShade);
    }
    c.Outline(0, 0, 48, 48, kOutline);
}

void FaceSheet(ArtCatalogue& art, const std::string& name, const FaceLook& f) {
    art.Sheets.push_back(ArtSheet{"Face " + name + ".png", DemoCanvas(192, 96, kClear), int32_t(0xFFFFFFFF), true});
    DemoCanvas& sheet = art.Sheets.back().Picture;
    for (int mood = 1; mood <= 8; ++mood) {
        DemoCanvas c(48, 48, kClear);
        PaintFace(c, f, mood);
        sheet.Blit(c, 0, 0, 48, 48, ((mood - 1) % 4) * 48, ((mood - 1) / 4) * 48);
    }
    sheet.ClearTransparentTo(RGB(255, 255, 255));
}

// Pictures of things received and of the end, in place of a face.
void EventSheet(ArtCatalogue& art) {
    art.Sheets.push_back(ArtSheet{"Face Events.png", DemoCanvas(192, 96, kClear), int32_t(0xFFFFFFFF), true});
    DemoCanvas& sheet = art.Sheets.back().Picture;
    for (int k = 1; k <= 8; ++k) {
        DemoCanvas c(48, 48, kClear);
        switch (k) {
            case 1: {  // key
                const Rgba gold = RGB(220, 180, 70);
                c.Ring(14, 24, 8, 8, gold);
                c.Ring(14, 24, 7, 7, gold);
                c.Ring(14, 24, 6, 6, Shade(gold, 0.8));
                c.FillRect(21, 22, 20, 4, gold);
                c.FillRect(33, 26, 3, 6, gold);
                c.FillRect(38, 26, 3, 8, gold);
                c.FillRect(21, 22, 20, 1, Shade(gold, 1.25));
                break;
            }
            case 2:  // apple
                c.Disc(24, 28, 13, RGB(196, 40, 40));
                c.Disc(19, 23, 4, RGB(236, 120, 110));
                c.FillRect(23, 10, 2, 7, RGB(90, 60, 30));
                c.Ellipse(30, 12, 5, 2.5, RGB(80, 150, 60));
                break;
            case 3:  // coin
                c.Disc(24, 24, 15, RGB(190, 192, 200));
                c.Ring(24, 24, 12, 12, RGB(140, 142, 152));
                c.Disc(24, 24, 5, RGB(160, 162, 172));
                c.Disc(18, 17, 3, RGB(250, 250, 255));
                break;
            case 4:  // star
                for (int y = 0; y < 48; ++y)
                    for (int x = 0; x < 48; ++x) {
                        const double a = std::atan2(y + 0.5 - 25, x + 0.5 - 24), r = std::hypot(y + 0.5 - 25, x + 0.5 - 24);
                        const double lim = 8 + 10 * std::pow(std::fabs(std::cos(2.5 * (a + kPi / 2))), 3);
                        if (r < lim) c.Set(x, y, Mix(RGB(255, 236, 140), RGB(230, 160, 40), r / 20));
                    }
                break;
            case 5:  // lantern
                c.FillRect(16, 14, 16, 22, RGB(50, 48, 54));
                c.FillRect(18, 16, 12, 18, RGB(255, 210, 110));
                c.FillRect(22, 20, 4, 10, RGB(255, 248, 210));
                c.Ring(24, 10, 5, 5, RGB(50, 48, 54));
                c.FillRect(14, 36, 20, 3, RGB(50, 48, 54));
                break;
            case 6:  // scroll
                c.FillRect(12, 12, 24, 26, RGB(236, 220, 180));
                for (int y = 16; y < 34; y += 4) c.FillRect(15, y, 18, 1, RGB(120, 100, 80));
                c.Disc(12, 12, 3, RGB(200, 180, 140));
                c.Disc(36, 38, 3, RGB(200, 180, 140));
                break;
            case 7:  // heart
                c.Disc(18, 20, 8, RGB(210, 50, 70));
                c.Disc(30, 20, 8, RGB(210, 50, 70));
                for (int y = 20; y < 40; ++y) c.FillRect(10 + (y - 20) * 7 / 10, y, 28 - (y - 20) * 14 / 10, 1, RGB(210, 50, 70));
                c.Disc(15, 17, 2.5, RGB(250, 160, 170));
                break;
            default:  // question
                c.Disc(24, 24, 16, RGB(70, 110, 190));
                c.Ring(24, 18, 6, 6, RGB(250, 250, 250));
                c.Ring(24, 18, 5, 5, RGB(250, 250, 250));
                c.FillRect(23, 24, 3, 6, RGB(250, 250, 250));
                c.FillRect(23, 33, 3, 3, RGB(250, 250, 250));
                break;
        }
        c.Outline(0, 0, 48, 48, kOutline);
        sheet.Blit(c, 0, 0, 48, 48, ((k - 1) % 4) * 48, ((k - 1) / 4) * 48);
    }
    sheet.ClearTransparentTo(RGB(255, 255, 255));
}

}  // namespace

void AddPeopleArt(ArtCatalogue& art) {
    Look hero;
    hero.Skin = RGB(236, 196, 160);
    hero.HairColor = RGB(108, 68, 40);
    hero.Top = RGB(70, 120, 76);
    hero.Bottom = RGB(74, 64, 60);
    hero.Shoes = RGB(60, 40, 30);
    hero.Cloak = true;
    hero.Extra = RGB(130, 44, 44);
    // The player's sheet: standing, then three walk frames with the passing
    // frame in the middle (the player's walk frames start at column 1).
    PersonSheet(art, "Char Hero.png", "hero", hero, {0, -1, 0, 1}, {false, false, true, false});

    Look marla;
    marla.Skin = RGB(240, 204, 172);
    marla.HairColor = RGB(176, 72, 38);
    marla.Top = RGB(72, 94, 156);
    marla.Bottom = RGB(62, 80, 138);
    marla.Shoes = RGB(70, 44, 30);
    marla.Style = Hair::Bun;
    marla.Dress = true;
    marla.Apron = true;
    marla.Extra = RGB(232, 222, 198);
    // Placed characters walk through columns 0 to 2.
    PersonSheet(art, "Char Marla.png", "marla", marla, {0, -1, 1, 0}, {false, false, false, true});

    Look tobin;
    tobin.Skin = RGB(222, 184, 150);
    tobin.HairColor = RGB(196, 196, 190);
    tobin.Top = RGB(122, 86, 52);
    tobin.Bottom = RGB(60, 56, 52);
    tobin.Shoes = RGB(50, 36, 28);
    tobin.Style = Hair::Bald;
    tobin.Beard = true;
    PersonSheet(art, "Char Tobin.png", "tobin", tobin, {0, -1, 1, 0}, {false, false, false, true});

    CatSheet(art);

    FaceLook aren{RGB(236, 196, 160), RGB(108, 68, 40), RGB(70, 120, 70), RGB(70, 120, 76)};
    FaceSheet(art, kHeroName, aren);
    FaceLook marlaFace{RGB(240, 204, 172), RGB(176, 72, 38), RGB(60, 100, 170), RGB(72, 94, 156), Hair::Bun};
    marlaFace.Lashes = true;
    FaceSheet(art, "Marla", marlaFace);
    FaceLook tobinFace{RGB(222, 184, 150), RGB(200, 200, 194), RGB(90, 80, 60), RGB(122, 86, 52), Hair::Bald};
    tobinFace.Beard = true;
    tobinFace.Old = true;
    FaceSheet(art, "Tobin", tobinFace);
    EventSheet(art);
}

}  // namespace tarv::demo
