// The shadow map: white where nothing is shadowed. Base shadows under the
// characters, point-light shadows away from the torch, the player and the
// flagged light items, and sun shadows in outdoor levels darken it; the
// items, doors and characters are then painted back in white at 95 % of their
// size, so no shadow falls on the body of the object that casts it.
#include <memory>
#include <string>
#include <vector>

#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/effects/gShadows.h"
#include "game/effects/gWeather.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zLayer.h"
#include "scene/zSprite.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

namespace {

// The characters whose items cast shadows, in collection order.
std::vector<std::shared_ptr<zSprite>> ShadowSprites() {
    std::vector<std::shared_ptr<zSprite>> out;
    for (const auto& c : gCharTest.Chars)
        if (c && c->Item && c->Item->Shadow && c->Sprite) out.push_back(c->Sprite);
    return out;
}

// Shadows away from a point light: the map's items first, then the characters.
void PointLightShadows(const zCamera& cam, const std::vector<std::shared_ptr<zSprite>>& casters, float lx, float ly,
                       bool withItems) {
    if (withItems && gCharTest.mapItems) SpriteMap_RenderShadows(*gCharTest.mapItems, cam, lx, ly);
    for (const auto& s : casters) RenderSpriteShadow(*s, cam, lx, ly);
}

// The level object's "type" is "outdoor". No level object, or none with a
// "type" in its values or the globals, is a level that is not outdoor.
bool OutdoorLevel() {
    const std::shared_ptr<zScriptObject> level = gCharTest.LevelObject;
    if (!level || !level->Locals) return false;
    const zScriptValue* type = level->Locals->GetName("type");
    return type && type->GetString() == "outdoor";
}

}  // namespace

void RenderShadows() {
    auto& g = gCharTest;
    const std::shared_ptr<zCamera> camera = frmMain.Camera;
    if (!camera) Raise(errObjectNotSet);
    const zCamera& cam = *camera;

    render::TargetScene scene(zDDraw.GetGrayColor(1.0f), g.ShadowTarget);
    zDDraw.RenderZ = 0.9f;
    zDDraw.SetAlphaMode(2);

    const std::vector<std::shared_ptr<zSprite>> casters = ShadowSprites();
    if (render::On("BaseShadows")) {
        zDDraw.SetAlphaMode(2);
        zDDraw.SetAlphaValue(0.7f, 100);
        for (const auto& s : casters) {
            // Lower on the screen is nearer.
            zDDraw.RenderZ = LayerDepth(0.8f, 0.5f, double(s->y) - cam.y, cam.H);
            RenderBaseShadow(*s, cam);
        }
    }
    if (g.TorchEnabled && g.Cursor) PointLightShadows(cam, casters, g.Cursor->x, g.Cursor->y, true);
    if (render::On("CursorShadows")) {
        if (g.Player && g.Player->Sprite)
            PointLightShadows(cam, casters, g.Player->Sprite->x, g.Player->Sprite->y, true);
        const SunValues sun = gWeather.Sun;
        if (render::On("AmbientShadows") && OutdoorLevel() && sun.Alpha < 1.0f) {
            const zCollisionMap* collision = g.mapCollision.get();
            if (g.mapItems)
                ItemMapRenderAmbientShadows(*g.mapItems, collision, cam, sun.Angle, sun.Length, sun.Alpha);
            for (const auto& s : casters) RenderAmbientShadow(*s, collision, cam, sun.Angle, sun.Length, sun.Alpha);
        }
    }
    if (render::On("LightsShadows") && g.mapLights) {
        const bool withItems = render::On("SpriteShadows");
        const auto lights = g.mapLights->Items();
        for (const auto& light : lights) {
            if (!light || !light->Shadow || !light->Sprite) continue;
            PointLightShadows(cam, casters, light->Sprite->x, light->Sprite->y, withItems);
        }
    }

    // Cut-outs: every object in white, at 95 % of its size.
    zDDraw.SetAlphaMode(127);
    zDDraw.DiffuseColor = zDDraw.GetGrayColor(1.0f);
    if (g.mapItems) g.mapItems->Render(cam, 0.95f);
    if (g.mapDoors) g.mapDoors->Render(cam, 0.95f);
    for (const auto& c : g.Chars)
        if (c && c->Sprite) RenderCharShadow(*c->Sprite, cam, 0.95f);

    scene.End();
}

}  // namespace tarv
