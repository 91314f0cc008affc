// The settings store's defaults and the settings that take effect only when
// applied: the master volumes and the size of the off-screen pass targets.
// Every other switch is read where it is used, each frame.
#include <cmath>

#include "core/zCore.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "devices/zMusicSetup.h"
#include "game/shell/frmMain.h"
#include "game/shell/mSettings.h"
#include "game/world/gCharTest.h"

using namespace zun;

namespace tarv {

namespace {

// Percent to gain: the fourth root keeps the low end of the slider audible.
// Out-of-range percentages are held to 0..100 so the master stays in 0..1.
float VolumeGain(float percent) {
    if (!(percent > 0)) return 0.0f;
    if (percent >= 100) return 1.0f;
    return float(std::pow(double(percent) / 100.0, 0.25));
}

}  // namespace

const std::vector<SettingDefault>& SettingDefaults() {
    static const std::vector<SettingDefault> table = {
        {"DisableTimer", SettingType::Byte, 0},
        {"HighQualityBuffers", SettingType::Byte, InIDE() ? 0.0 : 1.0},
        {"ParticleSystem", SettingType::Byte, 1},
        {"EnableDeco", SettingType::Byte, 1},
        {"Mirrors", SettingType::Byte, 1},
        {"MirrorParticles", SettingType::Byte, 1},
        {"MirrorObjects", SettingType::Byte, 1},
        {"LiquidWater", SettingType::Byte, 1},
        {"WaveSize", SettingType::Long, 1},
        {"WaveFactor", SettingType::Long, 30},
        {"Lighting", SettingType::Byte, 1},
        {"ParticleLights", SettingType::Byte, 1},
        {"Shadows", SettingType::Byte, 1},
        {"CursorShadows", SettingType::Byte, 1},
        {"LightsShadows", SettingType::Byte, 1},
        {"SpriteShadows", SettingType::Byte, 1},
        {"AmbientShadows", SettingType::Byte, 1},
        {"BaseShadows", SettingType::Byte, 1},
        {"RenderGround", SettingType::Byte, 1},
        {"RenderWalls", SettingType::Byte, 1},
        {"RenderRoof", SettingType::Byte, 1},
        {"RenderChars", SettingType::Byte, 1},
        {"RenderSprites", SettingType::Byte, 1},
        {"RenderParticles", SettingType::Byte, 1},
        {"RenderWeather", SettingType::Byte, 1},
        {"RenderOthers", SettingType::Byte, 1},
        {"DebugCollision", SettingType::Byte, 0},
        {"DebugPaths", SettingType::Byte, 0},
        {"DebugMap", SettingType::Long, 0},
        {"SoundVolume", SettingType::Single, 100},
        {"MusicVolume", SettingType::Single, 60},
    };
    return table;
}

zValues& SettingsStore() {
    if (!gCharTest.Settings) gCharTest.Settings = std::make_shared<zValues>();
    return *gCharTest.Settings;
}

void gCharTestModule::SetDefaultSettings() {
    zValues& s = SettingsStore();
    for (const SettingDefault& d : SettingDefaults()) {
        switch (d.Type) {
        case SettingType::Byte: s.SetByte(d.Key, uint8_t(d.Value)); break;
        case SettingType::Long: s.SetLong(d.Key, int32_t(d.Value)); break;
        case SettingType::Single: s.SetSingle(d.Key, float(d.Value)); break;
        }
    }
}

void gCharTestModule::ApplySettings() {
    // No store yet reads like an empty one: every key 0.
    static const zValues empty;
    const zValues& s = Settings ? *Settings : empty;

    const float sound = VolumeGain(s.GetSingle("SoundVolume", 0));
    const float music = VolumeGain(s.GetSingle("MusicVolume", 0));
    if (frmMain.Muted) {
        // The game stays silent until M, which then brings back what was
        // applied, not the volumes from before the mute.
        frmMain.SavedSoundVolume = sound;
        frmMain.SavedMusicVolume = music;
        frmMain.SavedMidiVolume = music;
    } else {
        zDSound.Volume = sound;
        zDShow.Volume = music;
        zDMusic.Volume = music;
    }
    ApplyMusicVolume();

    const uint8_t q = s.GetByte("HighQualityBuffers", 0);
    if (q == BufferQuality) return;
    // The table keeps the old entries; only their textures go.
    for (int32_t target : {MirrorTarget, LightTarget, ShadowTarget})
        if (target > 0) zDDraw.ReleaseTextureObject(target);
    const int32_t side = q == 1 ? 512 : 256;
    MirrorTarget = zDDraw.CreateRenderTarget(side);
    LightTarget = zDDraw.CreateRenderTarget(side);
    ShadowTarget = zDDraw.CreateRenderTarget(side);
    BufferQuality = q;
}

}  // namespace tarv
