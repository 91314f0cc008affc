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
#include "script/zHostValue.h"
#include "script/zScriptArgs.h"
#include "script/zScriptObject.h"

namespace zun {
class zCamera;
}

namespace tarv {

// Far above any gesture a hand draws: every mouse move walks every pattern,
// and a restart every point of one.
inline constexpr size_t kMaxPatterns = 1000;
inline constexpr size_t kMaxPatternPoints = 1000;

class gGestures : public iController, public std::enable_shared_from_this<gGestures> {
public:
    std::vector<std::shared_ptr<gPattern>> Patterns;
    std::shared_ptr<zun::zScriptObject> Caller;
    std::string CancelFunction;
    std::string ProgressFunction;
    zun::ScriptCharge FunctionNames;  // the two names above, held for the script

    // Both names at once, counted against the script's memory; a refused
    // pair leaves the old ones.
    void SetFunctions(const std::string& iCancel, const std::string& iProgress);

    // The script's argument list (positions 1..): name, min scale, max scale,
    // max delay (frames), default radius, auto mode, the points as an array of
    // [x, y, radius] or [x, y], and optionally the exclusive flag. A list of
    // fewer than seven arguments adds no pattern; a point of fewer than two
    // numbers is left out. More than kMaxPatterns patterns, more than
    // kMaxPatternPoints points or more script memory than is left are
    // refused with "Out of memory".
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
