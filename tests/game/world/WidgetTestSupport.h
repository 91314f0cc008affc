// The set-up of the text widget, timeline and gesture tests: the character
// test fixture (recording device, fresh world module and script engine, the
// "record" script function) with a pinned clock and bitmap fonts made by code.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "CharTestSupport.h"
#include "devices/zFont.h"
#include "game/world/mClock.h"

namespace tarv::test {

class WidgetTest : public CharTest {
protected:
    double now = 0;  // the time of day the effects see
    size_t logStart = 0;

    void SetUp() override {
        CharTest::SetUp();
        mClock.Source = [this] { return now; };
        zCore.FrameCounter = 0;
        logStart = zCore.LogText.size();
    }
    // What this test has logged so far.
    std::string Logged() const { return zCore.LogText.substr(logStart); }
    void TearDown() override {
        mClock.Source = nullptr;
        zCore.FrameCounter = 0;
        CharTest::TearDown();
    }

    // A font whose every printable glyph is `width` wide, with that baseline.
    int32_t MakeFont(const std::string& name, uint8_t width, uint8_t baseline = 12) {
        FontEntry f;
        f.Name = name;
        f.Texture = AddTexture(256, 256, name + ".png");
        f.Width.fill(width);
        f.Width[0] = f.Width[9] = f.Width[10] = 0;
        f.Extra = baseline;
        zFont.Fonts.resize(size_t(zFont.FontCount) + 1);
        zFont.Fonts.push_back(f);
        zFont.FontCount += 1;
        return zFont.FontCount;
    }
};

}  // namespace tarv::test
