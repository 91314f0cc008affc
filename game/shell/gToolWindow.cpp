#include "game/shell/gToolWindow.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <utility>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "platform/Window.h"

using namespace zun;

namespace tarv {

gToolWindowHooks gToolWindows;

namespace {

constexpr int32_t kGap = 8;
// Off-screen windows get ids far above the ones SDL hands out.
uint32_t gNextOwnId = 0x40000000u;

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return hi < lo ? lo : std::clamp(v, lo, hi); }

// Targets of closed tool windows, kept for the next window that opens: the
// device's texture table never gives an entry back, so a target per opening
// would grow it for as long as the player opens windows.
struct PooledTarget {
    int32_t Index;
    int32_t Side;
    TextureId Texture;
    const void* Device;
};
std::vector<PooledTarget> gTargetPool;
constexpr size_t kMaxPooledTargets = 4;

// Still the target it was when it went into the pool: the same device, the
// same texture in the same entry.
bool StillThere(const PooledTarget& t) {
    return zDDraw.Device && zDDraw.Device.get() == t.Device && t.Index > 0 && t.Index <= zDDraw.TextureCount &&
           size_t(t.Index) < zDDraw.Textures.size() && zDDraw.Textures[size_t(t.Index)].Texture == t.Texture &&
           t.Texture != 0;
}

}  // namespace

gToolRect PlaceToolWindow(int32_t w, int32_t h, const gToolRect& game, const gToolRect& desktop, int32_t slot) {
    gToolRect r{0, 0, w, h};
    const int32_t right = desktop.X + desktop.W, bottom = desktop.Y + desktop.H;
    if (slot == 0) {
        r.Y = game.Y;
        if (game.X + game.W + kGap + w <= right) r.X = game.X + game.W + kGap;
        else if (game.X - kGap - w >= desktop.X) r.X = game.X - kGap - w;
        else {
            r.X = game.X + (game.W - w) / 2;
            r.Y = game.Y + (game.H - h) / 2;
        }
    } else {
        r.X = game.X;
        if (game.Y + game.H + kGap + h <= bottom) r.Y = game.Y + game.H + kGap;
        else if (game.Y - kGap - h >= desktop.Y) r.Y = game.Y - kGap - h;
        else r.Y = game.Y + game.H - h;
    }
    r.X = Clamp(r.X, desktop.X, right - w);
    r.Y = Clamp(r.Y, desktop.Y, bottom - h);
    return r;
}

gToolWindow& gToolWindow::operator=(gToolWindow&& o) noexcept {
    if (this == &o) return *this;
    Close();
    std::swap(open_, o.open_);
    std::swap(id_, o.id_);
    std::swap(window_, o.window_);
    std::swap(sdlVideo_, o.sdlVideo_);
    std::swap(w_, o.w_);
    std::swap(h_, o.h_);
    std::swap(place_, o.place_);
    std::swap(target_, o.target_);
    std::swap(targetSide_, o.targetSide_);
    std::swap(image_, o.image_);
    std::swap(device_, o.device_);
    return *this;
}

gToolWindow::~gToolWindow() {
    // The program's end: the device and SDL may be gone already, so only
    // what is still ours is let go.
    DestroySdlWindow(window_);
    if (sdlVideo_) ReleaseSdlVideo();
}

void gToolWindow::Open(const std::string& iTitle, int32_t iWidth, int32_t iHeight, bool iResizable, int32_t iSlot) {
    if (open_) {
        Raise();
        return;
    }
    open_ = true;
    w_ = std::clamp(iWidth, 1, kMaxTargetSide);
    h_ = std::clamp(iHeight, 1, kMaxTargetSide);
    const gToolRect game = gToolWindows.GameArea ? gToolWindows.GameArea() : gToolRect{0, 0, zDDraw.ViewW, zDDraw.ViewH};
    gToolRect desktop{0, 0, 1024, 768};
    if (gToolWindows.Desktop) desktop = gToolWindows.Desktop();
    place_ = PlaceToolWindow(w_, h_, game, desktop, iSlot);
    image_.clear();

    if (!IsHeadless()) {
        std::string error;
        if (AcquireSdlVideo(&error)) {
            sdlVideo_ = true;
            // The window's picture goes through a plain surface: a renderer
            // behind it would make its own GL context current and take the
            // game's from under the device.
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
            // A utility window stays above the game on X11 window managers,
            // also over a game that covers the screen; Wayland has no such
            // hint and raises the window that has the focus.
            Uint32 flags = SDL_WINDOW_UTILITY | (iResizable ? SDL_WINDOW_RESIZABLE : 0);
            window_ = SDL_CreateWindow(Cp1252ToUtf8(iTitle).c_str(), place_.X, place_.Y, w_, h_, flags);
            if (!window_) error = SDL_GetError();
        }
        if (!window_) {
            Log("WARN", "ToolWindow", iTitle, error);
            if (sdlVideo_) ReleaseSdlVideo();
            sdlVideo_ = false;
        }
    }
    id_ = window_ ? SDL_GetWindowID(window_) : gNextOwnId++;
    Raise();
}

void gToolWindow::Close() {
    if (!open_) return;
    open_ = false;
    ReleaseTarget();
    DestroySdlWindow(window_);
    window_ = nullptr;
    if (sdlVideo_) ReleaseSdlVideo();
    sdlVideo_ = false;
    id_ = 0;
    if (const auto focus = gToolWindows.FocusGame) focus();
}

void gToolWindow::Resized(int32_t iWidth, int32_t iHeight) {
    if (iWidth < 1 || iHeight < 1) return;
    w_ = std::min(iWidth, kMaxTargetSide);
    h_ = std::min(iHeight, kMaxTargetSide);
}

void gToolWindow::SetMinimumSize(int32_t iWidth, int32_t iHeight) {
    if (window_) SDL_SetWindowMinimumSize(window_, iWidth, iHeight);
}

void gToolWindow::Raise() {
    if (!window_) return;
    ShowSdlWindow(window_);
    SDL_RaiseWindow(window_);
}

void gToolWindow::ReleaseTarget() {
    // Only a target made on the device that is still there is ours to keep
    // or free.
    if (target_ > 0 && size_t(target_) < zDDraw.Textures.size()) {
        const PooledTarget t{target_, targetSide_, zDDraw.Textures[size_t(target_)].Texture, device_};
        std::erase_if(gTargetPool, [](const PooledTarget& p) { return !StillThere(p); });
        if (StillThere(t)) {
            if (gTargetPool.size() < kMaxPooledTargets) gTargetPool.push_back(t);
            else zDDraw.ReleaseTextureObject(target_);
        }
    }
    target_ = 0;
    targetSide_ = 0;
    device_ = nullptr;
}

bool gToolWindow::TakePooledTarget(int32_t iSide) {
    std::erase_if(gTargetPool, [](const PooledTarget& p) { return !StillThere(p); });
    // The smallest that is big enough.
    auto best = gTargetPool.end();
    for (auto it = gTargetPool.begin(); it != gTargetPool.end(); ++it)
        if (it->Side >= iSide && (best == gTargetPool.end() || it->Side < best->Side)) best = it;
    if (best == gTargetPool.end()) return false;
    target_ = best->Index;
    targetSide_ = best->Side;
    device_ = best->Device;
    gTargetPool.erase(best);
    return true;
}

bool gToolWindow::BeginDraw(int32_t iClearColor) {
    if (!open_ || !zDDraw.Device || saved_) return false;
    const int32_t side = std::max(w_, h_);
    if (target_ > 0 && (zDDraw.Device.get() != device_ || side > targetSide_)) ReleaseTarget();
    if (target_ == 0 && !TakePooledTarget(side)) {
        target_ = zDDraw.CreateRenderTarget(std::max(side, 16));
        if (target_ <= 0 || size_t(target_) >= zDDraw.Textures.size() || zDDraw.Textures[size_t(target_)].Texture == 0) {
            target_ = 0;
            return false;
        }
        targetSide_ = zDDraw.Textures[size_t(target_)].W;
        device_ = zDDraw.Device.get();
    }
    saved_ = std::make_unique<Saved>(Saved{zDDraw.ScreenW, zDDraw.ScreenH, zDDraw.ViewW, zDDraw.ViewH,
                                           zDDraw.RenderZoom, zDDraw.RenderZ, zDDraw.State,
                                           zDDraw.RenderTargetActive, zDDraw.RenderTarget, zDDraw.SceneDepth,
                                           device_});
    bool begun = false;
    try {
        // This flushes what the game has queued, at the game's scale.
        begun = zDDraw.BeginScene(iClearColor, target_);
    } catch (const RuntimeError& e) {
        Log("ERR", "ToolWindow", e.Description);
    }
    if (!begun || !zDDraw.RenderTargetActive) {
        if (begun) zDDraw.EndScene(false);
        EndDraw();
        return false;
    }
    // One logical pixel is one pixel of the target while the window draws.
    zDDraw.ScreenW = zDDraw.ScreenH = zDDraw.ViewW = zDDraw.ViewH = targetSide_;
    zDDraw.RenderZoom = 1;
    return true;
}

void gToolWindow::EndDraw() {
    if (!saved_) return;
    const std::unique_ptr<Saved> s = std::move(saved_);
    if (zDDraw.RenderTargetActive) zDDraw.EndScene(false);
    RenderBackend* dev = zDDraw.Device.get();
    if (dev && static_cast<const void*>(dev) == s->Device && target_ > 0 && size_t(target_) < zDDraw.Textures.size()) {
        const TextureId tex = zDDraw.Textures[size_t(target_)].Texture;
        std::vector<uint8_t> pixels;
        if (tex != 0 && dev->SetRenderTarget(tex) && dev->ReadPixels(0, 0, w_, h_, pixels)) image_ = std::move(pixels);
        dev->SetRenderTarget(0);
    }
    zDDraw.ScreenW = s->ScreenW;
    zDDraw.ScreenH = s->ScreenH;
    zDDraw.ViewW = s->ViewW;
    zDDraw.ViewH = s->ViewH;
    zDDraw.RenderZoom = s->RenderZoom;
    zDDraw.RenderZ = s->RenderZ;
    zDDraw.State = s->State;
    zDDraw.SceneDepth = s->SceneDepth;
    zDDraw.RenderTarget = s->Target;
    if (s->TargetActive && dev && s->Target > 0 && size_t(s->Target) < zDDraw.Textures.size())
        zDDraw.RenderTargetActive = dev->SetRenderTarget(zDDraw.Textures[size_t(s->Target)].Texture);
    Present();
}

uint32_t gToolWindow::PixelAt(int32_t iX, int32_t iY) const {
    if (iX < 0 || iY < 0 || iX >= w_ || iY >= h_ || image_.size() < size_t(w_) * size_t(h_) * 4) return 0;
    const uint8_t* p = &image_[(size_t(iY) * size_t(w_) + size_t(iX)) * 4];
    return uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
}

void gToolWindow::Present() {
    if (!window_ || image_.size() < size_t(w_) * size_t(h_) * 4) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) return;
    SDL_Surface* picture =
        SDL_CreateRGBSurfaceWithFormatFrom(image_.data(), w_, h_, 32, w_ * 4, SDL_PIXELFORMAT_RGBA32);
    if (!picture) return;
    SDL_SetSurfaceBlendMode(picture, SDL_BLENDMODE_NONE);
    SDL_BlitSurface(picture, nullptr, surface, nullptr);
    SDL_FreeSurface(picture);
    SDL_UpdateWindowSurface(window_);
}

}  // namespace tarv
