#pragma once
// The JPEG picture class on libjpeg-turbo: holds a JPEG file in memory with
// the facts of its header, and decodes it into a bitmap (TBitmap::Assign).
//
// Callers: the picture loader, on the main thread; any one object is used
// by one thread at a time. No SDL: the application shell tells the class the
// desktop's depth once at start (SetJpegPixelFormatFromDesktop).
//
// Decoding uses libjpeg's own defaults (full size, block smoothing, the slow
// exact integer DCT, two-pass quantisation with Floyd-Steinberg dithering
// where colours are quantised): 24 bits per pixel, or 8 bits with at most 236
// quantised colours for grayscale files and when the pixel format is 8-bit.
// Four-component files (CMYK, YCCK) become 24-bit RGB; files with an Adobe
// marker store their inks inverted, as Adobe's programs write them.
//
// Failures raise: EFOpenError / EReadError (LoadFromFile), EJPEG (libjpeg's
// fatal errors, an empty file, a picture past MaxJpegSide on a side, checked
// before anything is allocated for it), EOutOfMemory (the bitmap's memory
// cannot be had). libjpeg's warnings are ignored; a file whose data ends
// early decodes with the library's own end marker.
#include "platform/graphics/GraphicsErrors.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TJPEGPixelFormat { jf24Bit, jf8Bit };

// Sets the pixel format new pictures start with from the desktop's bits per
// pixel (times planes) as found at program start: 8 or fewer give jf8Bit,
// more jf24Bit. Values <= 0 (depth unknown) leave jf24Bit. Call once, before
// the display changes the screen.
void SetJpegPixelFormatFromDesktop(int BitsPerPixel);
TJPEGPixelFormat JpegDefaultPixelFormat();

// The largest width or height decoded. Larger headers raise EJPEG with
// libjpeg's code for a too-large image, as the library does past its own
// (much larger) limit.
constexpr int MaxJpegSide = 16384;

class TJPEGImage {
public:
    TJPEGImage(); // empty; pixel format JpegDefaultPixelFormat()

    // Reads the whole file into memory (opened read-only) and, when it holds
    // at least one byte, reads its header. FileName may use backslashes as
    // folder separators; messages name it exactly as given. On an error the
    // picture keeps what it held before.
    void LoadFromFile(const std::string& FileName);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Grayscale() const { return FGrayscale; }
    bool ProgressiveEncoding() const { return FProgressive; }

    TJPEGPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TJPEGPixelFormat Format) { FPixelFormat = Format; }

    // Decodes the held file into a new device-independent bitmap of the
    // picture's size; the caller owns the handle (DeleteObject). Raises as
    // described at the top; nothing is left allocated then.
    HBITMAP DecodeToBitmap() const;

private:
    std::vector<std::uint8_t> FData;
    int FWidth = 0;
    int FHeight = 0;
    bool FGrayscale = false;
    bool FProgressive = false;
    TJPEGPixelFormat FPixelFormat;
};
