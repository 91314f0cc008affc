// The Blt family of zDDraw: quads, triangles, lines and points queued per
// texture and drawn one call per buffer at the next flush, and the few members
// that draw at once.
#include <algorithm>
#include <cmath>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"

namespace zun {

namespace {

// A single batch never grows past this many vertices: the queue is drawn
// instead, so a runaway script loop cannot take all memory.
constexpr int32_t kMaxQueuedVertices = 1 << 22;

inline float F(double v) { return static_cast<float>(v); }

// Rounds the sine or cosine of an angle to the given fraction, as the device
// always has, so that quarter turns are exact.
inline double Quantised(double v, double steps) { return RoundHalfEven(v * steps) / steps; }

inline uint32_t WithAlpha(int32_t color, float globalAlpha) {
    const uint32_t a = uint32_t(255 - int32_t(RoundHalfEven(double(globalAlpha) * 255.0)));
    return (uint32_t(color) & 0x00FFFFFFu) | (a << 24);
}

// Whether a fragment of this 8-bit alpha passes the alpha test of the state.
bool PassesAlphaTest(const DrawState& s, uint32_t alpha) {
    if (!s.AlphaTestEnable) return true;
    const int32_t a = int32_t(alpha), ref = s.AlphaRef;
    switch (s.AlphaFunc) {
        case Cmp::Never: return false;
        case Cmp::Less: return a < ref;
        case Cmp::Equal: return a == ref;
        case Cmp::LessEqual: return a <= ref;
        case Cmp::Greater: return a > ref;
        case Cmp::NotEqual: return a != ref;
        case Cmp::GreaterEqual: return a >= ref;
        default: return true;
    }
}

template <class V>
V* Grow(PolyBuffer<V>& b, int32_t n) {
    const int32_t first = b.Count;
    b.Count = first + n;
    if (b.Count >= b.Capacity) {
        b.Capacity = b.Count;
        b.Vertices.resize(size_t(b.Capacity) + 1);
    }
    return &b.Vertices[size_t(first)];
}

}  // namespace

bool zDDrawModule::DiscardedWhole(const ColorVertex* v, int32_t n) const {
    // Without a texture a fragment's alpha is its vertices' alpha; when the
    // alpha test turns that away at every vertex, the draw cannot change a
    // pixel, its colour or its depth, wherever it lies.
    for (int32_t i = 0; i < n; ++i)
        if (PassesAlphaTest(State, v[i].Color >> 24)) return false;
    return n > 0;
}

template <class V>
void zDDrawModule::MarkDrawn(Primitive iPrim, const V* v, int32_t n) {
    if (!RenderTargetActive || n <= 0 || RenderTarget <= 0 || size_t(RenderTarget) >= Textures.size()) return;
    TextureEntry& e = Textures[size_t(RenderTarget)];
    if (e.Drawn.empty()) return;
    const int32_t cols = (e.W + DrawnTile - 1) / DrawnTile, rows = (e.H + DrawnTile - 1) / DrawnTile;
    if (e.Drawn.size() < size_t(cols) * size_t(rows)) return;
    double lx0 = 0, ly0 = 0, lx1 = e.W, ly1 = e.H;
    if (Limit.W > 0 && Limit.H > 0) {
        lx0 = std::max(lx0, double(Limit.X));
        ly0 = std::max(ly0, double(Limit.Y));
        lx1 = std::min(lx1, double(Limit.X) + Limit.W);
        ly1 = std::min(ly1, double(Limit.Y) + Limit.H);
    }
    auto mark = [&](double x0, double y0, double x1, double y1) {
        // A pixel more all round than the corners reach, whichever half-pixel
        // convention the vertices follow, and lines and points their width.
        if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1)))
            x0 = y0 = -1e9, x1 = y1 = 1e9;
        x0 = std::max(std::floor(x0) - 1, lx0);
        y0 = std::max(std::floor(y0) - 1, ly0);
        x1 = std::min(std::ceil(x1) + 2, lx1);
        y1 = std::min(std::ceil(y1) + 2, ly1);
        if (!(x1 > x0 && y1 > y0)) return;
        const int32_t c0 = int32_t(x0) / DrawnTile, c1 = (int32_t(x1) - 1) / DrawnTile;
        const int32_t r0 = int32_t(y0) / DrawnTile, r1 = (int32_t(y1) - 1) / DrawnTile;
        for (int32_t r = r0; r <= r1 && r < rows; ++r)
            for (int32_t c = c0; c <= c1 && c < cols; ++c) e.Drawn[size_t(r) * size_t(cols) + size_t(c)] = 1;
    };
    const int32_t per = iPrim == Primitive::LineList ? 2 : iPrim == Primitive::PointList ? 1 : 3;
    const int32_t step = iPrim == Primitive::TriangleStrip ? 1 : per;
    for (int32_t i = 0; i + per <= n; i += step) {
        double x0 = v[i].X, y0 = v[i].Y, x1 = x0, y1 = y0;
        for (int32_t k = 1; k < per; ++k) {
            x0 = std::min(x0, double(v[i + k].X));
            x1 = std::max(x1, double(v[i + k].X));
            y0 = std::min(y0, double(v[i + k].Y));
            y1 = std::max(y1, double(v[i + k].Y));
        }
        mark(x0, y0, x1, y1);
    }
}

void zDDrawModule::Scale(double& sx, double& sy) const {
    if (RenderTargetActive) {
        const TextureEntry& t = Entry(RenderTarget);
        sx = Div(double(t.W), double(ScreenW)) * RenderZoom;
        sy = Div(double(t.H), double(ScreenH)) * RenderZoom;
    } else {
        sx = sy = RenderZoom;
    }
}

void zDDrawModule::SourceRect(int32_t Texture, float& Width, float& Height, bool setSize, float SrcX, float SrcY,
                              float& SrcWidth, float& SrcHeight, float SrcScale, float& U0, float& V0, float& DU,
                              float& DV) const {
    const TextureEntry& e = Entry(Texture);
    if (SrcWidth == 0) SrcWidth = float(e.W);
    if (SrcHeight == 0) SrcHeight = float(e.H);
    if (setSize) {
        if (Width == 0) Width = SrcWidth;
        if (Height == 0) Height = SrcHeight;
    }
    if (SrcScale == 0) Raise(errDivByZero);
    const double w = e.W, h = e.H;
    U0 = F(Div(double(F(double(SrcX) + 0.0001)), w));
    V0 = F(Div(double(F(double(SrcY) + 0.0001)), h));
    DU = F(double(F(Div(double(F(double(SrcWidth) - 0.0002)), w))) / SrcScale);
    DV = F(double(F(Div(double(F(double(SrcHeight) - 0.0002)), h))) / SrcScale);
}

int32_t zDDrawModule::GetPolyBufferIndex(int32_t Texture) {
    CurrentTexture = Texture;
    for (int32_t i = 1; i <= PolyBufferCount; ++i) {
        auto& b = PolyBuffers[size_t(i)];
        if (b.Texture == Texture) {
            b.Capacity = int32_t(b.Vertices.size()) - 1;
            return i;
        }
    }
    PolyBufferCount += 1;
    if (PolyBufferCount > PolyBufferSize) {
        PolyBuffers.resize(size_t(PolyBufferCount) + 1);
        PolyBufferSize = PolyBufferCount;
    }
    auto& b = PolyBuffers[size_t(PolyBufferCount)];
    b.Texture = Texture;
    b.Count = 0;
    return PolyBufferCount;
}

TLVertex* zDDrawModule::QueueVertices(int32_t Texture, int32_t n) {
    int32_t i = GetPolyBufferIndex(Texture);
    if (PolyBuffers[size_t(i)].Count + n > kMaxQueuedVertices) {
        FlushPolyBuffer();
        i = GetPolyBufferIndex(Texture);
    }
    return Grow(PolyBuffers[size_t(i)], n);
}

void zDDrawModule::QueueQuad(int32_t Texture, const float (&pos)[4][2], const float (&uv)[4][2], int32_t Color) {
    TLVertex* v = QueueVertices(Texture, 6);
    static constexpr int corner[6] = {0, 1, 2, 0, 2, 3};
    for (int k = 0; k < 6; ++k) {
        const int c = corner[k];
        v[k] = TLVertex{pos[c][0], pos[c][1], RenderZ, 1.0f, uint32_t(Color), uv[c][0], uv[c][1]};
    }
    BltCount += 2;
}

void zDDrawModule::Blt(int32_t Texture, float X, float Y, ByRef<float> Width, ByRef<float> Height, int32_t SrcX,
                       int32_t SrcY, ByRef<int32_t> SrcWidth, ByRef<int32_t> SrcHeight, int32_t Color,
                       float SrcScale) {
    zCore.CurrentProc = "Blt";
    float sw = float(SrcWidth.get()), sh = float(SrcHeight.get());
    float U0, V0, DU, DV;
    SourceRect(Texture, Width.ref(), Height.ref(), true, float(SrcX), float(SrcY), sw, sh, SrcScale, U0, V0, DU, DV);
    SrcWidth = int32_t(sw);
    SrcHeight = int32_t(sh);
    const float w = Width, h = Height;
    const float pos[4][2] = {{X, Y}, {X + w, Y}, {X + w, Y + h}, {X, Y + h}};
    const float uv[4][2] = {{U0, V0}, {U0 + DU, V0}, {U0 + DU, V0 + DV}, {U0, V0 + DV}};
    QueueQuad(Texture, pos, uv, Color);
}

void zDDrawModule::BltRotate(int32_t Texture, float X, float Y, ByRef<float> Width, ByRef<float> Height,
                             int32_t SrcX, int32_t SrcY, ByRef<int32_t> SrcWidth, ByRef<int32_t> SrcHeight,
                             int32_t Color, float Angle, float CenterX, float CenterY, float SrcScale, uint8_t Flip) {
    zCore.CurrentProc = "BltRotate";
    float sw = float(SrcWidth.get()), sh = float(SrcHeight.get());
    float U0, V0, DU, DV;
    SourceRect(Texture, Width.ref(), Height.ref(), true, float(SrcX), float(SrcY), sw, sh, SrcScale, U0, V0, DU, DV);
    SrcWidth = int32_t(sw);
    SrcHeight = int32_t(sh);
    if (Flip & 4) {
        U0 = U0 + DU;
        DU = -DU;
    }
    if (Flip & 8) {
        V0 = V0 + DV;
        DV = -DV;
    }
    const double S = Quantised(std::sin(double(Angle)), 36000), C = Quantised(std::cos(double(Angle)), 36000);
    const double w = Width, h = Height, cx = CenterX, cy = CenterY;
    auto at = [&](double dx, double dy, float (&p)[2]) {
        p[0] = F(double(X) + cx + std::floor(dx * C - dy * S));
        p[1] = F(double(Y) + cy + std::floor(dy * C + dx * S));
    };
    float pos[4][2];
    at(-cx, -cy, pos[0]);        // top-left
    at(-cx, h - cy, pos[1]);     // bottom-left
    at(w - cx, h - cy, pos[2]);  // bottom-right
    at(w - cx, -cy, pos[3]);     // top-right
    const float uv[4][2] = {{U0, V0}, {U0, V0 + DV}, {U0 + DU, V0 + DV}, {U0 + DU, V0}};
    QueueQuad(Texture, pos, uv, Color);
}

void zDDrawModule::BltDirection(int32_t Texture, float X, float Y, ByRef<float> Width, ByRef<float> Height,
                                int32_t SrcX, int32_t SrcY, ByRef<int32_t> SrcWidth, ByRef<int32_t> SrcHeight,
                                int32_t Color, uint8_t Direction, float SrcScale) {
    zCore.CurrentProc = "BltDirection";
    float sw = float(SrcWidth.get()), sh = float(SrcHeight.get());
    float U0, V0, DU, DV;
    SourceRect(Texture, Width.ref(), Height.ref(), true, float(SrcX), float(SrcY), sw, sh, SrcScale, U0, V0, DU, DV);
    SrcWidth = int32_t(sw);
    SrcHeight = int32_t(sh);
    int32_t d = Direction;
    if (d & 4) {
        U0 = U0 + DU;
        DU = -DU;
        d -= 4;
    }
    if (d & 8) {
        V0 = V0 + DV;
        DV = -DV;
        d -= 8;
    }
    // Only quarter turns remain meaningful; anything else has no corners to give.
    if (d > 3) return;
    const float tex[4][2] = {{U0, V0}, {U0 + DU, V0}, {U0 + DU, V0 + DV}, {U0, V0 + DV}};  // A B C D
    const float w = Width, h = Height;
    const float pos[4][2] = {{X, Y}, {X + w, Y}, {X + w, Y + h}, {X, Y + h}};  // TL TR BR BL
    float uv[4][2];
    for (int k = 0; k < 4; ++k) {
        // Turn d moves texture corner A to screen corner d (clockwise).
        const int from = (k - d + 4) % 4;
        uv[k][0] = tex[from][0];
        uv[k][1] = tex[from][1];
    }
    QueueQuad(Texture, pos, uv, Color);
}

void zDDrawModule::BltEx(int32_t Texture, float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4,
                         float Y4, float SrcX, float SrcY, ByRef<float> SrcWidth, ByRef<float> SrcHeight,
                         int32_t Color, float SrcScale) {
    zCore.CurrentProc = "BltEx";
    float unusedW = 0, unusedH = 0;
    float U0, V0, DU, DV;
    SourceRect(Texture, unusedW, unusedH, false, SrcX, SrcY, SrcWidth.ref(), SrcHeight.ref(), SrcScale, U0, V0, DU,
               DV);
    const float pos[4][2] = {{X1, Y1}, {X2, Y2}, {X3, Y3}, {X4, Y4}};
    const float uv[4][2] = {{U0, V0}, {U0 + DU, V0}, {U0 + DU, V0 + DV}, {U0, V0 + DV}};
    QueueQuad(Texture, pos, uv, Color);
}

void zDDrawModule::BltRect(int32_t Texture, float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4,
                           float Y4, int32_t Color, float U, float V, float UWidth, float VHeight) {
    zCore.CurrentProc = "BltRect";
    Entry(Texture);  // a bad handle fails here, not at the flush
    const float pos[4][2] = {{X1, Y1}, {X2, Y2}, {X3, Y3}, {X4, Y4}};
    const float uv[4][2] = {{U, V}, {U + UWidth, V}, {U + UWidth, V + VHeight}, {U, V + VHeight}};
    QueueQuad(Texture, pos, uv, Color);
}

void zDDrawModule::BltPolygon(int32_t Texture, float X1, float Y1, float X2, float Y2, float X3, float Y3,
                              int32_t Color, float U1, float V1, float U2, float V2, float U3, float V3) {
    zCore.CurrentProc = "BltPolygon";
    Entry(Texture);
    TLVertex* v = QueueVertices(Texture, 3);
    const uint32_t c = uint32_t(Color);
    v[0] = TLVertex{X1, Y1, RenderZ, 1.0f, c, U1, V1};
    v[1] = TLVertex{X2, Y2, RenderZ, 1.0f, c, U2, V2};
    v[2] = TLVertex{X3, Y3, RenderZ, 1.0f, c, U3, V3};
    BltCount += 1;
}

void zDDrawModule::BltLine(float X1, float Y1, float X2, float Y2, int32_t Color1, int32_t Color2) {
    zCore.CurrentProc = "BltLine";
    uint32_t c1 = uint32_t(Color1), c2 = uint32_t(Color2);
    if (GlobalAlpha > 0) {
        c1 = WithAlpha(Color1, GlobalAlpha);
        c2 = Color2 != Color1 ? WithAlpha(Color2, GlobalAlpha) : c1;
    }
    if (LineBuffer.Count + 2 > kMaxQueuedVertices) FlushLineBuffer();
    ColorVertex* v = Grow(LineBuffer, 2);
    v[0] = ColorVertex{X1, Y1, RenderZ, 1.0f, c1};
    v[1] = ColorVertex{X2, Y2, RenderZ, 1.0f, c2};
    LineCount += 1;
}

void zDDrawModule::BltPoint(float X, float Y, int32_t Color) {
    zCore.CurrentProc = "BltPoint";
    if (PointBuffer.Count + 1 > kMaxQueuedVertices) FlushPointBuffer();
    ColorVertex* v = Grow(PointBuffer, 1);
    v[0] = ColorVertex{X, Y, RenderZ, 1.0f, uint32_t(Color)};
    PointCount += 1;
}

void zDDrawModule::BltNow(int32_t Texture, float X, float Y, ByRef<float> Width, ByRef<float> Height, int32_t SrcX,
                          int32_t SrcY, ByRef<int32_t> SrcWidth, ByRef<int32_t> SrcHeight, int32_t Color,
                          float Angle, float CenterX, float CenterY, float SrcScale) {
    Trap("BltNow", 0, [&] {
        float sw = float(SrcWidth.get()), sh = float(SrcHeight.get());
        float U0, V0, DU, DV;
        SourceRect(Texture, Width.ref(), Height.ref(), true, float(SrcX), float(SrcY), sw, sh, SrcScale, U0, V0, DU,
                   DV);
        SrcWidth = int32_t(sw);
        SrcHeight = int32_t(sh);
        RenderBackend& dev = Dev();
        double sx, sy;
        Scale(sx, sy);
        const double S = Quantised(std::sin(double(Angle)), 360), C = Quantised(std::cos(double(Angle)), 360);
        const double w = Width, h = Height, cx = CenterX, cy = CenterY;
        const uint32_t c = uint32_t(Color);
        auto at = [&](double dx, double dy, float u, float v) {
            const double px = double(X) + cx + std::floor(dx * C - dy * S);
            const double py = double(Y) + cy + std::floor(dy * C + dx * S);
            return TLVertex{F(px * sx), F(py * sy), RenderZ, 1.0f, c, u, v};
        };
        const TLVertex strip[4] = {at(-cx, -cy, U0, V0), at(-cx, h - cy, U0, V0 + DV), at(w - cx, -cy, U0 + DU, V0),
                                   at(w - cx, h - cy, U0 + DU, V0 + DV)};
        MarkDrawn(Primitive::TriangleStrip, strip, 4);
        dev.DrawTextured(State, Primitive::TriangleStrip, strip, 4, TextureObject(Texture));
        BltCount += 2;
        return 0;
    });
}

void zDDrawModule::BltSurface(float X, float Y, float Width, float Height, int32_t Color) {
    zCore.CurrentProc = "BltSurface";
    BltSurfaceEdges(X, Y, double(X) + Width, double(Y) + Height, Color);
}

float zDDrawModule::TargetX(double X) const {
    double sx, sy;
    Scale(sx, sy);
    return F(X * sx);
}

void zDDrawModule::BltSurfaceEdges(double X1, double Y1, double X2, double Y2, int32_t Color) {
    if (Color == 0) return;
    const uint32_t c = GlobalAlpha > 0 ? WithAlpha(Color, GlobalAlpha) : uint32_t(Color);
    RenderBackend& dev = Dev();
    double sx, sy;
    Scale(sx, sy);
    const float x1 = F(X1 * sx), x2 = F(X2 * sx);
    const float y1 = F(Y1 * sy), y2 = F(Y2 * sy);
    const ColorVertex strip[4] = {{x1, y1, RenderZ, 1.0f, c},
                                  {x2, y1, RenderZ, 1.0f, c},
                                  {x1, y2, RenderZ, 1.0f, c},
                                  {x2, y2, RenderZ, 1.0f, c}};
    if (!DiscardedWhole(strip, 4)) {
        MarkDrawn(Primitive::TriangleStrip, strip, 4);
        dev.DrawColored(State, Primitive::TriangleStrip, strip, 4);
    }
    BltCount += 2;
}

void zDDrawModule::BltPolygonFlat(float X1, float Y1, float X2, float Y2, float X3, float Y3, int32_t Color) {
    zCore.CurrentProc = "BltPolygonFlat";
    if (Color == 0) return;
    const uint32_t c = GlobalAlpha > 0 ? WithAlpha(Color, GlobalAlpha) : uint32_t(Color);
    RenderBackend& dev = Dev();
    double sx, sy;
    Scale(sx, sy);
    const ColorVertex tri[3] = {{F(X1 * sx), F(Y1 * sy), RenderZ, 1.0f, c},
                                {F(X2 * sx), F(Y2 * sy), RenderZ, 1.0f, c},
                                {F(X3 * sx), F(Y3 * sy), RenderZ, 1.0f, c}};
    if (!DiscardedWhole(tri, 3)) {
        MarkDrawn(Primitive::TriangleList, tri, 3);
        dev.DrawColored(State, Primitive::TriangleList, tri, 3);
    }
    BltCount += 1;
}

void zDDrawModule::BltEllipse(float X, float Y, float RadiusX, float RadiusY, int32_t LineColor, int32_t FillColor,
                              float Quality) {
    const float pi = 3.141593f, twoPi = 6.283186f;
    double n = RoundHalfEven(2.0 * double(RadiusX) * double(pi) / 4.0 * double(Quality));
    if (std::isnan(n)) Raise(errOverflow);
    // A radius or quality from a script can be anything; the outline gains
    // nothing visible past a few thousand segments.
    if (n < 5) n = 5;
    if (n > MaxSegments) n = MaxSegments;
    const int32_t N = int32_t(n);
    auto point = [&](int32_t i, float& px, float& py) {
        const double a = double(twoPi) * double(i) / double(N);
        px = F(double(X) + double(RadiusX) * std::cos(a));
        py = F(double(Y) + double(RadiusY) * std::sin(a));
    };
    if (FillColor != 0) {
        for (int32_t i = 1; i <= N; ++i) {
            float x1, y1, x2, y2;
            point(i - 1, x1, y1);
            point(i, x2, y2);
            BltPolygonFlat(X, Y, x1, y1, x2, y2, FillColor);
        }
    }
    if (LineColor != 0) {
        for (int32_t i = 1; i <= N; ++i) {
            float x1, y1, x2, y2;
            point(i - 1, x1, y1);
            point(i, x2, y2);
            BltLine(x1, y1, x2, y2, LineColor, LineColor);
        }
    }
}

void zDDrawModule::BltCircle(float X, float Y, float Radius, int32_t LineColor, int32_t FillColor, float Quality) {
    BltEllipse(X, Y, Radius, Radius, LineColor, FillColor, Quality);
}

void zDDrawModule::FlushPolyBuffer() {
    if (PolyBufferCount == 0) return;
    // Whatever happens, a flush empties the queue: vertices that were already
    // scaled must never be scaled a second time.
    struct Empty {
        zDDrawModule& d;
        ~Empty() {
            for (int32_t i = 1; i <= d.PolyBufferCount; ++i) d.PolyBuffers[size_t(i)].Count = 0;
            d.PolyBufferCount = 0;
        }
    } empty{*this};
    RenderBackend& dev = Dev();
    double sx, sy;
    Scale(sx, sy);
    for (int32_t i = 1; i <= PolyBufferCount; ++i) {
        auto& b = PolyBuffers[size_t(i)];
        TLVertex* v = b.Vertices.data();
        for (int32_t k = 0; k < b.Count; ++k) {
            v[k].X = F(double(v[k].X) * sx - 0.5);
            v[k].Y = F(double(v[k].Y) * sy - 0.5);
            v[k].Z = F(double(v[k].Z) * 0.999999);
        }
    }
    for (int32_t i = 1; i <= PolyBufferCount; ++i) {
        auto& b = PolyBuffers[size_t(i)];
        if (b.Texture > 0) CurrentTexture = b.Texture;
        if (b.Count > 0) {
            MarkDrawn(Primitive::TriangleList, b.Vertices.data(), b.Count);
            dev.DrawTextured(State, Primitive::TriangleList, b.Vertices.data(), b.Count, TextureObject(b.Texture));
        }
        b.Count = 0;
    }
}

void zDDrawModule::FlushColored(PolyBuffer<ColorVertex>& b, Primitive iPrim) {
    RenderBackend& dev = Dev();
    double sx, sy;
    Scale(sx, sy);
    struct Empty {
        PolyBuffer<ColorVertex>& b;
        ~Empty() { b.Count = 0; }
    } empty{b};
    ColorVertex* v = b.Vertices.data();
    for (int32_t k = 0; k < b.Count; ++k) {
        v[k].X = F(double(v[k].X) * sx - 0.5);
        v[k].Y = F(double(v[k].Y) * sy - 0.5);
        v[k].Z = F(double(v[k].Z) * 0.999999);
    }
    if (DiscardedWhole(v, b.Count)) return;
    MarkDrawn(iPrim, v, b.Count);
    dev.DrawColored(State, iPrim, v, b.Count);
}

void zDDrawModule::FlushLineBuffer() {
    if (LineBuffer.Count == 0) return;
    FlushColored(LineBuffer, Primitive::LineList);
}

void zDDrawModule::FlushPointBuffer() {
    if (PointBuffer.Count == 0) return;
    FlushColored(PointBuffer, Primitive::PointList);
}

void zDDrawModule::FlushAll() {
    FlushPolyBuffer();
    FlushLineBuffer();
    FlushPointBuffer();
}

}  // namespace zun
