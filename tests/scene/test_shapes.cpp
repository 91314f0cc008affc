// Shapes and their hit tests on the edges, their stored form, their outline,
// and the data shapes that wrap them.
#include <gtest/gtest.h>

#include "ObjectTestSupport.h"
#include "core/zValues.h"
#include "scene/zDataShape.h"
#include "scene/zShape.h"
#include "support/LevelBytes.h"

namespace zun::test::layers {
namespace {

class ShapeTest : public ObjectTest {};

zShape Make(uint8_t mode, float x, float y, float w, float h) {
    zShape s;
    s.Mode = mode;
    s.x = x;
    s.y = y;
    s.W = w;
    s.H = h;
    return s;
}

TEST_F(ShapeTest, RectangleAndEllipseEdges) {
    const zShape r = Make(zShape::ModeRectangle, 10, 10, 20, 5);
    EXPECT_TRUE(r.CheckCollision(10, 10));
    EXPECT_TRUE(r.CheckCollision(29.9f, 14.9f));
    EXPECT_FALSE(r.CheckCollision(30, 10));
    EXPECT_FALSE(r.CheckCollision(10, 15));
    EXPECT_FALSE(r.CheckCollision(9.99f, 12));

    const zShape e = Make(zShape::ModeEllipse, 0, 0, 10, 5);
    EXPECT_TRUE(e.CheckCollision(9.9f, 0));
    EXPECT_FALSE(e.CheckCollision(10, 0));
    EXPECT_TRUE(e.CheckCollision(0, 4.9f));
    EXPECT_FALSE(e.CheckCollision(0, 5));
    EXPECT_FALSE(e.CheckCollision(-10, 0));

    // A flat ellipse covers nothing, even its own centre, and raises nothing.
    for (const auto& [w, h] : {std::pair{10.0f, 0.0f}, std::pair{0.0f, 10.0f}, std::pair{0.0f, 0.0f}}) {
        const zShape flat = Make(zShape::ModeEllipse, 0, 0, w, h);
        bool hit = true;
        EXPECT_EQ(FailureOf([&] { hit = flat.CheckCollision(0, 0) || flat.CheckCollision(1, 0); }), "") << w << "x" << h;
        EXPECT_FALSE(hit) << w << "x" << h;
    }

    const zShape p = Make(zShape::ModePoint, 3, 4, 0, 0);
    EXPECT_TRUE(p.CheckCollision(3, 4));
    EXPECT_FALSE(p.CheckCollision(3, 4.0001f));
    EXPECT_FALSE(Make(9, 0, 0, 100, 100).CheckCollision(1, 1));
}

TEST_F(ShapeTest, PolygonsAndChains) {
    zShape poly = Make(zShape::ModePolygon, 0, 0, 0, 0);
    poly.AddPoint(0, 0);
    EXPECT_FALSE(poly.CheckCollision(0, 0));  // one point: never hit
    poly.AddPoint(10, 0);
    EXPECT_FALSE(poly.CheckCollision(5, 0));  // two points enclose nothing
    poly.AddPoint(10, 10);
    poly.AddPoint(0, 10);
    EXPECT_TRUE(poly.CheckCollision(5, 5));
    EXPECT_TRUE(poly.CheckCollision(0, 5));    // left edge inside
    EXPECT_FALSE(poly.CheckCollision(10, 5));  // right edge outside
    EXPECT_FALSE(poly.CheckCollision(15, 5));

    zShape chain = Make(zShape::ModeChain, 0, 0, 0, 0);
    chain.AddPoint(0, 0);
    EXPECT_FALSE(chain.CheckCollision(0, 0));  // fewer than two points
    chain.AddPoint(10, 0);
    EXPECT_TRUE(chain.CheckCollision(5, 0.4f));
    EXPECT_FALSE(chain.CheckCollision(5, 0.6f));
    EXPECT_FALSE(chain.CheckCollision(11, 0));
    // The chain is open: no segment from the last point back to the first.
    chain.AddPoint(10, 10);
    EXPECT_TRUE(chain.CheckCollision(10.3f, 5));
    EXPECT_FALSE(chain.CheckCollision(5, 5));

    zShape tiny = Make(zShape::ModeChain, 0, 0, 0, 0);
    tiny.AddPoint(5, 0);
    tiny.AddPoint(5.2f, 0);
    EXPECT_FALSE(tiny.CheckCollision(5.1f, 0));  // both ends inside the radius
}

TEST_F(ShapeTest, PointListEditingAndBoundingBox) {
    zShape s = Make(zShape::ModePolygon, 0, 0, 0, 0);
    EXPECT_EQ(s.PointCount, -1);
    EXPECT_EQ(s.Capacity(), 1u);
    s.AddPoint(4, 9);
    s.AddPoint(-2, 3);
    s.AddPoint(7, 5);
    EXPECT_EQ(s.PointCount, 2);
    s.UpdateSize();
    EXPECT_EQ(s.x, -2);
    EXPECT_EQ(s.y, 3);
    EXPECT_EQ(s.W, 9);
    EXPECT_EQ(s.H, 6);

    s.RemovePoint(3);  // beyond PointCount: nothing
    s.RemovePoint(-1);
    EXPECT_EQ(s.PointCount, 2);
    s.RemovePoint(0);
    EXPECT_EQ(s.PointCount, 1);
    EXPECT_EQ(s.GetPoint(0), (Vector2{-2, 3}));
    EXPECT_EQ(s.GetPoint(1), (Vector2{7, 5}));
    s.SetPoint(1, Vector2{8, 8});
    EXPECT_EQ(s.GetPoint(1), (Vector2{8, 8}));
    s.RemovePoint(0);
    s.RemovePoint(0);
    EXPECT_EQ(s.PointCount, -1);
    EXPECT_GE(s.Capacity(), 1u);
    // The emptied list keeps what point 0 last held.
    s.UpdateSize();
    EXPECT_EQ(s.x, 8);
    EXPECT_EQ(s.y, 8);
    EXPECT_EQ(s.W, 0);

    EXPECT_EQ(FailureOf([&] { s.GetPoint(-1); }), "Subscript out of range");
    EXPECT_EQ(FailureOf([&] { s.SetPoint(int32_t(s.Capacity()), Vector2{}); }), "Subscript out of range");

    // Other modes keep their own box.
    zShape r = Make(zShape::ModeRectangle, 1, 2, 3, 4);
    r.AddPoint(100, 100);
    r.UpdateSize();
    EXPECT_EQ(r.x, 1);
    EXPECT_EQ(r.W, 3);
}

TEST_F(ShapeTest, StoredForm) {
    zShape empty;
    zStream s;
    empty.Export(s);
    EXPECT_EQ(s.GetLength(), 25);

    zShape poly = Make(zShape::ModePolygon, 1.5f, 2, 3, 4);
    poly.Color = int32_t(0x80FF0000u);
    poly.AddPoint(1, 2);
    poly.AddPoint(3, 4);
    zStream out;
    poly.Export(out);
    const auto expected = Bytes()
                              .Byte(3)
                              .Long(int32_t(0x80FF0000u))
                              .Single(1.5f).Single(2).Single(3).Single(4)
                              .Long(1)
                              .Single(1).Single(2).Single(3).Single(4)
                              .b;
    EXPECT_EQ(out.Bytes(), expected);

    zShape back;
    out.Cursor = 0;
    back.Import(out);
    EXPECT_EQ(back.Mode, 3);
    EXPECT_EQ(back.Color, poly.Color);
    EXPECT_EQ(back.x, 1.5f);
    EXPECT_EQ(back.PointCount, 1);
    EXPECT_EQ(back.GetPoint(1), (Vector2{3, 4}));

    // A stored empty list leaves the storage as it was.
    zStream e2;
    empty.Export(e2);
    e2.Cursor = 0;
    back.Import(e2);
    EXPECT_EQ(back.PointCount, -1);
    EXPECT_EQ(back.GetPoint(1), (Vector2{3, 4}));
}

TEST_F(ShapeTest, HostilePointCountsFailWithoutTouchingTheList) {
    auto fixed = [](int32_t count) {
        return Bytes().Byte(4).Long(0).Single(0).Single(0).Single(0).Single(0).Long(count);
    };
    zShape s = Make(zShape::ModeChain, 0, 0, 0, 0);
    s.AddPoint(1, 1);
    s.AddPoint(2, 2);

    zStream below(fixed(-2).b);
    EXPECT_EQ(FailureOf([&] { s.Import(below); }), "Subscript out of range");
    EXPECT_EQ(s.PointCount, 1);

    // Two billion points announced, one given: refused before any allocation.
    zStream huge(fixed(0x7FFFFFF0).Single(1).Single(1).b);
    EXPECT_EQ(FailureOf([&] { s.Import(huge); }), "Input past end of file");
    EXPECT_EQ(s.PointCount, 1);
    EXPECT_TRUE(s.CheckCollision(1.5f, 1.5f));

    zStream shortList(fixed(2).Single(1).Single(1).Single(2).b);
    EXPECT_EQ(FailureOf([&] { s.Import(shortList); }), "Input past end of file");
    EXPECT_EQ(s.PointCount, 1);
}

TEST_F(ShapeTest, OutlineFollowsTheGameViewCamera) {
    zShape r = Make(zShape::ModeRectangle, 110, 50, 20, 10);
    r.Color = int32_t(0xFF00FF00u);
    const zCamera passed = Camera(0, 0, 320, 240);

    // No view camera from the game: nothing drawn.
    r.Render(passed);
    zDDraw.EndScene(false);
    EXPECT_TRUE(rec->Draws.empty());

    auto view = std::make_shared<zCamera>(Camera(100.7f, 40.2f, 320, 240));
    gSceneHooks.ShapeCamera = [view] { return view; };
    r.Render(passed);
    zDDraw.EndScene(false);
    std::vector<ColorVertex> lines;
    for (const auto& d : DrawsOf(Primitive::LineList))
        for (const auto& v : d.Vertices) lines.push_back(ColorVertex{v.X, v.Y, v.Z, v.RHW, v.Color});
    ASSERT_EQ(lines.size(), 8u);
    // The camera is floored: (110, 50) - (100, 40).
    float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
    for (const auto& v : lines) {
        minX = std::min(minX, v.X);
        minY = std::min(minY, v.Y);
        maxX = std::max(maxX, v.X);
        maxY = std::max(maxY, v.Y);
    }
    EXPECT_NEAR(minX, 10, 0.51);
    EXPECT_NEAR(minY, 10, 0.51);
    EXPECT_NEAR(maxX - minX, 20, 0.01);
    EXPECT_NEAR(maxY - minY, 10, 0.01);
    // The fill leaves the transparency at 0.7.
    EXPECT_FLOAT_EQ(zDDraw.GlobalAlpha, 0.7f);

    // An emptied polygon draws nothing.
    zShape p = Make(zShape::ModePolygon, 0, 0, 0, 0);
    p.AddPoint(1, 1);
    p.RemovePoint(0);
    rec->ClearLog();
    p.Render(passed);
    zDDraw.EndScene(false);
    EXPECT_TRUE(DrawsOf(Primitive::LineList).empty());
}

TEST_F(ShapeTest, DataShapeRoundTripAndMoves) {
    zDataShape d;
    EXPECT_FALSE(d.Enabled);
    ASSERT_TRUE(d.Shape && d.Values);
    d.Enabled = true;
    *d.Shape = Make(zShape::ModeRectangle, 10, 20, 30, 40);
    d.ClassName_ = "Door";
    d.KeyName = "door1";
    d.Values->SetLong("open", 1);
    zStream s;
    d.Export(s);

    const auto expected = Bytes()
                              .Bool(true)
                              .Byte(2).Long(0).Single(10).Single(20).Single(30).Single(40).Long(-1)
                              .String("Door")
                              .String("door1")
                              .Raw(ValuesRecord({}, {}, {{"open", 1}}))
                              .b;
    EXPECT_EQ(s.Bytes(), expected);

    zDataShape back;
    back.Values->SetString("stale", "x");
    s.Cursor = 0;
    back.Import(s);
    EXPECT_TRUE(back.Enabled);
    EXPECT_EQ(back.Shape->Mode, 2);
    EXPECT_EQ(back.Shape->H, 40);
    EXPECT_EQ(back.ClassName_, "Door");
    EXPECT_EQ(back.KeyName, "door1");
    EXPECT_EQ(back.Values->GetLong("open"), 1);
    EXPECT_EQ(back.Values->GetString("stale"), "");
    EXPECT_EQ(back.Class(), static_cast<iClass*>(&back));

    // A rectangle moves with its position ...
    back.SetPosition(100, 100);
    EXPECT_TRUE(back.Shape->CheckCollision(101, 101));
    EXPECT_FALSE(back.Shape->CheckCollision(11, 21));
    // ... a polygon keeps its points and only its box corner changes.
    zDataShape poly;
    poly.Shape->Mode = zShape::ModePolygon;
    poly.Shape->AddPoint(0, 0);
    poly.Shape->AddPoint(10, 0);
    poly.Shape->AddPoint(10, 10);
    poly.Shape->UpdateSize();
    poly.SetPosition(50, 50);
    EXPECT_EQ(poly.GetX(), 50);
    EXPECT_TRUE(poly.Shape->CheckCollision(8, 2));
    EXPECT_FALSE(poly.Shape->CheckCollision(58, 52));
}

}  // namespace
}  // namespace zun::test::layers
