// The lantern emitter hook: which emitters spawn, how often sparks and smoke
// come and where they start, and the scene hooks the effects fill.
#include <cmath>

#include "EffectsTestSupport.h"
#include "game/effects/gLantern.h"
#include "scene/zParticleEmitter.h"
#include "scene/zSceneHooks.h"

namespace tarv::test {
namespace {

using namespace zun;

class LanternTest : public EffectsTest {
protected:
    zParticleEmitter lantern;
    void SetUp() override {
        EffectsTest::SetUp();
        lantern.ManagerName = "Laterne";
        lantern.x = 300;
        lantern.y = 200;
        lantern.Z = 40;
    }
};

TEST_F(LanternTest, OnlyAnEmitterNamedExactlyLaterneSpawns) {
    for (const char* name : {"laterne", "LATERNE", "Laterne ", "Torch", ""}) {
        lantern.ManagerName = name;
        for (int i = 0; i < 500; ++i) UpdateCustomEmitter(lantern);
        EXPECT_EQ(main->ParticleCount, 0) << name;
    }
}

TEST_F(LanternTest, SparksComeAboutOneUpdateInTenAndSmokeWithEverySecondSpark) {
    const int updates = 20000;
    int sparks = 0, smokes = 0;
    for (int i = 0; i < updates; ++i) {
        const int32_t before = main->ParticleCount;
        UpdateCustomEmitter(lantern);
        const int32_t made = main->ParticleCount - before;
        ASSERT_LE(made, 2);
        if (made == 0) continue;
        auto spark = main->Particle(before + 1);
        ASSERT_EQ(spark->Manager->ClassName(), "pSpark");
        sparks += 1;
        // Within 2 pixels of a point 10 below the emitter, at its height.
        EXPECT_LE(std::fabs(spark->x - 300), 2.0f);
        EXPECT_LE(std::fabs(spark->y - 210), 2.0f);
        EXPECT_LE(std::fabs(spark->Z - 40), 2.0f);
        if (made == 2) {
            auto smoke = main->Particle(before + 2);
            ASSERT_EQ(smoke->Manager->ClassName(), "pSmoke");
            smokes += 1;
            EXPECT_EQ(smoke->x, spark->x);
            EXPECT_EQ(smoke->y, spark->y);
            EXPECT_GE(smoke->Z - spark->Z, 10.0f - 1e-4f);
            EXPECT_LT(smoke->Z - spark->Z, 14.0f + 1e-4f);
            EXPECT_GE(smoke->R, 0.0f);
            EXPECT_LT(smoke->R, 6.283186f);
        }
        if (main->ParticleCount > 1000) main->Reset();
    }
    EXPECT_NEAR(double(sparks) / updates, 0.1, 0.01);
    EXPECT_NEAR(double(smokes) / updates, 0.05, 0.007);
}

TEST_F(LanternTest, WithoutASparkKindThereIsNoSmokeEither) {
    auto bare = std::make_shared<gParticleSystem>();
    bare->AddManager(std::make_shared<pSmoke>());
    gEffects.Particles = bare;
    for (int i = 0; i < 2000; ++i) UpdateCustomEmitter(lantern);
    EXPECT_EQ(bare->ParticleCount, 0);
    // No system at all is a missing object, not a silent nothing.
    gEffects.Particles.reset();
    EXPECT_THROW(for (int i = 0; i < 2000; ++i) UpdateCustomEmitter(lantern), RuntimeError);
}

TEST_F(LanternTest, TheSceneHooksReachTheLanternAndTheWeatherCamera) {
    InstallSceneHooks();
    for (int i = 0; i < 200; ++i) lantern.Update(1e9f);  // the distance does not matter
    EXPECT_GT(main->ParticleCount, 0);
    ASSERT_TRUE(gSceneHooks.ShapeCamera);
    EXPECT_EQ(gSceneHooks.ShapeCamera(), cam);
    auto other = std::make_shared<zCamera>();
    gWeather.Camera = other;
    EXPECT_EQ(gSceneHooks.ShapeCamera(), other);
}

}  // namespace
}  // namespace tarv::test
