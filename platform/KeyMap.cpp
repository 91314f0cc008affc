#include "platform/KeyMap.h"

#include <SDL2/SDL.h>

namespace zun {

namespace {

int32_t FromScancode(int32_t sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc == SDL_SCANCODE_0) return '0';
    switch (sc) {
    case SDL_SCANCODE_SEMICOLON: return VK::Oem1;
    case SDL_SCANCODE_EQUALS: return VK::OemPlus;
    case SDL_SCANCODE_COMMA: return VK::OemComma;
    case SDL_SCANCODE_MINUS: return VK::OemMinus;
    case SDL_SCANCODE_PERIOD: return VK::OemPeriod;
    case SDL_SCANCODE_SLASH: return VK::Oem2;
    case SDL_SCANCODE_GRAVE: return VK::Oem3;
    case SDL_SCANCODE_LEFTBRACKET: return VK::Oem4;
    case SDL_SCANCODE_BACKSLASH: return VK::Oem5;
    case SDL_SCANCODE_RIGHTBRACKET: return VK::Oem6;
    case SDL_SCANCODE_APOSTROPHE: return VK::Oem7;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK::Oem102;
    default: return 0;
    }
}

}  // namespace

int32_t VirtualKeyFromSdl(int32_t key, int32_t scancode) {
    if (key >= 'a' && key <= 'z') return key - 'a' + 'A';
    if (key >= '0' && key <= '9') return key;
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK::F1 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return VK::F1 + 12 + (key - SDLK_F13);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK::Numpad0 + 1 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_BACKSPACE: return VK::Back;
    case SDLK_TAB: return VK::Tab;
    case SDLK_CLEAR: return VK::Clear;
    case SDLK_RETURN:
    case SDLK_RETURN2:
    case SDLK_KP_ENTER: return VK::Return;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK::Shift;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK::Control;
    case SDLK_LALT:
    case SDLK_RALT: return VK::Menu;
    case SDLK_PAUSE: return VK::Pause;
    case SDLK_CAPSLOCK: return VK::Capital;
    case SDLK_ESCAPE: return VK::Escape;
    case SDLK_SPACE: return VK::Space;
    case SDLK_PAGEUP: return VK::Prior;
    case SDLK_PAGEDOWN: return VK::Next;
    case SDLK_END: return VK::End;
    case SDLK_HOME: return VK::Home;
    case SDLK_LEFT: return VK::Left;
    case SDLK_UP: return VK::Up;
    case SDLK_RIGHT: return VK::Right;
    case SDLK_DOWN: return VK::Down;
    case SDLK_PRINTSCREEN: return VK::Snapshot;
    case SDLK_INSERT: return VK::Insert;
    case SDLK_DELETE: return VK::Delete;
    case SDLK_LGUI: return VK::LWin;
    case SDLK_RGUI: return VK::RWin;
    case SDLK_APPLICATION: return VK::Apps;
    case SDLK_KP_0: return VK::Numpad0;
    case SDLK_KP_MULTIPLY: return VK::Multiply;
    case SDLK_KP_PLUS: return VK::Add;
    case SDLK_KP_MINUS: return VK::Subtract;
    case SDLK_KP_PERIOD:
    case SDLK_KP_DECIMAL: return VK::Decimal;
    case SDLK_KP_DIVIDE: return VK::Divide;
    case SDLK_NUMLOCKCLEAR: return VK::NumLock;
    case SDLK_SCROLLLOCK: return VK::Scroll;
    default: break;
    }
    // Punctuation and letters of layouts whose key codes are not Latin:
    // fall back to the key's position on a US keyboard.
    return FromScancode(scancode);
}

int32_t ButtonBitFromSdl(int32_t sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    case SDL_BUTTON_X1: return 8;
    case SDL_BUTTON_X2: return 16;
    default: return 0;
    }
}

int32_t ButtonMaskFromSdl(uint32_t state) {
    int32_t m = 0;
    if (state & SDL_BUTTON_LMASK) m |= 1;
    if (state & SDL_BUTTON_RMASK) m |= 2;
    if (state & SDL_BUTTON_MMASK) m |= 4;
    if (state & SDL_BUTTON_X1MASK) m |= 8;
    if (state & SDL_BUTTON_X2MASK) m |= 16;
    return m;
}

int32_t ShiftMaskFromSdl(uint32_t mod) {
    int32_t m = 0;
    if (mod & KMOD_SHIFT) m |= 1;
    if (mod & KMOD_CTRL) m |= 2;
    if (mod & KMOD_ALT) m |= 4;
    return m;
}

}  // namespace zun
