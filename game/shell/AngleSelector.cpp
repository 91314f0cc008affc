#include "game/shell/AngleSelector.h"

#include <cmath>

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"

using namespace zun;

namespace tarv {

namespace {

constexpr float kPi = 3.141593f;
constexpr float kTwoPi = 6.283186f;

}  // namespace

float AngleSelector::GetValue360() const { return zMath::NormalizeAngle(Value) * 180.0f / kPi; }

void AngleSelector::SetValue(float iValue) {
    Value = iValue;
    Draw();
}

void AngleSelector::SetValue360(float iValue) { Value = iValue * kPi / 180.0f; }

void AngleSelector::SetSteps(int32_t iSteps, float iOffset) {
    Steps = float(iSteps);
    Offset = iOffset;
    Draw();
    if (ValueChanged) ValueChanged(Value, Value * 180.0f / kPi);
}

void AngleSelector::Draw() {
    // Whole pixels for the centre; a size that is no number draws nothing.
    const double cxd = RoundHalfEven(double(Width) / 2), cyd = RoundHalfEven(double(Height) / 2);
    if (!std::isfinite(cxd) || !std::isfinite(cyd)) return;
    const float cx = float(cxd), cy = float(cyd);
    const float rx = cx / 2, ry = cy / 2;
    shpBack = {0, 0, 2 * cx, 2 * cy};
    shpCircle = {cx - rx, cy - ry, 2 * rx, 2 * ry};
    if (Steps == 0) {
        Line1.Visible = Line2.Visible = false;
        return;
    }
    const float d = kPi / Steps / 3;
    const double a1 = double(Value) - d + Offset, a2 = double(Value) + d + Offset;
    Line1 = {cx, cy, float(cx + cx * std::cos(a1)), float(cy + cy * std::sin(a1)), true};
    Line2 = {cx, cy, float(cx + cx * std::cos(a2)), float(cy + cy * std::sin(a2)), true};
}

void AngleSelector::Resize(float iWidth, float iHeight) {
    Width = iWidth;
    Height = iHeight;
    Draw();
}

void AngleSelector::Pick(float X, float Y) {
    if (Steps == 0) return;
    const float cx = Width / 2, cy = Height / 2;
    const float a = zMath::GetAngle(cx, cy, X, Y) - Offset;
    const float step = kTwoPi / Steps;
    // Rounded without the whole-number range limit, so an odd step count
    // cannot fail here; halves go to the even neighbour.
    const double k = RoundHalfEven(double(a) / double(step));
    float v = float(double(step) * k);
    if (!std::isfinite(v)) return;
    if (v >= kTwoPi) v -= kTwoPi;
    if (v == Value) return;
    Value = v;
    if (ValueChanged) ValueChanged(Value, Value * 180.0f / kPi);
    Draw();
}

void AngleSelector::MouseDown(int32_t /*Button*/, int32_t /*Shift*/, float X, float Y) { Pick(X, Y); }

void AngleSelector::MouseMove(int32_t Button, int32_t /*Shift*/, float X, float Y) {
    if (Button != 0) Pick(X, Y);
}

void AngleSelector::Render(float iX, float iY) const {
    if (!zDDraw.Device) return;
    const float z = zDDraw.RenderZoom > 0 ? zDDraw.RenderZoom : 1.0f;
    zDDraw.BltSurface((iX + shpBack.Left) / z, (iY + shpBack.Top) / z, shpBack.Width / z, shpBack.Height / z,
                      ColorFromComponents(0.15f, 0.15f, 0.18f, 1));
    zDDraw.BltEllipse((iX + shpCircle.Left + shpCircle.Width / 2) / z, (iY + shpCircle.Top + shpCircle.Height / 2) / z,
                      shpCircle.Width / 2 / z, shpCircle.Height / 2 / z, ColorFromComponents(0.8f, 0.8f, 0.8f, 1),
                      ColorFromComponents(0.3f, 0.3f, 0.35f, 1), 1.0f);
    const int32_t wedge = ColorFromComponents(1, 0.85f, 0.3f, 1);
    for (const AngleLine* l : {&Line1, &Line2})
        if (l->Visible) zDDraw.BltLine((iX + l->X1) / z, (iY + l->Y1) / z, (iX + l->X2) / z, (iY + l->Y2) / z, wedge, wedge);
}

}  // namespace tarv
