// The player's footprints, water rings and step sounds, and the clicks and
// the closing sound of the message box.
#include <gtest/gtest.h>

#include <cmath>

#include "MainFormTestSupport.h"
#include "devices/test_sound_fixtures.h"
#include "game/effects/gParticleSystem.h"
#include "game/effects/zParticle.h"
#include "game/world/gTextArea.h"
#include "game/world/gTextSelect.h"
#include "scene/zValueSetMap.h"

namespace tarv::test {
namespace {

class Sounds : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ::mkdir(dir.HostPath("sound").c_str(), 0755);
        for (const char* f : {"step.wav", "snip.wav", "text_out.wav"})
            zun::test::WriteHostFile(dir.HostPath(std::string("sound/") + f),
                                     zun::test::ConstantWav(1, 10000, 16, 1000, 0.1));
        Start("class Game {}");
        gCharTest.Player->Sprite->SetPosition(100, 100);
        gCharTest.Player->Angle = 0;  // walking right: the feet are above and below the path
    }
    static std::shared_ptr<AudioBuffer> Wave(const std::string& file) {
        for (int32_t i = 1; i <= zDSound.WaveCount; ++i)
            if (zDSound.WaveFiles[size_t(i)].find(file) != std::string::npos) return zDSound.Waves[size_t(i)];
        return nullptr;
    }
    // The speed a wave last played at, or 0 when it never played.
    static float Speed(const std::string& file) {
        auto w = Wave(file);
        return w ? float(w->GetFrequency()) / 10000.0f : 0.0f;
    }
    static bool Playing(const std::string& file) {
        auto w = Wave(file);
        return w && (w->GetStatus() & AudioBuffer::StatusPlaying);
    }
    // Particles of the main system made since it was last emptied.
    static std::vector<std::shared_ptr<zParticle>> Made(const std::string& kind) {
        std::vector<std::shared_ptr<zParticle>> out;
        for (int32_t i = 1; i <= gCharTest.Particles->ParticleCount; ++i) {
            auto p = gCharTest.Particles->Particle(i);
            if (p && p->Manager && p->Manager->ClassName() == kind) out.push_back(p);
        }
        return out;
    }
    void Walk(int frames) {
        gCharTest.Player->Speed = 1;
        for (int i = 0; i < frames; ++i) {
            zCore.FrameCounter += 1;
            frmMain.CreatePlayerSteps();
        }
    }
};

TEST_F(Sounds, WithoutGroundTheFeetAlternateSilently) {
    Walk(3);
    EXPECT_TRUE(frmMain.LeftFoot);
    EXPECT_EQ(frmMain.LastStepFrame, 3);
    Walk(3);
    EXPECT_FALSE(frmMain.LeftFoot);
    EXPECT_TRUE(Made("pTrack").empty());
    EXPECT_EQ(Speed("step.wav"), 0.0f);
}

TEST_F(Sounds, FootprintsLeftAndRightOfThePathWithStepSoundsOnSolidGround) {
    auto ground = std::make_shared<zValueSetMap>();
    ground->SetTileSize(32);
    ground->SetSize(9, 9);
    ground->GetValueSet(0)->SetString("StepSound", "step.wav");
    gCharTest.mapMaterials = ground;
    zCore.FrameCounter = 100;
    Walk(6);  // prints at frames 101 and 104, a sound at 101
    const auto prints = Made("pTrack");
    ASSERT_EQ(prints.size(), 2u);
    // The jitter is at most 2 pixels, the feet 2 pixels off the path: the
    // first print lies above it, the second below.
    EXPECT_LE(prints[0]->y, 100.0f);
    EXPECT_GE(prints[1]->y, 100.0f);
    EXPECT_LE(std::fabs(prints[0]->x - 100.0f), 2.0f);
    EXPECT_EQ(frmMain.LastStepSoundFrame, 101);
    const float speed = Speed("step.wav");
    EXPECT_GE(speed, 0.7f);
    EXPECT_LE(speed, 1.3f);

    // Standing resets the sound frame: the next step sounds at once.
    gCharTest.Player->Speed = 0;
    frmMain.CreatePlayerSteps();
    EXPECT_EQ(frmMain.LastStepSoundFrame, 0);
    Walk(1);
    EXPECT_EQ(frmMain.LastStepSoundFrame, zCore.FrameCounter);

    // In water the prints are rings, and a standing player rings it now and then.
    ground->GetValueSet(0)->SetLong("Effect", 1);
    Walk(3);
    EXPECT_EQ(Made("pWave").size(), 1u);
    gCharTest.Player->Speed = 0;
    int32_t last = -100;
    for (int i = 0; i < 400; ++i) {
        zCore.FrameCounter += 1;
        const size_t before = Made("pWave").size();
        frmMain.CreatePlayerSteps();
        if (Made("pWave").size() > before) {
            EXPECT_GT(zCore.FrameCounter - last, 5);
            last = zCore.FrameCounter;
        }
    }
    EXPECT_GT(last, 0);
}

TEST_F(Sounds, TheTypewriterClicksLowerForMessagesThatAreNotMirrored) {
    auto m = std::make_shared<gTextSelect>();
    m->Message = "Some words to type";
    gCharTest.Messages = {m};
    zCore.FrameCounter = 1;
    frmMain.UpdateInterface();
    EXPECT_FLOAT_EQ(Speed("snip.wav"), 0.7f);
    m->Mirrored = true;
    StopAllWaves();
    zCore.FrameCounter = 2;
    frmMain.UpdateInterface();
    EXPECT_FLOAT_EQ(Speed("snip.wav"), 1.0f);

    // Answered half-typed: the box closes with its sound and no more clicks.
    gCharTest.Message = nullptr;
    const int32_t shown = gCharTest.MessageArea->ShowChars;
    zCore.FrameCounter = 3;
    StopAllWaves();
    frmMain.UpdateInterface();
    EXPECT_FLOAT_EQ(Speed("text_out.wav"), 1.0f);
    EXPECT_FALSE(Playing("snip.wav"));
    EXPECT_EQ(gCharTest.MessageArea->ShowChars, shown + 2);
}

}  // namespace
}  // namespace tarv::test
