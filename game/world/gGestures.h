// The input controller of the gesture mode: owns the patterns the scripts
// define, feeds them every mouse move, turns their reports into calls of
// script functions on its script object, and asks the script to leave the
// mode ("cancelGestureMode") while any key is down. Always held by
// std::shared_ptr: its patterns report back through a weak pointer to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zVector.h"
#include "game/world/gPattern.h"
#include "game/world/iController.h"
#include "script/zScriptArgs.h"
#include "script/zScriptObject.h"

namespace zun {
class zCamera;
}

namespace tarv {

class gGestures : public iController, public std::enable_shared_from_this<gGestures> {
public:
    std::vector<std::shared_ptr<gPattern>> Patterns;
    std::shared_ptr<zun::zScriptObject> Caller;
    std::string CancelFunction;
    std::string ProgressFunction;

    // The script's argument list (positions 1..): name, min scale, max scale,
    // max delay (frames), default radius, auto mode, the points as an array of
    // [x, y, radius] or [x, y], and optionally the exclusive flag. A list of
    // fewer than seven arguments adds no pattern; a point of fewer than two
    // numbers is left out.
    void AddPattern(const zun::zScriptArgs& Args);
    void ClearPatterns() { Patterns.clear(); }
    void SetCenter(float iX, float iY);
    void PatternDone(const std::string& Name, float iPrecision);
    void PatternProgress(const std::string& iName, int32_t iTotal, int32_t iDone);
    void PatternCancelled(int32_t iReason);
    void Render(const zun::zCamera& iCam);

    // iController
    bool MouseDown(float iX, float iY, int16_t iButton) override { return false; }
    bool MouseMove(float iX, float iY, int16_t iButton) override;
    bool MouseUp(float iX, float iY, int16_t iButton) override { return false; }
    void CheckInput() override;

private:
    zun::Vector2 Center;
    float DefaultRadius = 0;
};

}  // namespace tarv
