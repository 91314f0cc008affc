// The gesture mode and its patterns, music setups, sounds that fade with the
// distance from the player, level changes, lantern emitters, lightning and
// the lens script object, for scripts.
#include "core/zCore.h"
#include "core/zMath.h"
#include "devices/zDDraw.h"
#include "devices/zDSound.h"
#include "devices/zMusicSetup.h"
#include "game/effects/gWeather.h"
#include "game/scriptapi/gScript.h"
#include "game/scriptapi/gScriptOrigin.h"
#include "game/shell/frmMain.h"
#include "game/shell/gLevel.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gGestures.h"
#include "scene/zCamera.h"
#include "scene/zEmitterMap.h"
#include "scene/zParticleEmitter.h"
#include "scene/zSprite.h"
#include "scene/zTileMap.h"

using namespace zun;

namespace tarv {

namespace {

// Sounds fade out linearly over this distance from the player and are not
// played at all beyond it.
constexpr float kHearingRange = 1500.0f;
// Level cells are 16 pixels; a placed player stands in the middle of its cell.
constexpr float kLevelCell = 16.0f;
constexpr float kCellMiddle = 8.0f;
// The camera looks at a point a little above the player's feet.
constexpr float kCameraLift = 16.0f;
// The particle effect kind of a lantern.
constexpr const char* kLanternKind = "Laterne";

gGestures& ActiveGestures() {
    return Need(gCharTest.Gestures);
}

void gestureMode(GameCall& c) {
    // Held: removing it may run script code that changes the slot. A mode
    // switched on again replaces its controller, so that switching it off
    // once always gives the input back.
    if (std::shared_ptr<gGestures> old = gCharTest.Gestures) {
        gCharTest.RemoveController(old.get());
        gCharTest.Gestures.reset();
    }
    if (c.Bool(1)) {
        auto g = std::make_shared<gGestures>();
        g->Caller = c.CallerRef();
        gCharTest.Gestures = g;
        gCharTest.PushController(g);
    }
}

void setGestureCenter(GameCall& c) {
    const float x = c.Single(1), y = c.Single(2);
    gGestures& g = ActiveGestures();
    const zCamera& cam = Need(gWeather.Camera);
    // World pixels to screen pixels.
    const float zoom = zDDraw.RenderZoom;
    g.SetCenter(ToSingle((double(x) - cam.x) * zoom), ToSingle((double(y) - cam.y) * zoom));
}

void setGestureFunctions(GameCall& c) {
    const std::string cancel = c.KeptName(1), progress = c.KeptName(2);
    ActiveGestures().SetFunctions(cancel, progress);
}

void clearGestures(GameCall&) {
    // Without the mode there are no patterns: nothing to clear is no failure,
    // so a script may clear before it switches the mode on.
    if (const std::shared_ptr<gGestures> g = gCharTest.Gestures) g->ClearPatterns();
}

void addGesture(GameCall& c) {
    ActiveGestures().AddPattern(c.Args);
}

void playMusic(GameCall& c) {
    const std::string name = c.Str(1);
    const bool restart = c.Bool(2);
    const bool looping = c.Count == 3 ? c.Bool(3) : true;
    const int32_t index = FindMusicSetup(name);
    // The setup named last keeps playing; it is not started over. Once
    // stopped, asking for it again plays it again.
    if (index != 0 && index == gCharTest.MusicSetup && zMusicSetup.Setups[size_t(index)].Running) return;
    StopMusicSetup(gCharTest.MusicSetup);
    gCharTest.MusicSetup = StartMusicSetup(name, looping, restart);
}

void setMusicVolume(GameCall& c) {
    const float factor = c.Single(1);
    if (gCharTest.MusicSetup <= 0) return;
    if (gCharTest.MusicSetup > zMusicSetup.SetupCount) Raise(errSubscript);
    // Heard from the next time the music volumes are applied.
    zMusicSetup.Setups[size_t(gCharTest.MusicSetup)].Setup.VolumeFactor = factor;
}

void stopMusic(GameCall&) {
    // The index stays; "playMusic" sees that it no longer runs.
    if (gCharTest.MusicSetup > 0) StopMusicSetup(gCharTest.MusicSetup);
}

void playSound(GameCall& c) {
    c.FillDefaults(1, "1.0,1.0");
    const std::string file = c.Str(1);
    const float volume = c.Single(2), speed = c.Single(3);
    float d = 0;
    // An object with a place ("_x", "_y" in its scope) is heard from there.
    if (c.Values) {
        if (const zScriptValue* sx = c.Values->GetName("_x")) {
            const zScriptValue* sy = c.Values->GetName("_y");
            if (!sy) Raise(errObjectNotSet);
            const zSprite& player = Need(Need(gCharTest.Player).Sprite);
            d = zMath::GetDistance(player.x, player.y, sx->GetSingle(), sy->GetSingle());
        }
    }
    if (d > kHearingRange) return;
    const float fade = ToSingle(1.0 - double(d) / kHearingRange);
    float playVolume = ToSingle(double(fade) * volume), playSpeed = speed;
    PlayWaveFile(file, false, playVolume, playSpeed, false, 0);
}

void loadLevel(GameCall& c) {
    const std::string name = c.Str(1);
    const float cellX = c.Single(2), cellY = c.Single(3);
    // Checked before anything loads: a place that cannot be reached leaves the
    // current level as it is.
    const float x = CheckedPlace(double(cellX) * kLevelCell + kCellMiddle);
    const float y = CheckedPlace(double(cellY) * kLevelCell + kCellMiddle);
    // A refused name keeps the player where it is; a load made from inside
    // this one has placed the player on its own cell already.
    if (!LoadLevel(name)) return;
    zSprite& player = Need(Need(gCharTest.Player).Sprite);
    player.SetPosition(x, y);
    Need(frmMain.Camera).SetPosition(player.x, ToSingle(double(player.y) - kCameraLift));
}

void createEmitter(GameCall& c) {
    const float x = c.Place(1), y = c.Place(2), z = c.Single(3);
    if (!gCharTest.mapEmitters) {
        // A level placed without emitters gets its layer on the first one,
        // over the ground's cells, so the frame tick finds it like a loaded one.
        auto made = std::make_shared<zEmitterMap>();
        if (const auto& ground = gCharTest.solidGround) made->Resize(ground->TileW, ground->W, ground->H);
        gCharTest.mapEmitters = made;
    }
    zEmitterMap& map = *gCharTest.mapEmitters;
    CheckBudget(map.Emitters().size(), kMaxEmitters, "emitters", gCharTest.Placed.Emitters);
    auto e = std::make_shared<zParticleEmitter>();
    // The game's effects give a lantern emitter its particles.
    e->ManagerName = kLanternKind;
    e->x = x;
    e->y = y;
    e->Z = z;
    map.AddEmitter(e);
}

float FlashStrength() {
    return ToSingle(double(Rnd()) * 0.5 + 0.5);
}

void flash(GameCall& c) {
    if (c.Count <= 2) {
        if (const char* why = gWeather.FlashRefusal()) Raise(errOutOfMemory, std::string("Out of memory: ") + why);
    }
    switch (c.Count) {
        case 0: gWeather.Flash(zCore.FrameCounter, FlashStrength()); break;
        case 1: {
            const int32_t delay = c.Long(1);
            gWeather.Flash(AddLong(zCore.FrameCounter, delay), FlashStrength());
            break;
        }
        case 2: {
            const int32_t delay = c.Long(1);
            const float strength = c.Single(2);
            gWeather.Flash(AddLong(zCore.FrameCounter, delay), strength);
            break;
        }
        default: break;
    }
}

void assignLens(GameCall& c) {
    // The new lens is checked before the old one hears anything.
    std::shared_ptr<zScriptObject> lens;
    if (c.Count >= 1) {
        // An argument holding no object takes the lens away, as no argument does.
        if (std::shared_ptr<iClass> o = c.Object(1)) {
            lens = std::dynamic_pointer_cast<zScriptObject>(o);
            if (!lens) Raise(errTypeMismatch);
        }
    }
    // Held: the old lens's handler may itself assign another lens.
    if (std::shared_ptr<zScriptObject> old = gCharTest.Lens) old->Execute("onRemove");
    gCharTest.Lens = lens;
    if (lens) lens->Execute("onAssign");
}

const GameFunctionEntry kEntries[] = {
    {"gestureMode", gestureMode},
    {"setGestureCenter", setGestureCenter},
    {"setGestureFunctions", setGestureFunctions},
    {"clearGestures", clearGestures},
    {"addGesture", addGesture},
    {"playMusic", playMusic},
    {"setMusicVolume", setMusicVolume},
    {"stopMusic", stopMusic},
    {"loadLevel", loadLevel},
    {"playSound", playSound},
    {"createEmitter", createEmitter},
    {"flash", flash},
    {"assignLens", assignLens},
};

}  // namespace

void AddMediaFunctions() {
    AddGameFunctions(kEntries);
}

}  // namespace tarv
