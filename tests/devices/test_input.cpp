// The input device table and the state arrays.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include "core/zCore.h"
#include "devices/zDInput.h"
#include "platform/Window.h"
#include "support/TestSupport.h"

namespace zun::test {
namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override { zDInput = zDInputModule{}; }
    void TearDown() override { zDInput = zDInputModule{}; }

    std::shared_ptr<InputDeviceInstance> Joystick(const std::string& guid,
                                                  std::vector<InputDeviceInstance::Object> objects) {
        auto j = std::make_shared<InputDeviceInstance>();
        j->GuidInstance = guid;
        j->DevType = 0x114;
        j->CapsDevType = 0x114;
        j->ProductName = "Stick " + guid;
        j->Objects = std::move(objects);
        zDInput.Attached.push_back(j);
        return j;
    }
};

TEST_F(Input, InitialisingOpensKeyboardAndMouse) {
    LogCapture log;
    zDInput.Keys[65] = true;
    ASSERT_TRUE(zDInput.DInput_Initialize(42));
    EXPECT_TRUE(log.Contains("OK\tDInput_Initialize"));
    EXPECT_EQ(zDInput.hWnd, 42);
    ASSERT_EQ(zDInput.DeviceCount, 2);
    const auto& kb = zDInput.Devices[1];
    EXPECT_TRUE(kb.Enabled);
    EXPECT_EQ(kb.GUID, "GUID_SysKeyboard");
    EXPECT_EQ(kb.DevType, 19);
    EXPECT_EQ(kb.Device->DataFormat, 1);
    EXPECT_EQ(kb.Device->CooperativeLevel, 2 | 4);
    EXPECT_EQ(kb.AxisMode, 0);
    const auto& mouse = zDInput.Devices[2];
    EXPECT_EQ(mouse.DevType, 18);
    EXPECT_EQ(mouse.Device->DataFormat, 2);
    EXPECT_FALSE(zDInput.Keys[65]);
}

TEST_F(Input, DevicesAreFoundWithoutRegardToCaseAndAddedOnce) {
    zDInput.DInput_Initialize(1);
    EXPECT_EQ(zDInput.FindInputDevice("guid_syskeyboard"), 1);
    EXPECT_EQ(zDInput.AddInputDevice("GUID_SYSMOUSE", true), 2);
    EXPECT_EQ(zDInput.DeviceCount, 2);
    EXPECT_EQ(zDInput.AddInputDevice("GUID_NoSuchThing", false), 0);
    EXPECT_EQ(zDInput.FindDeviceInstance("GUID_NoSuchThing"), nullptr);
    EXPECT_EQ(zDInput.FindInputDevice("GUID_NoSuchThing"), 0);
}

TEST_F(Input, JoysticksGetTheirRangeAndAxisMode) {
    zDInput.DInput_Initialize(1);
    Joystick("J2", {{"GUID_XAxis", 1}, {"GUID_YAxis", 1}, {"GUID_Button", 4}});
    Joystick("J1", {{"GUID_YAxis", 1}, {"GUID_XAxis", 2}});  // a relative X does not count
    Joystick("J0", {{"GUID_Button", 4}});
    int32_t j2 = zDInput.AddInputDevice("j2", true);
    int32_t j1 = zDInput.AddInputDevice("J1", false);
    int32_t j0 = zDInput.AddInputDevice("J0", false);
    ASSERT_EQ(j2, 3);
    EXPECT_EQ(zDInput.Devices[size_t(j2)].AxisMode, 2);
    EXPECT_EQ(zDInput.Devices[size_t(j1)].AxisMode, 1);
    EXPECT_EQ(zDInput.Devices[size_t(j0)].AxisMode, 0);
    const auto& dev = *zDInput.Devices[size_t(j2)].Device;
    EXPECT_EQ(dev.DataFormat, 3);
    EXPECT_EQ(dev.CooperativeLevel, 1 | 4);
    EXPECT_EQ(dev.RangeMin, 0);
    EXPECT_EQ(dev.RangeMax, 10000);
    EXPECT_EQ(dev.DeadZone[0], 800);
    EXPECT_EQ(dev.DeadZone[1], 800);
    EXPECT_EQ(dev.Saturation[1], 9500);
}

TEST_F(Input, AJoystickPluggedInIsListedAndGoesWhenPulledOut) {
    ASSERT_TRUE(zDInput.DInput_Initialize(1));
    if (!zDInput.JoysticksStarted) GTEST_SKIP() << "no joystick service on this machine";
    const size_t before = zDInput.Attached.size();
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 2;
    desc.nbuttons = 3;
    desc.name = "Test Pad \xC3\xA9";  // UTF-8
    const int slot = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(slot, 0) << SDL_GetError();
    auto heard = [] {
        SDL_PumpEvents();
        SDL_Event e;
        WindowEvent w;
        bool any = false;
        while (SDL_PollEvent(&e)) any = (TranslateSdlEvent(e, w) && w.Type == WindowEventType::DevicesChanged) || any;
        return any;
    };
    EXPECT_TRUE(heard());
    zDInput.UpdateAttachedDevices();
    ASSERT_EQ(zDInput.Attached.size(), before + 1);
    const auto stick = zDInput.Attached.back();
    EXPECT_EQ(stick->ProductName, "Test Pad \xE9");  // Windows-1252
    EXPECT_EQ(stick->GuidInstance.size(), 38u);
    EXPECT_EQ(stick->GuidInstance.front(), '{');
    const int32_t index = zDInput.AddInputDevice(stick->GuidInstance, false);
    ASSERT_EQ(index, 3);
    EXPECT_EQ(zDInput.Devices[3].DevType, 21);
    EXPECT_EQ(zDInput.Devices[3].AxisMode, 2);
    EXPECT_EQ(zDInput.Devices[3].Device->DataFormat, 3);

    ASSERT_EQ(SDL_JoystickDetachVirtual(slot), 0);
    EXPECT_TRUE(heard());
    zDInput.UpdateAttachedDevices();
    EXPECT_EQ(zDInput.Attached.size(), before);
    EXPECT_EQ(zDInput.DeviceCount, 2);
    EXPECT_EQ(zDInput.FindInputDevice(stick->GuidInstance), 0);
    zDInput.DInput_Release();
}

TEST_F(Input, StartingAgainListsThePadsPluggedInMeanwhile) {
    // Held by the test, so that the virtual pads outlive the input system's
    // own hold on the joystick service.
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) GTEST_SKIP() << "no joystick service on this machine";
    auto attach = [](const char* name) {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = 2;
        desc.name = name;
        return SDL_JoystickAttachVirtualEx(&desc);
    };
    // Device indexes move as pads come and go: look the pad up by name.
    auto detach = [](const std::string& name) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (const char* n = SDL_JoystickNameForIndex(i); n && name == n) return SDL_JoystickDetachVirtual(i);
        return -1;
    };
    auto listed = [](const std::string& name) {
        for (const auto& inst : zDInput.Attached)
            if (inst->ProductName == name) return inst->GuidInstance;
        return std::string();
    };
    const int gone = attach("Pad Gone");
    ASSERT_GE(gone, 0) << SDL_GetError();
    ASSERT_TRUE(zDInput.DInput_Initialize(1));
    const std::string goneGuid = listed("Pad Gone");
    ASSERT_FALSE(goneGuid.empty());
    zDInput.DInput_Release();

    // While released no device-change event is heard.
    ASSERT_EQ(detach("Pad Gone"), 0);
    const int come = attach("Pad Come");
    ASSERT_GE(come, 0) << SDL_GetError();
    ASSERT_TRUE(zDInput.DInput_Initialize(1));
    EXPECT_EQ(listed("Pad Gone"), "");
    EXPECT_EQ(zDInput.AddInputDevice(goneGuid, false), 0) << "an unplugged pad cannot be added";
    const std::string comeGuid = listed("Pad Come");
    ASSERT_FALSE(comeGuid.empty()) << "a pad plugged in while released is listed";
    EXPECT_EQ(zDInput.AddInputDevice(comeGuid, false), 3);
    EXPECT_EQ(zDInput.DeviceCount, 3);

    zDInput.DInput_Release();
    EXPECT_EQ(detach("Pad Come"), 0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

TEST_F(Input, RemovingMovesTheLastDeviceIntoTheHole) {
    zDInput.DInput_Initialize(1);
    Joystick("J", {});
    ASSERT_EQ(zDInput.AddInputDevice("J", false), 3);
    auto keyboard = zDInput.Devices[1].Device;
    zDInput.RemoveInputDevice(0);
    zDInput.RemoveInputDevice(4);
    EXPECT_EQ(zDInput.DeviceCount, 3);
    zDInput.RemoveInputDevice(1);
    EXPECT_EQ(zDInput.DeviceCount, 2);
    EXPECT_EQ(zDInput.Devices[1].GUID, "J");
    EXPECT_EQ(zDInput.Devices[2].GUID, "GUID_SysMouse");
    EXPECT_TRUE(keyboard->Released);
    zDInput.DInput_Release();
    EXPECT_EQ(zDInput.DeviceCount, 0);
    EXPECT_EQ(zDInput.FindInputDevice("J"), 0);
}

TEST_F(Input, ResetClearsEveryKeyAndButtonAndTheirCopies) {
    zDInput.SetKey(87, true);
    zDInput.SetKey(300, true);  // no such key: ignored
    zDInput.SetMouseButton(1, true);
    zDInput.SetMouseButton(-1, true);
    zDInput.LastKeys[13] = true;
    zDInput.LastMouseButtons[2] = true;
    EXPECT_TRUE(zDInput.Keys[87]);
    EXPECT_TRUE(zDInput.MouseButtons[1]);
    zDInput.ResetKeyStates();
    for (bool k : zDInput.Keys) EXPECT_FALSE(k);
    for (bool k : zDInput.LastKeys) EXPECT_FALSE(k);
    for (bool b : zDInput.MouseButtons) EXPECT_FALSE(b);
    for (bool b : zDInput.LastMouseButtons) EXPECT_FALSE(b);
}

}  // namespace
}  // namespace zun::test
