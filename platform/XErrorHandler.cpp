// What becomes of an X protocol error. The X library's own handler prints the
// error and ends the process (SDL's handler hands the error on to it), from
// inside whatever X call the error came back to: without the game's "onExit",
// and with the process's destructors running while that call is half done. A
// request that names a window the server no longer has (one another client
// or the window manager tore down, or one gone while a request about it was
// on its way) is no reason to end the game: the error is logged as a warning
// and the program carries on. A connection that breaks (the server ended) is
// noted instead of ending the process, so that the frame loop can end the
// program in order. Kept apart from Window.cpp for the same reason as
// WindowManager.cpp: the X headers' names clash with the window code's.
// The log's header first: the X headers that SDL_syswm.h brings define None
// as a macro.
#include "core/zCore.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>

#include <unistd.h>

#include <cstdio>
#include <string>

namespace zun {

// Declared in platform/Window.h, which cannot be included next to the X
// headers.
void InstallXErrorHandler();
void WatchXConnection(SDL_Window* window);
bool XWindowGone(SDL_Window* window);
void WithoutWaitingForGoneWindow(SDL_Window* window, void (*iCall)(SDL_Window*));
std::string LostDisplay();

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

using ErrorHandlerFn = int (*)(Display*, XErrorEvent*);
using SetErrorHandlerFn = ErrorHandlerFn (*)(ErrorHandlerFn);
using GetErrorTextFn = int (*)(Display*, int, char*, int);
using IOErrorHandlerFn = int (*)(Display*);
using SetIOErrorHandlerFn = IOErrorHandlerFn (*)(IOErrorHandlerFn);
using IOErrorExitFn = void (*)(Display*, void*);
using SetIOErrorExitFn = void (*)(Display*, IOErrorExitFn, void*);
using DisplayStringFn = char* (*)(Display*);
using SyncFn = int (*)(Display*, Bool);
using GetWindowAttributesFn = Status (*)(Display*, ::Window, XWindowAttributes*);
using PutBackEventFn = int (*)(Display*, XEvent*);
using EventPredicate = Bool (*)(Display*, XEvent*, XPointer);
using CheckIfEventFn = Bool (*)(Display*, XEvent*, EventPredicate, XPointer);

GetErrorTextFn gGetErrorText = nullptr;
// A window that keeps failing fails on every frame: the log takes the first
// few, then says that it stops.
constexpr int kLoggedErrors = 20;
int gErrors = 0;
// A question whose error is its answer (does this window still exist?):
// the error is taken as the answer instead of being logged.
bool gAsking = false;
bool gAskFailed = false;
// The connection the program's windows live on, whose loss the frame loop
// handles, and the name of the display once a connection broke.
Display* gWatched = nullptr;
std::string gLost;

// SDL has the X library loaded already; the program does not link it. The
// handle is kept: the handlers must outlive every display. Looked for again
// until found: before SDL's video starts the library may not be loaded yet.
void* XLibrary() {
    static void* x11 = nullptr;
    if (!x11) x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    return x11;
}

template <class Fn>
Fn XFunction(const char* iName) {
    void* x11 = XLibrary();
    return x11 ? reinterpret_cast<Fn>(dlsym(x11, iName)) : nullptr;
}

int LogXError(Display* iDisplay, XErrorEvent* iError) {
    if (gAsking) {
        gAskFailed = true;
        return 0;
    }
    if (!iError || ++gErrors > kLoggedErrors) return 0;
    char text[160] = "";
    if (gGetErrorText) gGetErrorText(iDisplay, iError->error_code, text, int(sizeof text));
    if (!text[0]) std::snprintf(text, sizeof text, "error %d", int(iError->error_code));
    char request[96];
    std::snprintf(request, sizeof request, "request %d.%d, resource 0x%lx", int(iError->request_code),
                  int(iError->minor_code), static_cast<unsigned long>(iError->resourceid));
    Log("WARN", "X11", text, request);
    if (gErrors == kLoggedErrors) Log("WARN", "X11", "Further X errors are not logged");
    return 0;
}

// The connection broke: the server ended, or the display was taken away.
int NoteLostConnection(Display* iDisplay) {
    if (gLost.empty()) {
        const auto name = XFunction<DisplayStringFn>("XDisplayString");
        const char* n = name ? name(iDisplay) : nullptr;
        gLost = n && *n ? n : "(unnamed)";
    }
    if (iDisplay != gWatched) {
        // A connection of SDL's own that the program cannot reach, or the
        // window's own before the frame loop runs (the GL driver, half way
        // through making its context, would crash on it): the X library ends
        // the process when this returns, so it ends here, with the reason
        // and the status of an error.
        std::fprintf(stderr, "ERR\tX11\tThe connection to the display %s was lost\n", gLost.c_str());
        std::fflush(nullptr);
        _exit(1);
    }
    return 0;
}

// In place of the X library's exit: the frame loop sees LostDisplay() and
// ends the program in order. Every later call on the connection fails at
// once without asking the server.
void KeepRunning(Display*, void*) {}

}  // namespace

void InstallXErrorHandler() {
    if (!XLibrary()) return;
    const auto setHandler = XFunction<SetErrorHandlerFn>("XSetErrorHandler");
    gGetErrorText = XFunction<GetErrorTextFn>("XGetErrorText");
    // SDL puts its own handler in when its video starts, handing errors on
    // to the one it found, and puts that one back before it closes its
    // connections, where errors still pending come back: ours goes in before
    // SDL's video starts, so that it is the one SDL finds, and after.
    if (setHandler) setHandler(LogXError);
    if (const auto setIOHandler = XFunction<SetIOErrorHandlerFn>("XSetIOErrorHandler"))
        setIOHandler(NoteLostConnection);
}

void WatchXConnection(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    // An X library without the exit handler ends the process on a broken
    // connection, as it always did.
    const auto setExit = XFunction<SetIOErrorExitFn>("XSetIOErrorExitHandler");
    if (!setExit) return;
    gWatched = info.info.x11.display;
    setExit(gWatched, KeepRunning, nullptr);
}

bool XWindowGone(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    const auto sync = XFunction<SyncFn>("XSync");
    const auto attributes = XFunction<GetWindowAttributesFn>("XGetWindowAttributes");
    if (!sync || !attributes) return false;
    Display* d = info.info.x11.display;
    // Errors of earlier requests are theirs, not the question's.
    sync(d, False);
    gAsking = true;
    gAskFailed = false;
    XWindowAttributes a;
    const bool there = attributes(d, info.info.x11.window, &a) != 0;
    sync(d, False);
    gAsking = false;
    return !there || gAskFailed;
}

namespace {

// Our own word about a window, as it was put in front of the queue: sent,
// with a serial number the server never gives.
Bool IsOwnWordAbout(Display*, XEvent* iEvent, XPointer iWindow) {
    const ::Window w = *reinterpret_cast<::Window*>(iWindow);
    return iEvent->xany.send_event && iEvent->xany.serial == 0 &&
           ((iEvent->type == MapNotify && iEvent->xmap.window == w) ||
            (iEvent->type == UnmapNotify && iEvent->xunmap.window == w));
}

}  // namespace

void WithoutWaitingForGoneWindow(SDL_Window* window, void (*iCall)(SDL_Window*)) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    const auto putBack = XFunction<PutBackEventFn>("XPutBackEvent");
    const auto checkIf = XFunction<CheckIfEventFn>("XCheckIfEvent");
    if (!window || !putBack || !checkIf || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11 || !XWindowGone(window)) {
        iCall(window);
        return;
    }
    // SDL hides a window before it destroys it and shows one by mapping it,
    // and then waits for the server to say it is done; about a window that
    // is gone the server says nothing, and the wait would never end. (SDL
    // asks first whether the window is mapped, and reads the answer the
    // server refused to give as if it had been given.) The word it waits for
    // is put in front of the queue; what it did not take is taken back.
    Display* d = info.info.x11.display;
    ::Window w = info.info.x11.window;
    for (const int type : {MapNotify, UnmapNotify}) {
        XEvent e{};
        e.type = type;
        e.xany.send_event = True;
        e.xany.serial = 0;
        e.xany.display = d;
        if (type == MapNotify) e.xmap.event = e.xmap.window = w;
        else e.xunmap.event = e.xunmap.window = w;
        putBack(d, &e);
    }
    iCall(window);
    XEvent left;
    while (checkIf(d, &left, IsOwnWordAbout, reinterpret_cast<XPointer>(&w))) {
    }
}

std::string LostDisplay() { return gLost; }
#else
void InstallXErrorHandler() {}
void WatchXConnection(SDL_Window*) {}
bool XWindowGone(SDL_Window*) { return false; }
void WithoutWaitingForGoneWindow(SDL_Window* window, void (*iCall)(SDL_Window*)) { iCall(window); }
std::string LostDisplay() { return ""; }
#endif

}  // namespace zun
