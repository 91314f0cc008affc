#include "devices/zMusicSetup.h"

#include <algorithm>
#include <cmath>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"

namespace zun {

zMusicSetupState zMusicSetup;

namespace {

// A setup names a track and its timed events: the demo's take 140 bytes, and
// this holds tens of thousands of events.
constexpr int64_t kMaxSetupFileBytes = int64_t(1) << 20;

MusicSetupEntry& Entry(int32_t i) { return zMusicSetup.Setups[size_t(i)]; }

int32_t EventPosition(const MusicSetupRecord& s, int32_t n) {
    if (n < 1 || n > s.EventCount || size_t(n) > s.Events.size() || !s.Events[size_t(n - 1)]) return 0;
    return s.Events[size_t(n - 1)]->GetLong("Position", 0);
}

int32_t TrackPosition(const MusicSetupEntry& e) {
    switch (e.Setup.Type) {
        case 1: return GetWavePosition(e.Wave);
        case 2: return GetMidiPosition();
        case 3: return GetMusicPosition();
        default: return 0;
    }
}

void SendSetup(const MusicSetupEntry& e, float vol, float spd) {
    switch (e.Setup.Type) {
        case 1: SetupWave(e.Wave, vol, spd); break;
        case 2: SetupMidi(vol, spd); break;
        case 3: SetupMusic(vol, spd); break;
        default: break;
    }
}

}  // namespace

int32_t FindMusicSetup(const std::string& Name) {
    for (int32_t i = 1; i <= zMusicSetup.SetupCount; ++i)
        if (Entry(i).Name == Name) return i;
    return 0;
}

MusicSetupRecord LoadMusicSetup(zStream& iData) {
    MusicSetupRecord s;
    uint8_t version;
    iData.ReadByte(version);
    // Version 1 files have no version byte: a first byte above 2 is the low byte
    // of the track name's length. (A version 1 name of 1, 2, 256, 257, ...
    // characters is therefore misread; the format cannot tell.)
    if (version > 2) {
        iData.Cursor -= 1;
        version = 1;
    }
    iData.ReadString(s.File);
    iData.ReadByte(s.Type);
    iData.ReadLong(s.StartPosition);
    iData.ReadLong(s.LoopStart);
    iData.ReadLong(s.LoopEnd);
    iData.ReadLong(s.EndPosition);
    iData.ReadSingle(s.Volume);
    iData.ReadSingle(s.Speed);
    if (version == 2) {
        int32_t count;
        iData.ReadLong(count);
        if (count < 0) Raise(errSubscript);
        // Every event takes some bytes: a count the data cannot hold is refused
        // before anything is allocated for it.
        const int64_t left = int64_t(iData.GetLength()) - iData.Cursor;
        if (int64_t(count) * kMinStoredEventSize > left) Raise(errInputPastEnd);
        s.EventCount = count;
        s.Events.reserve(size_t(count));
        for (int32_t i = 0; i < count; ++i) {
            auto ev = std::make_shared<zValues>();
            if (!ev->Import(iData)) Raise(errInputPastEnd);
            s.Events.push_back(std::move(ev));
        }
    } else {
        Log("WARN", "MusicSetup Version 1", s.File);
    }
    s.VolumeFactor = 1;
    s.SpeedFactor = 1;
    return s;
}

int32_t PlayMusicSetup(const MusicSetupRecord& Setup, bool Looping) {
    zMusicSetup.Setups.emplace_back();
    zMusicSetup.SetupCount += 1;
    const int32_t index = zMusicSetup.SetupCount;
    // The track gets copies of volume and speed: the wave service writes the
    // master volume into what it is given, and that must not end up in the
    // record, where every later update would apply it again.
    float vol = Setup.Volume, spd = Setup.Speed;
    int32_t wave = 0;
    switch (Setup.Type) {
        case 1: wave = PlayWaveFile(Setup.File, Looping, vol, spd, false, Setup.StartPosition); break;
        case 2:
            PlayMidiFile(Setup.File, Looping, vol, spd, Setup.LoopStart, Setup.LoopEnd, Setup.StartPosition);
            break;
        case 3:
            PlayMusicFile(Setup.File, Looping, vol, spd, Setup.LoopStart, Setup.LoopEnd, Setup.StartPosition);
            break;
        default: break;
    }
    MusicSetupEntry& e = Entry(index);
    e.Setup = Setup;
    e.Wave = wave;
    e.Running = true;
    e.Position = 0;
    e.Looping = Looping;
    e.CurrentVolume = Setup.Volume;
    e.CurrentSpeed = Setup.Speed;
    if (Setup.EventCount > 0) {
        e.NextEvent = 1;
        e.NextEventPosition = EventPosition(Setup, 1);
    } else {
        e.NextEvent = 0;
        e.NextEventPosition = 0;
    }
    UpdateMusicSetup();
    return index;
}

int32_t RestartMusicSetup(int32_t Index) {
    if (Index < 1 || Index > zMusicSetup.SetupCount) return 0;
    MusicSetupEntry& e = Entry(Index);
    float vol = e.CurrentVolume, spd = e.CurrentSpeed;
    const MusicSetupRecord& s = e.Setup;
    switch (s.Type) {
        case 1:
            // A wave that never loaded has nothing to restart.
            if (e.Wave >= 1) PlayWave(e.Wave, e.Looping, vol, spd, e.Position);
            break;
        case 2: PlayMidiFile(s.File, e.Looping, vol, spd, s.LoopStart, s.LoopEnd, e.Position); break;
        case 3: PlayMusicFile(s.File, e.Looping, vol, spd, s.LoopStart, s.LoopEnd, e.Position); break;
        default: break;
    }
    e.Running = true;
    UpdateMusicSetup();
    return Index;
}

int32_t StartMusicSetup(const std::string& FileName, bool Looping, bool Restart) {
    const std::string path = GetAssetPath(FileName, zDMusic.MusicPath, "StartMusicSetup");
    if (path.empty()) return 0;
    // A setup file that cannot be read is as good as a missing one: nothing
    // plays, and the reason is logged rather than ending the caller. The file
    // is named: a track asked for in place of its setup is a common slip.
    MusicSetupRecord record;
    const bool read = Trap("StartMusicSetup", false, [&] {
        zStream data;
        std::string why;
        if (data.FileImport(path, "", kMaxSetupFileBytes)) {
            try {
                record = LoadMusicSetup(data);
                return true;
            } catch (const RuntimeError& e) {
                why = ": " + e.Description;
            }
        }
        Log("ERR", "StartMusicSetup", FileName, "Not a music setup (a .mus file naming its track)" + why);
        return false;
    });
    if (!read) return 0;
    int32_t index = 0;
    if (Restart) index = FindMusicSetup(FileName);
    if (index > 0) {
        index = RestartMusicSetup(index);
    } else {
        // A track that is not there plays nothing, and nothing else says so.
        // (A name leading out of the folder is refused, and logged, by the player.)
        const std::string& folder = record.Type == 1 ? zDSound.SoundPath : zDMusic.MusicPath;
        if (IsInnerFileName(record.File) && (record.File.empty() || GetFilePath(record.File, folder).empty()))
            Log("ERR", "StartMusicSetup", FileName, "Track not found", record.File);
        index = PlayMusicSetup(record, Looping);
    }
    Entry(index).Name = FileName;
    return index;
}

void StopMusicSetup(int32_t Index) {
    if (Index < 1 || Index > zMusicSetup.SetupCount) return;
    MusicSetupEntry& e = Entry(Index);
    try {
        switch (e.Setup.Type) {
            case 1: StopWave(e.Wave); break;
            case 2: MidiStop(); break;
            case 3: MusicStop(); break;
            default: break;
        }
    } catch (const std::exception&) {
        // Stopping goes on regardless of the track.
    }
    e.Running = false;
    e.NextEvent = 0;
    e.NextEventPosition = 0;
}

void UpdateMusicSetup() {
    // Entries started by an event's call during this pass wait for the next one.
    const int32_t count = zMusicSetup.SetupCount;
    for (int32_t i = 1; i <= count; ++i) {
        if (!Entry(i).Running) continue;
        {
            MusicSetupEntry& e = Entry(i);
            const int32_t last = e.Position;
            e.Position = TrackPosition(e);
            const MusicSetupRecord& s = e.Setup;
            if (e.Position < last && s.EventCount > 0) {
                // The track looped or was restarted: the first event ahead is next.
                e.NextEvent = 1;
                bool found = false;
                while (e.NextEvent <= s.EventCount) {
                    e.NextEventPosition = EventPosition(s, e.NextEvent);
                    if (e.NextEventPosition > e.Position) {
                        found = true;
                        break;
                    }
                    e.NextEvent += 1;
                }
                if (!found) {
                    e.NextEvent = 1;
                    e.NextEventPosition = EventPosition(s, 1);
                }
            }
        }
        {
            MusicSetupEntry& e = Entry(i);
            const MusicSetupRecord& s = e.Setup;
            if (e.NextEvent > 0 && e.NextEvent <= s.EventCount && e.NextEventPosition <= e.Position) {
                // The event is passed before it runs: a call that starts music
                // updates the table again, and must not meet this event still due.
                std::shared_ptr<zValues> ev = s.Events[size_t(e.NextEvent - 1)];
                e.NextEvent += 1;
                e.NextEventPosition = EventPosition(s, e.NextEvent);
                if (ev) {
                    const std::string sound = ev->GetString("SoundFile", "");
                    if (!sound.empty()) {
                        float vol = ev->GetSingle("Volume", 1), spd = ev->GetSingle("Speed", 1);
                        PlayWaveFile(sound, false, vol, spd, false, 0);
                    }
                    const std::string call = ev->GetString("Call", "");
                    if (!call.empty() && zMusicSetup.ScriptObject) {
                        auto script = zMusicSetup.ScriptObject;  // the call may replace it
                        script(call);
                    }
                }
            }
        }
        // The call may have stopped this entry; then it has nothing left to set.
        MusicSetupEntry& e = Entry(i);
        if (!e.Running) continue;
        const MusicSetupRecord& s = e.Setup;
        float vol = s.Volume * s.VolumeFactor;
        if (!e.Looping) {
            if (e.FadeIn > 0 && e.Position < s.StartPosition + e.FadeIn) {
                vol = s.Volume * (0.5f + 0.5f * float(double(e.Position) - s.StartPosition) / e.FadeIn);
            } else if (e.FadeOut > 0 && e.Position > s.EndPosition - e.FadeOut) {
                vol = s.Volume * (1.0f - 0.5f * (float(e.Position) - (float(s.EndPosition) - e.FadeOut)) / e.FadeOut);
            }
        }
        float spd = s.Speed * s.SpeedFactor;
        if (e.TargetSpeed > 0 && spd != e.TargetSpeed) {
            const float step = std::fabs(e.SpeedStep);
            if (spd < e.TargetSpeed) spd = std::min(spd + step, e.TargetSpeed);
            else spd = std::max(spd - step, e.TargetSpeed);
        }
        if (vol != e.CurrentVolume || spd != e.CurrentSpeed) {
            SendSetup(e, vol, spd);
            e.CurrentVolume = vol;
            e.CurrentSpeed = spd;
        }
    }
    MusicCheckLoop();
}

void ApplyMusicVolume() {
    // Every change of the master volumes comes through here: the sounds
    // playing (one-shots, their copies, the weather's, emitters) hear it too,
    // not only the music.
    ApplyWaveVolume();
    for (int32_t i = 1; i <= zMusicSetup.SetupCount; ++i) {
        const MusicSetupEntry& e = Entry(i);
        if (!e.Running) continue;
        SendSetup(e, e.Setup.Volume * e.Setup.VolumeFactor, e.Setup.Speed * e.Setup.SpeedFactor);
    }
}

}  // namespace zun
