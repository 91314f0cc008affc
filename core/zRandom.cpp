#include "core/zRandom.h"

#include "core/zCore.h"
#include "core/zMath.h"
#include "core/zStream.h"

namespace zun {

void zRandom::Configure(float iMin, float iMax, float iPower, bool iInvert) {
    Min = iMin;
    Max = iMax;
    Power = iPower;
    Invert = iInvert;
}

float zRandom::GetValue() const { return zMath::RandomRange(Min, Max, Power, Invert); }

bool zRandom::Export(zStream& iData) {
    zCore.CurrentProc = "Random_Export";
    iData.WriteSingle(Min);
    iData.WriteSingle(Max);
    iData.WriteSingle(Power);
    iData.WriteBool(Invert);
    return true;
}

bool zRandom::Import(zStream& iData) {
    zCore.CurrentProc = "Random_Import";
    float min = 0.0f, max = 0.0f, power = 0.0f;
    bool invert = false;
    iData.ReadSingle(min);
    iData.ReadSingle(max);
    iData.ReadSingle(power);
    iData.ReadBool(invert);
    Configure(min, max, power, invert);
    return true;
}

}  // namespace zun
