#pragma once
// Virtual-key codes and the modifier state that key handlers receive.
// Header only apart from the key translation; no SDL in this header.
//
// The message loop translates each SDL key press into a virtual-key code
// (VirtualKeyFromKeycode) before a form's key handler sees it; keys that have
// no code here are not passed on at all.
#include "platform/win/WinTypes.h"

#include <cstdint>

constexpr WORD VK_BACK = 0x08;
constexpr WORD VK_TAB = 0x09;
constexpr WORD VK_RETURN = 0x0D;
constexpr WORD VK_SHIFT = 0x10;
constexpr WORD VK_CONTROL = 0x11;
constexpr WORD VK_MENU = 0x12; // Alt
constexpr WORD VK_PAUSE = 0x13;
constexpr WORD VK_CAPITAL = 0x14;
constexpr WORD VK_ESCAPE = 0x1B;
constexpr WORD VK_SPACE = 0x20;
constexpr WORD VK_PRIOR = 0x21; // Page Up
constexpr WORD VK_NEXT = 0x22;  // Page Down
constexpr WORD VK_END = 0x23;
constexpr WORD VK_HOME = 0x24;
constexpr WORD VK_LEFT = 0x25;
constexpr WORD VK_UP = 0x26;
constexpr WORD VK_RIGHT = 0x27;
constexpr WORD VK_DOWN = 0x28;
constexpr WORD VK_INSERT = 0x2D;
constexpr WORD VK_DELETE = 0x2E;
// '0'..'9' and 'A'..'Z' are their own ASCII codes.
constexpr WORD VK_NUMPAD0 = 0x60; // VK_NUMPAD1..9 follow
constexpr WORD VK_MULTIPLY = 0x6A;
constexpr WORD VK_ADD = 0x6B;
constexpr WORD VK_SUBTRACT = 0x6D;
constexpr WORD VK_DECIMAL = 0x6E;
constexpr WORD VK_DIVIDE = 0x6F;
constexpr WORD VK_F1 = 0x70; // VK_F2..VK_F12 follow
constexpr WORD VK_F12 = 0x7B;

// Modifier keys held with a key press (a set of flags, as the platform's
// set type was).
using TShiftState = std::uint8_t;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;

// The virtual-key code of an SDL key code (SDL_Keycode's value), or 0 for a
// key without one.
WORD VirtualKeyFromKeycode(std::int32_t Keycode);

// The modifier flags of an SDL key modifier mask (SDL_Keymod's value).
TShiftState ShiftStateFromKeymod(std::uint16_t Keymod);
