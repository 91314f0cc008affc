// The settings dialog: loading, applying, presets, the quality note, the
// link, and driving it by keys and mouse as the main window hands them on.
#include "SettingsTestSupport.h"
#include "devices/test_sound_fixtures.h"
#include "game/shell/frmMain.h"

namespace tarv::test {

class SettingsDialog : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        gCharTest.SetDefaultSettings();
    }
    std::shared_ptr<gFormControl> Ctl(const std::string& name, int32_t index = -1) {
        auto c = frmSettings.Form.Find(name, index);
        EXPECT_TRUE(c) << name;
        return c;
    }
    std::shared_ptr<gFormControl> Check(const std::string& key) {
        for (const auto& c : frmSettings.Form.Controls)
            if (c->Tag == "byte:" + key) return c;
        ADD_FAILURE() << key;
        return nullptr;
    }
    // Window position of a control's middle.
    std::pair<float, float> Middle(const gFormControl& c) { return {c.Left + c.Width / 2, c.Top + c.Height / 2}; }
    void ClickOn(const gFormControl& c) {
        auto [x, y] = Middle(c);
        EXPECT_TRUE(frmSettings.MouseDown(1, x, y));
        EXPECT_TRUE(frmSettings.MouseUp(1, x, y));
    }
};

TEST_F(SettingsDialog, LoadShowsTheStoreAndTicksAutoApply) {
    Settings().SetByte("Mirrors", 0);
    frmSettings.Show();
    ASSERT_TRUE(frmSettings.Visible());
    EXPECT_EQ(frmSettings.Form.Caption, "Demo Settings");
    int boxes = 0;
    for (const auto& c : frmSettings.Form.Controls)
        if (c->Name == "chkValues") ++boxes;
    EXPECT_EQ(boxes, 14);
    EXPECT_EQ(Check("Mirrors")->Value, 0);
    EXPECT_EQ(Check("Lighting")->Value, 1);
    EXPECT_EQ(Ctl("scrValues", 0)->Tag, "sng:SoundVolume");
    EXPECT_EQ(Ctl("scrValues", 0)->Value, 100);
    EXPECT_EQ(Ctl("scrValues", 1)->Value, 60);
    EXPECT_EQ(Ctl("chkAutoApply")->Value, 1);
    EXPECT_FALSE(Ctl("cmdApply")->Enabled);
    EXPECT_FALSE(Ctl("cmdMinimum")->Visible);
    EXPECT_EQ(Ctl("cmdCancel")->Caption, "Close");
    // Loading applied nothing.
    EXPECT_EQ(zDSound.Volume, 0.5f);
}

TEST_F(SettingsDialog, AutoApplyAppliesEveryChangeAndApplyWaitsWithoutIt) {
    frmSettings.Show();
    Ctl("scrValues", 0)->SetValue(0);
    EXPECT_EQ(zDSound.Volume, 0.0f);
    EXPECT_EQ(Settings().GetSingle("SoundVolume"), 0.0f);

    Ctl("chkAutoApply")->UserClick();
    EXPECT_EQ(Ctl("chkAutoApply")->Value, 0);
    EXPECT_TRUE(Ctl("cmdApply")->Enabled);
    Check("Shadows")->UserClick();
    EXPECT_EQ(Settings().GetByte("Shadows"), 1);  // not yet taken over
    Ctl("scrValues", 1)->SetValue(100);
    EXPECT_NE(zDMusic.Volume, 1.0f);
    Ctl("cmdApply")->UserClick();
    EXPECT_EQ(Settings().GetByte("Shadows"), 0);
    EXPECT_EQ(zDMusic.Volume, 1.0f);
}

TEST_F(SettingsDialog, CloseDropsChangesAndOkTakesThem) {
    frmSettings.Show();
    Ctl("chkAutoApply")->UserClick();
    Check("Lighting")->UserClick();
    Ctl("cmdCancel")->UserClick();
    EXPECT_FALSE(frmSettings.Loaded());
    EXPECT_EQ(Settings().GetByte("Lighting"), 1);

    int focused = 0;
    frmSettings.FocusMain = [&] { ++focused; };
    frmSettings.Show();
    EXPECT_EQ(Ctl("chkAutoApply")->Value, 1);  // ticked every time it opens
    Ctl("chkAutoApply")->UserClick();
    Check("Lighting")->UserClick();
    Ctl("cmdOK")->UserClick();
    EXPECT_FALSE(frmSettings.Loaded());
    EXPECT_EQ(Settings().GetByte("Lighting"), 0);
    EXPECT_EQ(focused, 1);
}

TEST_F(SettingsDialog, PresetsSetTheirEightKeys) {
    frmSettings.Show();
    Ctl("cmdLow")->UserClick();
    EXPECT_EQ(Settings().GetByte("Mirrors"), 0);
    EXPECT_EQ(Settings().GetByte("MirrorObjects"), 1);
    EXPECT_EQ(Settings().GetByte("EnableDeco"), 0);
    EXPECT_EQ(Settings().GetByte("LightsShadows"), 0);
    EXPECT_EQ(Check("Mirrors")->Value, 0);
    EXPECT_EQ(Check("MirrorObjects")->Value, 1);

    Ctl("cmdMedium")->UserClick();
    EXPECT_EQ(Settings().GetByte("Mirrors"), 1);
    EXPECT_EQ(Settings().GetByte("MirrorObjects"), 0);
    EXPECT_EQ(Settings().GetByte("SpriteShadows"), 1);
    EXPECT_EQ(Settings().GetByte("MirrorParticles"), 0);

    Ctl("cmdHigh")->UserClick();
    for (const char* k : kPresetKeys) EXPECT_EQ(Settings().GetByte(k), 1) << k;

    frmSettings.cmdMinimum_Click();
    for (const char* k : kPresetKeys) EXPECT_EQ(Settings().GetByte(k), 0) << k;
    // Keys outside the preset keep what the dialog showed.
    EXPECT_EQ(Settings().GetByte("AmbientShadows"), 1);
}

TEST_F(SettingsDialog, APresetTakesOverWhatTheDialogShowsFirst) {
    frmSettings.Show();
    Ctl("chkAutoApply")->UserClick();
    Check("BaseShadows")->UserClick();  // shown, not applied
    Ctl("scrValues", 0)->SetValue(30);
    Ctl("cmdLow")->UserClick();
    EXPECT_EQ(Settings().GetByte("BaseShadows"), 0);
    EXPECT_EQ(Settings().GetSingle("SoundVolume"), 30.0f);
    // Without auto-apply nothing was applied.
    EXPECT_EQ(zDSound.Volume, 0.5f);
}

TEST_F(SettingsDialog, APresetWithAutoApplyAppliesOnceWithAllItsKeys) {
    Settings().SetSingle("SoundVolume", 100);
    frmSettings.Show();
    Ctl("cmdLow")->UserClick();
    EXPECT_EQ(zDSound.Volume, 1.0f);  // applied
    // The keys later in the dialog than the first changed box survive.
    EXPECT_EQ(Settings().GetByte("Mirrors"), 0);
    EXPECT_EQ(Settings().GetByte("SpriteShadows"), 0);
    EXPECT_EQ(Settings().GetByte("LightsShadows"), 0);

    // A preset that changes no box applies nothing.
    zDSound.Volume = 0.25f;
    Ctl("cmdLow")->UserClick();
    EXPECT_EQ(zDSound.Volume, 0.25f);
}

TEST_F(SettingsDialog, TheQualityNoteComesOncePerRun) {
    const std::string note = "INF\tMsgBox\tQualit\xE4tshinweis\tDie \"High Quality Buffers\" sind f\xFCr";
    frmSettings.Show();
    Check("HighQualityBuffers")->UserClick();  // auto-apply takes it over
    EXPECT_EQ(Settings().GetByte("HighQualityBuffers"), 0);
    Ctl("cmdCancel")->UserClick();
    EXPECT_EQ(Count(note), 1);
    EXPECT_EQ(Settings().GetByte("QualityNote"), 1);
    EXPECT_TRUE(Logged("\"Low Scenery\" noch immer nicht fl\xFCssig l\xE4uft."));

    frmSettings.Show();
    Ctl("cmdOK")->UserClick();
    EXPECT_EQ(Count(note), 1);
}

TEST_F(SettingsDialog, NoNoteWhileTheBuffersAreOn) {
    frmSettings.Show();
    frmSettings.Unload();
    EXPECT_FALSE(Logged("MsgBox"));
    EXPECT_EQ(Settings().GetByte("QualityNote"), 0);
}

TEST_F(SettingsDialog, TheLinkOpensTheDocumentationAndMinimisesTheGame) {
    std::string opened;
    int minimised = 0;
    frmSettings.MinimizeMain = [&] { ++minimised; };
    frmSettings.Show();
    const std::string address = Ctl("lblLink")->Caption;
    EXPECT_EQ(address.rfind("file:///", 0), 0u) << address;
    EXPECT_EQ(address.substr(address.size() - 10), "/README.md");
    // No desktop opener: a warning, and the game stays as it is.
    Ctl("lblLink")->UserClick();
    EXPECT_TRUE(Logged("WARN\tOpenLink\t" + address));
    EXPECT_EQ(minimised, 0);
    frmSettings.OpenLink = [&](const std::string& a) {
        opened = a;
        return true;
    };
    Ctl("lblLink")->Caption = "http://example.org/x";
    Ctl("lblLink")->UserClick();
    EXPECT_EQ(opened, "http://example.org/x");
    EXPECT_EQ(minimised, 1);
}

TEST_F(SettingsDialog, KeysMoveTheFocusAndActOnTheFocusedControl) {
    frmSettings.Show();
    auto first = frmSettings.FocusedControl();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Tag, "byte:HighQualityBuffers");
    EXPECT_TRUE(frmSettings.KeyDown(9, 0));  // Tab
    EXPECT_EQ(frmSettings.FocusedControl()->Tag, "byte:EnableDeco");
    EXPECT_TRUE(frmSettings.KeyDown(32, 0));  // Space ticks off, auto-apply takes it
    EXPECT_EQ(Settings().GetByte("EnableDeco"), 0);
    EXPECT_TRUE(frmSettings.KeyDown(9, 1));  // Shift+Tab
    EXPECT_EQ(frmSettings.FocusedControl(), first);
    EXPECT_TRUE(frmSettings.KeyDown(38, 0));  // up from the first wraps to the last
    EXPECT_EQ(frmSettings.FocusedControl()->Name, "lblLink");

    // The sound bar: Left and Right by one, Page keys by the large step.
    while (frmSettings.FocusedControl()->Name != "scrValues") frmSettings.KeyDown(40, 0);
    EXPECT_TRUE(frmSettings.KeyDown(37, 0));
    EXPECT_EQ(Settings().GetSingle("SoundVolume"), 99.0f);
    EXPECT_TRUE(frmSettings.KeyDown(33, 0));
    EXPECT_EQ(Settings().GetSingle("SoundVolume"), 79.0f);
    EXPECT_TRUE(frmSettings.KeyDown(34, 0));
    EXPECT_TRUE(frmSettings.KeyDown(34, 0));
    EXPECT_EQ(Settings().GetSingle("SoundVolume"), 100.0f);  // held at the end

    // Keys the dialog has no use for go on to the game; Esc closes it.
    EXPECT_FALSE(frmSettings.KeyDown(87, 0));
    EXPECT_FALSE(frmSettings.KeyDown(121, 0));
    EXPECT_TRUE(frmSettings.KeyDown(27, 0));
    EXPECT_FALSE(frmSettings.Loaded());
    EXPECT_FALSE(frmSettings.KeyDown(27, 0));
}

TEST_F(SettingsDialog, MouseTicksDragsAndPresses) {
    frmSettings.Show();
    ClickOn(*Check("Mirrors"));
    EXPECT_EQ(Settings().GetByte("Mirrors"), 0);

    auto bar = Ctl("scrValues", 1);
    const float left = frmSettings.Form.Left + bar->Left, y = frmSettings.Form.Top + bar->Top + 4;
    EXPECT_TRUE(frmSettings.MouseDown(1, left, y));
    EXPECT_EQ(bar->Value, 0);
    EXPECT_TRUE(frmSettings.MouseMove(1, left + bar->Width, y));
    EXPECT_TRUE(frmSettings.MouseUp(1, left + bar->Width, y));
    EXPECT_EQ(bar->Value, 100);
    EXPECT_EQ(zDMusic.Volume, 1.0f);

    // A press that leaves the button before it comes up is no click.
    auto [x, yy] = Middle(*Ctl("cmdCancel"));
    frmSettings.MouseDown(1, x, yy);
    frmSettings.MouseUp(1, x, yy + 100);
    EXPECT_TRUE(frmSettings.Loaded());

    // Another window taking the focus gives the keys back to the game.
    EXPECT_TRUE(frmSettings.HandleEvent({.Type = WindowEventType::Deactivated, .Text = {}, .WindowId = frmSettings.Window.Id()}));
    EXPECT_FALSE(frmSettings.Focused);
    EXPECT_FALSE(frmSettings.KeyDown(27, 0));
    EXPECT_TRUE(frmSettings.Visible());

    ClickOn(*Ctl("cmdCancel"));
    EXPECT_FALSE(frmSettings.Loaded());
}

TEST_F(SettingsDialog, DrawsOverTheFrameWithTheDevice) {
    const int32_t font = MakeFont();
    gCharTest.FontArial = font;
    frmSettings.Show();
    ASSERT_TRUE(zDDraw.BeginScene(ColorFromComponents(0, 0, 0, 1), 0));
    rec->ClearLog();
    frmSettings.Render();
    zDDraw.EndScene(true);
    bool panel = false, text = false;
    for (const auto& d : rec->Draws) {
        if (!d.Textured) panel = true;
        if (d.Textured && d.Texture == zDDraw.Textures[size_t(zFont.Fonts[size_t(font)].Texture)].Texture) text = true;
    }
    EXPECT_TRUE(panel);
    EXPECT_TRUE(text);
    // Without a device nothing is drawn and nothing fails.
    frmSettings.Unload();
    frmSettings.Show();
    zDDraw.Device_Release();
    frmSettings.Render();
}

// A tone playing hears every change of the master volume in the next block
// of the mix: M silences it, the slider moves it by the volume curve's step.
// Whatever is applied while muted (the slider, Apply, OK) keeps the game
// silent, and the next M brings back what was applied, music included.
TEST_F(SettingsDialog, MuteAndSlidersReachASoundPlayingAndWhatIsAppliedWhileMutedComesBackWithM) {
    zun::test::TempDir dir;
    zun::test::WriteHostFile(dir.HostPath("tone.wav"), zun::test::ConstantWav(1, 44100, 16, 441000, 0.5));
    AudioDevice::UseOffline(44100);
    ASSERT_TRUE(DSound_Initialize(0));
    zDSound.SoundPath = dir.Path();
    frmMain = frmMainForm{};
    gCharTest.ApplySettings();
    PlayWaveFile("tone.wav", false, 1.0f, 1.0f, false, 0);
    auto level = [] { return zun::test::RenderMixer(64)[126]; };
    const float full = level();
    const float at20 = full * AttenuationToGain(CLng((1.0 - std::pow(0.2, 0.25)) * -10000.0));  // about -33 dB
    EXPECT_NEAR(full, 0.5f, 1e-3f);
    auto press = [] { frmMain.Form_KeyDown(77, 0); };

    press();
    EXPECT_EQ(level(), 0.0f);
    press();
    EXPECT_NEAR(level(), full, 1e-4f);
    frmSettings.Show();
    Ctl("scrValues", 0)->SetValue(20);
    EXPECT_NEAR(level(), at20, 1e-4f);

    // The slider, Apply and OK, each while muted.
    const std::vector<std::function<void()>> ways = {
        [&] { Ctl("scrValues", 0)->SetValue(20); },
        [&] {
            Ctl("chkAutoApply")->UserClick();
            Ctl("scrValues", 0)->SetValue(20);
            Ctl("cmdApply")->UserClick();
        },
        [&] {
            Ctl("chkAutoApply")->UserClick();
            Ctl("scrValues", 0)->SetValue(20);
            Ctl("cmdOK")->UserClick();
        },
    };
    for (size_t way = 0; way < ways.size(); ++way) {
        SCOPED_TRACE(way);
        frmSettings.Show();
        Ctl("scrValues", 0)->SetValue(100);
        EXPECT_NEAR(level(), full, 1e-4f);
        press();
        ways[way]();
        EXPECT_EQ(level(), 0.0f);
        EXPECT_EQ(zDShow.Volume, 0.0f);
        press();
        EXPECT_NEAR(level(), at20, 1e-4f);
        EXPECT_FLOAT_EQ(zDShow.Volume, float(std::pow(0.6, 0.25)));
        if (frmSettings.Loaded()) Ctl("cmdCancel")->UserClick();
    }
    frmMain = frmMainForm{};
    DSound_Release();
    AudioDevice::UseHardware();
}

}  // namespace tarv::test
