// The byte-code interpreter: the statement loop, the expression evaluator,
// paths, member access and the call dispatch.
//
// Every read from the body is checked against its length. Where an expression
// ends without reading all of its operands (an empty first operand, a failed
// path, a missing operand of "in"), the operands it did not read are skipped by
// their encoding, so the statement loop never runs the middle of an expression.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <typeinfo>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "script/zScriptRun.h"

namespace zun {

const char* const kFormNames[6] = {"", "static", "global", "super", "set", "new"};

namespace run {

const Frame* gRunning = nullptr;

std::vector<LogValue> RunningPlace() {
    const Frame* f = gRunning;
    if (!f || !f->fn) return {};
    const std::shared_ptr<zScriptClass> owner = f->fn->Owner.lock();
    const std::string cls = owner ? owner->Name : f->cur.Class ? f->cur.Class->Name : std::string();
    std::vector<LogValue> place{"INF", "Script", cls + "." + f->fn->Name};
    if (f->self && !f->self->Name.empty()) place.emplace_back(f->self->Name);
    return place;
}

void PastEnd() { Raise(errInputPastEnd); }
void Fail(int number) { Raise(number); }

void StepsOut() {
    // Left at nothing: a caller that traps the failure and runs on fails
    // again at its next step, so the call still ends.
    zScript.StepsLeft = 0;
    if (zScript.StepsBoundByCall)
        Raise(17, "Ended after " + std::to_string(zScript.MaxCallSteps) + " steps without returning");
    Raise(17, "Script step budget exhausted");
}

const std::string& RdText(Frame& f, int32_t& p) { return f.fn->TextAt(p).text; }

zScriptValue& Arg(const zScriptArgs& args, int32_t i) {
    if (i < 1 || i > args.Count()) Raise(errSubscript);
    zScriptValue* v = args[i];
    if (!v) Raise(errObjectNotSet);
    return *v;
}

namespace {

struct DepthGuard {
    int32_t& d;
    DepthGuard(int32_t& depth, int32_t max) : d(depth) {
        if (d >= max) Raise(errOutOfStack);
        CheckStack();
        ++d;
    }
    ~DepthGuard() { --d; }
};

ValueRef NewBool(bool b) {
    ValueRef v = zScriptValue::New();
    v->SetBool(b);
    return v;
}
ValueRef NewLong(int32_t l) {
    ValueRef v = zScriptValue::New();
    v->SetLong(l);
    return v;
}
ValueRef NewStr(std::string s) {
    ValueRef v = zScriptValue::New();
    v->SetString(std::move(s));
    return v;
}

[[gnu::noinline]] View VarNotSet(const Atom& name) {
    Log("ERR", "Value not set", name.Text());
    return View{};
}

[[gnu::noinline]] View UseOther(Frame& f, int32_t& p, Temp& tmp, ValueRef& hold, uint8_t c);

// An operator's result: a type code and a content.
struct Out {
    uint8_t& typ;
    HostValue& data;
    void Bool(bool v) {
        typ = typBool;
        data = v;
    }
    void Long(int32_t v) {
        typ = typInt;
        data = v;
    }
    void Str(std::string v) {
        typ = typStr;
        data = std::move(v);
    }
};
void OperatorInto(Frame& f, int32_t& p, uint8_t c, Out out);
template <class Src>
void OperatorOn(Src& src, uint8_t c, Out out);

// The codes 30..70 that are operators.
constexpr bool IsOperatorCode(uint8_t c) {
    return (c >= 30 && c <= 35) || c == 40 || c == 41 || c == 50 || c == 51 || (c >= 60 && c <= 70);
}

// EvalUse with the two commonest operands, a variable and a Long literal, read
// without a call.
[[gnu::always_inline]] inline View Use(Frame& f, int32_t& p, Temp& tmp, ValueRef& hold) {
    if (p >= f.L) PastEnd();
    const uint8_t c = f.code[p];
    if (c == 5) {
        ++p;
        const Atom& name = RdName(f, p);
        zScriptValue* v = f.cur.Values->Lookup(name, 0);
        if (!v) return VarNotSet(name);
        hold = v;
        return ViewOf(v);
    }
    if (c == 12) {
        ++p;
        tmp.Typ = typInt;
        tmp.Data = RdLong(f, p);
        return ViewOf(tmp);
    }
    if (c >= 30 && c <= 70 && IsOperatorCode(c)) {
        DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
        ++p;
        OperatorInto(f, p, c, Out{tmp.Typ, tmp.Data});
        return ViewOf(tmp);
    }
    return UseOther(f, p, tmp, hold, c);
}

// Skips the rest of an "in" after its first operand: the ignored byte, E and
// the list, by their encoding.
void SkipInList(Frame& f, int32_t& p) {
    RdByte(f, p);
    RdLong(f, p);
    uint8_t k = RdByte(f, p);
    if (k == 7) {
        int32_t n = RdCount(f, p);
        for (int32_t i = 0; i < n; ++i) SkipExpr(f, p);
    } else if (k == 5) {
        RdText(f, p);
    }
}

// E of "in": where reading goes on after a match. Only forward, within the body.
void JumpToEnd(Frame& f, int32_t& p, int32_t e) {
    if (e < p || e > f.L) Raise(5, "Invalid jump target");
    p = e;
}

}  // namespace

void SkipExpr(Frame& f, int32_t& p) {
    DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
    uint8_t c = RdByte(f, p);
    switch (c) {
        case 0:
        case 255:
        case 22:
        case 23: return;
        case 4: {
            uint8_t form = RdByte(f, p);
            if (form == 5) {
                RdText(f, p);
            } else if (form == 6) {
                RdText(f, p);
                int32_t n = RdCount(f, p);
                for (int32_t i = 0; i < n; ++i) SkipExpr(f, p);
            } else {
                return;
            }
            SkipExpr(f, p);
            return;
        }
        case 5:
        case 14:
        case 15: RdText(f, p); return;
        case 6:
        case 8: {
            RdText(f, p);
            int32_t n = RdCount(f, p);
            for (int32_t i = 0; i < n; ++i) SkipExpr(f, p);
            return;
        }
        case 7: {
            int32_t n = RdCount(f, p);
            for (int32_t i = 0; i < n; ++i) SkipExpr(f, p);
            return;
        }
        case 10:
        case 11: RdByte(f, p); return;
        case 12:
        case 13: RdLong(f, p); return;
        case 40:
        case 50:
        case 51: SkipExpr(f, p); return;
        case 41:
            SkipExpr(f, p);
            SkipInList(f, p);
            return;
        default:
            SkipExpr(f, p);
            SkipExpr(f, p);
            return;
    }
}

namespace {

// The array a path step works on: cur's array when it is an array value;
// with create, a new one that replaces cur's content.
zScriptArray* ArrayOf(zScriptValue* cur, uint8_t create) {
    if (!cur) Fail(errObjectNotSet);
    if (cur->Typ == typArray) return cur->GetArray();
    if (create == 1) {
        ArrayRef a = zScriptArray::New();
        cur->SetArray(a);
        return a.get();
    }
    return nullptr;
}

// Runs `eval` where the code was written: call arguments and path indexes
// inside a member access see the place where they were written, not the
// member's object.
template <class F>
[[gnu::always_inline]] inline void AtWriter(Frame& f, F&& eval) {
    if (!f.cur.ArgCtx) {
        eval();
        return;
    }
    RunCtx target = f.cur;
    f.cur = *target.ArgCtx;
    struct Back {
        Frame& f;
        RunCtx t;
        ~Back() { f.cur = t; }
    } back{f, target};
    eval();
}

// Evaluates a path index where the path was written.
View EvalIndex(Frame& f, int32_t& p, Temp& tmp, ValueRef& hold) {
    View v;
    AtWriter(f, [&] { v = Use(f, p, tmp, hold); });
    return v;
}

// One step of a path: the entry an index selects. Sets `failed` for index
// types that cannot select (bool, array, object).
zScriptValue* Select(zScriptArray* arr, zScriptValue* cur, View idx, uint8_t create, bool& failed) {
    switch (idx.Typ()) {
        case typByte:
        case typInt:
        case typFloat:
            if (!arr) Fail(errObjectNotSet);
            return arr->GetIndex(idx.Data().ToLong(), create);
        case typStr:
            if (!arr) Fail(errObjectNotSet);
            return arr->GetName(idx.Data().ToText(), create);
        case typBool:
        case typArray:
        case typObject: failed = true; return nullptr;
        default: return cur;
    }
}

}  // namespace

// The result is held by a reference made before the entries kept alive here are
// let go: an index expression may have replaced the variable that held the array.
ValueRef Resolve(Frame& f, int32_t& p, zScriptArray* iValues, uint8_t iCreate) {
    const Atom& name = RdName(f, p);
    zScriptValue* cur = iValues->GetName(name, iCreate);
    int32_t n = RdCount(f, p);
    if (!cur) {
        Log("ERR", "Array not set", name.Text());
        for (int32_t i = 0; i < n; ++i) SkipExpr(f, p);
        return nullptr;
    }
    zScriptArray* arr = ArrayOf(cur, iCreate);
    if (n == 0) {
        if (!arr) Fail(errObjectNotSet);
        return arr->GetIndex(arr->Size() + 1, 1);
    }
    // Holds the entries while later index expressions run.
    ValueRef keepCur = cur;
    ArrayRef keepArr = arr;
    for (int32_t k = 1; k <= n; ++k) {
        Temp tmp;
        ValueRef hold;
        View idx = EvalIndex(f, p, tmp, hold);
        bool failed = false;
        if (k == n) {
            if (!idx) return nullptr;
            zScriptValue* r = Select(arr, cur, idx, iCreate, failed);
            return failed ? ValueRef() : ValueRef(r);
        }
        if (!idx) Fail(errObjectNotSet);
        cur = Select(arr, cur, idx, iCreate, failed);
        if (failed) {
            for (int32_t i = k + 1; i <= n; ++i) SkipExpr(f, p);
            return nullptr;
        }
        keepCur = cur;
        arr = ArrayOf(cur, iCreate);
        keepArr = arr;
    }
    return cur;
}

namespace {

// The object `o` holds where it is exactly a script object (by far the usual
// case, and much cheaper to test than a cast); Nothing otherwise.
[[gnu::always_inline]] inline zScriptObject* ExactObjectOf(const zScriptValue* o) {
    if (!o || o->Data.Kind() != HK::Object) return nullptr;
    iClass* target = o->Data.AsObject().get();
    return target && typeid(*target) == typeid(zScriptObject) ? static_cast<zScriptObject*>(target) : nullptr;
}

// The script object a member access works on: the object value `o` holds.
// Fails as the access fails on anything else.
[[gnu::always_inline]] inline zScriptObject* ObjectOf(const zScriptValue* o) {
    if (zScriptObject* obj = ExactObjectOf(o)) return obj;
    if (!o) Fail(errObjectNotSet);
    if (o->Data.Kind() != HK::Object) Fail(errObjectRequired);
    iClass* target = o->Data.AsObject().get();
    auto* obj = dynamic_cast<zScriptObject*>(target);
    if (!obj) Fail(target ? errObjectRequired : errObjectNotSet);
    return obj;
}

// A member access: the object `evalObject` gives, then `evalMember` run for it.
template <class O, class M>
ValueRef MemberWith(Frame& f, O&& evalObject, M&& evalMember) {
    RunCtx saved = f.cur;
    zScriptArray* parentBefore = saved.Values->Parent.get();
    ArrayRef keepParent = saved.Values->Parent;
    ValueRef o = evalObject();
    zScriptObject* obj = ObjectOf(o.get());
    // Script code the member runs may drop the object from `o`.
    std::shared_ptr<iClass> held = o->Data.AsObject();
    ScopeLease scope;
    scope->Parent = obj->Locals;
    // Usually set already: the test spares two reference counts.
    if (obj->Locals->Parent != zScript.Globals) obj->Locals->Parent = zScript.Globals;
    f.cur.Caller = obj;
    f.cur.Class = obj->Class.get();
    f.cur.Values = scope.get();
    f.cur.ArgCtx = &saved;
    struct Back {
        Frame& f;
        RunCtx& saved;
        zScriptArray* parent;
        ~Back() {
            f.cur = saved;
            if (f.cur.Values->Parent.get() != parent) f.cur.Values->Parent = parent;
        }
    } back{f, saved, parentBefore};
    return evalMember();
}

// A member access whose member is a plain variable. Reading a variable runs no
// script code, so the object cannot be dropped before the read: it is borrowed
// from the value that holds it, and the read goes where a scope made for the
// object would send it (the object's variables, then the globals).
template <class O>
ValueRef MemberVar(Frame& f, O&& evalObject, const PNode& member) {
    zScriptArray* values = f.cur.Values;
    zScriptArray* parentBefore = values->Parent.get();
    ArrayRef keepParent = values->Parent;
    ValueRef o = evalObject();
    zScriptObject* obj = ObjectOf(o.get());
    // Usually set already: the test spares two reference counts.
    if (obj->Locals->Parent != zScript.Globals) obj->Locals->Parent = zScript.Globals;
    struct Back {
        zScriptArray* values;
        zScriptArray* parent;
        ~Back() {
            if (values->Parent.get() != parent) values->Parent = parent;
        }
    } back{values, parentBefore};
    DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
    zScriptValue* v = obj->Locals->Lookup(member.name, 0);
    if (!v) Log("ERR", "Value not set", member.name.Text());
    return ValueRef(v);
}

// MemberVar with the object in a variable, the commonest member access
// ("b.x"): reading the variable runs no script code either, so nothing the
// general path holds meanwhile can go away. Only when the object's variables
// are the current scope itself can setting their parent change the scope,
// which is then put back as MemberVar does.
ValueRef MemberVarOfVar(Frame& f, const PNode& object, const PNode& member) {
    // The depth EvaluateNode's guard would reach for the object.
    if (zScript.ExprDepth >= zScript.MaxExprDepth) Raise(errOutOfStack);
    zScriptArray* values = f.cur.Values;
    zScriptValue* o = values->Lookup(object.name, 0);
    if (!o) Log("ERR", "Value not set", object.name.Text());
    zScriptObject* obj = ObjectOf(o);
    zScriptArray* locals = obj->Locals.get();
    if (locals == values) return MemberVar(f, [&] { return ValueRef(o); }, member);
    if (locals->Parent != zScript.Globals) locals->Parent = zScript.Globals;
    DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
    zScriptValue* v = locals->Lookup(member.name, 0);
    if (!v) Log("ERR", "Value not set", member.name.Text());
    return ValueRef(v);
}

ValueRef MemberAccess(Frame& f, int32_t& p) {
    return MemberWith(f, [&] { return Evaluate(f, p); }, [&] { return Evaluate(f, p); });
}

bool EqualsView(View a, View b) {
    if (!b) Fail(errObjectNotSet);
    return ValuesEqual(a.Typ(), a.Data(), b.Typ(), b.Data());
}

void InExpr(Frame& f, int32_t& p, View a, Out out) {
    RdByte(f, p);
    int32_t e = RdLong(f, p);
    uint8_t k = RdByte(f, p);
    out.Long(0);
    if (k == 7) {
        int32_t n = RdCount(f, p);
        for (int32_t i = 1; i <= n; ++i) {
            Temp tmp;
            ValueRef hold;
            View item = Use(f, p, tmp, hold);
            if (EqualsView(a, item)) {
                JumpToEnd(f, p, e);
                out.Long(i);
                return;
            }
        }
        return;
    }
    if (k == 5) {
        --p;
        ValueRef v = Evaluate(f, p);
        if (!v) Fail(errObjectNotSet);
        if (v->Data.IsEmpty()) return;
        zScriptArray* arr = v->GetArray();
        if (!arr) Fail(errObjectNotSet);
        ArrayRef keep = arr;
        for (int32_t i = 1; i <= arr->Size(); ++i) {
            if (EqualsView(a, ViewOf(arr->At(i)))) {
                JumpToEnd(f, p, e);
                out.Long(i);
                return;
            }
        }
        return;
    }
    JumpToEnd(f, p, e);
}

std::string RemoveAll(const std::string& s, const std::string& what) {
    if (what.empty()) return s;
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t q = s.find(what, pos);
        if (q == std::string::npos) break;
        out.append(s, pos, q - pos);
        pos = q + what.size();
    }
    out.append(s, pos, std::string::npos);
    return out;
}

bool HoldsNothing(const HostValue& d) {
    return d.IsEmpty() || (d.Kind() == HK::Array && !d.AsArray()) || (d.Kind() == HK::Object && !d.AsObject());
}

// The operands of an operator read from the bytes.
struct ByteSrc {
    Frame& f;
    int32_t& p;
    View Next(Temp& tmp, ValueRef& hold) { return Use(f, p, tmp, hold); }
    void Skip() { SkipExpr(f, p); }
    void SkipIn() { SkipInList(f, p); }
    void In(View a, Out out) { InExpr(f, p, a, out); }
};

void OperatorInto(Frame& f, int32_t& p, uint8_t c, Out out) {
    ByteSrc src{f, p};
    OperatorOn(src, c, out);
}

// The operator's result goes into `out`, which starts as an empty var value.
// Src hands out the operands in order (Next), passes one by (Skip), and reads
// the rest of an "in" (SkipIn, In).
template <class Src>
void OperatorOn(Src& src, uint8_t c, Out out) {
    Temp ta_tmp;
    ValueRef ta_hold;
    View a = src.Next(ta_tmp, ta_hold);
    if (!a) {
        switch (c) {
            case 50: out.Bool(true); return;
            case 40:
            case 51: out.Bool(false); return;
            case 41:
                src.SkipIn();
                out.Long(0);
                return;
            default: {
                Temp tb;
                ValueRef hb;
                src.Next(tb, hb);
                out.Bool(false);
                return;
            }
        }
    }
    const uint8_t ta = a.Typ();
    if (ta == typVar || ta > typObject) {
        // The operator ends here; its remaining operands are skipped.
        if (c == 41) src.SkipIn();
        else if (c != 40 && c != 50 && c != 51) src.Skip();
        return;
    }
    switch (c) {
        case 50:
            switch (ta) {
                case typBool: out.Bool(!ValueTruth(a.Data())); return;
                case typStr: {
                    std::string s = ValueText(ta, a.Data());
                    std::reverse(s.begin(), s.end());
                    out.Str(std::move(s));
                    return;
                }
                case typArray:
                case typObject: out.Bool(HoldsNothing(a.Data())); return;
                default:
                    out.data = hv::BitNot(a.Data());
                    out.typ = ta;
                    return;
            }
        case 51:
            switch (ta) {
                case typBool: out.Bool(!ValueTruth(a.Data())); return;
                case typByte:
                case typInt:
                case typFloat:
                    out.data = hv::Negate(a.Data());
                    out.typ = ta;
                    return;
                default: out.Bool(false); return;
            }
        case 40: out.Bool((ta == typArray || ta == typObject) && !HoldsNothing(a.Data())); return;
        case 41: src.In(a, out); return;
        default: break;
    }

    Temp tb_tmp;
    ValueRef tb_hold;
    View b = src.Next(tb_tmp, tb_hold);
    if (!b) {
        out.Bool(false);
        return;
    }
    // Read again: the second operand may have changed the first one's entry.
    const uint8_t ta2 = a.Typ();
    const uint8_t tb = b.Typ();
    if (ta2 >= typStr || tb >= typStr) {
        switch (c) {
            case 30: out.Bool(ValueText(ta2, a.Data()) == ValueText(tb, b.Data())); return;
            case 31: out.Bool(ValueText(ta2, a.Data()) != ValueText(tb, b.Data())); return;
            case 60:
            case 67: {
                std::string s = ValueText(ta2, a.Data());
                const std::string t = ValueText(tb, b.Data());
                if (s.size() + t.size() > zScript.MaxTextLength) Raise(14, "Out of string space");
                s += t;
                out.Str(std::move(s));
                return;
            }
            case 61: out.Str(RemoveAll(ValueText(ta2, a.Data()), ValueText(tb, b.Data()))); return;
            case 65: out.Bool(LikeMatch(ValueText(ta2, a.Data()), ValueText(tb, b.Data()))); return;
            case 66: out.Bool(!LikeMatch(ValueText(ta2, a.Data()), ValueText(tb, b.Data()))); return;
            default: return;
        }
    }
    const HostValue& x = a.Data();
    const HostValue& y = b.Data();
    if (x.Kind() == HK::Long && y.Kind() == HK::Long) {
        // The common case, without the general rules.
        const int64_t l = x.AsLong(), r = y.AsLong();
        switch (c) {
            case 30: out.Bool(l == r); return;
            case 31: out.Bool(l != r); return;
            case 32: out.Bool(l < r); return;
            case 33: out.Bool(l <= r); return;
            case 34: out.Bool(l > r); return;
            case 35: out.Bool(l >= r); return;
            case 60:
            case 61: {
                int64_t v = c == 60 ? l + r : l - r;
                if (v >= INT32_MIN && v <= INT32_MAX) out.data = static_cast<int32_t>(v);
                else out.data = static_cast<double>(v);
                out.typ = ta2;
                return;
            }
            default: break;
        }
    } else if (c == 60 || c == 61) {
        // A Double with a Long or a Double: a Double, as the general rules give.
        const HK kx = x.Kind(), ky = y.Kind();
        if ((kx == HK::Double && (ky == HK::Double || ky == HK::Long)) || (kx == HK::Long && ky == HK::Double)) {
            const double l = kx == HK::Double ? x.AsDouble() : x.AsLong();
            const double r = ky == HK::Double ? y.AsDouble() : y.AsLong();
            const double v = c == 60 ? l + r : l - r;
            out.data = std::isfinite(v) ? v : CheckFinite(v);
            out.typ = ta2;
            return;
        }
    }
    switch (c) {
        case 30: out.Bool(hv::Compare(x, y) == 0); return;
        case 31: out.Bool(hv::Compare(x, y) != 0); return;
        case 32: out.Bool(hv::Compare(x, y) < 0); return;
        case 33: out.Bool(hv::Compare(x, y) <= 0); return;
        case 34: out.Bool(hv::Compare(x, y) > 0); return;
        case 35: out.Bool(hv::Compare(x, y) >= 0); return;
        case 68: {
            bool l = ValueTruth(x);
            bool r = ValueTruth(y);
            out.Bool(l && r);
            return;
        }
        case 70: {
            bool l = ValueTruth(x);
            bool r = ValueTruth(y);
            out.Bool(l || r);
            return;
        }
        case 60: out.data = hv::Add(x, y); break;
        case 61: out.data = hv::Sub(x, y); break;
        case 62: out.data = hv::Mul(x, y); break;
        case 63: out.data = hv::Divide(x, y); break;
        case 64: out.data = hv::Power(x, y); break;
        case 65: out.Long(hv::ModLong(x, y)); return;
        case 67: out.Long(hv::AndLong(x, y)); return;
        case 69: out.Long(hv::OrLong(x, y)); return;
        default: out.typ = std::max(ta2, tb); return;
    }
    out.typ = ta2;
}

ValueRef Operator(Frame& f, int32_t& p, uint8_t c) {
    ValueRef r = zScriptValue::New();
    OperatorInto(f, p, c, Out{r->Typ, r->Data});
    return r;
}

}  // namespace

ValueRef Evaluate(Frame& f, int32_t& p) {
    DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
    uint8_t c = RdByte(f, p);
    // Calls, member accesses and variables first, tested in turn.
    if (c == 8) return CallFunction(f, p);
    if (c == 9) return MemberAccess(f, p);
    if (c == 5) {
        const Atom& name = RdName(f, p);
        zScriptValue* v = f.cur.Values->Lookup(name, 0);
        if (!v) Log("ERR", "Value not set", name.Text());
        return ValueRef(v);
    }
    switch (c) {
        case 0:
        case 255: return zScriptValue::New();
        case 4: {
            uint8_t form = RdByte(f, p);
            ValueRef t;
            if (form == 5) {
                const Atom& name = RdName(f, p);
                t = f.cur.Values->Lookup(name, 1);
            } else if (form == 6) {
                t = Resolve(f, p, f.cur.Values, 1);
            } else {
                return zScriptValue::New();
            }
            Temp tmp;
            ValueRef hold;
            View s = Use(f, p, tmp, hold);
            if (!t) Fail(errObjectNotSet);
            if (s) t->AssignContent(s.Typ(), s.Data());
            ValueRef r = zScriptValue::New();
            r->Assign(t.get(), 0);
            return r;
        }
        case 6: return Resolve(f, p, f.cur.Values, 0);
        case 7: {
            int32_t n = RdCount(f, p);
            ArrayRef arr = zScriptArray::New();
            arr->SetSize(n);
            for (int32_t i = 1; i <= n; ++i) arr->SetIndex(i, Evaluate(f, p));
            ValueRef r = zScriptValue::New();
            r->SetArray(arr);
            return r;
        }
        case 10: {
            ValueRef r = zScriptValue::New();
            r->SetBool(RdByte(f, p) != 0);
            return r;
        }
        case 11: {
            ValueRef r = zScriptValue::New();
            r->SetByte(RdByte(f, p));
            return r;
        }
        case 12: return NewLong(RdLong(f, p));
        case 13: {
            ValueRef r = zScriptValue::New();
            r->SetSingle(RdSingle(f, p));
            return r;
        }
        case 14:
        case 15: return NewStr(RdText(f, p));
        case 22: return f.SelectValue;
        case 23: {
            ValueRef r = zScriptValue::New();
            std::shared_ptr<iClass> self;
            if (f.cur.Caller) self = f.cur.Caller->weak_from_this().lock();
            r->SetObject(std::move(self));
            return r;
        }
        default: return Operator(f, p, c);
    }
}

namespace {

// Everything but the variables, the Long literals and the operators, which Use
// handles in line.
View UseOther(Frame& f, int32_t& p, Temp& tmp, ValueRef& hold, uint8_t c) {
    switch (c) {
        case 10:
        case 11:
        case 13:
        case 14:
        case 15: {
            ++p;
            switch (c) {
                case 10:
                    tmp.Typ = typBool;
                    tmp.Data = RdByte(f, p) != 0;
                    break;
                case 11:
                    tmp.Typ = typByte;
                    tmp.Data = RdByte(f, p);
                    break;
                case 13:
                    tmp.Typ = typFloat;
                    tmp.Data = RdSingle(f, p);
                    break;
                default:
                    tmp.Typ = typStr;
                    tmp.Data = RdText(f, p);
                    break;
            }
            return ViewOf(tmp);
        }
        default:
            hold = Evaluate(f, p);
            return ViewOf(hold.get());
    }
}

}  // namespace

View EvalUse(Frame& f, int32_t& p, Temp& tmp, ValueRef& hold) { return Use(f, p, tmp, hold); }

// ---- calls -----------------------------------------------------------------------

namespace {

void EvalArgs(Frame& f, int32_t& p, zScriptArgs& args, int32_t argc) {
    args.Resize(argc);
    for (int32_t i = 1; i <= argc; ++i) args.At(i) = Evaluate(f, p);
}

ValueRef CallForm(int id, Frame& f, zScriptArgs& args, zScriptArray* scope) {
    switch (id) {
        case 0:  // "": a parenthesised expression, argument 1 itself
            if (args.Count() < 1) Fail(errSubscript);
            return args.At(1);
        case 1:  // "static"
            for (int32_t i = 1; i <= args.Count(); ++i) Arg(args, i).Fixed = true;
            return zScriptValue::New();
        case 2: {  // "global"
            zScriptValue& a = Arg(args, 1);
            ValueRef keep(&a);
            zScript.Globals->SetName(a.Name, zScript.VariantToScriptValue(a.Data));
            return zScriptValue::New();
        }
        case 3: {  // "super": the parents of the class that defined this function
            if (!f.cur.Class) Fail(errObjectNotSet);
            std::shared_ptr<zScriptClass> owner = f.fn->Owner.lock();
            zScriptClass* cls = owner ? owner.get() : f.cur.Class;
            return cls->ExecuteSuper("", f.cur.Caller, scope, f.fn->NameAtom(), args);
        }
        case 4:  // "set"
            if (args.Count() < 1) Fail(errSubscript);
            return NewBool(args[1] != nullptr);
        case 5: {  // "new"
            zScriptValue& a = Arg(args, 1);
            std::string cls = a.GetString();
            auto o = zScriptObject::New();
            ValueRef r = zScriptValue::New();
            if (o->SetClass(cls, "")) r->SetObject(o);
            else r->SetObject(nullptr);
            return r;
        }
        default: return zScriptValue::New();
    }
}

ValueRef QualifiedCall(Frame& f, const Atom& name, zScriptArgs& args, zScriptArray* scope) {
    const std::string& n = name.Text();
    size_t dot = n.find('.');
    std::string_view clsPart(n.data(), dot);
    std::string_view fnPart(n.data() + dot + 1, n.size() - dot - 1);
    if (!f.cur.Class) Fail(errObjectNotSet);
    zScriptClass* parent = f.cur.Class->FindParentClass(clsPart);
    if (!parent) return zScriptValue::New();
    return parent->Execute(f.cur.Caller, scope, Atom::Intern(fnPart), args);
}

}  // namespace

ValueRef CallFunction(Frame& f, int32_t& p) {
    const Atom& name = RdName(f, p);
    int32_t argc = RdCount(f, p);
    zScriptArgs args;
    AtWriter(f, [&] { EvalArgs(f, p, args, argc); });
    return CallNamed(f, name, args);
}

ValueRef CallNamed(Frame& f, const Atom& name, zScriptArgs& args) {
    AtomData* d = name.Data();
    zScriptArray* scope = f.cur.Values->Parent.get();
    if (!d) return CallForm(0, f, args, scope);
    if (d->HasDot) return QualifiedCall(f, name, args, scope);
    if (d->FormId >= 0) return CallForm(d->FormId, f, args, scope);
    if (d->EngineId >= 0) return EngineBuiltin(d->EngineId, f, args);
    // The game's table and the host built-ins, unless neither can know the name.
    if (d->HostId >= 0 || gScriptHooks.CallGameFunction) {
        ValueRef r = zScript.CallBuiltin(f.cur.Caller, scope, name, args);
        if (r) return r;
    }
    if (!f.cur.Class) {
        Log("ERR", "Undefined function", name.Text());
        return nullptr;
    }
    return f.cur.Class->Execute(f.cur.Caller, scope, name, args);
}

}  // namespace run

// ---- the pre-decoded form ------------------------------------------------------------

namespace run {
namespace {

// Nesting past which an expression is left to the plain walk rather than decoded
// by recursion here; the walk has its own depth limit.
constexpr int kMaxDecodeNesting = 200;

// Reads a body without running it. Every read is checked; one that would fail
// ends the decoding of that statement, which is then left to the plain walk,
// where the same read fails at the same moment it always did.
struct Decoder {
    zScriptFunction& fn;
    PreDecoded& pd;
    const uint8_t* code;
    int32_t L;

    bool Byte(int32_t& p, uint8_t& v) {
        if (p >= L) return false;
        v = code[p++];
        return true;
    }
    bool Long(int32_t& p, int32_t& v) {
        if (p > L - 4) return false;
        std::memcpy(&v, code + p, 4);
        p += 4;
        return true;
    }
    bool Count(int32_t& p, int32_t& n) { return Long(p, n) && n >= 0 && n <= L - p; }
    zScriptFunction::Text* Text(int32_t& p) {
        if (p < 0 || p >= L) return nullptr;
        try {
            return &fn.TextAt(p);
        } catch (const RuntimeError&) {
            return nullptr;
        }
    }
    const Atom* Name(int32_t& p) {
        zScriptFunction::Text* t = Text(p);
        if (!t) return nullptr;
        if (!t->interned) {
            t->atom = Atom::Intern(t->text);
            t->interned = true;
        }
        return &t->atom;
    }

    // One expression by its encoding, as SkipExpr reads it: where it ends and
    // how deep skipping it nests. False where reading would fail, or where an
    // "in" would go on somewhere other than its own end.
    bool Scan(int32_t& p, int32_t& depth, int nesting) {
        if (nesting > kMaxDecodeNesting) return false;
        uint8_t c = 0;
        if (!Byte(p, c)) return false;
        int32_t sub = 0;
        auto one = [&] {
            int32_t d = 0;
            if (!Scan(p, d, nesting + 1)) return false;
            sub = std::max(sub, d);
            return true;
        };
        auto list = [&] {
            int32_t n = 0;
            if (!Count(p, n)) return false;
            for (int32_t i = 0; i < n; ++i)
                if (!one()) return false;
            return true;
        };
        bool ok = true;
        switch (c) {
            case 0:
            case 255:
            case 22:
            case 23: break;
            case 4: {
                uint8_t form = 0;
                if (!Byte(p, form)) return false;
                if (form == 5) ok = Text(p) && one();
                else if (form == 6) ok = Text(p) && list() && one();
                break;
            }
            case 5:
            case 14:
            case 15: ok = Text(p) != nullptr; break;
            case 6:
            case 8: ok = Text(p) && list(); break;
            case 7: ok = list(); break;
            case 10:
            case 11: {
                uint8_t b = 0;
                ok = Byte(p, b);
                break;
            }
            case 12:
            case 13: {
                int32_t v = 0;
                ok = Long(p, v);
                break;
            }
            case 40:
            case 50:
            case 51: ok = one(); break;
            case 41: {
                uint8_t ignored = 0, k = 0;
                int32_t e = 0;
                ok = one() && Byte(p, ignored) && Long(p, e) && Byte(p, k);
                if (ok && k == 7) ok = list();
                else if (ok && k == 5) ok = Text(p) != nullptr;
                ok = ok && e == p;
                break;
            }
            default: ok = one() && one(); break;
        }
        depth = 1 + sub;
        return ok;
    }

    const PNode* Node(int32_t& p, int nesting) {
        if (nesting > kMaxDecodeNesting || p >= L || pd.nodes.size() >= pd.nodeBudget) return nullptr;
        PNode n;
        n.start = p;
        n.code = code[p];
        const uint8_t c = n.code;
        if (c == 5) {
            ++p;
            const Atom* a = Name(p);
            if (!a) return nullptr;
            n.kind = PNode::Var;
            n.name = *a;
        } else if (c >= 10 && c <= 15) {
            ++p;
            n.kind = PNode::Const;
            uint8_t b = 0;
            int32_t l = 0;
            switch (c) {
                case 10:
                    if (!Byte(p, b)) return nullptr;
                    n.value.Typ = typBool;
                    n.value.Data = b != 0;
                    break;
                case 11:
                    if (!Byte(p, b)) return nullptr;
                    n.value.Typ = typByte;
                    n.value.Data = b;
                    break;
                case 12:
                    if (!Long(p, l)) return nullptr;
                    n.value.Typ = typInt;
                    n.value.Data = l;
                    break;
                case 13: {
                    if (!Long(p, l)) return nullptr;
                    float v;
                    std::memcpy(&v, &l, 4);
                    n.value.Typ = typFloat;
                    n.value.Data = v;
                    break;
                }
                default: {
                    zScriptFunction::Text* t = Text(p);
                    if (!t) return nullptr;
                    n.value.Typ = typStr;
                    n.value.Data = t->text;
                    break;
                }
            }
        } else if (IsOperatorCode(c) && c != 41) {
            ++p;
            n.kind = PNode::Op;
            n.a = Node(p, nesting + 1);
            if (!n.a) return nullptr;
            if (c != 40 && c != 50 && c != 51) {
                n.b = Node(p, nesting + 1);
                if (!n.b) return nullptr;
            }
            // A leaf is a variable or a literal; a variable of an object held
            // in a variable ("b.x") is a member leaf. Reading none of them
            // runs script code. A call runs script code, and so may any other
            // member access.
            auto leaf = [](const PNode* x) { return x->kind == PNode::Var || x->kind == PNode::Const; };
            n.leaves = n.b && leaf(n.a) && leaf(n.b);
            n.members = n.b && !n.leaves && (leaf(n.a) || IsMemberLeaf(*n.a)) && (leaf(n.b) || IsMemberLeaf(*n.b));
            n.skipDepth = 1 + std::max(n.a->skipDepth, n.b ? n.b->skipDepth : 0);
        } else if (c == 9) {
            ++p;
            n.kind = PNode::Member;
            n.a = Node(p, nesting + 1);
            if (!n.a) return nullptr;
            n.b = Node(p, nesting + 1);
            if (!n.b) return nullptr;
            n.skipDepth = 1 + std::max(n.a->skipDepth, n.b->skipDepth);
        } else if (c == 8) {
            ++p;
            const Atom* a = Name(p);
            int32_t argc = 0;
            if (!a || !Count(p, argc)) return nullptr;
            n.kind = PNode::Call;
            n.name = *a;
            int32_t sub = 0;
            for (int32_t i = 0; i < argc; ++i) {
                const PNode* arg = Node(p, nesting + 1);
                if (!arg) return nullptr;
                n.args.push_back(arg);
                sub = std::max(sub, arg->skipDepth);
            }
            n.skipDepth = 1 + sub;
        } else {
            n.kind = PNode::Plain;
            if (!Scan(p, n.skipDepth, nesting)) return nullptr;
        }
        n.end = p;
        pd.nodes.push_back(std::move(n));
        return &pd.nodes.back();
    }

    // The statement at p, or the plain marker.
    const PStmt* Stmt(int32_t p) {
        PStmt st;
        st.op = code[p++];
        switch (st.op) {
            case 20:
            case 3: st.expr = Node(p, 0); break;
            case 2: {
                int32_t t = 0;
                if (!Long(p, t) || t < 1) return &pd.plain;
                st.target = t - 1 > L ? L : t - 1;
                break;
            }
            case 4: {
                uint8_t form = 0;
                if (!Byte(p, form)) return &pd.plain;
                if (form == 5) {
                    const Atom* a = Name(p);
                    if (!a) return &pd.plain;
                    st.name = *a;
                } else if (form == 9) {
                    --p;
                    st.member = Node(p, 0);
                    if (!st.member) return &pd.plain;
                } else {
                    return &pd.plain;
                }
                st.expr = Node(p, 0);
                break;
            }
            case 52:
            case 53:
                if (p >= L || code[p] != 5) return &pd.plain;
                st.expr = Node(p, 0);
                break;
            case 8:
            case 9:
                --p;
                st.expr = Node(p, 0);
                break;
            default: return &pd.plain;
        }
        if (st.op != 2 && !st.expr) return &pd.plain;
        st.next = p;
        pd.stmts.push_back(std::move(st));
        return &pd.stmts.back();
    }
};

View UseNode(Frame& f, const PNode& n, Temp& tmp, ValueRef& hold);

// UseNode with a variable or a literal read in line.
[[gnu::always_inline]] inline View UseQuick(Frame& f, const PNode& n, Temp& tmp, ValueRef& hold) {
    if (n.kind == PNode::Const) return ViewOf(n.value);
    if (n.kind == PNode::Var) {
        zScriptValue* v = f.cur.Values->Lookup(n.name, 0);
        if (!v) return VarNotSet(n.name);
        hold = v;
        return ViewOf(v);
    }
    return UseNode(f, n, tmp, hold);
}
ValueRef EvaluateNode(Frame& f, const PNode& n);

// A call whose arguments are only bound to parameters needs no value object
// per argument: operator results and literals are bound from temporaries.
constexpr int32_t kDirectArgs = 8;

ValueRef CallNode(Frame& f, const PNode& n, Temp* into = nullptr, bool* inTemp = nullptr);

// The argument of a direct call: what EvaluateNode gives, seen through a view.
// Nested as deep as EvaluateNode would.
[[gnu::always_inline]] inline bool LongPair(Frame& f, const PNode& n, Out out, const AtomData* knownName = nullptr,
                                            const zScriptValue* known = nullptr);

[[gnu::always_inline]] inline View UseArg(Frame& f, const PNode& a, Temp& tmp, ValueRef& hold) {
    switch (a.kind) {
        case PNode::Var:
        case PNode::Const:
            if (zScript.ExprDepth >= zScript.MaxExprDepth) Raise(errOutOfStack);
            return UseQuick(f, a, tmp, hold);
        case PNode::Op:
            // As UseNode starts: counting arguments like `n - 1` in line.
            if (a.leaves && zScript.ExprDepth < zScript.MaxExprDepth && LongPair(f, a, Out{tmp.Typ, tmp.Data}))
                return ViewOf(tmp);
            return UseNode(f, a, tmp, hold);
        default: hold = EvaluateNode(f, a); return ViewOf(hold.get());
    }
}

// One argument of a direct call: where its content is seen, and what keeps it.
struct ArgSlot {
    Temp tmp;
    ValueRef hold;
    // The view's two halves, stored one by one: copied as one 16-byte block
    // right after the call that made them, they stall on the store forwarding.
    const uint8_t* typ = nullptr;
    const HostValue* data = nullptr;
};

// A call of a name that is no call form or built-in, with its arguments
// evaluated into `slots`: a script function of the class is bound and run
// directly; anything else goes the way of CallNamed.
[[gnu::always_inline]] inline ValueRef CallDirect(Frame& f, const PNode& n, AtomData* d, int32_t argc, ArgSlot* slots,
                                                  Temp* into, bool* inTemp) {
    AtWriter(f, [&]() __attribute__((always_inline)) {
        for (int32_t i = 0; i < argc; ++i) {
            ArgSlot& sl = slots[i];
            const View v = UseArg(f, *n.args[static_cast<size_t>(i)], sl.tmp, sl.hold);
            const uint8_t* typ = v.typ;
            const HostValue* data = v.data;
            asm("" : "+r"(typ), "+r"(data));
            sl.typ = typ;
            sl.data = data;
        }
    });
    bool direct = f.cur.Class != nullptr;
    if (direct && gScriptHooks.CallGameFunction) {
        // What the game's table would be asked, cached as CallBuiltin caches it.
        if (!gScriptHooks.IsGameFunction) {
            direct = false;
        } else {
            if (d->GameGen != zScript.DispatchGeneration) zScript.AskGameTable(*d);
            direct = !d->GameKnows;
        }
    }
    zScriptFunction* fn = direct ? f.cur.Class->FindFunction(n.name) : nullptr;
    if (fn && !fn->Super) {
        const HostValue* data[kDirectArgs];
        for (int32_t i = 0; i < argc; ++i) data[i] = slots[i].data;
        zScriptClass* cls = f.cur.Class;
        ScopeLease scope;
        scope->Parent = f.cur.Values->Parent;
        fn->SetupParameters(scope.get(), data, argc);
        // The lease holds the scope for the whole call.
        bool unused = false;
        return fn->Execute(f.cur.Caller, scope.get(), cls, into, into ? *inTemp : unused);
    }
    // Anything else takes the arguments as value objects, as EvaluateNode
    // would have made them.
    zScriptArgs args;
    args.Resize(argc);
    for (int32_t i = 0; i < argc; ++i) {
        ArgSlot& sl = slots[i];
        if (sl.hold) {
            args.At(i + 1) = std::move(sl.hold);
        } else if (sl.data) {
            ValueRef v = zScriptValue::New();
            v->Typ = *sl.typ;
            v->Data = *sl.data;
            args.At(i + 1) = std::move(v);
        }
    }
    return CallNamed(f, n.name, args);
}

// CallDirect with room for every argument count it takes.
[[gnu::noinline]] ValueRef CallDirectAny(Frame& f, const PNode& n, AtomData* d, int32_t argc, Temp* into,
                                         bool* inTemp) {
    ArgSlot slots[kDirectArgs];
    return CallDirect(f, n, d, argc, slots, into, inTemp);
}

// CallFunction on a decoded call. With `into`, a result the callee works out
// from an operator may come back in *into (inTemp set) rather than as a new value.
ValueRef CallNode(Frame& f, const PNode& n, Temp* into, bool* inTemp) {
    const int32_t argc = static_cast<int32_t>(n.args.size());
    AtomData* d = n.name.Data();
    if (argc <= kDirectArgs && d && !d->HasDot && d->FormId < 0 && d->EngineId < 0 && d->HostId < 0) {
        // None or one argument are the usual calls: no more slots are made.
        if (argc == 0) return CallDirect(f, n, d, 0, nullptr, into, inTemp);
        if (argc == 1) {
            ArgSlot slot;
            return CallDirect(f, n, d, 1, &slot, into, inTemp);
        }
        return CallDirectAny(f, n, d, argc, into, inTemp);
    }
    zScriptArgs args;
    AtWriter(f, [&] {
        const int32_t argc = static_cast<int32_t>(n.args.size());
        args.Resize(argc);
        for (int32_t i = 1; i <= argc; ++i) args.At(i) = EvaluateNode(f, *n.args[static_cast<size_t>(i - 1)]);
    });
    return CallNamed(f, n.name, args);
}

// UseNode on a call.
[[gnu::always_inline]] inline View UseCall(Frame& f, const PNode& n, Temp& tmp, ValueRef& hold) {
    DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
    bool inTemp = false;
    hold = CallNode(f, n, &tmp, &inTemp);
    return inTemp ? ViewOf(tmp) : ViewOf(hold.get());
}

// The operands of a decoded operator.
struct NodeSrc {
    Frame& f;
    const PNode& n;
    int k = 0;
    const PNode& Take() { return *(k++ == 0 ? n.a : n.b); }
    View Next(Temp& tmp, ValueRef& hold) {
        const PNode& x = Take();
        // A call straight away, as UseNode would make it: calls are what
        // recursive functions add up.
        if (x.kind == PNode::Call) return UseCall(f, x, tmp, hold);
        return UseNode(f, x, tmp, hold);
    }
    // Skipping reads nothing but nests as deep as the walk's skip would.
    void Skip() {
        if (zScript.ExprDepth + Take().skipDepth > zScript.MaxExprDepth) Raise(errOutOfStack);
    }
    // No decoded operator is an "in".
    void SkipIn() {}
    void In(View, Out) {}
};

// The variable "o.x" names, found where MemberVarOfVar finds it, but only
// where finding it there changes nothing, logs nothing and cannot fail, with
// room for the depth the general path would reach. Nothing otherwise: the
// caller then leaves the access to the general path, which does it all.
[[gnu::always_inline]] inline zScriptValue* MemberLeaf(Frame& f, const PNode& n) {
    if (zScript.ExprDepth + 4 > zScript.MaxExprDepth) return nullptr;
    const zScriptObject* obj = ExactObjectOf(f.cur.Values->Lookup(n.a->name, 0));
    if (!obj) return nullptr;
    zScriptArray* locals = obj->Locals.get();
    if (!locals || locals == f.cur.Values || locals->Parent.get() != zScript.Globals.get()) return nullptr;
    return locals->Lookup(n.b->name, 0);
}

// A leaf operand, looked at without a log line.
// `known` is a variable found already (an assignment's target), `knownName`
// its name, or `knownMember` the member leaf it was found by: a variable of
// that name, or a member leaf of the same two names, is the same value.
// Members: whether the operand may be a member leaf; operators without one
// are read by the smaller code.
template <bool Members>
[[gnu::always_inline]] inline const zScriptValue* LeafOf(Frame& f, const PNode& n, View& v,
                                                         const AtomData* knownName = nullptr,
                                                         const zScriptValue* known = nullptr,
                                                         const PNode* knownMember = nullptr) {
    if (n.kind == PNode::Const) {
        v = ViewOf(n.value);
        return nullptr;
    }
    if (knownName && n.name.Data() == knownName) {
        v = ViewOf(known);
        return known;
    }
    if constexpr (Members) {
        if (n.kind == PNode::Member) {
            if (knownMember && n.a->name == knownMember->a->name && n.b->name == knownMember->b->name) {
                v = ViewOf(known);
                return known;
            }
            const zScriptValue* x = MemberLeaf(f, n);
            v = ViewOf(x);
            return x;
        }
    }
    const zScriptValue* x = f.cur.Values->Lookup(n.name, 0);
    v = ViewOf(x);
    return x;
}

// A comparison, + or - of two leaves that hold Longs (or, for + and -,
// Doubles) under a number type: what loops and counters do. It gives what
// OperatorOn gives, without temporaries or holds (no script code can run
// between the operands); anything else is left to OperatorOn. The caller has
// made the operator's depth check.
template <bool Members>
[[gnu::always_inline]] inline bool LongPairOf(Frame& f, const PNode& n, Out out, const AtomData* knownName,
                                              const zScriptValue* known, const PNode* knownMember = nullptr) {
    const uint8_t c = n.code;
    if (!((c >= 30 && c <= 35) || c == 60 || c == 61)) return false;
    View a, b;
    LeafOf<Members>(f, *n.a, a, knownName, known, knownMember);
    LeafOf<Members>(f, *n.b, b, knownName, known, knownMember);
    if (!a || !b) return false;
    const uint8_t ta = a.Typ(), tb = b.Typ();
    if (ta == typVar || ta >= typStr || tb >= typStr) return false;
    const HostValue& x = a.Data();
    const HostValue& y = b.Data();
    if (x.Kind() != HK::Long || y.Kind() != HK::Long) {
        // A Double with a Long or a Double, added or subtracted: a Double.
        const HK kx = x.Kind(), ky = y.Kind();
        if ((c != 60 && c != 61) || !((kx == HK::Double && (ky == HK::Double || ky == HK::Long)) ||
                                       (kx == HK::Long && ky == HK::Double)))
            return false;
        const double l = kx == HK::Double ? x.AsDouble() : x.AsLong();
        const double r = ky == HK::Double ? y.AsDouble() : y.AsLong();
        const double v = c == 60 ? l + r : l - r;
        out.data = std::isfinite(v) ? v : CheckFinite(v);
        out.typ = ta;
        return true;
    }
    const int64_t l = x.AsLong(), r = y.AsLong();
    switch (c) {
        case 30: out.Bool(l == r); return true;
        case 31: out.Bool(l != r); return true;
        case 32: out.Bool(l < r); return true;
        case 33: out.Bool(l <= r); return true;
        case 34: out.Bool(l > r); return true;
        case 35: out.Bool(l >= r); return true;
        default: {
            int64_t v = c == 60 ? l + r : l - r;
            if (v >= INT32_MIN && v <= INT32_MAX) out.data = static_cast<int32_t>(v);
            else out.data = static_cast<double>(v);
            out.typ = ta;
            return true;
        }
    }
}

// LongPair for an operator with a member leaf: kept out of line, away from the
// loops of plain variables.
[[gnu::noinline]] bool LongPairWithMembers(Frame& f, const PNode& n, Out out, const AtomData* knownName = nullptr,
                                           const zScriptValue* known = nullptr) {
    return LongPairOf<true>(f, n, out, knownName, known);
}

[[gnu::always_inline]] inline bool LongPair(Frame& f, const PNode& n, Out out, const AtomData* knownName,
                                            const zScriptValue* known) {
    return LongPairOf<false>(f, n, out, knownName, known);
}

// A comparison of two leaves holding Longs, as a condition reads it: 1 or 0,
// or -1 where LongPair must decide.
template <bool Members>
[[gnu::always_inline]] inline int CompareLongsOf(Frame& f, const PNode& n) {
    const uint8_t c = n.code;
    if (c < 30 || c > 35) return -1;
    View a, b;
    LeafOf<Members>(f, *n.a, a);
    LeafOf<Members>(f, *n.b, b);
    if (!a || !b) return -1;
    const uint8_t ta = a.Typ(), tb = b.Typ();
    if (ta == typVar || ta >= typStr || tb >= typStr) return -1;
    const HostValue& x = a.Data();
    const HostValue& y = b.Data();
    if (x.Kind() != HK::Long || y.Kind() != HK::Long) return -1;
    const int64_t l = x.AsLong(), r = y.AsLong();
    switch (c) {
        case 30: return l == r;
        case 31: return l != r;
        case 32: return l < r;
        case 33: return l <= r;
        case 34: return l > r;
        default: return l >= r;
    }
}

// A condition of leaves with a member leaf, as the statement loop reads it:
// 1 or 0, or -1 where the general path must decide.
[[gnu::noinline]] int ConditionWithMembers(Frame& f, const PNode& e) {
    if (const int t = CompareLongsOf<true>(f, e); t >= 0) return t;
    Temp r;
    return LongPairOf<true>(f, e, Out{r.Typ, r.Data}, nullptr, nullptr) ? ValueTruth(r.Data) : -1;
}

// "b.x = <leaves>": the target is found as the source's member operands are,
// and LongPair writes nothing unless it is done. False where either declines.
[[gnu::noinline]] bool AssignMemberLeaves(Frame& f, const PStmt& st) {
    zScriptValue* t = MemberLeaf(f, *st.member);
    return t && LongPairOf<true>(f, *st.expr, Out{t->Typ, t->Data}, nullptr, t, st.member);
}

[[gnu::always_inline]] inline int CompareLongs(Frame& f, const PNode& n) { return CompareLongsOf<false>(f, n); }

ValueRef EvaluateMember(Frame& f, const PNode& n);

// EvaluateNode on a member access.
[[gnu::always_inline]] inline ValueRef EvaluateMemberNode(Frame& f, const PNode& n) {
    DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
    return EvaluateMember(f, n);
}

// Use on a decoded node.
View UseNode(Frame& f, const PNode& n, Temp& tmp, ValueRef& hold) {
    // The operator's own nesting level: past the limit, the guard below fails.
    if (n.leaves && zScript.ExprDepth < zScript.MaxExprDepth && LongPair(f, n, Out{tmp.Typ, tmp.Data}))
        return ViewOf(tmp);
    if (n.members && zScript.ExprDepth < zScript.MaxExprDepth && LongPairWithMembers(f, n, Out{tmp.Typ, tmp.Data}))
        return ViewOf(tmp);
    switch (n.kind) {
        case PNode::Var: {
            zScriptValue* v = f.cur.Values->Lookup(n.name, 0);
            if (!v) return VarNotSet(n.name);
            hold = v;
            return ViewOf(v);
        }
        case PNode::Const: return ViewOf(n.value);
        case PNode::Op: {
            DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
            NodeSrc src{f, n};
            OperatorOn(src, n.code, Out{tmp.Typ, tmp.Data});
            return ViewOf(tmp);
        }
        case PNode::Call: return UseCall(f, n, tmp, hold);
        case PNode::Member:
            hold = EvaluateMemberNode(f, n);
            return ViewOf(hold.get());
        default: {
            int32_t p = n.start;
            return Use(f, p, tmp, hold);
        }
    }
}

// EvaluateNode with a variable read in line.
[[gnu::always_inline]] inline ValueRef EvaluateQuick(Frame& f, const PNode& n) {
    if (n.kind != PNode::Var) return EvaluateNode(f, n);
    // The depth EvaluateNode's guard would reach.
    if (zScript.ExprDepth >= zScript.MaxExprDepth) Raise(errOutOfStack);
    zScriptValue* v = f.cur.Values->Lookup(n.name, 0);
    if (!v) Log("ERR", "Value not set", n.name.Text());
    return ValueRef(v);
}

// EvaluateNode's member access, apart: kept out of EvaluateNode, which every
// variable read goes through.
[[gnu::noinline]] ValueRef EvaluateMember(Frame& f, const PNode& n) {
    if (n.b->kind == PNode::Var) {
        if (n.a->kind == PNode::Var) return MemberVarOfVar(f, *n.a, *n.b);
        return MemberVar(f, [&] { return EvaluateQuick(f, *n.a); }, *n.b);
    }
    return MemberWith(
        f, [&] { return EvaluateQuick(f, *n.a); },
        [&] {
            if (n.b->kind != PNode::Call) return EvaluateNode(f, *n.b);
            DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
            return CallNode(f, *n.b);
        });
}

// Evaluate on a decoded node.
ValueRef EvaluateNode(Frame& f, const PNode& n) {
    if (n.kind == PNode::Plain) {
        int32_t p = n.start;
        return Evaluate(f, p);
    }
    DepthGuard depth(zScript.ExprDepth, zScript.MaxExprDepth);
    switch (n.kind) {
        case PNode::Var: {
            zScriptValue* v = f.cur.Values->Lookup(n.name, 0);
            if (!v) Log("ERR", "Value not set", n.name.Text());
            return ValueRef(v);
        }
        case PNode::Const: {
            ValueRef r = zScriptValue::New();
            r->Typ = n.value.Typ;
            r->Data = n.value.Data;
            return r;
        }
        case PNode::Call: return CallNode(f, n);
        case PNode::Member:
            return EvaluateMember(f, n);
        default: {
            ValueRef r = zScriptValue::New();
            if (n.leaves && LongPair(f, n, Out{r->Typ, r->Data})) return r;
            if (n.members && LongPairWithMembers(f, n, Out{r->Typ, r->Data})) return r;
            NodeSrc src{f, n};
            OperatorOn(src, n.code, Out{r->Typ, r->Data});
            return r;
        }
    }
}

// ++ and -- on the content a target view shows.
void StepContent(View v, uint8_t op) {
    if (!v) Fail(errObjectNotSet);
    HostValue& data = const_cast<HostValue&>(v.Data());
    if (data.Kind() == HK::Long) {
        // Long plus the 16-bit 1 stays a Long unless it overflows.
        int64_t x = int64_t(data.AsLong()) + (op == 52 ? 1 : -1);
        if (x >= INT32_MIN && x <= INT32_MAX) {
            data = static_cast<int32_t>(x);
            return;
        }
    }
    static const HostValue one(static_cast<int16_t>(1));
    data = op == 52 ? hv::Add(data, one) : hv::Sub(data, one);
}

}  // namespace
}  // namespace run

// ---- statements ----------------------------------------------------------------------

namespace run {
namespace {

// One statement by the plain walk of its bytes, for those the decoded form
// leaves to it; kept out of the statement loop, whose fast paths it would
// otherwise crowd. True when the statement returned (the value in `returned`).
[[gnu::noinline]] bool PlainStatement(Frame& f, int32_t& p, ValueRef& result, bool& memberResult,
                                      ValueRef& returned) {
    uint8_t op = f.code[p++];
    // The statements of loops and calls tested in turn: cheaper to predict
    // than one jump through a table.
    if (op == 20) {
        Temp tmp;
        ValueRef hold;
        View c = Use(f, p, tmp, hold);
        if (!c) Fail(errObjectNotSet);
        if (ValueTruth(c.Data())) p += 5;
        return false;
    }
    if (op == 2) {
        int32_t t = RdLong(f, p);
        if (t < 1) Raise(5, "Invalid jump target");
        p = t - 1 > f.L ? f.L : t - 1;
        return false;
    }
    if (op == 3) {
        returned = Evaluate(f, p);
        return true;
    }
    switch (op) {
        case 0: break;
        case 8: CallFunction(f, p); break;
        case 9:
            --p;
            result = Evaluate(f, p);
            memberResult = true;
            break;
        case 52:
        case 53: {
            Temp tmp;
            ValueRef t;
            // The target is read as an operand would be; a literal target
            // changes a temporary nobody sees, as a new value would be.
            StepContent(Use(f, p, tmp, t), op);
            break;
        }
        case 4: {
            uint8_t form = RdByte(f, p);
            ValueRef t;
            if (form == 5) {
                const Atom& name = RdName(f, p);
                t = f.cur.Values->Lookup(name, 1);
            } else if (form == 6) {
                t = Resolve(f, p, f.cur.Values, 1);
            } else if (form == 9) {
                --p;
                t = Evaluate(f, p);
            } else {
                break;
            }
            Temp tmp;
            ValueRef hold;
            View s = Use(f, p, tmp, hold);
            if (!t) Fail(errObjectNotSet);
            if (s) t->AssignContent(s.Typ(), s.Data());
            break;
        }
        case 21: {
            f.SelectValue = Evaluate(f, p);
            int32_t n = RdByte(f, p);
            for (int32_t k = 1; k <= n; ++k) {
                Temp tmp;
                ValueRef hold;
                View c = Use(f, p, tmp, hold);
                if (!c) Fail(errObjectNotSet);
                if (ValueTruth(c.Data())) break;
                p += 5;
            }
            break;
        }
        default: break;
    }
    return false;
}

}  // namespace
}  // namespace run

using namespace run;

namespace {

// Each declared parameter becomes a fresh named value of its declared type,
// filled from the argument in its place or from the declaration's default.
template <class Fill>
void BindParameters(zScriptArray* params, zScriptArray* values, Fill fill) {
    if (!params) return;
    const int32_t n = params->Size();
    for (int32_t i = 1; i <= n; ++i) {
        zScriptValue* param = params->At(i);
        if (!param) continue;
        ValueRef v = zScriptValue::New();
        v->Name = param->Name;
        v->Typ = param->Typ;
        fill(*v, i, *param);
        // SetName, with its search up the scopes in line: parameters are bound
        // at the rate of calls.
        zScriptValue* holder = nullptr;
        for (zScriptArray* a = values; a && !holder; a = a->Parent.get()) holder = a->FindOwn(v->Name);
        if (holder) holder->Assign(v.get(), 0);
        else values->AppendNamed(std::move(v));
    }
}

}  // namespace

void zScriptFunction::SetupParameters(zScriptArray* iValues, const zScriptArgs& iArgs) {
    BindParameters(Params.get(), iValues, [&](zScriptValue& v, int32_t i, zScriptValue& param) {
        v.Assign(i <= iArgs.Count() ? iArgs[i] : &param, 2);
    });
}

void zScriptFunction::SetupParameters(zScriptArray* iValues, const HostValue* const* iArgs, int32_t iCount) {
    BindParameters(Params.get(), iValues, [&](zScriptValue& v, int32_t i, zScriptValue& param) {
        const HostValue* from = i <= iCount ? iArgs[i - 1] : &param.Data;
        if (!from) return;
        if (from->Kind() == HK::Long) {
            v.Typ = typInt;
            v.Data = from->AsLong();
        } else {
            v.AssignByKind(*from);
        }
    });
}

ValueRef zScriptFunction::Execute(zScriptObject* iCaller, zScriptArray* iValues, zScriptClass* iClass) {
    ArrayRef keepValues = iValues;
    bool unused = false;
    return Execute(iCaller, iValues, iClass, nullptr, unused);
}

ValueRef zScriptFunction::Execute(zScriptObject* iCaller, zScriptArray* iValues, zScriptClass* iClass, Temp* iInto,
                                  bool& oInto) {
    DepthGuard depth(zScript.CallDepth, zScript.MaxCallDepth);
    Step();
    // The result: the last member statement's value, else a new empty value.
    ValueRef result;
    bool memberResult = false;
    if (length_ <= 0) return zScriptValue::New();
    Frame f;
    f.fn = this;
    f.code = code_;
    f.L = length_;
    f.cur.Caller = iCaller;
    f.cur.Class = iClass;
    f.cur.Values = iValues;
    f.self = iCaller;
    struct Running {
        Frame& f;
        explicit Running(Frame& iFrame) : f(iFrame) {
            f.outer = gRunning;
            gRunning = &f;
        }
        ~Running() { gRunning = f.outer; }
    } running(f);
    const int32_t L = length_;
    int32_t p = 0;
    PreDecoded& pd = decoded_ ? *decoded_ : Decoded();
    ValueRef returned;
    while (p < L) {
        Step();
        const PStmt* st = pd.at[static_cast<size_t>(p)];
        if (!st) st = pd.at[static_cast<size_t>(p)] = Decoder{*this, pd, code_, L}.Stmt(p);
        // The statements tested in turn, the commonest first: cheaper to
        // predict than one jump through a table.
        const uint8_t sop = st->op;
        if (sop == 20) {
            const PNode& e = *st->expr;
            if (e.leaves && zScript.ExprDepth < zScript.MaxExprDepth) {
                if (const int t = CompareLongs(f, e); t >= 0) {
                    p = t ? st->next + 5 : st->next;
                    continue;
                }
                Temp r;
                if (LongPair(f, e, Out{r.Typ, r.Data})) {
                    p = ValueTruth(r.Data) ? st->next + 5 : st->next;
                    continue;
                }
            } else if (e.members && zScript.ExprDepth < zScript.MaxExprDepth) {
                if (const int t = ConditionWithMembers(f, e); t >= 0) {
                    p = t ? st->next + 5 : st->next;
                    continue;
                }
            }
            Temp tmp;
            ValueRef hold;
            View c = UseNode(f, e, tmp, hold);
            if (!c) Fail(errObjectNotSet);
            p = ValueTruth(c.Data()) ? st->next + 5 : st->next;
            continue;
        }
        if (sop == 2) {
            p = st->target;
            continue;
        }
        if (sop == 4) {
            const PNode& e = *st->expr;
            if (!st->member && e.leaves && zScript.ExprDepth < zScript.MaxExprDepth) {
                // Reading two variables or literals runs no script code, so
                // the target needs no hold while the source is worked out.
                // LongPair reads both operands before it writes, and writes
                // nothing when it declines: the result can go straight into
                // the target, which may be an operand itself.
                zScriptValue* t = f.cur.Values->Lookup(st->name, 1);
                if (LongPair(f, e, Out{t->Typ, t->Data}, st->name.Data(), t)) {
                    p = st->next;
                    continue;
                }
            } else if (!st->member && e.members && zScript.ExprDepth < zScript.MaxExprDepth) {
                // The same with a member leaf, apart: joined into one branch
                // the plain variables' path takes a test more per statement.
                zScriptValue* t = f.cur.Values->Lookup(st->name, 1);
                if (LongPairWithMembers(f, e, Out{t->Typ, t->Data}, st->name.Data(), t)) {
                    p = st->next;
                    continue;
                }
            }
            if (st->member && (e.leaves || e.members) && IsMemberLeaf(*st->member) &&
                zScript.ExprDepth < zScript.MaxExprDepth && AssignMemberLeaves(f, *st)) {
                p = st->next;
                continue;
            }
            ValueRef t =
                st->member ? EvaluateMemberNode(f, *st->member) : ValueRef(f.cur.Values->Lookup(st->name, 1));
            Temp tmp;
            ValueRef hold;
            View s = UseNode(f, *st->expr, tmp, hold);
            if (!t) Fail(errObjectNotSet);
            if (s) t->AssignContent(s.Typ(), s.Data());
            p = st->next;
            continue;
        }
        if (sop == 3) {
            if (iInto && st->expr->kind == PNode::Op) {
                // An operator's result lands in the caller's temporary, as
                // it would in a new value.
                ValueRef unused;
                UseNode(f, *st->expr, *iInto, unused);
                oInto = true;
                return nullptr;
            }
            return EvaluateQuick(f, *st->expr);
        }
        if (sop == 8) {
            CallNode(f, *st->expr);
            p = st->next;
            continue;
        }
        if (sop == 9) {
            result = st->expr->kind == PNode::Member ? EvaluateMemberNode(f, *st->expr) : EvaluateNode(f, *st->expr);
            memberResult = true;
            p = st->next;
            continue;
        }
        if (sop != 0) {
            // A Long variable stepped within its range: in place.
            if (zScriptValue* v = f.cur.Values->Lookup(st->expr->name, 0); v && v->Data.Kind() == HK::Long) {
                const int64_t x = int64_t(v->Data.AsLong()) + (st->op == 52 ? 1 : -1);
                if (x >= INT32_MIN && x <= INT32_MAX) {
                    v->Data = static_cast<int32_t>(x);
                    p = st->next;
                    continue;
                }
            }
            Temp tmp;
            ValueRef t;
            StepContent(UseNode(f, *st->expr, tmp, t), st->op);
            p = st->next;
            continue;
        }
        // Left to the plain walk of the bytes.
        if (PlainStatement(f, p, result, memberResult, returned)) return returned;
    }
    if (!memberResult) result = zScriptValue::New();
    return result;
}

}  // namespace zun
