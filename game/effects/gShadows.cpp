#include "game/effects/gShadows.h"

#include <cmath>

#include "core/zCore.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/effects/gEffects.h"
#include "game/effects/gItemsInView.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zItemMap.h"
#include "scene/zSprite.h"

namespace tarv {

using namespace zun;

namespace {

constexpr double kFootSpread = 0.785398;  // a shadow's foot spans a quarter turn about the light's direction
constexpr double kLayerLightRange = 192.0;  // lights farther from an item's point cast no shadow of it
constexpr int32_t kWhite = -1;

struct Pt {
    double x, y;
};

// The two foot corners on the side of direction a, w being the sprite's drawn width.
void FootCorners(double x, double y, double w, double a, Pt& p1, Pt& p2) {
    p1 = {x + w * std::cos(a + kFootSpread) / 1.5, y + w * std::sin(a + kFootSpread) / 2.0};
    p2 = {x + w * std::cos(a - kFootSpread) / 1.5, y + w * std::sin(a - kFootSpread) / 2.0};
}

float AngleFrom(const Pt& from, const Pt& to) {
    return zMath::GetAngle(ToSingle(from.x), ToSingle(from.y), ToSingle(to.x), ToSingle(to.y));
}

// The shadow texture, whole and white, over P1, P3, P4, P2 moved onto the screen.
void DrawShadowQuad(const zCamera& iCam, Pt p1, Pt p2, Pt p3, Pt p4) {
    const double ox = Int(-double(iCam.x)), oy = Int(-double(iCam.y));
    for (Pt* p : {&p1, &p2, &p3, &p4}) {
        p->x += ox;
        p->y += oy;
    }
    zDDraw.BltRect(gEffects.ShadowTexture, ToSingle(p1.x), ToSingle(p1.y), ToSingle(p3.x), ToSingle(p3.y),
                   ToSingle(p4.x), ToSingle(p4.y), ToSingle(p2.x), ToSingle(p2.y), kWhite, 0, 0, 1, 1);
}

}  // namespace

void SpriteMap_RenderShadows(const zItemMap& iMap, const zCamera& iCam, float iLightX, float iLightY) {
    zCore.CurrentProc = "SpriteMap_RenderShadows";
    ForEachItemInView(iMap, iCam, [&](const zItem& item) {
        if (!item.Shadow) return;
        const zSprite& s = *item.Sprite;
        if (zMath::GetDistance(s.x, ToSingle(double(s.y) - s.Z), iLightX, iLightY) < kLayerLightRange)
            RenderSpriteShadow(s, iCam, iLightX, iLightY);
    });
}

void ItemMapRenderAmbientShadows(const zItemMap& iMap, const zCollisionMap* iCollision, const zCamera& iCam,
                                 float iSunAngle, float iSunLength, float iSunAlpha) {
    zCore.CurrentProc = "ItemMapRenderAmbientShadows";
    ForEachItemInView(iMap, iCam, [&](const zItem& item) {
        if (item.Shadow)
            RenderAmbientShadow(*item.Sprite, iCollision, iCam, iSunAngle, iSunLength, iSunAlpha);
    });
}

void RenderSpriteShadow(const zSprite& iSprite, const zCamera& iCam, float iLightX, float iLightY) {
    const double x = iSprite.x, y = iSprite.y;
    const double a0 = zMath::GetAngle(iSprite.x, iSprite.y, iLightX, iLightY);
    const double d = zMath::GetDistance(iSprite.x, iSprite.y, iLightX, iLightY);
    const double w = double(iSprite.ZoomX) * iSprite.W;
    double L = double(iSprite.ZoomY) * iSprite.H;
    if (L < 16) L = 16;
    if (L > 128) L = 128;
    // Too far for the light to matter, or standing on it.
    if (d > 4 * L || d < L / 2) return;
    double t;
    if (d > L)
        t = 0.5 + 0.5 * (d - L) / (3 * L);
    else
        t = 0.5 + 0.5 * std::pow((L - d) / (L / 2), 2.0);
    zDDraw.SetAlphaValue(ToSingle(t), 100);
    const double len = w / 4 + std::pow(d, 0.9);
    Pt p1, p2;
    FootCorners(x, y, w, a0, p1, p2);
    const Pt light{iLightX, iLightY};
    const double a1 = AngleFrom(light, p1), a2 = AngleFrom(light, p2);
    Pt p3{x + len * std::cos(a1), y + len * std::sin(a1)};
    Pt p4{x + len * std::cos(a2), y + len * std::sin(a2)};
    // A raised sprite's shadow falls further away.
    const double hx = double(iSprite.Z) * std::cos(a2), hy = double(iSprite.Z) * std::sin(a2) / 2.0;
    for (Pt* p : {&p1, &p2, &p3, &p4}) {
        p->x += hx;
        p->y += hy;
    }
    DrawShadowQuad(iCam, p1, p2, p3, p4);
}

void RenderAmbientShadow(const zSprite& iSprite, const zCollisionMap* iCollision, const zCamera& iCam,
                         float iSunAngle, float iSunLength, float iSunAlpha) {
    const double x = iSprite.x, y = iSprite.y;
    const double w = double(iSprite.ZoomX) * iSprite.W;
    // An item standing in a wall casts no sun shadow; the test point lies half
    // a cell to the left of its foot.
    if (iCollision) {
        const double h = iCollision->TileW2;
        if (iCollision->CheckCollision(CLng(x - h), CLng(y), 1)) return;
    }
    const double a = iSunAngle, s = iSunLength;
    Pt p1, p2;
    FootCorners(x, y, w, a, p1, p2);
    const Pt sun{x + s * std::cos(a), y + s * std::sin(a)};
    const double a1 = AngleFrom(sun, p1), a2 = AngleFrom(sun, p2);
    const Pt p3{x + s * std::cos(a1), y + s * std::sin(a1)};
    const Pt p4{x + s * std::cos(a2), y + s * std::sin(a2)};
    zDDraw.SetAlphaValue(float(iSunAlpha), 100);
    DrawShadowQuad(iCam, p1, p2, p3, p4);
}

void RenderBaseShadow(const zSprite& iSprite, const zCamera& iCam) {
    double sw = double(iSprite.ZoomX) * iSprite.W - iSprite.Z;
    if (sw < 8) sw = 8;
    const float X = ToSingle(Int(double(iSprite.x) - sw / 2) - Int(iCam.x));
    const float Y = ToSingle(Int(double(iSprite.y) - sw / 4) - Int(iCam.y));
    zDDraw.BltDirection(gEffects.ShadowTexture, X, Y, ToSingle(sw), ToSingle(sw / 2), 0, 0, 0, 0, kWhite, 1,
                        1.0f);
}

void RenderCharShadow(const zSprite& iSprite, const zCamera& iCam, float iZoom) {
    const double k = iZoom;
    const double zx = double(iSprite.ZoomX) * k, zy = double(iSprite.ZoomY) * k;
    const float X = ToSingle(double(iSprite.x) - Int(iCam.x) - double(iSprite.OriginX) * zx);
    const float Y = ToSingle(double(iSprite.y) - Int(iCam.y) - double(iSprite.OriginY) * zy - iSprite.Z);
    zDDraw.BltRotate(iSprite.Texture, X, Y, ToSingle(Int(zx * iSprite.W)), ToSingle(Int(zy * iSprite.H)),
                     iSprite.SrcX, iSprite.SrcY, int32_t(iSprite.W), int32_t(iSprite.H), zDDraw.DiffuseColor,
                     iSprite.R, ToSingle(double(iSprite.OriginX) * iSprite.ZoomX),
                     ToSingle(double(iSprite.OriginY) * iSprite.ZoomY), 1.0f, 0);
}

}  // namespace tarv
