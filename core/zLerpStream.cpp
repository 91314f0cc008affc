#include "core/zLerpStream.h"

#include <algorithm>

#include "core/zRuntime.h"

namespace zun {

int32_t zLerpStream::Count() const {
    return std::clamp<int32_t>(PointCount, 0, static_cast<int32_t>(keys_.size()) - 1);
}

int32_t zLerpStream::AddPoint(int32_t iTime, float iValue, uint8_t iBlend) {
    if (iTime < Time) return 0;
    int32_t n = Count();
    keys_.resize(size_t(n) + 1);
    if (n == 0 && iValue != Value) keys_.push_back(Key{Time, Value, 0});
    keys_.push_back(Key{iTime, iValue, iBlend});
    n = static_cast<int32_t>(keys_.size()) - 1;
    // Stable insertion by time: equal times keep the order they were queued in.
    for (int32_t k = 2; k <= n; ++k) {
        for (int32_t i = k; i > 1 && keys_[i - 1].time > keys_[i].time; --i) std::swap(keys_[i - 1], keys_[i]);
    }
    PointCount = n;
    return PointCount;
}

float zLerpStream::GetValue() const { return ToSingle(double(Value) * ValueMul + ValueAdd); }

void zLerpStream::SetTime(int32_t iTime) {
    Time = iTime;
    const int32_t n = Count();
    if (n == 0) return;
    if (Time < keys_[1].time) return;
    int32_t current = n;
    if (Time > keys_[n].time) {
        Value = keys_[n].value;
    } else {
        int32_t i = 1;
        while (i <= n - 1 && !(Time <= keys_[i + 1].time)) ++i;
        if (i > n - 1) {
            Value = keys_[n].value;  // a single key reached exactly
        } else {
            const Key& a = keys_[i];
            const Key& b = keys_[i + 1];
            // Two keys at one time make a step: the later key's value holds.
            if (b.time == a.time)
                Value = b.value;
            else
                Value = ToSingle(a.value + (double(b.value) - a.value) * (double(Time) - a.time) /
                                               (double(b.time) - a.time));
            current = i;
        }
    }
    if (current >= 2) {
        keys_.erase(keys_.begin() + 1, keys_.begin() + current);
        int32_t left = n - (current - 1);
        // A lone last key has been reached: the queue is done.
        if (left == 1) left = 0;
        keys_.resize(size_t(left) + 1);
        PointCount = left;
    }
}

}  // namespace zun
