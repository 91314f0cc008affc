// Mouse and key events of the main window: they keep the input state the
// frame polls, give each mouse event to the active controller first and then
// to the player's script, send the cursor action of a click to the first
// object under the cursor, and carry the game's hot keys.
#include <vector>

#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "devices/zMusicSetup.h"
#include "game/shell/frmMain.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "platform/Window.h"
#include "scene/zItem.h"
#include "scene/zSprite.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

namespace {

bool SettingsVisible() {
    auto f = gShellParts.SettingsVisible;
    return f && f();
}

std::shared_ptr<zScriptObject> PlayerObject() {
    const auto& p = gCharTest.Player;
    return p && p->Item ? p->Item->ScriptObject : nullptr;
}

// The mouse position in screen pixels, and divided by the drawing zoom.
void SetMousePosition(float X, float Y) {
    zDInput.MouseX = X / frmMain.MouseScaleX;
    zDInput.MouseY = Y / frmMain.MouseScaleY;
    gCharTest.MouseViewX = zDInput.MouseX / zDDraw.RenderZoom;
    gCharTest.MouseViewY = zDInput.MouseY / zDDraw.RenderZoom;
}

void SetButton(int16_t Button, bool iDown) {
    if (Button >= 0 && Button < int16_t(zDInput.MouseButtons.size())) zDInput.MouseButtons[size_t(Button)] = iDown;
}

// A switch setting flips between 1 and 0; any value but 1 counts as off.
void ToggleSetting(const char* iKey) {
    if (!gCharTest.Settings) gCharTest.Settings = std::make_shared<zValues>();
    gCharTest.Settings->SetByte(iKey, gCharTest.Settings->GetByte(iKey, 0) == 1 ? 0 : 1);
}

}  // namespace

int16_t gCharTestModule::MapKeyCode(int16_t KeyCode) const {
    switch (KeyCode) {
        case 38: return 87;  // up: W
        case 39: return 68;  // right: D
        case 40: return 83;  // down: S
        case 37: return 65;  // left: A
        case 13: return 32;  // Enter: Space
        default: return KeyCode;
    }
}

void frmMainForm::FrontSize(int32_t& oW, int32_t& oH) const {
    oW = zDDraw.ScreenW;
    oH = zDDraw.ScreenH;
    if (Window) Window->ClientSize(oW, oH);
}

void frmMainForm::Front_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
    if (Button >= 4 || SettingsVisible()) return;
    SetButton(Button, true);
    SetMousePosition(X, Y);

    // The active controller, then the player's script, may take the click.
    if (const std::shared_ptr<iController> c = gCharTest.Controller) {
        if (c->MouseDown(X, Y, Button)) return;
    }
    if (const std::shared_ptr<zScriptObject> po = PlayerObject()) {
        const ValueRef r = po->Execute("MouseDown", {HostValue(zDInput.MouseX), HostValue(zDInput.MouseY),
                                                     HostValue(Button)});
        if (r && r->GetBool()) return;
    }

    // The cursor action goes to the first receiver under the cursor.
    const std::shared_ptr<zSprite> cursor = gCharTest.Cursor;
    if (!cursor) return;
    const float cx = cursor->x, cy = cursor->y;
    const std::string event = gCharTest.CursorEvent;
    const std::vector<std::shared_ptr<gChar>> chars = gCharTest.Chars;
    for (const auto& c : chars) {
        if (!c || c == gCharTest.Player || !c->Item || !c->Item->ScriptObject) continue;
        if (!c->CheckHit(cx, cy, 0)) continue;
        const std::shared_ptr<zScriptObject> so = c->Item->ScriptObject;
        if (so->Execute(event)) return;
    }
    if (gCharTest.ExecuteItemAt(gCharTest.mapItems.get(), cx, cy, event)) return;
    if (gCharTest.ExecuteItemAt(gCharTest.mapDoors.get(), cx, cy, event)) return;
    gCharTest.ExecuteAreaAt(gCharTest.mapAreas.get(), cx, cy, event);
}

void frmMainForm::Front_MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
    if (Button >= 4 || SettingsVisible()) return;
    int32_t w = 0, h = 0;
    FrontSize(w, h);
    if (!(X >= 0 && X <= float(w) && Y >= 0 && Y <= float(h))) {
        if (Window) Window->CaptureMouse(false);
        return;
    }
    if (Window) Window->CaptureMouse(true);
    SetMousePosition(X, Y);
    bool taken = false;
    if (const std::shared_ptr<iController> c = gCharTest.Controller) taken = c->MouseMove(X, Y, Button);
    if (taken) return;
    if (const std::shared_ptr<zScriptObject> po = PlayerObject())
        po->Execute("MouseMove", {HostValue(zDInput.MouseX), HostValue(zDInput.MouseY), HostValue(Button)});
}

void frmMainForm::Front_MouseUp(int16_t Button, int16_t Shift, float X, float Y) {
    if (Button >= 4 || SettingsVisible()) return;
    SetButton(Button, false);
    bool taken = false;
    if (const std::shared_ptr<iController> c = gCharTest.Controller) taken = c->MouseUp(X, Y, Button);
    if (taken) return;
    if (const std::shared_ptr<zScriptObject> po = PlayerObject())
        po->Execute("MouseUp", {HostValue(zDInput.MouseX), HostValue(zDInput.MouseY), HostValue(Button)});
}

void frmMainForm::Form_KeyDown(int16_t KeyCode, int16_t Shift) {
    KeyCode = gCharTest.MapKeyCode(KeyCode);
    zDInput.SetKey(KeyCode, true);

    switch (KeyCode) {
        case 112:  // F1
            if (auto show = gShellParts.ShowSettings) show();
            if (Window) Window->CaptureMouse(false);
            break;
        case 115:  // F4
            ShowDebug = !ShowDebug;
            break;
        case 121: {  // F10
            auto visible = gShellParts.ConsoleVisible;
            if (visible && visible()) {
                if (auto unload = gShellParts.UnloadConsole) unload();
            } else if (auto show = gShellParts.ShowConsole) {
                show();
            }
            break;
        }
        case 123:  // F12
            ToggleSetting("DisableTimer");
            break;
        case 76:  // L
            ToggleSetting("AmbientShadows");
            break;
        case 72:  // H
            ToggleSetting("HighQualityBuffers");
            if (auto apply = gShellParts.ApplySettings) apply();
            break;
        case 77:  // M
            if (Muted) {
                zDSound.Volume = SavedSoundVolume;
                zDShow.Volume = SavedMusicVolume;
                zDMusic.Volume = SavedMidiVolume;
                Muted = false;
            } else {
                SavedSoundVolume = zDSound.Volume;
                SavedMusicVolume = zDShow.Volume;
                SavedMidiVolume = zDMusic.Volume;
                zDSound.Volume = 0.0f;
                zDShow.Volume = 0.0f;
                zDMusic.Volume = 0.0f;
                Muted = true;
            }
            ApplyMusicVolume();
            break;
        case 90: {  // Z
            float zoom = zDDraw.RenderZoom == 1.0f ? 2.0f : 1.0f;
            SetRenderZoom(zoom);
            break;
        }
        case 107: {  // + on the number pad
            float zoom = zDDraw.RenderZoom + 0.2f;
            SetRenderZoom(zoom);
            break;
        }
        case 109: {  // - on the number pad
            float zoom = zDDraw.RenderZoom - 0.2f;
            SetRenderZoom(zoom);
            break;
        }
        case 70:  // F
            SetFullScreen(!gCharTest.FullScreen);
            break;
        default:
            break;
    }

    // The surface may have changed size: mouse units per pixel of the view,
    // which full screen stretches over the whole surface. A surface with no
    // area (a minimised window) keeps the last scale rather than sending
    // every later mouse position to infinity.
    int32_t w = 0, h = 0;
    FrontSize(w, h);
    if (w > 0 && h > 0 && zDDraw.ViewW > 0 && zDDraw.ViewH > 0) {
        MouseScaleX = float(w) / float(zDDraw.ViewW);
        MouseScaleY = float(h) / float(zDDraw.ViewH);
    }
}

void frmMainForm::Form_KeyUp(int16_t KeyCode, int16_t Shift) {
    KeyCode = gCharTest.MapKeyCode(KeyCode);
    zDInput.SetKey(KeyCode, false);
}

void frmMainForm::Form_Activate() { ApplyMusicVolume(); }

void frmMainForm::Form_GotFocus() { ApplyMusicVolume(); }

}  // namespace tarv
