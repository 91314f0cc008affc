// The main window's tests start the program as it starts itself: a program
// folder made for the test with a "scripts\Game.dat" compiled from source
// text, drawing on the recording backend, sound on an offline mixer, message
// boxes answered headless, the frame limiter on a clock the test sets. Scripts
// may call "record" (each call's arguments joined by ","); the shell's other
// modules are stand-ins that note their calls in the same list.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/startup/zFramework.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "devices/zFont.h"
#include "devices/zMusicSetup.h"
#include "game/effects/gEffects.h"
#include "game/effects/gWeather.h"
#include "game/shell/frmMain.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/mClock.h"
#include "game/world/mTimeline.h"
#include "platform/AudioDevice.h"
#include "platform/Dialogs.h"
#include "platform/MidiSynth.h"
#include "platform/RecordingBackend.h"
#include "scene/zItem.h"
#include "scene/zSceneHooks.h"
#include "scene/zSprite.h"
#include "script/zScript.h"
#include "script/zScriptObject.h"
#include "support/TestSupport.h"
#include "tools/zsc/zscCompiler.h"

namespace tarv::test {

using namespace zun;

// A synthesizer that plays silence, so that MIDI starts without a sound font.
class SilentSynth : public MidiSynth {
public:
    void Send(uint8_t, uint8_t, uint8_t) override {}
    void Render(float* out, int32_t frames) override {
        for (int32_t i = 0; i < frames * 2; ++i) out[i] = 0;
    }
};

class MainFormTest : public ::testing::Test {
protected:
    zun::test::TempDir dir;
    zun::test::LogCapture log;
    // Script "record" calls and the stand-ins' calls, in order.
    std::vector<std::string> calls;
    int32_t now = 100000;  // the limiter's and the frame rate's clock
    RecordingBackend* rec = nullptr;

    void SetUp() override {
        SetApplicationFolder(dir.Host());
        ::mkdir(dir.HostPath("scripts").c_str(), 0755);
        zCore.LogText.clear();
        zCore.Classes.clear();
        zDDraw = zDDrawModule{};
        zDInput = zDInputModule{};
        zFont = zFontModule{};
        zDDraw.AdapterInfo.DesktopMode = {1024, 768, 60, 22};
        zDDraw.BackendFactory = [this](const GlBackendConfig& c) -> std::unique_ptr<RenderBackend> {
            auto b = std::make_unique<RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
            rec = b.get();
            return b;
        };
        zDDraw.TickSource = [this] { return now; };
        AudioDevice::UseOffline(44100);
        zDMusic.CreateSynth = [](int32_t, std::string&) -> std::unique_ptr<MidiSynth> {
            return std::make_unique<SilentSynth>();
        };
        ClearDialogAnswers();
        ResetGame();
        mClock.Source = [] { return 43200.5; };
        gScriptHooks = ScriptHooks{};
        gScriptHooks.CallGameFunction = [this](zScriptObject*, zScriptArray*, const std::string& name,
                                               zScriptArgs& args) -> ValueRef {
            if (name != "record") return nullptr;
            std::string line;
            for (int32_t i = 1; i <= args.Count(); ++i) {
                if (i > 1) line += ",";
                line += args.At(i) ? args.At(i)->GetString() : "";
            }
            calls.push_back(line);
            return zScriptValue::New();
        };
        gShellParts.ExecuteParams = [this](const std::string& p) {
            calls.push_back("ExecuteParams:" + p);
            return compileResult;
        };
        gShellParts.SetDefaultSettings = [this] {
            calls.push_back("SetDefaultSettings");
            gCharTest.Settings->SetByte("ParticleSystem", 1);
        };
        gShellParts.ApplySettings = [this] { calls.push_back("ApplySettings"); };
        gShellParts.RenderGamePre = [this] { calls.push_back("RenderGamePre"); };
        gShellParts.RenderGame = [this] { calls.push_back("RenderGame"); };
        frmMain.TickSource = [this] { return now; };
    }

    void TearDown() override {
        if (!frmMain.Closed) ZUN_Release();
        ResetGame();
        gScriptHooks = ScriptHooks{};
        gFrameworkHooks = FrameworkHooks{};
        gSceneHooks = SceneHooks{};
        zScript.Classes.clear();
        mClock.Source = nullptr;
        zDMusic.CreateSynth = nullptr;
        zDDraw = zDDrawModule{};
        zDInput = zDInputModule{};
        zFont = zFontModule{};
        ClearDialogAnswers();
        AudioDevice::UseHardware();
        SetApplicationFolder("");
        zCore.Classes.clear();
        zCore.FrameCounter = 0;
    }

    static void ResetGame() {
        frmMain = frmMainForm{};
        gShellParts = ShellParts{};
        gCharTest = gCharTestModule{};
        gEffects = EffectsState{};
        gWeather = gWeatherModule{};
        mTimeline = mTimelineModule{};
        zMusicSetup = zMusicSetupState{};
    }

    bool compileResult = true;

    // Compiles the source into the program folder's "scripts\Game.dat".
    void WriteGame(const std::string& source) {
        auto r = zsc::CompileText(source, "Game.zs");
        ASSERT_TRUE(r.Ok) << r.Diag.FormatAll();
        ASSERT_EQ(zsc::WriteScriptFile(r.Classes, dir.HostPath("scripts/Game.dat"), false), "");
    }

    // The whole start-up with that game script; the calls it made are cleared.
    void Start(const std::string& source, const std::string& commandLine = "") {
        WriteGame(source);
        ASSERT_TRUE(frmMain.Form_Load(commandLine));
        ASSERT_TRUE(frmMain.Running);
        calls.clear();
    }

    // A frame the limiter lets through.
    void Frame() {
        now += 33;
        frmMain.tmrMain_Timer();
    }

    static std::shared_ptr<zScriptObject> Object(const std::string& cls) {
        auto o = zScriptObject::New();
        EXPECT_TRUE(o->SetClass(cls));
        return o;
    }

    // A character at (x, y) whose 24 x 32 sprite hangs from its feet, with a
    // script object of that class (none for an empty class name).
    static std::shared_ptr<gChar> Char(float x, float y, const std::string& cls) {
        auto c = std::make_shared<gChar>();
        c->Item = std::make_shared<zItem>();
        c->Sprite = std::make_shared<zSprite>();
        auto set = std::make_shared<gCharset>();
        set->W = 24;
        set->H = 32;
        set->FramesX = 1;
        set->FramesY = 1;
        set->OffsetX = 12;
        set->OffsetY = 32;
        c->SetCharSet(set);
        c->Sprite->SetPosition(x, y);
        if (!cls.empty()) c->Item->ScriptObject = Object(cls);
        return c;
    }

    void Set(const std::string& key, uint8_t v) { gCharTest.Settings->SetByte(key, v); }

    bool Logged(const std::string& fragment) const { return log.Contains(fragment); }
};

}  // namespace tarv::test
