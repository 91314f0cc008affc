#include "platform/MidiSequencer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zun {

namespace {
// Loop jumps within one Advance call beyond this are not worth playing: only a
// loop of a tick or two at an absurd tempo gets there.
constexpr int kMaxJumpsPerAdvance = 64;
}  // namespace

void MidiSequencer::Load(std::shared_ptr<const MidiSong> song) {
    song_ = std::move(song);
    playing_ = false;
    tick_ = 0;
    next_ = 0;
    tempo_ = kDefaultMidiTempo;
    chasedTick_ = -1;
}

int32_t MidiSequencer::EffectiveLoopEnd() const {
    const int32_t len = song_ ? song_->Length : 0;
    return (loopEnd_ > 0 && loopEnd_ <= len) ? loopEnd_ : len;
}

void MidiSequencer::Play(int32_t startTick, bool looping, int32_t loopStart, int32_t loopEnd, MidiSink& sink) {
    if (!song_) return;
    loopEnd_ = loopEnd;
    const int32_t end = EffectiveLoopEnd();
    loopStart_ = (loopStart >= 0 && loopStart < end) ? loopStart : 0;
    // A song without length cannot loop: it would jump forever in place.
    looping_ = looping && end > loopStart_;
    chasedTick_ = -1;
    playing_ = true;
    JumpTo(std::max(0, startTick), sink);
}

void MidiSequencer::Stop(MidiSink& sink) {
    if (playing_) {
        for (uint8_t ch = 0; ch < 16; ++ch) {
            sink.Send(uint8_t(0xB0 | ch), 120, 0);  // all sound off
            sink.Send(uint8_t(0xB0 | ch), 123, 0);  // all notes off
        }
    }
    playing_ = false;
}

int32_t MidiSequencer::Position() const {
    if (tick_ >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return int32_t(std::floor(tick_));
}

void MidiSequencer::SetTempoFactor(double factor) {
    if (!(factor >= MinTempoFactor)) factor = MinTempoFactor;  // also NaN
    if (factor > MaxTempoFactor) factor = MaxTempoFactor;
    factor_ = factor;
}

void MidiSequencer::Dispatch(const MidiEvent& e, MidiSink& sink) {
    if (e.Status == 0xFF) {
        tempo_ = e.Tempo;
        return;
    }
    sink.Send(e.Status, e.Data1, e.Data2);
}

void MidiSequencer::JumpTo(int32_t tick, MidiSink& sink) {
    const auto& ev = song_->Events;
    if (tick != chasedTick_) {
        // The state the music had built up by `tick`: the last value of every
        // controller, program, pitch bend and pressure, and the tempo.
        Chase c;
        for (auto& ch : c.cc) ch.fill(-1);
        c.program.fill(-1);
        c.bend.fill(-1);
        c.pressure.fill(-1);
        c.tempo = kDefaultMidiTempo;
        size_t i = 0;
        for (; i < ev.size() && ev[i].Tick < tick; ++i) {
            const MidiEvent& e = ev[i];
            if (e.Status == 0xFF) {
                c.tempo = e.Tempo;
                continue;
            }
            const int ch = e.Status & 0x0F;
            switch (e.Status & 0xF0) {
                case 0xB0:
                    // Channel-mode messages act at once and leave no state to restore.
                    if (e.Data1 < 120) c.cc[ch][e.Data1] = e.Data2;
                    if (e.Data1 == 121) c.cc[ch].fill(-1);
                    break;
                case 0xC0: c.program[ch] = e.Data1; break;
                case 0xD0: c.pressure[ch] = e.Data1; break;
                case 0xE0: c.bend[ch] = e.Data1 | (e.Data2 << 7); break;
                default: break;
            }
        }
        c.next = i;
        chased_ = c;
        chasedTick_ = tick;
    }
    const Chase& c = chased_;
    for (int ch = 0; ch < 16; ++ch) {
        const uint8_t cc = uint8_t(0xB0 | ch);
        sink.Send(cc, 123, 0);  // all notes off
        sink.Send(cc, 121, 0);  // reset controllers
        // Controllers first, so a bank select precedes its program change.
        for (int k = 0; k < 120; ++k)
            if (c.cc[ch][k] >= 0) sink.Send(cc, uint8_t(k), uint8_t(c.cc[ch][k]));
        if (c.program[ch] >= 0) sink.Send(uint8_t(0xC0 | ch), uint8_t(c.program[ch]), 0);
        if (c.bend[ch] >= 0) sink.Send(uint8_t(0xE0 | ch), uint8_t(c.bend[ch] & 0x7F), uint8_t(c.bend[ch] >> 7));
        if (c.pressure[ch] >= 0) sink.Send(uint8_t(0xD0 | ch), uint8_t(c.pressure[ch]), 0);
    }
    tempo_ = c.tempo;
    next_ = c.next;
    tick_ = tick;
}

void MidiSequencer::Advance(double seconds, MidiSink& sink) {
    if (!playing_ || !song_) return;
    const auto& ev = song_->Events;
    const int32_t loopEnd = EffectiveLoopEnd();
    const double length = song_->Length;
    double remaining = seconds > 0 ? seconds : 0;
    int jumps = 0;
    while (playing_) {
        // Events due now; when looping, nothing at or past the loop end.
        while (next_ < ev.size() && double(ev[next_].Tick) <= tick_ && (!looping_ || ev[next_].Tick < loopEnd))
            Dispatch(ev[next_++], sink);
        if (looping_ && tick_ >= loopEnd) {
            if (++jumps > kMaxJumpsPerAdvance) return;
            JumpTo(loopStart_, sink);
            continue;
        }
        if (!looping_ && tick_ >= length && next_ >= ev.size()) {
            Stop(sink);
            return;
        }
        if (remaining <= 0) return;
        const double ticksPerSecond = double(kMusicTicksPerQuarter) * 1e6 / double(tempo_) * factor_;
        double target = looping_ ? double(loopEnd) : length;
        if (next_ < ev.size()) target = std::min(target, double(ev[next_].Tick));
        const double need = (target - tick_) / ticksPerSecond;
        if (need >= remaining) {
            tick_ += remaining * ticksPerSecond;
            return;
        }
        tick_ = std::max(tick_, target);
        remaining -= std::max(0.0, need);
    }
}

}  // namespace zun
