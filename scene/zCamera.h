// The view through which every layer draws: the world position of the view's
// top-left corner, the view size in world pixels (the window size divided by
// the render zoom) and a follow target the position glides towards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/zInterfaces.h"

namespace zun {

// The viewport the camera last asked of the device. The device itself always
// draws to the whole target (its vertices are pre-transformed and only the
// view rectangle is presented), so the request is kept here for whoever wants
// to know it.
struct CameraViewport {
    int32_t X = 0, Y = 0, Width = 0, Height = 0;
    float MinZ = 0.0f, MaxZ = 1.0f;
    int32_t Requests = 0;  // how often a camera asked
};
extern CameraViewport gCameraViewport;

class zCamera : public iChunk {
public:
    float x = 0, y = 0;  // world position of the view's top-left corner
    float Z = 0, R = 0;  // height and rotation: stored and backed up only
    int32_t ScreenW = 0, ScreenH = 0;  // window size as last given to SetSize
    int32_t W = 0, H = 0;              // view size in world pixels
    float dX = 0, dY = 0;              // follow target
    float MoveSpeed = 10.0f;           // divisor of the smooth follow
    bool CenterTarget = false;         // target is the view centre, not its corner

    // Comes with its own meta record, so BackupPosition always has somewhere to write.
    zCamera();

    // iClass / iChunk / iStream. Create (the factory's way of making a
    // camera) also resets the device's render zoom to 1, as making a camera
    // always has; constructing the prototype does not.
    std::string ClassName() const override { return "zCamera"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override;
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    void Configure(int32_t iScreenW, int32_t iScreenH, bool iCenterTarget);
    void SetSize(int32_t iScreenW, int32_t iScreenH);
    void SetPosition(float iX, float iY);
    void SetTarget(float iX, float iY);
    void Update();
    void ClipToMap(float MapX, float MapY, float MapW, float MapH, int32_t TileW, float iParallax, float iZoom);
    void BackupPosition();
};

}  // namespace zun
