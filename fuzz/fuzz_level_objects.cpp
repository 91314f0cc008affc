// Level files holding the layers of placed objects: sprite maps, item maps,
// objects maps of data shapes and emitter maps of particle and sound
// emitters. Container (when the bytes start with its magic) or bare chunk
// table, object creation through the factory, every layer's Import, then each
// layer updated and drawn through a camera on the recording backend, its
// buckets looked up around every cell, its objects hit-tested, updated with a
// script hook and a silent wave service, and a save of what was loaded.
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
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zItemMap.h"
#include "scene/zObjectClasses.h"
#include "scene/zObjectsMap.h"
#include "scene/zSceneClasses.h"
#include "scene/zSceneHooks.h"
#include "scene/zScriptHook.h"
#include "scene/zShape.h"
#include "scene/zSoundEmitter.h"
#include "scene/zSpriteMap.h"
#include "scene/zWaveService.h"
#include "fuzz/FuzzSupport.h"

using namespace zun;

namespace {

using fuzz::gRec;
int gEvents = 0;

// Loads every file it is asked for, as the device would when sound is on.
class SilentWaves : public iWaveService {
public:
    int32_t next = 1;
    int32_t LoadWave(const std::string& f, bool, LoadResult& r) override {
        r = f.size() % 3 == 0 ? LoadResult::Failed : LoadResult::Loaded;
        return r == LoadResult::Loaded ? next++ : 0;
    }
    bool IsWavePlaying(int32_t w) override { return w % 2 == 0; }
    void SetupWave(int32_t, float, float) override {}
    void PlayWave(int32_t, bool, float, float& s, int32_t) override {
        if (s > 10) s = 10;
    }
    void StopWave(int32_t) override {}
};

bool Ready() {
    RegisterCoreClasses();
    RegisterSceneClasses();
    RegisterSceneObjectClasses();
    fuzz::StartRecordingDevice();
    SetWaveService(std::make_shared<SilentWaves>());
    gSceneScript.Execute = [](zScriptObject&, const std::string&) { ++gEvents; };
    gSceneHooks.UpdateCustomEmitter = [](zParticleEmitter&) { ++gEvents; };
    return true;
}

using fuzz::Try;

// Every lookup a hit test makes: the cells around a few points, edges included.
template <class L>
void Lookups(L& layer) {
    for (int32_t cy = -1; cy <= 2; ++cy)
        for (int32_t cx = -1; cx <= 2; ++cx) {
            layer.GetTile(cx, cy);
            layer.GetTile(layer.W + cx, layer.H + cy);
        }
}

void Exercise(iChunk& obj, const zCamera& cam) {
    if (auto* r = dynamic_cast<iRender*>(&obj)) {
        Try([&] { r->Update(); });
        Try([&] { r->Render(cam); });
    }
    if (auto* m = dynamic_cast<zSpriteMap*>(&obj)) {
        Lookups(*m);
        Try([&] { m->Render(cam, 2.0f); });
        Try([&] { m->DepthSort(0, 0); });
        Try([&] { m->Resize(m->TileW, m->W, m->H); });
    }
    if (auto* m = dynamic_cast<zItemMap*>(&obj)) {
        Lookups(*m);
        // Give every item a script object so that updates send events.
        auto token = std::make_shared<int>(0);
        for (const auto& i : m->Items()) i->ScriptObject = std::shared_ptr<zScriptObject>(token, reinterpret_cast<zScriptObject*>(token.get()));
        zCore.FrameCounter += 3;
        Try([&] { m->Update(); });
        Try([&] { m->Render(cam, 0.5f); });
        if (!m->Items().empty()) {
            auto first = m->Items().front();
            if (first->Shape) Try([&] { first->Shape->Shape->CheckCollision(first->Sprite->x, first->Sprite->y); });
            Try([&] { m->RemoveItem(first); });
            Try([&] { m->AddItem(first, true); });
        }
        for (const auto& i : m->Items()) i->ScriptObject.reset();
    }
    if (auto* m = dynamic_cast<zObjectsMap*>(&obj)) {
        Lookups(*m);
        for (const auto& o : m->Objects())
            if (auto d = std::dynamic_pointer_cast<zDataShape>(o)) {
                Try([&] { d->Shape->CheckCollision(d->GetX() + 1, d->GetY() + 1); });
                Try([&] { d->Shape->UpdateSize(); });
            }
        Try([&] { m->Resize(m->TileW, m->W, m->H); });
    }
    if (auto* m = dynamic_cast<zEmitterMap*>(&obj)) {
        Lookups(*m);
        for (const auto& e : m->Emitters()) {
            for (float d : {0.0f, e->GetR() * 0.5f, e->GetR() * 0.9f, e->GetR() + 1})
                Try([&] { e->Update(d); });
            Try([&] { e->RenderSelected(cam); });
            Try([&] { e->Unload(); });
        }
    }
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

    for (int32_t i = 1; i <= f.ChunkCount(); ++i)
        if (auto v = std::dynamic_pointer_cast<zValues>(f.GetChunk(i)->Instance)) v->Template.reset();
    return 0;
}
