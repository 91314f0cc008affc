// A character sheet: the texture, where the frames lie in it (walk frames in
// columns, facing directions in rows), the walk speed and the feet's position
// inside a frame. Several characters can share one sheet; a stored character
// refers to its sheet by GUID and the sheet is stored once as its own chunk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/zInterfaces.h"

namespace tarv {

class gCharset : public zun::iChunk {
public:
    int32_t Texture = 0;
    int32_t x = 0, y = 0;     // source of walk frame 0 in direction row 0
    int32_t W = 0, H = 0;     // frame size; also the column and row pitch
    uint8_t FramesX = 0;      // walk frames per row; 0: no walk animation
    uint8_t FramesY = 0;      // direction rows; below 2 only row 0 is shown
    int32_t AniWait = 0;      // a new walk frame every AniWait + 1 frames
    bool AlwaysAnimate = false;
    int32_t OffsetX = 0, OffsetY = 0;  // the character's origin inside a frame

    gCharset();

    std::string ClassName() const override { return "gCharset"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<zun::iChunk> Create() const override { return std::make_shared<gCharset>(); }
    // A failure while reading or writing is logged; the result is then False.
    bool Export(zun::zStream& iData) override;
    bool Import(zun::zStream& iData) override;
    // A sheet refers to no other chunk.
    void ImportInstances(zun::zFile&) override {}
    void ExportInstances(zun::zFile&) override {}
};

}  // namespace tarv
