// A placed looping sound: plays while the listener is inside the radius R, at
// full volume inside the fade radius and softer towards R, and stops when the
// listener leaves. The game calls Update every frame with the listener's
// distance and Unload when the level goes. In the editor views it draws a
// symbol and, when selected, its radii and height.
#pragma once

#include <cstdint>
#include <string>

#include "core/zInterfaces.h"
#include "scene/iEmitter.h"

namespace zun {

class zSoundEmitter : public iChunk, public iEmitter {
public:
    enum : uint8_t { FadeLinear = 0, FadeSqrt = 1, FadeSquare = 2 };

    float x = 0, y = 0;  // ground point
    float Z = 0;         // height of the source (editor display only)
    float R = 0;         // outer radius: beyond it the sound stops
    std::string SoundFile;
    float FadeR = 0;       // inner radius: full volume within it
    uint8_t FadeMode = 0;  // curve between FadeR and R; other values give silence there
    float Volume = 1.0f;
    float Frequency = 1.0f;  // speed factor; the wave service writes back what it plays
    int32_t ActSound = 0;    // wave handle; 0 = not loaded (not stored)
    bool Playing = false;    // (not stored)

    zSoundEmitter();

    std::string ClassName() const override { return "zSoundEmitter"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zSoundEmitter>(); }
    bool Export(zStream& iData) override;
    // Reads the stored form; loads nothing.
    bool Import(zStream& iData) override;

    // Within R: CheckRange. Beyond it a playing sound is stopped.
    void Update(float iDist) override;
    // Loads the sound when needed, then starts it looping or adjusts it.
    void CheckRange(float iDist);
    // A buffer of its own for the sound file, even when the file is loaded already.
    void LoadData() override;
    // The volume factor at a distance inside R: 1 inside FadeR, falling towards
    // 0.5 at R by FadeMode.
    double VolumeFactor(float iDist) const;

    float GetR() const override { return R; }
    float GetX() const override { return x; }
    float GetY() const override { return y; }
    float GetZ() const override { return Z; }
    void Render(const zCamera& iCam) override;
    void RenderSelected(const zCamera& iCam) override;
    void SetPos(float iX, float iY) override {
        x = iX;
        y = iY;
    }
    void SetR(float iR) override { R = iR; }
    void SetZ(float iZ) override { Z = iZ; }
    iClass* Class() override { return this; }
    // Stops the sound (the loaded wave stays loaded).
    void Unload() override;

private:
    // A file that exists but could not be made into a sound is not tried again
    // by CheckRange (every frame) until SoundFile names another file.
    bool loadFailed_ = false;
    std::string failedFile_;
};

}  // namespace zun
