// What becomes of an X protocol error. The X library's own handler prints the
// error and ends the process (SDL's handler hands the error on to it), from
// inside whatever X call the error came back to: without the game's "onExit",
// and with the process's destructors running while that call is half done. A
// request that names a window the server no longer has (one another client
// or the window manager tore down, or one gone while a request about it was
// on its way) is no reason to end the game: the error is logged as a warning
// and the program carries on. Kept apart from Window.cpp for the same reason
// as WindowManager.cpp: the X headers' names clash with the window code's.
// The log's header first: the X headers that SDL_syswm.h brings define None
// as a macro.
#include "core/zCore.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>

#include <cstdio>
#include <string>

namespace zun {

void InstallXErrorHandler();

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

using ErrorHandlerFn = int (*)(Display*, XErrorEvent*);
using SetErrorHandlerFn = ErrorHandlerFn (*)(ErrorHandlerFn);
using GetErrorTextFn = int (*)(Display*, int, char*, int);

GetErrorTextFn gGetErrorText = nullptr;
// A window that keeps failing fails on every frame: the log takes the first
// few, then says that it stops.
constexpr int kLoggedErrors = 20;
int gErrors = 0;

int LogXError(Display* iDisplay, XErrorEvent* iError) {
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

}  // namespace

void InstallXErrorHandler() {
    // SDL has the X library loaded already; the program does not link it.
    // The handle is kept: the handler must outlive every display.
    // Looked for again until found: before SDL's video starts the library
    // may not be loaded yet.
    static void* x11 = nullptr;
    if (!x11) x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (!x11) return;
    const auto setHandler = reinterpret_cast<SetErrorHandlerFn>(dlsym(x11, "XSetErrorHandler"));
    gGetErrorText = reinterpret_cast<GetErrorTextFn>(dlsym(x11, "XGetErrorText"));
    // SDL puts its own handler in when its video starts, handing errors on
    // to the one it found, and puts that one back before it closes its
    // connections, where errors still pending come back: ours goes in before
    // SDL's video starts, so that it is the one SDL finds, and after.
    if (setHandler) setHandler(LogXError);
}
#else
void InstallXErrorHandler() {}
#endif

}  // namespace zun
