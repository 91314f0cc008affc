// The script compiler on arbitrary text: lexer, parser and emitter must answer
// with a compiled unit or an error, never crash, hang or run out of memory.
// Includes are refused: random text must not read files.
// fuzz-libs: zun_zsc zun_core
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/zCore.h"
#include "tools/zsc/zscCompiler.h"
#include "tools/zsc/zscDisasm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (256u << 10)) return 0;
    zun::zCore.LogText.clear();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto r = zun::zsc::CompileText(text, "fuzz.zs", "", false);
    (void)r.Diag.FormatAll();
    // What compiles must also list cleanly.
    for (const auto& c : r.Classes) (void)zun::zsc::DisasmClass(c);
    return 0;
}
