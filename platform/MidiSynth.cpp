#include "platform/MidiSynth.h"

#include <fluidsynth.h>

#include <algorithm>
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

// The sound font is read through the door: the font is opened there, and the
// synthesizer's loader reads what was opened. The loader is asked for a name
// no file can have (""), so that a loader of the library's own, tried when
// ours fails, opens nothing itself.
thread_local HostFile* gFontOpening = nullptr;

void* FontOpen(const char* name) {
    if (!name || *name || !gFontOpening) return nullptr;
    HostFile* file = gFontOpening;
    gFontOpening = nullptr;
    return file;
}

int FontRead(void* buf, fluid_long_long_t count, void* handle) {
    if (count < 0) return FLUID_FAILED;
    return static_cast<HostFile*>(handle)->ReadFull(buf, size_t(count)) == count ? FLUID_OK : FLUID_FAILED;
}

int FontSeek(void* handle, fluid_long_long_t offset, int origin) {
    return static_cast<HostFile*>(handle)->Seek(offset, origin) < 0 ? FLUID_FAILED : FLUID_OK;
}

fluid_long_long_t FontTell(void* handle) { return static_cast<HostFile*>(handle)->Seek(0, SEEK_CUR); }

// The file is closed by its owner once the load is over.
int FontClose(void*) { return FLUID_OK; }

// A sound font is loaded once and shared by every synthesizer that plays with
// it (the MIDI music and each MIDI music file): its samples are several
// megabytes. Each synthesizer takes it off its own stack before it is deleted,
// so the font outlives it; the last user frees it.
class SharedFonts {
public:
    static SharedFonts& Get() {
        static SharedFonts s;
        return s;
    }

    fluid_sfont_t* Acquire(const std::string& path, std::string& error) {
        std::lock_guard<std::mutex> lk(m_);
        Entry& e = fonts_[path];
        if (!e.Font) {
            // The font is loaded into a synthesizer that only holds it: a font
            // is freed by the synthesizer whose stack it is on.
            HostFile file;
            std::string why;
            // A font the program names itself (a system file): read by its
            // path wherever that leads, but only a regular file.
            if (!OpenHostFileWithin(path, "", file, why)) {
                error = "Could not load sound font: " + path + " (" + why + ")";
                Drop(path);
                return nullptr;
            }
            e.Settings = new_fluid_settings();
            if (e.Settings) {
                fluid_settings_setint(e.Settings, "synth.polyphony", 1);
                fluid_settings_setint(e.Settings, "synth.cpu-cores", 1);
                e.Holder = new_fluid_synth(e.Settings);
            }
            fluid_sfloader_t* loader = e.Holder ? new_fluid_defsfloader(e.Settings) : nullptr;
            int id = FLUID_FAILED;
            if (loader) {
                fluid_sfloader_set_callbacks(loader, FontOpen, FontRead, FontSeek, FontTell, FontClose);
                fluid_synth_add_sfloader(e.Holder, loader);
                gFontOpening = &file;
                id = fluid_synth_sfload(e.Holder, "", 0);
                gFontOpening = nullptr;
            }
            if (id != FLUID_FAILED) e.Font = fluid_synth_get_sfont_by_id(e.Holder, id);
            if (!e.Font) {
                error = "Could not load sound font: " + path;
                Drop(path);
                return nullptr;
            }
        }
        ++e.Users;
        return e.Font;
    }

    void Release(const std::string& path) {
        std::lock_guard<std::mutex> lk(m_);
        auto it = fonts_.find(path);
        if (it == fonts_.end() || --it->second.Users > 0) return;
        Drop(path);
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
        int32_t Users = 0;
    };

    void Drop(const std::string& path) {
        auto it = fonts_.find(path);
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
        if (synth_ && font_) fluid_synth_remove_sfont(synth_, font_);
        if (synth_) delete_fluid_synth(synth_);
        if (settings_) delete_fluid_settings(settings_);
        if (font_) SharedFonts::Get().Release(fontPath_);
    }

    bool Open(const std::string& soundFont, int32_t rate, std::string& error) {
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
        synth_ = new_fluid_synth(settings_);
        if (!synth_) {
            error = "Could not create synthesizer";
            return false;
        }
        font_ = SharedFonts::Get().Acquire(soundFont, error);
        if (!font_) return false;
        fontPath_ = soundFont;
        if (fluid_synth_add_sfont(synth_, font_) == FLUID_FAILED) {
            SharedFonts::Get().Release(fontPath_);
            font_ = nullptr;
            error = "Could not load sound font: " + soundFont;
            return false;
        }
        fluid_synth_program_reset(synth_);
        return true;
    }

    void Send(uint8_t status, uint8_t d1, uint8_t d2) override {
        const int ch = status & 0x0F;
        switch (status & 0xF0) {
            case 0x80: fluid_synth_noteoff(synth_, ch, d1); break;
            case 0x90:
                if (d2 == 0) fluid_synth_noteoff(synth_, ch, d1);
                else fluid_synth_noteon(synth_, ch, d1, d2);
                break;
            case 0xA0: fluid_synth_key_pressure(synth_, ch, d1, d2); break;
            case 0xB0:
                if (d1 == 120) fluid_synth_all_sounds_off(synth_, ch);
                else if (d1 == 123) fluid_synth_all_notes_off(synth_, ch);
                else fluid_synth_cc(synth_, ch, d1, d2);
                break;
            case 0xC0: fluid_synth_program_change(synth_, ch, d1); break;
            case 0xD0: fluid_synth_channel_pressure(synth_, ch, d1); break;
            case 0xE0: fluid_synth_pitch_bend(synth_, ch, d1 | (d2 << 7)); break;
            default: break;
        }
    }

    void Render(float* out, int32_t frames) override {
        fluid_synth_write_float(synth_, frames, out, 0, 2, out, 1, 2);
    }

private:
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_sfont_t* font_ = nullptr;
    std::string fontPath_;
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

std::unique_ptr<MidiSynth> CreateFluidSynth(const std::string& soundFont, int32_t rate, std::string& error) {
    auto s = std::make_unique<FluidMidiSynth>();
    if (!s->Open(soundFont, rate, error)) return nullptr;
    return s;
}

MidiPlayer::MidiPlayer(std::unique_ptr<MidiSynth> synth) : synth_(std::move(synth)) {}

void MidiPlayer::RenderAdd(float* out, int32_t frames, int32_t rate) {
    if (!synth_ || rate <= 0) return;
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
