// Loads arbitrary bytes as a data file image after making its header agree
// with them: the stored size and CRC are corrected, and a packed payload's
// stated plain size is taken from its trailer, so random bytes get past the
// integrity checks into decryption and unpacking.
// fuzz-libs: zun_core
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/zCore.h"
#include "core/zDataFile.h"

namespace {

void PutLE32(uint8_t* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t ReadLE32(const uint8_t* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= uint32_t(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zun;
    if (size > (1u << 20)) return 0;
    zCore.LogText.clear();
    std::vector<uint8_t> file(data, data + size);
    if (file.size() < DataFileHeaderSize + 1) file.resize(DataFileHeaderSize + 1, 0);
    uint8_t* h = file.data();
    const uint8_t* stored = h + DataFileHeaderSize;
    const size_t n = file.size() - DataFileHeaderSize;
    std::memcpy(h, "ZUN2", 4);
    PutLE32(h + 4, static_cast<int32_t>(n - 1));
    PutLE32(h + 8, CRC32(stored, n));
    const int32_t flags = ReadLE32(h + 12) & (DataFlagPacked | DataFlagEncrypted);
    PutLE32(h + 12, flags);
    // Unencrypted packed bytes carry their plain size in the trailer; the
    // header must state the same for unpacking to be tried.
    if ((flags == DataFlagPacked) && n >= 4) PutLE32(h + 16, ReadLE32(stored + n - 4) - 1);
    std::vector<uint8_t> out;
    LoadDataBytes(file, out, "", "fuzz.dat");
    if (flags & DataFlagEncrypted) LoadDataBytes(file, out, "abc", "fuzz.dat");
    return 0;
}
