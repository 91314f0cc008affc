#include "platform/Joysticks.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace zun {

bool StartJoysticks() { return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0; }

void StopJoysticks() { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }

std::vector<JoystickInfo> ListJoysticks() {
    std::vector<JoystickInfo> list;
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return list;
    const int n = SDL_NumJoysticks();
    for (int i = 0; i < n; ++i) {
        JoystickInfo j;
        j.InstanceId = SDL_JoystickGetDeviceInstanceID(i);
        if (j.InstanceId < 0) continue;  // unplugged while we looked
        const char* name = SDL_JoystickNameForIndex(i);
        j.Name = name ? name : "Joystick";
        const SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(i);
        std::memcpy(j.Guid.data(), guid.data, j.Guid.size());
        const SDL_JoystickType type = SDL_JoystickGetDeviceType(i);
        j.Gamepad = type == SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        // The counts are known only to an opened device; it is closed again
        // at once, as nothing reads it.
        if (SDL_Joystick* stick = SDL_JoystickOpen(i)) {
            j.Axes = SDL_JoystickNumAxes(stick);
            j.Buttons = SDL_JoystickNumButtons(stick);
            SDL_JoystickClose(stick);
        }
        list.push_back(std::move(j));
    }
    return list;
}

}  // namespace zun
