// The frame tick: one frame of the running game, its steps in a fixed order
// (scripts see this frame's globals, the interface sees the input after the
// active controller polled it, the camera follows before the layers update,
// drawing comes last).
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zMusicSetup.h"
#include "game/effects/gParticleSystem.h"
#include "game/effects/gWeather.h"
#include "game/effects/zParticle.h"
#include "game/shell/frmMain.h"
#include "game/shell/mScriptEvent.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/mTimeline.h"
#include "platform/Dialogs.h"
#include "platform/StopSignals.h"
#include "platform/Window.h"
#include "scene/iEmitter.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zEmitterMap.h"
#include "scene/zItemMap.h"
#include "scene/zPictureLayer.h"
#include "scene/zSprite.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"
#include "script/zScriptArray.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

namespace {

uint8_t Setting(const char* iKey) { return gCharTest.Settings ? gCharTest.Settings->GetByte(iKey, 0) : 0; }

std::string EmitterClass(iEmitter& e) {
    iClass* c = e.Class();
    return c ? c->ClassName() : std::string();
}

float PlayerDistance(iEmitter& e) {
    const auto& p = gCharTest.Player;
    if (!p || !p->Sprite) return 0.0f;
    return zMath::GetDistance(p->Sprite->x, p->Sprite->y, e.GetX(), e.GetY());
}

template <class Layer>
void UpdateLayer(const std::shared_ptr<Layer>& iLayer) {
    const std::shared_ptr<Layer> l = iLayer;
    if (l) l->Update();
}

// The level object's "type": its own value or, failing that, a global's.
std::string LevelType() {
    const std::shared_ptr<zScriptObject> level = gCharTest.LevelObject;
    if (!level || !level->Locals) return "";
    zScriptValue* v = level->Locals->GetName("type");
    return v ? v->GetString() : "";
}

}  // namespace

void frmMainForm::tmrMain_Timer() {
    // 1-2.
    if (!Running) return;
    if (Window && Window->Minimized()) return;
    zDInput.ShowKeyTaps();

    // 3. Esc asks; the key state is cleared whatever the answer.
    if (zDInput.Keys[27]) {
        zDInput.Keys[27] = false;
        if (ShowMessageBox("Vorlund Demo wirklich beenden?", MsgBoxStyle::Question | MsgBoxStyle::YesNo) ==
            MsgBoxResult::Yes) {
            Form_Unload();
            return;
        }
        // A stop signal closed the question: the frame loop ends the program
        // before anything else runs.
        if (StopRequested()) return;
    }

    // 4.
    gCharTest.MouseViewX = zDInput.MouseX / zDDraw.RenderZoom;
    gCharTest.MouseViewY = zDInput.MouseY / zDDraw.RenderZoom;

    // 5. At most one frame per 33 ms while the limiter is on. The tick count
    // turns negative after 24.9 days of uptime and wraps after 49.7: only the
    // unsigned distance between two counts is meaningful.
    if (Setting("DisableTimer") == 0) {
        auto tick = [this] { return TickSource ? TickSource() : GetTickCount(); };
        if (uint32_t(tick()) - uint32_t(LastFrameTick) < 33u) return;
        LastFrameTick = tick();
    }
    // However the frame ends, the key taps it saw are over after it.
    struct KeysPolledAtEnd {
        ~KeysPolledAtEnd() { zDInput.KeysPolled(); }
    } keysPolled;

    // 6-7.
    Send(gCharTest.Lens, "onNextFrame");
    zDDraw.UpdateFrameRate();

    // 8. Without game updates the frame count stands still and only drawing runs.
    if (!gCharTest.GameUpdates) {
        zCore.FrameCounter -= 1;
    } else {
        // 9-10.
        SetScriptGlobals();
        Send(gCharTest.GameObject, "onUpdate");

        // 11. Particle emitters, and the sparkle that follows the cursor.
        const bool particles = Setting("ParticleSystem") == 1;
        if (particles) {
            if (const std::shared_ptr<zEmitterMap> emitters = gCharTest.mapEmitters) {
                const std::vector<std::shared_ptr<iEmitter>> list = emitters->Emitters();
                for (const auto& e : list) {
                    if (e && EmitterClass(*e) == "zParticleEmitter") e->Update(PlayerDistance(*e));
                }
            }
            const std::shared_ptr<gParticleSystem> main = gCharTest.Particles;
            const std::shared_ptr<zSprite> cursor = gCharTest.Cursor;
            if (main && cursor) {
                const double r1 = Rnd(), r2 = Rnd(), r3 = Rnd();
                const std::shared_ptr<zParticle> p =
                    main->CreateParticle("pFlock", ToSingle(cursor->x + (r1 - 0.5) * 6.0),
                                         ToSingle(cursor->y + 16.0 + (r2 - 0.5) * 6.0),
                                         ToSingle((r3 - 0.5) * 4.0 + 16.0), 0.0f, 0);
                const std::shared_ptr<gParticleSystem> light = gCharTest.LightParticles;
                if (p && light) light->CreateLinkParticle("pGlow", p, p->x, p->y, p->Z, p->R, 3);
            }
        }

        // 12-14.
        if (const std::shared_ptr<iController> c = gCharTest.Controller) c->CheckInput();
        UpdateInterface();
        Send(gCharTest.LevelObject, "onUpdate");

        // 15. Weather and ambient colour by the level's type; no wind.
        if (LevelType() == "dungeon") {
            gWeather.UpdateWeather(0.0f);
            gWeather.WindStrength = 0;
            gWeather.WindAngle = 0;
            AmbientColor = zDDrawModule::GetGrayColor(0.0f);
        } else {
            gWeather.UpdateWeather(gCharTest.GameTime / 1000.0f);
            gWeather.WindStrength = 0;
            gWeather.WindAngle = 0;
            AmbientColor = zDDrawModule::GetColorRGB(gWeather.Ambient.R, gWeather.Ambient.G, gWeather.Ambient.B);
        }

        // 16. The camera follows the player; outdoors it stays on the map.
        if (Camera && gCharTest.Player && gCharTest.Player->Sprite) {
            Camera->SetTarget(gCharTest.Player->Sprite->x, gCharTest.Player->Sprite->y - 16.0f);
            Camera->Update();
            const std::shared_ptr<zTileMap> ground = gCharTest.solidGround;
            if (gCharTest.mapValues && gCharTest.mapValues->GetString("type", "") == "outdoor" && ground) {
                Camera->ClipToMap(ground->x, ground->y, float(ground->W), float(ground->H), ground->TileW,
                                  ground->Parallax, ground->Zoom);
            }
        }

        // 17. Animated tiles.
        if (const std::shared_ptr<zFile> level = LevelFile) {
            for (int32_t i = 1; i <= level->ChunkCount(); ++i) {
                const std::shared_ptr<zFileChunk> chunk = level->GetChunk(i);
                if (!chunk || !chunk->Instance || chunk->Instance->ClassName() != "zTileSet") continue;
                if (auto set = std::dynamic_pointer_cast<zTileSet>(chunk->Instance)) set->Update();
            }
        }

        // 18. Characters, then the decoration.
        const std::vector<std::shared_ptr<gChar>> chars = gCharTest.Chars;
        for (const auto& c : chars)
            if (c) c->Update();
        if (Setting("EnableDeco") != 0) {
            const std::vector<std::shared_ptr<gChar>> deco = gCharTest.Deco;
            for (const auto& c : deco)
                if (c) c->Update();
        }

        // 19. Layers.
        UpdateLayer(gCharTest.solidGround);
        UpdateLayer(gCharTest.maskGround);
        UpdateLayer(gCharTest.solidWalls);
        UpdateLayer(gCharTest.maskWalls);
        UpdateLayer(gCharTest.maskRoof);
        UpdateLayer(gCharTest.mapDoors);
        UpdateLayer(gCharTest.mapItems);
        UpdateLayer(gCharTest.mapLights);
        UpdateLayer(gCharTest.picFog);
        UpdateLayer(gCharTest.picClouds);
        UpdateLayer(gCharTest.picWater);
        UpdateLayer(gCharTest.mapCollision);
        UpdateLayer(gCharTest.mapWater);

        // 20.
        if (particles) {
            if (const std::shared_ptr<gParticleSystem> p = gCharTest.Particles) p->UpdateParticles();
            if (const std::shared_ptr<gParticleSystem> p = gCharTest.LightParticles) p->UpdateParticles();
        }

        // 21. Level script objects registered for updates.
        const std::vector<std::shared_ptr<zScriptObject>> objects = gCharTest.UpdateObjects;
        for (const auto& o : objects) Send(o, "onUpdate");

        // 22. Sound emitters follow the listener from the second frame on.
        if (zCore.FrameCounter >= 2) {
            if (const std::shared_ptr<zEmitterMap> emitters = gCharTest.mapEmitters) {
                const std::vector<std::shared_ptr<iEmitter>> list = emitters->Emitters();
                for (const auto& e : list) {
                    if (!e) continue;
                    if (EmitterClass(*e) == "zSoundEmitter") e->Update(PlayerDistance(*e));
                    if (EmitterClass(*e) == "zSoundArea") e->Update(PlayerDistance(*e));
                }
            }
        }

        // 23.
        mTimeline.UpdateTimeline();
    }

    // 24. The off-screen passes, then the frame.
    if (auto pre = gShellParts.RenderGamePre) pre();
    if (auto game = gShellParts.RenderGame) {
        game();
    } else if (zDDraw.BeginScene(zDDrawModule::GetGrayColor(0.0f), 0)) {
        // No render pipeline: an empty frame.
        zDDraw.EndScene(true);
    }

    // 25.
    UpdateMusicSetup();
}

}  // namespace tarv
