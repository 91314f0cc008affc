#include "script/zScriptFunction.h"

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "script/zScriptClass.h"

namespace zun {

zScriptFunction::zScriptFunction() : Params(zScriptArray::New()) {}
zScriptFunction::~zScriptFunction() = default;

void zScriptFunction::SetName(const std::string& iName) {
    Name = iName;
    nameAtom_ = Atom::Intern(iName);
}

bool zScriptFunction::Export(zStream& iData) {
    zCore.CurrentProc = "Script_Export";
    iData.WriteStringU(Name);
    iData.WriteBool(Super);
    Params->Export(iData);
    zCore.CurrentProc = "Script_Export";
    Body.Export(iData);
    return true;
}

bool zScriptFunction::Import(zStream& iData) {
    zCore.CurrentProc = "Script_Import";
    std::string name;
    iData.ReadStringU(name);
    SetName(name);
    bool super = false;
    iData.ReadBool(super);
    Super = super;
    Params = zScriptArray::New();
    Params->Import(iData);
    zCore.CurrentProc = "Script_Import";
    Body = zStream();
    Body.Import(iData);
    BodyChanged();
    return true;
}

void zScriptFunction::BodyChanged() {
    code_ = Body.Bytes().data();
    length_ = Body.GetLength();
    textSlot_.clear();
    texts_.clear();
}

const zScriptFunction::Text& zScriptFunction::TextAt(int32_t& iPos) {
    if (iPos < 0 || iPos >= length_) Raise(errInputPastEnd);
    if (textSlot_.empty()) textSlot_.assign(static_cast<size_t>(length_), 0);
    int32_t slot = textSlot_[static_cast<size_t>(iPos)];
    if (slot) {
        const Text& t = texts_[static_cast<size_t>(slot - 1)];
        iPos = t.end;
        return t;
    }
    int32_t pos = iPos;
    std::string text = Body.GetStringU(pos);
    texts_.push_back(Text{std::move(text), Atom(), false, pos});
    textSlot_[static_cast<size_t>(iPos)] = static_cast<int32_t>(texts_.size());
    iPos = pos;
    return texts_.back();
}

}  // namespace zun
