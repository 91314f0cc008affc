// One whole picture as a level layer (backdrop, fog, clouds, water): drawn
// once, stretched over the view, centred, or repeated along one or both axes
// and scrolled with the camera, by the meta value "_StretchMode"; "_MoveX" and
// "_MoveY" make it drift by itself every frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/zInterfaces.h"
#include "scene/zLayer.h"

namespace zun {

class zPictureLayer : public iChunk, public iRender {
public:
    float x = 0, y = 0;     // picture offset; the drift adds to it
    float Parallax = 1.0f;  // divisor of the offsets and of the camera scroll
    float Zoom = 1.0f;      // drawn size = Zoom x texture size
    int32_t Texture = 0;    // below 1 = nothing to draw

    // The most pieces one frame draws along one axis; a picture so small that
    // it would need more draws nothing rather than stall the frame.
    static constexpr int32_t MaxPieces = 4096;

    zPictureLayer();

    std::string ClassName() const override { return "zPictureLayer"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zPictureLayer>(); }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    void Update() override;
    void Render(const zCamera& iCam) override;
    void SetStretchMode(int32_t iMode);
};

}  // namespace zun
