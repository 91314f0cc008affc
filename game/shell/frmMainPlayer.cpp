// The player's character set, the two particle systems with their kinds, and
// the player's footprints, water rings and footstep sounds by the ground
// under the player.
#include <cmath>

#include "core/zCore.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zDSound.h"
#include "game/effects/gEffects.h"
#include "game/effects/gParticleSystem.h"
#include "game/effects/pFlock.h"
#include "game/effects/pGlow.h"
#include "game/effects/pRain.h"
#include "game/effects/pSmoke.h"
#include "game/effects/pSnow.h"
#include "game/effects/pSpark.h"
#include "game/effects/pTrack.h"
#include "game/effects/pWave.h"
#include "game/shell/frmMain.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "scene/zSprite.h"
#include "scene/zValueSetMap.h"

namespace tarv {

using namespace zun;

void frmMainForm::CreateCharSets() {
    const std::shared_ptr<gChar> player = gCharTest.Player;
    if (!player) return;
    auto set = std::dynamic_pointer_cast<gCharset>(CreateClass("gCharset", false));
    if (!set) set = std::make_shared<gCharset>();
    player->CharSet = set;
    SkipOnFailure("CreateCharSets", [&] {
        set->Texture = zDDraw.LoadTexture("Char Hero.png", false, zDDrawModule::GetColorRGB(1, 1, 1), 1, 0);
    });
    set->x = 0;
    set->y = 0;
    set->W = 24;
    set->H = 24;
    set->FramesX = 3;
    set->FramesY = 4;
    set->AniWait = 1;
    set->OffsetX = 12;
    set->OffsetY = 24;
}

void frmMainForm::CreateParticles() {
    auto particles = std::make_shared<gParticleSystem>();
    particles->AddManager(std::make_shared<pTrack>());
    particles->AddManager(std::make_shared<pFlock>());
    particles->AddManager(std::make_shared<pSmoke>());
    particles->AddManager(std::make_shared<pSpark>());
    particles->AddManager(std::make_shared<pWave>());
    particles->AddManager(std::make_shared<pRain>());
    particles->AddManager(std::make_shared<pSnow>());
    gCharTest.Particles = particles;
    gEffects.Particles = particles;

    auto light = std::make_shared<gParticleSystem>();
    light->AddManager(std::make_shared<pGlow>());
    gCharTest.LightParticles = light;
}

void frmMainForm::CreatePlayerSteps() {
    const std::shared_ptr<gChar> player = gCharTest.Player;
    if (!player || !player->Sprite) return;
    const float px = player->Sprite->x, py = player->Sprite->y, a = player->Angle;
    const int32_t frame = zCore.FrameCounter;

    // The ground under the player.
    std::shared_ptr<zValues> material;
    if (const std::shared_ptr<zValueSetMap> map = gCharTest.mapMaterials; map && map->TileW != 0) {
        uint8_t index = 0;
        map->GetTile(CLng(Int(double(px) / map->TileW)), CLng(Int(double(py) / map->TileW)), index);
        material = map->GetValueSet(index);
    }
    const bool water = material && material->GetLong("Effect", 0) == 1;
    const std::shared_ptr<gParticleSystem> particles = gCharTest.Particles;

    if (player->Speed <= 0) {
        // Standing in water now and then rings the surface.
        if (Rnd() > 0.95f && int64_t(frame) - LastStepFrame > 5 && water) {
            const double r1 = Rnd(), r2 = Rnd();
            if (particles)
                particles->CreateParticle("pWave", ToSingle(px + (r1 - 0.5) * 4.0), ToSingle(py + (r2 - 0.5) * 4.0),
                                          0, a, 0);
            LastStepFrame = frame;
        }
        LastStepSoundFrame = 0;
        return;
    }

    // Walking: a print every third frame, left and right of the path.
    if (int64_t(frame) - LastStepFrame > 2) {
        const double side = LeftFoot ? double(a) + 1.570796 : double(a) - 1.570796;
        const double fx = px + 2.0 * std::cos(side), fy = py + 2.0 * std::sin(side);
        if (material) {
            const double r1 = Rnd(), r2 = Rnd();
            if (particles)
                particles->CreateParticle(water ? "pWave" : "pTrack", ToSingle(fx + (r1 - 0.5) * 4.0),
                                          ToSingle(fy + (r2 - 0.5) * 4.0), 0, a, 0);
        }
        LastStepFrame = frame;
        LeftFoot = !LeftFoot;
    }
    // A step sound every seventh frame, its pitch varied.
    if (int64_t(frame) - LastStepSoundFrame > 6 && material) {
        float speed = ToSingle(Rnd() * 0.6 + 0.7), volume = 1.0f;
        const std::string sound = material->GetString("StepSound", "");
        // Ground without a step sound is silent, not a missing file each step.
        if (!sound.empty()) PlayWaveFile(sound, false, volume, speed, false, 0);
        LastStepSoundFrame = frame;
    }
}

}  // namespace tarv
