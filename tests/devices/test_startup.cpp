// The framework's start-up and shut-down over the real device modules: drawing
// on the recording backend, sound on an offline mixer, MIDI on a recording
// synthesizer, message boxes answered headless.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zRegistry.h"
#include "devices/startup/zFramework.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zDMusic.h"
#include "devices/zDSound.h"
#include "platform/Dialogs.h"
#include "platform/RecordingBackend.h"
#include "platform/Window.h"
#include "test_sound_fixtures.h"

namespace zun {
namespace {

const char* const kSceneClasses[] = {"zCamera",  "zCollisionMap", "zPictureLayer", "zSpriteMap",
                                     "zTileMap", "zTileSet",      "zValueSetMap"};

// A storable class that is nothing but its name, standing in for the scene's.
class NamedChunk : public iChunk {
public:
    explicit NamedChunk(std::string name) : name_(std::move(name)) {}
    std::string ClassName() const override { return name_; }
    bool Import(zStream&) override { return true; }
    bool Export(zStream&) override { return true; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<NamedChunk>(name_); }

private:
    std::string name_;
};

class StartUp : public ::testing::Test {
protected:
    test::TempDir dir;
    test::LogCapture log;
    bool synthFails = false;
    bool backendFails = false;

    void SetUp() override {
        SetApplicationFolder(dir.Host());
        zCore.LogText.clear();
        zCore.Classes.clear();
        zDDraw = zDDrawModule{};
        zDInput = zDInputModule{};
        zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
        zDDraw.BackendFactory = [this](const GlBackendConfig& c) -> std::unique_ptr<RenderBackend> {
            if (backendFails) return nullptr;
            return std::make_unique<RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
        };
        AudioDevice::UseOffline(44100);
        zDMusic.CreateSynth = [this](int32_t, std::string& error) -> std::unique_ptr<MidiSynth> {
            if (synthFails) {
                error = "no sound font";
                return nullptr;
            }
            return std::make_unique<test::RecordingSynth>();
        };
        ClearDialogAnswers();
        // In the order the framework registers them.
        gFrameworkHooks.RegisterSceneClasses = [] {
            for (const char* name : kSceneClasses) RegisterClass(std::make_shared<NamedChunk>(name));
        };
        gFrameworkHooks.ScriptInitialize = [] { Log("INF", "script engine started"); };
    }

    void TearDown() override {
        ZUN_Release();
        gFrameworkHooks = FrameworkHooks{};
        zDMusic.CreateSynth = nullptr;
        AudioDevice::UseHardware();
        zDDraw = zDDrawModule{};
        zDInput = zDInputModule{};
        zCore.Classes.clear();
        Core_Reset();
        SetApplicationFolder("");
    }

    // Index of the first line equal to `line`, or -1.
    int Line(const std::string& line) const {
        const auto& l = log.Lines();
        auto it = std::find(l.begin(), l.end(), line);
        return it == l.end() ? -1 : int(it - l.begin());
    }

    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const auto& l : log.Lines())
            if (l.rfind("INF\tMsgBox\t", 0) == 0) out.push_back(l.substr(11));
        return out;
    }

    bool Released() const {
        return !zCore.Initialized && !zCore.DirectX && !zDDraw.Device && zDInput.DeviceCount == 0 &&
               !zDSound.DSound && !zDMusic.Enabled && !AudioDevice::IsOpen();
    }
};

TEST_F(StartUp, LogsEveryStepInOrder) {
    ZUN_Initialize();
    ASSERT_TRUE(zCore.Initialized);
    ASSERT_TRUE(Window_Initialize(nullptr, 0, false));

    // The path is known before the header, so the log opens with it.
    ASSERT_GE(log.Lines().size(), 2u);
    EXPECT_EQ(log.Lines()[0], "INF\tPath\t" + zFileSystem.AppPath);
    EXPECT_EQ(log.Lines()[1], "[ZUN 1.3.1]");
    EXPECT_EQ(zCore.LogText.rfind("INF\tPath\t", 0), 0u);

    std::vector<std::string> expected = {"[ZUN 1.3.1]", "OK\tDirectX8 created", "INF\tRegistered class\tzValues"};
    for (const char* name : kSceneClasses) expected.push_back(std::string("INF\tRegistered class\t") + name);
    for (const char* line : {"INF\tscript engine started", "OK\tZUN_Initialize", "OK\tDevice_Initialize",
                             "OK\tDevice_InitWindowed", "OK\tDInput_Initialize", "OK\tDSound_Initialize",
                             "OK\tDMusic_Initialize", "OK\tWindow_Initialize"})
        expected.push_back(line);
    int last = -1;
    for (const auto& line : expected) {
        int at = Line(line);
        EXPECT_GT(at, last) << line;
        last = at;
    }
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(log.Contains("ERR"));

    EXPECT_EQ(zCore.Classes.size(), 8u);
    EXPECT_EQ(zDDraw.ScreenW, kOffscreenWidth);
    EXPECT_EQ(zDDraw.ScreenH, kOffscreenHeight);

    ZUN_Release();
    EXPECT_TRUE(Released());
}

TEST_F(StartUp, TheWindowGivesTheSurfaceSizeAndItsHandle) {
    std::string error;
    auto window = Window::Create("start-up", 320, 200, &error);
    ASSERT_TRUE(window) << error;
    ZUN_Initialize();
    ASSERT_TRUE(Window_Initialize(window.get(), 0, false));
    EXPECT_EQ(zDDraw.ScreenW, 320);
    EXPECT_EQ(zDDraw.ScreenH, 200);
    EXPECT_EQ(zDDraw.PresentParams.hDeviceWindow, window.get());
    EXPECT_EQ(zDInput.hWnd, window->Handle());
    ZUN_Release();
}

TEST_F(StartUp, MissingSoundOrMidiIsToldAndStartUpGoesOn) {
    const std::string midiBox =
        "Create DMusic device\tDirectX: MIDI device not available!\\r\\n()\\r\\n\\r\\nMusic playback (MIDI) is disabled.";
    synthFails = true;
    ZUN_Initialize();
    EXPECT_TRUE(Window_Initialize(nullptr, 0, false));
    EXPECT_EQ(Boxes(), std::vector<std::string>{midiBox});
    EXPECT_TRUE(zDSound.Enabled);
    EXPECT_FALSE(zDMusic.Enabled);
    EXPECT_TRUE(AudioDevice::IsOpen());  // MIDI gave its hold back, waves keep theirs
    ZUN_Release();
    EXPECT_TRUE(Released());

    log.Clear();
    AudioDevice::UseOffline(0);  // no audio output at all
    ZUN_Initialize();
    EXPECT_TRUE(Window_Initialize(nullptr, 0, false));
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "Create DSound device\tDirectX: Audio device not available!\\r\\n()\\r\\n\\r\\n"
                        "Sound playback is disabled.");
    EXPECT_EQ(boxes[1], midiBox);
    EXPECT_GT(Line("OK\tWindow_Initialize"), Line("INF\tMsgBox\t" + midiBox));
    EXPECT_TRUE(zCore.Initialized);
    EXPECT_TRUE(zDDraw.Device);
    EXPECT_EQ(LoadWave("x.wav", false), 0);  // sound calls answer "nothing" instead of failing
}

TEST_F(StartUp, MissingDrawingOrInputEndsTheStartUpReleased) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        bool initialize;
        std::string box;
    };
    const char* tail = "\\r\\n()\\r\\n\\r\\nThe application will now exit.";
    const Case cases[] = {
        {"no root object", [] {}, false, std::string("Create DirectX objects\tDirectX: DirectX 8 not available!") + tail},
        {"no video", [this] { backendFails = true; }, true,
         std::string("Create D3D device\tDirectX: Video device not available!") + tail},
        {"no input", [] { zDInput.NoInputSystem = true; }, true,
         std::string("Create Input devices\tDirectX: Input not available!") + tail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.Clear();
        backendFails = false;
        zDInput.NoInputSystem = false;
        c.arrange();
        if (c.initialize) ZUN_Initialize();
        EXPECT_FALSE(Window_Initialize(nullptr, 0, false));
        EXPECT_EQ(Boxes(), std::vector<std::string>{c.box});
        // Nothing after the failing device was started, and what came before
        // it (the drawing device, when input fails) is released again.
        EXPECT_EQ(Line("OK\tWindow_Initialize"), -1);
        EXPECT_EQ(Line("OK\tDSound_Initialize"), -1);
        EXPECT_TRUE(Released());
    }
}

TEST_F(StartUp, AFailingHookIsLoggedAndSkipped) {
    gFrameworkHooks.RegisterSceneClasses = [] {
        RegisterClass(std::make_shared<NamedChunk>("zCamera"));
        throw std::runtime_error("scene classes broken");
    };
    ZUN_Initialize();
    EXPECT_TRUE(zCore.Initialized);
    int err = Line("ERR\tZUN_Initialize\tscene classes broken");
    EXPECT_GT(err, Line("INF\tRegistered class\tzCamera"));
    EXPECT_GT(Line("INF\tscript engine started"), err);
    EXPECT_GT(Line("OK\tZUN_Initialize"), err);
    EXPECT_EQ(zCore.Classes.size(), 2u);

    // Empty slots are skipped; a second start builds the registry afresh.
    gFrameworkHooks = FrameworkHooks{};
    ZUN_Initialize();
    ASSERT_EQ(zCore.Classes.size(), 1u);
    EXPECT_EQ(zCore.Classes[0]->ClassName(), "zValues");
    EXPECT_FALSE(log.Contains("Class already registered"));
}

TEST_F(StartUp, ReleaseBeforeStartOrTwiceDoesNothing) {
    // A device that nobody started through the framework is not the
    // framework's to release.
    zDDraw.Device = std::make_unique<RecordingBackend>();
    ZUN_Release();
    EXPECT_TRUE(zDDraw.Device);
    EXPECT_EQ(zCore.CurrentProc, "ZUN_Release");
    EXPECT_TRUE(log.Lines().empty());
    zDDraw.Device.reset();

    ZUN_Initialize();
    ASSERT_TRUE(Window_Initialize(nullptr, 0, false));
    ZUN_Release();
    EXPECT_TRUE(Released());
    const size_t lines = log.Lines().size();
    ZUN_Release();
    EXPECT_TRUE(Released());
    EXPECT_EQ(log.Lines().size(), lines);
}

}  // namespace
}  // namespace zun
