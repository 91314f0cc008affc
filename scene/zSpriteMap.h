// The map layer of placed sprites: every sprite in one list and in the bucket
// of its cell; draws the sprites near the view ordered by their ground line,
// each at a depth interpolated over the view height. The game reads the
// buckets to draw sprite shadows near lights.
#pragma once

#include <memory>
#include <vector>

#include "scene/zBucketLayer.h"
#include "scene/zSprite.h"

namespace zun {

class zSpriteMap : public zBucketLayer<zSprite> {
public:
    std::string ClassName() const override { return "zSpriteMap"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zSpriteMap>(); }
    bool Export(zStream& iData) override;
    // Reads the header and the sprites; sprites already in the map stay in the
    // list but lose their buckets. Every bucket is depth-sorted at the end.
    bool Import(zStream& iData) override;

    // Every sprite of the layer in the order of adding (position i is [i - 1]).
    const std::vector<Ptr>& Sprites() const { return Cells.List; }

    void AddSprite(const Ptr& iSprite, bool iSort) { AddToLayer(iSprite, iSort); }
    void RemoveSprite(const Ptr& iSprite) { RemoveFromLayer(iSprite); }
    // 1-based position (identity), 0 when absent.
    int32_t FindSprite(const Ptr& iSprite) const { return Cells.Find(iSprite.get()); }
    // Files the sprite under the cell of (x, y - Z) as it is now; outside the grid nothing.
    void RegisterSprite(const Ptr& iSprite, bool iSort) { RegisterInCell(iSprite, iSort); }
    void UnregisterSprite(const Ptr& iSprite) { UnregisterFromCell(iSprite); }
    // Orders one bucket by y - Z; a cell outside the grid or without a bucket is left alone.
    void DepthSort(int32_t iX, int32_t iY) { SortCell(iX, iY); }
    void Resize(int32_t iTileW, int32_t iW, int32_t iH) { ResizeGrid(iTileW, iW, iH); }

    void Update() override {}
    void Render(const zCamera& iCam) override { Render(iCam, 1.0f); }
    void Render(const zCamera& iCam, float iZoom);

    // The cell a sprite is filed under: (Int(x / TileW), Int((y - Z) / TileW)).
    void CellOf(const zSprite& iSprite, int64_t& oX, int64_t& oY) const override;

protected:
    bool SortsBuckets() const override { return true; }
    // Sorted at float precision, as the sprite stores its place.
    double SortKey(const zSprite& iSprite) const override { return float(double(iSprite.y) - iSprite.Z); }

private:
    // Reused from frame to frame; grows in steps of 32.
    std::vector<zSprite*> renderList_;
};

}  // namespace zun
