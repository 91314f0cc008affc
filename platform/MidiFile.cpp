#include "platform/MidiFile.h"

#include <algorithm>

namespace zun {

namespace {

class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    size_t Left() const { return n_ - pos_; }
    size_t Pos() const { return pos_; }
    bool Byte(uint8_t& b) {
        if (pos_ >= n_) return false;
        b = p_[pos_++];
        return true;
    }
    bool Peek(uint8_t& b) const {
        if (pos_ >= n_) return false;
        b = p_[pos_];
        return true;
    }
    bool U16(uint32_t& v) {
        if (Left() < 2) return false;
        v = (uint32_t(p_[pos_]) << 8) | p_[pos_ + 1];
        pos_ += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        if (Left() < 4) return false;
        v = (uint32_t(p_[pos_]) << 24) | (uint32_t(p_[pos_ + 1]) << 16) | (uint32_t(p_[pos_ + 2]) << 8) |
            p_[pos_ + 3];
        pos_ += 4;
        return true;
    }
    // Variable-length quantity: at most four bytes, as the format allows.
    bool VarLen(uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b;
            if (!Byte(b)) return false;
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    bool Skip(size_t n) {
        if (Left() < n) return false;
        pos_ += n;
        return true;
    }
    bool Tag(const char* t) {
        if (Left() < 4) return false;
        bool ok = std::equal(t, t + 4, p_ + pos_);
        if (ok) pos_ += 4;
        return ok;
    }
    const uint8_t* Here() const { return p_ + pos_; }

private:
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
};

int DataBytes(uint8_t status) {
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0: return 1;
        default: return 2;
    }
}

struct Timebase {
    // music tick = source tick * num / den, rounded to nearest
    int64_t num = 0, den = 1;
    bool smpte = false;
    bool ToMusic(int64_t src, int32_t& out) const {
        int64_t t = (src * num * 2 + den) / (den * 2);
        if (t > INT32_MAX) return false;
        out = int32_t(t);
        return true;
    }
};

bool ParseTrack(Reader& r, const Timebase& tb, std::vector<MidiEvent>& events, int32_t& trackEnd,
                std::string& error) {
    int64_t tick = 0;
    uint8_t running = 0;
    int32_t music = 0;
    while (r.Left() > 0) {
        uint32_t delta;
        if (!r.VarLen(delta)) {
            error = "Bad delta time";
            return false;
        }
        tick += delta;
        if (!tb.ToMusic(tick, music)) {
            error = "MIDI file too long";
            return false;
        }
        uint8_t status;
        if (!r.Peek(status)) {
            error = "Track ends inside an event";
            return false;
        }
        if (status >= 0x80) {
            r.Byte(status);
        } else if (running) {
            status = running;
        } else {
            error = "Data byte without status";
            return false;
        }
        if (status < 0xF0) {
            running = status;
            MidiEvent e;
            e.Tick = music;
            e.Status = status;
            uint8_t d1 = 0, d2 = 0;
            if (!r.Byte(d1) || (DataBytes(status) == 2 && !r.Byte(d2))) {
                error = "Track ends inside an event";
                return false;
            }
            e.Data1 = d1 & 0x7F;
            e.Data2 = d2 & 0x7F;
            if (events.size() >= kMaxMidiEvents) {
                error = "Too many MIDI events";
                return false;
            }
            events.push_back(e);
        } else if (status == 0xF0 || status == 0xF7) {
            uint32_t len;
            if (!r.VarLen(len) || !r.Skip(len)) {
                error = "Bad system exclusive event";
                return false;
            }
        } else if (status == 0xFF) {
            uint8_t type;
            uint32_t len;
            if (!r.Byte(type) || !r.VarLen(len) || r.Left() < len) {
                error = "Bad meta event";
                return false;
            }
            const uint8_t* d = r.Here();
            r.Skip(len);
            if (type == 0x2F) {
                trackEnd = std::max(trackEnd, music);
                return true;
            }
            if (type == 0x51 && len == 3 && !tb.smpte) {
                MidiEvent e;
                e.Tick = music;
                e.Status = 0xFF;
                e.Tempo = int32_t((uint32_t(d[0]) << 16) | (uint32_t(d[1]) << 8) | d[2]);
                if (e.Tempo <= 0) continue;
                if (events.size() >= kMaxMidiEvents) {
                    error = "Too many MIDI events";
                    return false;
                }
                events.push_back(e);
            }
        } else {
            error = "Bad status byte";
            return false;
        }
        trackEnd = std::max(trackEnd, music);
    }
    return true;  // a track without end marker ends with its data
}

}  // namespace

bool ParseMidiFile(const uint8_t* data, size_t size, MidiSong& out, std::string& error) {
    out = MidiSong{};
    Reader r(data, size);
    uint32_t hlen, format, ntrks, division;
    if (!r.Tag("MThd") || !r.U32(hlen) || hlen < 6 || !r.U16(format) || !r.U16(ntrks) || !r.U16(division) ||
        !r.Skip(hlen - 6)) {
        error = "Not a standard MIDI file";
        return false;
    }
    if (format > 2) {
        error = "Unknown MIDI file format";
        return false;
    }
    if (ntrks == 0 || ntrks > uint32_t(kMaxMidiTracks)) {
        error = "Bad track count";
        return false;
    }
    Timebase tb;
    if (division & 0x8000) {
        // SMPTE time: frames per second and ticks per frame. Music time then runs
        // at a fixed 120 beats per minute (two quarters per second).
        int fps = -int(int8_t(division >> 8));
        int tpf = int(division & 0xFF);
        if (fps <= 0 || tpf <= 0) {
            error = "Bad time division";
            return false;
        }
        tb.smpte = true;
        tb.num = int64_t(kMusicTicksPerQuarter) * 2;
        tb.den = int64_t(fps) * tpf;
    } else {
        if (division == 0) {
            error = "Bad time division";
            return false;
        }
        tb.num = kMusicTicksPerQuarter;
        tb.den = division;
    }

    MidiSong song;
    song.Format = int32_t(format);
    song.Division = int32_t(division);
    uint32_t found = 0;
    while (found < ntrks && r.Left() >= 8) {
        bool isTrack = r.Tag("MTrk");
        if (!isTrack) r.Skip(4);
        uint32_t len = 0;
        r.U32(len);
        // A length running past the data is taken as "to the end of the file".
        size_t take = std::min<size_t>(len, r.Left());
        if (isTrack) {
            Reader tr(r.Here(), take);
            int32_t end = 0;
            if (!ParseTrack(tr, tb, song.Events, end, error)) return false;
            song.Length = std::max(song.Length, end);
            ++found;
        }
        r.Skip(take);
    }
    if (found == 0) {
        error = "No track in MIDI file";
        return false;
    }
    std::stable_sort(song.Events.begin(), song.Events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.Tick < b.Tick; });
    out = std::move(song);
    return true;
}

}  // namespace zun
