// Settings defaults, and what applying them does to the master volumes and
// the off-screen pass targets.
#include <cmath>

#include "SettingsTestSupport.h"
#include "game/shell/mSettings.h"

namespace tarv::test {

using SettingsDefaults = SettingsTest;

TEST_F(SettingsDefaults, EveryKeyReadsItsDefault) {
    gCharTest.Settings.reset();
    gCharTest.SetDefaultSettings();
    ASSERT_TRUE(gCharTest.Settings);
    const zValues& s = Settings();
    for (const char* k : {"HighQualityBuffers", "ParticleSystem", "EnableDeco", "Mirrors", "MirrorParticles",
                          "MirrorObjects", "LiquidWater", "Lighting", "ParticleLights", "Shadows", "CursorShadows",
                          "LightsShadows", "SpriteShadows", "AmbientShadows", "BaseShadows", "RenderGround",
                          "RenderWalls", "RenderRoof", "RenderChars", "RenderSprites", "RenderParticles",
                          "RenderWeather", "RenderOthers"})
        EXPECT_EQ(s.GetByte(k, 0), 1) << k;
    // Zero defaults are not stored at all: a reader's default shows through.
    for (const char* k : {"DisableTimer", "DebugCollision", "DebugPaths"}) EXPECT_EQ(s.GetByte(k, 7), 7) << k;
    EXPECT_EQ(s.GetLong("DebugMap", 9), 9);
    EXPECT_EQ(s.GetLong("WaveSize", 0), 1);
    EXPECT_EQ(s.GetLong("WaveFactor", 0), 30);
    EXPECT_EQ(s.GetSingle("SoundVolume", 0), 100.0f);
    EXPECT_EQ(s.GetSingle("MusicVolume", 0), 60.0f);
    // Written with the right types only.
    EXPECT_EQ(s.GetLong("HighQualityBuffers", 0), 0);
    EXPECT_EQ(s.GetByte("WaveFactor", 0), 0);
    EXPECT_EQ(s.GetByte("QualityNote", 0), 0);
}

TEST_F(SettingsDefaults, TableKeepsTheWritingOrder) {
    const auto& t = SettingDefaults();
    ASSERT_EQ(t.size(), 31u);
    EXPECT_STREQ(t.front().Key, "DisableTimer");
    EXPECT_STREQ(t[1].Key, "HighQualityBuffers");
    EXPECT_STREQ(t[28].Key, "DebugMap");
    EXPECT_EQ(t[28].Type, SettingType::Long);
    EXPECT_STREQ(t.back().Key, "MusicVolume");
    EXPECT_EQ(t.back().Type, SettingType::Single);
}

using ApplySettings = SettingsTest;

TEST_F(ApplySettings, VolumesFollowTheFourthRootOfThePercentage) {
    Settings().SetSingle("SoundVolume", 100);
    Settings().SetSingle("MusicVolume", 50);
    gCharTest.ApplySettings();
    EXPECT_FLOAT_EQ(zDSound.Volume, 1.0f);
    EXPECT_NEAR(zDShow.Volume, 0.8409f, 1e-4);
    EXPECT_FLOAT_EQ(zDMusic.Volume, zDShow.Volume);

    Settings().SetSingle("SoundVolume", 10);
    Settings().SetSingle("MusicVolume", 1);
    gCharTest.ApplySettings();
    EXPECT_NEAR(zDSound.Volume, 0.5623f, 1e-4);
    EXPECT_NEAR(zDMusic.Volume, 0.3162f, 1e-4);

    // A removed key is silence.
    Settings().SetSingle("SoundVolume", 0);
    Settings().SetSingle("MusicVolume", 0);
    gCharTest.ApplySettings();
    EXPECT_EQ(zDSound.Volume, 0.0f);
    EXPECT_EQ(zDShow.Volume, 0.0f);
    EXPECT_EQ(zDMusic.Volume, 0.0f);
}

TEST_F(ApplySettings, PercentagesOutsideTheRangeKeepTheMasterWithinZeroToOne) {
    Settings().SetSingle("SoundVolume", -20);
    Settings().SetSingle("MusicVolume", 250);
    gCharTest.ApplySettings();
    EXPECT_EQ(zDSound.Volume, 0.0f);
    EXPECT_EQ(zDShow.Volume, 1.0f);
    EXPECT_FALSE(std::isnan(zDSound.Volume));
}

TEST_F(ApplySettings, NoStoreReadsAsAllZero) {
    gCharTest.Settings.reset();
    gCharTest.ApplySettings();
    EXPECT_EQ(zDSound.Volume, 0.0f);
    EXPECT_EQ(gCharTest.BufferQuality, 0);
}

TEST_F(ApplySettings, TargetsAreRemadeOnlyWhenTheQualityChanges) {
    // As start-up leaves them: three 256 targets, quality 0.
    gCharTest.LightTarget = zDDraw.CreateRenderTarget(256);
    gCharTest.ShadowTarget = zDDraw.CreateRenderTarget(256);
    gCharTest.MirrorTarget = zDDraw.CreateRenderTarget(256);
    const int32_t light256 = gCharTest.LightTarget, shadow256 = gCharTest.ShadowTarget,
                  mirror256 = gCharTest.MirrorTarget;
    gCharTest.SetDefaultSettings();

    gCharTest.ApplySettings();
    EXPECT_EQ(gCharTest.BufferQuality, 1);
    // Made in the order mirror, light, shadow, after the old ones.
    EXPECT_EQ(gCharTest.MirrorTarget, mirror256 + 1);
    EXPECT_EQ(gCharTest.LightTarget, mirror256 + 2);
    EXPECT_EQ(gCharTest.ShadowTarget, mirror256 + 3);
    for (int32_t t : {gCharTest.MirrorTarget, gCharTest.LightTarget, gCharTest.ShadowTarget}) {
        EXPECT_EQ(zDDraw.Textures[size_t(t)].W, 512);
        EXPECT_NE(zDDraw.Textures[size_t(t)].Texture, 0u);
    }
    // The old entries stay in the table without their textures.
    for (int32_t t : {light256, shadow256, mirror256}) EXPECT_EQ(zDDraw.Textures[size_t(t)].Texture, 0u);

    const int32_t count = zDDraw.TextureCount;
    gCharTest.ApplySettings();
    EXPECT_EQ(zDDraw.TextureCount, count);

    const int32_t mirror512 = gCharTest.MirrorTarget;
    Settings().SetByte("HighQualityBuffers", 0);
    gCharTest.ApplySettings();
    EXPECT_EQ(gCharTest.BufferQuality, 0);
    EXPECT_EQ(zDDraw.TextureCount, count + 3);
    EXPECT_EQ(zDDraw.Textures[size_t(gCharTest.ShadowTarget)].W, 256);
    EXPECT_EQ(zDDraw.Textures[size_t(mirror512)].Texture, 0u);
}

TEST_F(ApplySettings, AFailingTargetIsStoredAsTheDeviceGivesIt) {
    rec->FailTargetsAbove = 0;  // nothing can be made
    Settings().SetByte("HighQualityBuffers", 1);
    gCharTest.ApplySettings();
    EXPECT_EQ(gCharTest.MirrorTarget, 0);
    EXPECT_EQ(gCharTest.LightTarget, 0);
    EXPECT_EQ(gCharTest.BufferQuality, 1);
    EXPECT_TRUE(Logged("ERR\tCould not create RenderTarget"));
}

}  // namespace tarv::test
