#include "platform/graphics/Bitmap.h"

#include "platform/gdi/Gdi.h"

TBitmap::~TBitmap() {
    if (FHandle)
        DeleteObject(FHandle);
}

void TBitmap::Assign(const TJPEGImage& Jpeg) {
    HBITMAP decoded = Jpeg.DecodeToBitmap();
    BITMAP info{};
    GetObjectA(decoded, sizeof info, &info);
    if (FHandle)
        DeleteObject(FHandle);
    FHandle = decoded;
    FWidth = info.bmWidth;
    FHeight = info.bmHeight;
}
