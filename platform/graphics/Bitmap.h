#pragma once
// The bitmap class: owns one device-independent bitmap of the drawing-layer
// stand-in (platform/gdi/Gdi.h), so its handle can be selected into a device
// context and described by GetObjectA. Main thread only.
#include "platform/graphics/Jpeg.h"
#include "platform/win/WinTypes.h"

class TBitmap {
public:
    TBitmap() = default; // empty: Handle() 0, size 0 x 0
    ~TBitmap();          // deletes the bitmap
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    // Decodes Jpeg into a new bitmap and takes it over, dropping the old one.
    // Raises what TJPEGImage::DecodeToBitmap raises; the old picture stays then.
    void Assign(const TJPEGImage& Jpeg);

    HBITMAP Handle() const { return FHandle; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

private:
    HBITMAP FHandle = 0;
    int FWidth = 0;
    int FHeight = 0;
};
