// Scenes, render targets, the lens buffers, blending, overlays, screenshots
// and the main window, driven from scripts against the recording device.
#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "game/shell/frmMain.h"
#include "platform/Window.h"
#include "scene/zCamera.h"
#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class RenderTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        frmMain = frmMainForm{};
        LoadScript(R"(class R {
            func frame() { beginScene(); record("drawing"); endScene(); }
            func quiet() { beginScene(0); endScene(false); }
            func target(size) { t = createRenderTarget(size); record(t); return t; }
            func into(t) { beginScene(t); endTextureScene(); }
            func pick(i) { setRenderBuffer(i); }
            func buffers() { record(getRenderBuffer(), getRenderBuffer(0), getRenderBuffer(1), getRenderBuffer(1, 1)); }
            func buffer(i) { record(getRenderBuffer(i)); }
            func filter(f) { setTextureFilter(f); }
            func mode(m) { setAlphaMode(m); }
            func alpha(v) { setAlphaValue(v); }
            func gamma(g) { applyGamma(g); }
            func tint(r, g, b) { applyTint(r, g, b); }
            func shot(n) { saveScreenshot(n); }
            func zoom(z) { setRenderZoom(z); }
            func full(on) { setFullScreen(on); }
            func updates(on) { doGameUpdates(on); }
            func caption(t) { setCaption(t); }
            func quit() { exitGame(); record("after exit"); }
        }
        class Game { func onExit() { record("onExit"); } })");
    }
    void TearDown() override {
        frmMain = frmMainForm{};
        ScriptApiTest::TearDown();
    }
    bool Called(const std::string& prefix) const {
        return std::any_of(rec->Calls.begin(), rec->Calls.end(),
                           [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }
};

TEST_F(RenderTest, ScenesWithTheirDefaults) {
    auto so = Object("R");
    zDDraw.BackColor = int32_t(0xFF102030u);
    rec->ClearLog();
    so->Execute("frame");
    // No arguments: the back buffer, cleared to BackColor, then shown.
    EXPECT_TRUE(Called("Clear color=FF102030")) << ::testing::PrintToString(rec->Calls);
    EXPECT_TRUE(Called("Present"));
    EXPECT_EQ(records, (std::vector<std::string>{"drawing"}));

    // BackColor 0 keeps the colour; endScene(false) does not show the frame.
    zDDraw.BackColor = 0;
    rec->ClearLog();
    so->Execute("quiet");
    EXPECT_TRUE(Called("Clear depth="));
    EXPECT_FALSE(Called("Clear color="));
    EXPECT_FALSE(Called("Present"));
    EXPECT_EQ(LogCount("ERR"), 0u);
}

TEST_F(RenderTest, RenderTargetsAndTextureScenes) {
    auto so = Object("R");
    ValueRef t = so->Execute("target", {HostValue(int32_t(20))});
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Typ, typInt);
    const int32_t handle = t->GetLong();
    ASSERT_GE(handle, 1);
    EXPECT_EQ(zDDraw.Textures[size_t(handle)].W, 32);
    // Below 16 pixels there is no target.
    EXPECT_EQ(so->Execute("target", {HostValue(int32_t(8))})->GetLong(), 0);

    rec->ClearLog();
    so->Execute("into", {HostValue(handle)});
    EXPECT_EQ(rec->CurrentTarget(), 0u);  // back to the back buffer
    bool targetSet = false;
    for (const auto& c : rec->Calls)
        if (c.rfind("SetRenderTarget ", 0) == 0 && c != "SetRenderTarget 0") targetSet = true;
    EXPECT_TRUE(targetSet) << ::testing::PrintToString(rec->Calls);
}

TEST_F(RenderTest, LensBuffers) {
    gCharTest.RenderBuffers[0] = 11;
    gCharTest.RenderBuffers[1] = 22;
    auto so = Object("R");
    so->Execute("buffers");
    // One argument picks by index; none, or two, give buffer 0.
    EXPECT_EQ(records, (std::vector<std::string>{"11,11,22,11"}));
    so->Execute("pick", {HostValue(int32_t(1))});
    EXPECT_EQ(gCharTest.RenderBuffer, 1);
    so->Execute("pick", {HostValue(int32_t(0))});
    EXPECT_EQ(gCharTest.RenderBuffer, 0);

    // Indexes that name no buffer fail; the choice stays.
    records.clear();
    so->Execute("buffer", {HostValue(int32_t(2))});
    so->Execute("buffer", {HostValue(int32_t(-1))});
    so->Execute("pick", {HostValue(int32_t(5))});
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(gCharTest.RenderBuffer, 0);
    EXPECT_EQ(LogCount("Subscript out of range"), 3u);
}

TEST_F(RenderTest, FilterBlendModesAndTransparency) {
    auto so = Object("R");
    so->Execute("filter", {HostValue(int32_t(1))});
    EXPECT_EQ(zDDraw.State.Filter, TexFilter::Linear);

    zDDraw.SetAlphaMode(2);
    const DrawState alpha = zDDraw.State;
    zDDraw.SetAlphaMode(0);
    const DrawState none = zDDraw.State;
    zDDraw.SetAlphaMode(10);
    so->Execute("mode", {HostValue("Alpha")});
    EXPECT_TRUE(zDDraw.State == alpha);
    // The full name gets the prefix twice: unknown, so mode 0.
    so->Execute("mode", {HostValue("eBlend_Alpha")});
    EXPECT_TRUE(zDDraw.State == none);
    EXPECT_EQ(LogCount("Unknown blend mode\teBlend_eBlend_Alpha"), 1u);

    so->Execute("alpha", {HostValue(0.456f)});
    EXPECT_FLOAT_EQ(zDDraw.GlobalAlpha, 0.45f);
    so->Execute("alpha", {HostValue(3.0f)});
    EXPECT_FLOAT_EQ(zDDraw.GlobalAlpha, 1.0f);
}

TEST_F(RenderTest, GammaAndTintOverlays) {
    auto so = Object("R");
    zDDraw.BeginScene(0, 0);
    rec->ClearLog();
    so->Execute("gamma", {HostValue(0.5f)});
    so->Execute("tint", {HostValue(0.2f), HostValue(0.0f), HostValue(2.0f)});
    zDDraw.EndScene(false);
    // Two full-screen quads, both added.
    std::vector<RecordedDraw> quads;
    for (const auto& d : rec->Draws)
        if (!d.Vertices.empty()) quads.push_back(d);
    ASSERT_EQ(quads.size(), 2u);
    for (const auto& d : quads) {
        EXPECT_TRUE(d.State.AlphaBlendEnable);
        EXPECT_EQ(d.State.SrcBlend, Blend::One);
        EXPECT_EQ(d.State.DestBlend, Blend::One);
    }
    EXPECT_EQ(quads[0].Vertices[0].Color & 0xFFFFFFu, 0x808080u);
    // The tint is clamped to 0..1 per component.
    EXPECT_EQ(quads[1].Vertices[0].Color & 0xFFFFFFu, 0x3300FFu);
    // Zero gamma draws nothing.
    rec->ClearLog();
    so->Execute("gamma", {HostValue(0.0f)});
    zDDraw.EndScene(false);
    EXPECT_TRUE(rec->Draws.empty());
}

TEST_F(RenderTest, ScreenshotsKeepTheirNameInTheProgramFolder) {
    zun::test::TempDir app;
    zFileSystem.AppPath = app.Path();
    auto so = Object("R");
    zDDraw.BeginScene(0, 0);
    so->Execute("shot", {HostValue("picture")});
    const auto bytes = zun::test::ReadHostFile(app.HostPath("picture"));
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(LogCount("Screenshot saved"), 1u);
    zFileSystem.AppPath.clear();
}

TEST_F(RenderTest, ScreenshotsReplaceNothingButScreenshotsAndStopAtTheirBudget) {
    zun::test::TempDir app, elsewhere;
    zFileSystem.AppPath = app.Path();
    const std::vector<uint8_t> text{'k', 'e', 'e', 'p'};
    for (const char* shipped : {"zsc", "README.md", "story.txt", "Game.dat"})
        zun::test::WriteHostFile(app.HostPath(shipped), text);
    // Pictures by their first bytes, which only their other names give away.
    const std::vector<uint8_t> picture{'B', 'M', 'k', 'e', 'e', 'p'};
    zun::test::WriteHostFile(elsewhere.HostPath("victim.bmp"), picture);
    ASSERT_EQ(::symlink(elsewhere.HostPath("victim.bmp").c_str(), app.HostPath("link.bmp").c_str()), 0);
    zun::test::WriteHostFile(elsewhere.HostPath("shared.bmp"), picture);
    ASSERT_EQ(::link(elsewhere.HostPath("shared.bmp").c_str(), app.HostPath("twin.bmp").c_str()), 0);
    auto so = Object("R");
    zDDraw.BeginScene(0, 0);
    // Whatever the case, a name of the program's files is refused; so are a
    // link, a second name of a file elsewhere, and a new name that is no
    // picture's.
    for (const char* name : {"ZSC", "README.MD", "Story.TXT", "game.DAT", "link.bmp", "LINK.BMP", "twin.bmp",
                             "notes.txt", "tool.exe"})
        so->Execute("shot", {HostValue(name)});
    EXPECT_EQ(LogCount("ERR\tSaveScreenShot"), 9u);
    EXPECT_EQ(LogCount("Screenshot saved"), 0u);
    for (const char* shipped : {"zsc", "README.md", "story.txt", "Game.dat"})
        EXPECT_EQ(zun::test::ReadHostFile(app.HostPath(shipped)), text) << shipped;
    EXPECT_EQ(zun::test::ReadHostFile(elsewhere.HostPath("victim.bmp")), picture);
    EXPECT_EQ(zun::test::ReadHostFile(elsewhere.HostPath("shared.bmp")), picture);
    EXPECT_NE(::access(app.HostPath("notes.txt").c_str(), F_OK), 0);

    // A screenshot, of this run or an earlier one, is replaced under any case.
    so->Execute("shot", {HostValue("pic.bmp")});
    so->Execute("shot", {HostValue("PIC.BMP")});
    EXPECT_EQ(LogCount("Screenshot saved"), 2u);
    EXPECT_NE(::access(app.HostPath("PIC.BMP").c_str(), F_OK), 0);
    so->Execute("shot", {HostValue("Pic.bmp")});
    EXPECT_EQ(LogCount("Screenshot saved"), 3u);

    // Two more fill the budget: the next new one is refused, while the
    // screenshots already there may still be taken again.
    zDDraw.ScreenshotBudget = zDDraw.ScreenshotBytes * 3;
    so->Execute("shot", {HostValue("a.bmp")});
    so->Execute("shot", {HostValue("b")});
    so->Execute("shot", {HostValue("c.bmp")});
    so->Execute("shot", {HostValue("a.bmp")});
    EXPECT_EQ(LogCount("Screenshot saved"), 6u);
    EXPECT_EQ(LogCount("ERR\tSaveScreenShot"), 10u);
    EXPECT_NE(::access(app.HostPath("c.bmp").c_str(), F_OK), 0);
    zFileSystem.AppPath.clear();
}

// At its budget a screenshot is refused before a pixel is read and without a
// walk of the program folder, however many files it holds: the folder is
// listed, and its pictures looked into, again only once it has changed.
TEST_F(RenderTest, AScreenshotRefusedAtTheBudgetCostsNoWalkOfTheFolder) {
    zun::test::TempDir app;
    zFileSystem.AppPath = app.Path();
    for (int i = 0; i < 500; ++i) zun::test::WriteHostFile(app.HostPath("note" + std::to_string(i)), {'x'});
    auto so = Object("R");
    zDDraw.BeginScene(0, 0);
    so->Execute("shot", {HostValue("a.bmp")});
    ASSERT_EQ(LogCount("Screenshot saved"), 1u);
    zDDraw.ScreenshotBudget = zDDraw.ScreenshotBytes;
    // Changed a minute ago, as a game folder is when it is played.
    const timespec past[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, app.Host().c_str(), past, 0), 0);
    rec->ClearLog();
    const uint64_t listed = HostFolderListings();
    for (int i = 0; i < 100; ++i) so->Execute("shot", {HostValue("b.bmp")});
    EXPECT_EQ(LogCount("ERR\tSaveScreenShot\tThe screenshots in the program folder fill their"), 100u);
    EXPECT_LE(HostFolderListings() - listed, 2u) << "once for its pictures, once for its names";
    EXPECT_FALSE(Called("ReadPixels"));
    // The one there may still be taken again; once it is gone there is room.
    so->Execute("shot", {HostValue("A.BMP")});
    EXPECT_EQ(LogCount("Screenshot saved"), 2u);
    std::filesystem::remove(app.HostPath("a.bmp"));
    so->Execute("shot", {HostValue("b.bmp")});
    EXPECT_EQ(LogCount("Screenshot saved"), 3u);
    zFileSystem.AppPath.clear();
}

// A screenshot that cannot be written says which file and why, and leaves
// nothing half written.
TEST_F(RenderTest, AScreenshotThatCannotBeWrittenSaysWhichAndWhy) {
    zun::test::TempDir app;
    zFileSystem.AppPath = app.Path();
    auto so = Object("R");
    zDDraw.BeginScene(0, 0);
    // The disk takes a kilobyte of any file.
    struct sigaction ignore {}, savedAction {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &savedAction), 0);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    so->Execute("shot", {HostValue("full.bmp")});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &savedAction, nullptr);
    EXPECT_EQ(LogCount("ERR\tSaveScreenShot\tCannot save " + app.Path("full.bmp") +
                       ": cannot write the file (" + std::strerror(EFBIG) + ")"),
              1u)
        << Logged();
    EXPECT_NE(::access(app.HostPath("full.bmp").c_str(), F_OK), 0);
    zFileSystem.AppPath.clear();
}

TEST_F(RenderTest, ZoomFullScreenAndUpdates) {
    auto so = Object("R");
    zDDraw.SetScreenSize(640, 480, 1.0f, true);
    frmMain.Camera = std::make_shared<zCamera>();
    so->Execute("zoom", {HostValue(5.0f)});
    EXPECT_FLOAT_EQ(zDDraw.RenderZoom, 3.8f);
    so->Execute("zoom", {HostValue(0.25f)});
    EXPECT_FLOAT_EQ(zDDraw.RenderZoom, 1.0f);
    so->Execute("zoom", {HostValue(2.0f)});
    EXPECT_FLOAT_EQ(zDDraw.RenderZoom, 2.0f);
    EXPECT_EQ(frmMain.Camera->W, 320);

    so->Execute("full", {HostValue(true)});
    EXPECT_TRUE(gCharTest.FullScreen);
    EXPECT_EQ(frmMain.Camera->ScreenW, 512);
    so->Execute("full", {HostValue(false)});
    EXPECT_FALSE(gCharTest.FullScreen);

    gCharTest.GameUpdates = true;
    so->Execute("updates", {HostValue(false)});
    EXPECT_FALSE(gCharTest.GameUpdates);
    so->Execute("updates", {HostValue(true)});
    EXPECT_TRUE(gCharTest.GameUpdates);
}

TEST_F(RenderTest, CaptionOfTheMainWindow) {
    auto so = Object("R");
    // No window: nothing to name, nothing fails.
    so->Execute("caption", {HostValue("Unseen")});
    EXPECT_EQ(LogCount("ERR"), 0u);

    std::string error;
    auto window = Window::Create("Vorlund", 320, 240, &error);
    ASSERT_TRUE(window) << error;
    frmMain.Window = window.get();
    so->Execute("caption", {HostValue("Chapter 2")});
    EXPECT_STREQ(SDL_GetWindowTitle(window->Sdl()), "Chapter 2");
    frmMain.Window = nullptr;
}

TEST_F(RenderTest, ExitGameShutsDownAsClosingDoes) {
    gCharTest.GameObject = Object("Game");
    frmMain.Running = true;
    auto so = Object("R");
    so->Execute("quit");
    // The game object hears "onExit"; the framework is released; the script
    // that asked still finishes its own function.
    EXPECT_EQ(records, (std::vector<std::string>{"onExit", "after exit"}));
    EXPECT_TRUE(frmMain.Closed);
    EXPECT_FALSE(frmMain.Running);
    EXPECT_FALSE(zCore.Initialized);
}

}  // namespace
}  // namespace tarv::test
