// The time of day that the text effects and the rune circle animate by:
// seconds since midnight with their fraction, as the script global "_time"
// reports it. Tests put a fixed clock in Source.
#pragma once

#include <functional>

namespace tarv {

struct mClockModule {
    // Seconds since local midnight; empty = the system clock.
    std::function<double()> Source;

    double Timer() const;
};
extern mClockModule mClock;

}  // namespace tarv
