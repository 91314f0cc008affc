#include "devices/startup/zFramework.h"

#include <string>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zRegistry.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "platform/Dialogs.h"
#include "platform/Window.h"

namespace zun {

FrameworkHooks gFrameworkHooks;

namespace {

constexpr const char* kExitTail = "The application will now exit.";

// Every device box has the same shape; its second line holds the error text
// of the platform, which is always empty, so users see "()".
std::string DeviceMessage(const std::string& reason, const std::string& tail) {
    return reason + "\r\n(" + GetDXErrorText(0) + ")\r\n\r\n" + tail;
}

void Tell(const char* proc, const std::string& text, int32_t style, const std::string& title) {
    SkipOnFailure(proc, [&] { ShowMessageBox(text, style, title); });
}

// Runs a hook slot; a copy, as a hook may replace the slots while it runs.
void RunHook(const std::function<void()>& slot) {
    auto hook = slot;
    if (hook) hook();
}

// A device start-up. One that raises instead of answering has not started.
template <class F>
bool Started(const char* proc, F&& start) {
    bool ok = false;
    SkipOnFailure(proc, [&] { ok = start(); });
    return ok;
}

}  // namespace

void ZUN_Initialize() {
    const char* proc = "ZUN_Initialize";
    zCore.CurrentProc = proc;

    int32_t missing = 0;
    SkipOnFailure(proc, [&] { missing = Core_Start(); });
    zCore.CurrentProc = proc;
    if (missing > 0)
        Tell(proc, "Missing system files! Some functions may be broken!", MsgBoxStyle::Critical, "");

    // The platform root object is part of this program, not a system component
    // that may be missing: it always exists once the framework starts.
    zCore.DirectX = true;
    Log("OK", "DirectX8 created");

    // The registry is rebuilt in a fixed order: files name their classes, and
    // the first prototype of a name is the one the factory uses.
    SkipOnFailure(proc, [] { zCore.Classes.clear(); });
    SkipOnFailure(proc, [] { RegisterCoreClasses(); });
    SkipOnFailure(proc, [] { RunHook(gFrameworkHooks.RegisterSceneClasses); });
    SkipOnFailure(proc, [] { RunHook(gFrameworkHooks.ScriptInitialize); });

    zCore.Initialized = true;
    Log("OK", "ZUN_Initialize");
}

bool Window_Initialize(Window* Owner, int32_t MaxMultiSample, bool UseStencil) {
    const char* proc = "Window_Initialize";
    zCore.CurrentProc = proc;

    // Without drawing or input there is no game: tell the user, and release
    // whatever was started before.
    auto fatal = [&](const char* title, const char* reason) {
        Tell(proc, DeviceMessage(reason, kExitTail), MsgBoxStyle::Critical, title);
        ZUN_Release();
        return false;
    };
    auto inform = [&](const char* title, const char* reason, const char* tail) {
        Tell(proc, DeviceMessage(reason, tail), MsgBoxStyle::Information, title);
    };

    // The drawing device is made from the root object: none, no drawing.
    if (!Started(proc, [] { return zCore.DirectX && zDDraw.Device_Initialize(); }))
        return fatal("Create DirectX objects", "DirectX: DirectX 8 not available!");

    int32_t width = kOffscreenWidth, height = kOffscreenHeight;
    SkipOnFailure(proc, [&] {
        if (Owner) Owner->ClientSize(width, height);
    });
    if (!Started(proc, [&] {
            return zDDraw.Device_InitWindowed(Owner, width, height, 1.0f, MaxMultiSample, UseStencil);
        }))
        return fatal("Create D3D device", "DirectX: Video device not available!");

    const intptr_t hWnd = Owner ? Owner->Handle() : 0;
    if (!Started(proc, [&] { return zDInput.DInput_Initialize(hWnd); }))
        return fatal("Create Input devices", "DirectX: Input not available!");

    if (!Started(proc, [&] { return DSound_Initialize(hWnd); }))
        inform("Create DSound device", "DirectX: Audio device not available!", "Sound playback is disabled.");
    if (!Started(proc, [&] { return DMusic_Initialize(hWnd); }))
        inform("Create DMusic device", "DirectX: MIDI device not available!", "Music playback (MIDI) is disabled.");

    zCore.CurrentProc = proc;
    Log("OK", "Window_Initialize");
    return true;
}

void ZUN_Release() {
    const char* proc = "ZUN_Release";
    zCore.CurrentProc = proc;
    if (!zCore.Initialized) return;
    zCore.Initialized = false;
    SkipOnFailure(proc, [] { zDDraw.Device_Release(); });
    SkipOnFailure(proc, [] { zDInput.DInput_Release(); });
    SkipOnFailure(proc, [] { DSound_Release(); });
    SkipOnFailure(proc, [] { DMusic_Release(); });
    SkipOnFailure(proc, [] { DShow_Release(); });
    zCore.DirectX = false;
    SkipOnFailure(proc, [] { FileSystem_Release(); });
    SkipOnFailure(proc, [] { Core_Release(); });
}

}  // namespace zun
