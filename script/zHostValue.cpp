#include "script/zHostValue.h"

#include <cfloat>
#include <cmath>
#include <vector>

#include "core/zRuntime.h"

namespace zun {

namespace {

[[noreturn]] void Mismatch() { Raise(errTypeMismatch); }

double ParseOrFail(const std::string& s) {
    double d;
    if (!ParseNumber(s, d)) Mismatch();
    return d;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

// ---- conversions ---------------------------------------------------------------

double HostValue::ToDouble() const {
    switch (k_) {
        case HK::Empty: return 0.0;
        case HK::Bool: return u_.b ? -1.0 : 0.0;
        case HK::Byte: return u_.by;
        case HK::Integer: return u_.i;
        case HK::Long: return u_.l;
        case HK::Single: return u_.f;
        case HK::Double: return u_.d;
        case HK::String: return ParseOrFail(u_.s);
        default: Mismatch();
    }
}

bool HostValue::ToBool() const {
    switch (k_) {
        case HK::Empty: return false;
        case HK::Bool: return u_.b;
        case HK::Byte: return u_.by != 0;
        case HK::Integer: return u_.i != 0;
        case HK::Long: return u_.l != 0;
        case HK::Single: return u_.f != 0.0f;
        case HK::Double: return u_.d != 0.0;
        case HK::String: {
            if (u_.s.empty()) return false;
            if (EqualsNoCase(u_.s, "True")) return true;
            if (EqualsNoCase(u_.s, "False")) return false;
            return ParseOrFail(u_.s) != 0.0;
        }
        default: Mismatch();
    }
}

uint8_t HostValue::ToByte() const {
    if (k_ == HK::Byte) return u_.by;
    return CByte(ToDouble());
}

int16_t HostValue::ToInteger() const {
    if (k_ == HK::Integer) return u_.i;
    return CInt(ToDouble());
}

int32_t HostValue::ToLong() const {
    switch (k_) {
        case HK::Long: return u_.l;
        case HK::Integer: return u_.i;
        case HK::Byte: return u_.by;
        case HK::Bool: return u_.b ? -1 : 0;
        case HK::Empty: return 0;
        default: return CLng(ToDouble());
    }
}

float HostValue::ToSingle() const {
    switch (k_) {
        case HK::Single: return u_.f;
        case HK::Double: return zun::ToSingle(u_.d);
        case HK::String: return zun::ToSingle(ParseOrFail(u_.s));
        default: return static_cast<float>(ToDouble());
    }
}

std::string HostValue::ToText() const {
    switch (k_) {
        case HK::Empty: return std::string();
        case HK::Bool: return FormatBool(u_.b);
        case HK::Byte: return FormatLong(u_.by);
        case HK::Integer: return FormatLong(u_.i);
        case HK::Long: return FormatLong(u_.l);
        case HK::Single: return FormatSingle(u_.f);
        case HK::Double: return FormatDouble(u_.d);
        case HK::String: return u_.s;
        default: Mismatch();
    }
}

bool HostValue::TextIsEmpty() const {
    switch (k_) {
        case HK::Empty: return true;
        case HK::String: return u_.s.empty();
        case HK::Array:
        case HK::Object: Mismatch();
        default: return false;
    }
}

// ---- arithmetic ------------------------------------------------------------------

namespace hv {
namespace {

// An operand taken as a number: integer kinds in i, Single and Double in d.
struct Num {
    HK k;
    int64_t i = 0;
    double d = 0.0;
};

Num ToNum(const HostValue& v) {
    switch (v.Kind()) {
        case HK::Empty: return {HK::Empty};
        case HK::Bool: return {HK::Integer, v.AsBool() ? -1 : 0};
        case HK::Byte: return {HK::Byte, v.AsByte()};
        case HK::Integer: return {HK::Integer, v.AsInteger()};
        case HK::Long: return {HK::Long, v.AsLong()};
        case HK::Single: return {HK::Single, 0, v.AsSingle()};
        case HK::Double: return {HK::Double, 0, v.AsDouble()};
        case HK::String: return {HK::Double, 0, ParseOrFail(v.AsString())};
        default: Mismatch();
    }
}

bool IsWhole(HK k) { return k == HK::Byte || k == HK::Integer || k == HK::Long; }
double AsD(const Num& n) { return IsWhole(n.k) ? double(n.i) : n.d; }

// Empty takes the other side's kind; two Empty are two 16-bit zeros.
void Settle(Num& a, Num& b) {
    if (a.k == HK::Empty && b.k == HK::Empty) {
        a.k = b.k = HK::Integer;
    } else if (a.k == HK::Empty) {
        a = Num{b.k};
    } else if (b.k == HK::Empty) {
        b = Num{a.k};
    }
}

HK Wider(HK a, HK b) {
    if ((a == HK::Single && b == HK::Long) || (a == HK::Long && b == HK::Single)) return HK::Double;
    return a > b ? a : b;
}

// A whole result in the smallest kind at or above `from` that holds it.
HostValue FitWhole(int64_t r, HK from) {
    if (from == HK::Byte && r >= 0 && r <= 255) return HostValue(static_cast<uint8_t>(r));
    if (from <= HK::Integer && r >= INT16_MIN && r <= INT16_MAX) return HostValue(static_cast<int16_t>(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return HostValue(static_cast<int32_t>(r));
    return HostValue(static_cast<double>(r));
}

HostValue FitFloat(double r, HK k) {
    if (k == HK::Single) {
        if (std::isfinite(r) && std::fabs(r) <= double(FLT_MAX)) return HostValue(static_cast<float>(r));
    }
    return HostValue(CheckFinite(r));
}

enum class Op { Add, Sub, Mul };

HostValue Arith(const HostValue& av, const HostValue& bv, Op op) {
    Num a = ToNum(av), b = ToNum(bv);
    Settle(a, b);
    HK k = Wider(a.k, b.k);
    if (IsWhole(k)) {
        int64_t r = op == Op::Add ? a.i + b.i : op == Op::Sub ? a.i - b.i : a.i * b.i;
        return FitWhole(r, k);
    }
    double x = AsD(a), y = AsD(b);
    double r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
    return FitFloat(r, k);
}

}  // namespace

// A Double with a Long or a Double: the result is a Double (the common case of
// sums that outgrew the Long range).
bool DoublePair(const HostValue& a, const HostValue& b, double& x, double& y) {
    HK ka = a.Kind(), kb = b.Kind();
    if ((ka != HK::Double && ka != HK::Long) || (kb != HK::Double && kb != HK::Long)) return false;
    if (ka != HK::Double && kb != HK::Double) return false;
    x = ka == HK::Double ? a.AsDouble() : a.AsLong();
    y = kb == HK::Double ? b.AsDouble() : b.AsLong();
    return true;
}

HostValue Add(const HostValue& a, const HostValue& b) {
    // The common cases first: two Longs, a Double with a Long.
    if (a.Kind() == HK::Long && b.Kind() == HK::Long) return FitWhole(int64_t(a.AsLong()) + b.AsLong(), HK::Long);
    double x, y;
    if (DoublePair(a, b, x, y)) return HostValue(CheckFinite(x + y));
    return Arith(a, b, Op::Add);
}
HostValue Sub(const HostValue& a, const HostValue& b) {
    if (a.Kind() == HK::Long && b.Kind() == HK::Long) return FitWhole(int64_t(a.AsLong()) - b.AsLong(), HK::Long);
    double x, y;
    if (DoublePair(a, b, x, y)) return HostValue(CheckFinite(x - y));
    return Arith(a, b, Op::Sub);
}
HostValue Mul(const HostValue& a, const HostValue& b) { return Arith(a, b, Op::Mul); }

HostValue Divide(const HostValue& av, const HostValue& bv) {
    Num a = ToNum(av), b = ToNum(bv);
    Settle(a, b);
    auto small = [](HK k) { return k == HK::Byte || k == HK::Integer || k == HK::Single; };
    double q = Div(AsD(a), AsD(b));
    if (small(a.k) && small(b.k)) return FitFloat(q, HK::Single);
    return HostValue(q);
}

HostValue Power(const HostValue& av, const HostValue& bv) {
    double x = av.ToDouble(), y = bv.ToDouble();
    if (x < 0.0 && y != std::floor(y)) Raise(errInvalidCall);
    if (x == 0.0 && y < 0.0) Raise(errDivByZero);
    return HostValue(CheckFinite(std::pow(x, y)));
}

int32_t ModLong(const HostValue& a, const HostValue& b) { return Mod(a.ToLong(), b.ToLong()); }
int32_t AndLong(const HostValue& a, const HostValue& b) { return a.ToLong() & b.ToLong(); }
int32_t OrLong(const HostValue& a, const HostValue& b) { return a.ToLong() | b.ToLong(); }

HostValue Negate(const HostValue& a) {
    switch (a.Kind()) {
        case HK::Empty: return HostValue(int16_t(0));
        case HK::Single: return HostValue(-a.AsSingle());
        case HK::Double: return HostValue(-a.AsDouble());
        case HK::String: return HostValue(-ParseOrFail(a.AsString()));
        default: {
            Num n = ToNum(a);
            // A negated Byte cannot stay a Byte.
            return FitWhole(-n.i, n.k == HK::Byte ? HK::Integer : n.k);
        }
    }
}

HostValue BitNot(const HostValue& a) {
    switch (a.Kind()) {
        case HK::Empty: return HostValue(int16_t(-1));
        case HK::Bool: return HostValue(!a.AsBool());
        case HK::Byte: return HostValue(static_cast<uint8_t>(~a.AsByte()));
        case HK::Integer: return HostValue(static_cast<int16_t>(~a.AsInteger()));
        case HK::Long: return HostValue(static_cast<int32_t>(~a.AsLong()));
        default: return HostValue(static_cast<int32_t>(~CLng(a.ToDouble())));
    }
}

int Compare(const HostValue& a, const HostValue& b) {
    HK ka = a.Kind(), kb = b.Kind();
    if (a.IsReference() || b.IsReference()) Mismatch();
    if (ka == HK::String || kb == HK::String) {
        if (ka != HK::String && ka != HK::Empty) return -1;  // a number is below any text
        if (kb != HK::String && kb != HK::Empty) return 1;
        static const std::string empty;
        const std::string& x = ka == HK::String ? a.AsString() : empty;
        const std::string& y = kb == HK::String ? b.AsString() : empty;
        int c = x.compare(y);  // char_traits<char> compares as unsigned bytes
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (ka == HK::Long && kb == HK::Long) {
        return a.AsLong() < b.AsLong() ? -1 : a.AsLong() > b.AsLong() ? 1 : 0;
    }
    double x = a.ToDouble(), y = b.ToDouble();
    return x < y ? -1 : x > y ? 1 : 0;
}

std::string Hex(const HostValue& a) {
    uint32_t v;
    switch (a.Kind()) {
        case HK::Empty: return "0";
        case HK::Bool: v = a.AsBool() ? 0xFFFFu : 0u; break;
        case HK::Byte: v = a.AsByte(); break;
        case HK::Integer: v = static_cast<uint16_t>(a.AsInteger()); break;
        case HK::Long: v = static_cast<uint32_t>(a.AsLong()); break;
        default: v = static_cast<uint32_t>(CLng(a.ToDouble())); break;
    }
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), digits[v & 15u]);
        v >>= 4;
    } while (v);
    return out;
}

}  // namespace hv

// ---- pattern match ---------------------------------------------------------------

namespace {

struct Token {
    enum Kind { Char, Any, Digit, Set, Star } kind = Char;
    unsigned char c = 0;
    bool negate = false;
    std::vector<std::pair<unsigned char, unsigned char>> ranges;

    bool Matches(unsigned char x) const {
        switch (kind) {
            case Char: return x == c;
            case Any: return true;
            case Digit: return x >= '0' && x <= '9';
            case Set: {
                bool in = false;
                for (auto& r : ranges) {
                    if (x >= r.first && x <= r.second) {
                        in = true;
                        break;
                    }
                }
                return in != negate;
            }
            default: return false;
        }
    }
};

std::vector<Token> ParsePattern(std::string_view p) {
    std::vector<Token> out;
    for (size_t i = 0; i < p.size(); ++i) {
        unsigned char ch = static_cast<unsigned char>(p[i]);
        Token t;
        t.kind = Token::Char;
        if (ch == '?') {
            t.kind = Token::Any;
        } else if (ch == '#') {
            t.kind = Token::Digit;
        } else if (ch == '*') {
            if (!out.empty() && out.back().kind == Token::Star) continue;
            t.kind = Token::Star;
        } else if (ch == '[') {
            size_t j = i + 1;
            t.kind = Token::Set;
            if (j < p.size() && p[j] == '!') {
                t.negate = true;
                ++j;
            }
            size_t start = j;
            while (j < p.size() && p[j] != ']') {
                unsigned char lo = static_cast<unsigned char>(p[j]);
                // "a-f" is a range; a "-" first or last in the list is itself.
                if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
                    unsigned char hi = static_cast<unsigned char>(p[j + 2]);
                    if (hi < lo) Raise(93, "Invalid pattern string");
                    t.ranges.emplace_back(lo, hi);
                    j += 3;
                } else {
                    t.ranges.emplace_back(lo, lo);
                    ++j;
                }
            }
            if (j >= p.size()) Raise(93, "Invalid pattern string");
            i = j;
            // "[]" matches no character at all: it is left out.
            if (j == start && !t.negate) continue;
        } else {
            t.c = ch;
        }
        out.push_back(std::move(t));
    }
    return out;
}

}  // namespace

namespace {

// A segment of plain characters: Knuth-Morris-Pratt, linear in the text and
// the segment together, however long the segment.
size_t FindLiteral(const std::vector<Token>& toks, size_t b, size_t e, std::string_view text, size_t from,
                   size_t limit) {
    const size_t k = e - b;
    std::vector<size_t> fail(k, 0);
    for (size_t i = 1, j = 0; i < k; ++i) {
        while (j > 0 && toks[b + i].c != toks[b + j].c) j = fail[j - 1];
        if (toks[b + i].c == toks[b + j].c) ++j;
        fail[i] = j;
    }
    for (size_t t = from, j = 0; t < limit; ++t) {
        const unsigned char x = static_cast<unsigned char>(text[t]);
        while (j > 0 && x != toks[b + j].c) j = fail[j - 1];
        if (x == toks[b + j].c) ++j;
        if (j == k) return t + 1 - k;
    }
    return SIZE_MAX;
}

// Where the tokens [b, e) first match the text wholly inside [from, limit), as
// the start index; SIZE_MAX when nowhere. A segment with wildcards goes by
// Shift-And over bit masks: each text byte is looked at once, at a cost of
// one machine word per 64 tokens of the segment.
size_t FindSegment(const std::vector<Token>& toks, size_t b, size_t e, std::string_view text, size_t from,
                   size_t limit) {
    const size_t k = e - b;
    if (k == 0) return from;
    if (limit < from || limit - from < k) return SIZE_MAX;
    bool literal = true;
    for (size_t i = b; i < e && literal; ++i) literal = toks[i].kind == Token::Char;
    if (literal) return FindLiteral(toks, b, e, text, from, limit);
    const size_t words = (k + 63) / 64;
    // One mask row per byte value; a pattern too long for its table is refused
    // rather than allowed to take gigabytes.
    constexpr size_t kMaxTableWords = size_t(16) << 20;
    if (words > kMaxTableWords / 256) Raise(errOutOfMemory);
    std::vector<uint64_t> masks(256 * words, 0);
    for (size_t i = 0; i < k; ++i) {
        const Token& t = toks[b + i];
        const uint64_t bit = uint64_t(1) << (i % 64);
        const size_t w = i / 64;
        if (t.kind == Token::Char) {
            masks[t.c * words + w] |= bit;
        } else {
            for (unsigned x = 0; x < 256; ++x) {
                if (t.Matches(static_cast<unsigned char>(x))) masks[x * words + w] |= bit;
            }
        }
    }
    std::vector<uint64_t> state(words, 0);
    const uint64_t last = uint64_t(1) << ((k - 1) % 64);
    for (size_t j = from; j < limit; ++j) {
        const uint64_t* row = &masks[static_cast<unsigned char>(text[j]) * words];
        uint64_t carry = 1;
        for (size_t w = 0; w < words; ++w) {
            const uint64_t d = state[w];
            state[w] = ((d << 1) | carry) & row[w];
            carry = d >> 63;
        }
        if (state[words - 1] & last) return j + 1 - k;
    }
    return SIZE_MAX;
}

bool MatchesAt(const std::vector<Token>& toks, size_t b, size_t e, std::string_view text, size_t at) {
    for (size_t i = b; i < e; ++i) {
        if (!toks[i].Matches(static_cast<unsigned char>(text[at + i - b]))) return false;
    }
    return true;
}

}  // namespace

// The pattern is split at its stars: the part before the first star is tied
// to the start of the text, the part after the last star to its end, and each
// part between is placed at its leftmost fit after the one before. Taking the
// leftmost fit never loses a match (a later star can swallow whatever an
// earlier choice skipped), so no choice is ever revisited.
bool LikeMatch(std::string_view text, std::string_view pattern) {
    const std::vector<Token> toks = ParsePattern(pattern);
    const size_t n = text.size(), m = toks.size();
    std::vector<size_t> stars;
    for (size_t i = 0; i < m; ++i) {
        if (toks[i].kind == Token::Star) stars.push_back(i);
    }
    if (stars.empty()) return n == m && MatchesAt(toks, 0, m, text, 0);
    const size_t head = stars.front();
    const size_t tailBegin = stars.back() + 1, tail = m - tailBegin;
    if (head + tail > n) return false;
    if (!MatchesAt(toks, 0, head, text, 0)) return false;
    if (!MatchesAt(toks, tailBegin, m, text, n - tail)) return false;
    size_t pos = head;
    const size_t limit = n - tail;
    for (size_t s = 0; s + 1 < stars.size(); ++s) {
        const size_t b = stars[s] + 1, e = stars[s + 1];
        const size_t at = FindSegment(toks, b, e, text, pos, limit);
        if (at == SIZE_MAX) return false;
        pos = at + (e - b);
    }
    return true;
}

}  // namespace zun
