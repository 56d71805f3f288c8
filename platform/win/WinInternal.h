#pragma once
// What the parts of platform/win share among themselves (not for users).
// The framework's own message kinds in SDL's event queue are registered with
// SDL once, on first use, from any thread.
#include <cstdint>

// A tick handed over by a timer's worker: user.data1 is the timer's number,
// user.data2 the tick's sequence number.
std::uint32_t TickMessage();
// The application's quit request.
std::uint32_t QuitMessage();

// Puts the mouse cursor in the state the display counter says (ShowCursor);
// the application calls it once the video is up. Main thread.
void ApplyCursorCounter();
