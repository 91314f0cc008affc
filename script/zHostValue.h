// The content of a script value: a small dynamically typed value (Empty, Bool,
// Byte, Integer, Long, Single, Double, text, array, object). Everything the engine does with contents goes through
// this one module: conversions (whole numbers round half to even, out of range
// is "Overflow", text that is no number is "Type mismatch"), mixed arithmetic
// with its result kinds and overflow promotion, comparisons, text forms and the
// pattern match of the text operators.
//
// A script value's type code is only a tag: an "int" value may hold 4.5, a "var"
// value anything. The kind here is what is really held.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "core/zInterfaces.h"
#include "script/zRef.h"

namespace zun {

class zScriptArray;

// Script memory in bytes: texts held by contents (beyond what fits inside the
// text object itself), entry slots, arrays and objects. A piece taken while a
// script runs fails past zScript.MaxScriptBytes, so scripts that keep building
// fail with "Out of memory" instead of growing towards the kernel's
// out-of-memory killer; what the game's own code takes is only counted.
// TakeScriptBytes answers false (and counts nothing) when a piece would pass
// the budget; ScriptOutOfMemory raises the failure.
bool TakeScriptBytes(size_t n) noexcept;
void GiveScriptBytes(size_t n) noexcept;
size_t ScriptBytesInUse() noexcept;
[[noreturn]] void ScriptOutOfMemory();
// TakeScriptBytes refused past the budget inside a game function too.
bool TakeScriptBytesAnywhere(size_t n) noexcept;

// What the game's own structures keep of a script's texts and arrays (the
// function name of a timed call, a gesture's name and points) is script
// memory too, or a script could hand the game copies without end. A charge
// is taken whole before its holder joins anything, so even inside a game
// function it may fail ("Out of memory") without leaving half a thing behind;
// the holder gives it back when it goes.
class ScriptCharge {
public:
    ScriptCharge() noexcept = default;
    ScriptCharge(const ScriptCharge&) = delete;
    ScriptCharge& operator=(const ScriptCharge&) = delete;
    ScriptCharge(ScriptCharge&& o) noexcept : n_(o.n_) { o.n_ = 0; }
    ScriptCharge& operator=(ScriptCharge&& o) noexcept {
        if (this != &o) {
            Release();
            n_ = o.n_;
            o.n_ = 0;
        }
        return *this;
    }
    ~ScriptCharge() { Release(); }

    // Raises "Out of memory", adding nothing, past the budget.
    void Add(size_t n) {
        if (!TakeScriptBytesAnywhere(n)) ScriptOutOfMemory();
        n_ += n;
    }
    void AddText(const std::string& s) { Add(s.size()); }
    void Release() noexcept {
        GiveScriptBytes(n_);
        n_ = 0;
    }
    size_t Bytes() const noexcept { return n_; }

private:
    size_t n_ = 0;
};

enum class HK : uint8_t {
    Empty = 0,
    Bool,
    Byte,
    Integer,  // 16-bit
    Long,     // 32-bit
    Single,
    Double,
    String,
    Array,   // a zScriptArray, shared
    Object,  // any object, shared; a null pointer is "Nothing"
};

class HostValue {
public:
    HostValue() noexcept : k_(HK::Empty) { u_.d = 0; }
    HostValue(bool v) noexcept : k_(HK::Bool) { u_.b = v; }
    HostValue(uint8_t v) noexcept : k_(HK::Byte) { u_.by = v; }
    HostValue(int16_t v) noexcept : k_(HK::Integer) { u_.i = v; }
    HostValue(int32_t v) noexcept : k_(HK::Long) { u_.l = v; }
    HostValue(float v) noexcept : k_(HK::Single) { u_.f = v; }
    HostValue(double v) noexcept : k_(HK::Double) { u_.d = v; }
    HostValue(const char* s) : k_(HK::String) {
        new (&u_.s) std::string(s ? s : "");
        CountText();
    }
    HostValue(std::string s) : k_(HK::String) {
        new (&u_.s) std::string(std::move(s));
        CountText();
    }
    HostValue(std::string_view s) : k_(HK::String) {
        new (&u_.s) std::string(s);
        CountText();
    }
    HostValue(std::shared_ptr<iClass> o) : k_(HK::Object) { new (&u_.o) std::shared_ptr<iClass>(std::move(o)); }
    template <class T, class = std::enable_if_t<std::is_base_of_v<iClass, T>>>
    HostValue(std::shared_ptr<T> o) : HostValue(std::shared_ptr<iClass>(std::move(o))) {}
    static HostValue FromArray(zScriptArray* a);
    static HostValue FromArray(const Ref<zScriptArray>& a);
    // An object kind holding no object.
    static HostValue Nothing() { return HostValue(std::shared_ptr<iClass>()); }

    HostValue(const HostValue& o) : k_(HK::Empty) { CopyFrom(o); }
    HostValue(HostValue&& o) noexcept : k_(HK::Empty) { MoveFrom(std::move(o)); }
    HostValue& operator=(const HostValue& o) {
        if (this != &o) {
            if (k_ < HK::String && o.k_ < HK::String) {
                u_.d = o.u_.d;  // the widest plain member carries every plain content
                k_ = o.k_;
            } else if (k_ == HK::String && o.k_ == HK::String && o.u_.s.size() <= u_.s.capacity()) {
                u_.s = o.u_.s;  // into the buffer already counted
            } else {
                HostValue tmp(o);
                Clear();
                MoveFrom(std::move(tmp));
            }
        }
        return *this;
    }
    HostValue& operator=(HostValue&& o) noexcept {
        if (this != &o) {
            if (k_ < HK::String && o.k_ < HK::String) {
                u_.d = o.u_.d;
                k_ = o.k_;
            } else {
                Clear();
                MoveFrom(std::move(o));
            }
        }
        return *this;
    }
    ~HostValue() {
        if (k_ >= HK::String) Clear();
    }

    // Plain contents replace the old one without a round through a temporary.
    HostValue& operator=(bool v) noexcept { return SetPlain(HK::Bool, [&] { u_.b = v; }); }
    HostValue& operator=(uint8_t v) noexcept { return SetPlain(HK::Byte, [&] { u_.by = v; }); }
    HostValue& operator=(int16_t v) noexcept { return SetPlain(HK::Integer, [&] { u_.i = v; }); }
    HostValue& operator=(int32_t v) noexcept { return SetPlain(HK::Long, [&] { u_.l = v; }); }
    HostValue& operator=(float v) noexcept { return SetPlain(HK::Single, [&] { u_.f = v; }); }
    HostValue& operator=(double v) noexcept { return SetPlain(HK::Double, [&] { u_.d = v; }); }
    HostValue& operator=(std::string v) { return *this = HostValue(std::move(v)); }

    HK Kind() const noexcept { return k_; }
    bool IsEmpty() const noexcept { return k_ == HK::Empty; }
    bool IsNumericKind() const noexcept { return k_ >= HK::Bool && k_ <= HK::Double; }
    // Holds an array or an object, even a null one.
    bool IsReference() const noexcept { return k_ == HK::Array || k_ == HK::Object; }

    bool AsBool() const noexcept { return u_.b; }
    uint8_t AsByte() const noexcept { return u_.by; }
    int16_t AsInteger() const noexcept { return u_.i; }
    int32_t AsLong() const noexcept { return u_.l; }
    float AsSingle() const noexcept { return u_.f; }
    double AsDouble() const noexcept { return u_.d; }
    // Read only: a text changes through assignment, which keeps its count.
    const std::string& AsString() const noexcept { return u_.s; }
    inline zScriptArray* AsArray() const noexcept;  // defined with zScriptArray
    RefObject* AsArrayObject() const noexcept { return u_.a; }
    const std::shared_ptr<iClass>& AsObject() const noexcept { return u_.o; }

    void Clear() noexcept {
        switch (k_) {
            case HK::String:
                if (const size_t n = TextBytes(u_.s)) GiveScriptBytes(n);
                u_.s.~basic_string();
                break;
            case HK::Array:
                if (u_.a) u_.a->Release();
                break;
            case HK::Object: u_.o.~shared_ptr(); break;
            default: break;
        }
        k_ = HK::Empty;
        u_.d = 0;
    }

    // ---- conversions (the getters' rules) -----------------------------------
    // "Type mismatch" for arrays, objects and text that is no number.
    double ToDouble() const;
    bool ToBool() const;
    uint8_t ToByte() const;
    int16_t ToInteger() const;
    int32_t ToLong() const;
    float ToSingle() const;
    // The text form: numbers in decimal (Single 7, Double 15 significant digits,
    // the current decimal separator), Boolean as True/False, empty as "".
    // Arrays and objects have none ("Type mismatch").
    std::string ToText() const;
    // Whether ToText would give the empty text, without building it.
    bool TextIsEmpty() const;

private:
    union U {
        U() noexcept : d(0) {}
        ~U() {}
        bool b;
        uint8_t by;
        int16_t i;
        int32_t l;
        float f;
        double d;
        std::string s;
        RefObject* a;
        std::shared_ptr<iClass> o;
    } u_;
    HK k_;

    // The heap bytes of a text; the short ones sit inside the text object.
    static size_t TextBytes(const std::string& s) noexcept { return s.capacity() > 15 ? s.capacity() + 1 : 0; }
    // Counts the text just made; past the budget it is undone and fails.
    void CountText() {
        const size_t n = TextBytes(u_.s);
        if (n && !TakeScriptBytes(n)) {
            u_.s.~basic_string();
            k_ = HK::Empty;
            u_.d = 0;
            ScriptOutOfMemory();
        }
    }

    template <class F>
    HostValue& SetPlain(HK k, F set) noexcept {
        if (k_ >= HK::String) Clear();
        set();
        k_ = k;
        return *this;
    }
    void CopyFrom(const HostValue& o) {
        switch (o.k_) {
            case HK::String:
                new (&u_.s) std::string(o.u_.s);
                k_ = HK::String;
                CountText();
                break;
            case HK::Array:
                u_.a = o.u_.a;
                if (u_.a) u_.a->AddRef();
                break;
            case HK::Object: new (&u_.o) std::shared_ptr<iClass>(o.u_.o); break;
            default: u_.d = o.u_.d; break;
        }
        k_ = o.k_;
    }
    void MoveFrom(HostValue&& o) noexcept {
        switch (o.k_) {
            case HK::String:
                new (&u_.s) std::string(std::move(o.u_.s));
                o.u_.s.~basic_string();
                break;
            case HK::Array: u_.a = o.u_.a; break;
            case HK::Object:
                new (&u_.o) std::shared_ptr<iClass>(std::move(o.u_.o));
                o.u_.o.~shared_ptr();
                break;
            default: u_.d = o.u_.d; break;
        }
        k_ = o.k_;
        o.k_ = HK::Empty;
        o.u_.d = 0;
    }
};

// ---- the operator rules on contents --------------------------------------------
namespace hv {

// + - *: the wider kind of the two (Single with Long gives Double), Bool counts
// as a 16-bit -1/0, Empty as a zero of the other side's kind, numeric text as
// Double; an overflow moves the result up (Byte, Integer, Long, Double; Single
// to Double); a Double overflow is "Overflow".
HostValue Add(const HostValue& a, const HostValue& b);
HostValue Sub(const HostValue& a, const HostValue& b);
HostValue Mul(const HostValue& a, const HostValue& b);
// Single when both sides are Byte, Integer, Bool, Empty or Single, else Double.
// x / 0 is "Division by zero", 0 / 0 "Overflow".
HostValue Divide(const HostValue& a, const HostValue& b);
// Always Double.
HostValue Power(const HostValue& a, const HostValue& b);
// Both rounded to Long first (half to even); the remainder has the sign of a.
int32_t ModLong(const HostValue& a, const HostValue& b);
int32_t AndLong(const HostValue& a, const HostValue& b);
int32_t OrLong(const HostValue& a, const HostValue& b);
// Unary minus with the kind rules (a Byte becomes Integer, overflow moves up).
HostValue Negate(const HostValue& a);
// Bitwise complement within the content's integer width; Single and Double are
// rounded to Long first; Bool is logical.
HostValue BitNot(const HostValue& a);
// Three-way comparison: numbers numerically (Empty is 0,
// Bool -1/0), a number is below any text, text by bytes, Empty against text as
// the empty text. Arrays and objects are "Type mismatch".
int Compare(const HostValue& a, const HostValue& b);

// Hexadecimal digits in the content's integer width (fractions rounded first).
std::string Hex(const HostValue& a);

}  // namespace hv

// Whole-text pattern match: ? any character, * any run, # a digit, [a-f] and
// [!a-f] character lists, everything else itself; case-sensitive. An unclosed
// list is "Invalid pattern string".
bool LikeMatch(std::string_view text, std::string_view pattern);

}  // namespace zun
