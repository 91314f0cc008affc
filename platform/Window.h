// The main window and its events. With no display (or ZUN_HEADLESS=1) the
// window lives on SDL's dummy video driver: it has sizes and events but shows
// nothing, and drawing goes to an offscreen context instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;
union SDL_Event;

namespace zun {

// True with ZUN_HEADLESS=1, or when neither DISPLAY nor WAYLAND_DISPLAY is set
// and SDL is not told to use its offscreen driver (real windows, kept in
// memory, which is how the tool windows are tried without a display server).
// Also true once the display named could not be opened, or went away.
bool IsHeadless();

// The name of the X display whose connection broke under the program (its
// server ended); "" while the display is there.
std::string LostDisplay();

struct DisplayModeInfo {
    int32_t Width = 1024;
    int32_t Height = 768;
    int32_t RefreshRate = 60;
};
// The desktop's current mode; headless, 1024 x 768 at 60 Hz.
DisplayModeInfo DesktopDisplayMode();

enum class WindowEventType : uint8_t {
    None,
    Close,        // the user asked to close the window, or it was taken away
    Quit,         // the application is asked to end
    Resized,      // Width, Height: the new client size
    Moved,        // X, Y: the window's new place
    Activated,    // the window got the input focus
    Deactivated,  // the window lost it
    KeyDown,      // Key, Shift, Repeat
    KeyUp,        // Key, Shift
    MouseDown,    // Button (1, 2, 4, 8, 16), Shift, X, Y
    MouseUp,      // Button, Shift, X, Y
    MouseMove,    // Button = the held buttons added up, Shift, X, Y
    MouseWheel,   // Wheel: steps, positive away from the user
    TextInput,    // Text: typed characters in Windows-1252 (others became "?")
    DevicesChanged,  // an input device was plugged in or out
};

// One event in the game's own terms: virtual-key numbers, button bits, and
// shift bits (1 Shift, 2 Ctrl, 4 Alt). Positions are client-area pixels.
struct WindowEvent {
    WindowEventType Type = WindowEventType::None;
    int32_t Key = 0;
    int32_t Shift = 0;
    bool Repeat = false;
    int32_t Button = 0;
    int32_t X = 0, Y = 0;
    int32_t Wheel = 0;
    int32_t Width = 0, Height = 0;
    std::string Text;
    // The window the event belongs to (SDL's window id); 0 for events of the
    // whole application.
    uint32_t WindowId = 0;
};

// Turns one SDL event into ours; false for events the game has no use for.
bool TranslateSdlEvent(const SDL_Event& e, WindowEvent& out);

// Takes the next SDL event, waiting up to timeoutMs (0 = do not wait);
// false when none came.
bool WaitSdlEvent(SDL_Event& e, int32_t timeoutMs);

class Window {
public:
    // A window of the given client size, not yet shown. With a display it
    // carries a GL-capable surface. Null and `error` filled on failure.
    static std::unique_ptr<Window> Create(const std::string& title, int32_t clientWidth, int32_t clientHeight,
                                          std::string* error = nullptr);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    bool Headless() const { return headless_; }
    bool HasGLSurface() const { return gl_; }
    // From here on a display that goes away is noted (LostDisplay) and the
    // program goes on to end in order. Before, while the window and its
    // drawing are made, the GL driver cannot outlive a broken connection, so
    // the program ends at once with an error naming the display.
    void OutliveDisplay();
    SDL_Window* Sdl() const { return window_; }
    // Stands in for the window system's window handle: a non-zero number
    // unique to this window.
    int32_t Handle() const { return handle_; }

    void SetTitle(const std::string& title);  // Windows-1252 text
    void Show();
    void Hide();
    bool Visible() const;
    bool Minimized() const;

    void Position(int32_t& x, int32_t& y) const;
    void SetPosition(int32_t x, int32_t y);
    // Outer size, the frame included.
    void Size(int32_t& w, int32_t& h) const;
    // The drawing area in pixels.
    void ClientSize(int32_t& w, int32_t& h) const;
    void SetClientSize(int32_t w, int32_t h);
    void SetBordered(bool bordered);
    // Covers the screen the window is on, or gives it back its place and
    // size. The desktop's own full-screen mode: the window system, not the
    // program, knows where the frame and the panels are. False when the
    // window system refused.
    bool SetFullScreen(bool full);
    bool FullScreen() const;
    // Brings the window to the front and gives it the keys, also where no
    // window manager hands the focus around.
    void TakeFocus();
    // The caption and frame as last asked for (drivers without frames, as
    // the headless one, keep the request all the same); none in full screen.
    bool Bordered() const { return bordered_ && !FullScreen(); }

    // Keeps mouse events coming while the pointer is outside the window.
    void CaptureMouse(bool capture);

    // Takes the next event from the queue; false when there is none (after
    // waiting up to timeoutMs, 0 = do not wait).
    bool PollEvent(WindowEvent& e, int32_t timeoutMs = 0);

private:
    Window() = default;
    SDL_Window* window_ = nullptr;
    bool headless_ = false;
    bool gl_ = false;
    int32_t handle_ = 0;
    bool sdlVideo_ = false;
    bool bordered_ = true;
};

// False on an X display where no window manager runs: nobody there acts on a
// request for full screen, and a window must be placed by hand.
bool HasWindowManager(SDL_Window* window);

// On X, a protocol error is logged as "WARN" and the program goes on, where
// the X library would end the process. AcquireSdlVideo puts it in place.
void InstallXErrorHandler();

// The desktop's clipboard, in Windows-1252 text. Without a display the text
// stays inside the program, so that copying can still be seen.
void SetClipboardText(const std::string& text);
std::string ClipboardText();

// Hands an address (UTF-8) to the desktop's opener ("xdg-open", looked up in
// PATH). False, with the reason in `error`, when there is no display, no
// opener, or the opener reported that it could not open it.
bool OpenUrl(const std::string& address, std::string* error = nullptr);

// Takes a reference on SDL's video subsystem, picking the dummy driver when
// headless. Unless SDL_VIDEODRIVER names one, only the display's own driver
// will do: a display that cannot be opened is no display, said once on
// stderr, and the program goes on headless. Every successful call needs one
// ReleaseSdlVideo.
bool AcquireSdlVideo(std::string* error);
void ReleaseSdlVideo();
// SDL_DestroyWindow and SDL_ShowWindow, but for a window of a display that
// went away, or one that another program destroyed: nothing waits for the
// server's word about a window that is not there.
void DestroySdlWindow(SDL_Window* window);
void ShowSdlWindow(SDL_Window* window);

}  // namespace zun
