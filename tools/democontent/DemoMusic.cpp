#include "tools/democontent/DemoMusic.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <memory>
#include <sstream>

#include "core/zDataFile.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "tools/democontent/DemoLevel.h"
#include "tools/democontent/DemoText.h"

namespace tarv::demo {

namespace {

constexpr int32_t kBar = 4 * kTuneDivision;
constexpr int32_t kEighth = kTuneDivision / 2;
// Music time of the engine: 768 ticks to the quarter note.
constexpr int32_t kMusicBar = 4 * 768;

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

void PutVarLen(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t buf[5];
    int n = 0;
    buf[n++] = uint8_t(v & 0x7F);
    while ((v >>= 7) != 0 && n < 5) buf[n++] = uint8_t(0x80 | (v & 0x7F));
    while (n > 0) out.push_back(buf[--n]);
}

struct RawEvent {
    int32_t Tick;
    int Order;  // at one tick: note-offs, then controls, then note-ons
    std::vector<uint8_t> Bytes;
};

void PutTrack(std::vector<uint8_t>& out, std::vector<RawEvent> events, int32_t endTick) {
    std::stable_sort(events.begin(), events.end(), [](const RawEvent& a, const RawEvent& b) {
        return a.Tick != b.Tick ? a.Tick < b.Tick : a.Order < b.Order;
    });
    std::vector<uint8_t> body;
    int32_t now = 0;
    for (const RawEvent& e : events) {
        PutVarLen(body, uint32_t(e.Tick - now));
        body.insert(body.end(), e.Bytes.begin(), e.Bytes.end());
        now = e.Tick;
    }
    PutVarLen(body, uint32_t(std::max(0, endTick - now)));
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Put(out, uint32_t(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> Meta(uint8_t type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b{0xFF, type};
    PutVarLen(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// A melody written as (key, eighths) pairs; key 0 is a rest.
void AddLine(TuneTrack& t, int32_t start, const std::vector<std::pair<int, int>>& line, uint8_t velocity) {
    int32_t at = start;
    for (auto [key, eighths] : line) {
        const int32_t len = eighths * kEighth;
        if (key > 0) t.Notes.push_back(TuneNote{at, len - 4, uint8_t(key), velocity});
        at += len;
    }
}

struct Chord {
    int Root;   // MIDI key of the root in the third octave
    bool Minor;
};

Tune VillageTune() {
    Tune tune;
    tune.File = "village.mid";
    tune.Tempo = 625000;  // 96 beats a minute
    tune.Bars = 16;
    const Chord D{50, true}, C{48, false}, Bb{46, false}, A{45, false}, F{41, false}, Am{45, true};
    const Chord chords[16] = {D, C, Bb, C, D, C, Bb, A, F, C, D, Am, Bb, C, A, D};

    TuneTrack melody{"Flute", 0, 73, 92, {}};
    const std::vector<std::vector<std::pair<int, int>>> bars = {
        {{69, 2}, {74, 2}, {76, 1}, {77, 1}, {76, 2}}, {{72, 2}, {76, 2}, {79, 3}, {0, 1}},
        {{77, 2}, {74, 2}, {70, 2}, {74, 2}},          {{72, 3}, {74, 1}, {76, 4}},
        {{74, 2}, {77, 2}, {81, 3}, {79, 1}},          {{79, 2}, {76, 2}, {72, 2}, {76, 2}},
        {{77, 3}, {76, 1}, {74, 2}, {70, 2}},          {{73, 4}, {76, 4}},
        {{77, 2}, {81, 2}, {84, 2}, {81, 2}},          {{79, 3}, {77, 1}, {76, 4}},
        {{74, 2}, {76, 2}, {77, 2}, {79, 2}},          {{81, 6}, {0, 2}},
        {{82, 2}, {81, 2}, {79, 2}, {77, 2}},          {{76, 2}, {79, 2}, {77, 2}, {76, 2}},
        {{73, 3}, {74, 1}, {76, 4}},                   {{74, 8}}};
    for (int b = 0; b < 16; ++b) AddLine(melody, b * kBar, bars[size_t(b)], 84);

    TuneTrack guitar{"Guitar", 1, 24, 80, {}};
    TuneTrack bass{"Bass", 2, 32, 96, {}};
    for (int b = 0; b < 16; ++b) {
        const Chord& c = chords[b];
        const int third = c.Root + (c.Minor ? 3 : 4), fifth = c.Root + 7;
        const int pattern[8] = {c.Root, fifth, c.Root + 12, third + 12, c.Root + 12, fifth, third + 12, fifth};
        for (int i = 0; i < 8; ++i)
            guitar.Notes.push_back(TuneNote{b * kBar + i * kEighth, i == 7 ? kEighth : kEighth * 2, uint8_t(pattern[i]),
                                            uint8_t(i % 4 ? 60 : 74)});
        bass.Notes.push_back(TuneNote{b * kBar, kBar / 2 - 6, uint8_t(c.Root - 12), 90});
        bass.Notes.push_back(TuneNote{b * kBar + kBar / 2, kBar / 2 - 6, uint8_t(fifth - 12), 80});
    }
    tune.Tracks = {melody, guitar, bass};
    return tune;
}

Tune CellarTune() {
    Tune tune;
    tune.File = "cellar.mid";
    tune.Tempo = 909091;  // 66 beats a minute
    tune.Bars = 8;
    const Chord Am{45, true}, F{41, false}, Dm{50, true}, E{40, false}, G{43, false};
    const Chord chords[8] = {Am, F, Dm, E, Am, F, G, E};
    TuneTrack pad{"Strings", 0, 48, 70, {}};
    TuneTrack low{"Cello", 1, 42, 80, {}};
    TuneTrack box{"Music box", 2, 10, 70, {}};
    for (int b = 0; b < 8; ++b) {
        const Chord& c = chords[b];
        const int third = c.Root + (c.Minor ? 3 : 4), fifth = c.Root + 7;
        for (int k : {c.Root + 12, third + 12, fifth + 12}) pad.Notes.push_back(TuneNote{b * kBar, kBar - 8, uint8_t(k), 56});
        low.Notes.push_back(TuneNote{b * kBar, kBar - 8, uint8_t(c.Root - 12), 70});
    }
    AddLine(box, 0, {{81, 3}, {76, 1}, {72, 4}, {77, 2}, {76, 2}, {72, 4}, {74, 3}, {77, 1}, {81, 4},
                     {80, 6}, {0, 2}, {81, 3}, {84, 1}, {88, 4}, {84, 2}, {81, 2}, {77, 4}, {79, 3},
                     {74, 1}, {71, 4}, {76, 8}},
            64);
    tune.Tracks = {pad, low, box};
    return tune;
}

}  // namespace

std::vector<uint8_t> EncodeMidi(const Tune& tune) {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
    Put(out, 6, 4);
    Put(out, 1, 2);
    Put(out, uint32_t(tune.Tracks.size() + 1), 2);
    Put(out, uint32_t(kTuneDivision), 2);
    const int32_t end = tune.Bars * kBar;

    std::vector<RawEvent> tempo;
    tempo.push_back({0, 0, Meta(0x03, Text(tune.File))});
    tempo.push_back({0, 0, Meta(0x58, {4, 2, 24, 8})});
    tempo.push_back({0, 0, Meta(0x51, {uint8_t(tune.Tempo >> 16), uint8_t(tune.Tempo >> 8), uint8_t(tune.Tempo)})});
    PutTrack(out, tempo, end);

    for (const TuneTrack& t : tune.Tracks) {
        const uint8_t ch = uint8_t(t.Channel & 0x0F);
        std::vector<RawEvent> ev;
        ev.push_back({0, 1, Meta(0x03, Text(t.Name))});
        ev.push_back({0, 1, {uint8_t(0xC0 | ch), uint8_t(t.Program & 0x7F)}});
        ev.push_back({0, 1, {uint8_t(0xB0 | ch), 7, uint8_t(t.Volume & 0x7F)}});
        for (const TuneNote& n : t.Notes) {
            const int32_t stop = std::min(end, n.Start + std::max(1, n.Length));
            ev.push_back({n.Start, 2, {uint8_t(0x90 | ch), uint8_t(n.Key & 0x7F), uint8_t(n.Velocity & 0x7F)}});
            ev.push_back({stop, 0, {uint8_t(0x80 | ch), uint8_t(n.Key & 0x7F), 0}});
        }
        PutTrack(out, ev, end);
    }
    return out;
}

std::vector<uint8_t> EncodeMusicSetup(const MusicSetup& setup) {
    zun::zStream s;
    s.WriteByte(2);
    s.WriteString(setup.Track);
    s.WriteByte(setup.Type);
    s.WriteLong(setup.Start);
    s.WriteLong(setup.LoopStart);
    s.WriteLong(setup.LoopEnd);
    s.WriteLong(setup.End);
    s.WriteSingle(setup.Volume);
    s.WriteSingle(setup.Speed);
    s.WriteLong(int32_t(setup.Events.size()));
    for (const SetupEvent& e : setup.Events) {
        zun::zValues v;
        v.SetLong("Position", e.Position);
        v.SetString("SoundFile", e.SoundFile);
        if (!e.SoundFile.empty()) v.SetSingle("Volume", e.Volume);
        if (!e.SoundFile.empty() && e.Speed != 1.0f) v.SetSingle("Speed", e.Speed);
        v.SetString("Call", e.Call);
        v.Export(s);
    }
    std::vector<uint8_t> file;
    zun::SaveDataBytes(s.Bytes(), true, "", file);
    return file;
}

namespace {

// Most events a setup may have; no piece needs more than a few dozen.
constexpr size_t kMaxSetupEvents = 10000;

bool Whole32(const std::string& s, int32_t& v) {
    int64_t x = 0;
    const char* b = s.data();
    const char* e = b + s.size();
    auto [p, ec] = std::from_chars(b, e, x);
    if (s.empty() || ec != std::errc() || p != e || x < 0 || x > INT32_MAX) return false;
    v = int32_t(x);
    return true;
}

bool Real(const std::string& s, float& v, double lo, double hi) {
    double x = 0;
    const char* b = s.data();
    const char* e = b + s.size();
    auto [p, ec] = std::from_chars(b, e, x);
    if (s.empty() || ec != std::errc() || p != e || !std::isfinite(x) || x < lo || x > hi) return false;
    v = float(x);
    return true;
}

bool Identifier(const std::string& s) {
    if (s.empty() || s.size() > 255 || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

}  // namespace

bool ParseMusicSetup(const std::string& text, const std::string& file, MusicSetup& out,
                     std::vector<std::string>& errors) {
    out = MusicSetup{};
    const size_t before = errors.size();
    int line = 0;
    auto fail = [&](const std::string& message) {
        if (errors.size() - before < 50) errors.push_back(file + ":" + std::to_string(line) + ": " + message);
    };
    bool haveTrack = false;
    bool unread = false;  // a line that could not be read may have been the track
    std::istringstream in(text);
    std::string raw;
    std::vector<Prop> w;
    while (std::getline(in, raw)) {
        ++line;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string error;
        if (!SplitStatement(raw, w, error)) {
            fail(error);
            unread = true;
            continue;
        }
        if (w.empty()) continue;
        const std::string head = w[0].Key;
        auto word = [&](size_t i) -> const std::string& { return w[i].Quoted ? w[i].Value : w[i].Key; };
        auto count = [&](size_t n, const char* usage) {
            if (w.size() == n && !w[0].Assigned && !w[0].Quoted) return true;
            fail(std::string("'") + Clip(head) + "' is written " + usage);
            return false;
        };
        if (head == "track") {
            if (!count(3, "track FILE wave|midi|music")) continue;
            const std::string& kind = word(2);
            out.Track = zun::Utf8ToCp1252(word(1));
            out.Type = kind == "wave" ? 1 : kind == "midi" ? 2 : kind == "music" ? 3 : 0;
            if (out.Type == 0) fail("a track is a 'wave', a 'midi' or a 'music' file, not '" + Clip(kind) + "'");
            if (const std::string fault = FileNameFault(out.Track); !fault.empty())
                fail("a track is a file name inside the music (or, for a wave, the sound) folder: this one " +
                     fault);
            out.TrackLine = line;
            if (haveTrack) fail("track given twice");
            haveTrack = true;
        } else if (head == "start" || head == "end") {
            if (!count(2, (head + " POSITION").c_str())) continue;
            if (!Whole32(word(1), head == "start" ? out.Start : out.End))
                fail("a position is a whole number from 0 to 2147483647");
        } else if (head == "loop") {
            if (!count(3, "loop FROM TO")) continue;
            out.LoopLine = line;
            if (!Whole32(word(1), out.LoopStart) || !Whole32(word(2), out.LoopEnd))
                fail("a position is a whole number from 0 to 2147483647");
            else if (out.LoopEnd != 0 && out.LoopEnd <= out.LoopStart)
                fail("a loop ends after it starts (TO 0: at the end of the track)");
        } else if (head == "volume") {
            if (!count(2, "volume V")) continue;
            if (!Real(word(1), out.Volume, 0, 1)) fail("volume is a number from 0 to 1");
        } else if (head == "speed") {
            if (!count(2, "speed S")) continue;
            if (!Real(word(1), out.Speed, 0.01, 100)) fail("speed is a number from 0.01 to 100");
        } else if (head == "event") {
            SetupEvent e;
            e.Line = line;
            if (w.size() < 2 || w[1].Assigned || !Whole32(word(1), e.Position)) {
                fail("an event starts with its position: event POSITION [sound=FILE] [volume=V] [speed=S] [call=FUNCTION]");
                continue;
            }
            for (size_t i = 2; i < w.size(); ++i) {
                const Prop& p = w[i];
                if (p.Key == "sound") {
                    e.SoundFile = zun::Utf8ToCp1252(p.Value);
                    if (const std::string fault = FileNameFault(e.SoundFile); !fault.empty())
                        fail("an event's sound is a file name inside the sound folder: this one " + fault);
                } else if (p.Key == "call") {
                    e.Call = p.Value;
                    if (!Identifier(e.Call)) fail("call names a function of the music object: letters, digits and _");
                } else if (p.Key == "volume") {
                    if (!Real(p.Value, e.Volume, 0, 1)) fail("volume is a number from 0 to 1");
                } else if (p.Key == "speed") {
                    if (!Real(p.Value, e.Speed, 0.01, 100)) fail("speed is a number from 0.01 to 100");
                } else {
                    fail("unknown key '" + Clip(p.Key) + "' on event (it takes: sound, volume, speed, call)");
                }
            }
            if (e.SoundFile.empty() && e.Call.empty()) fail("an event plays a sound=, makes a call= or both");
            if (!out.Events.empty() && e.Position < out.Events.back().Position)
                fail("events come in the order of their positions: this one is before the last");
            if (out.Events.size() >= kMaxSetupEvents) {
                fail("more than " + std::to_string(kMaxSetupEvents) + " events");
                break;
            }
            out.Events.push_back(e);
        } else {
            fail("unknown statement '" + Clip(head) + "' (a setup has track, start, loop, end, volume, speed and event)");
        }
    }
    line += 1;
    if (!haveTrack && !unread) fail("no 'track' statement");
    return errors.size() == before;
}

std::vector<Tune> MakeTunes() { return {VillageTune(), CellarTune()}; }

std::vector<MusicSetup> MakeMusicSetups() {
    MusicSetup village;
    village.File = "village.mus";
    village.Track = "village.mid";
    village.LoopEnd = village.End = 16 * kMusicBar;
    village.Volume = 1.0f;
    village.Events = {{0, "bell.wav", 0.9f, ""}, {12 * kMusicBar, "", 1.0f, "thunderCue"}};
    MusicSetup cellar;
    cellar.File = "cellar.mus";
    cellar.Track = "cellar.mid";
    cellar.LoopEnd = cellar.End = 8 * kMusicBar;
    cellar.Volume = 1.0f;
    cellar.Events = {{2 * kMusicBar, "", 1.0f, "drip"}, {6 * kMusicBar + kMusicBar / 2, "", 1.0f, "drip"}};
    return {village, cellar};
}

}  // namespace tarv::demo
