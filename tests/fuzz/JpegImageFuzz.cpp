// Fuzz target: the bytes are a JPEG file for the picture classes. It is
// loaded (header read), then decoded into a bitmap in the 24-bit and in the
// 8-bit pixel format. The program's errors are expected outcomes; a crash,
// a sanitizer report or a bitmap that does not match the header is not.
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Jpeg.h"
#include "platform/rtl/Exceptions.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Decoding is skipped above this many pixels: a made-up header claims up to
// 16384 x 16384 for a few bytes, and one such decode takes seconds and a
// gigabyte. Headers past MaxJpegSide are still decoded, as they must be
// refused before anything is allocated.
constexpr std::int64_t MaxDecodedPixels = std::int64_t{1} << 20;

// Reads every byte the bitmap claims to hold, so a short allocation shows.
unsigned TouchBits(const BITMAP& b) {
    const auto* bits = static_cast<const std::uint8_t*>(b.bmBits);
    unsigned sum = 0;
    const std::size_t total = static_cast<std::size_t>(b.bmWidthBytes) * b.bmHeight;
    for (std::size_t i = 0; i < total; ++i)
        sum += bits[i];
    return sum;
}

void DecodeAs(TJPEGImage& Jpeg, TJPEGPixelFormat Format, TBitmap& Bitmap) {
    Jpeg.SetPixelFormat(Format);
    const bool tooLarge = Jpeg.Width() > MaxJpegSide || Jpeg.Height() > MaxJpegSide;
    const HBITMAP before = Bitmap.Handle();
    try {
        Bitmap.Assign(Jpeg);
    } catch (const Exception&) {
        fuzz::Check(Bitmap.Handle() == before, "a failed decode changed the bitmap");
        return;
    }
    fuzz::Check(!tooLarge, "a picture past the side limit was decoded");
    fuzz::Check(Bitmap.Width() == Jpeg.Width() && Bitmap.Height() == Jpeg.Height(),
                "the bitmap's size differs from the header's");
    BITMAP b{};
    fuzz::Check(GetObjectA(Bitmap.Handle(), sizeof b, &b) == static_cast<int>(sizeof b),
                "the bitmap handle is not a bitmap");
    fuzz::Check(b.bmBits != nullptr && b.bmWidthBytes >= b.bmWidth * (b.bmBitsPixel / 8),
                "the bitmap's rows are too short");
    if (Jpeg.Grayscale())
        fuzz::Check(b.bmBitsPixel == 8, "a grayscale picture is not 8-bit");
    else if (Format == TJPEGPixelFormat::jf24Bit)
        fuzz::Check(b.bmBitsPixel == 24, "a colour picture is not 24-bit");
    else
        fuzz::Check(b.bmBitsPixel == 8 || b.bmBitsPixel == 24, "an odd pixel depth");
    volatile unsigned sink = TouchBits(b);
    (void)sink;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string path = fuzz::Scratch().Write("picture.jpg", Data, Size);

    TJPEGImage jpeg;
    try {
        jpeg.LoadFromFile(path);
    } catch (const Exception&) {
        return 0; // not a JPEG header
    }
    fuzz::Check(jpeg.Width() >= 0 && jpeg.Height() >= 0, "a negative size");
    const bool tooLarge = jpeg.Width() > MaxJpegSide || jpeg.Height() > MaxJpegSide;
    if (!tooLarge && static_cast<std::int64_t>(jpeg.Width()) * jpeg.Height() > MaxDecodedPixels)
        return 0;

    TBitmap bitmap;
    DecodeAs(jpeg, TJPEGPixelFormat::jf24Bit, bitmap);
    DecodeAs(jpeg, TJPEGPixelFormat::jf8Bit, bitmap);
    return 0;
}
