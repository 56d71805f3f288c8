#include "platform/win/VirtualKeys.h"

#include <SDL.h>

WORD VirtualKeyFromKeycode(std::int32_t Keycode) {
    // Letters and digits: the platform's codes are the upper-case ASCII ones.
    if (Keycode >= SDLK_a && Keycode <= SDLK_z)
        return static_cast<WORD>('A' + (Keycode - SDLK_a));
    if (Keycode >= SDLK_0 && Keycode <= SDLK_9)
        return static_cast<WORD>(Keycode);
    if (Keycode >= SDLK_F1 && Keycode <= SDLK_F12)
        return static_cast<WORD>(VK_F1 + (Keycode - SDLK_F1));
    if (Keycode >= SDLK_KP_1 && Keycode <= SDLK_KP_9)
        return static_cast<WORD>(VK_NUMPAD0 + 1 + (Keycode - SDLK_KP_1));
    switch (Keycode) {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_PAUSE:
        return VK_PAUSE;
    case SDLK_CAPSLOCK:
        return VK_CAPITAL;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_END:
        return VK_END;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_KP_0:
        return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY:
        return VK_MULTIPLY;
    case SDLK_KP_PLUS:
        return VK_ADD;
    case SDLK_KP_MINUS:
        return VK_SUBTRACT;
    case SDLK_KP_PERIOD:
        return VK_DECIMAL;
    case SDLK_KP_DIVIDE:
        return VK_DIVIDE;
    default:
        return 0;
    }
}

TShiftState ShiftStateFromKeymod(std::uint16_t Keymod) {
    TShiftState Shift = 0;
    if (Keymod & KMOD_SHIFT)
        Shift |= ssShift;
    if (Keymod & KMOD_ALT)
        Shift |= ssAlt;
    if (Keymod & KMOD_CTRL)
        Shift |= ssCtrl;
    return Shift;
}
