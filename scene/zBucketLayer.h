// What the four layers of placed objects (sprites, items, map objects,
// emitters) share on top of the layer header: the ordered list with its cell
// buckets, the three-argument SetSize, the bucket lookup by cell, and the cell
// of a world position. Each layer supplies the cell of its own objects and its
// own drawing and sorting.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <list>
#include <memory>
#include <unordered_set>
#include <vector>

#include "core/zCore.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "scene/zCellBuckets.h"
#include "scene/zLayer.h"
#include "scene/zVisibleCells.h"

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

// Orders a bucket by ascending key, exactly as passes of "an element smaller
// than its predecessor sends the predecessor to the end" do: those passes fix
// the order of equal keys (a row of equal depths ends up reversed behind a
// smaller one), and every size of bucket must keep that order. Small buckets
// run the passes in place; past kListSortFrom elements they run on a linked
// list, where a move costs nothing, so a pass is linear.
inline constexpr size_t kListSortFrom = 512;
// Work (elements looked at) the passes may spend on one bucket. A bucket this
// far out of order only comes from a hostile level; it is then sorted by key
// alone, so that loading it cannot hang, and the log says so.
inline constexpr uint64_t kPassSortBudget = uint64_t(1) << 30;

template <class P, class KeyFn>
void PassSort(std::vector<P>& b, KeyFn&& key) {
    const size_t n = b.size();
    if (n < 2) return;
    if (n <= kListSortFrom) {
        bool moved = true;
        while (moved) {
            moved = false;
            for (size_t i = 0; i + 1 < n; ++i) {
                if (key(b[i + 1]) < key(b[i])) {
                    P a = std::move(b[i]);
                    b.erase(b.begin() + ptrdiff_t(i));
                    b.push_back(std::move(a));
                    moved = true;
                }
            }
        }
        return;
    }
    std::list<P> l(std::make_move_iterator(b.begin()), std::make_move_iterator(b.end()));
    uint64_t work = 0;
    bool moved = true;
    while (moved && work <= kPassSortBudget) {
        moved = false;
        auto it = l.begin();
        for (size_t i = 0; i + 1 < n; ++i) {
            const auto next = std::next(it);
            if (key(*next) < key(*it)) {
                // The successor takes this place and is passed over, as the
                // in-place passes do after a move.
                l.splice(l.end(), l, it);
                it = std::next(next);
                moved = true;
            } else {
                it = next;
            }
        }
        work += n;
    }
    b.assign(std::make_move_iterator(l.begin()), std::make_move_iterator(l.end()));
    if (!moved) return;
    Log("WARN", "PassSort", "Bucket too far out of order, sorted by depth alone", int32_t(n));
    // Keys that are not numbers never move in the passes; here they go first
    // so that the comparison stays a strict order.
    auto k = [&](const P& p) {
        const double v = key(p);
        return std::isnan(v) ? -HUGE_VAL : v;
    };
    std::stable_sort(b.begin(), b.end(), [&](const P& x, const P& y) { return k(x) < k(y); });
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

    // The cell an object is filed under, as the layer computes it.
    virtual void CellOf(const T& iObject, int64_t& oX, int64_t& oY) const = 0;

protected:
    zCellBuckets<T> Cells;

    // The depth a layer that orders its buckets sorts by; layers without one
    // keep the order of filing.
    virtual bool SortsBuckets() const { return false; }
    virtual double SortKey(const T&) const { return 0.0; }

    // The list and the bucket of its cell; an object already listed, or none,
    // changes nothing.
    void AddToLayer(const Ptr& iObject, bool iSort) {
        if (!iObject || Cells.Find(iObject.get()) >= 1) return;
        Cells.List.push_back(iObject);
        RegisterInCell(iObject, iSort);
    }
    void RemoveFromLayer(const Ptr& iObject) {
        const int32_t i = Cells.Find(iObject.get());
        if (i < 1) return;
        UnregisterFromCell(iObject);
        Cells.RemoveAt(i);
    }
    // Files the object under its cell as it is now; outside the grid nothing.
    void RegisterInCell(const Ptr& iObject, bool iSort) {
        if (!iObject) return;
        int64_t cx = 0, cy = 0;
        CellOf(*iObject, cx, cy);
        if (!Cells.Register(iObject, cx, cy)) return;
        if (iSort) SortCell(cx, cy);
    }
    // Lists and files an object just read from a file: it cannot be listed
    // or filed yet, so neither the list nor its bucket is searched.
    void AddImported(const Ptr& iObject) {
        Cells.List.push_back(iObject);
        int64_t cx = 0, cy = 0;
        CellOf(*iObject, cx, cy);
        Cells.Append(iObject, cx, cy);
    }
    void UnregisterFromCell(const Ptr& iObject) {
        if (!iObject) return;
        int64_t cx = 0, cy = 0;
        CellOf(*iObject, cx, cy);
        Cells.Unregister(iObject.get(), cx, cy);
    }
    // Every object out of its bucket, a new grid, and every object filed again.
    void ResizeGrid(int32_t iTileW, int32_t iW, int32_t iH) {
        for (const auto& p : Cells.List) UnregisterFromCell(p);
        SetSize(iTileW, iW, iH);
        for (const auto& p : Cells.List) RegisterInCell(p, false);
        SortAllCells();
    }
    // Orders one bucket; a cell outside the grid or without a bucket is left alone.
    void SortCell(int64_t iX, int64_t iY) {
        if (!SortsBuckets()) return;
        auto b = Cells.Get(iX, iY);
        if (b) PassSort(*b, [this](const Ptr& p) { return SortKey(*p); });
    }
    void SortAllCells() {
        if (!SortsBuckets()) return;
        for (auto& b : BucketsOfList()) PassSort(*b, [this](const Ptr& p) { return SortKey(*p); });
    }

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

    // Draws every object filed in the cells in view, unsorted and at depth 0.
    // Each bucket is walked on a copy: an object's drawing may call out to the game.
    void RenderCellsInView(const zCamera& iCam, const char* iProc) {
        const zVisibleCells v = VisibleCells(*this, iCam);
        zDDraw.RenderZ = 0.0f;
        zDDraw.SetAlphaMode(1);
        // The device names itself while it works; a failure further on is the layer's.
        zCore.CurrentProc = iProc;
        for (int32_t cy = v.y0; cy <= v.y1; ++cy) {
            for (int32_t cx = v.x0; cx <= v.x1; ++cx) {
                auto b = Cells.Get(cx, cy);
                if (!b) continue;
                const std::vector<Ptr> objects = *b;
                for (const auto& o : objects) o->Render(iCam);
            }
        }
    }

    // Each listed object as its class name and then its own bytes.
    void ExportByClass(zStream& iData) const {
        for (const auto& p : Cells.List) {
            iClass* c = p->Class();
            auto* s = dynamic_cast<iStream*>(p.get());
            if (c == nullptr || s == nullptr) Raise(errObjectNotSet);
            iData.WriteString(c->ClassName());
            s->Export(iData);
        }
    }
    // Reads n objects written by ExportByClass, each made by its class name,
    // into the list and their buckets. A class that is unknown, or that makes
    // no T, fails the import (the latter logged as iNotA under iProc).
    void ImportByClass(zStream& iData, int32_t iCount, const char* iProc, const char* iNotA) {
        for (int32_t i = 0; i < iCount; ++i) {
            std::string name;
            iData.ReadString(name);
            std::shared_ptr<iChunk> made = CreateClass(name, false);
            if (!made) Raise(errObjectNotSet, "Class not found: " + name);
            auto object = std::dynamic_pointer_cast<T>(made);
            if (!object) {
                Log("ERR", iProc, iNotA, name);
                Raise(errTypeMismatch);
            }
            made->Import(iData);
            AddImported(object);
        }
    }

    // The distinct buckets that hold the listed objects, each once.
    std::vector<std::shared_ptr<Bucket>> BucketsOfList() const {
        std::vector<std::shared_ptr<Bucket>> out;
        // Without a cell size nothing can have been filed.
        if (TileW == 0) return out;
        std::unordered_set<const Bucket*> seen;
        for (const auto& p : Cells.List) {
            int64_t cx = 0, cy = 0;
            CellOf(*p, cx, cy);
            auto b = Cells.Get(cx, cy);
            if (b && seen.insert(b.get()).second) out.push_back(std::move(b));
        }
        return out;
    }
};

}  // namespace zun
