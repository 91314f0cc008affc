#include "devices/zDMusic.h"

#include <algorithm>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "platform/AudioDevice.h"
#include "platform/MidiFile.h"

namespace zun {

zDMusicState zDMusic;

namespace {
bool gDeviceHeld = false;

void ReleaseAll() {
    if (zDMusic.Performance && zDMusic.Mixer) zDMusic.Mixer->RemoveSource(zDMusic.Performance);
    zDMusic.Performance.reset();
    zDMusic.Segment.reset();
    zDMusic.Mixer.reset();
    if (gDeviceHeld) {
        AudioDevice::Release();
        gDeviceHeld = false;
    }
}
}  // namespace

std::unique_ptr<MidiSynth> CreateMusicSynth(int32_t rate, std::string& error) {
    if (zDMusic.CreateSynth) return zDMusic.CreateSynth(rate, error);
    return CreateFluidSynth(zDMusic.SoundFont.empty() ? FindSoundFont() : zDMusic.SoundFont, rate, error);
}

bool ReadMidiSong(const std::string& path, MidiSong& song, std::string& error) {
    HostFile file;
    std::vector<uint8_t> bytes;
    return OpenFile(path, file, error) && ReadHostFileRest(file, kMaxMidiFileSize, bytes, error) &&
           ParseMidiFile(bytes.data(), bytes.size(), song, error);
}

bool DMusic_Initialize(intptr_t hWnd) {
    return Trap("DMusic_Initialize", false, [&] {
        if (zDMusic.Enabled || gDeviceHeld) DMusic_Release();
        zCore.CurrentProc = "DMusic_Initialize";
        if (!AudioDevice::Acquire()) {
            zCore.LastError = errInvalidCall;
            return false;
        }
        gDeviceHeld = true;
        zDMusic.Mixer = AudioDevice::Mixer();
        std::string error;
        std::unique_ptr<MidiSynth> synth = CreateMusicSynth(zDMusic.Mixer->Rate(), error);
        if (!synth) {
            zCore.LastError = errFileNotFound;
            ReleaseAll();
            return false;
        }
        zDMusic.Performance = std::make_shared<MidiPlayer>(std::move(synth));
        zDMusic.Mixer->AddSource(zDMusic.Performance);
        zDMusic.Volume = 1.0f;
        zDMusic.Enabled = true;
        Log("OK", "DMusic_Initialize");
        return true;
    });
}

bool LoadMidi(const std::string& FileName) {
    return Trap("LoadMidi", false, [&] {
        if (!zDMusic.Enabled) return false;
        const std::string path = GetAssetPath(FileName, zDMusic.MusicPath, "LoadMidi");
        if (path.empty()) return false;
        MidiStop();
        zCore.CurrentProc = "LoadMidi";
        std::string error;
        auto song = std::make_shared<MidiSong>();
        ReadMidiSong(path, *song, error);
        if (!error.empty()) {
            Log("ERR", "LoadMidi", FileName, error);
            return false;
        }
        zDMusic.Segment = song;
        // Its instruments are read before it plays, and not under the mix's
        // lock: the mix plays on meanwhile.
        zDMusic.Performance->Synth().Prepare(*song);
        AudioLock lock(zDMusic.Mixer.get());
        zDMusic.Performance->Sequencer().Load(song);
        return true;
    });
}

void SetupMidi(float Volume, float Tempo) {
    zCore.CurrentProc = "SetupMidi";
    if (!zDMusic.Enabled || !zDMusic.Performance) return;
    AudioLock lock(zDMusic.Mixer.get());
    if (Volume > -1) {
        const double v = double(std::clamp(Volume, 0.0f, 1.0f)) * zDMusic.Volume;
        zDMusic.Performance->SetAttenuation(CLng((1.0 - v) * -10000.0));
    }
    // A factor of 0 would stop music time altogether; the sequencer keeps it
    // at 0.01 or more.
    if (Tempo > -1) zDMusic.Performance->Sequencer().SetTempoFactor(std::clamp(double(Tempo), 0.0, 64.0));
}

bool PlayMidiFile(const std::string& FileName, bool Looping, float Volume, float Tempo, int32_t LoopStart,
                  int32_t LoopEnd, int32_t StartPoint) {
    return Trap("PlayMidiFile", false, [&] {
        if (!zDMusic.Enabled) return false;
        if (!LoadMidi(FileName)) return false;
        zCore.CurrentProc = "PlayMidiFile";
        SetupMidi(Volume, Tempo);
        zCore.CurrentProc = "PlayMidiFile";
        AudioLock lock(zDMusic.Mixer.get());
        auto& p = *zDMusic.Performance;
        p.Sequencer().Play(StartPoint, Looping, LoopStart, LoopEnd, p.Synth());
        return true;
    });
}

void MidiStop() {
    zCore.CurrentProc = "MidiStop";
    if (zDMusic.Segment && zDMusic.Performance) {
        AudioLock lock(zDMusic.Mixer.get());
        auto& p = *zDMusic.Performance;
        p.Sequencer().Stop(p.Synth());
        p.Sequencer().Load(nullptr);
    }
    zDMusic.Segment.reset();
}

int32_t GetMidiPosition() {
    if (!zDMusic.Segment || !zDMusic.Performance) return 0;
    AudioLock lock(zDMusic.Mixer.get());
    const auto& seq = zDMusic.Performance->Sequencer();
    return seq.IsPlaying() ? seq.Position() : 0;
}

void DMusic_Release() {
    MidiStop();
    zCore.CurrentProc = "DMusic_Release";
    ReleaseAll();
    zDMusic.Enabled = false;
}

}  // namespace zun
