// The one audio output of the program: an SDL2 audio device (float, stereo)
// whose callback renders our mixer. Waves, MIDI and music files share it; it
// opens with its first user and closes after its last.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/AudioMixer.h"

namespace zun {

class AudioDevice {
public:
    // Opens the device on the first call; later calls only count the user.
    // False (with the reason in LastError) when there is no audio output.
    static bool Acquire();
    // Drops one user; the last one closes the device and the mixer.
    static void Release();
    static bool IsOpen();
    // The mixer while the device is open, else null.
    static std::shared_ptr<AudioMixer> Mixer();
    static const std::string& LastError();

    // Without a real device: the mixer runs at `rate` and is rendered by the
    // caller (tests, offline rendering). A rate of 0 makes every Acquire fail,
    // as on a machine without audio output. Only while the device is closed.
    static void UseOffline(int32_t rate);
    // Back to the SDL device.
    static void UseHardware();
};

// Holds the mixer lock for a scope; does nothing without a mixer.
class AudioLock {
public:
    explicit AudioLock(AudioMixer* m) : m_(m) {
        if (m_) m_->Mutex().lock();
    }
    ~AudioLock() {
        if (m_) m_->Mutex().unlock();
    }
    AudioLock(const AudioLock&) = delete;
    AudioLock& operator=(const AudioLock&) = delete;

private:
    AudioMixer* m_;
};

}  // namespace zun
