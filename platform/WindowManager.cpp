// Whether a window manager runs on the window's X display. Kept apart from
// Window.cpp: the X headers define names (None, Bool, Status) that the rest
// of the window code uses for its own.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>

// Declared in platform/Window.h, which cannot be included next to the X
// headers.
namespace zun {

bool HasWindowManager(SDL_Window* window);

bool HasWindowManager(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    // Other window systems always have their compositor.
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
#if defined(SDL_VIDEO_DRIVER_X11)
    // SDL has the X library loaded already; the program does not link it.
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (!x11) return true;
    using InternAtomFn = Atom (*)(Display*, const char*, Bool);
    using GetPropertyFn = int (*)(Display*, ::Window, Atom, long, long, Bool, Atom, Atom*, int*, unsigned long*,
                                  unsigned long*, unsigned char**);
    using FreeFn = int (*)(void*);
    const auto internAtom = reinterpret_cast<InternAtomFn>(dlsym(x11, "XInternAtom"));
    const auto getProperty = reinterpret_cast<GetPropertyFn>(dlsym(x11, "XGetWindowProperty"));
    const auto xFree = reinterpret_cast<FreeFn>(dlsym(x11, "XFree"));
    bool managed = true;
    if (internAtom && getProperty && xFree) {
        Display* d = info.info.x11.display;
        // A window manager that follows the desktop conventions names its
        // own window on the root window.
        const Atom check = internAtom(d, "_NET_SUPPORTING_WM_CHECK", True);
        const Atom windowType = internAtom(d, "WINDOW", False);
        managed = false;
        if (check != None) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, rest = 0;
            unsigned char* data = nullptr;
            if (getProperty(d, DefaultRootWindow(d), check, 0, 1, False, windowType, &type, &format, &count, &rest,
                            &data) == Success &&
                data && count == 1)
                managed = true;
            if (data) xFree(data);
        }
    }
    dlclose(x11);
    return managed;
#else
    return true;
#endif
}

}  // namespace zun
