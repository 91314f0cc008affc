// Timed events by frame number: a value event moves a script value from a
// start to an end value over a span of frames, an object event does the same
// to a named property of an object and can call a script function when it
// ends, a call event runs a named function of an object at a given frame.
// Times are frames of zCore.FrameCounter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zInterfaces.h"
#include "script/zHostValue.h"
#include "script/zScriptObject.h"
#include "script/zScriptValue.h"

namespace tarv {

class cTimeEvent {
public:
    std::shared_ptr<zun::zScriptObject> Caller;  // gets the done call; named in the warning
    zun::ValueRef Value;                         // target of a value event
    std::shared_ptr<zun::iClass> Target;         // target of an object or a call event
    int32_t TimeStart = 0;                       // frame after which the event starts
    int32_t TimeEnd = 0;                         // frame after which it ends; <= 0: a call event
    std::string ValueName;
    float ValueStart = 0;
    float ValueEnd = 0;
    float Factor = 0;  // exponent of the easing curve; 1 = linear
    uint8_t State = 0;  // 0 pending, 1 running, 2 done
    std::string DoneFunction;  // "" = none; for a call event the function to run
    zun::ScriptCharge Names;   // the names above, held for the script that gave them
};

struct mTimelineModule {
    std::vector<std::shared_ptr<cTimeEvent>> Events;

    void AddTimeValue(const std::shared_ptr<zun::zScriptObject>& iCaller, int32_t iTimeStart, int32_t iTimeEnd,
                      const zun::ValueRef& iValue, float iValueStart, float iValueEnd, float iFactor);
    void AddTimeObject(const std::shared_ptr<zun::zScriptObject>& iCaller, int32_t iTimeStart, int32_t iTimeEnd,
                       const std::shared_ptr<zun::iClass>& iTarget, const std::string& iValueName,
                       float iValueStart, float iValueEnd, float iFactor, const std::string& iDoneFunction);
    void AddTimeCall(const std::shared_ptr<zun::zScriptObject>& iCaller, const std::shared_ptr<zun::iClass>& iTarget,
                     int32_t iTime, const std::string& iFunction);
    // Once per frame: every event by the current frame number.
    void UpdateTimeline();

    // Assigns a number to a property of an object by its name (script objects:
    // their values; sprites: their fields). Raises when the object has none.
    void SetObjectProperty(zun::iClass& iTarget, const std::string& iName, float iValue);

private:
    void Step(cTimeEvent& e, int32_t f);
};
extern mTimelineModule mTimeline;

}  // namespace tarv
