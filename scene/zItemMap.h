// The map layer of items (doors, things, lights, character placements,
// decoration): every item in one list and in the bucket of its cell; updates
// every item once per frame, draws the visible items of the cells around the
// view at a depth interpolated over the view height and in their own colour
// when they ask for one. The game reads the buckets for hit tests under the
// cursor and for its shadow and mirror passes.
#pragma once

#include <memory>
#include <vector>

#include "scene/zBucketLayer.h"
#include "scene/zItem.h"

namespace zun {

class zItemMap : public zBucketLayer<zItem> {
public:
    std::string ClassName() const override { return "zItemMap"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zItemMap>(); }
    bool Export(zStream& iData) override;
    // Reads the header and the items (the list is not emptied first); every
    // bucket is depth-sorted at the end.
    bool Import(zStream& iData) override;

    // Every item of the layer in the order of adding (position i is [i - 1]).
    const std::vector<Ptr>& Items() const { return Cells.List; }

    void AddItem(const Ptr& iItem, bool iSort) { AddToLayer(iItem, iSort); }
    void RemoveItem(const Ptr& iItem) { RemoveFromLayer(iItem); }
    int32_t FindItem(const Ptr& iItem) const { return Cells.Find(iItem.get()); }
    // Files the item under the cell of its sprite's (x, y - Z) as it is now.
    void RegisterItem(const Ptr& iItem, bool iSort) { RegisterInCell(iItem, iSort); }
    void UnregisterItem(const Ptr& iItem) { UnregisterFromCell(iItem); }
    // Orders one bucket by the sprites' ground y; a cell outside the grid or
    // without a bucket is left alone.
    void DepthSort(int32_t iX, int32_t iY) { SortCell(iX, iY); }
    void Resize(int32_t iTileW, int32_t iW, int32_t iH) { ResizeGrid(iTileW, iW, iH); }

    // Every item's Update, in list order. The walk is over a copy of the list:
    // item scripts may add and remove items (even their own) while it runs.
    void Update() override;
    void Render(const zCamera& iCam) override { Render(iCam, 1.0f); }
    // Leaves the draw colour as it found it.
    void Render(const zCamera& iCam, float iZoom);

    void CellOf(const zItem& iItem, int64_t& oX, int64_t& oY) const override;

protected:
    bool SortsBuckets() const override { return true; }
    // The sprite's ground y; an item without a sprite sorts as 0.
    double SortKey(const zItem& iItem) const override;
};

}  // namespace zun
