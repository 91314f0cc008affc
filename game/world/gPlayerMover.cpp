#include "game/world/gPlayerMover.h"

#include <cmath>

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDInput.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gPath.h"
#include "scene/zItem.h"
#include "scene/zSprite.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

namespace {

// Multiples of the single-precision pi, taken in double and kept as Singles.
float PiTimes(double k) { return float(k * double(zMath::PI)); }

}  // namespace

void gPlayerMover::Remove() {
    if (const std::shared_ptr<gChar> player = gCharTest.Player) {
        player->Speed = 0;
        player->Animate = false;
    }
}

void gPlayerMover::CheckKeys() {
    auto& keys = zDInput.Keys;
    // Held for the whole step: the item scripts may replace the player.
    const std::shared_ptr<gChar> player = gCharTest.Player;
    if (!player || !player->Sprite) Raise(errObjectNotSet);

    const float step = keys[kKeyShift] ? 8.0f : 4.0f;
    player->Speed = 0;

    // One trigger per key press: the flag stays clear until the window reports
    // a new key-down.
    for (int32_t d = 0; d <= 9; ++d) {
        if (!keys[size_t(kKey0 + d)]) continue;
        keys[size_t(kKey0 + d)] = false;
        if (player->Item) {
            if (const std::shared_ptr<zScriptObject> so = player->Item->ScriptObject) so->Execute("activateItem", {d});
        }
    }

    const bool a = keys[kKeyA], d = keys[kKeyD], w = keys[kKeyW], s = keys[kKeyS];
    if (!a && !d && !w && !s) {
        player->PathStepped = player->MovePath == gCharTest.PlayerPath;
        if (player->MoveAlongPath(gCharTest.mapCollision.get(), gCharTest.PlayerPath, step)) {
            player->Animate = true;
            player->Speed = step;
        }
    } else {
        // A key takes over: the planned way is given up for good.
        if (gCharTest.PlayerPath) gCharTest.PlayerPath->WayPointCount = 0;
        float face, move;
        if (a && w) face = PiTimes(1.0), move = PiTimes(1.25);
        else if (a && s) face = PiTimes(1.0), move = PiTimes(0.75);
        else if (a) face = PiTimes(1.0), move = PiTimes(1.0);
        else if (d && w) face = 0, move = PiTimes(1.75);
        else if (d && s) face = 0, move = PiTimes(0.25);
        else if (d) face = 0, move = 0;
        else if (w) face = PiTimes(1.5), move = PiTimes(1.5);
        else face = PiTimes(0.5), move = PiTimes(0.5);
        player->SetAngle(face);
        if (player->TryToMove(gCharTest.mapCollision.get(), move, step, 1.570796f, 0)) {
            player->Animate = true;
            player->Speed = step;
        }
    }

    if (keys[kKeySpace]) {
        keys[kKeySpace] = false;
        const double angle = player->Angle;
        const double x = player->Sprite->x, y = player->Sprite->y;
        ValueRef r;
        for (double reach : {4.0, 12.0}) {
            r = gCharTest.ExecuteItemAt(gCharTest.mapDoors.get(), ToSingle(x + reach * std::cos(angle)),
                                        ToSingle(y + reach * std::sin(angle)), "onUse");
            if (r) break;
        }
    }

    if (player->Animate)
        gCharTest.ExecuteItemAt(gCharTest.mapDoors.get(), player->Sprite->x, player->Sprite->y, "onWalk");

    if (gCharTest.CreatePlayerSteps) gCharTest.CreatePlayerSteps();
}

}  // namespace tarv
