// The standard-MIDI-file reader and the sequencer against a recording synth.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/MidiFile.h"
#include "platform/MidiSequencer.h"
#include "test_sound_fixtures.h"

namespace zun {
namespace {

using test::MidiMessage;
using test::MidiTrack;

struct Recorder : MidiSink {
    std::vector<MidiMessage> log;
    void Send(uint8_t s, uint8_t a, uint8_t b) override { log.push_back({s, a, b}); }
    std::vector<MidiMessage> Notes() const {
        std::vector<MidiMessage> n;
        for (auto& m : log)
            if ((m.Status & 0xF0) == 0x90) n.push_back(m);
        return n;
    }
};

std::shared_ptr<MidiSong> Parse(const std::vector<uint8_t>& bytes) {
    auto s = std::make_shared<MidiSong>();
    std::string err;
    EXPECT_TRUE(ParseMidiFile(bytes.data(), bytes.size(), *s, err)) << err;
    return s;
}

// One note per quarter: note 60 + i at quarter i, `quarters` of them, in the
// file's own division.
std::vector<uint8_t> Scale(int division, int quarters) {
    MidiTrack t;
    for (int i = 0; i < quarters; ++i) {
        t.Event(i == 0 ? 0 : 0, {0x90, uint8_t(60 + i), 100});
        t.Event(uint32_t(division), {0x80, uint8_t(60 + i), 0});
    }
    t.End();
    return test::MakeMidi(0, division, {t});
}

TEST(MidiFile, MusicTimeIs768TicksPerQuarterWhateverTheDivision) {
    // The same music written at 96 and at 480 ticks per quarter: notes at
    // quarters 0, 1 and 2.5, the file ending at quarter 4.
    auto make = [](int div) {
        MidiTrack t;
        t.Event(0, {0x90, 60, 100}).Event(uint32_t(div), {0x90, 62, 100});
        t.Event(uint32_t(div * 3 / 2), {0x90, 64, 100}).End(uint32_t(div * 3 / 2));
        return test::MakeMidi(0, div, {t});
    };
    auto a = Parse(make(96)), b = Parse(make(480));
    ASSERT_EQ(a->Events.size(), 3u);
    ASSERT_EQ(b->Events.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(a->Events[i].Tick, b->Events[i].Tick);
    EXPECT_EQ(a->Events[1].Tick, 768);
    EXPECT_EQ(a->Events[2].Tick, 1920);
    EXPECT_EQ(a->Length, 4 * 768);
    EXPECT_EQ(b->Length, 4 * 768);
    EXPECT_EQ(a->Division, 96);
}

TEST(MidiFile, TracksMergeInTimeOrderWithRunningStatusAndSkippedSysex) {
    MidiTrack t1, t2;
    t1.Tempo(0, 250000).Event(0, {0xC0, 5}).Event(100, {0x90, 60, 90}).Event(0, {61, 91}).End(10);
    t2.Event(0, {0xF0, 0x03, 0x7E, 0x7F, 0xF7}).Event(50, {0xB1, 7, 80}).Event(50, {0x91, 40, 70}).End(400);
    auto s = Parse(test::MakeMidi(1, 96, {t1, t2}));
    ASSERT_EQ(s->Events.size(), 6u);
    EXPECT_EQ(s->Events[0].Status, 0xFF);
    EXPECT_EQ(s->Events[0].Tempo, 250000);
    EXPECT_EQ(s->Events[1].Status, 0xC0);
    EXPECT_EQ(s->Events[2].Status, 0xB1);   // tick 400
    EXPECT_EQ(s->Events[3].Status, 0x90);   // tick 800, track 1 before track 2
    EXPECT_EQ(s->Events[4].Data1, 61);      // running status
    EXPECT_EQ(s->Events[5].Status, 0x91);
    EXPECT_EQ(s->Length, 500 * 8);
}

TEST(MidiFile, BadFilesAreRefusedWithAReason) {
    std::string err;
    MidiSong s;
    auto good = Scale(96, 2);
    EXPECT_FALSE(ParseMidiFile(good.data(), 10, s, err));  // cut inside the header
    EXPECT_FALSE(err.empty());
    std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(ParseMidiFile(text.data(), text.size(), s, err));
    auto noDiv = good;
    noDiv[12] = noDiv[13] = 0;
    EXPECT_FALSE(ParseMidiFile(noDiv.data(), noDiv.size(), s, err));
    // A data byte with no status before it.
    MidiTrack t;
    t.Event(0, {0x40, 0x40});
    auto bad = test::MakeMidi(0, 96, {t});
    EXPECT_FALSE(ParseMidiFile(bad.data(), bad.size(), s, err));
    EXPECT_TRUE(s.Events.empty());
    // Delta times that would run past the range of music time.
    MidiTrack far;
    for (int i = 0; i < 20; ++i) far.Event(0x0FFFFFFF, {0x90, 60, 1});
    auto longFile = test::MakeMidi(0, 1, {far});
    EXPECT_FALSE(ParseMidiFile(longFile.data(), longFile.size(), s, err));
    EXPECT_EQ(err, "MIDI file too long");
    // A track length running past the data is read up to the end.
    auto cut = good;
    cut.resize(cut.size() - 4);  // no end-of-track marker
    EXPECT_TRUE(ParseMidiFile(cut.data(), cut.size(), s, err));
}

TEST(MidiSequencer, TempoAndTempoFactorSetThePace) {
    MidiTrack t;
    t.Event(0, {0x90, 60, 100}).Tempo(96, 250000).Event(96 * 8, {0x80, 60, 0}).End();
    auto song = Parse(test::MakeMidi(0, 96, {t}));
    MidiSequencer seq;
    Recorder r;
    seq.Load(song);
    seq.Play(0, false, 0, 0, r);
    seq.Advance(0.5, r);  // one quarter at 120 bpm
    EXPECT_EQ(seq.Position(), 768);
    seq.Advance(0.25, r);  // then 240 bpm
    EXPECT_EQ(seq.Position(), 1536);
    seq.SetTempoFactor(2.0);
    seq.Advance(0.25, r);
    EXPECT_EQ(seq.Position(), 3072);
    seq.SetTempoFactor(0);
    EXPECT_EQ(seq.TempoFactor(), 0.01);
    seq.SetTempoFactor(100);
    EXPECT_EQ(seq.TempoFactor(), 64.0);
}

TEST(MidiSequencer, EndlessLoopFallsBackAndPlaysAgain) {
    auto song = Parse(Scale(480, 4));  // four quarters: 2 s at 120 bpm
    MidiSequencer seq;
    Recorder r;
    seq.Load(song);
    seq.Play(0, true, 0, 0, r);
    seq.Advance(1.9, r);
    const int32_t before = seq.Position();
    seq.Advance(0.2, r);
    EXPECT_LT(seq.Position(), before);  // fell back
    EXPECT_TRUE(seq.IsPlaying());
    EXPECT_EQ(r.Notes().size(), 5u);  // the four notes, then the first again
    EXPECT_EQ(r.Notes()[4].Data1, 60);
    seq.Advance(20.0, r);
    EXPECT_TRUE(seq.IsPlaying());

    // Without looping the song ends and the sequencer stops.
    seq.Play(0, false, 0, 0, r);
    seq.Advance(2.5, r);
    EXPECT_FALSE(seq.IsPlaying());
}

TEST(MidiSequencer, LoopPointsRepeatTheStretchBetweenThem) {
    auto song = Parse(Scale(96, 24));  // six 4/4 bars
    MidiSequencer seq;
    Recorder r;
    seq.Load(song);
    const int32_t bar = 4 * 768;
    seq.Play(0, true, 2 * bar, 4 * bar, r);
    for (int i = 0; i < 200; ++i) {
        seq.Advance(0.1, r);
        ASSERT_LT(seq.Position(), 4 * bar);
    }
    EXPECT_GE(seq.Position(), 2 * bar);
    // No note from bar 5 on ever sounded.
    for (auto& n : r.Notes()) EXPECT_LT(n.Data1, 60 + 16);
}

TEST(MidiSequencer, JumpsCutNotesAndChaseTheStateBeforeTheTarget) {
    MidiTrack t;
    t.Event(0, {0xB0, 0, 1})           // bank select
        .Event(0, {0xC0, 42})           // program
        .Event(0, {0xB0, 7, 90})        // volume
        .Event(0, {0xE0, 0x00, 0x50})   // pitch bend
        .Event(96, {0xC1, 7})
        .Event(96 * 3, {0x90, 60, 100})  // the note at quarter 4
        .Event(0, {0xC0, 10})           // changed after the start point
        .End(96);
    auto song = Parse(test::MakeMidi(0, 96, {t}));
    MidiSequencer seq;
    Recorder r;
    seq.Load(song);
    seq.Play(1000, false, 0, 0, r);
    auto has = [&](MidiMessage m) { return std::find(r.log.begin(), r.log.end(), m) != r.log.end(); };
    EXPECT_TRUE(has({0xB0, 123, 0}));
    EXPECT_TRUE(has({0xB0, 0, 1}));
    EXPECT_TRUE(has({0xC0, 42, 0}));
    EXPECT_TRUE(has({0xB0, 7, 90}));
    EXPECT_TRUE(has({0xE0, 0x00, 0x50}));
    EXPECT_TRUE(has({0xC1, 7, 0}));
    EXPECT_FALSE(has({0xC0, 10, 0}));
    // The bank select comes before the program it selects for.
    auto pos = [&](MidiMessage m) { return std::find(r.log.begin(), r.log.end(), m) - r.log.begin(); };
    EXPECT_LT(pos({0xB0, 0, 1}), pos({0xC0, 42, 0}));

    r.log.clear();
    seq.Advance(1.5, r);
    EXPECT_EQ(r.Notes().size(), 1u);
    EXPECT_TRUE(has({0xC0, 10, 0}));
    seq.Stop(r);
    EXPECT_TRUE(has({0xB0, 120, 0}));
    EXPECT_FALSE(seq.IsPlaying());
}

TEST(MidiSequencer, DegenerateSongsAndTempiDoNotHang) {
    // No events at all, looping: nothing to loop over, so it ends.
    MidiTrack empty;
    empty.End();
    auto song = Parse(test::MakeMidi(0, 96, {empty}));
    MidiSequencer seq;
    Recorder r;
    seq.Load(song);
    seq.Play(0, true, 0, 0, r);
    seq.Advance(1.0, r);
    EXPECT_FALSE(seq.IsPlaying());

    // A one-tick loop at the fastest tempo the file can ask for.
    MidiTrack fast;
    fast.Tempo(0, 1).Event(0, {0x90, 60, 1}).End(1);
    seq.Load(Parse(test::MakeMidi(0, 768, {fast})));
    seq.SetTempoFactor(64);
    seq.Play(0, true, 0, 0, r);
    seq.Advance(10.0, r);
    EXPECT_TRUE(seq.IsPlaying());
    seq.SetTempoFactor(1);

    // Start points past the end.
    seq.Load(Parse(Scale(96, 2)));
    seq.Play(100000, false, 0, 0, r);
    seq.Advance(0.01, r);
    EXPECT_FALSE(seq.IsPlaying());
    seq.Play(100000, true, 0, 0, r);
    seq.Advance(0.01, r);
    EXPECT_TRUE(seq.IsPlaying());
    EXPECT_LT(seq.Position(), 2 * 768);
}

}  // namespace
}  // namespace zun
