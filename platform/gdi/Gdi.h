#pragma once
// Drawing-layer stand-in: the few drawing calls the display code and the
// picture classes make, on pixel memory of our own. No SDL.
//
// Callers: TSurface (bitmap and text painting onto a surface's device
// context), the DirectDraw stand-in (surface device contexts, through
// SurfaceDC.h) and TBitmap (device-independent bitmaps). Main thread only:
// the handle table has no lock.
//
// Handles are checked numbers from one handle table (object kind, slot and
// generation), never pointers: 0, a made-up value such as the font value 1,
// a handle of the wrong kind or one already deleted is refused, and nothing
// changes. A slot is reused only after many others were freed, and then with
// a new generation, so a stale handle is refused as well.
//
// Ownership: whoever creates an object deletes it (DeleteDC, DeleteObject).
// A bitmap is selected into at most one device context at a time and cannot
// be deleted while selected; deleting the context lets it go. Memory device
// contexts start with a built-in 1x1 monochrome bitmap that is never freed.
//
// Pixels: bitmaps are 8 bits per pixel with a palette or 24 bits per pixel
// (bytes blue, green, red), rows top-down, each row padded to 4 bytes as in
// every device-independent bitmap. Surfaces are RGB565 or XRGB8888. Colours
// reach 16-bit surfaces by truncation (r>>3, g>>2, b>>3), as the platform's
// own 16-bit drawing did, so white stays white and black black.
#include "platform/win/WinTypes.h"

// A bitmap's header as GetObjectA reports it. 32 bytes here (a pointer is 8
// bytes); a caller asking for the 24 bytes of the 32-bit layout receives
// every numeric field, bmBits excluded.
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes; // bytes from one row to the next
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits; // top row; null for the built-in monochrome bitmap
};

// One palette entry.
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// A memory device context. Dc 0 (or any live device context) gives one
// compatible with the screen; an unknown handle gives 0.
HDC CreateCompatibleDC(HDC Dc);

// Deletes a memory device context, letting its bitmap go. FALSE for anything
// else, including a surface's context (that one goes back through ReleaseDC).
BOOL DeleteDC(HDC Dc);

// Selects a bitmap into a memory device context and returns the bitmap held
// before. 0 when refused, nothing changed: Dc is no device context, Object is
// no bitmap (a font value, a device context, a deleted or made-up handle),
// Dc belongs to a surface (its pixels are the surface's own), or the bitmap
// is selected into another context.
HGDIOBJ SelectObject(HDC Dc, HGDIOBJ Object);

// Describes a bitmap: with Buffer null returns sizeof(BITMAP); otherwise
// copies min(Size, sizeof(BITMAP)) bytes of its BITMAP and returns that count.
// 0 for anything that is not a bitmap and for Size <= 0.
int GetObjectA(HGDIOBJ Object, int Size, void* Buffer);

// Deletes a bitmap. FALSE for anything else and for a bitmap still selected
// into a device context (it stays usable). The built-in bitmap is never
// deleted; asking answers TRUE.
BOOL DeleteObject(HGDIOBJ Object);

// A device-independent bitmap of Width x Height, zero-filled. BitsPerPixel 24
// ignores Colors; BitsPerPixel 8 needs 1..256 palette entries (pixel values
// past ColorCount show black). *Bits (if Bits is not null) receives the top
// row; GetObjectA gives the same address and the row pitch. 0 for any other
// combination, for sizes <= 0, past 2^31 - 1 bytes, or when memory is short.
HBITMAP CreateTopDownDIB(LONG Width, LONG Height, WORD BitsPerPixel, const RGBQUAD* Colors,
                         UINT ColorCount, void** Bits);

// Copies the source rectangle (Sx, Sy, Sw, Sh) of the bitmap selected into
// memory context Src over the rectangle (X, Y, W, H) of surface context Dst,
// nearest neighbour: destination pixel i takes source pixel
// S + floor((2i + 1) * Ss / (2 * D)), so a 1:1 copy is exact. The destination
// is clipped to the surface; destination pixels whose source lies outside the
// bitmap are left as they were. FALSE (nothing drawn) for a Rop other than
// SRCCOPY, sizes <= 0 (mirroring is not supported), or contexts of the wrong
// kind.
BOOL StretchBlt(HDC Dst, int X, int Y, int W, int H, HDC Src, int Sx, int Sy, int Sw, int Sh,
                DWORD Rop);

// Set the colour of the text's background box or of its glyphs; the previous
// colour, or CLR_INVALID for an unknown context. Defaults: white and black.
COLORREF SetBkColor(HDC Dc, COLORREF Colour);
COLORREF SetTextColor(HDC Dc, COLORREF Colour);

// Writes Length bytes of Text onto a surface context with the default font:
// 8x16 cells, top-left at (X, Y), the cells' box filled with the background
// colour and the glyphs in the text colour, clipped to the surface. Bytes
// are Latin-1; ones the font cannot show draw its replacement glyph. FALSE
// for a context that is not a surface's, a negative Length, or Text null with
// Length > 0; TRUE (nothing drawn) for Length 0.
BOOL TextOutA(HDC Dc, int X, int Y, const char* Text, int Length);
