// The value store's Import on arbitrary bytes. What imports must export and
// import again to the same bytes.
// fuzz-libs: zun_core
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/zCore.h"
#include "core/zStream.h"
#include "core/zValues.h"

using namespace zun;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    zCore.LogText.clear();

    zStream s(std::vector<uint8_t>(data, data + size));
    zValues v;
    const bool ok = v.Import(s);
    v.GetString("a", "d");
    v.GetLong("n", 3);
    v.GetSingle("Speed", 1.0f);
    v.GetByte("b", 2);
    v.FormatText("[a][n][Speed][b]");
    v.SetLong("n", 5);
    v.SetLong("n", 0);
    if (!ok) return 0;

    zStream first;
    v.Export(first);
    zValues w;
    if (!w.Import(first)) std::abort();
    zStream second;
    w.Export(second);
    if (first.Bytes() != second.Bytes()) std::abort();
    w.SortNames();
    return 0;
}
