// The particle system: kinds by name, the array and its growth, ageing and
// death, removal order, linked deaths, particles made or killed while an
// update walks the list, depth sorting, and what the renderer hands the device.
#include <algorithm>
#include <functional>

#include "EffectsTestSupport.h"
#include "core/zValues.h"

namespace tarv::test {
namespace {

using namespace zun;

// A kind whose behaviour the test chooses; it records the ages it was updated at.
class Probe : public iParticle {
public:
    std::string name = "pProbe";
    int32_t lifeMax = 0;
    int32_t pass = 0;
    std::function<void(zParticle&)> onUpdate;
    std::function<void(zParticle&)> onCreate;
    std::function<void(int32_t, zValues&)> onSetup;
    std::vector<int32_t> updatedAges;

    std::string ClassName() const override { return name; }
    void Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) override {
        p.x = iX;
        p.y = iY;
        p.Z = iZ;
        p.R = iR;
        p.User = iUser;
        p.LifeMax = lifeMax;
        p.W = p.H = 16;
        p.ColorR = p.ColorG = p.ColorB = p.ColorA = 1;
        if (onCreate) onCreate(p);
    }
    bool SetupRenderer(int32_t iMode, zValues& s) override {
        if (iMode != pass) return false;
        s.SetLong("AlphaMode", 2);
        if (onSetup) onSetup(iMode, s);
        return true;
    }
    void Update(zParticle& p) override {
        updatedAges.push_back(p.LifeTime);
        if (onUpdate) onUpdate(p);
    }
};

class ParticleSystemTest : public EffectsTest {
protected:
    gParticleSystem ps;
    std::shared_ptr<Probe> probe = std::make_shared<Probe>();

    void SetUp() override {
        EffectsTest::SetUp();
        ps.AddManager(probe);
    }
    std::vector<float> Xs() const {
        std::vector<float> out;
        for (int32_t i = 1; i <= ps.ParticleCount; ++i) out.push_back(ps.Particle(i)->x);
        return out;
    }
};

TEST_F(ParticleSystemTest, KindsAreFoundByTheirExactNameAndRegisteredOnce) {
    EXPECT_EQ(ps.CreateParticle("pNothing", 1, 2, 3, 0), nullptr);
    EXPECT_EQ(ps.CreateParticle("pprobe", 1, 2, 3, 0), nullptr);
    EXPECT_EQ(ps.ParticleCount, 0);
    auto p = ps.CreateParticle("pProbe", 1, 2, 3, 0.5f, 7);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Manager, probe);
    EXPECT_EQ(p->Link, nullptr);
    EXPECT_EQ(p->User, 7);
    EXPECT_EQ(p->LifeTime, 0);
    EXPECT_EQ(ps.ParticleCount, 1);

    auto twin = std::make_shared<Probe>();
    try {
        ps.AddManager(twin);
        FAIL() << "a second kind of one name was accepted";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number, 457);
    }
    EXPECT_EQ(ps.Managers().size(), 1u);

    auto link = ps.CreateLinkParticle("pProbe", p, 0, 0, 0, 0);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Link, p);
    // The link is set before the kind fills the record.
    std::shared_ptr<zParticle> seenLink;
    probe->onCreate = [&](zParticle& q) { seenLink = q.Link; };
    ps.CreateLinkParticle("pProbe", p, 0, 0, 0, 0);
    EXPECT_EQ(seenLink, p);
}

TEST_F(ParticleSystemTest, ArrayGrowsInStepsOfAHundredAndKeepsItsCapacityOnReset) {
    EXPECT_EQ(ps.Capacity(), 0);
    ps.CreateParticle("pProbe", 0, 0, 0, 0);
    EXPECT_EQ(ps.Capacity(), 101);
    for (int i = 2; i <= 101; ++i) ps.CreateParticle("pProbe", float(i), 0, 0, 0);
    EXPECT_EQ(ps.Capacity(), 101);
    ps.CreateParticle("pProbe", 102, 0, 0, 0);
    EXPECT_EQ(ps.Capacity(), 202);
    EXPECT_EQ(ps.ParticleCount, 102);

    ps.Reset();
    EXPECT_EQ(ps.ParticleCount, 0);
    EXPECT_EQ(ps.Particle(1), nullptr);
    EXPECT_EQ(ps.Managers().size(), 1u);
    auto p = ps.CreateParticle("pProbe", 5, 0, 0, 0);
    EXPECT_EQ(ps.Particle(1), p);
    EXPECT_EQ(ps.Capacity(), 202);

    ps.AddParticle(nullptr);
    EXPECT_EQ(ps.ParticleCount, 1);
}

TEST_F(ParticleSystemTest, AFiniteParticleIsUpdatedAtEveryAgeAndDrawnUntilItsLastPass) {
    probe->lifeMax = 5;
    auto p = ps.CreateParticle("pProbe", 100, 100, 0, 0);
    // Not drawn before its first update.
    ps.RenderParticles(*cam, 0);
    EXPECT_TRUE(Drawn().empty());
    std::vector<size_t> drawnAfter;
    for (int pass = 1; pass <= 5; ++pass) {
        ps.UpdateParticles();
        ps.RenderParticles(*cam, 0);
        drawnAfter.push_back(Drawn().size());
    }
    EXPECT_EQ(probe->updatedAges, (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(drawnAfter, (std::vector<size_t>{1, 1, 1, 1, 0}));
    EXPECT_TRUE(p->Dead);
    EXPECT_EQ(ps.ParticleCount, 0);

    // Unlimited life never ends by age.
    probe->lifeMax = 0;
    auto forever = ps.CreateParticle("pProbe", 0, 0, 0, 0);
    for (int pass = 0; pass < 1000; ++pass) ps.UpdateParticles();
    EXPECT_FALSE(forever->Dead);
    EXPECT_EQ(forever->LifeTime, 1000);
    EXPECT_EQ(ps.ParticleCount, 1);
}

TEST_F(ParticleSystemTest, TheLastParticleFillsEachHoleSoOrderIsNotKept) {
    for (int i = 1; i <= 5; ++i) ps.CreateParticle("pProbe", float(i), 0, 0, 0);
    ps.Particle(2)->Dead = true;
    ps.Particle(4)->Dead = true;
    ps.UpdateParticles();
    EXPECT_EQ(Xs(), (std::vector<float>{1, 5, 3}));

    // A particle marked dead between calls is gone after the next one too.
    ps.Particle(1)->Dead = true;
    ps.UpdateParticles();
    EXPECT_EQ(Xs(), (std::vector<float>{3, 5}));
}

TEST_F(ParticleSystemTest, AnUnlimitedLinkTargetDiesWithItsFiniteParticleButAFiniteOneDoesNot) {
    probe->lifeMax = 0;
    auto target = ps.CreateParticle("pProbe", 1, 0, 0, 0);
    probe->lifeMax = 3;
    auto follower = ps.CreateLinkParticle("pProbe", target, 2, 0, 0, 0);
    probe->lifeMax = 10;
    auto finiteTarget = ps.CreateParticle("pProbe", 3, 0, 0, 0);
    probe->lifeMax = 3;
    ps.CreateLinkParticle("pProbe", finiteTarget, 4, 0, 0, 0);
    for (int i = 0; i < 3; ++i) ps.UpdateParticles();
    EXPECT_TRUE(target->Dead);
    EXPECT_TRUE(follower->Dead);
    EXPECT_FALSE(finiteTarget->Dead);
    ASSERT_EQ(ps.ParticleCount, 1);
    EXPECT_EQ(ps.Particle(1), finiteTarget);
    // The link still reads the record that left the system.
    EXPECT_EQ(follower->Link->x, 1.0f);
}

TEST_F(ParticleSystemTest, ParticlesMadeDuringAnUpdateAreFirstAgedInTheNextOne) {
    std::vector<std::shared_ptr<zParticle>> spawned;
    probe->onUpdate = [&](zParticle& p) {
        // Every parent spawns once; the spawned ones die at their first update.
        if (p.User == 1) {
            p.User = 0;
            spawned.push_back(ps.CreateParticle("pProbe", p.x + 100, 0, 0, 0, 2));
        } else if (p.User == 2) {
            p.Dead = true;
        }
    };
    for (int i = 0; i < 150; ++i) ps.CreateParticle("pProbe", float(i), 0, 0, 0, 1);
    // Spawning past the capacity makes the array grow while the walk goes on.
    ps.UpdateParticles();
    ASSERT_EQ(spawned.size(), 150u);
    EXPECT_EQ(ps.ParticleCount, 300);
    for (const auto& s : spawned) EXPECT_EQ(s->LifeTime, 0);
    EXPECT_EQ(probe->updatedAges.size(), 150u);

    ps.UpdateParticles();
    EXPECT_EQ(ps.ParticleCount, 150);
    for (const auto& s : spawned) EXPECT_EQ(s->LifeTime, 1);
    for (int32_t i = 1; i <= ps.ParticleCount; ++i) EXPECT_LT(ps.Particle(i)->x, 150.0f);
}

TEST_F(ParticleSystemTest, AKindMayKillOthersOrEmptyTheSystemWhileTheWalkRuns) {
    for (int i = 1; i <= 4; ++i) ps.CreateParticle("pProbe", float(i), 0, 0, 0, i);
    // Particle 2 kills particle 1 (already walked) and particle 4 (still ahead).
    probe->onUpdate = [&](zParticle& p) {
        if (p.User == 2) {
            ps.Particle(1)->Dead = true;
            ps.Particle(4)->Dead = true;
        }
    };
    ps.UpdateParticles();
    EXPECT_EQ(Xs(), (std::vector<float>{3, 2}));
    EXPECT_EQ(probe->updatedAges.size(), 4u);

    // A kind that empties the system and refills it: the walk stops, the
    // newcomers are not aged, and no emptied slot is touched.
    probe->updatedAges.clear();
    probe->onUpdate = [&](zParticle& p) {
        if (p.User == 3) {
            ps.Reset();
            ps.CreateParticle("pProbe", 50, 0, 0, 0, 0);
        }
    };
    ps.UpdateParticles();
    ASSERT_EQ(ps.ParticleCount, 1);
    EXPECT_EQ(ps.Particle(1)->x, 50.0f);
    EXPECT_EQ(ps.Particle(1)->LifeTime, 0);
}

TEST_F(ParticleSystemTest, ARecordWithoutAKindAgesAndDiesWithoutAnUpdate) {
    auto bare = std::make_shared<zParticle>();
    bare->LifeMax = 2;
    ps.AddParticle(bare);
    ps.UpdateParticles();
    EXPECT_EQ(bare->LifeTime, 1);
    EXPECT_EQ(ps.ParticleCount, 1);
    // Nobody's to draw it either.
    ps.RenderParticles(*cam, 0);
    EXPECT_TRUE(Drawn().empty());
    ps.UpdateParticles();
    EXPECT_EQ(ps.ParticleCount, 0);
}

TEST_F(ParticleSystemTest, AKindThatFailsInCreateStillGivesItsParticle) {
    probe->onCreate = [](zParticle& p) {
        p.LifeMax = 4;
        Raise(errOverflow);
    };
    auto p = ps.CreateParticle("pProbe", 3, 4, 0, 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ps.ParticleCount, 1);
    EXPECT_EQ(p->x, 3.0f);
    EXPECT_EQ(p->LifeMax, 4);
}

TEST_F(ParticleSystemTest, DepthSortOrdersByYAndStopsOnAnyInput) {
    const float ys[] = {5, 1, 4, 1, 3, 9, 2, 2, 8, 0};
    for (float y : ys) ps.CreateParticle("pProbe", 0, y, 0, 0);
    ps.DepthSort(1, ps.ParticleCount);
    for (int32_t i = 2; i <= ps.ParticleCount; ++i) EXPECT_LE(ps.Particle(i - 1)->y, ps.Particle(i)->y);

    ps.Reset();
    auto only = ps.CreateParticle("pProbe", 0, 7, 0, 0);
    ps.DepthSort(1, 1);
    EXPECT_EQ(ps.Particle(1), only);

    // Equal keys, a long descending run (deep for a plain quicksort) and keys
    // that are not numbers all end.
    ps.Reset();
    for (int i = 0; i < 500; ++i) ps.CreateParticle("pProbe", 0, 3, 0, 0);
    ps.DepthSort(1, ps.ParticleCount);
    ps.Reset();
    for (int i = 20000; i > 0; --i) ps.CreateParticle("pProbe", 0, float(i % 7 == 0 ? 0 : i), 0, 0);
    ps.DepthSort(1, ps.ParticleCount);
    for (int32_t i = 2; i <= ps.ParticleCount; ++i) ASSERT_LE(ps.Particle(i - 1)->y, ps.Particle(i)->y);
    ps.Reset();
    for (int i = 0; i < 50; ++i) ps.CreateParticle("pProbe", 0, i % 3 ? std::nanf("") : float(i), 0, 0);
    ps.DepthSort(1, ps.ParticleCount);
    // Bounds past the live particles are held to them.
    ps.DepthSort(0, ps.ParticleCount + 10);
    EXPECT_EQ(ps.ParticleCount, 50);
}

// The order of equal depths decides which of two overlapping particles is
// blended last, so the sort must give exactly the permutation of a plain
// quicksort that reads each depth through its record, ties included.
void PlainDepthSort(std::vector<std::shared_ptr<zParticle>>& v, int32_t a, int32_t b) {
    while (a < b) {
        int32_t lo = a, hi = b;
        const float pivot = v[size_t((a + b) / 2)]->y;
        while (lo <= hi) {
            while (v[size_t(lo)]->y < pivot && lo < b) ++lo;
            while (pivot < v[size_t(hi)]->y && hi > a) --hi;
            if (lo <= hi) std::swap(v[size_t(lo++)], v[size_t(hi--)]);
        }
        if (hi - a < b - lo) {
            if (a < hi) PlainDepthSort(v, a, hi);
            a = lo;
        } else {
            if (lo < b) PlainDepthSort(v, lo, b);
            b = hi;
        }
    }
}

TEST_F(ParticleSystemTest, DepthSortOrdersTiesAsThePlainQuicksortDoes) {
    uint32_t r = 99;
    for (int round = 0; round < 40; ++round) {
        ps.Reset();
        const int n = 1 + round * 13;
        for (int i = 0; i < n; ++i) {
            r = r * 1103515245u + 12345u;
            ps.CreateParticle("pProbe", float(i), float((r >> 16) % uint32_t(1 + round % 9)), 0, 0);
        }
        std::vector<std::shared_ptr<zParticle>> plain{nullptr};
        for (int32_t i = 1; i <= ps.ParticleCount; ++i) plain.push_back(ps.Particle(i));
        const int32_t from = 1 + round % 3, to = ps.ParticleCount - round % 2;
        PlainDepthSort(plain, std::max(from, 1), std::min(to, ps.ParticleCount));
        ps.DepthSort(from, to);
        for (int32_t i = 1; i <= ps.ParticleCount; ++i)
            ASSERT_EQ(ps.Particle(i), plain[size_t(i)]) << "round " << round << " index " << i;
    }
}

// Frame after frame the sorted order is only disturbed a little: depths move
// a few places, the deepest particle takes a dead one's slot and new ones join
// at the end. Distinct depths, and now and then a tie or a NaN, must still give
// the plain quicksort's permutation.
TEST_F(ParticleSystemTest, DepthSortOfANearlySortedFrameMatchesThePlainQuicksort) {
    uint32_t r = 7;
    const auto next = [&r] { return (r = r * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < 600; ++i) ps.CreateParticle("pProbe", 0, float(next() % 100000) / 64.0f, 0, 0);
    for (int frame = 0; frame < 60; ++frame) {
        for (int32_t i = 1; i <= ps.ParticleCount; ++i)
            ps.Particle(i)->y += float(int(next() % 41) - 20) / 256.0f;
        for (int k = 0; k < 12; ++k) {
            const int32_t slot = 1 + int32_t(next() % uint32_t(ps.ParticleCount - 1));
            ps.Particle(slot)->Dead = true;
        }
        ps.UpdateParticles();
        while (ps.ParticleCount < 600) ps.CreateParticle("pProbe", 0, float(next() % 100000) / 64.0f, 0, 0);
        if (frame % 10 == 3) ps.Particle(5)->y = ps.Particle(400)->y;
        const auto odd = ps.Particle(9);
        if (frame % 10 == 7) odd->y = std::nanf("");
        std::vector<std::shared_ptr<zParticle>> plain{nullptr};
        for (int32_t i = 1; i <= ps.ParticleCount; ++i) plain.push_back(ps.Particle(i));
        const int32_t from = 1 + frame % 4, to = ps.ParticleCount - frame % 3;
        PlainDepthSort(plain, from, to);
        ps.DepthSort(from, to);
        for (int32_t i = 1; i <= ps.ParticleCount; ++i)
            ASSERT_EQ(ps.Particle(i), plain[size_t(i)]) << "frame " << frame << " index " << i;
        if (frame % 10 == 7) odd->y = 0;  // the next frames start from numbers again
    }
}

TEST_F(ParticleSystemTest, RenderPlacesEachParticleByPivotZoomAndHeight) {
    probe->onSetup = [](int32_t, zValues& s) {
        s.SetSingle("TopZ", 0.8f);
        s.SetSingle("BottomZ", 0.4f);
    };
    probe->onCreate = [&](zParticle& p) {
        p.Texture = particleTex;
        p.SourceX = 32;
        p.SourceY = 64;
        p.W = 32;
        p.H = 16;
        p.OriginX = 16;
        p.OriginY = 8;
        p.ZoomX = 2;
        p.ZoomY = 0.5f;
        p.Alpha = 0.25f;
        p.ColorR = 1;
        p.ColorG = 0.5f;
        p.ColorB = 0;
        p.ColorA = 2;  // clamped for the colour only
    };
    cam->x = 10.5f;
    cam->y = 20.5f;
    auto p = ps.CreateParticle("pProbe", 110, 260.5f, 30, 0);
    ps.UpdateParticles();
    const DrawState mode2 = ModeState(2);
    ps.RenderParticles(*cam, 0);
    auto q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    // camX = Int(-10.5) = -11, camY = Int(-20.5) = -21.
    EXPECT_FLOAT_EQ(q[0].Q.Left(), 110 - 16 * 2 - 11);
    EXPECT_FLOAT_EQ(q[0].Q.Top(), 260.5f - 8 * 0.5f - 21 - 30);
    EXPECT_FLOAT_EQ(q[0].Q.Width(), 64);
    EXPECT_FLOAT_EQ(q[0].Q.Height(), 8);
    EXPECT_NEAR(q[0].Q.U[0], 32.0f / 256, 1e-5);
    EXPECT_NEAR(q[0].Q.V[0], 64.0f / 256, 1e-5);
    // Depth over the view: 0.8 at the top, 0.4 at the bottom; y is 240 below the top.
    EXPECT_NEAR(q[0].Q.Z, 0.8f - 0.4f * 240.0f / 480.0f, 1e-5);
    EXPECT_EQ(q[0].Q.Color, uint32_t(ColorFromComponents(1, 0.5f, 0, 1)));
    EXPECT_NEAR(q[0].Transparency(), 0.25f, 0.01f);
    EXPECT_TRUE(SameBlend(q[0].State, mode2));
    EXPECT_EQ(p->ColorA, 2.0f);
    // The global transparency is back to opaque after the kind.
    EXPECT_EQ(zDDraw.GlobalAlpha, 0.0f);

    // ZoomMul and AlphaMul are honoured when a kind writes them.
    probe->onSetup = [](int32_t, zValues& s) {
        s.SetSingle("ZoomMul", 0.5f);
        s.SetSingle("AlphaMul", 2);
    };
    ps.RenderParticles(*cam, 0);
    q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.Width(), 32);
    EXPECT_FLOAT_EQ(q[0].Q.Height(), 4);
    EXPECT_FLOAT_EQ(q[0].Q.Left(), 110 - 16 - 11);
    EXPECT_NEAR(q[0].Transparency(), 0.5f, 0.01f);
    // Without "TopZ" and "BottomZ" the depth is 0, as when 0 is written.
    EXPECT_FLOAT_EQ(q[0].Q.Z, 0.0f);
}

TEST_F(ParticleSystemTest, AKindThatDoesNotServeThePassDrawsNothingAndKeepsTheBlendMode) {
    probe->pass = 1;
    ps.CreateParticle("pProbe", 100, 100, 0, 0);
    ps.UpdateParticles();
    zDDraw.SetAlphaMode(31);
    const DrawState before = zDDraw.State;
    ps.RenderParticles(*cam, 0);
    EXPECT_TRUE(Drawn().empty());
    EXPECT_EQ(zDDraw.State, before);
    ps.RenderParticles(*cam, 1);
    EXPECT_EQ(Drawn().size(), 1u);
}

TEST_F(ParticleSystemTest, TheViewTestIsStrictOnEveryEdge) {
    // ClipW = ClipH = 10; the view is 640 x 480 at camera (0, 0).
    probe->onCreate = [](zParticle& p) {
        p.ClipW = 10;
        p.ClipH = 10;
    };
    const float cases[][3] = {
        {-10, 100, 0},                   // x + ClipW = 0: out
        {-9.5f, 100, 1},                 // in
        {650, 100, 0},                   // x - ClipW = 640: out
        {649, 100, 1},   {100, -10, 0},  // y + ClipH = 0: out
        {100, 490, 0},                   // y - ClipH = 480: out
        {100, 489, 1},   {100, 500, 1},  // raised 20: drawn 20 higher, inside
    };
    for (const auto& c : cases) {
        ps.Reset();
        auto p = ps.CreateParticle("pProbe", c[0], c[1], 0, 0);
        if (c[1] == 500) p->Z = 20;
        ps.UpdateParticles();
        ps.RenderParticles(*cam, 0);
        EXPECT_EQ(Drawn().size(), size_t(c[2])) << c[0] << "," << c[1];
    }
    // The test uses the logical view: with render zoom 2 only half the screen is seen.
    zDDraw.RenderZoom = 2.0f;
    ps.Reset();
    ps.CreateParticle("pProbe", 331, 100, 0, 0);
    ps.UpdateParticles();
    ps.RenderParticles(*cam, 0);
    EXPECT_TRUE(Drawn().empty());
    zDDraw.RenderZoom = 1.0f;
}

TEST_F(ParticleSystemTest, TheMirrorSquashesHeightAndLaysTheLiftDownwards) {
    probe->onCreate = [&](zParticle& p) {
        p.Texture = particleTex;
        p.W = 32;
        p.H = 32;
        p.OriginX = 16;
        p.OriginY = 32;
        p.ClipW = 32;
        p.ClipH = 32;
    };
    auto p = ps.CreateParticle("pProbe", 100, 200, 40, 0);
    ps.UpdateParticles();
    ps.RenderParticlesMirror(*cam, 0, 0.75f);
    auto q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.Left(), 84);
    EXPECT_FLOAT_EQ(q[0].Q.Width(), 32);
    EXPECT_FLOAT_EQ(q[0].Q.Height(), 24);
    // y - OriginY * 0.75 + Z * 0.75 = 200 - 24 + 30.
    EXPECT_FLOAT_EQ(q[0].Q.Top(), 206);

    // In the mirror a particle 500 below the view's bottom edge but lifted
    // upwards is still out, and one above the top comes down into view.
    p->y = -40;
    ps.RenderParticlesMirror(*cam, 0, 0.75f);
    EXPECT_EQ(Drawn().size(), 1u);
    ps.RenderParticles(*cam, 0);
    EXPECT_TRUE(Drawn().empty());
}

}  // namespace
}  // namespace tarv::test
