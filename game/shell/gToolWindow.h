// A window of the shell's own beside the game (the settings dialog, the
// console, the input box). Its widgets are drawn by the game's device into an
// off-screen target of the window's size, which is read back after every
// drawing; with a display the picture then goes to an SDL window of its own,
// without one it stays in Image() for whoever looks. So the player and the
// tests see the same pixels, and the widgets have one drawing path.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/RenderBackend.h"

struct SDL_Window;

namespace tarv {

struct gToolRect {
    int32_t X = 0, Y = 0, W = 0, H = 0;
};

// Where a tool window of size w x h goes: beside the game's area when the
// desktop has room there (slot 0 to the right, then the left; slot 1 below,
// then above), otherwise over the game's area (slot 0 centred, slot 1 at its
// bottom), always kept on the desktop.
gToolRect PlaceToolWindow(int32_t w, int32_t h, const gToolRect& game, const gToolRect& desktop, int32_t slot);

// What the tool windows need of the game window, filled at start-up.
struct gToolWindowHooks {
    // The game's area on the desktop and the desktop itself.
    std::function<gToolRect()> GameArea;
    std::function<gToolRect()> Desktop;
    // Gives the keys back to the game window.
    std::function<void()> FocusGame;
    // A key let go while a modal window waits, which may have gone down in
    // the game.
    std::function<void(int32_t iKey, int32_t iShift)> GameKeyUp;
};
extern gToolWindowHooks gToolWindows;

class gToolWindow {
public:
    gToolWindow() = default;
    gToolWindow(const gToolWindow&) = delete;
    gToolWindow& operator=(const gToolWindow&) = delete;
    // A form copied over a fresh one (tests reset the forms) leaves the
    // window it had to its old self; the copy starts closed.
    gToolWindow& operator=(gToolWindow&&) noexcept;
    ~gToolWindow();

    // Opens the window (size in pixels) at its place for `slot` and gives it
    // the keys. With a display it is a real window; a failure to make one is
    // logged and the window lives off-screen only.
    void Open(const std::string& iTitle, int32_t iWidth, int32_t iHeight, bool iResizable, int32_t iSlot);
    // Closes it; the game window gets the keys back.
    void Close();
    bool IsOpen() const { return open_; }

    // The id its events carry (SDL's window id; off-screen a number of our
    // own beyond SDL's).
    uint32_t Id() const { return id_; }
    SDL_Window* Sdl() const { return window_; }
    int32_t Width() const { return w_; }
    int32_t Height() const { return h_; }
    int32_t Left() const { return place_.X; }
    int32_t Top() const { return place_.Y; }
    // Takes a new client size (the user resized the window).
    void Resized(int32_t iWidth, int32_t iHeight);
    void SetMinimumSize(int32_t iWidth, int32_t iHeight);
    // Brings it to the front with the keys.
    void Raise();

    // Drawing: between BeginDraw and EndDraw, mOverlayDraw draws in window
    // pixels. BeginDraw is False when there is no device or no target.
    bool BeginDraw(int32_t iClearColor);
    void EndDraw();
    // The last picture, RGBA rows top to bottom, Width x Height; empty before
    // the first drawing.
    const std::vector<uint8_t>& Image() const { return image_; }
    // One pixel of it as 0xAARRGGBB (0 outside).
    uint32_t PixelAt(int32_t iX, int32_t iY) const;

private:
    bool open_ = false;
    uint32_t id_ = 0;
    SDL_Window* window_ = nullptr;
    bool sdlVideo_ = false;
    int32_t w_ = 0, h_ = 0;
    gToolRect place_;
    int32_t target_ = 0;
    int32_t targetSide_ = 0;
    std::vector<uint8_t> image_;
    // The device the target was made on.
    const void* device_ = nullptr;
    // What drawing changes on the device and gives back afterwards.
    struct Saved {
        int32_t ScreenW, ScreenH, ViewW, ViewH;
        float RenderZoom, RenderZ;
        zun::DrawState State;
        // A texture scene the window drew in the middle of (a modal box asked
        // for by a script) goes on afterwards.
        bool TargetActive;
        int32_t Target, SceneDepth;
        const void* Device;
    };
    std::unique_ptr<Saved> saved_;

    void Present();
    // Gives the target back for the next window to use.
    void ReleaseTarget();
    bool TakePooledTarget(int32_t iSide);
};

}  // namespace tarv
