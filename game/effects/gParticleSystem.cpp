#include "game/effects/gParticleSystem.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zLayer.h"

namespace tarv {

using namespace zun;

namespace {

// The keyed list's own failure for a key that is already taken.
constexpr int kErrDuplicateKey = 457;

// The records lie scattered over the heap in no order the walks follow, so
// each walk asks for the record a few places ahead while it works on this one.
constexpr int32_t kAhead = 4;
inline void Prefetch(const zParticle* p) {
    if (!p) return;
    const char* c = reinterpret_cast<const char*>(p);
    __builtin_prefetch(c);
    __builtin_prefetch(c + 64);
    __builtin_prefetch(c + 128);
}

}  // namespace

std::shared_ptr<iParticle> gParticleSystem::FindManager(const std::string& iName) const {
    for (const auto& m : managers_)
        if (m->ClassName() == iName) return m;
    return nullptr;
}

void gParticleSystem::AddManager(const std::shared_ptr<iParticle>& iManager) {
    if (!iManager) Raise(errObjectNotSet);
    if (FindManager(iManager->ClassName()))
        Raise(kErrDuplicateKey, "This key is already associated with an element of this collection");
    managers_.push_back(iManager);
}

std::shared_ptr<zParticle> gParticleSystem::CreateParticle(const std::string& iManager, float iX, float iY,
                                                           float iZ, float iR, int32_t iUser) {
    return CreateLinkParticle(iManager, nullptr, iX, iY, iZ, iR, iUser);
}

std::shared_ptr<zParticle> gParticleSystem::CreateLinkParticle(const std::string& iManager,
                                                               const std::shared_ptr<zParticle>& iLink,
                                                               float iX, float iY, float iZ, float iR,
                                                               int32_t iUser) {
    auto p = std::make_shared<zParticle>();
    p->Manager = FindManager(iManager);
    p->Link = iLink;
    if (!p->Manager) return nullptr;
    // Effects are decoration: a kind that fails half-way still gets its
    // particle, which then dies by age like any other.
    try {
        p->Manager->Create(*p, iX, iY, iZ, iR, iUser);
    } catch (const RuntimeError&) {
    }
    AddParticle(p);
    return p;
}

void gParticleSystem::AddParticle(const std::shared_ptr<zParticle>& iParticle) {
    if (!iParticle) return;
    ParticleCount += 1;
    if (Capacity() < ParticleCount) particles_.resize(size_t(ParticleCount) + 101);
    particles_[size_t(ParticleCount)] = iParticle;
}

void gParticleSystem::Reset() {
    for (int32_t i = 1; i <= ParticleCount; ++i) Release(particles_[size_t(i)]);
    ParticleCount = 0;
    ++resets_;
}

void gParticleSystem::Release(std::shared_ptr<zParticle>& iSlot) {
    // During a walk the record may be the one a kind is updating: it is kept
    // until the walk is over.
    if (walking_ > 0 && iSlot) released_.push_back(std::move(iSlot));
    iSlot.reset();
}

bool gParticleSystem::Registered(const iParticle* iManager) const {
    for (const auto& m : managers_)
        if (m.get() == iManager) return true;
    return false;
}

void gParticleSystem::UpdateParticles() {
    const int32_t n = ParticleCount;
    const uint64_t walk = resets_;
    // While the walk runs no record it reaches is freed (see Release), and the
    // registered kinds are never dropped, so neither needs a count of its own
    // per particle; a kind that is not registered is held for its call.
    struct Walk {
        gParticleSystem& s;
        explicit Walk(gParticleSystem& ps) : s(ps) { ++s.walking_; }
        ~Walk() {
            if (--s.walking_ == 0) s.released_.clear();
        }
    } guard(*this);
    for (int32_t i = 1; i <= n; ++i) {
        // A kind's update may have emptied the system; what it holds now
        // joined after this walk began.
        if (resets_ != walk) break;
        if (i + kAhead <= n) Prefetch(particles_[size_t(i + kAhead)].get());
        zParticle* p = particles_[size_t(i)].get();
        if (!p) continue;
        if (p->LifeTime < INT32_MAX) p->LifeTime += 1;
        if (p->LifeMax > 0 && p->LifeTime >= p->LifeMax) {
            p->Dead = true;
            if (p->Link && p->Link->LifeMax == 0) p->Link->Dead = true;
        }
        // A record added without a kind has nothing to update it; it still ages.
        if (p->LifeTime <= 0 || !p->Manager) continue;
        if (Registered(p->Manager.get())) {
            p->Manager->Update(*p);
        } else {
            std::shared_ptr<iParticle> m = p->Manager;
            m->Update(*p);
        }
    }
    for (int32_t i = ParticleCount; i >= 1; --i) {
        if (i > kAhead) __builtin_prefetch(particles_[size_t(i - kAhead)].get());
        if (!particles_[size_t(i)]->Dead) continue;
        Release(particles_[size_t(i)]);
        if (i != ParticleCount) particles_[size_t(i)] = std::move(particles_[size_t(ParticleCount)]);
        particles_[size_t(ParticleCount)].reset();
        ParticleCount -= 1;
    }
}

void gParticleSystem::RenderParticles(const zCamera& iCam, int32_t iMode) {
    Render(iCam, iMode, false, 1.0f);
}

void gParticleSystem::RenderParticlesMirror(const zCamera& iCam, int32_t iMode, float iZoomY) {
    Render(iCam, iMode, true, iZoomY);
}

void gParticleSystem::Render(const zCamera& iCam, int32_t iMode, bool iMirror, float iZoomY) {
    const double camX = Int(-double(iCam.x)), camY = Int(-double(iCam.y));
    const double zy = iMirror ? double(iZoomY) : 1.0;
    for (const auto& m : managers_) {
        zValues s;
        if (!m->SetupRenderer(iMode, s)) continue;
        zDDraw.SetAlphaMode(s.GetLong("AlphaMode", 1));
        const float topZ = s.GetSingle("TopZ", 0.0f);
        const float bottomZ = s.GetSingle("BottomZ", 0.0f);
        const double zoomMul = s.GetSingle("ZoomMul", 1.0f);
        const double alphaMul = s.GetSingle("AlphaMul", 1.0f);
        const double viewW = Div(double(zDDraw.ScreenW), zDDraw.RenderZoom);
        const double viewH = Div(double(zDDraw.ScreenH), zDDraw.RenderZoom);
        for (int32_t i = 1; i <= ParticleCount; ++i) {
            if (i + kAhead <= ParticleCount) Prefetch(particles_[size_t(i + kAhead)].get());
            const zParticle& p = *particles_[size_t(i)];
            if (p.LifeTime <= 0 || p.Manager != m) continue;
            zDDraw.RenderZ = LayerDepth(topZ, bottomZ, double(p.y) - iCam.y, iCam.H);
            // The view test compares Single sums, as the drawing positions are Singles.
            const float left = ToSingle(double(p.x) - p.ClipW + camX);
            const float right = ToSingle(double(p.x) + p.ClipW + camX);
            // In a reflection the height lies below the ground point instead of above it.
            const double lift = iMirror ? double(p.Z) * zy : -double(p.Z);
            const float top = ToSingle(double(p.y) - p.ClipH + camY + lift);
            const float bottom = ToSingle(double(p.y) + p.ClipH + camY + lift);
            if (!(right > 0 && left < viewW && bottom > 0 && top < viewH)) continue;
            zDDraw.SetAlphaValue(ToSingle(double(p.Alpha) * alphaMul), 100);
            const double sx = double(p.ZoomX) * zoomMul, sy = double(p.ZoomY) * zoomMul * zy;
            const float X = ToSingle(double(p.x) - double(p.OriginX) * sx + camX);
            const float Y = ToSingle(double(p.y) - double(p.OriginY) * sy + camY + lift);
            const int32_t color = zDDrawModule::GetColorRGBA(p.ColorR, p.ColorG, p.ColorB, p.ColorA);
            zDDraw.BltRotate(p.Texture, X, Y, ToSingle(sx * p.W), ToSingle(sy * p.H), p.SourceX, p.SourceY,
                             int32_t(p.W), int32_t(p.H), color, p.R, ToSingle(double(p.OriginX) * sx),
                             ToSingle(double(p.OriginY) * sy), 1.0f, 0);
        }
        zDDraw.SetAlphaValue(0.0f, 100);
    }
}

void gParticleSystem::DepthSort(int32_t iStart, int32_t iEnd) {
    if (iStart < 1) iStart = 1;
    if (iEnd > ParticleCount) iEnd = ParticleCount;
    if (iStart >= iEnd) return;
    // The depths are read once into a plain array that moves along with the
    // records: the sort then never reaches through a pointer to compare.
    if (sortKeys_.size() < particles_.size()) sortKeys_.resize(particles_.size());
    for (int32_t i = iStart; i <= iEnd; ++i) {
        if (i + kAhead <= iEnd) __builtin_prefetch(&particles_[size_t(i + kAhead)]->y);
        sortKeys_[size_t(i)] = particles_[size_t(i)]->y;
    }
    if (!SortDistinct(iStart, iEnd)) SortRange(iStart, iEnd);
}

bool gParticleSystem::SortDistinct(int32_t iStart, int32_t iEnd) {
    // Between two frames the order barely changes: the particles move a few
    // places, a dead one's slot takes the last (deepest) one and the new ones
    // join at the end. So the depths go into a run kept in order, each moved
    // back at most a few places; one that would have to move further, or that
    // keeps being passed by the ones after it, is set aside. The few set aside
    // are sorted alone and merged back. When all depths differ there is only
    // one ascending order, the one the quicksort gives as well; equal depths
    // are left to the quicksort, whose order of ties is the one drawn.
    constexpr size_t kReach = 8;
    inOrder_.clear();
    outOfOrder_.clear();
    size_t passed = 0;  // how many have been placed before the last of the run
    for (int32_t i = iStart; i <= iEnd; ++i) {
        const float y = sortKeys_[size_t(i)];
        if (std::isnan(y)) return false;
        const size_t n = inOrder_.size();
        if (n == 0 || !(y < inOrder_[n - 1].y)) {
            inOrder_.push_back({y, i});
            passed = 0;
            continue;
        }
        size_t at = n - 1;
        while (at > 0 && n - at <= kReach && y < inOrder_[at - 1].y) --at;
        if (at > 0 && y < inOrder_[at - 1].y) {
            outOfOrder_.push_back({y, i});
            continue;
        }
        inOrder_.insert(inOrder_.begin() + std::ptrdiff_t(at), Depth{y, i});
        if (++passed > kReach) {
            outOfOrder_.push_back(inOrder_.back());
            inOrder_.pop_back();
            passed = 0;
        }
    }
    const auto byDepth = [](const Depth& a, const Depth& b) { return a.y < b.y; };
    std::sort(outOfOrder_.begin(), outOfOrder_.end(), byDepth);
    sorted_.resize(inOrder_.size() + outOfOrder_.size());
    std::merge(inOrder_.begin(), inOrder_.end(), outOfOrder_.begin(), outOfOrder_.end(), sorted_.begin(), byDepth);
    for (size_t k = 1; k < sorted_.size(); ++k)
        if (!(sorted_[k - 1].y < sorted_[k].y)) return false;
    moved_.resize(sorted_.size());
    for (size_t k = 0; k < sorted_.size(); ++k) moved_[k] = std::move(particles_[size_t(sorted_[k].i)]);
    for (size_t k = 0; k < sorted_.size(); ++k) particles_[size_t(iStart) + k] = std::move(moved_[k]);
    return true;
}

void gParticleSystem::SortRange(int32_t iStart, int32_t iEnd) {
    // Quicksort that recurses into the smaller part and loops on the larger,
    // so the depth stays logarithmic whatever the order of the y values.
    float* y = sortKeys_.data();
    while (iStart < iEnd) {
        int32_t lo = iStart, hi = iEnd;
        const float pivot = y[(iStart + iEnd) / 2];
        while (lo <= hi) {
            while (y[lo] < pivot && lo < iEnd) ++lo;
            while (pivot < y[hi] && hi > iStart) --hi;
            if (lo <= hi) {
                std::swap(particles_[size_t(lo)], particles_[size_t(hi)]);
                std::swap(y[lo], y[hi]);
                ++lo;
                --hi;
            }
        }
        if (hi - iStart < iEnd - lo) {
            if (iStart < hi) SortRange(iStart, hi);
            iStart = lo;
        } else {
            if (lo < iEnd) SortRange(lo, iEnd);
            iEnd = hi;
        }
    }
}

std::shared_ptr<zParticle> gParticleSystem::Particle(int32_t i) const {
    if (i < 1 || i > ParticleCount) return nullptr;
    return particles_[size_t(i)];
}

}  // namespace tarv
