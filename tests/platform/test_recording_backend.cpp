// The recording backend: what logic tests of the device read from it.
#include <gtest/gtest.h>

#include "platform/RecordingBackend.h"

using namespace zun;

TEST(RecordingBackend, RecordsCallsAndDrawsWithStateAndTarget) {
    RecordingBackend b(800, 600);
    TextureId tex = b.CreateTexture(16, 8, nullptr);
    TextureId target = b.CreateRenderTarget(64);
    ASSERT_NE(tex, 0u);
    ASSERT_NE(target, 0u);
    EXPECT_NE(tex, target);
    EXPECT_TRUE(b.IsRenderTarget(target));
    EXPECT_FALSE(b.IsRenderTarget(tex));

    ASSERT_TRUE(b.SetRenderTarget(target));
    int32_t w, h;
    b.CurrentTargetSize(w, h);
    EXPECT_EQ(w, 64);
    b.Clear(true, 0xFF102030u, true);
    DrawState s;
    s.AlphaBlendEnable = true;
    s.TextureFactor = 0x80000000u;
    TLVertex v[7] = {};
    v[1].TU = 0.5f;
    b.DrawTextured(s, Primitive::TriangleList, v, 7, tex);  // the 7th vertex is no whole triangle
    ASSERT_TRUE(b.SetRenderTarget(0));
    b.CurrentTargetSize(w, h);
    EXPECT_EQ(w, 800);
    b.Clear(false, 0, true);
    ColorVertex line[2] = {{1, 2, 0.5f, 1, 0xFF00FF00u}, {3, 4, 0.5f, 1, 0xFF0000FFu}};
    b.DrawColored(DrawState{}, Primitive::LineList, line, 2);
    b.Present(640, 480);

    EXPECT_EQ(b.Calls, (std::vector<std::string>{
                           "CreateTexture 1 16x8", "CreateRenderTarget 2 64x64", "SetRenderTarget 2",
                           "Clear color=FF102030 depth=1", "Draw TriangleList 6 tex=1", "SetRenderTarget 0",
                           "Clear depth=1", "DrawColored LineList 2", "Present 640x480"}));
    ASSERT_EQ(b.Draws.size(), 2u);
    EXPECT_EQ(b.Draws[0].Target, target);
    EXPECT_EQ(b.Draws[0].Texture, tex);
    EXPECT_TRUE(b.Draws[0].Textured);
    EXPECT_EQ(b.Draws[0].State, s);
    EXPECT_EQ(b.Draws[0].Vertices.size(), 6u);
    EXPECT_EQ(b.Draws[0].Vertices[1].TU, 0.5f);
    EXPECT_EQ(b.Draws[1].Target, 0u);
    EXPECT_FALSE(b.Draws[1].Textured);
    EXPECT_EQ(b.Draws[1].Vertices[1].Color, 0xFF0000FFu);
    EXPECT_EQ(b.Draws[1].Vertices[1].X, 3.0f);
}

TEST(RecordingBackend, FailuresAndStatusCanBeScripted) {
    RecordingBackend b;
    b.FailTargetsAbove = 256;
    EXPECT_EQ(b.CreateRenderTarget(512), 0u);
    EXPECT_NE(b.CreateRenderTarget(256), 0u);
    EXPECT_EQ(b.CreateRenderTarget(kMaxTargetSide * 2), 0u);
    b.FailTextures = true;
    EXPECT_EQ(b.CreateTexture(4, 4, nullptr), 0u);
    b.FailTextures = false;
    TextureId t = b.CreateTexture(4, 4, nullptr);
    EXPECT_FALSE(b.SetRenderTarget(t));
    EXPECT_FALSE(b.UpdateTexture(t, 2, 2, 3, 1, nullptr));
    EXPECT_TRUE(b.UpdateTexture(t, 2, 2, 2, 2, nullptr));
    b.DeleteTexture(t);
    EXPECT_FALSE(b.IsTexture(t));
    std::vector<uint8_t> px;
    EXPECT_FALSE(b.ReadPixels(1000, 0, 100, 1, px));
    EXPECT_TRUE(b.ReadPixels(0, 0, 2, 2, px));
    EXPECT_EQ(px.size(), 16u);

    b.NextStatus = DeviceStatus::Lost;
    EXPECT_EQ(b.Status(), DeviceStatus::Lost);
    EXPECT_TRUE(b.Reset());
    EXPECT_EQ(b.Status(), DeviceStatus::Ok);
}

TEST(RecordingBackend, WholePrimitiveCounts) {
    EXPECT_EQ(WholePrimitiveCount(Primitive::TriangleList, 8), 6);
    EXPECT_EQ(WholePrimitiveCount(Primitive::TriangleStrip, 2), 0);
    EXPECT_EQ(WholePrimitiveCount(Primitive::TriangleStrip, 5), 5);
    EXPECT_EQ(WholePrimitiveCount(Primitive::LineList, 3), 2);
    EXPECT_EQ(WholePrimitiveCount(Primitive::PointList, 1), 1);
    EXPECT_EQ(WholePrimitiveCount(Primitive::PointList, -4), 0);
}
