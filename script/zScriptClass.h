// A compiled script class: its name, the names of its parents, its functions
// and its initialiser. Inheritance is mostly done at load time: a class takes
// over every function of its parents that it does not define itself, sharing
// the very function records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/zInterfaces.h"
#include "script/zScriptFunction.h"

namespace zun {

class zScriptObject;

class zScriptClass : public iChunk, public std::enable_shared_from_this<zScriptClass> {
public:
    std::vector<std::shared_ptr<zScriptClass>> Inherits;
    std::vector<std::string> InheritNames;
    uint8_t InheritLevel = 0;
    std::string Name;
    FunctionRef InitFunction;

    zScriptClass();
    ~zScriptClass() override;

    std::string ClassName() const override { return "zScriptClass"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override;
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    int32_t FunctionCount() const { return static_cast<int32_t>(functions_.size()); }
    // Position 1..FunctionCount, else Nothing.
    zScriptFunction* GetFunction(int32_t Index) const;
    void AddFunction(const FunctionRef& iFunction);
    // Exact (case-sensitive) name; the first function of that name.
    zScriptFunction* FindFunction(std::string_view iName) const;
    zScriptFunction* FindFunction(const Atom& iName) const {
        if (iName.Empty()) return emptyName_;
        if (index_.empty()) return nullptr;
        const AtomData* key = iName.Data();
        size_t mask = index_.size() - 1;
        for (size_t i = Slot(key, mask);; i = (i + 1) & mask) {
            const IndexSlot& s = index_[i];
            if (s.key == key) return s.fn;
            if (!s.key) return nullptr;
        }
    }
    // The first parent that has a function of this name, for a name this
    // class has none of; Nothing when none has.
    zScriptClass* ParentWith(const Atom& iName) const {
        for (const auto& c : Inherits) {
            if (c->FindFunction(iName)) return c.get();
        }
        return nullptr;
    }
    // Whether Execute runs a function for this name: one of this class or one
    // a parent has that was not taken over.
    bool Answers(const Atom& iName) const { return FindFunction(iName) || ParentWith(iName); }
    zScriptClass* FindParentClass(std::string_view iName) const;

    // Gives iClass each function of this class whose name iClass lacks.
    void Exherit(zScriptClass* iClass);
    // Resolves InheritNames to the newest loaded classes and takes over their
    // missing functions; an unknown parent is logged and skipped.
    void LoadInherits();

    // Runs the named function for iCaller; a name found nowhere gives a fresh
    // empty value.
    ValueRef Execute(zScriptObject* iCaller, zScriptArray* iValues, const Atom& iName, const zScriptArgs& iArgs);
    // Runs the named function of the first parent that has it (of the named
    // parent when iClassName is not empty); Nothing when none has it.
    ValueRef ExecuteSuper(std::string_view iClassName, zScriptObject* iCaller, zScriptArray* iValues,
                          const Atom& iName, const zScriptArgs& iArgs);
    // Parents' initialisers first (depth first), then this class's own.
    void InitValues(zScriptObject* iCaller, zScriptArray* iValues);

    // The value-store name hash: length + sum of byte * position * 8192 over
    // the first 32 characters.
    static int32_t HashName(std::string_view iName);

private:
    std::vector<FunctionRef> functions_;
    // Functions by name atom (the first of a name), open addressing, at most
    // half full.
    struct IndexSlot {
        const AtomData* key = nullptr;
        zScriptFunction* fn = nullptr;
    };
    std::vector<IndexSlot> index_;
    size_t indexCount_ = 0;
    static size_t Slot(const AtomData* key, size_t mask) {
        return static_cast<size_t>((reinterpret_cast<uintptr_t>(key) >> 4) * 0x9E3779B97F4A7C15ull >> 20) & mask;
    }
    void IndexAdd(const AtomData* key, zScriptFunction* fn);
    zScriptFunction* emptyName_ = nullptr;
};

using ClassRef = std::shared_ptr<zScriptClass>;

}  // namespace zun
