#include "game/shell/frmInputBox.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/shell/mOverlayDraw.h"
#include "game/world/gCharTest.h"
#include "platform/StopSignals.h"

using namespace zun;

namespace tarv {

namespace {

constexpr float kBoxW = 380, kMargin = 12, kLineH = 16, kFieldH = 22, kButtonW = 80, kButtonH = 24;
// A prompt longer than this many lines is cut; the box must fit a screen.
constexpr size_t kMaxPromptLines = 12;
// The game's texts are short; a field is not a file.
constexpr size_t kMaxText = 1024;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\r' || text[i] == '\n') {
            if (lines.size() == kMaxPromptLines) break;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

int32_t Grey(float v) { return ColorFromComponents(v, v, v, 1); }

}  // namespace

int32_t frmInputBoxForm::FontHandle() const { return Font ? Font : gCharTest.FontArial; }

void frmInputBoxForm::Show(const std::string& iPrompt, const std::string& iTitle, const std::string& iDefault) {
    Form = gForm{};
    Form.Caption = iTitle;
    answered_ = false;
    answer_.clear();
    pressed_.reset();
    promptLines_ = SplitLines(iPrompt);
    const float fieldTop = kMargin + float(promptLines_.size()) * kLineH + 8;
    const float buttonTop = fieldTop + kFieldH + kMargin;
    Form.Width = kBoxW;
    Form.Height = buttonTop + kButtonH + kMargin;
    auto place = [](gFormControl& c, float x, float y, float w, float h) {
        c.Left = x;
        c.Top = y;
        c.Width = w;
        c.Height = h;
    };
    gFormControl& field = Form.Add("TextBox", "txtValue", -1, "");
    place(field, kMargin, fieldTop, kBoxW - 2 * kMargin, kFieldH);
    field.Text = iDefault.substr(0, kMaxText);
    field.SelStart = int32_t(field.Text.size());
    scroll_ = 0;
    gFormControl& ok = Form.Add("CommandButton", "cmdOK", -1, "OK");
    place(ok, kBoxW - 2 * (kButtonW + kMargin), buttonTop, kButtonW, kButtonH);
    ok.Click = [this](gFormControl&) { cmdOK_Click(); };
    gFormControl& cancel = Form.Add("CommandButton", "cmdCancel", -1, "Cancel");
    place(cancel, kBoxW - kButtonW - kMargin, buttonTop, kButtonW, kButtonH);
    cancel.Click = [this](gFormControl&) { cmdCancel_Click(); };
    Window.Close();
    Window.Open(iTitle, int32_t(Form.Width), int32_t(Form.Height), false, 0);
}

void frmInputBoxForm::Finish(bool iOk) {
    if (answered_) return;
    answered_ = true;
    const auto field = txtValue();
    answer_ = iOk && field ? field->Text : std::string();
    Window.Close();
}

void frmInputBoxForm::cmdOK_Click() { Finish(true); }
void frmInputBoxForm::cmdCancel_Click() { Finish(false); }

bool frmInputBoxForm::HandleEvent(const WindowEvent& e) {
    if (!Visible() || e.WindowId == 0 || e.WindowId != Window.Id()) return false;
    switch (e.Type) {
    case WindowEventType::Close: cmdCancel_Click(); break;
    case WindowEventType::KeyDown: KeyDown(e.Key, e.Shift); break;
    case WindowEventType::TextInput: TypeText(e.Text); break;
    case WindowEventType::MouseDown: MouseDown(e.Button, float(e.X), float(e.Y)); break;
    case WindowEventType::MouseUp: MouseUp(e.Button, float(e.X), float(e.Y)); break;
    default: break;
    }
    return true;
}

void frmInputBoxForm::KeyDown(int32_t iKey, int32_t iShift) {
    const auto field = txtValue();
    if (!Visible() || !field) return;
    const int32_t size = int32_t(field->Text.size());
    const int32_t caret = std::clamp(field->SelStart, 0, size);
    std::string text = field->Text;
    switch (iKey) {
    case 13: cmdOK_Click(); return;
    case 27: cmdCancel_Click(); return;
    case 8:  // Backspace
        if (caret == 0) return;
        text.erase(size_t(caret - 1), 1);
        field->SetText(text);
        field->SelStart = caret - 1;
        return;
    case 46:  // Delete
        if (caret < size) field->SetText(text.erase(size_t(caret), 1));
        field->SelStart = caret;
        return;
    case 37: field->SelStart = std::max(caret - 1, 0); return;     // Left
    case 39: field->SelStart = std::min(caret + 1, size); return;  // Right
    case 36: field->SelStart = 0; return;                          // Home
    case 35: field->SelStart = size; return;                       // End
    case 86:  // Ctrl+V
        if (iShift & 2) Insert(ClipboardText());
        return;
    case 45:  // Shift+Insert
        if (iShift & 1) Insert(ClipboardText());
        return;
    default: return;
    }
}

void frmInputBoxForm::Insert(const std::string& iText) {
    const auto field = txtValue();
    if (!field) return;
    std::string text = field->Text;
    size_t at = size_t(std::clamp(field->SelStart, 0, int32_t(text.size())));
    for (char c : iText) {
        // One line: a pasted text ends at its first line break.
        if (c == '\r' || c == '\n') break;
        if (static_cast<unsigned char>(c) < 32 || c == 127 || text.size() >= kMaxText) continue;
        text.insert(at++, 1, c);
    }
    field->SetText(text);
    field->SelStart = int32_t(at);
}

void frmInputBoxForm::TypeText(const std::string& iText) {
    if (!Visible()) return;
    Insert(iText);
}

void frmInputBoxForm::MouseDown(int32_t iButton, float iX, float iY) {
    if (!Visible() || iButton != 1) return;
    pressed_ = Form.ControlAt(iX, iY);
}

void frmInputBoxForm::MouseUp(int32_t iButton, float iX, float iY) {
    if (!Visible() || iButton != 1) return;
    // A click counts where the button went down and came up on the same control.
    const auto c = std::move(pressed_);
    pressed_.reset();
    if (c && c->Kind == "CommandButton" && c->Contains(iX, iY)) c->UserClick();
}

void frmInputBoxForm::Render() {
    const auto field = txtValue();
    if (!Visible() || !field || !Window.BeginDraw(Grey(0.85f))) return;
    mOverlayDraw::Begin();
    const int32_t font = FontHandle();
    for (size_t i = 0; i < promptLines_.size(); ++i)
        mOverlayDraw::Text(font, kMargin, kMargin + float(i) * kLineH, promptLines_[i], Grey(0.05f),
                           Form.Width - 2 * kMargin);
    mOverlayDraw::Fill(field->Left, field->Top, field->Width, field->Height, kInputFieldBack);
    mOverlayDraw::Outline(field->Left, field->Top, field->Width, field->Height, Grey(0.4f));
    // The caret stays in view: the shown part of a long text starts where
    // it must for the caret to fit.
    const std::string& text = field->Text;
    const size_t caret = size_t(std::clamp(field->SelStart, 0, int32_t(text.size())));
    const float room = field->Width - 10;
    scroll_ = std::min(scroll_, caret);
    while (scroll_ < caret && mOverlayDraw::TextWidth(font, text.substr(scroll_, caret - scroll_)) > room) ++scroll_;
    std::string shown = text.substr(scroll_);
    while (!shown.empty() && mOverlayDraw::TextWidth(font, shown) > room) shown.pop_back();
    mOverlayDraw::Text(font, field->Left + 4, field->Top + 3, shown, Grey(0.05f));
    const float caretX = field->Left + 4 + mOverlayDraw::TextWidth(font, text.substr(scroll_, caret - scroll_));
    mOverlayDraw::Fill(caretX, field->Top + 3, 1, field->Height - 6, Grey(0.05f));
    for (const char* name : {"cmdOK", "cmdCancel"}) {
        const auto b = Form.Find(name);
        if (!b) continue;
        mOverlayDraw::Fill(b->Left, b->Top, b->Width, b->Height, pressed_ == b ? Grey(0.6f) : Grey(0.75f));
        mOverlayDraw::Outline(b->Left, b->Top, b->Width, b->Height, Grey(0.3f));
        const float w = mOverlayDraw::TextWidth(font, b->Caption);
        mOverlayDraw::Text(font, b->Left + std::floor((b->Width - w) / 2), b->Top + 4, b->Caption, Grey(0.05f));
    }
    Window.EndDraw();
}

std::string frmInputBoxForm::Ask(const std::string& iPrompt, const std::string& iTitle, const std::string& iDefault) {
    if (!zDDraw.Device) {
        Log("WARN", "InputBox", "No drawing device for the box", iPrompt);
        return "";
    }
    // The program is ending: nobody is there to answer.
    if (StopRequested()) return "";
    frmInputBoxForm box;
    box.Show(iPrompt, iTitle, iDefault);
    const uint32_t boxId = box.Window.Id();
    bool quit = false;
    // What other windows get while the box waits goes to them afterwards,
    // in the order it came.
    std::vector<SDL_Event> later;
    while (!box.Answered() && box.Visible()) {
        // A stop signal cancels the box, and so does a display gone away;
        // the frame loop then ends the program in order.
        if (StopRequested() || !LostDisplay().empty()) {
            box.cmdCancel_Click();
            break;
        }
        box.Render();
        SDL_Event raw;
        if (!WaitSdlEvent(raw, 50)) continue;
        if (raw.type == SDL_QUIT) {
            // The program is asked to end: the box gives way and the game
            // still sees the request.
            quit = true;
            box.cmdCancel_Click();
            break;
        }
        WindowEvent e;
        if (!TranslateSdlEvent(raw, e)) continue;
        // A key let go anywhere, over the box too: one held in the game when
        // the box opened is up now.
        if (e.Type == WindowEventType::KeyUp)
            if (const auto up = gToolWindows.GameKeyUp) up(e.Key, e.Shift);
        if (box.HandleEvent(e) || e.WindowId == boxId) continue;
        later.push_back(raw);
    }
    for (SDL_Event& e : later) SDL_PushEvent(&e);
    if (quit) {
        SDL_Event again{};
        again.type = SDL_QUIT;
        SDL_PushEvent(&again);
    }
    return box.Answer();
}

}  // namespace tarv
