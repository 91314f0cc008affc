#include "scene/zShape.h"

#include <span>

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zSceneHooks.h"

namespace zun {

zShape::zShape() : Points(1) {}

void zShape::AddPoint(float iX, float iY) {
    const int32_t n = AddLong(PointCount, 1);
    if (size_t(n) >= Points.size()) Points.resize(size_t(n) + 1);
    PointCount = n;
    Points[size_t(n)] = Vector2{iX, iY};
}

Vector2 zShape::GetPoint(int32_t Index) const {
    if (Index < 0 || size_t(Index) >= Points.size()) Raise(errSubscript);
    return Points[size_t(Index)];
}

void zShape::SetPoint(int32_t Index, const Vector2& iPoint) {
    if (Index < 0 || size_t(Index) >= Points.size()) Raise(errSubscript);
    Points[size_t(Index)] = iPoint;
}

void zShape::RemovePoint(int32_t Index) {
    if (Index < 0 || Index > PointCount) return;
    for (int32_t i = Index; i < PointCount; ++i) Points[size_t(i)] = Points[size_t(i) + 1];
    PointCount -= 1;
}

void zShape::UpdateSize() {
    if (Mode != ModePolygon && Mode != ModeChain) return;
    x = Points[0].x;
    y = Points[0].y;
    for (int32_t i = 0; i <= PointCount; ++i) {
        x = std::min(x, Points[size_t(i)].x);
        y = std::min(y, Points[size_t(i)].y);
    }
    W = 0;
    H = 0;
    for (int32_t i = 0; i <= PointCount; ++i) {
        W = std::max(W, ToSingle(double(Points[size_t(i)].x) - x));
        H = std::max(H, ToSingle(double(Points[size_t(i)].y) - y));
    }
}

bool zShape::CheckCollision(float iX, float iY) const {
    switch (Mode) {
    case ModePoint:
        return iX == x && iY == y;
    case ModeEllipse: {
        // A flat ellipse covers nothing. Areas are tested under the cursor
        // every frame, so one drawn flat must not fail each time.
        if (W == 0 || H == 0) return false;
        const double dx = double(iX) - x, dy = double(iY) - y;
        const double r = double(W) / double(H);
        const float lhs = float(dx * dx + dy * dy * r * r);
        const float rhs = float(double(W) * W);
        return lhs < rhs;
    }
    case ModeRectangle:
        return x <= iX && iX < float(double(x) + W) && y <= iY && iY < float(double(y) + H);
    case ModePolygon:
        if (PointCount < 1) return false;
        return zMath::PointInPolygon(Vector2{iX, iY}, std::span<const Vector2>(Points.data(), size_t(PointCount) + 1));
    case ModeChain: {
        const Vector2 c{iX, iY};
        for (int32_t i = 0; i < PointCount; ++i) {
            Vector2 h1, h2;
            const int32_t n = zMath::LineHitCircle(Points[size_t(i)], Points[size_t(i) + 1], c, 0.5f, h1, h2);
            if (n == 1 || n == 2) return true;
        }
        return false;
    }
    default:
        return false;
    }
}

void zShape::Render(const zCamera& iCam) const {
    // Shapes are outlines of the game's view: they follow the camera the game
    // keeps for it, whatever view the caller draws. Without one there is no view.
    (void)iCam;
    std::shared_ptr<zCamera> cam = gSceneHooks.ShapeCamera ? gSceneHooks.ShapeCamera() : nullptr;
    if (!cam) return;
    zDDraw.SetAlphaMode(2);
    zDDraw.SetAlphaValue(0.0f, 100);
    const float ox = float(Int(cam->x)), oy = float(Int(cam->y));
    auto line = [&](const Vector2& a, const Vector2& b) {
        zDDraw.BltLine(a.x - ox, a.y - oy, b.x - ox, b.y - oy, Color, Color);
    };
    switch (Mode) {
    case ModePoint:
        zDDraw.BltPoint(x - ox, y - oy, Color);
        break;
    case ModeEllipse:
        zDDraw.BltEllipse(x - ox, y - oy, W, H, Color, 0, 0.4f);
        zDDraw.SetAlphaValue(0.7f, 100);
        zDDraw.BltEllipse(x - ox, y - oy, W, H, 0, Color, 0.4f);
        break;
    case ModeRectangle: {
        const Vector2 a{x, y}, b{x + W, y}, c{x + W, y + H}, d{x, y + H};
        line(a, b);
        line(b, c);
        line(c, d);
        line(d, a);
        zDDraw.SetAlphaValue(0.7f, 100);
        zDDraw.BltSurface(x - ox, y - oy, W, H, Color);
        break;
    }
    case ModePolygon:
    case ModeChain:
        if (PointCount < 0) break;
        for (int32_t i = 0; i < PointCount; ++i) line(Points[size_t(i)], Points[size_t(i) + 1]);
        if (Mode == ModePolygon) line(Points[size_t(PointCount)], Points[0]);
        break;
    default:
        break;
    }
}

bool zShape::Export(zStream& iData) {
    iData.WriteByte(Mode);
    iData.WriteLong(Color);
    iData.WriteSingle(x);
    iData.WriteSingle(y);
    iData.WriteSingle(W);
    iData.WriteSingle(H);
    iData.WriteLong(PointCount);
    for (int32_t i = 0; i <= PointCount; ++i) iData.WriteVector2(Points[size_t(i)]);
    return true;
}

bool zShape::Import(zStream& iData) {
    iData.ReadByte(Mode);
    iData.ReadLong(Color);
    iData.ReadSingle(x);
    iData.ReadSingle(y);
    iData.ReadSingle(W);
    iData.ReadSingle(H);
    int32_t count = 0;
    iData.ReadLong(count);
    if (count < -1) Raise(errSubscript);
    if (count > -1) {
        // Eight bytes per point must still be there before anything is allocated.
        const int64_t need = (int64_t(count) + 1) * 8;
        if (need > int64_t(iData.GetLength()) - iData.Cursor) Raise(errInputPastEnd);
        std::vector<Vector2> points(size_t(count) + 1);
        for (auto& p : points) iData.ReadVector2(p);
        Points = std::move(points);
    }
    PointCount = count;
    return true;
}

}  // namespace zun
