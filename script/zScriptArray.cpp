#include "script/zScriptArray.h"

#include "core/zCore.h"
#include "core/zMemory.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "script/zScript.h"

namespace zun {

namespace {
zScriptArray* gLiveArrays = nullptr;
size_t gArrayEntries = 0;
// What a slot stands for: the slot and the value it holds.
constexpr size_t kEntryBytes = sizeof(ValueRef) + sizeof(zScriptValue);
// The script memory counted, kept with the program's other memory under its
// ceiling; and whether the last refusal was the ceiling's, and of how much.
int64_t& gScriptBytes = zMemory.Held[size_t(HeldKind::ScriptValues)];
size_t gCeilingRefused = 0;

bool Fits(size_t n) noexcept {
    if (n > zScript.MaxScriptBytes || size_t(gScriptBytes) > zScript.MaxScriptBytes - n) {
        gCeilingRefused = 0;
        return false;
    }
    if (!FitsUnderCeiling(int64_t(n))) {
        gCeilingRefused = n;
        return false;
    }
    return true;
}
}  // namespace

bool TakeScriptBytes(size_t n) noexcept {
    if (zScript.ExecuteDepth > zScript.FreeDepth && !Fits(n)) return false;
    Hold(HeldKind::ScriptValues, int64_t(n));
    return true;
}

bool TakeScriptBytesAnywhere(size_t n) noexcept {
    if (!Fits(n)) return false;
    Hold(HeldKind::ScriptValues, int64_t(n));
    return true;
}

void GiveScriptBytes(size_t n) noexcept { Unhold(HeldKind::ScriptValues, int64_t(n)); }

size_t ScriptBytesInUse() noexcept { return size_t(gScriptBytes); }

void ScriptOutOfMemory() {
    // The script's own budget says "Out of memory" as ever; the ceiling
    // names itself and what holds the memory.
    const size_t refused = gCeilingRefused;
    gCeilingRefused = 0;
    if (refused)
        Raise(errOutOfMemory,
              ErrorDescription(errOutOfMemory) + ": " + CeilingRefusal(HeldKind::ScriptValues, int64_t(refused)));
    Raise(errOutOfMemory);
}

void ReserveArrayEntries(size_t n) {
    if (n > zScript.MaxArrayEntries || gArrayEntries > zScript.MaxArrayEntries - n) Raise(errOutOfMemory);
    if (!TakeScriptBytes(n * kEntryBytes)) ScriptOutOfMemory();
    gArrayEntries += n;
}

void ReleaseArrayEntries(size_t n) noexcept {
    if (n > gArrayEntries) n = gArrayEntries;
    gArrayEntries -= n;
    GiveScriptBytes(n * kEntryBytes);
}

size_t ArrayEntriesInUse() noexcept { return gArrayEntries; }

zScriptArray::zScriptArray() {
    if (!TakeScriptBytes(sizeof(zScriptArray))) ScriptOutOfMemory();
    nextLive_ = gLiveArrays;
    if (gLiveArrays) gLiveArrays->prevLive_ = this;
    gLiveArrays = this;
}

zScriptArray::~zScriptArray() {
    GiveScriptBytes(sizeof(zScriptArray));
    if (prevLive_) prevLive_->nextLive_ = nextLive_;
    else gLiveArrays = nextLive_;
    if (nextLive_) nextLive_->prevLive_ = prevLive_;
}

void zScriptArray::RecycleSlow(zScriptArray* iScope) noexcept {
    if (iScope->RefCount() == 1 && iScope->items_.capacity() <= kScopeKeepEntries) {
        // Emptying can drop the last holder of anything the scope held; the
        // scope is kept only if that left it empty and held by the lease alone.
        iScope->items_.clear();
        iScope->Parent.reset();
        if (iScope->RefCount() == 1 && iScope->items_.empty() && !iScope->Parent && scopePoolCount_ < kScopePool) {
            scopePool_[scopePoolCount_++] = iScope;
            return;
        }
    }
    iScope->Release();
}

zScriptArray* zScriptArray::NewScope() {
    auto* a = new zScriptArray();
    a->AddRef();
    return a;
}

void zScriptArray::ReleaseAll() {
    std::vector<ArrayRef> all;
    for (zScriptArray* a = gLiveArrays; a; a = a->nextLive_) all.emplace_back(a);
    for (auto& a : all) {
        a->items_.clear();
        a->Parent.reset();
    }
}

zScriptValue* zScriptArray::GetIndex(int32_t Index, uint8_t iCreate) {
    try {
        if (Index >= 1 && Index <= Size()) return At(Index);
        if (Index > Size() && iCreate == 1) {
            ValueRef v = zScriptValue::New();
            SetIndex(Index, v);
            return v.get();
        }
    } catch (const RuntimeError& e) {
        // A full memory is no missing entry: the script's call ends with it.
        if (e.Number == errOutOfMemory) throw;
    }
    return nullptr;
}

void zScriptArray::SetIndex(int32_t Index, const ValueRef& iValue) {
    if (Index < 1) Raise(errSubscript);
    if (Index <= Size()) {
        items_[static_cast<size_t>(Index - 1)] = iValue;
        return;
    }
    if (Index - Size() > zScript.MaxIndexGrowth) Raise(errSubscript);
    items_.resize(static_cast<size_t>(Index));
    items_.back() = iValue;
    if (iValue) iValue->Name = Atom();
}

int32_t zScriptArray::Add(const ValueRef& iValue) {
    items_.push_back(iValue);
    if (iValue) iValue->Name = Atom();
    return Size();
}

void zScriptArray::Insert(int32_t Index, const ValueRef& iValue) {
    if (Index < 1 || Index > Size() + 1) Raise(errSubscript);
    items_.insert(items_.begin() + (Index - 1), iValue);
    if (iValue) iValue->Name = Atom();
}

zScriptValue* zScriptArray::GetName(const Atom& iName, uint8_t iCreate) {
    for (zScriptArray* a = this; a; a = a->Parent.get()) {
        if (zScriptValue* v = a->FindOwn(iName)) return v;
    }
    if (iCreate == 1) {
        ValueRef v = zScriptValue::New();
        v->Name = iName;
        items_.push_back(v);
        return v.get();
    }
    return nullptr;
}

zScriptValue* zScriptArray::GetName(std::string_view iName, uint8_t iCreate) {
    if (iCreate == 1) return GetName(Atom::Intern(iName), 1);
    Atom a = Atom::Find(iName);
    // A name never interned cannot be any entry's name, except the empty one.
    if (a.Empty() && !iName.empty()) return nullptr;
    return GetName(a, 0);
}

void zScriptArray::SetName(const Atom& iName, const ValueRef& iValue) {
    for (zScriptArray* a = this; a; a = a->Parent.get()) {
        if (zScriptValue* v = a->FindOwn(iName)) {
            v->Assign(iValue.get(), 0);
            return;
        }
    }
    if (!iValue) Raise(errObjectNotSet);
    items_.push_back(iValue);
    iValue->Name = iName;
}

void zScriptArray::SetName(std::string_view iName, const ValueRef& iValue) { SetName(Atom::Intern(iName), iValue); }

void zScriptArray::SetNameValue(std::string_view iName, const HostValue& iValue) {
    SetName(iName, zScript.VariantToScriptValue(iValue));
}

void zScriptArray::SetIndexValue(int32_t Index, const HostValue& iValue) {
    SetIndex(Index, zScript.VariantToScriptValue(iValue));
}

void zScriptArray::DeleteName(const Atom& iName) {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i] && items_[i]->Name == iName) {
            if (i + 1 != items_.size()) items_[i] = std::move(items_.back());
            items_.pop_back();
            return;
        }
    }
}

void zScriptArray::DeleteName(std::string_view iName) {
    Atom a = Atom::Find(iName);
    if (a.Empty() && !iName.empty()) return;
    DeleteName(a);
}

void zScriptArray::DeleteIndex(int32_t Index, bool iKeepOrder) {
    // A position outside the entries changes nothing: removing "the last slot"
    // for it would lose an unrelated entry.
    if (Index < 1 || Index > Size()) return;
    size_t i = static_cast<size_t>(Index - 1);
    if (iKeepOrder) {
        items_.erase(items_.begin() + static_cast<ptrdiff_t>(i));
    } else {
        if (i + 1 != items_.size()) items_[i] = std::move(items_.back());
        items_.pop_back();
    }
}

void zScriptArray::SetSize(int32_t iSize) {
    if (iSize < 0) Raise(errSubscript);
    if (iSize > Size() && iSize - Size() > zScript.MaxIndexGrowth) Raise(errSubscript);
    items_.resize(static_cast<size_t>(iSize));
}

Ref<zScriptArray> zScriptArray::GetFixed() {
    auto r = zScriptArray::New();
    for (size_t i = 0; i < items_.size(); ++i) {
        const ValueRef& v = items_[i];
        if (v && v->Fixed) {
            ValueRef keep = v;  // SetName may rename it; hold it meanwhile
            r->SetName(keep->Name, keep);
        }
    }
    return r;
}

void zScriptArray::OverrideFixed(zScriptArray* iValues) {
    if (!iValues) Raise(errObjectNotSet);
    // A snapshot: when iValues is this array, appending must not disturb the walk.
    std::vector<ValueRef> snap(items_.begin(), items_.end());
    for (const ValueRef& v : snap) {
        if (v) iValues->SetName(v->Name, v);
    }
}

void zScriptArray::ImportValues(const zValues* iValues) {
    if (!iValues) return;
    std::vector<std::string> names;
    iValues->GetByteList(names);
    for (const auto& n : names) {
        auto v = zScriptValue::New();
        v->SetByte(iValues->GetByte(n));
        SetName(n, v);
    }
    names.clear();
    iValues->GetLongList(names);
    for (const auto& n : names) {
        auto v = zScriptValue::New();
        v->SetLong(iValues->GetLong(n));
        SetName(n, v);
    }
    names.clear();
    iValues->GetSingleList(names);
    for (const auto& n : names) {
        auto v = zScriptValue::New();
        v->SetSingle(iValues->GetSingle(n));
        SetName(n, v);
    }
    names.clear();
    iValues->GetStringList(names);
    for (const auto& n : names) {
        auto v = zScriptValue::New();
        v->SetString(iValues->GetString(n));
        SetName(n, v);
    }
}

std::string zScriptArray::ToString(int32_t iSub) const {
    std::string out = "\r\n";
    std::string outer(static_cast<size_t>(iSub > 1 ? (iSub - 1) * 2 : 0), ' ');
    std::string inner(static_cast<size_t>(iSub > 0 ? iSub * 2 + 2 : 2), ' ');
    out += outer;
    out += "(\r\n";
    for (size_t i = 0; i < items_.size(); ++i) {
        out += inner;
        const ValueRef& v = items_[i];
        // Appended piece by piece: "[" + a temporary trips a false overlap
        // warning of the compiler at -O3.
        if (!v) {
            out.append("[").append(std::to_string(i + 1)).append("] = (empty)");
        } else {
            if (v->Name.Empty()) out.append("[").append(std::to_string(i + 1)).append("]");
            else out.append("\"").append(v->Name.Text()).append("\"");
            out += " = ";
            out += v->ToString(iSub + 1);
        }
        out += "\r\n";
        // An array that holds itself (or one array twice) at each level
        // doubles the text per level: stop at the text cap, not at 2^32 lines.
        if (out.size() > zScript.MaxTextLength) Raise(14, "Out of string space");
    }
    out += outer;
    out += ")";
    return out;
}

bool zScriptArray::Export(zStream& iData, int iDepth) const {
    zCore.CurrentProc = "ScriptArray_Export";
    if (iDepth >= kMaxArrayDepth) Raise(errOutOfStack);
    iData.WriteLong(Size());
    for (const ValueRef& v : items_) {
        if (v) {
            v->Export(iData, iDepth);
        } else {
            // A hole is stored as an empty unnamed var value.
            iData.WriteByte(typVar);
            iData.WriteStringU("");
            iData.WriteStringU("");
        }
    }
    zCore.CurrentProc = "ScriptArray_Export";
    return true;
}

bool zScriptArray::Import(zStream& iData, int iDepth) {
    zCore.CurrentProc = "ScriptArray_Import";
    if (iDepth >= kMaxArrayDepth) Raise(321, "Invalid file format");
    int32_t n = 0;
    iData.ReadLong(n);
    // Every stored value takes at least a type byte and a name count.
    int64_t left = int64_t(iData.GetLength()) - iData.Cursor;
    if (n < 0 || int64_t(n) * 5 > left) Raise(errInputPastEnd);
    std::vector<ValueRef, ArrayEntryAllocator<ValueRef>> items;
    items.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        auto v = zScriptValue::New();
        v->Import(iData, iDepth);
        items.push_back(std::move(v));
    }
    items_ = std::move(items);
    zCore.CurrentProc = "ScriptArray_Import";
    return true;
}

}  // namespace zun
