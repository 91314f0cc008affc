#include "XSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tarv::test {

namespace {

void Nap(int32_t iMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(iMs));
}

// Windows come and go under the tests' feet: asking about one that just went
// is no fault of the test.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

std::string OnPath(const std::string& iName) {
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/bin:/bin";
    size_t at = 0;
    while (at <= dirs.size()) {
        size_t end = dirs.find(':', at);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(at, end - at) + "/" + iName;
        if (end > at && access(candidate.c_str(), X_OK) == 0) return candidate;
        at = end + 1;
    }
    return "";
}

// Ends a child: asked first, then made to.
void EndChild(int iPid) {
    kill(iPid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (waitpid(iPid, &status, WNOHANG) == iPid) return;
        Nap(10);
    }
    kill(iPid, SIGKILL);
    waitpid(iPid, &status, 0);
}

}  // namespace

std::string VirtualXServer::Program() { return OnPath("Xvfb"); }

std::string VirtualXServer::WindowManagerProgram() { return OnPath("openbox"); }

bool VirtualXServer::Start(std::string& oWhy) {
    const std::string program = Program();
    if (program.empty()) {
        oWhy = "Xvfb is not installed";
        return false;
    }
    int ready[2];
    if (pipe(ready) != 0) {
        oWhy = std::string("no pipe: ") + std::strerror(errno);
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        oWhy = std::string("no process: ") + std::strerror(errno);
        close(ready[0]);
        close(ready[1]);
        return false;
    }
    if (pid == 0) {
        // The server goes with the test, also when a time-out kills it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        close(ready[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            dup2(quiet, 1);
            dup2(quiet, 2);
        }
        const std::string fd = std::to_string(ready[1]);
        execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
              "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    pid_ = pid;
    // The server writes its display number once it takes clients.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{ready[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[32];
        const ssize_t n = read(ready[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, size_t(n));
    }
    close(ready[0]);
    if (number.find('\n') == std::string::npos) {
        oWhy = "Xvfb did not start";
        return false;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
    return true;
}

bool VirtualXServer::StartWindowManager(std::string& oWhy) {
    const std::string program = WindowManagerProgram();
    if (program.empty()) {
        oWhy = "openbox is not installed";
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        oWhy = std::string("no process: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            dup2(quiet, 1);
            dup2(quiet, 2);
        }
        setenv("DISPLAY", display_.c_str(), 1);
        execl(program.c_str(), "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    managerPid_ = pid;
    // A window manager that follows the desktop conventions names its own
    // window on the root window once it manages windows.
    ::Display* d = XOpenDisplay(display_.c_str());
    if (!d) {
        oWhy = "cannot connect to " + display_;
        return false;
    }
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    bool managing = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!managing && std::chrono::steady_clock::now() < deadline) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, rest = 0;
        unsigned char* data = nullptr;
        managing = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format,
                                      &count, &rest, &data) == Success &&
                   data && count == 1;
        if (data) XFree(data);
        int status = 0;
        if (!managing && waitpid(pid, &status, WNOHANG) == pid) {
            managerPid_ = 0;
            break;
        }
        if (!managing) Nap(20);
    }
    XCloseDisplay(d);
    if (!managing) oWhy = "openbox did not start";
    return managing;
}

VirtualXServer::~VirtualXServer() { Stop(); }

void VirtualXServer::Stop() {
    if (managerPid_ > 0) EndChild(managerPid_);
    managerPid_ = 0;
    if (pid_ > 0) EndChild(pid_);
    pid_ = 0;
}

struct XUser::State {
    Display* D = nullptr;
    Atom NetWmName = 0, Utf8 = 0, Protocols = 0, DeleteWindow = 0;

    std::string Title(Window w) const {
        std::string title;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, rest = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(D, w, NetWmName, 0, 256, False, Utf8, &type, &format, &count, &rest, &data) ==
                Success &&
            data && format == 8)
            title.assign(reinterpret_cast<char*>(data), count);
        if (data) XFree(data);
        if (!title.empty()) return title;
        char* name = nullptr;
        if (XFetchName(D, w, &name) && name) title = name;
        if (name) XFree(name);
        return title;
    }

    // The windows of the programs: the root's children, or under a window
    // manager the children of its frames.
    std::vector<Window> TopLevels() const {
        std::vector<Window> all;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(D, DefaultRootWindow(D), &root, &parent, &children, &count))
            for (unsigned int i = 0; i < count; ++i) {
                all.push_back(children[i]);
                Window r2 = 0, p2 = 0, *inner = nullptr;
                unsigned int n = 0;
                if (XQueryTree(D, children[i], &r2, &p2, &inner, &n))
                    for (unsigned int j = 0; j < n; ++j) all.push_back(inner[j]);
                if (inner) XFree(inner);
            }
        if (children) XFree(children);
        return all;
    }

    bool Shown(Window w) const {
        XWindowAttributes a;
        return XGetWindowAttributes(D, w, &a) && a.map_state == IsViewable;
    }
};

XUser::XUser() : x_(std::make_unique<State>()) {}

XUser::~XUser() {
    if (x_->D) XCloseDisplay(x_->D);
}

bool XUser::Connect(const std::string& iDisplay, std::string& oWhy) {
    XSetErrorHandler(IgnoreXError);
    x_->D = XOpenDisplay(iDisplay.c_str());
    if (!x_->D) {
        oWhy = "cannot connect to " + iDisplay;
        return false;
    }
    // A test may end the server: the user goes on, with nothing to see.
    XSetIOErrorHandler([](Display*) { return 0; });
    XSetIOErrorExitHandler(x_->D, [](Display*, void*) {}, nullptr);
    x_->NetWmName = XInternAtom(x_->D, "_NET_WM_NAME", False);
    x_->Utf8 = XInternAtom(x_->D, "UTF8_STRING", False);
    x_->Protocols = XInternAtom(x_->D, "WM_PROTOCOLS", False);
    x_->DeleteWindow = XInternAtom(x_->D, "WM_DELETE_WINDOW", False);
    return true;
}

XWindowId XUser::WaitForWindow(const std::string& iTitle, int32_t iTimeoutMs,
                               const std::vector<XWindowId>& iExcept) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(iTimeoutMs);
    do {
        XWindowId found = 0;
        for (Window w : x_->TopLevels()) {
            bool excepted = false;
            for (XWindowId e : iExcept) excepted = excepted || e == w;
            if (!excepted && x_->Shown(w) && x_->Title(w) == iTitle) {
                found = w;
                break;
            }
        }
        if (found) return found;
        if (Alive && !Alive()) return 0;
        Nap(20);
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

bool XUser::WaitUntilGone(XWindowId iWindow, int32_t iTimeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(iTimeoutMs);
    do {
        if (!x_->Shown(iWindow)) return true;
        if (Alive && !Alive()) return false;
        Nap(20);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void XUser::SendKey(XWindowId iWindow, const std::string& iKeyName, bool iDown, bool iGoes) {
    Display* d = x_->D;
    if (iDown) XSetInputFocus(d, iWindow, RevertToParent, CurrentTime);
    XKeyEvent k{};
    k.type = iDown ? KeyPress : KeyRelease;
    k.display = d;
    k.window = iWindow;
    k.root = DefaultRootWindow(d);
    k.subwindow = 0;
    k.time = CurrentTime;
    k.x = k.y = k.x_root = k.y_root = 1;
    k.state = 0;
    k.keycode = XKeysymToKeycode(d, XStringToKeysym(iKeyName.c_str()));
    k.same_screen = True;
    XSendEvent(d, iWindow, False, iDown ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&k));
    // In the same batch: the server handles both before the program can
    // read the key.
    if (iGoes) XDestroyWindow(d, iWindow);
    XSync(d, False);
}

void XUser::PressKey(XWindowId iWindow, const std::string& iKeyName, bool iGoes) {
    SendKey(iWindow, iKeyName, true, iGoes);
    // Held for a while, as fingers do.
    Nap(150);
    SendKey(iWindow, iKeyName, false);
}

void XUser::AskToClose(XWindowId iWindow, bool iGoes) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = iWindow;
    e.xclient.message_type = x_->Protocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(x_->DeleteWindow);
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(x_->D, iWindow, False, NoEventMask, &e);
    if (iGoes) XDestroyWindow(x_->D, iWindow);
    XSync(x_->D, False);
}

void XUser::Click(XWindowId iWindow, int32_t iX, int32_t iY) {
    Display* d = x_->D;
    XEvent e{};
    e.xmotion.type = MotionNotify;
    e.xmotion.display = d;
    e.xmotion.window = iWindow;
    e.xmotion.root = DefaultRootWindow(d);
    e.xmotion.x = iX;
    e.xmotion.y = iY;
    e.xmotion.same_screen = True;
    XSendEvent(d, iWindow, False, PointerMotionMask, &e);
    for (bool down : {true, false}) {
        e = XEvent{};
        e.xbutton.type = down ? ButtonPress : ButtonRelease;
        e.xbutton.display = d;
        e.xbutton.window = iWindow;
        e.xbutton.root = DefaultRootWindow(d);
        e.xbutton.x = iX;
        e.xbutton.y = iY;
        e.xbutton.state = down ? 0 : Button1Mask;
        e.xbutton.button = Button1;
        e.xbutton.same_screen = True;
        XSendEvent(d, iWindow, False, down ? ButtonPressMask : ButtonReleaseMask, &e);
        XSync(d, False);
        if (down) Nap(100);
    }
}

void XUser::TakeAway(XWindowId iWindow) {
    XDestroyWindow(x_->D, iWindow);
    XSync(x_->D, False);
}

std::string XUser::ShownWindows() {
    std::string list;
    for (Window w : x_->TopLevels()) {
        if (!x_->Shown(w)) continue;
        const std::string title = x_->Title(w);
        if (!title.empty()) list += (list.empty() ? "\"" : ", \"") + title + "\"";
    }
    return list.empty() ? "none" : list;
}

}  // namespace tarv::test
