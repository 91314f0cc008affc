#include "game/world/gCharset.h"

#include "core/zCore.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zLayer.h"

namespace tarv {

using namespace zun;

gCharset::gCharset() { Meta = std::make_shared<zValues>(); }

bool gCharset::Export(zStream& iData) {
    return Trap("Charset_Export", false, [&] {
        ExportTextureRef(iData, Texture);
        iData.WriteLong(x);
        iData.WriteLong(y);
        iData.WriteLong(W);
        iData.WriteLong(H);
        iData.WriteByte(FramesX);
        iData.WriteByte(FramesY);
        iData.WriteLong(AniWait);
        iData.WriteBool(AlwaysAnimate);
        iData.WriteLong(OffsetX);
        iData.WriteLong(OffsetY);
        return true;
    });
}

bool gCharset::Import(zStream& iData) {
    return Trap("Charset_Import", false, [&] {
        ImportTextureRef(iData, Texture);
        zCore.CurrentProc = "Charset_Import";
        iData.ReadLong(x);
        iData.ReadLong(y);
        iData.ReadLong(W);
        iData.ReadLong(H);
        iData.ReadByte(FramesX);
        iData.ReadByte(FramesY);
        iData.ReadLong(AniWait);
        iData.ReadBool(AlwaysAnimate);
        iData.ReadLong(OffsetX);
        iData.ReadLong(OffsetY);
        return true;
    });
}

}  // namespace tarv
