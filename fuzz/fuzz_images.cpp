// The image loader on arbitrary bytes (PNG, BMP, JPEG, TGA, GIF): it must
// refuse or decode within the texture size, never crash, leak or allocate
// for a size the header only claims.
// fuzz-libs: zun_platform zun_core
#include <cstddef>
#include <cstdint>

#include "platform/Image.h"
#include "platform/RenderBackend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    zun::Image img;
    std::string error;
    if (zun::DecodeImage(data, size, img, &error)) {
        if (img.Width < 1 || img.Height < 1 || img.Width > zun::kMaxTextureSide || img.Height > zun::kMaxTextureSide ||
            img.Pixels.size() != size_t(img.Width) * size_t(img.Height) * 4)
            __builtin_trap();
        zun::ApplyColorKey(img, 0xFFFF00FFu);
    } else if (!img.Pixels.empty() || error.empty()) {
        __builtin_trap();
    }
    return 0;
}
