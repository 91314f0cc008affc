#include "platform/Dialogs.h"

#include <SDL2/SDL.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <deque>
#include <new>
#include <thread>
#include <vector>

#include "core/zCore.h"
#include "platform/StopSignals.h"
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

// On X, SDL shows a box from a process of its own, and the program waits
// for that process. The process must not outlive the program (it holds the
// program's X connection: the window would stay on screen with the box), and
// a stop signal while it waits closes the box as if it was cancelled.
std::atomic<bool> gBoxOpen{false};
pid_t gBoxParent = 0;
// The box's process writes its number where the program can read it: a page
// both share.
std::atomic<pid_t>* gBoxChild = nullptr;

void InBoxChild() {
    if (!gBoxOpen.load()) return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != gBoxParent || StopRequested()) _exit(1);
    // The program's handlers would take the box's signals for the program's.
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    gBoxChild->store(getpid());
}

// On the watchdog's thread, which holds its grace time until the main thread
// is back from the box: the grace time tells a stuck frame from a slow one,
// and a main thread that waits for a box is neither. The box's process may
// be on its way still.
void CloseBoxOnStop() {
    constexpr int kBoxCloseMs = 5000;
    for (int waited = 0; gBoxOpen.load() && waited < kBoxCloseMs; waited += 5) {
        if (const pid_t pid = gBoxChild->exchange(0); pid > 0) kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// False when the box must not open: the program is stopping.
bool PrepareBoxProcess() {
    static const bool ready = [] {
        void* page =
            mmap(nullptr, sizeof(std::atomic<pid_t>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED) return false;
        gBoxChild = new (page) std::atomic<pid_t>(0);
        pthread_atfork(nullptr, nullptr, InBoxChild);
        SetStopWaitBreaker(CloseBoxOnStop);
        return true;
    }();
    if (!ready) return !StopRequested();
    gBoxChild->store(0);
    gBoxParent = getpid();
    gBoxOpen.store(true);
    if (!StopRequested()) return true;
    gBoxOpen.store(false);
    return false;
}

void BoxProcessDone() {
    gBoxOpen.store(false);
    if (gBoxChild) gBoxChild->store(0);
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
    // Nobody is there to answer a program that is ending.
    if (!PrepareBoxProcess()) return escapeId;
    const int shown = SDL_ShowMessageBox(&data, &pressed);
    BoxProcessDone();
    if (StopRequested()) return escapeId;
    if (shown != 0) {
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
