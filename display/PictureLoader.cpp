#include "display/PictureLoader.h"

#include "display/DisplayInstance.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Jpeg.h"

void LoadJpegSurface(std::unique_ptr<TSurface>& Surface, const std::string& FileName) {
    // Declared in this order so the JPEG picture is freed first, then the
    // bitmap, on every path.
    TBitmap Bitmap;
    TJPEGImage Jpeg;
    Jpeg.LoadFromFile(FileName);
    Bitmap.Assign(Jpeg);

    DDSURFACEDESC2 Desc{};
    Desc.dwSize = sizeof(DDSURFACEDESC2);
    Desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    Desc.dwHeight = static_cast<DWORD>(Bitmap.Height());
    Desc.dwWidth = static_cast<DWORD>(Bitmap.Width());
    Desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;

    Surface = std::make_unique<TSurface>();
    // Neither result is looked at: a surface that could not be made or
    // painted stays empty, and painting it later answers E_INVALIDARG.
    Surface->CreateSurface(Display ? Display->DDObject() : nullptr, &Desc);
    Surface->PaintBitmap(Bitmap.Handle(), 0, 0, 0, 0);
}
