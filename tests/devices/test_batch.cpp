// Batched and immediate drawing on the recording backend: what reaches the
// drawing surface, in which order, with which vertices.
#include <cmath>

#include "DeviceTestSupport.h"
#include "core/zRuntime.h"

namespace zun::test {
namespace {

constexpr int32_t kWhite = int32_t(0xFFFFFFFFu);

class Batch : public RecordingDevice {};

TEST_F(Batch, TexturesAreDrawnGroupedInOrderOfFirstUse) {
    int32_t t1 = AddTexture(32, 32), t2 = AddTexture(32, 32);
    rec->ClearLog();
    zDDraw.Blt(t1, 0, 0, 10, 10, 0, 0, 0, 0, kWhite, 1);
    zDDraw.Blt(t2, 20, 0, 10, 10, 0, 0, 0, 0, kWhite, 1);
    zDDraw.Blt(t1, 40, 0, 10, 10, 0, 0, 0, 0, kWhite, 1);
    EXPECT_TRUE(rec->Draws.empty());  // nothing drawn before the flush
    EXPECT_EQ(zDDraw.BltCount, 6);
    zDDraw.EndScene(false);
    ASSERT_EQ(rec->Draws.size(), 2u);
    EXPECT_EQ(rec->Draws[0].Texture, zDDraw.Textures[size_t(t1)].Texture);
    EXPECT_EQ(rec->Draws[0].Vertices.size(), 12u);
    EXPECT_EQ(rec->Draws[0].Vertices[6].X, 39.5f);  // the second T1 quad follows the first
    EXPECT_EQ(rec->Draws[1].Texture, zDDraw.Textures[size_t(t2)].Texture);
    EXPECT_EQ(rec->Draws[1].Vertices.size(), 6u);
    EXPECT_EQ(zDDraw.PolyBufferCount, 0);
}

TEST_F(Batch, ZeroSizesTakeTheImageSizeAndAreWrittenBack) {
    int32_t t = AddTexture(64, 32);
    float w = 0, h = 0;
    int32_t sw = 0, sh = 0;
    zDDraw.Blt(t, 10, 20, w, h, 0, 0, sw, sh, kWhite, 1);
    EXPECT_EQ(sw, 64);
    EXPECT_EQ(sh, 32);
    EXPECT_EQ(w, 64.0f);
    EXPECT_EQ(h, 32.0f);
    zDDraw.EndScene(false);
    ASSERT_EQ(rec->Draws.size(), 1u);
    const auto& v = rec->Draws[0].Vertices;
    ASSERT_EQ(v.size(), 6u);
    // Triangles (a, b, c) and (a, c, d), shifted half a pixel onto texel centres.
    EXPECT_EQ(v[0].X, 9.5f);
    EXPECT_EQ(v[0].Y, 19.5f);
    EXPECT_EQ(v[1].X, 73.5f);
    EXPECT_EQ(v[2].Y, 51.5f);
    EXPECT_EQ(v[3].X, v[0].X);
    EXPECT_EQ(v[4].X, v[2].X);
    EXPECT_EQ(v[5].X, 9.5f);
    EXPECT_EQ(v[5].Y, 51.5f);
    EXPECT_NEAR(v[0].TU, 0.0001 / 64, 1e-9);
    EXPECT_NEAR(v[2].TU, (0.0001 + 63.9998) / 64, 1e-6);
    EXPECT_NEAR(v[2].TV, (0.0001 + 31.9998) / 32, 1e-6);
    EXPECT_EQ(v[0].RHW, 1.0f);
    EXPECT_EQ(v[0].Color, 0xFFFFFFFFu);
}

TEST_F(Batch, SourceScaleDividesTheSourceExtentAndZeroFails) {
    int32_t t = AddTexture(100, 100);
    zDDraw.Blt(t, 0, 0, 10, 10, 0, 0, 50, 50, kWhite, 2);
    zDDraw.EndScene(false);
    const auto& v = rec->Draws[0].Vertices;
    EXPECT_NEAR(v[2].TU - v[0].TU, (49.9998 / 100) / 2, 1e-6);
    try {
        zDDraw.Blt(t, 0, 0, 10, 10, 0, 0, 50, 50, kWhite, 0);
        FAIL() << "a source scale of 0 must fail";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number, errDivByZero);
    }
    EXPECT_EQ(zDDraw.PolyBuffers[1].Count, 0);  // nothing half-queued
}

TEST_F(Batch, BadTextureHandlesFailAtTheCall) {
    for (int32_t bad : {-1, 99}) {
        try {
            zDDraw.Blt(bad, 0, 0, 10, 10, 0, 0, 0, 0, kWhite, 1);
            FAIL();
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number, errSubscript);
        }
        EXPECT_THROW(zDDraw.BltRect(bad, 0, 0, 1, 0, 1, 1, 0, 1, kWhite, 0, 0, 1, 1), RuntimeError);
        EXPECT_THROW(zDDraw.BltPolygon(bad, 0, 0, 1, 0, 1, 1, kWhite, 0, 0, 1, 0, 1, 1), RuntimeError);
    }
    zDDraw.EndScene(false);
    EXPECT_TRUE(rec->Draws.empty());
}

TEST_F(Batch, TextureZeroUsesThePlaceholderSizeAndDrawsUntextured) {
    float w = 0, h = 0;
    int32_t sw = 0, sh = 0;
    zDDraw.Blt(0, 0, 0, w, h, 128, 0, sw, sh, kWhite, 1);
    EXPECT_EQ(sw, 256);
    EXPECT_EQ(w, 256.0f);
    zDDraw.EndScene(false);
    ASSERT_EQ(rec->Draws.size(), 1u);
    EXPECT_EQ(rec->Draws[0].Texture, 0u);
    EXPECT_NEAR(rec->Draws[0].Vertices[0].TU, 128.0001 / 256, 1e-7);
}

TEST_F(Batch, ZoomScalesAtTheFlushAndImmediateDrawsSkipTheHalfPixel) {
    zDDraw.SetScreenSize(640, 480, 2.0f, true);
    int32_t t = AddTexture(16, 16);
    rec->ClearLog();
    zDDraw.Blt(t, 10, 10, 16, 16, 0, 0, 0, 0, kWhite, 1);
    zDDraw.BltNow(t, 10, 10, 16, 16, 0, 0, 0, 0, kWhite, 0, 0, 0, 1);
    zDDraw.EndScene(false);
    ASSERT_EQ(rec->Draws.size(), 2u);
    const auto& now = rec->Draws[0];  // drawn at once, before the queue
    EXPECT_EQ(now.Prim, Primitive::TriangleStrip);
    EXPECT_EQ(now.Vertices[0].X, 20.0f);
    EXPECT_EQ(now.Vertices[0].Y, 20.0f);
    const auto& queued = rec->Draws[1];
    EXPECT_EQ(queued.Prim, Primitive::TriangleList);
    EXPECT_EQ(queued.Vertices[0].X, 19.5f);
    EXPECT_EQ(queued.Vertices[0].Y, 19.5f);
    EXPECT_EQ(queued.Vertices[2].X, 51.5f);
}

TEST_F(Batch, DepthIsScaledJustBelowOneAtTheFlushOnly) {
    int32_t t = AddTexture(16, 16);
    zDDraw.RenderZ = 1.0f;
    zDDraw.Blt(t, 0, 0, 16, 16, 0, 0, 0, 0, kWhite, 1);
    zDDraw.BltSurface(0, 0, 4, 4, kWhite);
    zDDraw.EndScene(false);
    EXPECT_EQ(rec->Draws[0].Vertices[0].Z, 1.0f);
    EXPECT_EQ(rec->Draws[1].Vertices[0].Z, float(0.999999));
}

TEST_F(Batch, RenderTargetScaleMapsTheScreenOntoTheTarget) {
    int32_t rt = zDDraw.CreateRenderTarget(256);
    ASSERT_GT(rt, 0);
    ASSERT_TRUE(zDDraw.BeginScene(0, rt));
    rec->ClearLog();
    zDDraw.BltPoint(320, 240, kWhite);
    zDDraw.EndScene(false);  // inside a target pass this ends the pass
    ASSERT_EQ(rec->Draws.size(), 1u);
    EXPECT_EQ(rec->Draws[0].Target, zDDraw.Textures[size_t(rt)].Texture);
    EXPECT_FLOAT_EQ(rec->Draws[0].Vertices[0].X, 320.0f * 256 / 640 - 0.5f);
    EXPECT_FLOAT_EQ(rec->Draws[0].Vertices[0].Y, 240.0f * 256 / 480 - 0.5f);
    EXPECT_FALSE(zDDraw.RenderTargetActive);
    EXPECT_EQ(rec->CurrentTarget(), 0u);
}

TEST_F(Batch, RotationWithoutAngleAndMirrorFlagMatchesBltMirrored) {
    int32_t t = AddTexture(32, 32);
    zDDraw.Blt(t, 5, 7, 20, 10, 0, 0, 0, 0, kWhite, 1);
    zDDraw.EndScene(false);
    auto plain = rec->Draws[0].Vertices;
    rec->ClearLog();
    zDDraw.BltRotate(t, 5, 7, 20, 10, 0, 0, 0, 0, kWhite, 0, 0, 0, 1, 4);
    zDDraw.EndScene(false);
    auto mirrored = rec->Draws[0].Vertices;
    ASSERT_EQ(mirrored.size(), 6u);
    // Every corner lies where Blt put one, with U running the other way.
    for (const auto& m : mirrored) {
        bool matched = false;
        for (const auto& p : plain) {
            if (p.X != m.X || p.Y != m.Y) continue;
            matched = true;
            EXPECT_NEAR(m.TU, 1.0f - p.TU, 1e-6) << m.X << "," << m.Y;
            EXPECT_EQ(m.TV, p.TV);
        }
        EXPECT_TRUE(matched) << m.X << "," << m.Y;
    }
}

TEST_F(Batch, QuarterTurnsAreExactAndNegativeHeightTurnsTheImageOver) {
    int32_t t = AddTexture(32, 32);
    const float halfPi = float(M_PI / 2);
    zDDraw.BltRotate(t, 100, 100, 10, 20, 0, 0, 0, 0, kWhite, halfPi, 0, 0, 1, 0);
    zDDraw.EndScene(false);
    const auto& v = rec->Draws[0].Vertices;  // a = TL, b = BL, c = BR, d = TR
    EXPECT_EQ(v[0].X, 99.5f);
    EXPECT_EQ(v[0].Y, 99.5f);
    EXPECT_EQ(v[1].X, 79.5f);  // bottom-left swings to the left: clockwise on screen
    EXPECT_EQ(v[1].Y, 99.5f);
    EXPECT_EQ(v[2].X, 79.5f);
    EXPECT_EQ(v[2].Y, 109.5f);
    EXPECT_EQ(v[5].X, 99.5f);
    EXPECT_EQ(v[5].Y, 109.5f);

    rec->ClearLog();
    zDDraw.BltRotate(t, 100, 100, 10, -20, 0, 0, 0, 0, kWhite, 0, 0, 0, 1, 0);
    zDDraw.EndScene(false);
    const auto& r = rec->Draws[0].Vertices;
    EXPECT_EQ(r[1].Y, 79.5f);   // the image's bottom edge is drawn above its top
    EXPECT_GT(r[1].TV, r[0].TV);
    EXPECT_EQ(r[0].Y, 99.5f);
}

TEST_F(Batch, DirectionTurnsAndFlipsTheTextureCorners) {
    int32_t t = AddTexture(32, 32);
    zDDraw.BltDirection(t, 0, 0, 10, 10, 0, 0, 0, 0, kWhite, 1, 1);
    zDDraw.EndScene(false);
    const auto& v = rec->Draws[0].Vertices;  // TL, TR, BR, TL, BR, BL
    const float lo = float(0.0001 / 32), hi = float(lo + 31.9998 / 32);
    EXPECT_NEAR(v[1].TU, lo, 1e-6);  // the texture's top-left shows at the top-right
    EXPECT_NEAR(v[1].TV, lo, 1e-6);
    EXPECT_NEAR(v[0].TU, lo, 1e-6);  // and its bottom-left at the top-left
    EXPECT_NEAR(v[0].TV, hi, 1e-6);

    rec->ClearLog();
    zDDraw.BltDirection(t, 0, 0, 10, 10, 0, 0, 0, 0, kWhite, 4 + 8, 1);  // both mirrors, no turn
    zDDraw.EndScene(false);
    const auto& m = rec->Draws[0].Vertices;
    EXPECT_NEAR(m[0].TU, hi, 1e-6);
    EXPECT_NEAR(m[0].TV, hi, 1e-6);
}

TEST_F(Batch, DirectionsBeyondQuarterTurnsQueueNothing) {
    int32_t t = AddTexture(32, 32);
    for (int d : {16, 20, 31, 255}) zDDraw.BltDirection(t, 0, 0, 10, 10, 0, 0, 0, 0, kWhite, uint8_t(d), 1);
    EXPECT_EQ(zDDraw.BltCount, 0);
    zDDraw.EndScene(false);
    EXPECT_TRUE(rec->Draws.empty());
}

TEST_F(Batch, FreeCornersAndTriangles) {
    int32_t t = AddTexture(64, 64);
    float sw = 0, sh = 0;
    zDDraw.BltEx(t, 0, 0, 10, 1, 11, 12, 1, 10, 32, 0, sw, sh, kWhite, 1);
    EXPECT_EQ(sw, 64.0f);
    zDDraw.BltRect(t, 0, 0, 4, 0, 4, 4, 0, 4, kWhite, 0.25f, 0.5f, 0.125f, 0.25f);
    zDDraw.BltPolygon(t, 1, 2, 3, 4, 5, 6, kWhite, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f);
    EXPECT_EQ(zDDraw.BltCount, 5);
    zDDraw.EndScene(false);
    const auto& v = rec->Draws[0].Vertices;
    ASSERT_EQ(v.size(), 15u);
    EXPECT_EQ(v[2].X, 10.5f);  // BltEx c = (X3, Y3)
    EXPECT_EQ(v[2].Y, 11.5f);
    EXPECT_NEAR(v[0].TU, 32.0001 / 64, 1e-6);
    EXPECT_FLOAT_EQ(v[8].TU, 0.375f);  // BltRect c takes (U + UWidth, V + VHeight)
    EXPECT_FLOAT_EQ(v[8].TV, 0.75f);
    EXPECT_EQ(v[12].X, 0.5f);
    EXPECT_FLOAT_EQ(v[14].TV, 0.6f);
}

TEST_F(Batch, FlushDrawsPolygonsThenLinesThenPoints) {
    int32_t t = AddTexture(16, 16);
    rec->ClearLog();
    zDDraw.BltPoint(1, 1, kWhite);
    zDDraw.BltLine(0, 0, 10, 10, kWhite, int32_t(0xFF000000u));
    zDDraw.Blt(t, 0, 0, 16, 16, 0, 0, 0, 0, kWhite, 1);
    zDDraw.EndScene(false);
    ASSERT_EQ(rec->Draws.size(), 3u);
    EXPECT_EQ(rec->Draws[0].Prim, Primitive::TriangleList);
    EXPECT_EQ(rec->Draws[1].Prim, Primitive::LineList);
    EXPECT_EQ(rec->Draws[1].Vertices[1].Color, 0xFF000000u);  // a colour per end
    EXPECT_EQ(rec->Draws[1].Vertices[1].X, 9.5f);
    EXPECT_EQ(rec->Draws[2].Prim, Primitive::PointList);
    EXPECT_EQ(zDDraw.LineCount, 1);
    EXPECT_EQ(zDDraw.PointCount, 1);
}

TEST_F(Batch, TransparencyReachesLinesAndUntexturedImmediateDrawingButNotPoints) {
    float half = 0.5f;
    zDDraw.SetAlphaValue(half, 100);
    rec->ClearLog();
    zDDraw.BltSurface(0, 0, 10, 10, 0);  // colour 0 draws nothing
    EXPECT_TRUE(rec->Draws.empty());
    zDDraw.BltSurface(0, 0, 10, 10, kWhite);
    ASSERT_EQ(rec->Draws.size(), 1u);
    EXPECT_EQ(rec->Draws[0].Vertices[0].Color, 0x7FFFFFFFu);  // 255 - round(127.5)
    zDDraw.BltPolygonFlat(0, 0, 1, 0, 0, 1, int32_t(0xFF102030u));
    EXPECT_EQ(rec->Draws[1].Vertices[2].Color, 0x7F102030u);
    zDDraw.BltLine(0, 0, 1, 1, int32_t(0xFF112233u), int32_t(0xFF112233u));
    zDDraw.BltPoint(0, 0, int32_t(0xFF112233u));
    zDDraw.EndScene(false);
    auto lines = DrawsOf(Primitive::LineList);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Vertices[0].Color, 0x7F112233u);
    EXPECT_EQ(lines[0].Vertices[1].Color, 0x7F112233u);
    EXPECT_EQ(DrawsOf(Primitive::PointList)[0].Vertices[0].Color, 0xFF112233u);
}

// A full-screen rectangle made wholly transparent is turned away by the alpha
// test at every pixel: it reaches no device (and still counts as drawn). With
// the alpha test off, or an alpha it lets through, the same rectangle draws.
TEST_F(Batch, AnUntexturedDrawTheAlphaTestTurnsAwayWholeReachesNoDevice) {
    float invisible = 1.0f;
    zDDraw.SetAlphaMode(2);
    zDDraw.SetAlphaValue(invisible, 100);
    rec->ClearLog();
    zDDraw.BltSurface(0, 0, 640, 480, kWhite);
    zDDraw.BltPolygonFlat(0, 0, 640, 0, 0, 480, kWhite);
    zDDraw.BltLine(0, 0, 640, 480, kWhite, kWhite);
    zDDraw.EndScene(false);
    EXPECT_TRUE(rec->Draws.empty());
    EXPECT_EQ(zDDraw.BltCount, 3);
    float half = 0.5f;
    zDDraw.SetAlphaValue(half, 100);
    zDDraw.BltSurface(0, 0, 640, 480, kWhite);
    EXPECT_EQ(rec->Draws.size(), 1u);
    zDDraw.SetAlphaMode(0);
    zDDraw.BltSurface(0, 0, 640, 480, int32_t(0x00FFFFFFu));
    EXPECT_EQ(rec->Draws.size(), 2u);
}

TEST_F(Batch, ImmediateDrawsComeBeforeWhatIsStillQueued) {
    int32_t t = AddTexture(16, 16);
    rec->ClearLog();
    zDDraw.Blt(t, 0, 0, 16, 16, 0, 0, 0, 0, kWhite, 1);
    zDDraw.BltSurface(0, 0, 8, 8, kWhite);
    zDDraw.EndScene(false);
    ASSERT_EQ(rec->Calls.size(), 2u);
    EXPECT_EQ(rec->Calls[0], "DrawColored TriangleStrip 4");
    EXPECT_EQ(rec->Calls[1].rfind("Draw TriangleList 6", 0), 0u);
}

TEST_F(Batch, BuffersAreKeptAndReusedWithoutShrinking) {
    int32_t t = AddTexture(16, 16);
    for (int i = 0; i < 10; ++i) zDDraw.Blt(t, float(i), 0, 1, 1, 0, 0, 0, 0, kWhite, 1);
    zDDraw.EndScene(false);
    const size_t grown = zDDraw.PolyBuffers[1].Vertices.size();
    EXPECT_GE(grown, 61u);
    zDDraw.Blt(t, 0, 0, 1, 1, 0, 0, 0, 0, kWhite, 1);
    EXPECT_EQ(zDDraw.PolyBuffers[1].Vertices.size(), grown);
    EXPECT_EQ(zDDraw.PolyBuffers[1].Count, 6);
    EXPECT_EQ(zDDraw.PolyBufferSize, 1);
}

TEST_F(Batch, RotatedImmediateQuadUsesCoarseAngles) {
    int32_t t = AddTexture(16, 16);
    rec->ClearLog();
    zDDraw.BltNow(t, 50, 50, 16, 16, 0, 0, 0, 0, kWhite, 0, 8, 8, 1);
    zDDraw.BltNow(t, 50, 50, 16, 16, 0, 0, 0, 0, kWhite, 0.001f, 8, 8, 1);  // below 1/360
    ASSERT_EQ(rec->Draws.size(), 2u);
    const auto& a = rec->Draws[0].Vertices;
    const auto& b = rec->Draws[1].Vertices;
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(a[i].X, b[i].X);
        EXPECT_EQ(a[i].Y, b[i].Y);
    }
    // Strip order: top-left, bottom-left, top-right, bottom-right.
    EXPECT_EQ(a[0].X, 50.0f);
    EXPECT_EQ(a[1].Y, 66.0f);
    EXPECT_EQ(a[2].X, 66.0f);
    EXPECT_EQ(a[3].Y, 66.0f);
    EXPECT_EQ(zDDraw.BltCount, 4);

    // The same small angle does turn a queued quad.
    zDDraw.BltRotate(t, 50, 50, 1500, 16, 0, 0, 0, 0, kWhite, 0.001f, 0, 0, 1, 0);
    zDDraw.EndScene(false);
    EXPECT_EQ(rec->Draws.back().Vertices[2].Y, 66.5f);  // 50 + floor(16 + 1500 * 0.001) - 0.5
}

TEST_F(Batch, ImmediateQuadFailureIsLoggedNotRaised) {
    LogCapture log;
    zDDraw.BltNow(42, 0, 0, 1, 1, 0, 0, 0, 0, kWhite, 0, 0, 0, 1);
    EXPECT_TRUE(log.Contains("ERR\tBltNow"));
}

TEST_F(Batch, CirclesHaveAtLeastFiveAndAtMostAFewThousandSegments) {
    rec->ClearLog();
    zDDraw.BltCircle(50, 50, 1, kWhite, kWhite, 1);
    EXPECT_EQ(DrawsOf(Primitive::TriangleList).size(), 5u);  // fills at once
    EXPECT_EQ(zDDraw.LineCount, 5);                           // outline queued
    zDDraw.EndScene(false);
    auto lines = DrawsOf(Primitive::LineList);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Vertices.size(), 10u);
    EXPECT_NEAR(lines[0].Vertices[0].X, 51 - 0.5f, 1e-5);
    EXPECT_NEAR(lines.back().Vertices.back().X, 51 - 0.5f, 1e-4);  // closes on the start

    zDDraw.UpdateFrameRate();
    zDDraw.BltEllipse(0, 0, 1e9f, 5, kWhite, 0, 1);
    EXPECT_EQ(zDDraw.LineCount, zDDrawModule::MaxSegments);
    zDDraw.UpdateFrameRate();
    zDDraw.BltCircle(0, 0, 100, kWhite, 0, 1);
    EXPECT_EQ(zDDraw.LineCount, 157);  // round(2 * 100 * pi / 4)
    EXPECT_THROW(zDDraw.BltCircle(0, 0, NAN, kWhite, 0, 1), RuntimeError);
}

TEST_F(Batch, FrameCountersAreClearedByTheFrameClock) {
    int32_t t = AddTexture(16, 16);
    zDDraw.Blt(t, 0, 0, 1, 1, 0, 0, 0, 0, kWhite, 1);
    zDDraw.BltLine(0, 0, 1, 1, kWhite, kWhite);
    zDDraw.BltPoint(0, 0, kWhite);
    zDDraw.UpdateFrameRate();
    EXPECT_EQ(zDDraw.BltCount, 0);
    EXPECT_EQ(zDDraw.LineCount, 0);
    EXPECT_EQ(zDDraw.PointCount, 0);
}

}  // namespace
}  // namespace zun::test
