// Small helpers shared by the text widgets.
#pragma once

#include <cmath>
#include <cstdint>

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

}  // namespace tarv
