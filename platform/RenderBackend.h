// The drawing surface under the graphics device: textures, square render
// targets, one shared depth buffer, and pre-transformed 2-D primitives drawn
// under a state record that mirrors the device's own render and texture-stage
// states. Two implementations: OpenGL 3.3 (a window's context, or an offscreen
// EGL context when there is no display) and a recorder for logic tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zun {

class Window;

// Vertices are in pixels of the current target with pixel centres on whole
// numbers (the device subtracts 0.5 itself where it wants texel alignment);
// Z runs from 0 (near) to 1 (far); RHW is always 1. Color is 32-bit ARGB,
// alpha in the top byte. The layouts are the device's own vertex records, so
// its batch arrays can be handed over as they are.
struct TLVertex {
    float X, Y, Z, RHW;
    uint32_t Color;
    float TU, TV;
};
struct ColorVertex {
    float X, Y, Z, RHW;
    uint32_t Color;
};
static_assert(sizeof(TLVertex) == 28, "textured vertex record is 28 bytes");
static_assert(sizeof(ColorVertex) == 20, "coloured vertex record is 20 bytes");

enum class Primitive : uint8_t { TriangleList, TriangleStrip, LineList, PointList };

// The vertex count cut down to whole primitives (what a draw really uses).
inline int32_t WholePrimitiveCount(Primitive p, int32_t count) {
    if (count < 0) return 0;
    switch (p) {
    case Primitive::TriangleList: return count - count % 3;
    case Primitive::TriangleStrip: return count < 3 ? 0 : count;
    case Primitive::LineList: return count - count % 2;
    case Primitive::PointList: return count;
    }
    return 0;
}

// State numbers exactly as the device numbers them.
namespace Blend {
enum : int32_t {
    Zero = 1, One = 2, SrcColor = 3, InvSrcColor = 4, SrcAlpha = 5, InvSrcAlpha = 6,
    DestAlpha = 7, InvDestAlpha = 8, DestColor = 9, InvDestColor = 10, SrcAlphaSat = 11
};
}
namespace BlendOp {
enum : int32_t { Add = 1, Subtract = 2, RevSubtract = 3, Min = 4, Max = 5 };
}
namespace Cmp {
enum : int32_t { Never = 1, Less = 2, Equal = 3, LessEqual = 4, Greater = 5, NotEqual = 6, GreaterEqual = 7, Always = 8 };
}
namespace TexOp {
enum : int32_t { Disable = 1, SelectArg1 = 2, SelectArg2 = 3, Modulate = 4, DotProduct3 = 24 };
}
namespace TexArg {
// Diffuse..TFactor select the source; Complement (1 - x) and AlphaReplicate
// (x.aaaa) may be or-ed in.
enum : int32_t { Diffuse = 0, Current = 1, Texture = 2, TFactor = 3, Complement = 0x10, AlphaReplicate = 0x20 };
}
namespace TexFilter {
enum : int32_t { None = 0, Point = 1, Linear = 2, Anisotropic = 3 };
}

struct TextureStage {
    int32_t ColorOp, ColorArg1, ColorArg2;
    int32_t AlphaOp, AlphaArg1, AlphaArg2;
    bool operator==(const TextureStage&) const = default;
};

// Everything that decides how a primitive turns into pixels. The defaults are
// the device's start-up values. A stage whose colour operation is Disable ends
// the chain; a stage without a texture bound acts as disabled, so untextured
// drawing gives the vertex colour and alpha. DotProduct3 is the signed
// 4*sum((a-0.5)*(b-0.5)), saturated and replicated into all four channels
// (alpha too). The alpha test compares the 8-bit alpha with AlphaRef. The
// same blend factors apply to colour and alpha. The depth test, when on,
// passes nearer-or-equal.
struct DrawState {
    bool AlphaBlendEnable = false;
    int32_t BlendOp = BlendOp::Add;
    int32_t SrcBlend = Blend::One;
    int32_t DestBlend = Blend::Zero;
    bool AlphaTestEnable = false;
    int32_t AlphaFunc = Cmp::Always;
    int32_t AlphaRef = 0;  // 0..255
    TextureStage Stages[3] = {
        {TexOp::Modulate, TexArg::Texture, TexArg::Current, TexOp::SelectArg1, TexArg::Texture, TexArg::Current},
        {TexOp::Disable, TexArg::Texture, TexArg::Current, TexOp::Disable, TexArg::Texture, TexArg::Current},
        {TexOp::Disable, TexArg::Texture, TexArg::Current, TexOp::Disable, TexArg::Texture, TexArg::Current},
    };
    uint32_t TextureFactor = 0xFFFFFFFFu;  // ARGB
    int32_t Filter = TexFilter::Point;     // minification and magnification alike
    bool ZEnable = true;
    bool ZWriteEnable = true;
    bool operator==(const DrawState&) const = default;
};

using TextureId = uint32_t;  // 0 = no texture / the back buffer

enum class DeviceStatus : uint8_t { Ok, Lost, NotReset };

// The largest render-target side; a larger one is refused like any failed creation.
inline constexpr int32_t kMaxTargetSide = 4096;
// The largest texture side accepted from an image.
inline constexpr int32_t kMaxTextureSide = 8192;

class RenderBackend {
public:
    virtual ~RenderBackend() = default;
    virtual const char* Name() const = 0;

    // Textures: pixels are R, G, B, A bytes, rows top to bottom; null pixels
    // give transparent black. Returns 0 on failure (bad size, no memory).
    virtual TextureId CreateTexture(int32_t w, int32_t h, const uint8_t* rgba) = 0;
    // Replaces the rectangle (x, y, w, h) of a texture; false when out of bounds.
    virtual bool UpdateTexture(TextureId tex, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* rgba) = 0;
    // Frees a texture or render target; ids are not reused. Unknown ids are ignored.
    virtual void DeleteTexture(TextureId tex) = 0;
    virtual bool TextureSize(TextureId tex, int32_t& w, int32_t& h) const = 0;

    // A square render target (a texture that can also be drawn with). Its
    // contents persist between frames until cleared. 0 on failure, which
    // includes side < 1 or side > kMaxTargetSide.
    virtual TextureId CreateRenderTarget(int32_t side) = 0;
    // The same without the shared depth buffer, for a target drawn without
    // depth: a large one would otherwise grow the depth buffer to its size.
    virtual TextureId CreateRenderTargetWithoutDepth(int32_t side) { return CreateRenderTarget(side); }
    // 0 selects the back buffer. False (and no change) for an id that is not a
    // render target. The shared depth buffer goes with every target.
    virtual bool SetRenderTarget(TextureId target) = 0;
    virtual TextureId CurrentTarget() const = 0;
    virtual void CurrentTargetSize(int32_t& w, int32_t& h) const = 0;

    // Clears the whole current target: colour (ARGB) and/or depth.
    virtual void Clear(bool color, uint32_t argb, bool depth, float z = 1.0f) = 0;

    // One draw call. `texture` 0 (or an unknown id) draws untextured. Counts
    // that do not fill whole primitives are cut down to whole ones.
    virtual void DrawTextured(const DrawState& state, Primitive prim, const TLVertex* v, int32_t count,
                              TextureId texture) = 0;
    virtual void DrawColored(const DrawState& state, Primitive prim, const ColorVertex* v, int32_t count) = 0;

    // Reads a rectangle of the current target as RGBA bytes, rows top to
    // bottom. The rectangle must lie inside the target; false otherwise.
    virtual bool ReadPixels(int32_t x, int32_t y, int32_t w, int32_t h, std::vector<uint8_t>& rgba) = 0;

    // Shows the back buffer's top-left srcW x srcH pixels stretched over the
    // whole window. Without a window it does nothing and the frame stays readable.
    virtual void Present(int32_t srcW, int32_t srcH) = 0;

    // Limits drawing into the current target to the rectangle (x, y, w, h),
    // for the caller knows nothing outside it would change or be seen. The
    // limit ends with the next SetRenderTarget; clears are never limited. An
    // empty rectangle lifts it.
    virtual void SetDrawArea(int32_t x, int32_t y, int32_t w, int32_t h) {
        (void)x;
        (void)y;
        (void)w;
        (void)h;
    }

    virtual int32_t BackBufferWidth() const = 0;
    virtual int32_t BackBufferHeight() const = 0;

    // Whether frames can be drawn. A lost device is brought back by Reset, after
    // which texture contents must be uploaded again (ids stay valid).
    virtual DeviceStatus Status() = 0;
    virtual bool Reset() = 0;
};

struct GlBackendConfig {
    Window* window = nullptr;        // a window with a GL-capable surface; null (or headless) = offscreen
    int32_t backBufferWidth = 1024;  // the back buffer is a texture of this size, presented by stretching
    int32_t backBufferHeight = 768;
};

// The OpenGL 3.3 backend. Returns null and fills `error` when no context can be
// had (no display and no EGL surfaceless support, missing entry points...).
std::unique_ptr<RenderBackend> CreateGlBackend(const GlBackendConfig& config, std::string* error = nullptr);

}  // namespace zun
