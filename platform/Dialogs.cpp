#include "platform/Dialogs.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
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

// A box that gave way to a stop signal: the main thread has seen the request
// and goes on to the program's end in order, after the rest of what waited on
// the box (a script's frame) has run, however long that takes on a busy
// machine; the watchdog must not take that for a stuck frame and cut the end
// short of the game's "onExit".
void GoOnToTheEndAfterAStop() {
    if (StopRequested()) BeginOrderlyStop();
}

// Windows line ends become plain ones for the message box. A box shows a
// screen of text at the most; what a script or an error hands it may be far
// longer, and a process's words have a length the system allows.
std::string ForDisplay(const std::string& text) {
    constexpr size_t kMaxShown = 16384;
    std::string s;
    s.reserve(std::min(text.size(), kMaxShown));
    for (char c : text) {
        if (s.size() == kMaxShown) {
            s += "...";
            break;
        }
        if (c != '\r') s += c;
    }
    return Cp1252ToUtf8(s);
}

std::vector<SDL_MessageBoxButtonData> ButtonData(const std::vector<int32_t>& ids, int32_t defaultId,
                                                 int32_t escapeId) {
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (int32_t id : ids) {
        SDL_MessageBoxButtonData b{};
        b.buttonid = id;
        b.text = ButtonText(id);
        if (id == defaultId) b.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (id == escapeId) b.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        buttons.push_back(b);
    }
    return buttons;
}

SDL_MessageBoxData BoxData(Uint32 flags, const std::string& title, const std::string& text,
                           const std::vector<SDL_MessageBoxButtonData>& buttons) {
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.title = title.c_str();
    data.message = text.c_str();
    data.numbuttons = int(buttons.size());
    data.buttons = buttons.data();
    return data;
}

// On X, SDL shows a box from a copy of the process that asks, and waits for
// the copy to end. A copy of the game shares every page the game has written;
// each one the game writes while the box shows, and after it up to the
// program's end, is copied or taken back page by page: a game that ends with
// a box open (a stop signal) takes seconds over it on a busy machine. The box
// is shown instead by the program's executable started afresh, in which only
// SDL runs (ServeBoxProcess); the game waits for its answer, looking for a
// stop request meanwhile, and a stop ends the box's process at once.
constexpr const char* kBoxParentVariable = "ZUN_BOX_PARENT";
// The name this executable was started under, when it serves boxes; empty in
// one that does not (tests), which shows its boxes itself.
std::string gBoxProgram;
// The box's process must not outlive its parent, and no more must the copy
// of it that SDL shows the box from: that copy holds the box on screen.
pid_t gBoxProcessParent = 0;

void GoWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != gBoxProcessParent) _exit(1);
}

// The text a box's process answers with: "<button id>", or "!<error>" when
// SDL could not show the box.
std::string BoxAnswer(const SDL_MessageBoxData& iData) {
    int pressed = -1;
    if (SDL_ShowMessageBox(&iData, &pressed) != 0) return std::string("!") + SDL_GetError();
    return std::to_string(pressed);
}

// Runs the box in a process of its own. False, with the reason, when no
// answer came (no process could be started, or SDL could not show the box);
// a stop request ends the box with `oPressed` left as it was.
bool BoxInOwnProcess(const std::vector<std::string>& iRequest, int& oPressed, std::string& oError) {
    int answer[2];
    if (pipe2(answer, O_CLOEXEC) != 0) {
        oError = std::string("no pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> args{gBoxProgram};
    args.insert(args.end(), iRequest.begin(), iRequest.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, kBoxParentVariable, std::strlen(kBoxParentVariable)) != 0) env.emplace_back(*e);
    env.push_back(std::string(kBoxParentVariable) + "=" + std::to_string(getpid()));
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    pid_t pid = 0;
    int rc = posix_spawn_file_actions_init(&actions);
    if (rc == 0) {
        // Its answer on its standard output; none of the game's files.
        rc = posix_spawn_file_actions_adddup2(&actions, answer[1], STDOUT_FILENO);
        if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        if (rc == 0) rc = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
    }
    close(answer[1]);
    if (rc != 0) {
        close(answer[0]);
        oError = std::string("no process for the box: ") + std::strerror(rc);
        return false;
    }
    std::string text;
    for (;;) {
        // A stop request, or a display gone: nobody is there to answer.
        if (StopRequested() || !LostDisplay().empty()) {
            kill(pid, SIGKILL);
            break;
        }
        pollfd p{answer[0], POLLIN, 0};
        const int ready = poll(&p, 1, 20);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        char buf[512];
        const ssize_t n = read(answer[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (text.size() < 4096) text.append(buf, size_t(n));
    }
    close(answer[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (StopRequested()) return true;
    if (text.empty() || text[0] == '!') {
        oError = text.empty() ? "the box's process gave no answer" : text.substr(1);
        return false;
    }
    oPressed = std::atoi(text.c_str());
    return true;
}

// Shows an SDL message box; the pressed button's id, or `escapeId` when the
// box could not be shown or was closed.
int32_t SdlBox(const std::string& title, const std::string& text, int32_t style, const std::vector<int32_t>& ids,
               int32_t defaultId, int32_t escapeId) {
    // Nobody is there to answer a program that is ending.
    if (StopRequested()) return escapeId;
    const int icon = style & 0x70;
    const Uint32 flags = icon == MsgBoxStyle::Critical      ? SDL_MESSAGEBOX_ERROR
                         : icon == MsgBoxStyle::Exclamation ? SDL_MESSAGEBOX_WARNING
                                                            : SDL_MESSAGEBOX_INFORMATION;
    int pressed = -1;
    std::string error;
    bool shown = false;
    if (!gBoxProgram.empty()) {
        std::vector<std::string> request{ForDisplay(title), ForDisplay(text), std::to_string(flags),
                                         std::to_string(defaultId), std::to_string(escapeId)};
        for (int32_t id : ids) request.push_back(std::to_string(id));
        shown = BoxInOwnProcess(request, pressed, error);
    } else {
        const std::string t = ForDisplay(title), m = ForDisplay(text);
        const std::vector<SDL_MessageBoxButtonData> buttons = ButtonData(ids, defaultId, escapeId);
        const SDL_MessageBoxData data = BoxData(flags, t, m, buttons);
        shown = SDL_ShowMessageBox(&data, &pressed) == 0;
        if (!shown) error = SDL_GetError();
    }
    if (StopRequested()) return escapeId;
    if (!shown) {
        // A display without a way to show boxes (SDL's offscreen driver, a
        // desktop without the needed libraries): the message goes to the log
        // rather than nowhere.
        Log("WARN", "MsgBox", title, text, error);
        return escapeId;
    }
    return pressed < 0 ? escapeId : pressed;
}

}  // namespace

int32_t CancelAnswer(int32_t style) {
    const std::vector<int32_t> ids = Buttons(style);
    if (ids.size() == 3 && ids[0] == MsgBoxResult::Abort) return MsgBoxResult::Abort;
    return ids.back();
}

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
    const int32_t answer = SdlBox(title, text, style, ids, defaultId, CancelAnswer(style));
    GoOnToTheEndAfterAStop();
    return answer;
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
    std::string answer;
    if (const auto handler = gInputBoxHandler) {
        answer = handler(prompt, title, defaultText);
    } else {
        std::string text = prompt;
        if (!defaultText.empty()) text += "\n\n" + defaultText;
        const int32_t r = SdlBox(title, text, MsgBoxStyle::Question, {MsgBoxResult::Ok, MsgBoxResult::Cancel},
                                 MsgBoxResult::Ok, MsgBoxResult::Cancel);
        if (r == MsgBoxResult::Ok) answer = defaultText;
    }
    GoOnToTheEndAfterAStop();
    return answer;
}

void ServeBoxProcess(int argc, char** argv) {
    const char* parent = std::getenv(kBoxParentVariable);
    if (!parent) {
        if (argc > 0 && argv[0]) gBoxProgram = argv[0];
        return;
    }
    gBoxProcessParent = pid_t(std::atol(parent));
    GoWithParent();
    pthread_atfork(nullptr, nullptr, GoWithParent);
    // title, text, flags, default id, escape id, the buttons' ids
    std::string answer = "!a box asked for with too few words";
    if (argc >= 7) {
        std::vector<int32_t> ids;
        for (int i = 6; i < argc; ++i) ids.push_back(int32_t(std::atol(argv[i])));
        const std::vector<SDL_MessageBoxButtonData> buttons =
            ButtonData(ids, int32_t(std::atol(argv[4])), int32_t(std::atol(argv[5])));
        gBoxProcessParent = getpid();
        answer = BoxAnswer(BoxData(Uint32(std::atol(argv[3])), argv[1], argv[2], buttons));
    }
    [[maybe_unused]] ssize_t n = write(STDOUT_FILENO, answer.data(), answer.size());
    // Nothing of the program that started it: it only showed a box.
    _exit(0);
}

void PushMessageBoxAnswer(int32_t answer) { gMessageAnswers.push_back(answer); }
void PushInputBoxAnswer(const std::string& text) { gInputAnswers.push_back(text); }
void ClearDialogAnswers() {
    gMessageAnswers.clear();
    gInputAnswers.clear();
}

}  // namespace zun
