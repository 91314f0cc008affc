// The settings of a biased random range as a storable object: configure a
// range once, store it with other data and draw from it later.
#pragma once

#include <cstdint>
#include <string>

#include "core/zInterfaces.h"

namespace zun {

class zStream;

class zRandom : public iClass, public iStream {
public:
    float Min = 0.0f;
    float Max = 1.0f;
    float Power = 1.0f;   // above 1 gathers draws near Min (near Max when inverted)
    bool Invert = false;  // measure the biased draw down from Max

    std::string ClassName() const override { return "zRandom"; }
    uint8_t ClassVersion() const override { return 1; }

    void Configure(float iMin, float iMax, float iPower = 1.0f, bool iInvert = false);
    // One draw from the program-wide random source.
    float GetValue() const;
    // Min, Max, Power (Singles), Invert (Bool): 13 bytes.
    bool Export(zStream& iData) override;
    // On a failure the settings are unchanged.
    bool Import(zStream& iData) override;
};

}  // namespace zun
