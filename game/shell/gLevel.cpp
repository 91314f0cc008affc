#include "game/shell/gLevel.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zFileSystem.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDInput.h"
#include "game/effects/gParticleSystem.h"
#include "game/shell/frmMain.h"
#include "game/world/gBorder.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/gPath.h"
#include "platform/Dialogs.h"
#include "scene/zCollisionMap.h"
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zLayer.h"
#include "scene/zObjectsMap.h"
#include "scene/zPictureLayer.h"
#include "scene/zSprite.h"
#include "scene/zSpriteMap.h"
#include "scene/zTileMap.h"
#include "scene/zValueSetMap.h"
#include "script/zScript.h"
#include "script/zScriptClass.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

namespace {

constexpr const char* kProc = "LoadLevel";

// Every LoadLevel counts itself here. An event sent during a load that runs
// a load of its own moves the count on; the outer load sees that and stops,
// since the level it was building is gone.
struct LoadState {
    uint64_t Generation = 0;
    int Depth = 0;
};
LoadState gLoad;

class LoadScope {
public:
    explicit LoadScope(const std::string& level) : level_(level), generation_(++gLoad.Generation) {
        ++gLoad.Depth;
    }
    ~LoadScope() { --gLoad.Depth; }
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;
    // A later load has replaced the level this one works on.
    bool Superseded() const { return gLoad.Generation != generation_; }
    const std::string& Level() const { return level_; }

private:
    std::string level_;
    uint64_t generation_;
};

// A class the scripts do not have is named with the level and the thing
// that asked for it; the object then stays without a class.
bool ClassFound(const LoadScope& scope, const std::string& cls, const std::string& key) {
    if (cls.empty() || zScript.FindScriptClass(cls)) return true;
    Log("ERR", kProc, "Script class not found", cls, "<" + scope.Level() + ">", key);
    return false;
}

// Whether an error line was logged after the log held `mark` characters.
bool ErrorLoggedSince(size_t mark) {
    const std::string& log = zCore.LogText;
    if (mark > log.size()) return false;
    return log.compare(mark, 4, "ERR\t") == 0 || log.find("\r\nERR\t", mark) != std::string::npos;
}

// ---- reading and bounds ---------------------------------------------------------

// Logs the level refused for holding more of a kind than a level may.
void LogTooMany(const std::string& LevelName, const char* iKind, size_t iCount, size_t iMost) {
    Log("ERR", kProc, std::string("Level holds too many ") + iKind, "<" + LevelName + ">",
        std::to_string(iCount) + " of at most " + std::to_string(iMost));
}

// The level file read and its objects made: false, logged, when the file
// cannot be read or holds more than a level may (then nothing of it stays).
bool ReadLevel(zFile& file, const std::string& LevelName) {
    const std::string path = zFileSystem.AppPath + "data\\" + LevelName;
    // Looked at before reading, so that no file too large is read whole.
    std::error_code ec;
    const uintmax_t stored = std::filesystem::file_size(ToHostPath(path), ec);
    if (!ec && stored > kMaxLevelBytes) {
        LogTooMany(LevelName, "bytes", size_t(std::min<uintmax_t>(stored, SIZE_MAX)), kMaxLevelBytes);
        return false;
    }
    // Unpacked to no more than a level may hold, stored or packed.
    zStream data;
    int64_t claimed = 0;
    if (!data.FileImport(path, "", int64_t(kMaxLevelBytes), &claimed)) {
        if (claimed > int64_t(kMaxLevelBytes)) LogTooMany(LevelName, "bytes", size_t(claimed), kMaxLevelBytes);
        return false;
    }
    file.FileName = path;
    if (!file.LoadFromStream(&data)) return false;
    data.Reset();
    if (size_t(file.ChunkCount()) > kMaxLevelChunks) {
        LogTooMany(LevelName, "chunks", size_t(file.ChunkCount()), kMaxLevelChunks);
        return false;
    }
    file.ImportFromStreams();
    if (const auto past = LevelPastBounds(TallyLevel(file))) {
        LogTooMany(LevelName, past->Kind, past->Count, past->Most);
        return false;
    }
    return true;
}

// ---- release -------------------------------------------------------------------

// "onRelease", then the fixed values saved under the object's name.
void ReleaseAndSave(const std::shared_ptr<zScriptObject>& so) {
    so->Execute("onRelease");
    so->SaveValues();
}

// Returns False when a nested load took over.
bool ReleaseLevel(const LoadScope& scope) {
    // Every walk is over a copy: the events may add or remove what is walked.
    const auto updateObjects = gCharTest.UpdateObjects;
    for (const auto& so : updateObjects) {
        if (!so) continue;
        so->Execute("onRelease");
        if (scope.Superseded()) return false;
    }
    for (const auto& layer : {gCharTest.mapItems, gCharTest.mapDoors}) {
        if (!layer) continue;
        const auto items = layer->Items();
        for (const auto& item : items) {
            if (!item || !item->ScriptObject) continue;
            ReleaseAndSave(std::shared_ptr<zScriptObject>(item->ScriptObject));
            if (scope.Superseded()) return false;
        }
    }
    const auto chars = gCharTest.Chars;
    for (const auto& c : chars) {
        if (!c || !c->Item || !c->Item->ScriptObject) continue;
        ReleaseAndSave(std::shared_ptr<zScriptObject>(c->Item->ScriptObject));
        if (scope.Superseded()) return false;
    }
    // Decoration characters start from the file's values at every visit.
    const auto deco = gCharTest.Deco;
    for (const auto& c : deco) {
        if (!c || !c->Item || !c->Item->ScriptObject) continue;
        std::shared_ptr<zScriptObject>(c->Item->ScriptObject)->Execute("onRelease");
        if (scope.Superseded()) return false;
    }
    if (gCharTest.mapAreas) {
        const auto objects = gCharTest.mapAreas->Objects();
        for (const auto& o : objects) {
            const auto area = std::dynamic_pointer_cast<zDataShape>(o);
            if (!area || !area->ScriptObject) continue;
            ReleaseAndSave(std::shared_ptr<zScriptObject>(area->ScriptObject));
            if (scope.Superseded()) return false;
        }
    }
    if (gCharTest.mapEmitters) {
        const auto emitters = gCharTest.mapEmitters->Emitters();
        for (const auto& e : emitters)
            if (e) e->Unload();
    }
    if (const std::shared_ptr<zScriptObject> level = gCharTest.LevelObject) {
        ReleaseAndSave(level);
        if (scope.Superseded()) return false;
    }

    if (gCharTest.Particles) gCharTest.Particles->Reset();
    if (gCharTest.LightParticles) gCharTest.LightParticles->Reset();
    if (gCharTest.Border) {
        if (!gCharTest.Border->Meta) gCharTest.Border->Meta = std::make_shared<zValues>();
        gCharTest.Border->Meta->SetSingle("_Alpha", 1.0f);
    }
    zDInput.ResetKeyStates();
    if (gCharTest.Player && gCharTest.Player->MovePath) gCharTest.Player->MovePath->Reset();

    gCharTest.Chars.clear();
    gCharTest.Deco.clear();
    gCharTest.UpdateObjects.clear();

    gCharTest.solidGround.reset();
    gCharTest.maskGround.reset();
    gCharTest.solidWalls.reset();
    gCharTest.maskWalls.reset();
    gCharTest.maskRoof.reset();
    gCharTest.mapItems.reset();
    gCharTest.mapDoors.reset();
    gCharTest.mapLights.reset();
    gCharTest.mapChars.reset();
    gCharTest.mapDeco.reset();
    gCharTest.picFog.reset();
    gCharTest.picWater.reset();
    gCharTest.picClouds.reset();
    gCharTest.mapCollision.reset();
    gCharTest.mapWater.reset();
    gCharTest.mapMaterials.reset();
    gCharTest.mapEmitters.reset();
    gCharTest.mapAreas.reset();
    gCharTest.mapValues.reset();
    return true;
}

// ---- binding -------------------------------------------------------------------

template <class T>
void BindAs(std::shared_ptr<T>& slot, const std::shared_ptr<iChunk>& instance, const std::string& name) {
    auto typed = std::dynamic_pointer_cast<T>(instance);
    if (!typed) {
        // A layer slot of the wrong kind would fail every reader of the level.
        Log("ERR", kProc, "Chunk of the wrong class", name, instance->ClassName());
        return;
    }
    slot = std::move(typed);
}

// Binds the instance to the slot of its name; names are compared exactly.
void Bind(const std::string& name, const std::shared_ptr<iChunk>& instance) {
    auto& g = gCharTest;
    if (name == "solidGround") BindAs(g.solidGround, instance, name);
    else if (name == "maskGround") BindAs(g.maskGround, instance, name);
    else if (name == "solidWalls") BindAs(g.solidWalls, instance, name);
    else if (name == "maskWalls") BindAs(g.maskWalls, instance, name);
    else if (name == "maskRoof") BindAs(g.maskRoof, instance, name);
    else if (name == "mapItems") BindAs(g.mapItems, instance, name);
    else if (name == "mapDoors") BindAs(g.mapDoors, instance, name);
    else if (name == "mapLights") BindAs(g.mapLights, instance, name);
    else if (name == "mapChars") BindAs(g.mapChars, instance, name);
    else if (name == "mapDeco") BindAs(g.mapDeco, instance, name);
    else if (name == "picFog") BindAs(g.picFog, instance, name);
    else if (name == "picWater") BindAs(g.picWater, instance, name);
    else if (name == "picClouds") BindAs(g.picClouds, instance, name);
    else if (name == "mapCollision") BindAs(g.mapCollision, instance, name);
    else if (name == "mapWater") BindAs(g.mapWater, instance, name);
    else if (name == "mapMaterials") BindAs(g.mapMaterials, instance, name);
    else if (name == "mapEmitters") BindAs(g.mapEmitters, instance, name);
    else if (name == "mapAreas") BindAs(g.mapAreas, instance, name);
    else if (name == "mapValues") BindAs(g.mapValues, instance, name);
}

void BindChunks(zFile& file) {
    for (int32_t i = 1; i <= file.ChunkCount(); ++i) {
        const std::shared_ptr<zFileChunk> chunk = file.GetChunk(i);
        const std::shared_ptr<iChunk> instance = chunk->Instance;
        if (!instance) {
            const std::string text = "Could not load Chunk " + chunk->ContentName;
            if (!gCharTest.ShowErrorBox(text, MsgBoxStyle::OkOnly, kLevelBoxTitle)) Log("WARN", kProc, text);
            continue;
        }
        Bind(instance->Meta ? instance->Meta->GetString("__Name", "") : std::string(), instance);
        const std::string cls = instance->ClassName();
        if (cls == "zValues" || cls == "zTileSet") continue;
        if (auto* layer = dynamic_cast<iRender*>(instance.get())) {
            // One bad layer must not cost the level its other layers.
            SkipOnFailure(kProc, [&] { layer->Update(); });
        } else {
            Log("WARN", kProc, "Chunk is no map layer", cls);
        }
    }
}

// ---- building ------------------------------------------------------------------

// Attaches the class, hands over the values and sends "onLoad". Returns False
// when a nested load took over.
bool Script(const LoadScope& scope, const std::shared_ptr<zScriptObject>& so, const std::string& cls,
            const std::string& key, const zValues* values, const zSprite* sprite) {
    const bool attached = ClassFound(scope, cls, key) && so->SetClass(cls, key);
    if (scope.Superseded()) return false;
    if (!attached) return true;
    if (const ArrayRef locals = so->Locals) {
        locals->ImportValues(values);
        locals->SetNameValue("_name", HostValue(key));
        locals->SetNameValue("_class", HostValue(cls));
        if (sprite) {
            // Set after the import: the sprite's place wins over a stored "_x".
            locals->SetNameValue("_x", HostValue(sprite->x));
            locals->SetNameValue("_y", HostValue(sprite->y));
            locals->SetNameValue("_z", HostValue(sprite->Z));
            locals->SetNameValue("_r", HostValue(sprite->R));
        }
    }
    so->LoadValues();
    so->Execute("onLoad");
    return !scope.Superseded();
}

bool ScriptItem(const LoadScope& scope, const std::shared_ptr<zItem>& item) {
    if (item->ClassName_.empty()) return true;
    auto so = zScriptObject::New();
    item->ScriptObject = so;
    so->Origin = item;
    return Script(scope, so, item->ClassName_, item->KeyName, item->Values.get(), item->Sprite.get());
}

bool ScriptItems(const LoadScope& scope, const std::shared_ptr<zItemMap>& layer) {
    if (!layer) return true;
    const auto items = layer->Items();
    for (const auto& item : items)
        if (item && !ScriptItem(scope, item)) return false;
    return true;
}

// A live character made from a placed item; null (logged) when the item's
// sprite gives no usable sheet.
std::shared_ptr<gChar> BuildChar(const std::shared_ptr<zItem>& item, bool deco) {
    std::shared_ptr<gChar> c;
    SkipOnFailure(kProc, [&] {
        if (!item->Sprite) Raise(errObjectNotSet);
        auto made = std::dynamic_pointer_cast<gChar>(CreateClass("gChar", true));
        if (!made) Raise(errObjectNotSet);
        made->Item = item;
        made->Sprite = item->Sprite;
        const zSprite& s = *item->Sprite;
        auto set = std::make_shared<gCharset>();
        set->Texture = s.Texture;
        set->x = s.SrcX;
        set->y = s.SrcY;
        set->W = s.W;
        set->H = s.H;
        set->FramesX = 3;
        set->FramesY = 4;
        set->AniWait = 2;
        if (deco) {
            set->OffsetX = CLng(double(set->W) / 2.0);
            set->OffsetY = CLng(double(set->H) - 1.0);
        } else {
            set->OffsetX = CLng(s.OriginX);
            set->OffsetY = CLng(s.OriginY);
        }
        made->SetCharSet(set);
        made->CollisionShape = item->Collides;
        made->CollisionFlags = 1;
        made->AniWalkOffset = 0;
        c = std::move(made);
    });
    return c;
}

bool BuildChars(const LoadScope& scope, const std::shared_ptr<zItemMap>& layer, bool deco) {
    if (!layer) return true;
    const auto items = layer->Items();
    for (const auto& item : items) {
        // A placement without a class stays an item of its (never drawn) layer.
        if (!item || item->ClassName_.empty()) continue;
        const std::shared_ptr<gChar> c = BuildChar(item, deco);
        if (!c) continue;
        (deco ? gCharTest.Deco : gCharTest.Chars).push_back(c);
        if (!deco) ++gCharTest.Placed.Chars;
        auto so = zScriptObject::New();
        item->ScriptObject = so;
        so->Origin = c;
        if (!Script(scope, so, item->ClassName_, item->KeyName, item->Values.get(), item->Sprite.get()))
            return false;
    }
    return true;
}

bool ScriptAreas(const LoadScope& scope) {
    if (!gCharTest.mapAreas) return true;
    const auto objects = gCharTest.mapAreas->Objects();
    for (const auto& o : objects) {
        const auto area = std::dynamic_pointer_cast<zDataShape>(o);
        if (!area || area->ClassName_.empty()) continue;
        auto so = zScriptObject::New();
        area->ScriptObject = so;
        so->Origin = area;
        if (!Script(scope, so, area->ClassName_, area->KeyName, area->Values.get(), nullptr)) return false;
    }
    return true;
}

void ScriptLevelObject(const LoadScope& scope) {
    auto so = zScriptObject::New();
    gCharTest.LevelObject = so;
    so->Origin = frmMain.LevelFile;
    const std::shared_ptr<zValues> values = gCharTest.mapValues;
    // Without level values there is no class to give the level object.
    if (!values) Log("WARN", kProc, "No mapValues chunk");
    const std::string cls = values ? values->GetString("class", "") : std::string();
    const bool attached = ClassFound(scope, cls, "level") && so->SetClass(cls, "level");
    if (scope.Superseded() || !attached) return;
    if (const ArrayRef locals = so->Locals) {
        locals->ImportValues(values.get());
        locals->SetNameValue("_name", HostValue(so->Name));
        locals->SetNameValue("_class", HostValue(so->Class ? so->Class->Name : cls));
    }
    so->LoadValues();
    so->Execute("onLoad");
}

void BuildLevel(const LoadScope& scope) {
    if (!ScriptItems(scope, gCharTest.mapItems)) return;
    if (!ScriptItems(scope, gCharTest.mapDoors)) return;
    if (gCharTest.Player) {
        gCharTest.Chars.push_back(gCharTest.Player);
        ++gCharTest.Placed.Chars;
    }
    if (!BuildChars(scope, gCharTest.mapChars, false)) return;
    if (!BuildChars(scope, gCharTest.mapDeco, true)) return;
    if (!ScriptAreas(scope)) return;
    ScriptLevelObject(scope);
}

}  // namespace

bool LoadLevel(const std::string& LevelName) {
    if (!IsLevelName(LevelName)) {
        // Refused before the release: a bad name must not cost the player the level.
        Log("ERR", kProc, "Level name outside the data folder", "<" + LevelName + ">");
        return false;
    }
    if (gLoad.Depth >= kMaxLevelLoadNesting) {
        Log("ERR", kProc, "Level loads nested too deeply", "<" + LevelName + ">");
        return false;
    }
    const LoadScope scope(LevelName);
    if (!ReleaseLevel(scope)) return false;

    gCharTest.Placed = {};
    auto file = std::make_shared<zFile>();
    frmMain.LevelFile = file;
    const size_t logMark = zCore.LogText.size();
    if (ReadLevel(*file, LevelName)) {
        BindChunks(*file);
        auto& placed = gCharTest.Placed;
        if (gCharTest.mapItems) placed.Items = gCharTest.mapItems->Items().size();
        if (gCharTest.mapAreas) placed.Areas = gCharTest.mapAreas->Objects().size();
        if (gCharTest.mapEmitters) placed.Emitters = gCharTest.mapEmitters->Emitters().size();
        if (!gCharTest.solidGround &&
            !gCharTest.ShowErrorBox("No solidGround layer found!\r\n\r\nThe game won't run properly!",
                                    MsgBoxStyle::Critical, kLevelBoxTitle))
            Log("WARN", kProc, "No solidGround layer found");
    } else {
        // Nothing of a refused file stays.
        file = std::make_shared<zFile>();
        frmMain.LevelFile = file;
        // Every logged error is a box for the player: one per unreadable
        // file. A file that is there but broken, or holds more than a level
        // may, has been reported already; the missing ground would only
        // repeat it.
        Log(ErrorLoggedSince(logMark) ? "WARN" : "ERR", kProc, "Cannot read level file", "<" + LevelName + ">");
    }

    BuildLevel(scope);
    if (scope.Superseded()) return false;
    // The GL driver gives the vertex ring a fresh store of megabytes whenever
    // the ring wraps, every few frames, and frees the old one later. glibc
    // serves these from the heap once the first was freed, and small blocks
    // placed in between split the holes they leave: the heap grows by a store
    // now and then while the bytes in use stay flat, and freed pages inside
    // the heap stay resident (some 400 KB a level visit over a long run).
    // Handing the free pages back once a level has loaded keeps resident
    // memory with what is in use; per frame it would cost too much, and
    // keeping the large blocks out of the heap altogether (their own
    // mappings) made every frame pay for mapping and faulting them in.
#if defined(__GLIBC__)
    if (gLoad.Depth == 1) malloc_trim(0);
#endif
    return true;
}

bool IsLevelName(const std::string& LevelName) {
    return IsInnerFileName(LevelName);
}

}  // namespace tarv
