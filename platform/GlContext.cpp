#include "platform/GlContext.h"

#include <cstdio>
#include <cstring>

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <SDL2/SDL.h>

#include "platform/Window.h"

namespace zun {

namespace {

// The EGL display is process-wide; it is terminated when the last context
// made on it goes, so tests may open and close backends freely.
EGLDisplay gEglDisplay = EGL_NO_DISPLAY;
int gEglUsers = 0;

std::string EglErrorText(const char* what) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s failed (EGL error 0x%04X)", what, unsigned(eglGetError()));
    return buf;
}

bool HasExtension(const char* list, const char* name) {
    if (!list) return false;
    size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        bool startOk = p == list || p[-1] == ' ';
        bool endOk = p[n] == ' ' || p[n] == '\0';
        if (startOk && endOk) return true;
    }
    return false;
}

class SurfacelessContext final : public GlContext {
public:
    ~SurfacelessContext() override {
        if (context_ != EGL_NO_CONTEXT) {
            if (eglGetCurrentContext() == context_)
                eglMakeCurrent(gEglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(gEglDisplay, context_);
        }
        if (counted_ && --gEglUsers == 0) {
            eglTerminate(gEglDisplay);
            eglReleaseThread();
            gEglDisplay = EGL_NO_DISPLAY;
        }
    }

    bool Open(std::string* error) {
        auto fail = [&](std::string text) {
            if (error) *error = std::move(text);
            return false;
        };
        const char* clientExt = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        if (!HasExtension(clientExt, "EGL_MESA_platform_surfaceless"))
            return fail("EGL has no surfaceless platform (EGL_MESA_platform_surfaceless)");
        if (gEglUsers == 0) {
            gEglDisplay = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
            if (gEglDisplay == EGL_NO_DISPLAY) return fail(EglErrorText("eglGetPlatformDisplay"));
            EGLint major = 0, minor = 0;
            if (!eglInitialize(gEglDisplay, &major, &minor)) return fail(EglErrorText("eglInitialize"));
        }
        ++gEglUsers;
        counted_ = true;
        if (!eglBindAPI(EGL_OPENGL_API)) return fail(EglErrorText("eglBindAPI"));

        EGLConfig config = EGL_NO_CONFIG_KHR;
        const char* displayExt = eglQueryString(gEglDisplay, EGL_EXTENSIONS);
        if (!HasExtension(displayExt, "EGL_KHR_no_config_context") &&
            !HasExtension(displayExt, "EGL_MESA_configless_context")) {
            const EGLint want[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
            EGLint found = 0;
            if (!eglChooseConfig(gEglDisplay, want, &config, 1, &found) || found < 1)
                return fail(EglErrorText("eglChooseConfig"));
        }
        if (!HasExtension(displayExt, "EGL_KHR_surfaceless_context"))
            return fail("EGL display cannot make a context current without a surface");
        const EGLint attribs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                  EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
        context_ = eglCreateContext(gEglDisplay, config, EGL_NO_CONTEXT, attribs);
        if (context_ == EGL_NO_CONTEXT) return fail(EglErrorText("eglCreateContext (OpenGL 3.3 core)"));
        if (!MakeCurrent()) return fail(EglErrorText("eglMakeCurrent"));
        return true;
    }

    bool MakeCurrent() override {
        return eglMakeCurrent(gEglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
    }
    void* GetProc(const char* name) override { return reinterpret_cast<void*>(eglGetProcAddress(name)); }
    void Swap() override {}
    bool HasWindow() const override { return false; }
    void DrawableSize(int32_t& w, int32_t& h) const override { w = h = 0; }

private:
    EGLContext context_ = EGL_NO_CONTEXT;
    bool counted_ = false;
};

class WindowContext final : public GlContext {
public:
    explicit WindowContext(Window& w) : window_(w) {}
    ~WindowContext() override {
        if (context_) SDL_GL_DeleteContext(context_);
    }
    bool Open(std::string* error) {
        context_ = SDL_GL_CreateContext(window_.Sdl());
        if (!context_) {
            if (error) *error = std::string("SDL_GL_CreateContext failed: ") + SDL_GetError();
            return false;
        }
        SDL_GL_SetSwapInterval(0);
        return MakeCurrent();
    }
    bool MakeCurrent() override { return SDL_GL_MakeCurrent(window_.Sdl(), context_) == 0; }
    void* GetProc(const char* name) override { return SDL_GL_GetProcAddress(name); }
    void Swap() override { SDL_GL_SwapWindow(window_.Sdl()); }
    bool HasWindow() const override { return true; }
    void DrawableSize(int32_t& w, int32_t& h) const override {
        int iw = 0, ih = 0;
        SDL_GL_GetDrawableSize(window_.Sdl(), &iw, &ih);
        w = iw;
        h = ih;
    }

private:
    Window& window_;
    SDL_GLContext context_ = nullptr;
};

}  // namespace

std::unique_ptr<GlContext> CreateSurfacelessContext(std::string* error) {
    auto c = std::make_unique<SurfacelessContext>();
    if (!c->Open(error)) return nullptr;
    return c;
}

std::unique_ptr<GlContext> CreateWindowContext(Window& window, std::string* error) {
    if (!window.HasGLSurface()) {
        if (error) *error = "the window has no GL surface";
        return nullptr;
    }
    auto c = std::make_unique<WindowContext>(window);
    if (!c->Open(error)) return nullptr;
    return c;
}

}  // namespace zun
