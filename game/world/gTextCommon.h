// Small helpers shared by the text widgets.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "core/zRuntime.h"
#include "devices/zFont.h"

namespace tarv {

// The font record of a handle; the empty record 0 (no texture, every width 0)
// for a handle that names no loaded font.
inline const zun::FontEntry& FontOf(int32_t iFont) {
    static const zun::FontEntry none{};
    if (iFont < 1 || iFont > zun::zFont.FontCount || size_t(iFont) >= zun::zFont.Fonts.size()) return none;
    return zun::zFont.Fonts[size_t(iFont)];
}

// To the nearest whole number (halves to even), held to the range of a Long;
// a value that is not a number gives 0. Sizes and positions handed to the
// widgets are the caller's: an absurd one must not bring the frame down.
inline int32_t SafeRound(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(zun::RoundHalfEven(v));
}

// Every occurrence of `what` replaced, left to right, without rescanning the
// replacement.
inline std::string ReplaceAll(std::string s, const std::string& what, const std::string& with) {
    size_t p = 0;
    while ((p = s.find(what, p)) != std::string::npos) {
        s.replace(p, what.size(), with);
        p += with.size();
    }
    return s;
}

}  // namespace tarv
