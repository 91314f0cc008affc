// The eight particle kinds: their render parameters, what Create fills, how
// Update moves and fades them over a whole life, and the glow that follows
// another particle.
#include <algorithm>
#include <cmath>
#include <map>

#include "EffectsTestSupport.h"
#include "core/zValues.h"

namespace tarv::test {
namespace {

using namespace zun;

constexpr double kPi = 3.141593;

class ParticleKindsTest : public EffectsTest {
protected:
    std::shared_ptr<zParticle> Make(const char* kind, float x, float y, float z, float r = 0,
                                    int32_t user = 0) {
        auto p = main->CreateParticle(kind, x, y, z, r, user);
        EXPECT_NE(p, nullptr) << kind;
        return p;
    }
    // Steps the main system until the particle has left it; returns the passes it lived.
    int LifeOf(const std::shared_ptr<zParticle>& p) {
        int passes = 0;
        while (!p->Dead && passes < 10000) {
            main->UpdateParticles();
            ++passes;
        }
        return passes;
    }
};

TEST_F(ParticleKindsTest, EachKindServesOnePassWithItsBlendModeAndDepthRange) {
    struct Row {
        std::shared_ptr<iParticle> kind;
        const char* name;
        int32_t pass, mode;
        float top, bottom;
    };
    const Row rows[] = {
        {std::make_shared<pFlock>(), "pFlock", 0, 11, 0.8f, 0.5f},
        {std::make_shared<pGlow>(), "pGlow", 1, 11, 0, 0},
        {std::make_shared<pRain>(), "pRain", 0, 12, 0.8f, 0.5f},
        {std::make_shared<pSmoke>(), "pSmoke", 0, 3, 0.8f, 0.5f},
        {std::make_shared<pSnow>(), "pSnow", 0, 12, 0.8f, 0.5f},
        {std::make_shared<pSpark>(), "pSpark", 0, 10, 0.8f, 0.5f},
        {std::make_shared<pTrack>(), "pTrack", 0, 2, 0.8f, 0.5f},
        {std::make_shared<pWave>(), "pWave", 0, 11, 0.8085f, 0.5085f},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.kind->ClassName(), r.name);
        zValues s;
        ASSERT_TRUE(r.kind->SetupRenderer(r.pass, s)) << r.name;
        EXPECT_EQ(s.GetLong("AlphaMode", 1), r.mode) << r.name;
        EXPECT_FLOAT_EQ(s.GetSingle("TopZ", -1), r.top == 0 ? -1 : r.top) << r.name;
        EXPECT_FLOAT_EQ(s.GetSingle("BottomZ", -1), r.bottom == 0 ? -1 : r.bottom) << r.name;
        zValues other;
        EXPECT_FALSE(r.kind->SetupRenderer(1 - r.pass, other)) << r.name;
        EXPECT_FALSE(r.kind->SetupRenderer(7, other)) << r.name;
    }
}

TEST_F(ParticleKindsTest, RainWithoutWindFallsStraightAndFadesInAndOutOverFortyFrames) {
    gWeather.RainTexture = particleTex;
    for (int i = 0; i < 200; ++i) {
        auto p = Make("pRain", 100, 100, 50, 1.0f);
        EXPECT_NEAR(p->Dir, 4.712389, kPi / 32 + 1e-6);
        EXPECT_FLOAT_EQ(p->Speed, 2.5f);
        EXPECT_FLOAT_EQ(p->R, 0.0f);
        EXPECT_FLOAT_EQ(p->SpeedZ, -10.0f);
        EXPECT_EQ(p->Texture, particleTex);
        EXPECT_EQ(p->W, 256);
        EXPECT_FLOAT_EQ(p->OriginX, 128);
        EXPECT_FLOAT_EQ(p->OriginY, 256);
        EXPECT_FLOAT_EQ(p->ClipH, 256);
        EXPECT_EQ(p->LifeMax, 40);
    }
    main->Reset();
    auto p = Make("pRain", 300, 300, 50);
    const double dir = p->Dir;
    std::vector<float> alpha;
    std::vector<size_t> drawn;
    for (int pass = 1; pass <= 40; ++pass) {
        const float x0 = p->x, y0 = p->y, z0 = p->Z;
        main->UpdateParticles();
        EXPECT_NEAR(p->Z, z0 - 10, 1e-4);
        EXPECT_NEAR(p->x - x0, std::cos(dir) * 2.5, 1e-4);
        EXPECT_NEAR(p->y - y0, std::sin(dir) * 2.5, 1e-4);
        alpha.push_back(p->ColorA);
        main->RenderParticles(*cam, 0);
        drawn.push_back(Drawn().size());
    }
    EXPECT_EQ(main->ParticleCount, 0);
    EXPECT_NEAR(p->Z, 50 - 400, 1e-3);
    EXPECT_NEAR(alpha[0], 1.0f / 16, 0.02f);  // rising over the first 40 %
    EXPECT_FLOAT_EQ(alpha[15], 1.0f);         // t = 0.4
    EXPECT_FLOAT_EQ(alpha[23], 1.0f);         // t = 0.6
    EXPECT_FLOAT_EQ(alpha[39], 0.0f);         // last frame: the curve's last key
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), size_t(1)), 39);
    EXPECT_EQ(drawn.back(), 0u);
}

TEST_F(ParticleKindsTest, RainLeansWithTheWindItWasMadeInAndDriftsWithTheWindOfEachFrame) {
    gWeather.WindStrength = 2;
    gWeather.WindAngle = 0;
    auto p = Make("pRain", 0, 0, 50);
    // The streak leans against the wind: GetAngle(-2, 0, 0, 2.5) - pi/2.
    EXPECT_NEAR(p->R, -std::atan(2.0 / 2.5), 1e-5);
    EXPECT_NEAR(p->Speed, std::sqrt(4 + 6.25), 1e-5);
    const double dir = p->Dir;
    EXPECT_GT(std::cos(dir), 0.5);  // carried with the wind
    main->UpdateParticles();
    EXPECT_NEAR(p->x, std::cos(dir) * p->Speed + 2, 1e-4);
    // Later wind moves it once per frame at strength times 1.
    gWeather.WindStrength = 0;
    const float x1 = p->x;
    main->UpdateParticles();
    EXPECT_NEAR(p->x - x1, std::cos(dir) * p->Speed, 1e-4);
}

TEST_F(ParticleKindsTest, SnowDriftsItsOwnWayAndTheWindPushesItTwiceAsHardAsRain) {
    gWeather.SnowTexture = shadowTex;
    gWeather.WindStrength = 1;
    gWeather.WindAngle = 0;
    double sumCos = 0;
    for (int i = 0; i < 400; ++i) {
        auto p = Make("pSnow", 0, 0, 50, 2.0f);
        EXPECT_GE(p->Speed, 0.2f);
        EXPECT_LT(p->Speed, 1.0f);
        EXPECT_GE(p->Dir, 0.0f);
        EXPECT_LT(p->Dir, 6.283186f);
        EXPECT_FLOAT_EQ(p->R, 0.0f);
        EXPECT_EQ(p->Texture, shadowTex);
        sumCos += std::cos(p->Dir);
    }
    // The wind at creation does not bend the direction.
    EXPECT_LT(std::fabs(sumCos / 400), 0.15);
    main->Reset();
    auto p = Make("pSnow", 0, 0, 50);
    const double dir = p->Dir, speed = p->Speed;
    main->UpdateParticles();
    EXPECT_NEAR(p->x, std::cos(dir) * speed + 2, 1e-5);
    EXPECT_NEAR(p->y, std::sin(dir) * speed, 1e-5);
    EXPECT_FLOAT_EQ(p->Z, 48);
    EXPECT_EQ(LifeOf(p), 39);
    EXPECT_NEAR(p->Z, 50 - 80, 1e-4);
}

TEST_F(ParticleKindsTest, SmokeRisesGrowsGreysAndFadesButOnTheGroundItStays) {
    std::map<int32_t, int> cells;
    int32_t shortest = 1000, longest = 0;
    for (int i = 0; i < 500; ++i) {
        auto p = Make("pSmoke", 0, 0, 5, 1.5f);
        cells[p->SourceX] += 1;
        EXPECT_EQ(p->SourceY, 96);
        EXPECT_FLOAT_EQ(p->R, 1.5f);
        EXPECT_GE(p->SpeedZ, 0.3f);
        EXPECT_LT(p->SpeedZ, 0.5f);
        EXPECT_GE(p->ZoomX, 0.2f);
        EXPECT_LT(p->ZoomX, 0.45f);
        shortest = std::min(shortest, p->LifeMax);
        longest = std::max(longest, p->LifeMax);
    }
    EXPECT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells.begin()->first, 0);
    EXPECT_EQ(cells.rbegin()->first, 128);
    EXPECT_GE(shortest, 40);
    EXPECT_LE(longest, 70);

    main->Reset();
    auto rising = Make("pSmoke", 50, 50, 5);
    auto grounded = Make("pSmoke", 80, 80, 0);
    const float speedZ = rising->SpeedZ;
    main->UpdateParticles();
    EXPECT_NEAR(rising->Z, 5 + speedZ, 1e-5);
    EXPECT_FLOAT_EQ(grounded->x, 80);
    EXPECT_FLOAT_EQ(grounded->Z, 0);
    const int life = grounded->LifeMax;
    for (int pass = 2; pass <= life; ++pass) {
        main->UpdateParticles();
        if (pass == life / 4) {
            EXPECT_GT(grounded->ColorR, 0.4f);  // brightest about a quarter in
        }
    }
    EXPECT_FLOAT_EQ(grounded->x, 80);
    EXPECT_FLOAT_EQ(grounded->y, 80);
    EXPECT_FLOAT_EQ(grounded->Z, 0);
    EXPECT_TRUE(grounded->Dead);
    // Its last frame: full fade key, full size (half a cell), black again.
    EXPECT_FLOAT_EQ(grounded->Alpha, 1.0f);
    EXPECT_FLOAT_EQ(grounded->ColorA, 1.0f);
    EXPECT_FLOAT_EQ(grounded->ZoomX, 0.5f);
    EXPECT_FLOAT_EQ(grounded->ZoomY, 0.5f);
    EXPECT_FLOAT_EQ(grounded->ColorR, 0.0f);
    EXPECT_FLOAT_EQ(grounded->ColorB, 0.0f);
}

TEST_F(ParticleKindsTest, ASparkFallsBackLandsAndFadesInPlace) {
    auto p = Make("pSpark", 10, 20, 1, 2.0f);
    EXPECT_FLOAT_EQ(p->R, 0);
    EXPECT_FLOAT_EQ(p->ColorR, 1);
    EXPECT_FLOAT_EQ(p->ColorG, 0.2f);
    EXPECT_FLOAT_EQ(p->ColorA, 0);
    EXPECT_FLOAT_EQ(p->ZoomX, 1);
    EXPECT_EQ(p->SourceY, 0);
    EXPECT_EQ(p->SourceX % 32, 0);
    EXPECT_LE(p->SourceX, 192);
    EXPECT_GE(p->LifeMax, 80);
    EXPECT_LE(p->LifeMax, 120);
    p->SpeedZ = 0.2f;
    p->LifeMax = 120;
    int landedAt = 0;
    float peak = 0;
    for (int pass = 1; pass <= 120; ++pass) {
        const float x0 = p->x, y0 = p->y, z0 = p->Z;
        main->UpdateParticles();
        peak = std::max(peak, p->Z);
        if (landedAt == 0 && p->Z <= 0) landedAt = pass;
        if (landedAt != 0 && pass > landedAt) {
            EXPECT_EQ(p->x, x0);
            EXPECT_EQ(p->y, y0);
            EXPECT_EQ(p->Z, z0);
        }
        if (pass == 18) {
            EXPECT_FLOAT_EQ(p->ZoomX, 0.4f);  // t = 0.15: full size
        }
        if (pass == 60) {
            EXPECT_FLOAT_EQ(p->ColorA, 0.25f);  // middle: full glow
        }
    }
    EXPECT_GT(landedAt, 20);
    EXPECT_LT(landedAt, 60);
    EXPECT_NEAR(peak, 1 + 0.2 * 21 / 2, 0.2);
    EXPECT_TRUE(p->Dead);
    EXPECT_FLOAT_EQ(p->ColorA, 0);
    EXPECT_FLOAT_EQ(p->ZoomX, 0.2f);
}

TEST_F(ParticleKindsTest, ASparkleFallsUnderGravityAndLiesStillOnTheGround) {
    int32_t shortLives = 0, total = 0;
    for (int i = 0; i < 1000; ++i) {
        auto p = Make("pFlock", 0, 0, 16);
        ASSERT_GE(p->LifeMax, 10);
        ASSERT_LE(p->LifeMax, 140);
        if (p->LifeMax < 75) shortLives += 1;
        total += 1;
        EXPECT_FLOAT_EQ(p->ColorA, 0.1f);
    }
    // Power 2.5: far more short lives than long ones (about 76 % below the middle).
    EXPECT_GT(shortLives, total * 2 / 3);

    main->Reset();
    auto p = Make("pFlock", 200, 200, 16);
    p->LifeMax = 140;
    int landedAt = 0;
    for (int n = 1; n <= 30; ++n) {
        main->UpdateParticles();
        if (n <= 19) {
            EXPECT_NEAR(p->Z, 16 - 0.05 * n * (n - 1), 1e-3) << n;
        }
        if (landedAt == 0 && p->Z <= 0) landedAt = n;
    }
    EXPECT_EQ(landedAt, 19);
    const float x = p->x, y = p->y, z = p->Z;
    main->UpdateParticles();
    EXPECT_EQ(p->x, x);
    EXPECT_EQ(p->y, y);
    EXPECT_EQ(p->Z, z);

    // A short life ends in the air.
    auto brief = Make("pFlock", 0, 0, 16);
    brief->LifeMax = 10;
    EXPECT_EQ(LifeOf(brief), 10);
    EXPECT_GT(brief->Z, 0);
    EXPECT_FLOAT_EQ(brief->ColorA, 0);
}

TEST_F(ParticleKindsTest, AGlowFollowsItsSparkleGrowsByItsFactorAndDiesWithIt) {
    auto sparkle = Make("pFlock", 100, 120, 16);
    sparkle->LifeMax = 12;
    auto glow = light->CreateLinkParticle("pGlow", sparkle, 0, 0, 0, 0, 3);
    ASSERT_NE(glow, nullptr);
    EXPECT_FLOAT_EQ(glow->x, 100);
    EXPECT_FLOAT_EQ(glow->Z, 16);
    EXPECT_EQ(glow->SourceX, sparkle->SourceX);
    EXPECT_FLOAT_EQ(glow->ColorG, 0.5f);
    EXPECT_FLOAT_EQ(glow->OriginX, 16);
    EXPECT_FLOAT_EQ(glow->ClipW, 96);
    EXPECT_FLOAT_EQ(glow->ClipH, 96);
    EXPECT_EQ(glow->User, 3);

    int frames = 0;
    while (light->ParticleCount > 0 && frames < 100) {
        // Main system first, as the frame tick does.
        main->UpdateParticles();
        light->UpdateParticles();
        ++frames;
        if (glow->Dead) break;
        EXPECT_FLOAT_EQ(glow->x, sparkle->x);
        EXPECT_FLOAT_EQ(glow->Z, sparkle->Z);
        EXPECT_FLOAT_EQ(glow->ZoomX, sparkle->ZoomX * 3);
        EXPECT_FLOAT_EQ(glow->ColorA, sparkle->ColorA);
        EXPECT_FLOAT_EQ(glow->Alpha, sparkle->Alpha);
        EXPECT_EQ(glow->LifeTime, sparkle->LifeTime);
        light->RenderParticles(*cam, 1);
        auto q = Drawn();
        ASSERT_EQ(q.size(), 1u);
        EXPECT_NEAR(q[0].Q.Width(), 32 * sparkle->ZoomX * 3, 1.0);  // corners land on whole pixels
        EXPECT_FLOAT_EQ(q[0].Q.Z, 0.0f);
        main->RenderParticles(*cam, 1);
        EXPECT_TRUE(Drawn().empty());
    }
    EXPECT_EQ(frames, 12);
    EXPECT_TRUE(sparkle->Dead);
    EXPECT_EQ(main->ParticleCount, 0);
    EXPECT_EQ(light->ParticleCount, 0);
    // The sparkle's record is still there for the glow to read.
    EXPECT_EQ(glow->Link, sparkle);
}

TEST_F(ParticleKindsTest, AGlowWithNothingToFollowDiesAtItsFirstUpdate) {
    auto orphan = light->CreateParticle("pGlow", 1, 2, 3, 0, 3);
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(orphan->User, 3);
    light->UpdateParticles();
    EXPECT_TRUE(orphan->Dead);
    EXPECT_EQ(light->ParticleCount, 0);
    // A link of unlimited life keeps its glow alive.
    auto still = std::make_shared<zParticle>();
    auto glow = light->CreateLinkParticle("pGlow", still, 0, 0, 0, 0, 2);
    for (int i = 0; i < 50; ++i) light->UpdateParticles();
    EXPECT_FALSE(glow->Dead);
    EXPECT_EQ(light->ParticleCount, 1);
}

TEST_F(ParticleKindsTest, AFootprintKeepsItsTurnAndFadesOutOverTheLastQuarter) {
    int32_t lo = 1000, hi = 0;
    for (int i = 0; i < 300; ++i) {
        auto p = Make("pTrack", 0, 0, 0, 2.5f);
        lo = std::min(lo, p->LifeMax);
        hi = std::max(hi, p->LifeMax);
        EXPECT_FLOAT_EQ(p->R, 2.5f);
    }
    EXPECT_GE(lo, 50);
    EXPECT_LE(hi, 200);
    main->Reset();
    auto p = Make("pTrack", 64, 64, 0, 1.0f);
    p->LifeMax = 100;
    EXPECT_EQ(p->SourceX, 64);
    EXPECT_EQ(p->SourceY, 64);
    EXPECT_FLOAT_EQ(p->ZoomX, 0.25f);
    EXPECT_FLOAT_EQ(p->ColorA, 0);
    for (int pass = 1; pass <= 100; ++pass) {
        main->UpdateParticles();
        if (pass <= 75) {
            EXPECT_FLOAT_EQ(p->Alpha, 0.7f) << pass;
        }
        if (pass == 88) {
            EXPECT_NEAR(p->Alpha, 0.7 + 0.3 * 13 / 25, 0.01);
        }
    }
    EXPECT_FLOAT_EQ(p->Alpha, 1.0f);
    EXPECT_EQ(main->ParticleCount, 0);
    EXPECT_FLOAT_EQ(p->x, 64);
}

TEST_F(ParticleKindsTest, AWaterRingGrowsToAFlatEllipseWhileItFades) {
    std::map<int32_t, int> cells;
    for (int i = 0; i < 200; ++i) {
        auto p = Make("pWave", 0, 0, 0, 1.0f);
        ASSERT_GE(p->LifeMax, 15);
        ASSERT_LE(p->LifeMax, 20);
        EXPECT_FLOAT_EQ(p->R, 0);
        cells[p->SourceX] += 1;
    }
    EXPECT_EQ(cells.size(), 2u);
    main->Reset();
    auto p = Make("pWave", 300, 300, 0);
    const int life = p->LifeMax;
    main->UpdateParticles();
    EXPECT_NEAR(p->ZoomX, 1.0 / life, 1e-6);
    EXPECT_NEAR(p->ZoomY, 0.5 / life, 1e-6);
    EXPECT_EQ(LifeOf(p), life - 1);
    EXPECT_FLOAT_EQ(p->ZoomX, 1);
    EXPECT_FLOAT_EQ(p->ZoomY, 0.5f);
    EXPECT_FLOAT_EQ(p->Alpha, 0);
    EXPECT_FLOAT_EQ(p->ColorA, 0);
}

TEST_F(ParticleKindsTest, FootprintsAreDrawnWithAlphaBlendingAndRingsJustBehindThem) {
    const DrawState mode2 = ModeState(2), mode11 = ModeState(11);
    Make("pTrack", 100, 240, 0);
    Make("pWave", 200, 240, 0);
    main->UpdateParticles();
    main->DepthSort(1, main->ParticleCount);
    main->RenderParticles(*cam, 0);
    auto q = Drawn();
    ASSERT_EQ(q.size(), 2u);
    // Kinds draw in registration order: the footprint first.
    EXPECT_TRUE(SameBlend(q[0].State, mode2));
    EXPECT_TRUE(SameBlend(q[1].State, mode11));
    EXPECT_NEAR(q[0].Q.Z, 0.65f, 1e-5);
    EXPECT_NEAR(q[1].Q.Z, 0.6585f, 1e-5);
    EXPECT_NEAR(q[0].Transparency(), 0.7f, 0.01f);
    EXPECT_FLOAT_EQ(q[0].Q.Width(), 8);
    EXPECT_EQ(q[0].Q.Texture, TexId(particleTex));
}

}  // namespace
}  // namespace tarv::test
