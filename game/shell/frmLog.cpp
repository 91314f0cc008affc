#include "game/shell/frmLog.h"

#include <algorithm>
#include <cmath>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "game/shell/mCommandLine.h"
#include "game/shell/mOverlayDraw.h"
#include "game/world/gCharTest.h"

using namespace zun;

namespace tarv {

frmLogForm frmLog;

namespace {

constexpr float kInputHeight = 20;
constexpr float kLineHeight = 16;
// A typed command longer than this is not a command.
constexpr size_t kMaxInput = 256;

}  // namespace

int32_t frmLogForm::FontHandle() const { return Font ? Font : gCharTest.FontArial; }

void frmLogForm::Show() {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
    visible_ = true;
    Focused = true;
}

void frmLogForm::Unload() {
    loaded_ = false;
    visible_ = false;
    Focused = false;
    Form.Controls.clear();
    lineStarts_.clear();
    ScrollBack = 0;
    laidOutW_ = laidOutH_ = -1;
}

void frmLogForm::Form_Load() {
    Form = gForm{};
    Form.Caption = "Console";
    Form.Add("TextBox", "txtLog", -1, "");
    gFormControl& in = Form.Add("TextBox", "txtInput", -1, "");
    in.Height = kInputHeight;
    Place();
    ShowLog();
}

void frmLogForm::Place() {
    const float w = zDDraw.ScreenW > 0 ? float(zDDraw.ScreenW) : 640.0f;
    const float h = zDDraw.ScreenH > 0 ? float(zDDraw.ScreenH) : 480.0f;
    Form.Left = 0;
    Form.Top = 0;
    Form.Width = w;
    Form.Height = std::max(kInputHeight + 4 * kLineHeight, std::floor(h / 2));
    if (int32_t(Form.Width) != laidOutW_ || int32_t(Form.Height) != laidOutH_) {
        laidOutW_ = int32_t(Form.Width);
        laidOutH_ = int32_t(Form.Height);
        Form_Resize();
    }
}

void frmLogForm::Form_Resize() {
    auto log = txtLog();
    auto in = txtInput();
    if (!log || !in) return;
    // A window too small for its boxes keeps the old layout.
    try {
        const int32_t W = CLng(Form.Width), H = CLng(Form.Height), h = CLng(in->Height);
        if (W < 0 || H - h < 0) return;
        log->Left = 0;
        log->Top = 0;
        log->Width = float(W);
        log->Height = float(H - h);
        in->Left = 0;
        in->Top = float(H - h);
        in->Width = float(W);
        in->Height = float(h);
    } catch (const RuntimeError&) {
    }
}

void frmLogForm::Form_KeyDown(int16_t KeyCode, int16_t /*Shift*/) {
    if (KeyCode == 121 || KeyCode == 27) Unload();
}

void frmLogForm::txtInput_KeyPress(int16_t KeyAscii) {
    if (KeyAscii != 13) return;
    auto in = txtInput();
    if (!in) return;
    RunCommand(in->Text);
    // "exit" and "end" have closed the console.
    if (!loaded_) return;
    ShowLog();
    if (auto again = txtInput()) again->SetText("");
}

void frmLogForm::RunCommand(const std::string& iInput) {
    const std::string typed = TrimBlanks(iInput);
    const std::string cmd = LCase(typed);
    if (cmd == "exit") {
        Unload();
    } else if (cmd == "end") {
        if (UnloadMain) UnloadMain();
        Unload();
    } else if (cmd == "mute") {
        StopAllWaves();
        MusicStop();
        MidiStop();
        Log("OK", "All playback stopped.");
    } else if (cmd == "help") {
        Log("LIST", "exit", "end", "mute", "help");
    } else {
        Log("Error", "Unknown", typed);
    }
}

void frmLogForm::ShowLog() {
    auto log = txtLog();
    if (!log) return;
    const std::string& all = zCore.LogText;
    log->Text = all.size() >= 2 ? all.substr(0, all.size() - 2) : all;
    log->SelStart = int32_t(log->Text.size());
    // The caret at the end brings the newest line into view.
    ScrollBack = 0;
    lineStarts_.clear();
    if (log->Text.empty()) return;
    lineStarts_.push_back(0);
    for (size_t p = log->Text.find("\r\n"); p != std::string::npos; p = log->Text.find("\r\n", p + 2))
        lineStarts_.push_back(p + 2);
}

std::string frmLogForm::Line(int32_t iIndex) const {
    auto log = txtLog();
    if (!log || iIndex < 0 || iIndex >= LineCount()) return "";
    const size_t start = lineStarts_[size_t(iIndex)];
    const size_t end = size_t(iIndex) + 1 < lineStarts_.size() ? lineStarts_[size_t(iIndex) + 1] - 2 : log->Text.size();
    return log->Text.substr(start, end - start);
}

int32_t frmLogForm::VisibleLines() const {
    const auto log = txtLog();
    if (!log) return 0;
    return std::max(1, int32_t((log->Height - 4) / kLineHeight));
}

bool frmLogForm::KeyDown(int32_t iKey, int32_t iShift) {
    if (!Visible() || !Focused) return false;
    Form_KeyDown(int16_t(iKey), int16_t(iShift));
    if (!loaded_) return true;
    auto in = txtInput();
    if (!in) return true;
    const int32_t page = std::max(1, VisibleLines() - 1);
    const int32_t most = std::max(0, LineCount() - VisibleLines());
    switch (iKey) {
    case 13: txtInput_KeyPress(13); break;
    case 8:
        if (!in->Text.empty()) in->SetText(in->Text.substr(0, in->Text.size() - 1));
        break;
    case 33: ScrollBack = std::min(most, ScrollBack + page); break;
    case 34: ScrollBack = std::max(0, ScrollBack - page); break;
    default:
        if (char c = mOverlayDraw::KeyChar(iKey, iShift); c && in->Text.size() < kMaxInput) in->SetText(in->Text + c);
        break;
    }
    return true;
}

bool frmLogForm::MouseDown(int32_t /*iButton*/, float iX, float iY) {
    if (!Visible()) return false;
    const bool inside =
        iX >= Form.Left && iX < Form.Left + Form.Width && iY >= Form.Top && iY < Form.Top + Form.Height;
    Focused = inside;
    return inside;
}

bool frmLogForm::MouseWheel(int32_t iSteps, float iX, float iY) {
    if (!Visible()) return false;
    if (!(iX >= Form.Left && iX < Form.Left + Form.Width && iY >= Form.Top && iY < Form.Top + Form.Height))
        return false;
    const int32_t most = std::max(0, LineCount() - VisibleLines());
    ScrollBack = std::clamp(ScrollBack + std::clamp(iSteps, -100, 100) * 3, 0, most);
    return true;
}

void frmLogForm::Render() {
    if (!Visible()) return;
    Place();
    if (!mOverlayDraw::Begin()) return;
    const auto log = txtLog();
    const auto in = txtInput();
    if (!log || !in) return;
    const int32_t font = FontHandle();
    const float x0 = Form.Left, y0 = Form.Top;
    mOverlayDraw::Fill(x0 + log->Left, y0 + log->Top, log->Width, log->Height, ColorFromComponents(0, 0, 0, 0.8f));
    mOverlayDraw::Fill(x0 + in->Left, y0 + in->Top, in->Width, in->Height,
                       ColorFromComponents(0.1f, 0.1f, 0.15f, 0.9f));
    mOverlayDraw::Outline(x0, y0, Form.Width, Form.Height,
                          Focused ? ColorFromComponents(0.6f, 0.6f, 0.8f, 1) : ColorFromComponents(0.3f, 0.3f, 0.3f, 1));

    const int32_t n = VisibleLines();
    const int32_t first = std::max(0, LineCount() - n - ScrollBack);
    for (int32_t i = 0; i < n && first + i < LineCount(); ++i) {
        const std::string line = Line(first + i);
        const bool error = line.rfind("ERR", 0) == 0 || line.rfind("Error", 0) == 0;
        mOverlayDraw::Text(font, x0 + log->Left + 4, y0 + log->Top + 2 + float(i) * kLineHeight, line,
                           error ? ColorFromComponents(1, 0.45f, 0.4f, 1) : ColorFromComponents(0.85f, 0.85f, 0.85f, 1),
                           log->Width - 8);
    }
    const std::string caption = Form.Caption;
    const float capW = mOverlayDraw::TextWidth(font, caption);
    mOverlayDraw::Text(font, x0 + in->Left + in->Width - capW - 6, y0 + in->Top + 2, caption,
                       ColorFromComponents(0.5f, 0.5f, 0.6f, 1));
    std::string shown = "> " + in->Text + (Focused ? "_" : "");
    // The end of a long input stays in view.
    const float room = in->Width - capW - 20;
    while (shown.size() > 3 && mOverlayDraw::TextWidth(font, shown) > room) shown.erase(2, 1);
    mOverlayDraw::Text(font, x0 + in->Left + 4, y0 + in->Top + 2, shown, ColorFromComponents(1, 1, 1, 1));
}

}  // namespace tarv
