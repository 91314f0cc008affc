#include "game/scriptapi/gScript.h"

#include <cmath>

#include <unordered_map>

#include "core/zCore.h"
#include "script/zScript.h"

using namespace zun;

namespace tarv {

const std::array<std::string_view, kGameFunctionCount> kGameFunctionNames = {
    "addTimeCall",      "addTimeValue",       "addTimeObject",     "enableTorch",         "inputBox",
    "msgBox",           "getPlayerSprite",    "removeEmitter",     "setRainDensity",      "setSnowDensity",
    "addUpdateObject",  "removeUpdateObject", "charByName",        "charByPos",           "findChar",
    "itemByName",       "findItem",           "doorByName",        "findDoor",            "lightByName",
    "findLight",        "spriteCreate",       "spriteSetSrc",      "itemCreate",          "itemSetVisible",
    "itemSetMirrored",  "itemSetShadow",      "itemSetPos",        "itemSetSize",         "itemSetRot",
    "itemSetClass",     "itemSetCollision",   "itemRemove",        "charSetDir",          "charSetVisible",
    "charSetMirrored",  "charSetShadow",      "charCreate",        "charSetClass",        "charSetCollision",
    "charLookChar",     "charLookPlayer",     "playerLookCursor",  "playerLookChar",      "playerSetPath",
    "charSetPath",      "charRemove",         "shapeCreate",       "areaCreate",          "setGameTime",
    "getGameTime",      "isWater",            "setCursorEvent",    "getPlayerObject",     "getGameObject",
    "getLevelObject",   "getMouseGameX",      "getMouseGameY",     "gestureMode",         "setGestureCenter",
    "setGestureFunctions", "clearGestures",   "addGesture",        "playMusic",           "setMusicVolume",
    "stopMusic",        "setPlayerDir",       "loadLevel",         "setPos",              "setCharZoom",
    "setCharColor",     "setDir",             "getDir",            "setRot",              "setFrameX",
    "setFrameY",        "animateTo",          "setAlwaysAnimate",  "lookAtPlayer",        "playerLookAt",
    "tryToMove",        "setPath",            "stopMoving",        "pathComplete",        "pathMoving",
    "playSound",        "setFrameOffset",     "setOffsetDir",      "setCollisionPoint",   "checkCollision",
    "createEmitter",    "ask",                "msgBack",           "msg",                 "flash",
    "assignLens",       "pointRotate",        "pointAnglePoint",   "linesCrossing",       "lineHitLine",
    "pointDistCircle",  "pointDistLine",      "pointDistPoint",    "pointHitCircle",      "circleHitCircle",
    "vecAdd",           "vecSub",             "vecDot",            "vecLength",           "vecNormal",
    "vecScale",         "beginScene",         "endScene",          "createRenderTarget",  "endTextureScene",
    "setRenderBuffer",  "getRenderBuffer",    "setTextureFilter",  "setAlphaMode",        "setAlphaValue",
    "applyGamma",       "applyTint",          "saveScreenshot",    "setRenderZoom",       "setFullScreen",
    "doGameUpdates",    "setCaption",         "exitGame"};

namespace {

// The families, in any order: each fills its own places of the table.
void (*const kFamilies[])() = {
    AddTimelineFunctions, AddLookupFunctions, AddItemFunctions,   AddCharFunctions,    AddAreaFunctions,
    AddWorldFunctions,    AddControlFunctions, AddMessageFunctions, AddMediaFunctions, AddGeometryFunctions,
    AddRenderFunctions,
};

std::array<GameFunction, kGameFunctionCount> gTable{};

// The names are all different, so the first equal name in the fixed order is
// the only one: a hash index finds it without comparing all 128.
const std::unordered_map<std::string_view, int32_t>& NameIndex() {
    static const std::unordered_map<std::string_view, int32_t> index = [] {
        std::unordered_map<std::string_view, int32_t> m;
        for (int32_t i = 0; i < kGameFunctionCount; ++i) m.emplace(kGameFunctionNames[size_t(i)], i);
        return m;
    }();
    return index;
}

GameFunction Lookup(const std::string& iName) {
    const auto& index = NameIndex();
    auto it = index.find(iName);
    return it == index.end() ? nullptr : gTable[size_t(it->second)];
}

// Thrown by the argument readers when a position was not passed; caught by the
// dispatcher only.
struct MissingArgument {};

// A failure that already names the game function it happened in, so that a
// call made from inside another (a level event during "loadLevel") keeps the
// innermost name.
struct GameFunctionFailure : RuntimeError {
    using RuntimeError::RuntimeError;
};

}  // namespace

// ---- the call ----------------------------------------------------------------

GameCall::GameCall(zScriptObject* iCaller, zScriptArray* iValues, const std::string& iName, zScriptArgs& iArgs)
    : Caller(iCaller), Values(iValues), Name(iName), Args(iArgs), Count(iArgs.Count()), Result(zScriptValue::New()) {}

const zScriptValue& GameCall::Arg(int32_t i) {
    return *ArgRef(i);
}

const ValueRef& GameCall::ArgRef(int32_t i) {
    if (i < 1 || i > Args.Count()) throw MissingArgument{};
    ValueRef& v = Args.At(i);
    if (!v) {
        // Past what the script passed, an empty position is one no default filled.
        if (i > Count) throw MissingArgument{};
        v = zScriptValue::New();
    }
    return v;
}

float CheckedPlace(double iValue) {
    if (!(std::fabs(iValue) <= kFarthestPlace)) Raise(errInvalidCall);
    return float(iValue);
}

void CheckBudget(size_t iCount, size_t iBudget, const char* iWhat, size_t iPlaced) {
    // Placed things a script removed leave room for as many: the layer never
    // holds more than the level's and the budget together.
    if (iCount < iBudget || iCount - iBudget < iPlaced) return;
    Raise(errOutOfMemory, "Out of memory: no more than " + std::to_string(iBudget) + " " + iWhat);
}

std::string GameCall::KeptName(int32_t i) {
    std::string name = Str(i);
    if (name.size() > kMaxNameLength)
        Raise(errOutOfMemory, "Out of memory: no more than " + std::to_string(kMaxNameLength) + " bytes in a name");
    return name;
}

float CheckedSpeed(double iValue) {
    return CheckedPlace(iValue);
}

Vector2 GameCall::Vector(int32_t i) {
    return ScriptValueToVector(&Arg(i));
}

void GameCall::FillDefaults(int32_t iRequired, std::string_view iDefaults) {
    // A required argument missing ends the call before anything is filled in:
    // the dispatcher's line names the function, which the line of the
    // defaults' own filling could not.
    if (Args.Count() < iRequired) throw MissingArgument{};
    FillDefaultArgs(Args, iRequired, iDefaults);
}

std::shared_ptr<zScriptObject> GameCall::CallerRef() const {
    if (!Caller) return nullptr;
    std::weak_ptr<zScriptObject> w = Caller->weak_from_this();
    return w.lock();
}

// ---- the table -----------------------------------------------------------------

void AddGameFunctions(std::span<const GameFunctionEntry> iEntries) {
    const auto& index = NameIndex();
    for (const GameFunctionEntry& e : iEntries) {
        auto it = index.find(e.Name);
        if (it == index.end()) {
            Log("ERR", "Unknown game function", std::string(e.Name));
            continue;
        }
        gTable[size_t(it->second)] = e.Run;
    }
}

void ClearGameFunctions() {
    gTable.fill(nullptr);
}

ValueRef CallGameFunction(zScriptObject* iCaller, zScriptArray* iValues, const std::string& iName,
                          zScriptArgs& iArgs) {
    GameFunction fn = Lookup(iName);
    if (!fn) return ValueRef();
    GameCall call(iCaller, iValues, iName, iArgs);
    try {
        fn(call);
    } catch (const MissingArgument&) {
        Log("ERR", "Not enough arguments!", iName);
        return zScriptValue::New();
    } catch (const GameFunctionFailure&) {
        throw;
    } catch (const RuntimeError& e) {
        // The failure still ends the script call; its log line names the
        // function, so the script's author can find the line that called it.
        throw GameFunctionFailure(e.Number, iName + ": " + e.Description);
    }
    return call.Result;
}

bool IsGameFunction(const std::string& iName) {
    return Lookup(iName) != nullptr;
}

void RegisterGameFunctions() {
    for (auto family : kFamilies) family();
    gScriptHooks.CallGameFunction = CallGameFunction;
    gScriptHooks.IsGameFunction = IsGameFunction;
    zScript.ResetDispatch();
}

// ---- shared routines -------------------------------------------------------------

void FillDefaultArgs(zScriptArgs& iArgs, int32_t iRequired, std::string_view iDefaults) {
    // The engine converts its own built-ins' defaults by the same rules.
    zScript.ParseArguments(iArgs, iRequired, iDefaults);
}

ValueRef VectorToScriptValue(const Vector2& iVector) {
    Ref<zScriptArray> a = zScriptArray::New();
    ValueRef x = zScriptValue::New();
    x->SetSingle(iVector.x);
    ValueRef y = zScriptValue::New();
    y->SetSingle(iVector.y);
    a->Add(x);
    a->Add(y);
    ValueRef v = zScriptValue::New();
    v->SetArray(a);
    return v;
}

Vector2 ScriptValueToVector(const zScriptValue* iValue) {
    Vector2 r{};
    if (!iValue || iValue->Typ != typArray) return r;
    zScriptArray* a = iValue->GetArray();
    if (!a) return r;
    if (a->Size() >= 1) {
        if (const zScriptValue* x = a->GetIndex(1)) r.x = x->GetSingle();
    }
    if (a->Size() >= 2) {
        if (const zScriptValue* y = a->GetIndex(2)) r.y = y->GetSingle();
    }
    return r;
}

int32_t GetBlendMode(const std::string& iName) {
    static const std::pair<std::string_view, int32_t> kModes[] = {
        {"eBlend_None", 0},          {"eBlend_Masked", 1},   {"eBlend_Alpha", 2},    {"eBlend_ColorAlpha", 3},
        {"eBlend_ColorAlphaInverse", 4}, {"eBlend_ColorAlphaDest", 5}, {"eBlend_Add", 10}, {"eBlend_AddSrc", 11},
        {"eBlend_AddDst", 12},       {"eBlend_LightAdd", 13}, {"eBlend_LightSub", 14}, {"eBlend_Exclude", 20},
        {"eBlend_Subtract", 21},     {"eBlend_Min", 30},     {"eBlend_Max", 31},     {"eBlend_Diffuse", 127},
        {"eBlend_Greyscale", 128}};
    for (const auto& m : kModes) {
        if (m.first == iName) return m.second;
    }
    Log("ERR", "Unknown blend mode", iName);
    return 0;
}

}  // namespace tarv
