// What the four layers of placed objects (sprites, items, map objects,
// emitters) share on top of the layer header: the ordered list with its cell
// buckets, the three-argument SetSize, the bucket lookup by cell, and the cell
// of a world position. Each layer supplies the cell of its own objects and its
// own drawing and sorting.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "core/zRuntime.h"
#include "scene/zCellBuckets.h"
#include "scene/zLayer.h"

namespace zun {

// Int(iPos / iTileW) as a cell index. A tile size of 0 raises "Division by
// zero"; positions that are not numbers, or far outside any grid, give an
// index outside every grid rather than overflowing.
inline int64_t CellIndex(double iPos, int32_t iTileW) {
    const double c = Int(LayerDiv(iPos, double(iTileW)));
    if (!(c >= -1.0)) return -1;
    if (c > 1e15) return int64_t(1e15);
    return int64_t(c);
}

template <class T>
class zBucketLayer : public zTiledLayer {
public:
    using Ptr = std::shared_ptr<T>;
    using Bucket = std::vector<Ptr>;

    // A new layer has cells of 128 pixels and one cell.
    zBucketLayer() { SetSize(128, 0, 0); }

    // TileW, TileW2 (half, an exact half to the even neighbour), W, H; every
    // bucket is dropped (the objects stay in the list, in no bucket). Bounds
    // beyond the grid cap fail before anything changes.
    void SetSize(int32_t iTileSize, int32_t iW, int32_t iH) {
        CheckGridSize(iW, iH);
        TileW = iTileSize;
        TileW2 = CLng(double(iTileSize) / 2.0);
        W = iW;
        H = iH;
        Cells.Reset(iW, iH);
    }

    // The bucket of a cell; none outside 0..W, 0..H or when nothing was ever
    // filed there (the game's hit tests look at neighbouring cells and rely on it).
    std::shared_ptr<Bucket> GetTile(int32_t iX, int32_t iY) const { return Cells.Get(iX, iY); }

protected:
    zCellBuckets<T> Cells;

    // Reads the header and starts an empty grid of the stored size. A size past
    // the cap fails, leaving an empty one-cell grid.
    void ImportHeaderAndGrid(zStream& iData) {
        ImportHeader(iData);
        try {
            CheckGridSize(W, H);
        } catch (...) {
            W = 0;
            H = 0;
            Cells.Reset(0, 0);
            throw;
        }
        Cells.Reset(W, H);
    }

    // The distinct buckets that hold the listed objects, each once.
    template <class CellFn>
    std::vector<std::shared_ptr<Bucket>> BucketsOfList(CellFn&& cellOf) const {
        std::vector<std::shared_ptr<Bucket>> out;
        // Without a cell size nothing can have been filed.
        if (TileW == 0) return out;
        std::unordered_set<const Bucket*> seen;
        for (const auto& p : Cells.List) {
            int64_t cx = 0, cy = 0;
            cellOf(*p, cx, cy);
            auto b = Cells.Get(cx, cy);
            if (b && seen.insert(b.get()).second) out.push_back(std::move(b));
        }
        return out;
    }
};

// Orders a bucket by ascending key, exactly as passes of "an element greater
// than its successor goes to the end" do, which fixes the order of equal keys.
// Those passes cost about n^2.3 steps; past kExactSortLimit elements a stable
// sort gives the same order for distinct keys at n log n.
inline constexpr size_t kExactSortLimit = 512;

template <class P, class KeyFn>
void PassSort(std::vector<P>& b, KeyFn&& key) {
    if (b.size() < 2) return;
    if (b.size() > kExactSortLimit) {
        // Keys that are not numbers never move in the passes; here they go first
        // so that the comparison stays a strict order.
        auto k = [&](const P& p) {
            const double v = key(p);
            return std::isnan(v) ? -HUGE_VAL : v;
        };
        std::stable_sort(b.begin(), b.end(), [&](const P& l, const P& r) { return k(l) < k(r); });
        return;
    }
    bool moved = true;
    while (moved) {
        moved = false;
        const size_t n = b.size();
        for (size_t i = 0; i + 1 < n; ++i) {
            if (key(b[i + 1]) < key(b[i])) {
                P a = std::move(b[i]);
                b.erase(b.begin() + ptrdiff_t(i));
                b.push_back(std::move(a));
                moved = true;
            }
        }
    }
}

}  // namespace zun
