#include "script/zScriptFunction.h"

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "script/zScriptClass.h"
#include "script/zScriptRun.h"

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
    slots_.clear();
    texts_.clear();
    decoded_.reset();
}

PreDecoded& zScriptFunction::Decoded() {
    if (!decoded_) {
        decoded_ = std::make_unique<PreDecoded>();
        decoded_->at.assign(static_cast<size_t>(length_ > 0 ? length_ : 0), nullptr);
        // Every node takes at least one byte: twice the bytes covers one whole
        // decoding and a fair number of jumps into the middle of expressions.
        decoded_->nodeBudget = 2 * static_cast<size_t>(length_ > 0 ? length_ : 0) + 64;
    }
    return *decoded_;
}

zScriptFunction::Text& zScriptFunction::DecodeText(int32_t& iPos) {
    if (iPos < 0 || iPos >= length_) Raise(errInputPastEnd);
    if (slots_.empty()) slots_.assign(static_cast<size_t>(length_), nullptr);
    int32_t pos = iPos;
    std::string text = Body.GetStringU(pos);
    texts_.push_back(Text{std::move(text), Atom(), false, pos});
    Text* t = &texts_.back();
    slots_[static_cast<size_t>(iPos)] = t;
    iPos = pos;
    return *t;
}

}  // namespace zun
