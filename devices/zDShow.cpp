#include "devices/zDShow.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "devices/zDMusic.h"
#include "platform/AudioDevice.h"
#include "platform/MediaDecode.h"
#include "platform/MidiStream.h"

namespace zun {

zDShowState zDShow;

namespace {
bool gDeviceHeld = false;
// The file loaded, as the caller named it, for what is told of it later.
std::string gFileName;
// The loop end asked for, in milliseconds; zDShow.LoopEnd follows from it
// once the piece's length is known, which may be a while after it was asked.
int32_t gLoopEndMs = 0;
bool gLoopEndToCome = false;

// A loop end of 0 is the end of the piece, and so is one at or past the end
// of its data (a length rounded up is easily typed); the latter is told once.
void SettleLoopEnd(const MusicStream& m) {
    gLoopEndToCome = false;
    const double stop = m.GetStopTime();
    zDShow.LoopEnd = gLoopEndMs / 1000.0;
    if (gLoopEndMs != 0 && zDShow.LoopEnd < stop) return;
    zDShow.LoopEnd = stop;
    const int64_t length = std::llround(stop * 1000.0);
    if (gLoopEndMs > length)
        Log("WARN", "PlayMusicFile", gFileName,
            "The loop ends at " + std::to_string(gLoopEndMs) + " ms, past the end of the music at " +
                std::to_string(length) + " ms: it ends there");
}

// A standard MIDI file goes to the sequencer; everything else to the decoder.
bool IsMidiFile(const std::string& path) {
    HostFile file;
    std::string error;
    char magic[4] = {};
    return OpenFile(path, file, error) && file.ReadFull(magic, 4) == 4 && std::memcmp(magic, "MThd", 4) == 0;
}

std::shared_ptr<MusicStream> OpenMidiStream(const std::string& path, std::string& error) {
    auto song = std::make_shared<MidiSong>();
    if (!ReadMidiSong(path, *song, error)) return nullptr;
    auto mixer = AudioDevice::Mixer();
    auto synth = CreateMusicSynth(mixer->Rate(), error);
    if (!synth) return nullptr;
    return std::make_shared<MidiStream>(mixer, std::move(song), std::move(synth));
}

// A music file opens on a thread of its own; once it has, what it got wrong
// is told once, and a file that cannot be played fails as a load would:
// logged and released. False while it is still opening or when it failed.
bool TellOpening() {
    auto& m = zDShow.MediaControl;
    if (!m) return false;
    if (m->Failed()) {
        Log("ERR", "LoadMusic", gFileName, m->TakeError());
        DShow_Release();
        return false;
    }
    if (!m->Opened()) return false;
    // A file that plays despite a fault of its own says so once.
    if (const std::string note = m->TakeWarning(); !note.empty()) Log("WARN", "LoadMusic", gFileName, note);
    if (gLoopEndToCome) SettleLoopEnd(*m);
    return true;
}
}  // namespace

bool LoadMusic(const std::string& FileName) {
    // The output is taken before the previous file lets it go, so that one
    // piece following another does not close and reopen the device.
    const bool output = AudioDevice::Acquire();
    DShow_Release();
    if (output) gDeviceHeld = true;
    return Trap("LoadMusic", false, [&] {
        const std::string path = GetAssetPath(FileName, zDMusic.MusicPath, "LoadMusic");
        if (path.empty()) {
            DShow_Release();
            return false;
        }
        // Music files play whether or not the wave device started, like a
        // player with its own output; only a machine without audio fails here.
        if (!output) {
            Log("ERR", "LoadMusic", FileName, AudioDevice::LastError());
            return false;
        }
        std::string error;
        std::shared_ptr<MusicStream> stream = IsMidiFile(path)
                                                  ? OpenMidiStream(path, error)
                                                  : AudioStream::FromFile(AudioDevice::Mixer(), ToHostPath(path), error);
        if (!stream) {
            Log("ERR", "LoadMusic", FileName, error);
            DShow_Release();
            return false;
        }
        stream->SetRate(1.0);
        zDShow.MediaControl = std::move(stream);
        zDShow.Loaded = true;
        gFileName = FileName;
        // A file found unplayable at once is released here.
        TellOpening();
        return zDShow.MediaControl != nullptr;
    });
}

bool PlayMusicFile(const std::string& FileName, bool Looping, float Volume, float Speed, int32_t LoopStartMs,
                   int32_t LoopEndMs, int32_t StartMs) {
    zCore.CurrentProc = "PlayMusicFile";
    if (!LoadMusic(FileName)) return false;
    zCore.CurrentProc = "PlayMusicFile";
    zDShow.Looping = Looping;
    zDShow.LoopStart = LoopStartMs / 1000.0;
    // The end of a piece still opening is not known yet (the loop end stands
    // as asked, or at 0, until it is).
    gLoopEndMs = LoopEndMs;
    zDShow.LoopEnd = LoopEndMs / 1000.0;
    if (zDShow.MediaControl->Opened()) SettleLoopEnd(*zDShow.MediaControl);
    else gLoopEndToCome = true;
    // The stream wraps by itself to the sample; the per-frame check stays for
    // loop points it cannot take.
    zDShow.MediaControl->SetLoop(Looping, zDShow.LoopStart,
                                 LoopEndMs != 0 ? LoopEndMs / 1000.0 : MusicStream::kPieceEnd);
    SetupMusic(Volume, Speed);
    MusicPlay(StartMs);
    zCore.CurrentProc = "PlayMusicFile";
    return true;
}

void SetupMusic(float Volume, float Speed) {
    zCore.CurrentProc = "SetupMusic";
    auto& m = zDShow.MediaControl;
    if (!m) return;
    if (Volume > -1) {
        const double v = double(std::clamp(Volume, 0.0f, 1.0f)) * zDShow.Volume;
        m->SetVolume(CLng((v - 1.0) * 10000.0));
    }
    // A rate of 0 would stall the stream; it is kept at 0.01 or more.
    if (Speed > -1) m->SetRate(std::clamp(double(Speed), 0.0, 64.0));
}

void MusicPlay(int32_t StartMs) {
    zCore.CurrentProc = "MusicPlay";
    auto& m = zDShow.MediaControl;
    if (!m) return;
    m->SetPosition(StartMs / 1000.0);
    m->Run();
}

void MusicStop() {
    zCore.CurrentProc = "MusicStop";
    auto& m = zDShow.MediaControl;
    if (!m) return;
    m->Stop();
    m->SetPosition(0);
}

int32_t GetMusicPosition() {
    auto& m = zDShow.MediaControl;
    if (!m) return 0;
    return CLng(m->GetPosition() * 1000.0);
}

void MusicCheckLoop() {
    zCore.CurrentProc = "MusicCheckLoop";
    auto& m = zDShow.MediaControl;
    if (!m) return;
    // Still opening, it stands where it was put.
    if (!TellOpening()) return;
    // A file damaged midway has played what it could.
    if (const std::string error = m->TakeError(); !error.empty()) Log("ERR", "MusicCheckLoop", error);
    // A loop the stream holds wraps on its sample: a jump from here, a frame's
    // guess near its end, would cut the turn short.
    if (zDShow.Looping && m->HoldsLoop()) return;
    if (m->GetPosition() + 0.001 >= zDShow.LoopEnd) {
        if (zDShow.Looping) {
            m->SetPosition(zDShow.LoopStart);
            m->Run();
        } else {
            // Played to its end: rewound and silent until played again.
            m->Stop();
            m->SetPosition(0);
        }
    }
}

void DShow_Prepare(const std::string& Folder) {
    // The file name endings of the formats the decoder plays; MIDI files and
    // music setups need none of it.
    static const char* const kEndings[] = {".mp3", ".ogg", ".oga", ".opus", ".flac", ".wma", ".asf", ".m4a",
                                           ".mp4", ".aac", ".wav", ".w64", ".aif", ".aiff", ".mka", ".webm"};
    // A folder of thousands of files is not searched to its end at start-up.
    for (const std::string& name : ListHostFolder(ToHostPath(Folder), 4096)) {
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos) continue;
        std::string ending = name.substr(dot);
        std::transform(ending.begin(), ending.end(), ending.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        for (const char* known : kEndings)
            if (ending == known) {
                PrepareMediaDecoder();
                return;
            }
    }
}

void DShow_Release() {
    zCore.CurrentProc = "DShow_Release";
    if (zDShow.MediaControl) zDShow.MediaControl->Stop();
    zDShow.MediaControl.reset();
    zDShow.Loaded = false;
    gLoopEndToCome = false;
    if (gDeviceHeld) {
        AudioDevice::Release();
        gDeviceHeld = false;
    }
}

}  // namespace zun
