#include "display/DDUtil.h"

#include "platform/gdi/Gdi.h"

// ---------------------------------------------------------------- TSurface

TSurface::TSurface() = default;

TSurface::~TSurface() = default; // Surface gives its reference back

HRESULT TSurface::CreateSurface(IDirectDraw7* DD, DDSURFACEDESC2* Desc) {
    // The field is emptied first, so a failed call leaves the object Empty.
    IDirectDrawSurface7** Target = Surface.ReleaseAndGetAddressOf();
    if (DD == nullptr) // no display object: refused instead of followed
        return E_INVALIDARG;
    return DD->CreateSurface(Desc, Target, nullptr);
}

HRESULT TSurface::PaintBitmap(HBITMAP Bitmap, int32_t X, int32_t Y, int32_t Width, int32_t Height) {
    if (Bitmap == 0 || !Surface)
        return E_INVALIDARG;

    HRESULT Result = Surface->Restore();
    if (FAILED(Result))
        return Result;

    DDSURFACEDESC2 Desc{};
    Desc.dwSize = sizeof(Desc);
    Desc.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    Surface->GetSurfaceDesc(&Desc); // result not needed: a failure leaves zeros
    if (Desc.ddpfPixelFormat.dwFlags == DDPF_FOURCC)
        return E_NOTIMPL;

    HDC MemoryDC = CreateCompatibleDC(0);
    if (MemoryDC == 0)
        return E_FAIL;
    SelectObject(MemoryDC, Bitmap);

    BITMAP Header{};
    GetObjectA(Bitmap, sizeof(BITMAP), &Header);
    if (Width == 0)
        Width = Header.bmWidth;
    if (Height == 0)
        Height = Header.bmHeight;

    HDC SurfaceDC = 0;
    Result = Surface->GetDC(&SurfaceDC);
    if (FAILED(Result)) {
        DeleteDC(MemoryDC);
        return Result;
    }
    // The chosen part always covers the whole surface.
    StretchBlt(SurfaceDC, 0, 0, static_cast<int>(Desc.dwWidth), static_cast<int>(Desc.dwHeight),
               MemoryDC, X, Y, Width, Height, SRCCOPY);
    Result = Surface->ReleaseDC(SurfaceDC);
    if (FAILED(Result)) {
        DeleteDC(MemoryDC);
        return Result;
    }
    DeleteDC(MemoryDC);
    return S_OK;
}

HRESULT TSurface::PaintText(HFONT Font, const std::string& Text, int32_t X, int32_t Y,
                            COLORREF Background, COLORREF Foreground) {
    if (!Surface || Text.empty())
        return E_INVALIDARG;

    HRESULT Result = Surface->Restore();
    if (FAILED(Result))
        return Result;

    HDC SurfaceDC = 0;
    Result = Surface->GetDC(&SurfaceDC);
    if (FAILED(Result))
        return Result;
    SetBkColor(SurfaceDC, Background);
    SetTextColor(SurfaceDC, Foreground);
    if (Font != 0)
        SelectObject(SurfaceDC, Font); // a value that is no font is refused; default stays
    TextOutA(SurfaceDC, X, Y, Text.data(), static_cast<int>(Text.size()));
    return Surface->ReleaseDC(SurfaceDC);
}

ComPtr<IDirectDrawSurface7> TSurface::DDSurface() const {
    return Surface;
}

// ---------------------------------------------------------------- TDisplay

TDisplay::TDisplay() = default;

TDisplay::~TDisplay() {
    // A virtual call; while this destructor runs it reaches TDisplay's own.
    ReleaseObjects();
}

HRESULT TDisplay::ReleaseObjects() {
    BackBuffer.Reset();
    FrontBuffer.Reset();
    if (DDObjectField)
        DDObjectField->SetCooperativeLevel(WindowHandleField, DDSCL_NORMAL);
    DDObjectField.Reset();
    return S_OK;
}

HRESULT TDisplay::CreateFullScreenDisplay(HWND Window, DWORD Width, DWORD Height,
                                          DWORD BitsPerPixel) {
    ReleaseObjects();

    if (DirectDrawCreateEx(nullptr, DDObjectField.ReleaseAndGetAddressOf(), IID_IDirectDraw7,
                           nullptr) != S_OK)
        return E_FAIL;
    // A factory that claims success without an object is a failed step too.
    if (!DDObjectField)
        return E_FAIL;

    if (FAILED(DDObjectField->SetCooperativeLevel(Window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
        return E_FAIL;

    if (FAILED(DDObjectField->SetDisplayMode(Width, Height, BitsPerPixel, 0, 0)))
        return E_FAIL;

    DDSURFACEDESC2 Desc{};
    Desc.dwSize = sizeof(Desc);
    Desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    Desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    Desc.dwBackBufferCount = 1;
    if (FAILED(DDObjectField->CreateSurface(&Desc, FrontBuffer.ReleaseAndGetAddressOf(), nullptr)))
        return E_FAIL;

    DDSCAPS2 Caps{};
    Caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(FrontBuffer->GetAttachedSurface(&Caps, BackBuffer.ReleaseAndGetAddressOf())))
        return E_FAIL;

    WindowHandleField = Window;
    return S_OK;
}

HRESULT TDisplay::BlitSurface(DWORD X, DWORD Y, const std::unique_ptr<TSurface>& Surface,
                              const RECT* SourceRect) {
    if (!Surface)
        return E_INVALIDARG;
    ComPtr<IDirectDrawSurface7> Source = Surface->DDSurface();
    return BlitDDSurface(X, Y, Source.Get(), SourceRect, DDBLTFAST_NOCOLORKEY);
}

HRESULT TDisplay::BlitDDSurface(DWORD X, DWORD Y, IDirectDrawSurface7* Source,
                                const RECT* SourceRect, DWORD Flags) {
    if (!BackBuffer)
        return E_POINTER;
    return BackBuffer->BltFast(X, Y, Source, SourceRect, Flags);
}

HRESULT TDisplay::ShowBackBuffer() {
    if (!FrontBuffer && !BackBuffer)
        return E_POINTER;
    // Only a back buffer (never made by CreateFullScreenDisplay): nothing to flip.
    if (!FrontBuffer)
        return E_POINTER;
    for (;;) {
        HRESULT Result = FrontBuffer->Flip(nullptr, 0);
        if (Result == DDERR_SURFACELOST) {
            FrontBuffer->Restore();
            if (BackBuffer)
                BackBuffer->Restore();
        }
        if (Result != DDERR_WASSTILLDRAWING)
            return Result;
    }
}
