#include "scene/zWaveService.h"

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "devices/zDSound.h"
#include "platform/AudioBuffer.h"

namespace zun {

namespace {

// The device layer's wave table as the emitters see it.
class DeviceWaveService final : public iWaveService {
public:
    int32_t LoadWave(const std::string& iFile, bool iForceNew, LoadResult& oResult) override {
        if (!zDSound.Enabled) {
            oResult = LoadResult::Off;
            return 0;
        }
        const int32_t h = zun::LoadWave(iFile, iForceNew);
        if (h > 0) {
            oResult = LoadResult::Loaded;
            return h;
        }
        // A refused name was logged by LoadWave already.
        oResult = !IsInnerFileName(iFile) || GetAssetPath(iFile, zDSound.SoundPath, "LoadWave").empty()
                      ? LoadResult::Missing
                      : LoadResult::Failed;
        return 0;
    }
    bool IsWavePlaying(int32_t iWave) override {
        if (iWave < 1 || iWave > zDSound.WaveCount || size_t(iWave) >= zDSound.Waves.size()) return false;
        const auto& b = zDSound.Waves[size_t(iWave)];
        return b && (b->GetStatus() & AudioBuffer::StatusPlaying) != 0;
    }
    void SetupWave(int32_t iWave, float iVolume, float iSpeed) override { zun::SetupWave(iWave, iVolume, iSpeed); }
    void PlayWave(int32_t iWave, bool iLooping, float iVolume, float& ioSpeed, int32_t iStartMs) override {
        zun::PlayWave(iWave, iLooping, iVolume, ioSpeed, iStartMs);
    }
    void StopWave(int32_t iWave) override { zun::StopWave(iWave); }
    void ReleaseWave(int32_t iWave) override { zun::ReleaseWave(iWave); }
};

}  // namespace

static std::shared_ptr<iWaveService> gWaves = std::make_shared<DeviceWaveService>();

std::shared_ptr<iWaveService> WaveService() { return gWaves; }
void SetWaveService(std::shared_ptr<iWaveService> iService) { gWaves = std::move(iService); }

}  // namespace zun
