// The light map: black where nothing lights the scene. Lamps, the torch and
// the player's glow are added first and then multiplied by the shadow map, so
// shadows darken them; light particles and the ambient colour come after and
// are never shadowed.
#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/effects/gParticleSystem.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "scene/zCamera.h"
#include "scene/zItemMap.h"
#include "scene/zSprite.h"

namespace tarv {

using namespace zun;

namespace {

// The light map times the shadow map, laid over the whole logical screen in
// the current blend mode (a product) at depth 0. Where the shadow map still
// holds the opaque white it was cleared to, and so does every texel its
// filter reaches, the product is the light map itself: the map is laid only
// over the parts of the light map that the shadows pass drew near, and not at
// all when it drew nothing. The whole quad would also have set the depth of
// every pixel; a depth clear sets the same depth for nothing.
void MultiplyByShadowMap(int32_t iShadows) {
    const float w = float(zDDraw.ScreenW), h = float(zDDraw.ScreenH);
    auto whole = [&] { zDDraw.Blt(iShadows, 0, 0, w, h, 0, 0, 0, 0, -1, 1.0f); };
    std::vector<zDDrawModule::DrawArea> drawn;
    int32_t cleared = 0;
    int32_t tw = 0, th = 0;
    if (zDDraw.Device) zDDraw.Device->CurrentTargetSize(tw, th);
    if (zDDraw.RenderZ != 0 || !zDDraw.RenderTargetActive || tw <= 0 || th <= 0 ||
        !zDDraw.DrawnParts(iShadows, drawn, cleared) || cleared != zDDraw.GetGrayColor(1.0f)) {
        whole();
        return;
    }
    const TextureEntry& map = zDDraw.Textures[size_t(iShadows)];
    double sx = 1, sy = 1;
    zDDraw.Scale(sx, sy);
    // Pixels of the light map per texel of the shadow map.
    const double kx = double(zDDraw.ScreenW) * sx / map.W, ky = double(zDDraw.ScreenH) * sy / map.H;
    if (!(kx > 0 && ky > 0)) {
        whole();
        return;
    }
    // The light map's tiles a drawn texel reaches through the filter, which
    // repeats the map beyond its edges.
    constexpr int32_t kTile = zDDrawModule::DrawnTile;
    const int32_t cols = (tw + kTile - 1) / kTile, rows = (th + kTile - 1) / kTile;
    std::vector<uint8_t> reached(size_t(cols) * size_t(rows), 0);
    auto ranges = [](int32_t t0, int32_t t1, int32_t side, double k, int32_t pixels) {
        std::vector<std::pair<int32_t, int32_t>> out;
        auto add = [&](int32_t a, int32_t b) {
            const double p0 = std::floor(a * k) - 2, p1 = std::ceil(b * k) + 2;
            const int32_t q0 = int32_t(std::max(p0, 0.0)), q1 = int32_t(std::min(p1, double(pixels)));
            if (q1 > q0) out.emplace_back(q0, q1);
        };
        add(t0 - 2, t1 + 2);
        if (t0 - 2 < 0) add(side + t0 - 2, side);
        if (t1 + 2 > side) add(0, t1 + 2 - side);
        return out;
    };
    for (const auto& d : drawn)
        for (const auto& [x0, x1] : ranges(d.X, d.X + d.W, map.W, kx, tw))
            for (const auto& [y0, y1] : ranges(d.Y, d.Y + d.H, map.H, ky, th))
                for (int32_t r = y0 / kTile; r <= (y1 - 1) / kTile; ++r)
                    for (int32_t c = x0 / kTile; c <= (x1 - 1) / kTile; ++c)
                        reached[size_t(r) * size_t(cols) + size_t(c)] = 1;
    const zDDrawModule::DrawArea kept = zDDraw.Limit;
    for (const auto& part : zDDrawModule::TileRects(reached, cols, rows, kTile, tw, th)) {
        if (!zDDraw.NarrowDrawArea(part)) continue;
        whole();
        zDDraw.RestoreDrawArea(kept);
    }
    if (zDDraw.State.ZEnable && zDDraw.State.ZWriteEnable) zDDraw.ClearDepth(0);
}

// The light texture centred on a world point, drawn at once.
void Glow(const zCamera& cam, float x, float y, float size, float r, float g, float b) {
    const float left = ToSingle(double(x) - cam.x - size / 2.0);
    const float top = ToSingle(double(y) - cam.y - size / 2.0);
    zDDraw.BltNow(gCharTest.LightTexture, left, top, size, size, 0, 0, 0, 0, zDDraw.GetColorRGB(r, g, b), 0, 0, 0,
                  1.0f);
}

}  // namespace

void RenderLights() {
    auto& g = gCharTest;
    const std::shared_ptr<zCamera> camera = frmMain.Camera;
    if (!camera) Raise(errObjectNotSet);
    const zCamera& cam = *camera;

    render::TargetScene scene(zDDraw.GetColorRGB(0, 0, 0), g.LightTarget);
    zDDraw.RenderZ = 1.0f;

    if (const std::shared_ptr<zItemMap> lights = g.mapLights) {
        zDDraw.SetAlphaMode(10);
        zDDraw.DiffuseColor = zDDraw.GetColorRGB(1.0f, 0.8f, 0.4f);
        lights->Update();
        lights->Render(cam, 1.0f);
    }
    if (g.TorchEnabled && g.Cursor) {
        zDDraw.SetAlphaMode(10);
        Glow(cam, g.Cursor->x, g.Cursor->y, 80, 0.4f, 0.2f, 0.2f);
        Glow(cam, g.Cursor->x, g.Cursor->y, 300, 0.8f, 0.4f, 0.0f);
    }
    if (g.Player && g.Player->Sprite) {
        const zSprite& s = *g.Player->Sprite;
        zDDraw.RenderZ = s.Z;
        zDDraw.SetAlphaMode(10);
        Glow(cam, s.x, s.y, 50, 0.4f, 0.2f, 0.1f);
        Glow(cam, s.x, s.y, 120, 0.6f, 0.2f, 0.1f);
    }
    if (render::On("Shadows")) {
        zDDraw.RenderZ = 0;
        zDDraw.SetAlphaMode(14);
        MultiplyByShadowMap(g.ShadowTarget);
    }
    if (render::On("ParticleSystem") && render::On("ParticleLights") && g.LightParticles) {
        zDDraw.RenderZ = 1.0f;
        if (g.LightParticles->ParticleCount > 0) g.LightParticles->DepthSort(1, g.LightParticles->ParticleCount);
        g.LightParticles->RenderParticles(cam, 1);
    }
    zDDraw.RenderZ = 0;
    zDDraw.SetAlphaMode(10);
    zDDraw.BltSurface(0, 0, float(zDDraw.ScreenW), float(zDDraw.ScreenH), frmMain.AmbientColor);

    scene.End();
}

}  // namespace tarv
