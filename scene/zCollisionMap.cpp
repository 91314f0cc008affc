#include "scene/zCollisionMap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "scene/zCamera.h"
#include "scene/zSceneHooks.h"
#include "scene/zVisibleCells.h"

namespace zun {

bool CollisionShapeSolid(uint8_t iShape, int32_t u, int32_t v, int32_t T, int32_t h) {
    // Wide arithmetic: a cell size read from a file cannot make these wrap.
    const int64_t U = u, V = v, t = T, H = h;
    const double du = u, dv = v, dt = T, dh = h;
    switch (iShape) {
    case 0: return true;
    case 1: return false;
    case 2: return dt / 4 <= du && du <= 3 * dt / 4 && dt / 4 <= dv && dv <= 3 * dt / 4;
    case 3: return U + V >= H && U + (t - V) >= H && (t - U) + V >= H && (t - U) + (t - V) >= H;
    case 4: return t - U < V;
    case 5: return U < V;
    case 6: return t - U >= V;
    case 7: return U >= V;
    case 8: return V >= H;
    case 9: return U < H;
    case 10: return V < H;
    case 11: return U >= H;
    case 12: return U >= H && V >= H;
    case 13: return U < H && V >= H;
    case 14: return U < H && V < H;
    case 15: return U >= H && V < H;
    case 16: return dv / 2 > dt - du;
    case 17: return dv / 2 > du;
    case 18: return dv / 2 + dh <= dt - du;
    case 19: return dv / 2 + dh <= du;
    case 20: return dt - du / 2 < dv;
    case 21: return du / 2 < dv - dh;
    case 22: return dh - du / 2 >= dv;
    case 23: return du / 2 >= dv;
    case 24: return !(U >= H && V >= H);
    case 25: return !(U < H && V >= H);
    case 26: return !(U < H && V < H);
    case 27: return !(U >= H && V < H);
    case 28: return t - U < V - H;
    case 29: return U < V - H;
    case 30: return t - U - H >= V;
    case 31: return U - H >= V;
    case 32: return !(t - U < V - H);
    case 33: return !(U < V - H);
    case 34: return t - U - H < V;
    case 35: return U - H < V;
    default: break;
    }
    if (iShape >= 36 && iShape <= 43) {
        static constexpr double kR2[4] = {0.0625, 0.25, 0.5625, 1.0};
        const double d2 = (du - dh) * (du - dh) + (dv - dh) * (dv - dh);
        const double r2 = dh * dh * kR2[(iShape - 36) % 4];
        return iShape <= 39 ? d2 <= r2 : d2 > r2;
    }
    if (iShape >= 44 && iShape <= 51) return !CollisionShapeSolid(uint8_t(iShape - 28), u, v, T, h);
    return false;
}

namespace {

// A point of the overlay geometry: a * T + b * h along each axis, so that one
// table serves every cell size and zoom.
struct GP {
    float ta, tb;  // x = ta * T + tb * h
    float va, vb;  // y = va * T + vb * h
};
struct GPoly {
    bool rect;  // two points: opposite corners of an axis-aligned rectangle
    std::vector<GP> p;
};
// A cell cut into two disjoint parts; the shape says which one is solid.
struct Geometry {
    std::vector<GPoly> inner, outer;
};

GP Pt(float ta, float tb, float va, float vb) { return GP{ta, tb, va, vb}; }
// Shorthands: T, h, T - h, 2(T - h), T / 2, T / 4 and so on, on one axis.
struct Ax {
    float a, b;
};
constexpr Ax k0{0, 0}, kT{1, 0}, kH{0, 1}, kTmH{1, -1}, k2TmH{2, -2}, kT2{0.5f, 0}, k2H{0, 2};
GP P(Ax x, Ax y) { return Pt(x.a, x.b, y.a, y.b); }
GPoly Rect(Ax x1, Ax y1, Ax x2, Ax y2) { return GPoly{true, {P(x1, y1), P(x2, y2)}}; }
GPoly Poly(std::initializer_list<GP> pts) { return GPoly{false, std::vector<GP>(pts)}; }

enum GeoId {
    gFull, gDiamond, gDiagA, gDiagB, gHalfV, gHalfH, gQ12, gQ13, gQ14, gQ15,
    gW16, gW17, gW18, gW19, gW20, gW21, gW22, gW23, gC28, gC29, gC30, gC31, gCount
};

const std::array<Geometry, gCount>& Geometries() {
    static const std::array<Geometry, gCount> g = [] {
        std::array<Geometry, gCount> t;
        t[gFull] = {{Rect(k0, k0, kT, kT)}, {}};
        t[gDiamond] = {{Poly({P(kH, k0), P(kTmH, k0), P(kT, kH), P(kT, kTmH), P(kTmH, kT), P(kH, kT), P(k0, kTmH),
                              P(k0, kH)})},
                       {Poly({P(k0, k0), P(kH, k0), P(k0, kH)}), Poly({P(kTmH, k0), P(kT, k0), P(kT, kH)}),
                        Poly({P(kT, kTmH), P(kT, kT), P(kTmH, kT)}), Poly({P(k0, kTmH), P(kH, kT), P(k0, kT)})}};
        t[gDiagA] = {{Poly({P(kT, k0), P(kT, kT), P(k0, kT)})}, {Poly({P(k0, k0), P(kT, k0), P(k0, kT)})}};
        t[gDiagB] = {{Poly({P(k0, k0), P(k0, kT), P(kT, kT)})}, {Poly({P(k0, k0), P(kT, k0), P(kT, kT)})}};
        t[gHalfV] = {{Rect(k0, kH, kT, kT)}, {Rect(k0, k0, kT, kH)}};
        t[gHalfH] = {{Rect(k0, k0, kH, kT)}, {Rect(kH, k0, kT, kT)}};
        t[gQ12] = {{Rect(kH, kH, kT, kT)}, {Rect(k0, k0, kT, kH), Rect(k0, kH, kH, kT)}};
        t[gQ13] = {{Rect(k0, kH, kH, kT)}, {Rect(k0, k0, kT, kH), Rect(kH, kH, kT, kT)}};
        t[gQ14] = {{Rect(k0, k0, kH, kH)}, {Rect(kH, k0, kT, kH), Rect(k0, kH, kT, kT)}};
        t[gQ15] = {{Rect(kH, k0, kT, kH)}, {Rect(k0, k0, kH, kH), Rect(k0, kH, kT, kT)}};
        t[gW16] = {{Poly({P(kT, k0), P(kT, kT), P(kT2, kT)})}, {Poly({P(k0, k0), P(kT, k0), P(kT2, kT), P(k0, kT)})}};
        t[gW17] = {{Poly({P(k0, k0), P(k0, kT), P(kT2, kT)})}, {Poly({P(k0, k0), P(kT, k0), P(kT, kT), P(kT2, kT)})}};
        t[gW18] = {{Poly({P(k0, k0), P(kTmH, k0), P(k0, k2TmH)})},
                   {Poly({P(kTmH, k0), P(kT, k0), P(kT, kT), P(k0, kT), P(k0, k2TmH)})}};
        t[gW19] = {{Poly({P(kH, k0), P(kT, k0), P(kT, k2TmH)})},
                   {Poly({P(k0, k0), P(kH, k0), P(kT, k2TmH), P(kT, kT), P(k0, kT)})}};
        t[gW20] = {{Poly({P(k0, kT), P(kT, kT), P(kT, kT2)})}, {Poly({P(k0, k0), P(kT, k0), P(kT, kT2), P(k0, kT)})}};
        t[gW21] = {{Poly({P(k0, kH), P(k0, kT), P(k2TmH, kT)})},
                   {Poly({P(k0, k0), P(kT, k0), P(kT, kT), P(k2TmH, kT), P(k0, kH)})}};
        t[gW22] = {{Poly({P(k0, k0), P(k2H, k0), P(k0, kH)})},
                   {Poly({P(k2H, k0), P(kT, k0), P(kT, kT), P(k0, kT), P(k0, kH)})}};
        t[gW23] = {{Poly({P(k0, k0), P(kT, k0), P(kT, kT2)})}, {Poly({P(k0, k0), P(kT, kT2), P(kT, kT), P(k0, kT)})}};
        t[gC28] = {{Poly({P(kT, kH), P(kT, kT), P(kH, kT)})},
                   {Poly({P(k0, k0), P(kT, k0), P(kT, kH), P(kH, kT), P(k0, kT)})}};
        t[gC29] = {{Poly({P(k0, kH), P(k0, kT), P(kTmH, kT)})},
                   {Poly({P(k0, k0), P(kT, k0), P(kT, kT), P(kTmH, kT), P(k0, kH)})}};
        t[gC30] = {{Poly({P(k0, k0), P(kTmH, k0), P(k0, kTmH)})},
                   {Poly({P(kTmH, k0), P(kT, k0), P(kT, kT), P(k0, kT), P(k0, kTmH)})}};
        t[gC31] = {{Poly({P(kH, k0), P(kT, k0), P(kT, kTmH)})},
                   {Poly({P(k0, k0), P(kH, k0), P(kT, kTmH), P(kT, kT), P(k0, kT)})}};
        return t;
    }();
    return g;
}

// Which geometry a shape uses and whether its inner part is the solid one.
bool ShapeGeometry(uint8_t s, GeoId& g, bool& innerSolid) {
    innerSolid = true;
    if (s <= 1) { g = gFull; innerSolid = s == 0; return true; }
    if (s == 3) { g = gDiamond; return true; }
    if (s == 4 || s == 6) { g = gDiagA; innerSolid = s == 4; return true; }
    if (s == 5 || s == 7) { g = gDiagB; innerSolid = s == 5; return true; }
    if (s == 8 || s == 10) { g = gHalfV; innerSolid = s == 8; return true; }
    if (s == 9 || s == 11) { g = gHalfH; innerSolid = s == 9; return true; }
    if (s >= 12 && s <= 15) { g = GeoId(gQ12 + (s - 12)); return true; }
    if (s >= 24 && s <= 27) { g = GeoId(gQ12 + (s - 24)); innerSolid = false; return true; }
    if (s >= 16 && s <= 23) { g = GeoId(gW16 + (s - 16)); return true; }
    if (s >= 44 && s <= 51) { g = GeoId(gW16 + (s - 44)); innerSolid = false; return true; }
    if (s >= 28 && s <= 31) { g = GeoId(gC28 + (s - 28)); return true; }
    if (s >= 32 && s <= 35) { g = GeoId(gC28 + (s - 32)); innerSolid = false; return true; }
    return false;
}

void DrawPolys(const std::vector<GPoly>& polys, float px, float py, float c, float c2, int32_t color) {
    auto X = [&](const GP& p) { return px + p.ta * c + p.tb * c2; };
    auto Y = [&](const GP& p) { return py + p.va * c + p.vb * c2; };
    for (const GPoly& poly : polys) {
        if (poly.rect) {
            const float x1 = X(poly.p[0]), y1 = Y(poly.p[0]);
            zDDraw.BltSurface(x1, y1, X(poly.p[1]) - x1, Y(poly.p[1]) - y1, color);
        } else {
            // Every part is convex: a fan from the first corner covers it.
            for (size_t i = 1; i + 1 < poly.p.size(); ++i)
                zDDraw.BltPolygonFlat(X(poly.p[0]), Y(poly.p[0]), X(poly.p[i]), Y(poly.p[i]), X(poly.p[i + 1]),
                                      Y(poly.p[i + 1]), color);
        }
    }
}

// The centre square takes whole pixels on both of its closed edges (T/4 <= u
// <= 3T/4), which no fixed fraction of the cell gives for every size.
void DrawCentre(float px, float py, float c, int32_t T, float zoom, int32_t block, int32_t free) {
    const float lo = ToSingle(std::ceil(T / 4.0) * zoom), hi = ToSingle((std::floor(3.0 * T / 4.0) + 1) * zoom);
    zDDraw.BltSurface(px + lo, py + lo, hi - lo, hi - lo, block);
    zDDraw.BltSurface(px, py, c, lo, free);
    zDDraw.BltSurface(px, py + hi, c, c - hi, free);
    zDDraw.BltSurface(px, py + lo, lo, hi - lo, free);
    zDDraw.BltSurface(px + hi, py + lo, c - hi, hi - lo, free);
}

}  // namespace

zCollisionMap::zCollisionMap() {
    SizeLayerGrid(codeGrid_, 0, 0);
    SizeLayerGrid(shapeGrid_, 0, 0);
}

void zCollisionMap::GetTile(int32_t iX, int32_t iY, uint8_t& oCol, uint8_t& oMask) const {
    if (!codeGrid_.InBounds(iX, iY)) return;
    oCol = codeGrid_(iX, iY);
    oMask = shapeGrid_(iX, iY);
}

void zCollisionMap::SetTile(int32_t iX, int32_t iY, uint8_t iCol, uint8_t iMask) {
    if (!codeGrid_.InBounds(iX, iY)) return;
    codeGrid_(iX, iY) = iCol;
    shapeGrid_(iX, iY) = iMask;
}

bool zCollisionMap::CheckCollision(int32_t iX, int32_t iY, uint8_t iFlags) const {
    zCore.CurrentProc = "CheckCollision";
    const int64_t T = TileW;
    if (iX < 0 || iY < 0 || iX >= (int64_t(W) + 1) * T || iY >= (int64_t(H) + 1) * T) return true;
    const int64_t cx = iX / T, cy = iY / T;
    // Cells beyond the grid (a layer whose import failed half-way) are solid,
    // like everything else outside the map.
    if (cx >= codeGrid_.d1 || cy >= codeGrid_.d2) return true;
    const uint8_t code = codeGrid_(int32_t(cx), int32_t(cy));
    if ((code & iFlags) != iFlags) return false;
    const int32_t u = int32_t(iX - cx * T), v = int32_t(iY - cy * T);
    return CollisionShapeSolid(shapeGrid_(int32_t(cx), int32_t(cy)), u, v, TileW, TileW2);
}

void zCollisionMap::SetSize(int32_t iW, int32_t iH) {
    CheckGridSize(iW, iH);
    W = iW;
    H = iH;
    SizeLayerGrid(codeGrid_, iW, iH);
    SizeLayerGrid(shapeGrid_, iW, iH);
}

void zCollisionMap::Resize(int32_t iW, int32_t iH) {
    if (iW == W && iH == H) return;
    const int32_t oldW = W, oldH = H;
    Grid<uint8_t> code = codeGrid_, shape = shapeGrid_;
    SetSize(iW, iH);
    if (oldW > 0 && oldH > 0) {
        CopyOverlap(code, codeGrid_);
        CopyOverlap(shape, shapeGrid_);
    }
}

bool zCollisionMap::BlockedBounds(const zCamera& iCam, uint8_t iFlags, float iViewW, float iViewH, float& oX0,
                                  float& oY0, float& oX1, float& oY1) const {
    std::vector<ViewRect> rects;
    if (!BlockedRects(iCam, iFlags, iViewW, iViewH, rects)) return false;
    oX0 = oY0 = 0;
    oX1 = oY1 = -1;
    for (size_t i = 0; i < rects.size(); ++i) {
        const ViewRect& r = rects[i];
        oX0 = i == 0 ? r.x0 : std::min(oX0, r.x0);
        oY0 = i == 0 ? r.y0 : std::min(oY0, r.y0);
        oX1 = i == 0 ? r.x1 : std::max(oX1, r.x1);
        oY1 = i == 0 ? r.y1 : std::max(oY1, r.y1);
    }
    return true;
}

bool zCollisionMap::BlockedRects(const zCamera& iCam, uint8_t iFlags, float iViewW, float iViewH,
                                 std::vector<ViewRect>& oRects) const {
    oRects.clear();
    if (W == 0 || H == 0 || TileW == 0 || MetaByte("ShowDebug") == 1) return false;
    const zVisibleCells v = VisibleCells(*this, iCam);
    if (iFlags == 0) iFlags = MetaByte("_ShowMode", 255);
    const int32_t x1 = std::min(v.x1, codeGrid_.d1 - 1), y1 = std::min(v.y1, codeGrid_.d2 - 1);
    if (x1 < v.x0 || y1 < v.y0) return false;
    const double c = v.c;
    auto left = [&](int32_t cx) { return double(ToSingle(c * cx + v.ox)); };
    auto top = [&](int32_t cy) { return double(ToSingle(c * cy + v.oy)); };
    if (!(left(v.x0) <= 0 && top(v.y0) <= 0 && left(x1) + c >= iViewW && top(y1) + c >= iViewH)) return false;
    struct Run {
        int32_t x0, x1, y0;
    };
    std::vector<Run> open, next;
    auto close = [&](const Run& r, int32_t y) {
        oRects.push_back({float(left(r.x0)), float(top(r.y0)), float(left(r.x1 - 1) + c), float(top(y - 1) + c)});
    };
    for (int32_t cy = v.y0; cy <= y1 + 1; ++cy) {
        next.clear();
        for (int32_t cx = v.x0; cy <= y1 && cx <= x1; ++cx) {
            if ((codeGrid_(cx, cy) & iFlags) == 0) continue;
            if (!next.empty() && next.back().x1 == cx) next.back().x1 = cx + 1;
            else next.push_back({cx, cx + 1, cy});
        }
        for (Run& n : next)
            for (const Run& o : open)
                if (o.x0 == n.x0 && o.x1 == n.x1) n.y0 = o.y0;
        for (const Run& o : open)
            if (std::none_of(next.begin(), next.end(), [&](const Run& n) { return n.x0 == o.x0 && n.x1 == o.x1; }))
                close(o, cy);
        std::swap(open, next);
    }
    return true;
}

void zCollisionMap::Render(const zCamera& iCam, uint8_t iFlags, int32_t iColorFree, int32_t iColorBlock) {
    zCore.CurrentProc = "CollisionMap_Render";
    if (W == 0 || H == 0 || TileW == 0) return;
    const zVisibleCells v = VisibleCells(*this, iCam);
    const float c = v.c, c2 = ToSingle(double(TileW2) * Zoom);
    const float z = MetaSingle("_z");
    zDDraw.RenderZ = z;
    const float alpha = ToSingle(1.0 - MetaSingle("_Alpha"));
    if (iColorFree == -1) iColorFree = ColorFromComponents(0, 1, 0, alpha);
    if (iColorBlock == -1) iColorBlock = ColorFromComponents(1, 0, 0, alpha);
    if (iFlags == 0) iFlags = MetaByte("_ShowMode", 255);
    const bool showDebug = MetaByte("ShowDebug") == 1;
    const float quality = ToSingle(24.0 / TileW);
    const int32_t x1 = std::min(v.x1, codeGrid_.d1 - 1), y1 = std::min(v.y1, codeGrid_.d2 - 1);
    for (int32_t cy = v.y0; cy <= y1; ++cy) {
        // Free cells side by side are laid as one rectangle where their shared
        // edges fall on the same place of the target: the same pixels, far
        // fewer triangles for the renderer.
        const float rowY = ToSingle(double(c) * cy + v.oy);
        bool inRun = false;
        double runLeft = 0, runRight = 0;
        auto endRun = [&] {
            if (inRun) zDDraw.BltSurfaceEdges(runLeft, rowY, runRight, double(rowY) + c, iColorFree);
            inRun = false;
        };
        for (int32_t cx = v.x0; cx <= x1; ++cx) {
            const float px = ToSingle(double(c) * cx + v.ox), py = rowY;
            const uint8_t code = codeGrid_(cx, cy), shape = shapeGrid_(cx, cy);
            if ((code & iFlags) == 0 && !showDebug) {
                if (inRun && zDDraw.TargetX(runRight) != zDDraw.TargetX(px)) endRun();
                if (!inRun) runLeft = px;
                inRun = true;
                runRight = double(px) + c;
                continue;
            }
            endRun();
            if ((code & iFlags) == 0) {
                zDDraw.BltSurface(px, py, c, c, iColorFree);
            } else if (shape >= 36 && shape <= 43) {
                static constexpr float kRadius[4] = {0.25f, 0.5f, 0.75f, 1.0f};
                const bool solidDisc = shape <= 39;
                zDDraw.BltSurface(px, py, c, c, solidDisc ? iColorFree : iColorBlock);
                zDDraw.BltCircle(px + c2, py + c2, c2 * kRadius[(shape - 36) % 4], 0,
                                 solidDisc ? iColorBlock : iColorFree, quality);
            } else if (shape == 2) {
                DrawCentre(px, py, c, TileW, Zoom, iColorBlock, iColorFree);
            } else {
                GeoId g;
                bool innerSolid;
                if (ShapeGeometry(shape, g, innerSolid)) {
                    const Geometry& geo = Geometries()[g];
                    DrawPolys(geo.inner, px, py, c, c2, innerSolid ? iColorBlock : iColorFree);
                    DrawPolys(geo.outer, px, py, c, c2, innerSolid ? iColorFree : iColorBlock);
                }
            }
            if (showDebug) {
                zFont.DrawText(gSceneHooks.FontArial, zDDraw.RenderZoom * float(CLng(double(px) + c / 2.0)),
                               zDDraw.RenderZoom * float(CLng(double(py) + c / 2.0)), FormatLong(code), 1.0f, true,
                               2, 2, -1);
                // Text drawing leaves its own depth behind; the overlay keeps "_z".
                zDDraw.RenderZ = z;
            }
        }
        endRun();
    }
}

bool zCollisionMap::Export(zStream& iData) {
    ExportHeader(iData);
    iData.WriteArrayByte2D(codeGrid_);
    iData.WriteArrayByte2D(shapeGrid_);
    return true;
}

bool zCollisionMap::Import(zStream& iData) {
    ImportHeader(iData);
    Grid<uint8_t> code, shape;
    ReadLayerGrid(iData, code, W, H);
    ReadLayerGrid(iData, shape, W, H);
    codeGrid_ = std::move(code);
    shapeGrid_ = std::move(shape);
    return true;
}

}  // namespace zun
