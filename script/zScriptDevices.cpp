// Binds the host built-ins to the device layer and the platform dialogs.
#include <optional>

#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "platform/Dialogs.h"
#include "script/zScript.h"
#include "script/zScriptHost.h"

namespace zun {

void BindScriptDevices() {
    ScriptDevices& d = gScriptDevices;
    d.BltPoint = [](float x, float y, int32_t c) { zDDraw.BltPoint(x, y, c); };
    d.BltLine = [](float x1, float y1, float x2, float y2, int32_t c1, int32_t c2) {
        zDDraw.BltLine(x1, y1, x2, y2, c1, c2);
    };
    d.BltSurface = [](float x, float y, float w, float h, int32_t c) { zDDraw.BltSurface(x, y, w, h, c); };
    d.BltCircle = [](float x, float y, float r, int32_t line, int32_t fill, float q) {
        zDDraw.BltCircle(x, y, r, line, fill, q);
    };
    d.Blt = [](int32_t t, float x, float y, float w, float h, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
               int32_t c, float s) { zDDraw.Blt(t, x, y, w, h, sx, sy, sw, sh, c, s); };
    d.BltRotate = [](int32_t t, float x, float y, float w, float h, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                     int32_t c, float a, float cx, float cy, float s, uint8_t flip) {
        zDDraw.BltRotate(t, x, y, w, h, sx, sy, sw, sh, c, a, cx, cy, s, flip);
    };
    d.BeginScene = [](int32_t back, int32_t target) { return zDDraw.BeginScene(back, target); };
    d.EndScene = [](bool present) { zDDraw.EndScene(present); };
    d.CreateRenderTarget = [](int32_t size) { return zDDraw.CreateRenderTarget(size); };
    d.EndTextureScene = [] { zDDraw.EndTextureScene(); };
    d.ApplyGamma = [](float g) { zDDraw.ApplyGamma(g); };
    d.ApplyTint = [](float r, float g, float b) { zDDraw.ApplyTint(r, g, b); };
    d.SaveScreenShot = [](const std::string& file, int32_t l, int32_t t, int32_t r, int32_t b, int32_t fmt) {
        return zDDraw.SaveScreenShot(file, RECT{l, t, r, b}, fmt);
    };
    d.LoadTexture = [](const std::string& file, bool smooth, int32_t key, int32_t mips, int32_t fmt) {
        return zDDraw.LoadTexture(file, smooth, key, mips, fmt);
    };
    d.GetColorRGBA = [](float r, float g, float b, float a) { return zDDrawModule::GetColorRGBA(r, g, b, a); };
    d.GetColorRGB = [](float r, float g, float b) { return zDDrawModule::GetColorRGB(r, g, b); };
    d.GetGrayColor = [](float v) { return zDDrawModule::GetGrayColor(v); };
    d.SetRenderZ = [](float z) { zDDraw.RenderZ = z; };
    d.SetDiffuseColor = [](int32_t c) { zDDraw.DiffuseColor = c; };
    d.SetBackColor = [](int32_t c) { zDDraw.BackColor = c; };
    d.GetBackColor = [] { return zDDraw.BackColor; };
    d.SetGreyscaleColor = [](int32_t c) { zDDraw.GreyscaleColor = c; };
    d.MouseX = [] { return zDInput.MouseX; };
    d.MouseY = [] { return zDInput.MouseY; };
    d.ViewW = [] { return zDDraw.ViewW; };
    d.ViewH = [] { return zDDraw.ViewH; };
    d.ScreenW = [] { return zDDraw.ScreenW; };
    d.ScreenH = [] { return zDDraw.ScreenH; };

    // The game may have put in boxes of its own (that count what a script
    // opens); the platform's otherwise.
    if (!gScriptHooks.MessageBox)
        gScriptHooks.MessageBox = [](const std::string& text, const std::string& title, int32_t style) {
            return ShowMessageBox(text, style, title);
        };
    if (!gScriptHooks.InputBox)
        gScriptHooks.InputBox = [](const std::string& prompt, const std::string& title) -> std::optional<std::string> {
            return ShowInputBox(prompt, title);
        };
}

}  // namespace zun
