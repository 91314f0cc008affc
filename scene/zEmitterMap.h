// The layer of placed emitters (particle spots, looping sounds): every emitter
// in one list and in the bucket of its ground cell, stored with its class name
// so that mixed kinds load back through the object factory. It draws editor
// markers only; the game updates the emitters itself every frame.
#pragma once

#include <memory>
#include <vector>

#include "scene/iEmitter.h"
#include "scene/zBucketLayer.h"

namespace zun {

class zEmitterMap : public zBucketLayer<iEmitter> {
public:
    std::string ClassName() const override { return "zEmitterMap"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zEmitterMap>(); }
    bool Export(zStream& iData) override;
    // Replaces the emitters with those stored, each made by the object factory
    // from its class name. An unknown class, or one that is not a storable
    // emitter, fails the import there (logged); the emitters read before stay.
    bool Import(zStream& iData) override;

    // Every emitter in the order of adding (position i is [i - 1]).
    const std::vector<Ptr>& Emitters() const { return Cells.List; }

    void AddEmitter(const Ptr& iEmitter) { AddToLayer(iEmitter, false); }
    void RemoveEmitter(const Ptr& iEmitter) { RemoveFromLayer(iEmitter); }
    int32_t FindEmitter(const Ptr& iEmitter) const { return Cells.Find(iEmitter.get()); }
    // Files the emitter under the cell of (GetX, GetY); the height plays no part.
    void RegisterEmitter(const Ptr& iEmitter) { RegisterInCell(iEmitter, false); }
    void UnregisterEmitter(const Ptr& iEmitter) { UnregisterFromCell(iEmitter); }
    void Resize(int32_t iTileW, int32_t iW, int32_t iH) { ResizeGrid(iTileW, iW, iH); }

    // Nothing: the game updates each emitter with its distance to the listener.
    void Update() override {}
    void Render(const zCamera& iCam) override;

    void CellOf(const iEmitter& iEmitter, int64_t& oX, int64_t& oY) const override;
};

}  // namespace zun
