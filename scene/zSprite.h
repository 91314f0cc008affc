// One textured quad placed in the world: a ground position with a height above
// it, a rotation, a zoom per axis, a source rectangle in its texture, an anchor
// inside that rectangle, a transparency and flip bits. Sprite maps and map items
// own sprites; the game's characters, cursor and face pictures use them too. A
// sprite draws itself with one rotated blit; it neither sorts nor culls itself.
#pragma once

#include <cstdint>
#include <string>

#include "core/zInterfaces.h"

namespace zun {

class zCamera;
class zStream;

class zSprite : public iClass, public iStream {
public:
    float x = 0, y = 0;   // world position of the anchor (the ground point)
    float Z = 0;          // height above the ground: drawn that much higher
    float R = 0;          // rotation handed to the blit
    int32_t Texture = 0;  // texture handle; 0 draws nothing
    float Alpha = 0;      // transparency 0..1 (0 = opaque)
    float ZoomX = 1.0f, ZoomY = 1.0f;
    int32_t SrcX = 0, SrcY = 0;  // source rectangle in the texture
    int32_t W = 0, H = 0;
    float OriginX = 0, OriginY = 0;  // anchor inside the source rectangle
    uint8_t Flipped = 0;             // flip bits of the blit (4 horizontal, 8 vertical); not stored

    std::string ClassName() const override { return "zSprite"; }
    uint8_t ClassVersion() const override { return 1; }
    bool Export(zStream& iData) override { return Export(iData, true); }
    bool Import(zStream& iData) override { return Import(iData, true); }
    // With iTexture False the texture reference is neither written nor read.
    bool Export(zStream& iData, bool iTexture);
    bool Import(zStream& iData, bool iTexture);

    // Loads the texture; the source size becomes the image size and the anchor
    // its centre.
    void LoadTexture(const std::string& iDataName, bool iSmooth, int32_t iColorKey);
    // Draws at the current draw depth with the current draw colour.
    void Render(const zCamera& iCam, float iZoom = 1.0f);
    // Sets the draw depth from the sprite's ground line in the view (iTopZ at
    // the view's top edge, iBottomZ at its bottom edge), then draws.
    void RenderDepth(const zCamera& iCam, float iTopZ, float iBottomZ);
    void SetPosition(float iX, float iY) {
        x = iX;
        y = iY;
    }
};

}  // namespace zun
