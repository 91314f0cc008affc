#include "devices/zDInput.h"

#include <cstdio>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "platform/Joysticks.h"

namespace zun {

zDInputModule zDInput;

namespace {

bool SameText(const std::string& a, const std::string& b) { return a.size() == b.size() && UCase(a) == UCase(b); }

void CheckOpen(const InputDeviceObject& d) {
    if (d.Released) Raise(errObjectNotSet);
}

// A joystick as enumeration describes it. Its instance GUID text is the
// model's GUID with the first four bytes holding the instance number, so two
// sticks of one model differ and a stick plugged in again is a new instance.
std::shared_ptr<const InputDeviceInstance> JoystickInstance(const JoystickInfo& j) {
    auto inst = std::make_shared<InputDeviceInstance>();
    std::array<uint8_t, 16> g = j.Guid;
    for (int k = 0; k < 4; ++k) g[size_t(k)] = uint8_t(uint32_t(j.InstanceId) >> (8 * (3 - k)));
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[0],
                  g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    inst->GuidInstance = text;
    // Joystick (20) or gamepad (21), and a capabilities value marked as
    // having axes worth looking at.
    inst->DevType = j.Gamepad ? 0x115 : 0x114;
    inst->CapsDevType = inst->DevType;
    inst->ProductName = Utf8ToCp1252(j.Name);
    static const char* const kAxes[] = {"GUID_XAxis", "GUID_YAxis", "GUID_ZAxis", "GUID_RxAxis",
                                        "GUID_RyAxis", "GUID_RzAxis", "GUID_Slider", "GUID_Slider"};
    for (int32_t a = 0; a < j.Axes && a < 8; ++a) inst->Objects.push_back({kAxes[a], 1});
    for (int32_t b = 0; b < j.Buttons && b < 128; ++b) inst->Objects.push_back({"GUID_Button", 4});
    return inst;
}

}  // namespace

void InputDeviceObject::Unacquire() {
    CheckOpen(*this);
    Acquired = false;
}

void InputDeviceObject::Release() {
    CheckOpen(*this);
    Released = true;
}

void InputDeviceObject::SetProperty(const std::string& property, int32_t offset, int32_t a, int32_t b) {
    CheckOpen(*this);
    int axis = offset == 0 ? 0 : offset == 4 ? 1 : -1;
    if (property == "DIPROP_RANGE") {
        RangeMin = a;
        RangeMax = b;
    } else if (property == "DIPROP_DEADZONE" && axis >= 0) {
        if (a < 0 || a > 10000) Raise(errInvalidCall);
        DeadZone[axis] = a;
    } else if (property == "DIPROP_SATURATION" && axis >= 0) {
        if (a < 0 || a > 10000) Raise(errInvalidCall);
        Saturation[axis] = a;
    } else {
        Raise(errInvalidCall);
    }
}

std::vector<std::shared_ptr<const InputDeviceInstance>> zDInputModule::SystemDevices() {
    auto keyboard = std::make_shared<InputDeviceInstance>();
    keyboard->GuidInstance = "GUID_SysKeyboard";
    keyboard->DevType = 0x413;
    keyboard->CapsDevType = 0x413;
    keyboard->ProductName = "Keyboard";
    auto mouse = std::make_shared<InputDeviceInstance>();
    mouse->GuidInstance = "GUID_SysMouse";
    mouse->DevType = 0x212;
    mouse->CapsDevType = 0x212;
    mouse->ProductName = "Mouse";
    mouse->Objects = {{"GUID_XAxis", 2}, {"GUID_YAxis", 2}, {"GUID_ZAxis", 2}, {"GUID_Button", 4}, {"GUID_Button", 4}};
    return {keyboard, mouse};
}

bool zDInputModule::DInput_Initialize(intptr_t window) {
    zCore.CurrentProc = "DInput_Initialize";
    hWnd = window;
    try {
        // Input on this platform is the window's own events, so the input
        // system opens whenever there is a window system. The list of attached
        // devices is taken afresh: pads may have come and gone since the last
        // start, and no device-change event reaches a released input system.
        if (NoInputSystem) Raise(errInvalidCall, "No input system");
        DInput = true;
        if (!JoysticksStarted) JoysticksStarted = StartJoysticks();
        UpdateAttachedDevices();
        AddInputDevice("GUID_SysKeyboard", false);
        AddInputDevice("GUID_SysMouse", false);
        ResetKeyStates();
        Log("OK", "DInput_Initialize");
        return true;
    } catch (const RuntimeError& e) {
        zCore.LastError = e.Number;
    } catch (const std::exception&) {
        zCore.LastError = errOutOfMemory;
    }
    return false;
}

void zDInputModule::DInput_Release() {
    zCore.CurrentProc = "DInput_Release";
    while (DeviceCount > 0) {
        int32_t before = DeviceCount;
        RemoveInputDevice(DeviceCount);
        if (DeviceCount == before) break;  // cannot happen, but never spin
    }
    if (JoysticksStarted) StopJoysticks();
    JoysticksStarted = false;
}

void zDInputModule::UpdateAttachedDevices() {
    std::vector<std::shared_ptr<const InputDeviceInstance>> now = SystemDevices();
    for (const JoystickInfo& j : ListJoysticks()) now.push_back(JoystickInstance(j));
    Attached = std::move(now);
    for (int32_t i = DeviceCount; i >= 1; --i)
        if (!FindDeviceInstance(Devices[size_t(i)].GUID)) RemoveInputDevice(i);
}

std::shared_ptr<const InputDeviceInstance> zDInputModule::FindDeviceInstance(const std::string& GUIDText) const {
    for (const auto& inst : Attached)
        if (inst && SameText(inst->GuidInstance, GUIDText)) return inst;
    return nullptr;
}

int32_t zDInputModule::FindInputDevice(const std::string& GUIDText) const {
    for (int32_t i = 1; i <= DeviceCount; ++i)
        if (SameText(Devices[size_t(i)].GUID, GUIDText)) return i;
    return 0;
}

int32_t zDInputModule::AddInputDevice(const std::string& GUIDText, bool Exclusive) {
    zCore.CurrentProc = "AddInputDevice";
    const int32_t countBefore = DeviceCount;
    try {
        auto instance = FindDeviceInstance(GUIDText);
        if (!instance) return 0;
        if (int32_t existing = FindInputDevice(GUIDText); existing > 0) return existing;
        if (!DInput) return 0;  // no input system, no device
        auto device = std::make_shared<InputDeviceObject>();
        device->Instance = instance;

        InputDeviceRecord rec;
        rec.Enabled = true;
        rec.Device = device;
        rec.Instance = instance;
        rec.GUID = instance->GuidInstance;
        rec.Product = instance->ProductName;
        rec.DevType = instance->DevType & 0xFF;
        Devices.resize(size_t(DeviceCount) + 2);
        Devices[size_t(DeviceCount) + 1] = rec;
        DeviceCount += 1;
        InputDeviceRecord& added = Devices[size_t(DeviceCount)];

        if (added.DevType == 18) device->DataFormat = 2;
        else if (added.DevType == 19) device->DataFormat = 1;
        else {
            device->DataFormat = 3;
            SetJoystickRange(*device);
        }
        added.AxisMode = uint8_t(FindJoystickAxes(*device));
        device->CooperativeLevel = (Exclusive ? 1 : 2) | 4;
        return DeviceCount;
    } catch (const RuntimeError& e) {
        zCore.LastError = e.Number;
    } catch (const std::exception&) {
        zCore.LastError = errOutOfMemory;
    }
    DeviceCount = countBefore;
    Devices.resize(size_t(countBefore) + 1);
    return 0;
}

int32_t zDInputModule::FindJoystickAxes(InputDeviceObject& Device) const {
    CheckOpen(Device);
    if (!Device.Instance || (Device.Instance->CapsDevType & 256) == 0) return 0;
    int32_t xs = 0, ys = 0;
    for (const auto& obj : Device.Instance->Objects) {
        if ((obj.Flags & 3) == 0) continue;  // enumeration asks for axes only
        if ((obj.Flags & 1) == 0) continue;
        if (obj.GuidType == "GUID_XAxis") ++xs;
        else if (obj.GuidType == "GUID_YAxis") ++ys;
    }
    if (xs >= 1 && ys >= 1) return 2;
    if (xs >= 1 || ys >= 1) return 1;
    return 0;
}

void zDInputModule::SetJoystickRange(InputDeviceObject& Device) {
    auto step = [](auto&& f) {
        try {
            f();
        } catch (const RuntimeError&) {
        }
    };
    step([&] { Device.SetProperty("DIPROP_RANGE", -1, 0, 10000); });
    step([&] { Device.SetProperty("DIPROP_DEADZONE", 0, 800); });
    step([&] { Device.SetProperty("DIPROP_DEADZONE", 4, 800); });
    step([&] { Device.SetProperty("DIPROP_SATURATION", 0, 9500); });
    step([&] { Device.SetProperty("DIPROP_SATURATION", 4, 9500); });
}

void zDInputModule::RemoveInputDevice(int32_t Index) {
    if (Index < 1 || Index > DeviceCount) return;
    auto& rec = Devices[size_t(Index)];
    if (rec.Device) {
        try {
            rec.Device->Unacquire();
        } catch (const RuntimeError&) {
        }
        try {
            rec.Device->Release();
        } catch (const RuntimeError&) {
        }
    }
    Devices[size_t(Index)] = Devices[size_t(DeviceCount)];
    DeviceCount -= 1;
    Devices.resize(size_t(DeviceCount) + 1);
}

void zDInputModule::ResetKeyStates() {
    Keys.fill(false);
    KeyTaps.fill(0);
    MouseButtons.fill(false);
    LastKeys = Keys;
    LastMouseButtons = MouseButtons;
}

void zDInputModule::SetKey(int32_t code, bool down) {
    if (code < 0 || code >= int32_t(Keys.size())) return;
    const size_t k = size_t(code);
    Keys[k] = down;
    if (down) KeyTaps[k] = 1;
    else if (KeyTaps[k] == 1) KeyTaps[k] = 2;
}

void zDInputModule::ShowKeyTaps() {
    // Once only: a frame that consumes the key (clears its flag) must not see
    // it come back before it is over.
    for (size_t k = 0; k < Keys.size(); ++k) {
        if (KeyTaps[k] != 2) continue;
        Keys[k] = true;
        KeyTaps[k] = 3;
    }
}

void zDInputModule::KeysPolled() {
    for (size_t k = 0; k < Keys.size(); ++k) {
        if (KeyTaps[k] == 3) Keys[k] = false;
        KeyTaps[k] = 0;
    }
}

void zDInputModule::SetMouseButton(int32_t button, bool down) {
    if (button >= 0 && button < int32_t(MouseButtons.size())) MouseButtons[size_t(button)] = down;
}

}  // namespace zun
