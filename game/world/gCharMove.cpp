// The character's footprint, contact ring, collision tests, sliding movement
// and path following.
#include <cmath>

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gPath.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zSprite.h"

namespace tarv {

using namespace zun;

namespace {

constexpr double kTurn = 6.283185958862305;
// The most speeds one TryToMove tries, one pixel per frame apart.
constexpr int32_t kMaxTrySpeeds = 4096;

const zSprite& NeedSprite(const std::shared_ptr<zSprite>& p) {
    if (!p) Raise(errObjectNotSet);
    return *p;
}

float Norm(double a) { return zMath::NormalizeAngle(ToSingle(a)); }

}  // namespace

void gChar::BuildContacts(int32_t iFrameW) {
    contacts_.clear();
    const int32_t n = CLng(double(iFrameW) / 4.0 + 2.0);
    if (n > 0) {
        const double step = kTurn / n;
        for (int32_t i = 1; i <= n; ++i) {
            const double a = step * (i + 0.5);
            ContactPoint p;
            p.OffsetX = float(std::cos(a) * RadiusX);
            p.OffsetY = float(std::sin(a) * RadiusY);
            p.Angle = float(a);
            p.SpanPlus = p.SpanMinus = float(step + 0.001);
            contacts_.push_back(p);
        }
    }
    // Four points halfway in, on the axes; each faces half a turn of directions.
    const double step4 = kTurn / 4;
    const int32_t first = int32_t(contacts_.size()) + 1;
    for (int32_t i = first; i < first + 4; ++i) {
        const double a = step4 * i;
        ContactPoint p;
        p.OffsetX = float(std::cos(a) * RadiusX / 2);
        p.OffsetY = float(std::sin(a) * RadiusY / 2);
        p.Angle = float(a);
        p.SpanPlus = p.SpanMinus = float(step4 + 0.001);
        contacts_.push_back(p);
    }
}

bool gChar::CheckCollision(float iX, float iY) const {
    const zSprite& s = NeedSprite(Sprite);
    const double sx = s.x, sy = s.y, w = s.W, h = s.H;
    switch (CollisionShape) {
        case 1: {
            const double dx = double(iX) - sx, dy = 2.0 * iY - 2.0 * sy;
            return std::sqrt(dx * dx + dy * dy) < w / 2;
        }
        case 2: return sx - w / 2 < iX && iX < sx + w / 2 && sy - w / 4 < iY && iY < sy + w / 4;
        case 3: return sx < iX && iX < sx + w && sy < iY && iY < sy + h;
        default: return false;
    }
}

bool gChar::CheckHit(float iX, float iY, float iTolerance) const {
    const zSprite& s = NeedSprite(Sprite);
    const double left = double(s.x) - s.OriginX, top = double(s.y) - s.OriginY;
    return left - iTolerance < iX && iX < left + s.W + iTolerance && top - iTolerance < iY &&
           iY < top + s.H + iTolerance;
}

bool gChar::CheckMoveCollision(const zCollisionMap* iCollisionMap, const zItemMap*, float iAngle, float iSpeed) {
    const zSprite& s = NeedSprite(Sprite);
    const double nx = s.x + double(iSpeed) * std::cos(double(iAngle));
    const double ny = s.y + double(iSpeed) * std::sin(double(iAngle));
    for (ContactPoint& p : contacts_) {
        const float lo = Norm(double(iAngle) - Norm(double(p.Angle) - p.SpanMinus));
        const float hi = Norm(double(iAngle) - Norm(double(p.Angle) + p.SpanPlus));
        if (!(lo <= zMath::PI && hi >= zMath::PI)) continue;
        if (p.State == 0) p.State = 1;
        const int32_t px = CLng(nx + p.OffsetX), py = CLng(ny + p.OffsetY);
        if (iCollisionMap && iCollisionMap->CheckCollision(px, py, CollisionFlags)) {
            p.State = 2;
            return true;
        }
        for (const auto& other : gCharTest.Chars) {
            if (!other || other.get() == this) continue;
            if (other->CheckCollision(float(px), float(py))) {
                p.State = 2;
                return true;
            }
        }
    }
    return false;
}

bool gChar::TryToMove(const zCollisionMap* iColMap, float iAngle, float iSpeed, float iMaxTryAngle,
                      float iMinTrySpeed) {
    const double eighth = double(zMath::PI) / 8;
    int32_t speeds = 0;
    for (float speed = iSpeed; speed > iMinTrySpeed; speed = float(double(speed) - 1.0)) {
        float d = 0;
        // Beyond a whole turn the deflections only repeat directions already tried.
        while (d <= iMaxTryAngle && d <= kTurn) {
            const double a = double(iAngle) + d;
            if (!CheckMoveCollision(iColMap, gCharTest.mapDoors.get(), Norm(a), speed)) {
                zSprite& s = *Sprite;
                s.x = ToSingle(s.x + double(speed) * std::cos(a));
                s.y = ToSingle(s.y + double(speed) * std::sin(a));
                return true;
            }
            // 0, +pi/8, -pi/8, +2pi/8, -2pi/8, ...
            d = d > 0 ? -d : float(-double(d) + eighth);
        }
        // A speed the loop can no longer lower, or a range of speeds no walk
        // could use, would keep the loop going for ever.
        if (double(speed) - 1.0 == double(speed) || ++speeds >= kMaxTrySpeeds) break;
    }
    return false;
}

void gChar::RenderContacts(const zCamera& iCam) {
    const zSprite& s = NeedSprite(Sprite);
    zDDraw.SetAlphaMode(2);
    zDDraw.RenderZ = 0;
    for (ContactPoint& p : contacts_) {
        int32_t c1, c2;
        switch (p.State) {
            case 1:
                c1 = zDDrawModule::GetColorRGB(0, 0, 1);
                c2 = zDDrawModule::GetColorRGB(0, 0.5f, 1);
                break;
            case 2:
                c1 = zDDrawModule::GetColorRGB(1, 0, 0);
                c2 = zDDrawModule::GetColorRGB(1, 0.5f, 0);
                break;
            default:
                c1 = zDDrawModule::GetColorRGB(1, 1, 1);
                c2 = zDDrawModule::GetColorRGB(0.5f, 0.5f, 0.5f);
                break;
        }
        const double px = double(s.x) + p.OffsetX - iCam.x, py = double(s.y) + p.OffsetY - iCam.y;
        const double a = p.Angle, ap = double(p.Angle) + p.SpanPlus, am = double(p.Angle) - p.SpanMinus;
        const float tipX = ToSingle(px + 8 * std::cos(a)), tipY = ToSingle(py + 8 * std::sin(a));
        zDDraw.BltLine(tipX, tipY, ToSingle(px + 4 * std::cos(ap)), ToSingle(py + 4 * std::sin(ap)), c2, c2);
        zDDraw.BltLine(tipX, tipY, ToSingle(px + 4 * std::cos(am)), ToSingle(py + 4 * std::sin(am)), c2, c2);
        zDDraw.BltPoint(ToSingle(px), ToSingle(py), c1);
        p.State = 0;
    }
}

bool gChar::MoveAlongPath(const zCollisionMap* iColMap, const std::shared_ptr<gPath>& iPath, float iSpeed) {
    if (!iPath || !iColMap || iPath->WayPointCount < 1) return false;
    // Held here: the caller's reference may be dropped while we work on it.
    const std::shared_ptr<gPath> path = iPath;
    const zSprite& s = NeedSprite(Sprite);
    const float sx = s.x, sy = s.y;
    const double dx = double(sx) - DestX, dy = double(sy) - DestY;
    const bool close = double(iSpeed) * iSpeed > dx * dx + dy * dy;

    if (!path->IsActive || close) {
        path->IsActive = true;
        path->WayPointCount -= 1;
        if (path->WayPointCount < 1) return false;
        const gPathNode& n = path->GetNode(path->WayPointCount);
        const double t = iColMap->TileW;
        DestX = ToSingle((n.x + 0.5) * t);
        DestY = ToSingle((n.y + 0.5) * t);
    }

    SetAngle(zMath::GetAngle(sx, sy, DestX, DestY));
    if (TryToMove(iColMap, Angle, iSpeed, 1.570796f, 0)) return true;

    // Blocked (another character in the way, say): plan anew from here to the
    // same end, in the same path object. The player's mover and its own update
    // hold that one object; a new one would leave each walking a different
    // plan, and a movement key would stop only one of them.
    const gPathNode g = path->GetNode(1);
    const double t = iColMap->TileW;
    const int32_t cx = CLng(Div(double(sx) - iColMap->TileW2, t));
    const int32_t cy = CLng(Div(double(sy) - iColMap->TileW2, t));
    *path = gPath{};
    path->FindPath(iColMap, 1, cx, cy, g.x, g.y, true, 5);
    return false;
}

}  // namespace tarv
