// A value that follows a queue of future keys (time, value) as a clock moves:
// the owner queues keys ahead of the current time and sets the time every
// frame; the value moves linearly from key to key and passed keys are dropped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/zInterfaces.h"

namespace zun {

class zLerpStream : public iClass {
public:
    int32_t Time = 0;       // the owner's unit (the game passes frame numbers)
    float Value = 0.0f;     // current raw value
    float ValueAdd = 0.0f;  // offset applied by GetValue
    float ValueMul = 1.0f;  // factor applied by GetValue
    int32_t PointCount = 0; // keys waiting; read-only for callers

    std::string ClassName() const override { return "zLerpStream"; }
    uint8_t ClassVersion() const override { return 1; }

    // Queues a key and returns PointCount, or 0 when iTime lies before Time.
    // On an empty queue a key of the current value at the current time goes in
    // first, so that the value starts moving from where it stands.
    int32_t AddPoint(int32_t iTime, float iValue, uint8_t iBlend = 0);
    // Value * ValueMul + ValueAdd.
    float GetValue() const;
    // Moves the clock to iTime and updates Value.
    void SetTime(int32_t iTime);

private:
    struct Key {
        int32_t time = 0;
        float value = 0.0f;
        uint8_t blend = 0;  // kept with the key; the value always moves linearly
    };
    // Index 0 is unused so that key k sits at index k.
    std::vector<Key> keys_{Key{}};

    int32_t Count() const;
};

}  // namespace zun
