// A small control for picking a direction with the mouse in a fixed number of
// steps: a round face with a wedge pointing at the chosen angle (radians,
// 0 right, pi/2 down). Nothing in the game places one; it is a building block.
#pragma once

#include <cstdint>
#include <functional>

namespace tarv {

struct AngleShape {
    float Left = 0, Top = 0, Width = 0, Height = 0;
};
struct AngleLine {
    float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    bool Visible = false;
};

class AngleSelector {
public:
    // The control's inner size in pixels.
    float Width = 64, Height = 64;
    // Raised with the new value in radians and in degrees.
    std::function<void(float iRadians, float iDegrees)> ValueChanged;

    // Parts of the face, as the last drawing left them.
    AngleShape shpBack, shpCircle;
    AngleLine Line1, Line2;

    AngleSelector() { Draw(); }

    float GetValue() const { return Value; }
    // The value as degrees in 0 <= result < 360.
    float GetValue360() const;
    void SetValue(float iValue);
    // Sets the value without redrawing the face and without an event.
    void SetValue360(float iValue);
    void SetSteps(int32_t iSteps, float iOffset = 0.0f);
    float GetSteps() const { return Steps; }
    float GetOffset() const { return Offset; }

    // Lays the face out for the current size.
    void Draw();
    void Resize(float iWidth, float iHeight);
    // Pointer events in the control's own pixels; Button is the held buttons.
    void MouseDown(int32_t Button, int32_t Shift, float X, float Y);
    void MouseMove(int32_t Button, int32_t Shift, float X, float Y);
    // Draws the face with its top-left corner at (iX, iY) on the screen.
    void Render(float iX, float iY) const;

private:
    float Value = 0;
    float Steps = 8;
    float Offset = 0;
    void Pick(float X, float Y);
};

}  // namespace tarv
