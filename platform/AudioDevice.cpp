#include "platform/AudioDevice.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

namespace zun {

namespace {
struct DeviceState {
    int users = 0;
    SDL_AudioDeviceID id = 0;
    bool offline = false;
    int32_t offlineRate = 0;
    std::shared_ptr<AudioMixer> mixer;
    std::string error;
};
DeviceState& S() {
    static DeviceState s;
    return s;
}

void Callback(void* userdata, Uint8* stream, int len) {
    auto* mixer = static_cast<AudioMixer*>(userdata);
    mixer->Render(reinterpret_cast<float*>(stream), int32_t(len / int(2 * sizeof(float))));
}

bool OpenHardware() {
    DeviceState& s = S();
    // A headless run (tests, CI) plays into SDL's dummy driver: the whole audio
    // path runs, nothing reaches a sound card. Audio does not follow the
    // display: a machine without one may still have speakers.
    const char* headless = std::getenv("ZUN_HEADLESS");
    if (headless && std::strcmp(headless, "1") == 0) SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        s.error = SDL_GetError();
        return false;
    }
    SDL_AudioSpec want{}, have{};
    want.freq = 44100;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = Callback;
    // The mixer must exist before the callback can run; its rate is fixed once
    // the device tells what it accepted, so the callback starts paused.
    auto mixer = std::make_shared<AudioMixer>(44100);
    want.userdata = mixer.get();
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (id == 0) {
        s.error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    if (have.freq != 44100) {
        // Replace the mixer by one at the device's rate; the callback has not run.
        SDL_CloseAudioDevice(id);
        mixer = std::make_shared<AudioMixer>(have.freq);
        want.freq = have.freq;
        want.userdata = mixer.get();
        id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (id == 0) {
            s.error = SDL_GetError();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
    }
    s.id = id;
    s.mixer = std::move(mixer);
    SDL_PauseAudioDevice(id, 0);
    return true;
}
}  // namespace

bool AudioDevice::Acquire() {
    DeviceState& s = S();
    if (s.users > 0) {
        ++s.users;
        return true;
    }
    if (s.offline) {
        if (s.offlineRate <= 0) {
            s.error = "No audio output";
            return false;
        }
        s.mixer = std::make_shared<AudioMixer>(s.offlineRate, true);
    } else if (!OpenHardware()) {
        return false;
    }
    s.users = 1;
    return true;
}

void AudioDevice::Release() {
    DeviceState& s = S();
    if (s.users <= 0) return;
    if (--s.users > 0) return;
    if (s.id != 0) {
        SDL_CloseAudioDevice(s.id);  // waits for a running callback
        s.id = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    s.mixer.reset();
}

bool AudioDevice::IsOpen() { return S().users > 0; }

std::shared_ptr<AudioMixer> AudioDevice::Mixer() { return S().mixer; }

const std::string& AudioDevice::LastError() { return S().error; }

void AudioDevice::UseOffline(int32_t rate) {
    DeviceState& s = S();
    if (s.users > 0) return;
    s.offline = true;
    s.offlineRate = rate;
}

void AudioDevice::UseHardware() {
    DeviceState& s = S();
    if (s.users > 0) return;
    s.offline = false;
}

}  // namespace zun
