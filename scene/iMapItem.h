// The contract of anything an objects map can hold: drawn through a camera, a
// position, its class for storage, and a move. Used as a plain object the
// operations draw nothing, give 0 and no class, and ignore the move.
#pragma once

namespace zun {

class iClass;
class zCamera;

class iMapItem {
public:
    virtual ~iMapItem() = default;
    virtual void Render(const zCamera& iCam) {}
    virtual float GetX() const { return 0.0f; }
    virtual float GetY() const { return 0.0f; }
    // The object itself as a storable class (its name keys its stored form).
    virtual iClass* Class() { return nullptr; }
    virtual void SetPosition(float iX, float iY) {}
};

}  // namespace zun
