// The compiled-script listing on arbitrary bytes: as a function body and as a
// class chunk read through the stream readers.
// fuzz-libs: zun_zsc zun_core
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/zCore.h"
#include "core/zStream.h"
#include "tools/zsc/zscDisasm.h"
#include "tools/zsc/zscWriter.h"

// The listing recurses as deep as a body nests, and the sanitizer keeps the
// call stack of every allocation for the whole run: with whole stacks, the
// many ways bodies nest make new ones without end, gigabytes within minutes.
// Eight frames still show where an allocation was made.
extern "C" const char* __asan_default_options() { return "malloc_context_size=8"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (64u << 10)) return 0;  // each byte can become a listing line
    zun::zCore.LogText.clear();
    std::vector<uint8_t> bytes(data, data + size);
    (void)zun::zsc::DisasmBody(bytes);
    zun::zStream s(bytes);
    zun::zsc::ClassRecord c;
    try {
        zun::zsc::ImportClass(s, c);
    } catch (const std::exception&) {
        return 0;
    }
    (void)zun::zsc::DisasmClass(c);
    return 0;
}
