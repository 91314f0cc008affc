// The contract of placed emitters (particle spots, looping sounds). The game
// updates each one every frame with its distance to the listener and unloads
// it when the level goes. Used as a plain object the operations do nothing and
// the getters give 0.
#pragma once

namespace zun {

class iClass;
class zCamera;

class iEmitter {
public:
    virtual ~iEmitter() = default;
    virtual float GetR() const { return 0.0f; }
    virtual float GetX() const { return 0.0f; }
    virtual float GetY() const { return 0.0f; }
    virtual float GetZ() const { return 0.0f; }
    // (Re)loads what the emitter needs from its data, for example its sound.
    virtual void LoadData() {}
    // The editor marker, and the marker of a selected emitter.
    virtual void Render(const zCamera& iCam) {}
    virtual void RenderSelected(const zCamera& iCam) {}
    virtual void SetPos(float iX, float iY) {}
    virtual void SetR(float iR) {}
    virtual void SetZ(float iZ) {}
    // Per-frame step; iDist is the distance from the listener.
    virtual void Update(float iDist) {}
    // The emitter itself as a storable class.
    virtual iClass* Class() { return nullptr; }
    // Releases what the emitter holds (sounds) before it is dropped.
    virtual void Unload() {}
};

}  // namespace zun
