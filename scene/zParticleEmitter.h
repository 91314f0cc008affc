// A placed spot where the game makes a particle effect. The framework keeps
// its place, the name of the effect kind and the effect's parameters, and
// stores them; every update hands the emitter to the game, which decides by
// ManagerName what to spawn. In the editor views it draws a small marker and,
// when selected, its radius and height.
#pragma once

#include <memory>
#include <string>

#include "core/zInterfaces.h"
#include "scene/iEmitter.h"

namespace zun {

class zValues;

class zParticleEmitter : public iChunk, public iEmitter {
public:
    float x = 0, y = 0;  // ground point
    float Z = 0;         // height of the effect
    float R = 0;         // radius of the effect area
    std::string ManagerName;  // the effect kind the game's hook acts on
    std::shared_ptr<zValues> ParticleData;

    zParticleEmitter();

    std::string ClassName() const override { return "zParticleEmitter"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zParticleEmitter>(); }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    // iEmitter
    float GetR() const override { return R; }
    float GetX() const override { return x; }
    float GetY() const override { return y; }
    float GetZ() const override { return Z; }
    void LoadData() override {}
    // The marker picture from "editor.png", centred on the ground point.
    void Render(const zCamera& iCam) override;
    // The effect radius, the height line and the effect point.
    void RenderSelected(const zCamera& iCam) override;
    void SetPos(float iX, float iY) override {
        x = iX;
        y = iY;
    }
    void SetR(float iR) override { R = iR; }
    void SetZ(float iZ) override { Z = iZ; }
    // Hands the emitter to the game's custom-emitter update; the distance is not used.
    void Update(float iDist) override;
    iClass* Class() override { return this; }
    void Unload() override {}
};

}  // namespace zun
