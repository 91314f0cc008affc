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
constexpr float kTextInset = 4, kTopInset = 2;

// The log as the clipboard wants it: one line end, the platform's.
std::string WithPlainLineEnds(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != '\r') out += c;
    return out;
}

}  // namespace

int32_t frmLogForm::FontHandle() const { return Font ? Font : gCharTest.FontArial; }

void frmLogForm::Show() {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
    visible_ = true;
    Focused = true;
    Window.Open(Form.Caption, int32_t(Form.Width), int32_t(Form.Height), true, 1);
    Window.SetMinimumSize(160, int32_t(kInputHeight + 4 * kLineHeight));
}

void frmLogForm::Unload() {
    loaded_ = false;
    visible_ = false;
    Focused = false;
    Form.Controls.clear();
    lineStarts_.clear();
    ScrollBack = 0;
    marking_ = false;
    Window.Close();
}

void frmLogForm::Form_Load() {
    Form = gForm{};
    Form.Caption = "Console";
    Form.Add("TextBox", "txtLog", -1, "");
    gFormControl& in = Form.Add("TextBox", "txtInput", -1, "");
    in.Height = kInputHeight;
    Form.Width = kConsoleW;
    Form.Height = kConsoleH;
    Form_Resize();
    ShowLog();
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
    log->SelLength = 0;
    marking_ = false;
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

int32_t frmLogForm::FirstShownLine() const { return std::max(0, LineCount() - VisibleLines() - ScrollBack); }

bool frmLogForm::HandleEvent(const WindowEvent& e) {
    if (!Visible() || e.WindowId == 0 || e.WindowId != Window.Id()) return false;
    switch (e.Type) {
    case WindowEventType::Close: Unload(); break;
    case WindowEventType::Activated: Focused = true; break;
    case WindowEventType::Deactivated: Focused = false; break;
    case WindowEventType::Resized:
        if (e.Width < 1 || e.Height < 1) break;
        Window.Resized(e.Width, e.Height);
        Form.Width = float(Window.Width());
        Form.Height = float(Window.Height());
        Form_Resize();
        break;
    case WindowEventType::KeyDown: KeyDown(e.Key, e.Shift); break;
    case WindowEventType::TextInput: TypeText(e.Text); break;
    case WindowEventType::MouseDown: MouseDown(e.Button, float(e.X), float(e.Y)); break;
    case WindowEventType::MouseMove: MouseMove(e.Button, float(e.X), float(e.Y)); break;
    case WindowEventType::MouseUp: MouseUp(e.Button, float(e.X), float(e.Y)); break;
    case WindowEventType::MouseWheel: MouseWheel(e.Wheel, 0, 0); break;
    default: break;
    }
    return true;
}

bool frmLogForm::KeyDown(int32_t iKey, int32_t iShift) {
    if (!Visible() || !Focused) return false;
    Form_KeyDown(int16_t(iKey), int16_t(iShift));
    if (!loaded_) return true;
    auto in = txtInput();
    auto log = txtLog();
    if (!in || !log) return true;
    const bool ctrl = (iShift & 2) != 0;
    const int32_t page = std::max(1, VisibleLines() - 1);
    const int32_t most = std::max(0, LineCount() - VisibleLines());
    switch (iKey) {
    case 13: txtInput_KeyPress(13); break;
    case 8:
        if (!in->Text.empty()) in->SetText(in->Text.substr(0, in->Text.size() - 1));
        break;
    case 33: ScrollBack = std::min(most, ScrollBack + page); break;
    case 34: ScrollBack = std::max(0, ScrollBack - page); break;
    case 'A':
        if (ctrl) {
            log->SelStart = 0;
            log->SelLength = int32_t(log->Text.size());
        }
        break;
    case 'C':
        if (ctrl) CopySelection();
        break;
    default: break;
    }
    return true;
}

void frmLogForm::TypeText(const std::string& iText) {
    auto in = txtInput();
    if (!Visible() || !in) return;
    std::string text = in->Text;
    for (char c : iText)
        if (static_cast<unsigned char>(c) >= 32 && text.size() < kMaxInput) text += c;
    in->SetText(text);
}

int32_t frmLogForm::TextIndexAt(float iX, float iY) const {
    const auto log = txtLog();
    if (!log || LineCount() == 0) return 0;
    const int32_t row = int32_t(std::floor((iY - log->Top - kTopInset) / kLineHeight));
    const int32_t line = FirstShownLine() + row;
    if (line < 0) return 0;
    if (line >= LineCount()) return int32_t(log->Text.size());
    const std::string text = Line(line);
    const int32_t font = FontHandle();
    // The nearer edge of the character under the point.
    float x = log->Left + kTextInset;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const float w = mOverlayDraw::TextWidth(font, text.substr(i, 1));
        if (iX < x + w / 2) break;
        x += w;
    }
    return int32_t(lineStarts_[size_t(line)] + i);
}

bool frmLogForm::MouseDown(int32_t iButton, float iX, float iY) {
    if (!Visible()) return false;
    Focused = true;
    const auto log = txtLog();
    if (iButton != 1 || !log || !log->Contains(iX, iY)) return true;
    anchor_ = TextIndexAt(iX, iY);
    log->SelStart = anchor_;
    log->SelLength = 0;
    marking_ = true;
    return true;
}

bool frmLogForm::MouseMove(int32_t /*iButton*/, float iX, float iY) {
    if (!Visible()) return false;
    const auto log = txtLog();
    if (!marking_ || !log) return true;
    const int32_t at = TextIndexAt(iX, iY);
    log->SelStart = std::min(anchor_, at);
    log->SelLength = std::abs(at - anchor_);
    return true;
}

bool frmLogForm::MouseUp(int32_t iButton, float iX, float iY) {
    if (!Visible()) return false;
    MouseMove(iButton, iX, iY);
    marking_ = false;
    return true;
}

bool frmLogForm::MouseWheel(int32_t iSteps, float /*iX*/, float /*iY*/) {
    if (!Visible()) return false;
    const int32_t most = std::max(0, LineCount() - VisibleLines());
    ScrollBack = std::clamp(ScrollBack + std::clamp(iSteps, -100, 100) * 3, 0, most);
    return true;
}

void frmLogForm::CopySelection() {
    const auto log = txtLog();
    if (!log || log->SelLength <= 0) return;
    const size_t from = std::min(size_t(std::max(0, log->SelStart)), log->Text.size());
    SetClipboardText(WithPlainLineEnds(log->Text.substr(from, size_t(log->SelLength))));
}

void frmLogForm::Render() {
    const auto log = txtLog();
    const auto in = txtInput();
    if (!Visible() || !log || !in || !Window.BeginDraw(ColorFromComponents(0, 0, 0, 1))) return;
    mOverlayDraw::Begin();
    const int32_t font = FontHandle();
    mOverlayDraw::Fill(log->Left, log->Top, log->Width, log->Height, ColorFromComponents(0.04f, 0.04f, 0.06f, 1));
    mOverlayDraw::Fill(in->Left, in->Top, in->Width, in->Height, ColorFromComponents(0.1f, 0.1f, 0.15f, 1));

    const int64_t selFrom = log->SelStart, selTo = int64_t(log->SelStart) + log->SelLength;
    const int32_t n = VisibleLines();
    const int32_t first = FirstShownLine();
    const float textX = log->Left + kTextInset;
    for (int32_t i = 0; i < n && first + i < LineCount(); ++i) {
        const std::string line = Line(first + i);
        const float y = log->Top + kTopInset + float(i) * kLineHeight;
        const int64_t start = int64_t(lineStarts_[size_t(first + i)]);
        const int64_t end = start + int64_t(line.size());
        const int64_t a = std::clamp(selFrom, start, end);
        // A marked line end shows as a little room after the line.
        const int64_t b = std::clamp(selTo, start, end + 1);
        if (selFrom <= end && selTo > start && b > a) {
            const float x1 = textX + mOverlayDraw::TextWidth(font, line.substr(0, size_t(a - start)));
            const float x2 = b > start + int64_t(line.size())
                                 ? textX + mOverlayDraw::TextWidth(font, line) + 6
                                 : textX + mOverlayDraw::TextWidth(font, line.substr(0, size_t(b - start)));
            mOverlayDraw::Fill(x1, y, std::min(x2, log->Width) - x1, kLineHeight, kConsoleMarked);
        }
        const bool error = line.rfind("ERR", 0) == 0 || line.rfind("Error", 0) == 0;
        mOverlayDraw::Text(font, textX, y, line,
                           error ? ColorFromComponents(1, 0.45f, 0.4f, 1) : ColorFromComponents(0.85f, 0.85f, 0.85f, 1),
                           log->Width - 2 * kTextInset);
    }
    std::string shown = "> " + in->Text + (Focused ? "_" : "");
    // The end of a long input stays in view.
    const float room = in->Width - 2 * kTextInset;
    while (shown.size() > 3 && mOverlayDraw::TextWidth(font, shown) > room) shown.erase(2, 1);
    mOverlayDraw::Text(font, in->Left + kTextInset, in->Top + 2, shown, ColorFromComponents(1, 1, 1, 1));
    Window.EndDraw();
}

}  // namespace tarv
