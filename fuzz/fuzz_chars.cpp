// Stored characters and character sheets from outside bytes: a sheet's and a
// character's own Import on the raw bytes, and a chunk file of them (container
// or bare chunk table) loaded through the factory with its references
// resolved. Whatever loads is then put to work: sheets assigned, facings set,
// frames stepped, moves tried on a small map against each other, the contact
// view drawn on the recording backend, and everything stored again.
// fuzz-libs: tarv_world zun_script zun_scene zun_devices zun_platform zun_core
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/zCore.h"
#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "game/world/gChar.h"
#include "game/world/gCharClasses.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "platform/RecordingBackend.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zSceneClasses.h"
#include "scene/zSprite.h"
#include "fuzz/FuzzSupport.h"

using namespace zun;
using namespace tarv;

namespace {

using fuzz::gRec;

bool Ready() {
    RegisterCoreClasses();
    RegisterSceneClasses();
    RegisterCharClasses();
    fuzz::StartRecordingDevice();
    // Nothing is logged to the console; the log text must not grow without end.
    gCoreHooks.OnLogEntry = [](const std::string&, const std::vector<LogValue>&) { zCore.LogText.clear(); };
    return true;
}

using fuzz::Try;

std::shared_ptr<zCollisionMap> SmallMap() {
    auto m = std::make_shared<zCollisionMap>();
    m->SetTileSize(16);
    m->SetSize(15, 15);
    for (int32_t y = 0; y <= 15; ++y)
        for (int32_t x = 0; x <= 15; ++x)
            if ((x * 7 + y * 3) % 5 == 0) m->SetTile(x, y, 1, uint8_t((x + y) % 52));
    return m;
}

void Exercise(const std::vector<std::shared_ptr<gChar>>& chars) {
    static const auto map = SmallMap();
    gCharTest.mapCollision = map;
    gCharTest.Chars = chars;
    zCamera cam;
    cam.W = 640;
    cam.H = 480;
    for (const auto& c : chars) {
        if (!c->Item) c->Item = std::make_shared<zItem>();
        if (!c->Sprite) c->Sprite = std::make_shared<zSprite>();
        c->CollisionShape = uint8_t(chars.size() % 4);
        if (c->CharSet) Try([&] { c->SetCharSet(c->CharSet); });
        Try([&] { c->SetAngle(c->Angle); });
        for (int i = 0; i < 3; ++i) {
            zCore.FrameCounter += 1;
            c->Animate = i != 1;
            Try([&] { c->Update(); });
        }
        Try([&] { c->TryToMove(map.get(), c->Angle, 4); });
        Try([&] { c->CheckHit(c->Sprite->x, c->Sprite->y, 2); });
        Try([&] { c->RenderContacts(cam); });
        Try([&] { c->RenderShadow(cam, 0.9f, 0.1f); });
        zStream out;
        c->Export(out);
    }
    Try([] { zDDraw.EndScene(false); });
    // The recorder keeps every draw; a long run must not pile them up.
    if (gRec) gRec->ClearLog();
    gCharTest.Chars.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Ready();
    (void)ready;
    if (size > (1u << 16)) return 0;
    std::vector<uint8_t> bytes(data, data + size);

    // The two stored forms on their own.
    {
        zStream s(bytes);
        auto set = std::make_shared<gCharset>();
        set->Import(s);
        zStream t(bytes);
        auto c = std::make_shared<gChar>();
        c->Import(t);
        c->CharSet = set;
        Exercise({c});
    }

    // A chunk file of them.
    zFile f;
    if (!fuzz::LoadChunkFile(data, size, f)) return 0;
    std::vector<std::shared_ptr<gChar>> chars;
    for (int32_t i = 1; i <= f.ChunkCount() && chars.size() < 8; ++i)
        if (auto c = std::dynamic_pointer_cast<gChar>(f.GetChunk(i)->Instance)) chars.push_back(c);
    Exercise(chars);
    f.ExportToStreams(true);
    zStream out;
    f.SaveToStream(&out);
    return 0;
}
