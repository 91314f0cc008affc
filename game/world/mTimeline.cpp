#include "game/world/mTimeline.h"

#include <cmath>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "scene/zSprite.h"
#include "script/zScript.h"
#include "script/zScriptArray.h"
#include "script/zScriptClass.h"

namespace tarv {

using namespace zun;

mTimelineModule mTimeline;

namespace {

constexpr int errNoSuchMember = 438;
// Failing events a frame runs at most: enough for any game, few enough that
// a frame full of them still ends in a few milliseconds.
constexpr int64_t kMaxFailuresPerFrame = 1000;
const char* const kNoSuchMember = "Object doesn't support this property or method";

std::shared_ptr<cTimeEvent> NewEvent(const std::shared_ptr<zScriptObject>& iCaller, int32_t iStart, int32_t iEnd) {
    auto e = std::make_shared<cTimeEvent>();
    e->Caller = iCaller;
    e->TimeStart = iStart;
    e->TimeEnd = iEnd;
    return e;
}

bool SetSpriteField(zSprite& s, const std::string& name, float v) {
    const std::string n = LCase(name);
    if (n == "x") s.x = v;
    else if (n == "y") s.y = v;
    else if (n == "z") s.Z = v;
    else if (n == "r") s.R = v;
    else if (n == "alpha") s.Alpha = v;
    else if (n == "zoomx") s.ZoomX = v;
    else if (n == "zoomy") s.ZoomY = v;
    else if (n == "originx") s.OriginX = v;
    else if (n == "originy") s.OriginY = v;
    else if (n == "srcx") s.SrcX = CLng(v);
    else if (n == "srcy") s.SrcY = CLng(v);
    else if (n == "w") s.W = CLng(v);
    else if (n == "h") s.H = CLng(v);
    else if (n == "texture") s.Texture = CLng(v);
    else if (n == "flipped") s.Flipped = CByte(v);
    else return false;
    return true;
}

// A script object by its name (its class's when it has none), anything else
// by its kind ("zSprite"), no object as "Nothing".
std::string ObjectLabel(const iClass* iObject) {
    if (!iObject) return "Nothing";
    if (const auto* so = dynamic_cast<const zScriptObject*>(iObject)) {
        if (so->Name.empty() && so->Class) return so->Class->Name;
        return so->Name;
    }
    return iObject->ClassName();
}

// What a failing event ran, for the log: a call event's target and the
// function it calls; a value or an object event's owner and the property it
// moves or the function it calls back when done.
std::string EventLabel(const cTimeEvent& e) {
    if (e.TimeEnd <= 0) return ObjectLabel(e.Target.get()) + "." + e.DoneFunction;
    const std::string owner = e.Caller ? e.Caller->Name : std::string();
    const std::string what = !e.ValueName.empty() ? e.ValueName : e.DoneFunction;
    return owner + "." + what;
}

}  // namespace

void mTimelineModule::AddTimeValue(const std::shared_ptr<zScriptObject>& iCaller, int32_t iTimeStart,
                                   int32_t iTimeEnd, const ValueRef& iValue, float iValueStart, float iValueEnd,
                                   float iFactor) {
    auto e = NewEvent(iCaller, iTimeStart, iTimeEnd);
    e->Value = iValue;
    e->ValueStart = iValueStart;
    e->ValueEnd = iValueEnd;
    e->Factor = iFactor;
    Events.push_back(std::move(e));
}

void mTimelineModule::AddTimeObject(const std::shared_ptr<zScriptObject>& iCaller, int32_t iTimeStart,
                                    int32_t iTimeEnd, const std::shared_ptr<iClass>& iTarget,
                                    const std::string& iValueName, float iValueStart, float iValueEnd, float iFactor,
                                    const std::string& iDoneFunction) {
    auto e = NewEvent(iCaller, iTimeStart, iTimeEnd);
    e->Names.AddText(iValueName);
    e->Names.AddText(iDoneFunction);
    e->Target = iTarget;
    e->ValueName = iValueName;
    e->ValueStart = iValueStart;
    e->ValueEnd = iValueEnd;
    e->Factor = iFactor;
    e->DoneFunction = iDoneFunction;
    Events.push_back(std::move(e));
}

void mTimelineModule::AddTimeCall(const std::shared_ptr<zScriptObject>& iCaller, const std::shared_ptr<iClass>& iTarget,
                                  int32_t iTime, const std::string& iFunction) {
    auto e = NewEvent(iCaller, iTime, 0);
    e->Names.AddText(iFunction);
    e->Target = iTarget;
    e->DoneFunction = iFunction;
    Events.push_back(std::move(e));
}

void mTimelineModule::SetObjectProperty(iClass& iTarget, const std::string& iName, float iValue) {
    if (auto* obj = dynamic_cast<zScriptObject*>(&iTarget)) {
        if (!obj->Locals || iName.empty()) Raise(errNoSuchMember, kNoSuchMember);
        const Atom name = Atom::Find(iName);
        // The null atom would match the unnamed entries.
        zScriptValue* own = name == Atom() ? nullptr : obj->Locals->FindOwn(name);
        if (own) {
            own->Data = iValue;
        } else {
            obj->Locals->SetNameValue(iName, HostValue(iValue));
        }
        return;
    }
    if (auto* sprite = dynamic_cast<zSprite*>(&iTarget)) {
        if (SetSpriteField(*sprite, iName, iValue)) return;
        Raise(errNoSuchMember, kNoSuchMember);
    }
    Raise(errNoSuchMember, kNoSuchMember);
}

void mTimelineModule::Step(cTimeEvent& e, int32_t f) {
    if (e.State == 0 && f > e.TimeStart) {
        if (e.TimeEnd > 0) {
            e.State = 1;
        } else {
            // Done before the call, so a call that fails is not made again.
            e.State = 2;
            if (!e.Target) Raise(errObjectNotSet);
            auto* obj = dynamic_cast<zScriptObject*>(e.Target.get());
            if (!obj) Raise(errNoSuchMember, kNoSuchMember);
            auto keep = e.Target;
            obj->Execute(e.DoneFunction);
        }
    }
    if (e.State == 1 && f > e.TimeEnd) {
        e.State = 2;
        if (!e.DoneFunction.empty() && e.Caller) {
            auto keep = e.Caller;
            keep->Execute(e.DoneFunction);
        }
    }
    if (e.State == 1) {
        const double t = (double(f) - double(e.TimeStart)) / (double(e.TimeEnd) - double(e.TimeStart));
        const double p = std::pow(t, double(e.Factor));
        const float v = float((double(e.ValueEnd) - double(e.ValueStart)) * p + double(e.ValueStart));
        if (e.Target) {
            SetObjectProperty(*e.Target, e.ValueName, v);
        } else if (e.Value) {
            e.Value->Data = v;
        } else {
            Log("WARN", "Timeline", "No target", e.Caller ? e.Caller->Name : std::string());
            e.State = 2;
        }
    }
}

void mTimelineModule::UpdateTimeline() {
    const int32_t f = zCore.FrameCounter;
    // Scripts called from here may add events; they wait for the next frame.
    const std::vector<std::shared_ptr<cTimeEvent>> snapshot = Events;
    const int64_t scriptFailures = zScript.Failures;
    int64_t failures = 0;
    for (const auto& e : snapshot) {
        // A script whose events fail and add more of themselves keeps the
        // timeline full of failing calls; past a bound the events not yet
        // stepped wait for the next frame, so that frames go on.
        if (failures + zScript.Failures - scriptFailures >= kMaxFailuresPerFrame) {
            LogOnce("UpdateTimeline.Failures", "WARN", "UpdateTimeline",
                    "Too many failing events in a frame; the others wait for the next one", kMaxFailuresPerFrame);
            break;
        }
        // One failing event is reported and dropped; the others go on.
        try {
            zCore.CurrentProc = "UpdateTimeline";
            Step(*e, f);
        } catch (const RuntimeError& err) {
            Log("ERR", "UpdateTimeline", err.Description, EventLabel(*e));
            e->State = 2;
            ++failures;
        } catch (const std::exception& err) {
            Log("ERR", "UpdateTimeline", err.what(), EventLabel(*e));
            e->State = 2;
            ++failures;
        }
    }
    // One pass: erasing one by one moves the events behind each done one, which
    // for a full timeline is billions of moves a frame.
    std::erase_if(Events, [](const std::shared_ptr<cTimeEvent>& e) { return e->State == 2; });
}

}  // namespace tarv
