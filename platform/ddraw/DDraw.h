#pragma once
// Our DirectDraw 7 stand-in: the two interfaces the display layer uses, the
// surface description, the constants and result codes (values as on the
// original platform), the creation entry point and the error texts.
//
// Contract:
// - Callers: the display layer (TDisplay, TSurface, the picture loader), on
//   the main thread only. Nothing here locks.
// - Ownership: objects are reference-counted. A call that hands out an
//   interface (DirectDrawCreateEx, CreateSurface, GetAttachedSurface) gives
//   the caller one reference of its own; ComPtr holds it. On failure the out
//   pointer is set to null.
// - The SDL implementation (DDrawSdl.cpp) behind DirectDrawCreateEx:
//   * HWND is an SDL window ID. DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN puts that
//     window in desktop full-screen, also moves and sizes it to the whole
//     display (for X servers without a window manager) and shows it: the
//     screen is ours, shown or not. DDSCL_NORMAL gives the window back its own
//     size and place (it stays shown). Only one object of the process can
//     be exclusive at a time. Releasing the last reference to an exclusive
//     object leaves exclusive mode as DDSCL_NORMAL does.
//   * SetDisplayMode sets the picture size and depth: 16 (RGB565) or 32 bits
//     (XRGB8888); other depths answer DDERR_INVALIDMODE. No real mode switch:
//     the picture is shown at the largest size that keeps its aspect,
//     letterboxed. Before any mode is set surfaces are 32 bits.
//   * Surfaces are system-memory pixel buffers in the display's format made
//     when the surface is created. A primary surface needs exclusive mode and
//     exactly one back buffer (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP |
//     DDSCAPS_COMPLEX, DDSD_BACKBUFFERCOUNT 1); Flip swaps front and back and
//     presents the new front, so the back buffer then holds the previous
//     picture. Off-screen surfaces (DDSCAPS_OFFSCREENPLAIN) need a width and
//     a height.
//   * Focus: an SDL event watch, installed while an object is exclusive,
//     sees SDL_WINDOWEVENT_FOCUS_LOST for the exclusive window and marks the
//     flipping chain lost; the event loop needs to do nothing. A lost chain
//     answers DDERR_SURFACELOST (Flip, BltFast, GetDC) until Restore, which
//     gives the memory back cleared, without the picture. Off-screen surfaces
//     are never lost.
//   * BltFast copies at the source's own size; what reaches past the
//     destination is clipped off; a destination point outside the surface
//     answers DDERR_INVALIDRECT. No colour keys (DDERR_UNSUPPORTED).
//   * GetDC hands out a drawing-layer device context on the surface's pixels
//     (platform/gdi/SurfaceDC.h), one at a time; until ReleaseDC the surface
//     answers DDERR_SURFACEBUSY to BltFast and Flip, and to Restore when lost.
//   * Descriptions whose dwSize is not 124 answer DDERR_INVALIDPARAMS.
//   * Leaving exclusive mode loses a chain still held for good (Restore:
//     DDERR_NOEXCLUSIVEMODE). A mode change while a chain is out answers
//     DDERR_UNSUPPORTED. Release the chain before destroying its window: SDL 2
//     cannot free a renderer after its window, so one left behind is leaked
//     and Flip answers DDERR_GENERIC.
//   * Presenting uses SDL's software renderer (fastest under Xvfb, see
//     bench/display); SDL_RENDER_DRIVER picks another.
#include "platform/ddraw/ComPtr.h"
#include "platform/win/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>

struct PixelBuffer;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
constexpr bool operator==(const GUID& A, const GUID& B) {
    if (A.Data1 != B.Data1 || A.Data2 != B.Data2 || A.Data3 != B.Data3)
        return false;
    for (int I = 0; I < 8; ++I)
        if (A.Data4[I] != B.Data4[I])
            return false;
    return true;
}

// {15E65EC0-3B9C-11D2-B92F-00609797EA5B}
inline constexpr GUID IID_IDirectDraw7 = {
    0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

// Base of every interface here: reference counting only. The object deletes
// itself when its last reference is released.
class IUnknown {
public:
    virtual DWORD AddRef() = 0;
    virtual DWORD Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

struct DDSCAPS2 {
    DWORD dwCaps = 0;
    DWORD dwCaps2 = 0;
    DWORD dwCaps3 = 0;
    DWORD dwCaps4 = 0;
};
static_assert(sizeof(DDSCAPS2) == 16);

struct DDPIXELFORMAT {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwFourCC = 0;
    DWORD dwRGBBitCount = 0;
    DWORD dwRBitMask = 0;
    DWORD dwGBitMask = 0;
    DWORD dwBBitMask = 0;
    DWORD dwRGBAlphaBitMask = 0;
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

// The surface description, 124 bytes with the pixel format and the
// capabilities at their original offsets (72 and 104). Fields we never use
// are kept as reserved space. Value-initialised it is all zero.
struct DDSURFACEDESC2 {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwHeight = 0;
    DWORD dwWidth = 0;
    LONG lPitch = 0;
    DWORD dwBackBufferCount = 0;
    DWORD dwUnused1[12] = {};
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwUnused2 = 0;
};
static_assert(sizeof(DDSURFACEDESC2) == 124);
static_assert(offsetof(DDSURFACEDESC2, ddpfPixelFormat) == 72);
static_assert(offsetof(DDSURFACEDESC2, ddsCaps) == 104);

// DDSURFACEDESC2::dwFlags: which fields are valid.
constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;

// DDSCAPS2::dwCaps.
constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
constexpr DWORD DDSCAPS_FLIP = 0x00000010;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x00000020;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;
constexpr DWORD DDSCAPS_3DDEVICE = 0x00002000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;

// DDPIXELFORMAT::dwFlags.
constexpr DWORD DDPF_FOURCC = 0x00000004;
constexpr DWORD DDPF_RGB = 0x00000040;

// SetCooperativeLevel.
constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_NORMAL = 0x00000008;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;

// BltFast transfer flags.
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x00000000;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x00000001;
constexpr DWORD DDBLTFAST_DESTCOLORKEY = 0x00000002;
constexpr DWORD DDBLTFAST_WAIT = 0x00000010;
constexpr DWORD DDBLTFAST_DONOTWAIT = 0x00000020;

// Flip flags.
constexpr DWORD DDFLIP_WAIT = 0x00000001;
constexpr DWORD DDFLIP_NOVSYNC = 0x00000008;
constexpr DWORD DDFLIP_DONOTWAIT = 0x00000020;

// Result codes.
constexpr HRESULT MakeDDResult(std::uint32_t Code) {
    return MakeResult(0x88760000u | Code);
}
constexpr HRESULT DD_OK = S_OK;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DDERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DDERR_INVALIDCAPS = MakeDDResult(100);
constexpr HRESULT DDERR_INVALIDMODE = MakeDDResult(120);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeDDResult(130);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDDResult(145);
constexpr HRESULT DDERR_INVALIDRECT = MakeDDResult(150);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = MakeDDResult(212);
constexpr HRESULT DDERR_NODIRECTDRAWSUPPORT = MakeDDResult(222);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = MakeDDResult(225);
constexpr HRESULT DDERR_NOTFOUND = MakeDDResult(255);
constexpr HRESULT DDERR_SURFACEBUSY = MakeDDResult(430);
constexpr HRESULT DDERR_SURFACELOST = MakeDDResult(450);
constexpr HRESULT DDERR_WASSTILLDRAWING = MakeDDResult(540);
constexpr HRESULT DDERR_INVALIDDIRECTDRAWGUID = MakeDDResult(561);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDDResult(564);
constexpr HRESULT DDERR_HWNDALREADYSET = MakeDDResult(571);
constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = MakeDDResult(581);
constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDDResult(582);
constexpr HRESULT DDERR_CANTCREATEDC = MakeDDResult(585);
constexpr HRESULT DDERR_NODC = MakeDDResult(586);
constexpr HRESULT DDERR_DCALREADYCREATED = MakeDDResult(620);

class IDirectDrawSurface7 : public IUnknown {
public:
    // The attached surface whose capabilities include all of Caps->dwCaps
    // (the front buffer's back buffer). DDERR_NOTFOUND when there is none.
    virtual HRESULT GetAttachedSurface(DDSCAPS2* Caps, IDirectDrawSurface7** Surface) = 0;
    // Copies Source (all of it, or SourceRect of it) to (X, Y), unscaled.
    virtual HRESULT BltFast(DWORD X, DWORD Y, IDirectDrawSurface7* Source, const RECT* SourceRect,
                            DWORD Flags) = 0;
    // On a front buffer only: swaps it with its back buffer and shows it.
    virtual HRESULT Flip(IDirectDrawSurface7* Target, DWORD Flags) = 0;
    // Gives lost surface memory back (without its picture); DD_OK when not lost.
    virtual HRESULT Restore() = 0;
    // Fills a description (dwSize 124) with every field.
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* Desc) = 0;
    // A device context drawing onto the pixels; one at a time.
    virtual HRESULT GetDC(HDC* Dc) = 0;
    virtual HRESULT ReleaseDC(HDC Dc) = 0;
};

class IDirectDraw7 : public IUnknown {
public:
    virtual HRESULT SetCooperativeLevel(HWND Window, DWORD Flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD Width, DWORD Height, DWORD BitsPerPixel, DWORD RefreshRate,
                                   DWORD Flags) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC2* Desc, IDirectDrawSurface7** Surface,
                                  IUnknown* Outer) = 0;
};

// Creates the DirectDraw object. Driver must be null (the active display:
// else DDERR_INVALIDDIRECTDRAWGUID), Iid IID_IDirectDraw7 and Outer null
// (else DDERR_INVALIDPARAMS). DDERR_NODIRECTDRAWSUPPORT when SDL's video
// cannot start.
HRESULT DirectDrawCreateEx(const GUID* Driver, IDirectDraw7** DirectDraw, const GUID& Iid,
                           IUnknown* Outer);

// Test seam: while a factory is set, DirectDrawCreateEx hands its arguments
// to it unchanged and returns its result. An empty function puts the SDL
// implementation back. Returns the factory set before.
using DirectDrawFactory = std::function<HRESULT(const GUID* Driver, IDirectDraw7** DirectDraw,
                                                const GUID& Iid, IUnknown* Outer)>;
DirectDrawFactory SetDirectDrawFactory(DirectDrawFactory Factory);

// The English text of a result code: "Generic failure." for E_FAIL, a text for
// every code above, "Unrecognized Error" for any other.
const char* DirectDrawErrorText(HRESULT Result);

// For tests and benchmarks: a view of the current memory of a surface made by
// the SDL implementation (valid until its next Flip, Restore or last Release).
// false for any other surface.
bool DirectDrawSurfacePixels(IDirectDrawSurface7* Surface, PixelBuffer* Pixels);
