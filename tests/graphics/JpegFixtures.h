#pragma once
// JPEG fixtures made at test time with libjpeg's own compressor, and a plain
// reference decode with libjpeg's defaults to compare against. Header only;
// the including target links JPEG::JPEG.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace fixtures {

// Ycck: four inks given as for Cmyk, stored by libjpeg as YCCK. TwoChannels:
// two components of no known colour space.
enum class Ink { Colour, Grey, Cmyk, Ycck, TwoChannels };

struct JpegRecipe {
    int Width = 16;
    int Height = 16;
    Ink Kind = Ink::Colour;
    bool Progressive = false;
    bool AdobeMarker = true; // CMYK only: libjpeg writes one unless told not to
    int Quality = 95;
    // CMYK and YCCK: the four ink values given for every pixel.
    std::uint8_t Inks[4] = {0, 0, 0, 0};
};

// The colour of the test pattern at (x, y): smooth ramps plus a square block
// in the corner, so both flat and changing areas are present.
inline void Pattern(int x, int y, int w, int h, std::uint8_t* rgb) {
    rgb[0] = static_cast<std::uint8_t>(w > 1 ? x * 255 / (w - 1) : 128);
    rgb[1] = static_cast<std::uint8_t>(h > 1 ? y * 255 / (h - 1) : 64);
    rgb[2] = static_cast<std::uint8_t>((x < w / 2 && y < h / 2) ? 200 : 40);
}

struct ErrorJump {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};
inline void JumpOut(j_common_ptr Info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(Info->err)->Jump, 1);
}
inline void Quiet(j_common_ptr) {}

// The JPEG file for Recipe. Throws std::runtime_error when libjpeg refuses.
inline std::string EncodeJpeg(const JpegRecipe& Recipe) {
    jpeg_compress_struct info;
    ErrorJump errors;
    info.err = jpeg_std_error(&errors.Pub);
    errors.Pub.error_exit = JumpOut;
    errors.Pub.output_message = Quiet;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int components = Recipe.Kind == Ink::Colour        ? 3
                           : Recipe.Kind == Ink::Grey        ? 1
                           : Recipe.Kind == Ink::TwoChannels ? 2
                                                             : 4;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(Recipe.Width) * components);
    if (setjmp(errors.Jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        throw std::runtime_error("libjpeg could not make the fixture");
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(Recipe.Width);
    info.image_height = static_cast<JDIMENSION>(Recipe.Height);
    info.input_components = components;
    info.in_color_space = Recipe.Kind == Ink::Colour        ? JCS_RGB
                          : Recipe.Kind == Ink::Grey        ? JCS_GRAYSCALE
                          : Recipe.Kind == Ink::TwoChannels ? JCS_UNKNOWN
                                                            : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, Recipe.Quality, TRUE);
    if (Recipe.Kind == Ink::Ycck)
        jpeg_set_colorspace(&info, JCS_YCCK); // always with an Adobe marker
    else if (Recipe.Kind == Ink::Cmyk)
        info.write_Adobe_marker = Recipe.AdobeMarker ? TRUE : FALSE;
    if (Recipe.Progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < Recipe.Width; ++x) {
            std::uint8_t rgb[3];
            Pattern(x, y, Recipe.Width, Recipe.Height, rgb);
            std::uint8_t* p = &row[static_cast<std::size_t>(x) * components];
            if (Recipe.Kind == Ink::Colour) {
                p[0] = rgb[0], p[1] = rgb[1], p[2] = rgb[2];
            } else if (Recipe.Kind == Ink::Grey) {
                p[0] = rgb[0];
            } else if (Recipe.Kind == Ink::TwoChannels) {
                p[0] = rgb[0], p[1] = rgb[1];
            } else { // four inks
                for (int k = 0; k < 4; ++k)
                    p[k] = Recipe.Inks[k];
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return bytes;
}

// Only the tables, no picture: a valid JPEG stream without an image.
inline std::string TablesOnlyJpeg() {
    jpeg_compress_struct info;
    ErrorJump errors;
    info.err = jpeg_std_error(&errors.Pub);
    errors.Pub.error_exit = JumpOut;
    errors.Pub.output_message = Quiet;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.Jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        throw std::runtime_error("libjpeg could not make the tables");
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.in_color_space = JCS_RGB;
    info.input_components = 3;
    jpeg_set_defaults(&info);
    jpeg_write_tables(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return bytes;
}

// Rewrites the frame header (SOF0 or SOF2) of a file: its precision, height
// and width fields. Throws when there is none.
inline std::string WithFrameHeader(std::string Bytes, int Precision, int Height, int Width) {
    for (std::size_t i = 2; i + 8 < Bytes.size(); ++i) {
        const auto m = static_cast<unsigned char>(Bytes[i + 1]);
        if (static_cast<unsigned char>(Bytes[i]) == 0xFF && (m == 0xC0 || m == 0xC2)) {
            Bytes[i + 4] = static_cast<char>(Precision);
            Bytes[i + 5] = static_cast<char>(Height >> 8);
            Bytes[i + 6] = static_cast<char>(Height & 0xFF);
            Bytes[i + 7] = static_cast<char>(Width >> 8);
            Bytes[i + 8] = static_cast<char>(Width & 0xFF);
            return Bytes;
        }
    }
    throw std::runtime_error("no frame header");
}

// The file cut off halfway through the entropy-coded data of its scan number
// Scan (0 first), as a file whose data ends early. Throws when there is none.
inline std::string CutInsideScan(const std::string& Bytes, int Scan) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(Bytes[i]); };
    int seen = 0;
    for (std::size_t i = 2; i + 3 < Bytes.size(); ++i) {
        if (at(i) != 0xFF || at(i + 1) != 0xDA || seen++ != Scan)
            continue;
        const std::size_t data = i + 2 + (at(i + 2) << 8 | at(i + 3));
        std::size_t end = data;
        while (end + 1 < Bytes.size() && !(at(end) == 0xFF && at(end + 1) != 0x00 &&
                                           (at(end + 1) < 0xD0 || at(end + 1) > 0xD7)))
            ++end;
        return Bytes.substr(0, (data + end) / 2);
    }
    throw std::runtime_error("no such scan");
}

// The colour space a file's header declares.
inline J_COLOR_SPACE HeaderColourSpace(const std::string& Bytes) {
    jpeg_decompress_struct info;
    ErrorJump errors;
    info.err = jpeg_std_error(&errors.Pub);
    errors.Pub.error_exit = JumpOut;
    errors.Pub.output_message = Quiet;
    if (setjmp(errors.Jump)) {
        jpeg_destroy_decompress(&info);
        throw std::runtime_error("header unreadable");
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(Bytes.data()),
                 static_cast<unsigned long>(Bytes.size()));
    jpeg_read_header(&info, TRUE);
    const J_COLOR_SPACE space = info.jpeg_color_space;
    jpeg_destroy_decompress(&info);
    return space;
}

struct Decoded {
    int Width = 0;
    int Height = 0;
    int Components = 0;               // 3 (RGB) or 1 (grey)
    std::vector<std::uint8_t> Pixels; // rows top-down, no padding
    std::uint8_t Channel(int x, int y, int c) const {
        return Pixels[(static_cast<std::size_t>(y) * Width + x) * Components + c];
    }
};

// libjpeg's plain decode with every default (RGB or grey output), warnings
// ignored. Throws std::runtime_error on a fatal error.
inline Decoded DecodeReference(const std::string& Bytes) {
    jpeg_decompress_struct info;
    ErrorJump errors;
    info.err = jpeg_std_error(&errors.Pub);
    errors.Pub.error_exit = JumpOut;
    errors.Pub.output_message = Quiet;
    Decoded result; // made before setjmp, so a jump back skips no destructor
    if (setjmp(errors.Jump)) {
        jpeg_destroy_decompress(&info);
        throw std::runtime_error("reference decode failed");
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(Bytes.data()),
                 static_cast<unsigned long>(Bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    const int w = static_cast<int>(info.output_width), h = static_cast<int>(info.output_height);
    const int c = info.output_components;
    result.Pixels.resize(static_cast<std::size_t>(w) * h * c);
    std::vector<std::uint8_t>& pixels = result.Pixels;
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {&pixels[static_cast<std::size_t>(info.output_scanline) * w * c]};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    result.Width = w;
    result.Height = h;
    result.Components = c;
    return result;
}

} // namespace fixtures
