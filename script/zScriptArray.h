// The engine's one container: a 1-based list of values whose entries may carry
// names, a scope of named variables with a Parent chain (arguments and locals,
// an object's variables, the globals), and the store of saved values.
//
// Entries are the value objects themselves: Add, Insert, SetIndex and the
// appending branch of SetName store the given object, not a copy, and rename
// it; writing to an existing named entry copies into that entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/zScriptValue.h"

namespace zun {

class zStream;
class zValues;

// Entry slots held by all arrays together. Every held value sits in some
// array's slot (a scope is an array too), so capping the slots caps what a
// game's scripts hold: one more slot than zScript.MaxArrayEntries fails with
// "Out of memory" instead of growing towards the kernel's out-of-memory killer.
void ReserveArrayEntries(size_t n);
void ReleaseArrayEntries(size_t n) noexcept;
size_t ArrayEntriesInUse() noexcept;

template <class T>
struct ArrayEntryAllocator : PoolAllocator<T> {
    using value_type = T;
    ArrayEntryAllocator() noexcept = default;
    template <class U>
    ArrayEntryAllocator(const ArrayEntryAllocator<U>&) noexcept {}
    T* allocate(size_t n) {
        ReserveArrayEntries(n);
        try {
            return PoolAllocator<T>::allocate(n);
        } catch (...) {
            ReleaseArrayEntries(n);
            throw;
        }
    }
    void deallocate(T* p, size_t n) noexcept {
        PoolAllocator<T>::deallocate(p, n);
        ReleaseArrayEntries(n);
    }
    template <class U>
    bool operator==(const ArrayEntryAllocator<U>&) const noexcept {
        return true;
    }
};

class zScriptArray final : public RefObject {
public:
    // Enclosing scope, or Nothing.
    Ref<zScriptArray> Parent;

    zScriptArray();
    ~zScriptArray() override;
    static Ref<zScriptArray> New() { return Ref<zScriptArray>(new zScriptArray()); }
    static void* operator new(size_t n) {
        return n == sizeof(zScriptArray) ? BlockPool<sizeof(zScriptArray)>::Alloc() : ::operator new(n);
    }
    static void operator delete(void* p, size_t n) noexcept {
        if (n == sizeof(zScriptArray)) BlockPool<sizeof(zScriptArray)>::Free(p);
        else ::operator delete(p);
    }

    // Empties every array that exists, which breaks the reference cycles
    // scripts can make (an array holding itself, an object keeping "this").
    // Only for the very end of a run: loaded classes lose their defaults too.
    static void ReleaseAll();

    std::string ClassName() const override { return "zScriptArray"; }
    uint8_t ClassVersion() const override { return 1; }

    // Number of entries; entries are numbered 1..Size.
    int32_t Size() const { return static_cast<int32_t>(items_.size()); }

    // Entry at a position; Nothing for a hole, a position out of range, or any
    // failure. With iCreate = 1 a position past the end gets a new empty value.
    zScriptValue* GetIndex(int32_t Index, uint8_t iCreate = 0);
    // Stores iValue itself at a position; past the end the array grows (holes
    // between) and the value loses its name.
    void SetIndex(int32_t Index, const ValueRef& iValue);
    // Appends iValue itself (its name is cleared); returns the new position.
    int32_t Add(const ValueRef& iValue);
    // Inserts iValue itself at Index (1..Size + 1); its name is cleared.
    void Insert(int32_t Index, const ValueRef& iValue);

    // Scope lookup: this array, then up the Parent chain. With iCreate = 1 a
    // name found nowhere is appended here as a new empty value.
    zScriptValue* GetName(const Atom& iName, uint8_t iCreate = 0);
    zScriptValue* GetName(std::string_view iName, uint8_t iCreate = 0);
    // Scope write: the nearest holder of the name takes a copy (mode 0);
    // otherwise iValue itself is appended here under that name.
    void SetName(const Atom& iName, const ValueRef& iValue);
    void SetName(std::string_view iName, const ValueRef& iValue);
    // SetName with a host value converted to a script value by its kind.
    void SetNameValue(std::string_view iName, const HostValue& iValue);
    void SetIndexValue(int32_t Index, const HostValue& iValue);
    // Removes the first own entry of that name; the last entry takes its place.
    void DeleteName(const Atom& iName);
    void DeleteName(std::string_view iName);
    // Removes a position (1..Size; others change nothing). iKeepOrder moves the
    // following entries down, otherwise the last entry moves into the gap.
    void DeleteIndex(int32_t Index, bool iKeepOrder);
    // Grows or shrinks to iSize entries; new positions are empty.
    void SetSize(int32_t iSize);

    // A new array (no Parent) holding the entries marked Fixed, by name.
    Ref<zScriptArray> GetFixed();
    // Writes every entry of this array into iValues by name.
    void OverrideFixed(zScriptArray* iValues);
    // Adds the typed entries of a value store as named entries (Byte, Long,
    // Single, then String list).
    void ImportValues(const zValues* iValues);

    // Debug text of the entries; nesting stops at a depth where only a cyclic
    // array can reach.
    std::string ToString(int32_t iSub = 1) const;

    bool Export(zStream& iData, int iDepth = 0) const;
    bool Import(zStream& iData, int iDepth = 0);

    // Direct access for the interpreter and game code (position 1..Size).
    zScriptValue* At(int32_t Index) const { return items_[static_cast<size_t>(Index - 1)].get(); }
    // GetName with the own entries looked at in place first (the usual hit).
    [[gnu::always_inline]] zScriptValue* Lookup(const Atom& iName, uint8_t iCreate) {
        if (zScriptValue* v = FindOwn(iName)) return v;
        return GetName(iName, iCreate);
    }
    // The own entry of a name, without walking the chain.
    [[gnu::always_inline]] zScriptValue* FindOwn(const Atom& iName) const {
        for (const auto& v : items_) {
            if (v && v->Name == iName) return v.get();
        }
        return nullptr;
    }

    // SetName's last step, for a caller that has searched the scopes already:
    // appends iValue itself, which carries its name.
    void AppendNamed(ValueRef iValue) { items_.push_back(std::move(iValue)); }

    // Takes back a scope from a ScopeLease. In line for the usual scope: held
    // by the lease alone, its parent and every value it held either held
    // elsewhere too or plain, so that emptying it runs nothing and frees
    // nothing that could reach it.
    static void RecycleScope(zScriptArray* iScope) noexcept {
        if (iScope->RefCount() == 1 && scopePoolCount_ < kScopePool && iScope->items_.capacity() <= kScopeKeepEntries &&
            (!iScope->Parent || iScope->Parent->RefCount() > 1)) {
            bool plain = true;
            for (const ValueRef& v : iScope->items_)
                plain = plain && (!v || v->RefCount() > 1 || v->Data.Kind() < HK::String);
            if (plain) {
                iScope->items_.clear();
                iScope->Parent.reset();
                scopePool_[scopePoolCount_++] = iScope;
                return;
            }
        }
        RecycleSlow(iScope);
    }
    // A scope for a ScopeLease, with the lease's reference: an emptied one
    // when there is one.
    static zScriptArray* LeaseScope() {
        if (scopePoolCount_ > 0) return scopePool_[--scopePoolCount_];
        return NewScope();
    }

private:
    std::vector<ValueRef, ArrayEntryAllocator<ValueRef>> items_;
    // Emptied scopes waiting for a lease; each keeps the one reference the
    // lease had, and brings at most kScopeKeepEntries of entry storage.
    static constexpr int kScopePool = 64;
    static constexpr size_t kScopeKeepEntries = 8;
    static inline zScriptArray* scopePool_[kScopePool];
    static inline int scopePoolCount_ = 0;
    static void RecycleSlow(zScriptArray* iScope) noexcept;
    static zScriptArray* NewScope();
    // Every live array is in one list, for ReleaseAll.
    zScriptArray* prevLive_ = nullptr;
    zScriptArray* nextLive_ = nullptr;
};

using ArrayRef = Ref<zScriptArray>;

// The scope of one call or member access. Scopes come and go at the rate of
// calls; one that nobody else holds when its lease ends (no value, array or
// later scope kept it) is emptied and handed to the next lease with its entry
// storage, instead of being freed and made again.
class ScopeLease {
public:
    ScopeLease() : a_(zScriptArray::LeaseScope()) {}
    ~ScopeLease() { zScriptArray::RecycleScope(a_); }
    ScopeLease(const ScopeLease&) = delete;
    ScopeLease& operator=(const ScopeLease&) = delete;
    zScriptArray* get() const { return a_; }
    zScriptArray* operator->() const { return a_; }

private:
    zScriptArray* a_;
};

inline zScriptArray* HostValue::AsArray() const noexcept { return static_cast<zScriptArray*>(u_.a); }

// Limits that keep a script or a file from asking for unbounded memory.
inline constexpr int kMaxArrayDepth = 64;            // nesting of stored arrays
inline constexpr int kMaxTextDepth = 32;             // nesting shown by ToString

}  // namespace zun
