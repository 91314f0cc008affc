// A virtual X server of the test's own (Xvfb on a display number the server
// picks, so that tests running side by side never share one) and a client
// that plays the user on it: it finds windows by their titles and hands them
// keys and close requests as a keyboard and a window frame would. The X
// headers stay inside XSession.cpp: their macros (None, Bool, Status) clash
// with names of the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarv::test {

class VirtualXServer {
public:
    VirtualXServer() = default;
    VirtualXServer(const VirtualXServer&) = delete;
    VirtualXServer& operator=(const VirtualXServer&) = delete;
    ~VirtualXServer();

    // The server's program, looked up in PATH; "" when it is not installed.
    static std::string Program();
    // The window manager's (openbox), likewise.
    static std::string WindowManagerProgram();
    // Starts it and waits until it takes clients; false with the reason.
    bool Start(std::string& oWhy);
    // Starts a window manager on it and waits until it manages windows;
    // false with the reason.
    bool StartWindowManager(std::string& oWhy);
    // ":N"
    const std::string& Display() const { return display_; }
    // Ends the server under its clients' feet (the window manager first).
    void Stop();

private:
    int pid_ = 0;
    int managerPid_ = 0;
    std::string display_;
};

// The ids of X windows, as plain numbers.
using XWindowId = unsigned long;

class XUser {
public:
    XUser();
    ~XUser();
    XUser(const XUser&) = delete;
    XUser& operator=(const XUser&) = delete;

    bool Connect(const std::string& iDisplay, std::string& oWhy);
    // False once the program played with has ended: waiting for its
    // windows stops there.
    std::function<bool()> Alive;

    // A shown top-level window with that title (UTF-8), none of `iExcept`;
    // 0 when none comes within iTimeoutMs.
    XWindowId WaitForWindow(const std::string& iTitle, int32_t iTimeoutMs,
                            const std::vector<XWindowId>& iExcept = {});
    // True once the window is gone or hidden, false after iTimeoutMs.
    bool WaitUntilGone(XWindowId iWindow, int32_t iTimeoutMs);
    // A key pressed and let go over the window (an X key symbol name such as
    // "Escape", "Return", "F10"), the keys given to it first as a click
    // would. With iGoes the window is destroyed behind the program's back
    // right after the key reached it (a window manager or another client
    // may do that): whatever the program then asks of the window fails on
    // the server.
    void PressKey(XWindowId iWindow, const std::string& iKeyName, bool iGoes = false);
    // One half of that: the key goes down (the keys given to the window
    // first) or up.
    void SendKey(XWindowId iWindow, const std::string& iKeyName, bool iDown, bool iGoes = false);
    // What the frame's close box asks of the window; iGoes as above.
    void AskToClose(XWindowId iWindow, bool iGoes = false);
    // The left button pressed and let go at (iX, iY) of the window, the
    // pointer moved there first.
    void Click(XWindowId iWindow, int32_t iX, int32_t iY);
    // The window destroyed by this client, as a window manager or another
    // program may do while its owner waits on it.
    void TakeAway(XWindowId iWindow);
    // The shown top-level windows' titles, for a failure's message.
    std::string ShownWindows();

private:
    struct State;
    std::unique_ptr<State> x_;
};

}  // namespace tarv::test
