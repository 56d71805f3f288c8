#pragma once
// The display layer: the one full-screen display (TDisplay) with its flipping
// chain, and off-screen pictures (TSurface) with bitmap and text painting.
// Main thread only. Every operation answers a result code and never throws.
#include "platform/ddraw/DDraw.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <memory>
#include <string>

// One off-screen picture in the display's pixel format.
class TSurface {
public:
    TSurface();
    virtual ~TSurface();

    // Replaces any held surface by one made on DD from Desc (passed on unchanged).
    HRESULT CreateSurface(IDirectDraw7* DD, DDSURFACEDESC2* Desc);
    // Stretches the part (X, Y, Width, Height) of Bitmap over the whole surface;
    // a Width or Height of 0 means the bitmap's own.
    HRESULT PaintBitmap(HBITMAP Bitmap, int32_t X, int32_t Y, int32_t Width, int32_t Height);
    // One line of text, top-left at (X, Y), in an opaque Background box.
    HRESULT PaintText(HFONT Font, const std::string& Text, int32_t X, int32_t Y,
                      COLORREF Background, COLORREF Foreground);
    // The held surface with a reference of the caller's own, or empty.
    ComPtr<IDirectDrawSurface7> DDSurface() const;

private:
    ComPtr<IDirectDrawSurface7> Surface;
};

// The screen: exclusive full-screen, a primary surface with one back buffer.
class TDisplay {
public:
    TDisplay();
    virtual ~TDisplay();
    // Empties the buffers and the DirectDraw object, leaving exclusive mode.
    virtual HRESULT ReleaseObjects();

    // S_OK, or E_FAIL for any failing step (what was made so far stays).
    HRESULT CreateFullScreenDisplay(HWND Window, DWORD Width, DWORD Height, DWORD BitsPerPixel);
    // Copies the surface held by Surface to the back buffer at (X, Y).
    HRESULT BlitSurface(DWORD X, DWORD Y, const std::unique_ptr<TSurface>& Surface,
                        const RECT* SourceRect);
    HRESULT BlitDDSurface(DWORD X, DWORD Y, IDirectDrawSurface7* Source, const RECT* SourceRect,
                          DWORD Flags);
    // Flips; retries a busy flip, restores a lost chain.
    HRESULT ShowBackBuffer();

    IDirectDraw7* DDObject() const { return DDObjectField.Get(); }
    HWND WindowHandle() const { return WindowHandleField; }

private:
    HWND WindowHandleField = 0;
    ComPtr<IDirectDrawSurface7> FrontBuffer;
    ComPtr<IDirectDrawSurface7> BackBuffer;
    ComPtr<IDirectDraw7> DDObjectField;
};
