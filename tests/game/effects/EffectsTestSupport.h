// The set-up of the effects tests: a recording device with the particle and
// shadow textures, a main particle system with every scene kind registered,
// a light system with the glow, the weather's camera, and a seeded random
// source. Drawn quads come back with the state they were drawn in, so a test
// can tell the blend mode and the global transparency of each.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/zRuntime.h"
#include "game/effects/gEffects.h"
#include "game/effects/gParticleSystem.h"
#include "game/effects/gWeather.h"
#include "game/effects/pFlock.h"
#include "game/effects/pGlow.h"
#include "game/effects/pRain.h"
#include "game/effects/pSmoke.h"
#include "game/effects/pSnow.h"
#include "game/effects/pSpark.h"
#include "game/effects/pTrack.h"
#include "game/effects/pWave.h"
#include "scene/LayerTestSupport.h"

namespace tarv::test {

using zun::test::layers::Quad;

struct DrawnQuad {
    Quad Q;
    zun::DrawState State;
    // The global transparency the quad was drawn with (the texture factor's alpha).
    float Transparency() const { return 1.0f - float(State.TextureFactor >> 24) / 255.0f; }
};

class EffectsTest : public zun::test::layers::LayerTest {
protected:
    std::shared_ptr<gParticleSystem> main, light;
    std::shared_ptr<zun::zCamera> cam;
    int32_t particleTex = 0, shadowTex = 0;

    void SetUp() override {
        LayerTest::SetUp();
        zun::SeedRandom(20240611u);
        particleTex = AddTexture(256, 256, "Demo Particles.png");
        shadowTex = AddTexture(64, 64, "Demo Shadow.png");
        main = std::make_shared<gParticleSystem>();
        main->AddManager(std::make_shared<pTrack>());
        main->AddManager(std::make_shared<pFlock>());
        main->AddManager(std::make_shared<pSmoke>());
        main->AddManager(std::make_shared<pSpark>());
        main->AddManager(std::make_shared<pWave>());
        main->AddManager(std::make_shared<pRain>());
        main->AddManager(std::make_shared<pSnow>());
        light = std::make_shared<gParticleSystem>();
        light->AddManager(std::make_shared<pGlow>());
        gEffects = EffectsState{};
        gEffects.Particles = main;
        gEffects.ParticleTexture = particleTex;
        gEffects.ShadowTexture = shadowTex;
        gWeather = gWeatherModule{};
        cam = std::make_shared<zun::zCamera>(Camera(0, 0, 640, 480));
        cam->ScreenW = 640;
        cam->ScreenH = 480;
        gWeather.Camera = cam;
    }
    void TearDown() override {
        gEffects = EffectsState{};
        gWeather = gWeatherModule{};
        LayerTest::TearDown();
    }

    // Flushes and returns every textured quad since the last call with its draw state.
    std::vector<DrawnQuad> Drawn() {
        zun::zDDraw.EndScene(false);
        std::vector<DrawnQuad> out;
        for (const auto& d : rec->Draws) {
            if (!d.Textured || d.Prim != zun::Primitive::TriangleList) continue;
            for (size_t i = 0; i + 6 <= d.Vertices.size(); i += 6) {
                const zun::TLVertex* v = &d.Vertices[i];
                const zun::TLVertex* corner[4] = {&v[0], &v[1], &v[2], &v[5]};
                DrawnQuad q{};
                for (int k = 0; k < 4; ++k) {
                    q.Q.X[k] = corner[k]->X + 0.5f;
                    q.Q.Y[k] = corner[k]->Y + 0.5f;
                    q.Q.U[k] = corner[k]->TU;
                    q.Q.V[k] = corner[k]->TV;
                }
                q.Q.Z = float(double(v[0].Z) / 0.999999);
                q.Q.Color = v[0].Color;
                q.Q.Texture = d.Texture;
                q.State = d.State;
                out.push_back(q);
            }
        }
        rec->ClearLog();
        return out;
    }

    // The device state a blend mode selects (the global transparency aside).
    static zun::DrawState ModeState(int32_t mode) {
        const zun::DrawState keep = zun::zDDraw.State;
        const float keepAlpha = zun::zDDraw.GlobalAlpha;
        zun::zDDraw.SetAlphaMode(mode);
        zun::DrawState s = zun::zDDraw.State;
        zun::zDDraw.State = keep;
        zun::zDDraw.GlobalAlpha = keepAlpha;
        return s;
    }
    static bool SameBlend(const zun::DrawState& a, const zun::DrawState& b) {
        return a.AlphaBlendEnable == b.AlphaBlendEnable && a.BlendOp == b.BlendOp &&
               a.SrcBlend == b.SrcBlend && a.DestBlend == b.DestBlend &&
               a.AlphaTestEnable == b.AlphaTestEnable;
    }
    // The backend's texture id of a texture handle.
    static zun::TextureId TexId(int32_t handle) { return zun::zDDraw.Textures[size_t(handle)].Texture; }
};

}  // namespace tarv::test
