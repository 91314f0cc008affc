// A texture loaded from a file of arbitrary bytes, with a colour key: a
// texture of the image's own size within the limit, or no texture and a
// logged reason.
// fuzz-libs: zun_devices zun_platform zun_core
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzFiles.h"
#include "FuzzSupport.h"
#include "core/zCore.h"
#include "core/zFileSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    using namespace zun;
    zun::fuzz::WriteScratch("texture.img", data, size);
    fuzz::StartRecordingDevice();
    zDDraw.TexturePath = FromHostPath(fuzz::ScratchFolder());
    const int32_t key = size >= 4 ? int32_t(uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | data[2] << 8 | data[3])
                                  : int32_t(0xFFFF00FFu);
    const int32_t t = zDDraw.LoadTexture("texture.img", true, key, 1, 0);
    if (t > 0) {
        const TextureEntry& e = zDDraw.Textures[size_t(t)];
        if (e.Loaded && (e.W < 1 || e.H < 1 || e.W > kMaxTextureSide || e.H > kMaxTextureSide)) __builtin_trap();
    }
    zDDraw.Device_Release();
    zCore.LogText.clear();
    return 0;
}
