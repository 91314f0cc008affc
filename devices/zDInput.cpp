#include "devices/zDInput.h"

#include "core/zCore.h"
#include "core/zRuntime.h"

namespace zun {

zDInputModule zDInput;

namespace {

bool SameText(const std::string& a, const std::string& b) { return a.size() == b.size() && UCase(a) == UCase(b); }

void CheckOpen(const InputDeviceObject& d) {
    if (d.Released) Raise(errObjectNotSet);
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
        // system opens whenever there is a window system; the enumeration
        // list is filled once.
        if (NoInputSystem) Raise(errInvalidCall, "No input system");
        DInput = true;
        if (Attached.empty()) Attached = SystemDevices();
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
    MouseButtons.fill(false);
    LastKeys = Keys;
    LastMouseButtons = MouseButtons;
}

void zDInputModule::SetKey(int32_t code, bool down) {
    if (code >= 0 && code < int32_t(Keys.size())) Keys[size_t(code)] = down;
}

void zDInputModule::SetMouseButton(int32_t button, bool down) {
    if (button >= 0 && button < int32_t(MouseButtons.size())) MouseButtons[size_t(button)] = down;
}

}  // namespace zun
