// Chunk-file loader on arbitrary bytes: table parse, object creation, linking,
// lookups and a save of what was loaded.
// fuzz-libs: zun_core
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "core/zValues.h"

using namespace zun;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        RegisterCoreClasses();
        return true;
    }();
    (void)ready;
    if (size > (1u << 20)) return 0;
    zCore.LogText.clear();  // the log keeps every line; don't let it grow across runs

    zStream s(std::vector<uint8_t>(data, data + size));
    zFile f;
    if (!f.LoadFromStream(&s)) return 0;
    f.ImportFromStreams();
    f.FindInstance("__Name");
    for (int32_t i = 1; i <= f.ChunkCount(); ++i) {
        auto c = f.GetChunk(i);
        if (auto v = std::dynamic_pointer_cast<zValues>(c->Instance)) {
            v->GetLong("x", 1);
            v->GetString("a", "b");
        }
    }
    f.ExportToStreams(true);
    zStream out;
    f.SaveToStream(&out);

    // Templates loaded from a file may form loops; break them so nothing leaks.
    for (int32_t i = 1; i <= f.ChunkCount(); ++i) {
        if (auto v = std::dynamic_pointer_cast<zValues>(f.GetChunk(i)->Instance)) v->Template.reset();
    }
    return 0;
}
