// TJPEGImage and TBitmap: header facts, decoding checked through the pixels
// that reach a surface, and the errors.
#include "platform/graphics/Jpeg.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/SurfaceDC.h"
#include "platform/graphics/Bitmap.h"
#include "tests/graphics/JpegFixtures.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <jerror.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <unistd.h>

namespace {

using fixtures::Ink;
using fixtures::JpegRecipe;

struct Rgb {
    int R, G, B;
};

// The bitmap as it reaches a 32-bit surface through the drawing layer: what
// any caller gets to see of it.
std::vector<Rgb> PixelsOf(HBITMAP Bitmap, int Width, int Height) {
    std::vector<std::uint32_t> memory(static_cast<std::size_t>(Width) * Height, 0xFF000000u);
    PixelBuffer buffer{reinterpret_cast<std::uint8_t*>(memory.data()), Width, Height, Width * 4,
                       32};
    HDC surface = CreateSurfaceDC(buffer);
    HDC memoryDc = CreateCompatibleDC(0);
    HGDIOBJ previous = SelectObject(memoryDc, Bitmap);
    EXPECT_NE(previous, 0u);
    EXPECT_TRUE(StretchBlt(surface, 0, 0, Width, Height, memoryDc, 0, 0, Width, Height, SRCCOPY));
    SelectObject(memoryDc, previous);
    DeleteDC(memoryDc);
    ReleaseSurfaceDC(surface);
    std::vector<Rgb> pixels;
    for (std::uint32_t v : memory)
        pixels.push_back({int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)});
    return pixels;
}

BITMAP InfoOf(HBITMAP Bitmap) {
    BITMAP info{};
    EXPECT_EQ(GetObjectA(Bitmap, sizeof info, &info), int(sizeof info));
    return info;
}

// Loads Bytes from a file of their own and decodes them.
struct Loaded {
    TJPEGImage Jpeg;
    TBitmap Bitmap;
};
void Load(Loaded& Into, const std::string& Bytes,
          TJPEGPixelFormat Format = TJPEGPixelFormat::jf24Bit) {
    TempFolder folder;
    const auto file = folder.Write("picture.jpg", Bytes);
    Into.Jpeg.SetPixelFormat(Format);
    Into.Jpeg.LoadFromFile(file.string());
    Into.Bitmap.Assign(Into.Jpeg);
}

// ---------------------------------------------------------------- decoding

TEST(JpegDecode, PicturesOfAnySizeDecodeToExactlyTheLibrarysPixels) {
    struct Case {
        const char* Name;
        JpegRecipe Recipe;
        bool Progressive;
    };
    const std::vector<Case> cases = {
        {"1x1", {1, 1}, false},
        {"3x5", {3, 5}, false},
        {"17x1", {17, 1}, false},
        {"641x479", {641, 479}, false},
        {"640x480 progressive", {640, 480, Ink::Colour, true}, true},
        {"33x9 progressive", {33, 9, Ink::Colour, true}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string bytes = fixtures::EncodeJpeg(c.Recipe);
        Loaded l;
        Load(l, bytes);
        EXPECT_EQ(l.Jpeg.Width(), c.Recipe.Width);
        EXPECT_EQ(l.Jpeg.Height(), c.Recipe.Height);
        EXPECT_FALSE(l.Jpeg.Grayscale());
        EXPECT_EQ(l.Jpeg.ProgressiveEncoding(), c.Progressive);
        ASSERT_EQ(l.Bitmap.Width(), c.Recipe.Width);
        ASSERT_EQ(l.Bitmap.Height(), c.Recipe.Height);
        const BITMAP info = InfoOf(l.Bitmap.Handle());
        EXPECT_EQ(info.bmBitsPixel, 24);

        const fixtures::Decoded want = fixtures::DecodeReference(bytes);
        const std::vector<Rgb> got = PixelsOf(l.Bitmap.Handle(), c.Recipe.Width, c.Recipe.Height);
        int mismatches = 0;
        for (int y = 0; y < c.Recipe.Height; ++y)
            for (int x = 0; x < c.Recipe.Width; ++x) {
                const Rgb& p = got[std::size_t(y) * c.Recipe.Width + x];
                if ((p.R != want.Channel(x, y, 0) || p.G != want.Channel(x, y, 1) ||
                     p.B != want.Channel(x, y, 2)) &&
                    ++mismatches <= 3)
                    ADD_FAILURE() << "at " << x << "," << y << ": " << p.R << "," << p.G << ","
                                  << p.B;
            }
        EXPECT_EQ(mismatches, 0);
        // And the picture is the pattern, not merely the same bytes: the
        // red ramp runs left to right.
        if (c.Recipe.Width > 8) {
            EXPECT_LT(got[0].R, 40);
            EXPECT_GT(got[c.Recipe.Width - 1].R, 215);
        }
    }
}

TEST(JpegDecode, GrayscaleFilesBecomeEightBitsWithGreyPalette) {
    const JpegRecipe recipe{64, 48, Ink::Grey};
    const std::string bytes = fixtures::EncodeJpeg(recipe);
    for (TJPEGPixelFormat format : {TJPEGPixelFormat::jf24Bit, TJPEGPixelFormat::jf8Bit}) {
        SCOPED_TRACE(format == TJPEGPixelFormat::jf8Bit ? "8-bit format" : "24-bit format");
        Loaded l;
        Load(l, bytes, format);
        EXPECT_TRUE(l.Jpeg.Grayscale());
        EXPECT_EQ(InfoOf(l.Bitmap.Handle()).bmBitsPixel, 8);
        const fixtures::Decoded want = fixtures::DecodeReference(bytes);
        ASSERT_EQ(want.Components, 1);
        const std::vector<Rgb> got = PixelsOf(l.Bitmap.Handle(), recipe.Width, recipe.Height);
        std::set<int> levels;
        int worst = 0;
        for (int y = 0; y < recipe.Height; ++y)
            for (int x = 0; x < recipe.Width; ++x) {
                const Rgb& p = got[std::size_t(y) * recipe.Width + x];
                ASSERT_TRUE(p.R == p.G && p.G == p.B) << "not grey at " << x << "," << y;
                levels.insert(p.R);
                worst = std::max(worst, std::abs(p.R - want.Channel(x, y, 0)));
            }
        EXPECT_LE(levels.size(), 236u);
        // 236 levels with dithering: never more than a step or two off.
        EXPECT_LE(worst, 3);
    }
}

TEST(JpegDecode, EightBitFormatQuantisesColourTo236Colours) {
    const JpegRecipe recipe{96, 64};
    const std::string bytes = fixtures::EncodeJpeg(recipe);
    Loaded l;
    Load(l, bytes, TJPEGPixelFormat::jf8Bit);
    EXPECT_EQ(InfoOf(l.Bitmap.Handle()).bmBitsPixel, 8);
    const fixtures::Decoded want = fixtures::DecodeReference(bytes);
    const std::vector<Rgb> got = PixelsOf(l.Bitmap.Handle(), recipe.Width, recipe.Height);
    std::set<std::uint32_t> colours;
    long long error = 0;
    for (int y = 0; y < recipe.Height; ++y)
        for (int x = 0; x < recipe.Width; ++x) {
            const Rgb& p = got[std::size_t(y) * recipe.Width + x];
            colours.insert(std::uint32_t(p.R) << 16 | p.G << 8 | p.B);
            error += std::abs(p.R - want.Channel(x, y, 0)) + std::abs(p.G - want.Channel(x, y, 1)) +
                     std::abs(p.B - want.Channel(x, y, 2));
        }
    EXPECT_LE(colours.size(), 236u);
    EXPECT_GT(colours.size(), 50u) << "a colour ramp needs many colours";
    const double mean = double(error) / (3.0 * recipe.Width * recipe.Height);
    EXPECT_LT(mean, 6.0) << "quantised picture strays from the decoded one";
}

TEST(JpegDecode, FourInkFilesBecomeRgb) {
    // Inks as fractions: c 0.2, m 0.6, y 0.1, k 0.3 -> light let through:
    // r = 0.8 * 0.7, g = 0.4 * 0.7, b = 0.9 * 0.7.
    const int r = 143, g = 71, b = 161;
    const std::uint8_t c = 51, m = 153, y = 26, k = 77;
    struct Case {
        const char* Name;
        Ink Kind;
        bool Adobe;
        std::uint8_t Stored[4];
    };
    const std::uint8_t inverted[4] = {255 - c, 255 - m, 255 - y, 255 - k};
    const std::vector<Case> cases = {
        {"CMYK, Adobe marker, inverted",
         Ink::Cmyk,
         true,
         {inverted[0], inverted[1], inverted[2], inverted[3]}},
        {"CMYK, no marker, plain inks", Ink::Cmyk, false, {c, m, y, k}},
        {"YCCK (Adobe), inverted",
         Ink::Ycck,
         true,
         {inverted[0], inverted[1], inverted[2], inverted[3]}},
    };
    for (const Case& t : cases) {
        for (TJPEGPixelFormat format : {TJPEGPixelFormat::jf24Bit, TJPEGPixelFormat::jf8Bit}) {
            SCOPED_TRACE(std::string(t.Name) +
                         (format == TJPEGPixelFormat::jf8Bit ? ", 8-bit format" : ""));
            JpegRecipe recipe{24, 16, t.Kind};
            recipe.AdobeMarker = t.Adobe;
            recipe.Quality = 100;
            std::copy(t.Stored, t.Stored + 4, recipe.Inks);
            const std::string bytes = fixtures::EncodeJpeg(recipe);
            ASSERT_EQ(fixtures::HeaderColourSpace(bytes),
                      t.Kind == Ink::Ycck ? JCS_YCCK : JCS_CMYK);
            Loaded l;
            Load(l, bytes, format);
            EXPECT_EQ(InfoOf(l.Bitmap.Handle()).bmBitsPixel, 24);
            const std::vector<Rgb> got = PixelsOf(l.Bitmap.Handle(), 24, 16);
            for (const Rgb& p : {got.front(), got[8 * 24 + 12], got.back()}) {
                EXPECT_NEAR(p.R, r, 3);
                EXPECT_NEAR(p.G, g, 3);
                EXPECT_NEAR(p.B, b, 3);
            }
        }
    }
}

TEST(JpegDecode, DataEndingEarlyStillDecodes) {
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const JpegRecipe recipe{64, 64, Ink::Colour, progressive};
        // Cut inside the data, not inside a table: the second scan of the
        // progressive file, leaving its picture partly refined.
        const std::string whole = fixtures::EncodeJpeg(recipe);
        const std::string bytes = fixtures::CutInsideScan(whole, progressive);
        ASSERT_NE(fixtures::DecodeReference(bytes).Pixels, fixtures::DecodeReference(whole).Pixels)
            << "the cut must lose part of the picture";
        Loaded l;
        ASSERT_NO_THROW(Load(l, bytes));
        EXPECT_EQ(l.Bitmap.Width(), 64);
        EXPECT_EQ(l.Bitmap.Height(), 64);
        // The part that arrived is the library's picture; block smoothing
        // (on by default) shapes the progressive one.
        const fixtures::Decoded want = fixtures::DecodeReference(bytes);
        const std::vector<Rgb> got = PixelsOf(l.Bitmap.Handle(), 64, 64);
        int mismatches = 0;
        for (int i = 0; i < 64 * 64; ++i)
            mismatches += got[i].R != want.Pixels[i * 3] || got[i].G != want.Pixels[i * 3 + 1] ||
                          got[i].B != want.Pixels[i * 3 + 2];
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(JpegDecode, ThePixelFormatDefaultFollowsTheDesktopDepth) {
    struct Case {
        int Bits;
        TJPEGPixelFormat Format;
    };
    const std::vector<Case> cases = {
        {1, TJPEGPixelFormat::jf8Bit},   {4, TJPEGPixelFormat::jf8Bit},
        {8, TJPEGPixelFormat::jf8Bit},   {15, TJPEGPixelFormat::jf24Bit},
        {16, TJPEGPixelFormat::jf24Bit}, {24, TJPEGPixelFormat::jf24Bit},
        {32, TJPEGPixelFormat::jf24Bit}, {0, TJPEGPixelFormat::jf24Bit},
        {-1, TJPEGPixelFormat::jf24Bit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Bits);
        SetJpegPixelFormatFromDesktop(c.Bits);
        EXPECT_EQ(JpegDefaultPixelFormat(), c.Format);
        EXPECT_EQ(TJPEGImage().PixelFormat(), c.Format);
    }
    // An 8-bit desktop makes colour pictures 8-bit.
    SetJpegPixelFormatFromDesktop(8);
    TempFolder folder;
    const auto file = folder.Write("c.jpg", fixtures::EncodeJpeg({8, 8}));
    TJPEGImage jpeg;
    jpeg.LoadFromFile(file.string());
    TBitmap bitmap;
    bitmap.Assign(jpeg);
    EXPECT_EQ(InfoOf(bitmap.Handle()).bmBitsPixel, 8);
    SetJpegPixelFormatFromDesktop(32);
}

// ---------------------------------------------------------------- errors

int JpegErrorOf(const std::function<void()>& Call) {
    try {
        Call();
    } catch (const EJPEG& e) {
        return e.Code;
    }
    return -1;
}

TEST(JpegErrors, TextsAreTheRuntimesOwn) {
    struct Case {
        std::function<void()> Raise;
        std::string Text;
    };
    const std::vector<Case> cases = {
        {[] { throw EFOpenError("data\\loading.jpg"); },
         "Datei data\\loading.jpg kann nicht ge\xC3\xB6"
         "ffnet werden"},
        {[] { throw EReadError(); }, "Stream-Read-Fehler"},
        {[] { throw EJPEG(53); }, "JPEG-Fehler #53"},
        {[] { throw EJPEG(0); }, "JPEG-Fehler #0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            c.Raise();
            ADD_FAILURE() << "nothing raised";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.Text);
            EXPECT_STREQ(e.what(), c.Text.c_str());
        }
    }
}

TEST(JpegErrors, LoadingRaisesTheFileAndHeaderErrors) {
    TempFolder folder;
    const std::string good = fixtures::EncodeJpeg({8, 8});
    folder.Write("sub/pic.jpg", good);
    folder.Write("empty.jpg", "");
    folder.Write("text.jpg", "hello, not a picture");
    folder.Write("tables.jpg", fixtures::TablesOnlyJpeg());
    folder.Write("twelve.jpg", fixtures::WithFrameHeader(good, 12, 8, 8));
    std::filesystem::create_directory(folder.Path() / "folder.jpg");
    CurrentFolder here(folder.Path());

    enum class Raises { Nothing, Open, Jpeg };
    struct Case {
        std::string Name;
        Raises What;
        int Code; // for Raises::Jpeg
    };
    const std::vector<Case> cases = {
        {"sub\\pic.jpg", Raises::Nothing, 0},
        {"sub/pic.jpg", Raises::Nothing, 0},
        {"empty.jpg", Raises::Nothing, 0}, // the empty file fails when decoded
        {"missing.jpg", Raises::Open, 0},
        {"nosuchfolder\\pic.jpg", Raises::Open, 0},
        {"folder.jpg", Raises::Open, 0},
        {"", Raises::Open, 0},
        {std::string("sub/pic.jpg\0.txt", 16), Raises::Open, 0},
        {"text.jpg", Raises::Jpeg, JERR_NO_SOI},
        {"tables.jpg", Raises::Jpeg, JERR_NO_IMAGE},
        {"twelve.jpg", Raises::Jpeg, JERR_BAD_PRECISION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TJPEGImage jpeg;
        try {
            jpeg.LoadFromFile(c.Name);
            EXPECT_EQ(c.What, Raises::Nothing);
        } catch (const EFOpenError& e) {
            EXPECT_EQ(c.What, Raises::Open);
            EXPECT_EQ(e.Message(), "Datei " + c.Name +
                                       " kann nicht ge\xC3\xB6"
                                       "ffnet werden");
        } catch (const EJPEG& e) {
            EXPECT_EQ(c.What, Raises::Jpeg);
            EXPECT_EQ(e.Code, c.Code);
        }
    }
}

TEST(JpegErrors, AFileShorterThanItsSizeIsAReadError) {
    // Kernel attribute files claim a page but deliver a line.
    const char* file = "/sys/kernel/mm/transparent_hugepage/enabled";
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) <= 100 || ec)
        GTEST_SKIP() << "no file here that reads shorter than its size";
    TJPEGImage jpeg;
    try {
        jpeg.LoadFromFile(file);
        ADD_FAILURE() << "nothing raised";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream-Read-Fehler");
    }
}

TEST(JpegErrors, AnUnreadableFileIsAnOpenError) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempFolder folder;
    const auto file = folder.Write("locked.jpg", fixtures::EncodeJpeg({8, 8}));
    std::filesystem::permissions(file, std::filesystem::perms::none);
    TJPEGImage jpeg;
    EXPECT_THROW(jpeg.LoadFromFile(file.string()), EFOpenError);
}

TEST(JpegErrors, DecodingRaisesTheJpegError) {
    const std::string good = fixtures::EncodeJpeg({16, 16});
    struct Case {
        const char* Name;
        std::string Bytes;
        int Code;
    };
    const std::vector<Case> cases = {
        {"empty file", "", JERR_INPUT_EMPTY},
        {"two channels of no known colour space", fixtures::EncodeJpeg({8, 8, Ink::TwoChannels}),
         JERR_CONVERSION_NOTIMPL},
        {"wider than the limit", fixtures::WithFrameHeader(good, 8, 16, MaxJpegSide + 1),
         JERR_IMAGE_TOO_BIG},
        {"taller than the limit", fixtures::WithFrameHeader(good, 8, MaxJpegSide + 1, 16),
         JERR_IMAGE_TOO_BIG},
        {"the library's own largest", fixtures::WithFrameHeader(good, 8, 65500, 65500),
         JERR_IMAGE_TOO_BIG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        const auto file = folder.Write("p.jpg", c.Bytes);
        TJPEGImage jpeg;
        ASSERT_NO_THROW(jpeg.LoadFromFile(file.string()));
        TBitmap bitmap;
        EXPECT_EQ(JpegErrorOf([&] { bitmap.Assign(jpeg); }), c.Code);
        EXPECT_EQ(bitmap.Handle(), 0u);
        // Decoding without a file at all is the empty case too.
        EXPECT_EQ(JpegErrorOf([&] { TJPEGImage().DecodeToBitmap(); }), JERR_INPUT_EMPTY);
    }
}

TEST(JpegErrors, APictureAtTheSizeLimitStillDecodes) {
    // The header says 16384 wide; the data runs out at once and the library
    // fills the rest.
    const std::string bytes =
        fixtures::WithFrameHeader(fixtures::EncodeJpeg({16, 16}), 8, 16, MaxJpegSide);
    Loaded l;
    ASSERT_NO_THROW(Load(l, bytes));
    EXPECT_EQ(l.Bitmap.Width(), MaxJpegSide);
    EXPECT_EQ(l.Bitmap.Height(), 16);
}

TEST(JpegErrors, AFailedLoadOrDecodeKeepsWhatWasThere) {
    TempFolder folder;
    const auto good = folder.Write("good.jpg", fixtures::EncodeJpeg({12, 10, Ink::Grey, true}));
    const auto bad = folder.Write("bad.jpg", "not a jpeg");
    const auto empty = folder.Write("empty.jpg", "");
    TJPEGImage jpeg;
    jpeg.LoadFromFile(good.string());
    EXPECT_THROW(jpeg.LoadFromFile(bad.string()), EJPEG);
    EXPECT_THROW(jpeg.LoadFromFile((folder.Path() / "missing.jpg").string()), EFOpenError);
    EXPECT_EQ(jpeg.Width(), 12);
    EXPECT_EQ(jpeg.Height(), 10);
    EXPECT_TRUE(jpeg.Grayscale());
    EXPECT_TRUE(jpeg.ProgressiveEncoding());
    TBitmap bitmap;
    bitmap.Assign(jpeg); // still decodes: the data stayed as well
    const HBITMAP first = bitmap.Handle();
    ASSERT_NE(first, 0u);

    TJPEGImage emptyJpeg;
    emptyJpeg.LoadFromFile(empty.string());
    EXPECT_EQ(emptyJpeg.Width(), 0);
    EXPECT_THROW(bitmap.Assign(emptyJpeg), EJPEG);
    EXPECT_EQ(bitmap.Handle(), first);
    EXPECT_EQ(bitmap.Width(), 12);
    EXPECT_EQ(InfoOf(first).bmWidth, 12);
}

TEST(JpegBitmap, OwnsOneBitmapAtATime) {
    TempFolder folder;
    const auto file = folder.Write("p.jpg", fixtures::EncodeJpeg({5, 7}));
    TJPEGImage jpeg;
    jpeg.LoadFromFile(file.string());
    HBITMAP first, second;
    BITMAP info{};
    {
        TBitmap bitmap;
        EXPECT_EQ(bitmap.Handle(), 0u);
        bitmap.Assign(jpeg);
        first = bitmap.Handle();
        bitmap.Assign(jpeg);
        second = bitmap.Handle();
        EXPECT_NE(first, second);
        EXPECT_EQ(GetObjectA(first, sizeof info, &info), 0) << "the old bitmap is deleted";
        EXPECT_EQ(GetObjectA(second, sizeof info, &info), int(sizeof info));
    }
    EXPECT_EQ(GetObjectA(second, sizeof info, &info), 0) << "the destructor deletes it";
}

} // namespace
