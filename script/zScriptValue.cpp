#include "script/zScriptValue.h"

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "script/zScriptArray.h"

namespace zun {

HostValue HostValue::FromArray(zScriptArray* a) {
    HostValue v;
    v.k_ = HK::Array;
    v.u_.a = a;
    if (a) a->AddRef();
    return v;
}

HostValue HostValue::FromArray(const Ref<zScriptArray>& a) { return FromArray(a.get()); }

const char* TypeNameOf(int32_t iTyp) {
    static const char* names[] = {"var", "bool", "byte", "int", "float", "str", "array", "object"};
    if (iTyp < 0 || iTyp > 7) return "";
    return names[iTyp];
}

void zScriptValue::SetArray(zScriptArray* iValue) {
    Typ = typArray;
    Data = HostValue::FromArray(iValue);
}

void zScriptValue::SetArray(const Ref<zScriptArray>& iValue) { SetArray(iValue.get()); }

void zScriptValue::SetObjectArray(zScriptArray* iValue) {
    Typ = typObject;
    Data = HostValue::FromArray(iValue);
}

void zScriptValue::Assign(const zScriptValue* iValue, uint8_t iMatchType) {
    if (!iValue) return;
    switch (iMatchType) {
        case 0: Typ = iValue->Typ; break;
        case 1:
            if (Typ != iValue->Typ) return;
            break;
        case 2: AssignByKind(iValue->Data); return;
        default: break;
    }
    if (this == iValue) return;
    switch (iValue->Typ) {
        case typArray:
            Typ = typArray;
            Data = iValue->Data;
            break;
        case typObject:
            Typ = typObject;
            if (iValue->Data.IsEmpty()) Data = HostValue::Nothing();
            else Data = iValue->Data;
            break;
        default: Data = iValue->Data; break;
    }
}

void zScriptValue::AssignByKind(const HostValue& d) {
    switch (d.Kind()) {
        case HK::Object: SetObject(d.AsObject()); break;
        // An array stays an array: it is not turned into an object value.
        case HK::Array: SetArray(d.AsArray()); break;
        case HK::Empty: break;
        case HK::Integer:
        case HK::Long: SetLong(d.ToLong()); break;
        case HK::Single: SetSingle(d.AsSingle()); break;
        case HK::Double: SetSingle(zun::ToSingle(d.AsDouble())); break;
        case HK::String: SetString(d.AsString()); break;
        case HK::Bool: SetBool(d.AsBool()); break;
        case HK::Byte: SetByte(d.AsByte()); break;
    }
}

void zScriptValue::AssignContent(uint8_t iTyp, const HostValue& iData) {
    Typ = iTyp;
    if (&iData == &Data) return;
    if (iTyp == typObject && iData.IsEmpty()) Data = HostValue::Nothing();
    else Data = iData;
}

bool ValuesEqual(uint8_t iTypA, const HostValue& iA, uint8_t iTypB, const HostValue& iB) {
    if (iTypA >= typStr || iTypB >= typStr) {
        if (iTypA == typStr || iTypB == typStr) return ValueText(iTypA, iA) == ValueText(iTypB, iB);
        return false;
    }
    return hv::Compare(iA, iB) == 0;
}

bool zScriptValue::Equals(const zScriptValue* iValue) const {
    if (!iValue) Raise(errObjectNotSet);
    return ValuesEqual(Typ, Data, iValue->Typ, iValue->Data);
}

std::string ValueText(uint8_t iTyp, const HostValue& iData) {
    if (iTyp == typArray) return "Array";
    if (iTyp == typObject) return "Object";
    return iData.ToText();
}

std::string zScriptValue::GetString() const { return ValueText(Typ, Data); }

std::string zScriptValue::ToString(int32_t iSub) const {
    switch (Typ) {
        case typBool: return Data.ToBool() ? "-1" : "0";
        case typArray: {
            zScriptArray* a = Data.Kind() == HK::Array ? Data.AsArray() : nullptr;
            if (!a) return "Array (empty)";
            if (iSub >= kMaxTextDepth) return "Array (...)";
            return "Array " + a->ToString(iSub + 1);
        }
        case typObject: return "Object";
        default: return Data.ToText();
    }
}

HostValue zScriptValue::GetVar() const {
    if (Typ == typBool) return HostValue(static_cast<int16_t>(Data.ToBool() ? -1 : 0));
    return Data;
}

zScriptArray* zScriptValue::GetArray() const {
    switch (Data.Kind()) {
        case HK::Array: return Data.AsArray();
        case HK::Empty: return nullptr;
        case HK::Object:
            if (!Data.AsObject()) return nullptr;
            Raise(errTypeMismatch);
        default: Raise(errTypeMismatch);
    }
}

std::shared_ptr<iClass> zScriptValue::GetObject() const {
    switch (Data.Kind()) {
        case HK::Object: return Data.AsObject();
        case HK::Empty: return nullptr;
        case HK::Array: {
            zScriptArray* a = Data.AsArray();
            if (!a) return nullptr;
            // The shared handle keeps one count on the array while it lives.
            a->AddRef();
            return std::shared_ptr<iClass>(a, [](iClass* p) { static_cast<zScriptArray*>(p)->Release(); });
        }
        default: Raise(errObjectRequired);
    }
}

bool zScriptValue::Export(zStream& iData, int iDepth) const {
    zCore.CurrentProc = "ScriptValue_Export";
    iData.WriteByte(Typ);
    iData.WriteStringU(Name.Text());
    switch (Typ) {
        case typVar: iData.WriteStringU(Data.ToText()); break;
        case typBool: iData.WriteBool(Data.ToBool()); break;
        case typByte: iData.WriteByte(Data.ToByte()); break;
        case typInt: iData.WriteLong(Data.ToLong()); break;
        case typFloat: iData.WriteSingle(Data.ToSingle()); break;
        case typStr: iData.WriteStringU(Data.ToText()); break;
        case typArray: {
            zScriptArray* a = GetArray();
            if (!a) Raise(errObjectNotSet);
            a->Export(iData, iDepth + 1);
            break;
        }
        default: break;
    }
    return true;
}

bool zScriptValue::Import(zStream& iData, int iDepth) {
    zCore.CurrentProc = "ScriptValue_Import";
    uint8_t typ = 0;
    iData.ReadByte(typ);
    if (typ > typObject) Raise(321, "Invalid file format");
    std::string name;
    iData.ReadStringU(name);
    Name = Atom::Intern(name);
    switch (typ) {
        case typVar: {
            std::string s;
            iData.ReadStringU(s);
            SetVar(HostValue(std::move(s)));
            break;
        }
        case typBool: {
            bool b = false;
            iData.ReadBool(b);
            SetBool(b);
            break;
        }
        case typByte: {
            uint8_t b = 0;
            iData.ReadByte(b);
            SetByte(b);
            break;
        }
        case typInt: {
            int32_t l = 0;
            iData.ReadLong(l);
            SetLong(l);
            break;
        }
        case typFloat: {
            float f = 0;
            iData.ReadSingle(f);
            SetSingle(f);
            break;
        }
        case typStr: {
            std::string s;
            iData.ReadStringU(s);
            SetString(std::move(s));
            break;
        }
        case typArray: {
            auto a = zScriptArray::New();
            a->Import(iData, iDepth + 1);
            SetArray(a);
            break;
        }
        default: Typ = typObject; break;
    }
    return true;
}

}  // namespace zun
