#include "game/world/mClock.h"

#include <chrono>
#include <ctime>

namespace tarv {

mClockModule mClock;

double mClockModule::Timer() const {
    if (Source) return Source();
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const double frac = double(duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000) / 1e6;
    return double(local.tm_hour) * 3600.0 + double(local.tm_min) * 60.0 + double(local.tm_sec) + frac;
}

}  // namespace tarv
