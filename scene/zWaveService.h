// What a sound emitter needs of the wave-sound service: load a file into a
// buffer of its own, ask whether it plays, start it looping, adjust it, stop
// it. The device layer's wave table fills this in the program; tests put a fake
// here. Without a service nothing loads and emitters stay silent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zun {

class iWaveService {
public:
    // Why a load gave no handle: sound is off, the file is not there, or the
    // file is there but could not be made into a sound (already logged).
    enum class LoadResult { Loaded, Off, Missing, Failed };

    virtual ~iWaveService() = default;
    // A handle above 0 when loaded. ForceNew gives a buffer of its own even for
    // a file that is already loaded.
    virtual int32_t LoadWave(const std::string& iFile, bool iForceNew, LoadResult& oResult) = 0;
    virtual bool IsWavePlaying(int32_t iWave) = 0;
    // Volume 0..1; speed is a factor. Neither restarts the wave.
    virtual void SetupWave(int32_t iWave, float iVolume, float iSpeed) = 0;
    // Writes the speed that took effect (clamped to what can be played) back.
    virtual void PlayWave(int32_t iWave, bool iLooping, float iVolume, float& ioSpeed, int32_t iStartMs) = 0;
    virtual void StopWave(int32_t iWave) = 0;
    // Gives the wave's buffer back; its handle then names no sound. Without
    // this every visit of a level would keep another decoded copy of each of
    // its emitters' sounds.
    virtual void ReleaseWave(int32_t iWave) {}
};

// The service the sound emitters use; null means no sound.
std::shared_ptr<iWaveService> WaveService();
void SetWaveService(std::shared_ptr<iWaveService> iService);

}  // namespace zun
