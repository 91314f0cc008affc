// One mouse gesture the player can draw: an ordered chain of target circles
// around a centre point. Every mouse move goes to CheckPos, which follows the
// mouse from circle to circle, cancels the attempt when the mouse is too slow,
// strays too far or heads the wrong way, and reports progress and completion
// (with an accuracy) to its controller. A dynamic pattern scales itself to the
// mouse's distance from the centre at every reset and can turn toward it.
//
// Positions are mouse pixels; times are frames of zCore.FrameCounter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zVector.h"
#include "script/zHostValue.h"

namespace zun {
class zCamera;
}

namespace tarv {

class gGestures;

struct PatternPoint {
    float X = 0, Y = 0, R = 0;  // as added, in pattern units
    float PosX = 0, PosY = 0;   // offset from the centre after rotation and scaling
    float Radius = 0;           // hit radius after scaling, growing along the chain
    float BestX = 0, BestY = 0; // mouse position closest to the point once hit
    float BestDist = 0;
};

class gPattern {
public:
    float Scaling = 0;
    float Rotation = 0;
    bool Dynamic = true;
    std::string Name;  // also the script function called on completion
    std::weak_ptr<gGestures> Caller;
    float MinScale = 8;
    float MaxScale = 64;
    int32_t MaxDelay = 15;  // frames allowed between two hits
    int32_t AutoMode = 0;   // 1: turn toward the mouse at a reset; 2: rescale at every hit
    bool Exclusive = false; // a cancelled attempt drops all points for good
    zun::ScriptCharge Held; // the name and points, held for the script that gave them

    // Why an attempt ended, as handed to the controller.
    enum : int32_t { ResetRestart = 0, ResetTimeOut = 1, ResetStrayed = 2, ResetWrongWay = 3 };

    void AddPoint(float iX, float iY, float iR);
    void SetCenter(float iX, float iY) { Center = {iX, iY}; }
    void UpdatePatternPoints();
    void Reset(int32_t iMode, float MouseX, float MouseY);
    void CheckPos(float MouseX, float MouseY);
    void Render(const zun::zCamera& iCam);

    int32_t GetIndex() const { return Index; }
    int32_t GetLastIndex() const { return LastIndex; }
    const PatternPoint& GetPoint(int32_t i) const { return Points[size_t(i)]; }
    zun::Vector2 GetCenter() const { return Center; }

private:
    int32_t Index = 0;      // next point to hit
    int32_t LastTime = 0;   // frame of the last reset or hit
    int32_t LastIndex = -1; // highest point index; -1 = no points
    std::vector<PatternPoint> Points;
    zun::Vector2 Center;
};

}  // namespace tarv
