// The functions the interpreter answers itself: values and arrays, text,
// mathematics, conversions, rounding, random numbers and debugging aids.
// Text positions count from 0, array positions from 1.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/zCore.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "script/zScriptRun.h"

namespace zun {

const char* const kEngineNames[56] = {
    "iif",     "count",   "push",     "pop",     "indexName", "asc",    "chr",     "ucase",  "lcase",
    "strrev",  "trim",    "repeat",   "strlen",  "substr",    "replace", "trans",  "strpos", "stripos",
    "strrpos", "strripos", "sin",     "cos",     "tan",       "atan",   "asin",    "acos",   "pow",
    "sqr",     "abs",     "sig",      "log",     "exp",       "fac",    "dechex",  "hexdec", "cbool",
    "cbyte",   "cint",    "cfloat",   "cstr",    "cvar",      "clip",   "round",   "cround", "fix",
    "floor",   "ceil",    "srand",    "rnd",     "rand",      "lastrnd", "lastrand", "deb",  "din",
    "dump",    "dumpenv"};

namespace run {
namespace {

void CheckText(size_t n) {
    if (n > zScript.MaxTextLength) Raise(14, "Out of string space");
}

double Num(const zScriptArgs& a, int32_t i) { return Arg(a, i).Data.ToDouble(); }
int32_t Whole(const zScriptArgs& a, int32_t i) { return Arg(a, i).Data.ToLong(); }
std::string Text(const zScriptArgs& a, int32_t i) { return Arg(a, i).Data.ToText(); }

ValueRef Empty() { return zScriptValue::New(); }
ValueRef Long(int32_t v) {
    ValueRef r = zScriptValue::New();
    r->SetLong(v);
    return r;
}
ValueRef Float(double v) {
    ValueRef r = zScriptValue::New();
    r->SetSingle(ToSingle(v));
    return r;
}
ValueRef Str(std::string s) {
    CheckText(s.size());
    ValueRef r = zScriptValue::New();
    r->SetString(std::move(s));
    return r;
}
ValueRef Bool(bool b) {
    ValueRef r = zScriptValue::New();
    r->SetBool(b);
    return r;
}

// The array a row works on: the first argument's content must be one.
zScriptArray* ArrayArg(const zScriptArgs& a, int32_t i) {
    zScriptValue& v = Arg(a, i);
    if (v.Data.Kind() != HK::Array) Raise(errTypeMismatch);
    zScriptArray* arr = v.Data.AsArray();
    if (!arr) Raise(errObjectNotSet);
    return arr;
}

std::string ReplaceAll(const std::string& s, const std::string& what, const std::string& with) {
    if (what.empty()) return s;
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t q = s.find(what, pos);
        if (q == std::string::npos) break;
        out.append(s, pos, q - pos);
        out += with;
        CheckText(out.size());
        pos = q + what.size();
    }
    out.append(s, pos, std::string::npos);
    CheckText(out.size());
    return out;
}

int32_t FindFirst(const std::string& hay, const std::string& needle) {
    if (hay.empty()) return -1;
    size_t q = hay.find(needle);
    return q == std::string::npos ? -1 : static_cast<int32_t>(q);
}

int32_t FindLast(const std::string& hay, const std::string& needle) {
    if (hay.empty()) return -1;
    if (needle.empty()) return static_cast<int32_t>(hay.size()) - 1;
    size_t q = hay.rfind(needle);
    return q == std::string::npos ? -1 : static_cast<int32_t>(q);
}

// Arc sine and cosine are computed as atan(x / sqrt(1 - x * x)); that is the
// rounding of their results that scripts get.
double ArcTail(double x) {
    if (x < -1.0 || x > 1.0) Raise(errInvalidCall);
    return std::atan(x / std::sqrt(1.0 - x * x));
}

double Pow10(int32_t d) { return CheckFinite(std::pow(10.0, d)); }

double RoundAway(double x) { return x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5); }

// A whole number from a floored or truncated double, with the Long range check.
int32_t WholeOf(double v) { return CLng(v); }

double Range(double mn, double mx, double power, bool fromMax) {
    return zMath::RandomRange(ToSingle(mn), ToSingle(mx), ToSingle(power), fromMax);
}

uint32_t SeedOf(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return static_cast<uint32_t>(bits ^ (bits >> 32));
}

}  // namespace

ValueRef EngineBuiltin(int id, Frame& f, zScriptArgs& a) {
    const int32_t argc = a.Count();
    switch (id) {
        // ---- values and arrays
        case 0: {  // iif
            int32_t pick = Arg(a, 1).GetBool() ? 2 : 3;
            if (pick > argc) Raise(errSubscript);
            return a.At(pick);
        }
        case 1: {  // count
            zScriptValue& x = Arg(a, 1);
            if (x.Typ == typArray) {
                zScriptArray* arr = x.GetArray();
                if (!arr) Raise(errObjectNotSet);
                return Long(arr->Size());
            }
            return Long(static_cast<int32_t>(x.Data.ToText().size()));
        }
        case 2: {  // push
            zScriptArray* arr = ArrayArg(a, 1);
            ArrayRef keep = arr;
            ValueRef v(&Arg(a, 2));
            if (argc == 3) {
                arr->Insert(Whole(a, 3), v);
                return Empty();
            }
            return Long(arr->Add(v));
        }
        case 3: {  // pop
            zScriptArray* arr = ArrayArg(a, 1);
            ArrayRef keep = arr;
            if (argc == 2) {
                zScriptValue& k = Arg(a, 2);
                if (k.Typ != typStr) {
                    int32_t i = k.Data.ToLong();
                    ValueRef r = arr->GetIndex(i, 0);
                    arr->DeleteIndex(i, true);
                    return r;
                }
                std::string name = k.Data.ToText();
                ValueRef r = arr->GetName(name, 0);
                arr->DeleteName(name);
                return r;
            }
            // An empty array gives Nothing and stays empty.
            ValueRef r = arr->GetIndex(arr->Size(), 0);
            if (arr->Size() > 0) arr->DeleteIndex(arr->Size(), true);
            return r;
        }
        case 4: {  // indexName
            zScriptArray* arr = ArrayArg(a, 1);
            zScriptValue* e = arr->GetIndex(Whole(a, 2), 0);
            if (!e) Raise(errObjectNotSet);
            return Str(e->NameText());
        }
        // ---- text
        case 5: {  // asc
            std::string s = Text(a, 1);
            if (s.empty()) Raise(errInvalidCall);
            return Long(static_cast<uint8_t>(s[0]));
        }
        case 6: {  // chr
            int32_t n = Whole(a, 1);
            if (n < 0 || n > 255) Raise(errInvalidCall);
            return Str(std::string(1, static_cast<char>(static_cast<uint8_t>(n))));
        }
        case 7: return Str(UCase(Text(a, 1)));
        case 8: return Str(LCase(Text(a, 1)));
        case 9: {  // strrev
            std::string s = Text(a, 1);
            std::reverse(s.begin(), s.end());
            return Str(std::move(s));
        }
        case 10: {  // trim
            if (argc == 2) return Str(zScript.TrimChar(Arg(a, 1).GetString(), Arg(a, 2).GetString()));
            return Str(zScript.TrimChar(Text(a, 1), " "));
        }
        case 11: {  // repeat
            std::string s = Text(a, 1);
            int32_t n = Whole(a, 2);
            if (n <= 0 || s.empty()) return Str("");
            CheckText(s.size() * static_cast<size_t>(n));
            std::string out;
            out.reserve(s.size() * static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i) out += s;
            return Str(std::move(out));
        }
        case 12: return Long(static_cast<int32_t>(Text(a, 1).size()));
        case 13: {  // substr
            std::string s = Text(a, 1);
            int32_t start = Whole(a, 2);
            int32_t len = Whole(a, 3);
            if (start < 0 || len < 0) Raise(errInvalidCall);
            if (static_cast<size_t>(start) >= s.size()) return Str("");
            return Str(s.substr(static_cast<size_t>(start), static_cast<size_t>(len)));
        }
        case 14: return Str(ReplaceAll(Text(a, 3), Text(a, 1), Text(a, 2)));  // replace
        case 15: {  // trans
            std::string t = Text(a, 1);
            for (int32_t k = 1; k + 1 <= argc; ++k) {
                std::string ph = "[";
                ph.append(std::to_string(k)).append("]");
                if (t.find(ph) == std::string::npos) continue;
                t = ReplaceAll(t, ph, Arg(a, k + 1).GetString());
            }
            return Str(std::move(t));
        }
        case 16: return Long(FindFirst(Text(a, 1), Text(a, 2)));
        case 17: return Long(FindFirst(UCase(Text(a, 1)), UCase(Text(a, 2))));
        case 18: return Long(FindLast(Text(a, 1), Text(a, 2)));
        case 19: return Long(FindLast(UCase(Text(a, 1)), UCase(Text(a, 2))));
        // ---- mathematics
        case 20: return Float(std::sin(CheckFinite(Num(a, 1))));
        case 21: return Float(std::cos(CheckFinite(Num(a, 1))));
        case 22: return Float(std::tan(CheckFinite(Num(a, 1))));
        case 23: return Float(std::atan(Num(a, 1)));
        case 24: {  // asin
            double x = Num(a, 1);
            if (x == 1.0 || x == -1.0) return Float(double(zMath::PI_2) * x);
            return Float(ArcTail(x));
        }
        case 25: {  // acos
            double x = Num(a, 1);
            if (x == 1.0) return Float(0.0);
            if (x == -1.0) return Float(double(zMath::PI));
            return Float(double(zMath::PI_2) - ArcTail(x));
        }
        case 26: return Float(hv::Power(Arg(a, 1).Data, Arg(a, 2).Data).AsDouble());
        case 27: {  // sqr
            const HostValue& x = Arg(a, 1).Data;
            if (argc == 2) {
                double n = Num(a, 2);
                return Float(hv::Power(x, HostValue(Div(1.0, n))).AsDouble());
            }
            return Float(hv::Power(x, HostValue(0.5)).AsDouble());
        }
        case 28: return Float(std::fabs(Num(a, 1)));
        case 29: {
            double x = Num(a, 1);
            return Float(x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0);
        }
        case 30: {  // log
            // The logarithm keeps the name; a single text that is no number is
            // written to the log instead.
            if (argc == 1) {
                zScriptValue& x = Arg(a, 1);
                if (x.Data.Kind() == HK::String && !IsNumeric(x.Data.AsString())) {
                    Log(x.Data.AsString());
                    return Empty();
                }
            }
            double x = Num(a, 1);
            if (x <= 0) Raise(errInvalidCall);
            if (argc == 2) {
                double b = Num(a, 2);
                if (b <= 0) Raise(errInvalidCall);
                return Float(Div(std::log(x), std::log(b)));
            }
            return Float(std::log(x));
        }
        case 31: return Float(CheckFinite(std::exp(Num(a, 1))));
        case 32: {  // fac
            double x = Num(a, 1);
            ValueRef r = zScriptValue::New();
            if (x <= 0) {
                r->SetVar(HostValue(static_cast<int16_t>(0)));
                return r;
            }
            int32_t n = CLng(x);
            double p = 1.0;
            for (int32_t i = 2; i <= n; ++i) {
                p *= i;
                if (!std::isfinite(p)) Raise(errOverflow);
            }
            r->SetVar(HostValue(p));
            return r;
        }
        // ---- conversions
        case 33: return Str(hv::Hex(Arg(a, 1).Data));
        case 34: {  // hexdec
            double d;
            if (!ParseNumber("&H" + UCase(Text(a, 1)), d)) Raise(errTypeMismatch);
            return Long(CLng(d));
        }
        case 35: return Bool(argc == 1 ? Arg(a, 1).GetBool() : false);
        case 36: {
            ValueRef r = zScriptValue::New();
            r->SetByte(argc == 1 ? Arg(a, 1).GetByte() : uint8_t(0));
            return r;
        }
        case 37: return Long(argc == 1 ? Arg(a, 1).GetLong() : 0);
        case 38: {
            ValueRef r = zScriptValue::New();
            r->SetSingle(argc == 1 ? Arg(a, 1).GetSingle() : 0.0f);
            return r;
        }
        case 39: return Str(argc == 1 ? Text(a, 1) : std::string());
        case 40: {  // cvar
            ValueRef r = zScriptValue::New();
            r->SetVar(argc == 1 ? Arg(a, 1).Data : HostValue(std::string()));
            return r;
        }
        // ---- rounding
        case 41: {  // clip
            float v = Arg(a, 1).GetSingle(), mn = Arg(a, 2).GetSingle(), mx = Arg(a, 3).GetSingle();
            ValueRef r = zScriptValue::New();
            r->SetSingle(zMath::Clamp(v, mn, mx));
            return r;
        }
        case 42: {  // round
            double x = Num(a, 1);
            if (argc == 2) {
                int32_t d = Whole(a, 2);
                if (d < 0) Raise(errInvalidCall);
                double m = Pow10(d);
                return Float(RoundHalfEven(CheckFinite(x * m)) / m);
            }
            return Long(CLng(x));
        }
        case 43: {  // cround
            double x = Num(a, 1);
            ValueRef r = zScriptValue::New();
            if (argc == 2) {
                double m = Pow10(Whole(a, 2));
                r->SetVar(HostValue(CheckFinite(RoundAway(CheckFinite(x * m)) / m)));
                return r;
            }
            double w = RoundAway(CheckFinite(x));
            if (w == 0) w = 0;  // no "-0"
            char buf[400];
            std::snprintf(buf, sizeof buf, "%.0f", w);
            r->SetVar(HostValue(std::string(buf)));
            return r;
        }
        case 44:  // fix
            if (argc == 2) {
                double m = Pow10(Whole(a, 2));
                return Float(std::trunc(CheckFinite(Num(a, 1) * m)) / m);
            }
            return Long(WholeOf(std::trunc(Num(a, 1))));
        case 45:  // floor
            if (argc == 2) {
                double m = Pow10(Whole(a, 2));
                return Float(std::floor(CheckFinite(Num(a, 1) * m)) / m);
            }
            return Long(WholeOf(std::floor(Num(a, 1))));
        case 46:  // ceil
            if (argc == 2) {
                double m = Pow10(Whole(a, 2));
                return Float(-std::floor(CheckFinite(-Num(a, 1) * m)) / m);
            }
            return Long(WholeOf(std::ceil(Num(a, 1))));
        // ---- random
        case 47:  // srand
            if (argc == 0) SeedRandomFromClock();
            else SeedRandom(SeedOf(Num(a, 1)));
            return Empty();
        case 48: {  // rnd
            switch (argc) {
                case 0: return Float(Rnd());
                case 1: return Float(Range(0, Num(a, 1), 1, false));
                case 2: return Float(Range(Num(a, 1), Num(a, 2), 1, false));
                case 3: {
                    double p = Num(a, 3);
                    if (CLng(p) < 0) return Float(Range(Num(a, 1), Num(a, 2), -p, true));
                    return Float(Range(Num(a, 1), Num(a, 2), p, false));
                }
                default: return Empty();
            }
        }
        case 49: {  // rand
            switch (argc) {
                case 0: return Long(WholeOf(std::floor(double(Rnd()) + 1.0)));
                case 1: return Long(WholeOf(std::floor(Range(0, Num(a, 1) + 1, 1, false))));
                case 2: return Long(WholeOf(std::floor(Range(Num(a, 1), Num(a, 2) + 1, 1, false))));
                case 3: {
                    double p = Num(a, 3);
                    bool fromMax = CLng(p) < 0;
                    return Long(WholeOf(std::floor(Range(Num(a, 1), Num(a, 2) + 1, std::fabs(p), fromMax))));
                }
                default: return Empty();
            }
        }
        case 50: return Float(LastRnd());
        case 51: return Long(CLng(LastRnd()));
        // ---- debugging aids
        case 52: {  // deb
            if (argc < 1) Raise(errSubscript);
            zScriptValue* x = a[1];
            std::string title = f.cur.Caller ? f.cur.Caller->Name : std::string();
            return Long(ScriptMessageBox(x ? x->GetString() : "(not set)", title, kBoxOk));
        }
        case 53: {  // din
            std::string prompt = argc == 1 ? Arg(a, 1).GetString() : "Debug:";
            std::optional<std::string> r = ScriptInputBox(prompt, "");
            return Str(r ? *r : std::string());
        }
        case 54: {  // dump
            std::string text;
            if (argc < 1) {
                text = "No parameter given!";
            } else if (!a[1]) {
                text = "(not set)";
            } else {
                zScriptValue& x = *a[1];
                text = zScript.TypeName(x.Typ) + " " + x.NameText() + " = " + x.ToString(0);
            }
            return Long(ScriptMessageBox(text, "", kBoxOk));
        }
        case 55: {  // dumpenv
            int32_t level = 1;
            for (zScriptArray* s = f.cur.Values; s; s = s->Parent.get(), ++level) {
                ScriptMessageBox("[[Dump " + std::to_string(level) + "]]\r\n" + s->ToString(1), "", kBoxOk);
            }
            return Empty();
        }
        default: return Empty();
    }
}

}  // namespace run
}  // namespace zun
