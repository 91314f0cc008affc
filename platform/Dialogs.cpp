#include "platform/Dialogs.h"

#include <SDL2/SDL.h>

#include <deque>
#include <vector>

#include "core/zCore.h"
#include "platform/Window.h"

namespace zun {

std::string gProgramTitle;
std::function<std::string(const std::string&, const std::string&, const std::string&)> gInputBoxHandler;

namespace {

const std::string& Shown(const std::string& title) { return title.empty() ? gProgramTitle : title; }

std::deque<int32_t> gMessageAnswers;
std::deque<std::string> gInputAnswers;

// The buttons of a set, in the order shown.
std::vector<int32_t> Buttons(int32_t style) {
    switch (style & 7) {
    case MsgBoxStyle::OkCancel: return {MsgBoxResult::Ok, MsgBoxResult::Cancel};
    case MsgBoxStyle::AbortRetryIgnore: return {MsgBoxResult::Abort, MsgBoxResult::Retry, MsgBoxResult::Ignore};
    case MsgBoxStyle::YesNoCancel: return {MsgBoxResult::Yes, MsgBoxResult::No, MsgBoxResult::Cancel};
    case MsgBoxStyle::YesNo: return {MsgBoxResult::Yes, MsgBoxResult::No};
    case MsgBoxStyle::RetryCancel: return {MsgBoxResult::Retry, MsgBoxResult::Cancel};
    default: return {MsgBoxResult::Ok};
    }
}

const char* ButtonText(int32_t id) {
    switch (id) {
    case MsgBoxResult::Ok: return "OK";
    case MsgBoxResult::Cancel: return "Cancel";
    case MsgBoxResult::Abort: return "Abort";
    case MsgBoxResult::Retry: return "Retry";
    case MsgBoxResult::Ignore: return "Ignore";
    case MsgBoxResult::Yes: return "Yes";
    case MsgBoxResult::No: return "No";
    default: return "?";
    }
}

// Windows line ends become plain ones for the message box.
std::string ForDisplay(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (c != '\r') s += c;
    return Cp1252ToUtf8(s);
}

// Shows an SDL message box; the pressed button's id, or `fallback` when the
// box could not be shown or was closed.
int32_t SdlBox(const std::string& title, const std::string& text, int32_t style, const std::vector<int32_t>& ids,
               int32_t defaultId, int32_t escapeId) {
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (int32_t id : ids) {
        SDL_MessageBoxButtonData b{};
        b.buttonid = id;
        b.text = ButtonText(id);
        if (id == defaultId) b.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (id == escapeId) b.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        buttons.push_back(b);
    }
    std::string t = ForDisplay(title), m = ForDisplay(text);
    SDL_MessageBoxData data{};
    int icon = style & 0x70;
    data.flags = icon == MsgBoxStyle::Critical      ? SDL_MESSAGEBOX_ERROR
                 : icon == MsgBoxStyle::Exclamation ? SDL_MESSAGEBOX_WARNING
                                                    : SDL_MESSAGEBOX_INFORMATION;
    data.title = t.c_str();
    data.message = m.c_str();
    data.numbuttons = int(buttons.size());
    data.buttons = buttons.data();
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        // A display without a way to show boxes (SDL's offscreen driver, a
        // desktop without the needed libraries): the message goes to the log
        // rather than nowhere.
        Log("WARN", "MsgBox", title, text, SDL_GetError());
        return escapeId;
    }
    return pressed < 0 ? escapeId : pressed;
}

}  // namespace

int32_t ShowMessageBox(const std::string& text, int32_t style, const std::string& iTitle) {
    const std::string& title = Shown(iTitle);
    std::vector<int32_t> ids = Buttons(style);
    size_t def = size_t((style >> 8) & 3);
    int32_t defaultId = ids[def < ids.size() ? def : 0];
    if (IsHeadless()) {
        Log("INF", "MsgBox", title, text);
        if (gMessageAnswers.empty()) return defaultId;
        int32_t a = gMessageAnswers.front();
        gMessageAnswers.pop_front();
        return a;
    }
    int32_t escapeId = ids.size() == 1 ? ids[0] : ids.back();
    if (ids.size() == 3 && ids[0] == MsgBoxResult::Abort) escapeId = MsgBoxResult::Abort;
    return SdlBox(title, text, style, ids, defaultId, escapeId);
}

std::string ShowInputBox(const std::string& prompt, const std::string& iTitle, const std::string& defaultText) {
    const std::string& title = Shown(iTitle);
    if (IsHeadless()) {
        Log("INF", "InputBox", title, prompt);
        if (gInputAnswers.empty()) return defaultText;
        std::string a = gInputAnswers.front();
        gInputAnswers.pop_front();
        return a;
    }
    if (const auto handler = gInputBoxHandler) return handler(prompt, title, defaultText);
    std::string text = prompt;
    if (!defaultText.empty()) text += "\n\n" + defaultText;
    int32_t r = SdlBox(title, text, MsgBoxStyle::Question, {MsgBoxResult::Ok, MsgBoxResult::Cancel}, MsgBoxResult::Ok,
                       MsgBoxResult::Cancel);
    return r == MsgBoxResult::Ok ? defaultText : std::string();
}

void PushMessageBoxAnswer(int32_t answer) { gMessageAnswers.push_back(answer); }
void PushInputBoxAnswer(const std::string& text) { gInputAnswers.push_back(text); }
void ClearDialogAnswers() {
    gMessageAnswers.clear();
    gInputAnswers.clear();
}

}  // namespace zun
