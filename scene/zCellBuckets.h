// Objects kept twice, as the sprite, item, objects and emitter maps keep them:
// in one ordered list (positions 1..n in the order of adding, identity
// comparison) and in per-cell buckets made on first use. An object is filed
// under the cell its owner computes when it is registered and is not re-filed
// when it moves: the owner unregisters it before a move and registers it after.
// Cells outside 0..W, 0..H have no bucket; such objects stay in the list only.
// Buckets live in a map keyed by cell, so memory follows the occupied cells,
// not the grid size; a bucket handed out stays valid while the caller holds it.
//
// Usage (the cell function is the owner's: (x, y - Z) / TileW for sprites and
// items, (x, y) / TileW for objects and emitters):
//   zCellBuckets<zItem> b;  b.Reset(W, H);
//   if (b.Find(item.get()) == 0) { b.List.push_back(item); b.Register(item, cx, cy); }
//   auto bucket = b.Get(cx, cy);   // null: outside the grid or never used
//   b.Unregister(item.get(), cx, cy);  b.Remove(item.get());
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace zun {

template <class T>
class zCellBuckets {
public:
    using Ptr = std::shared_ptr<T>;
    using Bucket = std::vector<Ptr>;

    // The ordered list; position i (1-based) is List[i - 1].
    std::vector<Ptr> List;

    int32_t W() const { return w_; }
    int32_t H() const { return h_; }

    // Grid bounds 0..iW, 0..iH with every bucket absent; the list is kept.
    // Negative bounds give a grid without cells.
    void Reset(int32_t iW, int32_t iH) {
        buckets_.clear();
        w_ = iW;
        h_ = iH;
    }

    bool InGrid(int64_t cx, int64_t cy) const { return cx >= 0 && cy >= 0 && cx <= w_ && cy <= h_; }

    // 1-based position of the object in List (identity), 0 when absent.
    int32_t Find(const T* iObject) const {
        for (size_t i = 0; i < List.size(); ++i)
            if (List[i].get() == iObject) return static_cast<int32_t>(i + 1);
        return 0;
    }
    // Removes the entry at the 1-based position; others do nothing.
    void RemoveAt(int32_t iIndex) {
        if (iIndex >= 1 && static_cast<size_t>(iIndex) <= List.size()) List.erase(List.begin() + (iIndex - 1));
    }

    // The bucket of a cell; null outside the grid or when the cell never held an object.
    std::shared_ptr<Bucket> Get(int64_t cx, int64_t cy) const {
        if (!InGrid(cx, cy)) return nullptr;
        auto it = buckets_.find(Key(cx, cy));
        return it == buckets_.end() ? nullptr : it->second;
    }

    // Appends the object to the cell's bucket (made on first use) unless it is
    // already there. False when the cell is outside the grid or holds it already.
    bool Register(const Ptr& iObject, int64_t cx, int64_t cy) {
        if (!InGrid(cx, cy)) return false;
        auto& b = buckets_[Key(cx, cy)];
        if (!b) b = std::make_shared<Bucket>();
        for (const auto& p : *b)
            if (p.get() == iObject.get()) return false;
        b->push_back(iObject);
        return true;
    }

    // Appends an object known to be in no bucket (one just made) without
    // looking through the bucket: filing many objects into one cell costs
    // their number, not its square. False outside the grid.
    bool Append(const Ptr& iObject, int64_t cx, int64_t cy) {
        if (!InGrid(cx, cy)) return false;
        auto& b = buckets_[Key(cx, cy)];
        if (!b) b = std::make_shared<Bucket>();
        b->push_back(iObject);
        return true;
    }

    // Removes the first entry of the cell's bucket that is the object. The
    // bucket stays, even when empty. False when nothing was removed.
    bool Unregister(const T* iObject, int64_t cx, int64_t cy) {
        auto b = Get(cx, cy);
        if (!b) return false;
        for (auto it = b->begin(); it != b->end(); ++it) {
            if (it->get() == iObject) {
                b->erase(it);
                return true;
            }
        }
        return false;
    }

private:
    int32_t w_ = 0, h_ = 0;
    std::unordered_map<int64_t, std::shared_ptr<Bucket>> buckets_;

    int64_t Key(int64_t cx, int64_t cy) const { return cy * (static_cast<int64_t>(w_) + 1) + cx; }
};

}  // namespace zun
