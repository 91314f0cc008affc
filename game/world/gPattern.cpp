#include "game/world/gPattern.h"

#include <algorithm>
#include <cmath>

#include "core/zCore.h"
#include "core/zMath.h"
#include "devices/zDDraw.h"
#include "game/world/gGestures.h"

namespace tarv {

using namespace zun;

void gPattern::AddPoint(float iX, float iY, float iR) {
    PatternPoint p;
    p.X = iX;
    p.Y = iY;
    p.R = iR;
    Points.push_back(p);
    LastIndex += 1;
}

void gPattern::UpdatePatternPoints() {
    for (int32_t i = 0; i <= LastIndex; ++i) {
        PatternPoint& p = Points[size_t(i)];
        const double d = zMath::GetDistance(0, 0, p.X, p.Y);
        const double a = zMath::GetAngle(0, 0, p.X, p.Y);
        p.PosX = float(std::cos(a + Rotation) * d * Scaling);
        p.PosY = float(std::sin(a + Rotation) * d * Scaling);
        // The circles grow along the chain to twice the first one's size; a
        // single point has no chain to grow along.
        const double growth = LastIndex > 0 ? double(i) / LastIndex : 0.0;
        p.Radius = float(double(p.R) * Scaling * (growth + 1));
    }
}

void gPattern::Reset(int32_t iMode, float MouseX, float MouseY) {
    const auto caller = Caller.lock();
    if (iMode > 0 && Exclusive) {
        Index = 0;
        LastIndex = -1;
        Points.clear();
        if (caller) caller->PatternCancelled(iMode);
        return;
    }
    Index = 0;
    LastTime = zCore.FrameCounter;
    if (Dynamic) {
        Scaling = zMath::Clamp(zMath::GetDistance(Center.x, Center.y, MouseX, MouseY), MinScale, MaxScale);
        if (AutoMode & 1) Rotation = zMath::GetAngle(Center.x, Center.y, MouseX, MouseY);
    }
    UpdatePatternPoints();
    if (caller) caller->PatternCancelled(iMode);
}

void gPattern::CheckPos(float MouseX, float MouseY) {
    if (LastIndex == -1) return;
    const int32_t frame = zCore.FrameCounter;

    // The last point met keeps the mouse's nearest place to it.
    auto refineLastHit = [&] {
        if (Index <= 0) return;
        PatternPoint& prev = Points[size_t(Index - 1)];
        const float d = zMath::GetDistance(Center.x + prev.PosX, Center.y + prev.PosY, MouseX, MouseY);
        if (d < prev.BestDist) {
            prev.BestX = MouseX;
            prev.BestY = MouseY;
            prev.BestDist = d;
        }
    };

    if (int64_t(frame) - int64_t(LastTime) > int64_t(MaxDelay)) {
        Reset(ResetTimeOut, MouseX, MouseY);
    } else if (Index >= 1 && Index <= LastIndex) {
        // The course is judged from the nearest place to the last point met
        // as it is after this move: a stroke that goes on into the point's
        // circle towards its middle comes nearer the point, which is no way
        // away from the next one. Judged from where the circle was entered,
        // every corner sharper than a right angle would be a wrong way, and
        // a stroke through the middles of the points could not be finished.
        refineLastHit();
        const PatternPoint& prev = Points[size_t(Index - 1)];
        const PatternPoint& cur = Points[size_t(Index)];
        const float dMouse = zMath::GetDistance(prev.BestX, prev.BestY, MouseX, MouseY);
        const float dSeg = zMath::GetDistance(prev.PosX, prev.PosY, cur.PosX, cur.PosY);
        if (dMouse > 2 * dSeg) {
            Reset(ResetStrayed, MouseX, MouseY);
        } else if (dMouse > dSeg * 0.1f) {
            const float heading = zMath::GetAngle(prev.BestX, prev.BestY, MouseX, MouseY);
            const float course = zMath::GetAngle(prev.PosX, prev.PosY, cur.PosX, cur.PosY);
            if (std::fabs(zMath::AngleDiff(heading, course)) > zMath::PI / 2 && Index >= 2)
                Reset(ResetWrongWay, MouseX, MouseY);
        }
    }
    // A cancelled one-shot pattern has no points left to follow.
    if (LastIndex == -1) return;

    refineLastHit();

    if (Index > LastIndex) {
        const PatternPoint& last = Points[size_t(LastIndex)];
        if (zMath::GetDistance(Center.x + last.PosX, Center.y + last.PosY, MouseX, MouseY) > last.BestDist) {
            // The share of the circles' radii by which the hits missed the
            // centres, taken before the restart: a dynamic pattern rescales
            // there to wherever the mouse left, and the hits were measured at
            // the scale the stroke was drawn at.
            double best = 0, radius = 0;
            for (const PatternPoint& p : Points) {
                best += p.BestDist;
                radius += p.Radius;
            }
            const float accuracy = radius != 0 ? float(1.0 - best / radius) : 0.0f;
            Reset(ResetRestart, MouseX, MouseY);
            if (auto caller = Caller.lock()) caller->PatternDone(Name, accuracy);
        }
        return;
    }

    PatternPoint& cur = Points[size_t(Index)];
    const Vector2 at{Center.x + cur.PosX, Center.y + cur.PosY};
    if (zMath::PointHitCircle(Vector2{MouseX, MouseY}, at, cur.Radius)) {
        LastTime = frame;
        Index += 1;
        cur.BestX = MouseX;
        cur.BestY = MouseY;
        cur.BestDist = zMath::GetDistance(at.x, at.y, MouseX, MouseY);
        if ((AutoMode & 2) && Dynamic) {
            // Pattern units to pixels: the hit point's distance from the centre
            // over the point's own distance in pattern units.
            const float units = zMath::GetDistance(0, 0, cur.X, cur.Y);
            if (units > 0) {
                const float mouse = zMath::GetDistance(Center.x, Center.y, MouseX, MouseY);
                Scaling = zMath::Clamp(mouse / units, MinScale, MaxScale);
                UpdatePatternPoints();
            }
        }
        if (auto caller = Caller.lock()) caller->PatternProgress(Name, LastIndex + 1, Index);
    }
}

void gPattern::Render(const zCamera&) {
    if (LastIndex == -1) return;
    const float z = zDDraw.RenderZoom != 0 ? zDDraw.RenderZoom : 1.0f;

    zDDraw.SetAlphaMode(11);
    for (int32_t i = 0; i <= LastIndex; ++i) {
        float alpha;
        if (i >= Index && i < Index + 5) alpha = 1.0f / float(i - Index + 1);
        else if (i > Index - 5 && i < Index) alpha = 1.0f / float(Index - i);
        else continue;
        const PatternPoint& p = Points[size_t(i)];
        zDDraw.BltCircle((Center.x + p.PosX) / z, (Center.y + p.PosY) / z, p.Radius / z, 0,
                         zDDrawModule::GetColorRGBA(0.4f, 0.16f, 0.0f, alpha), 1);
    }

    zDDraw.SetAlphaMode(2);
    zDDraw.SetAlphaValue(0.5f, 100);
    const int32_t white = zDDrawModule::GetGrayColor(1.0f);
    const int32_t hits = std::min(Index, LastIndex + 1);
    for (int32_t i = 0; i < hits; ++i) {
        const PatternPoint& p = Points[size_t(i)];
        zDDraw.BltCircle(p.BestX / z, p.BestY / z, std::max(2.0f, p.Radius - p.BestDist) / 2 / z, 0, white, 1);
    }
    for (int32_t i = 1; i < hits; ++i) {
        const PatternPoint& a = Points[size_t(i)];
        const PatternPoint& b = Points[size_t(i - 1)];
        zDDraw.BltLine(a.BestX / z, a.BestY / z, b.BestX / z, b.BestY / z, 0, white);
    }
}

}  // namespace tarv
