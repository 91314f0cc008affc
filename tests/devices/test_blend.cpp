// Blend modes, transparency, filters, colours and overlays: the states the
// device hands to the drawing surface, and which changes flush the batches.
#include <cmath>

#include "DeviceTestSupport.h"

namespace zun::test {
namespace {

constexpr int32_t kWhite = int32_t(0xFFFFFFFFu);

class BlendModes : public RecordingDevice {
protected:
    int32_t tex = 0;
    void SetUp() override {
        RecordingDevice::SetUp();
        tex = AddTexture(16, 16);
        rec->ClearLog();
    }
    void Queue() { zDDraw.Blt(tex, 0, 0, 16, 16, 0, 0, 0, 0, kWhite, 1); }
};

TEST_F(BlendModes, EveryStateChangeDrawsTheQueueUnderTheOldState) {
    zDDraw.SetAlphaMode(10);
    Queue();
    zDDraw.SetAlphaMode(2);
    ASSERT_EQ(rec->Draws.size(), 1u);
    EXPECT_EQ(rec->Draws[0].State.SrcBlend, Blend::One);

    Queue();
    float a = 0.25f;
    zDDraw.SetAlphaValue(a, 100);
    ASSERT_EQ(rec->Draws.size(), 2u);
    EXPECT_EQ(rec->Draws[1].State.TextureFactor >> 24, 255u);  // drawn opaque, as queued

    Queue();
    zDDraw.SetTextureFilter(1);
    ASSERT_EQ(rec->Draws.size(), 3u);
    EXPECT_EQ(rec->Draws[2].State.Filter, TexFilter::Point);
    EXPECT_EQ(rec->Draws[2].State.TextureFactor >> 24, 191u);  // 1 - 0.25
    EXPECT_EQ(zDDraw.State.Filter, TexFilter::Linear);

    Queue();
    zDDraw.BltLine(0, 0, 1, 1, kWhite, kWhite);
    zDDraw.BltPoint(0, 0, kWhite);
    zDDraw.SetAlphaMode(0);
    ASSERT_EQ(rec->Draws.size(), 6u);
    EXPECT_EQ(rec->Draws[3].Prim, Primitive::TriangleList);
    EXPECT_EQ(rec->Draws[4].Prim, Primitive::LineList);
    EXPECT_EQ(rec->Draws[5].Prim, Primitive::PointList);
}

TEST_F(BlendModes, TransparencyIsQuantisedAndAnUnchangedStepDoesNotFlush) {
    float v = 0.505f;
    zDDraw.SetAlphaValue(v, 100);
    EXPECT_EQ(zDDraw.GlobalAlpha, 0.5f);
    EXPECT_EQ(zDDraw.State.TextureFactor, 0x80000000u);
    Queue();
    float w = 0.509f;
    zDDraw.SetAlphaValue(w, 100);
    EXPECT_TRUE(rec->Draws.empty());
    EXPECT_EQ(zDDraw.PolyBuffers[1].Count, 6);

    float high = 1.5f, low = -3;
    zDDraw.SetAlphaValue(high, 100);
    EXPECT_EQ(high, 1.0f);
    EXPECT_EQ(zDDraw.State.TextureFactor, 0x00000000u);
    zDDraw.SetAlphaValue(low, 100);
    EXPECT_EQ(low, 0.0f);

    // Steps of nothing cannot quantise: the value is taken as it is.
    float fine = 0.123f;
    zDDraw.SetAlphaValue(fine, 0);
    EXPECT_EQ(zDDraw.GlobalAlpha, 0.123f);
    zDDraw.SetAlphaValue(fine, -5);
    EXPECT_EQ(zDDraw.GlobalAlpha, 0.123f);

    zDDraw.SetAlphaMode(1);
    EXPECT_EQ(zDDraw.GlobalAlpha, 0.0f);
}

TEST_F(BlendModes, ModesSetTheirStatesOverTheCommonOnes) {
    const DrawState& s = zDDraw.State;
    zDDraw.SetAlphaMode(0);
    EXPECT_FALSE(s.AlphaTestEnable);
    EXPECT_FALSE(s.AlphaBlendEnable);

    zDDraw.SetAlphaMode(2);
    EXPECT_TRUE(s.AlphaTestEnable);
    EXPECT_EQ(s.AlphaFunc, Cmp::Greater);
    EXPECT_EQ(s.AlphaRef, 0);
    EXPECT_EQ(s.Stages[0].AlphaOp, TexOp::Modulate);
    EXPECT_EQ(s.Stages[0].AlphaArg2, TexArg::TFactor);
    EXPECT_EQ(s.BlendOp, BlendOp::Add);
    EXPECT_EQ(s.SrcBlend, Blend::SrcAlpha);
    EXPECT_EQ(s.DestBlend, Blend::InvSrcAlpha);
    EXPECT_EQ(s.TextureFactor, 0xFF000000u);

    zDDraw.SetAlphaMode(6);
    EXPECT_EQ(s.Stages[0].AlphaArg2, TexArg::Current);

    zDDraw.SetAlphaMode(13);
    EXPECT_EQ(s.BlendOp, BlendOp::RevSubtract);
    EXPECT_EQ(s.SrcBlend, Blend::DestColor);

    zDDraw.SetAlphaMode(127);
    EXPECT_EQ(s.Stages[0].ColorOp, TexOp::SelectArg1);
    EXPECT_EQ(s.Stages[0].ColorArg1, TexArg::Diffuse);
    EXPECT_FALSE(s.AlphaBlendEnable);

    zDDraw.SetAlphaMode(128);
    EXPECT_EQ(s.Stages[0].ColorOp, TexOp::DotProduct3);
    EXPECT_EQ(s.Stages[0].ColorArg2, TexArg::TFactor);
    EXPECT_EQ(s.Stages[1].ColorOp, TexOp::SelectArg1);
    EXPECT_EQ(s.Stages[1].ColorArg1, TexArg::Current | TexArg::Complement);
    EXPECT_EQ(s.TextureFactor, uint32_t(zDDraw.GreyscaleColor));
    EXPECT_EQ(s.AlphaFunc, Cmp::Less);
    EXPECT_EQ(s.AlphaRef, 255);
    EXPECT_FALSE(s.AlphaBlendEnable);

    // The next mode starts over: the greyscale stages are switched off again.
    zDDraw.SetAlphaMode(1);
    EXPECT_EQ(s.Stages[0].ColorOp, TexOp::Modulate);
    EXPECT_EQ(s.Stages[0].ColorArg1, TexArg::Texture);
    EXPECT_EQ(s.Stages[0].ColorArg2, TexArg::Current);
    EXPECT_EQ(s.Stages[1].ColorOp, TexOp::Disable);
    EXPECT_EQ(s.TextureFactor, 0xFF000000u);
}

TEST_F(BlendModes, AnUnknownModeKeepsTheCommonStatesAndThePreviousFactors) {
    zDDraw.SetAlphaMode(10);
    zDDraw.SetAlphaMode(7);
    const DrawState& s = zDDraw.State;
    EXPECT_TRUE(s.AlphaBlendEnable);
    EXPECT_TRUE(s.AlphaTestEnable);
    EXPECT_EQ(s.BlendOp, BlendOp::Add);
    EXPECT_EQ(s.SrcBlend, Blend::One);
    EXPECT_EQ(s.DestBlend, Blend::One);
    EXPECT_EQ(s.Stages[0].ColorOp, TexOp::Modulate);
    EXPECT_EQ(s.Stages[0].AlphaOp, TexOp::SelectArg1);
    // Modes that only switch blending off keep the factors for later.
    zDDraw.SetAlphaMode(31);
    zDDraw.SetAlphaMode(0);
    zDDraw.SetAlphaMode(99);
    EXPECT_EQ(s.BlendOp, BlendOp::Max);
}

TEST_F(BlendModes, FilterNumbers) {
    zDDraw.SetTextureFilter(2);
    EXPECT_EQ(zDDraw.State.Filter, TexFilter::Anisotropic);
    zDDraw.SetTextureFilter(7);  // no such filter: point
    EXPECT_EQ(zDDraw.State.Filter, TexFilter::Point);
    zDDraw.SetTextureFilter(-1);
    EXPECT_EQ(zDDraw.State.Filter, TexFilter::Point);
}

TEST(Colors, ComponentsBecomeBytesRoundedAndHeld) {
    EXPECT_EQ(uint32_t(zDDrawModule::GetColorRGB(0, 0, 0)), 0xFF000000u);
    EXPECT_EQ(uint32_t(zDDrawModule::GetColorRGB(1, 1, 1)), 0xFFFFFFFFu);
    EXPECT_EQ(uint32_t(zDDrawModule::GetColorRGB(0, 0.5f, 1)), 0xFF0080FFu);
    EXPECT_EQ(uint32_t(zDDrawModule::GetColorRGB(2, -1, NAN)), 0xFFFF0000u);
    EXPECT_EQ(uint32_t(ColorFromComponents(0, 0, 0, 0.5f)), 0x80000000u);
}

TEST(Colors, RgbaIsPremultipliedAndOpaque) {
    EXPECT_EQ(zDDrawModule::GetColorRGBA(1, 0.5f, 0, 0.5f), zDDrawModule::GetColorRGB(0.5f, 0.25f, 0));
    float r = 2, g = -1, b = 0.5f, a = 7;
    EXPECT_EQ(uint32_t(zDDrawModule::GetColorRGBA(r, g, b, a)), 0xFFFF0080u);
    EXPECT_EQ(r, 1.0f);
    EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(a, 1.0f);
    float v = 1.5f;
    EXPECT_EQ(uint32_t(zDDrawModule::GetGrayColor(v)), 0xFFFFFFFFu);
    EXPECT_EQ(v, 1.0f);
    EXPECT_EQ(uint32_t(zDDrawModule::GetGrayColor(0)), 0xFF000000u);
}

TEST_F(BlendModes, GammaAddsOrMultipliesAGreyOverTheWholeScreen) {
    Queue();
    float up = 2;
    zDDraw.ApplyGamma(up);
    EXPECT_EQ(up, 1.0f);
    ASSERT_EQ(rec->Draws.size(), 2u);  // the queue first, then the overlay
    const auto& add = rec->Draws[1];
    EXPECT_EQ(add.Prim, Primitive::TriangleStrip);
    EXPECT_EQ(add.State.SrcBlend, Blend::One);
    EXPECT_EQ(add.State.DestBlend, Blend::One);
    EXPECT_EQ(add.Vertices[0].Color, 0xFFFFFFFFu);
    EXPECT_EQ(add.Vertices[3].X, 640.0f);
    EXPECT_EQ(add.Vertices[3].Y, 480.0f);

    float down = -0.25f;
    zDDraw.ApplyGamma(down);
    const auto& mul = rec->Draws.back();
    EXPECT_EQ(mul.State.BlendOp, BlendOp::RevSubtract);
    EXPECT_EQ(mul.State.SrcBlend, Blend::Zero);
    EXPECT_EQ(mul.State.DestBlend, Blend::SrcColor);
    EXPECT_EQ(mul.Vertices[0].Color, 0xFF404040u);

    float far = -9;
    zDDraw.ApplyGamma(far);
    EXPECT_EQ(far, -1.0f);
    const size_t draws = rec->Draws.size();
    zDDraw.ApplyGamma(0);
    EXPECT_EQ(rec->Draws.size(), draws);
}

TEST_F(BlendModes, TintAddsAClampedColour) {
    zDDraw.ApplyTint(2, 0.5f, -1);
    ASSERT_EQ(rec->Draws.size(), 1u);
    EXPECT_EQ(rec->Draws[0].Vertices[0].Color, 0xFFFF8000u);
    EXPECT_EQ(rec->Draws[0].State.DestBlend, Blend::One);
}

}  // namespace
}  // namespace zun::test
