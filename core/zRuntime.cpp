#include "core/zRuntime.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/zCore.h"

namespace zun {

std::string ErrorDescription(int number) {
    switch (number) {
        case errReturnWithoutGosub: return "Return without GoSub";
        case errInvalidCall: return "Invalid procedure call or argument";
        case errOverflow: return "Overflow";
        case errOutOfMemory: return "Out of memory";
        case errSubscript: return "Subscript out of range";
        case errDivByZero: return "Division by zero";
        case errTypeMismatch: return "Type mismatch";
        case errOutOfStack: return "Out of stack space";
        case errFileNotFound: return "File not found";
        case errInputPastEnd: return "Input past end of file";
        case errPathNotFound: return "Path not found";
        case errObjectRequired: return "Object required";
        case errObjectNotSet: return "Object variable or With block variable not set";
        default: return "Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, ErrorDescription(number)) {}

void Raise(int number) { throw RuntimeError(number); }
void Raise(int number, const std::string& description) { throw RuntimeError(number, description); }

double Int(double v) { return std::floor(v); }

double RoundHalfEven(double v) {
    // nearbyint rounds to even under the default rounding mode, which nothing changes.
    return std::nearbyint(v);
}

int32_t CLng(double v) {
    if (!std::isfinite(v)) Raise(errOverflow);
    double r = RoundHalfEven(v);
    if (r < -2147483648.0 || r > 2147483647.0) Raise(errOverflow);
    return static_cast<int32_t>(r);
}

int16_t CInt(double v) {
    if (!std::isfinite(v)) Raise(errOverflow);
    double r = RoundHalfEven(v);
    if (r < -32768.0 || r > 32767.0) Raise(errOverflow);
    return static_cast<int16_t>(r);
}

uint8_t CByte(double v) {
    if (!std::isfinite(v)) Raise(errOverflow);
    double r = RoundHalfEven(v);
    if (r < 0.0 || r > 255.0) Raise(errOverflow);
    return static_cast<uint8_t>(r);
}

static int32_t CheckedLong(int64_t v) {
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) Raise(errOverflow);
    return static_cast<int32_t>(v);
}

int32_t AddLong(int32_t a, int32_t b) { return CheckedLong(int64_t(a) + b); }
int32_t SubLong(int32_t a, int32_t b) { return CheckedLong(int64_t(a) - b); }
int32_t MulLong(int32_t a, int32_t b) { return CheckedLong(int64_t(a) * b); }

uint8_t AddByte(uint8_t a, int b) {
    int v = int(a) + b;
    if (v < 0 || v > 255) Raise(errOverflow);
    return static_cast<uint8_t>(v);
}

int32_t IDiv(int32_t a, int32_t b) {
    if (b == 0) Raise(errDivByZero);
    return CheckedLong(int64_t(a) / b);
}

int32_t Mod(int32_t a, int32_t b) {
    if (b == 0) Raise(errDivByZero);
    return static_cast<int32_t>(int64_t(a) % b);
}

void RaiseZeroDivision(double a) {
    if (a == 0.0 || std::isnan(a)) Raise(errOverflow);
    Raise(errDivByZero);
}

// ---- number <-> text -------------------------------------------------------

static std::string ApplySeparator(std::string s) {
    const std::string& sep = zCore.DecimalSeparator;
    if (sep.empty() || sep == ".") return s;
    std::string out;
    out.reserve(s.size() + sep.size());
    for (char c : s) {
        if (c == '.') out += sep;
        else out += c;
    }
    return out;
}

static std::string FormatG(double v, int digits) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    if (v == 0.0) return "0";
    // As printf's "%.*G" writes it in the C locale: printf itself would take
    // the decimal point of whatever locale a library has set.
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    std::string s(buf, written.ptr);
    for (char& c : s)
        if (c == 'e') c = 'E';
    return ApplySeparator(std::move(s));
}

std::string FormatSingle(float v) { return FormatG(double(v), 7); }
std::string FormatDouble(double v) { return FormatG(v, 15); }
std::string FormatLong(int64_t v) { return std::to_string(v); }
std::string FormatBool(bool v) { return v ? "True" : "False"; }

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool ParseNumber(std::string_view text, double& out) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    if (b == e) return false;
    std::string s(text.substr(b, e - b));
    // Hexadecimal ("&H1F") and octal ("&O17") literals read as numbers too.
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        uint64_t v = 0;
        auto [p, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), v, base);
        if (ec != std::errc() || p != s.data() + s.size() || v > 0xFFFFFFFFull) return false;
        // Up to 4 hex digits is an Integer, more is a Long: both sign-extend.
        if (v <= 0xFFFF && s.size() - 2 <= (base == 16 ? 4u : 6u)) out = double(int16_t(uint16_t(v)));
        else out = double(int32_t(uint32_t(v)));
        return true;
    }
    bool neg = false;
    size_t i = 0;
    if (s[i] == '+' || s[i] == '-') {
        neg = s[i] == '-';
        ++i;
        while (i < s.size() && IsBlank(s[i])) ++i;
    }
    std::string num;
    const std::string& sep = zCore.DecimalSeparator;
    bool digits = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            num += c;
            digits = true;
        } else if (c == '.') {
            num += '.';
        } else if (!sep.empty() && sep != "." && s.compare(i, sep.size(), sep) == 0) {
            num += '.';
            i += sep.size() - 1;
        } else if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
            num += 'e';
        } else if ((c == '+' || c == '-') && !num.empty() && num.back() == 'e') {
            num += c;
        } else {
            return false;
        }
    }
    if (!digits) return false;
    double v = 0;
    auto [p, ec] = std::from_chars(num.data(), num.data() + num.size(), v, std::chars_format::general);
    if (p != num.data() + num.size()) return false;
    if (ec == std::errc::result_out_of_range) {
        // strtod tells overflow (infinite) from underflow (reads as zero),
        // in the C locale: in a library's locale it would stop at the ".".
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
        if (std::isinf(strtod_l(num.c_str(), nullptr, cLocale))) return false;
        v = 0.0;
    } else if (ec != std::errc()) {
        return false;
    }
    out = neg ? -v : v;
    return true;
}

bool IsNumeric(std::string_view text) {
    double d;
    return ParseNumber(text, d);
}

// ---- text ------------------------------------------------------------------

static const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Cp1252ToUnicode(uint8_t b) {
    if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
    return b;
}

static int UnicodeToCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return 0x80 + i;
    return -1;
}

std::u16string Cp1252ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (unsigned char c : s) out += Cp1252ToUnicode(c);
    return out;
}

std::string Utf16ToCp1252(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            ++i;  // a surrogate pair is one character, never in the code page
            out += '?';
            continue;
        }
        int b = UnicodeToCp1252(c);
        out += b < 0 ? '?' : char(b);
    }
    return out;
}

static void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string Cp1252ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) AppendUtf8(out, Cp1252ToUnicode(c));
    return out;
}

std::string Utf8ToCp1252(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        char32_t cp;
        int len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
        else { out += '?'; ++i; continue; }
        if (i + len > s.size()) { out += '?'; break; }
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            unsigned char cc = s[i + k];
            if ((cc & 0xC0) != 0x80) { ok = false; break; }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) { out += '?'; ++i; continue; }
        i += len;
        int b = UnicodeToCp1252(cp);
        out += b < 0 ? '?' : char(b);
    }
    return out;
}

static unsigned char Upper1252(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0x9A) return 0x8A;  // š
    if (c == 0x9C) return 0x8C;  // œ
    if (c == 0x9E) return 0x8E;  // ž
    if (c == 0xFF) return 0x9F;  // ÿ
    return c;
}

static unsigned char Lower1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x8A) return 0x9A;
    if (c == 0x8C) return 0x9C;
    if (c == 0x8E) return 0x9E;
    if (c == 0x9F) return 0xFF;
    return c;
}

std::string UCase(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = char(Upper1252((unsigned char)c));
    return out;
}

std::string LCase(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = char(Lower1252((unsigned char)c));
    return out;
}

// ---- random ----------------------------------------------------------------

namespace {
struct RandomState {
    uint32_t x = 0x50000;
    float last = 0.0f;
};
RandomState gRandom;
}  // namespace

float Rnd() {
    gRandom.x = (gRandom.x * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    gRandom.last = float(gRandom.x) / 16777216.0f;
    return gRandom.last;
}

float LastRnd() { return gRandom.last; }

void SeedRandom(uint32_t seed) { gRandom.x = seed & 0xFFFFFFu; }

namespace {
std::function<int32_t()>& TickSource() {
    static std::function<int32_t()> source;
    return source;
}
}  // namespace

void SetTickSource(std::function<int32_t()> iSource) { TickSource() = std::move(iSource); }

void SeedRandomFromClock() {
    if (const auto& source = TickSource()) {
        SeedRandom(uint32_t(source()));
        return;
    }
    auto now = std::chrono::system_clock::now().time_since_epoch();
    SeedRandom(uint32_t(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
}

int32_t GetTickCount() {
    if (const auto& source = TickSource()) return source();
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    uint64_t ms = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    return int32_t(uint32_t(ms));
}

}  // namespace zun
