// Mouse and key events of the main window.
#include <gtest/gtest.h>

#include <algorithm>

#include "MainFormTestSupport.h"
#include "core/zRuntime.h"
#include "game/world/iController.h"
#include "platform/Window.h"
#include "scene/zItemMap.h"

namespace tarv::test {
namespace {

const char* const kScripts = R"(
class Player {
    answer = empty;
    func MouseDown(x, y, b) { record("player.MouseDown", x, y, b); return answer; }
    func MouseMove(x, y, b) { record("player.MouseMove", x, y, b); }
    func MouseUp(x, y, b) { record("player.MouseUp", x, y, b); }
    func activateItem(d) { record("activateItem", d); }
}
class Game {
    player = 0;
    func onLoad() { player = new("Player"); }
}
class Talker {
    func onTalk() { record("talker.onTalk"); return false; }
}
class Box {
    func onTalk() { record("box.onTalk"); }
}
)";

class Controller : public iController {
public:
    std::vector<std::string>* calls = nullptr;
    bool take = false;
    bool MouseDown(float x, float y, int16_t b) override { return Note("down", x, y, b); }
    bool MouseMove(float x, float y, int16_t b) override { return Note("move", x, y, b); }
    bool MouseUp(float x, float y, int16_t b) override { return Note("up", x, y, b); }
    bool Note(const char* what, float x, float y, int16_t b) {
        calls->push_back(std::string(what) + "," + FormatSingle(x) + "," + FormatSingle(y) + "," + FormatLong(b));
        return take;
    }
};

class MouseAndKeys : public MainFormTest {
protected:
    std::shared_ptr<Controller> controller = std::make_shared<Controller>();

    void StartWithController() {
        Start(kScripts);
        controller->calls = &calls;
        gCharTest.PushController(controller);
    }
    void SetAnswer(bool v) {
        gCharTest.Player->Item->ScriptObject->Locals->SetNameValue("answer", HostValue(v));
    }
};

TEST_F(MouseAndKeys, ArrowsAndEnterAreMappedForStatesAndHotKeys) {
    Start(kScripts);
    EXPECT_EQ(gCharTest.MapKeyCode(38), 87);
    EXPECT_EQ(gCharTest.MapKeyCode(39), 68);
    EXPECT_EQ(gCharTest.MapKeyCode(40), 83);
    EXPECT_EQ(gCharTest.MapKeyCode(37), 65);
    EXPECT_EQ(gCharTest.MapKeyCode(13), 32);
    EXPECT_EQ(gCharTest.MapKeyCode(112), 112);
    frmMain.Form_KeyDown(38, 0);
    frmMain.Form_KeyDown(87, 0);
    EXPECT_TRUE(zDInput.Keys[87]);
    EXPECT_FALSE(zDInput.Keys[38]);
    frmMain.Form_KeyUp(87, 0);
    EXPECT_FALSE(zDInput.Keys[87]);
    frmMain.Form_KeyDown(13, 0);
    EXPECT_TRUE(zDInput.Keys[32]);
    EXPECT_FALSE(zDInput.Keys[13]);
    // Codes outside the key table change nothing.
    frmMain.Form_KeyDown(-5, 0);
    frmMain.Form_KeyUp(300, 0);
}

// Frames far apart (a slow machine): a key pressed and let go between two of
// them acts in the next one, once; a key a frame saw held is up in the frame
// after its release.
TEST_F(MouseAndKeys, AKeyTappedBetweenTwoFramesActsInTheNextOnce) {
    Start(kScripts);
    auto key = [](WindowEventType iType, int32_t iKey) {
        WindowEvent e;
        e.Type = iType;
        e.Key = iKey;
        frmMain.DispatchEvent(e);
    };
    auto items = [this] { return std::count(calls.begin(), calls.end(), "activateItem,1"); };
    key(WindowEventType::KeyDown, 49);
    key(WindowEventType::KeyUp, 49);
    Frame();
    EXPECT_EQ(items(), 1);
    Frame();
    EXPECT_EQ(items(), 1);
    EXPECT_FALSE(zDInput.Keys[49]);

    const auto& sprite = gCharTest.Player->Sprite;
    const float x = sprite->x;
    key(WindowEventType::KeyDown, 39);  // right: D
    key(WindowEventType::KeyUp, 39);
    Frame();
    Frame();
    EXPECT_FLOAT_EQ(sprite->x, x + 4) << "one step for the tap";
    key(WindowEventType::KeyDown, 39);
    Frame();
    Frame();
    key(WindowEventType::KeyUp, 39);
    Frame();
    EXPECT_FLOAT_EQ(sprite->x, x + 12) << "two steps held, none after";
}

TEST_F(MouseAndKeys, AClickGoesToTheControllerThenThePlayerThenTheFirstReceiver) {
    StartWithController();
    frmMain.MouseScaleX = 2.0f;
    frmMain.MouseScaleY = 0.5f;
    zDDraw.RenderZoom = 2.0f;
    controller->take = true;
    frmMain.Front_MouseDown(1, 0, 100, 50);
    EXPECT_EQ(calls, (std::vector<std::string>{"down,100,50,1"}));
    EXPECT_TRUE(zDInput.MouseButtons[1]);
    EXPECT_EQ(zDInput.MouseX, 50.0f);
    EXPECT_EQ(zDInput.MouseY, 100.0f);
    EXPECT_EQ(gCharTest.MouseViewX, 25.0f);

    // The player's True ends the click.
    controller->take = false;
    SetAnswer(true);
    calls.clear();
    frmMain.Front_MouseDown(2, 0, 100, 50);
    EXPECT_EQ(calls, (std::vector<std::string>{"down,100,50,2", "player.MouseDown,50,100,2"}));

    // Otherwise the cursor action: a character without a class is passed
    // over, a character answering False still takes it.
    SetAnswer(false);
    gCharTest.Cursor->SetPosition(300, 290);
    gCharTest.CursorEvent = "onTalk";
    auto silent = Char(300, 300, "");
    silent->Item->ScriptObject = zScriptObject::New();
    gCharTest.Chars = {gCharTest.Player, silent, Char(300, 300, "Talker"), Char(300, 300, "Talker")};
    calls.clear();
    frmMain.Front_MouseDown(1, 0, 100, 50);
    EXPECT_EQ(calls, (std::vector<std::string>{"down,100,50,1", "player.MouseDown,50,100,1", "talker.onTalk"}));

    // Nobody there: the item under the cursor.
    gCharTest.Chars = {gCharTest.Player};
    auto item = std::make_shared<zItem>();
    item->Sprite->SetPosition(300, 300);
    item->Sprite->W = 32;
    item->Sprite->H = 32;
    item->Sprite->OriginX = 16;
    item->Sprite->OriginY = 32;
    item->ScriptObject = Object("Box");
    gCharTest.mapItems = std::make_shared<zItemMap>();
    gCharTest.mapItems->SetSize(128, 9, 9);
    gCharTest.mapItems->AddItem(item, false);
    calls.clear();
    frmMain.Front_MouseDown(1, 0, 100, 50);
    EXPECT_EQ(calls.back(), "box.onTalk");
}

TEST_F(MouseAndKeys, MovesAndReleasesAndWhatIsIgnored) {
    StartWithController();
    frmMain.Front_MouseMove(1, 0, 640, 480);  // the far edge still counts as inside
    EXPECT_EQ(calls, (std::vector<std::string>{"move,640,480,1", "player.MouseMove,640,480,1"}));
    calls.clear();
    frmMain.Front_MouseMove(0, 0, 641, 10);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(zDInput.MouseX, 640.0f);

    frmMain.Front_MouseDown(1, 0, 10, 10);
    calls.clear();
    frmMain.Front_MouseUp(1, 0, 20, 30);
    EXPECT_FALSE(zDInput.MouseButtons[1]);
    EXPECT_EQ(calls, (std::vector<std::string>{"up,20,30,1", "player.MouseUp,10,10,1"}));
    EXPECT_EQ(zDInput.MouseX, 10.0f);  // a release does not move the mouse

    // The middle button, and anything while the settings window is open.
    calls.clear();
    frmMain.Front_MouseDown(4, 0, 10, 10);
    frmMain.Front_MouseMove(5, 0, 10, 10);
    frmMain.Front_MouseUp(4, 0, 10, 10);
    gShellParts.SettingsVisible = [] { return true; };
    frmMain.Front_MouseDown(1, 0, 50, 50);
    frmMain.Front_MouseMove(0, 0, 50, 50);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(zDInput.MouseButtons[1]);
    EXPECT_EQ(zDInput.MouseX, 10.0f);
}

TEST_F(MouseAndKeys, HotKeys) {
    Start(kScripts);
    gShellParts.ShowSettings = [this] { calls.push_back("ShowSettings"); };
    bool console = false;
    gShellParts.ConsoleVisible = [&] { return console; };
    gShellParts.ShowConsole = [&] { calls.push_back("ShowConsole"), console = true; };
    gShellParts.UnloadConsole = [&] { calls.push_back("UnloadConsole"), console = false; };
    for (int16_t k : {112, 121, 121, 72}) frmMain.Form_KeyDown(k, 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"ShowSettings", "ShowConsole", "UnloadConsole", "ApplySettings"}));
    EXPECT_EQ(gCharTest.Settings->GetByte("HighQualityBuffers"), 1);

    frmMain.Form_KeyDown(115, 0);
    EXPECT_TRUE(frmMain.ShowDebug);
    Set("DisableTimer", 5);
    frmMain.Form_KeyDown(123, 0);
    EXPECT_EQ(gCharTest.Settings->GetByte("DisableTimer"), 1);
    frmMain.Form_KeyDown(123, 0);
    EXPECT_EQ(gCharTest.Settings->GetByte("DisableTimer"), 0);
    frmMain.Form_KeyDown(76, 0);
    EXPECT_EQ(gCharTest.Settings->GetByte("AmbientShadows"), 1);

    // Zoom: Z switches between 1 and 2, the number pad steps by 0.2 within 1..3.8.
    frmMain.Form_KeyDown(90, 0);
    EXPECT_EQ(zDDraw.RenderZoom, 2.0f);
    zDDraw.RenderZoom = 1.4f;
    frmMain.Form_KeyDown(90, 0);
    EXPECT_EQ(zDDraw.RenderZoom, 1.0f);
    frmMain.Form_KeyDown(107, 0);
    EXPECT_FLOAT_EQ(zDDraw.RenderZoom, 1.2f);
    zDDraw.RenderZoom = 3.8f;
    frmMain.Form_KeyDown(107, 0);
    EXPECT_EQ(zDDraw.RenderZoom, 3.8f);
    frmMain.Form_KeyDown(109, 0);
    EXPECT_FLOAT_EQ(zDDraw.RenderZoom, 3.6f);

    // M mutes and restores the three master volumes exactly.
    zDSound.Volume = 0.7f;
    zDShow.Volume = 0.55f;
    zDMusic.Volume = 0.33f;
    frmMain.Form_KeyDown(77, 0);
    EXPECT_EQ(zDSound.Volume + zDShow.Volume + zDMusic.Volume, 0.0f);
    frmMain.Form_KeyDown(77, 0);
    EXPECT_EQ(zDSound.Volume, 0.7f);
    EXPECT_EQ(zDShow.Volume, 0.55f);
    EXPECT_EQ(zDMusic.Volume, 0.33f);

    // The mouse scale follows the surface after every key.
    frmMain.MouseScaleX = 3;
    frmMain.Form_KeyDown(65, 0);
    EXPECT_EQ(frmMain.MouseScaleX, 1.0f);
}

}  // namespace
}  // namespace tarv::test
