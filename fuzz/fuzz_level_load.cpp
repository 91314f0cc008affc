// The game's level loading of random chunk files: the bytes (wrapped in a data
// container unless they already start with its magic) are written as a level
// file and loaded over the previous run's level, so every run also releases
// the level before it: chunks bound by name, layers updated, the script
// objects of items, doors, characters, decoration, areas and the level built
// and sent their events. The loaded level is then drawn through the whole
// render pipeline with every switch on, on the recording backend.
// fuzz-libs: tarv_shell tarv_world tarv_effects zun_framework zun_script zun_scene zun_devices zun_platform zun_zsc zun_core
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zFileSystem.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "game/effects/gParticleSystem.h"
#include "game/shell/frmMain.h"
#include "game/shell/gLevel.h"
#include "game/shell/gRender.h"
#include "game/world/gBorder.h"
#include "game/world/gChar.h"
#include "game/world/gCharClasses.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/gPath.h"
#include "platform/RecordingBackend.h"
#include "scene/zCamera.h"
#include "scene/zItem.h"
#include "scene/zObjectClasses.h"
#include "scene/zSceneClasses.h"
#include "scene/zSprite.h"
#include "script/zScript.h"
#include "script/zScriptObject.h"
#include "tools/zsc/zscCompiler.h"
#include "fuzz/FuzzSupport.h"

using namespace zun;
using namespace tarv;

namespace {

using fuzz::gRec;
std::string gLevelHostPath;

// Classes a fuzzed item may name: events that read and keep values.
const char* kScript = R"(
class Thing {
  visits = 0;
  static(visits);
  func onLoad() { visits = visits + 1; seen = _name & _class & _x & _y; }
  func onRelease() { visits = visits + 0; }
}
class Level : Thing { }
class Walker : Thing { }
class Spot : Thing { }
class Forest : Thing { }
)";

bool Ready() {
    setenv("ZUN_HEADLESS", "1", 1);
    RegisterCoreClasses();
    RegisterSceneClasses();
    RegisterSceneObjectClasses();
    RegisterCharClasses();
    RegisterClass(std::make_shared<gBorder>());
    fuzz::StartRecordingDevice();

    zScript.Script_Initialize();
    auto compiled = zsc::CompileText(kScript, "fuzz.zs");
    if (compiled.Ok) {
        zStream s(zsc::BuildChunkFile(compiled.Classes));
        zFile f;
        if (f.LoadFromStream(&s)) zScript.LoadScriptChunks(f, "fuzz.zs");
    }

    char folder[] = "/tmp/fuzz-level-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    const std::string host = std::string(folder) + "/";
    ::mkdir((host + "data").c_str(), 0755);
    gLevelHostPath = host + "data/fuzz";
    zFileSystem.AppPath = host;
    for (char& c : zFileSystem.AppPath)
        if (c == '/') c = '\\';

    auto& g = gCharTest;
    frmMain.Camera = std::make_shared<zCamera>();
    frmMain.Camera->W = 640;
    frmMain.Camera->H = 480;
    g.Settings = std::make_shared<zValues>();
    for (const char* key : {"Shadows", "Lighting", "Mirrors", "RenderGround", "RenderWalls", "RenderSprites",
                            "RenderChars", "EnableDeco", "RenderRoof", "RenderOthers", "BaseShadows",
                            "CursorShadows", "AmbientShadows", "LightsShadows", "SpriteShadows", "MirrorObjects",
                            "DebugCollision", "DebugPaths", "LiquidWater"})
        g.Settings->SetByte(key, 1);
    g.Settings->SetLong("WaveSize", 4);
    g.Settings->SetLong("WaveFactor", 30);
    g.LightTarget = zDDraw.CreateRenderTarget(64);
    g.ShadowTarget = zDDraw.CreateRenderTarget(64);
    g.MirrorTarget = zDDraw.CreateRenderTarget(64);
    g.TorchEnabled = true;
    g.Cursor = std::make_shared<zSprite>();
    g.Player = std::make_shared<gChar>();
    g.Player->Item = std::make_shared<zItem>();
    g.Player->Item->Shadow = g.Player->Item->Mirrored = true;
    g.Player->Sprite = g.Player->Item->Sprite;
    auto set = std::make_shared<gCharset>();
    set->W = 24;
    set->H = 32;
    g.Player->SetCharSet(set);
    g.PlayerPath = g.Player->MovePath = std::make_shared<gPath>();
    g.Particles = std::make_shared<gParticleSystem>();
    g.LightParticles = std::make_shared<gParticleSystem>();
    g.Border = std::make_shared<gBorder>();
    g.Border->Meta = std::make_shared<zValues>();
    return true;
}

// Value stores of a file may name each other as templates in a loop; the
// loop would keep them alive after the file is dropped.
void BreakTemplates(const std::shared_ptr<zFile>& file) {
    if (!file) return;
    for (int32_t i = 1; i <= file->ChunkCount(); ++i)
        if (auto v = std::dynamic_pointer_cast<zValues>(file->GetChunk(i)->Instance)) v->Template.reset();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = Ready();
    (void)ready;
    if (size > (1u << 20)) return 0;
    zCore.LogText.clear();  // the log keeps every line; don't let it grow across runs
    zScript.SavedValues = zScriptArray::New();

    std::vector<uint8_t> bytes(data, data + size);
    if (!(size >= 4 && std::memcmp(data, "ZUN2", 4) == 0)) {
        std::vector<uint8_t> wrapped;
        SaveDataBytes(bytes, false, "", wrapped);
        bytes = std::move(wrapped);
    }
    if (FILE* f = std::fopen(gLevelHostPath.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    const std::shared_ptr<zFile> previous = frmMain.LevelFile;
    LoadLevel("fuzz");
    BreakTemplates(previous);
    try {
        RenderGamePre();
        RenderGame();
    } catch (const std::exception&) {
        // A layer may refuse to draw what it holds; the next frame would try again.
    }
    zDDraw.EndScene(false);
    if (gRec) gRec->ClearLog();
    return 0;
}
