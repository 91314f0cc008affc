// The set-up of the settings, dialog, console and log-hook tests: a device on
// the recording backend (640 x 480), a fresh game module with an empty
// settings store, fresh dialog and console, the sound devices' master volumes
// at known values, an empty log and no queued dialog answers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/zCore.h"
#include "core/zValues.h"
#include "devices/DeviceTestSupport.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "game/shell/frmLog.h"
#include "game/shell/frmSettings.h"
#include "game/world/gCharTest.h"
#include "platform/Dialogs.h"

namespace tarv::test {

using namespace zun;

class SettingsTest : public zun::test::RecordingDevice {
protected:
    void SetUp() override {
        RecordingDevice::SetUp();
        Reset();
        gCharTest.Settings = std::make_shared<zValues>();
    }
    void TearDown() override {
        Reset();
        RecordingDevice::TearDown();
    }

    static void Reset() {
        gCharTest = gCharTestModule{};
        frmSettings = frmSettingsForm{};
        frmLog = frmLogForm{};
        gCoreHooks.OnLogEntry = nullptr;
        zCore.LogText.clear();
        zCore.DecimalSeparator = ".";
        ClearDialogAnswers();
        zDSound.Volume = 0.5f;
        zDShow.Volume = 0.5f;
        zDMusic.Volume = 0.5f;
    }

    static zValues& Settings() { return *gCharTest.Settings; }

    // A font whose every glyph is 8 pixels wide.
    int32_t MakeFont() {
        FontEntry f;
        f.Name = "arial";
        f.Texture = AddTexture(256, 256, "arial.png");
        f.Width.fill(8);
        f.Width[0] = f.Width[9] = f.Width[10] = 0;
        zFont.Fonts.resize(size_t(zFont.FontCount) + 1);
        zFont.Fonts.push_back(f);
        zFont.FontCount += 1;
        return zFont.FontCount;
    }

    // How often a fragment appears in the log.
    static int Count(const std::string& fragment) {
        int n = 0;
        for (size_t p = zCore.LogText.find(fragment); p != std::string::npos;
             p = zCore.LogText.find(fragment, p + fragment.size()))
            ++n;
        return n;
    }
    static bool Logged(const std::string& fragment) { return Count(fragment) > 0; }
};

}  // namespace tarv::test
