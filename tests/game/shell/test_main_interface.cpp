// The interface update (cursor, hover actions, message box, areas), the
// layout and zoom of the message box, and full screen.
#include <gtest/gtest.h>

#include "MainFormTestSupport.h"
#include "game/shell/gRender.h"
#include "game/world/gBorder.h"
#include "game/world/gTextArea.h"
#include "game/world/gTextSelect.h"
#include "platform/Window.h"
#include "scene/zCamera.h"
#include "scene/zDataShape.h"
#include "scene/zObjectsMap.h"
#include "scene/zShape.h"

namespace tarv::test {
namespace {

const char* const kScripts = R"(
class Game {}
class Looker {
    answer = empty;
    func MouseOver() { record("over"); setCursorEvent("onTalk"); return answer; }
    func MouseLook() { record("look"); setCursorEvent("onLook"); return answer; }
    func onTalkOver() { record("talkOver", this.who); }
    func onEnter() { record("enter", this.who); }
    func onWalk() { record("walk", this.who); }
    func onExit() { record("exit", this.who); }
}
)";

class Interface : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        auto record = gScriptHooks.CallGameFunction;
        gScriptHooks.CallGameFunction = [record](zScriptObject* o, zScriptArray* a, const std::string& name,
                                                 zScriptArgs& args) -> ValueRef {
            if (name != "setCursorEvent") return record(o, a, name, args);
            gCharTest.CursorEvent = args.At(1)->GetString();
            return zScriptValue::New();
        };
        Start(kScripts);
        gCharTest.Player->Sprite->SetPosition(100, 100);
    }
    std::shared_ptr<zScriptObject> Named(const std::string& who, bool answer = false) {
        auto o = Object("Looker");
        o->Locals->SetNameValue("who", HostValue(who));
        o->Locals->SetNameValue("answer", HostValue(answer));
        return o;
    }
    std::shared_ptr<gTextSelect> Message(const std::string& text, const std::string& speaker,
                                         const std::shared_ptr<zScriptObject>& caller) {
        auto m = std::make_shared<gTextSelect>();
        m->Message = text;
        m->FaceName = speaker;
        m->ScriptCaller = caller;
        return m;
    }
    float Alpha() const { return gCharTest.Border->Meta->GetSingle("_Alpha", 0); }
    void Update(int frames = 1) {
        for (int i = 0; i < frames; ++i) {
            zCore.FrameCounter += 1;
            frmMain.UpdateInterface();
        }
    }
};

TEST_F(Interface, HoverEventsByDistanceAndTheCursorPicture) {
    // The box is hidden: the hover actions set the cursor.
    gCharTest.MessageArea->Alpha = 1;
    auto near = Char(130, 110, "");
    near->Item->ScriptObject = Named("a", true);
    auto second = Char(130, 110, "");
    second->Item->ScriptObject = Named("b");
    auto third = Char(130, 110, "");
    third->Item->ScriptObject = Named("c");
    gCharTest.Chars = {gCharTest.Player, near, second, third};

    frmMain.Camera->x = frmMain.Camera->y = 0;
    zDInput.MouseX = 130;  // 30 pixels right of the player
    zDInput.MouseY = 100;
    Update();
    // True from the first passes the event on; the second's False ends it.
    EXPECT_EQ(calls, (std::vector<std::string>{"over", "over"}));
    EXPECT_TRUE(gCharTest.MouseInReach);
    EXPECT_EQ(gCharTest.Cursor->x, 130.0f);
    EXPECT_EQ(gCharTest.Cursor->SrcX, 32);
    EXPECT_EQ(gCharTest.Cursor->SrcY, 32);
    EXPECT_EQ(gCharTest.Cursor->OriginY, 21.0f);

    for (auto& c : gCharTest.Chars) c->Sprite->SetPosition(c == gCharTest.Player ? 100 : 300, 110);
    calls.clear();
    zDInput.MouseX = 300;
    Update();
    EXPECT_EQ(calls, (std::vector<std::string>{"look", "look"}));
    EXPECT_FALSE(gCharTest.MouseInReach);
    EXPECT_EQ(gCharTest.Cursor->SrcX, 32);
    EXPECT_EQ(gCharTest.Cursor->SrcY, 0);

    for (auto& c : gCharTest.Chars) c->Sprite->SetPosition(c == gCharTest.Player ? 100 : 356, 110);
    calls.clear();
    zDInput.MouseX = 356;
    Update();
    EXPECT_TRUE(calls.empty());  // the empty event: no handler, no result, the search ends
    EXPECT_EQ(gCharTest.Cursor->SrcX, 0);
    EXPECT_EQ(gCharTest.Cursor->OriginX, 14.0f);
}

TEST_F(Interface, MessagesOpenTypeOutAndCloseTheBox) {
    gCharTest.Face->SrcX = 5;
    auto face = std::make_shared<zSprite>();
    face->SrcX = 48;
    face->ZoomX = -1;
    auto first = Message("Hello there, traveller", "Bob", Named("first"));
    first->Face = face;
    gCharTest.Messages = {first, Message("#", "Ann", Named("second"))};

    Update();
    EXPECT_EQ(gCharTest.Message, first);
    EXPECT_EQ(gCharTest.Controller, first);
    EXPECT_TRUE(frmMain.MessageShown);
    EXPECT_EQ(gCharTest.Messages.size(), 1u);
    EXPECT_EQ(gCharTest.Face->SrcX, 48);
    EXPECT_EQ(gCharTest.Face->ZoomX, 1.0f);
    EXPECT_EQ(gCharTest.EventArea->ShowChars, 3);
    EXPECT_FLOAT_EQ(Alpha(), 0.9f);
    EXPECT_FLOAT_EQ(gCharTest.Border->Meta->GetSingle("_AlphaBG", 0), 0.95f);
    EXPECT_FLOAT_EQ(gCharTest.MessageArea->Alpha, 0.9f);
    EXPECT_EQ(gCharTest.MessageArea->ShowChars, 2);
    Update();
    EXPECT_EQ(gCharTest.MessageArea->ShowChars, 4);
    Update(20);
    EXPECT_EQ(Alpha(), 0.0f);
    EXPECT_GE(gCharTest.MessageArea->ShowChars, gCharTest.MessageArea->CharsMax);

    // Answered: the next message keeps the box open and keeps text and face
    // ("#"); the first caller hears nothing.
    const std::string text = gCharTest.MessageArea->Text;
    gCharTest.Message = nullptr;
    calls.clear();
    Update();
    EXPECT_EQ(gCharTest.MessageArea->Text, text);
    EXPECT_EQ(gCharTest.Face->SrcX, 48);
    EXPECT_EQ(Alpha(), 0.0f);
    EXPECT_TRUE(calls.empty());

    // The last one answered: the box fades out and its caller hears it once.
    gCharTest.Message = nullptr;
    Update(3);
    EXPECT_EQ(calls, (std::vector<std::string>{"talkOver,second"}));
    EXPECT_FALSE(frmMain.MessageShown);
    EXPECT_FLOAT_EQ(Alpha(), 0.3f);
    Update(10);
    EXPECT_EQ(Alpha(), 1.0f);
}

// The box as built at start-up, open with a face: its fill is blended half
// transparent, and face and face frame are drawn blended with the alpha test,
// so that the frame's keyed-out middle does not paint over the face.
TEST_F(Interface, TheOpenBoxBlendsItsFillAndShowsTheFace) {
    auto texture = [this](int32_t w, int32_t h) {
        TextureEntry e;
        e.W = w;
        e.H = h;
        e.Loaded = true;
        e.Texture = rec->CreateTexture(w, h, nullptr);
        zDDraw.Textures.push_back(e);
        zDDraw.TextureCount = int32_t(zDDraw.Textures.size()) - 1;
        return zDDraw.TextureCount;
    };
    const int32_t faceTex = texture(144, 48);
    gCharTest.FaceBack->Texture = texture(48, 48);
    gCharTest.FaceFrameTexture = texture(64, 64);
    auto face = std::make_shared<zSprite>();
    face->Texture = faceTex;
    face->SrcX = 48;
    auto m = Message("Hello", "Bob", nullptr);
    m->Face = face;
    gCharTest.Messages = {m};
    Update(12);
    ASSERT_EQ(Alpha(), 0.0f);

    rec->ClearLog();
    RenderGame();
    const auto& b = *gCharTest.Border;
    const auto id = [](int32_t h) { return zDDraw.Textures[size_t(h)].Texture; };
    const RecordedDraw* fill = nullptr;
    const RecordedDraw *faceDraw = nullptr, *frameDraw = nullptr;
    for (const auto& d : rec->Draws) {
        if (!d.Textured && !d.Vertices.empty() && d.Vertices[0].X == b.x + float(b.FillX) &&
            d.Vertices[0].Y == b.y + float(b.FillY))
            fill = &d;
        if (d.Textured && d.Texture == id(faceTex)) faceDraw = &d;
        if (d.Textured && d.Texture == id(gCharTest.FaceFrameTexture)) frameDraw = &d;
    }
    ASSERT_TRUE(fill && faceDraw && frameDraw);
    EXPECT_TRUE(fill->State.AlphaBlendEnable);
    EXPECT_EQ(fill->Vertices[0].Color >> 24, 127u);
    for (const RecordedDraw* d : {faceDraw, frameDraw}) {
        EXPECT_TRUE(d->State.AlphaBlendEnable);
        EXPECT_TRUE(d->State.AlphaTestEnable);
        EXPECT_EQ(d->Vertices[0].Z, 0.0f);
    }
    // Queued quads sit half a pixel up and left on the pixel grid.
    EXPECT_EQ(faceDraw->Vertices[0].X, gCharTest.Face->x - 0.5f);
    EXPECT_EQ(faceDraw->Vertices[0].Y, gCharTest.Face->y - 0.5f);
}

TEST_F(Interface, SpeakerNamePlate) {
    gCharTest.Messages = {Message("Hi", "Events", nullptr)};
    Update();
    EXPECT_EQ(gCharTest.EventArea->ShowChars, 0);
    gCharTest.Message = nullptr;
    gCharTest.Messages = {Message("Du hast einen Stein erhalten!", "Bob", nullptr)};
    Update();
    EXPECT_EQ(gCharTest.EventArea->ShowChars, 0);
}

TEST_F(Interface, AreasAreEnteredWalkedAndLeft) {
    auto areas = std::make_shared<zObjectsMap>();
    areas->SetSize(128, 9, 9);
    auto add = [&](const std::string& who, float x, float y) {
        auto a = std::make_shared<zDataShape>();
        a->Shape = std::make_shared<zShape>();
        a->Shape->Mode = zShape::ModeRectangle;
        a->Shape->x = x;
        a->Shape->y = y;
        a->Shape->W = 50;
        a->Shape->H = 50;
        a->ScriptObject = Named(who);
        areas->AddObject(a);
    };
    add("one", 80, 80);
    gCharTest.mapAreas = areas;
    Update(3);
    gCharTest.Player->Sprite->SetPosition(200, 200);
    Update(2);
    EXPECT_EQ(calls, (std::vector<std::string>{"enter,one", "walk,one", "walk,one", "exit,one"}));

    // Two areas over the player: each enters in every frame.
    add("two", 180, 180);
    add("three", 190, 190);
    calls.clear();
    Update(2);
    EXPECT_EQ(calls, (std::vector<std::string>{"enter,two", "enter,three", "enter,two", "enter,three"}));
}

TEST_F(Interface, ZoomAndLayoutOfTheMessageBox) {
    const auto& b = gCharTest.Border;
    const auto& m = gCharTest.MessageArea;
    EXPECT_EQ(b->W, 600.0f);
    EXPECT_EQ(b->PaddingX, 11);
    EXPECT_EQ(b->PaddingY, 9);
    EXPECT_EQ(m->x - b->x, 78.0f);
    EXPECT_EQ(b->W - m->W, 89.0f);
    EXPECT_EQ(m->H, 82);
    EXPECT_EQ(gCharTest.EventArea->y - b->y, 72.0f);
    EXPECT_EQ(gCharTest.Face->x, 39.0f);

    float zoom = 0.5f;
    frmMain.SetRenderZoom(zoom);
    EXPECT_EQ(zoom, 1.0f);
    EXPECT_EQ(gCharTest.EventArea->y - b->y, 70.0f);
    zoom = 2.0f;
    frmMain.SetRenderZoom(zoom);
    EXPECT_EQ(b->W, 280.0f);
    EXPECT_EQ(b->W - m->W, 89.0f);
    EXPECT_EQ(frmMain.Camera->W, 320);
    zoom = 4.0f;
    frmMain.SetRenderZoom(zoom);
    EXPECT_EQ(zoom, 3.8f);
    EXPECT_EQ(zDDraw.RenderZoom, 3.8f);
}

TEST_F(Interface, FullScreenDropsTheCaptionAndComesBack) {
    std::string error;
    auto window = Window::Create("test", 320, 240, &error);
    ASSERT_TRUE(window) << error;
    frmMain.Window = window.get();
    const DisplayModeInfo screen = DesktopDisplayMode();

    frmMain.SetFullScreen(true);
    EXPECT_TRUE(gCharTest.FullScreen);
    EXPECT_FALSE(window->Bordered());
    EXPECT_EQ(frmMain.Camera->ScreenW, 512);
    EXPECT_EQ(frmMain.Camera->ScreenH, 512 * screen.Height / screen.Width);
    EXPECT_EQ(zDDraw.ViewW, 512);
    EXPECT_EQ(frmMain.WindowedWidth, 320);
    // The view is stretched over the whole screen: the box keeps its margin in
    // the view, and the mouse is measured in view pixels.
    EXPECT_EQ(gCharTest.Border->W, 512.0f - 40.0f);
    frmMain.Form_KeyDown(65, 0);
    int32_t fw = 0, fh = 0;
    window->ClientSize(fw, fh);
    EXPECT_FLOAT_EQ(frmMain.MouseScaleX, float(fw) / 512.0f);
    EXPECT_FLOAT_EQ(frmMain.MouseScaleY, float(fh) / float(zDDraw.ViewH));

    // A second request keeps the first saved place.
    frmMain.SetFullScreen(true);
    EXPECT_EQ(frmMain.WindowedWidth, 320);

    frmMain.SetFullScreen(false);
    EXPECT_FALSE(gCharTest.FullScreen);
    EXPECT_TRUE(window->Bordered());
    int32_t w = 0, h = 0;
    window->ClientSize(w, h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(frmMain.Camera->ScreenW, w);
    EXPECT_EQ(zDDraw.ViewH, h);
    frmMain.Window = nullptr;
}

}  // namespace
}  // namespace tarv::test
