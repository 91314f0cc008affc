// SDL keys and mouse buttons in the numbers the game reads: virtual-key codes
// (A = 65, F1 = 112, left arrow = 37, Enter = 13, number pad + = 107...) and
// button bits (1 left, 2 right, 4 middle, 8 and 16 the side buttons).
#pragma once

#include <cstdint>

namespace zun {

namespace VK {
enum : int32_t {
    Back = 8, Tab = 9, Clear = 12, Return = 13, Shift = 16, Control = 17, Menu = 18, Pause = 19, Capital = 20,
    Escape = 27, Space = 32, Prior = 33, Next = 34, End = 35, Home = 36, Left = 37, Up = 38, Right = 39,
    Down = 40, Snapshot = 44, Insert = 45, Delete = 46, LWin = 91, RWin = 92, Apps = 93,
    Numpad0 = 96, Multiply = 106, Add = 107, Separator = 108, Subtract = 109, Decimal = 110, Divide = 111,
    F1 = 112, F12 = 123, F24 = 135, NumLock = 144, Scroll = 145,
    Oem1 = 186, OemPlus = 187, OemComma = 188, OemMinus = 189, OemPeriod = 190, Oem2 = 191, Oem3 = 192,
    Oem4 = 219, Oem5 = 220, Oem6 = 221, Oem7 = 222, Oem102 = 226
};
}

// Virtual-key code of an SDL key (SDL_Keycode and SDL_Scancode as plain
// numbers); 0 for keys the game has no number for. Letters and digits come
// from the layout's key code and, when that is not a Latin letter or digit,
// from the key's position.
int32_t VirtualKeyFromSdl(int32_t sdlKeycode, int32_t sdlScancode);

// The bit of one SDL mouse button (SDL_BUTTON_LEFT...), 0 for unknown ones.
int32_t ButtonBitFromSdl(int32_t sdlButton);
// The held buttons of an SDL button-state mask, added up as bits.
int32_t ButtonMaskFromSdl(uint32_t sdlState);
// Shift bits (1 Shift, 2 Ctrl, 4 Alt) of an SDL modifier set.
int32_t ShiftMaskFromSdl(uint32_t sdlMod);

}  // namespace zun
