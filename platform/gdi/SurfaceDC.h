#pragma once
// The bridge between a surface's pixel memory and the drawing layer: the
// DirectDraw stand-in hands out a device context drawing straight onto its
// pixels (GetDC) and takes it back (ReleaseDC). Main thread only.
#include "platform/win/WinTypes.h"

#include <cstdint>

struct PixelBuffer {
    std::uint8_t* Pixels = nullptr; // first row; owned by the surface
    int Width = 0;
    int Height = 0;
    int Pitch = 0;         // bytes from one row to the next
    int BitsPerPixel = 16; // 16: RGB565; 32: XRGB8888
};

// A device context drawing onto Buffer, with the default font, a white
// background and black text. 0 when Buffer is unusable. The pixels must
// stay valid until the context is released.
HDC CreateSurfaceDC(const PixelBuffer& Buffer);

// Gives a context from CreateSurfaceDC back; FALSE for any other value.
BOOL ReleaseSurfaceDC(HDC Dc);
