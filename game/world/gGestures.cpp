#include "game/world/gGestures.h"

#include <algorithm>
#include <string>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "script/zScriptArray.h"

namespace tarv {

using namespace zun;

namespace {

// "Out of memory" naming what ran out when iCount of iWhat would be more than iMost.
void CheckPatternRoom(size_t iCount, size_t iMost, const char* iWhat) {
    if (iCount <= iMost) return;
    Raise(errOutOfMemory, "Out of memory: no more than " + std::to_string(iMost) + " " + iWhat);
}

}  // namespace

void gGestures::AddPattern(const zScriptArgs& Args) {
    if (Args.Count() < 7) {
        Log("ERR", "AddPattern", "Not enough arguments");
        return;
    }
    for (int32_t i = 1; i <= 7; ++i) {
        if (!Args[i]) {
            Log("ERR", "AddPattern", "Not enough arguments");
            return;
        }
    }
    Trap("AddPattern", false, [&] {
        CheckPatternRoom(Patterns.size() + 1, kMaxPatterns, "gesture patterns");
        zScriptArray* points = Args[7]->GetArray();
        const size_t count = points ? size_t(std::max<int32_t>(points->Size(), 0)) : 0;
        CheckPatternRoom(count, kMaxPatternPoints, "points in a gesture pattern");
        auto p = std::make_shared<gPattern>();
        p->Name = Args[1]->GetString();
        p->Held.Add(sizeof(gPattern) + p->Name.size() + count * sizeof(PatternPoint));
        p->MinScale = Args[2]->GetSingle();
        p->MaxScale = Args[3]->GetSingle();
        p->MaxDelay = CLng(Args[4]->GetSingle());
        const float radius = Args[5]->GetSingle();
        p->AutoMode = Args[6]->GetByte();
        const float z = zDDraw.RenderZoom;
        for (int32_t i = 1; points && i <= points->Size(); ++i) {
            zScriptValue* entry = points->At(i);
            zScriptArray* xyr = entry && entry->Data.Kind() == HK::Array ? entry->Data.AsArray() : nullptr;
            if (!xyr || xyr->Size() < 2 || !xyr->At(1) || !xyr->At(2)) continue;
            const float px = xyr->At(1)->GetSingle(), py = xyr->At(2)->GetSingle();
            const float pr = xyr->Size() >= 3 && xyr->At(3) ? xyr->At(3)->GetSingle() : radius;
            p->AddPoint(px * z, py * z, pr * z);
        }
        p->Exclusive = Args.Count() >= 8 && Args[8] ? Args[8]->GetBool() : false;
        // Made whole before it joins the list, so a bad argument leaves no half pattern.
        DefaultRadius = radius;
        p->Caller = weak_from_this();
        p->SetCenter(Center.x, Center.y);
        Patterns.push_back(std::move(p));
        return true;
    });
}

void gGestures::SetFunctions(const std::string& iCancel, const std::string& iProgress) {
    ScriptCharge names;
    names.AddText(iCancel);
    names.AddText(iProgress);
    CancelFunction = iCancel;
    ProgressFunction = iProgress;
    FunctionNames = std::move(names);
}

void gGestures::SetCenter(float iX, float iY) {
    Center = {iX, iY};
    const auto snapshot = Patterns;
    for (const auto& p : snapshot) {
        p->Caller = weak_from_this();
        p->SetCenter(Center.x, Center.y);
        p->Reset(gPattern::ResetRestart, zDInput.MouseX, zDInput.MouseY);
    }
}

void gGestures::PatternDone(const std::string& Name, float iPrecision) {
    if (const auto caller = Caller; caller && !Name.empty()) caller->Execute(Name, {HostValue(iPrecision)});
}

void gGestures::PatternProgress(const std::string& iName, int32_t iTotal, int32_t iDone) {
    // Copies: the script may change the names while it runs.
    const std::string fn = ProgressFunction;
    if (const auto caller = Caller; caller && !fn.empty())
        caller->Execute(fn, {HostValue(iName), HostValue(iTotal), HostValue(iDone)});
}

void gGestures::PatternCancelled(int32_t iReason) {
    const std::string fn = CancelFunction;
    if (const auto caller = Caller; caller && iReason >= 1 && !fn.empty())
        caller->Execute(fn, {HostValue(iReason)});
}

void gGestures::Render(const zCamera& iCam) {
    for (const auto& p : Patterns) SkipOnFailure("Gestures_Render", [&] { p->Render(iCam); });
}

bool gGestures::MouseMove(float, float, int16_t) {
    // The scripts that the reports call may change the pattern list.
    const auto snapshot = Patterns;
    const auto keep = weak_from_this().lock();
    for (const auto& p : snapshot) p->CheckPos(zDInput.MouseX, zDInput.MouseY);
    return false;
}

void gGestures::CheckInput() {
    for (int32_t k = 0; k <= 254; ++k) {
        if (!zDInput.Keys[size_t(k)]) continue;
        if (const auto caller = Caller) caller->Execute("cancelGestureMode");
    }
}

}  // namespace tarv
