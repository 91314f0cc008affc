// The rune circle: its slots, lighting and picking runes with the mouse, the
// row of letters, the fades, and the two drawing passes.
#include <cmath>

#include "WidgetTestSupport.h"
#include "game/world/gRuneCircle.h"

namespace tarv::test {
namespace {

class RuneCircleTest : public WidgetTest {
protected:
    gRuneCircle ring;

    void SetUp() override {
        WidgetTest::SetUp();
        ring.x = 300;
        ring.y = 200;
        ring.Size = 256;
        ring.Texture = AddTexture(256, 256, "circle.png");
        ring.RuneTexture = AddTexture(256, 256, "runes.png");
        ring.SetupRunes();
    }
    // Points the mouse at the centre of a slot.
    void Over(int32_t slot) {
        const RuneSlot& r = ring.GetRune(slot);
        gCharTest.MouseViewX = ring.x + r.Distance * std::cos(r.Angle + ring.Angle);
        gCharTest.MouseViewY = ring.y + r.Distance * std::sin(r.Angle + ring.Angle);
    }
    void Updates(int n) {
        for (int i = 0; i < n; ++i) ring.Update();
    }
};

TEST_F(RuneCircleTest, TwelveSlotsAroundTheRing) {
    EXPECT_EQ(ring.GetRuneCount(), 12);
    EXPECT_FLOAT_EQ(ring.GetRune(1).BaseSize, 32);
    EXPECT_FLOAT_EQ(ring.GetRune(1).Distance, 112);
    EXPECT_FLOAT_EQ(ring.GetRune(3).Angle, 6.283186f / 12 * 3);
    ring.AddRunes("ABCDEFGHIJKLM");  // the thirteenth changes nothing
    EXPECT_EQ(ring.GetRune(12).Code, 'L');
    EXPECT_EQ(ring.GetRune(1).State, 4);
    EXPECT_FLOAT_EQ(ring.GetRune(1).Fade, 1);
}

TEST_F(RuneCircleTest, ShowingFadesInAndTheMouseLightsARune) {
    ring.AddRunes("AB");
    ring.SetState(1);
    EXPECT_EQ(ring.GetRune(1).State, 5);
    gCharTest.MouseViewX = gCharTest.MouseViewY = -1000;
    ring.Update();
    EXPECT_FLOAT_EQ(ring.Alpha, 0.8f);
    EXPECT_FLOAT_EQ(ring.RenderSize, 256 * (0.8f * 0.2f + 1));
    EXPECT_FLOAT_EQ(ring.GetRune(1).Fade, 0.9f);
    EXPECT_FLOAT_EQ(ring.GetRune(1).CurSize, 32 * 1.9f);
    Updates(11);
    EXPECT_EQ(ring.GetRune(1).State, 0);
    EXPECT_FLOAT_EQ(ring.GetRune(1).Fade, 0);
    EXPECT_FLOAT_EQ(ring.Alpha, 0);

    now = 0;
    Over(2);
    ring.Update();
    EXPECT_EQ(ring.GetRune(2).State, 1);
    EXPECT_EQ(ring.GetRune(1).State, 0);
    EXPECT_FLOAT_EQ(ring.GetRune(2).Glow, 0.25f);
    EXPECT_FLOAT_EQ(ring.GetRune(2).Pulse, 0.5f * 0.25f * 0.8f);
    EXPECT_FLOAT_EQ(ring.GetRune(2).CurSize, 32 * 1.25f);
    Updates(5);
    EXPECT_FLOAT_EQ(ring.GetRune(2).Glow, 1);
    gCharTest.MouseViewX = -1000;
    ring.Update();
    EXPECT_EQ(ring.GetRune(2).State, 0);
    EXPECT_FLOAT_EQ(ring.GetRune(2).Glow, 0.95f);
}

TEST_F(RuneCircleTest, HoldingTheButtonPicksOneRuneAtATime) {
    ring.AddRunes("ABC");
    ring.SetState(1);
    Updates(12);
    Over(1);
    zDInput.SetMouseButton(1, true);
    ring.Update();
    EXPECT_EQ(ring.GetRune(1).State, 2);
    EXPECT_EQ(ring.GetLetterCount(), 1);
    EXPECT_EQ(ring.GetLetter(1).Code, 'A');
    Updates(3);
    EXPECT_EQ(ring.GetLetterCount(), 1);
    Over(3);
    ring.Update();
    EXPECT_EQ(ring.GetLetterCount(), 2);
    EXPECT_EQ(ring.GetLetter(2).Code, 'C');
    // An empty slot under the mouse is never picked.
    Over(7);
    ring.Update();
    EXPECT_EQ(ring.GetLetterCount(), 2);
    zDInput.SetMouseButton(1, false);
    // The picked rune flares up and hides.
    Updates(12);
    EXPECT_EQ(ring.GetRune(1).State, 4);
    EXPECT_FLOAT_EQ(ring.GetRune(1).Fade, 1);
}

TEST_F(RuneCircleTest, LettersCentreTheirRowAndSlideToIt) {
    ring.AddLetter('x');
    ring.AddLetter('y');
    ring.AddLetter('z');
    EXPECT_FLOAT_EQ(ring.GetLetter(1).TargetX, -16);
    EXPECT_FLOAT_EQ(ring.GetLetter(2).TargetX, 0);
    EXPECT_FLOAT_EQ(ring.GetLetter(3).TargetX, 16);
    ring.State = 1;
    ring.Update();
    EXPECT_FLOAT_EQ(ring.GetLetter(1).X, -8);
    EXPECT_FLOAT_EQ(ring.GetLetter(1).Fade, 0.9f);
    Updates(10);
    EXPECT_FLOAT_EQ(ring.GetLetter(1).X, -16);  // snapped once the whole numbers agree
    EXPECT_EQ(ring.GetLetter(1).State, 1);
    EXPECT_FLOAT_EQ(ring.GetLetter(1).CurSize, 16);

    ring.SetState(0);  // the row spreads, grows and fades
    ring.Update();
    EXPECT_EQ(ring.GetLetter(3).State, 2);
    EXPECT_FLOAT_EQ(ring.GetLetter(3).TargetX, 16 * (0.1f / 3 + 1));
    EXPECT_FLOAT_EQ(ring.GetLetter(3).CurSize, 16 * 1.2f * 1.2f);
    Updates(10);
    EXPECT_EQ(ring.GetLetter(3).State, 3);

    ring.SetState(1);
    EXPECT_EQ(ring.GetLetterCount(), 0);
}

TEST_F(RuneCircleTest, HidingTurnsTheCircleAndVanishesTheRunes) {
    ring.AddRunes("AB");
    ring.SetState(1);
    Updates(12);
    ring.SetState(0);
    EXPECT_EQ(ring.GetRune(1).State, 6);
    ring.Update();
    EXPECT_FLOAT_EQ(ring.Alpha, 0.1f);
    EXPECT_FLOAT_EQ(ring.Angle, 0.1f / 2 * 3.141593f);
    EXPECT_FLOAT_EQ(ring.GetRune(1).CurSize, 32 * 0.9f);
    Updates(12);
    EXPECT_EQ(ring.GetRune(1).State, 4);
    EXPECT_FLOAT_EQ(ring.Alpha, 1);
}

TEST_F(RuneCircleTest, TwoPassesOfCircleRunesAndLetters) {
    ring.AddRunes("AB");
    ring.SetState(1);
    Updates(12);
    ring.AddLetter('A');
    ring.Update();
    ring.Render();
    auto q = Quads();
    // Each pass: the circle, two runes, one letter.
    ASSERT_EQ(q.size(), 8u);
    const float rs = ring.RenderSize;
    bool first = false, second = false;
    for (const auto& quad : q) {
        if (std::fabs(quad.Width() - rs) > 0.01f) continue;
        if (std::fabs(quad.Left() - (300 - rs / 2 + 0.5f)) < 0.01f) first = true;
        if (std::fabs(quad.Left() - (300 - rs / 2 - 0.5f)) < 0.01f) second = true;
    }
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);

    gRuneCircle hidden;  // fully transparent: nothing to draw
    hidden.Render();
    EXPECT_TRUE(Quads().empty());
}

}  // namespace
}  // namespace tarv::test
