#include "platform/Window.h"

#include <SDL2/SDL.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "platform/KeyMap.h"

namespace zun {

// In XErrorHandler.cpp, apart from the X headers.
void WatchXConnection(SDL_Window* window);
bool XWindowGone(SDL_Window* window);
void WithoutWaitingForGoneWindow(SDL_Window* window, void (*iCall)(SDL_Window*));

namespace {

// The display named could not be opened: the program runs as without one.
bool gNoDisplay = false;

std::string DisplayName() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return x && *x ? x : w && *w ? w : "";
}

}  // namespace

bool IsHeadless() {
    if (gNoDisplay || !LostDisplay().empty()) return true;
    const char* h = std::getenv("ZUN_HEADLESS");
    if (h && std::strcmp(h, "1") == 0) return true;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && std::strcmp(driver, "offscreen") == 0) return false;
    return (!x || !*x) && (!w || !*w);
}

bool AcquireSdlVideo(std::string* error) {
    if (!IsHeadless()) {
        InstallXErrorHandler();
        // Where the display cannot be opened SDL goes on to a driver that
        // shows nothing, and the game would play unseen for as long as
        // nobody ends it: only the display's own driver will do.
        const char* named = std::getenv("SDL_VIDEODRIVER");
        if (!named || !*named) {
            const char* wayland = std::getenv("WAYLAND_DISPLAY");
            SDL_SetHint(SDL_HINT_VIDEODRIVER, wayland && *wayland ? "wayland,x11" : "x11");
        }
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            InstallXErrorHandler();
            return true;
        }
        gNoDisplay = true;
        std::fprintf(stderr, "The display %s could not be opened (%s): running without a display\n",
                     DisplayName().c_str(), SDL_GetError());
        // Over a driver named in the environment too.
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (error) *error = std::string("SDL video could not start: ") + SDL_GetError();
        return false;
    }
    return true;
}

// Once the display went away SDL would wait for ever for the server to
// confirm that a window was unmapped: its windows are left to the process's
// end.
void ReleaseSdlVideo() {
    if (LostDisplay().empty()) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void DestroySdlWindow(SDL_Window* window) {
    if (window && LostDisplay().empty()) WithoutWaitingForGoneWindow(window, SDL_DestroyWindow);
}

void ShowSdlWindow(SDL_Window* window) {
    if (window && LostDisplay().empty()) WithoutWaitingForGoneWindow(window, SDL_ShowWindow);
}

DisplayModeInfo DesktopDisplayMode() {
    DisplayModeInfo m;
    if (IsHeadless() || !AcquireSdlVideo(nullptr)) return m;
    SDL_DisplayMode dm;
    if (SDL_GetDesktopDisplayMode(0, &dm) == 0 && dm.w > 0 && dm.h > 0) {
        m.Width = dm.w;
        m.Height = dm.h;
        m.RefreshRate = dm.refresh_rate > 0 ? dm.refresh_rate : 60;
    }
    ReleaseSdlVideo();
    return m;
}

namespace {

std::string gLocalClipboard;

// Typed text arrives as UTF-8; the game's characters are Windows-1252, and
// control characters are no text.
std::string TypedText(const char* utf8) {
    std::string s;
    for (char c : Utf8ToCp1252(utf8))
        if (static_cast<unsigned char>(c) >= 32 && c != 127) s += c;
    return s;
}

}  // namespace

void SetClipboardText(const std::string& text) {
    gLocalClipboard = text;
    if (!IsHeadless() && SDL_WasInit(SDL_INIT_VIDEO)) SDL_SetClipboardText(Cp1252ToUtf8(text).c_str());
}

std::string ClipboardText() {
    if (!IsHeadless() && SDL_WasInit(SDL_INIT_VIDEO) && SDL_HasClipboardText()) {
        char* t = SDL_GetClipboardText();
        std::string s = t ? Utf8ToCp1252(t) : std::string();
        SDL_free(t);
        return s;
    }
    return gLocalClipboard;
}

bool OpenUrl(const std::string& address, std::string* error) {
    if (IsHeadless()) {
        if (error) *error = "no desktop to open it on";
        return false;
    }
    // SDL's own opener reports success whenever it could start a process,
    // whether or not an opener ran in it. A helper process starts the opener
    // and waits half a second for its answer (the game's frames wait with
    // it); an opener still busy after that has found something to open with,
    // and is left to finish on its own.
    int report[2];
    if (pipe(report) != 0) {
        if (error) *error = std::string("no pipe: ") + std::strerror(errno);
        return false;
    }
    const pid_t helper = fork();
    if (helper < 0) {
        close(report[0]);
        close(report[1]);
        if (error) *error = std::string("no process: ") + std::strerror(errno);
        return false;
    }
    if (helper == 0) {
        close(report[0]);
        int32_t status = 0;
        char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(address.c_str()), nullptr};
        pid_t opener = 0;
        const int spawned = posix_spawnp(&opener, "xdg-open", nullptr, nullptr, argv, environ);
        if (spawned != 0) {
            status = -1;
        } else {
            for (int i = 0; i < 50; ++i) {
                int s = 0;
                if (waitpid(opener, &s, WNOHANG) == opener) {
                    status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + (WIFSIGNALED(s) ? WTERMSIG(s) : 0);
                    break;
                }
                const struct timespec step = {0, 10 * 1000 * 1000};
                nanosleep(&step, nullptr);
            }
        }
        [[maybe_unused]] ssize_t n = write(report[1], &status, sizeof status);
        _exit(0);
    }
    close(report[1]);
    int32_t status = -2;
    ssize_t n;
    do n = read(report[0], &status, sizeof status);
    while (n < 0 && errno == EINTR);
    close(report[0]);
    int ignored = 0;
    while (waitpid(helper, &ignored, 0) < 0 && errno == EINTR) {
    }
    if (n != ssize_t(sizeof status)) status = -2;
    if (status == 0) return true;
    if (error) {
        if (status == -1) *error = "no desktop opener (xdg-open) found";
        else if (status == -2) *error = "the desktop opener did not answer";
        else *error = "the desktop opener could not open it (status " + std::to_string(status) + ")";
    }
    return false;
}

bool TranslateSdlEvent(const SDL_Event& e, WindowEvent& out) {
    out = WindowEvent{};
    switch (e.type) {
    case SDL_WINDOWEVENT: out.WindowId = e.window.windowID; break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: out.WindowId = e.key.windowID; break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: out.WindowId = e.button.windowID; break;
    case SDL_MOUSEMOTION: out.WindowId = e.motion.windowID; break;
    case SDL_MOUSEWHEEL: out.WindowId = e.wheel.windowID; break;
    case SDL_TEXTINPUT: out.WindowId = e.text.windowID; break;
    default: break;
    }
    switch (e.type) {
    case SDL_QUIT: out.Type = WindowEventType::Quit; return true;
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED: out.Type = WindowEventType::DevicesChanged; return true;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.Type = WindowEventType::Close; return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            out.Type = WindowEventType::Resized;
            out.Width = e.window.data1;
            out.Height = e.window.data2;
            return true;
        case SDL_WINDOWEVENT_MOVED:
            out.Type = WindowEventType::Moved;
            out.X = e.window.data1;
            out.Y = e.window.data2;
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.Type = WindowEventType::Activated; return true;
        case SDL_WINDOWEVENT_FOCUS_LOST: out.Type = WindowEventType::Deactivated; return true;
        case SDL_WINDOWEVENT_HIDDEN:
            // Hidden by the program, minimised, or destroyed by another
            // client (a window manager, a tool): only the last ends the
            // window, and its owner sees it as the close box's request. A
            // window waited on for ever is not there to answer.
            if (!XWindowGone(SDL_GetWindowFromID(e.window.windowID))) return false;
            Log("WARN", "Window", "A window was destroyed from outside");
            out.Type = WindowEventType::Close;
            return true;
        default: return false;
        }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        out.Key = VirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.scancode);
        if (out.Key == 0) return false;
        out.Type = e.type == SDL_KEYDOWN ? WindowEventType::KeyDown : WindowEventType::KeyUp;
        out.Shift = ShiftMaskFromSdl(e.key.keysym.mod);
        // Held keys repeat their key-down, as the game has always seen them.
        out.Repeat = e.key.repeat != 0;
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        out.Button = ButtonBitFromSdl(e.button.button);
        if (out.Button == 0) return false;
        out.Type = e.type == SDL_MOUSEBUTTONDOWN ? WindowEventType::MouseDown : WindowEventType::MouseUp;
        out.Shift = ShiftMaskFromSdl(SDL_GetModState());
        out.X = e.button.x;
        out.Y = e.button.y;
        return true;
    case SDL_MOUSEMOTION:
        out.Type = WindowEventType::MouseMove;
        out.Button = ButtonMaskFromSdl(e.motion.state);
        out.Shift = ShiftMaskFromSdl(SDL_GetModState());
        out.X = e.motion.x;
        out.Y = e.motion.y;
        return true;
    case SDL_MOUSEWHEEL:
        out.Type = WindowEventType::MouseWheel;
        out.Wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        out.Shift = ShiftMaskFromSdl(SDL_GetModState());
        return out.Wheel != 0;
    case SDL_TEXTINPUT:
        out.Type = WindowEventType::TextInput;
        out.Text = TypedText(e.text.text);
        return !out.Text.empty();
    default: return false;
    }
}

std::unique_ptr<Window> Window::Create(const std::string& title, int32_t clientWidth, int32_t clientHeight,
                                       std::string* error) {
    if (clientWidth < 1 || clientHeight < 1 || clientWidth > 16384 || clientHeight > 16384) {
        if (error) *error = "window size out of range";
        return nullptr;
    }
    if (!AcquireSdlVideo(error)) return nullptr;
    std::unique_ptr<Window> w(new Window());
    w->sdlVideo_ = true;
    w->headless_ = IsHeadless();
    std::string utf8 = Cp1252ToUtf8(title);
    if (!w->headless_) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        // Drawing happens offscreen with its own depth buffer; the window only
        // receives the finished picture.
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        w->window_ = SDL_CreateWindow(utf8.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, clientWidth,
                                      clientHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
        w->gl_ = w->window_ != nullptr;
    }
    if (!w->window_)
        w->window_ = SDL_CreateWindow(utf8.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, clientWidth,
                                      clientHeight, SDL_WINDOW_HIDDEN);
    if (!w->window_) {
        if (error) *error = std::string("SDL_CreateWindow failed: ") + SDL_GetError();
        return nullptr;
    }
    w->handle_ = int32_t(SDL_GetWindowID(w->window_));
    return w;
}

void Window::OutliveDisplay() {
    if (!headless_) WatchXConnection(window_);
}

Window::~Window() {
    DestroySdlWindow(window_);
    if (sdlVideo_) ReleaseSdlVideo();
}

void Window::SetTitle(const std::string& title) { SDL_SetWindowTitle(window_, Cp1252ToUtf8(title).c_str()); }
void Window::Show() { ShowSdlWindow(window_); }
void Window::Hide() { SDL_HideWindow(window_); }
bool Window::Visible() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) != 0; }

bool Window::Minimized() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0; }

void Window::Position(int32_t& x, int32_t& y) const {
    int ix = 0, iy = 0;
    SDL_GetWindowPosition(window_, &ix, &iy);
    x = ix;
    y = iy;
}

void Window::SetPosition(int32_t x, int32_t y) { SDL_SetWindowPosition(window_, x, y); }

void Window::Size(int32_t& w, int32_t& h) const {
    int cw = 0, ch = 0, top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowSize(window_, &cw, &ch);
    if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
    w = cw + left + right;
    h = ch + top + bottom;
}

void Window::ClientSize(int32_t& w, int32_t& h) const {
    int cw = 0, ch = 0;
    SDL_GetWindowSize(window_, &cw, &ch);
    w = cw;
    h = ch;
}

void Window::SetClientSize(int32_t w, int32_t h) {
    if (w < 1 || h < 1) return;
    SDL_SetWindowSize(window_, w, h);
}

void Window::SetBordered(bool bordered) {
    bordered_ = bordered;
    SDL_SetWindowBordered(window_, bordered ? SDL_TRUE : SDL_FALSE);
}

bool Window::SetFullScreen(bool full) {
    if (full && !HasWindowManager(window_)) return false;
    return SDL_SetWindowFullscreen(window_, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
}

bool Window::FullScreen() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0; }

void Window::TakeFocus() {
    SDL_RaiseWindow(window_);
    // Without a window manager nobody else hands the keys back; drivers
    // that cannot do it say so, and raising is all there is then.
    if (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) SDL_SetWindowInputFocus(window_);
}

void Window::CaptureMouse(bool capture) { SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE); }

bool WaitSdlEvent(SDL_Event& e, int32_t timeoutMs) {
    // SDL's own wait is not used: it picks its newest window (a tool window,
    // when one is open) to be woken through, and an event queued while it
    // waits sends a wake-up naming that window on a second X connection. A
    // wake-up still on its way when the tool window closes names a window
    // the server no longer has; that error comes back only when SDL closes
    // the connection at the program's end, where it ended the process.
    // Polling in short steps wakes through nothing.
    const Uint32 start = SDL_GetTicks();
    for (;;) {
        if (SDL_PollEvent(&e)) return true;
        const Uint32 waited = SDL_GetTicks() - start;
        if (timeoutMs <= 0 || waited >= Uint32(timeoutMs)) return false;
        SDL_Delay(std::min<Uint32>(Uint32(timeoutMs) - waited, 2));
    }
}

bool Window::PollEvent(WindowEvent& out, int32_t timeoutMs) {
    SDL_Event e;
    bool waited = false;
    for (;;) {
        if (!WaitSdlEvent(e, waited ? 0 : timeoutMs)) return false;
        waited = true;
        if (TranslateSdlEvent(e, out)) return true;
    }
}

}  // namespace zun
