// Blend modes, transparency, texture filter, colours and the two full-screen
// overlays of zDDraw.
#include <cmath>

#include "core/zCore.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"

namespace zun {

namespace {

uint32_t ComponentByte(float c) {
    const double v = std::floor(double(c) * 255.0 + 0.5);
    if (!(v > 0)) return 0;  // also a component that is not a number
    if (v > 255) return 255;
    return uint32_t(v);
}

float Clamp01(float v) { return zMath::Clamp(v, 0.0f, 1.0f); }

}  // namespace

int32_t ColorFromComponents(float Red, float Green, float Blue, float Alpha) {
    return int32_t((ComponentByte(Alpha) << 24) | (ComponentByte(Red) << 16) | (ComponentByte(Green) << 8) |
                   ComponentByte(Blue));
}

int32_t zDDrawModule::GetColorRGB(float Red, float Green, float Blue) {
    return ColorFromComponents(Red, Green, Blue, 1.0f);
}

int32_t zDDrawModule::GetColorRGBA(ByRef<float> Red, ByRef<float> Green, ByRef<float> Blue, ByRef<float> Alpha) {
    Red = Clamp01(Red);
    Green = Clamp01(Green);
    Blue = Clamp01(Blue);
    Alpha = Clamp01(Alpha);
    const float a = Alpha;
    return ColorFromComponents(Red * a, Green * a, Blue * a, 1.0f);
}

int32_t zDDrawModule::GetGrayColor(ByRef<float> Value) {
    Value = Clamp01(Value);
    return ColorFromComponents(Value, Value, Value, 1.0f);
}

void zDDrawModule::SetAlphaMode(int32_t Mode) {
    zCore.CurrentProc = "SetAlphaMode";
    FlushAll();
    Dev();
    ApplyBlendMode(State, Mode, uint32_t(GreyscaleColor));
    GlobalAlpha = 0;
}

void ApplyBlendMode(DrawState& s, int32_t Mode, uint32_t GreyscaleFactor) {
    // The states every mode starts from: texture times vertex colour, the
    // texture's alpha, pixels of alpha 0 discarded, blending on with whatever
    // factors the last mode left.
    s.AlphaTestEnable = true;
    s.AlphaBlendEnable = true;
    s.Stages[0].ColorOp = TexOp::Modulate;
    s.Stages[0].ColorArg1 = TexArg::Texture;
    s.Stages[0].ColorArg2 = TexArg::Current;
    s.Stages[1].ColorOp = TexOp::Disable;
    s.Stages[2].ColorOp = TexOp::Disable;
    s.Stages[0].AlphaOp = TexOp::SelectArg1;
    s.Stages[0].AlphaArg1 = TexArg::Texture;
    s.Stages[0].AlphaArg2 = TexArg::Current;
    s.Stages[1].AlphaOp = TexOp::Disable;
    s.Stages[2].AlphaOp = TexOp::Disable;
    s.TextureFactor = uint32_t(ColorFromComponents(0, 0, 0, 1));
    s.AlphaRef = 0;
    s.AlphaFunc = Cmp::Greater;

    auto blend = [&](int32_t op, int32_t src, int32_t dst) {
        s.BlendOp = op;
        s.SrcBlend = src;
        s.DestBlend = dst;
    };
    switch (Mode) {
        case 0:
            s.AlphaTestEnable = false;
            s.AlphaBlendEnable = false;
            break;
        case 1:
            s.AlphaBlendEnable = false;
            break;
        case 2:
            s.Stages[0].AlphaOp = TexOp::Modulate;
            s.Stages[0].AlphaArg2 = TexArg::TFactor;
            blend(BlendOp::Add, Blend::SrcAlpha, Blend::InvSrcAlpha);
            break;
        case 3: blend(BlendOp::Add, Blend::SrcColor, Blend::InvSrcColor); break;
        case 4: blend(BlendOp::Add, Blend::InvSrcColor, Blend::SrcColor); break;
        case 5: blend(BlendOp::Add, Blend::DestColor, Blend::InvDestColor); break;
        case 6:
            s.Stages[0].AlphaOp = TexOp::Modulate;
            s.Stages[0].AlphaArg1 = TexArg::Texture;
            s.Stages[0].AlphaArg2 = TexArg::Current;
            blend(BlendOp::Add, Blend::SrcAlpha, Blend::InvSrcAlpha);
            break;
        case 10: blend(BlendOp::Add, Blend::One, Blend::One); break;
        case 11: blend(BlendOp::Add, Blend::One, Blend::InvSrcColor); break;
        case 12: blend(BlendOp::Add, Blend::SrcColor, Blend::One); break;
        case 13: blend(BlendOp::RevSubtract, Blend::DestColor, Blend::One); break;
        case 14: blend(BlendOp::RevSubtract, Blend::Zero, Blend::SrcColor); break;
        case 20: blend(BlendOp::RevSubtract, Blend::One, Blend::One); break;
        case 21: blend(BlendOp::Subtract, Blend::One, Blend::One); break;
        case 30: blend(BlendOp::Min, Blend::One, Blend::One); break;
        case 31: blend(BlendOp::Max, Blend::One, Blend::One); break;
        case 127:
            s.Stages[0].ColorOp = TexOp::SelectArg1;
            s.Stages[0].ColorArg1 = TexArg::Diffuse;
            s.AlphaBlendEnable = false;
            break;
        case 128:
            s.TextureFactor = GreyscaleFactor;
            s.Stages[0].ColorOp = TexOp::DotProduct3;
            s.Stages[0].ColorArg1 = TexArg::Texture;
            s.Stages[0].ColorArg2 = TexArg::TFactor;
            s.Stages[1].ColorOp = TexOp::SelectArg1;
            s.Stages[1].ColorArg1 = TexArg::Current | TexArg::Complement;
            s.AlphaRef = 255;
            s.AlphaFunc = Cmp::Less;
            s.AlphaBlendEnable = false;
            break;
        default:
            break;
    }
}

void zDDrawModule::SetAlphaValue(ByRef<float> Value, float Steps) {
    zCore.CurrentProc = "SetAlphaValue";
    if (Value > 1.0f) Value = 1.0f;
    if (Value < 0.0f) Value = 0.0f;
    // Steps of 0 or less would divide by nothing: the value is taken as it is.
    float q = Value;
    if (Steps > 0) q = float(std::floor(double(Value.get() * Steps)) / double(Steps));
    if (q == GlobalAlpha) return;
    FlushAll();
    Dev();
    State.TextureFactor = uint32_t(ColorFromComponents(0, 0, 0, 1.0f - q));
    GlobalAlpha = q;
}

void zDDrawModule::SetTextureFilter(int32_t Filter) {
    zCore.CurrentProc = "SetTextureFilter";
    FlushAll();
    // "None" is no filter a texture can be sampled with: anything unknown is point.
    switch (Filter) {
        case 1: State.Filter = TexFilter::Linear; break;
        case 2: State.Filter = TexFilter::Anisotropic; break;
        default: State.Filter = TexFilter::Point; break;
    }
}

void zDDrawModule::SetDepthTest(bool On) {
    if (State.ZEnable == On) return;
    // What is queued keeps the depth state it was queued under.
    FlushAll();
    State.ZEnable = On;
}

void zDDrawModule::ApplyGamma(ByRef<float> Gamma) {
    zCore.CurrentProc = "ApplyGamma";
    if (Gamma > 0) {
        if (Gamma > 1.0f) Gamma = 1.0f;
        SetAlphaMode(10);
        zCore.CurrentProc = "ApplyGamma";
        BltSurface(0, 0, float(ScreenW), float(ScreenH), GetGrayColor(Gamma.get()));
    } else if (Gamma < 0) {
        if (Gamma < -1.0f) Gamma = -1.0f;
        SetAlphaMode(14);
        zCore.CurrentProc = "ApplyGamma";
        BltSurface(0, 0, float(ScreenW), float(ScreenH), GetGrayColor(-Gamma.get()));
    }
}

void zDDrawModule::ApplyTint(float Red, float Green, float Blue) {
    zCore.CurrentProc = "ApplyTint";
    SetAlphaMode(10);
    zCore.CurrentProc = "ApplyTint";
    BltSurface(0, 0, float(ScreenW), float(ScreenH), GetColorRGB(Clamp01(Red), Clamp01(Green), Clamp01(Blue)));
}

}  // namespace zun
