#include "game/shell/gRender.h"

#include <algorithm>
#include <memory>

#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "game/effects/gParticleSystem.h"
#include "game/effects/gWeather.h"
#include "game/shell/frmMain.h"
#include "game/shell/gGroundCopy.h"
#include "game/shell/mShellWindows.h"
#include "game/world/gBorder.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gGestures.h"
#include "game/world/gPath.h"
#include "game/world/gTextArea.h"
#include "game/world/gTextSelect.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zPictureLayer.h"
#include "scene/zSprite.h"
#include "scene/zTileMap.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

namespace render {

uint8_t SettingByte(const std::string& iKey) {
    return gCharTest.Settings ? gCharTest.Settings->GetByte(iKey, 0) : 0;
}

int32_t SettingLong(const std::string& iKey) {
    return gCharTest.Settings ? gCharTest.Settings->GetLong(iKey, 0) : 0;
}

TargetScene::TargetScene(int32_t iClearColor, int32_t iTarget) : keptZoom_(zDDraw.RenderZoom) {
    zDDraw.RenderZoom = 1.0f;
    try {
        zDDraw.BeginScene(iClearColor, iTarget);
    } catch (...) {
        zDDraw.RenderZoom = keptZoom_;
        throw;
    }
}

TargetScene::~TargetScene() {
    if (!open_) return;
    // Unwinding from a failed step: the frame must not go on inside the target.
    open_ = false;
    try {
        zDDraw.EndTextureScene();
    } catch (...) {
    }
    zDDraw.RenderZoom = keptZoom_;
}

void TargetScene::End() {
    if (!open_) return;
    open_ = false;
    struct GiveBack {
        float zoom;
        ~GiveBack() { zDDraw.RenderZoom = zoom; }
    } giveBack{keptZoom_};
    zDDraw.EndTextureScene();
}

}  // namespace render

namespace {

using render::On;

constexpr int32_t kWhite = -1;

const zCamera& Cam() {
    if (!frmMain.Camera) Raise(errObjectNotSet);
    return *frmMain.Camera;
}

// A whole texture at (x, y) in the given size, white.
void BltWhole(int32_t texture, float x, float y, float w, float h) {
    zDDraw.Blt(texture, x, y, w, h, 0, 0, 0, 0, kWhite, 1.0f);
}

// A map of an off-screen pass laid over the scene. The passes draw at zoom
// 1.0 across the whole logical screen, so the map goes over that same logical
// screen: each of its points then lies under the scene's own point at any
// render zoom, and what lies beyond the zoomed view is cut off with it.
void LayMap(int32_t texture) { BltWhole(texture, 0, 0, float(zDDraw.ScreenW), float(zDDraw.ScreenH)); }

template <class Layer>
void RenderLayer(const std::shared_ptr<Layer>& layer, int32_t mode) {
    if (!layer) return;
    zDDraw.SetAlphaMode(mode);
    layer->Render(Cam());
}

// Characters in collection order, each visible one at depths 0.8 (top) to
// 0.5 (bottom) in its own colour when it asks for one.
void RenderChars(const std::vector<std::shared_ptr<gChar>>& chars) {
    const zCamera& cam = Cam();
    const int32_t kept = zDDraw.DiffuseColor;
    zDDraw.SetAlphaMode(1);
    const auto walk = chars;
    for (const auto& c : walk) {
        if (!c || !c->Item || !c->Sprite || !c->Item->Visible) continue;
        const zItem& item = *c->Item;
        zDDraw.DiffuseColor = item.Colored ? (item.Values ? item.Values->GetLong("_color", 0) : 0) : kept;
        c->Sprite->RenderDepth(cam, 0.8f, 0.5f);
    }
    zDDraw.DiffuseColor = kept;
}

// A face sprite drawn flat, mirrored when the sign sprite's zoom is negative.
// A message without a face (or a face sheet that failed to load) has none to
// draw: texture 0 would come out as a white square.
void BltFace(const zSprite& s, float signZoomX) {
    if (!s.Texture) return;
    float left = s.x, width = ToSingle(double(s.W) * s.ZoomX);
    if (signZoomX < 0) {
        left = ToSingle(double(s.x) + double(s.W) * s.ZoomX);
        width = ToSingle(-double(s.W) * s.ZoomX);
    }
    zDDraw.Blt(s.Texture, left, s.y, width, ToSingle(double(s.H) * s.ZoomY), s.SrcX, s.SrcY, s.W, s.H, kWhite, 1.0f);
}

void RenderInterface() {
    const auto& g = gCharTest;
    zDDraw.RenderZ = 0;
    zDDraw.SetAlphaMode(1);
    if (const std::shared_ptr<zScriptObject> game = g.GameObject) game->Execute("renderInterface");

    const std::shared_ptr<gBorder> border = g.Border;
    const float frameAlpha = border && border->Meta ? border->Meta->GetSingle("_Alpha", 0.0f) : 0.0f;
    const std::shared_ptr<gTextArea> message = g.MessageArea;
    if (message) {
        message->Alpha = frameAlpha;
        if (message->Alpha < 1.0f) {
            message->Update();
            if (g.EventArea) g.EventArea->Update();
            message->H = std::max(message->VisibleH, int32_t(80));
            if (border) {
                border->SetSize(border->W,
                                ToSingle(double(message->H) + 2.0 * double(border->PaddingY) + 8.0));
                border->Render();
            }
            if (g.Face) {
                if (g.FaceBack) BltFace(*g.FaceBack, g.Face->ZoomX);
                BltFace(*g.Face, g.Face->ZoomX);
                if (g.FaceFrameTexture) BltWhole(g.FaceFrameTexture, g.Face->x - 8, g.Face->y - 8, 0, 0);
            }
            if (g.EventArea) g.EventArea->Render();
            message->Render();
        }
    }

    const std::shared_ptr<gTextSelect> question = g.Message;
    if (question && message && message->ShowChars >= message->CharsMax) {
        question->Alpha = frameAlpha;
        question->AlphaBG = 0.5f;
        if (question->Alpha < 1.0f) {
            const float bx = border ? border->x + float(border->PaddingX) : 0.0f;
            const float bw = border ? border->W - 2.0f * float(border->PaddingX) : 0.0f;
            question->SetBounds(bx, ToSingle(double(message->y) + message->H + 16.0), bw, 100);
            question->Render();
        }
    }

    zDDraw.SetAlphaMode(2);
    zDDraw.SetAlphaValue(g.MouseInReach ? 0.0f : 0.5f, 100);
    if (g.Cursor) g.Cursor->Render(Cam(), 1.0f);
}

// The black band of 4 screen pixels around the view.
void RenderViewFrame() {
    zDDraw.RenderZ = 0;
    zDDraw.SetAlphaMode(0);
    const int32_t black = zDDraw.GetColorRGB(0, 0, 0);
    const double zoom = zDDraw.RenderZoom;
    const float b = ToSingle(4.0 / zoom);
    const float w = ToSingle(double(zDDraw.ViewW) / zoom), h = ToSingle(double(zDDraw.ViewH) / zoom);
    const float r = ToSingle((double(zDDraw.ViewW) - 4.0) / zoom), u = ToSingle((double(zDDraw.ViewH) - 4.0) / zoom);
    zDDraw.BltSurface(0, 0, b, h, black);
    zDDraw.BltSurface(r, 0, b, h, black);
    zDDraw.BltSurface(0, 0, w, b, black);
    zDDraw.BltSurface(0, u, w, b, black);
}

}  // namespace

void RenderGamePre() {
    zDDraw.SetTextureFilter(1);
    if (On("Shadows")) RenderShadows();
    if (On("Lighting")) RenderLights();
    if (On("Mirrors") && gCharTest.mapWater) RenderMirrors();
}

void RenderGame() {
    auto& g = gCharTest;
    // Held for the frame: the script events below may replace the camera.
    const std::shared_ptr<zCamera> camera = frmMain.Camera;
    const zCamera& cam = Cam();
    zDDraw.SetTextureFilter(0);

    // The lens is the one seen here for the whole frame, whatever its events do.
    const std::shared_ptr<zScriptObject> lens = g.Lens;
    const float keptZoom = zDDraw.RenderZoom;
    // A step failing inside the lens scene must not leave the program drawing
    // into the lens buffer at zoom 1.0.
    struct LensGuard {
        bool open;
        float zoom;
        ~LensGuard() {
            if (!open) return;
            try {
                zDDraw.EndTextureScene();
            } catch (...) {
            }
            zDDraw.RenderZoom = zoom;
        }
    } lensGuard{bool(lens), keptZoom};
    const int32_t black = zDDraw.GetGrayColor(0.0f), white = zDDraw.GetGrayColor(1.0f);
    // The ground's copy is made good before the frame's scene begins: the
    // copy's own scene shares the depth buffer, which the frame's then clears.
    const std::shared_ptr<zTileMap> ground = On("RenderGround") ? g.solidGround : nullptr;
    if (!lens && ground) {
        if (!frmMain.Ground) frmMain.Ground = std::make_shared<GroundCopy>();
        frmMain.Ground->Prepare(*ground, cam, black, white);
    }
    if (!lens) {
        zDDraw.BeginScene(black, 0);
    } else {
        zDDraw.RenderZoom = 1.0f;
        lens->Execute("onBeginScene");
        // Only two lens buffers exist; another index draws into the nearest.
        const int32_t index = std::clamp(g.RenderBuffer, int32_t(0), int32_t(1));
        zDDraw.BeginScene(black, g.RenderBuffers[index]);
    }
    zDDraw.DiffuseColor = white;

    if (On("RenderGround")) {
        if (!(ground && ground == g.solidGround && frmMain.Ground && frmMain.Ground->Draw(*ground, cam)))
            RenderLayer(g.solidGround, 0);
        RenderLayer(g.maskGround, 1);
    }
    if (On("Mirrors") && g.mapWater) {
        zDDraw.RenderZ = 0.9f;
        zDDraw.SetAlphaMode(11);
        int32_t waveSize = render::SettingLong("WaveSize");
        DrawMirrors(zDDraw.GetColorRGB(1, 1, 1), waveSize, ToSingle(double(render::SettingLong("WaveFactor")) / 10.0),
                    render::SettingByte("LiquidWater") == 1);
    }
    if (On("RenderWalls")) {
        RenderLayer(g.solidWalls, 0);
        RenderLayer(g.maskWalls, 1);
    }
    if (On("RenderSprites")) {
        zDDraw.SetAlphaMode(1);
        if (g.mapItems) g.mapItems->Render(cam, 1.0f);
        if (g.mapDoors) g.mapDoors->Render(cam, 1.0f);
    }
    if (On("RenderChars")) RenderChars(g.Chars);
    if (On("EnableDeco")) RenderChars(g.Deco);
    if (On("ParticleSystem") && On("RenderParticles") && g.Particles) {
        if (g.Particles->ParticleCount > 0) g.Particles->DepthSort(1, g.Particles->ParticleCount);
        g.Particles->RenderParticles(cam, 0);
    }
    if (On("RenderRoof")) RenderLayer(g.maskRoof, 1);
    if (On("RenderOthers")) RenderLayer(g.picClouds, 14);
    if (On("RenderOthers")) RenderLayer(g.picFog, 11);

    // The light map, or the ambient colour in its place.
    zDDraw.RenderZ = 0;
    zDDraw.SetAlphaMode(14);
    if (On("Lighting")) LayMap(g.LightTarget);
    else zDDraw.BltSurface(0, 0, float(zDDraw.ScreenW), float(zDDraw.ScreenH), frmMain.AmbientColor);
    // With lighting on the shadows came in with the light map.
    if (On("Shadows") && render::SettingByte("Lighting") == 0) {
        zDDraw.RenderZ = 0;
        zDDraw.SetAlphaMode(14);
        LayMap(g.ShadowTarget);
    }
    if (On("RenderWeather")) {
        gWeather.RenderWeatherOverlay();
        gWeather.RenderFlash();
    }

    const int32_t debugMap = render::SettingLong("DebugMap");
    if (debugMap > 0) {
        zDDraw.SetAlphaMode(0);
        if (debugMap == 1) LayMap(g.LightTarget);
        else if (debugMap == 2) LayMap(g.ShadowTarget);
        else if (debugMap == 3) LayMap(g.MirrorTarget);
    }
    if (render::SettingByte("DebugCollision") != 0) {
        if (g.Player) g.Player->RenderContacts(cam);
        zDDraw.SetAlphaMode(2);
        zDDraw.SetAlphaValue(0.85f, 100);
        if (g.mapCollision) g.mapCollision->Render(cam, 1, -1, -1);
    }
    if (render::SettingByte("DebugPaths") != 0) {
        zDDraw.SetAlphaMode(0);
        if (g.PlayerPath && g.mapCollision) g.PlayerPath->Render(cam, *g.mapCollision);
    }

    if (g.GameUpdates) RenderInterface();

    if (lens) {
        zDDraw.EndTextureScene();
        lensGuard.open = false;
        zDDraw.RenderZoom = keptZoom;
        zDDraw.BeginScene(zDDraw.GetColorRGB(0, 0, 0), 0);
        lens->Execute("onRender");
    }
    if (frmMain.ShowDebug) RenderDebugData();
    if (g.Gestures && g.Controller &&
        static_cast<const iController*>(g.Gestures.get()) == g.Controller.get())
        g.Gestures->Render(Cam());
    RenderViewFrame();
    zDDraw.EndScene(true);
    // The settings dialog and the console, in their own windows.
    ShellWindows_Render();
}

}  // namespace tarv
