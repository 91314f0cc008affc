// Level files holding the tile, picture, collision and value-set layers, the
// tile sets and a camera: container (when the bytes start with its magic) or
// bare chunk table, object creation and linking, every layer's Import, then
// each layer drawn through a camera on the recording backend, its cell and
// pixel lookups, and a save of what was loaded.
// fuzz-libs: zun_scene zun_devices zun_platform zun_core
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/zCore.h"
#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "platform/RecordingBackend.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zPictureLayer.h"
#include "scene/zSceneClasses.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"
#include "scene/zValueSetMap.h"
#include "fuzz/FuzzSupport.h"

using namespace zun;

namespace {

using fuzz::gRec;

bool Ready() {
    RegisterCoreClasses();
    RegisterSceneClasses();
    fuzz::StartRecordingDevice();
    return true;
}

using fuzz::Try;

void Exercise(iChunk& obj, const zCamera& cam) {
    if (auto* r = dynamic_cast<iRender*>(&obj)) {
        Try([&] { r->Update(); });
        Try([&] { r->Render(cam); });
    }
    if (auto* m = dynamic_cast<zTileMap*>(&obj)) {
        Try([&] { m->RenderAni(cam, true); });
        uint8_t s, t, rot;
        m->GetTile(1, 1, s, t, rot);
        int32_t ox = 0, oy = 0;
        Try([&] { m->GetMapPosition(cam, 100, 100, ox, oy); });
        Try([&] { m->Resize(m->W + 1, 2); });
    }
    if (auto* c = dynamic_cast<zCollisionMap*>(&obj)) {
        for (int32_t p = -1; p < 200; p += 7) Try([&] { c->CheckCollision(p, p / 2, 1); });
        c->CheckTileCollision(2, 1, 3);
        Try([&] { c->Render(cam, 1, int32_t(0xFF000000u), 0); });
    }
    if (auto* v = dynamic_cast<zValueSetMap*>(&obj)) {
        uint8_t n = 0;
        v->GetTile(0, 0, n);
        v->GetValueSet(n);
        v->RemoveValueSet(1);
    }
    if (auto* t = dynamic_cast<zTileSet*>(&obj)) Try([&] { t->Update(); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = Ready();
    (void)ready;
    if (size > (1u << 20)) return 0;
    zCore.LogText.clear();  // the log keeps every line; don't let it grow across runs

    zFile f;
    if (!fuzz::LoadChunkFile(data, size, f)) return 0;

    zCamera cam;
    cam.x = 10.5f;
    cam.y = 3;
    cam.W = 320;
    cam.H = 240;
    zCore.FrameCounter += 1;
    for (int32_t i = 1; i <= f.ChunkCount(); ++i)
        if (auto obj = f.GetChunk(i)->Instance) Exercise(*obj, cam);
    zDDraw.EndScene(false);
    if (gRec) gRec->ClearLog();

    Try([&] {
        f.ExportToStreams(true);
        zStream out;
        f.SaveToStream(&out);
    });

    // Value-store templates loaded from a file may form loops; break them.
    for (int32_t i = 1; i <= f.ChunkCount(); ++i)
        if (auto v = std::dynamic_pointer_cast<zValues>(f.GetChunk(i)->Instance)) v->Template.reset();
    return 0;
}
