// Timed events and the list of level objects updated every frame.
#include <algorithm>
#include <limits>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "game/scriptapi/gScript.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/mTimeline.h"
#include "scene/zSprite.h"

using namespace zun;

namespace tarv {

namespace {

// Frame numbers are 32-bit; a delay that would run past them fails instead of
// wrapping round to the past.
int32_t FromNow(int32_t iFrames) {
    return AddLong(zCore.FrameCounter, iFrames);
}

// Raises when the timeline holds all the events it may.
void RoomForEvent() {
    CheckBudget(mTimeline.Events.size(), kMaxTimeEvents, "timed events");
}

void AddTimeCall(GameCall& c) {
    const int32_t delay = c.Long(1);
    std::shared_ptr<iClass> target = c.Object(2);
    const std::string function = c.KeptName(3);
    RoomForEvent();
    mTimeline.AddTimeCall(c.CallerRef(), target, FromNow(delay), function);
}

void AddTimeValue(GameCall& c) {
    c.FillDefaults(5, "1");
    const int32_t start = c.Long(1);
    const int32_t duration = c.Long(2);
    ValueRef value = c.ArgRef(3);
    const float from = c.Single(4), to = c.Single(5), factor = c.Single(6);
    const int32_t first = FromNow(start);
    RoomForEvent();
    mTimeline.AddTimeValue(c.CallerRef(), first, AddLong(first, duration), value, from, to, factor);
}

// An easing exponent that keeps every step between the start and the end
// value: below 0 the curve overshoots the end without bound.
float CheckedFactor(float iFactor) {
    if (!(iFactor >= 0 && iFactor <= std::numeric_limits<float>::max())) Raise(errInvalidCall);
    return iFactor;
}

// The animated object is always the player's sprite; the third argument is
// required but not read. The values it moves through are places of the
// sprite (or smaller numbers), refused beyond the farthest place as setPos
// refuses them.
void AddTimeObject(GameCall& c) {
    c.FillDefaults(6, "1,");
    const int32_t start = c.Long(1);
    const int32_t duration = c.Long(2);
    c.Arg(3);
    const std::string property = c.KeptName(4);
    const float from = c.Place(5), to = c.Place(6), factor = CheckedFactor(c.Single(7));
    const std::string done = c.KeptName(8);
    if (!gCharTest.Player) Raise(errObjectNotSet);
    std::shared_ptr<iClass> target = gCharTest.Player->Sprite;
    const int32_t first = FromNow(start);
    RoomForEvent();
    mTimeline.AddTimeObject(c.CallerRef(), first, AddLong(first, duration), target, property, from, to, factor,
                            done);
}

void AddUpdateObject(GameCall& c) {
    std::shared_ptr<zScriptObject> o = c.ObjectAs<zScriptObject>(1);
    CheckBudget(gCharTest.UpdateObjects.size(), kMaxUpdateObjects, "update objects");
    gCharTest.UpdateObjects.push_back(o);
    o->Execute("onLoad");
}

void RemoveUpdateObject(GameCall& c) {
    std::shared_ptr<zScriptObject> o = c.ObjectAs<zScriptObject>(1);
    o->Execute("onRelease");
    auto& list = gCharTest.UpdateObjects;
    auto it = std::find(list.begin(), list.end(), o);
    if (it != list.end()) list.erase(it);
}

}  // namespace

void AddTimelineFunctions() {
    static const GameFunctionEntry kEntries[] = {
        {"addTimeCall", AddTimeCall},
        {"addTimeValue", AddTimeValue},
        {"addTimeObject", AddTimeObject},
        {"addUpdateObject", AddUpdateObject},
        {"removeUpdateObject", RemoveUpdateObject},
    };
    AddGameFunctions(kEntries);
}

}  // namespace tarv
