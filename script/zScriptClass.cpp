#include "script/zScriptClass.h"

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "script/zScript.h"
#include "script/zScriptRun.h"

namespace zun {

// Counts against the functions a load may add in all (see LoadScriptFile):
// inheritance copies every parent function into each child, so a long chain
// of classes in a hostile file would otherwise grow without bound.
int64_t gFunctionSlotBudget = -1;

static void TakeFunctionSlots(int64_t n) {
    if (gFunctionSlotBudget < 0) return;
    gFunctionSlotBudget -= n;
    if (gFunctionSlotBudget < 0) Raise(errOutOfMemory, "Too many script functions");
}

zScriptClass::zScriptClass() : InitFunction(std::make_shared<zScriptFunction>()) {}
zScriptClass::~zScriptClass() = default;

std::shared_ptr<iChunk> zScriptClass::Create() const { return std::make_shared<zScriptClass>(); }

int32_t zScriptClass::HashName(std::string_view iName) {
    if (iName.empty()) return 0;
    int64_t h = static_cast<int64_t>(iName.size());
    size_t n = iName.size() < 32 ? iName.size() : 32;
    for (size_t i = 0; i < n; ++i) h += int64_t(static_cast<uint8_t>(iName[i])) * int64_t(i + 1) * 8192;
    // Only names of about a billion characters could leave the Long range.
    return static_cast<int32_t>(h);
}

zScriptFunction* zScriptClass::GetFunction(int32_t Index) const {
    if (Index < 1 || Index > FunctionCount()) return nullptr;
    return functions_[static_cast<size_t>(Index - 1)].get();
}

void zScriptClass::AddFunction(const FunctionRef& iFunction) {
    if (!iFunction) Raise(errObjectNotSet);
    TakeFunctionSlots(1);
    functions_.push_back(iFunction);
    iFunction->NameHash = HashName(iFunction->Name);
    const Atom& a = iFunction->NameAtom();
    if (a.Empty()) {
        if (!emptyName_) emptyName_ = iFunction.get();
    } else if (!FindFunction(a)) {
        IndexAdd(a.Data(), iFunction.get());
    }
}

void zScriptClass::IndexAdd(const AtomData* key, zScriptFunction* fn) {
    if ((indexCount_ + 1) * 2 > index_.size()) {
        std::vector<IndexSlot> old = std::move(index_);
        index_.assign(old.empty() ? 16 : old.size() * 2, IndexSlot());
        indexCount_ = 0;
        for (const auto& s : old) {
            if (s.key) IndexAdd(s.key, s.fn);
        }
    }
    size_t mask = index_.size() - 1;
    size_t i = Slot(key, mask);
    while (index_[i].key) i = (i + 1) & mask;
    index_[i] = IndexSlot{key, fn};
    ++indexCount_;
}

zScriptFunction* zScriptClass::FindFunction(std::string_view iName) const {
    Atom a = Atom::Find(iName);
    if (a.Empty() && !iName.empty()) return nullptr;
    return FindFunction(a);
}

zScriptClass* zScriptClass::FindParentClass(std::string_view iName) const {
    for (const auto& c : Inherits) {
        if (c && c->Name == iName) return c.get();
    }
    return nullptr;
}

void zScriptClass::Exherit(zScriptClass* iClass) {
    if (!iClass) Raise(errObjectNotSet);
    // A snapshot: iClass may be this class.
    std::vector<FunctionRef> mine = functions_;
    for (const auto& f : mine) {
        if (!iClass->FindFunction(f->NameAtom())) iClass->AddFunction(f);
    }
}

void zScriptClass::LoadInherits() {
    Inherits.clear();
    for (const auto& name : InheritNames) {
        std::shared_ptr<zScriptClass> parent = zScript.FindScriptClass(name);
        if (!parent) {
            Log("ERR", "Load inherit class", Name + "( " + name + " )");
            continue;
        }
        Inherits.push_back(parent);
        parent->Exherit(this);
    }
}

ValueRef zScriptClass::Execute(zScriptObject* iCaller, zScriptArray* iValues, const Atom& iName,
                               const zScriptArgs& iArgs) {
    zScriptFunction* f = FindFunction(iName);
    if (f) {
        if (f->Super) {
            std::string_view parent;
            if (f->Params && f->Params->Size() > 0 && f->Params->At(1)) parent = f->Params->At(1)->NameText();
            // A function taken over from a parent names the parents of the class
            // that defined it.
            std::shared_ptr<zScriptClass> owner = f->Owner.lock();
            zScriptClass* from = owner ? owner.get() : this;
            ValueRef r = from->ExecuteSuper(parent, iCaller, iValues, iName, iArgs);
            return r ? r : zScriptValue::New();
        }
        ScopeLease scope;
        scope->Parent = iValues;
        f->SetupParameters(scope.get(), iArgs);
        return f->Execute(iCaller, scope.get(), this);
    }
    if (zScriptClass* c = ParentWith(iName)) return c->Execute(iCaller, iValues, iName, iArgs);
    return zScriptValue::New();
}

ValueRef zScriptClass::ExecuteSuper(std::string_view iClassName, zScriptObject* iCaller, zScriptArray* iValues,
                                    const Atom& iName, const zScriptArgs& iArgs) {
    for (const auto& c : Inherits) {
        if ((iClassName.empty() || c->Name == iClassName) && c->FindFunction(iName)) {
            return c->Execute(iCaller, iValues, iName, iArgs);
        }
    }
    return nullptr;
}

void zScriptClass::InitValues(zScriptObject* iCaller, zScriptArray* iValues) {
    if (zScript.CallDepth >= zScript.MaxCallDepth) Raise(errOutOfStack);
    run::CheckStack();
    ++zScript.CallDepth;
    struct Back {
        ~Back() { --zScript.CallDepth; }
    } back;
    for (const auto& c : Inherits) c->InitValues(iCaller, iValues);
    if (InitFunction) InitFunction->Execute(iCaller, iValues, nullptr);
}

bool zScriptClass::Export(zStream& iData) {
    zCore.CurrentProc = "ScriptClass_Export";
    iData.WriteStringU(Name);
    iData.WriteLong(static_cast<int32_t>(InheritNames.size()));
    for (const auto& n : InheritNames) iData.WriteString(n);
    iData.WriteLong(FunctionCount());
    for (const auto& f : functions_) f->Export(iData);
    InitFunction->Export(iData);
    zCore.CurrentProc = "ScriptClass_Export";
    return true;
}

bool zScriptClass::Import(zStream& iData) {
    zCore.CurrentProc = "ScriptClass_Import";
    auto left = [&iData]() { return int64_t(iData.GetLength()) - iData.Cursor; };
    std::string name;
    iData.ReadStringU(name);
    Name = name;
    int32_t k = 0;
    iData.ReadLong(k);
    // Each stored name takes at least its count.
    if (k < 0 || int64_t(k) * 4 > left()) Raise(errInputPastEnd);
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(k));
    for (int32_t i = 0; i < k; ++i) {
        std::string n;
        iData.ReadString(n);
        names.push_back(std::move(n));
    }
    InheritNames = std::move(names);
    int32_t count = 0;
    iData.ReadLong(count);
    // A function record takes at least 17 bytes (name, flag, parameter count,
    // body length and array count).
    if (count < 0 || int64_t(count) * 17 > left()) Raise(errInputPastEnd);
    functions_.clear();
    index_.clear();
    indexCount_ = 0;
    emptyName_ = nullptr;
    std::weak_ptr<zScriptClass> self = weak_from_this();
    for (int32_t i = 0; i < count; ++i) {
        auto f = std::make_shared<zScriptFunction>();
        f->Import(iData);
        f->Owner = self;
        AddFunction(f);
    }
    auto init = std::make_shared<zScriptFunction>();
    init->Import(iData);
    init->Owner = self;
    InitFunction = init;
    zCore.CurrentProc = "ScriptClass_Import";
    return true;
}

}  // namespace zun
