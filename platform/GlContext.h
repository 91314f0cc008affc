// Where an OpenGL 3.3 core context comes from: a window through SDL2, or an
// offscreen EGL context on Mesa when there is no display.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zun {

class Window;

class GlContext {
public:
    virtual ~GlContext() = default;
    virtual bool MakeCurrent() = 0;
    virtual void* GetProc(const char* name) = 0;
    // Shows the window's default framebuffer; no-op offscreen.
    virtual void Swap() = 0;
    virtual bool HasWindow() const = 0;
    // Pixel size of the window's default framebuffer (0 x 0 offscreen).
    virtual void DrawableSize(int32_t& w, int32_t& h) const = 0;
};

// EGL on Mesa's surfaceless platform: no window, no display server.
std::unique_ptr<GlContext> CreateSurfacelessContext(std::string* error);
// A context on the window's GL surface.
std::unique_ptr<GlContext> CreateWindowContext(Window& window, std::string* error);

}  // namespace zun
