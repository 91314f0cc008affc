// The joysticks SDL2 reports, for the input device list. Nothing reads their
// state: the game is played with keyboard and mouse.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zun {

struct JoystickInfo {
    int32_t InstanceId = 0;          // unique while the program runs
    std::string Name;                // UTF-8, as SDL2 gives it
    std::array<uint8_t, 16> Guid{};  // the model's GUID; two sticks of a model share it
    int32_t Axes = 0;
    int32_t Buttons = 0;
    bool Gamepad = false;
};

// Starts SDL2's joystick service (counted with StopJoysticks); false when
// there is none on this machine, and the list is then empty.
bool StartJoysticks();
void StopJoysticks();
std::vector<JoystickInfo> ListJoysticks();

}  // namespace zun
