// The one value type of the script engine. Values are shared objects: a
// variable, an array entry, an argument and a function result can all be the
// same zScriptValue, and writes through any holder are seen by all of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "script/zAtom.h"
#include "script/zHostValue.h"
#include "script/zRef.h"

namespace zun {

class zStream;
class zScriptArray;
class zScriptValue;
using ValueRef = Ref<zScriptValue>;

// Type codes of script values.
enum : uint8_t {
    typVar = 0,
    typBool = 1,
    typByte = 2,
    typInt = 3,
    typFloat = 4,
    typStr = 5,
    typArray = 6,
    typObject = 7,
};

// The rules of GetString, GetBool, Equals and Assign (mode 0) on a type code
// and a content, for the interpreter's temporaries, which are no value objects.
std::string ValueText(uint8_t iTyp, const HostValue& iData);
inline bool ValueTruth(const HostValue& iData) {
    if (iData.Kind() == HK::Bool) return iData.AsBool();
    if (iData.TextIsEmpty()) return false;
    return iData.ToBool();
}
bool ValuesEqual(uint8_t iTypA, const HostValue& iA, uint8_t iTypB, const HostValue& iB);

class zScriptValue final : public RefObject {
public:
    uint8_t Typ = typVar;
    bool Fixed = false;
    // Entry name inside an array or scope; the null atom for unnamed entries.
    Atom Name;
    // The content. Game code may write it directly (the timeline does), which
    // leaves Typ alone.
    HostValue Data;

    zScriptValue() = default;
    static ValueRef New() { return ValueRef(new zScriptValue()); }
    static void* operator new(size_t n) {
        return n == sizeof(zScriptValue) ? BlockPool<sizeof(zScriptValue)>::Alloc() : ::operator new(n);
    }
    static void operator delete(void* p, size_t n) noexcept {
        if (n == sizeof(zScriptValue)) BlockPool<sizeof(zScriptValue)>::Free(p);
        else ::operator delete(p);
    }

    std::string ClassName() const override { return "zScriptValue"; }
    uint8_t ClassVersion() const override { return 1; }

    const std::string& NameText() const { return Name.Text(); }

    // Stored form: Byte type, StringU name, the payload by type. iDepth guards
    // against arrays nested without end (a cyclic array, a hostile file).
    bool Export(zStream& iData, int iDepth = 0) const;
    bool Import(zStream& iData, int iDepth = 0);

    // Copies another value into this one. Mode 0 takes the type, 1 copies only
    // between equal types, 2 takes the type from the content, others keep the
    // type. Name and Fixed are never copied. Nothing does nothing.
    void Assign(const zScriptValue* iValue, uint8_t iMatchType = 0);
    // Assign mode 2 from a content alone.
    void AssignByKind(const HostValue& iData);
    // Assign mode 0 from a type code and a content.
    void AssignContent(uint8_t iTyp, const HostValue& iData);
    bool Equals(const zScriptValue* iValue) const;
    std::string ToString(int32_t iSub = 0) const;

    void SetVar(HostValue iValue) {
        Typ = typVar;
        Data = std::move(iValue);
    }
    void SetBool(bool iValue) {
        Typ = typBool;
        Data = iValue;
    }
    void SetByte(uint8_t iValue) {
        Typ = typByte;
        Data = iValue;
    }
    void SetLong(int32_t iValue) {
        Typ = typInt;
        Data = iValue;
    }
    void SetSingle(float iValue) {
        Typ = typFloat;
        Data = iValue;
    }
    void SetString(std::string iValue) {
        Typ = typStr;
        Data = std::move(iValue);
    }
    void SetArray(zScriptArray* iValue);
    void SetArray(const Ref<zScriptArray>& iValue);
    void SetObject(std::shared_ptr<iClass> iValue) {
        Typ = typObject;
        Data = HostValue(std::move(iValue));
    }
    // An object value holding an array (the saved-values store keeps the fixed
    // values of an object this way).
    void SetObjectArray(zScriptArray* iValue);

    // For type 1 the 16-bit -1 / 0; otherwise a copy of the content.
    HostValue GetVar() const;
    bool GetBool() const { return ValueTruth(Data); }
    uint8_t GetByte() const { return Data.ToByte(); }
    int32_t GetLong() const { return Data.ToLong(); }
    float GetSingle() const { return Data.ToSingle(); }
    // "Array" for type 6, "Object" for type 7, otherwise the text form.
    std::string GetString() const;
    // The held array; Nothing when the content is empty; other content fails.
    zScriptArray* GetArray() const;
    // The held object; Nothing when the content is empty. An array content is
    // handed out as an object too.
    std::shared_ptr<iClass> GetObject() const;
};

// Type names of the type codes; "" for other codes.
const char* TypeNameOf(int32_t iTyp);

}  // namespace zun
