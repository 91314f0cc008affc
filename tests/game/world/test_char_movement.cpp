// Footprints, the contact ring, the movement test and the sliding step, on
// maps whose cells are single pixels so that walls can be placed exactly.
#include <cmath>
#include <functional>

#include "CharTestSupport.h"

namespace tarv::test {
namespace {

class Movement : public CharTest {
protected:
    // A 200 x 200 map of one-pixel cells; blocked(x, y) decides each pixel.
    static std::shared_ptr<zCollisionMap> PixelMap(const std::function<bool(int, int)>& blocked) {
        std::vector<std::string> rows(200, std::string(200, '.'));
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                if (blocked(x, y)) rows[size_t(y)][size_t(x)] = '#';
        return Map(1, rows);
    }
    // Everything outside the box is wall.
    static std::shared_ptr<zCollisionMap> Box(int x0, int y0, int x1, int y1) {
        return PixelMap([=](int x, int y) { return x < x0 || x > x1 || y < y0 || y > y1; });
    }
    // The character of most tests: frame width 24, so radii 8 and 4.8, eight ring points.
    std::shared_ptr<gChar> Mover(float x = 100, float y = 100) {
        auto c = Char(x, y, Sheet(24));
        gCharTest.Chars.push_back(c);
        return c;
    }
    static std::vector<int32_t> States(const gChar& c) {
        std::vector<int32_t> s;
        for (int32_t i = 1; i <= c.ContactCount(); ++i) s.push_back(c.Contact(i).State);
        return s;
    }
    static int32_t CountState(const gChar& c, int32_t state) {
        int32_t n = 0;
        for (int32_t s : States(c)) n += s == state;
        return n;
    }
};

TEST_F(Movement, ContactRingGeometry) {
    auto c = Char(0, 0, Sheet(24));
    ASSERT_EQ(c->ContactCount(), 12);
    const double step = 6.283185958862305 / 8;
    for (int32_t i = 1; i <= 8; ++i) {
        const auto& p = c->Contact(i);
        const double a = step * (i + 0.5);
        EXPECT_NEAR(p.Angle, a, 1e-5) << i;
        EXPECT_NEAR(p.OffsetX, std::cos(a) * 8, 1e-4) << i;
        EXPECT_NEAR(p.OffsetY, std::sin(a) * 4.8, 1e-4) << i;
        EXPECT_NEAR(p.SpanPlus, step + 0.001, 1e-6);
        EXPECT_EQ(p.SpanMinus, p.SpanPlus);
        EXPECT_EQ(p.State, 0);
    }
    // The inner points take their own entry index: 9 .. 12 quarter turns,
    // which with eight ring points starts at "down".
    const float expect[4][2] = {{0, 2.4f}, {-4, 0}, {0, -2.4f}, {4, 0}};
    for (int32_t k = 0; k < 4; ++k) {
        const auto& p = c->Contact(9 + k);
        EXPECT_NEAR(p.OffsetX, expect[k][0], 1e-4) << k;
        EXPECT_NEAR(p.OffsetY, expect[k][1], 1e-4) << k;
        EXPECT_NEAR(p.Angle, 6.283185958862305 / 4 * (9 + k), 1e-4);
        EXPECT_NEAR(p.SpanPlus, 6.283185958862305 / 4 + 0.001, 1e-6);
    }
}

TEST_F(Movement, FootprintsExcludeTheirBoundaries) {
    auto c = Char(100, 100, Sheet(24, 32));
    c->CollisionShape = 0;
    EXPECT_FALSE(c->CheckCollision(100, 100));
    c->CollisionShape = 7;
    EXPECT_FALSE(c->CheckCollision(100, 100)) << "unknown shapes are never hit";

    c->CollisionShape = 1;  // radii 12 across, 6 down
    EXPECT_TRUE(c->CheckCollision(100, 100));
    EXPECT_FALSE(c->CheckCollision(112, 100));
    EXPECT_TRUE(c->CheckCollision(111.9f, 100));
    EXPECT_FALSE(c->CheckCollision(100, 106));
    EXPECT_TRUE(c->CheckCollision(100, 105.9f));
    EXPECT_FALSE(c->CheckCollision(109, 104)) << "inside the box, outside the ellipse";

    c->CollisionShape = 2;
    EXPECT_FALSE(c->CheckCollision(88, 100));
    EXPECT_TRUE(c->CheckCollision(88.1f, 100));
    EXPECT_FALSE(c->CheckCollision(112, 100));
    EXPECT_FALSE(c->CheckCollision(100, 106));
    EXPECT_TRUE(c->CheckCollision(109, 104));

    c->CollisionShape = 3;
    EXPECT_FALSE(c->CheckCollision(100, 110));
    EXPECT_TRUE(c->CheckCollision(100.1f, 110));
    EXPECT_FALSE(c->CheckCollision(124, 110));
    EXPECT_FALSE(c->CheckCollision(110, 132));
    EXPECT_TRUE(c->CheckCollision(123.9f, 131.9f));
}

TEST_F(Movement, HitTestOfTheDrawnSprite) {
    auto c = Char(100, 100, Sheet(24, 32));  // origin (12, 28): drawn over 88..112 x 72..104
    EXPECT_FALSE(c->CheckHit(88, 80, 0));
    EXPECT_TRUE(c->CheckHit(88.5f, 80, 0));
    EXPECT_FALSE(c->CheckHit(112, 80, 0));
    EXPECT_FALSE(c->CheckHit(100, 72, 0));
    EXPECT_FALSE(c->CheckHit(100, 104, 0));
    EXPECT_TRUE(c->CheckHit(100, 103.9f, 0));
    EXPECT_TRUE(c->CheckHit(86.5f, 80, 2));
    EXPECT_TRUE(c->CheckHit(100, 105.5f, 2));
    EXPECT_FALSE(c->CheckHit(86, 80, 2));
}

TEST_F(Movement, FacingPointsAreMarkedAndTheFirstBlockedOneStops) {
    auto c = Mover();
    EXPECT_FALSE(c->CheckMoveCollision(nullptr, nullptr, 0, 4));
    // Moving right: the ring points at -22.5 and +22.5 degrees and the inner point on the right.
    EXPECT_EQ(States(*c), (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1}));

    auto d = Mover();
    EXPECT_FALSE(d->CheckMoveCollision(nullptr, nullptr, 0.7853982f, 4));
    EXPECT_EQ(CountState(*d, 1), 4) << "a diagonal: two ring points and two inner points";
    auto e = Mover();
    EXPECT_FALSE(e->CheckMoveCollision(nullptr, nullptr, 0.3926991f, 4));
    EXPECT_EQ(CountState(*e, 1), 5) << "along a ring point: three ring points, two inner points";

    // A single blocked pixel where the +22.5 point lands.
    auto map = PixelMap([](int x, int y) { return x == 111 && y == 102; });
    auto f = Mover();
    EXPECT_TRUE(f->CheckMoveCollision(map.get(), nullptr, 0, 4));
    EXPECT_EQ(States(*f), (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0}))
        << "the test stops at the first blocked point";
}

TEST_F(Movement, OtherCharactersBlockButNeverTheMoverItself) {
    auto c = Mover(80, 100);
    c->CollisionShape = 2;
    EXPECT_FALSE(c->CheckMoveCollision(nullptr, nullptr, 0, 4)) << "its own footprint does not count";
    auto other = Char(100, 100, Sheet(24));
    gCharTest.Chars.push_back(other);
    other->CollisionShape = 0;
    EXPECT_FALSE(c->CheckMoveCollision(nullptr, nullptr, 0, 4)) << "shape 0 blocks nobody";
    other->CollisionShape = 2;
    EXPECT_TRUE(c->CheckMoveCollision(nullptr, nullptr, 0, 4));
    EXPECT_FALSE(c->CheckMoveCollision(nullptr, nullptr, 3.141593f, 4)) << "walking away is free";
}

TEST_F(Movement, TryToMoveSlidesAtTheFirstFreeDeflection) {
    auto map = PixelMap([](int x, int y) { return x == 111 && y == 98; });
    auto c = Mover();
    ASSERT_TRUE(c->TryToMove(map.get(), 0, 4));
    // Both +pi/8 and -pi/8 are free; +pi/8 (down on screen) is tried first.
    EXPECT_NEAR(c->Sprite->x, 100 + 4 * std::cos(0.3926991), 1e-4);
    EXPECT_NEAR(c->Sprite->y, 100 + 4 * std::sin(0.3926991), 1e-4);
    EXPECT_FLOAT_EQ(c->Angle, 0) << "TryToMove does not turn the character";
    EXPECT_FALSE(c->Animate);
}

TEST_F(Movement, TryToMoveSlowsDownWhenEveryDirectionIsBlocked) {
    auto map = Box(92, 95, 109, 105);
    auto c = Mover();
    ASSERT_TRUE(c->TryToMove(map.get(), 0, 4));
    EXPECT_FLOAT_EQ(c->Sprite->x, 102) << "speeds 4 and 3 are blocked all round; 2 goes straight";
    EXPECT_FLOAT_EQ(c->Sprite->y, 100);

    auto stuck = Box(93, 95, 107, 105);
    auto d = Mover();
    EXPECT_FALSE(d->TryToMove(stuck.get(), 0, 4));
    EXPECT_FLOAT_EQ(d->Sprite->x, 100);
    EXPECT_FLOAT_EQ(d->Sprite->y, 100);
}

TEST_F(Movement, TheDefaultSweepStopsShortOfAQuarterTurn) {
    // A corridor running down: only straight down is free, a quarter turn from the wanted right.
    auto map = Box(93, 95, 107, 199);
    auto c = Mover();
    EXPECT_FALSE(c->TryToMove(map.get(), 0, 4)) << "seven directions: 0, +-pi/8, +-pi/4, +-3pi/8";
    EXPECT_FLOAT_EQ(c->Sprite->y, 100);
    ASSERT_TRUE(c->TryToMove(map.get(), 0, 4, 1.6f));
    EXPECT_NEAR(c->Sprite->x, 100, 1e-4);
    EXPECT_NEAR(c->Sprite->y, 104, 1e-4);
}

TEST_F(Movement, NoSpeedAboveTheMinimumTriesNothing) {
    auto c = Mover();
    EXPECT_FALSE(c->TryToMove(nullptr, 0, 4, 1.570796f, 4));
    EXPECT_FALSE(c->TryToMove(nullptr, 0, 4, 1.570796f, 9));
    EXPECT_EQ(CountState(*c, 0), c->ContactCount()) << "not a single point was tested";
    EXPECT_FLOAT_EQ(c->Sprite->x, 100);
}

TEST_F(Movement, WithoutAMapOnlyCharactersBlock) {
    auto c = Mover(76, 100);
    ASSERT_TRUE(c->TryToMove(nullptr, 0, 4));
    EXPECT_FLOAT_EQ(c->Sprite->x, 80);
    auto other = Char(100, 100, Sheet(24));
    other->CollisionShape = 2;  // box 88..112 x 94..106
    gCharTest.Chars.push_back(other);
    ASSERT_TRUE(c->TryToMove(nullptr, 0, 4));
    EXPECT_GT(c->Sprite->y, 100) << "turned aside round the other character";
}

TEST_F(Movement, AbsurdSpeedsEndInsteadOfLooping) {
    auto stuck = Box(93, 95, 107, 105);
    auto c = Mover();
    EXPECT_FALSE(c->TryToMove(stuck.get(), 0, 20000, 1.570796f, -20000));
    // A sweep without limit still ends after one turn; here it finds the way down.
    EXPECT_TRUE(c->TryToMove(stuck.get(), 0, 1, 1e30f, 0));
    EXPECT_NEAR(c->Sprite->y, 101, 1e-4);
}

TEST_F(Movement, ContactViewDrawsEveryPointInItsStateColourAndClears) {
    auto map = PixelMap([](int x, int y) { return x == 111 && y == 102; });
    auto c = Mover();
    c->CheckMoveCollision(map.get(), nullptr, 0, 4);
    rec->ClearLog();
    c->RenderContacts(Camera(50, 60, 640, 480));
    zDDraw.EndScene(false);
    EXPECT_EQ(zDDraw.RenderZ, 0);
    size_t lineVertices = 0;
    std::vector<ColorVertex> points;
    for (const auto& d : rec->Draws) {
        if (d.Prim == Primitive::LineList) lineVertices += d.Vertices.size();
        if (d.Prim == Primitive::PointList)
            for (const auto& v : d.Vertices) points.push_back({v.X, v.Y, v.Z, v.RHW, v.Color});
    }
    EXPECT_EQ(lineVertices, 12u * 4u) << "two strokes per point";
    ASSERT_EQ(points.size(), 12u);
    EXPECT_EQ(points[6].Color, 0xFF0000FFu) << "tested and free: blue";
    EXPECT_EQ(points[7].Color, 0xFFFF0000u) << "blocked: red";
    EXPECT_EQ(points[0].Color, 0xFFFFFFFFu) << "not tested: white";
    EXPECT_NEAR(points[7].X, 100 + c->Contact(8).OffsetX - 50, 0.6);
    EXPECT_EQ(CountState(*c, 0), 12);
}

}  // namespace
}  // namespace tarv::test
