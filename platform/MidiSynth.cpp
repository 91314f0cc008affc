#include "platform/MidiSynth.h"

#include <fluidsynth.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace zun {

namespace {

// FluidSynth's default output level leaves headroom for a full orchestra; this
// brings a typical piece near the level of the wave effects.
constexpr float kSynthGain = 2.7f;

void QuietLog(int, const char*, void*) {}

class FluidMidiSynth : public MidiSynth {
public:
    ~FluidMidiSynth() override {
        if (synth_) delete_fluid_synth(synth_);
        if (settings_) delete_fluid_settings(settings_);
    }

    bool Open(const std::string& soundFont, int32_t rate, std::string& error) {
        // The library's own messages would go to stderr; failures are reported
        // through `error` instead.
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, QuietLog, nullptr);
        struct stat st;
        if (soundFont.empty()) {
            error = "No sound font found";
            return false;
        }
        if (::stat(soundFont.c_str(), &st) != 0) {
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
        if (fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
            error = "Could not load sound font: " + soundFont;
            return false;
        }
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
};

}  // namespace

std::string FindSoundFont() {
    if (const char* env = std::getenv("ZUN_SOUNDFONT"); env && *env) return env;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path link = "/usr/share/sounds/sf2/default-GM.sf2";
    if (fs::is_regular_file(link, ec)) return link.string();
    for (const char* folder : {"/usr/share/sounds/sf2", "/usr/share/soundfonts"}) {
        std::vector<std::string> found;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::string ext = it->path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            if (ext == ".sf2" && fs::is_regular_file(it->path(), ec)) found.push_back(it->path().string());
        }
        // Sorted, so the same machine always picks the same font.
        std::sort(found.begin(), found.end());
        if (!found.empty()) return found.front();
        ec.clear();
    }
    return {};
}

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
