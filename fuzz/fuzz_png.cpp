// The PNG loader on arbitrary bytes: it must refuse or decode, never crash,
// leak or allocate without bound.
// fuzz-libs: zun_platform zun_core
#include <cstddef>
#include <cstdint>

#include "platform/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    zun::Image img;
    std::string error;
    if (zun::DecodePng(data, size, img, &error)) {
        if (img.Pixels.size() != size_t(img.Width) * size_t(img.Height) * 4) __builtin_trap();
        zun::ApplyColorKey(img, 0xFFFF00FFu);
    } else if (!img.Pixels.empty() || error.empty()) {
        __builtin_trap();
    }
    return 0;
}
