#include "tools/JpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace {

// libjpeg's default error handler exits the process; jump back instead.
struct ErrorManager {
    jpeg_error_mgr Public;
    std::jmp_buf Return;
    char Message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr Info) {
    auto* Err = reinterpret_cast<ErrorManager*>(Info->err);
    (*Info->err->format_message)(Info, Err->Message);
    std::longjmp(Err->Return, 1);
}

} // namespace

std::vector<unsigned char> EncodeJpeg(const std::vector<std::uint8_t>& Rgb, int Width, int Height,
                                      int Quality) {
    if (Width <= 0 || Height <= 0 || Rgb.size() != static_cast<std::size_t>(Width) * Height * 3)
        throw std::invalid_argument("picture size does not match its pixels");

    // Everything the jump may cross is plain data declared before setjmp.
    jpeg_compress_struct Info{};
    ErrorManager Err{};
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
    Info.err = jpeg_std_error(&Err.Public);
    Err.Public.error_exit = OnError;
    if (setjmp(Err.Return)) {
        jpeg_destroy_compress(&Info);
        std::free(Buffer);
        throw std::runtime_error(std::string("JPEG encoding failed: ") + Err.Message);
    }
    jpeg_create_compress(&Info);
    jpeg_mem_dest(&Info, &Buffer, &Size);
    Info.image_width = static_cast<JDIMENSION>(Width);
    Info.image_height = static_cast<JDIMENSION>(Height);
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, Quality, TRUE);
    jpeg_start_compress(&Info, TRUE);
    while (Info.next_scanline < Info.image_height) {
        JSAMPROW Row =
            const_cast<JSAMPROW>(&Rgb[static_cast<std::size_t>(Info.next_scanline) * Width * 3]);
        jpeg_write_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_compress(&Info);
    std::vector<unsigned char> Out(Buffer, Buffer + Size);
    jpeg_destroy_compress(&Info);
    std::free(Buffer);
    return Out;
}
