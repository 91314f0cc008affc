// The set-up of the render tests: the shell test set-up plus the pass
// targets, the lens buffers, the light and shadow textures, a cursor, a
// "game" object that records "renderInterface", and readers of what the
// recording backend drew (per texture, per target, in order).
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ShellTestSupport.h"
#include "game/effects/gEffects.h"
#include "game/shell/gRender.h"
#include "platform/RecordingBackend.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"

namespace tarv::test {

class RenderTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        LoadScript(R"(
class Game { func renderInterface() { record("interface"); } }
class Lens { func onBeginScene() { record("begin"); } func onRender() { record("render"); } }
)");
        auto& g = gCharTest;
        g.LightTarget = zDDraw.CreateRenderTarget(256);
        g.ShadowTarget = zDDraw.CreateRenderTarget(256);
        g.MirrorTarget = zDDraw.CreateRenderTarget(256);
        g.RenderBuffers[0] = zDDraw.CreateRenderTarget(512);
        g.RenderBuffers[1] = zDDraw.CreateRenderTarget(512);
        g.LightTexture = AddTexture(64, 64);
        gEffects.ShadowTexture = AddTexture(64, 64);
        g.Cursor = std::make_shared<zSprite>();
        g.Cursor->Texture = AddTexture(32, 32);
        g.Cursor->W = g.Cursor->H = 32;
        g.Cursor->SetPosition(320, 240);
        g.GameObject = Object("Game");
        g.GameUpdates = true;
        g.Player->Sprite->Texture = AddTexture(24, 32);
        frmMain.AmbientColor = int32_t(0xFF336699u);
        rec->ClearLog();
    }
    void TearDown() override {
        gEffects = EffectsState{};
        ShellTest::TearDown();
    }

    static TextureId Id(int32_t handle) { return zDDraw.Textures[size_t(handle)].Texture; }

    // Draws one whole frame and gives back what was drawn.
    std::vector<RecordedDraw> Frame() {
        rec->ClearLog();
        RenderGamePre();
        RenderGame();
        return rec->Draws;
    }
    // Index of the first draw of a texture (by handle) into a target (by
    // handle, 0 = back buffer); -1 when there is none.
    static int First(const std::vector<RecordedDraw>& d, int32_t tex, int32_t target = 0) {
        for (size_t i = 0; i < d.size(); ++i)
            if (d[i].Textured && d[i].Texture == Id(tex) && d[i].Target == (target ? Id(target) : 0)) return int(i);
        return -1;
    }
    // The number of quads of the draws of a texture into a target.
    static int QuadCount(const std::vector<RecordedDraw>& d, int32_t tex, int32_t target = 0) {
        int n = 0;
        for (const auto& r : d)
            if (r.Textured && r.Texture == Id(tex) && r.Target == (target ? Id(target) : 0))
                n += r.Prim == Primitive::TriangleList ? int(r.Vertices.size() / 6) : 1;
        return n;
    }
    // The device state of a blend mode.
    static DrawState Mode(int32_t mode) {
        const DrawState keep = zDDraw.State;
        zDDraw.SetAlphaMode(mode);
        const DrawState s = zDDraw.State;
        zDDraw.State = keep;
        return s;
    }
    static bool Blend(const RecordedDraw& r, int32_t mode) {
        const DrawState m = Mode(mode);
        // Without blending the factors are whatever the mode before left.
        const bool factors = !m.AlphaBlendEnable || (r.State.SrcBlend == m.SrcBlend &&
                                                     r.State.DestBlend == m.DestBlend && r.State.BlendOp == m.BlendOp);
        return r.State.AlphaBlendEnable == m.AlphaBlendEnable && factors &&
               r.State.AlphaTestEnable == m.AlphaTestEnable && r.State.Stages[0].ColorOp == m.Stages[0].ColorOp;
    }

    // A tile layer of one cell drawn with its own texture.
    std::shared_ptr<zTileMap> TileLayer(int32_t& tex) {
        tex = AddTexture(64, 64);
        auto set = std::make_shared<zTileSet>();
        set->SetTileSize(32);
        set->Texture = tex;
        auto map = std::make_shared<zTileMap>();
        map->SetTileSize(32);
        map->SetSize(1, 1);
        map->AddTileSet(set);
        map->SetTile(0, 0, 1, 1, 0);
        return map;
    }
};

}  // namespace tarv::test
