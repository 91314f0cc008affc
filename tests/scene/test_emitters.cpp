// Emitters: the emitter map (cells that ignore the height, markers, mixed
// kinds through the factory), the particle emitter's hook and markers, and the
// sound emitter's volume table against a fake wave service.
#include <gtest/gtest.h>

#include <cmath>

#include "ObjectTestSupport.h"
#include "core/zFile.h"
#include "core/zValues.h"
#include "scene/zEmitterMap.h"
#include "scene/zParticleEmitter.h"
#include "scene/zSoundEmitter.h"
#include "support/LevelBytes.h"
#include "support/LevelWriter.h"

namespace zun::test::layers {
namespace {

class EmitterTest : public ObjectTest {
protected:
    static std::shared_ptr<zSoundEmitter> Sound(float r, float fadeR, uint8_t mode, float volume,
                                                const std::string& file = "wind.wav") {
        auto s = std::make_shared<zSoundEmitter>();
        s->R = r;
        s->FadeR = fadeR;
        s->FadeMode = mode;
        s->Volume = volume;
        s->SoundFile = file;
        return s;
    }
    static std::shared_ptr<zParticleEmitter> Particles(float x, float y, float z, const std::string& manager) {
        auto p = std::make_shared<zParticleEmitter>();
        p->x = x;
        p->y = y;
        p->Z = z;
        p->ManagerName = manager;
        return p;
    }
    // The volume the emitter hands over at a distance (a fresh wave each time).
    float VolumeAt(const std::shared_ptr<zSoundEmitter>& s, float dist) {
        waves->Volumes.clear();
        s->Update(dist);
        return waves->Volumes.empty() ? -1.0f : waves->Volumes.back();
    }
};

TEST_F(EmitterTest, SoundVolumeTable) {
    waves->Files["wind.wav"] = iWaveService::LoadResult::Loaded;
    for (uint8_t mode : {0, 1, 2}) {
        auto s = Sound(200, 100, mode, 0.8f);
        EXPECT_NEAR(VolumeAt(s, 50), 0.8f, 1e-6);
        EXPECT_NEAR(VolumeAt(s, 100), 0.8f, 1e-6);
    }
    EXPECT_NEAR(VolumeAt(Sound(200, 100, 0, 0.8f), 150), 0.6, 1e-6);
    EXPECT_NEAR(VolumeAt(Sound(200, 100, 1, 0.8f), 150), 0.8 * (1 - 0.5 * std::sqrt(0.5)), 1e-6);
    EXPECT_NEAR(VolumeAt(Sound(200, 100, 2, 0.8f), 150), 0.7, 1e-6);
    // Towards R the factor nears one half, not 0.
    EXPECT_NEAR(VolumeAt(Sound(200, 100, 0, 1.0f), 199.99f), 0.5, 1e-3);
    // An unknown curve is silent between the radii and full inside.
    auto odd = Sound(200, 100, 3, 0.8f);
    EXPECT_NEAR(VolumeAt(odd, 150), 0.0, 1e-9);
    EXPECT_NEAR(VolumeAt(odd, 20), 0.8, 1e-6);
    // A fade radius at or beyond R leaves the factor at 1 everywhere inside R.
    EXPECT_NEAR(VolumeAt(Sound(200, 250, 0, 0.5f), 199), 0.5, 1e-6);
    EXPECT_NEAR(VolumeAt(Sound(200, 200, 2, 0.5f), 199), 0.5, 1e-6);
}

TEST_F(EmitterTest, SoundStartsAdjustsAndStops) {
    waves->Files["wind.wav"] = iWaveService::LoadResult::Loaded;
    waves->SpeedLimit = 2.0f;
    auto s = Sound(200, 100, 0, 1.0f);
    s->Frequency = 5.0f;
    s->Update(250);  // never started, out of range: nothing at all
    EXPECT_TRUE(waves->Calls.empty());

    s->Update(150);
    EXPECT_EQ(waves->Calls, (std::vector<std::string>{"Load wind.wav new", "Play 1 loop at 0"}));
    EXPECT_EQ(s->ActSound, 1);
    EXPECT_TRUE(s->Playing);
    EXPECT_EQ(s->Frequency, 2.0f);  // the clamped speed is written back
    s->Update(120);
    EXPECT_EQ(waves->Calls.back(), "Setup 1");  // already playing: adjusted, not restarted
    s->Update(200);
    EXPECT_EQ(waves->Calls.back(), "Stop 1");
    EXPECT_FALSE(s->Playing);
    const size_t n = waves->Calls.size();
    s->Update(300);  // stopped once only
    EXPECT_EQ(waves->Calls.size(), n);
    s->Update(10);
    EXPECT_EQ(waves->Calls.back(), "Play 1 loop at 0");
    s->Unload();
    EXPECT_EQ(waves->Calls[waves->Calls.size() - 2], "Stop 1");
    EXPECT_EQ(waves->Calls.back(), "Release 1");  // a dropped level keeps no buffers
    EXPECT_FALSE(s->Playing);
    EXPECT_EQ(s->ActSound, 0);

    // Two emitters of one file have a buffer each.
    auto t = Sound(200, 100, 0, 1.0f);
    t->Update(10);
    EXPECT_EQ(t->ActSound, 2);
}

TEST_F(EmitterTest, SoundThatCannotPlayIsNotRetriedEveryFrame) {
    waves->Files["broken.wav"] = iWaveService::LoadResult::Failed;
    auto s = Sound(200, 100, 0, 1.0f, "broken.wav");
    for (int f = 0; f < 5; ++f) s->Update(50);
    EXPECT_EQ(waves->Calls, (std::vector<std::string>{"Load broken.wav new"}));
    EXPECT_EQ(s->ActSound, 0);
    EXPECT_FALSE(s->Playing);
    // Another file is tried at once.
    waves->Files["fixed.wav"] = iWaveService::LoadResult::Loaded;
    s->SoundFile = "fixed.wav";
    s->Update(50);
    EXPECT_EQ(s->ActSound, 1);
    EXPECT_EQ(waves->Calls.back(), "Play 1 loop at 0");

    // A missing file may turn up later: it is looked for again.
    auto m = Sound(200, 100, 0, 1.0f, "later.wav");
    m->Update(50);
    m->Update(50);
    EXPECT_EQ(std::count(waves->Calls.begin(), waves->Calls.end(), "Load later.wav new"), 2);

    // Without any wave service the emitter stays silent.
    SetWaveService(nullptr);
    auto q = Sound(200, 100, 0, 1.0f);
    EXPECT_NO_THROW(q->Update(10));
    EXPECT_EQ(q->ActSound, 0);
    EXPECT_NO_THROW(q->Unload());
}

TEST_F(EmitterTest, SoundStoredForm) {
    auto s = Sound(300, 120, 2, 0.75f, "rain.wav");
    s->x = 1;
    s->y = 2;
    s->Z = 3;
    s->Frequency = 1.25f;
    s->ActSound = 9;
    s->Playing = true;
    zStream out;
    s->Export(out);
    const auto want = Bytes().Single(1).Single(2).Single(3).Single(300).String("rain.wav").Single(120).Byte(2)
                          .Single(0.75f).Single(1.25f).b;
    EXPECT_EQ(out.Bytes(), want);
    zSoundEmitter back;
    out.Cursor = 0;
    back.Import(out);
    EXPECT_EQ(back.SoundFile, "rain.wav");
    EXPECT_EQ(back.FadeMode, 2);
    EXPECT_EQ(back.Frequency, 1.25f);
    EXPECT_EQ(back.ActSound, 0);
    EXPECT_FALSE(back.Playing);
    EXPECT_TRUE(waves->Calls.empty());  // importing loads nothing
}

TEST_F(EmitterTest, ParticleHookOncePerUpdate) {
    auto p = Particles(10, 20, 5, "Laterne");
    p->Update(1.0f);  // no hook: nothing happens
    std::vector<std::string> seen;
    gSceneHooks.UpdateCustomEmitter = [&](zParticleEmitter& e) { seen.push_back(e.ManagerName); };
    p->Update(0.0f);
    p->Update(1e9f);  // far away: still once
    p->Update(-1.0f);
    EXPECT_EQ(seen, (std::vector<std::string>{"Laterne", "Laterne", "Laterne"}));

    p->ParticleData->SetSingle("speed", 2.5f);
    zStream out;
    p->Export(out);
    const auto want =
        Bytes().Single(10).Single(20).Single(5).Single(0).String("Laterne").Raw(ValuesRecord({}, {}, {}, {{"speed", 2.5f}})).b;
    EXPECT_EQ(out.Bytes(), want);
    zParticleEmitter back;
    back.ParticleData->SetLong("stale", 1);
    out.Cursor = 0;
    back.Import(out);
    EXPECT_EQ(back.ParticleData->GetSingle("speed"), 2.5f);
    EXPECT_EQ(back.ParticleData->GetLong("stale"), 0);
}

TEST_F(EmitterTest, ParticleMarkers) {
    WriteTexture("editor.png", 128, 64);
    auto p = Particles(100, 200, 0, "Smoke");
    p->Render(Camera(10.5f, 20.5f, 320, 240));
    auto q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Left(), 100 - 26);
    EXPECT_FLOAT_EQ(q[0].Top(), 200 - 36);
    EXPECT_FLOAT_EQ(q[0].Width(), 32);
    EXPECT_FLOAT_EQ(q[0].U[0] * 128, 32.0001f);  // source left 32 (with the device's texel nudge)

    // The height line of an emitter on the ground has no length.
    p->RenderSelected(Camera(0, 0, 320, 240));
    zDDraw.EndScene(false);
    const auto lines = DrawsOf(Primitive::LineList);
    bool zeroLine = false;
    for (const auto& d : lines)
        for (size_t i = 0; i + 1 < d.Vertices.size(); i += 2)
            if (d.Vertices[i].X == d.Vertices[i + 1].X && d.Vertices[i].Y == d.Vertices[i + 1].Y) zeroLine = true;
    EXPECT_TRUE(zeroLine);
}

TEST_F(EmitterTest, MissingMarkerPictureIsReportedOnce) {
    LogCapture log;
    auto p = Particles(100, 200, 0, "Smoke");
    for (int f = 0; f < 5; ++f) p->Render(Camera(0, 0, 320, 240));
    int errors = 0;
    for (const auto& l : log.Lines()) errors += l.find("File not found") != std::string::npos;
    EXPECT_EQ(errors, 1);
}

TEST_F(EmitterTest, MapCellsIgnoreHeightAndMarkersDraw) {
    zEmitterMap m;
    EXPECT_EQ(m.TileW, 128);
    m.SetSize(64, 9, 9);
    auto s = Sound(100, 0, 0, 1);
    s->SetPos(10, 100);
    s->SetZ(50);
    m.AddEmitter(s);
    m.AddEmitter(s);
    EXPECT_EQ(m.Emitters().size(), 1u);
    EXPECT_TRUE(m.GetTile(0, 1));
    EXPECT_FALSE(m.GetTile(0, 0));
    EXPECT_FALSE(m.GetTile(-1, 1));

    // Nothing in view: no drawing, yet depth 0 and blend mode 1.
    zDDraw.SetAlphaMode(2);
    zDDraw.RenderZ = 0.7f;
    m.Render(Camera(2000, 2000, 320, 240));
    EXPECT_EQ(zDDraw.RenderZ, 0.0f);
    const DrawState after = zDDraw.State;
    zDDraw.SetAlphaMode(1);
    EXPECT_TRUE(after == zDDraw.State);
    EXPECT_TRUE(Quads().empty());

    // In view: the symbol texture the game gave.
    gSceneHooks.SymbolTexture = AddTexture(64, 64);
    m.Render(Camera(0, 0, 320, 240));
    auto q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Left(), 10 - 16);
    EXPECT_FLOAT_EQ(q[0].Top(), 100 - 16);

    m.RemoveEmitter(s);
    EXPECT_TRUE(m.Emitters().empty());
    EXPECT_TRUE(m.GetTile(0, 1)->empty());
}

TEST_F(EmitterTest, MixedKindsRoundTripInOrder) {
    auto m = std::make_shared<zEmitterMap>();
    m->SetSize(64, 9, 9);
    auto p = Particles(10, 10, 4, "Fire");
    auto s = Sound(80, 40, 1, 0.5f, "brook.wav");
    s->SetPos(70, 200);
    m->AddEmitter(s);
    m->AddEmitter(p);
    LevelWriter w;
    w.Add(m, "EM1", "mapEmitters");
    zFile file;
    ASSERT_TRUE(LoadLevel(w.LevelBytes(), file));
    auto back = std::dynamic_pointer_cast<zEmitterMap>(file.FindInstance("mapEmitters"));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Emitters().size(), 2u);
    auto s2 = std::dynamic_pointer_cast<zSoundEmitter>(back->Emitters()[0]);
    auto p2 = std::dynamic_pointer_cast<zParticleEmitter>(back->Emitters()[1]);
    ASSERT_TRUE(s2 && p2);
    EXPECT_EQ(s2->SoundFile, "brook.wav");
    EXPECT_EQ(p2->ManagerName, "Fire");
    EXPECT_EQ(back->GetTile(1, 3)->front(), back->Emitters()[0]);
    EXPECT_EQ(back->GetTile(0, 0)->front(), back->Emitters()[1]);

    // Importing again replaces what the map held.
    zStream again;
    back->Export(again);
    back->AddEmitter(Sound(1, 0, 0, 1));
    again.Cursor = 0;
    back->Import(again);
    EXPECT_EQ(back->Emitters().size(), 2u);
}

TEST_F(EmitterTest, UnknownKindsFailTheImportCleanly) {
    LogCapture log;
    zStream one;
    Particles(1, 1, 0, "x")->Export(one);
    auto layer = [&](const std::vector<std::string>& classes) {
        Bytes b;
        b.Raw(Header(0, 0, 64, 32, 3, 3)).Long(int32_t(classes.size()));
        for (auto& c : classes) b.String(c).Raw(one.Bytes());
        return b.b;
    };
    zEmitterMap m;
    zStream bad(layer({"zParticleEmitter", "zFountain"}));
    EXPECT_EQ(FailureOf([&] { m.Import(bad); }), "Class not found: zFountain");
    EXPECT_TRUE(log.Contains("Class not found"));
    EXPECT_EQ(m.Emitters().size(), 1u);
    zStream unfit(layer({"zDataShape"}));
    EXPECT_EQ(FailureOf([&] { m.Import(unfit); }), "Type mismatch");
    EXPECT_TRUE(m.Emitters().empty());
}

}  // namespace
}  // namespace zun::test::layers
