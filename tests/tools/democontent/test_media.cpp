// The builder's writers: waves, MIDI files, music setups, PNG pictures and
// fonts read back by the framework's readers as they were meant; the picture
// catalogue is consistent with its sheets and with the guide's list of tiles.
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>

#include "DemoTestSupport.h"
#include "core/zDataFile.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDMusic.h"
#include "devices/zMusicSetup.h"
#include "platform/AudioDecode.h"
#include "platform/AudioDevice.h"
#include "platform/Image.h"
#include "platform/MidiFile.h"
#include "platform/MidiSynth.h"
#include "tools/democontent/DemoArt.h"
#include "tools/democontent/DemoCanvas.h"
#include "tools/democontent/DemoFont.h"
#include "tools/democontent/DemoMusic.h"
#include "tools/democontent/DemoSound.h"

namespace tarv::demo::test {
namespace {

using namespace zun;

TEST(DemoWave, SamplesComeBackAsWritten) {
    zun::test::TempDir dir;
    std::vector<float> s;
    for (int i = 0; i < 1000; ++i) s.push_back(float(std::sin(i * 0.05) * 0.8));
    s.push_back(3.0f);   // clipped
    s.push_back(-3.0f);
    const std::vector<uint8_t> bytes = EncodeWave(s, 22050);
    ASSERT_EQ(bytes.size(), 44u + 2 * s.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "WAVE");
    zun::test::WriteHostFile(dir.HostPath("t.wav"), bytes);
    AudioData a;
    std::string error;
    ASSERT_TRUE(DecodeAudioFile(dir.HostPath("t.wav"), a, error)) << error;
    EXPECT_EQ(a.Channels, 1);
    EXPECT_EQ(a.SampleRate, 22050);
    ASSERT_EQ(a.Frames, int64_t(s.size()));
    for (size_t i = 0; i < 1000; ++i) EXPECT_NEAR(a.Samples[i], s[i], 1.0 / 16000) << i;
    EXPECT_NEAR(a.Samples[1000], 1.0f, 1.0 / 16000);
    EXPECT_NEAR(a.Samples[1001], -1.0f, 1.0 / 16000);
}

TEST(DemoWave, TheSoundsHaveDistinctNamesAndStayShort) {
    const auto sounds = MakeSounds();
    std::set<std::string> names;
    for (const DemoSound& s : sounds) {
        EXPECT_TRUE(names.insert(s.File).second) << s.File;
        EXPECT_GT(s.Samples.size(), 100u) << s.File;
        EXPECT_LE(s.Samples.size(), size_t(5 * kSoundRate)) << s.File;
        for (float v : s.Samples) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0f) << s.File;
    }
}

// The village music played whole at full music volume, through the real
// synthesizer and the mixer, never reaches full scale, where the mix would
// clip the same notes on every loop.
TEST(DemoMidi, TheVillageMusicAtFullVolumeStaysBelowFullScale) {
    struct stat st;
    if (::stat(FindSoundFont().c_str(), &st) != 0) GTEST_SKIP() << "no sound font on this machine";
    zun::test::TempDir dir;
    const Tune village = MakeTunes().front();
    ASSERT_EQ(village.File, "village.mid");
    zun::test::WriteHostFile(dir.HostPath("village.mid"), EncodeMidi(village));
    constexpr int32_t kRate = 44100;
    AudioDevice::UseOffline(kRate);
    struct Restore {
        ~Restore() {
            DMusic_Release();
            AudioDevice::UseHardware();
        }
    } restore;
    ASSERT_TRUE(DMusic_Initialize(0));
    zDMusic.MusicPath = dir.Path();
    zDMusic.Volume = 1.0f;
    ASSERT_TRUE(PlayMidiFile("village.mid", false, 1.0f, 1.0f, 0, 0, 0));
    const double seconds = village.Bars * 4 * village.Tempo / 1e6 + 2.0;
    auto mixer = AudioDevice::Mixer();
    std::vector<float> out(size_t(kRate) * 2);
    float peak = 0;
    for (double done = 0; done < seconds; done += 1.0) {
        std::fill(out.begin(), out.end(), 0.0f);
        mixer->Render(out.data(), kRate);
        for (float v : out) peak = std::max(peak, std::fabs(v));
    }
    RecordProperty("peak", std::to_string(peak));
    EXPECT_GT(peak, 0.3f);
    EXPECT_LT(peak, 1.0f);
}

TEST(DemoMidi, NotesTempoAndLengthComeBackThroughTheReader) {
    Tune t;
    t.File = "t.mid";
    t.Tempo = 600000;
    t.Bars = 2;
    TuneTrack a{"A", 3, 40, 90, {{0, 96, 60, 100}, {96, 48, 64, 80}, {700, 200, 67, 70}}};
    t.Tracks = {a};
    const std::vector<uint8_t> bytes = EncodeMidi(t);
    MidiSong song;
    std::string error;
    ASSERT_TRUE(ParseMidiFile(bytes.data(), bytes.size(), song, error)) << error;
    EXPECT_EQ(song.Format, 1);
    EXPECT_EQ(song.Division, kTuneDivision);
    // Music time is 768 to the quarter: the end of bar two.
    EXPECT_EQ(song.Length, 2 * 4 * kMusicTicksPerQuarter);
    int ons = 0, offs = 0, programs = 0, tempos = 0;
    for (const MidiEvent& e : song.Events) {
        const int kind = e.Status & 0xF0;
        if (e.Status == 0xFF) {
            ++tempos;
            EXPECT_EQ(e.Tempo, 600000);
        } else if (kind == 0x90 && e.Data2 > 0) {
            ++ons;
            EXPECT_EQ(e.Status & 0x0F, 3);
        } else if (kind == 0x80 || (kind == 0x90 && e.Data2 == 0)) {
            ++offs;
        } else if (kind == 0xC0) {
            ++programs;
            EXPECT_EQ(e.Data1, 40);
        }
    }
    EXPECT_EQ(ons, 3);
    EXPECT_EQ(offs, 3);
    EXPECT_EQ(programs, 1);
    EXPECT_EQ(tempos, 1);
    // The last note is cut at the end of the piece, not past it.
    for (const MidiEvent& e : song.Events) EXPECT_LE(e.Tick, song.Length);
    // The second note starts one quarter in, in music time.
    int32_t second = -1;
    for (const MidiEvent& e : song.Events)
        if ((e.Status & 0xF0) == 0x90 && e.Data1 == 64 && e.Data2 > 0) second = e.Tick;
    EXPECT_EQ(second, kMusicTicksPerQuarter);
}

TEST(DemoMidi, TheTunesFillTheirBars) {
    for (const Tune& t : MakeTunes()) {
        const auto bytes = EncodeMidi(t);
        MidiSong song;
        std::string error;
        ASSERT_TRUE(ParseMidiFile(bytes.data(), bytes.size(), song, error)) << t.File << ": " << error;
        EXPECT_EQ(song.Length, t.Bars * 4 * kMusicTicksPerQuarter) << t.File;
        for (const TuneTrack& tr : t.Tracks)
            for (const TuneNote& n : tr.Notes) {
                EXPECT_GE(n.Start, 0);
                EXPECT_LE(n.Start + n.Length, t.Bars * 4 * kTuneDivision) << t.File << " " << tr.Name;
                EXPECT_LT(n.Key, 128);
            }
    }
}

TEST(DemoMusicSetup, TheRecordLoadsBackWithItsEvents) {
    MusicSetup m;
    m.Track = "x.mid";
    m.Start = 5;
    m.LoopStart = 10;
    m.LoopEnd = m.End = 3072;
    m.Volume = 0.5f;
    m.Speed = 1.25f;
    m.Events = {{100, "bell.wav", 0.3f, ""}, {200, "", 1.0f, "cue"}};
    const std::vector<uint8_t> file = EncodeMusicSetup(m);
    std::vector<uint8_t> payload;
    ASSERT_TRUE(LoadDataBytes(file, payload, "", "x.mus"));
    zStream s(std::move(payload));
    const MusicSetupRecord r = LoadMusicSetup(s);
    EXPECT_EQ(r.File, "x.mid");
    EXPECT_EQ(r.Type, 2);
    EXPECT_EQ(r.StartPosition, 5);
    EXPECT_EQ(r.LoopStart, 10);
    EXPECT_EQ(r.LoopEnd, 3072);
    EXPECT_EQ(r.EndPosition, 3072);
    EXPECT_FLOAT_EQ(r.Volume, 0.5f);
    EXPECT_FLOAT_EQ(r.Speed, 1.25f);
    ASSERT_EQ(r.EventCount, 2);
    EXPECT_EQ(r.Events[0]->GetLong("Position"), 100);
    EXPECT_EQ(r.Events[0]->GetString("SoundFile"), "bell.wav");
    EXPECT_FLOAT_EQ(r.Events[0]->GetSingle("Volume"), 0.3f);
    EXPECT_EQ(r.Events[1]->GetString("Call"), "cue");
    EXPECT_EQ(r.Events[1]->GetString("SoundFile"), "");
}

TEST(DemoMusicSetup, AWrittenSetupLoadsBackAndItsFaultsNameTheirLine) {
    MusicSetup m;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseMusicSetup("track \"rain loop.wav\" wave  # a wave of sound/\r\nstart 250\nloop 0 0\nend 9000\n"
                                "volume 0.5\nspeed 1.5\n\nevent 0 sound=bell.wav volume=0.25 speed=2\n"
                                "event 4000 call=thunderCue\nevent 4000 sound=drip.wav call=drip\n",
                                "s.setup", m, errors))
        << (errors.empty() ? "" : errors.front());
    std::vector<uint8_t> payload;
    ASSERT_TRUE(LoadDataBytes(EncodeMusicSetup(m), payload, "", "s.mus"));
    zStream st(std::move(payload));
    const MusicSetupRecord r = LoadMusicSetup(st);
    EXPECT_EQ(r.File, "rain loop.wav");
    EXPECT_EQ(r.Type, 1);
    EXPECT_EQ(r.StartPosition, 250);
    EXPECT_EQ(r.EndPosition, 9000);
    EXPECT_FLOAT_EQ(r.Volume, 0.5f);
    EXPECT_FLOAT_EQ(r.Speed, 1.5f);
    ASSERT_EQ(r.EventCount, 3);
    EXPECT_FLOAT_EQ(r.Events[0]->GetSingle("Speed", 1), 2.0f);
    EXPECT_FLOAT_EQ(r.Events[0]->GetSingle("Volume", 1), 0.25f);
    EXPECT_EQ(r.Events[1]->GetString("Call"), "thunderCue");
    EXPECT_EQ(r.Events[2]->GetLong("Position"), 4000);
    EXPECT_EQ(r.Events[2]->GetString("SoundFile"), "drip.wav");

    const std::string track = "track a.mid midi\n";
    const std::pair<std::string, std::string> faults[] = {
        {"volume 1\n", "s.setup:2: no 'track'"},
        {track + "track b.mid drum\n", "s.setup:2: a track is a 'wave', a 'midi' or a 'music' file, not 'drum'"},
        {"track ../x.mid midi\n", "s.setup:1: a track is a file name inside"},
        {track + "loop 10\n", "s.setup:2: 'loop' is written loop FROM TO"},
        {track + "loop 10 5\n", "s.setup:2: a loop ends after it starts"},
        {track + "start -1\n", "s.setup:2: a position is a whole number"},
        {track + "volume 2\n", "s.setup:2: volume is a number from 0 to 1"},
        {track + "event 5 sound=a.wav\nevent 4 call=f\n", "s.setup:3: events come in the order"},
        {track + "event 5\n", "s.setup:2: an event plays a sound=, makes a call= or both"},
        {track + "event 5 call=\"f()\"\n", "s.setup:2: call names a function"},
        {track + "event 5 sound=/etc/x.wav\n", "s.setup:2: an event's sound is a file name inside"},
        {track + "event 5 colume=1 call=f\n", "s.setup:2: unknown key 'colume' on event"},
        {track + "tempo 2\n", "s.setup:2: unknown statement 'tempo'"},
        {track + "event \"5\n", "s.setup:2: unclosed quote"},
        // Names no file can have: refused at their line, never written.
        {"track \"" + std::string(65531, 'a') + ".mid\" midi\n",
         "s.setup:1: a track is a file name inside the music (or, for a wave, the sound) folder: this one is longer "
         "than a file name can be"},
        {"track " + std::string(70000, 'a') + ".mid midi\n", "s.setup:1: a word longer than 65536 bytes"},
        {std::string("track po\0nd.mid midi\n", 21),
         "s.setup:1: a track is a file name inside the music (or, for a wave, the sound) folder: this one holds a "
         "control character"},
        {track + "event 5 sound=\"a\x1b[2J.wav\"\n",
         "s.setup:2: an event's sound is a file name inside the sound folder: this one holds a control character"},
        {track + "\x1b[2J 1\n", "s.setup:2: unknown statement '\\x1B[2J'"},
    };
    for (const auto& [text, expected] : faults) {
        errors.clear();
        EXPECT_FALSE(ParseMusicSetup(text, "s.setup", m, errors)) << text;
        ASSERT_FALSE(errors.empty()) << text;
        EXPECT_EQ(errors.front().rfind(expected, 0), 0u) << text << "-> " << errors.front();
    }
}

TEST(DemoCanvasPng, PixelsComeBackThroughThePictureLoader) {
    DemoCanvas c(5, 3, RGB(1, 2, 3, 0));
    c.Set(0, 0, RGB(255, 0, 0));
    c.Set(4, 2, RGB(10, 20, 30, 128));
    c.Blend(2, 1, RGB(0, 0, 255, 255));
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(c.EncodePng(png, error)) << error;
    Image img;
    ASSERT_TRUE(DecodePng(png.data(), png.size(), img, &error)) << error;
    ASSERT_EQ(img.Width, 5);
    ASSERT_EQ(img.Height, 3);
    EXPECT_EQ(img.ARGB(0, 0), 0xFFFF0000u);
    EXPECT_EQ(img.ARGB(4, 2), 0x800A141Eu);
    EXPECT_EQ(img.ARGB(2, 1), 0xFF0000FFu);
    EXPECT_EQ(img.ARGB(1, 1) >> 24, 0u);
    DemoCanvas empty;
    EXPECT_FALSE(empty.EncodePng(png, error));
}

TEST(DemoCanvasPng, DrawingStaysInsideThePicture) {
    DemoCanvas c(8, 8);
    c.Line(-100, -50, 100, 60, RGB(255, 255, 255));
    c.Disc(-3, 4, 6, RGB(255, 0, 0));
    c.FillRect(5, 5, 100, 100, RGB(0, 255, 0));
    EXPECT_EQ(c.Get(7, 7).g, 255);
    c.Glow(4, 4, 50, RGB(0, 0, 255, 100));
    c.Outline(-4, -4, 20, 20, RGB(9, 9, 9));
    c.Ring(4, 4, 30, 2, RGB(1, 1, 1));
    c.BlitMirrored(-2, -2, 20, 20, -5, 3);
    EXPECT_EQ(c.Get(100, 100).a, 0);  // outside reads as clear
}

TEST(DemoFontGlyphs, EveryPrintableCodeHasAGlyphInsideItsCell) {
    for (int code = 32; code < 127; ++code) {
        GlyphRows rows{};
        EXPECT_TRUE(FindGlyph(uint8_t(code), rows)) << code;
        for (uint8_t r : rows) EXPECT_LT(r, 32) << code;
    }
    GlyphRows rows{};
    EXPECT_FALSE(FindGlyph(7, rows));
    // The euro sign, which players type into the input box.
    EXPECT_TRUE(FindGlyph(0x80, rows));
    for (FontStyle style : {FontStyle::Plain, FontStyle::Shadowed, FontStyle::Runes}) {
        const BitmapFont f = MakeFont(style);
        ASSERT_EQ(f.Texture.W, 256);
        ASSERT_EQ(f.Texture.H, 256);
        EXPECT_EQ(f.Widths[0], kFontBaseline);
        for (int code = 33; code < 127; ++code) {
            const int w = f.Widths[size_t(code)];
            // Every lit pixel of the glyph lies within its advance and its cell.
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) {
                    const Rgba p = f.Texture.Get((code % 16) * 16 + x, (code / 16) * 16 + y);
                    if (p.r == 0 && p.g == 0 && p.b == 0) continue;
                    EXPECT_LT(x, w + 1) << code;
                    EXPECT_GE(y, kGlyphTop) << code;
                    EXPECT_LT(y, kGlyphTop + 10) << code;
                }
        }
    }
}

TEST(DemoArtCatalogue, SpritesAndTilesLieInsideTheirSheetsAndTheGuideNamesEveryTile) {
    const ArtCatalogue art = MakeArt();
    for (const auto& [name, s] : art.Sprites) {
        const ArtSheet* sheet = art.FindSheet(s.Sheet);
        ASSERT_TRUE(sheet) << name;
        EXPECT_GE(s.X, 0);
        EXPECT_GE(s.Y, 0);
        EXPECT_LE(s.X + s.W * s.Frames, sheet->Picture.W) << name;
        EXPECT_LE(s.Y + s.H, sheet->Picture.H) << name;
        EXPECT_GE(s.OriginX, 0);
        EXPECT_LE(s.OriginX, float(s.W)) << name;
        EXPECT_LE(s.OriginY, float(s.H)) << name;
        // Something is drawn there.
        int opaque = 0;
        for (int y = s.Y; y < s.Y + s.H; ++y)
            for (int x = s.X; x < s.X + s.W; ++x) opaque += sheet->Picture.Get(x, y).a > 0;
        EXPECT_GT(opaque, s.W * s.H / 10) << name;
    }
    for (const auto& [file, tiles] : art.Tiles) {
        const ArtSheet* sheet = art.FindSheet(file);
        ASSERT_TRUE(sheet) << file;
        EXPECT_EQ(sheet->Picture.W, 256);
        EXPECT_EQ(sheet->Picture.H, 256);
        std::set<int> records;
        for (const auto& [name, t] : tiles) {
            EXPECT_TRUE(records.insert(t.Index).second) << file << " " << name << " shares a tile record";
            EXPECT_LE(t.CellX + t.FramesX, 15) << name;
            EXPECT_LE(t.CellY, 15) << name;
        }
    }
    // The game maker's guide lists every tile of every sheet, and no other:
    // a row per sheet, each name in backticks.
    std::ifstream guideFile(std::string(DEMO_SOURCE_DIR) + "/../docs/game-scripting.md", std::ios::binary);
    ASSERT_TRUE(guideFile);
    std::map<std::string, std::set<std::string>> listed;
    for (std::string row; std::getline(guideFile, row);) {
        if (row.rfind("| \"Tiles ", 0) != 0) continue;
        const std::string sheet = row.substr(3, row.find('"', 3) - 3);
        for (size_t at = row.find('`'), end = 0; at != std::string::npos; at = row.find('`', end + 1)) {
            end = row.find('`', at + 1);
            if (end == std::string::npos) break;
            listed[sheet].insert(row.substr(at + 1, end - at - 1));
        }
    }
    std::map<std::string, std::set<std::string>> painted;
    for (const auto& [file, tiles] : art.Tiles)
        for (const auto& [name, t] : tiles) painted[file].insert(name);
    EXPECT_EQ(listed, painted) << "the guide's tile names are not the builder's";

    // The same build paints the same pixels.
    const ArtCatalogue again = MakeArt();
    ASSERT_EQ(again.Sheets.size(), art.Sheets.size());
    for (size_t i = 0; i < art.Sheets.size(); ++i)
        EXPECT_EQ(again.Sheets[i].Picture.Pixels(), art.Sheets[i].Picture.Pixels()) << art.Sheets[i].File;
}

}  // namespace
}  // namespace tarv::demo::test
