// Drawing control for scripts (chiefly the lens and the "renderInterface"
// handler): scenes and render targets, the lens buffer, filtering, blending,
// full-screen brightness and tint, screenshots; and the main window: render
// zoom, full screen, game updates, caption and the end of the program.
#include "core/zFileSystem.h"
#include "devices/zDDraw.h"
#include "game/scriptapi/gScript.h"
#include "game/shell/frmMain.h"
#include "game/world/gCharTest.h"
#include "platform/Window.h"

using namespace zun;

namespace tarv {

namespace {

// The lens has two render buffers, 0 and 1.
constexpr int32_t kRenderBufferCount = int32_t(sizeof(gCharTest.RenderBuffers) / sizeof(gCharTest.RenderBuffers[0]));

int32_t RenderBufferIndex(int32_t iIndex) {
    if (iIndex < 0 || iIndex >= kRenderBufferCount) Raise(errSubscript);
    return iIndex;
}

void beginScene(GameCall& c) {
    c.FillDefaults(0, "0");
    const int32_t target = c.Long(1);
    // The frame's colour is kept while BackColor is 0; whether it began is not asked.
    zDDraw.BeginScene(zDDraw.BackColor, target);
}

void endScene(GameCall& c) {
    c.FillDefaults(0, "true");
    zDDraw.EndScene(c.Bool(1));
}

void createRenderTarget(GameCall& c) {
    c.Result->SetLong(zDDraw.CreateRenderTarget(c.Long(1)));
}

void endTextureScene(GameCall&) {
    zDDraw.EndTextureScene();
}

void setRenderBuffer(GameCall& c) {
    // The render pipeline indexes the buffers with it every frame: an index
    // that names no buffer is refused here rather than there.
    gCharTest.RenderBuffer = RenderBufferIndex(c.Long(1));
}

void getRenderBuffer(GameCall& c) {
    const int32_t index = c.Count == 1 ? RenderBufferIndex(c.Long(1)) : 0;
    c.Result->SetLong(gCharTest.RenderBuffers[index]);
}

void setTextureFilter(GameCall& c) {
    zDDraw.SetTextureFilter(c.Long(1));
}

void setAlphaMode(GameCall& c) {
    // Scripts name the mode without its prefix: "Add" for "eBlend_Add".
    zDDraw.SetAlphaMode(GetBlendMode("eBlend_" + c.Str(1)));
}

void setAlphaValue(GameCall& c) {
    float value = c.Single(1);
    zDDraw.SetAlphaValue(value, 100);
}

void applyGamma(GameCall& c) {
    float gamma = c.Single(1);
    zDDraw.ApplyGamma(gamma);
}

void applyTint(GameCall& c) {
    const float red = c.Single(1), green = c.Single(2), blue = c.Single(3);
    zDDraw.ApplyTint(red, green, blue);
}

void saveScreenshot(GameCall& c) {
    // The name is taken as given: no extension is added.
    const std::string file = zFileSystem.AppPath + c.Str(1);
    zDDraw.SaveScreenShot(file, RECT{0, 0, zDDraw.ScreenW, zDDraw.ScreenH}, 0);
}

void setRenderZoom(GameCall& c) {
    float zoom = c.Single(1);
    frmMain.SetRenderZoom(zoom);
}

void setFullScreen(GameCall& c) {
    frmMain.SetFullScreen(c.Bool(1));
}

void doGameUpdates(GameCall& c) {
    gCharTest.GameUpdates = c.Bool(1);
}

void setCaption(GameCall& c) {
    const std::string text = c.Str(1);
    if (frmMain.Window) frmMain.Window->SetTitle(text);
}

void exitGame(GameCall&) {
    // The same shut-down as closing the window.
    frmMain.Form_Unload();
}

const GameFunctionEntry kEntries[] = {
    {"beginScene", beginScene},
    {"endScene", endScene},
    {"createRenderTarget", createRenderTarget},
    {"endTextureScene", endTextureScene},
    {"setRenderBuffer", setRenderBuffer},
    {"getRenderBuffer", getRenderBuffer},
    {"setTextureFilter", setTextureFilter},
    {"setAlphaMode", setAlphaMode},
    {"setAlphaValue", setAlphaValue},
    {"applyGamma", applyGamma},
    {"applyTint", applyTint},
    {"saveScreenshot", saveScreenshot},
    {"setRenderZoom", setRenderZoom},
    {"setFullScreen", setFullScreen},
    {"doGameUpdates", doGameUpdates},
    {"setCaption", setCaption},
    {"exitGame", exitGame},
};

}  // namespace

void AddRenderFunctions() {
    AddGameFunctions(kEntries);
}

}  // namespace tarv
