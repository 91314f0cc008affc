// The host built-ins: drawing, colours, angles and distances, scenes and
// render targets, images, the mouse and the view, script loading and calls by
// name. Logging is the engine's "log", which answers before any host name. They read their arguments with the value getters, so a
// script may pass anything that converts.
#include <algorithm>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "script/zScriptHost.h"
#include "script/zScriptRun.h"

namespace zun {

ScriptDevices gScriptDevices;

const char* const kHostNames[kHostNameCount] = {
    "drawPoint",       "drawLine",     "drawRect",       "fillRect",        "drawCircle",     "clipValue",
    "clipAngle",       "angleDiff",    "getAngle",       "getDist",         "beginScene",     "endScene",
    "createRenderTarget", "endTextureScene", "applyGamma", "applyTint",    "saveScreenshot", "setRenderZ",
    "loadImage",       "blt",          "bltRotate",      "rgba",            "rgbx",           "rgbGrey",
    "rgb",             "setDiffuseColor", "setBackColor", "setGreyscaleColor", "getMouseX",   "getMouseY",
    "getScreenW",      "getScreenH",   "loadScriptFile", "callByName",      "debug"};

namespace run {
namespace {

float N(const zScriptArgs& a, int32_t i) { return Arg(a, i).GetSingle(); }
int32_t I(const zScriptArgs& a, int32_t i) { return Arg(a, i).GetLong(); }
std::string T(const zScriptArgs& a, int32_t i) { return Arg(a, i).GetString(); }

template <class F, class... A>
void Call(const F& fn, A&&... args) {
    if (fn) fn(std::forward<A>(args)...);
}
template <class F, class... A>
int32_t Ask(const F& fn, A&&... args) {
    return fn ? static_cast<int32_t>(fn(std::forward<A>(args)...)) : 0;
}

ValueRef IntResult(ValueRef r, int32_t v) {
    r->SetLong(v);
    return r;
}
ValueRef FloatResult(ValueRef r, float v) {
    r->SetSingle(v);
    return r;
}

void Line(float x1, float y1, float x2, float y2, int32_t c1, int32_t c2) {
    Call(gScriptDevices.BltLine, x1, y1, x2, y2, c1, c2);
}

}  // namespace

ValueRef HostBuiltin(int id, zScriptObject* caller, zScriptArray* values, zScriptArgs& a) {
    ScriptDevices& d = gScriptDevices;
    ValueRef r = zScriptValue::New();
    const int32_t argc = a.Count();
    switch (id) {
        case 0: Call(d.BltPoint, N(a, 1), N(a, 2), I(a, 3)); break;
        case 1: {  // drawLine: the colours are read as whole numbers, so no bit of them is lost
            float x1 = N(a, 1), y1 = N(a, 2), x2 = N(a, 3), y2 = N(a, 4);
            int32_t c1 = I(a, 5);
            int32_t c2 = argc == 5 ? c1 : I(a, 6);
            Line(x1, y1, x2, y2, c1, c2);
            break;
        }
        case 2: {  // drawRect
            float x = N(a, 1), y = N(a, 2), w = N(a, 3), h = N(a, 4);
            int32_t c = I(a, 5);
            float x2 = x + w - 1, y2 = y + h - 1;
            Line(x - 1, y, x2, y, c, c);
            Line(x2, y, x2, y2, c, c);
            Line(x, y, x, y2, c, c);
            Line(x, y2, x2, y2, c, c);
            break;
        }
        case 3: Call(d.BltSurface, N(a, 1), N(a, 2), N(a, 3), N(a, 4), I(a, 5)); break;
        case 4:  // drawCircle
            zScript.ParseArguments(a, 4, "0,1.0");
            Call(d.BltCircle, N(a, 1), N(a, 2), N(a, 3), I(a, 4), I(a, 5), N(a, 6));
            break;
        case 5:  // clipValue
            if (argc == 4) return FloatResult(r, zMath::WrapValue(N(a, 1), N(a, 2), N(a, 3), N(a, 4)));
            return FloatResult(r, zMath::Clamp(N(a, 1), N(a, 2), N(a, 3)));
        case 6: return FloatResult(r, zMath::NormalizeAngle(N(a, 1)));
        case 7: return FloatResult(r, zMath::AngleDist(N(a, 1), N(a, 2)));
        case 8: return FloatResult(r, zMath::GetAngle(N(a, 1), N(a, 2), N(a, 3), N(a, 4)));
        case 9: return FloatResult(r, zMath::GetDistance(N(a, 1), N(a, 2), N(a, 3), N(a, 4)));
        case 10: {  // beginScene
            zScript.ParseArguments(a, 0, "0");
            int32_t back = Ask(d.GetBackColor);
            Call(d.BeginScene, back, I(a, 1));
            break;
        }
        case 11:
            zScript.ParseArguments(a, 0, "true");
            Call(d.EndScene, Arg(a, 1).GetBool());
            break;
        case 12: return IntResult(r, Ask(d.CreateRenderTarget, I(a, 1)));
        case 13: Call(d.EndTextureScene); break;
        case 14: Call(d.ApplyGamma, N(a, 1)); break;
        case 15: Call(d.ApplyTint, N(a, 1), N(a, 2), N(a, 3)); break;
        case 16:  // saveScreenshot
            Call(d.SaveScreenShot, zFileSystem.AppPath + T(a, 1), 0, 0, Ask(d.ScreenW), Ask(d.ScreenH), 0);
            break;
        case 17: Call(d.SetRenderZ, N(a, 1)); break;
        case 18: {  // loadImage
            zScript.ParseArguments(a, 1, "false,-1");
            std::string file = T(a, 1);
            bool smooth = Arg(a, 2).GetBool();
            return IntResult(r, Ask(d.LoadTexture, file, smooth, I(a, 3), 1, 0));
        }
        case 19:  // blt
            zScript.ParseArguments(a, 3, "0.0,0.0,0,0,0,0,-1,1.0");
            Call(d.Blt, I(a, 1), N(a, 2), N(a, 3), N(a, 4), N(a, 5), I(a, 6), I(a, 7), I(a, 8), I(a, 9), I(a, 10),
                 N(a, 11));
            break;
        case 20:  // bltRotate
            zScript.ParseArguments(a, 3, "0.0,0.0,0,0,0,0,-1,0.0,0.0,0.0,1.0");
            Call(d.BltRotate, I(a, 1), N(a, 2), N(a, 3), N(a, 4), N(a, 5), I(a, 6), I(a, 7), I(a, 8), I(a, 9),
                 I(a, 10), N(a, 11), N(a, 12), N(a, 13), N(a, 14), uint8_t(0));
            break;
        case 21: return IntResult(r, Ask(d.GetColorRGBA, N(a, 1), N(a, 2), N(a, 3), N(a, 4)));
        case 22: return IntResult(r, Ask(d.GetColorRGB, N(a, 1), N(a, 2), N(a, 3)));
        case 23: return IntResult(r, Ask(d.GetGrayColor, N(a, 1)));
        case 24: {  // rgb: red in the lowest byte; components outside 0..255 are clamped
            auto part = [&](int32_t i) { return std::clamp<int32_t>(Arg(a, i).Data.ToInteger(), 0, 255); };
            int32_t red = part(1), green = part(2), blue = part(3);
            return IntResult(r, red + 256 * green + 65536 * blue);
        }
        case 25: Call(d.SetDiffuseColor, I(a, 1)); break;
        case 26: Call(d.SetBackColor, I(a, 1)); break;
        case 27: Call(d.SetGreyscaleColor, I(a, 1)); break;
        case 28: return IntResult(r, d.MouseX ? CLng(d.MouseX()) : 0);
        case 29: return IntResult(r, d.MouseY ? CLng(d.MouseY()) : 0);
        case 30: return IntResult(r, Ask(d.ViewW));
        case 31: return IntResult(r, Ask(d.ViewH));
        case 32: {  // loadScriptFile: a script names files inside the program folder only
            const std::string name = T(a, 1);
            if (IsInnerFileName(name)) zScript.LoadScriptFile(name);
            else LogOutsideName("loadScriptFile", name);
            break;
        }
        case 33: {  // callByName: the called function's result is not passed on
            std::shared_ptr<iClass> target = Arg(a, 1).GetObject();
            auto obj = std::dynamic_pointer_cast<zScriptObject>(target);
            if (!obj) Raise(target ? errObjectRequired : errObjectNotSet);
            obj->Execute(T(a, 2));
            break;
        }
        case 34: T(a, 1); break;
        default: break;
    }
    (void)caller;
    (void)values;
    return r;
}

}  // namespace run
}  // namespace zun
