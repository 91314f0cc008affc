// Loads arbitrary bytes as a data file image, with and without a key.
// fuzz-libs: zun_core
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/zCore.h"
#include "core/zDataFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    zun::zCore.LogText.clear();  // the log would otherwise grow across runs
    std::vector<uint8_t> file(data, data + size), out;
    zun::LoadDataBytes(file, out, "", "fuzz.dat");
    // An image flagged as encrypted is also tried with a key.
    if (size > 24 && (data[12] & 2)) zun::LoadDataBytes(file, out, "abc", "fuzz.dat");
    return 0;
}
