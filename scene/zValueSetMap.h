// Regions of a level painted with data: each cell holds the number of a value
// set, each set is a zValues record shared by every cell that points at it.
// Set 0 always exists and means "no region". The game reads the ground
// material under the player from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zGrid.h"
#include "scene/zLayer.h"

namespace zun {

class zValueSetMap : public zTiledLayer {
public:
    uint8_t ValueSetCount = 0;  // highest set number in use

    zValueSetMap();

    std::string ClassName() const override { return "zValueSetMap"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zValueSetMap>(); }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    // The new set number, or 0 when 255 regions exist already.
    int32_t CreateValueSet();
    // The record of set Index; null when there is no such set.
    std::shared_ptr<zValues> GetValueSet(uint8_t Index) const;
    // iList = entries 0..ValueSetCount with sets 1..ValueSetCount (entry 0 empty).
    uint8_t GetValueSets(std::vector<std::shared_ptr<zValues>>& iList) const;
    // Drops region iSet; its cells become 0 and later regions move down by one.
    void RemoveValueSet(uint8_t iSet);
    void SetTile(int32_t iX, int32_t iY, uint8_t iSet);
    // Outside the grid oMat keeps its value.
    void GetTile(int32_t iX, int32_t iY, uint8_t& oMat) const;
    uint8_t GetTileIndex(int32_t iX, int32_t iY) const;
    void SetSize(int32_t iW, int32_t iH);
    void Resize(int32_t iW, int32_t iH);

    void Update() override {}
    void Render(const zCamera& iCam) override;

private:
    std::vector<std::shared_ptr<zValues>> sets_;  // 0..ValueSetCount
    Grid<uint8_t> grid_;
};

}  // namespace zun
