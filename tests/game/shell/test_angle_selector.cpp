// The angle selector: picking by the mouse in steps, the degree view, the
// face's geometry and when it tells its listener.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "game/shell/AngleSelector.h"

namespace tarv::test {

class AngleSelectorTest : public ::testing::Test {
protected:
    AngleSelector a;
    std::vector<std::pair<float, float>> events;
    void SetUp() override {
        a.Resize(100, 100);
        a.ValueChanged = [this](float r, float d) { events.emplace_back(r, d); };
    }
};

TEST_F(AngleSelectorTest, APressBelowTheCentrePicksAQuarterTurn) {
    a.MouseDown(1, 0, 50, 90);
    EXPECT_NEAR(a.GetValue(), 1.570796f, 1e-5);
    EXPECT_NEAR(a.GetValue360(), 90.0f, 1e-3);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NEAR(events[0].second, 90.0f, 1e-3);
    // The same place again tells nobody.
    a.MouseDown(1, 0, 50, 90);
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(AngleSelectorTest, UpperLeftGivesANegativeValueButDegreesInRange) {
    a.MouseDown(1, 0, 10, 12);
    EXPECT_LT(a.GetValue(), 0.0f);
    EXPECT_NEAR(a.GetValue(), -2.356194f, 1e-5);  // three eighths back
    EXPECT_NEAR(a.GetValue360(), 225.0f, 1e-3);
    EXPECT_GE(a.GetValue360(), 0.0f);
    EXPECT_LT(a.GetValue360(), 360.0f);
}

TEST_F(AngleSelectorTest, StepsAndOffsetShapeTheGrid) {
    a.SetSteps(4, 0.5f);
    ASSERT_EQ(events.size(), 1u);  // SetSteps always tells
    // Right of the centre lies between grid lines 0.5 - pi/2 and 0.5.
    a.MouseDown(1, 0, 90, 50);
    EXPECT_NEAR(a.GetValue(), 0.0f, 1e-6);
    EXPECT_EQ(events.size(), 1u);
    a.MouseDown(1, 0, 50, 95);  // straight down: (pi/2 - 0.5) / (pi/2) rounds to 1
    EXPECT_NEAR(a.GetValue(), 1.570796f, 1e-5);
    // A whole turn comes back as 0.
    a.SetSteps(1, -4.0f);
    a.MouseDown(1, 0, 90, 55);
    EXPECT_EQ(a.GetValue(), 0.0f);
}

TEST_F(AngleSelectorTest, MovesPickOnlyWithAButtonHeld) {
    a.MouseMove(0, 0, 50, 95);
    EXPECT_EQ(a.GetValue(), 0.0f);
    a.MouseMove(2, 0, 50, 95);
    EXPECT_NEAR(a.GetValue(), 1.570796f, 1e-5);
}

TEST_F(AngleSelectorTest, ZeroStepsShowNoWedgeAndIgnoreTheMouse) {
    a.SetSteps(0);
    EXPECT_FALSE(a.Line1.Visible);
    EXPECT_FALSE(a.Line2.Visible);
    events.clear();
    a.MouseDown(1, 0, 50, 95);
    EXPECT_EQ(a.GetValue(), 0.0f);
    EXPECT_TRUE(events.empty());
}

TEST_F(AngleSelectorTest, TheFaceFollowsSizeAndValue) {
    a.Resize(61, 40);
    // 30.5 rounds to the even 30.
    EXPECT_EQ(a.shpBack.Width, 60.0f);
    EXPECT_EQ(a.shpBack.Height, 40.0f);
    EXPECT_EQ(a.shpCircle.Left, 15.0f);
    EXPECT_EQ(a.shpCircle.Width, 30.0f);
    a.SetValue(0);
    const float d = 3.141593f / 8 / 3;
    ASSERT_TRUE(a.Line1.Visible);
    EXPECT_EQ(a.Line1.X1, 30.0f);
    EXPECT_NEAR(a.Line1.X2, 30 + 30 * std::cos(-d), 1e-4);
    EXPECT_NEAR(a.Line1.Y2, 20 + 20 * std::sin(-d), 1e-4);
    EXPECT_NEAR(a.Line2.Y2, 20 + 20 * std::sin(d), 1e-4);
    EXPECT_TRUE(events.empty());  // SetValue tells nobody
}

TEST_F(AngleSelectorTest, DegreesSetterLeavesTheFaceAlone) {
    const float x2 = a.Line1.X2;
    a.SetValue360(180);
    EXPECT_NEAR(a.GetValue(), 3.141593f, 1e-5);
    EXPECT_EQ(a.Line1.X2, x2);
    EXPECT_TRUE(events.empty());
}

TEST_F(AngleSelectorTest, OddStepCountsNeverFail) {
    a.SetSteps(2000000000);
    a.MouseDown(1, 0, 10, 10);
    a.SetSteps(-3);
    a.MouseDown(1, 0, 50, 95);
    EXPECT_TRUE(std::isfinite(a.GetValue()));
}

}  // namespace tarv::test
