#include "platform/graphics/Jpeg.h"

#include "platform/gdi/Gdi.h"
#include "platform/rtl/Paths.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

namespace {

std::atomic<TJPEGPixelFormat> DefaultPixelFormat{TJPEGPixelFormat::jf24Bit};

// ------------------------------------------------------------------ file

class FileHandle {
public:
    explicit FileHandle(int Fd) : FFd(Fd) {}
    ~FileHandle() {
        if (FFd >= 0)
            ::close(FFd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

std::vector<std::uint8_t> ReadWholeFile(const std::string& FileName) {
    // A name with a NUL byte would open a different, shorter name.
    if (FileName.find('\0') != std::string::npos)
        throw EFOpenError(FileName);
    // Read-only. The platform also kept others from writing meanwhile; POSIX
    // has no such share mode. O_NONBLOCK: a FIFO must not hang the open.
    FileHandle file(
        ::open(NativePath(FileName).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info;
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw EFOpenError(FileName);

    std::vector<std::uint8_t> data;
    try {
        data.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    } catch (const std::length_error&) {
        throw EOutOfMemory();
    }
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::read(file.Get(), data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EReadError();
        done += static_cast<std::size_t>(n);
    }
    return data;
}

// ------------------------------------------------------------------ libjpeg
//
// libjpeg is C: a fatal error leaves its frames with longjmp back to the
// setjmp in the function that called it. Those functions hold only plain C
// data, so no destructor is skipped; they report the message code and the
// C++ caller throws.

struct ErrorManager {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};

void ErrorExit(j_common_ptr Info) {
    auto* manager = reinterpret_cast<ErrorManager*>(Info->err);
    std::longjmp(manager->Jump, 1);
}

void OutputMessage(j_common_ptr) {} // warnings and traces are not shown

// Fatal errors jump back to Errors.Jump; warnings stay silent.
void UseErrorManager(jpeg_decompress_struct& Info, ErrorManager& Errors) {
    Info.err = jpeg_std_error(&Errors.Pub);
    Errors.Pub.error_exit = ErrorExit;
    Errors.Pub.output_message = OutputMessage;
}

struct HeaderFacts {
    int Width;
    int Height;
    bool Grayscale;
    bool Progressive;
    int ErrorCode;
};

bool ReadHeader(const std::uint8_t* Data, std::size_t Size, HeaderFacts* Facts) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    UseErrorManager(info, errors);
    if (setjmp(errors.Jump)) {
        Facts->ErrorCode = errors.Pub.msg_code;
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, Data, static_cast<unsigned long>(Size));
    jpeg_read_header(&info, TRUE);
    Facts->Width = static_cast<int>(info.image_width);
    Facts->Height = static_cast<int>(info.image_height);
    Facts->Grayscale = info.jpeg_color_space == JCS_GRAYSCALE;
    Facts->Progressive = info.progressive_mode != 0;
    jpeg_destroy_decompress(&info);
    return true;
}

enum class DecodeFailure { None, Library, TooLarge, NoMemory };

struct DecodeJob {
    const std::uint8_t* Data;
    std::size_t Size;
    bool Want8Bit;
    HBITMAP Bitmap; // made during the decode; the caller deletes it on failure
    DecodeFailure Failure;
    int ErrorCode;
};

// Four inks to red, green and blue. Adobe's files store 255 - ink.
void CmykRowToBgr(const JSAMPLE* Cmyk, std::uint8_t* Bgr, JDIMENSION Width, bool Inverted) {
    for (JDIMENSION x = 0; x < Width; ++x, Cmyk += 4, Bgr += 3) {
        unsigned c = Cmyk[0], m = Cmyk[1], y = Cmyk[2], k = Cmyk[3];
        if (!Inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Now each value is the light the ink lets through.
        Bgr[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
        Bgr[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        Bgr[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
    }
}

bool Decode(DecodeJob* Job) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    UseErrorManager(info, errors);
    if (setjmp(errors.Jump)) {
        Job->Failure = DecodeFailure::Library;
        Job->ErrorCode = errors.Pub.msg_code;
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, Job->Data, static_cast<unsigned long>(Job->Size));
    jpeg_read_header(&info, TRUE);

    if (info.image_width > static_cast<JDIMENSION>(MaxJpegSide) ||
        info.image_height > static_cast<JDIMENSION>(MaxJpegSide)) {
        Job->Failure = DecodeFailure::TooLarge;
        Job->ErrorCode = JERR_IMAGE_TOO_BIG;
        jpeg_destroy_decompress(&info);
        return false;
    }

    // The platform's defaults, spelled out: they are libjpeg's own as well.
    info.scale_num = 1;
    info.scale_denom = 1;
    info.do_block_smoothing = TRUE;
    info.dct_method = JDCT_ISLOW;

    const bool fourInks = info.out_color_space == JCS_CMYK;
    const bool inverted = fourInks && info.saw_Adobe_marker;
    // libjpeg's quantisers handle one or three components; four-ink pictures
    // therefore stay 24-bit.
    const bool quantize = !fourInks && (info.out_color_space == JCS_GRAYSCALE || Job->Want8Bit);
    if (quantize) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = 236;
    } else if (!fourInks) {
        // RGB in a bitmap's byte order, so rows decode straight into it.
        // libjpeg refuses colour spaces it cannot turn into RGB.
        info.out_color_space = JCS_EXT_BGR;
    }

    jpeg_start_decompress(&info);
    const JDIMENSION width = info.output_width, height = info.output_height;

    void* bits = nullptr;
    if (quantize) {
        RGBQUAD palette[256] = {};
        const int colours = info.actual_number_of_colors;
        const bool grey = info.out_color_components == 1;
        for (int i = 0; i < colours && i < 256; ++i) {
            palette[i].rgbRed = info.colormap[0][i];
            palette[i].rgbGreen = info.colormap[grey ? 0 : 1][i];
            palette[i].rgbBlue = info.colormap[grey ? 0 : 2][i];
        }
        Job->Bitmap = CreateTopDownDIB(static_cast<LONG>(width), static_cast<LONG>(height), 8,
                                       palette, static_cast<UINT>(colours), &bits);
    } else {
        Job->Bitmap = CreateTopDownDIB(static_cast<LONG>(width), static_cast<LONG>(height), 24,
                                       nullptr, 0, &bits);
    }
    if (Job->Bitmap == 0) {
        Job->Failure = DecodeFailure::NoMemory;
        jpeg_destroy_decompress(&info);
        return false;
    }
    BITMAP layout{};
    GetObjectA(Job->Bitmap, sizeof layout, &layout);
    auto* const top = static_cast<std::uint8_t*>(bits);
    const std::size_t pitch = static_cast<std::size_t>(layout.bmWidthBytes);

    if (fourInks) {
        JSAMPARRAY ink = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info),
                                                   JPOOL_IMAGE, width * 4, 1);
        while (info.output_scanline < height) {
            const JDIMENSION y = info.output_scanline;
            jpeg_read_scanlines(&info, ink, 1);
            CmykRowToBgr(ink[0], top + y * pitch, width, inverted);
        }
    } else {
        // Straight into the bitmap, several rows per call where the decoder
        // works in row groups.
        auto* rows = static_cast<JSAMPROW*>((*info.mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, height * sizeof(JSAMPROW)));
        for (JDIMENSION y = 0; y < height; ++y)
            rows[y] = top + y * pitch;
        while (info.output_scanline < height)
            jpeg_read_scanlines(&info, rows + info.output_scanline, height - info.output_scanline);
    }

    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

void SetJpegPixelFormatFromDesktop(int BitsPerPixel) {
    DefaultPixelFormat = BitsPerPixel > 0 && BitsPerPixel <= 8 ? TJPEGPixelFormat::jf8Bit
                                                               : TJPEGPixelFormat::jf24Bit;
}

TJPEGPixelFormat JpegDefaultPixelFormat() {
    return DefaultPixelFormat;
}

TJPEGImage::TJPEGImage() : FPixelFormat(JpegDefaultPixelFormat()) {}

void TJPEGImage::LoadFromFile(const std::string& FileName) {
    std::vector<std::uint8_t> data = ReadWholeFile(FileName);
    HeaderFacts facts{};
    if (!data.empty() && !ReadHeader(data.data(), data.size(), &facts))
        throw EJPEG(facts.ErrorCode);
    FData = std::move(data);
    FWidth = facts.Width;
    FHeight = facts.Height;
    FGrayscale = facts.Grayscale;
    FProgressive = facts.Progressive;
}

HBITMAP TJPEGImage::DecodeToBitmap() const {
    DecodeJob job{FData.data(),
                  FData.size(),
                  FPixelFormat == TJPEGPixelFormat::jf8Bit,
                  0,
                  DecodeFailure::None,
                  0};
    if (Decode(&job))
        return job.Bitmap;
    if (job.Bitmap)
        DeleteObject(job.Bitmap);
    if (job.Failure == DecodeFailure::NoMemory)
        throw EOutOfMemory();
    throw EJPEG(job.ErrorCode);
}
