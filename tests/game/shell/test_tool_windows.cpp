// The settings dialog, the console and the input box as windows of their
// own: each driven through its own window events, and each drawing its
// picture off-screen as a player's window would show it.
#include <SDL2/SDL.h>

#include <cstring>

#include "SettingsTestSupport.h"
#include "devices/zDInput.h"
#include "game/shell/frmInputBox.h"
#include "game/shell/frmMain.h"
#include "game/shell/mOverlayDraw.h"
#include "game/shell/mShellWindows.h"

namespace tarv::test {

namespace {

WindowEvent To(uint32_t id, WindowEventType type, int32_t x = 0, int32_t y = 0) {
    WindowEvent e;
    e.WindowId = id;
    e.Type = type;
    e.Button = 1;
    e.X = x;
    e.Y = y;
    return e;
}
WindowEvent Key(uint32_t id, int32_t key, int32_t shift = 0) {
    WindowEvent e = To(id, WindowEventType::KeyDown);
    e.Key = key;
    e.Shift = shift;
    return e;
}
WindowEvent Typed(uint32_t id, const std::string& text) {
    WindowEvent e = To(id, WindowEventType::TextInput);
    e.Text = text;
    return e;
}
void Click(uint32_t id, const gFormControl& c, float dx = -1) {
    const int32_t x = int32_t(c.Left + (dx < 0 ? c.Width / 2 : dx)), y = int32_t(c.Top + c.Height / 2);
    EXPECT_TRUE(ShellWindows_Event(To(id, WindowEventType::MouseDown, x, y)));
    EXPECT_TRUE(ShellWindows_Event(To(id, WindowEventType::MouseUp, x, y)));
}

}  // namespace

using ToolWindows = SettingsTest;

TEST_F(ToolWindows, SettingsTakeTheirOwnEventsAndChangeTheGameAtOnce) {
    gCharTest.SetDefaultSettings();
    frmSettings.Show();
    const uint32_t id = frmSettings.Window.Id();
    ASSERT_NE(id, 0u);
    auto box = [](const std::string& key) {
        for (const auto& c : frmSettings.Form.Controls)
            if (c->Tag == "byte:" + key) return c;
        return std::shared_ptr<gFormControl>();
    };
    Click(id, *box("Lighting"));
    EXPECT_EQ(Settings().GetByte("Lighting"), 0);
    Click(id, *frmSettings.Form.Find("scrValues", 0), 0);
    EXPECT_EQ(Settings().GetSingle("SoundVolume"), 0.0f);
    EXPECT_EQ(zDSound.Volume, 0.0f);
    Click(id, *frmSettings.Form.Find("cmdHigh"));
    EXPECT_EQ(Settings().GetByte("Lighting"), 1);
    EXPECT_EQ(box("Lighting")->Value, 1);

    // The game window's own events are not the dialog's.
    EXPECT_FALSE(ShellWindows_Event(Key(0, 27)));
    EXPECT_TRUE(frmSettings.Visible());
    // F10 in the dialog shows the console as it does in the game.
    gShellParts.ConsoleVisible = [] { return frmLog.Visible(); };
    gShellParts.ShowConsole = [] { frmLog.Show(); };
    ShellWindows_Event(Key(id, 121));
    EXPECT_TRUE(frmLog.Visible());
    gShellParts = {};

    // Cleared buffers and the close box: the note once, then never again.
    Click(id, *box("HighQualityBuffers"));
    EXPECT_TRUE(ShellWindows_Event(To(id, WindowEventType::Close)));
    EXPECT_FALSE(frmSettings.Loaded());
    EXPECT_EQ(Count("MsgBox\tQualit\xE4tshinweis"), 1);
    // A late event of the closed window is dropped, not handed to the game.
    EXPECT_TRUE(ShellWindows_Event(Key(id, 27)));
    frmSettings.Show();
    EXPECT_TRUE(ShellWindows_Event(Key(frmSettings.Window.Id(), 27)));
    EXPECT_FALSE(frmSettings.Loaded());
    EXPECT_EQ(Count("MsgBox\tQualit\xE4tshinweis"), 1);
}

TEST_F(ToolWindows, ThePlaceBesideTheGameFollowsTheView) {
    // Full screen: a 640 x 480 screen drawn as a 512 x 288 view.
    zDDraw.ViewW = 512;
    zDDraw.ViewH = 288;
    frmSettings.Show();
    EXPECT_EQ(frmSettings.Window.Left(), 512 + 8);
    EXPECT_EQ(frmSettings.Window.Top(), 0);
    frmLog.Show();
    EXPECT_EQ(frmLog.Window.Left(), 0);
    EXPECT_EQ(frmLog.Window.Top(), 288 + 8);

    // No room beside the game: over it, on the desktop.
    const gToolRect over = PlaceToolWindow(460, 382, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 0);
    EXPECT_EQ(over.X, 730);
    EXPECT_EQ(over.Y, 349);
    const gToolRect low = PlaceToolWindow(640, 240, {100, 100, 1000, 700}, {0, 0, 1024, 768}, 1);
    EXPECT_EQ(low.Y, 768 - 240);  // at the game's bottom, kept on the desktop
    EXPECT_EQ(low.X, 100);
}

TEST_F(ToolWindows, TheConsoleResizesScrollsRunsCommandsMarksAndCopies) {
    gCharTest.FontArial = MakeFont();
    for (int i = 0; i < 100; ++i) Log("INF", "Line", i);
    frmLog.Show();
    const uint32_t id = frmLog.Window.Id();

    WindowEvent size = To(id, WindowEventType::Resized);
    size.Width = 400;
    size.Height = 300;
    EXPECT_TRUE(ShellWindows_Event(size));
    EXPECT_EQ(frmLog.txtLog()->Height, 280);
    EXPECT_EQ(frmLog.txtInput()->Top, 280);
    EXPECT_EQ(frmLog.Window.Width(), 400);

    WindowEvent wheel = To(id, WindowEventType::MouseWheel);
    wheel.Wheel = 2;
    ShellWindows_Event(wheel);
    EXPECT_EQ(frmLog.ScrollBack, 6);
    ShellWindows_Event(Key(id, 34));  // Page down
    EXPECT_EQ(frmLog.ScrollBack, 0);

    // Marking with the mouse: the last two shown lines are 98 and 99, the
    // font's glyphs 8 pixels wide from 4 pixels in.
    const int32_t rows = int32_t((frmLog.txtLog()->Height - 4) / 16);
    const int32_t y98 = 2 + (rows - 2) * 16 + 8, y99 = y98 + 16;
    ShellWindows_Event(To(id, WindowEventType::MouseDown, 4 + 8, y98));
    ShellWindows_Event(To(id, WindowEventType::MouseMove, 4 + 24, y99));
    ShellWindows_Event(To(id, WindowEventType::MouseUp, 4 + 24, y99));
    ShellWindows_Event(Key(id, 'C', 2));
    EXPECT_EQ(ClipboardText(), "NF\tLine\t98\nINF");

    ShellWindows_Event(Key(id, 'A', 2));
    ShellWindows_Event(Key(id, 'C', 2));
    const std::string all = ClipboardText();
    EXPECT_EQ(all.rfind("INF\tLine\t0\n", 0), 0u);
    EXPECT_EQ(all.substr(all.size() - 12), "\nINF\tLine\t99");

    ShellWindows_Event(Typed(id, " Help"));
    ShellWindows_Event(Key(id, 13));
    EXPECT_TRUE(Logged("LIST\texit\tend\tmute\thelp"));
    EXPECT_EQ(frmLog.Line(frmLog.LineCount() - 1), "LIST\texit\tend\tmute\thelp");
    ShellWindows_Event(Key(id, 121));  // F10
    EXPECT_FALSE(frmLog.Loaded());
}

TEST_F(ToolWindows, TheInputBoxAnswersTheTypedTextOrNothing) {
    frmInputBoxForm box;
    auto ask = [&](const std::string& initial) {
        box.Show("Your name?", "Ask", initial);
        EXPECT_TRUE(box.Visible());
        EXPECT_EQ(box.Form.Caption, "Ask");
        return box.Window.Id();
    };
    // Letters beyond ASCII, and what the text input could not show.
    uint32_t id = ask("");
    box.HandleEvent(Typed(id, "Zo\xEB \x80?"));
    box.HandleEvent(Key(id, 13));
    EXPECT_TRUE(box.Answered());
    EXPECT_EQ(box.Answer(), "Zo\xEB \x80?");
    EXPECT_FALSE(box.Visible());

    id = ask("abc");
    box.HandleEvent(Key(id, 8));
    box.HandleEvent(Typed(id, "\xDF"));
    const auto ok = box.Form.Find("cmdOK");
    box.HandleEvent(To(id, WindowEventType::MouseDown, int32_t(ok->Left + 5), int32_t(ok->Top + 5)));
    box.HandleEvent(To(id, WindowEventType::MouseUp, int32_t(ok->Left + 5), int32_t(ok->Top + 5)));
    EXPECT_EQ(box.Answer(), "ab\xDF");

    id = ask("typed");
    box.HandleEvent(Key(id, 27));
    EXPECT_TRUE(box.Answered());
    EXPECT_EQ(box.Answer(), "");

    id = ask("typed");
    const auto cancel = box.Form.Find("cmdCancel");
    box.HandleEvent(To(id, WindowEventType::MouseDown, int32_t(cancel->Left + 5), int32_t(cancel->Top + 5)));
    box.HandleEvent(To(id, WindowEventType::MouseUp, int32_t(cancel->Left + 5), int32_t(cancel->Top + 5)));
    EXPECT_EQ(box.Answer(), "");

    id = ask("typed");
    EXPECT_FALSE(box.HandleEvent(Key(id + 1, 13)));
    box.HandleEvent(To(id, WindowEventType::Close));
    EXPECT_TRUE(box.Answered());
    EXPECT_EQ(box.Answer(), "");
}

// A key goes up where the focus is when it is let go: the game never keeps
// it held because a tool window had the focus then, and a window opened a
// thousand times leaves the texture table as it found it.
TEST_F(ToolWindows, KeysLetGoOverAToolWindowAreUpInTheGameAndOpeningsCostNoTextures) {
    frmMain.Form_KeyDown(87, 0);  // walking up when F1 opens the dialog
    frmSettings.Show();
    const uint32_t id = frmSettings.Window.Id();
    WindowEvent up = Key(id, 87);
    up.Type = WindowEventType::KeyUp;
    EXPECT_TRUE(ShellWindows_Event(up));
    EXPECT_FALSE(zDInput.Keys[87]);
    // F10 typed into the dialog shows the console and is up again after.
    gShellParts.ConsoleVisible = [] { return frmLog.Visible(); };
    gShellParts.ShowConsole = [] { frmLog.Show(); };
    ShellWindows_Event(Key(id, 121));
    EXPECT_TRUE(zDInput.Keys[121]);
    up.Key = 121;
    ShellWindows_Event(up);
    EXPECT_FALSE(zDInput.Keys[121]);
    gShellParts = {};
    frmSettings.Unload();

    frmLog.Show();
    frmLog.Render();
    frmLog.Unload();
    const int32_t textures = zDDraw.TextureCount;
    for (int i = 0; i < 1000; ++i) {
        frmLog.Show();
        frmLog.Render();
        ShellWindows_Event(Key(frmLog.Window.Id(), 27));
        ASSERT_FALSE(frmLog.Visible());
    }
    EXPECT_EQ(zDDraw.TextureCount, textures);
    frmInputBoxForm box;
    box.Show("Name?", "Ask", "");
    box.Render();
    box.cmdOK_Click();
    EXPECT_EQ(zDDraw.TextureCount, textures);
}

// The same windows drawn by the OpenGL device, read back pixel by pixel.
class ToolWindowPixels : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        zDDraw.Device_Release();
        zDDraw.BackendFactory = nullptr;
        if (!zDDraw.Device_Initialize() || !zDDraw.Device_InitWindowed(nullptr, 640, 480, 1.0f, 0, false))
            GTEST_SKIP() << "no offscreen OpenGL context";
        // A font of see-through glyphs: the probes look at what lies under the text.
        FontEntry f;
        f.Texture = zDDraw.TextureCount + 1;
        f.Width.fill(8);
        TextureEntry t;
        t.W = t.H = 256;
        t.Loaded = true;
        t.Texture = zDDraw.Device->CreateTexture(256, 256, nullptr);
        zDDraw.Textures.resize(size_t(zDDraw.TextureCount) + 1);
        zDDraw.Textures.push_back(t);
        zDDraw.TextureCount += 1;
        zFont.Fonts.resize(size_t(zFont.FontCount) + 1);
        zFont.Fonts.push_back(f);
        zFont.FontCount += 1;
        gCharTest.FontArial = zFont.FontCount;
        gCharTest.SetDefaultSettings();
    }
    static void ExpectNear(uint32_t got, int32_t want, const char* what) {
        for (int shift : {0, 8, 16, 24}) {
            const int g = int(got >> shift & 255), w = int(uint32_t(want) >> shift & 255);
            EXPECT_LE(std::abs(g - w), 1) << what << std::hex << " got " << got << " want " << uint32_t(want);
        }
    }
};

TEST_F(ToolWindowPixels, EachWindowDrawsItsOwnPictureOffScreen) {
    frmSettings.Show();
    frmSettings.Render();
    const gToolWindow& s = frmSettings.Window;
    ASSERT_EQ(s.Image().size(), size_t(s.Width()) * size_t(s.Height()) * 4);
    ExpectNear(s.PixelAt(s.Width() - 3, 3), kSettingsBack, "settings background");
    const auto ticked = frmSettings.Form.Find("chkValues", 4);
    ASSERT_EQ(ticked->Value, 1);
    ExpectNear(s.PixelAt(int32_t(ticked->Left) + 6, int32_t(ticked->Top) + 9), ColorFromComponents(0.5f, 0.8f, 1, 1),
               "ticked box");
    // The game's drawing sizes are its own again.
    EXPECT_EQ(zDDraw.ScreenW, 640);
    EXPECT_EQ(zDDraw.RenderZoom, 1.0f);

    Log("INF", "One");
    frmLog.Show();
    const gToolWindow& c = frmLog.Window;
    // Nothing marked: no line end shows as marked.
    frmLog.Render();
    const int32_t end0 = 4 + int32_t(mOverlayDraw::TextWidth(gCharTest.FontArial, frmLog.Line(0)));
    EXPECT_NE(c.PixelAt(end0 + 2, 10), uint32_t(kConsoleMarked));
    frmLog.KeyDown('A', 2);
    frmLog.Render();
    EXPECT_EQ(c.Width(), kConsoleW);
    ExpectNear(c.PixelAt(6, 10), kConsoleMarked, "marked text");
    ExpectNear(c.PixelAt(c.Width() - 4, c.Height() - 4), ColorFromComponents(0.1f, 0.1f, 0.15f, 1), "command box");

    frmInputBoxForm box;
    box.Show("Name?", "Ask", "");
    box.Render();
    const auto field = box.txtValue();
    ExpectNear(box.Window.PixelAt(int32_t(field->Left + field->Width) - 4, int32_t(field->Top) + 4), kInputFieldBack,
               "text field");

    // A real window shows the same picture.
    if (SDL_Window* w = box.Window.Sdl()) {
        SDL_Surface* surface = SDL_GetWindowSurface(w);
        ASSERT_TRUE(surface);
        ASSERT_GE(surface->w, box.Window.Width());
        const int32_t x = int32_t(field->Left + field->Width) - 4, y = int32_t(field->Top) + 4;
        uint32_t raw = 0;
        std::memcpy(&raw, static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch + x * 4, 4);
        uint8_t r = 0, g = 0, b = 0;
        SDL_GetRGB(raw, surface->format, &r, &g, &b);
        ExpectNear(0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b, kInputFieldBack, "text field on screen");
    }
}

}  // namespace tarv::test
