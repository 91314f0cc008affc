// A resizable window frame drawn from nine pieces of one texture (four
// corners, four edges) over a filled background; the frame of the shell's
// text boxes. A chunk class so the shell can make it by name; its drawing
// settings live in its Meta record ("_AlphaMode", "_FilterMode", "_z",
// "_AlphaBG", "_Alpha"). It has no fields of its own in a file: its chunk
// holds only the meta record.
//
// The frame image is a 3 x 3 grid at (OffsetX, OffsetY) in the texture:
// columns EdgeW, BorderW, EdgeW wide and rows EdgeH, BorderH, EdgeH high.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/zInterfaces.h"

namespace tarv {

class gBorder : public zun::iChunk {
public:
    int32_t Texture = 0;
    float x = 0, y = 0;
    float W = 0, H = 0;  // raised to 2 x EdgeW by 2 x EdgeH when drawn smaller
    int32_t OffsetX = 0, OffsetY = 0;
    int32_t EdgeW = 0, EdgeH = 0;
    int32_t BorderW = 0, BorderH = 0;
    int32_t FillX = 0, FillY = 0;
    int32_t FillColor = 0;
    int32_t PaddingX = 0, PaddingY = 0;  // for the layout of the content, not drawn

    gBorder();

    void SetSize(float iW, float iH) {
        W = iW;
        H = iH;
    }
    void SetPosition(float iX, float iY) {
        x = iX;
        y = iY;
    }
    void Render();

    // iClass / iChunk
    std::string ClassName() const override { return "gBorder"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<zun::iChunk> Create() const override { return std::make_shared<gBorder>(); }
    // Nothing of its own is stored; the chunk carries only the meta record.
    bool Import(zun::zStream&) override { return true; }
    bool Export(zun::zStream&) override { return true; }
};

}  // namespace tarv
