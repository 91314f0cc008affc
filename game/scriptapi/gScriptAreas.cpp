// Shapes and map areas made at run time, removing a placed emitter, the
// torch and the weather densities, the player's sprite, and the modal input
// and message boxes.
#include <algorithm>

#include "core/zCore.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/effects/gWeather.h"
#include "game/scriptapi/gScript.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "scene/iEmitter.h"
#include "scene/zSprite.h"
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zShape.h"
#include "script/zScript.h"

using namespace zun;

namespace tarv {

namespace {

// Message box styles and answers of the window system.
constexpr int32_t kBoxYesNoCancel = 3;
constexpr int32_t kBoxYesNo = 4;
constexpr int32_t kBoxQuestion = 32;
constexpr int32_t kBoxInformation = 64;
constexpr int32_t kAnswerYes = 6;

// Text that reads as neither a truth value nor a number switches the torch off.
void EnableTorch(GameCall& c) {
    const HostValue& content = c.Arg(1).Data;
    bool on = false;
    try {
        on = content.ToBool();
    } catch (const RuntimeError&) {
        on = false;
    }
    gCharTest.TorchEnabled = on;
}

void InputBox(GameCall& c) {
    if (c.Count != 1 && c.Count != 2) return;
    const std::string prompt = c.Str(1);
    const std::string title = c.Count == 2 ? c.Str(2) : std::string();
    std::optional<std::string> text = ScriptInputBox(prompt, title);
    c.Result->SetString(text ? *text : std::string());
}

void MsgBox(GameCall& c) {
    if (c.Count == 1) {
        ScriptMessageBox(c.Str(1), "", kBoxInformation);
    } else if (c.Count == 2) {
        const std::string text = c.Str(1);
        const bool cancel = c.Bool(2);
        const int32_t answer = ScriptMessageBox(text, "", kBoxQuestion | (cancel ? kBoxYesNoCancel : kBoxYesNo));
        c.Result->SetBool(answer == kAnswerYes);
    }
}

void GetPlayerSprite(GameCall& c) {
    if (!gCharTest.Player) Raise(errObjectNotSet);
    c.Result->SetObject(gCharTest.Player->Sprite);
}

void RemoveEmitter(GameCall& c) {
    const int32_t x = c.Long(1), y = c.Long(2);
    zEmitterMap* map = gCharTest.mapEmitters.get();
    if (!map) return;
    for (const auto& e : map->Emitters()) {
        if (e && double(e->GetX()) == double(x) && double(e->GetY()) == double(y)) {
            std::shared_ptr<iEmitter> keep = e;
            map->RemoveEmitter(keep);
            return;
        }
    }
}

void SetRainDensity(GameCall& c) {
    gWeather.RainDensity = c.Single(1);
}

void SetSnowDensity(GameCall& c) {
    gWeather.SnowDensity = c.Single(1);
}

// Modes outside the byte range are clamped to it.
void ShapeCreate(GameCall& c) {
    const int32_t mode = c.Long(1);
    const float x = c.Single(2), y = c.Single(3), w = c.Single(4), h = c.Single(5);
    auto shape = std::make_shared<zShape>();
    shape->Mode = uint8_t(std::clamp<int32_t>(mode, 0, 255));
    shape->Color = zDDraw.GetColorRGB(1, 1, 1);
    shape->x = x;
    shape->y = y;
    shape->W = w;
    shape->H = h;
    c.Result->SetObject(shape);
}

// With two arguments the key name is the empty text.
void AreaCreate(GameCall& c) {
    auto shape = c.ObjectAs<zShape>(1);
    if (gCharTest.mapAreas)
        CheckBudget(gCharTest.mapAreas->Objects().size(), kMaxAreas, "areas", gCharTest.Placed.Areas);
    const bool scripted = c.Count > 1;
    const std::string cls = scripted ? c.KeptName(2) : std::string();
    const std::string key = c.Count > 2 ? c.KeptName(3) : std::string();
    auto area = std::dynamic_pointer_cast<zDataShape>(CreateClass("zDataShape", true));
    if (!area) Raise(errObjectNotSet);
    area->Shape = shape;
    if (scripted) {
        auto so = zScriptObject::New();
        so->Origin = area;
        area->ScriptObject = so;
        so->SetClass(cls, key);
        so->Locals->SetNameValue("_name", HostValue(area->KeyName));
        so->Locals->SetNameValue("_class", HostValue(area->ClassName_));
        so->LoadValues();
        so->Execute("onLoad");
    }
    if (gCharTest.mapAreas) gCharTest.mapAreas->AddObject(area);
    c.Result->SetObject(area);
}

}  // namespace

void AddAreaFunctions() {
    static const GameFunctionEntry kEntries[] = {
        {"enableTorch", EnableTorch},       {"inputBox", InputBox},
        {"msgBox", MsgBox},                 {"getPlayerSprite", GetPlayerSprite},
        {"removeEmitter", RemoveEmitter},   {"setRainDensity", SetRainDensity},
        {"setSnowDensity", SetSnowDensity}, {"shapeCreate", ShapeCreate},
        {"areaCreate", AreaCreate},
    };
    AddGameFunctions(kEntries);
}

}  // namespace tarv
