// Key and button translation, the window on the dummy video driver, and the
// dialogs without a display.
#include <gtest/gtest.h>
#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/Dialogs.h"
#include "platform/KeyMap.h"
#include "platform/Window.h"
#include "tests/support/TestSupport.h"

using namespace zun;

TEST(KeyMap, TranslatesKeysToVirtualKeyCodes) {
    struct K {
        SDL_Keycode key;
        SDL_Scancode sc;
        int32_t vk;
    };
    const K keys[] = {
        {SDLK_w, SDL_SCANCODE_W, 87},          {SDLK_a, SDL_SCANCODE_A, 65},         {SDLK_s, SDL_SCANCODE_S, 83},
        {SDLK_d, SDL_SCANCODE_D, 68},          {SDLK_z, SDL_SCANCODE_Z, 90},         {SDLK_0, SDL_SCANCODE_0, 48},
        {SDLK_9, SDL_SCANCODE_9, 57},          {SDLK_F1, SDL_SCANCODE_F1, 112},      {SDLK_F4, SDL_SCANCODE_F4, 115},
        {SDLK_F10, SDL_SCANCODE_F10, 121},     {SDLK_F12, SDL_SCANCODE_F12, 123},    {SDLK_F13, SDL_SCANCODE_F13, 124},
        {SDLK_LEFT, SDL_SCANCODE_LEFT, 37},    {SDLK_UP, SDL_SCANCODE_UP, 38},       {SDLK_RIGHT, SDL_SCANCODE_RIGHT, 39},
        {SDLK_DOWN, SDL_SCANCODE_DOWN, 40},    {SDLK_RETURN, SDL_SCANCODE_RETURN, 13},
        {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 13},                                  {SDLK_SPACE, SDL_SCANCODE_SPACE, 32},
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 27}, {SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, 107},
        {SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, 109},                                 {SDLK_KP_0, SDL_SCANCODE_KP_0, 96},
        {SDLK_KP_7, SDL_SCANCODE_KP_7, 103},   {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, 16},
        {SDLK_RCTRL, SDL_SCANCODE_RCTRL, 17},  {SDLK_LALT, SDL_SCANCODE_LALT, 18},   {SDLK_TAB, SDL_SCANCODE_TAB, 9},
        {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 8},                                 {SDLK_DELETE, SDL_SCANCODE_DELETE, 46},
        {SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, 33}, {SDLK_HOME, SDL_SCANCODE_HOME, 36},
        {SDLK_MINUS, SDL_SCANCODE_MINUS, 189}, {SDLK_PERIOD, SDL_SCANCODE_PERIOD, 190},
    };
    for (const K& k : keys) EXPECT_EQ(VirtualKeyFromSdl(k.key, k.sc), k.vk) << SDL_GetKeyName(k.key);

    // A layout whose letters are not Latin falls back on the key's place.
    EXPECT_EQ(VirtualKeyFromSdl(0x0444 /* Cyrillic ef */, SDL_SCANCODE_A), 65);
    // A German layout's z key sits where a US y is; the key code wins.
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_z, SDL_SCANCODE_Y), 90);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP), 0);
}

TEST(KeyMap, TranslatesButtonsAndModifiers) {
    EXPECT_EQ(ButtonBitFromSdl(SDL_BUTTON_LEFT), 1);
    EXPECT_EQ(ButtonBitFromSdl(SDL_BUTTON_RIGHT), 2);
    EXPECT_EQ(ButtonBitFromSdl(SDL_BUTTON_MIDDLE), 4);
    EXPECT_EQ(ButtonBitFromSdl(SDL_BUTTON_X1), 8);
    EXPECT_EQ(ButtonBitFromSdl(9), 0);
    EXPECT_EQ(ButtonMaskFromSdl(SDL_BUTTON_LMASK | SDL_BUTTON_MMASK), 5);
    EXPECT_EQ(ButtonMaskFromSdl(SDL_BUTTON_RMASK), 2);
    EXPECT_EQ(ShiftMaskFromSdl(KMOD_LSHIFT | KMOD_RALT), 5);
    EXPECT_EQ(ShiftMaskFromSdl(KMOD_RCTRL | KMOD_NUM), 2);
}

TEST(WindowEvents, TranslateSdlEventsToOurRecords) {
    SDL_Event e{};
    WindowEvent w;
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_UP;
    e.key.keysym.scancode = SDL_SCANCODE_UP;
    e.key.keysym.mod = KMOD_LCTRL;
    e.key.repeat = 1;
    ASSERT_TRUE(TranslateSdlEvent(e, w));
    EXPECT_EQ(w.Type, WindowEventType::KeyDown);
    EXPECT_EQ(w.Key, 38);
    EXPECT_EQ(w.Shift, 2);
    EXPECT_TRUE(w.Repeat) << "held keys repeat their key-down";

    e.type = SDL_KEYUP;
    e.key.repeat = 0;
    ASSERT_TRUE(TranslateSdlEvent(e, w));
    EXPECT_EQ(w.Type, WindowEventType::KeyUp);
    EXPECT_FALSE(w.Repeat);

    e.key.keysym.sym = SDLK_VOLUMEUP;
    e.key.keysym.scancode = SDL_SCANCODE_VOLUMEUP;
    EXPECT_FALSE(TranslateSdlEvent(e, w)) << "keys without a code are dropped";

    e = SDL_Event{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    e.button.x = 12;
    e.button.y = 34;
    ASSERT_TRUE(TranslateSdlEvent(e, w));
    EXPECT_EQ(w.Type, WindowEventType::MouseDown);
    EXPECT_EQ(w.Button, 2);
    EXPECT_EQ(w.X, 12);
    EXPECT_EQ(w.Y, 34);

    e = SDL_Event{};
    e.type = SDL_MOUSEMOTION;
    e.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_RMASK;
    e.motion.x = 5;
    ASSERT_TRUE(TranslateSdlEvent(e, w));
    EXPECT_EQ(w.Type, WindowEventType::MouseMove);
    EXPECT_EQ(w.Button, 3);
    EXPECT_EQ(w.X, 5);

    e = SDL_Event{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 2;
    e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    ASSERT_TRUE(TranslateSdlEvent(e, w));
    EXPECT_EQ(w.Wheel, -2);

    e = SDL_Event{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    e.window.data1 = 800;
    e.window.data2 = 600;
    ASSERT_TRUE(TranslateSdlEvent(e, w));
    EXPECT_EQ(w.Type, WindowEventType::Resized);
    EXPECT_EQ(w.Width, 800);
    EXPECT_EQ(w.Height, 600);
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_TRUE(TranslateSdlEvent(e, w));
    EXPECT_EQ(w.Type, WindowEventType::Close);
}

TEST(Window, HeadlessWindowHasSizesHandleAndEvents) {
    ASSERT_TRUE(IsHeadless()) << "tests run with ZUN_HEADLESS=1";
    DisplayModeInfo mode = DesktopDisplayMode();
    EXPECT_EQ(mode.Width, 1024);
    EXPECT_EQ(mode.Height, 768);

    std::string error;
    EXPECT_EQ(Window::Create("x", 0, 480, &error), nullptr);
    auto window = Window::Create("Caf\xE9", 640, 480, &error);
    ASSERT_TRUE(window) << error;
    EXPECT_TRUE(window->Headless());
    EXPECT_FALSE(window->HasGLSurface());
    EXPECT_NE(window->Handle(), 0);
    int32_t w = 0, h = 0;
    window->ClientSize(w, h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    window->SetClientSize(320, 200);
    window->ClientSize(w, h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);
    window->Size(w, h);
    EXPECT_GE(w, 320);

    WindowEvent ev;
    while (window->PollEvent(ev)) {
    }
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_F1;
    e.key.keysym.scancode = SDL_SCANCODE_F1;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.type = SDL_USEREVENT;  // of no use to the game: skipped
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    ASSERT_TRUE(window->PollEvent(ev, 10));
    EXPECT_EQ(ev.Type, WindowEventType::KeyDown);
    EXPECT_EQ(ev.Key, 112);
    ASSERT_TRUE(window->PollEvent(ev));
    EXPECT_EQ(ev.Type, WindowEventType::Quit);
    EXPECT_FALSE(window->PollEvent(ev));

    // A second window while the first lives, then both go.
    auto second = Window::Create("two", 100, 100, &error);
    ASSERT_TRUE(second) << error;
    EXPECT_NE(second->Handle(), window->Handle());
}

TEST(Dialogs, HeadlessBoxesLogAndAnswerFromTheQueue) {
    test::LogCapture log;
    ClearDialogAnswers();
    EXPECT_EQ(ShowMessageBox("Hello", MsgBoxStyle::OkOnly, "Title"), MsgBoxResult::Ok);
    EXPECT_TRUE(log.Contains("MsgBox\tTitle\tHello"));
    EXPECT_EQ(ShowMessageBox("Sure?", MsgBoxStyle::YesNo | MsgBoxStyle::Question), MsgBoxResult::Yes);
    EXPECT_EQ(ShowMessageBox("Sure?", MsgBoxStyle::YesNoCancel | MsgBoxStyle::DefaultButton3), MsgBoxResult::Cancel);
    EXPECT_EQ(ShowMessageBox("Again", MsgBoxStyle::RetryCancel | MsgBoxStyle::DefaultButton2), MsgBoxResult::Cancel);

    PushMessageBoxAnswer(MsgBoxResult::No);
    PushMessageBoxAnswer(MsgBoxResult::Yes);
    EXPECT_EQ(ShowMessageBox("1", MsgBoxStyle::YesNo), MsgBoxResult::No);
    EXPECT_EQ(ShowMessageBox("2", MsgBoxStyle::YesNo), MsgBoxResult::Yes);
    EXPECT_EQ(ShowMessageBox("3", MsgBoxStyle::YesNo), MsgBoxResult::Yes);

    EXPECT_EQ(ShowInputBox("Name?", "Ask", "nobody"), "nobody");
    EXPECT_TRUE(log.Contains("InputBox\tAsk\tName?"));
    PushInputBoxAnswer("Zed");
    PushInputBoxAnswer("");
    EXPECT_EQ(ShowInputBox("Name?"), "Zed");
    EXPECT_EQ(ShowInputBox("Name?", "", "x"), "");
    PushInputBoxAnswer("left over");
    ClearDialogAnswers();
    EXPECT_EQ(ShowInputBox("Name?", "", "d"), "d");
}

TEST(Dialogs, BoxesWithoutATitleShowTheProgramsTitle) {
    test::LogCapture log;
    ClearDialogAnswers();
    gProgramTitle = "Prog";
    ShowMessageBox("Hello");
    ShowInputBox("Name?");
    ShowMessageBox("Own", MsgBoxStyle::OkOnly, "Mine");
    gProgramTitle.clear();
    EXPECT_TRUE(log.Contains("MsgBox\tProg\tHello"));
    EXPECT_TRUE(log.Contains("InputBox\tProg\tName?"));
    EXPECT_TRUE(log.Contains("MsgBox\tMine\tOwn"));
}

TEST(WindowEvents, TypedTextBecomesWindows1252AndCarriesItsWindow) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = 7;
    // e acute, euro sign, a Cyrillic letter the game cannot show.
    std::snprintf(e.text.text, sizeof e.text.text, "%s", "\xC3\xA9\xE2\x82\xAC\xD0\xB6");
    WindowEvent out;
    ASSERT_TRUE(TranslateSdlEvent(e, out));
    EXPECT_EQ(out.Type, WindowEventType::TextInput);
    EXPECT_EQ(out.Text, "\xE9\x80?");
    EXPECT_EQ(out.WindowId, 7u);

    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.windowID = 3;
    ASSERT_TRUE(TranslateSdlEvent(click, out));
    EXPECT_EQ(out.WindowId, 3u);
}
