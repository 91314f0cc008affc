#include "tools/democontent/DemoBuilder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "core/zCore.h"
#include "core/zDataFile.h"
#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "devices/zDMusic.h"
#include "platform/MediaDecode.h"
#include "platform/MidiFile.h"
#include "platform/MidiStream.h"
#include "platform/RecordingBackend.h"
#include "tools/democontent/DemoArt.h"
#include "tools/democontent/DemoFont.h"
#include "tools/democontent/DemoLevel.h"
#include "tools/democontent/DemoMusic.h"
#include "tools/democontent/DemoSound.h"
#include "tools/zsc/zscCompiler.h"

namespace fs = std::filesystem;

namespace tarv::demo {

using zun::Log;

namespace {

// Largest source file the builder reads (scripts, levels, the story), and
// the largest track of a music setup it copies.
constexpr size_t kMaxSourceFile = 4u << 20;
constexpr size_t kMaxTrackFile = size_t(256) << 20;

// Reads a source file, which must be a plain file inside the folder
// `within`: a link out of it (to a file of the user's) is refused, not quoted
// in the builder's messages.
bool ReadText(const fs::path& p, const fs::path& within, std::string& out, size_t limit = kMaxSourceFile) {
    zun::HostFile file;
    std::vector<uint8_t> bytes;
    std::string why;
    if (!zun::OpenHostFileWithin(p.string(), within.string(), file, why) ||
        !zun::ReadHostFileRest(file, limit, bytes, why)) {
        Log("ERR", "DemoContent", "Cannot read: " + why, p.string());
        return false;
    }
    out.assign(bytes.begin(), bytes.end());
    return true;
}

bool MakeFolder(const fs::path& p) {
    std::error_code ec;
    fs::create_directories(p, ec);
    if (ec) {
        Log("ERR", "DemoContent", "Cannot create folder", p.string());
        return false;
    }
    return true;
}

// Every name with the extension (every name for an empty one), whatever it
// is: what is no plain file in the folder is refused when it is read, by name.
std::vector<fs::path> FilesWithExtension(const fs::path& dir, const std::string& ext) {
    std::vector<fs::path> out;
    for (const std::string& name : zun::ListHostFolder(dir.string()))
        if (ext.empty() || fs::path(name).extension() == ext) out.push_back(dir / name);
    std::sort(out.begin(), out.end());
    return out;
}

// The texture cache of a device on the recording backend: the pictures are
// loaded back through the same loader the game uses, and levels refer to
// them by handle while they are written.
class PictureDevice {
public:
    explicit PictureDevice(const std::string& imgFolder) {
        zun::zDDraw = zun::zDDrawModule{};
        wasInitialized_ = zun::zCore.Initialized;
        zun::zCore.Initialized = true;
        zun::zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
        zun::zDDraw.BackendFactory = [](const zun::GlBackendConfig& c) {
            return std::make_unique<zun::RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
        };
        ok_ = zun::zDDraw.Device_Initialize() && zun::zDDraw.Device_InitWindowed(nullptr, 640, 480, 1.0f, 0, false);
        zun::zDDraw.TexturePath = zun::FromHostPath(imgFolder);
    }
    ~PictureDevice() {
        zun::zDDraw.Device_Release();
        zun::zDDraw = zun::zDDrawModule{};
        zun::zCore.Initialized = wasInitialized_;
    }
    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
    bool wasInitialized_ = false;
};

// A host folder as the framework's file functions take it, with its separator.
std::string ProgramFolder(const fs::path& dir) {
    return zun::FromHostPath(dir.string() + "/");
}

// The names of a folder's files, for suggestions.
std::vector<std::string> NamesIn(const std::vector<fs::path>& dirs) {
    std::vector<std::string> names;
    for (const fs::path& d : dirs)
        for (const fs::path& f : FilesWithExtension(d, ""))
            names.push_back(zun::FromHostPath(f.filename().string()));
    return names;
}

// The classes compiled, each with the functions it answers: its own and, as
// the loader copies them down, its parents'. A later class of a name
// replaces an earlier one, as when the file loads.
ScriptClasses ClassesOf(const std::vector<zun::zsc::ClassRecord>& records) {
    std::map<std::string, const zun::zsc::ClassRecord*> byName;
    for (const auto& c : records) byName[c.Name] = &c;
    ScriptClasses out;
    for (const auto& [name, record] : byName) {
        std::vector<std::string>& functions = out[name];
        std::set<std::string> seen;
        std::vector<const zun::zsc::ClassRecord*> todo{record};
        while (!todo.empty()) {
            const zun::zsc::ClassRecord* c = todo.back();
            todo.pop_back();
            if (!seen.insert(c->Name).second) continue;
            for (const auto& f : c->Functions) functions.push_back(f.Name);
            for (const std::string& parent : c->Parents)
                if (auto it = byName.find(parent); it != byName.end()) todo.push_back(it->second);
        }
    }
    return out;
}

// The length of a setup's track (host path) in the setup's positions: music
// time for a MIDI track, milliseconds for a music file (a MIDI file among
// them); false when the track cannot be read.
bool TrackLength(const std::string& hostPath, uint8_t type, int64_t& length) {
    zun::HostFile file;
    std::string why;
    char magic[4] = {};
    if (!zun::OpenHostFile(hostPath, file, why)) return false;
    const bool midi = file.ReadFull(magic, 4) == 4 && std::equal(magic, magic + 4, "MThd");
    if (midi) {
        std::vector<uint8_t> bytes;
        zun::MidiSong song;
        if (file.Seek(0, SEEK_SET) != 0 || !zun::ReadHostFileRest(file, zun::kMaxMidiFileSize, bytes, why) ||
            !zun::ParseMidiFile(bytes.data(), bytes.size(), song, why))
            return false;
        length = type == 2 ? song.Length : std::llround(zun::MidiTicksToSeconds(song, song.Length) * 1000.0);
        return true;
    }
    zun::MediaReader reader;
    if (type != 3 || !reader.Open(hostPath, why) || reader.Format().SampleRate <= 0) return false;
    length = std::llround(double(reader.Format().Frames) * 1000.0 / reader.Format().SampleRate);
    return true;
}

// What a music setup names must be there when the game plays it, or it plays
// nothing without a word: its track (copied when it lies beside the setup,
// else looked for in the program folder as the game looks), the sounds of its
// events, and, with the compiled classes given, the functions they call.
// Faults are reported at the setup's lines; false on a fault.
bool PlaceSetupNames(const MusicSetup& setup, const std::string& file, const fs::path& beside,
                     const fs::path& out, const ScriptClasses* classes, std::vector<std::string>& errors) {
    const size_t before = errors.size();
    auto fail = [&](int line, const std::string& message) {
        if (errors.size() - before < 50) errors.push_back(file + ":" + std::to_string(line) + ": " + message);
    };
    const char* trackFolder = setup.Type == 1 ? "sound" : "music";
    const fs::path folder = out / trackFolder;
    const std::string source = ProgramFolder(beside) + setup.Track;
    if (zun::FileExists(source)) {
        std::string bytes;
        std::string name = zun::Cp1252ToUtf8(setup.Track);
        std::replace(name.begin(), name.end(), '\\', '/');
        const fs::path target = (folder / name).lexically_normal();
        if (!MakeFolder(target.parent_path()) || !ReadText(zun::ToHostPath(source), beside, bytes, kMaxTrackFile) ||
            !WriteIfChanged(target.string(), std::vector<uint8_t>(bytes.begin(), bytes.end())))
            fail(setup.TrackLine, "the track '" + Clip(setup.Track) + "' could not be copied");
    } else if (!zun::FileExists(ProgramFolder(folder) + setup.Track)) {
        fail(setup.TrackLine, "no track '" + Clip(setup.Track) +
                                  "' beside the setup or in the program folder's " + trackFolder + "/" +
                                  Suggest(setup.Track, NamesIn({beside, folder}), ""));
    }
    // A loop end past the track's end plays as its end: what was typed is
    // not what is heard (a length rounded up, say).
    int64_t length = 0;
    if (setup.Type != 1 && setup.LoopEnd != 0 && errors.size() == before &&
        TrackLength(zun::ToHostPath(ProgramFolder(folder) + setup.Track), setup.Type, length) &&
        setup.LoopEnd > length)
        fail(setup.LoopLine, "the loop ends at " + std::to_string(setup.LoopEnd) + ", past the end of '" +
                                 Clip(setup.Track) + "' at " + std::to_string(length) +
                                 (setup.Type == 3 ? " ms" : "") + " (a loop to the end is written: loop FROM 0)");
    const std::vector<std::string> sounds = NamesIn({out / "sound"});
    const auto music = classes ? classes->find(kMusicClass) : ScriptClasses::const_iterator();
    for (const SetupEvent& e : setup.Events) {
        if (!e.SoundFile.empty() && !zun::FileExists(ProgramFolder(out / "sound") + e.SoundFile))
            fail(e.Line, "no sound '" + Clip(e.SoundFile) + "' in the program folder's sound/" +
                             Suggest(e.SoundFile, sounds, ""));
        if (e.Call.empty() || !classes) continue;
        if (music == classes->end()) {
            fail(e.Line, "no class " + std::string(kMusicClass) +
                             " in the compiled scripts, whose function '" + e.Call +
                             "' the event would call");
        } else if (std::find(music->second.begin(), music->second.end(), e.Call) == music->second.end()) {
            fail(e.Line,
                 "no function '" + e.Call + "' in class " + kMusicClass + Suggest(e.Call, music->second, ""));
        }
    }
    return errors.size() == before;
}

std::string Crlf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') continue;
        if (text[i] == '\n') out += '\r';
        out += text[i];
    }
    return out;
}

}  // namespace

bool WriteIfChanged(const std::string& hostPath, const std::vector<uint8_t>& bytes) {
    zun::HostFile file;
    std::vector<uint8_t> old;
    std::string why;
    if (zun::OpenHostFile(hostPath, file, why) && file.Size() == int64_t(bytes.size()) &&
        zun::ReadHostFileRest(file, bytes.size(), old, why) && old == bytes)
        return true;
    // Whatever stands at the name (a link too) is replaced, never written through.
    if (!zun::ReplaceHostFile(hostPath, bytes, why)) {
        Log("ERR", "DemoContent", "Cannot write: " + why, hostPath);
        return false;
    }
    return true;
}

bool PlaceCompiler(const std::string& compilerFile, const std::string& outputDir) {
    const fs::path compiler(compilerFile), out(outputDir);
    std::error_code ec;
    if (fs::equivalent(compiler.parent_path(), out, ec)) return true;
    // The compiler is the tool's own file, named by the tool: read where its
    // path leads, but only a plain file.
    constexpr size_t kMaxCompiler = size_t(256) << 20;
    std::vector<uint8_t> bytes;
    zun::HostFile file;
    std::string why;
    if (!zun::OpenHostFileWithin(compilerFile, "", file, why) ||
        !zun::ReadHostFileRest(file, kMaxCompiler, bytes, why)) {
        Log("ERR", "DemoContent", "No script compiler to put into the program folder: " + why, compilerFile);
        return false;
    }
    const fs::path target = out / kCompilerName;
    if (!MakeFolder(out) || !WriteIfChanged(target.string(), bytes)) return false;
    fs::permissions(target, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    if (ec) {
        Log("ERR", "DemoContent", "Cannot make the script compiler runnable", target.string());
        return false;
    }
    return true;
}

bool CompileDemoScript(const std::string& sourceFile, const std::string& outFile, ScriptClasses* classes) {
    zun::zsc::CompileResult r = zun::zsc::CompileFile(sourceFile);
    for (const auto& d : r.Diag.Items) Log(d.Error ? "ERR" : "WARN", "zsc", r.Diag.Format(d));
    if (!r.Ok) {
        Log("ERR", "DemoContent", "Script does not compile", sourceFile);
        return false;
    }
    if (classes) *classes = ClassesOf(r.Classes);
    if (outFile.empty()) return true;
    // The compiler's own file format (a plain data file holding the chunk
    // file), written only when it changed.
    std::vector<uint8_t> file;
    try {
        if (!zun::SaveDataBytes(zun::zsc::BuildChunkFile(r.Classes), false, "", file)) file.clear();
    } catch (const std::exception&) {
        file.clear();
    }
    if (file.empty()) {
        Log("ERR", "DemoContent", "Cannot store the compiled classes", outFile);
        return false;
    }
    return WriteIfChanged(outFile, file);
}

bool BuildDemoContent(const std::string& sourceDir, const std::string& outputDir) {
    const fs::path src(sourceDir), out(outputDir);
    bool ok = true;
    for (const char* sub : {"img", "fonts", "sound", "music", "data", "scripts"}) ok = MakeFolder(out / sub) && ok;
    if (!ok) return false;
    auto write = [&](const fs::path& p, const std::vector<uint8_t>& bytes) { ok = WriteIfChanged(p.string(), bytes) && ok; };

    // Pictures.
    const ArtCatalogue art = MakeArt();
    for (const ArtSheet& s : art.Sheets) {
        std::vector<uint8_t> png;
        std::string error;
        if (!s.Picture.EncodePng(png, error)) {
            Log("ERR", "DemoContent", "Cannot encode " + s.File, error);
            ok = false;
            continue;
        }
        write(out / "img" / s.File, png);
    }

    // Fonts: the glyph picture and the width table of each.
    const FontStyle styles[3] = {FontStyle::Plain, FontStyle::Shadowed, FontStyle::Runes};
    for (int i = 0; i < 3; ++i) {
        const BitmapFont f = MakeFont(styles[i]);
        std::vector<uint8_t> png;
        std::string error;
        if (!f.Texture.EncodePng(png, error)) {
            Log("ERR", "DemoContent", "Cannot encode font", error);
            ok = false;
            continue;
        }
        write(out / "fonts" / (std::string(kFontNames[i]) + ".png"), png);
        write(out / "fonts" / (std::string(kFontNames[i]) + ".dat"), std::vector<uint8_t>(f.Widths.begin(), f.Widths.end()));
    }

    // Sounds and music.
    for (const DemoSound& s : MakeSounds()) write(out / "sound" / s.File, EncodeWave(s.Samples, kSoundRate));
    for (const Tune& t : MakeTunes()) write(out / "music" / t.File, EncodeMidi(t));
    for (const MusicSetup& m : MakeMusicSetups()) write(out / "music" / m.File, EncodeMusicSetup(m));

    // Scripts: the sources go along (the game's command line compiles them
    // from there), each must compile on its own, and "Game" with everything
    // it includes becomes "Game.dat". Its classes are what the setups and
    // levels below may name.
    const auto scripts = FilesWithExtension(src / "scripts", ".zs");
    bool haveGame = false;
    ScriptClasses gameClasses;
    const ScriptClasses* classes = nullptr;  // while the game does not compile, nothing is checked against it
    for (const fs::path& p : scripts) {
        std::string text;
        if (!ReadText(p, src, text)) {
            ok = false;
            continue;
        }
        write(out / "scripts" / p.filename(), std::vector<uint8_t>(text.begin(), text.end()));
        const bool game = p.stem() == kGameScript;
        haveGame = haveGame || game;
        const std::string target =
            game ? (out / "scripts" / (std::string(kGameScript) + ".dat")).string() : "";
        const bool compiled = CompileDemoScript(p.string(), target, game ? &gameClasses : nullptr);
        if (game && compiled) classes = &gameClasses;
        ok = compiled && ok;
    }
    if (!haveGame) {
        Log("ERR", "DemoContent", "No game script", (src / "scripts" / "Game.zs").string());
        ok = false;
    }

    // A game's own music setups, described as text: music/NAME.setup gives music/NAME.mus.
    for (const fs::path& p : FilesWithExtension(src / "music", ".setup")) {
        std::string text;
        MusicSetup setup;
        std::vector<std::string> errors;
        const std::string file = p.filename().string();
        if (!ReadText(p, src, text)) {
            ok = false;
        } else if (ParseMusicSetup(text, file, setup, errors) &&
                   PlaceSetupNames(setup, file, src / "music", out, classes, errors)) {
            // The reader bounds every text it keeps; a writer's refusal is
            // still a fault of this file, not the end of the build.
            try {
                write(out / "music" / (p.stem().string() + ".mus"), EncodeMusicSetup(setup));
            } catch (const std::exception& e) {
                errors.push_back(file + ": " + e.what());
            }
        }
        for (const std::string& e : errors) Log("ERR", "DemoMusic", e);
        ok = ok && errors.empty();
    }

    // Levels, written with the pictures loaded back through the texture cache.
    {
        PictureDevice device((out / "img").string() + "/");
        if (!device.Ok()) {
            Log("ERR", "DemoContent", "No picture device for the levels");
            return false;
        }
        std::map<std::string, int32_t> handles;
        TextureLookup lookup = [&](const std::string& file) {
            auto it = handles.find(file);
            if (it != handles.end()) return it->second;
            const ArtSheet* s = art.FindSheet(file);
            const int32_t h = s ? zun::zDDraw.LoadTexture(file, s->Smooth, s->ColorKey, 1, 0) : 0;
            handles[file] = h;
            return h;
        };
        std::map<std::string, std::string> names;
        const auto levels = FilesWithExtension(src / "levels", ".lvl");
        if (levels.empty()) {
            Log("ERR", "DemoContent", "No level descriptions", (src / "levels").string());
            ok = false;
        }
        for (const fs::path& p : levels) {
            std::string text;
            if (!ReadText(p, src, text)) {
                ok = false;
                continue;
            }
            LevelDesc desc;
            std::vector<std::string> errors;
            std::vector<uint8_t> bytes;
            if (ParseLevel(text, p.filename().string(), desc, errors) &&
                BuildLevel(desc, art, lookup, bytes, errors, classes)) {
                if (names.count(zun::UCase(desc.Name))) {
                    errors.push_back(p.filename().string() + ": level '" + desc.Name + "' is also described in " +
                                     names[zun::UCase(desc.Name)]);
                } else {
                    names[zun::UCase(desc.Name)] = p.filename().string();
                    write(out / "data" / desc.Name, bytes);
                }
            }
            for (const std::string& e : errors) Log("ERR", "DemoLevel", e);
            ok = ok && errors.empty();
        }
    }

    // The story shown before the first message: Windows-1252 text with CR LF.
    std::string story;
    if (ReadText(src / "story.txt", src, story)) {
        const std::string text = Crlf(zun::Utf8ToCp1252(story));
        write(out / "story.txt", std::vector<uint8_t>(text.begin(), text.end()));
    } else {
        ok = false;
    }
    return ok;
}

}  // namespace tarv::demo
