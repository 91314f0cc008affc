// One compiled script function: its name, its declared parameters (types and
// defaults), and its body of prefix byte code, the stored form, which the
// interpreter runs from a form decoded once and walks directly where that form
// has nothing. The record is shared by a class and the children that took it
// over, so nothing of a running invocation is kept here: each invocation has
// its own frame on the C++ stack. What is kept are caches of the body's
// decoding (names by offset, the decoded statements), which depend only on the
// immutable bytes.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/zInterfaces.h"
#include "core/zStream.h"
#include "script/zAtom.h"
#include "script/zScriptArgs.h"
#include "script/zScriptArray.h"

namespace zun {

class zScriptClass;
class zScriptObject;
struct PreDecoded;
namespace run {
struct Temp;
}

class zScriptFunction : public iClass, public iStream {
public:
    std::string Name;
    bool Super = false;
    // Declared parameters: entry Name = parameter name, Typ = declared type,
    // content = default value.
    ArrayRef Params;
    zStream Body;
    int32_t NameHash = 0;
    // The class whose chunk defined this function (a child that took it over
    // shares the record but is not its owner).
    std::weak_ptr<zScriptClass> Owner;

    zScriptFunction();
    ~zScriptFunction() override;

    std::string ClassName() const override { return "zScriptFunction"; }
    uint8_t ClassVersion() const override { return 1; }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    const Atom& NameAtom() const { return nameAtom_; }
    void SetName(const std::string& iName);

    // Binds the arguments (positions 1..Count) to the declared parameters in
    // iValues: each parameter takes its type from the argument's content (or
    // the default's); a name an enclosing scope holds is written there.
    void SetupParameters(zScriptArray* iValues, const zScriptArgs& iArgs);
    // The same with the arguments given by their contents alone (null for
    // Nothing): binding reads nothing else of an argument.
    void SetupParameters(zScriptArray* iValues, const HostValue* const* iArgs, int32_t iCount);
    // Runs the body for iCaller with iValues as the scope; iClass is the class
    // the call went through (Nothing for an initialiser).
    ValueRef Execute(zScriptObject* iCaller, zScriptArray* iValues, zScriptClass* iClass);
    // The same for a caller that holds iValues for the whole call, and with
    // iInto, only reads the result: a returned operator result is worked out
    // into iInto (oInto set) instead of a new value.
    ValueRef Execute(zScriptObject* iCaller, zScriptArray* iValues, zScriptClass* iClass, run::Temp* iInto,
                     bool& oInto);

    // ---- decoding caches (used by the interpreter) --------------------------
    struct Text {
        std::string text;
        Atom atom;
        bool interned = false;
        int32_t end = 0;  // position after the StringU
    };
    // The StringU at iPos, decoded once; advances iPos past it.
    Text& TextAt(int32_t& iPos) {
        if (static_cast<uint32_t>(iPos) < slots_.size()) {
            if (Text* t = slots_[static_cast<size_t>(iPos)]) {
                iPos = t->end;
                return *t;
            }
        }
        return DecodeText(iPos);
    }
    const uint8_t* Code() const { return code_; }
    int32_t Length() const { return length_; }
    // Must be called after Body changes (Import does it).
    void BodyChanged();
    // The statements of the body decoded once into a form the interpreter runs
    // without re-reading the bytes; made on the first call.
    PreDecoded& Decoded();

private:
    Atom nameAtom_;
    const uint8_t* code_ = nullptr;
    int32_t length_ = 0;
    std::vector<Text*> slots_;  // offset -> decoded text, once met
    Text& DecodeText(int32_t& iPos);
    std::deque<Text> texts_;  // stable addresses: callers keep references
    std::unique_ptr<PreDecoded> decoded_;
};

using FunctionRef = std::shared_ptr<zScriptFunction>;

}  // namespace zun
