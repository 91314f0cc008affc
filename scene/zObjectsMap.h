// The generic layer of placed objects: anything that is a map object, kept in
// one list and in the bucket of its cell, drawn when in view, and stored by
// class name so that a level can hold objects of any registered class. The
// game's area layer is one of these, holding data shapes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/iMapItem.h"
#include "scene/zBucketLayer.h"

namespace zun {

class zObjectsMap : public zBucketLayer<iMapItem> {
public:
    // The class the layer is meant to hold; stored, not enforced.
    std::string ContentClass;

    std::string ClassName() const override { return "zObjectsMap"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zObjectsMap>(); }
    bool Export(zStream& iData) override;
    // Replaces the objects with those stored, each made by the object factory
    // from its class name. An unknown class, or one that is not a storable map
    // object, fails the import there (logged); the objects read before stay.
    bool Import(zStream& iData) override;

    // Every object in the order of adding (position i is [i - 1]).
    const std::vector<Ptr>& Objects() const { return Cells.List; }

    void AddObject(const Ptr& iObject) { AddToLayer(iObject, false); }
    void RemoveObject(const Ptr& iObject) { RemoveFromLayer(iObject); }
    int32_t FindObject(const Ptr& iObject) const { return Cells.Find(iObject.get()); }
    // Files the object under the cell of (GetX, GetY) as it is now.
    void RegisterObject(const Ptr& iObject) { RegisterInCell(iObject, false); }
    void UnregisterObject(const Ptr& iObject) { UnregisterFromCell(iObject); }
    void Resize(int32_t iTileW, int32_t iW, int32_t iH) { ResizeGrid(iTileW, iW, iH); }

    void Update() override {}
    void Render(const zCamera& iCam) override;

    void CellOf(const iMapItem& iObject, int64_t& oX, int64_t& oY) const override;
};

}  // namespace zun
