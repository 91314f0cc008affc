// The interface: the cursor and its hover actions, the message box (taken
// from the queue, faded in and out, typed out with a click), the areas the
// player walks through; the box's layout, the drawing zoom and full screen.
#include <cmath>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zMath.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zDSound.h"
#include "game/shell/frmMain.h"
#include "game/shell/mScriptEvent.h"
#include "game/world/gBorder.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gTextArea.h"
#include "game/world/gTextSelect.h"
#include "platform/Window.h"
#include "scene/zCamera.h"
#include "scene/zDataShape.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zShape.h"
#include "scene/zSprite.h"
#include "scene/zTileMap.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

namespace {

void SetCursorPicture(zSprite& c, int32_t srcX, int32_t srcY, float originX, float originY) {
    c.SrcX = srcX;
    c.SrcY = srcY;
    c.OriginX = originX;
    c.OriginY = originY;
}

// The cursor's frame for a cursor action; other actions keep the frame.
void CursorForEvent(zSprite& c, const std::string& e) {
    if (e.empty()) SetCursorPicture(c, 0, 0, 14, 14);
    else if (e == "onLook") SetCursorPicture(c, 32, 0, 15, 15);
    else if (e == "onUse") SetCursorPicture(c, 0, 32, 12, 5);
    else if (e == "onTalk") SetCursorPicture(c, 32, 32, 16, 21);
}

// A hover receiver lets the search go on only by answering True.
bool PassesOn(const std::shared_ptr<zScriptObject>& iObject, const std::string& iEvent) {
    const std::shared_ptr<zScriptObject> o = iObject;
    if (!o) return false;
    const ValueRef r = o->Execute(iEvent);
    return r && r->GetBool();
}

void PlayInterfaceSound(const char* iFile, float iSpeed) {
    float volume = 0.85f;
    PlayWaveFile(iFile, false, volume, iSpeed, false, 0);
}

// The face's width as drawn.
double FaceWidth() {
    const auto& f = gCharTest.Face;
    return f ? double(f->W) * double(f->ZoomX) : 0.0;
}

void PlaceMessageArea() {
    const auto& b = gCharTest.Border;
    const auto& m = gCharTest.MessageArea;
    if (!b || !m) return;
    const double f = FaceWidth();
    m->SetBounds(ToSingle(b->x + 2.0 * b->PaddingX + 8.0 + f), ToSingle(double(b->y) + b->PaddingY),
                 ToSingle(b->W - 3.0 * b->PaddingX - 8.0 - f), ToSingle(b->H - 2.0 * b->PaddingY));
}

void PlaceFrame() {
    const auto& b = gCharTest.Border;
    if (!b) return;
    b->SetPosition(20, 20);
    // The view, not the back buffer: in full screen the view is narrower.
    b->SetSize(ToSingle(double(zDDraw.ViewW) / double(zDDraw.RenderZoom) - 40.0), 100);
}

void PlaceFace(zSprite& s) {
    const auto& b = gCharTest.Border;
    s.SetPosition(ToSingle(double(b->x) + b->PaddingX + 8.0), ToSingle(double(b->y) + b->PaddingY + 8.0));
}

}  // namespace

void frmMainForm::UpdateInterface() {
    const std::shared_ptr<zSprite> cursor = gCharTest.Cursor;
    const std::shared_ptr<gChar> player = gCharTest.Player;

    if (cursor) {
        // 1. The mouse's point in the level. Before a level has a ground
        // layer, the view's own origin places it.
        int32_t px = 0, py = 0;
        const double camX = Camera ? double(Int(Camera->x)) : 0.0, camY = Camera ? double(Int(Camera->y)) : 0.0;
        px = CLng(Int(camX + double(zDInput.MouseX) / double(zDDraw.RenderZoom)));
        py = CLng(Int(camY + double(zDInput.MouseY) / double(zDDraw.RenderZoom)));
        if (const std::shared_ptr<zTileMap> ground = gCharTest.solidGround; ground && Camera)
            ground->GetPixelPosition(*Camera, zDInput.MouseX, zDInput.MouseY, px, py);
        cursor->x = float(px);
        cursor->y = float(py);

        // 2-4. Distance from the player: the hover event and the reach.
        float d = 0;
        if (player && player->Sprite) d = zMath::GetDistance(player->Sprite->x, player->Sprite->y, cursor->x, cursor->y);
        gCharTest.CursorEvent.clear();
        gCharTest.MouseInReach = d < gCharTest.UseRange;
        std::string hover;
        if (d < gCharTest.UseRange) hover = "MouseOver";
        else if (d < gCharTest.LookRange) hover = "MouseLook";

        // 5. Hover search: characters, an item, a door, an area, while each
        // receiver answers True.
        bool goOn = true;
        const std::vector<std::shared_ptr<gChar>> chars = gCharTest.Chars;
        for (const auto& c : chars) {
            if (!goOn) break;
            if (!c || c == player || !c->Item || !c->Item->ScriptObject) continue;
            if (!c->CheckHit(cursor->x, cursor->y, 0)) continue;
            goOn = PassesOn(c->Item->ScriptObject, hover);
        }
        if (goOn && gCharTest.mapItems) {
            if (auto item = gCharTest.GetItemAt(gCharTest.mapItems.get(), cursor->x, cursor->y, hover))
                goOn = PassesOn(item->ScriptObject, hover);
        }
        if (goOn && gCharTest.mapDoors) {
            if (auto door = gCharTest.GetItemAt(gCharTest.mapDoors.get(), cursor->x, cursor->y, hover))
                goOn = PassesOn(door->ScriptObject, hover);
        }
        if (goOn && gCharTest.mapAreas) {
            if (auto area = gCharTest.GetAreaAt(gCharTest.mapAreas.get(), cursor->x, cursor->y, hover))
                PassesOn(area->ScriptObject, hover);
        }

        // 6. The cursor shows the action the handlers chose.
        CursorForEvent(*cursor, gCharTest.CursorEvent);
    }

    const std::shared_ptr<gBorder> border = gCharTest.Border;
    const std::shared_ptr<gTextArea> area = gCharTest.MessageArea;
    const std::shared_ptr<gTextArea> plate = gCharTest.EventArea;

    // 7. The next queued message, when none is open.
    if (!gCharTest.Message && !gCharTest.Messages.empty()) {
        const std::shared_ptr<gTextSelect> m = gCharTest.Messages.front();
        gCharTest.Message = m;
        gCharTest.PushController(m);
        gCharTest.MessageOwner = m ? m->ScriptCaller : nullptr;
        if (m && m->Message != "#") {
            if (area) area->SetText(m->Message);
            if (m->Face && gCharTest.Face) {
                gCharTest.Face->Texture = m->Face->Texture;
                gCharTest.Face->SrcX = m->Face->SrcX;
                gCharTest.Face->SrcY = m->Face->SrcY;
                gCharTest.Face->ZoomX = std::fabs(m->Face->ZoomX);
            }
            if (plate) {
                plate->SetText(m->FaceName);
                plate->ShowChars = int32_t(plate->Text.size());
                if (m->FaceName == "Events" || m->Message.find("erhalten!") != std::string::npos)
                    plate->ShowChars = 0;
            }
        }
        // Taken off the queue by identity: the scripts it ran may have queued more.
        auto& q = gCharTest.Messages;
        for (auto it = q.begin(); it != q.end(); ++it) {
            if (*it == m) {
                q.erase(it);
                break;
            }
        }
        MessageShown = true;
    }

    if (!border) return;
    if (!border->Meta) border->Meta = std::make_shared<zValues>();

    // 8. The box fades in while a message is open, out otherwise.
    float a = border->Meta->GetSingle("_Alpha", 0);
    if (gCharTest.Message) {
        if (a > 0) a = std::max(0.0f, ToSingle(double(a) - 0.1));
    } else if (a < 1) {
        a = std::min(1.0f, ToSingle(double(a) + 0.1));
    }
    border->Meta->SetSingle("_Alpha", a);
    border->Meta->SetSingle("_AlphaBG", ToSingle(double(a) * 0.5 + 0.5));

    // 9. The box starts closing: its owner hears that the talk is over.
    if (!gCharTest.Message && a > 0 && MessageShown) {
        if (const std::shared_ptr<zScriptObject> owner = gCharTest.MessageOwner) {
            gCharTest.MessageOwner = nullptr;
            owner->Execute("onTalkOver");
        }
        MessageShown = false;
        PlayInterfaceSound("text_out.wav", 1.0f);
    }

    if (!area) return;

    // 10. While the box shows at all, the cursor offers nothing.
    if (area->Alpha < 1) {
        gCharTest.CursorEvent.clear();
        if (cursor) CursorForEvent(*cursor, "");
    }

    // 11-12. Fading, and the typewriter: two characters a frame with a click.
    area->Alpha = a;
    if (area->Alpha < 1 && area->ShowChars < area->CharsMax && area->NextChar <= zCore.FrameCounter) {
        area->ShowChars += 2;
        area->NextChar = zCore.FrameCounter + 1;
        // A box closing over a half-typed text has no speaker left: it types
        // on without clicks.
        if (area->ShowChars < area->CharsMax && gCharTest.Message)
            PlayInterfaceSound("snip.wav", gCharTest.Message->Mirrored ? 1.0f : 0.7f);
    }

    // 13.
    if (plate) plate->Alpha = area->Alpha;

    // 14. Areas the player enters, walks in and leaves.
    const std::shared_ptr<zObjectsMap> areas = gCharTest.mapAreas;
    if (areas && player && player->Sprite) {
        bool inside = false;
        const std::vector<std::shared_ptr<iMapItem>> objects = areas->Objects();
        for (const auto& o : objects) {
            auto shape = std::dynamic_pointer_cast<zDataShape>(o);
            if (!shape || !shape->Shape || !shape->Shape->CheckCollision(player->Sprite->x, player->Sprite->y))
                continue;
            inside = true;
            Send(shape->ScriptObject, shape == CurrentArea ? "onWalk" : "onEnter");
            CurrentArea = shape;
        }
        if (!inside && CurrentArea) {
            const std::shared_ptr<zDataShape> left = CurrentArea;
            CurrentArea = nullptr;
            Send(left->ScriptObject, "onExit");
        }
    }
}

void gCharTestModule::LayoutInterface() {
    if (!Border) return;
    PlaceFrame();
    if (Face) PlaceFace(*Face);
    if (EventArea) EventArea->SetBounds(Border->x, ToSingle(double(Border->y) + 70.0), 80, 32);
    PlaceMessageArea();
}

void frmMainForm::CreateTextBoxes() {
    const char* proc = "CreateTextBoxes";
    auto border = std::dynamic_pointer_cast<gBorder>(CreateClass("gBorder", false));
    if (!border) border = std::make_shared<gBorder>();
    gCharTest.Border = border;
    SkipOnFailure(proc, [&] {
        border->Texture = zDDraw.LoadTexture("Demo Frames.png", false, zDDrawModule::GetColorRGB(1, 1, 1), 1, 0);
    });
    border->OffsetX = 0;
    border->OffsetY = 0;
    border->EdgeW = 22;
    border->EdgeH = 13;
    border->BorderW = 4;
    border->BorderH = 6;
    border->FillX = 7;
    border->FillY = 7;
    border->FillColor = zDDrawModule::GetColorRGB(0, 0, 0);
    border->PaddingX = border->FillX + 4;
    border->PaddingY = border->FillY + 2;
    PlaceFrame();
    if (!border->Meta) border->Meta = std::make_shared<zValues>();
    // The frame reads its blend mode and filter as Longs: stored under another
    // type they would not be found, and the box would draw unblended (opaque
    // fill, and the face frame's keyed-out middle covering the face).
    border->Meta->SetLong("_AlphaMode", 2);
    border->Meta->SetSingle("_Alpha", 1.0f);
    border->Meta->SetLong("_FilterMode", 0);
    border->Meta->SetSingle("_z", 0);

    gCharTest.Face = std::make_shared<zSprite>();
    gCharTest.Face->W = 48;
    gCharTest.Face->H = 48;
    PlaceFace(*gCharTest.Face);

    gCharTest.FaceBack = std::make_shared<zSprite>();
    gCharTest.FaceBack->W = 48;
    gCharTest.FaceBack->H = 48;
    PlaceFace(*gCharTest.FaceBack);
    SkipOnFailure(proc, [] { gCharTest.FaceBack->Texture = zDDraw.LoadTexture("Face Background.png", true, 0, 1, 0); });

    const int32_t white = zDDrawModule::GetColorRGB(1, 1, 1);
    auto plate = std::make_shared<gTextArea>();
    plate->DefaultFont = gCharTest.FontGeorgia;
    plate->DefaultColor = white;
    plate->DefaultZoom = 1.0f;
    plate->DefaultAlignX = 2;
    plate->DefaultAlignY = 1;
    plate->SetBounds(border->x, ToSingle(double(border->y) + border->H - 28.0), 80, 32);
    gCharTest.EventArea = plate;

    auto area = std::make_shared<gTextArea>();
    area->DefaultFont = gCharTest.FontGeorgia;
    area->DefaultColor = white;
    area->DefaultZoom = 1.0f;
    area->DefaultAlignX = 0;
    area->DefaultAlignY = 4;
    gCharTest.MessageArea = area;
    PlaceMessageArea();

    // The story waits, hidden, in the message area until a message replaces it.
    const std::string storyFile = zFileSystem.AppPath + "story.txt";
    std::vector<uint8_t> story;
    std::string why;
    if (LoadFileBytes(storyFile, story, &why))
        SkipOnFailure(proc, [&] { area->SetText(std::string(story.begin(), story.end())); });
    else if (why == "file not found")
        Log("WARN", proc, "File not found", "<" + storyFile + ">");
    else if (why != "file is empty")
        LogRefusedFile(proc, storyFile, why);

    SkipOnFailure(proc, [] { gCharTest.FaceFrameTexture = zDDraw.LoadTexture("Face Frame.png", false, -1, 1, 0); });
}

void frmMainForm::SetRenderZoom(float& iZoom) {
    if (iZoom < 1.0f) iZoom = 1.0f;
    if (iZoom > 3.8f) iZoom = 3.8f;
    zDDraw.SetScreenSize(zDDraw.ScreenW, zDDraw.ScreenH, iZoom, false);
    if (Camera) Camera->SetSize(zDDraw.ViewW, zDDraw.ViewH);
    gCharTest.LayoutInterface();
}

void frmMainForm::RemoveBorder(zun::Window* hWnd) {
    if (hWnd) hWnd->SetBordered(false);
}

void frmMainForm::AddBorder(zun::Window* hWnd) {
    if (hWnd) hWnd->SetBordered(true);
}

void frmMainForm::SetFullScreen(bool iFull) {
    if (iFull == gCharTest.FullScreen) return;
    int32_t fw = 0, fh = 0;
    if (iFull) {
        const DisplayModeInfo screen = DesktopDisplayMode();
        if (Window) {
            int32_t w = 0, h = 0;
            Window->Position(WindowedLeft, WindowedTop);
            Window->ClientSize(w, h);
            WindowedWidth = w;
            WindowedHeight = h;
            // The desktop's own full screen first: a window moved and sized
            // over the screen by hand lands where the window manager puts
            // its frame, cut at the top, and creeps on every way back.
            if (!Window->SetFullScreen(true)) {
                RemoveBorder(Window);
                Window->SetPosition(0, 0);
                Window->SetClientSize(screen.Width, screen.Height);
            }
        }
        if (Camera && screen.Width > 0)
            Camera->SetSize(512, CLng(Int(512.0 / double(screen.Width) * double(screen.Height))));
        gCharTest.FullScreen = true;
    } else {
        if (Window && Window->FullScreen()) {
            // The window system puts it back where it was; a driver that
            // forgets the size gets it again.
            Window->SetFullScreen(false);
            int32_t w = 0, h = 0;
            Window->ClientSize(w, h);
            if (w != WindowedWidth || h != WindowedHeight) Window->SetClientSize(WindowedWidth, WindowedHeight);
        } else if (Window) {
            AddBorder(Window);
            Window->SetPosition(WindowedLeft, WindowedTop);
            Window->SetClientSize(WindowedWidth, WindowedHeight);
        }
        FrontSize(fw, fh);
        if (Camera) Camera->SetSize(fw, fh);
        gCharTest.FullScreen = false;
    }
    if (Camera) {
        zDDraw.ViewW = Camera->ScreenW;
        zDDraw.ViewH = Camera->ScreenH;
    }
    // The message box spans the view, which has just changed its width.
    gCharTest.LayoutInterface();
}

}  // namespace tarv
