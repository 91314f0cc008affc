#include "platform/MidiSynth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "core/zHostFile.h"

namespace zun {

namespace {

// FluidSynth's default output level leaves headroom for a full orchestra; this
// brings a typical piece near the level of the wave effects while the loudest
// notes of a full arrangement stay below full scale at full music volume,
// where the mix would clip them (2.7 took the demo's village tune to 1.06).
constexpr float kSynthGain = 2.2f;

void QuietLog(int, const char*, void*) {}

// Channels of a synthesizer: the sixteen the music plays on, and the rest
// hold the instruments a piece may ask for, read from the font before it
// plays rather than in the mix while it plays (a piece that asks for more
// has the rest read when it asks).
constexpr int kChannels = 128;
constexpr int kPlayChannels = 16;
constexpr int kDrumChannel = 9;

// The sound font is read through the door. The synthesizer's loader is given
// the font's path with a "/" after it: the door opens the path (again each
// time instruments are read), while a loader of the library's own, tried
// when ours fails, finds no file of that name and opens nothing itself.
void* FontOpen(const char* name) {
    std::string path = name ? name : "";
    if (path.size() < 2 || path.back() != '/') return nullptr;
    path.pop_back();
    auto file = std::make_unique<HostFile>();
    std::string why;
    // A font the program names itself (a system file): read by its path
    // wherever that leads, but only a regular file.
    if (!OpenHostFileWithin(path, "", *file, why)) return nullptr;
    return file.release();
}

std::atomic<int64_t> gFontBytesRead{0};

int FontRead(void* buf, fluid_long_long_t count, void* handle) {
    if (count < 0) return FLUID_FAILED;
    const int64_t got = static_cast<HostFile*>(handle)->ReadFull(buf, size_t(count));
    if (got > 0) gFontBytesRead += got;
    return got == count ? FLUID_OK : FLUID_FAILED;
}

int FontSeek(void* handle, fluid_long_long_t offset, int origin) {
    return static_cast<HostFile*>(handle)->Seek(offset, origin) < 0 ? FLUID_FAILED : FLUID_OK;
}

fluid_long_long_t FontTell(void* handle) { return static_cast<HostFile*>(handle)->Seek(0, SEEK_CUR); }

int FontClose(void* handle) {
    delete static_cast<HostFile*>(handle);
    return FLUID_OK;
}

// A sound font is loaded once and shared by every synthesizer that plays with
// it (the MIDI music and each MIDI music file). Each synthesizer takes it off
// its own stack before it is deleted, so the font outlives it; the last user
// frees it. What a synthesizer does to the font (reading or letting go of
// instruments as they are chosen, voices starting and ending on its samples)
// is done under the font's own lock, whichever synthesizer does it.
class SharedFonts {
public:
    static SharedFonts& Get() {
        static SharedFonts s;
        return s;
    }

    struct Held {
        fluid_sfont_t* Font = nullptr;
        std::shared_ptr<std::recursive_mutex> Lock;
        bool Whole = false;
    };

    Held Acquire(const std::string& path, SoundFontReading reading, std::string& error) {
        std::lock_guard<std::mutex> lk(m_);
        HostFile file;
        std::string why;
        if (!OpenHostFileWithin(path, "", file, why)) {
            error = "Could not load sound font: " + path + " (" + why + ")";
            return {};
        }
        const bool whole = reading == SoundFontReading::Whole ||
                           (reading == SoundFontReading::BySize && file.Size() <= kWholeSoundFontBytes);
        const std::string key = Key(path, whole);
        Entry& e = fonts_[key];
        if (!e.Font) {
            // The font is loaded into a synthesizer that only holds it: a font
            // is freed by the synthesizer whose stack it is on.
            e.Settings = new_fluid_settings();
            if (e.Settings) {
                fluid_settings_setint(e.Settings, "synth.polyphony", 1);
                fluid_settings_setint(e.Settings, "synth.cpu-cores", 1);
                fluid_settings_setint(e.Settings, "synth.dynamic-sample-loading", whole ? 0 : 1);
                e.Holder = new_fluid_synth(e.Settings);
            }
            fluid_sfloader_t* loader = e.Holder ? new_fluid_defsfloader(e.Settings) : nullptr;
            int id = FLUID_FAILED;
            if (loader) {
                fluid_sfloader_set_callbacks(loader, FontOpen, FontRead, FontSeek, FontTell, FontClose);
                fluid_synth_add_sfloader(e.Holder, loader);
                id = fluid_synth_sfload(e.Holder, (path + "/").c_str(), 0);
            }
            if (id != FLUID_FAILED) e.Font = fluid_synth_get_sfont_by_id(e.Holder, id);
            if (!e.Font) {
                error = "Could not load sound font: " + path;
                Drop(key);
                return {};
            }
            e.Lock = std::make_shared<std::recursive_mutex>();
        }
        ++e.Users;
        return {e.Font, e.Lock, whole};
    }

    void Release(const std::string& path, bool whole) {
        std::lock_guard<std::mutex> lk(m_);
        const std::string key = Key(path, whole);
        auto it = fonts_.find(key);
        if (it == fonts_.end() || --it->second.Users > 0) return;
        Drop(key);
    }

    int32_t Loaded() {
        std::lock_guard<std::mutex> lk(m_);
        return int32_t(fonts_.size());
    }

private:
    struct Entry {
        fluid_settings_t* Settings = nullptr;
        fluid_synth_t* Holder = nullptr;
        fluid_sfont_t* Font = nullptr;
        std::shared_ptr<std::recursive_mutex> Lock;
        int32_t Users = 0;
    };

    static std::string Key(const std::string& path, bool whole) { return (whole ? "whole:" : "parts:") + path; }

    void Drop(const std::string& key) {
        auto it = fonts_.find(key);
        if (it == fonts_.end()) return;
        Entry& e = it->second;
        if (e.Holder) delete_fluid_synth(e.Holder);
        if (e.Settings) delete_fluid_settings(e.Settings);
        fonts_.erase(it);
    }

    std::mutex m_;
    std::map<std::string, Entry> fonts_;
};

class FluidMidiSynth : public MidiSynth {
public:
    ~FluidMidiSynth() override {
        if (synth_) {
            // Its instruments are let go of in the shared font.
            std::unique_lock<std::recursive_mutex> hold;
            if (lock_) hold = std::unique_lock<std::recursive_mutex>(*lock_);
            if (font_) fluid_synth_remove_sfont(synth_, font_);
            delete_fluid_synth(synth_);
        }
        if (settings_) delete_fluid_settings(settings_);
        if (font_) SharedFonts::Get().Release(fontPath_, whole_);
    }

    bool Open(const std::string& soundFont, int32_t rate, SoundFontReading reading, std::string& error) {
        // The library's own messages would go to stderr; failures are reported
        // through `error` instead.
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, QuietLog, nullptr);
        if (soundFont.empty()) {
            error = "No sound font found";
            return false;
        }
        if (!StatHostEntry(soundFont).Exists) {
            error = "Sound font not found: " + soundFont;
            return false;
        }
        settings_ = new_fluid_settings();
        if (!settings_) {
            error = "Could not create synthesizer settings";
            return false;
        }
        fluid_settings_setnum(settings_, "synth.sample-rate", double(rate));
        fluid_settings_setnum(settings_, "synth.gain", kSynthGain);
        fluid_settings_setint(settings_, "synth.cpu-cores", 1);
        fluid_settings_setint(settings_, "synth.midi-channels", kChannels);
        synth_ = new_fluid_synth(settings_);
        if (!synth_) {
            error = "Could not create synthesizer";
            return false;
        }
        const SharedFonts::Held held = SharedFonts::Get().Acquire(soundFont, reading, error);
        if (!held.Font) return false;
        font_ = held.Font;
        lock_ = held.Lock;
        fontPath_ = soundFont;
        whole_ = held.Whole;
        std::lock_guard<std::recursive_mutex> hold(*lock_);
        // No channel chooses an instrument yet: the font would otherwise be
        // asked for a piano on every channel and the drums, whatever the
        // music plays. A channel's first note or program chooses one.
        for (int ch = 0; ch < kChannels; ++ch) fluid_synth_unset_program(synth_, ch);
        if (fluid_synth_add_sfont(synth_, font_) == FLUID_FAILED) {
            SharedFonts::Get().Release(fontPath_, whole_);
            font_ = nullptr;
            error = "Could not load sound font: " + soundFont;
            return false;
        }
        return true;
    }

    void Send(uint8_t status, uint8_t d1, uint8_t d2) override {
        std::lock_guard<std::recursive_mutex> hold(*lock_);
        const int ch = status & 0x0F;
        switch (status & 0xF0) {
            case 0x80: fluid_synth_noteoff(synth_, ch, d1); break;
            case 0x90:
                if (d2 == 0) {
                    fluid_synth_noteoff(synth_, ch, d1);
                } else {
                    if (!chosen_[size_t(ch)]) ChooseFirst(ch);
                    fluid_synth_noteon(synth_, ch, d1, d2);
                }
                break;
            case 0xA0: fluid_synth_key_pressure(synth_, ch, d1, d2); break;
            case 0xB0:
                if (d1 == 120) fluid_synth_all_sounds_off(synth_, ch);
                else if (d1 == 123) fluid_synth_all_notes_off(synth_, ch);
                else fluid_synth_cc(synth_, ch, d1, d2);
                break;
            case 0xC0:
                fluid_synth_program_change(synth_, ch, d1);
                chosen_[size_t(ch)] = true;
                break;
            case 0xD0: fluid_synth_channel_pressure(synth_, ch, d1); break;
            case 0xE0: fluid_synth_pitch_bend(synth_, ch, d1 | (d2 << 7)); break;
            default: break;
        }
    }

    void Render(float* out, int32_t frames) override {
        std::lock_guard<std::recursive_mutex> hold(*lock_);
        fluid_synth_write_float(synth_, frames, out, 0, 2, out, 1, 2);
    }

    bool TryHold() override { return lock_->try_lock(); }
    void Unhold() override { lock_->unlock(); }

    void Prepare(const MidiSong& song) override {
        std::lock_guard<std::recursive_mutex> hold(*lock_);
        // What the piece asks for: every program change with the bank its
        // channel holds then (a jump into the piece sends both again), and the
        // channels it plays before it chooses a program.
        std::array<int, kPlayChannels> msb, lsb, program;
        msb.fill(-1), lsb.fill(-1), program.fill(-1);
        std::array<bool, kPlayChannels> noteFirst{}, changed{};
        std::vector<std::array<int, 4>> asked;
        for (const MidiEvent& e : song.Events) {
            if (e.Status == 0xFF) continue;
            const size_t ch = e.Status & 0x0F;
            switch (e.Status & 0xF0) {
                case 0x90:
                    if (e.Data2 > 0 && !changed[ch]) noteFirst[ch] = true;
                    continue;
                case 0xB0:
                    if (e.Data1 == 0) msb[ch] = e.Data2;
                    else if (e.Data1 == 32) lsb[ch] = e.Data2;
                    else continue;
                    break;
                case 0xC0:
                    program[ch] = e.Data1;
                    changed[ch] = true;
                    break;
                default: continue;
            }
            const std::array<int, 4> choice = {ch == kDrumChannel, msb[ch], lsb[ch], program[ch]};
            if (choice[3] >= 0 && std::find(asked.begin(), asked.end(), choice) == asked.end())
                asked.push_back(choice);
        }
        // The last piece's instruments go first, so that two pieces' are never
        // held at once. A channel the piece plays before choosing a program
        // keeps what it has (as it would with every instrument in memory);
        // any other waits for the piece's own choice.
        for (int at = kPlayChannels; at < kChannels; ++at) fluid_synth_unset_program(synth_, at);
        for (int ch = 0; ch < kPlayChannels; ++ch) {
            if (noteFirst[size_t(ch)]) continue;
            fluid_synth_unset_program(synth_, ch);
            chosen_[size_t(ch)] = false;
        }
        for (int ch = 0; ch < kPlayChannels; ++ch)
            if (noteFirst[size_t(ch)] && !chosen_[size_t(ch)]) ChooseFirst(ch);
        // Each instrument asked for is held on a channel of its own.
        int at = kPlayChannels;
        std::vector<fluid_preset_t*> held;
        for (const auto& [drums, bankHigh, bankLow, prog] : asked) {
            if (at >= kChannels) break;
            fluid_synth_set_channel_type(synth_, at, drums ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
            fluid_synth_bank_select(synth_, at, drums ? 128 : 0);
            if (bankHigh >= 0) fluid_synth_cc(synth_, at, 0, bankHigh);
            if (bankLow >= 0) fluid_synth_cc(synth_, at, 32, bankLow);
            fluid_synth_program_change(synth_, at, prog);
            fluid_preset_t* preset = fluid_synth_get_channel_preset(synth_, at);
            if (preset && std::find(held.begin(), held.end(), preset) == held.end()) {
                held.push_back(preset);
                ++at;
            } else {
                fluid_synth_unset_program(synth_, at);
            }
        }
    }

private:
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_sfont_t* font_ = nullptr;
    std::shared_ptr<std::recursive_mutex> lock_;
    std::string fontPath_;
    bool whole_ = false;
    // Whether a play channel has chosen an instrument since it was let go.
    std::array<bool, kPlayChannels> chosen_{};

    // A play channel's first instrument: the one a synthesizer starts with
    // (the first program of its bank: bank 0, or the drums' bank 128), the
    // bank the music chose meanwhile kept for its next program change.
    void ChooseFirst(int ch) {
        int font = 0, bank = 0, prog = 0;
        fluid_synth_get_program(synth_, ch, &font, &bank, &prog);
        fluid_synth_bank_select(synth_, ch, ch == kDrumChannel ? 128 : 0);
        fluid_synth_program_change(synth_, ch, 0);
        fluid_synth_bank_select(synth_, ch, bank);
        chosen_[size_t(ch)] = true;
    }
};

}  // namespace

std::string FindSoundFont() {
    if (const char* env = std::getenv("ZUN_SOUNDFONT"); env && *env) return env;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path link = "/usr/share/sounds/sf2/default-GM.sf2";
    if (fs::is_regular_file(link, ec)) return link.string();
    for (const std::string folder : {"/usr/share/sounds/sf2/", "/usr/share/soundfonts/"}) {
        std::vector<std::string> found;
        for (const std::string& name : ListHostFolder(folder)) {
            const fs::path p = folder + name;
            std::string ext = p.extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            if (ext == ".sf2" && fs::is_regular_file(p, ec)) found.push_back(p.string());
        }
        // Sorted, so the same machine always picks the same font.
        std::sort(found.begin(), found.end());
        if (!found.empty()) return found.front();
    }
    return {};
}

int32_t LoadedSoundFonts() { return SharedFonts::Get().Loaded(); }

int64_t SoundFontBytesRead() { return gFontBytesRead; }

std::unique_ptr<MidiSynth> CreateFluidSynth(const std::string& soundFont, int32_t rate, std::string& error,
                                            SoundFontReading reading) {
    auto s = std::make_unique<FluidMidiSynth>();
    if (!s->Open(soundFont, rate, reading, error)) return nullptr;
    return s;
}

MidiPlayer::MidiPlayer(std::unique_ptr<MidiSynth> synth) : synth_(std::move(synth)) {}

void MidiPlayer::RenderAdd(float* out, int32_t frames, int32_t rate) {
    if (!synth_ || rate <= 0) return;
    // A synthesizer busy reading instruments is left out of this round, its
    // music held where it stood, rather than the whole mix waiting for it.
    if (!synth_->TryHold()) return;
    struct Unhold {
        MidiSynth& s;
        ~Unhold() { s.Unhold(); }
    } unhold{*synth_};
    constexpr int32_t kSlice = 64;
    scratch_.resize(size_t(kSlice) * 2);
    const float gain = AttenuationToGain(attenuation_);
    for (int32_t done = 0; done < frames;) {
        const int32_t n = std::min(kSlice, frames - done);
        seq_.Advance(double(n) / double(rate), *synth_);
        synth_->Render(scratch_.data(), n);
        float* o = out + size_t(done) * 2;
        for (int32_t k = 0; k < n * 2; ++k) o[k] += gain * scratch_[size_t(k)];
        done += n;
    }
}

}  // namespace zun
