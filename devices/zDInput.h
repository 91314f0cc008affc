// Input devices: the table of opened devices (the system keyboard, the system
// mouse and anything else added by instance GUID text) and the key, button and
// mouse state that the main window's events write and the game reads.
//
// The state is never polled from a device: the window events are the only
// writers. The device table is kept for what the rest of the program asks of
// it (indices, GUID texts, types, axis modes); the devices behind it are small
// objects of our own that record the settings made on them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zun {

// One attached device as enumeration reports it.
struct InputDeviceInstance {
    std::string GuidInstance;  // "GUID_SysKeyboard", "GUID_SysMouse", ...
    int32_t DevType = 0;       // low byte: 18 mouse, 19 keyboard, others joystick-like
    std::string ProductName;
    // The device's objects: type GUID text and object flags.
    struct Object {
        std::string GuidType;  // "GUID_XAxis", "GUID_YAxis", "GUID_Button", ...
        int32_t Flags = 0;     // bit 1 absolute axis, bit 2 relative axis, bit 4 button
    };
    std::vector<Object> Objects;
    // Capabilities device-type value; bit 256 marks a device with axes worth looking at.
    int32_t CapsDevType = 0;
};

// An opened device: what was set on it.
struct InputDeviceObject {
    std::shared_ptr<const InputDeviceInstance> Instance;
    int32_t DataFormat = 0;        // 1 keyboard, 2 mouse, 3 joystick
    int32_t CooperativeLevel = 0;  // 1 exclusive or 2 non-exclusive, with 4 foreground
    bool Acquired = false;
    bool Released = false;
    int32_t RangeMin = 0, RangeMax = 0;
    std::array<int32_t, 2> DeadZone{};    // X, Y in 1/10000 of the range
    std::array<int32_t, 2> Saturation{};  // X, Y

    void Unacquire();
    void Release();
    void SetProperty(const std::string& property, int32_t offset, int32_t a, int32_t b = 0);
};

struct InputDeviceRecord {
    bool Enabled = false;
    std::string GUID;       // instance GUID text
    int32_t DevType = 0;    // low byte of the instance's device type
    std::string Product;
    uint8_t AxisMode = 0;   // 0 no X/Y axes, 1 only one of them, 2 both
    std::shared_ptr<InputDeviceObject> Device;
    std::shared_ptr<const InputDeviceInstance> Instance;
};

struct zDInputModule {
    bool DInput = false;      // the input system is open
    intptr_t hWnd = 0;        // window every device's cooperative level is set for
    int32_t DeviceCount = 0;
    std::vector<InputDeviceRecord> Devices{1};  // 1..DeviceCount; entry 0 unused

    std::array<bool, 256> Keys{};
    std::array<bool, 8> MouseButtons{};
    std::array<bool, 256> LastKeys{};
    std::array<bool, 8> LastMouseButtons{};
    // Per key since the last frame: 1 went down, 2 went down and up again,
    // 3 the same and shown as down until the frame is over.
    std::array<uint8_t, 256> KeyTaps{};
    float MouseX = 0, MouseY = 0, MouseZ = 0;
    float MouseDX = 0, MouseDY = 0, MouseDZ = 0;

    // The devices enumeration finds: the system keyboard and mouse, and every
    // joystick plugged in (UpdateAttachedDevices keeps the list current).
    std::vector<std::shared_ptr<const InputDeviceInstance>> Attached;
    bool JoysticksStarted = false;
    // The window system offers no input: the input system cannot open. Input
    // here is the window's own events, so only tests set this.
    bool NoInputSystem = false;

    bool DInput_Initialize(intptr_t hWnd);
    void DInput_Release();
    int32_t AddInputDevice(const std::string& GUIDText, bool Exclusive);
    int32_t FindInputDevice(const std::string& GUIDText) const;
    std::shared_ptr<const InputDeviceInstance> FindDeviceInstance(const std::string& GUIDText) const;
    void RemoveInputDevice(int32_t Index);
    void ResetKeyStates();
    int32_t FindJoystickAxes(InputDeviceObject& Device) const;
    void SetJoystickRange(InputDeviceObject& Device);

    // Key and button state written by the window events; codes out of range are ignored.
    void SetKey(int32_t code, bool down);
    // A key that went down since the last frame and was let go before the
    // next one shows as down again until that frame has polled the keys: the
    // frames of a slow machine come further apart than a quick tap lasts.
    // The frame calls ShowKeyTaps before it polls and KeysPolled after.
    void ShowKeyTaps();
    void KeysPolled();
    void SetMouseButton(int32_t button, bool down);

    // Lists the system devices and the joysticks attached now; an opened
    // joystick that is gone is removed from the device table. The window calls
    // this when a device is plugged in or out.
    void UpdateAttachedDevices();

    // The system keyboard and mouse as enumeration lists them.
    static std::vector<std::shared_ptr<const InputDeviceInstance>> SystemDevices();
};
extern zDInputModule zDInput;

}  // namespace zun
