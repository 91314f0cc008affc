// The light map: black where nothing lights the scene. Lamps, the torch and
// the player's glow are added first and then multiplied by the shadow map, so
// shadows darken them; light particles and the ambient colour come after and
// are never shadowed.
#include <memory>

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
        zDDraw.Blt(g.ShadowTarget, 0, 0, float(zDDraw.ScreenW), float(zDDraw.ScreenH), 0, 0, 0, 0, -1, 1.0f);
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
