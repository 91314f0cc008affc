// A set of live particles and the particle kinds that make, move and draw
// them. The game keeps two: the main system (every scene particle) and the
// light system (the glows drawn into the light map).
//
// Live particles sit at indices 1..ParticleCount without gaps; a dead one is
// replaced by the last one, so the order means nothing after an update until
// DepthSort puts it back in ascending y for drawing.
//
// Usage:
//   gParticleSystem ps;
//   ps.AddManager(std::make_shared<pSpark>());
//   auto p = ps.CreateParticle("pSpark", x, y, z, 0);
//   every frame: ps.UpdateParticles();
//                if (ps.ParticleCount > 0) ps.DepthSort(1, ps.ParticleCount);
//                ps.RenderParticles(cam, 0);
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/effects/zParticle.h"

namespace zun {
class zCamera;
}

namespace tarv {

class gParticleSystem {
public:
    int32_t ParticleCount = 0;

    // The registered kinds in the order of registering.
    const std::vector<std::shared_ptr<iParticle>>& Managers() const { return managers_; }
    // The kind registered under exactly this name; none when there is none.
    std::shared_ptr<iParticle> FindManager(const std::string& iName) const;

    // Registers a kind under its ClassName. A second kind of the same name
    // raises the keyed list's duplicate-key error (457).
    void AddManager(const std::shared_ptr<iParticle>& iManager);

    // Makes a particle of the named kind, lets the kind fill it and adds it.
    // An unknown name gives no particle and adds nothing. A failure inside the
    // kind's Create is swallowed: the record is added and returned as far as
    // the kind got with it.
    std::shared_ptr<zParticle> CreateParticle(const std::string& iManager, float iX, float iY, float iZ,
                                              float iR, int32_t iUser = 0);
    // As CreateParticle, with Link set before the kind's Create runs.
    std::shared_ptr<zParticle> CreateLinkParticle(const std::string& iManager,
                                                  const std::shared_ptr<zParticle>& iLink, float iX, float iY,
                                                  float iZ, float iR, int32_t iUser = 0);
    // Appends a record without asking any kind. No record, nothing added.
    void AddParticle(const std::shared_ptr<zParticle>& iParticle);
    // Drops every particle; the capacity and the kinds stay.
    void Reset();

    // One frame: every particle ages by one; a particle at its LifeMax dies
    // (together with a linked particle of unlimited life); every particle of
    // age above 0 gets its kind's Update, the dying ones too; then the dead
    // leave. Both walks fix their bounds when they begin, so a particle made
    // during the walk is first aged in the next call.
    void UpdateParticles();

    // Draws, kind by kind in registration order, the particles of the kinds
    // that serve pass iMode, each at a depth interpolated over the view height
    // and only when its clip box touches the view. The blend mode of the last
    // kind drawn stays selected.
    void RenderParticles(const zun::zCamera& iCam, int32_t iMode = 0);
    // The same for the reflections: every vertical measure scaled by iZoomY
    // and the height above the ground laid off downwards.
    void RenderParticlesMirror(const zun::zCamera& iCam, int32_t iMode = 0, float iZoomY = 1.0f);

    // Sorts indices iStart..iEnd (held to 1..ParticleCount) by ascending y.
    void DepthSort(int32_t iStart, int32_t iEnd);

    // The particle at index i (1..ParticleCount); none outside.
    std::shared_ptr<zParticle> Particle(int32_t i) const;
    // The highest index the array can hold without growing.
    int32_t Capacity() const { return static_cast<int32_t>(particles_.size()) - 1; }

private:
    std::vector<std::shared_ptr<iParticle>> managers_;
    std::vector<std::shared_ptr<zParticle>> particles_{1};  // index 0 unused
    uint64_t resets_ = 0;  // counts Reset calls, so an update can tell its walk was emptied
    int32_t walking_ = 0;  // UpdateParticles calls under way
    std::vector<std::shared_ptr<zParticle>> released_;  // dropped during a walk, freed after it

    // Empties a slot; during a walk the record lives on until the walk ends.
    void Release(std::shared_ptr<zParticle>& iSlot);
    bool Registered(const iParticle* iManager) const;
    std::vector<float> sortKeys_;  // the depths being sorted, by index like particles_

    // DepthSort's quicksort over indices already held to the particles.
    void SortRange(int32_t iStart, int32_t iEnd);

    // A depth and the index it was read from.
    struct Depth {
        float y;
        int32_t i;
    };
    std::vector<Depth> inOrder_, outOfOrder_, sorted_;  // SortDistinct's work, kept for its capacity
    std::vector<std::shared_ptr<zParticle>> moved_;
    // Sorts iStart..iEnd by the depths in sortKeys_ when no two of them are
    // equal (nor any NaN); false, with nothing moved, otherwise.
    bool SortDistinct(int32_t iStart, int32_t iEnd);

    void Render(const zun::zCamera& iCam, int32_t iMode, bool iMirror, float iZoomY);
};

}  // namespace tarv
