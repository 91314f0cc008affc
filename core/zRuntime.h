// Runtime rules shared by the whole program: the failure type, whole-number
// conversions (round half to even; out of range is "Overflow"), number <-> text,
// the Windows-1252 text model and the program-wide random source.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zun {

// Run-time error numbers: stored files and scripts can see them, so they stay
// as they are; the description is what logs print.
enum ErrNo : int {
    errReturnWithoutGosub = 3,
    errInvalidCall = 5,
    errOverflow = 6,
    errOutOfMemory = 7,
    errSubscript = 9,
    errDivByZero = 11,
    errTypeMismatch = 13,
    errOutOfStack = 28,
    errFileNotFound = 53,
    errInputPastEnd = 62,
    errPathNotFound = 76,
    errObjectRequired = 424,
    errObjectNotSet = 91,
};

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, std::string description)
        : std::runtime_error(description), Number(number), Description(std::move(description)) {}
    explicit RuntimeError(int number);
    int Number;
    std::string Description;
};

// Standard description of an error number ("Overflow", ...).
std::string ErrorDescription(int number);
[[noreturn]] void Raise(int number);
[[noreturn]] void Raise(int number, const std::string& description);

// ---- whole numbers -------------------------------------------------------
// Int(x): floor. CLng/CInt/CByte: nearest, exact halves to the even neighbour,
// "Overflow" when out of range or not finite.
double Int(double v);
double RoundHalfEven(double v);
int32_t CLng(double v);
int16_t CInt(double v);
uint8_t CByte(double v);

// Checked arithmetic for places where overflow must fail rather than wrap.
int32_t AddLong(int32_t a, int32_t b);
int32_t SubLong(int32_t a, int32_t b);
int32_t MulLong(int32_t a, int32_t b);
uint8_t AddByte(uint8_t a, int b);
// Integer division and Mod with operands already whole; "Division by zero" on 0.
int32_t IDiv(int32_t a, int32_t b);
int32_t Mod(int32_t a, int32_t b);
// These three run for every coordinate that is drawn, so they are inline
// with only their failures out of line.
[[noreturn]] void RaiseZeroDivision(double a);  // the failure of a / 0
// Fails with "Overflow" when the value is not finite (an infinite or NaN result).
inline double CheckFinite(double v) {
    if (!std::isfinite(v)) [[unlikely]]
        Raise(errOverflow);
    return v;
}
// Float division with its checks: x/0 is "Division by zero", 0/0 "Overflow".
inline double Div(double a, double b) {
    if (b == 0.0) [[unlikely]]
        RaiseZeroDivision(a);
    return CheckFinite(a / b);
}
// Rounds to float; "Overflow" when out of float range (NaN included).
inline float ToSingle(double v) {
    if (!(std::fabs(v) <= double(std::numeric_limits<float>::max()))) [[unlikely]]
        Raise(errOverflow);
    return static_cast<float>(v);
}

// ---- number <-> text -----------------------------------------------------
// Text forms use the current decimal separator (zCore.DecimalSeparator).
std::string FormatSingle(float v);    // at most 7 significant digits
std::string FormatDouble(double v);   // at most 15 significant digits
std::string FormatLong(int64_t v);
std::string FormatBool(bool v);       // "True" / "False"
// Parses a number written with "." or the current decimal separator, leading and
// trailing blanks allowed, also "&H" hex. Returns false when the text is not a number.
bool ParseNumber(std::string_view text, double& out);
bool IsNumeric(std::string_view text);

// ---- text ------------------------------------------------------------------
// Strings are Windows-1252 bytes: one byte is one character.
std::u16string Cp1252ToUtf16(std::string_view s);
std::string Utf16ToCp1252(std::u16string_view s);   // unmappable -> '?'
std::string Cp1252ToUtf8(std::string_view s);
std::string Utf8ToCp1252(std::string_view s);       // unmappable or invalid -> '?'
char16_t Cp1252ToUnicode(uint8_t b);
std::string UCase(std::string_view s);  // Windows-1252 aware
std::string LCase(std::string_view s);

// ---- random ----------------------------------------------------------------
// One program-wide source: a 24-bit linear congruential generator whose values
// are exactly representable as float and always below 1.
float Rnd();
float LastRnd();
void SeedRandom(uint32_t seed);
void SeedRandomFromClock();

// ---- clock -----------------------------------------------------------------
// Milliseconds of a monotonic clock, wrapping like a 32-bit tick count.
int32_t GetTickCount();
// Puts a virtual clock in place of the system's for GetTickCount and for the
// seed SeedRandomFromClock takes, so that a scripted run plays the same on
// any machine; an empty source gives the system's clock back.
void SetTickSource(std::function<int32_t()> iSource);

}  // namespace zun
